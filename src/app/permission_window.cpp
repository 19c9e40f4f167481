#include "app/permission_window.h"

#include <chrono>
#include <memory>

#include "platform/glib/accessibility_status.h"
#include "platform/glib/gobject_ref.h"
#include "platform/worker_queue.h"
#include "platform/x11/x11_fake_motion.h"
#include "support/literal_vault.h"
#include "support/process_end.h"
#include "support/sealed_literals.h"
#include "web/web_obj.h"
#include "web/web_obj_delegate.h"

namespace quensary {
namespace {

constexpr char kHeading[] = "    需要以下权限才能运行，请依次检查：";
constexpr char kWhy[] =
    "Quensary reads another application's captions through the desktop's accessibility "
    "interface, which has to be turned on for that.";
constexpr int kPadding = 44;
constexpr int kSpacing = 20;
constexpr std::chrono::milliseconds kPermissionPoll{1500};

constexpr char kStyle[] =
    "button.grant { background: #2ea043; color: white; border-color: #238636; font-weight: bold; }"
    "button.grant:hover { background: #3fb950; }";

// What the window's button works with; kept as long as the window.
struct PermissionContext {
  std::shared_ptr<MainQueue> main_queue;
  std::shared_ptr<WorkerQueue> background;
};

// Where the permission is explained: a page of the program's own, in a window of its own, made
// at the first click and kept (never destroyed) for the life of the process.
GtkWindow* help_window = nullptr;

void ShowPermissionHelp(const std::shared_ptr<MainQueue>& main_queue) {
  if (!help_window) {
    static const auto* const help =
        new std::shared_ptr<WebObj>(std::make_shared<WebObj>(main_queue));
    (*help)->PageUrl = RevealText(Sealed::PermissionSettingsAddress);
    (*help)->ProgramPagesOnly = true;
    WebObjDelegate::Create(*help);
    help_window = GTK_WINDOW(gtk_window_new(GTK_WINDOW_TOPLEVEL));
    gtk_window_set_title(help_window, RevealText(Sealed::PermissionName).c_str());
    gtk_window_set_default_size(help_window, 640, 480);
    gtk_window_set_position(help_window, GTK_WIN_POS_CENTER);
    gtk_widget_set_name(GTK_WIDGET(help_window), "permission-help");
    gtk_container_add(GTK_CONTAINER(help_window), (*help)->Widget());
    g_signal_connect(help_window, "delete-event", G_CALLBACK(gtk_widget_hide_on_delete), nullptr);
  }
  gtk_window_present(help_window);
}

void Grant(GtkButton*, gpointer data) {
  const auto& context = *static_cast<const PermissionContext*>(data);
  // A pointer motion first, as the desktop's own prompt needs the user's attention.
  X11FakeMotion(1, 1);
  context.background->Post(AccessibilityStatus::Enable);  // a bus call: not on the main thread
  ShowPermissionHelp(context.main_queue);
}

GtkWidget* Label(const std::string& text, double scale, bool bold) {
  GtkWidget* label = gtk_label_new(nullptr);
  gtk_label_set_text(GTK_LABEL(label), text.c_str());
  gtk_label_set_xalign(GTK_LABEL(label), 0);
  gtk_label_set_line_wrap(GTK_LABEL(label), TRUE);
  const std::unique_ptr<PangoAttrList, decltype(&pango_attr_list_unref)> attributes(
      pango_attr_list_new(), pango_attr_list_unref);
  pango_attr_list_insert(attributes.get(), pango_attr_scale_new(scale));
  if (bold)
    pango_attr_list_insert(attributes.get(), pango_attr_weight_new(PANGO_WEIGHT_BOLD));
  gtk_label_set_attributes(GTK_LABEL(label), attributes.get());
  return label;
}

}  // namespace

GtkWidget* NewPermissionWindow(GtkApplication* application, std::shared_ptr<MainQueue> main_queue,
                               std::shared_ptr<WorkerQueue> background) {
  GtkWidget* window = gtk_application_window_new(application);
  gtk_window_set_title(GTK_WINDOW(window), RevealText(Sealed::PermissionWindowTitle).c_str());
  gtk_window_set_default_size(GTK_WINDOW(window), 600, 300);
  gtk_window_set_position(GTK_WINDOW(window), GTK_WIN_POS_CENTER);
  // Closing it at any time ends the program; window setup only hides it.
  g_signal_connect(window, "delete-event",
                   G_CALLBACK(+[](GtkWidget*, GdkEvent*, gpointer) -> gboolean { EndProcess(0); }),
                   nullptr);

  GtkWidget* column = gtk_box_new(GTK_ORIENTATION_VERTICAL, kSpacing);
  gtk_container_set_border_width(GTK_CONTAINER(column), kPadding);
  gtk_container_add(GTK_CONTAINER(window), column);
  gtk_box_pack_start(GTK_BOX(column), Label(kHeading, 1.3, false), FALSE, FALSE, 0);
  GtkWidget* why = Label(kWhy, 1.0, false);
  // Wide enough from the start that the window keeps its height: GTK asks a wrapping label for
  // its height at its narrowest.
  gtk_label_set_width_chars(GTK_LABEL(why), 64);
  gtk_box_pack_start(GTK_BOX(column), why, FALSE, FALSE, 0);
  GtkWidget* divider = gtk_separator_new(GTK_ORIENTATION_HORIZONTAL);
  gtk_widget_set_margin_top(divider, 8);
  gtk_widget_set_margin_bottom(divider, 8);
  gtk_box_pack_start(GTK_BOX(column), divider, FALSE, FALSE, 0);

  GtkWidget* row = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 12);
  GtkWidget* name = Label(RevealText(Sealed::PermissionName), 1.0, true);
  gtk_widget_set_hexpand(name, TRUE);
  gtk_box_pack_start(GTK_BOX(row), name, TRUE, TRUE, 0);
  GtkWidget* button = gtk_button_new_with_label(RevealText(Sealed::PermissionButtonTitle).c_str());
  gtk_widget_set_name(button, "grant");
  GtkStyleContext* style = gtk_widget_get_style_context(button);
  gtk_style_context_add_class(style, "grant");
  gtk_style_context_add_class(style, GTK_STYLE_CLASS_SUGGESTED_ACTION);
  auto css = GObjectRef<GtkCssProvider>::Adopt(gtk_css_provider_new());
  gtk_css_provider_load_from_data(css.get(), kStyle, -1, nullptr);
  gtk_style_context_add_provider(style, GTK_STYLE_PROVIDER(css.get()),
                                 GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
  g_signal_connect_data(
      button, "clicked", G_CALLBACK(Grant),
      new PermissionContext{std::move(main_queue), std::move(background)},
      [](gpointer data, GClosure*) { delete static_cast<PermissionContext*>(data); },
      GConnectFlags{});
  gtk_widget_set_valign(button, GTK_ALIGN_CENTER);
  gtk_box_pack_end(GTK_BOX(row), button, FALSE, FALSE, 0);
  gtk_box_pack_start(GTK_BOX(column), row, FALSE, FALSE, 0);
  return window;
}

void WaitForPermission(std::shared_ptr<MainQueue> main_queue, std::function<void()> ready) {
  // A queue of its own: the question stays first until the answer is yes, which would hold up
  // anything queued behind it (turning accessibility on, above all). Kept for the life of the
  // process, like the program's other objects.
  static WorkerQueue* const asking = new WorkerQueue({}, kPermissionPoll);
  asking->PostRetrying([main_queue = std::move(main_queue), ready = std::move(ready)] {
    if (!AccessibilityStatus::Trusted())
      return WorkerQueue::Step::kRetryLater;
    main_queue->Post(ready);
    return WorkerQueue::Step::kDone;
  });
}

void KeepPermissionHelpAbove(GtkWindow* main_window, MainQueue& main_queue) {
  if (!help_window)
    return;
  // As the main window's own window the window manager keeps it above the main window, which
  // would otherwise come up over what the user is reading.
  gtk_window_set_transient_for(help_window, main_window);
  if (gtk_widget_get_visible(GTK_WIDGET(help_window)))
    main_queue.Post([] { gtk_window_present(help_window); });  // after the main window's showing
}

}  // namespace quensary
