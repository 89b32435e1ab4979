// Colours: parsing and printing of "#RRGGBB", mixing, HSB conversion with its
// wrapping and clamping, and the two palettes every screen draws with.
#include "base/theme.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

void expect_rgb_near(const Rgb& got, const Rgb& want, const std::string& what) {
    EXPECT_NEAR(got.r, want.r, 1e-9) << what;
    EXPECT_NEAR(got.g, want.g, 1e-9) << what;
    EXPECT_NEAR(got.b, want.b, 1e-9) << what;
}

// --- hex_to_rgb ---

TEST(HexToRgb, AcceptsSixDigitsOfEitherCaseWithOrWithoutHash) {
    const struct {
        const char* text;
        int r, g, b;
    } cases[] = {
        {"#FF599E", 0xFF, 0x59, 0x9E}, {"#ff599e", 0xFF, 0x59, 0x9E}, {"FF599E", 0xFF, 0x59, 0x9E},
        {"#000000", 0, 0, 0},          {"#FFFFFF", 255, 255, 255},    {"#0a0B0c", 10, 11, 12},
        {"#123456", 0x12, 0x34, 0x56},
    };
    for (const auto& c : cases) {
        Rgb out{-1, -1, -1};
        ASSERT_TRUE(hex_to_rgb(c.text, out)) << c.text;
        expect_rgb_near(out, {c.r / 255.0, c.g / 255.0, c.b / 255.0}, c.text);
    }
}

TEST(HexToRgb, RefusesEverythingElseAndLeavesTheOutputAlone) {
    const std::string cases[] = {
        "",
        "#",
        "#FFF",
        "FFF",
        "#FF599E80",
        "#GG0000",
        "##FF599E",
        " #FF599E",
        "#FF599E ",
        "#FF 99E",
        "#-FFFFF",
        "#+FFFFF",
        "0x1234",
        "#0x1234",
        "red",
        "#FF599",
        "#FF599EE",
        std::string("#FF\0"
                    "99E",
                    7),
        "#FF599\xC3\xA9",
    };
    for (const std::string& text : cases) {
        Rgb out{0.25, 0.5, 0.75};
        EXPECT_FALSE(hex_to_rgb(text, out)) << "accepted '" << text << "'";
        expect_rgb_near(out, {0.25, 0.5, 0.75}, "output changed by '" + text + "'");
    }
}

// --- rgb_to_hex ---

TEST(RgbToHex, RoundsToTheNearestByteWithHalvesUp) {
    EXPECT_EQ(rgb_to_hex({1.0, 0.5, 0.0}), "#FF8000");
    // 0.5 × 255 is exactly 127.5, a half that rounds up; 0.25 gives 63.75, 0.75 191.25.
    EXPECT_EQ(rgb_to_hex({0.5, 0.25, 0.75}), "#8040BF");
    EXPECT_EQ(rgb_to_hex({127.4 / 255, 0.4 / 255, 254.4 / 255}), "#7F00FE");
    EXPECT_EQ(rgb_to_hex({127.6 / 255, 0.6 / 255, 254.6 / 255}), "#8001FF");
}

TEST(RgbToHex, ClampsOutOfRangeAndNonFiniteChannels) {
    EXPECT_EQ(rgb_to_hex({1.0001, -0.0001, 0.5}), "#FF0080");
    EXPECT_EQ(rgb_to_hex({7.0, -3.0, 1e300}), "#FF00FF");
    EXPECT_EQ(rgb_to_hex({kInf, -kInf, kNaN}), "#FF0000");
    EXPECT_EQ(rgb_to_hex({kNaN, kNaN, kNaN}), "#000000");
}

TEST(RgbToHex, EveryByteRoundTripsThroughParsing) {
    for (int v = 0; v <= 255; ++v) {
        char text[8];
        std::snprintf(text, sizeof text, "#%02X%02X%02X", v, 255 - v, (v * 7) % 256);
        Rgb c;
        ASSERT_TRUE(hex_to_rgb(text, c)) << text;
        EXPECT_EQ(rgb_to_hex(c), text);
    }
}

// --- mix and mix_hex ---

TEST(Mix, EndsOfTheRangeGiveEitherColourAndTheMiddleBlends) {
    const Rgb fg{1.0, 0.2, 0.6};
    const Rgb bg{0.0, 0.8, 0.4};
    expect_rgb_near(mix(fg, bg, 1.0), fg, "alpha 1");
    expect_rgb_near(mix(fg, bg, 0.0), bg, "alpha 0");
    expect_rgb_near(mix(fg, bg, 0.5), {0.5, 0.5, 0.5}, "alpha 0.5");
    expect_rgb_near(mix(fg, bg, 0.25), {0.25, 0.65, 0.45}, "alpha 0.25");
}

TEST(Mix, AlphaOutsideTheRangeIsClampedAndNaNKeepsTheForeground) {
    const Rgb fg{1.0, 0.2, 0.6};
    const Rgb bg{0.0, 0.8, 0.4};
    expect_rgb_near(mix(fg, bg, 2.0), fg, "alpha 2");
    expect_rgb_near(mix(fg, bg, kInf), fg, "alpha inf");
    expect_rgb_near(mix(fg, bg, -1.0), bg, "alpha -1");
    expect_rgb_near(mix(fg, bg, -kInf), bg, "alpha -inf");
    expect_rgb_near(mix(fg, bg, kNaN), fg, "alpha NaN");
}

TEST(MixHex, BlendsParsedColoursAndPrintsUpperCase) {
    // The light tint of an accent chip: 72 % of #FF599E over white.
    // 0x59: 89 × 0.72 + 255 × 0.28 = 135.48 -> 0x87; 0x9E: 158 × 0.72 + 71.4 = 185.16 -> 0xB9.
    EXPECT_EQ(mix_hex("#FF599E", "#FFFFFF", 0.72), "#FF87B9");
    EXPECT_EQ(mix_hex("#ff599e", "ffffff", 0.72), "#FF87B9");
    EXPECT_EQ(mix_hex("#000000", "#FFFFFF", 0.5), "#808080");
    EXPECT_EQ(mix_hex("#ff599e", "#000000", 1.0), "#FF599E");
    EXPECT_EQ(mix_hex("#ff599e", "#102030", 0.0), "#102030");
}

TEST(MixHex, AnUnparsableColourReturnsTheForegroundExactlyAsGiven) {
    EXPECT_EQ(mix_hex("red", "#FFFFFF", 0.5), "red");
    EXPECT_EQ(mix_hex("#ff599e", "white", 0.5), "#ff599e");
    EXPECT_EQ(mix_hex("#FFF", "#FFF", 0.5), "#FFF");
    EXPECT_EQ(mix_hex("", "#000000", 0.5), "");
}

// --- hsb ---

TEST(Hsb, SectorBoundariesGiveThePrimaryAndSecondaryColours) {
    const struct {
        double h;
        Rgb want;
        const char* name;
    } cases[] = {
        {0.0, {1, 0, 0}, "red"},
        {1.0 / 6, {1, 1, 0}, "yellow"},
        {2.0 / 6, {0, 1, 0}, "green"},
        {3.0 / 6, {0, 1, 1}, "cyan"},
        {4.0 / 6, {0, 0, 1}, "blue"},
        {5.0 / 6, {1, 0, 1}, "magenta"},
        {1.0, {1, 0, 0}, "red again"},
        {1.0 / 12, {1, 0.5, 0}, "orange"},
        {0.75, {0.5, 0, 1}, "violet"},
        {11.0 / 12, {1, 0, 0.5}, "rose"},
        {-1e-17, {1, 0, 0}, "just below red"},
    };
    for (const auto& c : cases)
        expect_rgb_near(hsb(c.h, 1.0, 1.0), c.want, c.name);
}

TEST(Hsb, SaturationAndBrightnessScaleTheChannels) {
    expect_rgb_near(hsb(0.0, 0.5, 0.8), {0.8, 0.4, 0.4}, "half-saturated red");
    expect_rgb_near(hsb(1.0 / 3, 1.0, 0.5), {0, 0.5, 0}, "dark green");
    for (double h : {0.0, 0.1, 0.37, 0.5, 0.99}) {
        expect_rgb_near(hsb(h, 0.0, 0.3), {0.3, 0.3, 0.3}, "grey at hue " + std::to_string(h));
        expect_rgb_near(hsb(h, 0.7, 0.0), {0, 0, 0}, "black at hue " + std::to_string(h));
    }
}

TEST(Hsb, HueWrapsAroundInBothDirections) {
    for (double h : {0.0, 0.1, 0.25, 0.5, 0.9}) {
        const Rgb base = hsb(h, 0.8, 0.9);
        for (double turns : {-3.0, -1.0, 1.0, 2.0, 10.0}) {
            expect_rgb_near(hsb(h + turns, 0.8, 0.9), base,
                            "hue " + std::to_string(h) + " + " + std::to_string(turns));
        }
    }
    expect_rgb_near(hsb(1.25, 1, 1), hsb(0.25, 1, 1), "1.25");
    expect_rgb_near(hsb(-0.25, 1, 1), hsb(0.75, 1, 1), "-0.25");
}

TEST(Hsb, OutOfRangeAndNonFiniteInputsAreClampedToAColour) {
    expect_rgb_near(hsb(0.6, 2.0, 1.0), hsb(0.6, 1.0, 1.0), "saturation 2");
    expect_rgb_near(hsb(0.6, -1.0, 0.5), hsb(0.6, 0.0, 0.5), "saturation -1");
    expect_rgb_near(hsb(0.6, 1.0, 3.0), hsb(0.6, 1.0, 1.0), "brightness 3");
    expect_rgb_near(hsb(0.6, 1.0, -3.0), {0, 0, 0}, "brightness -3");
    expect_rgb_near(hsb(kNaN, 1.0, 1.0), {1, 0, 0}, "NaN hue");
    expect_rgb_near(hsb(kInf, 1.0, 1.0), {1, 0, 0}, "infinite hue");
    expect_rgb_near(hsb(-kInf, 1.0, 1.0), {1, 0, 0}, "negative infinite hue");
    expect_rgb_near(hsb(0.3, kNaN, 0.4), {0.4, 0.4, 0.4}, "NaN saturation");
    expect_rgb_near(hsb(0.3, 1.0, kNaN), {0, 0, 0}, "NaN brightness");
    expect_rgb_near(hsb(1e300, 1.0, 1.0), {1, 0, 0}, "huge hue");
    for (double h = -2.0; h <= 2.0; h += 0.01) {
        const Rgb c = hsb(h, 1.0, 1.0);
        for (double ch : {c.r, c.g, c.b}) {
            ASSERT_GE(ch, 0.0) << h;
            ASSERT_LE(ch, 1.0) << h;
        }
    }
}

// --- Palettes ---

using Field = std::string Palette::*;
const struct {
    const char* name;
    Field field;
} kColourFields[] = {
    {"window", &Palette::window},       {"bar", &Palette::bar},
    {"divider", &Palette::divider},     {"text", &Palette::text},
    {"secondary", &Palette::secondary}, {"accent", &Palette::accent},
    {"control", &Palette::control},     {"control_edge", &Palette::control_edge},
    {"track", &Palette::track},         {"warn_bg", &Palette::warn_bg},
    {"warn_fg", &Palette::warn_fg},     {"danger_bg", &Palette::danger_bg},
    {"danger_fg", &Palette::danger_fg}, {"ok_bg", &Palette::ok_bg},
    {"ok_fg", &Palette::ok_fg},
};

// Relative luminance and contrast ratio as used for legibility of text.
double luminance(const std::string& hex) {
    Rgb c;
    EXPECT_TRUE(hex_to_rgb(hex, c)) << hex;
    auto lin = [](double v) {
        return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * lin(c.r) + 0.7152 * lin(c.g) + 0.0722 * lin(c.b);
}

double contrast(const std::string& a, const std::string& b) {
    const double la = luminance(a);
    const double lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

TEST(Palette, EveryColourIsUpperCaseHashAndSixDigits) {
    for (const Palette& p : {Palette::light(), Palette::dark_()}) {
        for (const auto& f : kColourFields) {
            const std::string& v = p.*(f.field);
            Rgb c;
            EXPECT_TRUE(hex_to_rgb(v, c)) << f.name << " = " << v;
            EXPECT_EQ(v.size(), 7u) << f.name;
            EXPECT_EQ(rgb_to_hex(c), v) << f.name << " is not in canonical form";
        }
    }
}

TEST(Palette, ForThemePicksTheMatchingAppearance) {
    EXPECT_FALSE(Palette::light().dark);
    EXPECT_TRUE(Palette::dark_().dark);
    for (bool dark : {false, true}) {
        const Palette chosen = Palette::for_theme(dark);
        const Palette expected = dark ? Palette::dark_() : Palette::light();
        EXPECT_EQ(chosen.dark, dark);
        for (const auto& f : kColourFields)
            EXPECT_EQ(chosen.*(f.field), expected.*(f.field)) << f.name;
    }
}

TEST(Palette, EveryTextColourReadsOnEverySurfaceItIsDrawnOn) {
    // WCAG 2: 4.5:1 for text; each colour against the surfaces it is drawn on.
    for (const Palette& p : {Palette::light(), Palette::dark_()}) {
        const char* mode = p.dark ? "dark" : "light";
        const struct {
            const std::string& fg;
            const std::string& bg;
            const char* what;
        } pairs[] = {
            {p.text, p.window, "text on the window"},
            {p.text, p.bar, "text on bars and cards"},
            {p.text, p.control, "button labels"},
            {p.secondary, p.window, "secondary on the window"},
            {p.secondary, p.bar, "secondary on bars and cards"},
            {p.warn_fg, p.bar, "warning on a card"},
            {p.warn_fg, p.warn_bg, "warning on its background"},
            {p.danger_fg, p.bar, "danger on a card"},
            {p.danger_fg, p.danger_bg, "danger on its background"},
            {p.ok_fg, p.bar, "success on a card"},
            {p.ok_fg, p.ok_bg, "success on its background"},
        };
        for (const auto& pair : pairs) {
            EXPECT_GE(contrast(pair.fg, pair.bg), 4.5)
                << mode << " " << pair.what << ": " << pair.fg << " on " << pair.bg;
        }
        // The window lies behind the raised surfaces and is a little darker.
        EXPECT_LT(luminance(p.window), luminance(p.bar)) << mode;
        EXPECT_EQ(luminance(p.bar) > 0.5, !p.dark) << mode << " bar " << p.bar;
    }
}

// --- Contrast ---

TEST(Contrast, RatiosRunFromOneForEqualColoursToTwentyOneForBlackOnWhite) {
    EXPECT_NEAR(contrast_ratio({0, 0, 0}, {1, 1, 1}), 21.0, 1e-9);
    EXPECT_NEAR(contrast_ratio({1, 1, 1}, {0, 0, 0}), 21.0, 1e-9);
    EXPECT_NEAR(contrast_ratio({0.3, 0.6, 0.2}, {0.3, 0.6, 0.2}), 1.0, 1e-9);
    // Against the independent formula above, on a few palette colours.
    for (const char* a : {"#6B6B70", "#FF599E", "#34A853"}) {
        Rgb ra, rw;
        ASSERT_TRUE(hex_to_rgb(a, ra));
        ASSERT_TRUE(hex_to_rgb("#FFFFFF", rw));
        EXPECT_NEAR(contrast_ratio(ra, rw), contrast(a, "#FFFFFF"), 1e-3) << a;
    }
}

TEST(Contrast, ReadableShadesKeepTheHueAndReachTheRatio) {
    // Every hue at full saturation, on light and dark surfaces.
    for (const char* bg : {"#FFFFFF", "#F2F1F4", "#2C2C2E", "#1C1C1E"}) {
        for (double h = 0; h < 1; h += 1.0 / 24) {
            const std::string fg = rgb_to_hex(hsb(h, 0.75, 1.0));
            const std::string shade = readable_on(fg, bg, 4.5);
            SCOPED_TRACE(fg + " on " + bg + " -> " + shade);
            EXPECT_GE(contrast(shade, bg), 4.5);
            Rgb a, b;
            ASSERT_TRUE(hex_to_rgb(fg, a));
            ASSERT_TRUE(hex_to_rgb(shade, b));
            // Mixing with black or white keeps the channels' order.
            EXPECT_EQ(a.r >= a.g, b.r >= b.g);
            EXPECT_EQ(a.g >= a.b, b.g >= b.b);
        }
    }
    EXPECT_EQ(readable_on("#1E1E1E", "#FFFFFF", 4.5), "#1E1E1E") << "already readable";
    EXPECT_EQ(readable_on("bad", "#FFFFFF", 4.5), "bad");
}

TEST(Contrast, LabelsOnFillsStayWhiteWhereWhiteReadsAndDarkenTheFillElsewhere) {
    EXPECT_EQ(text_on_fill("#1E1E1E", 4.5), "#FFFFFF");
    for (const char* fill : {"#FFD93D", "#FF599E", "#FFB020", "#34A853"}) {
        const std::string ink = text_on_fill(fill, 4.5);
        EXPECT_NE(ink, "#FFFFFF") << fill;
        EXPECT_GE(contrast(ink, fill), 4.5) << fill;
    }
}

}  // namespace
