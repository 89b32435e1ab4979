// clean_plan — options, the choice of entries, and the texts of brushwick-clean.
//
// Sections: Options, Plan, Outcome, Printing.
#include "engine/clean_plan.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <limits>

#include "base/strutil.h"
#include "engine/deletion_guard.h"
#include "engine/scan_report.h"

namespace {

constexpr std::time_t kDay = 86400;

// --- Options ---

bool parse_count(const std::string& text, std::int64_t limit, std::int64_t& value) {
    if (text.empty())
        return false;
    value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9')
            return false;
        const int digit = c - '0';
        if (value > (limit - digit) / 10)
            return false;
        value = value * 10 + digit;
    }
    return true;
}

bool parse_safety(const std::string& text, SafetyLevel& level) {
    for (const SafetyLevel s : {SafetyLevel::Safe, SafetyLevel::Caution, SafetyLevel::Risky}) {
        if (text == scan_report::safety_key(s)) {
            level = s;
            return true;
        }
    }
    return false;
}

// The value of an option given as "--name VALUE" or "--name=VALUE"; false
// when arg is not that option. A missing value is a mistake, told in error.
bool take_value(const std::vector<std::string>& args, std::size_t& i, const std::string& name,
                std::string& value, std::string& error) {
    const std::string& a = args[i];
    if (a.rfind(name + "=", 0) == 0) {
        value = a.substr(name.size() + 1);
        return true;
    }
    if (a != name)
        return false;
    if (i + 1 >= args.size()) {
        error = name + " needs a value";
        return true;
    }
    value = args[++i];
    return true;
}

// Applies one option that takes a value; false with error set when the
// value is bad.
bool apply_value(const std::string& name, const std::string& value, clean_plan::Options& opt,
                 std::string& error) {
    if (name == "--category") {
        opt.categories.push_back(value);
    } else if (name == "--safety") {
        if (!parse_safety(value, opt.safety))
            error = "--safety must be safe, caution or risky, not '" + value + "'";
    } else if (name == "--older-than") {
        std::int64_t days = 0;
        const std::int64_t most = std::min<std::int64_t>(
            std::numeric_limits<int>::max(), std::numeric_limits<std::time_t>::max() / kDay);
        if (!parse_count(value, most, days))
            error = "--older-than needs a whole number of days, not '" + value + "'";
        opt.older_than_days = static_cast<int>(days);
    } else if (name == "--min-size") {
        if (!clean_plan::parse_size(value, opt.min_size))
            error = "--min-size needs a size such as 500M or 2G, not '" + value + "'";
    } else if (name == "--projects") {
        if (value.empty() || value[0] != '/')
            error = "--projects needs an absolute path, not '" + value + "'";
        opt.projects = value;
    } else {
        // The scan lists absolute paths without a trailing slash; a path
        // typed with one still names the same entry.
        std::string path = value;
        while (path.size() > 1 && path.back() == '/')
            path.pop_back();
        if (path.empty() || path[0] != '/')
            error = "--path needs an absolute path, not '" + value + "'";
        opt.paths.push_back(path);
    }
    return error.empty();
}

constexpr const char* kValueOptions[] = {"--category", "--safety",   "--older-than",
                                         "--min-size", "--projects", "--path"};

// --- Plan ---

bool wanted_category(const clean_plan::Options& opt, const std::string& id) {
    return opt.categories.empty() ||
           std::find(opt.categories.begin(), opt.categories.end(), id) != opt.categories.end();
}

// Whether the filters pick it; the kept mark is judged by the caller.
bool matches_filters(const Item& it, const clean_plan::Options& opt, std::time_t now) {
    if (it.keep_hint || it.size < 0 || !it.size_known)
        return false;
    if (static_cast<int>(it.safety) > static_cast<int>(opt.safety) || it.size < opt.min_size)
        return false;
    if (opt.older_than_days < 0)
        return true;
    const std::time_t from = it.age_from();
    return from > 0 && now - from >= static_cast<std::time_t>(opt.older_than_days) * kDay;
}

// --- Printing ---

std::string failed_json(const std::string& path, const std::string& why) {
    return "{\"path\": " + scan_report::json_string(path) +
           ", \"reason\": " + scan_report::json_string(why) + "}";
}

std::string result_json(const deletion::DeleteResult& r) {
    std::string out = "{\"deleted\": [";
    for (std::size_t i = 0; i < r.deleted.size(); ++i)
        out += (i ? ", " : "") + scan_report::json_string(r.deleted[i]);
    out += "], \"failed\": [";
    for (std::size_t i = 0; i < r.failed.size(); ++i)
        out += (i ? ", " : "") + failed_json(r.failed[i], clean_plan::reason(r, i));
    out += "], \"space\": [";
    for (std::size_t i = 0; i < r.space.size(); ++i) {
        const deletion::FreeSpace& s = r.space[i];
        out += (i ? ", " : "") + std::string("{\"mount_point\": ") +
               scan_report::json_string(s.mount_point) +
               ", \"before\": " + std::to_string(s.before) +
               ", \"after\": " + std::to_string(s.after) + "}";
    }
    return out + "]}";
}

// The columns of a plan line before the path (size, age, safety, category),
// all ASCII; only the size is right-aligned.
constexpr std::size_t kColumns = 4;
using Cells = std::array<std::string, kColumns>;

Cells cells_of(const clean_plan::Entry& e, std::time_t now) {
    const std::string age = scan_report::age_text(e.item.age_from(), now);
    return {scan_report::size_text(e.item.size), age.empty() ? "?" : age,
            scan_report::safety_key(e.item.safety), e.category};
}

// One line per entry: the columns aligned, the path last, where its length
// and its characters cannot shift the others.
std::string entry_lines(const std::vector<clean_plan::Entry>& entries, std::time_t now) {
    std::vector<Cells> rows;
    std::array<std::size_t, kColumns> widths{};
    for (const clean_plan::Entry& e : entries) {
        rows.push_back(cells_of(e, now));
        for (std::size_t c = 0; c < kColumns; ++c)
            widths[c] = std::max(widths[c], rows.back()[c].size());
    }
    std::string out;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        for (std::size_t c = 0; c < kColumns; ++c) {
            const std::string& cell = rows[i][c];
            const std::string fill(widths[c] - cell.size(), ' ');
            out += (c == 0 ? fill + cell : cell + fill) + "  ";
        }
        out += su::printable(entries[i].item.path) + "\n";
    }
    return out;
}

}  // namespace

namespace clean_plan {

// --- Options ---

const char* const kUsage =
    "Usage: brushwick-clean [OPTION]...\n"
    "\n"
    "Scans your home like brushwick-scan, prints what it would delete, and deletes\n"
    "it for good with --yes or after you type 'yes' at the question on a terminal.\n"
    "Without either, nothing is deleted.\n"
    "\n"
    "  --category ID      only entries of this catalog row (repeatable; the ids are\n"
    "                     those brushwick-scan --json prints)\n"
    "  --safety LEVEL     entries up to LEVEL: safe (the default), caution or risky\n"
    "  --older-than DAYS  only entries unused for at least DAYS days (a project's\n"
    "                     leftovers count from the project's last change)\n"
    "  --min-size SIZE    only entries of at least SIZE bytes; K, M, G and T\n"
    "                     multiply by 1024, 1024^2, ...\n"
    "  --path PATH        the entry at PATH, as the scan lists it (repeatable);\n"
    "                     replaces the filters above and also takes the newest\n"
    "                     version a row keeps and entries of unknown size\n"
    "  --projects DIR     search DIR for project folders instead of the home\n"
    "  --yes              delete without asking\n"
    "  --json             print the plan and the result as one JSON object\n"
    "  -h, --help         show this help\n"
    "\n"
    "Never deleted: entries on the keep-list of the Brushwick app, entries a\n"
    "running program of yours is using, entries changed since the scan, and\n"
    "protected locations. Exit status: 0 when everything planned was removed (or\n"
    "nothing was to be), 1 when something was refused or failed, 2 for a mistake\n"
    "in the options.\n";

bool parse(const std::vector<std::string>& args, Options& opt, std::string& error) {
    bool filtered = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--yes" || a == "-y") {
            opt.yes = true;
            continue;
        }
        if (a == "--json") {
            opt.json = true;
            continue;
        }
        if (a == "-h" || a == "--help") {
            opt.help = true;
            continue;
        }
        bool known = false;
        for (const char* name : kValueOptions) {
            std::string value;
            if (!take_value(args, i, name, value, error))
                continue;
            known = true;
            if (!error.empty() || !apply_value(name, value, opt, error))
                return false;
            filtered =
                filtered || (std::string(name) != "--projects" && std::string(name) != "--path");
            break;
        }
        if (!known) {
            error = "unknown option '" + a + "'";
            return false;
        }
    }
    if (filtered && !opt.paths.empty()) {
        error = "--path cannot be combined with --category, --safety, --older-than or --min-size";
        return false;
    }
    return true;
}

bool parse_size(const std::string& text, std::int64_t& bytes) {
    std::string digits = text;
    int shift = 0;
    if (!digits.empty() && !std::isdigit(static_cast<unsigned char>(digits.back()))) {
        const char unit =
            static_cast<char>(std::toupper(static_cast<unsigned char>(digits.back())));
        const std::string units = "KMGT";
        const std::size_t at = units.find(unit);
        if (at == std::string::npos)
            return false;
        shift = 10 * static_cast<int>(at + 1);
        digits.pop_back();
    }
    std::int64_t value = 0;
    if (!parse_count(digits, std::numeric_limits<std::int64_t>::max() >> shift, value))
        return false;
    bytes = value << shift;
    return true;
}

std::string unknown_category(const Options& opt, const std::vector<std::string>& ids) {
    for (const std::string& id : opt.categories) {
        if (std::find(ids.begin(), ids.end(), id) != ids.end())
            continue;
        std::string list;
        for (const std::string& known : ids)
            list += (list.empty() ? "" : ", ") + known;
        return "unknown category '" + id + "'; the categories here are: " + list;
    }
    return {};
}

// --- Plan ---

std::vector<deletion::Target> Plan::targets() const {
    std::vector<deletion::Target> out;
    out.reserve(entries.size());
    for (const Entry& e : entries)
        out.push_back({e.item.path, e.item.dev, e.item.ino});
    return out;
}

Plan make(const std::vector<CatState>& cats, const Options& opt, std::time_t now) {
    Plan plan;
    std::vector<bool> found(opt.paths.size(), false);
    for (const CatState& cat : cats) {
        if (opt.paths.empty() && !wanted_category(opt, cat.def.id))
            continue;
        for (const Item& it : cat.items) {
            bool chosen = false;
            if (opt.paths.empty()) {
                chosen = matches_filters(it, opt, now);
            } else {
                // A path given twice names one entry, planned once.
                for (std::size_t i = 0; i < opt.paths.size(); ++i) {
                    if (opt.paths[i] == it.path)
                        found[i] = chosen = true;
                }
            }
            if (!chosen)
                continue;
            if (it.kept) {
                if (opt.paths.empty())
                    ++plan.kept_left_out;
                else
                    plan.refused.push_back({it, cat.def.id});
                continue;
            }
            plan.entries.push_back({it, cat.def.id});
            plan.total += std::max<std::int64_t>(it.size, 0);
        }
    }
    for (std::size_t i = 0; i < opt.paths.size(); ++i) {
        if (!found[i])
            plan.not_found.push_back(opt.paths[i]);
    }
    return plan;
}

// --- Outcome ---

deletion::DeleteResult refusals(const Plan& plan) {
    deletion::DeleteResult r;
    for (const Entry& e : plan.refused) {
        r.failed.push_back(e.item.path);
        r.failed_reasons.push_back(deletion_guard::kKept);
        r.failed_subjects.emplace_back();
    }
    r.failed_count = static_cast<int>(r.failed.size());
    if (!r.failed.empty())
        r.error = deletion_guard::kKept;
    return r;
}

std::string reason(const deletion::DeleteResult& result, std::size_t i) {
    std::string text = i < result.failed_reasons.size() ? result.failed_reasons[i] : "";
    const std::string subject = i < result.failed_subjects.size() ? result.failed_subjects[i] : "";
    const std::size_t at = text.find("%s");
    if (at != std::string::npos)
        text.replace(at, 2, subject);
    return text;
}

void merge(deletion::DeleteResult& into, const deletion::DeleteResult& batch) {
    into.deleted.insert(into.deleted.end(), batch.deleted.begin(), batch.deleted.end());
    into.failed.insert(into.failed.end(), batch.failed.begin(), batch.failed.end());
    into.failed_reasons.insert(into.failed_reasons.end(), batch.failed_reasons.begin(),
                               batch.failed_reasons.end());
    into.failed_subjects.resize(into.failed_reasons.size() - batch.failed_reasons.size());
    into.failed_subjects.insert(into.failed_subjects.end(), batch.failed_subjects.begin(),
                                batch.failed_subjects.end());
    into.failed_subjects.resize(into.failed_reasons.size());
    into.failed_count = static_cast<int>(into.failed.size());
    if (into.error.empty())
        into.error = batch.error;
    for (const deletion::FreeSpace& s : batch.space) {
        const auto same = [&](const deletion::FreeSpace& o) {
            return o.mount_point == s.mount_point;
        };
        const auto it = std::find_if(into.space.begin(), into.space.end(), same);
        if (it == into.space.end())
            into.space.push_back(s);
        else
            it->after = s.after;
    }
}

int exit_status(const Plan& plan, const deletion::DeleteResult* result) {
    if (!plan.refused.empty())
        return 1;
    return result && !result->failed.empty() ? 1 : 0;
}

// --- Printing ---

std::string plan_text(const Plan& plan, std::time_t now) {
    std::string out = entry_lines(plan.entries, now);
    for (const Entry& e : plan.refused)
        out += "refused: " + su::printable(e.item.path) + ": " + deletion_guard::kKept + "\n";
    if (plan.kept_left_out > 0)
        out += std::to_string(plan.kept_left_out) + " kept " +
               (plan.kept_left_out == 1 ? "entry" : "entries") + " left alone\n";
    out += "Total: " + scan_report::size_text(plan.total) + " in " +
           std::to_string(plan.entries.size()) +
           (plan.entries.size() == 1 ? " entry" : " entries") + "\n";
    return out;
}

std::string result_text(const Plan& plan, const deletion::DeleteResult& result) {
    std::int64_t freed = 0;
    for (const Entry& e : plan.entries) {
        if (std::find(result.deleted.begin(), result.deleted.end(), e.item.path) !=
            result.deleted.end())
            freed += std::max<std::int64_t>(e.item.size, 0);
    }
    std::string out = "Deleted " + std::to_string(result.deleted.size()) + " of " +
                      std::to_string(plan.entries.size()) + ", freed " +
                      scan_report::size_text(freed) + "\n";
    for (const deletion::FreeSpace& s : result.space) {
        const std::string where =
            s.mount_point.empty() ? "(unknown filesystem)" : su::printable(s.mount_point);
        // The difference too: a few kilobytes vanish in the rounding of gigabytes.
        const bool gained = s.after >= s.before;
        const std::uint64_t change = gained ? s.after - s.before : s.before - s.after;
        out += "Free on " + where + ": " +
               scan_report::size_text(static_cast<std::int64_t>(s.before)) + " -> " +
               scan_report::size_text(static_cast<std::int64_t>(s.after)) + " (" +
               (gained ? "+" : "-") + scan_report::size_text(static_cast<std::int64_t>(change)) +
               ")\n";
    }
    return out;
}

std::string json(const Plan& plan, const deletion::DeleteResult* result) {
    std::string out = "{\"plan\": [";
    for (std::size_t i = 0; i < plan.entries.size(); ++i) {
        const Item& it = plan.entries[i].item;
        out +=
            std::string(i ? ",\n  " : "\n  ") + "{\"path\": " + scan_report::json_string(it.path) +
            ", \"category\": " + scan_report::json_string(plan.entries[i].category) +
            ", \"size\": " + (it.size < 0 ? std::string("null") : std::to_string(it.size)) +
            ", \"age_from\": " + std::to_string(static_cast<long long>(it.age_from())) +
            ", \"safety\": " + scan_report::json_string(scan_report::safety_key(it.safety)) + "}";
    }
    out += "],\n \"total\": " + std::to_string(plan.total) + ",\n \"refused\": [";
    for (std::size_t i = 0; i < plan.refused.size(); ++i)
        out += (i ? ", " : "") + failed_json(plan.refused[i].item.path, deletion_guard::kKept);
    out += "],\n \"result\": " + (result ? result_json(*result) : std::string("null"));
    return out + "}\n";
}

}  // namespace clean_plan
