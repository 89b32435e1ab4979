// frame_time — how long one complete frame takes to draw offscreen, on a fake
// home where every category of the catalog holds entries: the overview, a
// category of 10,000 entries with long names and paths (at its top and in its
// middle), the manual list with 500 rows, each overlay, and the states of a
// scan (starting, under way, cancelled, found nothing). Prints the median and
// the 95th percentile per screen and window size, and the ratio to a reference frame
// that only fills the window and draws one line of text (the floor any frame
// pays for a surface and a Pango layout).
//
//   build/bench/frame_time [FRAMES] [SCREEN...]
#include <cairo.h>
#include <pango/pangocairo.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

#include "app_probe.h"
#include "test_support.h"

namespace {

using Clock = std::chrono::steady_clock;

double percentile(std::vector<double> v, double p) {
    std::sort(v.begin(), v.end());
    return v[static_cast<std::size_t>(p * static_cast<double>(v.size() - 1))];
}

// Every catalog folder with three versioned entries and some content.
void populate(const std::string& home) {
    for (const CategoryDef& d : catalog::all()) {
        if (d.listing == ListingKind::Recursive)
            continue;
        for (const char* v : {"1.0.2", "2.4.0", "10.1.0"}) {
            testing_support::make_dirs(d.path, v);
            testing_support::write_file(d.path + "/" + v + "/blob", 40000);
        }
    }
    for (const char* p : {"a", "b", "c", "d"}) {
        for (const char* n : {"node_modules", "build", ".next", "vendor", "coverage", "__pycache__",
                              ".venv", ".gradle"}) {
            testing_support::make_dirs(home, std::string("code/") + p + "/" + n);
            testing_support::write_file(home + "/code/" + p + "/" + n + "/f", 20000);
        }
    }
}

double reference_frame_ms(int w, int h, int frames) {
    PangoContext* pango = pango_font_map_create_context(pango_cairo_font_map_get_default());
    std::vector<double> times;
    for (int i = 0; i < frames; ++i) {
        const auto start = Clock::now();
        cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h);
        cairo_t* cr = cairo_create(s);
        cairo_set_source_rgb(cr, 0.95, 0.95, 0.96);
        cairo_paint(cr);
        PangoLayout* layout = pango_layout_new(pango);
        pango_layout_set_text(layout, "Brushwick", -1);
        pango_cairo_show_layout(cr, layout);
        g_object_unref(layout);
        cairo_destroy(cr);
        cairo_surface_destroy(s);
        times.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    }
    g_object_unref(pango);
    return percentile(times, 0.5);
}

// CPU time of this thread: on a machine shared with other work, wall-clock
// times include the waits for a core; this is what the frame itself cost.
double thread_cpu_ms() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) * 1e3 + static_cast<double>(ts.tv_nsec) / 1e6;
}

// Entries with names and paths far longer than a card, so every frame
// truncates; sizes and ages differ so that no two rows read the same.
std::vector<Item> long_items(int n, const std::string& stem) {
    std::vector<Item> items;
    items.reserve(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) {
        Item it;
        it.name = stem + "-" + std::to_string(i) + "-with-a-name-longer-than-any-card-can-show";
        it.path = "/home/someone/work/clients/a-long-client-name/projects/" + it.name +
                  "/build/intermediates/merged_native_libs/release/out/lib/arm64-v8a";
        it.size = static_cast<std::int64_t>(n - i) * 4096 * 37;
        it.size_known = true;
        it.modified = 1700000000 - i * 3600;
        it.safety = static_cast<SafetyLevel>(i % 3);
        it.selected = i % 7 == 0;
        items.push_back(std::move(it));
    }
    return items;
}

// Each overlay, set up as the window would show it.
struct Overlay {
    const char* name;
    void (*open)(AppProbe&);
};
const Overlay kOverlays[] = {
    {"dialog",
     [](AppProbe& p) {
         p.show_dialog("Delete permanently?",
                       "This cannot be undone. Caches and build folders are recreated by their "
                       "tools; anything marked Risky is not.",
                       {{App::CMD_CANCEL, "Cancel", false, true},
                        {App::CMD_CANCEL, "Delete permanently", true, false}});
     }},
    {"about", [](AppProbe& p) { p.overlay() = App::Overlay::About; }},
    {"settings",
     [](AppProbe& p) {
         p.open_settings();
         p.fm_text() = "nautilus --new-window --no-desktop --select %s " + std::string(200, 'a');
         p.fm_editing() = true;
         p.fm_caret() = p.fm_text().size() / 2;
     }},
    {"language", [](AppProbe& p) { p.overlay() = App::Overlay::Language; }},
};

// The states of a scan the content region shows instead of data, each set
// up on the scanned categories as the scan or the user would leave them.
struct ScanState {
    const char* name;
    void (*set_up)(AppProbe&);
};
const ScanState kScanStates[] = {
    {"scan-start",
     [](AppProbe& p) {
         p.reset_categories();
         p.set_scanning(true);
     }},
    {"scanning",
     [](AppProbe& p) {
         std::lock_guard<std::mutex> lock(p.mutex());
         const std::size_t current = p.cats().size() / 3;
         for (std::size_t i = current; i < p.cats().size(); ++i) {
             p.cats()[i].items.clear();
             p.cats()[i].did_scan = false;
             p.cats()[i].scanning = i == current;
         }
         p.set_scanning(true);
     }},
    {"cancelled",
     [](AppProbe& p) {
         std::lock_guard<std::mutex> lock(p.mutex());
         for (std::size_t i = p.cats().size() / 2; i < p.cats().size(); ++i) {
             p.cats()[i].items.clear();
             p.cats()[i].did_scan = false;
         }
     }},
    {"empty",
     [](AppProbe& p) {
         std::lock_guard<std::mutex> lock(p.mutex());
         for (CatState& cs : p.cats()) {
             cs.items.clear();
             cs.did_scan = true;
         }
     }},
};

// Screens named on the command line, or every screen when none is.
std::vector<std::string> g_only;

// Times one screen at both window sizes. `before_frame`, when given, changes
// the state before each frame (scrolling), so no two frames are alike.
void report(AppProbe& probe, const char* screen, int frames,
            void (*before_frame)(AppProbe&, int) = nullptr) {
    if (!g_only.empty() && std::find(g_only.begin(), g_only.end(), screen) == g_only.end())
        return;
    for (const auto& [w, h] : {std::pair{1100, 720}, std::pair{1920, 1080}}) {
        std::vector<double> times, cpu;
        probe.draw(w, h);  // warm the font caches
        for (int i = 0; i < frames; ++i) {
            if (before_frame != nullptr)
                before_frame(probe, i);
            const double cpu_start = thread_cpu_ms();
            const auto start = Clock::now();
            probe.draw(w, h);
            times.push_back(
                std::chrono::duration<double, std::milli>(Clock::now() - start).count());
            cpu.push_back(thread_cpu_ms() - cpu_start);
        }
        const double median = percentile(times, 0.5);
        const double reference = reference_frame_ms(w, h, frames);
        std::printf(
            "%-10s %4dx%-4d  median %.2f ms  p95 %.2f ms  (cpu median %.2f ms  p95 %.2f ms)  "
            "reference %.2f ms  ratio %.1f\n",
            screen, w, h, median, percentile(times, 0.95), percentile(cpu, 0.5),
            percentile(cpu, 0.95), reference, median / reference);
    }
}

}  // namespace

int main(int argc, char** argv) {
    const int frames = argc > 1 ? std::max(10, std::atoi(argv[1])) : 200;
    for (int i = 2; i < argc; ++i)
        g_only.emplace_back(argv[i]);
    testing_support::FakeHome home;
    // Every category folder of the catalog, below the default base folders.
    const char* const folders[] = {
        ".cache/JetBrains",
        ".local/share/JetBrains",
        ".p2/pool/plugins",
        ".eclipse",
        "eclipse-workspace/.metadata/.plugins/org.eclipse.core.resources/.history",
        ".config/Code/CachedData",
        ".config/Code/Cache",
        ".config/Code/CachedProfilesData",
        ".vscode/extensions",
        ".config/Code/User/workspaceStorage",
        ".cache/Google",
        "Android/Sdk/build-tools",
        "Android/Sdk/platforms",
        "Android/Sdk/system-images",
        "Android/Sdk/sources",
        "Android/Sdk/ndk",
        "Android/Sdk/cmake",
        "Android/Sdk/.temp",
        ".android/avd",
        ".android/cache",
        ".android/build-cache",
        ".gradle/caches",
        ".gradle/wrapper/dists",
        ".gradle/daemon",
        ".m2/repository",
        ".ivy2/cache",
        ".cache/coursier",
        ".sbt/boot",
        ".npm/_cacache",
        ".cache/yarn",
        ".local/share/pnpm/store",
        ".cache/node-gyp",
        ".cache/electron",
        ".cache/ms-playwright",
        ".cache/puppeteer",
        ".cache/Cypress",
        ".cache/bower",
        ".expo",
        ".cache/pip",
        ".cache/pypoetry",
        ".cache/uv",
        ".conda/pkgs",
        ".cargo/registry",
        ".cargo/git",
        ".rustup/toolchains",
        "go/pkg/mod",
        ".cache/go-build",
        ".nuget/packages",
        ".cache/composer",
        ".gem",
        ".bundle/cache",
        ".pub-cache",
        ".stack/snapshots",
        ".cabal/packages",
        ".opam/download-cache",
        ".julia/compiled",
        ".julia/packages",
        ".cache/deno",
        ".bun/install/cache",
        ".hex/packages",
        ".cache/zig",
        ".cpanm",
        ".konan",
        ".cache/ccache",
        ".ccache",
        ".cache/sccache",
        ".cache/bazel",
        ".conan2/p",
        ".conan/data",
        ".cache/vcpkg",
        ".local/share/containers/storage",
        ".local/share/docker",
        ".cache/flatpak-builder",
        ".cache/snapcraft",
        ".cache/pbuilder",
        "rpmbuild",
        ".vagrant.d/boxes",
        ".minikube/cache",
        ".platformio/packages",
        ".arduino15/staging",
        ".espressif/tools",
        ".npm/_logs",
        ".config/Code/logs",
        ".android/crashes",
    };
    for (const char* rel : folders)
        testing_support::make_dirs(home.path(), rel);
    catalog::set_projects_root(home.path() + "/");  // the catalog lists folders that exist now
    populate(home.path());
    catalog::set_projects_root(home.path());

    App app;
    AppProbe probe{app};
    if (!probe.scan_to_completion()) {
        std::fprintf(stderr, "frame_time: the scan did not finish\n");
        return 1;
    }
    std::size_t categories = 0, entries = 0;
    for (const CatState& cs : probe.cats()) {
        categories += cs.items.empty() ? 0 : 1;
        entries += cs.items.size();
    }
    std::printf("fake home: %zu categories with entries, %zu entries; %d frames per size\n",
                categories, entries, frames);
    report(probe, "overview", frames);
    // Smooth scrolling by touchpad: every frame at a new place within a pixel,
    // where no kept picture of a gradient applies.
    report(probe, "ov-scroll", frames, [](AppProbe& p, int i) {
        // Within the range the window can scroll: a position past it is
        // clamped, and that frame drawn twice.
        const double range = p.content_height() - p.content().h;
        p.scroll() = range > 0 ? std::fmod(0.37 * i, range) : 0;
    });
    probe.scroll() = 0;

    {
        std::lock_guard<std::mutex> lock(probe.mutex());
        CatState big = probe.cats().front();
        big.def.id = "bench-10000";
        big.items = long_items(10000, "entry");
        probe.cats().push_back(std::move(big));
        probe.manual() = long_items(500, "manual");
    }
    probe.selection() = "bench-10000";
    report(probe, "category", frames);
    probe.scroll() = 500000;  // the middle of the list
    report(probe, "cat-middle", frames);
    probe.selection() = App::SEL_MANUAL;
    probe.scroll() = 0;
    report(probe, "manual", frames);
    probe.selection().clear();
    for (const Overlay& o : kOverlays) {
        o.open(probe);
        report(probe, o.name, frames);
        probe.overlay() = App::Overlay::None;
    }
    const std::vector<CatState> scanned = probe.cats();
    for (const ScanState& state : kScanStates) {
        {
            std::lock_guard<std::mutex> lock(probe.mutex());
            probe.cats() = scanned;
        }
        probe.set_scanning(false);
        state.set_up(probe);
        report(probe, state.name, frames);
    }
    probe.set_scanning(false);
    return 0;
}
