// The scan report: JSON that stays valid for any path, the table, the size and
// age texts, and brushwick-scan itself run on a fake home.
#include "engine/scan_report.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cstring>
#include <map>
#include <optional>

#include "base/strutil.h"
#include "test_support.h"

namespace {

using testing_support::du_bytes;
using testing_support::FakeHome;
using testing_support::make_tree;
using testing_support::run_process;
using testing_support::write_file;

// --- A strict JSON reader, so that the tests judge the output as a consumer would ---

struct Json {
    bool b = false;                      // true / false
    double num = 0;                      // numbers (the report writes integers only)
    std::string str;                     // strings
    std::vector<Json> items;             // arrays
    std::map<std::string, Json> fields;  // objects
    std::vector<std::string> keys;       // object keys in document order

    const Json& operator[](const std::string& k) const {
        static const Json missing;
        const auto it = fields.find(k);
        return it == fields.end() ? missing : it->second;
    }
};

class Reader {
public:
    explicit Reader(const std::string& s) : m_s(s) {}

    // The document, or nullopt when it is not exactly one valid JSON value.
    std::optional<Json> document() {
        Json v;
        if (!value(v) || (space(), m_i != m_s.size()))
            return std::nullopt;
        return v;
    }

private:
    char peek() { return m_i < m_s.size() ? m_s[m_i] : '\0'; }
    void space() {
        while (peek() == ' ' || peek() == '\n' || peek() == '\t' || peek() == '\r')
            ++m_i;
    }
    bool eat(char c) {
        space();
        return peek() == c && c != '\0' && ++m_i;
    }
    bool string(std::string& out) {
        static const std::string kEscapes = "\"\\/bfnrt", kMeanings = "\"\\/\b\f\n\r\t";
        if (!eat('"'))
            return false;
        for (; m_i < m_s.size(); ++m_i) {
            const char c = m_s[m_i];
            if (c == '"')
                return ++m_i && su::is_valid_utf8(out);
            if (static_cast<unsigned char>(c) < 0x20)
                return false;
            if (c != '\\') {
                out += c;
                continue;
            }
            const char e = m_s[++m_i];
            if (kEscapes.find(e) != std::string::npos && e != '\0') {
                out += kMeanings[kEscapes.find(e)];
            } else if (e == 'u' && m_s.find_first_not_of("0123456789abcdef", m_i + 1) >= m_i + 5) {
                const unsigned cp = std::stoul(m_s.substr(m_i + 1, 4), nullptr, 16);
                if (cp >= 0x80)
                    return false;  // the writer escapes only control characters
                out += static_cast<char>(cp);
                m_i += 4;
            } else {
                return false;
            }
        }
        return false;
    }
    bool value(Json& v) {
        space();
        if (peek() == '"')
            return string(v.str);
        if (eat('{')) {
            if (eat('}'))
                return true;
            do {
                std::string k;
                if (!string(k) || !eat(':') || v.fields.count(k) || !value(v.fields[k]))
                    return false;
                v.keys.push_back(k);
            } while (eat(','));
            return eat('}');
        }
        if (eat('[')) {
            if (eat(']'))
                return true;
            do {
                v.items.emplace_back();
                if (!value(v.items.back()))
                    return false;
            } while (eat(','));
            return eat(']');
        }
        for (const char* word : {"true", "false", "null"}) {
            if (m_s.compare(m_i, std::strlen(word), word) == 0) {
                v.b = word[0] == 't';
                m_i += std::strlen(word);
                return true;
            }
        }
        const std::size_t start = m_i;
        m_i += peek() == '-';
        const std::size_t digits = m_s.find_first_not_of("0123456789", m_i);
        m_i = digits == std::string::npos ? m_s.size() : digits;
        v.num = std::strtod(m_s.c_str() + start, nullptr);
        return m_i > start && std::isdigit(static_cast<unsigned char>(m_s[m_i - 1]));
    }

    const std::string& m_s;
    std::size_t m_i = 0;
};

CatState state(const char* id, SafetyLevel safety, std::vector<Item> items) {
    CatState c;
    c.def.id = id;
    c.def.title = std::string("Title of ") + id;
    c.def.group = GroupKind::Java;
    c.def.path = "/h/" + std::string(id);
    c.def.safety = safety;
    c.items = std::move(items);
    return c;
}

Item item(const std::string& name, std::int64_t size, std::time_t modified = 0) {
    Item it;
    it.path = "/h/x/" + name;
    it.name = name;
    it.detail = "/h/x";
    it.size = size;
    it.size_known = size >= 0;
    it.modified = modified;
    return it;
}

// --- Writer ---

TEST(JsonText, AnUnknownSizeIsNullAndItsTotalSaysItIsPartial) {
    CatState silent = state("silent", SafetyLevel::Safe, {});
    silent.not_answering = true;
    silent.did_scan = true;
    CatState cut = state("cut", SafetyLevel::Safe, {item("big", -1), item("small", 4096)});
    cut.did_scan = true;
    CatState whole = state("whole", SafetyLevel::Safe, {item("empty", 0)});
    whole.did_scan = true;
    const std::string text = scan_report::json("/h", "/h", {cut, silent, whole});
    const auto doc = Reader(text).document();
    ASSERT_TRUE(doc.has_value()) << text;
    const auto& list = (*doc)["categories"].items;
    ASSERT_EQ(list.size(), 3u);
    // Neither 0 nor -1: a script adding sizes must not take it for a size.
    EXPECT_NE(text.find("\"name\": \"big\", \"detail\": \"/h/x\", \"size\": null,"),
              std::string::npos)
        << text;
    EXPECT_EQ(list[0]["total"].num, 4096);
    EXPECT_TRUE(list[0]["partial"].b);
    EXPECT_FALSE(list[0]["not_answering"].b);
    EXPECT_TRUE(list[1]["partial"].b);
    EXPECT_TRUE(list[1]["not_answering"].b);
    EXPECT_FALSE(list[2]["partial"].b);
    EXPECT_EQ(list[2]["entries"].items[0]["size"].num, 0);
    const std::string table = scan_report::table({cut, silent, whole}, 0);
    EXPECT_NE(table.find("Total: at least 4 KB"), std::string::npos) << table;
    EXPECT_NE(table.find("Not answering: Title of silent"), std::string::npos) << table;
}

TEST(JsonText, EscapesControlsAndReplacesBrokenUtf8) {
    const std::string raw("a\"b\\c\nd\te\x01\x1f\x7f|\xff\xc3|\xc3\xa9\0", 19);
    const std::string lit = scan_report::json_string(raw);
    const auto doc = Reader(lit).document();
    ASSERT_TRUE(doc.has_value()) << lit;
    EXPECT_EQ(doc->str,
              std::string("a\"b\\c\nd\te\x01\x1f\x7f|\xEF\xBF\xBD\xEF\xBF\xBD|\xc3\xa9\0", 23));
}

TEST(JsonText, OverlongFormsSurrogatesAndBytesPastUnicodeAreReplaced) {
    // A strict JSON reader refuses each of these inside a string.
    const std::pair<std::string, std::string> cases[] = {
        {"a\xC0\x80", "\"a\xEF\xBF\xBD\xEF\xBF\xBD\""},
        {"\xED\xA0\x80", "\"\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\""},
        {"\xF4\x90\x80\x80", "\"\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\""},
        {"\xF5!", "\"\xEF\xBF\xBD!\""},
    };
    for (const auto& [raw, lit] : cases)
        EXPECT_EQ(scan_report::json_string(raw), lit);
}

TEST(JsonText, HoldsEveryCategoryInOrderWithEntriesAndTotals) {
    Item kept = item("17.0.10", 3000, 1700000000);
    kept.safety = SafetyLevel::Risky;
    kept.keep_hint = true;
    const std::vector<CatState> cats = {
        state("first", SafetyLevel::Caution, {kept, item("11", 0), item("9", -1)}),
        state("empty", SafetyLevel::Safe, {}),
        state("last", SafetyLevel::Safe, {item("\xfe", 42)}),
    };
    const std::string text = scan_report::json("/h", "/h/code", cats);
    const auto doc = Reader(text).document();
    ASSERT_TRUE(doc.has_value()) << text;
    EXPECT_EQ((*doc).keys, (std::vector<std::string>{"home", "projects_root", "categories"}));
    EXPECT_EQ((*doc)["projects_root"].str, "/h/code");
    const auto& list = (*doc)["categories"].items;
    ASSERT_EQ(list.size(), 3u);
    EXPECT_EQ(list[0].keys,
              (std::vector<std::string>{"id", "group", "title", "path", "safety", "total",
                                        "partial", "not_answering", "entries"}));
    EXPECT_EQ(list[0]["group"].str, "Java & Gradle");
    EXPECT_EQ(list[0]["safety"].str, "caution");
    EXPECT_EQ(list[0]["total"].num, 3000);
    const Json& e = list[0]["entries"].items[0];
    EXPECT_EQ(e.keys,
              (std::vector<std::string>{"path", "name", "detail", "size", "safety", "keep_newest",
                                        "kept", "modified", "project_changed"}));
    EXPECT_EQ(e["safety"].str, "risky");
    EXPECT_TRUE(e["keep_newest"].b);
    EXPECT_EQ(e["modified"].num, 1700000000);
    EXPECT_FALSE(list[0]["entries"].items[1]["keep_newest"].b);
    EXPECT_EQ(list[1]["id"].str, "empty");
    EXPECT_TRUE(list[1]["entries"].items.empty());
    EXPECT_EQ(list[2]["entries"].items[0]["name"].str, "\xEF\xBF\xBD");
    EXPECT_TRUE(Reader(scan_report::json("", "", {})).document().has_value());
    // The reader itself refuses what a strict consumer refuses.
    for (const char* bad : {"{\"a\": [1,]}", "{\"a\": \"x\ty\"}", "\"\xff\"", "{\"a\": 1} 2",
                            "{\"a\": 1, \"a\": 2}", "[\"\\u00e9\"]"}) {
        EXPECT_FALSE(Reader(bad).document().has_value()) << bad;
    }
}

TEST(TableText, SizesAndAgesReadLikeTheApp) {
    using scan_report::size_text;
    EXPECT_EQ(size_text(0), "0 B");
    EXPECT_EQ(size_text(1023), "1023 B");
    EXPECT_EQ(size_text(1024), "1 KB");
    EXPECT_EQ(size_text(1572864), "1.50 MB");
    EXPECT_EQ(size_text(5LL << 40), "5.00 TB");
    EXPECT_EQ(size_text(-1), "?");
    const std::time_t now = 2000000000;
    const std::pair<std::time_t, const char*> ages[] = {
        {0, ""},        {44, "now"},     {45, "1 min"},     {2699, "45 min"},  {2700, "1 h"},
        {79200, "1 d"}, {518400, "1 w"}, {2419200, "1 mo"}, {28927800, "1 y"}, {-100, "now"},
    };
    for (const auto& [ago, text] : ages) {
        const std::time_t t = ago == 0 ? 0 : now - ago;
        EXPECT_EQ(scan_report::age_text(t, now), text) << ago;
    }
}

TEST(TableText, TheMostNegativeTimeIsTheOldestAgeInsteadOfOverflowing) {
    EXPECT_EQ(scan_report::age_text(INT64_MIN, 2000000000), "292271023045 y");
}

TEST(TableText, OneAlignedLinePerEntryAndATotal) {
    Item kept = item("b", 2048, 1999999000);
    kept.keep_hint = true;
    kept.safety = SafetyLevel::Risky;
    const std::string text =
        scan_report::table({state("one", SafetyLevel::Safe, {item("line\nbreak", 1024), kept}),
                            state("two", SafetyLevel::Safe, {})},
                           2000000000);
    std::vector<std::string> lines;
    for (std::size_t p = 0, q; (q = text.find('\n', p)) != std::string::npos; p = q + 1)
        lines.push_back(text.substr(p, q - p));
    ASSERT_EQ(lines.size(), 5u) << text;
    EXPECT_EQ(lines[0].rfind("GROUP", 0), 0u);
    EXPECT_NE(lines[1].find("line?break"), std::string::npos);
    EXPECT_NE(lines[2].find("Risky (newest kept)"), std::string::npos);
    EXPECT_NE(lines[2].find("17 min"), std::string::npos);
    // Sizes are right-aligned in one column.
    EXPECT_EQ(lines[1].find("1 KB") + 4, lines[2].find("2 KB") + 4);
    EXPECT_EQ(lines[4], "Total: 3 KB in 2 entries; 1 of 2 categories have no entries.");
}

// --- brushwick-scan ---

TEST(ScanCommand, JsonOfAFakeHomeMatchesDuAndListsTheWholeCatalog) {
    FakeHome home;
    make_tree(home.path(), {".gradle/caches/modules-2/", ".cache/pip/http/", "code/app/src/",
                            "code/app/node_modules/a/", ".rustup/toolchains/1.70.0/",
                            ".rustup/toolchains/1.9.0/", "code/odd\xff\x01name/build/"});
    write_file(home / ".gradle/caches/modules-2/jar", 200000);
    write_file(home / "code/app/node_modules/a/index.js", 5000);
    const auto r = run_process({BRUSHWICK_SCAN_EXE, "--json"});
    ASSERT_EQ(r.exit_code, 0);
    const auto doc = Reader(r.out).document();
    ASSERT_TRUE(doc.has_value()) << r.out;
    EXPECT_EQ((*doc)["home"].str, home.path());
    const auto& cats = (*doc)["categories"].items;
    const auto& defs = catalog::all();
    ASSERT_EQ(cats.size(), defs.size());
    std::size_t entries = 0;
    for (std::size_t i = 0; i < defs.size(); ++i) {
        EXPECT_EQ(cats[i]["id"].str, defs[i].id);
        double total = 0;
        for (const Json& e : cats[i]["entries"].items) {
            ++entries;
            total += e["size"].num;
            const std::string path = e["path"].str;
            if (su::is_valid_utf8(path) && path.find('\x01') == std::string::npos)
                EXPECT_EQ(e["size"].num, du_bytes(path)) << path;
            else
                EXPECT_EQ(e["size"].num, du_bytes(home / "code/odd\xff\x01name/build"));
        }
        EXPECT_EQ(cats[i]["total"].num, total) << defs[i].id;
    }
    EXPECT_EQ(entries, 6u);
}

TEST(ScanCommand, OptionsHelpProjectsFolderAndMistakes) {
    FakeHome home;
    make_tree(home.path(), {"elsewhere/p/node_modules/", "code/q/node_modules/"});
    const auto help = run_process({BRUSHWICK_SCAN_EXE, "--help"});
    EXPECT_EQ(help.exit_code, 0);
    EXPECT_NE(help.out.find("--projects DIR"), std::string::npos);
    for (const std::vector<std::string>& bad : {std::vector<std::string>{"--bogus"},
                                                {"--projects"},
                                                {"--projects", home / "missing"},
                                                {"--projects", "relative"}}) {
        std::vector<std::string> argv = {BRUSHWICK_SCAN_EXE};
        argv.insert(argv.end(), bad.begin(), bad.end());
        const auto r = run_process(argv);
        EXPECT_NE(r.exit_code, 0) << bad[0];
        EXPECT_TRUE(r.out.empty()) << bad[0];
    }
    const auto r = run_process({BRUSHWICK_SCAN_EXE, "--projects", home / "elsewhere", "--json"});
    ASSERT_EQ(r.exit_code, 0);
    const auto doc = Reader(r.out).document();
    ASSERT_TRUE(doc.has_value());
    EXPECT_EQ((*doc)["projects_root"].str, home / "elsewhere");
    for (const Json& c : (*doc)["categories"].items) {
        if (c["id"].str == "nodeModules") {
            ASSERT_EQ(c["entries"].items.size(), 1u);
            EXPECT_EQ(c["entries"].items[0]["path"].str, home / "elsewhere/p/node_modules");
        }
    }
    const auto table = run_process({BRUSHWICK_SCAN_EXE});
    EXPECT_EQ(table.exit_code, 0);
    EXPECT_NE(table.out.find("q/node_modules"), std::string::npos) << table.out;
}

}  // namespace
