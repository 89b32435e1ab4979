// The translation compiler, run as the build runs it, on small fixture files:
// what it accepts and produces, and every kind of input it must refuse.
#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "test_support.h"

namespace {

using testing_support::read_file;
using testing_support::run_process;
using testing_support::TempDir;

constexpr const char* kHeader =
    "msgid \"\"\n"
    "msgstr \"\"\n"
    "\"Content-Type: text/plain; charset=UTF-8\\n\"\n\n";

// Three keys in byte order: "%" < "C", "Cancel" < "Close".
const std::string kKeys = std::string(kHeader) +
                          "#, c-format\nmsgid \"%s files\"\nmsgstr \"\"\n\n"
                          "msgid \"Cancel\"\nmsgstr \"\"\n\n"
                          "msgid \"Close\"\nmsgstr \"\"\n";

const std::string kLanguages =
    "# code, name, direction\n"
    "de\tDeutsch\tltr\n"
    "en\tEnglish\tltr\n"
    "he\t\xD7\xA2\xD7\x91\xD7\xA8\xD7\x99\xD7\xAA\trtl\n";

void put(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}

struct Outcome {
    int exit_code;
    std::string messages;  // standard output and standard error together
    std::string output;    // the generated source, empty when none was written
};

// A folder with the fixture keys and languages, and po/ for translations.
class Workspace {
public:
    Workspace() {
        testing_support::make_dirs(m_dir.path(), "po");
        put(m_dir / "keys.pot", kKeys);
        put(m_dir / "languages.txt", kLanguages);
    }

    // rel is "keys.pot", "languages.txt", "i18n_data.cpp" or "po/<code>.po".
    void file(const std::string& rel, const std::string& text) { put(m_dir / rel, text); }

    Outcome compile() const {
        const std::string out = m_dir / "i18n_data.cpp";
        const auto r =
            run_process({"/bin/sh", "-c", "\"$0\" \"$@\" 2>&1", PO_COMPILE_PATH, m_dir / "keys.pot",
                         m_dir / "languages.txt", m_dir / "po", out});
        return {r.exit_code, r.out, read_file(out)};
    }

private:
    TempDir m_dir;
};

TEST(PoCompile, TakesConfirmedTranslationsAndFallsBackToTheKeyForTheRest) {
    Workspace w;
    w.file("po/de.po", std::string(kHeader) +
                           "# translator's note\n"
                           "#: src/app.cpp:10\n"
                           "msgid \"%s files\"\n"
                           "msgstr \"\"\n"
                           "\"%s \"\n"
                           "\"Dateien\"\n\n"
                           "msgid \"Cancel\"\n"
                           "msgstr \"Ab\\\"br\\\\e\\nchen\\t\"\n\n"
                           "#, fuzzy, c-format\n"
                           "msgid \"Close\"\n"
                           "msgstr \"Schlie\xC3\x9F\x65n %d\"\n\n"
                           "#~ msgid \"A text no longer used\"\n"
                           "#~ msgstr \"Nicht mehr\"\n");
    const Outcome r = w.compile();
    ASSERT_EQ(r.exit_code, 0) << r.messages;

    // Continuation lines join; escapes decode and are written back as C escapes.
    EXPECT_NE(r.output.find("\"%s Dateien\""), std::string::npos) << r.output;
    EXPECT_NE(r.output.find("\"Ab\\\"br\\\\e\\012chen\\011\""), std::string::npos) << r.output;
    // The fuzzy entry is not used, even though its placeholders are wrong.
    EXPECT_EQ(r.output.find("Schlie"), std::string::npos);
    EXPECT_NE(r.output.find("VALUES_de[] = {\n    \"%s Dateien\",\n    \"Ab"), std::string::npos);
    EXPECT_NE(r.output.find("    K2,\n};"), std::string::npos) << "Close falls back to its key";
    // Languages without a file use the keys; non-ASCII names are octal escapes.
    EXPECT_NE(r.output.find("{\"de\", \"Deutsch\", false, VALUES_de}"), std::string::npos);
    EXPECT_NE(r.output.find("{\"en\", \"English\", false, KEYS}"), std::string::npos);
    EXPECT_NE(r.output.find("{\"he\", \"\\327\\242\\327\\221\\327\\250\\327\\231\\327\\252\", "
                            "true, KEYS}"),
              std::string::npos);
    EXPECT_NE(r.output.find("PO_STATUS[] = {\n    {true, 2},\n    {false, 0},\n    {false, 0},"),
              std::string::npos);
    EXPECT_NE(r.output.find("KEY_COUNT = 3;"), std::string::npos);
    EXPECT_NE(r.output.find("LANG_COUNT = 3;"), std::string::npos);

    // One line names what falls back, languages without a file and incomplete ones.
    EXPECT_EQ(r.messages,
              "po_compile: English shown for missing translations; no .po file: he; "
              "incomplete: de (1 of 3 missing)\n");
}

TEST(PoCompile, ReportsCompleteTranslationsAsSuch) {
    Workspace w;
    const std::string full =
        "msgid \"%s files\"\nmsgstr \"%s x\"\n\n"
        "msgid \"Cancel\"\nmsgstr \"y\"\n\n"
        "msgid \"Close\"\r\nmsgstr \"z\"\r\n";
    w.file("po/de.po", "\xEF\xBB\xBF" + full);  // a byte order mark and Windows line ends are fine
    w.file("po/he.po", full);
    const Outcome r = w.compile();
    ASSERT_EQ(r.exit_code, 0) << r.messages;
    EXPECT_EQ(r.messages, "po_compile: every language is fully translated\n");
    EXPECT_NE(r.output.find("    {true, 3},\n    {false, 0},\n    {true, 3},"), std::string::npos);
}

struct Refusal {
    const char* name;
    const char* file;  // "keys.pot", "languages.txt" or "po/<code>.po"
    std::string text;
    const char* message;  // part of the expected error, "file:line: reason"
};

TEST(PoCompile, RefusesEveryTranslationThatWouldShowAWrongOrCrashingText) {
    const std::string h = kHeader;
    const Refusal cases[] = {
        {"fewer placeholders", "po/de.po", h + "msgid \"%s files\"\nmsgstr \"Dateien\"\n",
         "de.po:5: the translation of \"%s files\" must contain \"%s\" exactly 1 time(s)"},
        {"more placeholders", "po/de.po", h + "msgid \"Cancel\"\nmsgstr \"%s\"\n", "must contain"},
        {"another conversion", "po/de.po", h + "msgid \"%s files\"\nmsgstr \"%d Dateien\"\n",
         "must contain"},
        {"a lone percent", "po/de.po", h + "msgid \"%s files\"\nmsgstr \"%s Dateien 5%\"\n",
         "must contain"},
        {"unknown key", "po/de.po", h + "msgid \"Cancle\"\nmsgstr \"Abbrechen\"\n",
         "de.po:5: \"Cancle\" is not an interface text"},
        {"unknown key, fuzzy", "po/de.po", h + "#, fuzzy\nmsgid \"Gone\"\nmsgstr \"Weg\"\n",
         "is not an interface text"},
        {"translated twice", "po/de.po",
         h + "msgid \"Cancel\"\nmsgstr \"a\"\n\nmsgid \"Cancel\"\nmsgstr \"b\"\n",
         "de.po:8: \"Cancel\" is translated twice"},
        {"plural forms", "po/de.po",
         h + "msgid \"Cancel\"\nmsgid_plural \"Cancels\"\nmsgstr[0] \"a\"\nmsgstr[1] \"b\"\n",
         "plural forms are not used"},
        {"context", "po/de.po", h + "msgctxt \"button\"\nmsgid \"Cancel\"\nmsgstr \"a\"\n",
         "contexts"},
        {"not UTF-8", "po/de.po", h + "msgid \"Cancel\"\nmsgstr \"Abbr\xE9\x63hen\"\n",
         "not valid UTF-8"},
        {"overlong UTF-8", "po/de.po", h + "msgid \"Cancel\"\nmsgstr \"Ab\xC0\x80\"\n",
         "de.po:5: text is not valid UTF-8"},
        {"NUL in a translation", "po/de.po",
         h + "msgid \"%s files\"\nmsgstr \"%s Da" + std::string(1, '\0') + "teien\"\n",
         "de.po:5: control byte 0x00 in the text"},
        {"escape byte in a translation", "po/de.po", h + "msgid \"Cancel\"\nmsgstr \"a\x1B[2Jb\"\n",
         "de.po:5: control byte 0x1B"},
        {"carriage return in a translation", "po/de.po", h + "msgid \"Cancel\"\nmsgstr \"a\\rb\"\n",
         "de.po:5: control byte 0x0D"},
        {"other charset", "po/de.po",
         "msgid \"\"\nmsgstr \"Content-Type: text/plain; charset=ISO-8859-1\\n\"\n",
         "must be saved as UTF-8, not iso-8859-1"},
        {"unterminated string", "po/de.po", h + "msgid \"Cancel\nmsgstr \"a\"\n",
         "de.po:5: unterminated string"},
        {"unknown escape", "po/de.po", h + "msgid \"Cancel\"\nmsgstr \"a\\q\"\n",
         "unsupported escape \\q"},
        {"text after a string", "po/de.po", h + "msgid \"Cancel\" x\nmsgstr \"a\"\n",
         "after the closing quote"},
        {"msgid without msgstr", "po/de.po",
         h + "msgid \"Cancel\"\n\nmsgid \"Close\"\nmsgstr \"\"\n", "de.po:6: entry without msgstr"},
        {"two msgids", "po/de.po", h + "msgid \"Cancel\"\nmsgid \"Close\"\nmsgstr \"\"\n",
         "msgid without msgstr"},
        {"stray string", "po/de.po", "\"Cancel\"\n", "de.po:1: string outside an entry"},
        {"unknown keyword", "po/de.po", h + "msgtxt \"Cancel\"\n", "unknown keyword \"msgtxt\""},
        {"comment inside an entry", "po/de.po", h + "msgid \"Cancel\"\n# x\nmsgstr \"a\"\n",
         "comment inside an entry"},
        {"language not in the list", "po/fr.po", h, "\"fr\" is not in the language list"},
        {"a file for English", "po/en.po", h, "English is the keys themselves"},
        {"keys out of order", "keys.pot",
         h + "msgid \"b\"\nmsgstr \"\"\n\nmsgid \"B\"\nmsgstr \"\"\n",
         "keys.pot:8: \"B\" is out of byte order"},
        {"key repeated", "keys.pot", h + "msgid \"b\"\nmsgstr \"\"\n\nmsgid \"b\"\nmsgstr \"\"\n",
         "\"b\" is repeated"},
        {"key with another conversion", "keys.pot", h + "msgid \"%d files\"\nmsgstr \"\"\n",
         "may use \"%s\" only"},
        {"no keys", "keys.pot", h, "holds no keys"},
        {"languages out of order", "languages.txt", "en\tEnglish\tltr\nde\tDeutsch\tltr\n",
         "languages.txt:2: \"de\" is repeated or out of order"},
        {"English missing", "languages.txt", "de\tDeutsch\tltr\n", "English (en) is missing"},
        {"bad direction", "languages.txt", "en\tEnglish\tleft\n", "ltr or rtl"},
        {"bad code", "languages.txt", "en\tEnglish\tltr\nEN_us\tX\tltr\n", "not a language code"},
    };
    for (const Refusal& c : cases) {
        SCOPED_TRACE(c.name);
        Workspace w;
        w.file("i18n_data.cpp", "previous tables");
        w.file(c.file, c.text);
        const Outcome r = w.compile();
        EXPECT_EQ(r.exit_code, 1) << r.messages;
        EXPECT_NE(r.messages.find(c.message), std::string::npos) << r.messages;
        // The build fails and the tables it had stay as they were.
        EXPECT_EQ(r.output, "previous tables");
    }
}

}  // namespace
