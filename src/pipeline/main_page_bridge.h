#pragma once

#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "bus/lns_center.h"
#include "history/sqlite_helper.h"
#include "pipeline/caption_lines.h"
#include "pipeline/caption_source_switch.h"
#include "pipeline/caption_worker.h"
#include "pipeline/paced_page_call.h"
#include "pipeline/transcript_bridge.h"
#include "pipeline/translation_requests.h"
#include "platform/accessibility.h"
#include "platform/address_opener.h"
#include "platform/clipboard.h"
#include "platform/key_store.h"
#include "platform/main_queue.h"
#include "platform/save_dialog.h"
#include "platform/script_target.h"
#include "platform/window_control.h"
#include "protocol/page_words.h"
#include "protocol/settings_store.h"
#include "translate/engine_pool.h"

namespace quensary {

// The contract with the main page: the seven commands it sends (its handlers), the three script
// functions it offers (`Init`, `Juzi`, `UpdateUserAddLine`), and the start sequence it sets off
// when it is ready. Main thread only, but for the bus subscriptions, which only post tasks.
class MainPageBridge : public std::enable_shared_from_this<MainPageBridge> {
 public:
  using Handler = std::function<void(const std::string& first, const std::string& second)>;

  // Everything the bridge works with.
  struct Collaborators {
    std::shared_ptr<ScriptTarget> page;  // the main page
    std::shared_ptr<MainQueue> main_queue;
    LnsCenter* bus = nullptr;
    std::shared_ptr<SettingsStore> settings;
    std::shared_ptr<EnginePool> engines;
    std::shared_ptr<TranslationRequests> requests;
    std::shared_ptr<CaptionLines> lines;
    std::shared_ptr<SQLiteHelper> history;
    std::shared_ptr<CaptionWorker> worker;
    std::shared_ptr<Accessibility> accessibility;
    std::shared_ptr<Clipboard> clipboard;
    std::shared_ptr<AddressOpener> browser;
    // Runs blocking work (calls into another application) off the main thread.
    std::function<void(std::function<void()>)> in_background;
    // Ends the program with status 0.
    std::function<void()> quit;
    // Raised when window setup has run (`StartupComplete`).
    const std::atomic<bool>* startup_complete = nullptr;
    // The program's version for `Init`; without one no `Init` is sent.
    std::optional<std::string> version;
    // Which caption source the worker reads; the page shows it and sets its mode.
    std::shared_ptr<CaptionSourceSwitch> caption_sources;
    // Where engine keys are kept; without one, no key is kept.
    std::shared_ptr<KeyStore> keys;
    // Asks where to save the transcript; without one, nothing is saved.
    std::shared_ptr<SaveDialog> save_dialog;
  };

  // How long `Init` waits after the profile list.
  static constexpr std::chrono::milliseconds kInitDelay{300};
  // At most one line list, and one engine status, reaches the page in this time (the first of a
  // burst at once, the newest at its end): the overlay shows the words as they come, the page
  // lists what was said.
  static constexpr std::chrono::milliseconds kPageCallInterval{500};

  explicit MainPageBridge(Collaborators collaborators);

  // The seven handlers, by their names, for the page's Handlers.
  std::map<std::string, Handler, std::less<>> Handlers();

  // From now on for the life of the process: the lines-changed events reach the page as `Juzi`
  // calls and the changes of the engine's status as `UpdateEngineStatus` calls, each paced by
  // kPageCallInterval; every user-line event as an `UpdateUserAddLine` call, in the order posted,
  // and every change of the caption source read as an `UpdateCaptionSource` call.
  void Subscribe();

  // Window setup has run (`startup_complete` is raised): a ready command that came before goes
  // on now. The page loads while the permission window waits, so it is often ready first.
  void StartupCompleted();

  // `MainWindow`, once window setup has made it; the window words do nothing before.
  void SetMainWindow(std::shared_ptr<WindowControl> window) { main_window_ = std::move(window); }
  // Whether the main window is on screen (neither minimized nor hidden): while it is not, the
  // line list and the engine's status are held, and the newest of each goes when it is again.
  void SetPageSeen(bool seen);

  // The script texts sent to the page (beside `Init` and `Juzi`, which the protocol builds).
  std::string UpdateUserAddLineCall() const;
  // The caption source's mode, the source read now and why, as the page's call.
  std::string CaptionSourceCall() const;
  // What is known of the active engine (whether it answers, why not, how long its last
  // translation took, the languages it reported) and the captions' language, as the page's call.
  std::string EngineStatusCall() const;

 private:
  void PageReady(const std::string& profiles);
  void SendInit();
  void SetSetting(const std::string& key, const std::string& value);
  void RunSettingCommand(SettingCommand command, const std::string& value);
  void RunLineCommand(const std::string& word, const std::string& argument);
  void PressWindowButton(const std::string& text);
  void RunWindowCommand(const std::string& word);
  void SaveKey(const std::string& request);
  void ForgetKey(const std::string& engine_id);
  // Learns whether the active engine has a key, then sends the status.
  void RefreshKey();
  // After the active engine's pages were made anew: its key, and the lines it has not translated.
  void EngineChanged();

  Collaborators c_;
  TranscriptBridge transcript_;
  std::shared_ptr<WindowControl> main_window_;
  // The line list (stream 0) and the engine's status (stream 1), sent together.
  std::shared_ptr<PacedPageCall> paced_calls_;
  // The profile list of a ready command that came before window setup had run, until it has.
  std::optional<std::string> held_profiles_;
  // Whether the active engine has a key: unknown, or for an engine that takes none, absent.
  std::optional<bool> key_saved_;
};

}  // namespace quensary
