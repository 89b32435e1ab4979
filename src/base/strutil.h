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

// Structural UTF-8 check: lead bytes announce 1–4 byte sequences that must fit
// and consist of continuation bytes. Overlong forms and surrogates pass — this
// guards rendering and JSON output, not code-point semantics.
bool is_valid_utf8(const std::string& s);

// s when valid; otherwise each byte that breaks the sequence rules becomes
// U+FFFD (so a truncated sequence yields one U+FFFD per byte).
std::string sanitize_utf8(const std::string& s);

}  // namespace su
