#pragma once

#include <gtk/gtk.h>

// GTK widgets whose accessible objects carry a "subrole" object attribute, the way a caption
// provider marks its caption container. A null subrole adds no attribute.

// A top-level window.
GtkWidget* NewSubroleWindow(const char* subrole);
// A box.
GtkWidget* NewSubroleBox(GtkOrientation orientation, int spacing, const char* subrole);
