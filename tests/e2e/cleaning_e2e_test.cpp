// The real brushwick binary in a private X server, driven by real clicks:
// open a category, tick two entries, delete them, confirm; then an entry that
// cannot be deleted, its failure dialog and the "Remove manually" list.
//
// Where to click and when the window has caught up both come from a twin: an
// App in this process over an identical home, drawn offscreen at the window's
// size and given the same clicks. Its targets say where each control is; the
// real window is done with a step when its pixels equal the twin's frame (the
// labels that show the two homes' different paths left out). So the test
// waits on what the window shows, with a generous limit only as a guard
// against a hang, and a wrong screen fails it.
#include <gdk/gdk.h>
#include <gtest/gtest.h>
#include <gtk/gtk.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "app_probe.h"
#include "base/i18n.h"
#include "deletion_support.h"
#include "session_services.h"
#include "test_support.h"

namespace {

using testing_support::ScopedEnv;
using testing_support::TempDir;
using Act = App::Act;

// Waiting for the window is bounded only so that a hang fails instead of
// blocking CI; a healthy run takes a fraction of it.
constexpr auto kHangGuard = std::chrono::seconds(60);

// The window draws on an X surface, which rasterises curves a little
// differently from the twin's image surface: a glyph's edge here and there.
// The smallest change a step makes (a tick, a line of the status) covers
// several hundred pixels.
constexpr int kRasterNoise = 60;

// The home both the window and the twin scan: caches that stay, and three
// projects whose node_modules are the entries deleted.
void build_home(const std::string& home) {
    using testing_support::make_dirs;
    using testing_support::write_file;
    for (const char* dir : {".cache/pip/http/", ".npm/_cacache/content-v2/", "code/web/src/",
                            "code/api/", "code/tool/", "code/web/node_modules/react/",
                            "code/api/node_modules/express/lib/", "code/tool/node_modules/yargs/"})
        make_dirs(home, dir);
    write_file(home + "/.cache/pip/http/wheel", 3000000);
    write_file(home + "/.npm/_cacache/content-v2/blob", 900000);
    for (const char* project : {"web", "api", "tool"})
        write_file(home + "/code/" + project + "/package.json", 40);
    write_file(home + "/code/web/src/index.js", 1200);
    write_file(home + "/code/web/node_modules/react/index.js", 1500000);
    write_file(home + "/code/api/node_modules/express/lib/router.js", 1100000);
    write_file(home + "/code/tool/node_modules/yargs/index.js", 700000);
}

// What a shell command printed, or "" when it failed.
std::string output_of(const std::string& command) {
    std::string out;
    if (FILE* p = ::popen(command.c_str(), "r")) {
        char buf[512];
        while (std::fgets(buf, sizeof buf, p) != nullptr)
            out += buf;
        if (::pclose(p) != 0)
            out.clear();
    }
    return out;
}

struct Window {
    std::string id;
    int x = 0, y = 0, width = 0, height = 0;
};

// The visible window titled "Brushwick", waited for by xdotool itself.
Window find_window() {
    Window w;
    const std::string found =
        output_of("timeout 60 xdotool search --sync --onlyvisible --name '^Brushwick$'");
    w.id = found.substr(0, found.find('\n'));
    if (w.id.empty())
        return w;
    const std::string geometry = output_of("xdotool getwindowgeometry --shell " + w.id);
    std::sscanf(geometry.c_str(), "WINDOW=%*s X=%d Y=%d WIDTH=%d HEIGHT=%d", &w.x, &w.y, &w.width,
                &w.height);
    return w;
}

// The real binary on the test's display, with home as its home and nothing of
// the test's own desktop; it dies with the test.
pid_t start_brushwick(const std::string& home, const std::string& runtime) {
    const pid_t pid = ::fork();
    if (pid != 0)
        return pid;
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    for (const char* const* v = testing_support::kLocationVariables; *v != nullptr; ++v)
        ::unsetenv(*v);
    ::setenv("HOME", home.c_str(), 1);
    ::setenv("LANGUAGE", "en", 1);
    ::setenv("LANG", "C.UTF-8", 1);
    ::setenv("NO_AT_BRIDGE", "1", 1);
    ::setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
    // No session bus: nothing to reveal here, and none is started on demand.
    ::setenv("DBUS_SESSION_BUS_ADDRESS", ("unix:path=" + runtime + "/no-bus").c_str(), 1);
    // GTK keeps allocations for the life of the process; the unit tests check
    // the program's own code for leaks.
    ::setenv("ASAN_OPTIONS", "detect_leaks=0", 1);
    ::execl(BRUSHWICK_EXE, BRUSHWICK_EXE, static_cast<char*>(nullptr));
    ::_exit(127);
}

// The window's pixels as the screen shows them, RGB, row after row.
std::vector<unsigned char> grab(const Window& w) {
    GdkPixbuf* shot =
        gdk_pixbuf_get_from_window(gdk_get_default_root_window(), w.x, w.y, w.width, w.height);
    std::vector<unsigned char> rgb;
    if (shot == nullptr)
        return rgb;
    const int channels = gdk_pixbuf_get_n_channels(shot);
    const int stride = gdk_pixbuf_get_rowstride(shot);
    const guchar* px = gdk_pixbuf_get_pixels(shot);
    rgb.reserve(static_cast<std::size_t>(w.width * w.height * 3));
    for (int y = 0; y < w.height; ++y) {
        for (int x = 0; x < w.width; ++x) {
            const guchar* p = px + y * stride + x * channels;
            rgb.insert(rgb.end(), p, p + 3);
        }
    }
    g_object_unref(shot);
    return rgb;
}

void save_rgb(const std::vector<unsigned char>& rgb, int width, int height,
              const std::string& path) {
    GdkPixbuf* pb = gdk_pixbuf_new_from_data(rgb.data(), GDK_COLORSPACE_RGB, FALSE, 8, width,
                                             height, width * 3, nullptr, nullptr);
    gdk_pixbuf_save(pb, path.c_str(), "png", nullptr, nullptr);
    g_object_unref(pb);
}

// The twin: an App over the copy of the home, drawn offscreen, clicked the
// way the window is.
class Twin {
public:
    explicit Twin(const std::string& home) : m_env{{"HOME", home}} {
        for (const char* const* v = testing_support::kLocationVariables + 1; *v != nullptr; ++v)
            m_env.set(*v, std::nullopt);
        I18n::instance().set_language("en");
        m_probe.use_window_fonts();
    }

    AppProbe& probe() { return m_probe; }

    // The frame at the window's size, as RGB, and the boxes of the labels
    // that name a path (they differ between the two homes).
    std::vector<unsigned char> frame(const Window& w, std::vector<RectF>& masked) {
        cairo_surface_t* s = m_probe.draw(w.width, w.height, true);
        cairo_surface_flush(s);
        const unsigned char* data = cairo_image_surface_get_data(s);
        const int stride = cairo_image_surface_get_stride(s);
        std::vector<unsigned char> rgb;
        rgb.reserve(static_cast<std::size_t>(w.width * w.height * 3));
        for (int y = 0; y < w.height; ++y) {
            for (int x = 0; x < w.width; ++x) {
                const std::uint32_t p = screen_test_pixel(data, stride, x, y);
                rgb.push_back(static_cast<unsigned char>(p >> 16));
                rgb.push_back(static_cast<unsigned char>(p >> 8));
                rgb.push_back(static_cast<unsigned char>(p));
            }
        }
        cairo_surface_destroy(s);
        masked.clear();
        for (const App::DrawnText& t : m_probe.texts) {
            if (t.text.find('/') != std::string::npos)
                masked.push_back(t.box);
        }
        return rgb;
    }

private:
    static std::uint32_t screen_test_pixel(const unsigned char* data, int stride, int x, int y) {
        std::uint32_t p;
        std::memcpy(&p, data + y * stride + x * 4, 4);
        return p;
    }

    ScopedEnv m_env;
    App m_app;
    AppProbe m_probe{m_app};
};

// Pixels that differ clearly, outside the masked boxes (grown by a pixel for
// antialiasing at their edges).
int differing_pixels(const std::vector<unsigned char>& a, const std::vector<unsigned char>& b,
                     int width, int height, const std::vector<RectF>& masked) {
    if (a.size() != b.size())
        return width * height;
    int n = 0;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            bool skip = false;
            for (const RectF& r : masked)
                skip = skip ||
                       (x >= r.x - 2 && x <= r.x + r.w + 2 && y >= r.y - 2 && y <= r.y + r.h + 2);
            const std::size_t i = static_cast<std::size_t>((y * width + x) * 3);
            if (!skip && (std::abs(a[i] - b[i]) > 24 || std::abs(a[i + 1] - b[i + 1]) > 24 ||
                          std::abs(a[i + 2] - b[i + 2]) > 24))
                ++n;
        }
    }
    return n;
}

class CleaningEndToEnd : public ::testing::Test {
protected:
    void SetUp() override {
        real_home = base / "r/home";
        twin_home = base / "t/home";
        testing_support::make_dirs(base.path(), "r/home/");
        testing_support::make_dirs(base.path(), "t/home/");
        build_home(real_home);
        build_home(twin_home);
    }
    void TearDown() override {
        // An immutable file would outlive the temporary folder.
        for (const std::string& f : immutable)
            testing_support::set_immutable(f, false);
        if (app_pid > 0) {
            ::kill(app_pid, SIGTERM);
            ::waitpid(app_pid, nullptr, 0);
        }
    }

    // Waits until the window shows what the twin shows; saves both pictures
    // under the step's name either way.
    void expect_window_shows(Twin& twin, const std::string& step) {
        std::vector<RectF> masked;
        const std::vector<unsigned char> want = twin.frame(window, masked);
        const auto end = std::chrono::steady_clock::now() + kHangGuard;
        std::vector<unsigned char> got;
        int diff = 0;
        do {
            got = grab(window);
            diff = differing_pixels(want, got, window.width, window.height, masked);
            if (diff <= kRasterNoise)
                break;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        } while (std::chrono::steady_clock::now() < end);
        const std::string dir = E2E_ARTIFACTS_DIR;
        std::filesystem::create_directories(dir);
        save_rgb(got, window.width, window.height, dir + "/cleaning-" + step + ".png");
        if (diff > kRasterNoise)
            save_rgb(want, window.width, window.height, dir + "/cleaning-" + step + "-want.png");
        EXPECT_LE(diff, kRasterNoise)
            << "the window never showed the expected screen at step " << step;
    }

    // Clicks the twin's target on the window, then on the twin.
    void click(Twin& twin, const App::HitTarget& t) {
        const int x = static_cast<int>(t.rect.x + t.rect.w / 2);
        const int y = static_cast<int>(t.rect.y + t.rect.h / 2);
        output_of("xdotool mousemove --sync " + std::to_string(window.x + x) + " " +
                  std::to_string(window.y + y) + " click 1");
        twin.probe().motion(x, y);
        twin.probe().click_target(t);
    }

    const App::HitTarget& target(Twin& twin, Act act, int index = -1) {
        std::vector<RectF> masked;
        twin.frame(window, masked);
        const App::HitTarget* t = twin.probe().target(act, index);
        static const App::HitTarget none;
        EXPECT_NE(t, nullptr) << "no target " << static_cast<int>(act) << " " << index;
        return t != nullptr ? *t : none;
    }

    // The index of the entry at path below home in the current category.
    int entry(Twin& twin, const std::string& rel) {
        std::lock_guard<std::mutex> lock(twin.probe().mutex());
        for (const CatState& cat : twin.probe().cats()) {
            if (cat.def.id != twin.probe().selection())
                continue;
            for (std::size_t i = 0; i < cat.items.size(); ++i) {
                if (cat.items[i].path == twin_home + "/" + rel)
                    return static_cast<int>(i);
            }
        }
        ADD_FAILURE() << rel << " is not listed";
        return -1;
    }

    int category(Twin& twin, const std::string& id) {
        std::lock_guard<std::mutex> lock(twin.probe().mutex());
        const auto& cats = twin.probe().cats();
        for (std::size_t i = 0; i < cats.size(); ++i) {
            if (cats[i].def.id == id)
                return static_cast<int>(i);
        }
        ADD_FAILURE() << "no category " << id;
        return -1;
    }

    // Ticks the entries, deletes them and confirms, on both.
    void delete_entries(Twin& twin, const std::vector<std::string>& rels) {
        for (const std::string& rel : rels)
            click(twin, target(twin, Act::ToggleItem, entry(twin, rel)));
        click(twin, target(twin, Act::Clean));
        expect_window_shows(twin, "confirm-" + std::to_string(rels.size()));
        click(twin, target(twin, Act::DialogButton, App::CMD_CLEAN_CONFIRM));
        ASSERT_TRUE(twin.probe().wait_for_worker());
    }

    TempDir base;
    TempDir runtime;
    std::string real_home, twin_home;
    std::vector<std::string> immutable;  // files made undeletable, for the teardown
    Window window;
    pid_t app_pid = -1;
};

}  // namespace

TEST_F(CleaningEndToEnd, TwoTickedEntriesAreDeletedAndAnUndeletableOneIsExplained) {
    for (const char* tool : {"Xvfb", "xdotool"})
        ASSERT_FALSE(output_of(std::string("command -v ") + tool).empty())
            << tool << " is missing (tools/install-deps installs it)";
    testing_support::VirtualDisplay display("1400x900x24");
    ASSERT_TRUE(gtk_init_check(nullptr, nullptr));
    app_pid = start_brushwick(real_home, runtime.path());
    window = find_window();
    ASSERT_FALSE(window.id.empty()) << "no window titled Brushwick appeared";
    ASSERT_GE(window.width, 900);

    Twin twin(twin_home);
    // The pointer rests on the toolbar's empty middle on both.
    output_of("xdotool mousemove --sync " + std::to_string(window.x + window.width / 2) + " " +
              std::to_string(window.y + 4));
    twin.probe().motion(window.width / 2, 4);
    ASSERT_TRUE(twin.probe().scan_to_completion());
    expect_window_shows(twin, "1-overview");

    const auto before = testing_support::snapshot(real_home);
    click(twin, target(twin, Act::SelectCategory, category(twin, "nodeModules")));
    expect_window_shows(twin, "2-category");
    delete_entries(twin, {"code/web/node_modules", "code/api/node_modules"});
    expect_window_shows(twin, "3-deleted");

    // Exactly the two folders are gone; every other byte is as it was.
    auto expected = before;
    for (auto it = expected.begin(); it != expected.end();) {
        const bool gone = it->first.find("code/web/node_modules") != std::string::npos ||
                          it->first.find("code/api/node_modules") != std::string::npos;
        it = gone ? expected.erase(it) : std::next(it);
    }
    // Compared by hand: a failing comparison of whole snapshots would print
    // every file's contents.
    const auto after = testing_support::snapshot(real_home);
    for (const auto& [path, what] : expected) {
        const auto it = after.find(path);
        EXPECT_TRUE(it != after.end() && it->second == what) << path << " was changed or deleted";
    }
    for (const auto& entry : after)
        EXPECT_EQ(expected.count(entry.first), 1u) << entry.first << " should be gone";
    {
        std::lock_guard<std::mutex> lock(twin.probe().mutex());
        EXPECT_FALSE(twin.probe().status_is_error());
        EXPECT_NE(twin.probe().status().find("freed"), std::string::npos) << twin.probe().status();
    }

    // An entry holding an immutable file cannot be deleted, even by root.
    for (const std::string& home : {real_home, twin_home}) {
        const std::string file = home + "/code/tool/node_modules/yargs/index.js";
        ASSERT_TRUE(testing_support::set_immutable(file, true))
            << "the filesystem has no immutable files";
        immutable.push_back(file);
    }
    delete_entries(twin, {"code/tool/node_modules"});
    twin.probe().poll();
    ASSERT_EQ(twin.probe().overlay(), App::Overlay::Dialog);
    EXPECT_EQ(twin.probe().dialog_title(), "Could not delete everything");
    expect_window_shows(twin, "4-failure-dialog");
    EXPECT_TRUE(std::filesystem::exists(real_home + "/code/tool/node_modules/yargs/index.js"));

    click(twin, target(twin, Act::DialogButton, App::CMD_SHOW_MANUAL));
    EXPECT_EQ(twin.probe().selection(), App::SEL_MANUAL);
    expect_window_shows(twin, "5-manual-list");
}
