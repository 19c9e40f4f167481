#include "app/program.h"

#include "pipeline/desktop/main_window.h"
#include "platform/atspi/atspi_accessibility.h"
#include "platform/diagnostics.h"
#include "platform/glib/gio_address_opener.h"
#include "platform/glib/glib_main_queue.h"
#include "platform/gtk/gtk_clipboard.h"
#include "support/adapter_names.h"
#include "support/desktop/tools.h"
#include "support/desktop/updater.h"
#include "support/process_end.h"
#include "web/float_window_control.h"
#include "web/web_engine_page_factory.h"

namespace quensary {

Program& TheProgram() {
  static Program* const program = [] {
    auto* made = new Program;  // never destroyed, like everything it holds
    // The shared main queue, held without ownership: it outlives every holder.
    made->main_queue = std::shared_ptr<MainQueue>(&GlibMainQueue::Shared(), [](MainQueue*) {});
    made->clock = std::make_shared<SystemClock>();
    made->preferences = std::make_shared<KeyFilePreferences>(KeyFilePreferences::DefaultConfigDir(),
                                                             SettingsFileNames());
    made->settings = std::make_shared<SettingsStore>(made->preferences);
    made->history = std::make_shared<SQLiteHelper>();
    made->lines = std::make_shared<CaptionLines>(made->bus, made->history, made->clock);
    made->engines = std::make_shared<EnginePool>(
        made->settings, std::make_shared<WebEnginePageFactory>([made]() -> const WebObj* {
          return made->OverlayMonitor ? made->OverlayMonitor->OverlayWebObj().get() : nullptr;
        }),
        made->main_queue);
    made->requests = std::make_shared<TranslationRequests>(made->settings, made->engines,
                                                           made->clock, made->lines, made->history);
    made->accessibility = std::make_shared<AtspiAccessibility>();
    // Quitting waits a little for what is on its way to the disk.
    AtProcessEnd([history = made->history, preferences = made->preferences] {
      // Each wait is bounded: a disk (or a file) that hangs must not keep the program alive.
      history->Flush(std::chrono::seconds(2));
      if (!preferences->Flush(std::chrono::seconds(2)))
        WriteDiagnostic("Settings were not saved in time; quitting without them");
    });
    return made;
  }();
  return *program;
}

std::string ProgramVersion() {
  return QUENSARY_VERSION;
}

void WindowSetup(Program& program) {
  if (program.StartupComplete)
    return;
  program.OverlayMonitor =
      new FloatHoverMonitor(program.bus, program.main_queue, program.settings, program.engines);

  MainPageBridge::Collaborators collaborators;
  collaborators.main_queue = program.main_queue;
  collaborators.bus = &program.bus;
  collaborators.settings = program.settings;
  collaborators.engines = program.engines;
  collaborators.requests = program.requests;
  collaborators.lines = program.lines;
  collaborators.history = program.history;
  collaborators.accessibility = program.accessibility;
  collaborators.clipboard = std::make_shared<DesktopClipboard>();
  collaborators.browser = std::make_shared<GioAddressOpener>();
  // Calls into another application may wait for it: they run on a thread of their own, one
  // after another, so a later call (the caption window shown again) never overtakes an earlier.
  collaborators.in_background = [background = program.background](std::function<void()> work) {
    background->Post(std::move(work));
  };
  collaborators.quit = [] { EndProcess(0); };
  collaborators.startup_complete = &program.StartupComplete;
  collaborators.version = ProgramVersion();
  program.caption_stream =
      std::make_shared<LiveCaptionsStream>(nullptr, LiveCaptionsBusNames(), program.clock);
  // The main page and the overlay page are both the program's own: one web process serves both,
  // which spares the memory and the start of a second one.
  program.MainCtrl =
      new MainController(std::move(collaborators), program.clock,
                         program.OverlayMonitor->OverlayWebObj().get(), program.caption_stream);

  program.MainWindow = NewMainWindow(program.MainCtrl->MainPage()->Widget());
  program.MainCtrl->bridge().SetMainWindow(
      std::make_shared<FloatWindowControl>(program.MainWindow));
  if (program.settings->MainWindowOnTop())
    float_window_set_level(program.MainWindow, WindowControl::kFloatingLevel);
  gtk_window_present(GTK_WINDOW(program.MainWindow));
  Updater::ScheduleCheck(ProgramVersion());

  Tools::ShowWindowLater(GTK_WIDGET(program.MainWindow), false);
  Tools::ShowWindowLater(GTK_WIDGET(program.OverlayMonitor->OverlayWindow()), false);
  if (program.PermissionWindow)
    Tools::HideWindowLater(program.PermissionWindow);
  program.StartupComplete = true;
}

}  // namespace quensary
