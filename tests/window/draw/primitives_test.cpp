// Gradients and icon chips written from the pixels kept of them: every frame
// equals the frame that draws each afresh, at every scale, mirrored, scrolled
// to any position, over another background, and cut by a clip that splits
// pixels.
#include <cairo.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app_probe.h"
#include "screen_fixture.h"

namespace {

using screen_test::category;
using screen_test::item;

class KeptGradientTest : public screen_test::ScreenTest {
protected:
    void SetUp() override {
        ScreenTest::SetUp();
        std::vector<Item> items;
        for (int i = 0; i < 30; ++i) {
            Item it = item("entry-" + std::to_string(i), (30 - i) * 3'000'000);
            it.selected = i % 4 == 0;  // the footer's gradient button is enabled
            items.push_back(it);
        }
        set_cats({category("gradle", GroupKind::Java, items),
                  category("npm", GroupKind::JavaScript, {item("cacache", 7'000'000)}),
                  category("later", GroupKind::Python, {}, false)});
    }

    std::vector<unsigned char> frame(int width, int height, double scale, bool kept) {
        probe.kept_enabled() = kept;
        cairo_surface_t* s = probe.draw_scaled(width, height, scale);
        std::vector<unsigned char> pixels = screen_test::bytes_of(s);
        cairo_surface_destroy(s);
        return pixels;
    }

    // The fresh frame, then three that keep pixels: the first keeps them, the
    // others write what was kept.
    void expect_same(int width, int height, double scale, const std::string& what) {
        const std::vector<unsigned char> fresh = frame(width, height, scale, false);
        EXPECT_TRUE(frame(width, height, scale, true) == fresh) << what << ", keeping";
        EXPECT_TRUE(frame(width, height, scale, true) == fresh) << what << ", writing kept";
    }
};

TEST_F(KeptGradientTest, ScreensWithGradientsMatchTheFrameComputedAfresh) {
    const struct {
        const char* name;
        std::string selection;
        bool scanning;
    } screens[] = {
        {"overview with the hero card", "", false},
        {"category with the footer's button", "gradle", false},
        {"scanning state", "later", true},
    };
    for (const char* lang : {"en", "ar"}) {
        I18n::instance().set_language(lang);
        for (const auto& screen : screens) {
            for (const double scale : {1.0, 1.5, 2.0}) {
                probe.selection() = screen.selection;
                probe.set_scanning(screen.scanning);
                expect_same(1000, 641, scale,
                            std::string(screen.name) + " " + lang + " @" + std::to_string(scale));
            }
        }
    }
    probe.set_scanning(false);
}

// Scrolling moves the hero card by any fraction of a pixel and slides it
// under the toolbar.
TEST_F(KeptGradientTest, ScrolledGradientsMatchAtEveryPositionWithinAPixel) {
    // The second round at scale 1 writes what the first kept.
    for (const double scale : {1.0, 1.5, 1.0}) {
        for (const double scroll : {0.0, 0.25, 13.5, 33.7, 41.0, 100.25}) {
            probe.scroll() = scroll;
            probe.content_height() = 2000;
            const std::vector<unsigned char> fresh = frame(900, 400, scale, false);
            probe.scroll() = scroll;
            EXPECT_TRUE(frame(900, 400, scale, true) == fresh)
                << "scroll " << scroll << " @" << scale;
        }
    }
}

// Every glyph at every size, kept and written back over the same background,
// and drawn afresh over another.
TEST_F(KeptGradientTest, EveryGlyphOnAKeptChipMatchesTheChipDrawnAfresh) {
    double red = 0.93;  // the background's; kept pixels must not land on another
    const auto draw = [&](bool kept) {
        probe.kept_enabled() = kept;
        cairo_surface_t* s = probe.with_canvas(640, 260, false, [&](AppProbe& p) {
            cairo_set_source_rgb(p.cr(), red, 0.6, 0.2);
            cairo_paint(p.cr());
            float x = 3.5f;
            for (int g = 0; g <= static_cast<int>(Glyph::Clock); ++g) {
                float y = 2.25f;
                for (const float side : {11.0f, 26.0f, 28.0f, 46.0f, 52.0f}) {
                    p.chip(static_cast<Glyph>(g), RectF{x, y, side, side}, "#2F6FD6");
                    y += side + 3;
                }
                x += 48.3f;
            }
        });
        std::vector<unsigned char> pixels = screen_test::bytes_of(s);
        cairo_surface_destroy(s);
        return pixels;
    };
    const std::vector<unsigned char> fresh = draw(false);
    EXPECT_TRUE(draw(true) == fresh) << "keeping";
    EXPECT_TRUE(draw(true) == fresh) << "writing kept";
    red = 0.2;
    const std::vector<unsigned char> other = draw(false);
    EXPECT_TRUE(draw(true) == other) << "over another background";
}

TEST_F(KeptGradientTest, AGradientCutByAClipBetweenPixelsIsComputedAfresh) {
    const auto draw = [&](bool kept) {
        probe.kept_enabled() = kept;
        cairo_surface_t* s = probe.with_canvas(120, 80, false, [](AppProbe& p) {
            cairo_rectangle(p.cr(), 10.3, 10.6, 70.2, 40.5);
            cairo_clip(p.cr());
            p.button(5.25, 20.5, "Delete permanently", true, true);
        });
        std::vector<unsigned char> pixels = screen_test::bytes_of(s);
        cairo_surface_destroy(s);
        return pixels;
    };
    const std::vector<unsigned char> fresh = draw(false);
    draw(true);
    draw(true);
    EXPECT_TRUE(draw(true) == fresh);
}

}  // namespace
