#pragma once

#include <gtk/gtk.h>

#include <atomic>
#include <memory>
#include <string>

#include "bus/lns_center.h"
#include "history/sqlite_helper.h"
#include "overlay/desktop/float_hover_monitor.h"
#include "pipeline/caption_lines.h"
#include "pipeline/desktop/main_controller.h"
#include "pipeline/translation_requests.h"
#include "platform/accessibility.h"
#include "platform/glib/key_file_preferences.h"
#include "platform/glib/live_captions_stream.h"
#include "platform/key_store.h"
#include "platform/main_queue.h"
#include "platform/worker_queue.h"
#include "protocol/settings_store.h"
#include "translate/engine_pool.h"
#include "web/engine_relay.h"
#include "web/float_window.h"
#include "web/web_engine_page_factory.h"

namespace quensary {

// The objects the running program keeps for its whole life. Made once, on the main thread, by
// PrepareProgram, and never destroyed: threads may still be at work when the process ends (see
// EndProcess).
struct Program {
  // The seams.
  std::shared_ptr<MainQueue> main_queue;
  std::shared_ptr<const Clock> clock;
  std::shared_ptr<KeyFilePreferences> preferences;
  std::shared_ptr<Accessibility> accessibility;
  // Runs calls into other applications, which may keep the caller waiting, off the main thread.
  std::shared_ptr<WorkerQueue> background;
  std::shared_ptr<WebEnginePageFactory> engine_pages;
  // The engines' keys: the desktop's Secret Service, else this session's memory.
  std::shared_ptr<KeyStore> keys;

  // The core.
  std::shared_ptr<LnsCenter> bus;
  std::shared_ptr<SettingsStore> settings;
  std::shared_ptr<SQLiteHelper> history;
  std::shared_ptr<CaptionLines> lines;
  std::shared_ptr<EnginePool> engines;
  std::shared_ptr<TranslationRequests> requests;
  // The engine pages' way to services that refuse a page's own requests or need a key.
  std::shared_ptr<EngineRelay> relay;

  // The windows; main thread only.
  FloatHoverMonitor* OverlayMonitor = nullptr;
  MainController* MainCtrl = nullptr;
  // The live-caption application's text stream, the second caption source.
  std::shared_ptr<LiveCaptionsStream> caption_stream;
  FloatWindow* MainWindow = nullptr;
  // Raised last by ComposeProgram; read by the main page's ready command.
  std::atomic<bool> StartupComplete{false};
};

// What the program is composed over besides the desktop's own facilities.
struct ProgramSeams {
  std::shared_ptr<MainQueue> main_queue;
  // Where calls into other applications run.
  std::shared_ptr<WorkerQueue> background;
  // The caption provider's accessibility; null for the desktop's (AT-SPI). Benchmarks time it.
  std::shared_ptr<Accessibility> accessibility;
};

// Builds the whole program, top to bottom, and starts loading its pages, but shows nothing: the
// web process starts and the pages load while the permission window waits. Once (later calls
// return the same program and leave their seams unused). Main thread.
Program& PrepareProgram(ProgramSeams seams);

// Window setup: the program prepared (by PrepareProgram, unless that has run already) and its
// windows shown, then `StartupComplete`: once, when it may read the caption provider (later
// calls return the same program). `permission_window`, when there is one, gives way to the main
// window. Main thread.
Program& ComposeProgram(ProgramSeams seams, GtkWidget* permission_window);

// The program made by ComposeProgram, or null before. Main thread.
Program* RunningProgram();

// The program's version, as the build gives it.
std::string ProgramVersion();

}  // namespace quensary
