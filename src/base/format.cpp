// format — sizes, counts, ages and dates as interface texts. See format.h.
#include "base/format.h"

#include <charconv>
#include <cmath>
#include <cstdint>

#include "base/i18n.h"

namespace fmt {

namespace {

constexpr int kLastUnit = 5;

// Where each unit of an age starts (seconds) and how long it is. Each unit
// starts at three quarters of itself or a little below the next: 45 min,
// 22 h, 6 d, 4 w, 11 mo.
struct AgeStep {
    std::int64_t from;  // seconds from which this unit is used
    double length;      // seconds per unit
    AgeUnit unit;
};
constexpr AgeStep kAgeSteps[] = {
    {45, 60, AgeUnit::Minutes},          {2700, 3600, AgeUnit::Hours},
    {79200, 86400, AgeUnit::Days},       {518400, 604800, AgeUnit::Weeks},
    {2419200, 2629800, AgeUnit::Months}, {28927800, 31557600, AgeUnit::Years},
};

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
    const ScaledSize s = scale_size(value, max_decimals);
    return localize_number(fixed(s.value, s.decimals)) + " " + kSizeUnits[s.unit];
}

}  // namespace

// --- Scales ---

ScaledSize scale_size(std::int64_t bytes, int max_decimals) {
    ScaledSize s;
    s.value = bytes > 0 ? static_cast<double>(bytes) : 0.0;
    while (s.value >= 1024 && s.unit < kLastUnit) {
        s.value /= 1024;
        ++s.unit;
    }
    // A kilobyte count is shown whole: "1,023 KB", never "1,023.40 KB".
    s.decimals = s.unit <= 1 ? 0 : max_decimals;
    return s;
}

Age age_between(std::time_t t, std::time_t now) {
    std::int64_t d = 0;
    // now - t overflows for a moment near the most negative time_t: such a
    // moment is as old as anything can be.
    if (__builtin_sub_overflow(static_cast<std::int64_t>(now), static_cast<std::int64_t>(t), &d))
        d = t < 0 ? INT64_MAX : INT64_MIN;
    Age age;
    for (const AgeStep& step : kAgeSteps) {
        if (d < step.from)
            break;
        age.unit = step.unit;
        age.count = static_cast<std::int64_t>(std::llround(static_cast<double>(d) / step.length));
    }
    return age;
}

// --- Interface texts ---

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
    if (digits[0] == '-')
        return "-" + localize_number(digits.substr(1));
    return localize_number(digits);
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
    const Age age = age_between(t, now);
    const I18n& i18n = I18n::instance();
    switch (age.unit) {
        case AgeUnit::Now:
            return i18n.tr("just now");
        case AgeUnit::Minutes:
            return i18n.trf("%s min ago", count(age.count));
        case AgeUnit::Hours:
            return i18n.trf("%s h ago", count(age.count));
        case AgeUnit::Days:
            return i18n.trf("%s d ago", count(age.count));
        case AgeUnit::Weeks:
            return i18n.trf("%s w ago", count(age.count));
        case AgeUnit::Months:
            return i18n.trf("%s mo ago", count(age.count));
        case AgeUnit::Years:
            return i18n.trf("%s y ago", count(age.count));
    }
    return {};
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
