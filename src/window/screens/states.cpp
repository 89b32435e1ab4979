// states — the full-area states of the content region: a scan in progress
// before anything was found, a scan that found nothing, and a scan that ended
// before it measured everything (cancelled, or its thread never started),
// which must never pass for a clean home.
#include <algorithm>

#include "base/i18n.h"
#include "window/app.h"

void App::draw_scanning_state(RectF area) {
    const float ax = area.x + area.w / 2;
    const float ay = area.y + 0.42f * area.h;
    fill_round_rect_gradient(RectF{ax - 44, ay - 44, 88, 88}, 44, kBrandPink, kBrandOrange, 0.2);
    Rgb accent;
    hex_to_rgb(kBrandPink, accent);
    draw_glyph(Glyph::Gear, RectF{ax - 22, ay - 22, 44, 44}, accent);
    const I18n& i18n = I18n::instance();
    draw_label_center(i18n.tr("Scanning your system …"), Font::Title,
                      RectF{area.x, ay + 54, area.w, 26}, m_palette.text);
    draw_label_center(truncate_to_width(i18n.tr("Measuring caches, SDKs and dependency folders …"),
                                        Font::Body, area.w - 60),
                      Font::Body, RectF{area.x, ay + 84, area.w, 20}, m_palette.secondary);
}

void App::draw_empty_state(RectF area) {
    const float ax = area.x + area.w / 2;
    const float ay = area.y + 0.4f * area.h;
    Rgb secondary;
    if (hex_to_rgb(m_palette.secondary, secondary)) {
        draw_glyph(Glyph::Box, RectF{ax - 26, ay - 26, 52, 52}, secondary);
    }
    const I18n& i18n = I18n::instance();
    draw_label_center(i18n.tr("Nothing found"), Font::Title, RectF{area.x, ay + 40, area.w, 26},
                      m_palette.text);
    draw_label_center(
        truncate_to_width(i18n.tr("No developer leftovers were found on this machine."), Font::Body,
                          area.w - 60),
        Font::Body, RectF{area.x, ay + 70, area.w, 20}, m_palette.secondary);
}

void App::draw_unfinished_state(RectF area) {
    m_drawing = Screen::Content;  // its Rescan button is the content region's own
    const float ax = area.x + area.w / 2;
    const float ay = area.y + 0.4f * area.h;
    Rgb secondary;
    if (hex_to_rgb(m_palette.secondary, secondary)) {
        draw_glyph(Glyph::Gear, RectF{ax - 26, ay - 26, 52, 52}, secondary);
    }
    const I18n& i18n = I18n::instance();
    draw_label_center(truncate_to_width(i18n.tr("Scan not finished"), Font::Title, area.w - 60),
                      Font::Title, RectF{area.x, ay + 40, area.w, 26}, m_palette.text);
    const std::vector<std::string> lines =
        wrap_text(i18n.tr("Some categories were not scanned, so nothing can be said about them "
                          "yet. Rescan to measure them."),
                  Font::Body, std::min(area.w - 60, 460.0f));
    float y = ay + 70;
    for (const std::string& line : lines) {
        draw_label_center(line, Font::Body, RectF{area.x, y, area.w, 20}, m_palette.secondary);
        y += 20;
    }
    const std::string label = i18n.tr("Rescan");
    const float bw = static_cast<float>(measure_text(label, Font::Body)) + 26;
    add_target(draw_button(ax - bw / 2, y + 14, label, true, true), Act::Rescan);
}
