// The compiled-in translation tables, language detection and choice, and lookup.
#include "base/i18n.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "base/i18n_data.h"
#include "base/strutil.h"
#include "engine/catalog.h"
#include "test_support.h"

namespace {

using testing_support::ScopedEnv;

const std::vector<std::string> kCodes = {
    "ar", "bg", "bn", "ca", "cs", "da", "de", "el", "en", "es", "fa", "fi", "fr", "he",   "hi",
    "hr", "hu", "id", "it", "ja", "ko", "lt", "lv", "ms", "nb", "ne", "nl", "pl", "pt",   "ro",
    "ru", "sk", "sl", "sr", "sv", "sw", "th", "tl", "tr", "uk", "ur", "vi", "zh", "zh_TW"};

const std::set<std::string> kRightToLeft = {"ar", "fa", "he", "ur"};

// Number of "%s" in text, or -1 when a "%" starts anything else.
int placeholders(const char* text) {
    int n = 0;
    for (const char* p = text; *p != '\0'; ++p) {
        if (*p != '%')
            continue;
        if (p[1] != 's')
            return -1;
        ++n;
        ++p;
    }
    return n;
}

int index_of(const char* key) {
    return i18n_detail::find_key(key, i18n_data::KEYS, i18n_data::KEY_COUNT);
}

// Tests start in English, whatever the session's locale, and end in it.
class Language : public ::testing::Test {
protected:
    Language() { I18n::instance().set_language("en"); }
    ~Language() override { I18n::instance().set_language("en"); }
};

// --- The tables ---

TEST(Tables, HoldTheFortyFourLanguagesSortedByCodeWithFourRightToLeft) {
    const std::vector<LanguageInfo> available = I18n::available();
    ASSERT_EQ(i18n_data::LANG_COUNT, kCodes.size());
    ASSERT_EQ(available.size(), kCodes.size());
    for (std::size_t i = 0; i < i18n_data::LANG_COUNT; ++i) {
        const i18n_data::LangEntry& l = i18n_data::LANGS[i];
        EXPECT_EQ(l.code, kCodes[i]);
        EXPECT_EQ(available[i].code, l.code);
        EXPECT_EQ(available[i].native_name, l.native_name);
        EXPECT_EQ(available[i].rtl, l.rtl);
        EXPECT_EQ(l.rtl, kRightToLeft.count(l.code) == 1) << l.code;
        EXPECT_TRUE(l.native_name[0] != '\0' && su::is_valid_utf8(l.native_name)) << l.code;
        if (i > 0) {
            EXPECT_LT(std::strcmp(i18n_data::LANGS[i - 1].code, l.code), 0);
        }
    }
    EXPECT_STREQ(i18n_data::LANGS[6].native_name, "Deutsch");
    EXPECT_STREQ(i18n_data::LANGS[43].native_name,
                 "\xE7\xB9\x81\xE9\xAB\x94\xE4\xB8\xAD\xE6\x96\x87");
}

TEST(Tables, HoldEveryKeyOfTheTemplateOnceInStrictByteOrder) {
    // Every msgid of the template but the header's empty one is a key.
    std::set<std::string> template_keys;
    const std::string pot = testing_support::read_file(BRUSHWICK_POT_PATH);
    for (std::size_t at = pot.find("\nmsgid \""); at != std::string::npos;
         at = pot.find("\nmsgid \"", at + 1)) {
        const std::size_t start = at + 8;
        const std::string key = pot.substr(start, pot.find("\"\n", start) - start);
        if (!key.empty())
            template_keys.insert(key);
    }
    ASSERT_GT(template_keys.size(), 100u) << "the template was not read";
    ASSERT_EQ(i18n_data::KEY_COUNT, template_keys.size());
    EXPECT_EQ(i18n_data::KEYS[0], *template_keys.begin());
    for (std::size_t i = 1; i < i18n_data::KEY_COUNT; ++i) {
        EXPECT_LT(std::strcmp(i18n_data::KEYS[i - 1], i18n_data::KEYS[i]), 0)
            << i18n_data::KEYS[i - 1] << " / " << i18n_data::KEYS[i];
    }
}

TEST(Tables, EveryValueKeepsItsKeysPlaceholdersAndNothingElse) {
    for (std::size_t l = 0; l < i18n_data::LANG_COUNT; ++l) {
        const i18n_data::LangEntry& lang = i18n_data::LANGS[l];
        for (std::size_t k = 0; k < i18n_data::KEY_COUNT; ++k) {
            const char* key = i18n_data::KEYS[k];
            const char* value = lang.values[k];
            ASSERT_NE(value, nullptr) << lang.code << " " << key;
            EXPECT_GE(placeholders(key), 0) << key;
            EXPECT_EQ(placeholders(value), placeholders(key)) << lang.code << ": " << value;
            EXPECT_TRUE(value[0] != '\0' && su::is_valid_utf8(value)) << lang.code << " " << key;
        }
    }
}

TEST(Tables, EnglishIsTheKeysAndUntranslatedTextsAreTheKeysThemselves) {
    const i18n_data::LangEntry& en = i18n_data::LANGS[i18n_detail::language_index("en")];
    for (std::size_t l = 0; l < i18n_data::LANG_COUNT; ++l) {
        const i18n_data::LangEntry& lang = i18n_data::LANGS[l];
        const i18n_data::PoStatus& status = i18n_data::PO_STATUS[l];
        std::size_t own = 0;
        for (std::size_t k = 0; k < i18n_data::KEY_COUNT; ++k) {
            // A fallback is the key's own pointer; a translation is a text of its own.
            if (lang.values[k] != i18n_data::KEYS[k])
                ++own;
            EXPECT_EQ(en.values[k], i18n_data::KEYS[k]);
        }
        EXPECT_EQ(own, status.translated) << lang.code;
        if (!status.has_file) {
            EXPECT_EQ(own, 0u) << lang.code;
        }
    }
}

// A language whose .po file exists must translate every text; a language
// without one is still waiting for its translation, and is only listed.
TEST(Tables, EveryLanguageWithATranslationFileIsComplete) {
    std::string waiting;
    for (std::size_t l = 0; l < i18n_data::LANG_COUNT; ++l) {
        const i18n_data::PoStatus& status = i18n_data::PO_STATUS[l];
        const std::string code = i18n_data::LANGS[l].code;
        if (code == "en")
            continue;
        if (status.has_file) {
            EXPECT_EQ(status.translated, i18n_data::KEY_COUNT)
                << "po/" << code << ".po lacks " << i18n_data::KEY_COUNT - status.translated
                << " translations (missing, empty or fuzzy entries)";
        } else {
            waiting += " " + code;
        }
    }
    if (!waiting.empty()) {
        RecordProperty("untranslated_languages", waiting);
        std::cout << "no translation file yet, English shown:" << waiting << "\n";
    }
}

TEST(Tables, EveryTextTheFormatterTranslatesIsAKey) {
    for (const char* key : {"just now", "%s min ago", "%s h ago", "%s d ago", "%s w ago",
                            "%s mo ago", "%s y ago", "1 file", "%s files", "s", "%s freed"}) {
        EXPECT_GE(index_of(key), 0) << key;
    }
}

// Every category title, subtitle and group title is shown translated; one that
// is not a key stays English in every language.
TEST(Tables, EveryTextOfTheCatalogIsAKey) {
    // Names and paths are the same in every language and shown as they are.
    // (Rows appear where their folders exist, so a tool's own name turns up
    // only on a machine that has the tool.)
    const std::set<std::string> as_is = {"node_modules", "__pycache__", "~/.npm/_cacache", "ccache",
                                         "sccache"};
    for (const CategoryDef& def : catalog::all()) {
        for (const std::string& text : {def.title, def.subtitle}) {
            if (!as_is.count(text)) {
                EXPECT_GE(index_of(text.c_str()), 0) << def.id << ": " << text;
            }
        }
    }
    for (int g = 0; g < static_cast<int>(GroupKind::_Count); ++g) {
        const char* title = catalog::group_title(static_cast<GroupKind>(g));
        EXPECT_GE(index_of(title), 0) << "group " << title;
    }
}

TEST(Tables, NumberAndDateFormatsCoverExactlyTheLanguages) {
    EXPECT_EQ(i18n_detail::number_format_rows(), kCodes.size());
    EXPECT_EQ(i18n_detail::date_format_rows(), kCodes.size());
    for (const std::string& code : kCodes) {
        EXPECT_NE(i18n_detail::number_format_row(code), nullptr) << code;
        EXPECT_NE(i18n_detail::date_format_row(code), nullptr) << code;
    }
    EXPECT_EQ(i18n_detail::number_format_row("xx"), nullptr);
}

// --- Lookup ---

TEST(Lookup, FindsEveryKeyByContentAndNothingElse) {
    // Fresh copies: the search must compare texts, not pointers.
    std::vector<std::string> copies(i18n_data::KEYS, i18n_data::KEYS + i18n_data::KEY_COUNT);
    for (std::size_t k = 0; k < copies.size(); ++k)
        EXPECT_EQ(index_of(copies[k].c_str()), static_cast<int>(k)) << copies[k];
    for (const char* absent : {"", "!", "%s", "Cancel ", "cancel", "zzz", "\xFF"})
        EXPECT_EQ(index_of(absent), -1) << absent;
    EXPECT_EQ(i18n_detail::find_key("a", nullptr, 0), -1);
}

TEST_F(Language, TrReturnsTheTextOfTheLanguageInUseAndPassesOtherTextsThrough) {
    I18n& i18n = I18n::instance();
    const int cancel = index_of("Cancel");
    ASSERT_GE(cancel, 0);
    for (const char* code : {"de", "fr", "ja", "en"}) {
        i18n.set_language(code);
        EXPECT_EQ(i18n.tr("Cancel"),
                  i18n_data::LANGS[i18n_detail::language_index(code)].values[cancel])
            << code;
    }
    const char* path = "/home/ann/.cache";
    EXPECT_EQ(i18n.tr(path), path);
    const char* empty = "";
    EXPECT_EQ(i18n.tr(empty), empty);
    EXPECT_EQ(i18n.tr(nullptr), nullptr);
    const std::string copy = "Cancel";
    EXPECT_STREQ(i18n.tr(copy.c_str()), "Cancel");
}

TEST_F(Language, TrfFillsPlaceholdersInOrderAndNeverReadsMissingArguments) {
    const I18n& i18n = I18n::instance();
    EXPECT_EQ(i18n.trf("%s freed", "1.50 MB"), "1.50 MB freed");
    EXPECT_EQ(i18n.trf("%s entries · %s in total", std::string("3"), "4 KB"),
              "3 entries · 4 KB in total");
    EXPECT_EQ(i18n.trf("%s entries · %s in total", "3"), "3 entries ·  in total");
    EXPECT_EQ(i18n.trf("%s freed", "a", "b"), "a freed");
    EXPECT_EQ(i18n.trf("not a key %s %d 100%"), "not a key  %d 100%");
    EXPECT_EQ(i18n.trf("%s freed", static_cast<const char*>(nullptr)), " freed");
}

// --- Choosing the language ---

struct DetectCase {
    const char* language;  // LANGUAGE, or null for unset
    const char* lang;      // LANG
    const char* expected;
};

TEST(Detection, TakesTheFirstLocaleNameThatNamesALanguage) {
    const DetectCase cases[] = {
        {nullptr, "de_DE.UTF-8", "de"},
        {nullptr, "de_AT.UTF-8", "de"},
        {nullptr, "zh_TW.UTF-8", "zh_TW"},
        {nullptr, "zh_CN.UTF-8", "zh"},
        {nullptr, "zh_HK", "zh"},
        {nullptr, "pt_BR", "pt"},
        {nullptr, "sr@latin", "sr"},
        {nullptr, "sr_RS.UTF-8@latin", "sr"},
        {nullptr, "C", "en"},
        {nullptr, "C.UTF-8", "en"},
        {nullptr, "POSIX", "en"},
        {nullptr, "xx_YY.UTF-8", "en"},
        {"", "fr_FR.UTF-8", "fr"},
        {"sv:de", "de_DE.UTF-8", "sv"},
        {"xx:pt_BR", "de_DE.UTF-8", "pt"},
    };
    for (const DetectCase& c : cases) {
        ScopedEnv env{
            {"LANGUAGE", c.language ? std::optional<std::string>(c.language) : std::nullopt},
            {"LC_ALL", std::nullopt},
            {"LC_MESSAGES", std::nullopt},
            {"LANG", c.lang}};
        EXPECT_EQ(I18n::detect_system_language(), c.expected)
            << "LANGUAGE=" << (c.language ? c.language : "(unset)") << " LANG=" << c.lang;
    }
}

TEST(Detection, LcAllOverridesLang) {
    ScopedEnv env{{"LANGUAGE", std::nullopt},
                  {"LC_ALL", "ja_JP.UTF-8"},
                  {"LC_MESSAGES", std::nullopt},
                  {"LANG", "de_DE.UTF-8"}};
    EXPECT_EQ(I18n::detect_system_language(), "ja");
}

TEST_F(Language, AutoFollowsTheSessionAndAnUnknownCodeGivesEnglish) {
    ScopedEnv env{{"LANGUAGE", std::nullopt},
                  {"LC_ALL", std::nullopt},
                  {"LC_MESSAGES", std::nullopt},
                  {"LANG", "de_DE.UTF-8"}};
    I18n& i18n = I18n::instance();
    i18n.set_language("auto");
    EXPECT_EQ(i18n.language(), "auto");
    EXPECT_EQ(i18n.effective_language(), "de");

    i18n.set_language("");
    EXPECT_EQ(i18n.language(), "auto");
    EXPECT_EQ(i18n.effective_language(), "de");

    i18n.set_language("xx");
    EXPECT_EQ(i18n.language(), "xx");
    EXPECT_EQ(i18n.effective_language(), "en");
    EXPECT_STREQ(i18n.number_format().group, ",");

    env.set("LANG", "C");
    i18n.set_language("auto");
    EXPECT_EQ(i18n.effective_language(), "en");

    // A region the table lacks is not a language of its own: "pt_BR" is unknown.
    i18n.set_language("pt_BR");
    EXPECT_EQ(i18n.effective_language(), "en");
}

TEST_F(Language, RightToLeftExactlyForArabicPersianHebrewAndUrdu) {
    I18n& i18n = I18n::instance();
    for (const LanguageInfo& info : I18n::available()) {
        i18n.set_language(info.code);
        EXPECT_EQ(i18n.effective_language(), info.code);
        EXPECT_EQ(i18n.is_rtl(), kRightToLeft.count(info.code) == 1) << info.code;
        EXPECT_EQ(info.rtl, i18n.is_rtl()) << info.code;
    }
}

// Workers translate status texts while the user may switch the language.
TEST_F(Language, WorkersTranslateWhileTheLanguageChanges) {
    I18n& i18n = I18n::instance();
    const int cancel = index_of("Cancel");
    const char* german = i18n_data::LANGS[i18n_detail::language_index("de")].values[cancel];
    const char* english = i18n_data::KEYS[cancel];
    std::atomic<bool> stop{false};
    std::atomic<int> odd{0};
    std::thread worker([&] {
        while (!stop.load()) {
            const char* text = i18n.tr("Cancel");
            const I18n::NumberFormat nf = i18n.number_format();
            // Separators always come from one language's row, never half of each.
            if ((text != german && text != english) || std::strcmp(nf.decimal, nf.group) == 0)
                ++odd;
        }
    });
    for (int i = 0; i < 2000; ++i)
        i18n.set_language(i % 2 == 0 ? "de" : "en");
    stop = true;
    worker.join();
    EXPECT_EQ(odd.load(), 0);
}

}  // namespace
