// accessible — ATK objects for the drawn controls. The canvas is a drawing
// area subclass whose accessible type lists one child per control of the last
// frame; each child answers from App::accessible_nodes at the moment it is
// asked, so nothing is copied that could go stale. Children are kept by index
// between frames and only announced as added or removed when the count
// changes; a name or state that changed is announced as such.
//
// Sections:
//   The canvas
//   One control
//   The canvas's accessible
//   Public interface
#include "window/accessible.h"

#include <gtk/gtk-a11y.h>

#include <string>
#include <vector>

#include "window/app.h"

namespace {

// --- The canvas ---

struct BrushwickCanvas {
    GtkDrawingArea parent;
    App* app;
};
struct BrushwickCanvasClass {
    GtkDrawingAreaClass parent_class;
};

GType canvas_accessible_get_type();

G_DEFINE_TYPE(BrushwickCanvas, brushwick_canvas, GTK_TYPE_DRAWING_AREA)

void brushwick_canvas_init(BrushwickCanvas* self) {
    self->app = nullptr;
}

void brushwick_canvas_class_init(BrushwickCanvasClass* klass) {
    gtk_widget_class_set_accessible_type(GTK_WIDGET_CLASS(klass), canvas_accessible_get_type());
    gtk_widget_class_set_accessible_role(GTK_WIDGET_CLASS(klass), ATK_ROLE_PANEL);
}

App* app_of(GtkWidget* canvas) {
    return canvas != nullptr ? reinterpret_cast<BrushwickCanvas*>(canvas)->app : nullptr;
}

// --- One control ---

struct ControlAccessible {
    AtkObject parent;
    GtkWidget* canvas;  // not owned: the widget owns its accessible, which owns us
    int index;          // into App::accessible_nodes
};
struct ControlAccessibleClass {
    AtkObjectClass parent_class;
};

void control_component_init(AtkComponentIface* iface);
void control_action_init(AtkActionIface* iface);

G_DEFINE_TYPE_WITH_CODE(ControlAccessible, control_accessible, ATK_TYPE_OBJECT,
                        G_IMPLEMENT_INTERFACE(ATK_TYPE_COMPONENT, control_component_init)
                            G_IMPLEMENT_INTERFACE(ATK_TYPE_ACTION, control_action_init))

const App::AccessibleNode* node_of(gpointer obj) {
    auto* self = reinterpret_cast<ControlAccessible*>(obj);
    const App* app = app_of(self->canvas);
    if (app == nullptr)
        return nullptr;
    const auto& nodes = app->accessible_nodes();
    if (self->index < 0 || static_cast<std::size_t>(self->index) >= nodes.size())
        return nullptr;
    return &nodes[static_cast<std::size_t>(self->index)];
}

void control_accessible_init(ControlAccessible* self) {
    self->canvas = nullptr;
    self->index = -1;
}

const gchar* control_get_name(AtkObject* obj) {
    const App::AccessibleNode* node = node_of(obj);
    return node != nullptr ? node->name.c_str() : "";
}

const gchar* control_get_description(AtkObject* obj) {
    const App::AccessibleNode* node = node_of(obj);
    return node != nullptr ? node->description.c_str() : "";
}

AtkRole control_get_role(AtkObject* obj) {
    const App::AccessibleNode* node = node_of(obj);
    return node != nullptr ? node->role : ATK_ROLE_INVALID;
}

gint control_get_index_in_parent(AtkObject* obj) {
    return reinterpret_cast<ControlAccessible*>(obj)->index;
}

AtkStateSet* control_ref_state_set(AtkObject* obj) {
    AtkStateSet* set = atk_state_set_new();
    const App::AccessibleNode* node = node_of(obj);
    if (node == nullptr) {
        atk_state_set_add_state(set, ATK_STATE_DEFUNCT);
        return set;
    }
    atk_state_set_add_state(set, ATK_STATE_VISIBLE);
    if (node->showing)
        atk_state_set_add_state(set, ATK_STATE_SHOWING);
    if (node->sensitive) {
        atk_state_set_add_state(set, ATK_STATE_SENSITIVE);
        atk_state_set_add_state(set, ATK_STATE_ENABLED);
        atk_state_set_add_state(set, ATK_STATE_FOCUSABLE);
    }
    if (node->focused)
        atk_state_set_add_state(set, ATK_STATE_FOCUSED);
    if (node->role == ATK_ROLE_CHECK_BOX || node->role == ATK_ROLE_RADIO_BUTTON) {
        atk_state_set_add_state(set, ATK_STATE_CHECKABLE);
        if (node->checked)
            atk_state_set_add_state(set, ATK_STATE_CHECKED);
    }
    if (node->role == ATK_ROLE_TOGGLE_BUTTON && node->checked)
        atk_state_set_add_state(set, ATK_STATE_PRESSED);
    if (node->role == ATK_ROLE_LIST_ITEM) {
        atk_state_set_add_state(set, ATK_STATE_SELECTABLE);
        if (node->checked)
            atk_state_set_add_state(set, ATK_STATE_SELECTED);
    }
    return set;
}

void control_accessible_class_init(ControlAccessibleClass* klass) {
    AtkObjectClass* atk = ATK_OBJECT_CLASS(klass);
    atk->get_name = control_get_name;
    atk->get_description = control_get_description;
    atk->get_role = control_get_role;
    atk->get_index_in_parent = control_get_index_in_parent;
    atk->ref_state_set = control_ref_state_set;
}

void control_get_extents(AtkComponent* component, gint* x, gint* y, gint* width, gint* height,
                         AtkCoordType coord_type) {
    *x = *y = *width = *height = 0;
    const App::AccessibleNode* node = node_of(component);
    GtkWidget* canvas = reinterpret_cast<ControlAccessible*>(component)->canvas;
    if (node == nullptr || canvas == nullptr)
        return;
    gint ox = 0, oy = 0;
    GdkWindow* window = gtk_widget_get_window(canvas);
    if (window != nullptr) {
        if (coord_type == ATK_XY_SCREEN)
            gdk_window_get_origin(window, &ox, &oy);
        else
            gdk_window_get_position(window, &ox, &oy);
    }
    *x = ox + static_cast<gint>(node->rect.x);
    *y = oy + static_cast<gint>(node->rect.y);
    *width = static_cast<gint>(node->rect.w);
    *height = static_cast<gint>(node->rect.h);
}

gboolean control_grab_focus(AtkComponent* component) {
    auto* self = reinterpret_cast<ControlAccessible*>(component);
    App* app = app_of(self->canvas);
    return app != nullptr && app->focus_node(static_cast<std::size_t>(self->index));
}

void control_component_init(AtkComponentIface* iface) {
    iface->get_extents = control_get_extents;
    iface->grab_focus = control_grab_focus;
}

gint control_get_n_actions(AtkAction*) {
    return 1;
}

const gchar* control_get_action_name(AtkAction*, gint i) {
    return i == 0 ? "click" : nullptr;
}

gboolean control_do_action(AtkAction* action, gint i) {
    auto* self = reinterpret_cast<ControlAccessible*>(action);
    if (i != 0 || node_of(self) == nullptr)
        return FALSE;
    // Acting from inside the AT-SPI call could open a modal chooser while
    // the screen reader waits for the answer: act from the main loop.
    struct Pending {
        GtkWidget* canvas;
        int index;
    };
    g_object_ref(self->canvas);
    g_idle_add_full(
        G_PRIORITY_DEFAULT,
        [](gpointer data) -> gboolean {
            auto* p = static_cast<Pending*>(data);
            if (App* app = app_of(p->canvas))
                app->activate_node(static_cast<std::size_t>(p->index));
            return G_SOURCE_REMOVE;
        },
        new Pending{self->canvas, self->index},
        [](gpointer data) {
            auto* p = static_cast<Pending*>(data);
            g_object_unref(p->canvas);
            delete p;
        });
    return TRUE;
}

void control_action_init(AtkActionIface* iface) {
    iface->get_n_actions = control_get_n_actions;
    iface->get_name = control_get_action_name;
    iface->do_action = control_do_action;
}

// --- The canvas's accessible ---

// What assistive technology was last told about one child.
struct Told {
    std::string name;
    std::string description;
    bool checked = false;
    bool focused = false;
};

// Kept behind a pointer: GObject instances are C structs, constructed by
// GLib without C++ constructors.
struct CanvasChildren {
    std::vector<AtkObject*> objects;  // owned references, by index
    std::vector<Told> told;           // at the same index
    bool asked = false;               // a reader has asked for the children
};

struct CanvasAccessible {
    GtkWidgetAccessible parent;
    CanvasChildren* children;
};
struct CanvasAccessibleClass {
    GtkWidgetAccessibleClass parent_class;
};

G_DEFINE_TYPE(CanvasAccessible, canvas_accessible, GTK_TYPE_WIDGET_ACCESSIBLE)

GtkWidget* canvas_of(AtkObject* accessible) {
    return gtk_accessible_get_widget(GTK_ACCESSIBLE(accessible));
}

void canvas_accessible_init(CanvasAccessible* self) {
    self->children = new CanvasChildren();
}

void canvas_accessible_finalize(GObject* obj) {
    auto* self = reinterpret_cast<CanvasAccessible*>(obj);
    for (AtkObject* child : self->children->objects)
        g_object_unref(child);
    delete self->children;
    G_OBJECT_CLASS(canvas_accessible_parent_class)->finalize(obj);
}

gint canvas_get_n_children(AtkObject* obj) {
    reinterpret_cast<CanvasAccessible*>(obj)->children->asked = true;
    const App* app = app_of(canvas_of(obj));
    return app != nullptr ? static_cast<gint>(app->accessible_nodes().size()) : 0;
}

AtkObject* canvas_ref_child(AtkObject* obj, gint i) {
    auto* self = reinterpret_cast<CanvasAccessible*>(obj);
    GtkWidget* canvas = canvas_of(obj);
    if (i < 0 || i >= canvas_get_n_children(obj))
        return nullptr;
    auto& children = self->children->objects;
    while (static_cast<gint>(children.size()) <= i) {
        auto* child =
            static_cast<ControlAccessible*>(g_object_new(control_accessible_get_type(), nullptr));
        child->canvas = canvas;
        child->index = static_cast<int>(children.size());
        atk_object_set_parent(ATK_OBJECT(child), obj);
        children.push_back(ATK_OBJECT(child));
        Told told;
        if (const App::AccessibleNode* node = node_of(child))
            told = Told{node->name, node->description, node->checked, node->focused};
        self->children->told.push_back(told);
    }
    return ATK_OBJECT(g_object_ref(children[static_cast<std::size_t>(i)]));
}

void canvas_accessible_class_init(CanvasAccessibleClass* klass) {
    G_OBJECT_CLASS(klass)->finalize = canvas_accessible_finalize;
    ATK_OBJECT_CLASS(klass)->get_n_children = canvas_get_n_children;
    ATK_OBJECT_CLASS(klass)->ref_child = canvas_ref_child;
}

}  // namespace

// --- Public interface ---

namespace accessible {

GtkWidget* make_canvas(App* app) {
    auto* canvas =
        static_cast<BrushwickCanvas*>(g_object_new(brushwick_canvas_get_type(), nullptr));
    canvas->app = app;
    return GTK_WIDGET(canvas);
}

void controls_changed(GtkWidget* canvas) {
    if (canvas == nullptr)
        return;
    AtkObject* atk = gtk_widget_get_accessible(canvas);
    auto* self = reinterpret_cast<CanvasAccessible*>(atk);
    if (!self->children->asked)
        return;  // nobody listens: nothing to tell
    const gint count = canvas_get_n_children(atk);
    auto& children = self->children->objects;
    auto& told = self->children->told;
    // Children beyond the new count are gone.
    while (static_cast<gint>(children.size()) > count) {
        AtkObject* child = children.back();
        children.pop_back();
        told.pop_back();
        g_signal_emit_by_name(atk, "children-changed::remove", static_cast<gint>(children.size()),
                              child);
        g_object_unref(child);
    }
    // Those that stay say what changed about them, and only that.
    for (std::size_t i = 0; i < children.size(); ++i) {
        const App::AccessibleNode* node = node_of(children[i]);
        if (node == nullptr)
            continue;
        Told& was = told[i];
        if (node->name != was.name)
            g_object_notify(G_OBJECT(children[i]), "accessible-name");
        if (node->description != was.description)
            g_object_notify(G_OBJECT(children[i]), "accessible-description");
        if (node->checked != was.checked)
            atk_object_notify_state_change(
                children[i],
                node->role == ATK_ROLE_TOGGLE_BUTTON ? ATK_STATE_PRESSED : ATK_STATE_CHECKED,
                node->checked);
        if (node->focused != was.focused)
            atk_object_notify_state_change(children[i], ATK_STATE_FOCUSED, node->focused);
        was = Told{node->name, node->description, node->checked, node->focused};
    }
    // Those the app knows besides appear.
    for (gint i = static_cast<gint>(children.size()); i < count; ++i) {
        AtkObject* child = canvas_ref_child(atk, i);
        g_signal_emit_by_name(atk, "children-changed::add", i, child);
        g_object_unref(child);
    }
}

void announce(GtkWidget* canvas, const char* text) {
    if (canvas == nullptr || text == nullptr || *text == '\0')
        return;
    g_signal_emit_by_name(gtk_widget_get_accessible(canvas), "announcement", text);
}

}  // namespace accessible
