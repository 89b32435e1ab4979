// strutil — byte-string and path helpers. See strutil.h.
#include "base/strutil.h"

#include <utility>

namespace su {

namespace {

bool is_continuation(unsigned char c) {
    return (c & 0xC0) == 0x80;
}

// Length of the sequence a lead byte announces, or 0 for a byte that never
// starts a well-formed one: a continuation byte, C0 and C1 (only overlong
// forms of ASCII), F5–FF (past U+10FFFF).
std::size_t sequence_length(unsigned char lead) {
    if (lead < 0x80)
        return 1;
    if (lead >= 0xC2 && lead <= 0xDF)
        return 2;
    if (lead >= 0xE0 && lead <= 0xEF)
        return 3;
    if (lead >= 0xF0 && lead <= 0xF4)
        return 4;
    return 0;
}

// The range the byte after a lead byte must fall in (RFC 3629, table 3-7):
// narrower than 80–BF where the wide range would allow an overlong form (E0,
// F0), a surrogate (ED) or a code point past U+10FFFF (F4).
std::pair<unsigned char, unsigned char> second_byte_range(unsigned char lead) {
    switch (lead) {
        case 0xE0:
            return {0xA0, 0xBF};
        case 0xED:
            return {0x80, 0x9F};
        case 0xF0:
            return {0x90, 0xBF};
        case 0xF4:
            return {0x80, 0x8F};
        default:
            return {0x80, 0xBF};
    }
}

// Length of the well-formed sequence starting at i, or 0 when the bytes there
// do not form one.
std::size_t valid_sequence_at(const std::string& s, std::size_t i) {
    const auto lead = static_cast<unsigned char>(s[i]);
    const std::size_t n = sequence_length(lead);
    if (n == 0 || n > s.size() - i)
        return 0;
    if (n == 1)
        return 1;
    const auto [low, high] = second_byte_range(lead);
    const auto second = static_cast<unsigned char>(s[i + 1]);
    if (second < low || second > high)
        return 0;
    for (std::size_t k = 2; k < n; ++k) {
        if (!is_continuation(static_cast<unsigned char>(s[i + k])))
            return 0;
    }
    return n;
}

// Index one past the last character that is not a trailing "/", keeping at
// least the first character.
std::size_t end_without_trailing_slashes(const std::string& path) {
    std::size_t end = path.size();
    while (end > 1 && path[end - 1] == '/')
        --end;
    return end;
}

}  // namespace

std::string lower_ascii(std::string s) {
    for (char& c : s) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    return s;
}

bool starts_with(const std::string& s, const std::string& prefix) {
    return prefix.size() <= s.size() && s.compare(0, prefix.size(), prefix) == 0;
}

bool ends_with(const std::string& s, const std::string& suffix) {
    return suffix.size() <= s.size() &&
           s.compare(s.size() - suffix.size(), suffix.size(), suffix) == 0;
}

std::string basename_of(const std::string& path) {
    if (path.empty() || path == "/")
        return path;
    const std::size_t end = end_without_trailing_slashes(path);
    const std::size_t slash = path.rfind('/', end - 1);
    if (slash == std::string::npos)
        return path.substr(0, end);
    return path.substr(slash + 1, end - slash - 1);
}

std::string parent_of(const std::string& path) {
    if (path.empty() || path == "/")
        return {};
    const std::size_t end = end_without_trailing_slashes(path);
    const std::size_t slash = path.rfind('/', end - 1);
    if (slash == std::string::npos)
        return {};
    if (slash == 0)
        return "/";
    return path.substr(0, slash);
}

bool is_at_or_under(const std::string& path, const std::string& folder) {
    const std::size_t end = end_without_trailing_slashes(folder);
    if (end == 0)
        return false;
    if (folder[0] == '/' && end == 1)
        return !path.empty() && path[0] == '/';
    if (path.size() < end || path.compare(0, end, folder, 0, end) != 0)
        return false;
    return path.size() == end || path[end] == '/';
}

std::string join_path(const std::string& dir, const std::string& name) {
    if (dir.empty())
        return name;
    if (name.empty())
        return dir;
    if (dir.back() == '/')
        return dir + name;
    return dir + "/" + name;
}

int hex_digit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

std::string extension_of(const std::string& name) {
    const std::size_t dot = name.rfind('.');
    if (dot == std::string::npos || dot == 0 || dot + 1 == name.size())
        return {};
    return lower_ascii(name.substr(dot + 1));
}

std::string truncate_utf8(const std::string& s, std::size_t max_bytes) {
    if (max_bytes >= s.size())
        return s;
    std::size_t cut = max_bytes;
    while (cut > 0 && is_continuation(static_cast<unsigned char>(s[cut])))
        --cut;
    return s.substr(0, cut);
}

bool is_valid_utf8(const std::string& s) {
    for (std::size_t i = 0; i < s.size();) {
        const std::size_t n = valid_sequence_at(s, i);
        if (n == 0)
            return false;
        i += n;
    }
    return true;
}

std::string sanitize_utf8(const std::string& s) {
    if (is_valid_utf8(s))
        return s;
    std::string out;
    out.reserve(s.size() + 8);
    for (std::size_t i = 0; i < s.size();) {
        const std::size_t n = valid_sequence_at(s, i);
        if (n == 0) {
            out += "\xEF\xBF\xBD";
            ++i;
        } else {
            out.append(s, i, n);
            i += n;
        }
    }
    return out;
}

std::string printable(const std::string& s) {
    std::string out = sanitize_utf8(s);
    for (char& c : out) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f)
            c = '?';
    }
    return out;
}

}  // namespace su
