#include "subrole_widgets.h"

#include <gtk/gtk-a11y.h>

namespace {

constexpr const char* kSubroleKey = "quensary-demo-subrole";

// Adds the widget's subrole, if any, to the attributes its accessible already reports.
AtkAttributeSet* WithSubrole(AtkObject* accessible, AtkAttributeSet* attributes) {
  GtkWidget* widget = gtk_accessible_get_widget(GTK_ACCESSIBLE(accessible));
  const auto* subrole =
      widget ? static_cast<const char*>(g_object_get_data(G_OBJECT(widget), kSubroleKey)) : nullptr;
  if (!subrole)
    return attributes;
  auto* attribute = g_new(AtkAttribute, 1);
  attribute->name = g_strdup("subrole");
  attribute->value = g_strdup(subrole);
  return g_slist_append(attributes, attribute);
}

}  // namespace

extern "C" {

// The window and its accessible.
struct QdSubroleWindowAccessible {
  GtkWindowAccessible parent;
};
struct QdSubroleWindowAccessibleClass {
  GtkWindowAccessibleClass parent_class;
};
G_DEFINE_TYPE(QdSubroleWindowAccessible, qd_subrole_window_accessible, GTK_TYPE_WINDOW_ACCESSIBLE)

static AtkAttributeSet* qd_subrole_window_accessible_get_attributes(AtkObject* object) {
  auto* parent = ATK_OBJECT_CLASS(qd_subrole_window_accessible_parent_class);
  return WithSubrole(object, parent->get_attributes ? parent->get_attributes(object) : nullptr);
}
static void qd_subrole_window_accessible_init(QdSubroleWindowAccessible*) {}
static void qd_subrole_window_accessible_class_init(QdSubroleWindowAccessibleClass* klass) {
  ATK_OBJECT_CLASS(klass)->get_attributes = qd_subrole_window_accessible_get_attributes;
}

struct QdSubroleWindow {
  GtkWindow parent;
};
struct QdSubroleWindowClass {
  GtkWindowClass parent_class;
};
G_DEFINE_TYPE(QdSubroleWindow, qd_subrole_window, GTK_TYPE_WINDOW)

static void qd_subrole_window_init(QdSubroleWindow*) {}
static void qd_subrole_window_class_init(QdSubroleWindowClass* klass) {
  gtk_widget_class_set_accessible_type(GTK_WIDGET_CLASS(klass),
                                       qd_subrole_window_accessible_get_type());
}

// The box and its accessible.
struct QdSubroleBoxAccessible {
  GtkContainerAccessible parent;
};
struct QdSubroleBoxAccessibleClass {
  GtkContainerAccessibleClass parent_class;
};
G_DEFINE_TYPE(QdSubroleBoxAccessible, qd_subrole_box_accessible, GTK_TYPE_CONTAINER_ACCESSIBLE)

static AtkAttributeSet* qd_subrole_box_accessible_get_attributes(AtkObject* object) {
  auto* parent = ATK_OBJECT_CLASS(qd_subrole_box_accessible_parent_class);
  return WithSubrole(object, parent->get_attributes ? parent->get_attributes(object) : nullptr);
}
static void qd_subrole_box_accessible_init(QdSubroleBoxAccessible*) {}
static void qd_subrole_box_accessible_class_init(QdSubroleBoxAccessibleClass* klass) {
  ATK_OBJECT_CLASS(klass)->get_attributes = qd_subrole_box_accessible_get_attributes;
}

struct QdSubroleBox {
  GtkBox parent;
};
struct QdSubroleBoxClass {
  GtkBoxClass parent_class;
};
G_DEFINE_TYPE(QdSubroleBox, qd_subrole_box, GTK_TYPE_BOX)

static void qd_subrole_box_init(QdSubroleBox*) {}
static void qd_subrole_box_class_init(QdSubroleBoxClass* klass) {
  gtk_widget_class_set_accessible_type(GTK_WIDGET_CLASS(klass),
                                       qd_subrole_box_accessible_get_type());
}

}  // extern "C"

GtkWidget* NewSubroleWindow(const char* subrole) {
  GtkWidget* window =
      GTK_WIDGET(g_object_new(qd_subrole_window_get_type(), "type", GTK_WINDOW_TOPLEVEL, nullptr));
  if (subrole)
    g_object_set_data_full(G_OBJECT(window), kSubroleKey, g_strdup(subrole), g_free);
  return window;
}

GtkWidget* NewSubroleBox(GtkOrientation orientation, int spacing, const char* subrole) {
  GtkWidget* box = GTK_WIDGET(g_object_new(qd_subrole_box_get_type(), "orientation", orientation,
                                           "spacing", spacing, nullptr));
  if (subrole)
    g_object_set_data_full(G_OBJECT(box), kSubroleKey, g_strdup(subrole), g_free);
  return box;
}
