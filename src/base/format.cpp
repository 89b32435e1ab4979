// format — sizes, counts, ages and dates as interface texts. See format.h.
#include "base/format.h"

#include <charconv>
#include <cmath>

#include "base/i18n.h"

namespace fmt {

namespace {

constexpr const char* UNITS[] = {"B", "KB", "MB", "GB", "TB", "PB"};
constexpr int kLastUnit = 5;

// value with exactly `decimals` decimals and a "." — the same digits printf's
// "%.*f" gives under the "C" locale, whatever locale the process has.
std::string fixed(double value, int decimals) {
    char buf[400];  // the largest double has 309 integer digits
    const auto r = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed, decimals);
    if (r.ec != std::errc())
        return "0";  // cannot happen for the finite values passed here; still, no garbage
    return std::string(buf, r.ptr);
}

std::string bytes_with(std::int64_t value, int max_decimals) {
    double v = value > 0 ? static_cast<double>(value) : 0.0;
    int unit = 0;
    int decimals = 0;
    if (v >= 1024) {
        decimals = max_decimals;
        while (v >= 1024 && unit < kLastUnit) {
            v /= 1024;
            ++unit;
        }
        // A kilobyte count is shown whole: "1,023 KB", never "1,023.40 KB".
        if (unit == 1)
            decimals = 0;
    }
    return localize_number(fixed(v, decimals)) + " " + UNITS[unit];
}

// d / unit rounded to the nearest whole number, halves away from zero.
std::string rounded_count(std::int64_t d, double unit) {
    return count(static_cast<std::int64_t>(std::llround(static_cast<double>(d) / unit)));
}

}  // namespace

std::string localize_number(const std::string& plain) {
    const std::size_t sep = plain.find_first_of(".,");
    const std::string integer = plain.substr(0, sep);
    const std::string fraction = sep == std::string::npos ? std::string() : plain.substr(sep + 1);
    const I18n::NumberFormat nf = I18n::instance().number_format();
    std::string out;
    if (nf.group[0] != '\0' && integer.size() > 3) {
        std::size_t first = integer.size() % 3;
        if (first == 0)
            first = 3;
        out = integer.substr(0, first);
        for (std::size_t i = first; i < integer.size(); i += 3)
            out += nf.group + integer.substr(i, 3);
    } else {
        out = integer;
    }
    if (!fraction.empty())
        out += nf.decimal + fraction;
    return out;
}

std::string bytes(std::int64_t value) {
    return bytes_with(value, 2);
}

std::string bytes_short(std::int64_t value) {
    return bytes_with(value, 1);
}

std::string count(std::int64_t value) {
    std::string digits = std::to_string(value);
    if (digits[0] != '-')
        return localize_number(digits);
    // Not "-" + localize_number(...): GCC 12 at -O2 warns falsely (-Wrestrict)
    // about a literal prepended to a temporary string.
    std::string text = localize_number(digits.substr(1));
    text.insert(0, 1, '-');
    return text;
}

std::string files(std::int64_t value) {
    if (value == 1)
        return I18n::instance().tr("1 file");
    return I18n::instance().trf("%s files", count(value));
}

std::string seconds(double value) {
    if (!std::isfinite(value) || value < 0)
        value = 0;
    return fixed(value, 1) + " " + I18n::instance().tr("s");
}

std::string relative(std::time_t t) {
    return relative(t, std::time(nullptr));
}

std::string relative(std::time_t t, std::time_t now) {
    if (t == 0)
        return {};
    const std::int64_t d = static_cast<std::int64_t>(now) - static_cast<std::int64_t>(t);
    const I18n& i18n = I18n::instance();
    // Each unit starts at three quarters of itself or a little below the next:
    // 45 min, 22 h, 6 d, 4 w, 11 mo.
    if (d <= 44)
        return i18n.tr("just now");
    if (d < 2700)
        return i18n.trf("%s min ago", rounded_count(d, 60));
    if (d < 79200)
        return i18n.trf("%s h ago", rounded_count(d, 3600));
    if (d < 518400)
        return i18n.trf("%s d ago", rounded_count(d, 86400));
    if (d < 2419200)
        return i18n.trf("%s w ago", rounded_count(d, 604800));
    if (d < 28927800)
        return i18n.trf("%s mo ago", rounded_count(d, 2629800));  // 30.4375 days
    return i18n.trf("%s y ago", rounded_count(d, 31557600));      // 365.25 days
}

std::string date(std::time_t t) {
    if (t == 0)
        return {};
    struct tm local {};
    if (localtime_r(&t, &local) == nullptr)
        return {};
    char buf[64];
    const std::size_t n = std::strftime(buf, sizeof buf, I18n::instance().date_format(), &local);
    return std::string(buf, n);
}

}  // namespace fmt
