// make_icon — draws the application icon with cairo and writes it as PNG bytes
// in the form of a C++ initialiser list, for src/window/icon_data.h to include,
// and optionally as the PNG files the desktop's icon theme installs.
//
//   make_icon OUT.inc [PNG_DIR]
//
// With PNG_DIR, it also writes PNG_DIR/brushwick-<N>.png for each size N of
// kThemeSizes, every one drawn from the vectors at its own size rather than
// scaled from a bitmap, so small sizes stay sharp.
//
// The icon is drawn on a 128 × 128 grid: a rounded tile in the accent gradient
// of the program's prominent buttons, and on it a white broom sweeping a little
// dust away, in the rounded line style of the program's glyphs. Every output is
// written to a temporary name and renamed, so a failed run never leaves half a
// file behind. data/icons/brushwick.svg is the same drawing for scalable use;
// a change here belongs there too.
//
// Run once per build; single-threaded.
#include <cairo.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr int kSize = 128;  // the drawing grid, and the compiled-in icon's size

// The sizes the hicolor icon theme gets as PNG files.
constexpr int kThemeSizes[] = {16, 22, 24, 32, 48, 64, 128, 256, 512};

struct Colour {
    double r, g, b;
};

// The accent gradient of the program's prominent buttons.
constexpr Colour kAccentStart{0xFF / 255.0, 0x59 / 255.0, 0x9E / 255.0};
constexpr Colour kAccentEnd{0xFF / 255.0, 0x9C / 255.0, 0x6B / 255.0};
// A deeper rose for the bristle grooves, so they read on the white head.
constexpr Colour kGroove{0xE8 / 255.0, 0x3E / 255.0, 0x86 / 255.0};

void rounded_rect(cairo_t* cr, double x, double y, double w, double h, double r) {
    cairo_new_sub_path(cr);
    cairo_arc(cr, x + w - r, y + r, r, -M_PI / 2, 0);
    cairo_arc(cr, x + w - r, y + h - r, r, 0, M_PI / 2);
    cairo_arc(cr, x + r, y + h - r, r, M_PI / 2, M_PI);
    cairo_arc(cr, x + r, y + r, r, M_PI, 3 * M_PI / 2);
    cairo_close_path(cr);
}

// --- The tile ---

constexpr double kTileX = 8, kTileY = 6, kTileSize = 112;
constexpr double kTileRadius = 0.26 * kTileSize;  // the corner ratio of the glyph chips

void draw_shadow(cairo_t* cr) {
    // A soft shadow from stacked, slightly larger tiles of low opacity.
    for (int i = 0; i < 6; ++i) {
        const double grow = i * 0.9;
        rounded_rect(cr, kTileX - grow, kTileY + 3 - grow * 0.6, kTileSize + 2 * grow,
                     kTileSize + 2 * grow, kTileRadius + grow);
        cairo_set_source_rgba(cr, 0.2, 0.0, 0.08, 0.045);
        cairo_fill(cr);
    }
}

void draw_tile(cairo_t* cr) {
    cairo_pattern_t* fill =
        cairo_pattern_create_linear(kTileX, kTileY, kTileX + kTileSize, kTileY + kTileSize);
    cairo_pattern_add_color_stop_rgb(fill, 0, kAccentStart.r, kAccentStart.g, kAccentStart.b);
    cairo_pattern_add_color_stop_rgb(fill, 1, kAccentEnd.r, kAccentEnd.g, kAccentEnd.b);
    rounded_rect(cr, kTileX, kTileY, kTileSize, kTileSize, kTileRadius);
    cairo_set_source(cr, fill);
    cairo_fill(cr);
    cairo_pattern_destroy(fill);

    // Light from above: a white sheen fading out towards the middle.
    cairo_pattern_t* sheen = cairo_pattern_create_linear(0, kTileY, 0, kTileY + kTileSize * 0.6);
    cairo_pattern_add_color_stop_rgba(sheen, 0, 1, 1, 1, 0.22);
    cairo_pattern_add_color_stop_rgba(sheen, 1, 1, 1, 1, 0.0);
    rounded_rect(cr, kTileX, kTileY, kTileSize, kTileSize, kTileRadius);
    cairo_set_source(cr, sheen);
    cairo_fill(cr);
    cairo_pattern_destroy(sheen);

    // A hairline rim keeps the tile's edge crisp on light backgrounds.
    rounded_rect(cr, kTileX + 0.5, kTileY + 0.5, kTileSize - 1, kTileSize - 1, kTileRadius - 0.5);
    cairo_set_source_rgba(cr, 1, 1, 1, 0.25);
    cairo_set_line_width(cr, 1.0);
    cairo_stroke(cr);
}

// --- The broom ---

// The broom is drawn upright around its own origin (the top of the head) and
// tilted so that the handle points to the upper right.
constexpr double kBroomX = 57, kBroomY = 63;
constexpr double kTilt = 0.62;  // radians, clockwise on screen

void draw_broom(cairo_t* cr) {
    cairo_save(cr);
    cairo_translate(cr, kBroomX, kBroomY);
    cairo_rotate(cr, kTilt);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);

    // Handle.
    cairo_move_to(cr, 0, -10);
    cairo_line_to(cr, 0, -52);
    cairo_set_source_rgb(cr, 1, 1, 1);
    cairo_set_line_width(cr, 8.5);
    cairo_stroke(cr);

    // Bristle head: a fan that widens downwards, its lower edge slightly bowed.
    cairo_move_to(cr, -11, 0);
    cairo_line_to(cr, 11, 0);
    cairo_line_to(cr, 21, 34);
    cairo_curve_to(cr, 8, 38, -8, 38, -21, 34);
    cairo_close_path(cr);
    cairo_set_line_width(cr, 3.0);
    cairo_fill_preserve(cr);
    cairo_stroke(cr);

    // Grooves between the bristles, fanning out from the binding.
    cairo_set_source_rgba(cr, kGroove.r, kGroove.g, kGroove.b, 0.85);
    cairo_set_line_width(cr, 2.4);
    for (int k = -2; k <= 2; ++k) {
        if (k == 0)
            continue;
        cairo_move_to(cr, k * 3.2, 9);
        cairo_line_to(cr, k * 6.8, 31);
        cairo_stroke(cr);
    }
    cairo_move_to(cr, 0, 9);
    cairo_line_to(cr, 0, 32);
    cairo_stroke(cr);

    // Binding: a band across the top of the head.
    rounded_rect(cr, -14, -9, 28, 11, 4);
    cairo_set_source_rgb(cr, 1, 1, 1);
    cairo_fill(cr);
    cairo_move_to(cr, -10, -3.5);
    cairo_line_to(cr, 10, -3.5);
    cairo_set_source_rgba(cr, kGroove.r, kGroove.g, kGroove.b, 0.85);
    cairo_set_line_width(cr, 2.2);
    cairo_stroke(cr);

    cairo_restore(cr);
}

// --- The dust ---

void draw_dust(cairo_t* cr) {
    // Specks flicked away from the bristles, getting smaller as they fly.
    const struct {
        double x, y, r, alpha;
    } specks[] = {{82, 99, 5.0, 0.95}, {95, 92, 3.6, 0.85}, {104, 82, 2.5, 0.7}};
    for (const auto& s : specks) {
        cairo_arc(cr, s.x, s.y, s.r, 0, 2 * M_PI);
        cairo_set_source_rgba(cr, 1, 1, 1, s.alpha);
        cairo_fill(cr);
    }

    // A small four-pointed sparkle: what is left is clean.
    const double cx = 94, cy = 34, arm = 9, waist = 2.2;
    cairo_move_to(cr, cx, cy - arm);
    cairo_curve_to(cr, cx + waist * 0.4, cy - waist, cx + waist, cy - waist * 0.4, cx + arm, cy);
    cairo_curve_to(cr, cx + waist, cy + waist * 0.4, cx + waist * 0.4, cy + waist, cx, cy + arm);
    cairo_curve_to(cr, cx - waist * 0.4, cy + waist, cx - waist, cy + waist * 0.4, cx - arm, cy);
    cairo_curve_to(cr, cx - waist, cy - waist * 0.4, cx - waist * 0.4, cy - waist, cx, cy - arm);
    cairo_close_path(cr);
    cairo_set_source_rgba(cr, 1, 1, 1, 0.95);
    cairo_fill(cr);
}

// --- Output ---

cairo_status_t append_bytes(void* closure, const unsigned char* data, unsigned int length) {
    auto* out = static_cast<std::vector<unsigned char>*>(closure);
    out->insert(out->end(), data, data + length);
    return CAIRO_STATUS_SUCCESS;
}

bool write_file(const std::string& path, const std::string& content) {
    const std::string tmp = path + ".tmp";
    FILE* f = std::fopen(tmp.c_str(), "wb");
    if (f == nullptr)
        return false;
    const bool written = std::fwrite(content.data(), 1, content.size(), f) == content.size();
    const bool closed = std::fclose(f) == 0;
    if (!written || !closed || std::rename(tmp.c_str(), path.c_str()) != 0) {
        std::remove(tmp.c_str());
        return false;
    }
    return true;
}

std::string as_initialiser(const std::vector<unsigned char>& bytes) {
    std::string out = "// Generated by tools/make_icon from its drawing code; do not edit.\n";
    char item[8];
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        std::snprintf(item, sizeof item, "0x%02X,", bytes[i]);
        out += item;
        out += (i % 16 == 15) ? '\n' : ' ';
    }
    out += '\n';
    return out;
}

// The icon drawn at size × size pixels as PNG bytes; empty when cairo fails
// (its reason then goes to standard error).
std::vector<unsigned char> render_png(int size) {
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, size, size);
    cairo_t* cr = cairo_create(surface);
    cairo_scale(cr, static_cast<double>(size) / kSize, static_cast<double>(size) / kSize);
    draw_shadow(cr);
    draw_tile(cr);
    draw_broom(cr);
    draw_dust(cr);
    const cairo_status_t drawn = cairo_status(cr);
    cairo_destroy(cr);

    std::vector<unsigned char> png;
    const cairo_status_t encoded = cairo_surface_write_to_png_stream(surface, append_bytes, &png);
    cairo_surface_destroy(surface);
    if (drawn != CAIRO_STATUS_SUCCESS || encoded != CAIRO_STATUS_SUCCESS || png.empty()) {
        std::fprintf(stderr, "make_icon: drawing failed: %s\n",
                     cairo_status_to_string(drawn != CAIRO_STATUS_SUCCESS ? drawn : encoded));
        return {};
    }
    return png;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2 || argc > 3) {
        std::fprintf(stderr, "usage: %s OUT.inc [PNG_DIR]\n", argv[0]);
        return 2;
    }
    const std::vector<unsigned char> png = render_png(kSize);
    if (png.empty())
        return 1;
    if (!write_file(argv[1], as_initialiser(png))) {
        std::fprintf(stderr, "make_icon: cannot write %s\n", argv[1]);
        return 1;
    }
    if (argc == 2)
        return 0;
    for (const int size : kThemeSizes) {
        const std::vector<unsigned char> sized = render_png(size);
        const std::string path =
            std::string(argv[2]) + "/brushwick-" + std::to_string(size) + ".png";
        if (sized.empty() || !write_file(path, std::string(sized.begin(), sized.end()))) {
            std::fprintf(stderr, "make_icon: cannot write %s\n", path.c_str());
            return 1;
        }
    }
    return 0;
}
