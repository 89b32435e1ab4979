// window_manager — the stored window geometry. See window_manager.h.
#include "window_manager.h"

#include <climits>
#include <cstdint>

#include "paths.h"
#include "settings.h"

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

namespace window_manager_detail {

std::string to_text(int x, int y, int width, int height, bool maximized) {
    return "{\n  \"width\": " + std::to_string(width) +
           ",\n  \"height\": " + std::to_string(height) + ",\n  \"x\": " + std::to_string(x) +
           ",\n  \"y\": " + std::to_string(y) +
           ",\n  \"maximized\": " + (maximized ? "true" : "false") + "\n}\n";
}

WindowGeometry from_text(const std::string& content) {
    WindowGeometry g;
    g.x = read_int(content, "x", WindowManager::NONE);
    g.y = read_int(content, "y", WindowManager::NONE);
    g.has_position = g.x != WindowManager::NONE && g.y != WindowManager::NONE;
    g.width = read_int(content, "width", WindowManager::MIN_WIDTH);
    g.height = read_int(content, "height", WindowManager::MIN_HEIGHT);
    // Exactly the form save() writes: the colon, one space, true.
    const auto pos = settings_util::value_position(content, "maximized");
    g.maximized = pos && content.compare(*pos, 5, " true") == 0;
    if (g.width < WindowManager::MIN_WIDTH)
        g.width = WindowManager::MIN_WIDTH;
    if (g.height < WindowManager::MIN_HEIGHT)
        g.height = WindowManager::MIN_HEIGHT;
    g.valid = true;
    return g;
}

}  // namespace window_manager_detail

WindowManager& WindowManager::instance() {
    static WindowManager manager;
    return manager;
}

std::string WindowManager::path() const {
    return paths::config_dir() + "/geometry.json";
}

bool WindowManager::save(int x, int y, int width, int height, bool maximized) const {
    // A window below the minimum was never meant to be kept (the minimum was
    // bypassed); a maximized one reports the size of its screen.
    if (!(width >= MIN_WIDTH && height >= MIN_HEIGHT) && !maximized)
        return false;
    return settings_util::write_file_atomically(
        path(), window_manager_detail::to_text(x, y, width, height, maximized));
}

WindowGeometry WindowManager::load() const {
    const auto content = settings_util::read_small_file(path());
    if (!content)
        return WindowGeometry{};
    return window_manager_detail::from_text(*content);
}
