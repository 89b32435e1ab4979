// brushwick-scan — runs the application's scan without a window and prints
// what it found: a table by default, JSON with --json. It never deletes.
#include <sys/stat.h>

#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "base/paths.h"
#include "base/settings.h"
#include "engine/catalog.h"
#include "engine/category_scan.h"
#include "engine/scan_report.h"

namespace {

constexpr const char* kUsage =
    "Usage: brushwick-scan [--json] [--projects DIR]\n"
    "\n"
    "Scans your home for the disk space that development tools leave behind, the\n"
    "same way the Brushwick app does, and prints what it found. Nothing is deleted.\n"
    "\n"
    "  --json           print one JSON object instead of a table: every category\n"
    "                   of the catalog with its entries, sizes in bytes, safety\n"
    "                   (\"safe\", \"caution\", \"risky\") and the newest-version mark\n"
    "  --projects DIR   search DIR for project folders (node_modules, build, …)\n"
    "                   instead of the home folder\n"
    "  -h, --help       show this help\n"
    "\n"
    "HOME and the XDG_* variables decide where to look, as for the app. Names that\n"
    "are not valid UTF-8 are printed with U+FFFD in place of the broken bytes.\n";

struct Options {
    bool json = false;
    bool help = false;
    std::string projects;  // empty: the home folder
};

// Parses argv; on a mistake returns false with the reason in error.
bool parse(int argc, char** argv, Options& opt, std::string& error) {
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--json") {
            opt.json = true;
        } else if (a == "-h" || a == "--help") {
            opt.help = true;
        } else if (a == "--projects") {
            if (i + 1 >= argc) {
                error = "--projects needs a folder";
                return false;
            }
            opt.projects = argv[++i];
        } else if (a.rfind("--projects=", 0) == 0) {
            opt.projects = a.substr(std::strlen("--projects="));
        } else {
            error = "unknown option '" + a + "'";
            return false;
        }
    }
    if (opt.projects.empty())
        return true;
    struct stat st {};
    if (opt.projects[0] != '/') {
        error = "--projects needs an absolute path: " + opt.projects;
        return false;
    }
    if (::stat(opt.projects.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
        error = "no such folder: " + opt.projects;
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    Options opt;
    std::string error;
    if (!parse(argc, argv, opt, error)) {
        std::fprintf(stderr, "brushwick-scan: %s\nTry 'brushwick-scan --help'.\n", error.c_str());
        return 2;
    }
    if (opt.help) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (!opt.projects.empty())
        catalog::set_projects_root(opt.projects);

    // The keep-list is the window's: what the user keeps there reads as kept here.
    SettingsStore::instance().load();
    const std::vector<CatState> cats = category_scan::scan_catalog(
        catalog::current(nullptr), SettingsStore::instance().get().kept, nullptr);

    const std::string out =
        opt.json ? scan_report::json(paths::real_home(), catalog::projects_root(), cats)
                 : scan_report::table(cats, std::time(nullptr));
    if (std::fwrite(out.data(), 1, out.size(), stdout) != out.size() || std::fflush(stdout) != 0) {
        std::fprintf(stderr, "brushwick-scan: cannot write the report\n");
        return 1;
    }
    return 0;
}
