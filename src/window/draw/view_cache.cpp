// view_cache — the main view under an open overlay, kept as a picture. An
// overlay is modal: while it is open the window below it only changes when
// the state it is drawn from changes, yet every frame of the overlay would
// draw it again, scrim included. The picture is drawn once, together with
// everything it was drawn from, and painted again until any of that differs.
//
// Never shows an outdated main view: every input of the main view is compared
// on each frame (the category state in full), and a target the picture cannot
// be painted on pixel for pixel is drawn directly instead.
//
// Threads: main thread only; takes m_mutex to read the category state.
//
// Sections:
//   What the main view is drawn from
//   Painting

#include <cmath>
#include <ctime>
#include <utility>

#include "base/i18n.h"
#include "window/app.h"

namespace {

// One minute: the finest step of the "last changed" lines.
constexpr std::time_t kAgeStep = 60;

bool same_palette(const Palette& a, const Palette& b) {
    return a.dark == b.dark && a.window == b.window && a.bar == b.bar && a.divider == b.divider &&
           a.text == b.text && a.secondary == b.secondary && a.accent == b.accent &&
           a.control == b.control && a.control_edge == b.control_edge && a.track == b.track &&
           a.warn_bg == b.warn_bg && a.warn_fg == b.warn_fg && a.danger_bg == b.danger_bg &&
           a.danger_fg == b.danger_fg && a.ok_bg == b.ok_bg && a.ok_fg == b.ok_fg;
}

bool same_item(const Item& a, const Item& b) {
    return a.size == b.size && a.selected == b.selected && a.modified == b.modified &&
           a.size_known == b.size_known && a.not_answering == b.not_answering &&
           a.safety == b.safety && a.keep_hint == b.keep_hint && a.name == b.name &&
           a.path == b.path && a.detail == b.detail;
}

bool same_items(const std::vector<Item>& a, const std::vector<Item>& b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (!same_item(a[i], b[i]))
            return false;
    }
    return true;
}

bool same_definition(const CategoryDef& a, const CategoryDef& b) {
    return a.id == b.id && a.group == b.group && a.title == b.title && a.subtitle == b.subtitle &&
           a.glyph == b.glyph && a.path == b.path && a.safety == b.safety &&
           a.keep_newest == b.keep_newest && a.per_tool == b.per_tool;
}

bool same_categories(const std::vector<CatState>& a, const std::vector<CatState>& b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        const CatState &x = a[i], &y = b[i];
        if (x.scanning != y.scanning || x.did_scan != y.did_scan ||
            x.not_answering != y.not_answering || x.list_partial != y.list_partial ||
            !same_definition(x.def, y.def) || !same_items(x.items, y.items))
            return false;
    }
    return true;
}

// Pixels per unit of the surface a context draws on.
void surface_scale(cairo_t* cr, double& sx, double& sy) {
    cairo_surface_get_device_scale(cairo_get_target(cr), &sx, &sy);
}

// The uniform scale a context draws with (the window's zoom), or 0 when it
// turns, shears or stretches, or moves by part of a pixel: a picture then no
// longer lands pixel for pixel, and the view is drawn afresh.
double uniform_scale(cairo_t* cr) {
    cairo_matrix_t m;
    cairo_get_matrix(cr, &m);
    double sx = 1, sy = 1;
    surface_scale(cr, sx, sy);
    const auto whole = [](double v) { return v == std::floor(v); };
    if (m.xx != m.yy || m.xx <= 0 || m.xy != 0 || m.yx != 0 || !whole(m.x0 * sx) ||
        !whole(m.y0 * sy))
        return 0;
    return m.xx;
}

}  // namespace

// --- What the main view is drawn from ---

struct App::ViewCache {
    cairo_surface_t* picture = nullptr;  // the main view and the scrim; owned
    std::vector<DrawnText> texts;        // the labels drawn into it

    // The inputs the picture was drawn from.
    double width = 0, height = 0, scale_x = 1, scale_y = 1;
    std::time_t age_step = 0;  // the minute of the wall clock, for "last changed"
    std::string language;
    bool rtl = false;
    Palette palette;
    std::string selection;
    double scroll = 0, sidebar_scroll = 0;
    int highlight_group = -1;
    Act hover_act = Act::None;
    int hover_index = 0;
    Overlay overlay = Overlay::None;  // the toolbar marks the Settings button
    bool scanning = false, cleaning = false;
    std::vector<CatState> cats;
    std::vector<Item> manual;
    std::string status;
    bool status_is_error = false;

    ViewCache() = default;
    ViewCache(const ViewCache&) = delete;
    ViewCache& operator=(const ViewCache&) = delete;
    ~ViewCache() {
        if (picture != nullptr)
            cairo_surface_destroy(picture);
    }

    // Everything but the category state; the caller compares that under the lock.
    bool same_view(const App& app, double sx, double sy) const {
        const I18n& i18n = I18n::instance();
        return width == app.m_width && height == app.m_height && scale_x == sx && scale_y == sy &&
               age_step == std::time(nullptr) / kAgeStep && rtl == i18n.is_rtl() &&
               language == i18n.effective_language() && selection == app.m_selection &&
               scroll == app.m_scroll && sidebar_scroll == app.m_sidebar_scroll &&
               highlight_group == app.m_highlight_group && hover_act == app.m_hover_act &&
               hover_index == app.m_hover_index && overlay == app.m_overlay &&
               scanning == app.m_scanning && cleaning == app.m_cleaning &&
               same_palette(palette, app.m_palette);
    }

    // Caller holds app.m_mutex.
    bool same_state_locked(const App& app) const {
        return status == app.m_status_message && status_is_error == app.m_status_is_error &&
               same_categories(cats, app.m_cats) && same_items(manual, app.m_manual);
    }

    void capture(const App& app, double sx, double sy) {
        const I18n& i18n = I18n::instance();
        width = app.m_width;
        height = app.m_height;
        scale_x = sx;
        scale_y = sy;
        age_step = std::time(nullptr) / kAgeStep;
        language = i18n.effective_language();
        rtl = i18n.is_rtl();
        palette = app.m_palette;
        selection = app.m_selection;
        scroll = app.m_scroll;
        sidebar_scroll = app.m_sidebar_scroll;
        highlight_group = app.m_highlight_group;
        hover_act = app.m_hover_act;
        hover_index = app.m_hover_index;
        overlay = app.m_overlay;
        scanning = app.m_scanning;
        cleaning = app.m_cleaning;
    }

    // Caller holds app.m_mutex.
    void capture_state_locked(const App& app) {
        cats = app.m_cats;
        manual = app.m_manual;
        status = app.m_status_message;
        status_is_error = app.m_status_is_error;
    }
};

// --- Painting ---

void App::drop_view_cache() {
    m_view_cache.reset();
}

bool App::draw_backdrop_from_cache() {
    cairo_t* target = m_cr;
    const double zoom = uniform_scale(target);
    if (zoom == 0)
        return false;
    // The picture holds pixels of the target: its scale is the surface's
    // times the zoom.
    double sx = 1, sy = 1;
    surface_scale(target, sx, sy);
    sx *= zoom;
    sy *= zoom;
    bool current = m_view_cache != nullptr && m_view_cache->same_view(*this, sx, sy);
    if (current) {
        std::lock_guard<std::mutex> lock(m_mutex);
        current = m_view_cache->same_state_locked(*this);
    }
    if (!current) {
        // Captured before drawing: a frame that clamps a scroll position or
        // resets the legend leaves inputs that differ, and the next frame
        // draws afresh from the corrected state.
        auto cache = std::make_shared<ViewCache>();
        cache->capture(*this, sx, sy);
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            cache->capture_state_locked(*this);
        }
        cache->picture =
            cairo_surface_create_similar(cairo_get_target(target), CAIRO_CONTENT_COLOR_ALPHA,
                                         static_cast<int>(std::ceil(m_width * zoom)),
                                         static_cast<int>(std::ceil(m_height * zoom)));
        if (cairo_surface_status(cache->picture) != CAIRO_STATUS_SUCCESS)
            return false;
        cairo_t* cr = cairo_create(cache->picture);
        cairo_scale(cr, zoom, zoom);
        std::vector<DrawnText>* log = m_text_log;
        m_text_log = &cache->texts;
        m_cr = cr;
        draw_main_view();
        draw_scrim();
        m_cr = target;
        m_text_log = log;
        cairo_destroy(cr);
        cairo_surface_flush(cache->picture);
        m_view_cache = std::move(cache);
    }
    // The main view covers every pixel with opaque paint, so replacing the
    // target's pixels equals drawing over them.
    cairo_save(target);
    // The picture is already zoomed: painted with the offset alone.
    cairo_matrix_t m;
    cairo_get_matrix(target, &m);
    m.xx = m.yy = 1;
    cairo_set_matrix(target, &m);
    cairo_set_operator(target, CAIRO_OPERATOR_SOURCE);
    cairo_set_source_surface(target, m_view_cache->picture, 0, 0);
    cairo_paint(target);
    cairo_restore(target);
    if (m_text_log != nullptr)
        m_text_log->insert(m_text_log->end(), m_view_cache->texts.begin(),
                           m_view_cache->texts.end());
    return true;
}
