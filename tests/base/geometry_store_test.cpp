// The stored window geometry: what save writes and when, and what load makes
// of good, odd and broken files.
#include "base/geometry_store.h"

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <fstream>
#include <limits>
#include <string>

#include "test_support.h"

namespace {

using testing_support::exists_no_follow;
using testing_support::FakeHome;
using testing_support::read_file;

constexpr int NONE = GeometryStore::NONE;

void put(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}

class Geometry : public ::testing::Test {
protected:
    std::string file() const { return m_store.path(); }

    WindowGeometry load(const std::string& content) const {
        put(file(), content);
        return m_store.load();
    }

    FakeHome m_home;
    GeometryStore m_store;
};

void expect_geometry(const WindowGeometry& g, int width, int height, int x, int y,
                     bool has_position, bool maximized) {
    EXPECT_EQ(g.width, width);
    EXPECT_EQ(g.height, height);
    EXPECT_EQ(g.x, x);
    EXPECT_EQ(g.y, y);
    EXPECT_EQ(g.has_position, has_position);
    EXPECT_EQ(g.maximized, maximized);
    EXPECT_TRUE(g.valid);
}

TEST_F(Geometry, SaveWritesSevenLinesAndLoadReadsThemBack) {
    ASSERT_TRUE(m_store.save(-1920, -8, 1400, 900, false));
    EXPECT_EQ(read_file(file()),
              "{\n  \"width\": 1400,\n  \"height\": 900,\n  \"x\": -1920,\n  \"y\": -8,\n"
              "  \"maximized\": false\n}\n");
    EXPECT_FALSE(exists_no_follow(file() + ".tmp"));
    expect_geometry(m_store.load(), 1400, 900, -1920, -8, true, false);

    ASSERT_TRUE(m_store.save(0, 0, 2560, 1440, true));
    expect_geometry(m_store.load(), 2560, 1440, 0, 0, true, true);
}

TEST_F(Geometry, AWindowBelowTheMinimumIsNotSavedUnlessMaximized) {
    ASSERT_TRUE(m_store.save(10, 20, 1200, 800, false));
    const std::string before = read_file(file());
    EXPECT_FALSE(m_store.save(10, 20, 800, 500, false));
    EXPECT_FALSE(m_store.save(10, 20, 900, 559, false));
    EXPECT_FALSE(m_store.save(10, 20, 899, 560, false));
    EXPECT_EQ(read_file(file()), before);
    EXPECT_TRUE(m_store.save(10, 20, 900, 560, false));
    EXPECT_TRUE(m_store.save(0, 0, 800, 500, true));
    expect_geometry(m_store.load(), 900, 560, 0, 0, true, true);
}

TEST_F(Geometry, NoFileMeansNoSavedGeometry) {
    const WindowGeometry g = m_store.load();
    EXPECT_FALSE(g.valid);
    EXPECT_EQ(g.width, 0);
    EXPECT_EQ(g.x, 0);
    EXPECT_FALSE(g.has_position);
}

struct LoadCase {
    const char* name;
    const char* content;
    int width, height, x, y;
    bool has_position, maximized;
};

TEST_F(Geometry, LoadAppliesTheFallbacksToOddValues) {
    const LoadCase cases[] = {
        {"small width", "{\"width\": 800, \"height\": 900, \"x\": 5, \"y\": 6}", 900, 900, 5, 6,
         true, false},
        {"no y", "{\"width\": 1200, \"height\": 800, \"x\": 5}", 1200, 800, 5, NONE, false, false},
        {"maximized without the space", "{\"maximized\":true}", 900, 560, NONE, NONE, false, false},
        {"maximized as written", "{\"maximized\": true}", 900, 560, NONE, NONE, false, true},
        {"x beyond 32 bits", "{\"x\": 99999999999, \"y\": 3}", 900, 560, NONE, 3, false, false},
        {"x exactly the marker", "{\"x\": -1000000, \"y\": 3}", 900, 560, NONE, 3, false, false},
        {"32-bit extremes", "{\"x\": -2147483648, \"y\": 2147483647}", 900, 560, -2147483648,
         2147483647, true, false},
        {"one past the extreme", "{\"x\": 2147483648, \"y\": -2147483649}", 900, 560, NONE, NONE,
         false, false},
        {"many digits", "{\"width\": 000000000000000001500}", 1500, 560, NONE, NONE, false, false},
        {"signs and spaces", "{\"x\":\n  +7 , \"y\": -0}", 900, 560, 7, 0, true, false},
        {"no digits", "{\"x\": -, \"y\": \"4\", \"width\": abc}", 900, 560, NONE, NONE, false,
         false},
        {"digits then junk", "{\"width\": 1300px, \"height\": 1e3}", 1300, 560, NONE, NONE, false,
         false},
        {"huge size kept", "{\"width\": 2000000000, \"height\": 100000}", 2000000000, 100000, NONE,
         NONE, false, false},
        {"key repeated", "{\"x\": 1, \"x\": 2, \"y\": 3}", 900, 560, NONE, 3, false, false},
        {"key without colon", "{\"x\" 5, \"y\": 3}", 900, 560, NONE, 3, false, false},
        {"key at the very end", "{\"x\":", 900, 560, NONE, NONE, false, false},
        {"empty file", "", 900, 560, NONE, NONE, false, false},
    };
    for (const LoadCase& c : cases) {
        SCOPED_TRACE(c.name);
        expect_geometry(load(c.content), c.width, c.height, c.x, c.y, c.has_position, c.maximized);
    }
}

TEST_F(Geometry, EveryTruncationOfAGoodFileLoadsWithoutMixingValues) {
    ASSERT_TRUE(m_store.save(-300, 250, 1500, 1000, true));
    const std::string full = read_file(file());
    for (std::size_t n = 0; n <= full.size(); ++n) {
        SCOPED_TRACE(n);
        const WindowGeometry g = load(full.substr(0, n));
        EXPECT_TRUE(g.valid);
        // A number cut short reads as a shorter number; what matters is that
        // no value is taken from another key and the minimum holds.
        EXPECT_GE(g.width, 900);
        EXPECT_GE(g.height, 560);
        EXPECT_LE(g.width, 1500);
        EXPECT_LE(g.height, 1000);
        EXPECT_TRUE(g.x == NONE || (g.x <= 0 && g.x >= -300)) << g.x;
        EXPECT_TRUE(g.y == NONE || (g.y >= 0 && g.y <= 250)) << g.y;
        EXPECT_EQ(g.has_position, g.x != NONE && g.y != NONE);
    }
}

TEST_F(Geometry, HugeBinaryAndOddFilesDoNotBreakTheLoad) {
    std::string binary;
    for (int i = 0; i < 4096; ++i)
        binary += static_cast<char>((i * 131 + 7) % 256);
    const WindowGeometry b = load(binary);
    EXPECT_TRUE(b.valid);
    EXPECT_FALSE(b.has_position);
    EXPECT_EQ(b.width, 900);

    {
        std::ofstream big(file(), std::ios::binary | std::ios::trunc);
        big << "{\"width\": 1500, \"pad\": \"";
        const std::string chunk(1 << 20, '7');
        for (int i = 0; i < 30; ++i)
            big << chunk;
        big << "\"}";
    }
    EXPECT_FALSE(m_store.load().valid) << "a file of 30 MB is not one this program wrote";

    ::unlink(file().c_str());
    ASSERT_EQ(::mkfifo(file().c_str(), 0600), 0);
    EXPECT_FALSE(m_store.load().valid);
}

TEST_F(Geometry, AFailedWriteLeavesThePreviousFileIntact) {
    ASSERT_TRUE(m_store.save(1, 2, 1200, 800, false));
    const std::string before = read_file(file());
    ASSERT_EQ(::mkdir((file() + ".tmp").c_str(), 0700), 0);
    put(file() + ".tmp/keep", "x");
    EXPECT_FALSE(m_store.save(3, 4, 1300, 900, false));
    EXPECT_EQ(read_file(file()), before);
}

// --- Zoom ---

struct ZoomCase {
    const char* what;
    double text_scale;
    int area_width, area_height;
    double zoom;
};

TEST(Zoom, FollowsTheTextScaleAsFarAsTheZoomedMinimumWindowFitsTheScreen) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    const ZoomCase cases[] = {
        {"ordinary text", 1, 1920, 1032, 1},
        {"large text on a 1080p screen", 1.5, 1920, 1032, 1.5},
        {"large text, screen size unknown", 1.5, 0, 0, 1.5},
        {"twice the text on a 1366x768 laptop: held by its height", 2, 1366, 720, 720.0 / 560},
        {"held by the width of a tall portrait screen", 2, 1080, 1872, 1080.0 / 900},
        {"a screen smaller than the design never shrinks it", 1.5, 800, 500, 1},
        {"small text is small whatever the screen", 0.8, 800, 500, 0.8},
        {"not a number", nan, 1920, 1032, 1},
        {"infinite", inf, 0, 0, 1},
        {"zero", 0, 1920, 1032, 1},
        {"negative", -2, 1920, 1032, 1},
    };
    for (const ZoomCase& c : cases) {
        const double zoom = GeometryStore::zoom_for(c.text_scale, c.area_width, c.area_height);
        EXPECT_DOUBLE_EQ(zoom, c.zoom) << c.what;
        if (c.area_width > 0 && c.zoom > 1) {
            EXPECT_LE(GeometryStore::MIN_WIDTH * zoom, c.area_width + 1e-9) << c.what;
            EXPECT_LE(GeometryStore::MIN_HEIGHT * zoom, c.area_height + 1e-9) << c.what;
        }
    }
}

}  // namespace
