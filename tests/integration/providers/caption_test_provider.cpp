// A caption provider for integration tests, built from the demo provider's widgets and laid out by
// a JSON description given as its only argument:
//
//   {"windows": [{"identifier": "...", "subrole": "...", "title": "...", "skip_taskbar": true,
//                 "x": 100, "y": 100, "container_subrole": "...", "rows": ["Hello", "world"],
//                 "stall_row": 1, "stall_ms": 400}]}
//
// Every key is optional. The rows are labels inside a box that carries the container's subrole;
// the row at `stall_row` holds up the whole application for `stall_ms` whenever its text is read,
// as a provider that stalls half-way through a read does.

#include <gtk/gtk-a11y.h>
#include <gtk/gtk.h>

#include <cstdio>
#include <nlohmann/json.hpp>
#include <string>

#include "subrole_widgets.h"

namespace {
int stall_ms = 0;
}  // namespace

// A label whose accessible text is slow to come.
G_DECLARE_FINAL_TYPE(StallLabelAccessible, stall_label_accessible, TEST, STALL_LABEL_ACCESSIBLE,
                     GtkLabelAccessible)
struct _StallLabelAccessible {
  GtkLabelAccessible parent_instance;
};
static void stall_label_accessible_text_init(AtkTextIface* iface);
G_DEFINE_FINAL_TYPE_WITH_CODE(StallLabelAccessible, stall_label_accessible,
                              GTK_TYPE_LABEL_ACCESSIBLE,
                              G_IMPLEMENT_INTERFACE(ATK_TYPE_TEXT,
                                                    stall_label_accessible_text_init))

static AtkTextIface* parent_text = nullptr;
static gchar* stall_label_accessible_get_text(AtkText* text, gint start, gint end) {
  g_usleep(static_cast<gulong>(stall_ms) * 1000);
  return parent_text->get_text(text, start, end);
}
static void stall_label_accessible_text_init(AtkTextIface* iface) {
  // GLib starts this table as a copy of the label's own; only the text read changes.
  parent_text = static_cast<AtkTextIface*>(g_type_interface_peek_parent(iface));
  iface->get_text = stall_label_accessible_get_text;
}
static void stall_label_accessible_init(StallLabelAccessible*) {}
static void stall_label_accessible_class_init(StallLabelAccessibleClass*) {}

G_DECLARE_FINAL_TYPE(StallLabel, stall_label, TEST, STALL_LABEL, GtkLabel)
struct _StallLabel {
  GtkLabel parent_instance;
};
G_DEFINE_FINAL_TYPE(StallLabel, stall_label, GTK_TYPE_LABEL)
static void stall_label_init(StallLabel*) {}
static void stall_label_class_init(StallLabelClass* klass) {
  gtk_widget_class_set_accessible_type(GTK_WIDGET_CLASS(klass), stall_label_accessible_get_type());
}

namespace {

std::string Text(const nlohmann::json& layout, const char* key) {
  return layout.contains(key) && layout[key].is_string() ? layout[key].get<std::string>() : "";
}

void AddWindow(const nlohmann::json& layout) {
  GtkWidget* window =
      NewSubroleWindow(layout.contains("subrole") ? Text(layout, "subrole").c_str() : nullptr);
  gtk_window_set_title(GTK_WINDOW(window), Text(layout, "title").c_str());
  gtk_window_set_default_size(GTK_WINDOW(window), 420, 140);
  gtk_window_move(GTK_WINDOW(window), layout.value("x", 100), layout.value("y", 100));
  gtk_window_set_skip_taskbar_hint(GTK_WINDOW(window), layout.value("skip_taskbar", true));
  if (layout.contains("identifier"))
    atk_object_set_accessible_id(gtk_widget_get_accessible(window),
                                 Text(layout, "identifier").c_str());
  GtkWidget* rows = NewSubroleBox(
      GTK_ORIENTATION_VERTICAL, 2,
      layout.contains("container_subrole") ? Text(layout, "container_subrole").c_str() : nullptr);
  gtk_container_add(GTK_CONTAINER(window), rows);
  const int stall_row = layout.value("stall_row", -1);
  stall_ms = layout.value("stall_ms", stall_ms);
  int index = 0;
  for (const auto& row : layout.value("rows", nlohmann::json::array())) {
    GtkWidget* label = index++ == stall_row
                           ? GTK_WIDGET(g_object_new(stall_label_get_type(), nullptr))
                           : gtk_label_new(nullptr);
    gtk_label_set_text(GTK_LABEL(label), row.get<std::string>().c_str());
    gtk_box_pack_start(GTK_BOX(rows), label, FALSE, FALSE, 0);
  }
  gtk_widget_show_all(window);
}

}  // namespace

int main(int argc, char** argv) {
  gtk_init(&argc, &argv);
  const auto layout = nlohmann::json::parse(argc == 2 ? argv[1] : "", nullptr, false);
  if (layout.is_discarded() || !layout.is_object()) {
    std::fprintf(stderr, "usage: caption_test_provider JSON\n");
    return 2;
  }
  for (const auto& window : layout.value("windows", nlohmann::json::array()))
    AddWindow(window);
  gtk_main();
  return 0;
}
