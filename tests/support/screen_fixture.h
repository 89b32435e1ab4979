// ScreenTest — the fixture of the screen tests: an App without a window on a
// fake home, drawn offscreen through AppProbe, with builders for categories
// and items and a way to read pixels of a kept frame.
#pragma once

#include <cairo.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "app_probe.h"
#include "base/i18n.h"
#include "test_support.h"
#include "window/app.h"

namespace screen_test {

// An entry of the given size; a negative size is one that was not measured.
inline Item item(const std::string& name, std::int64_t size,
                 SafetyLevel safety = SafetyLevel::Safe) {
    Item it;
    it.path = "/home/u/.cache/" + name;
    it.name = name;
    it.size = size;
    it.size_known = size >= 0;
    it.safety = safety;
    return it;
}

inline CatState category(const std::string& id, GroupKind group, std::vector<Item> items,
                         bool did_scan = true) {
    CatState cs;
    cs.def.id = id;
    cs.def.title = id;
    cs.def.subtitle = "what " + id + " holds";
    cs.def.group = group;
    cs.def.glyph = Glyph::Box;
    cs.def.path = "/home/u/" + id;
    cs.items = std::move(items);
    cs.did_scan = did_scan;
    return cs;
}

// ARGB32 pixel at (x, y) of a flushed surface: alpha in the top byte.
inline std::uint32_t pixel(cairo_surface_t* s, int x, int y) {
    cairo_surface_flush(s);
    const unsigned char* data = cairo_image_surface_get_data(s);
    const int stride = cairo_image_surface_get_stride(s);
    std::uint32_t p;
    std::memcpy(&p, data + y * stride + x * 4, 4);
    return p;
}

// Every byte of a flushed image surface, for comparing two frames exactly.
inline std::vector<unsigned char> bytes_of(cairo_surface_t* s) {
    cairo_surface_flush(s);
    const unsigned char* data = cairo_image_surface_get_data(s);
    const int rows = cairo_image_surface_get_height(s);
    return std::vector<unsigned char>(
        data, data + static_cast<std::size_t>(rows * cairo_image_surface_get_stride(s)));
}

class ScreenTest : public ::testing::Test {
protected:
    void SetUp() override { I18n::instance().set_language("en"); }
    void TearDown() override { I18n::instance().set_language("en"); }

    void set_cats(std::vector<CatState> cats) {
        std::lock_guard<std::mutex> lock(probe.mutex());
        probe.cats() = std::move(cats);
    }
    CatState& cat(std::size_t i) { return probe.cats()[i]; }

    // The centre of a target, for clicks.
    static double cx(const App::HitTarget& t) { return t.rect.x + t.rect.w / 2; }
    static double cy(const App::HitTarget& t) { return t.rect.y + t.rect.h / 2; }

    // The first target of an action that a given screen registered, or null.
    const App::HitTarget* target_of(App::Screen screen, App::Act act) const {
        for (const App::HitTarget& t : probe.targets()) {
            if (t.screen == screen && t.act == act)
                return &t;
        }
        return nullptr;
    }

    int count_targets(App::Act act) const {
        int n = 0;
        for (const App::HitTarget& t : probe.targets())
            n += t.act == act ? 1 : 0;
        return n;
    }

    testing_support::FakeHome home;
    App app;
    AppProbe probe{app};
};

}  // namespace screen_test
