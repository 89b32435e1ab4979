// brushwick-clean's pure part: reading options and sizes, choosing entries
// from a scan, merging per-entry deletion results, and the printed texts.
#include "engine/clean_plan.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "engine/deletion_guard.h"
#include "engine/scan_report.h"

namespace {

constexpr std::time_t kNow = 1'800'000'000;
constexpr std::time_t kDay = 86400;

std::vector<std::string> paths_of(const clean_plan::Plan& plan) {
    std::vector<std::string> out;
    for (const clean_plan::Entry& e : plan.entries)
        out.push_back(e.item.path);
    return out;
}

Item item(const std::string& path, std::int64_t size, SafetyLevel safety, std::time_t modified) {
    Item it;
    it.path = path;
    it.name = path.substr(path.rfind('/') + 1);
    it.size = size;
    it.size_known = size >= 0;
    it.safety = safety;
    it.modified = modified;
    return it;
}

CatState category(const std::string& id, std::vector<Item> items) {
    CatState c;
    c.def.id = id;
    c.items = std::move(items);
    c.did_scan = true;
    return c;
}

// A scan with one of each kind of entry the plan must judge differently.
std::vector<CatState> sample_scan() {
    Item newest = item("/h/.rustup/toolchains/1.70.0", 5000, SafetyLevel::Risky, kNow);
    newest.keep_hint = true;
    Item kept = item("/h/.cache/pip", 700, SafetyLevel::Safe, kNow);
    kept.kept = true;
    Item old_project = item("/h/code/old/node_modules", 300, SafetyLevel::Safe, kNow);
    old_project.activity = kNow - 40 * kDay;
    return {
        category("npmCache", {item("/h/.npm/_cacache", 4096, SafetyLevel::Safe, kNow - 2 * kDay)}),
        category("pipCache", {kept}),
        category("rustupToolchains",
                 {newest, item("/h/.rustup/toolchains/1.9.0", 3000, SafetyLevel::Caution, kNow)}),
        category("avds", {item("/h/.android/avd/pixel.avd", 9000, SafetyLevel::Risky, kNow)}),
        category("nodeModules",
                 {old_project, item("/h/code/new/node_modules", -1, SafetyLevel::Safe, kNow)}),
    };
}

clean_plan::Options parsed(const std::vector<std::string>& args) {
    clean_plan::Options opt;
    std::string error;
    EXPECT_TRUE(clean_plan::parse(args, opt, error)) << error;
    return opt;
}

// --- Options ---

TEST(CleanOptions, EveryOptionLandsInItsFieldInBothSpellings) {
    const auto opt =
        parsed({"--category", "npmCache", "--category=pipCache", "--safety=caution", "--older-than",
                "30", "--min-size=2M", "--projects", "/src", "-y", "--json"});
    EXPECT_EQ(opt.categories, (std::vector<std::string>{"npmCache", "pipCache"}));
    EXPECT_EQ(opt.safety, SafetyLevel::Caution);
    EXPECT_EQ(opt.older_than_days, 30);
    EXPECT_EQ(opt.min_size, 2 * 1024 * 1024);
    EXPECT_EQ(opt.projects, "/src");
    EXPECT_TRUE(opt.yes);
    EXPECT_TRUE(opt.json);
    const auto defaults = parsed({});
    EXPECT_EQ(defaults.safety, SafetyLevel::Safe);
    EXPECT_EQ(defaults.older_than_days, -1);
    EXPECT_FALSE(defaults.yes);
    EXPECT_EQ(parsed({"--path", "/a", "--path=/b//"}).paths,
              (std::vector<std::string>{"/a", "/b"}));
}

TEST(CleanOptions, MistakesAreRefusedWithTheOffendingText) {
    struct Case {
        std::vector<std::string> args;
        std::string in_error;
    };
    const Case cases[] = {
        {{"--bogus"}, "'--bogus'"},
        {{"yes"}, "'yes'"},
        {{"--category"}, "--category needs a value"},
        {{"--safety", "extreme"}, "'extreme'"},
        {{"--safety", "Safe"}, "'Safe'"},
        {{"--older-than", "-3"}, "'-3'"},
        {{"--older-than", "1.5"}, "'1.5'"},
        {{"--older-than", "99999999999999999999"}, "'99999999999999999999'"},
        {{"--older-than="}, "''"},
        {{"--min-size", "12X"}, "'12X'"},
        {{"--min-size", "-1"}, "'-1'"},
        {{"--projects", "relative/dir"}, "absolute"},
        {{"--path", ""}, "--path needs an absolute path"},
        {{"--path", "code/app/node_modules"}, "'code/app/node_modules'"},
        {{"--path", "/a", "--safety", "risky"}, "cannot be combined"},
        {{"--min-size", "1K", "--path", "/a"}, "cannot be combined"},
    };
    for (const Case& c : cases) {
        clean_plan::Options opt;
        std::string error;
        EXPECT_FALSE(clean_plan::parse(c.args, opt, error)) << c.args[0];
        EXPECT_NE(error.find(c.in_error), std::string::npos) << c.args[0] << ": " << error;
    }
}

TEST(CleanOptions, SizesScaleBy1024AndRejectJunkAndOverflow) {
    const std::pair<const char*, std::int64_t> good[] = {
        {"0", 0},
        {"123", 123},
        {"4K", 4096},
        {"10m", 10LL << 20},
        {"2G", 2LL << 30},
        {"3t", 3LL << 40},
        {"8388607T", 8388607LL << 40},
        {"9223372036854775807", 9223372036854775807LL},
    };
    for (const auto& [text, bytes] : good) {
        std::int64_t got = -7;
        EXPECT_TRUE(clean_plan::parse_size(text, got)) << text;
        EXPECT_EQ(got, bytes) << text;
    }
    for (const char* bad : {"", "K", "-1", "+1", "1.5G", "12X", "1KB", " 1", "8388608T",
                            "9223372036854775808", "18446744073709551616"}) {
        std::int64_t got = 0;
        EXPECT_FALSE(clean_plan::parse_size(bad, got)) << bad;
    }
}

TEST(CleanOptions, AnUnknownCategoryIsNamedWithTheValidIds) {
    const auto opt = parsed({"--category", "npmCache", "--category", "npmcache"});
    const std::string error = clean_plan::unknown_category(opt, {"npmCache", "pipCache"});
    EXPECT_NE(error.find("'npmcache'"), std::string::npos) << error;
    EXPECT_NE(error.find("npmCache, pipCache"), std::string::npos) << error;
    EXPECT_EQ(clean_plan::unknown_category(parsed({"--category", "pipCache"}), {"pipCache"}), "");
}

// --- Plan ---

TEST(CleanPlan, FiltersPickWhatTheyShould) {
    struct Case {
        std::vector<std::string> args;
        std::vector<std::string> planned;
    };
    const Case cases[] = {
        // Safe only by default; never the kept pip cache, the newest toolchain
        // or the unmeasured node_modules.
        {{}, {"/h/.npm/_cacache", "/h/code/old/node_modules"}},
        {{"--safety", "caution"},
         {"/h/.npm/_cacache", "/h/.rustup/toolchains/1.9.0", "/h/code/old/node_modules"}},
        {{"--safety", "risky"},
         {"/h/.npm/_cacache", "/h/.rustup/toolchains/1.9.0", "/h/.android/avd/pixel.avd",
          "/h/code/old/node_modules"}},
        {{"--category", "rustupToolchains", "--safety", "risky"}, {"/h/.rustup/toolchains/1.9.0"}},
        // The project leftover is as old as its project, not as its own change.
        {{"--older-than", "30"}, {"/h/code/old/node_modules"}},
        {{"--older-than", "2"}, {"/h/.npm/_cacache", "/h/code/old/node_modules"}},
        {{"--older-than", "3"}, {"/h/code/old/node_modules"}},
        {{"--min-size", "4K"}, {"/h/.npm/_cacache"}},
        {{"--min-size", "4097"}, {}},
    };
    const auto scan = sample_scan();
    for (const Case& c : cases) {
        const auto plan = clean_plan::make(scan, parsed(c.args), kNow);
        EXPECT_EQ(paths_of(plan), c.planned) << (c.args.empty() ? "defaults" : c.args[0]);
        std::int64_t total = 0;
        for (const auto& e : plan.entries)
            total += e.item.size;
        EXPECT_EQ(plan.total, total);
    }
}

TEST(CleanPlan, KeptEntriesAreCountedNotPlannedAndRefusedWhenAskedByPath) {
    const auto scan = sample_scan();
    const auto filtered = clean_plan::make(scan, parsed({"--category", "pipCache"}), kNow);
    EXPECT_TRUE(filtered.entries.empty());
    EXPECT_EQ(filtered.kept_left_out, 1);
    EXPECT_EQ(clean_plan::exit_status(filtered, nullptr), 0);

    const auto asked = clean_plan::make(scan, parsed({"--path", "/h/.cache/pip"}), kNow);
    EXPECT_TRUE(asked.entries.empty());
    ASSERT_EQ(asked.refused.size(), 1u);
    EXPECT_EQ(asked.refused[0].item.path, "/h/.cache/pip");
    EXPECT_EQ(clean_plan::exit_status(asked, nullptr), 1);
    const auto r = clean_plan::refusals(asked);
    ASSERT_EQ(r.failed, (std::vector<std::string>{"/h/.cache/pip"}));
    EXPECT_EQ(clean_plan::reason(r, 0), deletion_guard::kKept);
}

TEST(CleanPlan, AskingByPathTakesTheNewestVersionAndUnknownSizesOnceEach) {
    const auto plan = clean_plan::make(
        sample_scan(),
        parsed({"--path", "/h/code/new/node_modules", "--path", "/h/.rustup/toolchains/1.70.0",
                "--path", "/h/nowhere", "--path", "/h/code/new/node_modules/"}),
        kNow);
    EXPECT_EQ(paths_of(plan), (std::vector<std::string>{"/h/.rustup/toolchains/1.70.0",
                                                        "/h/code/new/node_modules"}));
    EXPECT_EQ(plan.total, 5000);  // the unknown size adds nothing
    EXPECT_EQ(plan.not_found, (std::vector<std::string>{"/h/nowhere"}));
    const auto targets = plan.targets();
    ASSERT_EQ(targets.size(), 2u);
    EXPECT_EQ(targets[1].path, "/h/code/new/node_modules");
}

TEST(CleanPlan, TheScanIdentityTravelsToTheTargets) {
    auto scan = sample_scan();
    scan[0].items[0].dev = 41;
    scan[0].items[0].ino = 4711;
    const auto targets = clean_plan::make(scan, parsed({"--category", "npmCache"}), kNow).targets();
    ASSERT_EQ(targets.size(), 1u);
    EXPECT_EQ(targets[0].dev, 41u);
    EXPECT_EQ(targets[0].ino, 4711u);
}

// --- Outcome ---

TEST(CleanOutcome, MergingKeepsReasonsAlignedAndSpansTheFreeSpace) {
    deletion::DeleteResult run;
    deletion::DeleteResult a;
    a.failed = {"/h/a"};
    a.failed_reasons = {deletion::kChanged};  // no subjects given
    a.space = {{"/", 100, 150}};
    deletion::DeleteResult b;
    b.deleted = {"/h/b"};
    b.space = {{"/home", 10, 20}, {"/", 150, 170}};
    deletion::DeleteResult c;
    c.failed = {"/h/c"};
    c.failed_reasons = {deletion::kInUse};
    c.failed_subjects = {"code (4711)"};
    for (const auto* batch : {&a, &b, &c})
        clean_plan::merge(run, *batch);
    EXPECT_EQ(run.deleted, (std::vector<std::string>{"/h/b"}));
    EXPECT_EQ(run.failed, (std::vector<std::string>{"/h/a", "/h/c"}));
    EXPECT_EQ(run.failed_count, 2);
    EXPECT_EQ(clean_plan::reason(run, 0), deletion::kChanged);
    EXPECT_EQ(clean_plan::reason(run, 1), "In use by code (4711)");
    ASSERT_EQ(run.space.size(), 2u);
    EXPECT_EQ(run.space[0].mount_point, "/");
    EXPECT_EQ(run.space[0].before, 100u);
    EXPECT_EQ(run.space[0].after, 170u);
    EXPECT_EQ(run.space[1].before, 10u);
    EXPECT_EQ(clean_plan::exit_status({}, &run), 1);
    deletion::DeleteResult clean;
    clean_plan::merge(clean, b);
    EXPECT_EQ(clean_plan::exit_status({}, &clean), 0);
}

// --- Printing ---

TEST(CleanPrinting, PlanLinesAlignTheirColumnsAndEndWithThePathAndTheTotal) {
    auto scan = sample_scan();
    scan[4].items[0].path = "/h/code/old\n/node_modules";  // a name may hold a line break
    const auto plan = clean_plan::make(scan, parsed({"--safety", "caution"}), kNow);
    const std::string text = clean_plan::plan_text(plan, kNow);
    std::vector<std::string> lines;
    for (std::size_t p = 0, q; (q = text.find('\n', p)) != std::string::npos; p = q + 1)
        lines.push_back(text.substr(p, q - p));
    ASSERT_EQ(lines.size(), 5u) << text;
    EXPECT_EQ(lines[2].substr(lines[2].rfind(' ') + 1), "/h/code/old?/node_modules");
    const std::string two_days = scan_report::age_text(kNow - 2 * kDay, kNow);
    const std::string forty_days = scan_report::age_text(kNow - 40 * kDay, kNow);
    // Every column present, sizes right-aligned, the categories starting together.
    EXPECT_NE(lines[0].find("4 KB  " + two_days), std::string::npos) << text;
    EXPECT_NE(lines[0].find("safe     npmCache"), std::string::npos) << text;
    EXPECT_NE(lines[1].find("caution  rustupToolchains  /h/.rustup/toolchains/1.9.0"),
              std::string::npos)
        << text;
    EXPECT_NE(lines[2].find("300 B  " + forty_days), std::string::npos) << text;
    EXPECT_EQ(lines[0].find("4 KB") + 4, lines[2].find("300 B") + 5) << text;
    EXPECT_EQ(lines[0].find("npmCache"), lines[2].find("nodeModules")) << text;
    EXPECT_EQ(lines[0].substr(lines[0].rfind(' ') + 1), "/h/.npm/_cacache");
    EXPECT_EQ(lines[3], "1 kept entry left alone");
    EXPECT_EQ(lines[4], "Total: 7 KB in 3 entries");
}

TEST(CleanPrinting, JsonHoldsThePlanAndTheResultOnlyWhenDeletionRan) {
    auto scan = sample_scan();
    scan[0].items[0].path = "/h/quote\"d";
    const auto plan = clean_plan::make(scan, parsed({"--category", "npmCache"}), kNow);
    const std::string dry = clean_plan::json(plan, nullptr);
    EXPECT_NE(dry.find("{\"path\": \"/h/quote\\\"d\", \"category\": \"npmCache\", \"size\": 4096, "
                       "\"age_from\": " +
                       std::to_string(kNow - 2 * kDay) + ", \"safety\": \"safe\"}"),
              std::string::npos)
        << dry;
    EXPECT_NE(dry.find("\"total\": 4096"), std::string::npos) << dry;
    EXPECT_NE(dry.find("\"result\": null}"), std::string::npos) << dry;

    deletion::DeleteResult r;
    r.failed = {"/h/quote\"d"};
    r.failed_reasons = {deletion::kInUse};
    r.failed_subjects = {"vim (12)"};
    r.space = {{"/", 1, 2}};
    const std::string ran = clean_plan::json(plan, &r);
    EXPECT_NE(ran.find("\"result\": {\"deleted\": [], \"failed\": [{\"path\": \"/h/quote\\\"d\", "
                       "\"reason\": \"In use by vim (12)\"}], \"space\": [{\"mount_point\": "
                       "\"/\", \"before\": 1, \"after\": 2}]}"),
              std::string::npos)
        << ran;
}

TEST(CleanPrinting, TheResultCountsOnlyWhatWentAndShowsEachFilesystem) {
    const auto plan = clean_plan::make(sample_scan(), parsed({}), kNow);
    deletion::DeleteResult r;
    r.deleted = {"/h/.npm/_cacache"};
    r.failed = {"/h/code/old/node_modules"};
    r.failed_reasons = {deletion::kChanged};
    r.space = {{"/", 1024, 5120}, {"", 3072, 1024}};
    const std::string text = clean_plan::result_text(plan, r);
    EXPECT_NE(text.find("Deleted 1 of 2, freed 4 KB\n"), std::string::npos) << text;
    EXPECT_NE(text.find("Free on /: 1 KB -> 5 KB (+4 KB)\n"), std::string::npos) << text;
    // Others may fill the disk meanwhile: a loss is shown as one.
    EXPECT_NE(text.find("Free on (unknown filesystem): 3 KB -> 1 KB (-2 KB)\n"), std::string::npos)
        << text;
}

}  // namespace
