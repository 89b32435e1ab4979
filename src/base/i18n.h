// i18n — the interface language: which one is in use, and the text of a key in it.
//
// Every interface text is written in the sources as its English wording, and that
// wording is the key: tr("Cancel") gives the current language's text, and a text
// that is not a key (a path, a number, a name) comes back unchanged, as the very
// same pointer. The 44 languages are compiled in (i18n_data); nothing is loaded
// at run time. The language is the user's choice or, with the setting "auto",
// the first of the session's locale names that names a compiled-in language.
//
// Never throws, never logs, never allocates in tr.
//
// Threads: tr, trf, is_rtl, number_format and date_format may be called from
// any thread at any time — they read one atomic index into constant tables.
// set_language, language and effective_language belong to the main thread.
#pragma once

#include <atomic>
#include <cstddef>
#include <string>
#include <vector>

// One selectable language as the language list shows it.
struct LanguageInfo {
    std::string code;         // e.g. "de" or "zh_TW"
    std::string native_name;  // the language's name in itself
    bool rtl = false;         // written right to left
};

class I18n {
public:
    // Separators for numbers in the language in use.
    struct NumberFormat {
        const char* decimal;  // between the integer part and the fraction
        const char* group;    // between groups of three digits; empty for none
    };

    // The process-wide instance, created on first use with the setting "auto".
    static I18n& instance();

    I18n(const I18n&) = delete;
    I18n& operator=(const I18n&) = delete;

    // Makes code the setting ("auto" when empty) and switches to the language it
    // names, or for "auto" to the session's language; an unknown code gives
    // English while the setting keeps the code.
    void set_language(const std::string& code);

    // The setting as chosen: "auto" or a code (possibly one that does not exist).
    const std::string& language() const { return m_setting; }

    // The code of the language in use; never "auto".
    const std::string& effective_language() const { return m_code; }

    // The language in use is written right to left: the window mirrors its layout.
    bool is_rtl() const { return m_rtl.load(std::memory_order_relaxed); }

    // The text of key in the language in use; key itself (the same pointer) when
    // it is not a key, null or empty. The result points into static tables.
    const char* tr(const char* key) const;

    // tr(key) with each "%s" replaced by the next argument, in order. Arguments
    // may be C strings or std::string; a "%s" without an argument becomes empty
    // and surplus arguments are ignored, so a faulty text can never crash.
    template <typename... Args>
    std::string trf(const char* key, const Args&... args) const {
        const char* texts[] = {as_text(args)..., nullptr};
        return substitute(tr(key), texts, sizeof...(Args));
    }

    // Decimal and group separators of the language in use.
    NumberFormat number_format() const;

    // The strftime pattern of a short date in the language in use.
    const char* date_format() const;

    // Font family of the interface; the same for every language.
    const char* ui_font_family() const { return "sans-serif"; }

    // Font family of paths and sizes.
    static const char* mono_font_family() { return "monospace"; }

    // Every compiled-in language, in table order (sorted by code).
    static std::vector<LanguageInfo> available();

    // The first of the session's locale names (LANGUAGE, LC_ALL, LC_MESSAGES,
    // LANG, as GLib orders them) that names a compiled-in language, with the
    // codeset and modifier cut off and, failing an exact match, the region too:
    // zh_TW.UTF-8 gives "zh_TW", zh_CN gives "zh", sr@latin gives "sr". "en"
    // when none matches.
    static std::string detect_system_language();

private:
    I18n();

    static const char* as_text(const char* s) { return s != nullptr ? s : ""; }
    static const char* as_text(const std::string& s) { return s.c_str(); }
    static std::string substitute(const char* text, const char* const* args, std::size_t count);

    std::string m_setting = "auto";  // the language setting as chosen
    std::string m_code = "en";       // the code of the language in use
    std::atomic<bool> m_rtl{false};  // the language in use is written right to left
    std::atomic<int> m_lang_index;   // index of the language in use in i18n_data::LANGS
};

// --- Lookups as pure functions, for the tests ---
namespace i18n_detail {

// Index of key in the sorted table keys[0..count), or -1. Compares by content.
int find_key(const char* key, const char* const* keys, std::size_t count);

// Index of code in i18n_data::LANGS (exact match), or -1.
int language_index(const std::string& code);

// The row of the number and date tables for code, or null for a code without one
// (which then gets English's formats).
const I18n::NumberFormat* number_format_row(const std::string& code);
const char* date_format_row(const std::string& code);

// The number of rows of the number and date tables.
std::size_t number_format_rows();
std::size_t date_format_rows();

}  // namespace i18n_detail
