// The compiled-in application icon: it must decode as the About panel decodes
// it, have the promised size and transparency, and actually show something —
// a tile with a motif — at full size and when scaled down to a window icon.
#include "window/icon_data.h"

#include <gdk-pixbuf/gdk-pixbuf.h>
#include <gtest/gtest.h>

#include <memory>

namespace {

struct PixbufDeleter {
    void operator()(GdkPixbuf* p) const { g_object_unref(p); }
};
using Pixbuf = std::unique_ptr<GdkPixbuf, PixbufDeleter>;

// Decodes the bytes the way the About panel does: through a loader, no file.
Pixbuf decode_icon() {
    GdkPixbufLoader* loader = gdk_pixbuf_loader_new_with_type("png", nullptr);
    if (loader == nullptr)
        return nullptr;
    GdkPixbuf* result = nullptr;
    if (gdk_pixbuf_loader_write(loader, icon_data::PNG, icon_data::PNG_SIZE, nullptr) &&
        gdk_pixbuf_loader_close(loader, nullptr)) {
        result = gdk_pixbuf_loader_get_pixbuf(loader);
        if (result != nullptr)
            g_object_ref(result);
    } else {
        gdk_pixbuf_loader_close(loader, nullptr);
    }
    g_object_unref(loader);
    return Pixbuf(result);
}

struct Pixel {
    int r, g, b, a;
};

Pixel pixel_at(GdkPixbuf* p, int x, int y) {
    const guchar* row =
        gdk_pixbuf_read_pixels(p) + static_cast<std::ptrdiff_t>(y) * gdk_pixbuf_get_rowstride(p);
    const guchar* px = row + x * gdk_pixbuf_get_n_channels(p);
    return {px[0], px[1], px[2], px[3]};
}

// Counts of the colours that make up the icon among its opaque pixels.
struct Census {
    int opaque = 0;  // alpha 255
    int white = 0;   // opaque and near white: the motif
    int rose = 0;    // opaque, red clearly above green and blue: the accent tile
};

Census census(GdkPixbuf* p) {
    Census c;
    for (int y = 0; y < gdk_pixbuf_get_height(p); ++y) {
        for (int x = 0; x < gdk_pixbuf_get_width(p); ++x) {
            const Pixel px = pixel_at(p, x, y);
            if (px.a != 255)
                continue;
            ++c.opaque;
            if (px.r > 235 && px.g > 235 && px.b > 235)
                ++c.white;
            else if (px.r > 200 && px.r - px.g > 50 && px.r - px.b > 20)
                ++c.rose;
        }
    }
    return c;
}

TEST(IconData, DecodesToA128PixelImageWithAlpha) {
    ASSERT_GT(icon_data::PNG_SIZE, 8u);
    const Pixbuf icon = decode_icon();
    ASSERT_NE(icon, nullptr) << "the compiled-in bytes are not a readable PNG";
    EXPECT_EQ(gdk_pixbuf_get_width(icon.get()), 128);
    EXPECT_EQ(gdk_pixbuf_get_height(icon.get()), 128);
    EXPECT_TRUE(gdk_pixbuf_get_has_alpha(icon.get()));
    EXPECT_EQ(gdk_pixbuf_get_n_channels(icon.get()), 4);
}

TEST(IconData, RoundedTileLeavesTheCornersTransparentAndFillsTheMiddle) {
    const Pixbuf icon = decode_icon();
    ASSERT_NE(icon, nullptr);
    for (auto [x, y] : {std::pair{0, 0}, {127, 0}, {0, 127}, {127, 127}, {2, 2}, {125, 125}})
        EXPECT_EQ(pixel_at(icon.get(), x, y).a, 0) << "corner " << x << "," << y;
    for (auto [x, y] : {std::pair{64, 64}, {20, 60}, {108, 60}, {64, 14}, {64, 110}})
        EXPECT_EQ(pixel_at(icon.get(), x, y).a, 255) << "inside " << x << "," << y;
}

TEST(IconData, ShowsALightMotifOnTheAccentTile) {
    const Pixbuf icon = decode_icon();
    ASSERT_NE(icon, nullptr);
    const Census c = census(icon.get());
    const int total = 128 * 128;
    // The tile covers most of the image, and most of it is the rose accent.
    EXPECT_GT(c.opaque, total / 2);
    EXPECT_GT(c.rose, c.opaque / 2);
    // The motif is a substantial white drawing, yet far from filling the tile.
    EXPECT_GT(c.white, total / 20);
    EXPECT_LT(c.white, c.opaque / 3);
}

TEST(IconData, MotifSurvivesScalingToWindowIconSize) {
    const Pixbuf icon = decode_icon();
    ASSERT_NE(icon, nullptr);
    const Pixbuf small(gdk_pixbuf_scale_simple(icon.get(), 32, 32, GDK_INTERP_BILINEAR));
    ASSERT_NE(small, nullptr);
    const Census c = census(small.get());
    // Lines too thin for 32 px would blur into the tile colour and vanish.
    EXPECT_GE(c.white, 20);
    EXPECT_GT(c.rose, c.opaque / 2);
}

}  // namespace
