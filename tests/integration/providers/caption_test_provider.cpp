// A caption provider for integration tests, built from a JSON description given as its only
// argument, so each test can lay out exactly the accessibility structure it needs:
//
//   {"windows": [{"identifier": "...", "subrole": "...", "title": "...", "skip_taskbar": true,
//                 "x": 100, "y": 100, "depth": 1, "container_subrole": "...",
//                 "rows": [{"text": "Hello", "y": 40}, {"text": "no position"}]}]}
//
// Every key is optional. The container sits below `depth` plain boxes; its rows are plain
// accessible objects with a text, and a position only when "y" is given.

#include <gtk/gtk-a11y.h>
#include <gtk/gtk.h>

#include <cstdio>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "subrole_widgets.h"

namespace {

struct RowSpec {
  std::string text;
  bool placed = false;
  int y = 0;
};

}  // namespace

extern "C" {

// A row with a text and no position.
struct QtTextRow {
  AtkObject parent;
  gchar* text;
};
struct QtTextRowClass {
  AtkObjectClass parent_class;
};
static void qt_text_row_text_init(AtkTextIface* iface);
G_DEFINE_TYPE_WITH_CODE(QtTextRow, qt_text_row, ATK_TYPE_OBJECT,
                        G_IMPLEMENT_INTERFACE(ATK_TYPE_TEXT, qt_text_row_text_init))

static gchar* qt_text_row_get_text(AtkText* text, gint start, gint end) {
  const gchar* all = reinterpret_cast<QtTextRow*>(text)->text;
  const glong length = g_utf8_strlen(all, -1);
  if (end < 0 || end > length)
    end = static_cast<gint>(length);
  if (start < 0 || start > end)
    start = end;
  return g_utf8_substring(all, start, end);
}
static gint qt_text_row_get_character_count(AtkText* text) {
  return static_cast<gint>(g_utf8_strlen(reinterpret_cast<QtTextRow*>(text)->text, -1));
}
static void qt_text_row_text_init(AtkTextIface* iface) {
  iface->get_text = qt_text_row_get_text;
  iface->get_character_count = qt_text_row_get_character_count;
}
static void qt_text_row_finalize(GObject* object) {
  g_free(reinterpret_cast<QtTextRow*>(object)->text);
  G_OBJECT_CLASS(qt_text_row_parent_class)->finalize(object);
}
static void qt_text_row_init(QtTextRow* row) {
  row->text = g_strdup("");
}
static void qt_text_row_class_init(QtTextRowClass* klass) {
  G_OBJECT_CLASS(klass)->finalize = qt_text_row_finalize;
}

// A row with a text and a position.
struct QtPlacedRow {
  QtTextRow parent;
  gint y;
};
struct QtPlacedRowClass {
  QtTextRowClass parent_class;
};
static void qt_placed_row_component_init(AtkComponentIface* iface);
G_DEFINE_TYPE_WITH_CODE(QtPlacedRow, qt_placed_row, qt_text_row_get_type(),
                        G_IMPLEMENT_INTERFACE(ATK_TYPE_COMPONENT, qt_placed_row_component_init))

static void qt_placed_row_get_extents(AtkComponent* component, gint* x, gint* y, gint* width,
                                      gint* height, AtkCoordType) {
  *x = 20;
  *y = reinterpret_cast<QtPlacedRow*>(component)->y;
  *width = 400;
  *height = 20;
}
static void qt_placed_row_component_init(AtkComponentIface* iface) {
  iface->get_extents = qt_placed_row_get_extents;
}
static void qt_placed_row_init(QtPlacedRow*) {}
static void qt_placed_row_class_init(QtPlacedRowClass*) {}

// The container: a drawing area whose accessible reports the rows as its children.
struct QtRowsAccessible {
  GtkWidgetAccessible parent;
};
struct QtRowsAccessibleClass {
  GtkWidgetAccessibleClass parent_class;
};
G_DEFINE_TYPE(QtRowsAccessible, qt_rows_accessible, GTK_TYPE_WIDGET_ACCESSIBLE)

static GPtrArray* RowsOf(AtkObject* accessible) {
  GtkWidget* widget = gtk_accessible_get_widget(GTK_ACCESSIBLE(accessible));
  return widget ? static_cast<GPtrArray*>(g_object_get_data(G_OBJECT(widget), "rows")) : nullptr;
}
static gint qt_rows_accessible_get_n_children(AtkObject* object) {
  GPtrArray* rows = RowsOf(object);
  return rows ? static_cast<gint>(rows->len) : 0;
}
static AtkObject* qt_rows_accessible_ref_child(AtkObject* object, gint index) {
  GPtrArray* rows = RowsOf(object);
  if (!rows || index < 0 || static_cast<guint>(index) >= rows->len)
    return nullptr;
  auto* row = ATK_OBJECT(g_ptr_array_index(rows, index));
  if (!atk_object_get_parent(row))
    atk_object_set_parent(row, object);
  return ATK_OBJECT(g_object_ref(row));
}
static AtkAttributeSet* qt_rows_accessible_get_attributes(AtkObject* object) {
  GtkWidget* widget = gtk_accessible_get_widget(GTK_ACCESSIBLE(object));
  const auto* subrole =
      widget ? static_cast<const char*>(g_object_get_data(G_OBJECT(widget), "subrole")) : nullptr;
  if (!subrole)
    return nullptr;
  auto* attribute = g_new(AtkAttribute, 1);
  attribute->name = g_strdup("subrole");
  attribute->value = g_strdup(subrole);
  return g_slist_append(nullptr, attribute);
}
static void qt_rows_accessible_init(QtRowsAccessible*) {}
static void qt_rows_accessible_class_init(QtRowsAccessibleClass* klass) {
  AtkObjectClass* atk = ATK_OBJECT_CLASS(klass);
  atk->get_n_children = qt_rows_accessible_get_n_children;
  atk->ref_child = qt_rows_accessible_ref_child;
  atk->get_attributes = qt_rows_accessible_get_attributes;
}

struct QtRows {
  GtkDrawingArea parent;
};
struct QtRowsClass {
  GtkDrawingAreaClass parent_class;
};
G_DEFINE_TYPE(QtRows, qt_rows, GTK_TYPE_DRAWING_AREA)
static void qt_rows_init(QtRows*) {}
static void qt_rows_class_init(QtRowsClass* klass) {
  gtk_widget_class_set_accessible_type(GTK_WIDGET_CLASS(klass), qt_rows_accessible_get_type());
}

}  // extern "C"

namespace {

std::string Text(const nlohmann::json& layout, const char* key) {
  return layout.contains(key) && layout[key].is_string() ? layout[key].get<std::string>() : "";
}

GtkWidget* RowsWidget(const nlohmann::json& layout) {
  GtkWidget* rows = GTK_WIDGET(g_object_new(qt_rows_get_type(), nullptr));
  gtk_widget_set_size_request(rows, 400, 80);
  if (layout.contains("container_subrole"))
    g_object_set_data_full(G_OBJECT(rows), "subrole",
                           g_strdup(Text(layout, "container_subrole").c_str()), g_free);
  GPtrArray* objects = g_ptr_array_new_with_free_func(g_object_unref);
  for (const auto& row : layout.value("rows", nlohmann::json::array())) {
    const bool placed = row.contains("y");
    GObject* object =
        G_OBJECT(g_object_new(placed ? qt_placed_row_get_type() : qt_text_row_get_type(), nullptr));
    auto* text_row = reinterpret_cast<QtTextRow*>(object);
    g_free(text_row->text);
    text_row->text = g_strdup(Text(row, "text").c_str());
    if (placed)
      reinterpret_cast<QtPlacedRow*>(object)->y = row["y"].get<int>();
    g_ptr_array_add(objects, object);
  }
  g_object_set_data_full(G_OBJECT(rows), "rows", objects,
                         reinterpret_cast<GDestroyNotify>(g_ptr_array_unref));
  return rows;
}

void AddWindow(const nlohmann::json& layout) {
  const std::string subrole = Text(layout, "subrole");
  GtkWidget* window = NewSubroleWindow(layout.contains("subrole") ? subrole.c_str() : nullptr);
  gtk_window_set_title(GTK_WINDOW(window), Text(layout, "title").c_str());
  gtk_window_set_default_size(GTK_WINDOW(window), 420, 140);
  gtk_window_move(GTK_WINDOW(window), layout.value("x", 100), layout.value("y", 100));
  gtk_window_set_skip_taskbar_hint(GTK_WINDOW(window), layout.value("skip_taskbar", true));
  if (layout.contains("identifier"))
    atk_object_set_accessible_id(gtk_widget_get_accessible(window),
                                 Text(layout, "identifier").c_str());
  GtkWidget* parent = window;
  for (int i = 0; i < layout.value("depth", 1); ++i) {
    GtkWidget* box = gtk_box_new(GTK_ORIENTATION_VERTICAL, 0);
    gtk_container_add(GTK_CONTAINER(parent), box);
    parent = box;
  }
  gtk_container_add(GTK_CONTAINER(parent), RowsWidget(layout));
  gtk_widget_show_all(window);
}

}  // namespace

int main(int argc, char** argv) {
  gtk_init(&argc, &argv);
  if (argc != 2) {
    std::fprintf(stderr, "usage: caption_test_provider JSON\n");
    return 2;
  }
  const auto layout = nlohmann::json::parse(argv[1], nullptr, false);
  if (layout.is_discarded() || !layout.is_object()) {
    std::fprintf(stderr, "caption_test_provider: the description is not a JSON object\n");
    return 2;
  }
  for (const auto& window : layout.value("windows", nlohmann::json::array()))
    AddWindow(window);
  gtk_main();
  return 0;
}
