// glyphs — the thirteen category icons as stroked line drawings, and
// the coloured chips they sit on. Each glyph is defined in the unit square of
// its target rectangle, so one drawing serves every size from 11 px to 52 px.
#include <cmath>
#include <string>

#include "window/app.h"

namespace {

struct Pt {
    double u, v;
};

// Maps unit-square points into a rectangle and strokes polylines in it.
class GlyphPen {
public:
    GlyphPen(cairo_t* cr, RectF r) : m_cr(cr), m_r(r) {}

    double x(double u) const { return m_r.x + u * m_r.w; }
    double y(double v) const { return m_r.y + v * m_r.h; }

    void line(std::initializer_list<Pt> pts, bool closed = false) const {
        bool first = true;
        for (const Pt& p : pts) {
            if (first) {
                cairo_move_to(m_cr, x(p.u), y(p.v));
                first = false;
            } else {
                cairo_line_to(m_cr, x(p.u), y(p.v));
            }
        }
        if (closed)
            cairo_close_path(m_cr);
        cairo_stroke(m_cr);
    }

    void rect(double u, double v, double w, double h) const {
        cairo_rectangle(m_cr, x(u), y(v), w * m_r.w, h * m_r.h);
        cairo_stroke(m_cr);
    }

    // Radii follow the width only: glyph rectangles are square in practice.
    void circle(double u, double v, double radius) const {
        cairo_new_sub_path(m_cr);
        cairo_arc(m_cr, x(u), y(v), radius * m_r.w, 0, 2 * G_PI);
        cairo_stroke(m_cr);
    }

    cairo_t* cr() const { return m_cr; }
    RectF rect_px() const { return m_r; }

private:
    cairo_t* m_cr;
    RectF m_r;
};

void draw_layers(const GlyphPen& p) {
    for (int i = 0; i < 3; ++i) {
        const double m = 0.2 + 0.2 * i;
        p.line({{0.50, m - 0.1}, {0.82, m}, {0.50, m + 0.1}, {0.18, m}}, true);
    }
}

void draw_snake(const GlyphPen& p) {
    cairo_t* cr = p.cr();
    cairo_move_to(cr, p.x(0.72), p.y(0.24));
    cairo_curve_to(cr, p.x(0.28), p.y(0.20), p.x(0.28), p.y(0.48), p.x(0.50), p.y(0.50));
    cairo_curve_to(cr, p.x(0.72), p.y(0.52), p.x(0.72), p.y(0.80), p.x(0.28), p.y(0.76));
    cairo_stroke(cr);
}

void draw_gear(const GlyphPen& p) {
    p.circle(0.50, 0.50, 0.20);
    for (int k = 0; k < 6; ++k) {
        const double a = k * G_PI / 3;
        p.line({{0.50 + 0.24 * std::cos(a), 0.50 + 0.24 * std::sin(a)},
                {0.50 + 0.34 * std::cos(a), 0.50 + 0.34 * std::sin(a)}});
    }
}

}  // namespace

void App::draw_glyph(Glyph g, RectF r, Rgb colour) {
    const auto value = static_cast<std::int32_t>(g);
    if (value < 0 || value > static_cast<std::int32_t>(Glyph::Clock))
        return;
    const RectF m = mirror(r);  // the place mirrors, the drawing keeps its orientation
    cairo_new_path(m_cr);
    cairo_save(m_cr);
    cairo_set_source_rgb(m_cr, colour.r, colour.g, colour.b);
    cairo_set_line_width(m_cr, std::max(0.085 * m.w, 1.3));
    cairo_set_line_cap(m_cr, CAIRO_LINE_CAP_ROUND);
    cairo_set_line_join(m_cr, CAIRO_LINE_JOIN_ROUND);
    const GlyphPen p(m_cr, m);
    switch (g) {
        case Glyph::Box:
            p.rect(0.18, 0.30, 0.64, 0.46);
            p.line({{0.18, 0.44}, {0.82, 0.44}});
            p.line({{0.50, 0.44}, {0.50, 0.76}});
            break;
        case Glyph::Cube:
            p.line({{0.50, 0.20},
                    {0.82, 0.36},
                    {0.82, 0.68},
                    {0.50, 0.84},
                    {0.18, 0.68},
                    {0.18, 0.36}},
                   true);
            p.line({{0.18, 0.36}, {0.50, 0.52}, {0.82, 0.36}});
            p.line({{0.50, 0.52}, {0.50, 0.84}});
            break;
        case Glyph::Phone:
            round_rect_path(RectF{static_cast<float>(p.x(0.30)), static_cast<float>(p.y(0.16)),
                                  0.40f * m.w, 0.68f * m.h},
                            0.09 * m.w);
            cairo_stroke(m_cr);
            p.line({{0.42, 0.74}, {0.58, 0.74}});
            break;
        case Glyph::Doc:
            p.line({{0.26, 0.16}, {0.60, 0.16}, {0.76, 0.34}, {0.76, 0.84}, {0.26, 0.84}}, true);
            p.line({{0.60, 0.16}, {0.60, 0.34}, {0.76, 0.34}});
            p.line({{0.36, 0.56}, {0.64, 0.56}});
            p.line({{0.36, 0.68}, {0.64, 0.68}});
            break;
        case Glyph::Wrench:
            p.circle(0.34, 0.34, 0.15);
            p.line({{0.44, 0.44}, {0.78, 0.78}});
            break;
        case Glyph::Code:
            p.line({{0.40, 0.28}, {0.20, 0.50}, {0.40, 0.72}});
            p.line({{0.60, 0.28}, {0.80, 0.50}, {0.60, 0.72}});
            break;
        case Glyph::Layers:
            draw_layers(p);
            break;
        case Glyph::Puzzle:
            p.rect(0.22, 0.26, 0.50, 0.50);
            p.circle(0.74, 0.51, 0.11);
            break;
        case Glyph::Snake:
            draw_snake(p);
            break;
        case Glyph::Gear:
            draw_gear(p);
            break;
        case Glyph::Folder:
            p.line({{0.16, 0.76},
                    {0.16, 0.26},
                    {0.42, 0.26},
                    {0.50, 0.36},
                    {0.84, 0.36},
                    {0.84, 0.76}},
                   true);
            break;
        case Glyph::Pencil:
            p.line({{0.22, 0.78}, {0.30, 0.52}, {0.70, 0.14}, {0.86, 0.30}, {0.46, 0.68}}, true);
            break;
        case Glyph::Clock:
            p.circle(0.50, 0.50, 0.32);
            p.line({{0.50, 0.30}, {0.50, 0.52}, {0.68, 0.62}});
            break;
    }
    cairo_restore(m_cr);
}

void App::draw_icon_chip(Glyph g, RectF r, const std::string& hex) {
    // A chip is a gradient and a stroked glyph, a dozen in every sidebar.
    const auto paint = [&] { paint_icon_chip(g, r, hex); };
    if (m_kept_enabled)
        paint_kept("chip|" + std::to_string(static_cast<int>(g)) + "|" + hex, mirror(r), paint);
    else
        paint();
}

void App::paint_icon_chip(Glyph g, RectF r, const std::string& hex) {
    const std::string light = mix_hex(hex, "#FFFFFF", 0.72);
    fill_round_rect_gradient(r, 0.26 * r.w, hex, light, 1.0);
    draw_glyph(g, RectF{r.x + 0.16f * r.w, r.y + 0.16f * r.h, 0.68f * r.w, 0.68f * r.h},
               Rgb{1, 1, 1});
}
