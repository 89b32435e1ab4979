// render-screens — draws every screen and overlay of the window offscreen into
// PNG files, from a fake home built and scanned in a temporary folder, for one
// interface language, window size and scale. Translators and reviewers look
// at every text in place without building a home full of leftovers.
//
//   render-screens [--lang CODE] [--size WxH] [--scale S] [--text T] [--dark] [--out DIR]
//
// Defaults: the language "en", 1100x720, scale 1, text scale 1, the light
// palette, the current folder. --text draws the window as a desktop whose text
// is T times larger gets it (WxH stays the window's size). Files are named
// <screen>-<lang>-<W>x<H>@<S>x.png, with "-text<T>" before ".png" for a text
// scale other than 1. The real
// home is never read: HOME points at the fake one for the whole run.
#include <cairo.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "app_probe.h"
#include "base/geometry_store.h"
#include "base/i18n.h"
#include "base/settings.h"
#include "test_support.h"

namespace {

namespace ts = testing_support;

struct Options {
    std::string lang = "en";
    int width = 1100;
    int height = 720;
    double scale = 1;
    double text = 1;  // the desktop's text-scaling factor
    bool dark = false;
    std::string out = ".";
};

constexpr std::size_t kMiB = 1024 * 1024;

// --- The fake home ---

// Leftovers of several groups, versions of a kept-newest category, projects
// with build output, and sizes far enough apart to tell the bars apart.
void build_home(const std::string& home) {
    const struct {
        const char* file;
        std::size_t bytes;
    } files[] = {
        {".cache/JetBrains/IntelliJIdea2024.3/caches/content.dat", 6 * kMiB},
        {".cache/JetBrains/PyCharm2023.2/caches/content.dat", 2 * kMiB},
        {".gradle/caches/modules-2/files-2.1/guava.jar", 5 * kMiB},
        {".gradle/wrapper/dists/gradle-8.5-bin/gradle.zip", 3 * kMiB},
        {".gradle/wrapper/dists/gradle-8.10-bin/gradle.zip", 3 * kMiB},
        {".npm/_cacache/content-v2/sha512/blob", 4 * kMiB},
        {".cache/pip/http/blob", 2 * kMiB},
        {".cargo/registry/cache/index.crates.io/serde.crate", 1 * kMiB},
        {".rustup/toolchains/1.79.0-x86_64-unknown-linux-gnu/lib/librustc.so", 4 * kMiB},
        {".rustup/toolchains/1.83.0-x86_64-unknown-linux-gnu/lib/librustc.so", 4 * kMiB},
        {".cache/go-build/00/object", 1 * kMiB},
        {".local/share/containers/storage/overlay/layer.tar", 3 * kMiB},
        {".npm/_logs/2026-01-01-debug.log", 64 * 1024},
        {"code/webshop/node_modules/react/index.js", 3 * kMiB},
        {"code/webshop/.next/cache/webpack.pack", 1 * kMiB},
        {"code/analysis/.venv/lib/numpy.so", 2 * kMiB},
        {"code/analysis/__pycache__/main.cpython-312.pyc", 64 * 1024},
        {"code/tracker/target/debug/tracker", 2 * kMiB},
    };
    for (const auto& f : files) {
        const std::string path = home + "/" + f.file;
        ts::make_dirs(home, path.substr(home.size() + 1, path.rfind('/') - home.size() - 1));
        ts::write_file(path, f.bytes);
    }
}

// --- The screens ---

// One picture: how to bring the window into that state, and its file name.
struct Screen {
    const char* name;
    std::function<void(AppProbe&)> setup;
};

// The biggest category with a kept newest version, else the biggest one.
int category_to_show(AppProbe& p) {
    const auto rank = [](const CatState& cs) {
        return std::pair{cs.def.keep_newest, cs.total_size()};
    };
    int best = -1;
    for (int i = 0; i < static_cast<int>(p.cats().size()); ++i) {
        const CatState& cs = p.cats()[static_cast<std::size_t>(i)];
        if (!cs.items.empty() &&
            (best < 0 || rank(cs) > rank(p.cats()[static_cast<std::size_t>(best)])))
            best = i;
    }
    return best;
}

// Every entry but the kept newest is ticked, whatever its safety, so the
// picture shows ticked and unticked cards and the footer's total.
void show_category(AppProbe& p) {
    const int i = category_to_show(p);
    if (i < 0)
        return;
    CatState& cs = p.cats()[static_cast<std::size_t>(i)];
    p.selection() = cs.def.id;
    for (Item& it : cs.items)
        it.selected = !it.keep_hint;
}

void fill_manual(AppProbe& p) {
    for (const CatState& cs : p.cats()) {
        for (const Item& it : cs.items) {
            Item failed = it;
            // Translated as the window translates a failure's reason.
            failed.detail = I18n::instance().tr("Permission denied");
            p.manual().push_back(failed);
            if (p.manual().size() == 4)
                return;
        }
    }
}

// A third measured, the next one being measured, the rest still waiting.
void scan_a_third(AppProbe& p) {
    const std::size_t current = p.cats().size() / 3;
    for (std::size_t i = current; i < p.cats().size(); ++i) {
        p.cats()[i].items.clear();
        p.cats()[i].did_scan = false;
        p.cats()[i].scanning = i == current;
    }
    p.scanning_flag() = true;
}

void cancel_half_way(AppProbe& p) {
    for (std::size_t i = p.cats().size() / 2; i < p.cats().size(); ++i) {
        p.cats()[i].items.clear();
        p.cats()[i].did_scan = false;
    }
    p.cancel_flag() = true;
}

// The category shown did not answer at all, and the next one with entries
// only in part: one reads "not answering", the other's totals are partial.
void leave_unanswered(AppProbe& p) {
    const int i = category_to_show(p);
    if (i < 0)
        return;
    CatState& dead = p.cats()[static_cast<std::size_t>(i)];
    dead.items.clear();
    dead.not_answering = true;
    p.selection() = dead.def.id;
    const int k = category_to_show(p);
    if (k >= 0)
        p.cats()[static_cast<std::size_t>(k)].not_answering = true;
}

// The category shown with its second entry kept and its first one a
// project's leftover whose project changed months ago.
void keep_and_age(AppProbe& p) {
    show_category(p);
    CatState* cs = nullptr;
    for (CatState& c : p.cats()) {
        if (c.def.id == p.selection())
            cs = &c;
    }
    if (cs == nullptr || cs->items.size() < 2)
        return;
    cs->items[0].activity = std::time(nullptr) - 120 * 24 * 3600;
    // Never saved: the tool changes the settings in memory only.
    SettingsStore::instance().mutable_get().kept = {cs->items[1].path,
                                                    "/home/ann/work/client-site"};
    p.set_kept(SettingsStore::instance().get().kept);
}

std::vector<App::DialogButton> two_buttons() {
    const I18n& i18n = I18n::instance();
    return {{App::CMD_CANCEL, i18n.tr("Cancel"), false, true},
            {App::CMD_CANCEL, i18n.tr("Delete permanently"), true, false}};
}

// Adding a screen is one line here.
const std::vector<Screen>& screens() {
    static const std::vector<Screen> list = {
        {"overview", [](AppProbe&) {}},
        {"category", show_category},
        {"manual",
         [](AppProbe& p) {
             fill_manual(p);
             p.selection() = App::SEL_MANUAL;
         }},
        {"scan-start",
         [](AppProbe& p) {
             p.reset_categories();
             p.scanning_flag() = true;
         }},
        {"scanning", scan_a_third},
        {"cancelled", cancel_half_way},
        {"not-answering", leave_unanswered},
        {"empty",
         [](AppProbe& p) {
             for (CatState& cs : p.cats()) {
                 cs.items.clear();
                 cs.did_scan = true;
             }
         }},
        {"dialog",
         [](AppProbe& p) {
             const I18n& i18n = I18n::instance();
             p.show_dialog(i18n.tr("Delete permanently?"),
                           i18n.tr("This cannot be undone. Caches and build folders are "
                                   "recreated by their tools; anything marked Risky is not."),
                           two_buttons());
         }},
        {"about", [](AppProbe& p) { p.overlay() = App::Overlay::About; }},
        {"settings",
         [](AppProbe& p) {
             p.open_settings();
             p.fm_detected() = "Files";
             p.fm_text() = "nautilus --new-window --select %s";
             p.fm_editing() = true;
             p.fm_caret() = p.fm_text().size();
         }},
        {"language", [](AppProbe& p) { p.overlay() = App::Overlay::Language; }},
        {"kept", keep_and_age},
        {"keep-list",
         [](AppProbe& p) {
             keep_and_age(p);
             p.overlay() = App::Overlay::KeepList;
         }},
        {"age-choice", [](AppProbe& p) { p.ask_age(true); }},
    };
    return list;
}

// --- Output ---

bool write_png(App& app, const Options& o, const std::string& path) {
    const int pw = static_cast<int>(o.width * o.scale + 0.5);
    const int ph = static_cast<int>(o.height * o.scale + 0.5);
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, pw, ph);
    cairo_surface_set_device_scale(surface, o.scale, o.scale);
    cairo_t* cr = cairo_create(surface);
    app.draw_window(cr, o.width, o.height);
    cairo_destroy(cr);
    const bool ok = cairo_surface_write_to_png(surface, path.c_str()) == CAIRO_STATUS_SUCCESS;
    cairo_surface_destroy(surface);
    return ok;
}

bool parse(int argc, char** argv, Options& o) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool has_value = i + 1 < argc;
        if (arg == "--dark") {
            o.dark = true;
        } else if (arg == "--lang" && has_value) {
            o.lang = argv[++i];
        } else if (arg == "--out" && has_value) {
            o.out = argv[++i];
        } else if (arg == "--scale" && has_value) {
            o.scale = std::atof(argv[++i]);
        } else if (arg == "--text" && has_value) {
            o.text = std::atof(argv[++i]);
        } else if (arg == "--size" && has_value) {
            if (std::sscanf(argv[++i], "%dx%d", &o.width, &o.height) != 2)
                return false;
        } else {
            return false;
        }
    }
    return o.width > 0 && o.height > 0 && o.scale > 0 && o.scale <= 4 && o.text >= 0.5 &&
           o.text <= 3;
}

}  // namespace

int main(int argc, char** argv) {
    Options o;
    if (!parse(argc, argv, o)) {
        std::fprintf(stderr,
                     "usage: render-screens [--lang CODE] [--size WxH] [--scale S] [--text T] "
                     "[--dark] [--out DIR]\n");
        return 2;
    }
    if (o.lang != "auto" && i18n_detail::language_index(o.lang) < 0) {
        std::fprintf(stderr, "render-screens: no language \"%s\"\n", o.lang.c_str());
        return 2;
    }
    const std::string out = o.out;  // relative to where we were started, before HOME moves
    std::error_code made;
    std::filesystem::create_directories(out, made);
    if (made) {
        std::fprintf(stderr, "render-screens: cannot create %s: %s\n", out.c_str(),
                     made.message().c_str());
        return 1;
    }
    ts::FakeHome home;
    ts::make_dirs(home.path(), "code");
    build_home(home.path());
    catalog::set_projects_root(home.path() + "/code");
    I18n::instance().set_language(o.lang);

    App app;
    AppProbe probe{app};
    if (!probe.scan_to_completion()) {
        std::fprintf(stderr, "render-screens: the scan of the fake home did not finish\n");
        return 1;
    }
    // The appearance choice in Settings shows the palette the pictures use.
    SettingsStore::instance().mutable_get().theme = o.dark ? "dark" : "light";
    probe.set_dark(o.dark);
    const std::vector<CatState> scanned = probe.cats();
    char suffix[64];
    probe.zoom() = GeometryStore::zoom_for(o.text, 0, 0);
    if (o.text == 1)
        std::snprintf(suffix, sizeof suffix, "-%dx%d@%gx.png", o.width, o.height, o.scale);
    else
        std::snprintf(suffix, sizeof suffix, "-%dx%d@%gx-text%g.png", o.width, o.height, o.scale,
                      o.text);
    int failures = 0;
    for (const Screen& s : screens()) {
        probe.cats() = scanned;
        probe.selection().clear();
        probe.manual().clear();
        probe.overlay() = App::Overlay::None;
        probe.scanning_flag() = false;
        probe.cancel_flag() = false;
        probe.scroll() = 0;
        s.setup(probe);
        const std::string path = out + "/" + s.name + "-" + o.lang + suffix;
        if (write_png(app, o, path)) {
            std::printf("%s\n", path.c_str());
        } else {
            std::fprintf(stderr, "render-screens: could not write %s\n", path.c_str());
            ++failures;
        }
    }
    probe.scanning_flag() = false;
    return failures == 0 ? 0 : 1;
}
