// category_scan — turns one catalog row into the measured, marked and sorted
// items that the application shows and that brushwick-scan prints: list the
// row under a deadline, make one Item per entry, mark the newest version where
// the row keeps one, measure the entries in parallel under a deadline each, and
// sort them largest first.
//
// It never deletes and never takes an application lock: the caller fills a
// private CatState and publishes it itself.
//
// Threads: fill() and a Session belong to one thread at a time (the scan
// worker); fill() starts its own measuring threads and joins them before it
// returns. version_less() and the CatState queries are pure.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <ctime>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "engine/catalog.h"
#include "engine/scanner.h"

// One cleanable filesystem entry, shown as one row.
struct Item {
    std::string path;                        // display path of the entry
    std::string name;                        // the name shown on the row
    std::string detail;                      // the scanner's second line, or why deleting failed
    std::time_t modified = 0;                // raised to the newest time inside once measured
    std::uint64_t dev = 0;                   // device and inode the scan saw (0, 0: not known),
    std::uint64_t ino = 0;                   // checked again before deletion
    std::string project;                     // a project's leftover: the project's folder
    std::time_t activity = 0;                // ...and when the project last changed; 0: unknown
    bool kept = false;                       // on the user's keep-list: never ticked nor deleted
    std::int64_t size = -1;                  // allocated bytes; -1 until measured, or unknown
    bool size_known = false;                 // measured to the end: size is exact
    bool not_answering = false;              // its filesystem did not answer: size unknown
    SafetyLevel safety = SafetyLevel::Safe;  // the category's, Risky for the kept newest version
    bool keep_hint = false;                  // the newest version of a category that keeps one
    bool selected = false;                   // ticked for deletion by the user

    // The time the entry's age is counted from: a project leftover is as old
    // as the user's last work on its project, anything else as its last change.
    std::time_t age_from() const { return activity > 0 ? activity : modified; }
};

// One category of the catalog and what its scan found.
struct CatState {
    CategoryDef def;             // a copy of the catalog row
    std::vector<Item> items;     // the entries found, largest first
    bool scanning = false;       // being scanned now
    bool did_scan = false;       // a scan of it has been published
    bool not_answering = false;  // its folder did not answer: the items, if any, are partial
    bool list_partial = false;   // the listing was cut short: more entries may exist

    // Sum of the sizes greater than 0: unmeasured (-1) and empty items add nothing.
    std::int64_t total_size() const;

    // total_size() undercounts: a published scan with an unknown size, or a
    // listing that did not end. A category still unscanned is not partial.
    bool partial() const;
};

namespace category_scan {

// Deadline of one category listing and of one measured entry.
inline constexpr double kListSeconds = 120.0;
inline constexpr double kMeasureSeconds = 45.0;
// Most measuring threads per category, and their nice value.
inline constexpr int kMaxMeasureThreads = 6;
inline constexpr int kMeasureNice = 10;

// Version order of names: runs of digits compare as numbers (leading zeros
// ignored), other bytes as signed chars; when one name is a prefix of the
// other in this sense, the shorter remainder is smaller. "17.0.2" < "17.0.10".
bool version_less(const std::string& a, const std::string& b);

// One scan's shared work. The project search walks the projects folder once
// for every Recursive row and keeps the lists for the rows asked for later in
// the same scan; create a new Session for every scan so that a rescan walks
// anew.
class Session {
public:
    // catalog: the rows of this scan (a copy is kept; the live catalog is
    // never read afterwards).
    explicit Session(std::vector<CategoryDef> catalog);

    // The entries of def, listed under the listing deadline.
    scanner::Listed list(const CategoryDef& def, const std::atomic<bool>* cancel);
    // What the project search leaves alone; its claimed names are the
    // leftovers that do not count as work on a project.
    const scanner::ProjectScope& scope() const { return m_scope; }

private:
    std::vector<CategoryDef> m_catalog;
    scanner::ProjectScope m_scope;
    std::map<std::string, scanner::Listed> m_projects;  // by row id
};

// Fills cat.items from cat.def: list, build items, mark the newest version,
// measure (up to kMaxMeasureThreads threads at nice kMeasureNice, one entry at
// a time through a shared counter) and find each project leftover's project
// activity, sort largest first. Cancellation stops
// the measuring threads from taking further entries, which keep size -1; an
// entry cut short by the cancel or its deadline keeps size -1 too.
void fill(CatState& cat, Session& session, const std::atomic<bool>* cancel);

// Every row of defs scanned in order in one Session, on the calling thread,
// published as done, with the keep-list applied (mark_kept). before_each,
// when set, is called with each row's index before it is scanned (a
// terminal's progress line).
std::vector<CatState> scan_catalog(const std::vector<CategoryDef>& defs,
                                   const std::vector<std::string>& kept,
                                   const std::atomic<bool>* cancel,
                                   const std::function<void(std::size_t)>& before_each = {});

// Marks every item the keep-list keeps (deletion_guard::kept_by) and unticks
// it; clears the mark of the others.
void mark_kept(std::vector<Item>& items, const std::vector<std::string>& kept);

// --- Steps of fill, open to tests ---

// Marks the item with the greatest name in version order (the first of equal
// ones) Risky with keep_hint.
void mark_newest(std::vector<Item>& items);

// The tool an entry's name belongs to: the name without its version, which
// starts at "@" or at a run of digits after "-", "_" or "-v" that ends the name
// or goes on with "." and a digit. "toolchain-gccarmnoneeabi@1.90301.0" and
// "kotlin-native-prebuilt-linux-x86_64-1.9.22" give "toolchain-gccarmnoneeabi"
// and "kotlin-native-prebuilt-linux-x86_64"; a name without a version is its
// own tool.
std::string tool_of(const std::string& name);

// As mark_newest, once per tool (tool_of) among the items: a row of several
// tools keeps the newest version of each of them.
void mark_newest_per_tool(std::vector<Item>& items);

// Measuring threads for this many items: at least 1, at most kMaxMeasureThreads.
int measuring_threads(std::size_t items);

}  // namespace category_scan
