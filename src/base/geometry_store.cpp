// geometry_store — the stored window geometry. See geometry_store.h.
#include "base/geometry_store.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>

#include "base/paths.h"
#include "base/settings.h"
#include "base/small_file.h"

namespace {

// The signed decimal integer after key's colon, or fallback when the key is
// missing, no digits follow, or the value does not fit in 32 bits.
int read_int(const std::string& content, const char* key, int fallback) {
    const auto pos = settings_util::value_position(content, key);
    if (!pos)
        return fallback;
    std::size_t i = *pos;
    while (i < content.size() &&
           (content[i] == ' ' || content[i] == '\t' || content[i] == '\n' || content[i] == '\r')) {
        ++i;
    }
    bool negative = false;
    if (i < content.size() && (content[i] == '-' || content[i] == '+')) {
        negative = content[i] == '-';
        ++i;
    }
    std::int64_t value = 0;
    bool digits = false;
    for (; i < content.size() && content[i] >= '0' && content[i] <= '9'; ++i) {
        digits = true;
        value = value * 10 + (content[i] - '0');
        if (value > static_cast<std::int64_t>(INT_MAX) + 1)
            return fallback;  // already too long; stop before the sum overflows
    }
    if (!digits)
        return fallback;
    if (negative)
        value = -value;
    if (value < INT_MIN || value > INT_MAX)
        return fallback;
    return static_cast<int>(value);
}

}  // namespace

namespace geometry_store_detail {

std::string to_text(int x, int y, int width, int height, bool maximized) {
    return "{\n  \"width\": " + std::to_string(width) +
           ",\n  \"height\": " + std::to_string(height) + ",\n  \"x\": " + std::to_string(x) +
           ",\n  \"y\": " + std::to_string(y) +
           ",\n  \"maximized\": " + (maximized ? "true" : "false") + "\n}\n";
}

WindowGeometry from_text(const std::string& content) {
    WindowGeometry g;
    g.x = read_int(content, "x", GeometryStore::NONE);
    g.y = read_int(content, "y", GeometryStore::NONE);
    g.has_position = g.x != GeometryStore::NONE && g.y != GeometryStore::NONE;
    g.width = read_int(content, "width", GeometryStore::MIN_WIDTH);
    g.height = read_int(content, "height", GeometryStore::MIN_HEIGHT);
    // Exactly the form save() writes: the colon, one space, true.
    const auto pos = settings_util::value_position(content, "maximized");
    g.maximized = pos && content.compare(*pos, 5, " true") == 0;
    if (g.width < GeometryStore::MIN_WIDTH)
        g.width = GeometryStore::MIN_WIDTH;
    if (g.height < GeometryStore::MIN_HEIGHT)
        g.height = GeometryStore::MIN_HEIGHT;
    g.valid = true;
    return g;
}

}  // namespace geometry_store_detail

GeometryStore& GeometryStore::instance() {
    static GeometryStore manager;
    return manager;
}

std::string GeometryStore::path() const {
    return paths::config_dir() + "/geometry.json";
}

bool GeometryStore::save(int x, int y, int width, int height, bool maximized) const {
    // A window below the minimum was never meant to be kept (the minimum was
    // bypassed); a maximized one reports the size of its screen.
    if (!(width >= MIN_WIDTH && height >= MIN_HEIGHT) && !maximized)
        return false;
    return settings_util::write_file_atomically(
        path(), geometry_store_detail::to_text(x, y, width, height, maximized));
}

WindowGeometry GeometryStore::load() const {
    const auto content = small_file::read(path(), settings_util::kMaxFileSize);
    if (!content)
        return WindowGeometry{};
    return geometry_store_detail::from_text(*content);
}

double GeometryStore::zoom_for(double text_scale, int area_width, int area_height) {
    if (!(text_scale > 0) || !std::isfinite(text_scale))
        return 1;
    double zoom = text_scale;
    if (area_width > 0 && area_height > 0) {
        zoom = std::min({zoom, static_cast<double>(area_width) / MIN_WIDTH,
                         static_cast<double>(area_height) / MIN_HEIGHT});
    }
    return std::max(zoom, std::min(text_scale, 1.0));
}
