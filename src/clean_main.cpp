// brushwick-clean — scans like brushwick-scan, prints what it would delete,
// and deletes it for good only with --yes or after the user typed "yes" on a
// terminal. Every entry goes through the same checks as in the window: the
// guard, the keep-list, the in-use check and the identity the scan saw.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <ctime>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "base/settings.h"
#include "base/strutil.h"
#include "engine/catalog.h"
#include "engine/category_scan.h"
#include "engine/clean_plan.h"
#include "engine/deletion.h"
#include "engine/in_use.h"

namespace {

// --- Progress ---

// One line on standard error, rewritten in place; silent when standard error
// is no terminal, so that logs and pipes get no carriage returns.
class Progress {
public:
    Progress() : m_on(::isatty(STDERR_FILENO) == 1) {}

    void show(const std::string& text) {
        if (!m_on)
            return;
        // Erase to the end of the line: a shorter text must not leave the
        // tail of a longer one behind.
        std::fprintf(stderr, "\r%s\033[K", text.c_str());
        std::fflush(stderr);
        m_shown = true;
    }
    void clear() {
        if (m_on && m_shown)
            std::fputs("\r\033[K", stderr);
        m_shown = false;
    }

private:
    bool m_on;
    bool m_shown = false;
};

// --- Steps ---

void usage_error(const std::string& message) {
    std::fprintf(stderr, "brushwick-clean: %s\nTry 'brushwick-clean --help'.\n", message.c_str());
}

bool is_folder(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// The whole catalog scanned, with the row being scanned on the progress line.
std::vector<CatState> scan(const std::vector<CategoryDef>& defs,
                           const std::vector<std::string>& kept, Progress& progress) {
    std::vector<CatState> cats =
        category_scan::scan_catalog(defs, kept, nullptr, [&](std::size_t i) {
            progress.show("Scanning " + std::to_string(i + 1) + "/" + std::to_string(defs.size()) +
                          ": " + defs[i].id);
        });
    progress.clear();
    return cats;
}

// Asks on a terminal; true only when the user typed "yes".
bool confirmed(const clean_plan::Plan& plan) {
    const std::size_t n = plan.entries.size();
    if (n == 1)
        std::fputs("Delete this entry for good? Type 'yes' to delete: ", stderr);
    else
        std::fprintf(stderr, "Delete these %zu entries for good? Type 'yes' to delete: ", n);
    std::fflush(stderr);
    std::string answer;
    if (!std::getline(std::cin, answer))
        return false;
    return answer == "yes";
}

// One entry at a time, so that the progress line can name it. The processes
// are looked at once for the whole plan, as the window does for a batch: a
// look at /proc for every entry took far longer than deleting small entries.
// An entry found in use goes through the full check, which looks again and
// reports the process.
deletion::DeleteResult delete_plan(const clean_plan::Plan& plan,
                                   const std::vector<std::string>& kept, Progress& progress) {
    deletion::DeleteResult all = clean_plan::refusals(plan);
    const std::vector<deletion::Target> targets = plan.targets();
    std::vector<std::string> paths;
    for (const deletion::Target& t : targets)
        paths.push_back(t.path);
    const std::vector<std::optional<in_use::User>> users = in_use::find_users(paths);
    for (std::size_t i = 0; i < targets.size(); ++i) {
        progress.show("Deleting " + std::to_string(i + 1) + "/" + std::to_string(targets.size()) +
                      ": " + su::printable(targets[i].path));
        const bool in_use = i < users.size() && users[i].has_value();
        clean_plan::merge(all, deletion::delete_checked({targets[i]}, {kept, in_use}));
    }
    progress.clear();
    return all;
}

// Writes to standard output; false, said on standard error, when it cannot
// (a closed pipe, a full disk): a script must not take a cut report as whole.
bool print(const std::string& text) {
    if (std::fwrite(text.data(), 1, text.size(), stdout) == text.size() && std::fflush(stdout) == 0)
        return true;
    std::fputs("brushwick-clean: cannot write the report\n", stderr);
    return false;
}

void print_failures(const deletion::DeleteResult& result) {
    for (std::size_t i = 0; i < result.failed.size(); ++i)
        std::fprintf(stderr, "brushwick-clean: %s: %s\n", su::printable(result.failed[i]).c_str(),
                     clean_plan::reason(result, i).c_str());
}

// After the options are read: scan, plan, ask, delete, report.
int run(const clean_plan::Options& opt) {
    if (!opt.projects.empty())
        catalog::set_projects_root(opt.projects);
    SettingsStore::instance().load();
    const std::vector<std::string> kept = SettingsStore::instance().get().kept;
    const std::vector<CategoryDef> defs = catalog::current(nullptr);
    std::vector<std::string> ids;
    for (const CategoryDef& d : defs)
        ids.push_back(d.id);
    if (const std::string bad = clean_plan::unknown_category(opt, ids); !bad.empty()) {
        usage_error(bad);
        return 2;
    }

    Progress progress;
    const std::vector<CatState> cats = scan(defs, kept, progress);
    const std::time_t now = std::time(nullptr);
    const clean_plan::Plan plan = clean_plan::make(cats, opt, now);
    if (!plan.not_found.empty()) {
        usage_error(su::printable(plan.not_found.front()) + " is no entry the scan found");
        return 2;
    }
    if (!opt.json && !print(clean_plan::plan_text(plan, now)))
        return 1;

    const bool go =
        !plan.entries.empty() && (opt.yes || (::isatty(STDIN_FILENO) == 1 && confirmed(plan)));
    if (!go) {
        print_failures(clean_plan::refusals(plan));
        const std::string text = opt.json ? clean_plan::json(plan, nullptr)
                                 : plan.entries.empty()
                                     ? std::string()
                                     : "Nothing deleted (add --yes to delete).\n";
        return print(text) ? clean_plan::exit_status(plan, nullptr) : 1;
    }
    const deletion::DeleteResult result = delete_plan(plan, kept, progress);
    print_failures(result);
    const bool written =
        print(opt.json ? clean_plan::json(plan, &result) : clean_plan::result_text(plan, result));
    return written ? clean_plan::exit_status(plan, &result) : 1;
}

}  // namespace

int main(int argc, char** argv) {
    clean_plan::Options opt;
    std::string error;
    if (!clean_plan::parse(std::vector<std::string>(argv + 1, argv + argc), opt, error)) {
        usage_error(error);
        return 2;
    }
    if (opt.help)
        return print(clean_plan::kUsage) ? 0 : 1;
    if (!opt.projects.empty() && !is_folder(opt.projects)) {
        usage_error("no such folder: " + opt.projects);
        return 2;
    }
    return run(opt);
}
