// clean_plan — the decisions of brushwick-clean that need no process: reading
// its options, choosing from a finished scan the entries to delete, and the
// texts it prints for the plan and for the outcome of the deletion.
//
// It never touches the filesystem, never deletes and never reads the clock
// ("now" is passed in). The entries it plans still go through every check of
// deletion::delete_checked; choosing here only narrows what is asked for.
//
// Threads: any thread; pure functions.
#pragma once

#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

#include "engine/category_scan.h"
#include "engine/deletion.h"

namespace clean_plan {

// What the command line asks for.
struct Options {
    std::vector<std::string> categories;     // catalog ids to take entries from; empty: all
    SafetyLevel safety = SafetyLevel::Safe;  // entries up to this level are planned
    int older_than_days = -1;                // age_from() at least this many days ago; -1: any
    std::int64_t min_size = 0;               // entries smaller than this many bytes stay
    std::string projects;                    // the projects folder; empty: the home
    std::vector<std::string> paths;          // entries asked for by path, instead of the filters
    bool yes = false;                        // delete without asking
    bool json = false;                       // print JSON for scripts instead of text
    bool help = false;                       // print the usage and stop
};

// The usage text printed by --help.
extern const char* const kUsage;

// Reads argv (without the program name) into opt; on a mistake returns false
// with a sentence for the user in error. Category ids are checked later,
// against the catalog of this machine (unknown_category).
bool parse(const std::vector<std::string>& args, Options& opt, std::string& error);

// Bytes from "123", "4K", "10M", "2G", "1T" (base 1024, case-insensitive);
// false for anything else, negatives and what does not fit.
bool parse_size(const std::string& text, std::int64_t& bytes);

// The first id of opt.categories not among ids, with the valid ids listed, in
// a sentence for the user; empty when all are known.
std::string unknown_category(const Options& opt, const std::vector<std::string>& ids);

// One entry to delete and the row it came from.
struct Entry {
    Item item;             // as the scan saw it
    std::string category;  // the catalog id of its row
};

// What a run will delete, chosen from a scan.
struct Plan {
    std::vector<Entry> entries;          // to delete, in catalog and then item order
    std::vector<Entry> refused;          // asked for by path but on the keep-list
    std::vector<std::string> not_found;  // paths asked for that the scan did not find
    int kept_left_out = 0;               // kept entries the filters matched and left alone
    std::int64_t total = 0;              // bytes of the entries

    // The targets for deletion::delete_checked, with the identity the scan saw.
    std::vector<deletion::Target> targets() const;
};

// The plan for opt out of cats. With opt.paths exactly the entries at those
// paths, whatever their size, age, safety or newest-version mark; otherwise
// the entries of the chosen categories up to opt.safety, old and large
// enough, except the newest version a row keeps and entries of unknown size.
// Kept entries are never planned.
Plan make(const std::vector<CatState>& cats, const Options& opt, std::time_t now);

// The refused entries as a deletion's failures, for a run's result to start from.
deletion::DeleteResult refusals(const Plan& plan);

// The reason for result.failed[i] as the user reads it: "In use by code (4711)".
std::string reason(const deletion::DeleteResult& result, std::size_t i);

// Adds one batch's outcome to a run's: lists appended, and each filesystem's
// free space before the run's first batch there and after its last.
void merge(deletion::DeleteResult& into, const deletion::DeleteResult& batch);

// 0 when every planned entry went and nothing asked for was refused (a dry
// run without refusals too: result is null), 1 otherwise. Paths not found are
// the caller's to judge before anything runs.
int exit_status(const Plan& plan, const deletion::DeleteResult* result);

// --- Printing ---

// One line per entry (size, age, safety and category aligned, the path
// last), the kept entries left alone and the refused ones, then the total.
std::string plan_text(const Plan& plan, std::time_t now);

// What a deletion did: the space freed, by the plan's sizes of the deleted
// entries, and each filesystem's free space before and after.
std::string result_text(const Plan& plan, const deletion::DeleteResult& result);

// {"plan": [{"path", "category", "size", "age_from", "safety"}], "total",
//  "refused": [{"path", "reason"}], "result": null or {"deleted": [paths],
//  "failed": [{"path", "reason"}], "space": [{"mount_point", "before",
//  "after"}]}}; refused entries are in result.failed too.
std::string json(const Plan& plan, const deletion::DeleteResult* result);

}  // namespace clean_plan
