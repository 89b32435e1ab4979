// in_use — see in_use.h.
#include "engine/in_use.h"

#include <dirent.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <memory>

#include "base/small_file.h"
#include "base/strutil.h"

namespace in_use {

namespace {

constexpr const char* kDeletedMark = " (deleted)";

// The target of a /proc link, or empty when it cannot be read.
std::string read_link(const std::string& link) {
    char buf[PATH_MAX];
    const ssize_t n = ::readlink(link.c_str(), buf, sizeof buf);
    if (n <= 0 || static_cast<std::size_t>(n) >= sizeof buf)
        return {};
    return std::string(buf, static_cast<std::size_t>(n));
}

// Only real paths count: sockets, pipes and anonymous inodes are named
// "socket:[…]" and the like, and a deleted file keeps its old name with a mark.
void keep_path(std::string path, std::vector<std::string>& out) {
    if (path.empty() || path[0] != '/')
        return;
    if (su::ends_with(path, kDeletedMark))
        path.resize(path.size() - std::char_traits<char>::length(kDeletedMark));
    out.push_back(std::move(path));
}

// Pids of the processes the calling user owns, the caller excluded.
std::vector<int> own_processes() {
    std::vector<int> pids;
    std::unique_ptr<DIR, int (*)(DIR*)> proc(::opendir("/proc"), ::closedir);
    if (!proc)
        return pids;
    const uid_t me = ::getuid();
    const int self = static_cast<int>(::getpid());
    while (const dirent* e = ::readdir(proc.get())) {
        char* end = nullptr;
        const long pid = std::strtol(e->d_name, &end, 10);
        if (pid <= 0 || *end != '\0' || pid == self)
            continue;
        struct stat st {};
        // /proc/<pid> belongs to the process's real user.
        if (::stat((std::string("/proc/") + e->d_name).c_str(), &st) == 0 && st.st_uid == me)
            pids.push_back(static_cast<int>(pid));
    }
    return pids;
}

std::string command_name(int pid) {
    const auto comm = small_file::read("/proc/" + std::to_string(pid) + "/comm", 4096);
    if (!comm)
        return {};
    return comm->substr(0, comm->find('\n'));
}

// The forms a path may take in /proc: as given and with links resolved.
std::vector<std::string> forms_of(const std::string& path) {
    std::vector<std::string> forms{path};
    if (char* real = ::realpath(path.c_str(), nullptr)) {
        if (path != real)
            forms.emplace_back(real);
        std::free(real);
    }
    return forms;
}

}  // namespace

// --- Steps ---

namespace detail {

std::string mapped_path(const std::string& maps_line) {
    // address perms offset dev inode path — the path, when there is one, is
    // the rest of the line from the first "/" after the five fields.
    std::size_t pos = 0;
    for (int field = 0; field < 5; ++field) {
        pos = maps_line.find(' ', pos);
        if (pos == std::string::npos)
            return {};
        pos = maps_line.find_first_not_of(' ', pos);
        if (pos == std::string::npos)
            return {};
    }
    return maps_line[pos] == '/' ? maps_line.substr(pos) : std::string();
}

std::vector<std::string> held_paths(int pid) {
    const std::string dir = "/proc/" + std::to_string(pid);
    std::vector<std::string> out;
    for (const char* link : {"/cwd", "/root", "/exe"})
        keep_path(read_link(dir + link), out);
    std::ifstream maps(dir + "/maps");
    for (std::string line; std::getline(maps, line);)
        keep_path(mapped_path(line), out);
    std::unique_ptr<DIR, int (*)(DIR*)> fds(::opendir((dir + "/fd").c_str()), ::closedir);
    if (fds) {
        while (const dirent* e = ::readdir(fds.get())) {
            if (e->d_name[0] != '.')
                keep_path(read_link(dir + "/fd/" + e->d_name), out);
        }
    }
    return out;
}

}  // namespace detail

// --- Public ---

std::vector<std::optional<User>> find_users(const std::vector<std::string>& paths) {
    std::vector<std::optional<User>> users(paths.size());
    if (paths.empty())
        return users;
    std::vector<std::vector<std::string>> forms;
    forms.reserve(paths.size());
    for (const std::string& p : paths)
        forms.push_back(forms_of(p));
    for (int pid : own_processes()) {
        const std::vector<std::string> held = detail::held_paths(pid);
        for (std::size_t i = 0; i < paths.size(); ++i) {
            if (users[i])
                continue;
            for (const std::string& h : held) {
                bool inside = false;
                for (const std::string& f : forms[i])
                    inside = inside || su::is_at_or_under(h, f);
                if (inside) {
                    users[i] = User{pid, command_name(pid)};
                    break;
                }
            }
        }
    }
    return users;
}

}  // namespace in_use
