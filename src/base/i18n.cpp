// i18n — language choice and lookup of interface texts. See i18n.h.
#include "base/i18n.h"

#include <glib.h>

#include <cstring>

#include "base/i18n_data.h"

namespace {

constexpr const char* kNarrowNoBreakSpace = "\u202F";

struct NumberRow {
    const char* code;
    I18n::NumberFormat format;
};

// Separators per language. A code missing here formats like English.
constexpr NumberRow kNumberTable[] = {
    {"en", {".", ","}},
    {"ja", {".", ","}},
    {"zh", {".", ","}},
    {"ko", {".", ","}},
    {"ar", {".", ","}},
    {"he", {".", ","}},
    {"bn", {".", ","}},
    {"fa", {".", ","}},
    {"hi", {".", ","}},
    {"ms", {".", ","}},
    {"ne", {".", ","}},
    {"sw", {".", ","}},
    {"th", {".", ","}},
    {"tl", {".", ","}},
    {"ur", {".", ","}},
    {"zh_TW", {".", ","}},
    {"de", {",", "."}},
    {"es", {",", "."}},
    {"it", {",", "."}},
    {"nl", {",", "."}},
    {"hu", {",", "."}},
    {"ro", {",", "."}},
    {"da", {",", "."}},
    {"el", {",", "."}},
    {"tr", {",", "."}},
    {"ca", {",", "."}},
    {"hr", {",", "."}},
    {"id", {",", "."}},
    {"lt", {",", "."}},
    {"sl", {",", "."}},
    {"vi", {",", "."}},
    {"fr", {",", kNarrowNoBreakSpace}},
    {"pl", {",", kNarrowNoBreakSpace}},
    {"cs", {",", kNarrowNoBreakSpace}},
    {"sv", {",", kNarrowNoBreakSpace}},
    {"fi", {",", kNarrowNoBreakSpace}},
    {"ru", {",", kNarrowNoBreakSpace}},
    {"lv", {",", kNarrowNoBreakSpace}},
    {"nb", {",", kNarrowNoBreakSpace}},
    {"sk", {",", kNarrowNoBreakSpace}},
    {"uk", {",", kNarrowNoBreakSpace}},
    {"pt", {",", ""}},
    {"bg", {",", ""}},
    {"sr", {",", ""}},
};

struct DateRow {
    const char* code;
    const char* pattern;  // for strftime
};

// Short date per language. A code missing here formats like English.
constexpr DateRow kDateTable[] = {
    {"de", "%d.%m.%y"}, {"pl", "%d.%m.%y"}, {"cs", "%d.%m.%y"},    {"ro", "%d.%m.%y"},
    {"fi", "%d.%m.%y"}, {"ru", "%d.%m.%y"}, {"bg", "%d.%m.%y"},    {"hr", "%d.%m.%y"},
    {"nb", "%d.%m.%y"}, {"sk", "%d.%m.%y"}, {"sl", "%d.%m.%y"},    {"sr", "%d.%m.%y"},
    {"uk", "%d.%m.%y"}, {"en", "%m/%d/%y"}, {"tl", "%m/%d/%y"},    {"fr", "%d/%m/%y"},
    {"es", "%d/%m/%y"}, {"it", "%d/%m/%y"}, {"pt", "%d/%m/%y"},    {"el", "%d/%m/%y"},
    {"he", "%d/%m/%y"}, {"ar", "%d/%m/%y"}, {"bn", "%d/%m/%y"},    {"ca", "%d/%m/%y"},
    {"hi", "%d/%m/%y"}, {"id", "%d/%m/%y"}, {"ms", "%d/%m/%y"},    {"sw", "%d/%m/%y"},
    {"th", "%d/%m/%y"}, {"ur", "%d/%m/%y"}, {"vi", "%d/%m/%y"},    {"nl", "%d-%m-%y"},
    {"da", "%d-%m-%y"}, {"tr", "%d-%m-%y"}, {"hu", "%y-%m-%d"},    {"sv", "%y-%m-%d"},
    {"lt", "%y-%m-%d"}, {"ja", "%y/%m/%d"}, {"zh", "%y/%m/%d"},    {"ko", "%y/%m/%d"},
    {"fa", "%y/%m/%d"}, {"ne", "%y/%m/%d"}, {"zh_TW", "%y/%m/%d"}, {"lv", "%y.%m.%d"},
};

const I18n::NumberFormat kEnglishNumbers{".", ","};
constexpr const char* kEnglishDate = "%m/%d/%y";

// The language code a locale name selects, or empty: the codeset (".UTF-8")
// and modifier ("@latin") are cut off; without an exact match the region goes.
std::string code_for_locale_name(const std::string& name) {
    if (name.empty() || name == "C")
        return {};
    std::string base = name.substr(0, name.find('.'));
    base = base.substr(0, base.find('@'));
    if (i18n_detail::language_index(base) >= 0)
        return base;
    const std::size_t us = base.find('_');
    if (us != std::string::npos && i18n_detail::language_index(base.substr(0, us)) >= 0)
        return base.substr(0, us);
    return {};
}

int english_index() {
    static const int index = i18n_detail::language_index("en");
    return index;
}

}  // namespace

// --- Pure lookups ---

namespace i18n_detail {

int find_key(const char* key, const char* const* keys, std::size_t count) {
    std::size_t lo = 0;
    std::size_t hi = count;
    while (lo < hi) {
        const std::size_t mid = lo + (hi - lo) / 2;
        if (std::strcmp(keys[mid], key) < 0) {
            lo = mid + 1;
        } else {
            hi = mid;
        }
    }
    return (lo < count && std::strcmp(keys[lo], key) == 0) ? static_cast<int>(lo) : -1;
}

int language_index(const std::string& code) {
    for (std::size_t i = 0; i < i18n_data::LANG_COUNT; ++i) {
        if (code == i18n_data::LANGS[i].code)
            return static_cast<int>(i);
    }
    return -1;
}

const I18n::NumberFormat* number_format_row(const std::string& code) {
    for (const NumberRow& row : kNumberTable) {
        if (code == row.code)
            return &row.format;
    }
    return nullptr;
}

const char* date_format_row(const std::string& code) {
    for (const DateRow& row : kDateTable) {
        if (code == row.code)
            return row.pattern;
    }
    return nullptr;
}

std::size_t number_format_rows() {
    return std::size(kNumberTable);
}

std::size_t date_format_rows() {
    return std::size(kDateTable);
}

}  // namespace i18n_detail

// --- I18n ---

I18n::I18n() : m_lang_index(english_index()) {}

I18n& I18n::instance() {
    static I18n* const self = [] {
        // Never destroyed: worker threads may still translate a status text
        // while static objects are torn down at exit.
        auto* created = new I18n();
        created->set_language("auto");
        return created;
    }();
    return *self;
}

void I18n::set_language(const std::string& code) {
    m_setting = code.empty() ? "auto" : code;
    const std::string wanted = m_setting == "auto" ? detect_system_language() : m_setting;
    int index = i18n_detail::language_index(wanted);
    if (index < 0)
        index = english_index();
    const i18n_data::LangEntry& lang = i18n_data::LANGS[index];
    m_code = lang.code;
    m_rtl.store(lang.rtl, std::memory_order_relaxed);
    m_lang_index.store(index, std::memory_order_release);
}

const char* I18n::tr(const char* key) const {
    if (key == nullptr || key[0] == '\0')
        return key;
    const int i = i18n_detail::find_key(key, i18n_data::KEYS, i18n_data::KEY_COUNT);
    if (i < 0)
        return key;
    return i18n_data::LANGS[m_lang_index.load(std::memory_order_acquire)].values[i];
}

std::string I18n::substitute(const char* text, const char* const* args, std::size_t count) {
    std::string out;
    std::size_t next = 0;
    for (const char* p = text; *p != '\0'; ++p) {
        if (p[0] == '%' && p[1] == 's') {
            if (next < count)
                out += args[next];
            ++next;
            ++p;
        } else {
            out += *p;
        }
    }
    return out;
}

I18n::NumberFormat I18n::number_format() const {
    const char* code = i18n_data::LANGS[m_lang_index.load(std::memory_order_acquire)].code;
    const NumberFormat* row = i18n_detail::number_format_row(code);
    return row != nullptr ? *row : kEnglishNumbers;
}

const char* I18n::date_format() const {
    const char* code = i18n_data::LANGS[m_lang_index.load(std::memory_order_acquire)].code;
    const char* row = i18n_detail::date_format_row(code);
    return row != nullptr ? row : kEnglishDate;
}

std::vector<LanguageInfo> I18n::available() {
    std::vector<LanguageInfo> list;
    list.reserve(i18n_data::LANG_COUNT);
    for (std::size_t i = 0; i < i18n_data::LANG_COUNT; ++i) {
        const i18n_data::LangEntry& lang = i18n_data::LANGS[i];
        list.push_back({lang.code, lang.native_name, lang.rtl});
    }
    return list;
}

std::string I18n::detect_system_language() {
    // GLib orders the session's names most preferred first and re-reads the
    // environment when it changes.
    for (const gchar* const* name = g_get_language_names(); name != nullptr && *name != nullptr;
         ++name) {
        const std::string code = code_for_locale_name(*name);
        if (!code.empty())
            return code;
    }
    return "en";
}
