// The window-wide mends around the content region: a stopped scan never
// passes for a clean home, hidden rows catch no clicks and the topmost target
// wins, scroll positions stay valid when the window or a list changes, the
// wheel over a right-hand sidebar, small windows, scaled screens, and the
// Pango language.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "screen_fixture.h"

namespace {

using namespace screen_test;
using Act = App::Act;

constexpr std::int64_t kMiB = 1 << 20;

std::vector<CatState> many_categories(int n) {
    std::vector<CatState> cats;
    for (int i = 0; i < n; ++i)
        cats.push_back(category("c" + std::to_string(i), static_cast<GroupKind>(i % 11),
                                {item("e", (i + 1) * kMiB)}));
    return cats;
}

class ContentTest : public ScreenTest {};

TEST_F(ContentTest, AStoppedScanMarksTheRestNotScannedInsteadOfScanning) {
    set_cats({category("jb", GroupKind::Ides, {item("a", kMiB)}),
              category("pip", GroupKind::Python, {}, false)});
    probe.draw(1100, 720);
    EXPECT_NE(probe.find_text("not scanned"), nullptr);
    EXPECT_EQ(probe.find_text("scanning …"), nullptr);
    probe.set_scanning(true);
    probe.draw(1100, 720);
    EXPECT_EQ(probe.find_text("not scanned"), nullptr);
    EXPECT_NE(probe.find_text("scanning …"), nullptr);
    probe.set_scanning(false);
}

TEST_F(ContentTest, ACancelledRealScanOffersRescanAndNeverTheEmptyState) {
    {
        std::lock_guard<std::mutex> lock(probe.mutex());
        probe.cats().clear();
    }
    // The user cancels while the worker is at its first category.
    probe.before_each_category([this](const std::string&) { probe.cancel_flag() = true; });
    probe.start_scan();
    ASSERT_TRUE(probe.wait_for_worker());
    bool any_unscanned = false;
    for (const CatState& cs : probe.cats())
        any_unscanned = any_unscanned || !cs.did_scan;
    ASSERT_TRUE(any_unscanned) << "the worker went on after the cancel";
    probe.draw(1100, 720);
    EXPECT_EQ(probe.find_text("Nothing found"), nullptr);
    EXPECT_NE(probe.find_text("Scan not finished"), nullptr);
}

TEST_F(ContentTest, TheTopmostOfTwoOverlappingTargetsWins) {
    cairo_surface_t* s = probe.with_canvas(200, 200, false, [](AppProbe& p) {
        p.add_target(RectF{10, 10, 100, 100}, Act::ToggleItem, 1);
        p.add_target(RectF{50, 50, 100, 100}, Act::Clean, 0);
    });
    cairo_surface_destroy(s);
    EXPECT_EQ(probe.hit(30, 30).act, Act::ToggleItem);
    EXPECT_EQ(probe.hit(80, 80).act, Act::Clean) << "drawn later, lies on top";
    EXPECT_EQ(probe.hit(140, 140).act, Act::Clean);
    EXPECT_EQ(probe.hit(190, 20).act, Act::None);
}

TEST_F(ContentTest, EveryContentTargetLiesInsideTheContentRegion) {
    std::vector<CatState> cats = many_categories(11);
    for (int i = 0; i < 30; ++i)
        cats[0].items.push_back(item("more-" + std::to_string(i), kMiB));
    set_cats(std::move(cats));
    for (const char* selection : {"", "c0"}) {
        SCOPED_TRACE(selection);
        probe.selection() = selection;
        for (double scroll : {0.0, 97.0, 1000.0}) {
            probe.scroll() = scroll;
            probe.draw(1100, 720);
            for (const App::HitTarget& t : probe.targets()) {
                if (t.screen == App::Screen::Toolbar || t.screen == App::Screen::Sidebar ||
                    t.screen == App::Screen::Footer)
                    continue;
                EXPECT_GE(t.rect.y, probe.content().y) << static_cast<int>(t.act);
                EXPECT_LE(t.rect.y + t.rect.h, probe.footer().y) << static_cast<int>(t.act);
                EXPECT_GE(t.rect.x, probe.content().x) << static_cast<int>(t.act);
            }
        }
    }
}

TEST_F(ContentTest, ScrollPositionsAreClampedWhenTheWindowGrowsOrTheListShrinks) {
    set_cats(many_categories(11));
    probe.selection() = "";
    probe.draw(900, 560);
    probe.scroll() = 5000;
    probe.sidebar_scroll() = 5000;
    probe.draw(900, 560);
    EXPECT_DOUBLE_EQ(probe.scroll(), probe.content_height() - probe.content().h);
    EXPECT_DOUBLE_EQ(probe.sidebar_scroll(), probe.sidebar_height() - probe.sidebar().h);

    probe.draw(1920, 2000);  // now everything fits
    EXPECT_DOUBLE_EQ(probe.scroll(), 0);
    EXPECT_DOUBLE_EQ(probe.sidebar_scroll(), 0);
    EXPECT_NE(probe.target(Act::SelectOverview), nullptr) << "the sidebar is not blank";
    EXPECT_NE(probe.target(Act::TopConsumer), nullptr) << "the overview is not blank";

    // A category list that shrinks under a scrolled view (a scan replacing it).
    for (int i = 0; i < 50; ++i)
        cat(3).items.push_back(item("v" + std::to_string(i), kMiB));
    probe.selection() = "c3";
    probe.draw(1100, 720);
    probe.scroll() = probe.content_height() - probe.content().h;
    cat(3).items.resize(2);
    probe.draw(1100, 720);
    EXPECT_DOUBLE_EQ(probe.scroll(), 0);
    EXPECT_NE(probe.target(Act::ToggleItem, 0), nullptr);
}

TEST_F(ContentTest, TheSidebarShowsAScrollThumbOnlyWhenItScrolls) {
    set_cats(many_categories(11));
    const auto thumb_pixels = [&](int w, int h) {
        cairo_surface_t* s = probe.draw(w, h, true);
        const RectF sb = probe.sidebar();
        const int x = static_cast<int>(sb.x + sb.w - 6);
        int n = 0;
        const std::uint32_t bar = pixel(s, static_cast<int>(sb.x + 4), static_cast<int>(sb.y + 3));
        for (int y = static_cast<int>(sb.y + 6); y < sb.y + sb.h - 6; ++y)
            n += (pixel(s, x, y) & 0xFFFFFF) != (bar & 0xFFFFFF) ? 1 : 0;
        cairo_surface_destroy(s);
        return n;
    };
    EXPECT_GE(thumb_pixels(1100, 720), 28) << "the list is taller than the sidebar";
    EXPECT_EQ(thumb_pixels(1100, 2400), 0);
}

TEST_F(ContentTest, TheWheelOverARightHandSidebarScrollsTheSidebar) {
    set_cats(many_categories(11));
    I18n::instance().set_language("ar");
    probe.draw(1100, 720);
    const double left_edge_of_mirrored_sidebar = 1100 - probe.sidebar().w;
    probe.wheel(1100 - 20, 300, 60);
    EXPECT_DOUBLE_EQ(probe.sidebar_scroll(), 60);
    EXPECT_DOUBLE_EQ(probe.scroll(), 0);
    probe.wheel(left_edge_of_mirrored_sidebar - 20, 300, 60);
    EXPECT_DOUBLE_EQ(probe.sidebar_scroll(), 60) << "over the content, only the content moves";
}

TEST_F(ContentTest, TheCategoryHeaderFitsTheSmallestWindow) {
    set_cats({category("a-category-title-that-is-rather-long-indeed", GroupKind::Java,
                       {item("e", kMiB)})});
    probe.selection() = "a-category-title-that-is-rather-long-indeed";
    probe.draw(900, 560);
    EXPECT_LE(probe.sidebar().w, 224);
    const App::HitTarget* safe = probe.target(Act::SelectAllSafe);
    ASSERT_NE(safe, nullptr);
    EXPECT_GE(safe->rect.x, probe.content().x + 22 + 46);
    for (const App::DrawnText& t : probe.texts) {
        if (t.box.y > safe->rect.y + safe->rect.h || t.box.x < probe.content().x)
            continue;
        if (t.box.x < safe->rect.x) {
            EXPECT_LE(t.box.x + t.box.w, safe->rect.x) << t.text;
        }
    }
}

TEST_F(ContentTest, HairlinesStayOnWholeDevicePixelsAtEveryScale) {
    set_cats(many_categories(3));
    for (double scale : {1.0, 1.5, 2.0}) {
        SCOPED_TRACE(scale);
        cairo_surface_t* s = probe.draw_scaled(1000, 600, scale);
        const std::uint32_t divider =
            static_cast<std::uint32_t>(std::stoul(probe.palette().divider.substr(1), nullptr, 16));
        const std::uint32_t bar =
            static_cast<std::uint32_t>(std::stoul(probe.palette().bar.substr(1), nullptr, 16));
        const int device_y = static_cast<int>(probe.footer().y * scale);
        const int x = static_cast<int>(50 * scale);
        const int line = static_cast<int>(std::round(scale));
        for (int i = 0; i < line; ++i)
            EXPECT_EQ(pixel(s, x, device_y + i) & 0xFFFFFF, divider) << "row " << i;
        EXPECT_EQ(pixel(s, x, device_y + line) & 0xFFFFFF, bar) << "no smear below";
        EXPECT_NE(pixel(s, x, device_y - 1) & 0xFFFFFF, divider) << "nor above";
        cairo_surface_destroy(s);
    }
}

TEST_F(ContentTest, CardOutlinesCoverWholeDevicePixelsAtEveryScale) {
    set_cats({category("jb", GroupKind::Ides, {item("a", kMiB)})});
    probe.selection() = "jb";
    const std::uint32_t divider =
        static_cast<std::uint32_t>(std::stoul(probe.palette().divider.substr(1), nullptr, 16));
    for (double scale : {1.0, 1.5, 2.0}) {
        SCOPED_TRACE(scale);
        cairo_surface_t* s = probe.draw_scaled(900, 560, scale);
        const App::HitTarget* card = probe.target(Act::ToggleItem, 0);
        ASSERT_NE(card, nullptr);
        // The top edge, halfway along: no corner, no stripe.
        const int x = static_cast<int>((card->rect.x + card->rect.w / 2) * scale);
        const int top = static_cast<int>(std::round(card->rect.y * scale));
        const int line = static_cast<int>(std::round(scale));
        for (int i = 0; i < line; ++i)
            EXPECT_EQ(pixel(s, x, top + i) & 0xFFFFFF, divider) << "row " << i;
        EXPECT_EQ(pixel(s, x, top + line) & 0xFFFFFF, 0xFFFFFFu) << "the card inside";
        cairo_surface_destroy(s);
    }
}

TEST_F(ContentTest, FramesFromKeptLayoutsMatchFreshOnesPixelForPixel) {
    std::vector<CatState> cats = many_categories(11);
    cats[0].items.push_back(item(std::string(90, 'x') + "-long-name", -1));
    set_cats(std::move(cats));
    for (const char* selection : {"", "c0"}) {
        SCOPED_TRACE(selection);
        probe.selection() = selection;
        App fresh_app;
        AppProbe fresh{fresh_app};
        {
            std::lock_guard<std::mutex> lock(fresh.mutex());
            fresh.cats() = probe.cats();
        }
        fresh.selection() = selection;
        probe.draw(1100, 720);  // fills the caches
        cairo_surface_t* kept = probe.draw(1100, 720, true);
        cairo_surface_t* first = fresh.draw(1100, 720, true);
        const int stride = cairo_image_surface_get_stride(kept);
        EXPECT_EQ(
            std::memcmp(cairo_image_surface_get_data(kept), cairo_image_surface_get_data(first),
                        static_cast<std::size_t>(stride * 720)),
            0);
        cairo_surface_destroy(kept);
        cairo_surface_destroy(first);
    }
}

TEST_F(ContentTest, PangoLaysOutTextInTheInterfaceLanguage) {
    for (const char* code : {"ar", "de", "en"}) {
        I18n::instance().set_language(code);
        probe.draw(900, 560);
        EXPECT_STREQ(pango_language_to_string(probe.pango_language()), code);
    }
}

TEST_F(ContentTest, TextsInGroupAndSafetyColoursReadInBothAppearances) {
    // The shades the screens draw with: group names on cards and bars, pills
    // on their tinted cards, labels on badges and donut segments.
    for (bool dark : {false, true}) {
        const Palette p = Palette::for_theme(dark);
        std::vector<std::string> hues = {kBrandPink, "#E5484D"};
        for (int g = 0; g < static_cast<int>(GroupKind::_Count); ++g)
            hues.push_back(catalog::group_color(static_cast<GroupKind>(g)));
        for (SafetyLevel s : {SafetyLevel::Safe, SafetyLevel::Caution, SafetyLevel::Risky})
            hues.push_back(catalog::safety_color(s));
        for (const std::string& hue : hues) {
            SCOPED_TRACE(hue + (dark ? " dark" : " light"));
            Rgb fg, bg;
            ASSERT_TRUE(hex_to_rgb(readable_on(hue, p.bar, kMinTextContrast), fg));
            ASSERT_TRUE(hex_to_rgb(p.bar, bg));
            EXPECT_GE(contrast_ratio(fg, bg), 4.5) << "a name in its group colour";
            const std::string tint = mix_hex(hue, p.bar, 0.16);
            ASSERT_TRUE(hex_to_rgb(readable_on(hue, tint, kMinTextContrast), fg));
            ASSERT_TRUE(hex_to_rgb(tint, bg));
            EXPECT_GE(contrast_ratio(fg, bg), 4.5) << "a pill";
            ASSERT_TRUE(hex_to_rgb(text_on_fill(hue, kMinTextContrast), fg));
            ASSERT_TRUE(hex_to_rgb(hue, bg));
            EXPECT_GE(contrast_ratio(fg, bg), 4.5) << "a badge or a segment label";
        }
    }
}

}  // namespace
