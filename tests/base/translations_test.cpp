// The shipped translations: every language complete, nothing left in English
// by accident, and every text drawable with the fonts the install brings.
//
// An entry may keep the English text only when its .po file says so with a
// translator comment "# English on purpose: <why>" right above it (product
// names such as "Python"); that comment is the language's allow-list.
#include <gtest/gtest.h>
#include <pango/pangocairo.h>

#include <fstream>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "base/i18n.h"
#include "base/i18n_data.h"
#include "base/strutil.h"

namespace {

const std::vector<std::string> kEuropean = {"bg", "ca", "cs", "da", "de", "el", "es", "fi", "fr",
                                            "hr", "hu", "it", "lt", "lv", "nb", "nl", "pl", "pt",
                                            "ro", "ru", "sk", "sl", "sr", "sv", "uk"};
const std::vector<std::string> kAsiaAfricaMiddleEast = {"ar", "bn", "fa", "he", "hi", "id",
                                                        "ja", "ko", "ms", "ne", "sw", "th",
                                                        "tl", "tr", "ur", "vi", "zh", "zh_TW"};

constexpr const char* kOnPurpose = "# English on purpose";

int lang_index(const std::string& code) {
    for (std::size_t l = 0; l < i18n_data::LANG_COUNT; ++l)
        if (code == i18n_data::LANGS[l].code)
            return static_cast<int>(l);
    return -1;
}

// The text of a quoted .po string line, escapes undone.
std::string unquote(const std::string& line) {
    const std::size_t open = line.find('"');
    const std::size_t close = line.rfind('"');
    std::string out;
    if (open == std::string::npos || close <= open)
        return out;
    for (std::size_t i = open + 1; i < close; ++i) {
        if (line[i] == '\\' && i + 1 < close) {
            ++i;
            out += line[i] == 'n' ? '\n' : line[i] == 't' ? '\t' : line[i];
        } else {
            out += line[i];
        }
    }
    return out;
}

// The keys a .po file marks as English on purpose.
std::set<std::string> english_on_purpose(const std::string& code) {
    std::ifstream in(std::string(BRUSHWICK_PO_DIR) + "/" + code + ".po");
    std::set<std::string> keys;
    std::string line;
    bool marked = false;
    std::string key;
    bool in_key = false;
    while (std::getline(in, line)) {
        if (in_key && su::starts_with(line, "\"")) {
            key += unquote(line);
            continue;
        }
        if (in_key) {
            keys.insert(key);
            in_key = false;
        }
        if (su::starts_with(line, kOnPurpose)) {
            marked = true;
        } else if (su::starts_with(line, "msgid ") && marked) {
            key = unquote(line);
            in_key = true;
            marked = false;
        } else if (line.empty()) {
            marked = false;
        }
    }
    return keys;
}

// Compared without regard to letter case or surrounding spaces.
std::string folded(const std::string& s) {
    const std::size_t first = s.find_first_not_of(" \t\n");
    if (first == std::string::npos)
        return "";
    const std::size_t last = s.find_last_not_of(" \t\n");
    return su::lower_ascii(s.substr(first, last - first + 1));
}

void expect_complete_and_translated(const std::vector<std::string>& codes) {
    for (const std::string& code : codes) {
        SCOPED_TRACE(code);
        const int l = lang_index(code);
        ASSERT_GE(l, 0);
        const i18n_data::PoStatus& status = i18n_data::PO_STATUS[l];
        if (!status.has_file) {
            ADD_FAILURE() << "po/" << code << ".po is missing";
            continue;
        }
        // Missing, empty and fuzzy entries are not counted as translated.
        EXPECT_EQ(status.translated, i18n_data::KEY_COUNT);
        const std::set<std::string> allowed = english_on_purpose(code);
        for (std::size_t k = 0; k < i18n_data::KEY_COUNT; ++k) {
            const std::string key = i18n_data::KEYS[k];
            const std::string value = i18n_data::LANGS[l].values[k];
            EXPECT_FALSE(folded(value).empty()) << key;
            const bool english = folded(value) == folded(key);
            if (english)
                EXPECT_TRUE(allowed.count(key)) << "left in English: \"" << key << "\"";
            else
                EXPECT_FALSE(allowed.count(key))
                    << "marked English on purpose but translated: \"" << key << "\"";
        }
        for (const std::string& key : allowed)
            EXPECT_GE(i18n_detail::find_key(key.c_str(), i18n_data::KEYS, i18n_data::KEY_COUNT), 0)
                << "marked English on purpose, but not a key: \"" << key << "\"";
    }
}

}  // namespace

TEST(Translations, TheEuropeanLanguagesAreCompleteAndNothingIsLeftInEnglishByAccident) {
    expect_complete_and_translated(kEuropean);
}

TEST(Translations, TheLanguagesOfAsiaAfricaAndTheMiddleEastAreCompleteAndTranslated) {
    expect_complete_and_translated(kAsiaAfricaMiddleEast);
}

// Every text of every language, laid out as the window lays it out (its font
// family, the language set on the context so that fontconfig picks a font for
// the script), must find a glyph for each character.
TEST(Translations, EveryTextOfEveryLanguageFindsAGlyphForEachCharacter) {
    PangoContext* context = pango_font_map_create_context(pango_cairo_font_map_get_default());
    PangoFontDescription* font = pango_font_description_new();
    pango_font_description_set_family(font, I18n::instance().ui_font_family());
    pango_font_description_set_absolute_size(font, 13 * PANGO_SCALE);
    for (std::size_t l = 0; l < i18n_data::LANG_COUNT; ++l) {
        const i18n_data::LangEntry& lang = i18n_data::LANGS[l];
        pango_context_set_language(context, pango_language_from_string(lang.code));
        PangoLayout* layout = pango_layout_new(context);
        pango_layout_set_font_description(layout, font);
        std::vector<std::string> texts = {lang.native_name};
        for (std::size_t k = 0; k < i18n_data::KEY_COUNT; ++k)
            texts.emplace_back(lang.values[k]);
        for (const std::string& text : texts) {
            pango_layout_set_text(layout, text.data(), static_cast<int>(text.size()));
            EXPECT_EQ(pango_layout_get_unknown_glyphs_count(layout), 0)
                << lang.code << ": \"" << text << "\"";
        }
        g_object_unref(layout);
    }
    pango_font_description_free(font);
    g_object_unref(context);
}
