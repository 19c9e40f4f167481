#include "app/program.h"

#include "pipeline/core_graph.h"
#include "pipeline/desktop/main_window.h"
#include "platform/atspi/atspi_accessibility.h"
#include "platform/diagnostics.h"
#include "platform/glib/gio_address_opener.h"
#include "platform/gtk/gtk_clipboard.h"
#include "platform/gtk/gtk_color_scheme.h"
#include "platform/gtk/gtk_save_dialog.h"
#include "support/adapter_names.h"
#include "support/desktop/tools.h"
#include "support/desktop/updater.h"
#include "support/process_end.h"
#include "web/float_window_control.h"
#include "web/page_scheme.h"

namespace quensary {
namespace {

Program* running = nullptr;

}  // namespace

Program* RunningProgram() {
  return running;
}

std::string ProgramVersion() {
  return QUENSARY_VERSION;
}

Program& PrepareProgram(ProgramSeams seams) {
  if (running)
    return *running;
  auto& program = *(running = new Program);  // never destroyed, like everything it holds
  // Already followed when the permission window came first.
  FollowDesktopColorScheme();

  // The seams, each the desktop's own.
  program.main_queue = std::move(seams.main_queue);
  program.background = std::move(seams.background);
  program.clock = std::make_shared<SystemClock>();
  program.preferences = std::make_shared<KeyFilePreferences>(KeyFilePreferences::DefaultConfigDir(),
                                                             SettingsFileNames());
  program.accessibility =
      seams.accessibility ? std::move(seams.accessibility) : std::make_shared<AtspiAccessibility>();
  program.engine_pages = std::make_shared<WebEnginePageFactory>(program.main_queue);
  program.keys = std::make_shared<SecretServiceKeys>(EngineKeyNames());

  // The core over them.
  const CoreGraph core = MakeCoreGraph({.main_queue = program.main_queue,
                                        .clock = program.clock,
                                        .preferences = program.preferences,
                                        .engine_pages = program.engine_pages,
                                        .history_folder = std::nullopt});
  program.bus = core.bus;
  program.settings = core.settings;
  program.history = core.history;
  program.lines = core.lines;
  program.engines = core.engines;
  program.requests = core.requests;
  program.relay = std::make_shared<EngineRelay>(program.engines, program.settings, program.keys);
  SetRelayHandler(
      [relay = program.relay](WebKitURISchemeRequest* request) { relay->Serve(request); });
  // Quitting waits a little for what is on its way to the disk, each wait bounded: a disk (or a
  // file) that hangs must not keep the program alive.
  AtProcessEnd([history = program.history, preferences = program.preferences] {
    history->Flush(std::chrono::seconds(2));
    if (!preferences->Flush(std::chrono::seconds(2)))
      WriteDiagnostic("Settings were not saved in time; quitting without them");
  });

  // The caption pipeline and the main page. The main page starts the web process and loads
  // first in it: start-up waits for its ready command, nothing waits for the overlay's page.
  MainPageBridge::Collaborators collaborators;
  collaborators.main_queue = program.main_queue;
  collaborators.bus = program.bus.get();
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
  collaborators.keys = program.keys;
  const auto save_dialog = std::make_shared<NativeSaveDialog>();
  collaborators.save_dialog = save_dialog;
  program.caption_stream =
      std::make_shared<LiveCaptionsStream>(nullptr, LiveCaptionsBusNames(), program.clock);
  program.MainCtrl =
      new MainController(std::move(collaborators), program.clock, nullptr, program.caption_stream);

  // The overlay. The main page and the overlay page are both the program's own: one web process
  // serves both, which spares the memory and the start of a second one. Engines served by the
  // program itself share it too.
  program.OverlayMonitor =
      new FloatHoverMonitor(*program.bus, program.main_queue, program.settings, program.engines,
                            program.MainCtrl->MainPage().get());
  program.engine_pages->ShareProcessWith(program.OverlayMonitor->OverlayWebObj());

  // The main window, not shown yet.
  program.MainWindow = NewMainWindow(program.MainCtrl->MainPage()->Widget());
  save_dialog->SetParent(GTK_WINDOW(program.MainWindow));
  program.MainCtrl->bridge().SetMainWindow(
      std::make_shared<FloatWindowControl>(program.MainWindow));
  FollowWhetherSeen(program.MainWindow, [&bridge = program.MainCtrl->bridge()](bool seen) {
    bridge.SetPageSeen(seen);
  });
  if (program.settings->MainWindowOnTop())
    float_window_set_level(program.MainWindow, WindowControl::kFloatingLevel);
  return program;
}

Program& ComposeProgram(ProgramSeams seams, GtkWidget* permission_window) {
  Program& program = PrepareProgram(std::move(seams));
  if (program.StartupComplete)
    return program;

  // The overlay where the user last put it, or clear of the main window.
  program.OverlayMonitor->PlaceOnScreen(kMainWindowWidth, kMainWindowHeight);

  // On screen: the main window and the overlay in place of the permission window.
  gtk_window_present(GTK_WINDOW(program.MainWindow));
  Updater::ScheduleCheck(ProgramVersion());
  Tools::ShowWindowLater(*program.main_queue, GTK_WIDGET(program.MainWindow), false);
  Tools::ShowWindowLater(*program.main_queue, GTK_WIDGET(program.OverlayMonitor->OverlayWindow()),
                         false);
  if (permission_window)
    Tools::HideWindowLater(*program.main_queue, permission_window);
  program.StartupComplete = true;
  program.MainCtrl->bridge().StartupCompleted();
  return program;
}

}  // namespace quensary
