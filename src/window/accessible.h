// accessible — the drawing area as assistive technology sees it. The window
// has no widgets inside its one canvas, so screen readers would find nothing;
// this module gives the canvas an ATK object whose children are the controls
// of the last frame (App::accessible_nodes): each with a role, a name read
// from its drawn labels, a description, states, its extents on the screen and
// one action that does what a click does.
//
// Never draws and never changes the application's state itself: activating
// a child goes through App::activate_node, like a click through routing.
//
// Threads: the GTK main thread only (ATK and AT-SPI calls arrive there).
#pragma once

#include <gtk/gtk.h>

class App;

namespace accessible {

// A drawing area whose accessible object lists app's controls. app must
// outlive the widget.
GtkWidget* make_canvas(App* app);

// Tells assistive technology that the controls of canvas changed: children
// come and go, names and states are read afresh. Cheap when nothing changed.
void controls_changed(GtkWidget* canvas);

// Makes a screen reader say text now (a scan finished, a deletion's result).
void announce(GtkWidget* canvas, const char* text);

}  // namespace accessible
