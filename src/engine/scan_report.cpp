// scan_report — see scan_report.h.
#include "engine/scan_report.h"

#include <algorithm>
#include <cstdio>

#include "base/format.h"
#include "base/strutil.h"

namespace scan_report {

namespace {

// Characters shown, counting each UTF-8 sequence once (the text is valid).
std::size_t width_of(const std::string& s) {
    std::size_t n = 0;
    for (unsigned char c : s) {
        if ((c & 0xC0) != 0x80)
            ++n;
    }
    return n;
}

void pad_to(std::string& out, const std::string& cell, std::size_t width, bool right) {
    const std::size_t w = width_of(cell);
    const std::string fill(width > w ? width - w : 0, ' ');
    out += right ? fill + cell : cell + fill;
}

struct Row {
    std::string cells[6];
};

// The short English names of fmt::AgeUnit, in its order.
constexpr const char* kAgeUnitNames[] = {"now", "min", "h", "d", "w", "mo", "y"};

constexpr const char* kHeader[6] = {"GROUP", "CATEGORY", "ENTRY", "SIZE", "SAFETY", "AGE"};

std::string safety_cell(const Item& it) {
    const std::string title = catalog::safety_title(it.safety);
    return it.keep_hint ? title + " (newest kept)" : title;
}

}  // namespace

const char* safety_key(SafetyLevel s) {
    switch (s) {
        case SafetyLevel::Safe:
            return "safe";
        case SafetyLevel::Caution:
            return "caution";
        case SafetyLevel::Risky:
            return "risky";
    }
    return "unknown";
}

std::string json_string(const std::string& raw) {
    const std::string s = su::sanitize_utf8(raw);
    std::string out;
    out.reserve(s.size() + 2);
    out += '"';
    for (unsigned char c : s) {
        switch (c) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                if (c < 0x20 || c == 0x7F) {
                    char buf[8];
                    std::snprintf(buf, sizeof buf, "\\u%04x", c);
                    out += buf;
                } else {
                    out += static_cast<char>(c);
                }
        }
    }
    out += '"';
    return out;
}

std::string json(const std::string& home, const std::string& projects_root,
                 const std::vector<CatState>& cats) {
    std::string out = "{\"home\": " + json_string(home) +
                      ", \"projects_root\": " + json_string(projects_root) + ", \"categories\": [";
    for (std::size_t c = 0; c < cats.size(); ++c) {
        const CatState& cat = cats[c];
        out += c == 0 ? "\n" : ",\n";
        out += "  {\"id\": " + json_string(cat.def.id) +
               ", \"group\": " + json_string(catalog::group_title(cat.def.group)) +
               ", \"title\": " + json_string(cat.def.title) +
               ", \"path\": " + json_string(cat.def.path) +
               ", \"safety\": " + json_string(safety_key(cat.def.safety)) +
               ", \"total\": " + std::to_string(cat.total_size()) +
               ", \"partial\": " + (cat.partial() ? "true" : "false") +
               ", \"not_answering\": " + (cat.not_answering ? "true" : "false") +
               ", \"entries\": [";
        for (std::size_t i = 0; i < cat.items.size(); ++i) {
            const Item& it = cat.items[i];
            out += i == 0 ? "\n" : ",\n";
            out += "    {\"path\": " + json_string(it.path) +
                   ", \"name\": " + json_string(it.name) +
                   ", \"detail\": " + json_string(it.detail) +
                   ", \"size\": " + (it.size_known ? std::to_string(it.size) : "null") +
                   ", \"safety\": " + json_string(safety_key(it.safety)) +
                   ", \"keep_newest\": " + (it.keep_hint ? "true" : "false") +
                   ", \"kept\": " + (it.kept ? "true" : "false") +
                   ", \"modified\": " + std::to_string(static_cast<long long>(it.modified)) +
                   ", \"project_changed\": " +
                   (it.activity > 0 ? std::to_string(static_cast<long long>(it.activity))
                                    : std::string("null")) +
                   "}";
        }
        out += cat.items.empty() ? "]}" : "\n  ]}";
    }
    out += cats.empty() ? "]}\n" : "\n]}\n";
    return out;
}

std::string size_text(std::int64_t bytes) {
    if (bytes < 0)
        return "?";
    // The window's scale, printed without its language's separators.
    const fmt::ScaledSize s = fmt::scale_size(bytes, 2);
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.*f %s", s.decimals, s.value, fmt::kSizeUnits[s.unit]);
    return buf;
}

std::string age_text(std::time_t modified, std::time_t now) {
    if (modified == 0)
        return "";
    const fmt::Age age = fmt::age_between(modified, now);
    if (age.unit == fmt::AgeUnit::Now)
        return "now";
    return std::to_string(age.count) + " " + kAgeUnitNames[static_cast<int>(age.unit)];
}

std::string table(const std::vector<CatState>& cats, std::time_t now) {
    std::vector<Row> rows;
    rows.push_back(Row{{kHeader[0], kHeader[1], kHeader[2], kHeader[3], kHeader[4], kHeader[5]}});
    std::int64_t total = 0;
    std::size_t entries = 0;
    std::size_t empty = 0;
    std::vector<std::string> silent;  // titles of the categories that did not answer
    bool partial = false;
    for (const CatState& cat : cats) {
        if (cat.items.empty())
            ++empty;
        if (cat.not_answering)
            silent.push_back(su::sanitize_utf8(cat.def.title));
        partial = partial || cat.partial();
        total += cat.total_size();
        for (const Item& it : cat.items) {
            ++entries;
            rows.push_back(Row{{su::sanitize_utf8(catalog::group_title(cat.def.group)),
                                su::sanitize_utf8(cat.def.title), su::sanitize_utf8(it.name),
                                size_text(it.size), safety_cell(it), age_text(it.modified, now)}});
        }
    }
    std::size_t widths[6] = {};
    for (const Row& r : rows) {
        for (int c = 0; c < 6; ++c)
            widths[c] = std::max(widths[c], width_of(r.cells[c]));
    }
    std::string out;
    for (const Row& r : rows) {
        std::string line;
        for (int c = 0; c < 6; ++c) {
            if (c > 0)
                line += "  ";
            pad_to(line, r.cells[c], widths[c], c == 3);
        }
        while (!line.empty() && line.back() == ' ')
            line.pop_back();
        // A name may hold a line break; it must not break the table.
        out += su::printable(line) + "\n";
    }
    out += "\nTotal: " + std::string(partial ? "at least " : "") + size_text(total) + " in " +
           std::to_string(entries) + (entries == 1 ? " entry" : " entries") + "; " +
           std::to_string(empty) + " of " + std::to_string(cats.size()) +
           " categories have no entries.\n";
    if (partial)
        out += "Some sizes are unknown (\"?\"): the total is partial.\n";
    for (const std::string& title : silent)
        out += "Not answering: " + title + " (its folder did not answer in time)\n";
    return out;
}

}  // namespace scan_report
