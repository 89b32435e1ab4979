// AppProbe — the tests' way into App: draws frames offscreen, runs scans to
// completion, and exposes the state that clicks, keys and frames change.
//
// App declares AppProbe its friend; nothing else reaches the private state.
#pragma once

#include <cairo.h>

#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "base/i18n.h"
#include "window/app.h"

struct AppProbe {
    explicit AppProbe(App& a) : app(a) {}
    App& app;

    // --- Frames ---

    // Draws one frame of the given size on a fresh image surface, recording
    // every label. Returns the surface (the caller destroys it) or, with
    // keep = false, destroys it at once.
    cairo_surface_t* draw(int width, int height, bool keep = false) {
        cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
        paint(surface, width, height, false);
        if (keep)
            return surface;
        cairo_surface_destroy(surface);
        return nullptr;
    }

    // The same frame on a surface of scale × the size in device pixels, as a
    // window on a scaled screen gets it.
    cairo_surface_t* draw_scaled(int width, int height, double scale) {
        cairo_surface_t* surface = cairo_image_surface_create(
            CAIRO_FORMAT_ARGB32, static_cast<int>(width * scale), static_cast<int>(height * scale));
        cairo_surface_set_device_scale(surface, scale, scale);
        paint(surface, width, height, false);
        return surface;
    }

    // A frame as the window draws it on a canvas of width × height window
    // pixels, zoomed by zoom(). The caller destroys the surface.
    cairo_surface_t* draw_window(int width, int height) {
        cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
        paint(surface, width, height, true);
        return surface;
    }

    // One frame on surface with its labels recorded: zoomed as the window
    // draws it, or in layout units.
    void paint(cairo_surface_t* surface, int width, int height, bool zoomed) {
        cairo_t* cr = cairo_create(surface);
        texts.clear();
        app.m_text_log = &texts;
        if (zoomed)
            app.draw_window(cr, width, height);
        else
            app.draw_frame(cr, width, height);
        app.m_text_log = nullptr;
        cairo_destroy(cr);
        cairo_surface_flush(surface);
    }

    // Pointer events as GTK delivers them, in window pixels.
    void window_click(double x, double y, bool right = false) {
        GdkEventButton ev{};
        ev.type = GDK_BUTTON_PRESS;
        ev.x = x;
        ev.y = y;
        ev.button = right ? 3 : 1;
        App::on_button_press_cb(nullptr, &ev, &app);
    }
    void window_motion(double x, double y) {
        GdkEventMotion ev{};
        ev.type = GDK_MOTION_NOTIFY;
        ev.x = x;
        ev.y = y;
        App::on_motion_cb(nullptr, &ev, &app);
    }

    // The real window, for tests that run with a display.
    void build_window() { app.build_window(); }
    GtkWidget* window() const { return app.m_window; }

    std::vector<App::DrawnText> texts;  // labels of the last frame drawn

    // Lays text out as a window on the default screen does (the screen's font
    // options and resolution), so that frames can be compared with a real
    // window's pixels. Call before the first frame; needs an open display.
    void use_window_fonts() {
        GtkWidget* area = gtk_drawing_area_new();
        g_object_ref_sink(area);
        if (app.m_pango != nullptr)
            g_object_unref(app.m_pango);
        app.m_pango = gtk_widget_create_pango_context(area);
        g_object_unref(area);
        app.drop_layouts();
        app.m_text_widths.clear();
        for (double& h : app.m_font_heights)
            h = 0;
    }

    const App::DrawnText* find_text(const std::string& text) const {
        for (const App::DrawnText& t : texts) {
            if (t.text == text)
                return &t;
        }
        return nullptr;
    }

    // --- Scanning ---

    void start_scan() { app.start_scan(); }

    // fn runs on the scan worker before each category is filled (by id).
    void before_each_category(std::function<void(const std::string&)> fn) {
        app.m_before_category = std::move(fn);
    }

    // Waits for the worker to finish and lets the poll collect it, as the
    // main loop would.
    bool wait_for_worker(std::chrono::seconds limit = std::chrono::seconds(60)) {
        const auto end = std::chrono::steady_clock::now() + limit;
        while (app.m_worker_running) {
            if (std::chrono::steady_clock::now() > end)
                return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        app.on_poll();
        return !app.m_scanning;
    }

    bool scan_to_completion() {
        start_scan();
        return wait_for_worker();
    }

    // --- State ---

    std::vector<CatState>& cats() { return app.m_cats; }
    std::mutex& mutex() { return app.m_mutex; }
    std::atomic<bool>& cancel_flag() { return app.m_cancel; }
    const std::vector<App::HitTarget>& targets() const { return app.m_targets; }
    // Controls the last frame drew out of sight.
    const std::vector<App::HitTarget>& hidden_targets() const { return app.m_hidden_targets; }
    std::string& selection() { return app.m_selection; }
    std::vector<Item>& manual() { return app.m_manual; }
    bool scanning() const { return app.m_scanning; }
    bool& scanning_flag() { return app.m_scanning; }
    // Back to one unscanned state per catalog entry, as a new scan starts.
    void reset_categories() {
        std::lock_guard<std::mutex> lock(app.m_mutex);
        app.reset_categories_locked(catalog::all());
    }
    bool& cleaning() { return app.m_cleaning; }
    double& scroll() { return app.m_scroll; }
    double& zoom() { return app.m_zoom; }
    double& sidebar_scroll() { return app.m_sidebar_scroll; }
    double sidebar_height() const { return app.m_sidebar_height; }
    double& content_height() { return app.m_content_height; }
    RectF toolbar() const { return app.m_r_toolbar; }
    RectF sidebar() const { return app.m_r_sidebar; }
    RectF content() const { return app.m_r_content; }
    RectF footer() const { return app.m_r_footer; }
    App::Act hover_act() const { return app.m_hover_act; }
    int highlight_group() const { return app.m_highlight_group; }
    void set_highlight_group(int g) { app.m_highlight_group = g; }
    void set_scanning(bool scanning) { app.m_scanning = scanning; }
    void set_status_error(bool error) { app.m_status_is_error = error; }
    PangoLanguage* pango_language() const { return pango_context_get_language(app.m_pango); }
    double donut_card_height() {
        std::lock_guard<std::mutex> lock(app.m_mutex);
        return app.donut_card_height();
    }
    App::Overlay& overlay() { return app.m_overlay; }
    const App::Focus& focus() const { return app.m_focus; }
    // The canvas widget the App draws on and tells assistive technology about.
    GtkWidget*& canvas() { return app.m_canvas; }
    const std::string& last_announcement() const { return app.m_last_announcement; }
    bool focus_visible() const { return app.m_focus_visible; }
    // Off: frames under an overlay draw the main view afresh instead of
    // painting the kept picture of it.
    bool& view_cache_enabled() { return app.m_view_cache_enabled; }
    // Off: gradients and icon chips are drawn afresh instead of written from
    // the pixels kept of them.
    bool& kept_enabled() { return app.m_kept_enabled; }
    const Palette& palette() const { return app.m_palette; }

    // --- Overlays ---

    void show_dialog(const std::string& title, const std::string& message,
                     std::vector<App::DialogButton> buttons) {
        app.show_dialog(title, message, std::move(buttons));
    }
    void open_settings() { app.open_settings(); }
    // The keep-list, the ages and their summary, as the window's controls
    // reach them (the folder chooser aside).
    void set_kept(std::vector<std::string> kept) { app.set_kept(std::move(kept)); }
    void toggle_keep(const std::string& path) { app.toggle_keep(path); }
    void keep_folder(const std::string& folder) { app.keep_folder(folder); }
    void ask_age(bool everywhere) { app.ask_age(everywhere); }
    static bool is_old_and_safe(const Item& it, int days, std::time_t now) {
        return App::is_old_and_safe(it, days, now);
    }

    std::string& fm_text() { return app.m_fm_text; }
    std::size_t& fm_caret() { return app.m_fm_caret; }
    bool& fm_editing() { return app.m_fm_editing; }
    std::string& fm_detected() { return app.m_fm_detected; }
    // What Ctrl+V inserts when the clipboard holds text.
    void fm_paste(const std::string& text) { app.fm_paste(text); }
    std::size_t fm_scroll_start(double room) {
        app.ensure_pango();
        return app.fm_scroll_start(room);
    }
    void set_dark(bool dark) {
        app.m_dark = dark;
        app.m_palette = Palette::for_theme(dark);
    }

    // --- Views (the caller holds mutex()) ---

    std::vector<App::VisibleGroup> visible_groups() const { return app.visible_groups(); }
    std::int64_t total() const { return app.total_reclaimable(); }
    std::int64_t safe_total() const { return app.safe_reclaimable(); }
    std::int64_t selected_size() const { return app.selected_size(); }
    int selected_count() const { return app.selected_count(); }
    void select_all_safe(CatState& cs) { app.select_all_safe(cs); }
    void select_none(CatState& cs) { app.select_none(cs); }
    bool worker_running() const { return app.m_worker_running; }

    // --- Cleaning ---

    bool start_clean() { return app.start_clean(); }
    // Occupies the worker slot with body, as a scan or deletion would.
    void run_worker(std::function<void()> body) {
        app.m_worker_running = true;
        app.m_worker = std::thread([this, body = std::move(body)] {
            body();
            app.m_worker_running = false;
        });
    }
    // Caller holds mutex().
    App::CleanPlan clean_plan() const { return app.plan_clean_locked(); }
    std::string& status() { return app.m_status_message; }
    bool status_is_error() const { return app.m_status_is_error; }
    std::vector<std::string>& failed_paths() { return app.m_failed_paths; }
    bool& failed_dialog_pending() { return app.m_failed_dialog_pending; }
    void confirm_clean() { app.confirm_clean(); }
    void poll() { app.on_poll(); }
    const std::string& dialog_title() const { return app.m_dialog_title; }
    const std::string& dialog_message() const { return app.m_dialog_message; }
    const std::vector<App::DialogButton>& dialog_buttons() const { return app.m_dialog_buttons; }

    // --- Input ---

    void click(double x, double y, bool right = false) { app.on_click(x, y, right); }
    void key(unsigned keyval, GdkModifierType state = static_cast<GdkModifierType>(0)) {
        app.on_key(keyval, state);
    }
    void motion(double x, double y) { app.on_motion(x, y); }
    // Hands a target straight to the click routing, as a click on it would.
    void route(const App::HitTarget& t, bool right = false) { app.route_click(t, right); }
    void wheel(double x, double y, double step) { app.on_wheel(x, y, step); }
    App::HitTarget hit(double x, double y) const { return app.hit_test(x, y); }

    // The first target of an action (and index, when given), or null.
    const App::HitTarget* target(App::Act act, int index = -1) const {
        for (const App::HitTarget& t : app.m_targets) {
            if (t.enabled && t.act == act && (index < 0 || t.index == index))
                return &t;
        }
        return nullptr;
    }
    void click_target(const App::HitTarget& t, bool right = false) {
        click(t.rect.x + t.rect.w / 2, t.rect.y + t.rect.h / 2, right);
    }

    // --- Primitives ---

    std::string truncate(const std::string& s, App::Font f, double w) {
        app.ensure_pango();
        return app.truncate_to_width(s, f, w);
    }
    std::string truncate_middle(const std::string& s, App::Font f, double w) {
        app.ensure_pango();
        return app.truncate_path_middle(s, f, w);
    }
    double measure(const std::string& s, App::Font f) {
        app.ensure_pango();
        return app.measure_text(s, f);
    }
    std::vector<std::string> wrap(const std::string& s, App::Font f, double w) {
        app.ensure_pango();
        return app.wrap_text(s, f, w);
    }
    std::string ltr(const std::string& s) { return app.ltr(s); }
    void set_rtl_for_views(bool rtl) { app.m_rtl = rtl; }
    // Primitives, callable inside with_canvas.
    RectF button(double x, double y, const std::string& label, bool prominent, bool enabled) {
        return app.draw_button(x, y, label, prominent, enabled);
    }
    void add_target(RectF r, App::Act act, int index) { app.add_target(r, act, index); }
    double label(const std::string& s, RectF r, const std::string& hex) {
        return app.draw_label(s, App::Font::Body, r, hex);
    }
    double label_right(const std::string& s, RectF r, const std::string& hex) {
        return app.draw_label_right(s, App::Font::Body, r, hex);
    }
    void fill_round(RectF r, double radius, const std::string& hex) {
        app.fill_round_rect(r, radius, hex);
    }
    void stroke_round(RectF r, double radius, const std::string& hex, double width) {
        app.stroke_round_rect(r, radius, hex, width);
    }
    void bar(RectF r, double fraction, const std::string& hex) { app.draw_bar(r, fraction, hex); }
    void glyph(Glyph g, RectF r, Rgb colour) { app.draw_glyph(g, r, colour); }
    void chip(Glyph g, RectF r, const std::string& hex) { app.draw_icon_chip(g, r, hex); }
    cairo_t* cr() { return app.m_cr; }

    // Runs fn(probe) with a cairo context on a scratch surface of the given
    // size, so single primitives can be drawn and inspected.
    template <typename Fn>
    cairo_surface_t* with_canvas(int width, int height, bool rtl, Fn fn) {
        app.ensure_pango();
        cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
        cairo_t* cr = cairo_create(surface);
        app.m_cr = cr;
        app.m_width = width;
        app.m_height = height;
        app.m_rtl = rtl;
        app.m_targets.clear();
        texts.clear();
        app.m_text_log = &texts;
        fn(*this);
        app.m_text_log = nullptr;
        app.m_cr = nullptr;
        cairo_destroy(cr);
        cairo_surface_flush(surface);
        return surface;
    }
};
