// primitives — the drawing toolkit every screen uses: fonts and labels,
// truncation and wrapping, rounded shapes, bars, pills, buttons and hit
// targets. Callers lay out left to right; these methods mirror for
// right-to-left languages, so no screen ever mirrors by itself. Costly small
// drawings (gradients, icon chips) are kept with the pixels they were drawn
// over and replayed only onto those very pixels, in the very same place.
//
// Sections:
//   Mirroring
//   Text
//   Shapes
//   Kept pictures
//   Controls and hit targets
#include <glib.h>
#include <pango/pangocairo.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>

#include "base/i18n.h"
#include "base/strutil.h"
#include "window/app.h"

namespace {

struct FontStyle {
    bool mono;
    double pixels;
    bool bold;
};

constexpr FontStyle kFonts[] = {
    {false, 13, false},   // Body
    {false, 13, true},    // BodyBold
    {false, 11, false},   // Caption
    {false, 11, true},    // CaptionBold
    {false, 19, true},    // Title
    {false, 34, true},    // Hero
    {true, 11.5, false},  // Mono
    {true, 13, true},     // MonoBold
};

const char* const kEllipsis = "\xE2\x80\xA6";

constexpr std::size_t kTextWidthCacheLimit = 4096;
constexpr std::size_t kLayoutCacheLimit = 2048;
// Drawings kept with the pixels they were drawn over: a frame has a few
// dozen; scrolling brings new places on every frame.
constexpr std::size_t kKeptLimit = 512;
constexpr std::size_t kKeptBytesLimit = 48u << 20;

// Byte offsets of the first `chars` code points of a UTF-8 text (invalid
// bytes count as one character each, so odd file names still shorten).
std::size_t byte_offset_of_char(const std::string& s, long chars) {
    std::size_t i = 0;
    for (long c = 0; c < chars && i < s.size(); ++c) {
        ++i;
        while (i < s.size() && (static_cast<unsigned char>(s[i]) & 0xC0) == 0x80)
            ++i;
    }
    return i;
}

// Device pixels per user unit of a context: its transformation times the
// scale of the surface it draws on (the window's scale factor).
double device_scale(cairo_t* cr) {
    double dx = 1, dy = 0;
    cairo_user_to_device_distance(cr, &dx, &dy);
    double sx = 1, sy = 1;
    cairo_surface_get_device_scale(cairo_get_target(cr), &sx, &sy);
    return std::max(std::hypot(dx, dy) * sy, 1e-6);
}

// A point in user space to the surface's pixels and back; cairo's own
// conversions stop short of the surface's scale and offset.
void to_pixels(cairo_t* cr, double& x, double& y) {
    cairo_user_to_device(cr, &x, &y);
    double sx = 1, sy = 1, ox = 0, oy = 0;
    cairo_surface_get_device_scale(cairo_get_target(cr), &sx, &sy);
    cairo_surface_get_device_offset(cairo_get_target(cr), &ox, &oy);
    x = x * sx + ox;
    y = y * sy + oy;
}

void from_pixels(cairo_t* cr, double& x, double& y) {
    double sx = 1, sy = 1, ox = 0, oy = 0;
    cairo_surface_get_device_scale(cairo_get_target(cr), &sx, &sy);
    cairo_surface_get_device_offset(cairo_get_target(cr), &ox, &oy);
    x = (x - ox) / sx;
    y = (y - oy) / sy;
    cairo_device_to_user(cr, &x, &y);
}

// Whole device pixels [x0, x1) × [y0, y1).
struct PixelBox {
    double x0, y0, x1, y1;
};

PixelBox pixel_box_around(double x0, double y0, double x1, double y1) {
    return PixelBox{std::floor(x0) - 1, std::floor(y0) - 1, std::ceil(x1) + 1, std::ceil(y1) + 1};
}

// What besides the drawing itself decides a drawing's pixels: the surface's
// kind and format, its scale and offset, the transformation and the clip.
// Empty when the clip is not a list of rectangles.
std::string drawing_context(cairo_t* cr) {
    cairo_surface_t* target = cairo_get_target(cr);
    double sx = 1, sy = 1, ox = 0, oy = 0;
    cairo_surface_get_device_scale(target, &sx, &sy);
    cairo_surface_get_device_offset(target, &ox, &oy);
    cairo_matrix_t m;
    cairo_get_matrix(cr, &m);
    char buf[256];
    std::snprintf(buf, sizeof buf, "%d|%a|%a|%a|%a|%a|%a|%a|%a|%a|%a|",
                  static_cast<int>(cairo_image_surface_get_format(target)), sx, sy, ox, oy, m.xx,
                  m.yx, m.xy, m.yy, m.x0, m.y0);
    std::string context = buf;
    cairo_rectangle_list_t* list = cairo_copy_clip_rectangle_list(cr);
    const bool listed = list->status == CAIRO_STATUS_SUCCESS;
    for (int i = 0; listed && i < list->num_rectangles; ++i) {
        const cairo_rectangle_t& r = list->rectangles[i];
        std::snprintf(buf, sizeof buf, "%a,%a,%a,%a;", r.x, r.y, r.width, r.height);
        context += buf;
    }
    cairo_rectangle_list_destroy(list);
    return listed ? context : std::string();
}

// The box cut to the surface, in whole pixels; empty when nothing is left.
PixelBox on_surface(PixelBox box, cairo_surface_t* s) {
    box.x0 = std::max(box.x0, 0.0);
    box.y0 = std::max(box.y0, 0.0);
    box.x1 = std::min(box.x1, static_cast<double>(cairo_image_surface_get_width(s)));
    box.y1 = std::min(box.y1, static_cast<double>(cairo_image_surface_get_height(s)));
    return box;
}

// The box's pixels, row after row.
std::vector<std::uint32_t> read_pixels(cairo_surface_t* s, const PixelBox& box) {
    cairo_surface_flush(s);
    const int x0 = static_cast<int>(box.x0), y0 = static_cast<int>(box.y0);
    const int w = static_cast<int>(box.x1) - x0, h = static_cast<int>(box.y1) - y0;
    const unsigned char* data = cairo_image_surface_get_data(s);
    const int stride = cairo_image_surface_get_stride(s);
    std::vector<std::uint32_t> pixels(static_cast<std::size_t>(w * h));
    for (int y = 0; y < h; ++y)
        std::memcpy(&pixels[static_cast<std::size_t>(y * w)], data + (y0 + y) * stride + x0 * 4,
                    static_cast<std::size_t>(w) * 4);
    return pixels;
}

void write_pixels(cairo_surface_t* s, const PixelBox& box, const std::vector<std::uint32_t>& px) {
    cairo_surface_flush(s);
    const int x0 = static_cast<int>(box.x0), y0 = static_cast<int>(box.y0);
    const int w = static_cast<int>(box.x1) - x0, h = static_cast<int>(box.y1) - y0;
    unsigned char* data = cairo_image_surface_get_data(s);
    const int stride = cairo_image_surface_get_stride(s);
    for (int y = 0; y < h; ++y)
        std::memcpy(data + (y0 + y) * stride + x0 * 4, &px[static_cast<std::size_t>(y * w)],
                    static_cast<std::size_t>(w) * 4);
    cairo_surface_mark_dirty_rectangle(s, x0, y0, w, h);
}

long char_count(const std::string& s) {
    long n = 0;
    for (unsigned char c : s)
        n += (c & 0xC0) != 0x80;
    return n;
}

}  // namespace

// --- Mirroring ---

RectF App::mirror(RectF r) const {
    if (!m_rtl)
        return r;
    return RectF{static_cast<float>(m_width) - r.x - r.w, r.y, r.w, r.h};
}

double App::mirror_x(double x) const {
    return m_rtl ? m_width - x : x;
}

// --- Text ---

PangoLayout* App::layout_for(const std::string& text, Font font) const {
    const FontStyle& style = kFonts[static_cast<int>(font)];
    PangoLayout* layout = pango_layout_new(m_pango);
    PangoFontDescription* desc = pango_font_description_new();
    pango_font_description_set_family(
        desc, style.mono ? I18n::mono_font_family() : I18n::instance().ui_font_family());
    pango_font_description_set_absolute_size(desc, style.pixels * PANGO_SCALE);
    pango_font_description_set_weight(desc, style.bold ? PANGO_WEIGHT_BOLD : PANGO_WEIGHT_NORMAL);
    pango_layout_set_font_description(layout, desc);
    pango_font_description_free(desc);
    // Pango refuses invalid UTF-8 with a warning and draws nothing; file names
    // may hold any bytes, so show the broken bytes as replacement characters.
    const std::string valid = su::sanitize_utf8(text);
    pango_layout_set_text(layout, valid.data(), static_cast<int>(valid.size()));
    return layout;
}

double App::measure_text(const std::string& text, Font font) const {
    std::string key(1, static_cast<char>('0' + static_cast<int>(font)));
    key += text;
    if (const auto found = m_text_widths.find(key); found != m_text_widths.end()) {
        return found->second;
    }
    PangoLayout* layout = layout_for(text, font);
    int w = 0, h = 0;
    pango_layout_get_pixel_size(layout, &w, &h);
    g_object_unref(layout);
    // Sizes, paths and truncation candidates change; a bounded cache stays
    // small without tracking which entries are still in use.
    if (m_text_widths.size() >= kTextWidthCacheLimit)
        m_text_widths.clear();
    m_text_widths.emplace(std::move(key), w);
    return w;
}

PangoLayout* App::shaped_layout(const std::string& text, Font font) const {
    std::string key(1, static_cast<char>('0' + static_cast<int>(font)));
    key += text;
    if (const auto found = m_layouts.find(key); found != m_layouts.end())
        return found->second;
    // Most labels repeat from frame to frame; shaping them is the larger part
    // of drawing text. Bounded like the widths, for the same reason.
    if (m_layouts.size() >= kLayoutCacheLimit)
        drop_layouts();
    PangoLayout* layout = layout_for(text, font);
    m_layouts.emplace(std::move(key), layout);
    return layout;
}

void App::drop_layouts() const {
    for (auto& [key, layout] : m_layouts)
        g_object_unref(layout);
    m_layouts.clear();
}

double App::font_height(Font font) const {
    double& cached = m_font_heights[static_cast<int>(font)];
    if (cached > 0)
        return cached;
    PangoLayout* layout = layout_for("Ag", font);
    int w = 0, h = 0;
    pango_layout_get_pixel_size(layout, &w, &h);
    g_object_unref(layout);
    cached = h;
    return h;
}

double App::draw_label_rgb(const std::string& text, Font font, RectF r, Rgb colour, double alpha) {
    if (text.empty() || m_cr == nullptr)
        return 0;
    const double x = m_rtl ? m_width - r.x - r.w : r.x;
    PangoLayout* layout = shaped_layout(text, font);
    int tw = 0, th = 0;
    pango_layout_get_pixel_size(layout, &tw, &th);
    const double y = r.y + (r.h - th) * 0.5;
    const double left = m_rtl ? x + r.w - tw : x;
    cairo_set_source_rgba(m_cr, colour.r, colour.g, colour.b, alpha);
    cairo_move_to(m_cr, left, y);
    pango_cairo_show_layout(m_cr, layout);
    const DrawnText drawn{text, RectF{static_cast<float>(left), static_cast<float>(y),
                                      static_cast<float>(tw), static_cast<float>(th)}};
    m_frame_labels.push_back(drawn);
    if (m_text_log != nullptr)
        m_text_log->push_back(drawn);
    cairo_new_path(m_cr);
    return tw;
}

double App::draw_label(const std::string& text, Font font, RectF r, const std::string& hex,
                       double alpha) {
    Rgb colour;
    if (text.empty() || !hex_to_rgb(hex, colour))
        return 0;
    return draw_label_rgb(text, font, r, colour, alpha);
}

double App::draw_label_right(const std::string& text, Font font, RectF r, const std::string& hex,
                             double alpha) {
    const float tw = static_cast<float>(measure_text(text, font));
    return draw_label(text, font, RectF{r.x + r.w - tw, r.y, tw, r.h}, hex, alpha);
}

double App::draw_label_center(const std::string& text, Font font, RectF r, const std::string& hex,
                              double alpha) {
    const float tw = static_cast<float>(measure_text(text, font));
    return draw_label(text, font, RectF{r.x + (r.w - tw) / 2, r.y, tw, r.h}, hex, alpha);
}

std::string App::truncate_to_width(const std::string& text, Font font, double max_width) const {
    if (max_width <= 0)
        return {};
    if (measure_text(text, font) <= max_width)
        return text;
    // Candidates shrink one character at a time; a binary search would measure
    // fewer, but widths are not monotonic under kerning and shaping, and the
    // longest fitting candidate is what the user should see.
    for (long k = char_count(text) - 1; k >= 1; --k) {
        const std::string candidate = text.substr(0, byte_offset_of_char(text, k)) + kEllipsis;
        if (measure_text(candidate, font) <= max_width)
            return candidate;
    }
    return kEllipsis;
}

std::string App::truncate_path_middle(const std::string& text, Font font, double max_width) const {
    if (max_width <= 0)
        return {};
    if (measure_text(text, font) <= max_width)
        return text;
    const long n = char_count(text);
    if (n <= 3)
        return truncate_to_width(text, font, max_width);
    for (long keep = n / 2; keep >= 2; --keep) {
        const long tail_chars = keep / 2;
        const long head_chars = keep - tail_chars;
        const std::string head = text.substr(0, byte_offset_of_char(text, head_chars));
        const std::string tail = text.substr(byte_offset_of_char(text, n - tail_chars));
        const std::string candidate = head + kEllipsis + tail;
        if (measure_text(candidate, font) <= max_width)
            return candidate;
    }
    return truncate_to_width(text, font, max_width);
}

std::vector<std::string> App::wrap_text(const std::string& text, Font font,
                                        double max_width) const {
    std::vector<std::string> lines;
    if (text.empty())
        return lines;
    PangoLayout* layout = layout_for(text, font);
    pango_layout_set_width(layout, static_cast<int>(max_width * PANGO_SCALE));
    pango_layout_set_wrap(layout, PANGO_WRAP_WORD_CHAR);
    const char* laid_out = pango_layout_get_text(layout);
    for (GSList* l = pango_layout_get_lines_readonly(layout); l != nullptr; l = l->next) {
        const auto* line = static_cast<PangoLayoutLine*>(l->data);
        lines.emplace_back(laid_out + line->start_index, static_cast<std::size_t>(line->length));
    }
    g_object_unref(layout);
    return lines;
}

// --- Shapes ---

void App::round_rect_path(RectF r, double radius) {
    const double rad = std::min(std::min(r.w, r.h) * 0.5, radius);
    if (rad <= 0.5) {
        cairo_rectangle(m_cr, r.x, r.y, r.w, r.h);
        return;
    }
    const double x = r.x, y = r.y, w = r.w, h = r.h;
    cairo_new_sub_path(m_cr);
    cairo_arc(m_cr, x + w - rad, y + rad, rad, -G_PI / 2, 0);
    cairo_arc(m_cr, x + w - rad, y + h - rad, rad, 0, G_PI / 2);
    cairo_arc(m_cr, x + rad, y + h - rad, rad, G_PI / 2, G_PI);
    cairo_arc(m_cr, x + rad, y + rad, rad, G_PI, 3 * G_PI / 2);
    cairo_close_path(m_cr);
}

void App::fill_rgb(RectF r, Rgb colour, double alpha) {
    const RectF m = mirror(r);
    cairo_set_source_rgba(m_cr, colour.r, colour.g, colour.b, alpha);
    cairo_rectangle(m_cr, m.x, m.y, m.w, m.h);
    cairo_fill(m_cr);
}

void App::fill_rect(RectF r, const std::string& hex, double alpha) {
    Rgb colour;
    if (hex_to_rgb(hex, colour))
        fill_rgb(r, colour, alpha);
}

void App::fill_round_rect(RectF r, double radius, const std::string& hex, double alpha) {
    Rgb colour;
    if (!hex_to_rgb(hex, colour))
        return;
    cairo_set_source_rgba(m_cr, colour.r, colour.g, colour.b, alpha);
    round_rect_path(mirror(r), radius);
    cairo_fill(m_cr);
}

void App::fill_round_rect_gradient(RectF r, double radius, const std::string& from,
                                   const std::string& to, double alpha) {
    Rgb a, b;
    if (!hex_to_rgb(from, a) || !hex_to_rgb(to, b))
        return;
    const RectF m = mirror(r);
    // A gradient costs its whole area in per-pixel colour computations; the
    // hero card alone takes milliseconds at 1920 px.
    const auto paint = [&] { paint_gradient(m, radius, a, b, alpha); };
    char what[160];
    std::snprintf(what, sizeof what, "gradient|%a|%a|%s|%s", radius, alpha, from.c_str(),
                  to.c_str());
    if (m_kept_enabled)
        paint_kept(what, m, paint);
    else
        paint();
}

void App::paint_gradient(RectF m, double radius, Rgb a, Rgb b, double alpha) {
    cairo_pattern_t* pattern = cairo_pattern_create_linear(m.x, m.y, m.x + m.w, m.y + m.h);
    cairo_pattern_add_color_stop_rgba(pattern, 0, a.r, a.g, a.b, alpha);
    cairo_pattern_add_color_stop_rgba(pattern, 1, b.r, b.g, b.b, alpha);
    cairo_set_source(m_cr, pattern);
    round_rect_path(m, radius);
    cairo_fill(m_cr);
    cairo_pattern_destroy(pattern);
}

void App::stroke_round_rect(RectF r, double radius, const std::string& hex, double width,
                            double alpha) {
    Rgb colour;
    if (!hex_to_rgb(hex, colour))
        return;
    RectF m = mirror(r);
    // Thin outlines run along whole device pixels, inside the shape, so they
    // stay crisp instead of smearing over two (or three, at scale 1.5).
    if (width <= 1.5) {
        const double scale = device_scale(m_cr);
        const double line = std::max(1.0, std::round(width * scale));
        double x0 = m.x, y0 = m.y, x1 = m.x + m.w, y1 = m.y + m.h;
        to_pixels(m_cr, x0, y0);
        to_pixels(m_cr, x1, y1);
        x0 = std::round(x0) + line / 2;
        y0 = std::round(y0) + line / 2;
        x1 = std::round(x1) - line / 2;
        y1 = std::round(y1) - line / 2;
        from_pixels(m_cr, x0, y0);
        from_pixels(m_cr, x1, y1);
        m = RectF{static_cast<float>(x0), static_cast<float>(y0), static_cast<float>(x1 - x0),
                  static_cast<float>(y1 - y0)};
        width = line / scale;
    }
    cairo_set_source_rgba(m_cr, colour.r, colour.g, colour.b, alpha);
    cairo_set_line_width(m_cr, width);
    round_rect_path(m, radius);
    cairo_stroke(m_cr);
}

void App::draw_hairline(double y, double x0, double x1) {
    Rgb colour;
    if (!hex_to_rgb(m_palette.divider, colour))
        return;
    cairo_set_source_rgb(m_cr, colour.r, colour.g, colour.b);
    // One whole device pixel or more, centred on device pixels: at scale 1.5 a
    // line of one logical pixel would otherwise smear over three rows.
    const double scale = device_scale(m_cr);
    const double device_width = std::max(1.0, std::round(scale));
    double dx = 0, dy = y;
    to_pixels(m_cr, dx, dy);
    dy = std::floor(dy) + device_width / 2;
    from_pixels(m_cr, dx, dy);
    const double ly = dy;
    cairo_set_line_width(m_cr, device_width / scale);
    cairo_move_to(m_cr, mirror_x(x0), ly);
    cairo_line_to(m_cr, mirror_x(x1), ly);
    cairo_stroke(m_cr);
}

void App::draw_bar(RectF r, double fraction, const std::string& hex) {
    fill_round_rect(r, r.h * 0.5, m_palette.text, 0.09);
    const double fw = r.w * std::clamp(fraction, 0.0, 1.0);
    if (fw <= 0)
        return;
    // A sliver narrower than the rounded ends would vanish; keep it visible.
    fill_round_rect(RectF{r.x, r.y, static_cast<float>(std::max(fw, 5.0)), r.h}, r.h * 0.5, hex,
                    1.0);
}

// --- Kept pictures ---

void App::paint_kept(const std::string& what, RectF m, const std::function<void()>& draw) {
    cairo_surface_t* target = cairo_get_target(m_cr);
    const bool image = cairo_surface_get_type(target) == CAIRO_SURFACE_TYPE_IMAGE;
    const std::string context = image ? drawing_context(m_cr) : std::string();
    if (context.empty()) {
        draw();
        return;
    }
    double x0 = m.x, y0 = m.y, x1 = m.x + m.w, y1 = m.y + m.h;
    to_pixels(m_cr, x0, y0);
    to_pixels(m_cr, x1, y1);
    // One pixel to spare around the shape, for its antialiased edge.
    const PixelBox box = on_surface(pixel_box_around(x0, y0, x1, y1), target);
    if (box.x1 <= box.x0 || box.y1 <= box.y0) {
        draw();
        return;
    }
    char place[160];
    std::snprintf(place, sizeof place, "%a|%a|%a|%a|", static_cast<double>(m.x),
                  static_cast<double>(m.y), static_cast<double>(m.w), static_cast<double>(m.h));
    const std::string key = context + place + what;
    std::vector<std::uint32_t> before = read_pixels(target, box);
    const auto found = m_kept.find(key);
    if (found != m_kept.end() && found->second.before == before) {
        write_pixels(target, box, found->second.after);
        return;
    }
    m_kept_enabled = false;  // the drawing's own parts are drawn, not looked up
    draw();
    m_kept_enabled = true;
    if (m_kept.size() >= kKeptLimit || m_kept_bytes >= kKeptBytesLimit) {
        m_kept.clear();
        m_kept_bytes = 0;
    }
    m_kept_bytes += before.size() * 8;
    m_kept[key] = KeptPixels{std::move(before), read_pixels(target, box)};
}

// --- Controls and hit targets ---

RectF App::draw_pill(double x, double y, const std::string& text, Font font, const std::string& hex,
                     double bg_alpha) {
    const double tw = measure_text(text, font);
    const double fh = font_height(font);
    const RectF r{static_cast<float>(x), static_cast<float>(y), static_cast<float>(tw + 14),
                  static_cast<float>(fh + 5)};
    fill_round_rect(r, (fh + 5) * 0.5, hex, bg_alpha);
    // Pills sit on cards; the hue stays, the shade reads on the tinted card.
    draw_label_center(text, font, r,
                      readable_on(hex, mix_hex(hex, m_palette.bar, bg_alpha), kMinTextContrast));
    return r;
}

RectF App::draw_button(double x, double y, const std::string& label, bool prominent, bool enabled) {
    const double tw = measure_text(label, Font::Body);
    const RectF r{static_cast<float>(x), static_cast<float>(y), static_cast<float>(tw + 26), 30};
    if (prominent) {
        fill_round_rect_gradient(r, 8, kBrandPink, kBrandOrange, enabled ? 1.0 : 0.4);
        draw_label_center(label, Font::Body, r, text_on_fill(kBrandPink, kMinTextContrast),
                          enabled ? 1.0 : 0.45);
    } else {
        const double alpha = enabled ? 1.0 : 0.45;
        fill_round_rect(r, 8, m_palette.control, alpha);
        stroke_round_rect(r, 8, m_palette.control_edge, 1, alpha);
        draw_label_center(label, Font::Body, r, m_palette.text, alpha);
    }
    return r;
}

void App::draw_scroll_thumb(RectF region, double scroll, double content_height) {
    constexpr double kMargin = 6;  // from the region's top and bottom to the track
    constexpr double kMinThumb = 28;
    const double h = region.h;
    if (content_height <= h)
        return;
    const double track = h - 2 * kMargin;
    const double thumb = std::max(track * h / content_height, kMinThumb);
    const double top =
        region.y + kMargin + scroll / std::max(content_height - h, 1.0) * (track - thumb);
    fill_round_rect(
        RectF{region.x + region.w - 8, static_cast<float>(top), 4, static_cast<float>(thumb)}, 2,
        m_palette.text, 0.22);
}

App::FrameMark App::frame_mark() const {
    return FrameMark{m_targets.size(), m_hidden_targets.size(), m_frame_labels.size(),
                     m_text_log != nullptr ? m_text_log->size() : 0};
}

void App::rewind_to(const FrameMark& mark) {
    m_targets.resize(mark.targets);
    m_hidden_targets.resize(mark.hidden);
    m_frame_labels.resize(mark.labels);
    if (m_text_log != nullptr)
        m_text_log->resize(mark.texts);
}

void App::add_target(RectF r, Act act, int index, bool enabled) {
    const RectF full = mirror(r);
    if (!m_clip_targets.empty()) {
        // A row scrolled out of its region, or under a fixed header, is
        // invisible there; it must not catch clicks meant for what covers it.
        const RectF& c = m_clip_targets;
        const float left = std::max(r.x, c.x);
        const float right = std::min(r.x + r.w, c.x + c.w);
        const float top = std::max(r.y, c.y);
        const float bottom = std::min(r.y + r.h, c.y + c.h);
        if (bottom <= top || right <= left) {
            m_hidden_targets.push_back(HitTarget{RectF{}, act, index, m_drawing, full, enabled});
            return;
        }
        r = RectF{left, top, right - left, bottom - top};
    }
    m_targets.push_back(HitTarget{mirror(r), act, index, m_drawing, full, enabled});
}
