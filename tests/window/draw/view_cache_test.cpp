// The main view kept under an open overlay: every frame painted from the kept
// picture equals the frame drawn afresh, pixel for pixel, and any change of
// what the window shows (data behind the overlay, theme, language, size,
// scale) reaches the next frame.
#include <cairo.h>
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "app_probe.h"
#include "base/settings.h"
#include "screen_fixture.h"

namespace {

using screen_test::category;
using screen_test::item;

// A frame's pixels and labels, taken from a surface the probe drew.
struct Frame {
    std::vector<unsigned char> pixels;
    std::vector<std::string> labels;
};

class ViewCacheTest : public screen_test::ScreenTest {
protected:
    void SetUp() override {
        ScreenTest::SetUp();
        fill_home();
    }

    // Three categories, one long enough to scroll, and a manual entry.
    void fill_home() {
        SettingsStore::instance().mutable_get() = Settings{};
        std::vector<Item> many;
        for (int i = 0; i < 40; ++i) {
            Item it = item("entry-" + std::to_string(i), (40 - i) * 1'000'000);
            it.selected = i % 3 == 0;
            it.modified = 1'700'000'000 - i * 86'400;
            many.push_back(it);
        }
        set_cats({category("gradle", GroupKind::Java, many),
                  category("npm", GroupKind::JavaScript, {item("cacache", 7'000'000)}),
                  category("pip", GroupKind::Python, {item("http", -1)})});
        Item failed = item("locked", 2'000'000);
        failed.detail = "Permission denied";
        probe.manual() = {failed};
    }
    void TearDown() override {
        SettingsStore::instance().mutable_get() = Settings{};
        ScreenTest::TearDown();
    }

    Frame frame(int width, int height, double scale, bool cached) {
        probe.view_cache_enabled() = cached;
        cairo_surface_t* s = probe.draw_scaled(width, height, scale);
        Frame f;
        f.pixels = screen_test::bytes_of(s);
        cairo_surface_destroy(s);
        for (const App::DrawnText& t : probe.texts)
            f.labels.push_back(t.text);
        return f;
    }

    // Draws the same frame afresh and from the kept picture (building it
    // first when needed) and expects both to match.
    void expect_cached_equals_fresh(int width, int height, double scale, const std::string& what) {
        const Frame fresh = frame(width, height, scale, false);
        const Frame first = frame(width, height, scale, true);
        const Frame again = frame(width, height, scale, true);
        EXPECT_TRUE(first.pixels == fresh.pixels) << what << ": the frame that keeps the picture";
        EXPECT_TRUE(again.pixels == fresh.pixels) << what << ": the frame painted from it";
        EXPECT_EQ(again.labels, fresh.labels) << what;
    }

    void open(App::Overlay overlay) {
        if (overlay == App::Overlay::Settings)
            probe.open_settings();
        else if (overlay == App::Overlay::Dialog)
            probe.show_dialog("Delete permanently?", "This cannot be undone.",
                              {{App::CMD_CANCEL, "Cancel", false, true},
                               {App::CMD_CLEAN_CONFIRM, "Delete permanently", true, false}});
        else
            probe.overlay() = overlay;
    }
};

struct OverlayCase {
    const char* name;
    App::Overlay overlay;
};

const OverlayCase kOverlays[] = {
    {"dialog", App::Overlay::Dialog},
    {"about", App::Overlay::About},
    {"settings", App::Overlay::Settings},
    {"language", App::Overlay::Language},
};

TEST_F(ViewCacheTest, EveryOverlayOverEveryScreenMatchesTheFrameDrawnAfresh) {
    const struct {
        const char* name;
        std::string selection;
        double scroll;
    } screens[] = {
        {"overview", "", 0},
        {"category scrolled", "gradle", 900},
        {"manual list", App::SEL_MANUAL, 0},
    };
    for (const auto& screen : screens) {
        for (const OverlayCase& o : kOverlays) {
            for (const double scale : {1.0, 1.5, 2.0}) {
                probe.selection() = screen.selection;
                probe.scroll() = screen.scroll;
                open(o.overlay);
                expect_cached_equals_fresh(
                    1000, 640, scale,
                    std::string(screen.name) + " under " + o.name + " @" + std::to_string(scale));
                probe.overlay() = App::Overlay::None;
            }
        }
    }
}

TEST_F(ViewCacheTest, RightToLeftUnderAnOverlayMatchesTheFrameDrawnAfresh) {
    I18n::instance().set_language("ar");
    probe.selection() = "gradle";
    open(App::Overlay::Dialog);
    expect_cached_equals_fresh(1100, 720, 1, "Arabic category under the dialog");
}

// Each change happens behind an open dialog after a frame kept the picture;
// the next frame must show it, exactly as a frame drawn afresh does.
TEST_F(ViewCacheTest, AChangeBehindTheOverlayReachesTheNextFrame) {
    const struct {
        const char* name;
        std::function<void()> change;
    } changes[] = {
        {"an entry ticked",
         [this] {
             std::lock_guard<std::mutex> lock(probe.mutex());
             cat(0).items[1].selected = true;
         }},
        {"a size measured",
         [this] {
             std::lock_guard<std::mutex> lock(probe.mutex());
             cat(2).items[0].size = 9'000'000;
         }},
        {"a category scanned anew",
         [this] {
             std::lock_guard<std::mutex> lock(probe.mutex());
             cat(1).items.push_back(item("more", 3'000'000));
         }},
        {"a status line", [this] { probe.status() = "Freed 40 MB"; }},
        {"the dark theme", [this] { probe.set_dark(true); }},
        {"another language", [] { I18n::instance().set_language("de"); }},
        {"the legend highlight",
         [this] { probe.set_highlight_group(static_cast<int>(GroupKind::Java)); }},
        {"the scan started", [this] { probe.set_scanning(true); }},
    };
    for (const auto& c : changes) {
        I18n::instance().set_language("en");
        probe.set_dark(false);
        probe.set_scanning(false);
        probe.status().clear();
        probe.set_highlight_group(-1);
        fill_home();
        open(App::Overlay::Dialog);
        const Frame before = frame(1000, 640, 1, true);
        c.change();
        const Frame after = frame(1000, 640, 1, true);
        const Frame fresh = frame(1000, 640, 1, false);
        EXPECT_FALSE(after.pixels == before.pixels) << c.name << " does not show";
        EXPECT_TRUE(after.pixels == fresh.pixels) << c.name;
        probe.overlay() = App::Overlay::None;
    }
    probe.set_scanning(false);
}

TEST_F(ViewCacheTest, ANewWindowSizeOrScaleIsDrawnForThatSize) {
    open(App::Overlay::About);
    frame(1000, 640, 1, true);
    expect_cached_equals_fresh(1200, 800, 1, "a larger window");
    expect_cached_equals_fresh(1200, 800, 2, "the same window at scale 2");
}

// A desktop with larger text zooms the whole window; the kept picture must be
// kept zoomed too, and a new zoom of the same layout size drawn anew.
TEST_F(ViewCacheTest, AZoomedWindowUnderEveryOverlayMatchesTheFrameDrawnAfresh) {
    const auto zoomed = [&](int width, int height, double zoom, bool cached) {
        probe.view_cache_enabled() = cached;
        probe.zoom() = zoom;
        cairo_surface_t* s = probe.draw_window(width, height);
        std::vector<unsigned char> pixels = screen_test::bytes_of(s);
        cairo_surface_destroy(s);
        return pixels;
    };
    const struct {
        int width, height;
        double zoom;
    } windows[] = {{1350, 840, 1.5}, {1125, 700, 1.25}, {1350, 840, 1.5}};
    probe.selection() = "gradle";
    for (const OverlayCase& o : kOverlays) {
        open(o.overlay);
        for (const auto& w : windows) {
            const std::string what =
                std::string(o.name) + " zoomed " + std::to_string(w.zoom);
            const std::vector<unsigned char> fresh = zoomed(w.width, w.height, w.zoom, false);
            EXPECT_TRUE(zoomed(w.width, w.height, w.zoom, true) == fresh) << what;
            EXPECT_TRUE(zoomed(w.width, w.height, w.zoom, true) == fresh) << what << ", kept";
        }
        probe.overlay() = App::Overlay::None;
    }
    probe.zoom() = 1;
}

TEST_F(ViewCacheTest, ATransformedTargetIsDrawnDirectly) {
    open(App::Overlay::Settings);
    const auto draw = [&](bool cached) {
        probe.view_cache_enabled() = cached;
        cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 1000, 640);
        cairo_t* cr = cairo_create(s);
        cairo_translate(cr, 0.5, 0);
        cairo_scale(cr, 0.9, 0.9);
        app.draw_frame(cr, 1100, 700);
        cairo_destroy(cr);
        std::vector<unsigned char> pixels = screen_test::bytes_of(s);
        cairo_surface_destroy(s);
        return pixels;
    };
    const std::vector<unsigned char> fresh = draw(false);
    draw(true);
    EXPECT_TRUE(draw(true) == fresh);
}

}  // namespace
