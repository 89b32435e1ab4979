// render-screens, run as a reviewer would: every screen and overlay written
// as a PNG of the asked size times the scale, each with something drawn.
#include <cairo.h>
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

#include "test_support.h"

namespace {

using testing_support::TempDir;

// A picture with more than one colour in it: not blank, not a single fill.
bool has_content(cairo_surface_t* s) {
    cairo_surface_flush(s);
    const unsigned char* data = cairo_image_surface_get_data(s);
    const int stride = cairo_image_surface_get_stride(s);
    const int w = cairo_image_surface_get_width(s), h = cairo_image_surface_get_height(s);
    std::uint32_t first;
    std::memcpy(&first, data, 4);
    for (int y = 0; y < h; y += 3) {
        for (int x = 0; x < w; x += 3) {
            std::uint32_t p;
            std::memcpy(&p, data + y * stride + x * 4, 4);
            if (p != first)
                return true;
        }
    }
    return false;
}

TEST(RenderScreens, WritesEveryScreenAtTheScaledSizeIntoAFolderItMakes) {
    TempDir base;
    // A folder that does not exist yet, as a reviewer names one.
    const std::string out = base / "pictures/de";
    const std::string command = std::string(RENDER_SCREENS_EXE) +
                                " --lang de --size 900x560 --scale 2 --out " + out + " >/dev/null";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
    const char* const screens[] = {"overview", "category",  "manual",        "scan-start",
                                   "scanning", "cancelled", "not-answering", "empty",
                                   "dialog",   "about",     "settings",      "language",
                                   "kept",     "keep-list", "age-choice"};
    for (const char* name : screens) {
        const std::string path = out + "/" + name + "-de-900x560@2x.png";
        ASSERT_TRUE(std::filesystem::exists(path)) << path;
        EXPECT_GT(std::filesystem::file_size(path), 0u) << path;
        cairo_surface_t* s = cairo_image_surface_create_from_png(path.c_str());
        ASSERT_EQ(cairo_surface_status(s), CAIRO_STATUS_SUCCESS) << path;
        EXPECT_EQ(cairo_image_surface_get_width(s), 1800) << path;
        EXPECT_EQ(cairo_image_surface_get_height(s), 1120) << path;
        EXPECT_TRUE(has_content(s)) << path;
        cairo_surface_destroy(s);
    }
}

TEST(RenderScreens, RefusesAnUnknownLanguageAndABadSize) {
    TempDir out;
    for (const char* args : {"--lang xx", "--size 900", "--scale 0", "--bogus"}) {
        const std::string command = std::string(RENDER_SCREENS_EXE) + " " + args + " --out " +
                                    out.path() + " >/dev/null 2>&1";
        const int status = std::system(command.c_str());
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 2) << args;
    }
    EXPECT_TRUE(std::filesystem::is_empty(out.path()));
}

}  // namespace
