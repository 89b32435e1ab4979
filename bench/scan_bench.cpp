// brushwick-bench — helpers for bench/scan_vs_du.sh: builds a synthetic home
// full of projects, and runs single scanner steps so that they can be timed
// against du and find.
//
//   brushwick-bench make-tree HOME PROJECTS   build the tree (HOME must not exist)
//   brushwick-bench list-projects HOME         the eight project rows, one walk
//   brushwick-bench measure PATH...            measure each path on one thread
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "engine/catalog.h"
#include "engine/scanner.h"

namespace {

// A small deterministic generator, so every run builds the same tree.
struct Rng {
    std::uint64_t s = 0x9E3779B97F4A7C15ull;
    unsigned next(unsigned n) {
        s ^= s << 13;
        s ^= s >> 7;
        s ^= s << 17;
        return static_cast<unsigned>(s % n);
    }
};

Rng rng;
std::uint64_t g_entries = 0;

void dir(const std::string& p) {
    if (::mkdir(p.c_str(), 0755) != 0) {
        std::perror(p.c_str());
        std::exit(1);
    }
    ++g_entries;
}

// A file; one in four holds data (up to 6 KB), the rest are empty, which keeps
// a memory filesystem small without changing what a walk has to do.
void file(const std::string& p) {
    const int fd = ::open(p.c_str(), O_CREAT | O_WRONLY | O_TRUNC, 0644);
    if (fd < 0) {
        std::perror(p.c_str());
        std::exit(1);
    }
    if (rng.next(4) == 0) {
        static const std::string data(6144, 'x');
        const std::size_t n = 1 + rng.next(6144);
        if (::write(fd, data.data(), n) != static_cast<ssize_t>(n))
            std::exit(1);
    }
    ::close(fd);
    ++g_entries;
}

void files(const std::string& d, const char* stem, int n) {
    for (int i = 0; i < n; ++i)
        file(d + "/" + stem + std::to_string(i));
}

void link_to(const std::string& from, const std::string& to) {
    if (::link(from.c_str(), to.c_str()) == 0)
        ++g_entries;
}

void symlink_to(const std::string& target, const std::string& p) {
    if (::symlink(target.c_str(), p.c_str()) == 0)
        ++g_entries;
}

void package(const std::string& nm, const std::string& name, int depth) {
    const std::string p = nm + "/" + name;
    dir(p);
    file(p + "/package.json");
    dir(p + "/lib");
    files(p + "/lib", "m", 6 + static_cast<int>(rng.next(14)));
    if (rng.next(3) == 0) {
        dir(p + "/dist");
        files(p + "/dist", "d", 4);
    }
    if (depth < 2 && rng.next(5) == 0) {
        dir(p + "/node_modules");
        for (int i = 0; i < 3; ++i)
            package(p + "/node_modules", name + "-dep" + std::to_string(i), depth + 1);
    }
}

void project(const std::string& root, int k) {
    const std::string p = root + "/proj-" + std::to_string(k);
    dir(p);
    file(p + "/README.md");
    dir(p + "/src");
    for (int i = 0; i < 10; ++i) {
        const std::string s = p + "/src/mod" + std::to_string(i);
        dir(s);
        files(s, "f", 20);
    }
    dir(p + "/.git");
    dir(p + "/.git/objects");
    for (int i = 0; i < 16; ++i) {
        const std::string o = p + "/.git/objects/" + std::to_string(i);
        dir(o);
        files(o, "o", 10);
    }
    const std::string nm = p + "/node_modules";
    dir(nm);
    dir(nm + "/.bin");
    for (int i = 0; i < 60; ++i) {
        const std::string name = "pkg" + std::to_string(i);
        package(nm, name, 0);
        if (i < 10)
            symlink_to("../" + name + "/lib/m0", nm + "/.bin/" + name);
    }
    // Hard links into the first project, as a content-addressed store makes.
    if (k > 0) {
        for (int i = 0; i < 20; ++i)
            link_to(root + "/proj-0/node_modules/pkg" + std::to_string(i) + "/package.json",
                    nm + "/pkg" + std::to_string(i) + "/lib/shared.json");
    }
    const std::string build = p + (k % 2 ? "/target" : "/build");
    dir(build);
    for (int i = 0; i < 5; ++i) {
        const std::string o = build + "/obj" + std::to_string(i);
        dir(o);
        files(o, "x", 60);
    }
    if (k % 3 == 0) {
        const std::string v = p + "/venv";
        dir(v);
        file(v + "/pyvenv.cfg");
        dir(v + "/bin");
        files(v + "/bin", "b", 5);
        dir(v + "/lib");
        dir(v + "/lib/python3.11");
        const std::string sp = v + "/lib/python3.11/site-packages";
        dir(sp);
        for (int i = 0; i < 20; ++i) {
            const std::string pk = sp + "/pkg" + std::to_string(i);
            dir(pk);
            files(pk, "py", 14);
        }
        for (int i = 0; i < 10; ++i) {
            const std::string c = p + "/src/mod" + std::to_string(i) + "/__pycache__";
            dir(c);
            files(c, "c", 5);
        }
    }
}

int make_tree(const std::string& home, int projects) {
    dir(home);
    dir(home + "/code");
    for (int k = 0; k < projects; ++k)
        project(home + "/code", k);
    std::printf("%llu entries\n", static_cast<unsigned long long>(g_entries));
    return 0;
}

int list_projects(const std::string& home) {
    ::setenv("HOME", home.c_str(), 1);
    std::vector<CategoryDef> rows;
    for (const CategoryDef& d : catalog::all()) {
        if (d.listing == ListingKind::Recursive)
            rows.push_back(d);
    }
    const auto lists =
        scanner::list_projects(rows, scanner::project_scope(catalog::all()), nullptr);
    std::size_t n = 0;
    for (const auto& l : lists)
        n += l.entries.size();
    std::printf("%zu matches in %zu rows\n", n, rows.size());
    return 0;
}

int measure(int argc, char** argv) {
    std::int64_t total = 0;
    for (int i = 2; i < argc; ++i)
        total += scanner::size(argv[i], nullptr);
    std::printf("%lld bytes\n", static_cast<long long>(total));
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "make-tree" && argc == 4)
        return make_tree(argv[2], std::atoi(argv[3]));
    if (mode == "list-projects" && argc == 3)
        return list_projects(argv[2]);
    if (mode == "measure" && argc >= 3)
        return measure(argc, argv);
    std::fprintf(stderr,
                 "usage: brushwick-bench make-tree HOME PROJECTS | list-projects HOME | "
                 "measure PATH...\n");
    return 2;
}
