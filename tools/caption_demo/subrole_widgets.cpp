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

void SetSubrole(GtkWidget* widget, const char* subrole) {
  if (subrole)
    g_object_set_data_full(G_OBJECT(widget), kSubroleKey, g_strdup(subrole), g_free);
}

}  // namespace

// The window's accessible, and the window.
G_DECLARE_FINAL_TYPE(SubroleWindowAccessible, subrole_window_accessible, DEMO,
                     SUBROLE_WINDOW_ACCESSIBLE, GtkWindowAccessible)
struct _SubroleWindowAccessible {
  GtkWindowAccessible parent_instance;
};
G_DEFINE_FINAL_TYPE(SubroleWindowAccessible, subrole_window_accessible, GTK_TYPE_WINDOW_ACCESSIBLE)

static AtkAttributeSet* subrole_window_accessible_get_attributes(AtkObject* object) {
  auto* parent = ATK_OBJECT_CLASS(subrole_window_accessible_parent_class);
  return WithSubrole(object, parent->get_attributes ? parent->get_attributes(object) : nullptr);
}
static void subrole_window_accessible_init(SubroleWindowAccessible*) {}
static void subrole_window_accessible_class_init(SubroleWindowAccessibleClass* klass) {
  ATK_OBJECT_CLASS(klass)->get_attributes = subrole_window_accessible_get_attributes;
}

G_DECLARE_FINAL_TYPE(SubroleWindow, subrole_window, DEMO, SUBROLE_WINDOW, GtkWindow)
struct _SubroleWindow {
  GtkWindow parent_instance;
};
G_DEFINE_FINAL_TYPE(SubroleWindow, subrole_window, GTK_TYPE_WINDOW)

static void subrole_window_init(SubroleWindow*) {}
static void subrole_window_class_init(SubroleWindowClass* klass) {
  gtk_widget_class_set_accessible_type(GTK_WIDGET_CLASS(klass),
                                       subrole_window_accessible_get_type());
}

// The box's accessible, and the box.
G_DECLARE_FINAL_TYPE(SubroleBoxAccessible, subrole_box_accessible, DEMO, SUBROLE_BOX_ACCESSIBLE,
                     GtkContainerAccessible)
struct _SubroleBoxAccessible {
  GtkContainerAccessible parent_instance;
};
G_DEFINE_FINAL_TYPE(SubroleBoxAccessible, subrole_box_accessible, GTK_TYPE_CONTAINER_ACCESSIBLE)

static AtkAttributeSet* subrole_box_accessible_get_attributes(AtkObject* object) {
  auto* parent = ATK_OBJECT_CLASS(subrole_box_accessible_parent_class);
  return WithSubrole(object, parent->get_attributes ? parent->get_attributes(object) : nullptr);
}
static void subrole_box_accessible_init(SubroleBoxAccessible*) {}
static void subrole_box_accessible_class_init(SubroleBoxAccessibleClass* klass) {
  ATK_OBJECT_CLASS(klass)->get_attributes = subrole_box_accessible_get_attributes;
}

G_DECLARE_FINAL_TYPE(SubroleBox, subrole_box, DEMO, SUBROLE_BOX, GtkBox)
struct _SubroleBox {
  GtkBox parent_instance;
};
G_DEFINE_FINAL_TYPE(SubroleBox, subrole_box, GTK_TYPE_BOX)

static void subrole_box_init(SubroleBox*) {}
static void subrole_box_class_init(SubroleBoxClass* klass) {
  gtk_widget_class_set_accessible_type(GTK_WIDGET_CLASS(klass), subrole_box_accessible_get_type());
}

GtkWidget* NewSubroleWindow(const char* subrole) {
  GtkWidget* window =
      GTK_WIDGET(g_object_new(subrole_window_get_type(), "type", GTK_WINDOW_TOPLEVEL, nullptr));
  SetSubrole(window, subrole);
  return window;
}

GtkWidget* NewSubroleBox(GtkOrientation orientation, int spacing, const char* subrole) {
  GtkWidget* box = GTK_WIDGET(g_object_new(subrole_box_get_type(), "orientation", orientation,
                                           "spacing", spacing, nullptr));
  SetSubrole(box, subrole);
  return box;
}
