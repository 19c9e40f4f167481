#pragma once

#include <gtk/gtk.h>

#include <atomic>
#include <memory>
#include <optional>
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
#include "platform/worker_queue.h"
#include "protocol/settings_store.h"
#include "translate/engine_pool.h"
#include "web/float_window.h"

namespace quensary {

// The objects the running program keeps for its whole life. Made once, on the main thread, and
// never destroyed: threads may still be at work when the process ends (see EndProcess).
struct Program {
  LnsCenter& bus = LnsCenter::shared();
  std::shared_ptr<MainQueue> main_queue;
  std::shared_ptr<const Clock> clock;
  std::shared_ptr<KeyFilePreferences> preferences;
  std::shared_ptr<SettingsStore> settings;
  std::shared_ptr<SQLiteHelper> history;
  std::shared_ptr<CaptionLines> lines;
  std::shared_ptr<EnginePool> engines;
  std::shared_ptr<TranslationRequests> requests;
  std::shared_ptr<Accessibility> accessibility;
  // Runs calls into other applications, which may keep the caller waiting, off the main thread.
  std::shared_ptr<WorkerQueue> background = std::make_shared<WorkerQueue>();

  // The window globals, set by window setup; main thread only.
  FloatHoverMonitor* OverlayMonitor = nullptr;
  MainController* MainCtrl = nullptr;
  // The live-caption application's text stream, the second caption source.
  std::shared_ptr<LiveCaptionsStream> caption_stream;
  FloatWindow* MainWindow = nullptr;
  GtkWidget* PermissionWindow = nullptr;
  // Raised last by window setup; read by the main page's ready command.
  std::atomic<bool> StartupComplete{false};
};

// The program's objects, made at the first call. Main thread.
Program& TheProgram();

// The program's version, as the build gives it.
std::string ProgramVersion();

// Turns the program from its permission window into its running form, once: the overlay, the
// main controller and the main window, shown; the permission window hidden; the updater
// scheduled; StartupComplete raised. Main thread.
void WindowSetup(Program& program);

}  // namespace quensary
