// settings — the preference store and its file. See settings.h.
#include "base/settings.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>

#include "base/i18n.h"
#include "base/paths.h"
#include "base/small_file.h"
#include "base/strutil.h"

namespace {

bool is_space(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

// Index of the quote closing the string whose opening quote is at open, or npos.
std::size_t string_end(std::string_view s, std::size_t open) {
    for (std::size_t i = open + 1; i < s.size(); ++i) {
        if (s[i] == '\\') {
            ++i;  // the escaped character cannot close the string
        } else if (s[i] == '"') {
            return i;
        }
    }
    return std::string_view::npos;
}

// The four hex digits of a \u escape starting at raw[at], or -1.
long hex4(std::string_view raw, std::size_t at) {
    if (at + 4 > raw.size())
        return -1;
    long v = 0;
    for (std::size_t i = at; i < at + 4; ++i) {
        const int h = su::hex_digit(raw[i]);
        if (h < 0)
            return -1;
        v = v * 16 + h;
    }
    return v;
}

void append_utf8(std::string& out, unsigned long cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

bool is_directory(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool acceptable_projects_root(const std::string& path) {
    return !path.empty() && settings_util::projects_root_refusal(path) == nullptr &&
           is_directory(path);
}

// The projects folder stored in content, or nullopt. Older versions wrote it
// without escaping, so a folder whose name holds a backslash was stored raw;
// when the unescaped text names no folder, the raw text is tried as well.
std::optional<std::string> stored_projects_root(const std::string& content) {
    const auto raw = settings_util::raw_string_value(content, "projects_root");
    if (!raw)
        return std::nullopt;
    const auto unescaped = settings_util::json_unescape(*raw);
    if (unescaped && acceptable_projects_root(*unescaped))
        return unescaped;
    const std::string legacy(*raw);
    if (legacy.find('\\') != std::string::npos && acceptable_projects_root(legacy))
        return legacy;
    return std::nullopt;
}

// A folder the file can hold and give back as the same folder: absolute and
// valid UTF-8, not empty.
bool is_storable_folder(const std::string& folder) {
    return !folder.empty() && settings_util::projects_root_refusal(folder) == nullptr;
}

// The storable folders of list, each once, at most kMaxKept.
std::vector<std::string> usable_kept(const std::vector<std::string>& list) {
    std::vector<std::string> out;
    for (const std::string& k : list) {
        if (out.size() >= settings_util::kMaxKept)
            break;
        if (is_storable_folder(k) && std::find(out.begin(), out.end(), k) == out.end())
            out.push_back(k);
    }
    return out;
}

// The keep-list as the inside of a JSON array.
std::string kept_text(const std::vector<std::string>& kept) {
    std::string out;
    for (const std::string& k : usable_kept(kept)) {
        if (!out.empty())
            out += ", ";
        out += "\"" + settings_util::json_escape(k) + "\"";
    }
    return out;
}

std::optional<std::string> string_value(const std::string& content, std::string_view key) {
    const auto raw = settings_util::raw_string_value(content, key);
    if (!raw)
        return std::nullopt;
    return settings_util::json_unescape(*raw);
}

bool write_all(int fd, const std::string& text) {
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

}  // namespace

// --- Helpers ---

namespace settings_util {

bool valid_file_manager_command(const std::string& cmd) {
    if (cmd.empty() || cmd.size() > settings_util::kMaxCommandBytes)
        return false;
    bool has_visible = false;
    for (const char c : cmd) {
        const auto b = static_cast<unsigned char>(c);
        if (b < 0x20 || b == 0x7F || c == '"' || c == '\\')
            return false;
        has_visible = has_visible || (c != ' ' && c != '\t');
    }
    return has_visible;
}

const char* projects_root_refusal(const std::string& path) {
    if (path.empty())
        return nullptr;
    if (path[0] != '/')
        return "The projects folder must be an absolute path.";
    if (!su::is_valid_utf8(path))
        return "The projects folder's name is not valid UTF-8 text and cannot be stored.";
    return nullptr;
}

std::string json_escape(const std::string& s) {
    std::string out;
    out.reserve(s.size());
    for (const char c : s) {
        const auto b = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (b < 0x20 || b == 0x7F) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\u%04x", b);
            out += buf;
        } else {
            out += c;
        }
    }
    return out;
}

std::optional<std::string> json_unescape(std::string_view raw) {
    std::string out;
    out.reserve(raw.size());
    for (std::size_t i = 0; i < raw.size(); ++i) {
        if (raw[i] != '\\') {
            out += raw[i];
            continue;
        }
        if (++i >= raw.size())
            return std::nullopt;
        switch (raw[i]) {
            case '"':
                out += '"';
                break;
            case '\\':
                out += '\\';
                break;
            case '/':
                out += '/';
                break;
            case 'b':
                out += '\b';
                break;
            case 'f':
                out += '\f';
                break;
            case 'n':
                out += '\n';
                break;
            case 'r':
                out += '\r';
                break;
            case 't':
                out += '\t';
                break;
            case 'u': {
                long cp = hex4(raw, i + 1);
                i += 4;
                if (cp <= 0 || (cp >= 0xDC00 && cp <= 0xDFFF))
                    return std::nullopt;  // malformed, NUL, or a low surrogate alone
                if (cp >= 0xD800 && cp <= 0xDBFF) {
                    // A high surrogate must be followed by \u and a low one.
                    if (i + 2 >= raw.size() || raw[i + 1] != '\\' || raw[i + 2] != 'u')
                        return std::nullopt;
                    const long low = hex4(raw, i + 3);
                    if (low < 0xDC00 || low > 0xDFFF)
                        return std::nullopt;
                    cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
                    i += 6;
                }
                append_utf8(out, static_cast<unsigned long>(cp));
                break;
            }
            default:
                return std::nullopt;
        }
    }
    return out;
}

std::optional<std::size_t> value_position(std::string_view content, std::string_view key) {
    std::optional<std::size_t> found;
    std::size_t i = 0;
    while ((i = content.find('"', i)) != std::string_view::npos) {
        const std::size_t end = string_end(content, i);
        if (end == std::string_view::npos)
            break;  // an unclosed string runs to the end: nothing after it is a key
        std::size_t after = end + 1;
        while (after < content.size() && is_space(content[after]))
            ++after;
        if (after < content.size() && content[after] == ':' &&
            content.substr(i + 1, end - i - 1) == key) {
            if (found)
                return std::nullopt;  // twice: one of them was smuggled in
            found = after + 1;
        }
        i = end + 1;
    }
    return found;
}

std::optional<std::string_view> raw_string_value(std::string_view content, std::string_view key) {
    const auto pos = value_position(content, key);
    if (!pos)
        return std::nullopt;
    std::size_t open = *pos;
    while (open < content.size() && is_space(content[open]))
        ++open;
    if (open >= content.size() || content[open] != '"')
        return std::nullopt;
    const std::size_t end = string_end(content, open);
    if (end == std::string_view::npos)
        return std::nullopt;
    return content.substr(open + 1, end - open - 1);
}

std::optional<std::vector<std::string>> string_array_value(std::string_view content,
                                                           std::string_view key) {
    const auto pos = value_position(content, key);
    if (!pos)
        return std::nullopt;
    std::size_t i = *pos;
    const auto skip_space = [&] {
        while (i < content.size() && is_space(content[i]))
            ++i;
    };
    skip_space();
    if (i >= content.size() || content[i] != '[')
        return std::nullopt;
    ++i;
    std::vector<std::string> out;
    skip_space();
    if (i < content.size() && content[i] == ']')
        return out;
    while (i < content.size()) {
        skip_space();
        if (i >= content.size() || content[i] != '"')
            return std::nullopt;
        const std::size_t end = string_end(content, i);
        if (end == std::string_view::npos)
            return std::nullopt;
        auto value = json_unescape(content.substr(i + 1, end - i - 1));
        if (!value)
            return std::nullopt;
        out.push_back(std::move(*value));
        i = end + 1;
        skip_space();
        if (i < content.size() && content[i] == ']')
            return out;
        if (i >= content.size() || content[i] != ',')
            return std::nullopt;
        ++i;
    }
    return std::nullopt;
}

bool write_file_atomically(const std::string& path, const std::string& text) {
    const std::string tmp = path + ".tmp";
    // A leftover of an interrupted save goes first; O_EXCL then makes sure the
    // file written is a new one and not whatever a link there points to.
    if (::unlink(tmp.c_str()) != 0 && errno != ENOENT)
        return false;
    const int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0)
        return false;
    const bool written = write_all(fd, text) && ::fsync(fd) == 0;
    const bool closed = ::close(fd) == 0;
    if (!written || !closed || ::rename(tmp.c_str(), path.c_str()) != 0) {
        ::unlink(tmp.c_str());  // the old file stays as it was
        return false;
    }
    return true;
}

std::string to_text(const Settings& s) {
    const std::string command =
        valid_file_manager_command(s.file_manager_command) ? s.file_manager_command : "";
    const std::string projects =
        projects_root_refusal(s.projects_root) == nullptr ? s.projects_root : "";
    return "{\n  \"language\": \"" + json_escape(s.language) + "\",\n  \"theme\": \"" +
           json_escape(s.theme) + "\",\n  \"projects_root\": \"" + json_escape(projects) +
           "\",\n  \"file_manager_command\": \"" + json_escape(command) +
           "\",\n  \"older_than_days\": \"" + std::to_string(s.older_than_days) +
           "\",\n  \"kept\": [" + kept_text(s.kept) + "]\n}\n";
}

void apply_text(const std::string& content, Settings& s) {
    if (const auto language = string_value(content, "language")) {
        if (*language == "auto" ||
            (!language->empty() && i18n_detail::language_index(*language) >= 0)) {
            s.language = *language;
        }
    }
    if (const auto theme = string_value(content, "theme")) {
        if (*theme == "auto" || *theme == "light" || *theme == "dark")
            s.theme = *theme;
    }
    if (const auto projects = stored_projects_root(content))
        s.projects_root = *projects;
    if (const auto command = string_value(content, "file_manager_command")) {
        if (valid_file_manager_command(*command))
            s.file_manager_command = *command;
    }
    if (const auto days = string_value(content, "older_than_days")) {
        for (const int choice : kAgeChoices) {
            if (*days == std::to_string(choice))
                s.older_than_days = choice;
        }
    }
    if (const auto kept = string_array_value(content, "kept"))
        s.kept = usable_kept(*kept);
}

bool add_kept(Settings& s, const std::string& folder) {
    if (!is_storable_folder(folder) || s.kept.size() >= kMaxKept)
        return false;
    if (std::find(s.kept.begin(), s.kept.end(), folder) != s.kept.end())
        return false;
    s.kept.push_back(folder);
    return true;
}

}  // namespace settings_util

// --- SettingsStore ---

SettingsStore& SettingsStore::instance() {
    static SettingsStore store;
    return store;
}

std::string SettingsStore::path() const {
    return paths::config_dir() + "/settings.json";
}

void SettingsStore::load() {
    if (const auto content = small_file::read(path(), settings_util::kMaxFileSize))
        settings_util::apply_text(*content, m_settings);
}

bool SettingsStore::save() const {
    return settings_util::write_file_atomically(path(), settings_util::to_text(m_settings));
}
