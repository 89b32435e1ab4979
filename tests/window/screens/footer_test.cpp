// The footer: the dimmed button without a selection, its hairline and the
// separator's place, and the status line's colours. The manual list's rows are
// tested here too, since it is the footer's partner in the deletion flow.
#include <gtest/gtest.h>

#include "base/format.h"
#include "screen_fixture.h"

namespace {

using namespace screen_test;
using Act = App::Act;

constexpr std::int64_t kMiB = 1 << 20;

class FooterTest : public ScreenTest {
protected:
    void SetUp() override {
        ScreenTest::SetUp();
        set_cats({category("jb", GroupKind::Ides, {item("a", 3 * kMiB), item("b", 5 * kMiB)})});
    }
    std::uint32_t rgb(cairo_surface_t* s, int x, int y) { return pixel(s, x, y) & 0xFFFFFF; }
    static std::uint32_t hex(const std::string& h) {
        return static_cast<std::uint32_t>(std::stoul(h.substr(1), nullptr, 16));
    }
};

TEST_F(FooterTest, WithoutASelectionTheDeleteButtonIsDimmedAndTakesNoClick) {
    probe.draw(1100, 720);
    EXPECT_EQ(probe.target(Act::Clean), nullptr);
    // Readers still find it, as a button that cannot be pressed now.
    const auto reader_sees = [&]() -> const App::AccessibleNode* {
        for (const App::AccessibleNode& node : app.accessible_nodes())
            if (node.target.act == Act::Clean)
                return &node;
        return nullptr;
    };
    const App::AccessibleNode* dimmed = reader_sees();
    ASSERT_NE(dimmed, nullptr);
    EXPECT_FALSE(dimmed->sensitive);
    EXPECT_EQ(dimmed->name, "Delete permanently");
    EXPECT_NE(
        probe.hit(dimmed->rect.x + dimmed->rect.w / 2, dimmed->rect.y + dimmed->rect.h / 2).act,
        Act::Clean);
    EXPECT_NE(probe.find_text("—"), nullptr);
    EXPECT_NE(probe.find_text("Delete permanently"), nullptr) << "the button is still shown";
    cat(0).items[1].selected = true;
    probe.draw(1100, 720);
    const App::HitTarget* clean = probe.target(Act::Clean);
    ASSERT_NE(clean, nullptr);
    ASSERT_NE(reader_sees(), nullptr);
    EXPECT_TRUE(reader_sees()->sensitive);
    EXPECT_EQ(clean->screen, App::Screen::Footer);
    EXPECT_TRUE(probe.footer().contains(cx(*clean), cy(*clean)));
    EXPECT_NE(probe.find_text(fmt::bytes(5 * kMiB)), nullptr);
    EXPECT_EQ(probe.find_text("—"), nullptr);
}

TEST_F(FooterTest, TheRuleSpansTheWindowAndTheSeparatorMovesOnlyForWideValues) {
    cairo_surface_t* s = probe.draw(1100, 720, true);
    const int rule_y = static_cast<int>(probe.footer().y);
    for (int x : {0, 300, 700, 1099})
        EXPECT_EQ(rgb(s, x, rule_y), hex(probe.palette().divider)) << x;
    EXPECT_EQ(rgb(s, 222, rule_y + 30), hex(probe.palette().divider)) << "narrow value";
    cairo_surface_destroy(s);

    // A partial value is wider than 170 px.
    cat(0).items[0].size = -1;
    cat(0).items[0].selected = true;
    cat(0).items[1].selected = true;
    s = probe.draw(1100, 720, true);
    const App::DrawnText* value = nullptr;
    for (const App::DrawnText& t : probe.texts) {
        if (t.text == "at least " + fmt::bytes(5 * kMiB) && t.box.y > probe.footer().y)
            value = &t;
    }
    ASSERT_NE(value, nullptr);
    ASSERT_GT(value->box.w + 30, 200);
    const int sx = static_cast<int>(value->box.w + 30 + 22);
    EXPECT_EQ(rgb(s, sx, rule_y + 30), hex(probe.palette().divider));
    EXPECT_NE(rgb(s, 222, rule_y + 30), hex(probe.palette().divider));
    cairo_surface_destroy(s);
}

TEST_F(FooterTest, TheStatusLineIsRedForAFailureAndGreenOtherwise) {
    for (bool error : {true, false}) {
        SCOPED_TRACE(error);
        probe.status() = error ? "2 entries could not be deleted" : "8 MB freed";
        probe.set_status_error(error);
        cairo_surface_t* s = probe.draw(1100, 720, true);
        const App::DrawnText* line = probe.find_text(probe.status());
        ASSERT_NE(line, nullptr);
        EXPECT_EQ(probe.find_text("found in total: " + fmt::bytes(8 * kMiB)), nullptr);
        int red = 0, green = 0;
        for (int y = static_cast<int>(line->box.y); y < line->box.y + line->box.h; ++y) {
            for (int x = static_cast<int>(line->box.x); x < line->box.x + line->box.w; ++x) {
                const std::uint32_t p = rgb(s, x, y);
                const int r = static_cast<int>(p >> 16), g = static_cast<int>((p >> 8) & 0xFF);
                red += r > g + 60 ? 1 : 0;
                green += g > r + 60 ? 1 : 0;
            }
        }
        EXPECT_GT(error ? red : green, 5);
        EXPECT_EQ(error ? green : red, 0);
        cairo_surface_destroy(s);
    }
}

TEST_F(FooterTest, ANarrowWindowKeepsTheTextsClearOfTheButton) {
    cat(0).items[0].selected = true;
    probe.selection() = "jb";  // two cards, all above the footer
    probe.draw(900, 560);
    const App::HitTarget* clean = probe.target(Act::Clean);
    ASSERT_NE(clean, nullptr);
    for (const App::DrawnText& t : probe.texts) {
        if (t.box.y < probe.footer().y || t.text == "Delete permanently")
            continue;
        EXPECT_LE(t.box.x + t.box.w, clean->rect.x) << t.text;
    }
}

// --- Manual list ---

TEST_F(FooterTest, ManualRowsOfferTheFileManagerAndGiveUnsizedNamesTheWholeColumn) {
    const std::string name(120, 'm');
    probe.manual() = {item(name, 4 * kMiB), item(name, -1)};
    probe.manual()[1].detail = "Permission denied";
    probe.selection() = App::SEL_MANUAL;
    probe.draw(1100, 720);
    for (int i = 0; i < 2; ++i) {
        const App::HitTarget* t = probe.target(Act::OpenManualItem, i);
        ASSERT_NE(t, nullptr) << i;
        EXPECT_EQ(t->screen, App::Screen::Manual);
    }
    std::vector<float> widths;
    for (const App::DrawnText& t : probe.texts) {
        if (t.text.rfind("mmm", 0) == 0)
            widths.push_back(t.box.w);
    }
    ASSERT_EQ(widths.size(), 2u);
    EXPECT_GT(widths[1], widths[0]) << "no size: the name takes its room";
    EXPECT_NE(probe.find_text("Permission denied"), nullptr);
}

}  // namespace
