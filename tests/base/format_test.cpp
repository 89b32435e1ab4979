// Sizes, counts, durations, ages and dates as the interface shows them, in
// English and in languages with other separators.
#include "base/format.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <optional>

#include "base/i18n.h"
#include "test_support.h"

namespace {

constexpr std::int64_t KiB = 1024;
constexpr std::int64_t MiB = KiB * 1024;
constexpr std::int64_t TiB = MiB * 1024 * 1024;
constexpr std::int64_t PiB = TiB * 1024;

// Each test picks its language and leaves English behind.
class Format : public ::testing::Test {
protected:
    void use(const char* code) { I18n::instance().set_language(code); }
    ~Format() override { I18n::instance().set_language("en"); }
};

struct SizeCase {
    std::int64_t value;
    const char* text;
};

TEST_F(Format, BytesInEnglishAtEveryUnitBoundary) {
    use("en");
    const SizeCase cases[] = {
        {0, "0 B"},
        {-5, "0 B"},
        {INT64_MIN, "0 B"},
        {1023, "1,023 B"},
        {1024, "1 KB"},
        {1536, "2 KB"},  // kilobytes are whole, rounded
        {1048575, "1,024 KB"},
        {1048576, "1.00 MB"},
        {1572864, "1.50 MB"},
        {5 * TiB, "5.00 TB"},
        {3 * PiB * 1024, "3,072.00 PB"},
        {INT64_MAX, "8,192.00 PB"},
    };
    for (const SizeCase& c : cases)
        EXPECT_EQ(fmt::bytes(c.value), c.text) << c.value;
}

TEST_F(Format, BytesShortKeepsOneDecimal) {
    use("en");
    EXPECT_EQ(fmt::bytes_short(1572864), "1.5 MB");
    EXPECT_EQ(fmt::bytes_short(1536), "2 KB");
    EXPECT_EQ(fmt::bytes_short(1023), "1,023 B");
    EXPECT_EQ(fmt::bytes_short(MiB * 1023 + MiB * 99 / 100), "1,024.0 MB");
    EXPECT_EQ(fmt::bytes_short(static_cast<std::int64_t>(2.25 * static_cast<double>(TiB))),
              "2.2 TB");  // printf's rounding of the binary value, not "2.3"
}

TEST_F(Format, CountsAndFilesInEnglish) {
    use("en");
    const SizeCase counts[] = {
        {0, "0"},
        {999, "999"},
        {1000, "1,000"},
        {-999, "-999"},
        {1234567, "1,234,567"},
        {-1234, "-1,234"},
        {100000, "100,000"},
        {INT64_MIN, "-9,223,372,036,854,775,808"},
    };
    for (const SizeCase& c : counts)
        EXPECT_EQ(fmt::count(c.value), c.text) << c.value;
    EXPECT_EQ(fmt::files(1), "1 file");
    EXPECT_EQ(fmt::files(0), "0 files");
    EXPECT_EQ(fmt::files(2500), "2,500 files");
    EXPECT_EQ(fmt::files(-1), "-1 files");
}

TEST_F(Format, SeparatorsFollowTheLanguage) {
    use("de");
    EXPECT_EQ(fmt::bytes(1572864), "1,50 MB");
    EXPECT_EQ(fmt::count(1234567), "1.234.567");
    EXPECT_EQ(fmt::bytes(3 * PiB * 1024), "3.072,00 PB");

    use("fr");
    EXPECT_EQ(fmt::count(1234567), "1\u202F234\u202F567");
    EXPECT_EQ(fmt::bytes(1023), "1\u202F023 B");
    EXPECT_EQ(fmt::bytes_short(1572864), "1,5 MB");

    for (const char* ungrouped : {"pt", "bg", "sr"}) {
        use(ungrouped);
        EXPECT_EQ(fmt::count(1234567), "1234567") << ungrouped;
        EXPECT_EQ(fmt::count(-1234), "-1234") << ungrouped;
        EXPECT_EQ(fmt::bytes(1572864), "1,50 MB") << ungrouped;
    }
}

TEST_F(Format, LocalizeNumberSplitsAtTheFirstSeparatorOfEitherKind) {
    use("de");
    EXPECT_EQ(fmt::localize_number("1234567.25"), "1.234.567,25");
    EXPECT_EQ(fmt::localize_number("1234,5"), "1.234,5");  // printf under a comma locale
    EXPECT_EQ(fmt::localize_number("123"), "123");
    EXPECT_EQ(fmt::localize_number("123456"), "123.456");
    EXPECT_EQ(fmt::localize_number(""), "");
    EXPECT_EQ(fmt::localize_number("12."), "12");
}

// Builds a locale named "comma" whose decimal separator is "," and whose
// thousands separator is ".", in dir (for LOCPATH): a few lines for localedef
// instead of depending on the machine's installed locales.
void make_comma_locale(const std::string& dir) {
    std::string charmap = "<code_set_name> MINI\n<escape_char> /\n<mb_cur_max> 1\nCHARMAP\n";
    for (int c = 0; c < 128; ++c) {
        char line[32];
        std::snprintf(line, sizeof line, "<U%04X> /x%02x\n", c, c);
        charmap += line;
    }
    charmap += "END CHARMAP\n";
    std::ofstream(dir + "/charmap") << charmap;
    std::ofstream(dir + "/source") << "LC_NUMERIC\ndecimal_point \"<U002C>\"\n"
                                      "thousands_sep \"<U002E>\"\ngrouping 3;3\nEND LC_NUMERIC\n";
    // -c: the other categories are missing on purpose; localedef warns and writes.
    testing_support::run_process({"/bin/sh", "-c",
                                  "localedef -c -f \"$0/charmap\" -i \"$0/source\" \"$0/comma\" "
                                  ">/dev/null 2>&1",
                                  dir});
}

TEST_F(Format, NumbersIgnoreTheProcessNumericLocale) {
    // A library that switches LC_NUMERIC must not turn "1.50 MB" into "1,50 MB".
    testing_support::TempDir dir;
    make_comma_locale(dir.path());
    testing_support::ScopedEnv env{{"LOCPATH", dir.path()}};
    const std::string saved = std::setlocale(LC_NUMERIC, nullptr);
    ASSERT_NE(std::setlocale(LC_NUMERIC, "comma"), nullptr) << "localedef failed";
    char probe[16];
    std::snprintf(probe, sizeof probe, "%.1f", 2.5);
    use("en");
    const std::string size = fmt::bytes(1572864);
    const std::string duration = fmt::seconds(12345.5);
    std::setlocale(LC_NUMERIC, saved.c_str());
    EXPECT_STREQ(probe, "2,5") << "the locale did not take effect";
    EXPECT_EQ(size, "1.50 MB");
    EXPECT_EQ(duration, "12345.5 s");
}

TEST_F(Format, SecondsHaveOneDecimalAndNeverGoNegative) {
    use("en");
    EXPECT_EQ(fmt::seconds(0), "0.0 s");
    EXPECT_EQ(fmt::seconds(2.25), "2.2 s");  // 2.25 is exact; round half to even like printf
    EXPECT_EQ(fmt::seconds(2.26), "2.3 s");
    EXPECT_EQ(fmt::seconds(-3), "0.0 s");
    EXPECT_EQ(fmt::seconds(12345.67), "12345.7 s");
    EXPECT_EQ(fmt::seconds(std::nan("")), "0.0 s");
    use("de");
    EXPECT_EQ(fmt::seconds(1.5), "1.5 s");  // the decimal point stays
}

struct AgeCase {
    std::int64_t seconds_ago;
    const char* text;
};

TEST_F(Format, RelativeAgesSwitchUnitAtTheirThresholds) {
    use("en");
    const std::time_t now = 1700000000;
    const AgeCase cases[] = {
        {-3600, "just now"},  // a moment in the future
        {0, "just now"},
        {44, "just now"},
        {45, "1 min ago"},
        {89, "1 min ago"},
        {90, "2 min ago"},  // halves round away from zero
        {2699, "45 min ago"},
        {2700, "1 h ago"},
        {79199, "22 h ago"},
        {79200, "1 d ago"},
        {518399, "6 d ago"},
        {518400, "1 w ago"},
        {2419199, "4 w ago"},
        {2419200, "1 mo ago"},
        {28927799, "11 mo ago"},
        {28927800, "1 y ago"},
        {31557600LL * 1000, "1,000 y ago"},
    };
    for (const AgeCase& c : cases)
        EXPECT_EQ(fmt::relative(now - c.seconds_ago, now), c.text) << c.seconds_ago;
    EXPECT_EQ(fmt::relative(0, now), "");
    EXPECT_EQ(fmt::relative(0), "");
    EXPECT_EQ(fmt::relative(std::time(nullptr) - 7200), "2 h ago");
}

// Sets TZ for the scope and makes the C library read it again, both ways.
class ScopedTimeZone {
public:
    explicit ScopedTimeZone(const char* tz) {
        m_env.emplace();
        m_env->set("TZ", tz);
        tzset();
    }
    ~ScopedTimeZone() {
        m_env.reset();  // TZ as it was, before the C library reads it again
        tzset();
    }

private:
    std::optional<testing_support::ScopedEnv> m_env;
};

TEST_F(Format, TheMostNegativeTimeIsTheOldestAgeInsteadOfOverflowing) {
    // A tmpfs accepts INT64_MIN as a modification time; now - t must not wrap
    // round to a moment in the future ("just now").
    use("en");
    const std::time_t now = 1700000000;
    EXPECT_EQ(fmt::relative(INT64_MIN, now), "292,271,023,045 y ago");
    EXPECT_EQ(fmt::relative(INT64_MIN + 1, now), "292,271,023,045 y ago");
    // The far future the other way round stays "just now".
    EXPECT_EQ(fmt::relative(INT64_MAX, -now), "just now");
}

TEST_F(Format, DatesUseTheLanguagesOrderInLocalTime) {
    const std::time_t t = 1710417600;  // 2024-03-14 12:00 UTC
    {
        ScopedTimeZone utc("UTC0");
        const struct {
            const char* code;
            const char* text;
        } cases[] = {{"en", "03/14/24"}, {"de", "14.03.24"}, {"fr", "14/03/24"},
                     {"nl", "14-03-24"}, {"hu", "24-03-14"}, {"ja", "24/03/14"},
                     {"lv", "24.03.14"}, {"xx", "03/14/24"}};
        for (const auto& c : cases) {
            use(c.code);
            EXPECT_EQ(fmt::date(t), c.text) << c.code;
        }
        EXPECT_EQ(fmt::date(0), "");
    }
    {
        ScopedTimeZone east("KIR-14");  // fourteen hours ahead: already the next day
        use("en");
        EXPECT_EQ(fmt::date(t + 11 * 3600), "03/15/24");
    }
}

}  // namespace
