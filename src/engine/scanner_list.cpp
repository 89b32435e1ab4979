// scanner_list — the flat listings (a folder's children, the folder itself)
// and the dispatch of list() on the row's listing kind.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "base/paths.h"
#include "base/strutil.h"
#include "engine/scanner.h"
#include "engine/scanner_fs.h"

namespace scanner {

namespace {

// The detail line of a flat entry: its own display path.
std::string detail_for(const CategoryDef&, const std::string& path) {
    return path;
}

// The non-hidden children of the row's folder (only folders when dirs_only),
// never symbolic links. The folder itself may be a link: the row names it.
std::vector<ScannedInfo> children(const CategoryDef& def, bool dirs_only,
                                  const std::atomic<bool>* cancel) {
    std::vector<ScannedInfo> out;
    const std::string base = paths::to_scan_path(def.path);
    if (base.empty())
        return out;
    const int fd = fs::open_dir(AT_FDCWD, base.c_str(), true);
    // A missing or unreadable folder lists nothing.
    if (fd < 0)
        return out;
    fs::for_each_entry(fd, fs::thread_buffer(), [&](const fs::Entry& e) {
        if (fs::cancelled(cancel))
            return false;
        if (e.name[0] == '.')
            return true;
        // The entry type rules out links, and files when only folders count,
        // without a stat.
        if (e.type == DT_LNK || (dirs_only && e.type != DT_DIR && e.type != DT_UNKNOWN))
            return true;
        const fs::Stat s = fs::stat_at(fd, e.name);
        // Vanished since the listing, or not what the row lists.
        if (!s.ok || S_ISLNK(s.st.st_mode) || (dirs_only && !S_ISDIR(s.st.st_mode)))
            return true;
        ScannedInfo info;
        info.path = paths::to_display_path(su::join_path(base, e.name));
        info.name = e.name;
        info.detail = detail_for(def, info.path);
        info.modified = s.st.st_mtim.tv_sec;
        info.dev = s.st.st_dev;
        info.ino = s.st.st_ino;
        for (const std::string& own : def.own_work) {
            if (own == e.name)
                info.least_safety = SafetyLevel::Risky;
        }
        out.push_back(std::move(info));
        return true;
    });
    ::close(fd);
    return out;
}

// The row's folder as its single entry, unless it is missing, not a folder or
// a symbolic link.
std::vector<ScannedInfo> self_folder(const CategoryDef& def) {
    const std::string p = paths::to_scan_path(def.path);
    struct stat st {};
    if (p.empty() || ::lstat(p.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
        return {};
    ScannedInfo info;
    info.path = def.path;
    info.name = su::basename_of(def.path);
    info.detail = detail_for(def, def.path);
    info.modified = st.st_mtim.tv_sec;
    info.dev = st.st_dev;
    info.ino = st.st_ino;
    return {info};
}

}  // namespace

std::vector<ScannedInfo> list(const CategoryDef& def, const ProjectScope& scope,
                              const std::atomic<bool>* cancel) {
    switch (def.listing) {
        case ListingKind::ChildDirectories:
            return children(def, true, cancel);
        case ListingKind::ChildItems:
            return children(def, false, cancel);
        case ListingKind::SelfFolder:
            return self_folder(def);
        case ListingKind::Recursive:
            return std::move(list_projects({def}, scope, cancel).front().entries);
    }
    return {};
}

}  // namespace scanner
