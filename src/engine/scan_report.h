// scan_report — the text brushwick-scan prints for a finished scan: a table
// for people and a JSON document for scripts.
//
// Every text taken from the filesystem is made valid UTF-8 first (a byte that
// breaks the encoding becomes U+FFFD), so the JSON stays valid and the table
// prints whatever the names hold. Nothing here reads the filesystem or the
// clock; "now" is passed in.
//
// Threads: any thread; pure functions.
#pragma once

#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

#include "engine/category_scan.h"

namespace scan_report {

// "safe", "caution" or "risky"; "unknown" outside the enumeration.
const char* safety_key(SafetyLevel s);

// s as a JSON string literal, quotes included: valid UTF-8, with quotes,
// backslashes and control characters escaped.
std::string json_string(const std::string& s);

// The whole scan as one JSON object:
// {"home", "projects_root", "categories": [{"id", "group", "title", "path",
//  "safety", "total", "partial", "not_answering", "entries": [{"path", "name",
//  "detail", "size", "safety", "keep_newest", "kept", "modified",
//  "project_changed"}]}]}, one category per state, in the given order; "size"
// is null when it is unknown, "project_changed" when the entry is no project's
// leftover or its project could not be read.
std::string json(const std::string& home, const std::string& projects_root,
                 const std::vector<CatState>& cats);

// A size for people, base 1024: "512 B", "4 KB", "1.50 MB"; "?" for -1.
std::string size_text(std::int64_t bytes);

// How long before now the time lies: "now", "5 min", "3 h", "3 d", "2 w",
// "5 mo", "2 y"; "" for 0.
std::string age_text(std::time_t modified, std::time_t now);

// A table with one line per entry (group, category, entry, size, safety, age),
// categories in the given order and their entries in item order, followed by
// the total (marked partial when a size is unknown), the number of categories
// without entries and the categories whose folder did not answer.
std::string table(const std::vector<CatState>& cats, std::time_t now);

}  // namespace scan_report
