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

TEST(Utf8Validation, StructuralRulesOnly) {
    EXPECT_TRUE(su::is_valid_utf8(""));
    EXPECT_TRUE(su::is_valid_utf8("plain"));
    EXPECT_TRUE(su::is_valid_utf8("\xC0\x80"));      // overlong passes
    EXPECT_TRUE(su::is_valid_utf8("\xED\xA0\x80"));  // surrogate passes
    EXPECT_FALSE(su::is_valid_utf8("\x80"));
    EXPECT_FALSE(su::is_valid_utf8("\xE2\x82"));
    EXPECT_FALSE(su::is_valid_utf8("\xF8\x88\x80\x80\x80"));
    EXPECT_FALSE(su::is_valid_utf8("a\xC3(b"));
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
