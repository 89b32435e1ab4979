// strutil — byte-string helpers for UTF-8 text and slash-separated paths.
//
// Every function is pure: no locale, no filesystem, no allocation beyond the
// returned string. Paths are byte strings; nothing here normalises them (no
// collapsing of "//", no resolving of "." or ".."), so callers get back exactly
// the bytes they handed in, minus what the function removes.
//
// Threads: any thread may call any function.
#pragma once

#include <cstddef>
#include <string>

namespace su {

// "A"–"Z" mapped to "a"–"z"; every other byte (UTF-8 sequences included) kept.
std::string lower_ascii(std::string s);

// True when the first bytes of s equal prefix; an empty prefix always matches.
bool starts_with(const std::string& s, const std::string& prefix);

// True when the last bytes of s equal suffix.
bool ends_with(const std::string& s, const std::string& suffix);

// The last component of a path, trailing slashes ignored: "/a/b/" -> "b",
// "/" -> "/", "//" -> "" (empty), "" -> "".
std::string basename_of(const std::string& path);

// The path without its last component, trailing slashes ignored: "/a/b" -> "/a",
// "/a" -> "/", "a" -> "", "/" -> "". Runs of "/" before the component are kept
// ("a//b" -> "a/").
std::string parent_of(const std::string& path);

// True when path is folder itself or lies below it, compared by whole
// components: "/a/b" is under "/a" but "/ab" is not; every absolute path is
// under "/". A folder given with trailing slashes means the same folder. An
// empty folder contains nothing.
bool is_at_or_under(const std::string& path, const std::string& folder);

// dir and name joined with exactly one "/" added when dir does not end in one;
// an empty side gives the other. A name starting with "/" is not special.
std::string join_path(const std::string& dir, const std::string& name);

// Value of one hexadecimal digit of either case, or -1. Written out rather
// than taken from isxdigit/strtoul, which follow the locale and accept signs,
// spaces and "0x".
int hex_digit(char c);

// Lower-cased text after the last "." of a file name, or empty for names
// without one, hidden files (".bashrc") and names ending in ".".
std::string extension_of(const std::string& name);

// The longest prefix of s of at most max_bytes bytes that does not end inside a
// UTF-8 sequence; a character that would be split is dropped whole.
std::string truncate_utf8(const std::string& s, std::size_t max_bytes);

// Strict UTF-8 (RFC 3629): no overlong forms (C0 80), no encoded surrogates
// (ED A0 80), nothing past U+10FFFF, no F5–FF. Pango and strict JSON readers
// reject anything looser, so a label or a report line would come out blank or
// unreadable.
bool is_valid_utf8(const std::string& s);

// s when valid; otherwise each byte that does not start a well-formed
// sequence becomes U+FFFD (so a truncated sequence yields one U+FFFD per byte).
std::string sanitize_utf8(const std::string& s);

// s for a terminal: sanitize_utf8(s) with every control character (below
// 0x20, and 0x7F) as "?", so that a name holding a line break or an escape
// sequence cannot break a table or drive the terminal.
std::string printable(const std::string& s);

}  // namespace su
