// The message dialog: its width follows narrow windows, its height the wrapped
// message, and its buttons line up from the trailing edge in list order.
#include "overlay_fixture.h"

namespace {

using Act = App::Act;

// The panel's edges, worked back from the rightmost button, which sits 24 px
// inside the right edge and 48 px above the bottom of a centred panel.
struct Panel {
    float width, height;
};
Panel panel_of(const RectF& rightmost, int w, int h) {
    const float right = rightmost.x + rightmost.w + 24;
    const float bottom = rightmost.y + 48;
    return Panel{2 * (right - w / 2.0f), 2 * (bottom - h / 2.0f)};
}

std::vector<App::DialogButton> one_button(int id = App::CMD_CANCEL) {
    return {{id, "Close", false, true}};
}

TEST_F(OverlayTest, DialogNarrowsInNarrowWindowsAndStopsAt460) {
    const struct {
        int width;
        float panel;
        float text;
    } cases[] = {{400, 340, 292}, {800, 460, 412}, {1920, 460, 412}};
    for (const auto& c : cases) {
        probe.show_dialog("Title", "word " + std::string(60, 'w') + " end", one_button());
        probe.draw(c.width, 600);
        const App::HitTarget* b = probe.target(Act::DialogButton);
        ASSERT_NE(b, nullptr);
        EXPECT_FLOAT_EQ(panel_of(b->rect, c.width, 600).width, c.panel) << c.width;
        for (const App::DrawnText& t : probe.texts) {
            if (t.text != "Title" && t.text != "Close") {
                EXPECT_LE(t.box.w, c.text + 0.5f)
                    << "a message line wider than the text: " << t.text;
            }
        }
    }
}

TEST_F(OverlayTest, DialogHeightIs150PlusTwentyPerMessageLine) {
    const struct {
        std::string message;
        float height;
    } cases[] = {{"", 150}, {"one line", 170}, {"first\nsecond\nthird", 210}};
    for (const auto& c : cases) {
        probe.show_dialog("Title", c.message, one_button());
        probe.draw(800, 600);
        const App::HitTarget* b = probe.target(Act::DialogButton);
        ASSERT_NE(b, nullptr);
        EXPECT_FLOAT_EQ(panel_of(b->rect, 800, 600).height, c.height) << c.message;
        EXPECT_FLOAT_EQ(b->rect.h, 34);
    }
}

TEST_F(OverlayTest, TheLastButtonOfTheListIsRightmostAndTheFirstTenPxLeftOfIt) {
    probe.show_dialog("Delete?", "Sure?",
                      {{App::CMD_CANCEL, "Cancel", false, true}, {7, "Delete", true, false}});
    probe.draw(800, 600);
    const App::HitTarget* cancel = probe.target(Act::DialogButton, App::CMD_CANCEL);
    const App::HitTarget* confirm = probe.target(Act::DialogButton, 7);
    ASSERT_NE(cancel, nullptr);
    ASSERT_NE(confirm, nullptr);
    EXPECT_FLOAT_EQ(confirm->rect.x + confirm->rect.w, 400 + 230 - 24);
    EXPECT_FLOAT_EQ(cancel->rect.x + cancel->rect.w + 10, confirm->rect.x);
    EXPECT_FLOAT_EQ(cancel->rect.y, confirm->rect.y);
}

TEST_F(OverlayTest, ADialogButtonClosesTheDialogAndANewDialogReplacesAnOverlay) {
    probe.overlay() = App::Overlay::Settings;
    probe.show_dialog("Title", "Message", one_button(3));
    EXPECT_EQ(probe.overlay(), App::Overlay::Dialog);
    probe.draw(800, 600);
    probe.click_target(*probe.target(Act::DialogButton, 3));
    EXPECT_EQ(probe.overlay(), App::Overlay::None);
}

}  // namespace
