// The window zoomed for a desktop with larger text: the designed layout drawn
// larger, pointer events and accessible places in window pixels, and the zoom
// following the desktop's setting while the window is open.
#include <cairo.h>
#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <cstdint>
#include <string>
#include <vector>

#include "app_probe.h"
#include "screen_fixture.h"
#include "session_services.h"
#include "test_support.h"

namespace {

using screen_test::category;
using screen_test::item;

constexpr int kLayoutWidth = 900;
constexpr int kLayoutHeight = 560;
constexpr double kZoom = 1.5;
constexpr int kWindowWidth = 1350;  // the layout size times the zoom
constexpr int kWindowHeight = 840;

class ZoomTest : public screen_test::ScreenTest {
protected:
    void SetUp() override {
        ScreenTest::SetUp();
        set_cats({category("nodeModules", GroupKind::Projects, {item("web/node_modules", 3 << 20)}),
                  category("pip", GroupKind::Python, {item("http", 2048)})});
        probe.selection() = "nodeModules";
    }
    void TearDown() override {
        probe.zoom() = 1;
        ScreenTest::TearDown();
    }

    // A frame of the zoomed window; its surface is kept for the pixel checks.
    void draw_zoomed() {
        probe.zoom() = kZoom;
        cairo_surface_t* s = probe.draw_window(kWindowWidth, kWindowHeight);
        const unsigned char* data = cairo_image_surface_get_data(s);
        const int stride = cairo_image_surface_get_stride(s);
        corner_alpha = data[(kWindowHeight - 1) * stride + (kWindowWidth - 1) * 4 + 3];
        cairo_surface_destroy(s);
    }

    // Where the control of act lies in window pixels.
    RectF window_rect(App::Act act) {
        const App::HitTarget* t = probe.target(act);
        EXPECT_NE(t, nullptr);
        if (t == nullptr)
            return RectF{};
        const auto z = static_cast<float>(kZoom);
        return RectF{t->rect.x * z, t->rect.y * z, t->rect.w * z, t->rect.h * z};
    }

    unsigned char corner_alpha = 0;
};

}  // namespace

TEST_F(ZoomTest, TheZoomedWindowIsTheDesignedLayoutDrawnLargerToItsEdges) {
    probe.draw(kLayoutWidth, kLayoutHeight);
    const std::vector<App::HitTarget> designed = probe.targets();
    const std::vector<App::DrawnText> designed_texts = probe.texts;

    draw_zoomed();
    ASSERT_EQ(probe.targets().size(), designed.size());
    for (std::size_t i = 0; i < designed.size(); ++i) {
        const App::HitTarget& t = probe.targets()[i];
        EXPECT_EQ(t.act, designed[i].act) << i;
        EXPECT_FLOAT_EQ(t.rect.x, designed[i].rect.x) << i;
        EXPECT_FLOAT_EQ(t.rect.y, designed[i].rect.y) << i;
        EXPECT_FLOAT_EQ(t.rect.w, designed[i].rect.w) << i;
        EXPECT_FLOAT_EQ(t.rect.h, designed[i].rect.h) << i;
    }
    ASSERT_EQ(probe.texts.size(), designed_texts.size());
    for (std::size_t i = 0; i < designed_texts.size(); ++i)
        EXPECT_EQ(probe.texts[i].text, designed_texts[i].text) << "nothing cut short: " << i;
    EXPECT_EQ(corner_alpha, 255) << "the frame must reach the window's far corner";
}

TEST_F(ZoomTest, PointerEventsInWindowPixelsReachTheControlsUnderThem) {
    draw_zoomed();
    const RectF settings = window_rect(App::Act::AppMenu);
    probe.window_motion(settings.x + settings.w / 2, settings.y + settings.h / 2);
    EXPECT_EQ(probe.hover_act(), App::Act::AppMenu);

    // Unzoomed, this point lies below and right of every toolbar button.
    const RectF about = window_rect(App::Act::About);
    probe.window_click(about.x + about.w - 2, about.y + about.h - 2);
    EXPECT_EQ(probe.overlay(), App::Overlay::About);
}

TEST_F(ZoomTest, ScreenReadersFindControlsWhereTheyAreDrawn) {
    draw_zoomed();
    const RectF rescan = window_rect(App::Act::Rescan);
    bool found = false;
    for (const App::AccessibleNode& node : app.accessible_nodes()) {
        if (node.target.act != App::Act::Rescan)
            continue;
        found = true;
        EXPECT_FLOAT_EQ(node.rect.x, rescan.x);
        EXPECT_FLOAT_EQ(node.rect.y, rescan.y);
        EXPECT_FLOAT_EQ(node.rect.w, rescan.w);
        EXPECT_FLOAT_EQ(node.rect.h, rescan.h);
    }
    EXPECT_TRUE(found);
}

// --- The real window: run only through the test further down ---

TEST(ZoomChild, DISABLED_TheWindowFollowsTheDesktopsTextScale) {
    I18n::instance().set_language("en");
    testing_support::FakeHome home;
    // A screen of 144 dots per inch: GTK's text size when no desktop sets one.
    testing_support::VirtualDisplay display("1920x1080x24", 144);
    ASSERT_TRUE(gtk_init_check(nullptr, nullptr));
    App app;
    AppProbe probe{app};
    probe.build_window();
    EXPECT_DOUBLE_EQ(probe.zoom(), 1.5) << "from the screen's resolution";
    int width = 0, height = 0;
    gtk_window_get_default_size(GTK_WINDOW(probe.window()), &width, &height);
    EXPECT_EQ(width, 1650) << "a first start is the default size, zoomed";
    EXPECT_EQ(height, 1032) << "… but no taller than the screen leaves room for";

    GtkSettings* settings = gtk_settings_get_default();
    g_object_set(settings, "gtk-xft-dpi", 192 * 1024, nullptr);
    EXPECT_DOUBLE_EQ(probe.zoom(), (1080.0 - 48) / 560)
        << "twice the text: as far as the minimum window fits the screen";
    g_object_set(settings, "gtk-xft-dpi", 96 * 1024, nullptr);
    EXPECT_DOUBLE_EQ(probe.zoom(), 1);
}

TEST(Zoom, TheWindowFollowsTheDesktopsTextScale) {
    const auto r = testing_support::run_test_in_child(
        "ZoomChild.DISABLED_TheWindowFollowsTheDesktopsTextScale", {{"NO_AT_BRIDGE", "1"}});
    EXPECT_EQ(r.exit_code, 0) << r.out;
    EXPECT_NE(r.out.find("[  PASSED  ] 1 test"), std::string::npos) << "did not run: " << r.out;
}
