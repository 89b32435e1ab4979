// theme — the colour type, the light and dark palettes every screen draws
// with, and small colour helpers (hex parsing and printing, mixing, HSB).
//
// Colours travel through the program as "#RRGGBB" strings and become `Rgb`
// values only at the point of drawing. Nothing here touches GTK or cairo, keeps
// state, or reports errors other than through return values: an unusable input
// yields false or an unchanged value, never an exception.
//
// Threads: any thread may call any function; everything is pure.
#pragma once

#include <string>

// A colour as three channels, each meant to lie in 0–1 (the helpers below
// clamp where a value leaves that range).
struct Rgb {
    double r = 0.0;  // red
    double g = 0.0;  // green
    double b = 0.0;  // blue
};

// Parses "#RRGGBB" or "RRGGBB" (hex digits of either case). Short forms, an
// alpha channel, colour names, signs, "0x" and surrounding spaces are refused.
// On failure returns false and leaves `out` unchanged.
bool hex_to_rgb(const std::string& hex, Rgb& out);

// "#RRGGBB" in upper case. Each channel is rounded to the nearest of 0–255
// (halves round up); values outside 0–1 are clamped, and a NaN channel counts
// as 0, so any input prints a valid colour.
std::string rgb_to_hex(const Rgb& c);

// fg laid over bg with opacity alpha: per channel fg × alpha + bg × (1 − alpha).
// alpha is clamped to 0–1 (a blend weight outside it means nothing); a NaN
// alpha keeps fg, as mix_hex does for any unusable input.
Rgb mix(const Rgb& fg, const Rgb& bg, double alpha);

// mix on two hex colours, printed with rgb_to_hex. When either colour does not
// parse, fg is returned exactly as given, so a caller's colour is never lost.
std::string mix_hex(const std::string& fg, const std::string& bg, double alpha);

// Hue/saturation/brightness to RGB. The hue wraps (1.25 is 0.25, −0.25 is
// 0.75; 0 is red, 1/3 green, 2/3 blue); saturation and brightness are clamped
// to 0–1. Non-finite input counts as 0, so the result is always a colour.
Rgb hsb(double h, double s, double b);

// WCAG 2 relative luminance of a colour, 0 (black) to 1 (white).
double luminance(const Rgb& c);

// WCAG 2 contrast ratio of two colours, from 1 (equal) to 21 (black on white);
// the order of the arguments does not matter.
double contrast_ratio(const Rgb& a, const Rgb& b);

// Text in the hue of fg that reads on bg at min_ratio or better: fg itself
// when it already does, else fg mixed towards black (on a light bg) or white
// (on a dark one) in the smallest of twenty steps that reaches the ratio.
// Unparsable colours give fg back unchanged.
std::string readable_on(const std::string& fg, const std::string& bg, double min_ratio);

// The colour of a label drawn on a filled shape: white when white reads on
// the fill at min_ratio, else a dark shade of the fill's own hue that does.
std::string text_on_fill(const std::string& fill, double min_ratio);

// The smallest contrast the window's texts keep: normal text, and text of
// 18.5 px bold or 24 px regular and up.
inline constexpr double kMinTextContrast = 4.5;
inline constexpr double kMinLargeTextContrast = 3.0;

// The product's own colours, the same in both appearances: the pink of its
// chips and prominent buttons and the orange its gradients fade to.
inline constexpr const char* kBrandPink = "#FF599E";
inline constexpr const char* kBrandOrange = "#FF9C6B";

// One appearance of the window: fifteen named colours, each "#RRGGBB" in upper
// case. A plain value; the application holds one copy and replaces it whole.
struct Palette {
    bool dark = false;         // true for the dark appearance
    std::string window;        // background behind everything, around the cards
    std::string bar;           // raised surfaces: toolbar, sidebar, footer
    std::string divider;       // hairlines and the sidebar edge
    std::string text;          // primary text; also hover tint, bar tracks, scroll thumb
    std::string secondary;     // secondary text and captions
    std::string accent;        // the current choice and selected rows
    std::string control;       // fill of ordinary buttons
    std::string control_edge;  // outline of ordinary buttons
    std::string track;         // a neutral track
    std::string warn_bg;       // background for warnings
    std::string warn_fg;       // warning text
    std::string danger_bg;     // background for dangers
    std::string danger_fg;     // danger text
    std::string ok_bg;         // background for success
    std::string ok_fg;         // success text

    // The fixed light appearance.
    static Palette light();
    // The fixed dark appearance (the underscore keeps it apart from the field).
    static Palette dark_();
    // dark_() when dark is true, else light().
    static Palette for_theme(bool dark);
};
