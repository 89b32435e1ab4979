// app_lifecycle — the life of the user interface: start-up in a fixed order,
// the window and its GTK callbacks, the 120 ms poll that turns worker progress
// into redraws, the theme, and the window geometry saved at close.
//
// Sections:
//   Construction
//   Start-up and window
//   Theme and redraw
//   GTK callbacks
//   Poll
#include <algorithm>
#include <clocale>
#include <cmath>

#include <pango/pangocairo.h>

#include "base/geometry_store.h"
#include "base/i18n.h"
#include "base/settings.h"
#include "desktop/desktop_theme.h"
#include "window/accessible.h"
#include "window/app.h"
#include "window/icon_data.h"

namespace {

constexpr int kMinWidth = GeometryStore::MIN_WIDTH;
constexpr int kMinHeight = GeometryStore::MIN_HEIGHT;
// Room a window manager's title bar and borders take beyond the work area.
constexpr int kTitleBarRoom = 48;
constexpr guint kPollMilliseconds = 120;

App* self_of(gpointer p) {
    return static_cast<App*>(p);
}

// An installed icon theme entry wins; a program run from its build folder has
// none, and would otherwise show a blank icon in the task switcher.
void set_window_icon(GtkWindow* window) {
    gtk_window_set_icon_name(window, "brushwick");
    if (gtk_icon_theme_has_icon(gtk_icon_theme_get_default(), "brushwick"))
        return;
    GInputStream* stream =
        g_memory_input_stream_new_from_data(icon_data::PNG, icon_data::PNG_SIZE, nullptr);
    GdkPixbuf* icon = gdk_pixbuf_new_from_stream(stream, nullptr, nullptr);
    g_object_unref(stream);
    if (icon == nullptr)
        return;  // the compiled-in bytes are tested; nothing to show otherwise
    gtk_window_set_icon(window, icon);
    g_object_unref(icon);
}

}  // namespace

// --- Construction ---

App::App() = default;

App::~App() {
    if (m_window != nullptr)
        desktop_theme::watch_text_scale(nullptr);
    cancel_scan();
    drop_layouts();
    if (m_pango != nullptr)
        g_object_unref(m_pango);
    if (m_about_icon != nullptr)
        g_object_unref(m_about_icon);
}

// --- Start-up and window ---

int App::run(int argc, char** argv) {
    gtk_init(&argc, &argv);
    // GTK sets the locale from the environment; numbers in files and in
    // formatting code must keep the decimal point whatever the language.
    std::setlocale(LC_NUMERIC, "C");
    SettingsStore& store = SettingsStore::instance();
    store.load();
    I18n::instance().set_language(store.get().language);
    if (!store.get().projects_root.empty())
        catalog::set_projects_root(store.get().projects_root);
    set_kept(store.get().kept);
    build_window();
    apply_theme();
    desktop_theme::watch([this] { apply_theme(); });
    start_scan();
    g_timeout_add(kPollMilliseconds, on_poll_cb, this);
    gtk_main();
    return 0;
}

void App::build_window() {
    m_window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    gtk_window_set_title(GTK_WINDOW(m_window), "Brushwick");
    set_window_icon(GTK_WINDOW(m_window));

    const WindowGeometry geo = GeometryStore::instance().load();
    update_zoom();
    desktop_theme::watch_text_scale([this] { update_zoom(); });
    if (geo.valid) {
        gtk_window_set_default_size(GTK_WINDOW(m_window), geo.width, geo.height);
    } else {
        // A first start shows the designed layout, as large as the text asks,
        // on the screen (the zoom keeps the minimum window on it).
        const GdkRectangle area = work_area();
        const auto fit = [&](int designed, int room) {
            const int zoomed = static_cast<int>(designed * m_zoom);
            return room > 0 ? std::min(zoomed, room) : zoomed;
        };
        gtk_window_set_default_size(
            GTK_WINDOW(m_window), fit(GeometryStore::DEFAULT_WIDTH, area.width),
            fit(GeometryStore::DEFAULT_HEIGHT, area.height - kTitleBarRoom));
    }
    if (geo.valid && geo.maximized) {
        gtk_window_maximize(GTK_WINDOW(m_window));
    } else if (geo.valid && geo.has_position &&
               position_on_a_monitor(geo.x, geo.y, geo.width, geo.height)) {
        gtk_window_move(GTK_WINDOW(m_window), geo.x, geo.y);
    } else {
        gtk_window_set_position(GTK_WINDOW(m_window), GTK_WIN_POS_CENTER);
    }

    m_canvas = accessible::make_canvas(this);
    gtk_widget_set_can_focus(m_canvas, TRUE);
    gtk_widget_add_events(m_canvas, GDK_POINTER_MOTION_MASK | GDK_BUTTON_PRESS_MASK |
                                        GDK_BUTTON_RELEASE_MASK | GDK_KEY_PRESS_MASK |
                                        GDK_LEAVE_NOTIFY_MASK | GDK_SCROLL_MASK |
                                        GDK_SMOOTH_SCROLL_MASK);
    gtk_container_add(GTK_CONTAINER(m_window), m_canvas);
    g_signal_connect(m_canvas, "draw", G_CALLBACK(on_draw_cb), this);
    g_signal_connect(m_canvas, "button-press-event", G_CALLBACK(on_button_press_cb), this);
    g_signal_connect(m_canvas, "motion-notify-event", G_CALLBACK(on_motion_cb), this);
    g_signal_connect(m_canvas, "leave-notify-event", G_CALLBACK(on_leave_cb), this);
    g_signal_connect(m_canvas, "scroll-event", G_CALLBACK(on_scroll_cb), this);
    g_signal_connect(m_window, "key-press-event", G_CALLBACK(on_key_cb), this);
    g_signal_connect(m_window, "configure-event", G_CALLBACK(on_configure_cb), this);
    g_signal_connect(m_window, "delete-event", G_CALLBACK(on_delete_cb), this);

    m_pango = gtk_widget_create_pango_context(m_canvas);
    gtk_widget_show_all(m_window);
    gtk_widget_grab_focus(m_canvas);
}

void App::ensure_pango() {
    if (m_pango != nullptr)
        return;
    // Without a window (tests, benchmarks) text is laid out with the default
    // cairo font map, which is what the window's context is made from too.
    m_pango = pango_font_map_create_context(pango_cairo_font_map_get_default());
}

GdkRectangle App::work_area() const {
    GdkRectangle area{};
    GdkDisplay* display = gdk_display_get_default();
    if (display == nullptr)
        return area;
    GdkWindow* window = m_window != nullptr ? gtk_widget_get_window(m_window) : nullptr;
    GdkMonitor* monitor = window != nullptr ? gdk_display_get_monitor_at_window(display, window)
                                            : gdk_display_get_primary_monitor(display);
    if (monitor == nullptr && gdk_display_get_n_monitors(display) > 0)
        monitor = gdk_display_get_monitor(display, 0);
    if (monitor != nullptr)
        gdk_monitor_get_workarea(monitor, &area);
    return area;
}

void App::update_zoom() {
    const GdkRectangle area = work_area();
    // The work area leaves out panels but not the window's own title bar.
    const double zoom = GeometryStore::zoom_for(desktop_theme::text_scale(), area.width,
                                                area.height - kTitleBarRoom);
    // Configure events call this on every step of a resize; the hints are
    // set again only when the zoom changes.
    if (zoom == m_zoom && m_zoom_applied)
        return;
    m_zoom = zoom;
    m_zoom_applied = m_window != nullptr;
    if (m_window != nullptr) {
        GdkGeometry hints{};
        hints.min_width = static_cast<int>(std::ceil(kMinWidth * m_zoom));
        hints.min_height = static_cast<int>(std::ceil(kMinHeight * m_zoom));
        gtk_window_set_geometry_hints(GTK_WINDOW(m_window), nullptr, &hints, GDK_HINT_MIN_SIZE);
    }
    request_redraw();
}

bool App::position_on_a_monitor(int x, int y, int w, int h) const {
    GdkDisplay* display = gdk_display_get_default();
    if (display == nullptr)
        return false;
    const int n = gdk_display_get_n_monitors(display);
    for (int i = 0; i < n; ++i) {
        GdkMonitor* monitor = gdk_display_get_monitor(display, i);
        if (monitor == nullptr)
            continue;
        GdkRectangle area{};
        gdk_monitor_get_workarea(monitor, &area);
        const int vertical = std::min(y + h, area.y + area.height) - std::max(y, area.y);
        const int horizontal = std::min(x + w, area.x + area.width) - std::max(x, area.x);
        // Enough of the title bar must be reachable to grab and move the window.
        if (vertical >= 60 && horizontal >= 120)
            return true;
    }
    return false;
}

void App::save_geometry() {
    if (m_window == nullptr)
        return;
    int x = 0, y = 0, w = 0, h = 0;
    gtk_window_get_position(GTK_WINDOW(m_window), &x, &y);
    gtk_window_get_size(GTK_WINDOW(m_window), &w, &h);
    GeometryStore::instance().save(x, y, w, h, m_maximized);
}

// --- Theme and redraw ---

void App::apply_theme() {
    const std::string& theme = SettingsStore::instance().get().theme;
    if (theme == "dark") {
        m_dark = true;
    } else if (theme == "light") {
        m_dark = false;
    } else {
        m_dark = desktop_theme::prefers_dark();
    }
    m_palette = Palette::for_theme(m_dark);
    desktop_theme::set_window_dark(m_dark);
    request_redraw();
}

void App::request_redraw() {
    m_dirty = true;
    if (m_canvas != nullptr)
        gtk_widget_queue_draw(m_canvas);
}

// --- GTK callbacks ---

gboolean App::on_draw_cb(GtkWidget* widget, cairo_t* cr, gpointer self) {
    self_of(self)->draw_window(cr, gtk_widget_get_allocated_width(widget),
                               gtk_widget_get_allocated_height(widget));
    return TRUE;
}

gboolean App::on_button_press_cb(GtkWidget*, GdkEventButton* ev, gpointer self) {
    // Double- and triple-click events arrive in addition to the presses;
    // every press is already a click of its own.
    if (ev->type == GDK_BUTTON_PRESS) {
        App* app = self_of(self);
        app->on_click(ev->x / app->m_zoom, ev->y / app->m_zoom, ev->button == 3);
    }
    return TRUE;
}

gboolean App::on_motion_cb(GtkWidget*, GdkEventMotion* ev, gpointer self) {
    App* app = self_of(self);
    app->on_motion(ev->x / app->m_zoom, ev->y / app->m_zoom);
    return TRUE;
}

gboolean App::on_leave_cb(GtkWidget*, GdkEventCrossing*, gpointer self) {
    App* app = self_of(self);
    app->m_hover_act = Act::None;
    app->m_mouse_x = -1;
    app->m_mouse_y = -1;
    app->request_redraw();
    return TRUE;
}

gboolean App::on_scroll_cb(GtkWidget*, GdkEventScroll* ev, gpointer self) {
    double step = 0;
    switch (ev->direction) {
        case GDK_SCROLL_UP:
            step = -60;
            break;
        case GDK_SCROLL_DOWN:
            step = 60;
            break;
        case GDK_SCROLL_SMOOTH:
            step = 60 * ev->delta_y;
            break;
        default:
            break;
    }
    App* app = self_of(self);
    app->on_wheel(ev->x / app->m_zoom, ev->y / app->m_zoom, step);
    return TRUE;
}

gboolean App::on_key_cb(GtkWidget*, GdkEventKey* ev, gpointer self) {
    self_of(self)->on_key(ev->keyval, static_cast<GdkModifierType>(ev->state));
    return TRUE;
}

gboolean App::on_configure_cb(GtkWidget* widget, GdkEventConfigure*, gpointer self) {
    App* app = self_of(self);
    if (GdkWindow* w = gtk_widget_get_window(widget)) {
        app->m_maximized = (gdk_window_get_state(w) & GDK_WINDOW_STATE_MAXIMIZED) != 0;
    }
    // The window may have moved to a monitor of another size.
    app->update_zoom();
    return FALSE;
}

gboolean App::on_delete_cb(GtkWidget*, GdkEvent*, gpointer self) {
    App* app = self_of(self);
    app->save_geometry();
    app->cancel_scan();
    gtk_main_quit();
    return FALSE;
}

gboolean App::on_poll_cb(gpointer self) {
    self_of(self)->on_poll();
    return TRUE;
}

// --- Poll ---

void App::on_poll() {
    if (!m_worker_running && m_worker.joinable()) {
        m_worker.join();
        const bool was_scanning = m_scanning;
        m_scanning = false;
        m_cleaning = false;
        m_dirty = true;
        announce_result(was_scanning);
        show_failure_dialog_if_due();
    }
    if (m_dirty.exchange(false) && m_canvas != nullptr)
        gtk_widget_queue_draw(m_canvas);
}
