// format — the short texts the interface shows for sizes, counts, durations,
// ages and dates.
//
// Separators and date order follow the current interface language
// (I18n::number_format, I18n::date_format); words ("just now", "1 file") are
// translation keys. Unit symbols (B, KB, …, PB) are never translated. Sizes use
// the binary base 1024. Numbers are printed without the C library's locale, so
// the result does not depend on LC_NUMERIC.
//
// Never throws; negative sizes count as 0.
//
// Threads: any thread may call any function (the translation tables are only
// read; fmt::relative and fmt::date read the clock and the time zone).
#pragma once

#include <cstdint>
#include <ctime>
#include <string>

namespace fmt {

// --- Scales shared with the plain-text report ---

// Size units, each 1024 times the one before; never translated.
inline constexpr const char* kSizeUnits[] = {"B", "KB", "MB", "GB", "TB", "PB"};

// A size in the largest unit it reaches (at most PB), with the decimals it is
// shown with: none for bytes and kilobytes, max_decimals above.
struct ScaledSize {
    double value = 0;  // the size in that unit
    int unit = 0;      // index into kSizeUnits
    int decimals = 0;  // digits after the decimal separator
};
ScaledSize scale_size(std::int64_t bytes, int max_decimals);

// The unit an age is given in, from "just now" to years.
enum class AgeUnit { Now, Minutes, Hours, Days, Weeks, Months, Years };

// How long before now a moment lies, rounded to its unit: below 45 s "now",
// then minutes below 45 min, hours below 22 h, days below 6 d, weeks below
// 4 w, months (30.4375 days) below 11 mo, years (365.25 days) beyond. A moment
// in the future is "now". Computed without overflow for every time_t, the
// most negative one included (a filesystem may hold it).
struct Age {
    AgeUnit unit = AgeUnit::Now;  // the unit
    std::int64_t count = 0;       // whole units, halves rounded away from zero; 0 for Now
};
Age age_between(std::time_t t, std::time_t now);

// --- Interface texts ---

// A size with up to 2 decimals: "1,023 B", "1 KB", "1.50 MB", "3,072.00 PB".
// Kilobytes are always whole; bytes never have decimals.
std::string bytes(std::int64_t value);

// The same with up to 1 decimal, for tight labels: "1.5 MB", "2 KB".
std::string bytes_short(std::int64_t value);

// An integer with the language's group separator: "1,234,567", "-1,234".
std::string count(std::int64_t value);

// "1 file" for exactly 1, otherwise "%s files" with count(value), translated.
std::string files(std::int64_t value);

// A duration with one decimal and the translated unit "s": "2.5 s". Negative
// and non-finite values count as 0.
std::string seconds(double value);

// The age of moment t relative to now ("just now", "5 min ago", … "2 y ago"),
// translated; empty for t == 0. The second form takes "now" from the caller.
std::string relative(std::time_t t);
std::string relative(std::time_t t, std::time_t now);

// The local date of t in the language's short pattern ("03/14/24"); empty for
// t == 0 and for a time the C library cannot convert.
std::string date(std::time_t t);

// Digits with an optional "." or "," and fraction, as printf gives them,
// re-written with the language's separators: "1234567.5" -> "1,234,567.5".
std::string localize_number(const std::string& plain);

}  // namespace fmt
