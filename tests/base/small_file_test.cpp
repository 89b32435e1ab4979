// Reading a whole small file: what callers parse must be the whole file or
// nothing, and nothing put in a file's place may block the caller.
#include "base/small_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>

#include "test_support.h"

namespace {

using testing_support::TempDir;

void put(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}

TEST(SmallFile, AFileAtTheLimitIsReadWholeAndOneByteMoreIsRefusedNotCut) {
    TempDir t;
    const std::string at = t / "at";
    const std::string over = t / "over";
    put(at, std::string(100, 'a'));
    put(over, std::string(101, 'b'));
    EXPECT_EQ(small_file::read(at, 100), std::string(100, 'a'));
    EXPECT_EQ(small_file::read(over, 100), std::nullopt);
}

TEST(SmallFile, ContentWithNulAndLineBreaksComesBackByteForByte) {
    TempDir t;
    const std::string text = std::string("a\0b\r\n", 5) + std::string(40000, 'x');
    put(t / "f", text);
    EXPECT_EQ(small_file::read(t / "f", 1 << 20), text);
}

TEST(SmallFile, MissingFilesFoldersAndFifosAreNotReadAndNeverBlock) {
    TempDir t;
    testing_support::make_dirs(t.path(), "dir");
    ASSERT_EQ(::mkfifo((t / "fifo").c_str(), 0600), 0);
    EXPECT_EQ(small_file::read(t / "missing", 100), std::nullopt);
    EXPECT_EQ(small_file::read(t / "dir", 100), std::nullopt);
    EXPECT_EQ(small_file::read(t / "fifo", 100), std::nullopt);
}

}  // namespace
