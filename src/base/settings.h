// settings — the user's preferences (language, theme, projects folder,
// file-manager command, the keep-list) and the small JSON-shaped file that
// keeps them, config_dir() + "/settings.json".
//
// The file is written in a fixed key order to a temporary name and renamed over
// the old one, so a reader sees the old file or the whole new one. Values are
// written with JSON string escaping and read back unescaped; files of older
// versions, which never contain escapes, read as before. The reader is tolerant:
// a value that is missing, malformed or fails its check leaves the field as it
// was, and a broken, huge or binary file gives the defaults. Text inside a value
// is never taken for a key, and a key that appears twice counts as missing.
//
// Never throws, never logs: load keeps what it cannot use, save answers false.
//
// Threads: main thread only; the store has no lock. The helpers of
// settings_util are pure or touch only the files they are given, and may be
// called from any thread.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The user's preferences, with the defaults of a first start.
struct Settings {
    std::string language = "auto";     // "auto" (follow the session) or a language code
    std::string theme = "light";       // "auto" (follow the desktop), "light" or "dark"
    std::string projects_root;         // absolute folder searched for build output; empty = home
    std::string file_manager_command;  // the user's command for revealing files; empty = default
    // Folders never to delete, with everything under them: absolute, valid
    // UTF-8, each once, in the order the user added them.
    std::vector<std::string> kept;
    int older_than_days = 90;  // the age last chosen for "Safe ones older than …"
};

class SettingsStore {
public:
    // The store of the process, created with the defaults on first use.
    static SettingsStore& instance();

    // A store holding the defaults; the program uses instance(), tests their own.
    SettingsStore() = default;

    const Settings& get() const { return m_settings; }
    // Callers change fields directly and then call save().
    Settings& mutable_get() { return m_settings; }

    // Takes from path() every value that passes its check; keeps the rest.
    void load();
    // Writes every field to path(); false when nothing was written (the old file,
    // if any, is then untouched). A command that fails
    // valid_file_manager_command and a projects folder that
    // projects_root_refusal rejects are written as empty.
    bool save() const;
    // config_dir() + "/settings.json"; creates the configuration folder.
    std::string path() const;

private:
    Settings m_settings;
};

namespace settings_util {

// A settings or geometry file larger than this is not one this program wrote;
// it is ignored like a missing one.
inline constexpr std::size_t kMaxFileSize = 1 << 20;

// The longest file-manager command kept, in bytes; the settings field stops
// taking characters there.
inline constexpr std::size_t kMaxCommandBytes = 300;

// True for a file-manager command the program may store and run: 1 to 300
// bytes, no byte below 0x20, no 0x7F, no double quote or backslash (UTF-8 is
// fine), and not only spaces and tabs.
bool valid_file_manager_command(const std::string& cmd);

// Why a chosen projects folder cannot be stored, as an English text for the
// caller to show; null when it can (the empty path, meaning the home, included).
// Refused: a relative path, and a path that is not valid UTF-8 (the file is
// UTF-8 text, and a mangled path would name another folder).
const char* projects_root_refusal(const std::string& path);

// The most kept folders stored; more are not the hand-made list it is meant for.
inline constexpr std::size_t kMaxKept = 1000;

// The ages "Safe ones older than …" offers, in days; older_than_days is one.
inline constexpr int kAgeChoices[] = {30, 90, 180, 365};

// The file text save() writes for s: eight lines, keys in fixed order, the
// keep-list as one array of strings.
std::string to_text(const Settings& s);

// Applies to s every value of content that passes its check (see load()).
// Of the keep-list, folders that are not storable (relative, not UTF-8) and
// repeats are dropped.
void apply_text(const std::string& content, Settings& s);

// Adds folder to the keep-list; false when it is not storable, already there,
// or the list is full.
bool add_kept(Settings& s, const std::string& folder);

// --- JSON-shaped files, shared with the window geometry ---

// s as the inside of a JSON string: '"' and '\' escaped, bytes below 0x20 and
// 0x7F as \u00XX; everything else, UTF-8 included, as it is.
std::string json_escape(const std::string& s);

// The inverse of json_escape for any JSON escape (\" \\ \/ \b \f \n \r \t
// \uXXXX, surrogate pairs included); nullopt for a malformed escape, a lone
// surrogate or \u0000.
std::optional<std::string> json_unescape(std::string_view raw);

// The position just after the colon that follows key, written as a quoted
// string that is followed by optional whitespace and ':'. Every quoted string is
// skipped whole, so text inside a value never matches. nullopt when the key is
// absent or appears more than once (then it cannot be told which is meant).
std::optional<std::size_t> value_position(std::string_view content, std::string_view key);

// The text between the quotes of key's value, still escaped; nullopt when
// value_position fails or the value (after whitespace) is not a closed string.
std::optional<std::string_view> raw_string_value(std::string_view content, std::string_view key);

// The strings of key's value, an array of strings, unescaped; nullopt when the
// key fails value_position, or the value is not a closed array of strings
// or holds a malformed escape.
std::optional<std::vector<std::string>> string_array_value(std::string_view content,
                                                           std::string_view key);

// Writes text to path + ".tmp" (created afresh, mode 0600, links not followed),
// flushes it to disk and renames it over path. False on any failure, after
// which path is untouched and no ".tmp" is left behind.
bool write_file_atomically(const std::string& path, const std::string& text);

}  // namespace settings_util
