// Byte-string and path helpers: the path splitting table is what deletion and
// "show in file manager" rely on, and the UTF-8 helpers guard every label and
// every JSON line the program writes.
#include "base/strutil.h"

#include <gtest/gtest.h>

namespace {

struct SplitCase {
    const char* path;
    const char* parent;
    const char* base;
};

TEST(PathSplitting, ParentAndBasenameMatchTheContractTable) {
    const SplitCase cases[] = {
        {"", "", ""},      {"/", "", "/"},      {"//", "/", ""},      {"/a", "/", "a"},
        {"/a/", "/", "a"}, {"/a/b", "/a", "b"}, {"/a/b/", "/a", "b"}, {"a", "", "a"},
        {"a/", "", "a"},   {"a/b", "a", "b"},   {"a//b", "a/", "b"},
    };
    for (const SplitCase& c : cases) {
        EXPECT_EQ(su::parent_of(c.path), c.parent) << "parent_of(\"" << c.path << "\")";
        EXPECT_EQ(su::basename_of(c.path), c.base) << "basename_of(\"" << c.path << "\")";
    }
}

TEST(PathSplitting, NamesWithOddBytesSurviveUnchanged) {
    const std::string name = "we\nird -\"name\xff";
    EXPECT_EQ(su::basename_of("/tmp/x/" + name), name);
    EXPECT_EQ(su::parent_of("/tmp/x/" + name), "/tmp/x");
    EXPECT_EQ(su::basename_of("/tmp/x/" + name + "//"), name);
}

TEST(JoinPath, AddsExactlyOneSlashAndKeepsEmptySides) {
    EXPECT_EQ(su::join_path("", "x"), "x");
    EXPECT_EQ(su::join_path("/a", ""), "/a");
    EXPECT_EQ(su::join_path("/a/", "x"), "/a/x");
    EXPECT_EQ(su::join_path("/a", "x"), "/a/x");
    EXPECT_EQ(su::join_path("/a", "/x"), "/a//x");
}

struct UnderCase {
    const char* path;
    const char* folder;
    bool under;
};

TEST(IsAtOrUnder, MatchesWholeComponentsAndTreatsRootAsHoldingEverything) {
    const UnderCase cases[] = {
        {"/a/b", "/a", true},     {"/a", "/a", true}, {"/ab", "/a", false}, {"/a/b", "/a/", true},
        {"/a", "/a/", true},      {"/x", "/", true},  {"/", "/", true},     {"/", "//", true},
        {"relative", "/", false}, {"", "/", false},   {"/a", "", false},    {"/a", "/a/b", false},
        {"/a/bc", "/a/b", false}, {"a/b", "a", true},
    };
    for (const UnderCase& c : cases)
        EXPECT_EQ(su::is_at_or_under(c.path, c.folder), c.under)
            << "\"" << c.path << "\" under \"" << c.folder << "\"";
}

TEST(Prefixes, StartsAndEndsWithCompareBytesOnly) {
    EXPECT_TRUE(su::starts_with("", ""));
    EXPECT_TRUE(su::starts_with("abc", ""));
    EXPECT_FALSE(su::starts_with("ab", "abc"));
    EXPECT_TRUE(su::starts_with("/home/u/x", "/home/u"));
    EXPECT_TRUE(su::ends_with("file.tar.gz", ".gz"));
    EXPECT_FALSE(su::ends_with("gz", ".gz"));
    EXPECT_TRUE(su::ends_with("x", ""));
}

TEST(LowerAscii, LeavesNonAsciiBytesAlone) {
    EXPECT_EQ(su::lower_ascii("\xC3\x84"
                              "BC"),
              "\xC3\x84"
              "bc");
    EXPECT_EQ(su::lower_ascii("MiXeD-09_Z"), "mixed-09_z");
}

TEST(ExtensionOf, HiddenFilesTrailingDotsAndCase) {
    EXPECT_EQ(su::extension_of(".."), "");
    EXPECT_EQ(su::extension_of("file."), "");
    EXPECT_EQ(su::extension_of(".profile"), "");
    EXPECT_EQ(su::extension_of("noext"), "");
    EXPECT_EQ(su::extension_of("a.b"), "b");
    EXPECT_EQ(su::extension_of("archive.TAR.GZ"), "gz");
}

TEST(TruncateUtf8, NeverSplitsACharacter) {
    EXPECT_EQ(su::truncate_utf8("a\xC3\xA9", 2), "a");
    EXPECT_EQ(su::truncate_utf8("a\xC3\xA9", 3), "a\xC3\xA9");
    EXPECT_EQ(su::truncate_utf8("\xC3\xA9", 1), "");
    EXPECT_EQ(su::truncate_utf8("abc", 0), "");
    // A four-byte character cut anywhere inside goes whole.
    const std::string emoji = "x\xF0\x9F\x98\x80";
    for (std::size_t n = 1; n < 5; ++n)
        EXPECT_EQ(su::truncate_utf8(emoji, n), "x") << n;
}

struct Utf8Case {
    const char* bytes;
    bool valid;
    const char* why;
};

TEST(Utf8Validation, RejectsEverythingAStrictReaderRejects) {
    const Utf8Case cases[] = {
        {"", true, "empty"},
        {"plain", true, "ASCII"},
        {"\xC2\x80", true, "lowest two-byte character"},
        {"\xE0\xA0\x80", true, "lowest three-byte character"},
        {"\xED\x9F\xBF", true, "last character before the surrogates"},
        {"\xEE\x80\x80", true, "first character after the surrogates"},
        {"\xF0\x90\x80\x80", true, "lowest four-byte character"},
        {"\xF4\x8F\xBF\xBF", true, "U+10FFFF"},
        {"\xC0\x80", false, "overlong NUL"},
        {"\xC1\xBF", false, "overlong ASCII"},
        {"\xE0\x80\x80", false, "overlong three-byte form"},
        {"\xF0\x80\x80\x80", false, "overlong four-byte form"},
        {"\xED\xA0\x80", false, "encoded high surrogate"},
        {"\xED\xBF\xBF", false, "encoded low surrogate"},
        {"\xF4\x90\x80\x80", false, "U+110000"},
        {"\xF5\x80\x80\x80", false, "lead byte F5"},
        {"\xF7\xBF\xBF\xBF", false, "lead byte F7"},
        {"\xFF", false, "byte FF"},
        {"\x80", false, "stray continuation byte"},
        {"\xE2\x82", false, "sequence cut at the end"},
        {"\xF8\x88\x80\x80\x80", false, "five-byte form"},
        {"a\xC3(b", false, "lead byte without its continuation"},
    };
    for (const Utf8Case& c : cases)
        EXPECT_EQ(su::is_valid_utf8(c.bytes), c.valid) << c.why;
}

TEST(Printable, ControlCharactersCannotReachTheTerminal) {
    EXPECT_EQ(su::printable("a\nb\x1b[31mc\x7f\td"), "a?b?[31mc??d");
    EXPECT_EQ(su::printable("caf\xC3\xA9 \xFF"), "caf\xC3\xA9 \xEF\xBF\xBD")
        << "UTF-8 kept, bad bytes replaced";
}

TEST(SanitizeUtf8, OverlongsSurrogatesAndOutOfRangeBecomeReplacementCharacters) {
    // Each byte that cannot start a well-formed sequence is replaced on its
    // own; the bytes after it are judged afresh.
    EXPECT_EQ(su::sanitize_utf8("a\xC0\x80"), "a\xEF\xBF\xBD\xEF\xBF\xBD");
    EXPECT_EQ(su::sanitize_utf8("\xED\xA0\x80"), "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD");
    EXPECT_EQ(su::sanitize_utf8("\xF5z"), "\xEF\xBF\xBDz");
}

TEST(SanitizeUtf8, ReplacesEachOffendingByteAndKeepsTheRest) {
    EXPECT_EQ(su::sanitize_utf8("a\xE2\x82"), "a\xEF\xBF\xBD\xEF\xBF\xBD");
    EXPECT_EQ(su::sanitize_utf8("a\xC3\x28"), "a\xEF\xBF\xBD\x28");
    EXPECT_EQ(su::sanitize_utf8("\xC3\xA9\xFF\xC3\xA9"), "\xC3\xA9\xEF\xBF\xBD\xC3\xA9");
    const std::string valid = "d\xC3\xA9j\xC3\xA0 vu";
    EXPECT_EQ(su::sanitize_utf8(valid), valid);
    // Whatever goes in, what comes out is valid.
    std::string all_bytes;
    for (int b = 0; b < 256; ++b)
        all_bytes.push_back(static_cast<char>(b));
    EXPECT_TRUE(su::is_valid_utf8(su::sanitize_utf8(all_bytes)));
}

}  // namespace

namespace {

TEST(HexDigit, AcceptsBothCasesAndNothingElse) {
    EXPECT_EQ(su::hex_digit('0'), 0);
    EXPECT_EQ(su::hex_digit('9'), 9);
    EXPECT_EQ(su::hex_digit('a'), 10);
    EXPECT_EQ(su::hex_digit('F'), 15);
    for (char c : {'g', 'G', ' ', '-', '+', 'x', '\0', '\xC3'})
        EXPECT_EQ(su::hex_digit(c), -1) << c;
}

}  // namespace
