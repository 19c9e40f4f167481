#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/main_queue.h"
#include "platform/script_target.h"
#include "protocol/settings_store.h"
#include "translate/engine_page.h"
#include "translate/translate_script.h"
#include "translate/translator_profile.h"

namespace quensary {

// What the program knows of the active engine, for the main page.
struct EngineStatus {
  std::string engine_id;    // the active profile's Id; empty before the first activation
  std::string engine_name;  // and its Name
  // Whether the engine answered the last time it was asked; unknown until it was.
  std::optional<bool> answering;
  std::string reason;              // why it did not, in words
  std::optional<int64_t> last_ms;  // how long its last translation took
  // What its page reported of its languages (and a model server's page of its models); empty if
  // nothing.
  std::string languages_json;
};

// The translation engines of the running program: the profile list delivered by the main page,
// the active profile and its open engine pages, served in turn, and what is known of the active
// engine's health. The program creates one and keeps it for its whole life. Main thread only.
class EnginePool {
 public:
  // More pages than this are never opened for one profile, whatever its `Cot` says: each page is
  // a web view, and a mistyped count would otherwise exhaust the machine.
  static constexpr int64_t kMaxEnginePages = 32;

  EnginePool(std::shared_ptr<SettingsStore> settings,
             std::shared_ptr<EnginePageFactory> page_factory,
             std::shared_ptr<MainQueue> main_queue);
  EnginePool(const EnginePool&) = delete;
  EnginePool& operator=(const EnginePool&) = delete;

  // Takes the profile list from the first delivery that yields profiles; later ones are ignored.
  // An empty array leaves the list open. An unreadable text leaves it as it is and writes one
  // diagnostic line.
  void LoadProfiles(std::string_view text);

  // Chooses the listed profile with this id, else the user's own profile (whatever its id), else
  // the first listed one; stores the chosen profile's id as the selected engine and opens its
  // pages. The pages exist when it returns. With nothing to choose nothing changes.
  void ActivateEngine(std::string_view id);

  // Makes the profile active and replaces every engine page by `Cot` new ones (none when `Cot`
  // is 0 or negative); the old pages are told to stop. The next request goes to the first page.
  // The engine's status starts afresh; once the first page has loaded, its languages are asked.
  void RebuildEnginePages(TranslatorProfilePtr profile);

  // The engine page for the next request, in turn; null when there is none.
  std::shared_ptr<EnginePage> NextEnginePage();

  // Awaits the next engine page's translate script (TranslateScript) and delivers its answer
  // (read it with ReadTranslateAnswer): the empty text when there is no page or nothing came
  // back (the page seam ends a call that never settles). A page still loading gets the request
  // once it has loaded, within the same time limit; a page that could not be loaded answers
  // kNotLoadedMark at once. `line` tells the page which caption line the text is.
  void Translate(std::string_view text, std::string_view source, std::string_view target,
                 ScriptTarget::TextCallback done, LineFacts line = {});

  // Asks the active engine's first page for its languages (LanguagesScript) once it has loaded;
  // the answer goes into the status.
  void ProbeLanguages();

  // The outcome of a translation by `profile`'s engine, for the status; ignored when another
  // engine has become active since. `ms` is how long a translation took.
  void NoteTranslation(const TranslatorProfilePtr& profile, bool ok, std::string reason,
                       std::optional<int64_t> ms);

  const EngineStatus& EngineState() const;
  // Called on the main thread after every change of the status.
  void SetStatusListener(std::function<void()> listener);

  const TranslatorProfileList& ProfileList() const { return ProfileList_; }
  TranslatorProfilePtr ActiveProfile() const { return ActiveProfile_; }
  const std::vector<std::shared_ptr<EnginePage>>& EnginePageList() const { return EnginePageList_; }

 private:
  struct PageState;
  struct StatusBoard;

  void RunWhenLoaded(size_t index, const std::string& script, ScriptTarget::TextCallback done);

  const std::shared_ptr<SettingsStore> settings_;
  const std::shared_ptr<EnginePageFactory> page_factory_;
  const std::shared_ptr<MainQueue> main_queue_;
  TranslatorProfileList ProfileList_;
  TranslatorProfilePtr ActiveProfile_;
  std::vector<std::shared_ptr<EnginePage>> EnginePageList_;
  std::vector<std::shared_ptr<PageState>> page_states_;  // beside EnginePageList_
  size_t EnginePageCursor_ = 0;                          // the page that serves the next request
  const std::shared_ptr<StatusBoard> board_;
};

}  // namespace quensary
