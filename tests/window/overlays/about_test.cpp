// The About panel: the Snap line only inside a Snap (with the revision when
// known), the panel's height with and without it, the links as targets, and
// the application icon painted.
#include <cairo.h>

#include <cstring>

#include "overlay_fixture.h"

namespace {

using Act = App::Act;
using testing_support::ScopedEnv;

TEST_F(OverlayTest, TheSnapLineAppearsOnlyInASnapAndTheRevisionOnlyWhenKnown) {
    const struct {
        std::optional<std::string> version, revision;
        const char* line;  // null: no Snap line
        float height;
    } cases[] = {
        {std::nullopt, std::nullopt, nullptr, 340},       {"", "12", nullptr, 340},
        {"2.4.1", std::nullopt, "Snap 2.4.1", 360},       {"2.4.1", "", "Snap 2.4.1", 360},
        {"2.4.1", "57", "Snap 2.4.1 (Revision 57)", 360},
    };
    for (const auto& c : cases) {
        ScopedEnv env{{"SNAP_VERSION", c.version}, {"SNAP_REVISION", c.revision}};
        open(App::Overlay::About, 1100, 720);
        bool any_snap = false;
        for (const App::DrawnText& t : probe.texts)
            any_snap = any_snap || t.text.rfind("Snap ", 0) == 0;
        if (c.line == nullptr) {
            EXPECT_FALSE(any_snap) << c.version.value_or("(unset)");
        } else {
            EXPECT_NE(probe.find_text(c.line), nullptr) << c.line;
        }
        const App::HitTarget* close = close_button();
        ASSERT_NE(close, nullptr);
        // The "Close" button's top is 46 px above the bottom of a centred panel.
        EXPECT_FLOAT_EQ(2 * (close->rect.y + 46 - 360), c.height) << c.version.value_or("(unset)");
    }
}

TEST_F(OverlayTest, AboutLinksAreTargetsAsWideAsTheirText) {
    open(App::Overlay::About);
    const App::HitTarget* site = probe.target(Act::LinkWebsite);
    const App::HitTarget* mail = probe.target(Act::LinkContact);
    ASSERT_NE(site, nullptr);
    ASSERT_NE(mail, nullptr);
    EXPECT_LT(site->rect.y + site->rect.h, mail->rect.y + 0.5f);
    bool site_text = false;
    for (const App::DrawnText& t : probe.texts) {
        if (t.text.find("https://") == 0) {
            site_text = true;
            EXPECT_NEAR(t.box.x, site->rect.x, 1.0);
            EXPECT_NEAR(t.box.w, site->rect.w, 1.0);
        }
    }
    EXPECT_TRUE(site_text) << "no website drawn";
    // Clicking a link must not close the panel.
    probe.click_target(*site);
    EXPECT_EQ(probe.overlay(), App::Overlay::About);
}

TEST_F(OverlayTest, TheApplicationIconIsPaintedAtTheTopOfThePanel) {
    probe.overlay() = App::Overlay::About;
    cairo_surface_t* s = probe.draw(1100, 720, true);
    cairo_surface_flush(s);
    const unsigned char* data = cairo_image_surface_get_data(s);
    const int stride = cairo_image_surface_get_stride(s);
    const auto px = [&](int x, int y) {
        std::uint32_t p;
        std::memcpy(&p, data + y * stride + x * 4, 4);
        return p;
    };
    // A 340 px panel centred in 720 px starts at 190; the 72 px icon square
    // sits 26 px below that, centred. Its pixels differ from the panel's fill
    // beside it.
    const int cx = 550, top = 190 + 26;
    const std::uint32_t panel = px(cx - 120, top + 36);
    int differing = 0, samples = 0;
    for (int y = top + 2; y < top + 70; y += 4) {
        for (int x = cx - 34; x < cx + 34; x += 4) {
            differing += px(x, y) != panel;
            ++samples;
        }
    }
    EXPECT_GT(differing, samples * 3 / 4) << "the icon square looks empty";
    cairo_surface_destroy(s);
}

}  // namespace
