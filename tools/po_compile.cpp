// po_compile — turns the interface translations into compiled-in tables.
//
//   po_compile KEYS.pot LANGUAGES.txt PO_DIR OUTPUT.cpp
//
// Reads the English keys from the template KEYS.pot, the language list from
// LANGUAGES.txt and, for every language but English, PO_DIR/<code>.po when it
// exists; writes the C++ source of the i18n_data tables to OUTPUT.cpp. A text a
// language does not translate (no file, no entry, an empty or fuzzy entry) is the
// English key, and one line on standard output names the languages concerned.
//
// Anything that would show a wrong or crashing text is refused with
// "file:line: reason" on standard error, exit status 1 and no output written:
// keys out of byte order or repeated, a translation of a text that is not a key,
// a translation whose "%s" placeholders differ from its key's in number or that
// uses any other conversion, text that is not strict UTF-8 or holds a control
// byte other than tab and newline (a NUL would cut the text short), and
// malformed .po syntax.
//
// Runs at build time only; the program itself never reads these files.
#include <sys/stat.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "base/strutil.h"

namespace {

// Thrown for any input the tables must not be built from; caught in main.
struct CompileError {
    std::string message;
};

[[noreturn]] void fail(const std::string& file, int line, const std::string& what) {
    throw CompileError{file + ":" + std::to_string(line) + ": " + what};
}

std::string read_whole_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw CompileError{path + ": cannot be read"};
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::vector<std::string> split_lines(const std::string& text) {
    std::vector<std::string> lines;
    std::string line;
    std::istringstream in(text);
    while (std::getline(in, line)) {
        // Files saved on Windows keep working.
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(line);
    }
    // A UTF-8 byte order mark some editors put in front is no part of the text.
    if (!lines.empty() && su::starts_with(lines[0], "\xEF\xBB\xBF"))
        lines[0].erase(0, 3);
    return lines;
}

// Number of "%s" in text, or -1 when a "%" starts anything else: the program
// formats these texts with string arguments only, so "%d" or a lone "%" would
// read an argument that is not there.
int placeholder_count(const std::string& text) {
    int count = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%')
            continue;
        if (i + 1 >= text.size() || text[i + 1] != 's')
            return -1;
        ++count;
        ++i;
    }
    return count;
}

// --- .po syntax ---

struct PoEntry {
    int line = 0;              // line of the msgid (or msgctxt) that opens it
    bool fuzzy = false;        // flagged "fuzzy": a guess a translator has not confirmed
    bool has_context = false;  // has a msgctxt, which this program does not use
    bool plural = false;       // has msgid_plural, which this program does not use
    std::string msgid;
    std::string msgstr;
};

// The text of one quoted .po string starting at rest[pos] == '"'.
std::string parse_quoted(const std::string& file, int line, const std::string& rest,
                         std::size_t pos) {
    std::string out;
    for (std::size_t i = pos + 1; i < rest.size(); ++i) {
        const char c = rest[i];
        if (c == '"') {
            if (rest.find_first_not_of(" \t", i + 1) != std::string::npos)
                fail(file, line, "unexpected text after the closing quote");
            return out;
        }
        if (c != '\\') {
            out += c;
            continue;
        }
        if (++i >= rest.size())
            break;
        switch (rest[i]) {
            case 'n':
                out += '\n';
                break;
            case 't':
                out += '\t';
                break;
            case 'r':
                out += '\r';
                break;
            case '"':
                out += '"';
                break;
            case '\\':
                out += '\\';
                break;
            default:
                fail(file, line, std::string("unsupported escape \\") + rest[i]);
        }
    }
    fail(file, line, "unterminated string");
}

class PoParser {
public:
    explicit PoParser(std::string file) : m_file(std::move(file)) {}

    std::vector<PoEntry> parse(const std::string& text) {
        const std::vector<std::string> lines = split_lines(text);
        for (std::size_t i = 0; i < lines.size(); ++i)
            parse_line(static_cast<int>(i + 1), lines[i]);
        finish(static_cast<int>(lines.size()));
        return std::move(m_entries);
    }

private:
    enum class Field { None, Context, Id, Plural, Str, PluralStr };

    void parse_line(int line, const std::string& raw) {
        const std::size_t start = raw.find_first_not_of(" \t");
        if (start == std::string::npos) {
            finish(line);
            return;
        }
        const std::string text = raw.substr(start);
        if (text[0] == '#') {
            comment(line, text);
        } else if (text[0] == '"') {
            if (m_field == Field::None)
                fail(m_file, line, "string outside an entry");
            field_text() += parse_quoted(m_file, line, text, 0);
        } else {
            keyword(line, text);
        }
    }

    void comment(int line, const std::string& text) {
        if (m_has_str) {
            finish(line);
        } else if (m_started) {
            fail(m_file, line, "comment inside an entry");
        }
        // "#~" marks an entry msgmerge made obsolete: kept for translators, never used.
        if (!su::starts_with(text, "#,"))
            return;
        std::istringstream flags(text.substr(2));
        std::string flag;
        while (std::getline(flags, flag, ',')) {
            const std::size_t b = flag.find_first_not_of(" \t");
            const std::size_t e = flag.find_last_not_of(" \t");
            if (b != std::string::npos && flag.substr(b, e - b + 1) == "fuzzy")
                m_entry.fuzzy = true;
        }
    }

    void keyword(int line, const std::string& text) {
        const std::size_t quote = text.find('"');
        if (quote == std::string::npos)
            fail(m_file, line, "expected a quoted string");
        std::string word = text.substr(0, quote);
        word.erase(word.find_last_not_of(" \t") + 1);
        if (word == "msgctxt" || word == "msgid") {
            if (m_has_str)
                finish(line);
            if (m_has_id)
                fail(m_file, line, "msgid without msgstr");
            if (!m_started)
                m_entry.line = line;
            m_started = true;
            if (word == "msgctxt") {
                m_entry.has_context = true;
                m_field = Field::Context;
            } else {
                m_has_id = true;
                m_field = Field::Id;
            }
        } else if (word == "msgid_plural") {
            if (!m_has_id || m_has_str)
                fail(m_file, line, "msgid_plural out of place");
            m_entry.plural = true;
            m_field = Field::Plural;
        } else if (word == "msgstr") {
            if (!m_has_id || m_has_str)
                fail(m_file, line, "msgstr out of place");
            m_has_str = true;
            m_field = Field::Str;
        } else if (su::starts_with(word, "msgstr[")) {
            if (!m_entry.plural)
                fail(m_file, line, "msgstr[] without msgid_plural");
            m_has_str = true;
            m_field = Field::PluralStr;
        } else {
            fail(m_file, line, "unknown keyword \"" + word + "\"");
        }
        field_text() = parse_quoted(m_file, line, text, quote);
    }

    std::string& field_text() {
        switch (m_field) {
            case Field::Id:
                return m_entry.msgid;
            case Field::Str:
                return m_entry.msgstr;
            default:
                return m_ignored;  // contexts and plural forms are refused later
        }
    }

    void finish(int line) {
        if (m_started && !m_has_str)
            fail(m_file, line, "entry without msgstr");
        if (m_started)
            m_entries.push_back(m_entry);
        m_entry = PoEntry{};
        m_started = m_has_id = m_has_str = false;
        m_field = Field::None;
    }

    std::string m_file;
    std::vector<PoEntry> m_entries;
    PoEntry m_entry;
    bool m_started = false;  // a keyword of m_entry has been read
    bool m_has_id = false;
    bool m_has_str = false;
    Field m_field = Field::None;  // the field a continuation string extends
    std::string m_ignored;
};

std::vector<PoEntry> parse_po_file(const std::string& path) {
    return PoParser(path).parse(read_whole_file(path));
}

// --- Inputs ---

struct Language {
    std::string code;
    std::string native_name;
    bool rtl = false;
};

struct Translation {
    bool has_file = false;
    std::size_t translated = 0;
    std::vector<std::optional<std::string>> values;  // per key; empty = English
};

void check_text(const std::string& file, int line, const std::string& text) {
    if (!su::is_valid_utf8(text))
        fail(file, line, "text is not valid UTF-8");
    // The tables are C strings, so a NUL would cut the text short; other
    // control bytes draw as boxes or move the cursor. Tab and newline are the
    // only ones a label may hold.
    for (unsigned char c : text) {
        if ((c < 0x20 && c != '\t' && c != '\n') || c == 0x7F) {
            char code[8];
            std::snprintf(code, sizeof code, "0x%02X", c);
            fail(file, line, std::string("control byte ") + code + " in the text");
        }
    }
}

std::vector<std::string> read_keys(const std::string& path) {
    std::vector<std::string> keys;
    for (const PoEntry& e : parse_po_file(path)) {
        if (e.msgid.empty())
            continue;  // the header entry
        if (e.has_context || e.plural)
            fail(path, e.line, "contexts and plural forms are not used");
        check_text(path, e.line, e.msgid);
        if (placeholder_count(e.msgid) < 0)
            fail(path, e.line, "a key may use \"%s\" only, never another conversion");
        if (!keys.empty() && std::strcmp(keys.back().c_str(), e.msgid.c_str()) >= 0) {
            fail(path, e.line,
                 "\"" + e.msgid + "\" is " +
                     (keys.back() == e.msgid ? "repeated" : "out of byte order"));
        }
        keys.push_back(e.msgid);
    }
    if (keys.empty())
        throw CompileError{path + ": holds no keys"};
    return keys;
}

bool valid_code(const std::string& code) {
    // "de", "fil", "zh_TW": what a .po file name and a locale name carry.
    auto lower = [](char c) { return c >= 'a' && c <= 'z'; };
    auto upper = [](char c) { return c >= 'A' && c <= 'Z'; };
    const std::size_t us = code.find('_');
    const std::string lang = code.substr(0, us);
    if (lang.size() < 2 || lang.size() > 3)
        return false;
    for (char c : lang) {
        if (!lower(c))
            return false;
    }
    if (us == std::string::npos)
        return true;
    const std::string region = code.substr(us + 1);
    return region.size() == 2 && upper(region[0]) && upper(region[1]);
}

std::vector<Language> read_languages(const std::string& path) {
    std::vector<Language> langs;
    const std::vector<std::string> lines = split_lines(read_whole_file(path));
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const int line = static_cast<int>(i + 1);
        if (lines[i].empty() || lines[i][0] == '#')
            continue;
        std::vector<std::string> fields;
        std::istringstream in(lines[i]);
        for (std::string f; std::getline(in, f, '\t');)
            fields.push_back(f);
        if (fields.size() != 3 || fields[1].empty() || (fields[2] != "ltr" && fields[2] != "rtl"))
            fail(path, line, "expected: code, tab, native name, tab, ltr or rtl");
        if (!valid_code(fields[0]))
            fail(path, line, "\"" + fields[0] + "\" is not a language code");
        check_text(path, line, fields[1]);
        if (!langs.empty() && std::strcmp(langs.back().code.c_str(), fields[0].c_str()) >= 0)
            fail(path, line, "\"" + fields[0] + "\" is repeated or out of order");
        langs.push_back({fields[0], fields[1], fields[2] == "rtl"});
    }
    bool has_english = false;
    for (const Language& l : langs)
        has_english = has_english || l.code == "en";
    if (!has_english)
        throw CompileError{path + ": English (en) is missing; it is every text's fallback"};
    return langs;
}

void check_header(const std::string& path, const PoEntry& header) {
    const std::size_t at = header.msgstr.find("charset=");
    if (at == std::string::npos)
        return;
    std::string charset = header.msgstr.substr(at + 8);
    charset = su::lower_ascii(charset.substr(0, charset.find_first_of(" ;\n")));
    if (charset != "utf-8")
        fail(path, header.line, "the file must be saved as UTF-8, not " + charset);
}

Translation read_translation(const std::string& path, const std::vector<std::string>& keys) {
    Translation t;
    t.has_file = true;
    t.values.resize(keys.size());
    std::vector<bool> seen(keys.size(), false);
    for (const PoEntry& e : parse_po_file(path)) {
        if (e.msgid.empty() && !e.has_context) {
            check_header(path, e);
            continue;
        }
        if (e.has_context || e.plural)
            fail(path, e.line, "contexts and plural forms are not used");
        const auto it = std::lower_bound(keys.begin(), keys.end(), e.msgid);
        if (it == keys.end() || *it != e.msgid)
            fail(path, e.line, "\"" + e.msgid + "\" is not an interface text");
        const std::size_t index = static_cast<std::size_t>(it - keys.begin());
        if (seen[index])
            fail(path, e.line, "\"" + e.msgid + "\" is translated twice");
        seen[index] = true;
        // A fuzzy entry is unconfirmed: the English text is shown until it is.
        if (e.fuzzy || e.msgstr.empty())
            continue;
        check_text(path, e.line, e.msgstr);
        if (placeholder_count(e.msgstr) != placeholder_count(e.msgid)) {
            fail(path, e.line,
                 "the translation of \"" + e.msgid + "\" must contain \"%s\" exactly " +
                     std::to_string(placeholder_count(e.msgid)) +
                     " time(s) and no other % conversion");
        }
        t.values[index] = e.msgstr;
        ++t.translated;
    }
    return t;
}

// --- Output ---

// A C++ string literal of text; everything outside printable ASCII is written
// as an octal escape, so the result does not depend on the compiler's charset.
std::string literal(const std::string& text) {
    std::string out = "\"";
    for (unsigned char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c >= 0x20 && c < 0x7F) {
            out += static_cast<char>(c);
        } else {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\%03o", c);
            out += buf;
        }
    }
    return out + "\"";
}

std::string generate(const std::vector<std::string>& keys, const std::vector<Language>& langs,
                     const std::vector<Translation>& translations) {
    std::ostringstream out;
    out << "// Generated by po_compile from po/brushwick.pot, po/languages.txt and po/*.po.\n"
        << "// Do not edit: change those files and rebuild.\n"
        << "#include \"base/i18n_data.h\"\n\nnamespace i18n_data {\n\nnamespace {\n\n";
    for (std::size_t k = 0; k < keys.size(); ++k)
        out << "constexpr char K" << k << "[] = " << literal(keys[k]) << ";\n";
    out << "\n}  // namespace\n\nconst char* const KEYS[] = {\n";
    for (std::size_t k = 0; k < keys.size(); ++k)
        out << "    K" << k << ",\n";
    out << "};\nconst std::size_t KEY_COUNT = " << keys.size() << ";\n\nnamespace {\n";
    for (std::size_t l = 0; l < langs.size(); ++l) {
        if (!translations[l].has_file)
            continue;
        out << "\nconst char* const VALUES_" << langs[l].code << "[] = {\n";
        for (std::size_t k = 0; k < keys.size(); ++k) {
            const auto& v = translations[l].values[k];
            out << "    " << (v ? literal(*v) : "K" + std::to_string(k)) << ",\n";
        }
        out << "};\n";
    }
    out << "\n}  // namespace\n\nconst LangEntry LANGS[] = {\n";
    for (std::size_t l = 0; l < langs.size(); ++l) {
        out << "    {" << literal(langs[l].code) << ", " << literal(langs[l].native_name) << ", "
            << (langs[l].rtl ? "true" : "false") << ", "
            << (translations[l].has_file ? "VALUES_" + langs[l].code : std::string("KEYS"))
            << "},\n";
    }
    out << "};\nconst std::size_t LANG_COUNT = " << langs.size()
        << ";\n\nconst PoStatus PO_STATUS[] = {\n";
    for (const Translation& t : translations)
        out << "    {" << (t.has_file ? "true" : "false") << ", " << t.translated << "},\n";
    out << "};\n\n}  // namespace i18n_data\n";
    return out.str();
}

// One line for the build log: which languages show English texts, and how many.
std::string fallback_report(const std::vector<std::string>& keys,
                            const std::vector<Language>& langs,
                            const std::vector<Translation>& translations) {
    std::string no_file, incomplete;
    for (std::size_t l = 0; l < langs.size(); ++l) {
        if (langs[l].code == "en")
            continue;
        const Translation& t = translations[l];
        if (!t.has_file) {
            no_file += " " + langs[l].code;
        } else if (t.translated < keys.size()) {
            incomplete += " " + langs[l].code + " (" + std::to_string(keys.size() - t.translated) +
                          " of " + std::to_string(keys.size()) + " missing)";
        }
    }
    if (no_file.empty() && incomplete.empty())
        return "po_compile: every language is fully translated";
    std::string report = "po_compile: English shown for missing translations;";
    if (!no_file.empty())
        report += " no .po file:" + no_file + ";";
    if (!incomplete.empty())
        report += " incomplete:" + incomplete + ";";
    report.pop_back();
    return report;
}

void check_po_files(const std::string& po_dir, const std::vector<Language>& langs) {
    // A file for a language the list does not know would silently never be used.
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(po_dir, ec)) {
        const std::filesystem::path& p = entry.path();
        if (p.extension() != ".po")
            continue;
        const std::string code = p.stem().string();
        bool known = false;
        for (const Language& l : langs)
            known = known || (l.code == code && code != "en");
        if (!known) {
            throw CompileError{p.string() + ": " +
                               (code == "en" ? std::string("English is the keys themselves and "
                                                           "takes no .po file")
                                             : "\"" + code + "\" is not in the language list")};
        }
    }
    if (ec)
        throw CompileError{po_dir + ": cannot be listed: " + ec.message()};
}

void write_output(const std::string& path, const std::string& text) {
    // Written aside and renamed, so an interrupted build leaves no half file.
    const std::string tmp = path + ".tmp";
    {
        std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
        out << text;
        out.flush();
        if (!out)
            throw CompileError{tmp + ": cannot be written"};
    }
    if (std::rename(tmp.c_str(), path.c_str()) != 0)
        throw CompileError{path + ": cannot be replaced"};
}

int run(int argc, char** argv) {
    if (argc != 5) {
        std::cerr << "usage: po_compile KEYS.pot LANGUAGES.txt PO_DIR OUTPUT.cpp\n";
        return 2;
    }
    const std::string po_dir = argv[3];
    const std::vector<std::string> keys = read_keys(argv[1]);
    const std::vector<Language> langs = read_languages(argv[2]);
    check_po_files(po_dir, langs);
    std::vector<Translation> translations;
    for (const Language& l : langs) {
        const std::string po = po_dir + "/" + l.code + ".po";
        struct stat st {};
        if (l.code != "en" && ::stat(po.c_str(), &st) == 0) {
            translations.push_back(read_translation(po, keys));
        } else {
            translations.push_back(Translation{});
        }
    }
    write_output(argv[4], generate(keys, langs, translations));
    std::cout << fallback_report(keys, langs, translations) << "\n";
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    try {
        return run(argc, argv);
    } catch (const CompileError& e) {
        std::cerr << e.message << "\n";
        return 1;
    }
}
