// Drawing without a display: the regions of a frame, the toolbar and sidebar
// and their hit targets, right-to-left mirroring, and the primitives the
// screens are built from.
#include <cairo.h>
#include <gtest/gtest.h>

#include <algorithm>

#include <cmath>
#include <cstring>
#include <filesystem>

#include "app_probe.h"
#include "base/i18n.h"
#include "test_support.h"
#include "window/app.h"

namespace {

using testing_support::FakeHome;
const std::string kEllipsis = "\xE2\x80\xA6";

Item sized(const std::string& name, std::int64_t size, bool selected = false) {
    Item it;
    it.path = "/p/" + name;
    it.name = name;
    it.size = size;
    it.size_known = true;
    it.selected = selected;
    return it;
}

CatState category(const std::string& id, const std::string& title, GroupKind group,
                  std::vector<Item> items, bool did_scan = true) {
    CatState cs;
    cs.def.id = id;
    cs.def.title = title;
    cs.def.group = group;
    cs.def.glyph = Glyph::Box;
    cs.items = std::move(items);
    cs.did_scan = did_scan;
    return cs;
}

// ARGB32 pixel at (x, y): alpha in the top byte.
std::uint32_t pixel(cairo_surface_t* s, int x, int y) {
    cairo_surface_flush(s);
    const unsigned char* data = cairo_image_surface_get_data(s);
    const int stride = cairo_image_surface_get_stride(s);
    std::uint32_t p;
    std::memcpy(&p, data + y * stride + x * 4, 4);
    return p;
}
int alpha(cairo_surface_t* s, int x, int y) {
    return static_cast<int>(pixel(s, x, y) >> 24);
}

bool same_pixels(cairo_surface_t* a, cairo_surface_t* b) {
    const int h = cairo_image_surface_get_height(a);
    const int stride = cairo_image_surface_get_stride(a);
    return std::memcmp(cairo_image_surface_get_data(a), cairo_image_surface_get_data(b),
                       static_cast<std::size_t>(h * stride)) == 0;
}

bool any_alpha(cairo_surface_t* s) {
    const int w = cairo_image_surface_get_width(s), h = cairo_image_surface_get_height(s);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            if (alpha(s, x, y) != 0)
                return true;
        }
    }
    return false;
}

// Frames the tests draw are kept as pictures next to the test binary, so a
// person can look at what passed.
void save_artifact(cairo_surface_t* s, const std::string& name) {
    std::filesystem::create_directories("artifacts");
    cairo_surface_write_to_png(s, ("artifacts/" + name + ".png").c_str());
}

class RenderTest : public ::testing::Test {
protected:
    void SetUp() override { I18n::instance().set_language("en"); }
    void TearDown() override { I18n::instance().set_language("en"); }

    void set_cats(std::vector<CatState> cats) {
        std::lock_guard<std::mutex> lock(probe.mutex());
        probe.cats() = std::move(cats);
    }

    FakeHome home;
    App app;
    AppProbe probe{app};
};

// --- Regions ---

struct RegionCase {
    int width, height;
    float sidebar_width, middle_height;
};

TEST_F(RenderTest, RegionsFollowTheWindowSize) {
    const RegionCase cases[] = {
        {500, 400, 170, 280},
        {1000, 720, 268, 600},
        {1920, 1080, 268, 960},
        {600, 100, 204, 0},
    };
    for (const RegionCase& c : cases) {
        SCOPED_TRACE(std::to_string(c.width) + "x" + std::to_string(c.height));
        probe.draw(c.width, c.height);
        EXPECT_FLOAT_EQ(probe.toolbar().h, 46);
        EXPECT_FLOAT_EQ(probe.toolbar().w, c.width);
        EXPECT_FLOAT_EQ(probe.footer().y, c.height - 74);
        EXPECT_NEAR(probe.sidebar().w, c.sidebar_width, 1e-3);
        EXPECT_FLOAT_EQ(probe.sidebar().h, c.middle_height);
        EXPECT_FLOAT_EQ(probe.content().x, probe.sidebar().w);
        EXPECT_NEAR(probe.content().w, c.width - c.sidebar_width, 1e-3);
    }
}

TEST_F(RenderTest, AWindowTooShortForTheMiddleStillDrawsTheToolbar) {
    probe.draw(600, 100);
    EXPECT_EQ(probe.target(App::Act::SelectOverview), nullptr);
    EXPECT_NE(probe.target(App::Act::About), nullptr);
    EXPECT_NE(probe.find_text("Brushwick"), nullptr);
}

// --- Toolbar ---

TEST_F(RenderTest, ToolbarButtonsSitRightToLeftAndSwapRescanForCancel) {
    probe.draw(1100, 720);
    const App::HitTarget* about = probe.target(App::Act::About);
    const App::HitTarget* settings = probe.target(App::Act::AppMenu);
    const App::HitTarget* rescan = probe.target(App::Act::Rescan);
    ASSERT_TRUE(about && settings && rescan);
    EXPECT_NEAR(about->rect.x + about->rect.w, 1100 - 13.2, 1e-3);
    EXPECT_NEAR(settings->rect.x + settings->rect.w, about->rect.x - 8, 1e-3);
    EXPECT_NEAR(rescan->rect.x + rescan->rect.w, settings->rect.x - 8, 1e-3);
    EXPECT_FLOAT_EQ(about->rect.y, 8);
    EXPECT_FLOAT_EQ(about->rect.h, 30);

    probe.cleaning() = true;  // a deletion: Cancel is shown and registered, but disabled
    probe.draw(1100, 720);
    EXPECT_EQ(probe.target(App::Act::Rescan), nullptr);
    EXPECT_EQ(probe.target(App::Act::CancelScan), nullptr) << "takes no click";
    const auto cancel = std::find_if(
        probe.targets().begin(), probe.targets().end(),
        [](const App::HitTarget& t) { return t.act == App::Act::CancelScan && !t.enabled; });
    EXPECT_NE(cancel, probe.targets().end()) << "readers still find it";
    EXPECT_NE(probe.find_text("Cancel"), nullptr);
    probe.cleaning() = false;
}

// --- Sidebar ---

TEST_F(RenderTest, SidebarListsVisibleCategoriesWithTheirStatus) {
    set_cats({
        category("found", "Gradle caches", GroupKind::Java, {sized("a", 2048 * 1024)}),
        category("gone", "Ivy cache", GroupKind::Java, {}),
        category("waiting", "pip cache", GroupKind::Python, {}, false),
    });
    probe.draw(1100, 720);
    EXPECT_NE(probe.target(App::Act::SelectCategory, 0), nullptr);
    EXPECT_EQ(probe.target(App::Act::SelectCategory, 1), nullptr) << "scanned and empty";
    EXPECT_NE(probe.target(App::Act::SelectCategory, 2), nullptr);
    EXPECT_NE(probe.find_text("JAVA & GRADLE"), nullptr);
    EXPECT_NE(probe.find_text("PYTHON"), nullptr);
    EXPECT_NE(probe.find_text("not scanned"), nullptr) << "no scan is running";
    EXPECT_EQ(probe.find_text("Ivy cache"), nullptr);
    EXPECT_EQ(probe.find_text("Remove manually"), nullptr) << "nothing to remove by hand";
}

TEST_F(RenderTest, SelectedItemsShowABadgeAndShortenTheTitle) {
    const std::string long_title(80, 'W');
    set_cats({category("c", long_title, GroupKind::Java,
                       {sized("a", 10, true), sized("b", 10, true), sized("c", 10, true),
                        sized("d", 10)}),
              category("d", long_title, GroupKind::Java, {sized("e", 5)})});
    probe.draw(1100, 720);
    const App::DrawnText* badge = probe.find_text("3");
    ASSERT_NE(badge, nullptr);
    // Both titles are truncated; the one with the badge 30 px earlier.
    std::vector<float> widths;
    for (const App::DrawnText& t : probe.texts) {
        if (t.text.rfind("WWW", 0) == 0 && t.box.x < probe.sidebar().w) {
            EXPECT_EQ(t.text.substr(t.text.size() - 3), kEllipsis);
            widths.push_back(t.box.w);
        }
    }
    ASSERT_EQ(widths.size(), 2u);
    const float rw = probe.sidebar().w - 20;
    EXPECT_LE(std::max(widths[0], widths[1]), rw - 55);
    EXPECT_LE(std::min(widths[0], widths[1]), rw - 85);
    EXPECT_GT(std::max(widths[0], widths[1]), rw - 85);
}

TEST_F(RenderTest, TheManualEntryAppearsOnlyWithItemsToRemoveByHand) {
    {
        std::lock_guard<std::mutex> lock(probe.mutex());
        probe.manual() = {sized("x", 1), sized("y", 1)};
    }
    probe.draw(1100, 720);
    const App::HitTarget* manual = probe.target(App::Act::SelectManual);
    const App::HitTarget* overview = probe.target(App::Act::SelectOverview);
    ASSERT_TRUE(manual && overview);
    using L = App::SidebarLayout;
    EXPECT_FLOAT_EQ(manual->rect.y, overview->rect.y + L::kRowHeight + L::kFixedRowGap);
    EXPECT_NE(probe.find_text("Remove manually"), nullptr);
    EXPECT_NE(probe.find_text("2"), nullptr);
    probe.click_target(*manual);
    EXPECT_EQ(probe.selection(), App::SEL_MANUAL);
}

TEST_F(RenderTest, RowsScrolledOutOfTheSidebarCatchNoClicks) {
    std::vector<CatState> many;
    for (int i = 0; i < 40; ++i) {
        many.push_back(category("c" + std::to_string(i), "Category " + std::to_string(i),
                                GroupKind::Java, {sized("x", 100 - i)}));
    }
    set_cats(std::move(many));
    probe.draw(1100, 720);
    probe.sidebar_scroll() = 400;
    probe.draw(1100, 720);
    const RectF sb = probe.sidebar();
    for (const App::HitTarget& t : probe.targets()) {
        if (t.act != App::Act::SelectCategory && t.act != App::Act::SelectOverview)
            continue;
        EXPECT_GE(t.rect.y, sb.y) << "target above the sidebar";
        EXPECT_LE(t.rect.y + t.rect.h, sb.y + sb.h) << "target below the sidebar";
    }
    // The empty footer below the sidebar selects nothing.
    probe.click(50, probe.footer().y + 30);
    EXPECT_EQ(probe.selection(), "");
}

// --- Right to left ---

TEST_F(RenderTest, RightToLeftMirrorsTargetsAndPutsTheSidebarOnTheRight) {
    set_cats({category("c", "Gradle caches", GroupKind::Java, {sized("a", 1 << 20)})});
    probe.draw(1100, 720);
    const App::HitTarget ltr_about = *probe.target(App::Act::About);
    const App::HitTarget ltr_row = *probe.target(App::Act::SelectCategory, 0);

    I18n::instance().set_language("ar");
    probe.draw(1100, 720);
    const App::HitTarget* rtl_row = probe.target(App::Act::SelectCategory, 0);
    const App::HitTarget* rtl_about = probe.target(App::Act::About);
    ASSERT_TRUE(rtl_row && rtl_about);
    EXPECT_NEAR(rtl_row->rect.x, 1100 - ltr_row.rect.x - ltr_row.rect.w, 1e-3);
    EXPECT_FLOAT_EQ(rtl_row->rect.y, ltr_row.rect.y);
    EXPECT_GT(rtl_row->rect.x, 800);
    EXPECT_LT(rtl_about->rect.x, 300) << "toolbar buttons move to the left";
    EXPECT_NEAR(rtl_about->rect.w, ltr_about.rect.w, 60) << "same button, translated label";
    probe.click_target(*rtl_row);
    EXPECT_EQ(probe.selection(), "c");
}

TEST_F(RenderTest, RightToLeftLabelsAlignToTheMirroredEdges) {
    cairo_surface_destroy(probe.with_canvas(1000, 100, true, [](AppProbe& p) {
        p.label("left", RectF{10, 10, 100, 20}, "#000000");
        p.label_right("right", RectF{10, 40, 100, 20}, "#000000");
    }));
    const App::DrawnText* left = probe.find_text("left");
    const App::DrawnText* right = probe.find_text("right");
    ASSERT_TRUE(left && right);
    EXPECT_NEAR(left->box.x + left->box.w, 990, 1e-3);
    EXPECT_NEAR(right->box.x, 890, 1e-3);
}

// --- Text primitives ---

TEST_F(RenderTest, EndTruncationFitsOrFallsBackToTheEllipsis) {
    const std::string text = "node_modules of a very long project name";
    EXPECT_EQ(probe.truncate(text, App::Font::Body, 0), "");
    EXPECT_EQ(probe.truncate(text, App::Font::Body, -5), "");
    EXPECT_EQ(probe.truncate(text, App::Font::Body, 10000), text);
    EXPECT_EQ(probe.truncate(text, App::Font::Body, 1), kEllipsis);
    const double limit = probe.measure(text, App::Font::Body) / 2;
    const std::string cut = probe.truncate(text, App::Font::Body, limit);
    EXPECT_LE(probe.measure(cut, App::Font::Body), limit);
    ASSERT_GT(cut.size(), kEllipsis.size());
    EXPECT_EQ(cut.substr(cut.size() - 3), kEllipsis);
    EXPECT_EQ(text.rfind(cut.substr(0, cut.size() - 3), 0), 0u) << "keeps the start";
}

TEST_F(RenderTest, EndTruncationNeverSplitsACharacter) {
    const std::string text =
        "\xC3\xA9t\xC3\xA9 \xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E \xC3\xA9t\xC3\xA9";
    for (double w = 5; w < probe.measure(text, App::Font::Body); w += 3) {
        EXPECT_TRUE(g_utf8_validate(probe.truncate(text, App::Font::Body, w).c_str(), -1, nullptr));
    }
}

TEST_F(RenderTest, MiddleTruncationKeepsTheNameAndAtMostHalfTheCharacters) {
    const std::string path = "/home/ann/projects/some-long-client-name/packages/web/node_modules";
    const double full = probe.measure(path, App::Font::Mono);
    const std::string cut = probe.truncate_middle(path, App::Font::Mono, full * 0.45);
    const std::size_t mark = cut.find(kEllipsis);
    ASSERT_NE(mark, std::string::npos);
    const std::string head = cut.substr(0, mark);
    const std::string tail = cut.substr(mark + 3);
    EXPECT_EQ(path.rfind(head, 0), 0u);
    EXPECT_EQ(path.substr(path.size() - tail.size()), tail);
    EXPECT_LE(head.size() + tail.size(), path.size() / 2);
    EXPECT_TRUE(head.size() == tail.size() || head.size() == tail.size() + 1);
    EXPECT_LE(probe.measure(cut, App::Font::Mono), full * 0.45);
    // Three characters or fewer fall back to end truncation.
    EXPECT_EQ(probe.truncate_middle("abc", App::Font::Mono, 1), kEllipsis);
    EXPECT_EQ(probe.truncate_middle(path, App::Font::Mono, 0), "");
}

TEST_F(RenderTest, WrappingKeepsEveryByteAndFitsTheWidth) {
    const std::string text =
        "These are outside this app's reach — usually because it runs in a sandbox.";
    const auto lines = probe.wrap(text, App::Font::Body, 120);
    ASSERT_GT(lines.size(), 1u);
    std::string joined;
    for (const std::string& l : lines) {
        joined += l;
        EXPECT_LE(probe.measure(l, App::Font::Body), 121) << l;
    }
    EXPECT_EQ(joined, text);
    EXPECT_TRUE(probe.wrap("", App::Font::Body, 100).empty());
}

TEST_F(RenderTest, EmptyTextsAndBadColoursDrawNothing) {
    double widths[3] = {-1, -1, -1};
    cairo_surface_t* s = probe.with_canvas(200, 50, false, [&](AppProbe& p) {
        widths[0] = p.label("", RectF{0, 0, 100, 20}, "#000000");
        widths[1] = p.label("text", RectF{0, 0, 100, 20}, "#GG0000");
        widths[2] = p.label("text", RectF{0, 0, 100, 20}, "#FFF");
    });
    EXPECT_EQ(widths[0], 0);
    EXPECT_EQ(widths[1], 0);
    EXPECT_EQ(widths[2], 0);
    EXPECT_FALSE(any_alpha(s));
    cairo_surface_destroy(s);
}

TEST_F(RenderTest, InvalidUtf8NamesAreDrawnWithReplacementCharacters) {
    double width = 0;
    cairo_surface_t* s = probe.with_canvas(300, 40, false, [&](AppProbe& p) {
        width = p.label("build-\xFF\xFE-cache", RectF{0, 0, 300, 20}, "#000000");
    });
    EXPECT_GT(width, 0);
    EXPECT_TRUE(any_alpha(s));
    cairo_surface_destroy(s);
}

// --- Shapes ---

TEST_F(RenderTest, ThinStrokesSitOnPixelCentresAndThickOnesDoNot) {
    cairo_surface_t* thin = probe.with_canvas(20, 20, false, [](AppProbe& p) {
        p.stroke_round(RectF{0, 0, 10, 10}, 0, "#FF0000", 1);
    });
    EXPECT_EQ(alpha(thin, 0, 5), 255) << "a 1 px line fills its pixel column";
    EXPECT_EQ(alpha(thin, 1, 5), 0);
    cairo_surface_destroy(thin);
    cairo_surface_t* thick = probe.with_canvas(20, 20, false, [](AppProbe& p) {
        p.stroke_round(RectF{2, 2, 10, 10}, 0, "#FF0000", 2);
    });
    EXPECT_EQ(alpha(thick, 1, 6), 255);
    EXPECT_EQ(alpha(thick, 2, 6), 255);
    EXPECT_EQ(alpha(thick, 3, 6), 0) << "not inset";
    cairo_surface_destroy(thick);
}

TEST_F(RenderTest, RoundedCornersShrinkToTheShapeAndVanishWhenTiny) {
    cairo_surface_t* s = probe.with_canvas(100, 40, false, [](AppProbe& p) {
        p.fill_round(RectF{0, 0, 40, 20}, 100, "#0000FF");   // capsule: radius 10
        p.fill_round(RectF{50, 0, 20, 20}, 0.5, "#0000FF");  // square corners
    });
    EXPECT_EQ(alpha(s, 0, 0), 0) << "rounded corner";
    EXPECT_EQ(alpha(s, 20, 0), 255);
    EXPECT_EQ(alpha(s, 2, 10), 255) << "the capsule's end reaches the edge mid-height";
    EXPECT_GT(alpha(s, 0, 10), 200);
    EXPECT_EQ(alpha(s, 50, 0), 255) << "radius 0.5 draws a plain rectangle";
    cairo_surface_destroy(s);
}

TEST_F(RenderTest, BarsShowATrackAndAtLeastFivePixelsOfFill) {
    const auto fill_width = [&](double fraction) {
        cairo_surface_t* s = probe.with_canvas(120, 10, false, [&](AppProbe& p) {
            p.bar(RectF{0, 0, 100, 8}, fraction, "#00FF00");
        });
        int green = 0;
        for (int x = 0; x < 120; ++x) {
            const std::uint32_t px = pixel(s, x, 4);
            if (((px >> 8) & 0xFF) > 0xF0 && (px >> 24) == 0xFF)
                ++green;
        }
        cairo_surface_destroy(s);
        return green;
    };
    EXPECT_EQ(fill_width(0), 0);
    EXPECT_EQ(fill_width(-1), 0);
    EXPECT_GE(fill_width(0.001), 3);
    EXPECT_LE(fill_width(0.001), 5);
    EXPECT_GE(fill_width(5), 95) << "fractions above 1 fill the whole track";
}

// --- Glyphs ---

TEST_F(RenderTest, EveryGlyphDrawsAndUnknownGlyphsDrawNothing) {
    for (int g = 0; g <= static_cast<int>(Glyph::Clock); ++g) {
        cairo_surface_t* s = probe.with_canvas(40, 40, false, [&](AppProbe& p) {
            p.glyph(static_cast<Glyph>(g), RectF{4, 4, 32, 32}, Rgb{0, 0, 0});
        });
        EXPECT_TRUE(any_alpha(s)) << "glyph " << g;
        cairo_surface_destroy(s);
    }
    for (int g : {-1, 13, 99}) {
        cairo_surface_t* s = probe.with_canvas(40, 40, false, [&](AppProbe& p) {
            p.glyph(static_cast<Glyph>(g), RectF{4, 4, 32, 32}, Rgb{0, 0, 0});
        });
        EXPECT_FALSE(any_alpha(s)) << "glyph " << g;
        cairo_surface_destroy(s);
    }
}

TEST_F(RenderTest, ChipsMoveInRightToLeftButGlyphsKeepTheirOrientation) {
    cairo_surface_t* mirrored = probe.with_canvas(100, 40, true, [](AppProbe& p) {
        p.chip(Glyph::Code, RectF{10, 4, 28, 28}, "#FF599E");
    });
    cairo_surface_t* placed = probe.with_canvas(100, 40, false, [](AppProbe& p) {
        p.chip(Glyph::Code, RectF{62, 4, 28, 28}, "#FF599E");
    });
    EXPECT_TRUE(same_pixels(mirrored, placed));
    cairo_surface_destroy(mirrored);
    cairo_surface_destroy(placed);
}

TEST_F(RenderTest, AChipWithABadColourStillDrawsItsWhiteGlyph) {
    cairo_surface_t* s = probe.with_canvas(40, 40, false, [](AppProbe& p) {
        p.chip(Glyph::Box, RectF{0, 0, 40, 40}, "pink");
    });
    bool white = false, coloured = false;
    for (int y = 0; y < 40; ++y) {
        for (int x = 0; x < 40; ++x) {
            const std::uint32_t px = pixel(s, x, y);
            if ((px >> 24) == 0)
                continue;
            const bool is_white = (px & 0xFFFFFF) == 0xFFFFFF;
            white = white || is_white;
            coloured = coloured || (!is_white && (px >> 24) == 0xFF && (px & 0xFF) < 0x80);
        }
    }
    EXPECT_TRUE(white);
    EXPECT_FALSE(coloured);
    cairo_surface_destroy(s);
}

// --- Whole frames ---

TEST_F(RenderTest, FramesInLightDarkAndArabicAreSavedForInspection) {
    set_cats({
        category("jb", "JetBrains caches", GroupKind::Ides, {sized("IdeaIC2024.1", 812 << 20)}),
        category("gradle", "Gradle caches", GroupKind::Java,
                 {sized("modules-2", 1500 << 20, true), sized("transforms-3", 300 << 20)}),
        category("nm", "node_modules", GroupKind::Projects, {sized("web", 420 << 20)}),
        category("pip", "pip cache", GroupKind::Python, {}, false),
    });
    cairo_surface_t* light = probe.draw(1100, 720, true);
    save_artifact(light, "frame-light");
    EXPECT_EQ(pixel(light, 278, 300) & 0xFFFFFF, 0xF2F1F4u) << "window colour around the cards";
    cairo_surface_destroy(light);
    probe.set_dark(true);
    cairo_surface_t* dark = probe.draw(1100, 720, true);
    save_artifact(dark, "frame-dark");
    EXPECT_EQ(pixel(dark, 278, 300) & 0xFFFFFF, 0x1C1C1Eu);
    cairo_surface_destroy(dark);
    probe.set_dark(false);
    I18n::instance().set_language("ar");
    cairo_surface_t* rtl = probe.draw(1100, 720, true);
    save_artifact(rtl, "frame-arabic");
    cairo_surface_destroy(rtl);
    I18n::instance().set_language("en");

    probe.selection() = "gradle";
    cairo_surface_t* detail = probe.draw(1100, 720, true);
    save_artifact(detail, "frame-category");
    EXPECT_NE(probe.target(App::Act::ToggleItem, 1), nullptr);
    cairo_surface_destroy(detail);
    probe.manual() = {sized("IdeaIC2019.3", 300 << 20)};
    probe.manual()[0].detail = "Permission denied";
    probe.selection() = App::SEL_MANUAL;
    cairo_surface_t* manual = probe.draw(900, 560, true);
    save_artifact(manual, "frame-manual");
    EXPECT_NE(probe.target(App::Act::OpenManualItem, 0), nullptr);
    cairo_surface_destroy(manual);
}

}  // namespace
