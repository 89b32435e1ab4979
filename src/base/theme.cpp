// theme — colours and palettes. See theme.h.
#include "base/theme.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "base/strutil.h"

namespace {

// A channel in 0–1 as the nearest byte value. NaN fails every comparison, so
// it is caught by the first test and printed as 0.
int channel_byte(double c) {
    const double v = c * 255.0 + 0.5;
    if (!(v >= 0.0))
        return 0;
    if (v >= 255.0)
        return 255;
    return static_cast<int>(v);
}

// x limited to 0–1, with NaN as `nan_value`.
double clamp_unit(double x, double nan_value) {
    if (std::isnan(x))
        return nan_value;
    if (x < 0.0)
        return 0.0;
    if (x > 1.0)
        return 1.0;
    return x;
}

}  // namespace

// --- Colour helpers ---

bool hex_to_rgb(const std::string& hex, Rgb& out) {
    std::string digits = hex;
    if (!digits.empty() && digits[0] == '#')
        digits.erase(0, 1);
    if (digits.size() != 6)
        return false;
    unsigned v = 0;
    for (char c : digits) {
        const int d = su::hex_digit(c);
        if (d < 0)
            return false;
        v = v * 16 + static_cast<unsigned>(d);
    }
    out.r = ((v >> 16) & 0xFF) / 255.0;
    out.g = ((v >> 8) & 0xFF) / 255.0;
    out.b = (v & 0xFF) / 255.0;
    return true;
}

std::string rgb_to_hex(const Rgb& c) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "#%02X%02X%02X", channel_byte(c.r), channel_byte(c.g),
                  channel_byte(c.b));
    return buf;
}

Rgb mix(const Rgb& fg, const Rgb& bg, double alpha) {
    const double a = clamp_unit(alpha, 1.0);
    return {fg.r * a + bg.r * (1.0 - a), fg.g * a + bg.g * (1.0 - a), fg.b * a + bg.b * (1.0 - a)};
}

std::string mix_hex(const std::string& fg, const std::string& bg, double alpha) {
    Rgb f;
    Rgb b;
    if (!hex_to_rgb(fg, f) || !hex_to_rgb(bg, b))
        return fg;
    return rgb_to_hex(mix(f, b, alpha));
}

double luminance(const Rgb& c) {
    const auto linear = [](double v) {
        v = clamp_unit(v, 0.0);
        return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * linear(c.r) + 0.7152 * linear(c.g) + 0.0722 * linear(c.b);
}

double contrast_ratio(const Rgb& a, const Rgb& b) {
    const double la = luminance(a), lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

std::string readable_on(const std::string& fg, const std::string& bg, double min_ratio) {
    Rgb f, b;
    if (!hex_to_rgb(fg, f) || !hex_to_rgb(bg, b))
        return fg;
    if (contrast_ratio(f, b) >= min_ratio)
        return fg;
    // Mid-grey backgrounds reach more contrast with black than with white
    // from a luminance of about 0.18 up.
    const Rgb target = luminance(b) > 0.18 ? Rgb{0, 0, 0} : Rgb{1, 1, 1};
    // The ratio is checked on the printed colour: rounding to bytes may
    // otherwise lose the last hundredth that reached it.
    std::string shade = fg;
    for (int step = 1; step <= 20; ++step) {
        shade = rgb_to_hex(mix(target, f, step / 20.0));
        Rgb printed;
        hex_to_rgb(shade, printed);
        if (contrast_ratio(printed, b) >= min_ratio)
            break;
    }
    return shade;
}

std::string text_on_fill(const std::string& fill, double min_ratio) {
    Rgb f;
    if (hex_to_rgb(fill, f) && contrast_ratio(Rgb{1, 1, 1}, f) >= min_ratio)
        return "#FFFFFF";
    return readable_on(fill, fill, min_ratio);
}

Rgb hsb(double h, double s, double b) {
    // An infinite hue has no fractional part to wrap to; it counts as red.
    h = std::isfinite(h) ? h - std::floor(h) : 0.0;
    s = clamp_unit(s, 0.0);
    b = clamp_unit(b, 0.0);

    h *= 6.0;
    const double i = std::floor(h);
    const double f = h - i;
    const double p = b * (1.0 - s);
    const double q = b * (1.0 - s * f);
    const double t = b * (1.0 - s * (1.0 - f));
    // A hue just below a whole number can wrap to exactly 1, giving sector 6,
    // which is sector 0 again.
    switch (static_cast<int>(i) % 6) {
        case 0:
            return {b, t, p};
        case 1:
            return {q, b, p};
        case 2:
            return {p, b, t};
        case 3:
            return {p, q, b};
        case 4:
            return {t, p, b};
        default:
            return {b, p, q};
    }
}

// --- Palettes ---

Palette Palette::light() {
    Palette p;
    p.dark = false;
    p.window = "#F2F1F4";
    p.bar = "#FFFFFF";
    p.divider = "#E6E6E6";
    p.text = "#1E1E1E";
    p.secondary = "#6B6B70";
    p.accent = kBrandPink;
    p.control = "#FFFFFF";
    p.control_edge = "#C8C8C8";
    p.track = "#ECECEC";
    p.warn_bg = "#FDF0DF";
    p.warn_fg = "#995A00";
    p.danger_bg = "#FDECEB";
    p.danger_fg = "#C4342A";
    p.ok_bg = "#E4F6E8";
    p.ok_fg = "#197A35";
    return p;
}

Palette Palette::dark_() {
    Palette p;
    p.dark = true;
    p.window = "#1C1C1E";
    p.bar = "#2C2C2E";
    p.divider = "#3A3A3C";
    p.text = "#E5E5E7";
    p.secondary = "#A8A8AD";
    p.accent = "#FF6FAC";
    p.control = "#3A3A3C";
    p.control_edge = "#4E4E50";
    p.track = "#3A3A3C";
    p.warn_bg = "#3A3324";
    p.warn_fg = "#F0A030";
    p.danger_bg = "#3A2725";
    p.danger_fg = "#FF6B60";
    p.ok_bg = "#233529";
    p.ok_fg = "#4CD964";
    return p;
}

Palette Palette::for_theme(bool dark) {
    return dark ? dark_() : light();
}
