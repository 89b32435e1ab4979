// i18n_data — the compiled-in translation tables.
//
// The tables are generated at build time by tools/po_compile from po/brushwick.pot
// (the English keys), po/languages.txt (the language list) and po/<code>.po (one
// translation per language); nothing is read at run time. A text a language does
// not translate yet is the English key itself — the very same pointer as in KEYS.
//
// Never changed after start-up: constant data, initialised before main.
//
// Threads: any thread may read the tables.
#pragma once

#include <cstddef>

namespace i18n_data {

// One compiled-in language.
struct LangEntry {
    const char* code;           // language code, e.g. "de" or "zh_TW"
    const char* native_name;    // the language's name in itself, shown in the language list
    bool rtl;                   // written right to left
    const char* const* values;  // KEY_COUNT texts, one per key, in key order
};

// How far a language's translation file got, for the build report and the tests.
struct PoStatus {
    bool has_file;           // po/<code>.po exists (always false for English)
    std::size_t translated;  // entries taken from it; the rest fall back to English
};

// The English texts, sorted by strcmp, no duplicates.
extern const char* const KEYS[];
// Number of entries of KEYS and of every LangEntry::values.
extern const std::size_t KEY_COUNT;

// Every interface language, sorted by code (strcmp).
extern const LangEntry LANGS[];
// Number of entries of LANGS and PO_STATUS.
extern const std::size_t LANG_COUNT;

// PO_STATUS[i] describes LANGS[i].
extern const PoStatus PO_STATUS[];

}  // namespace i18n_data
