// about — the panel naming the product: icon, name, version, the Snap
// package's version when running as one, the maker and how to reach them.
//
// Never opens a link by itself: the two links are targets whose opening is the
// desktop bridge's job.
//
// Threads: main thread only.
//
// Sections:
//   Product facts
//   Drawing
//   Input
#include <gdk-pixbuf/gdk-pixbuf.h>
#include <gdk/gdk.h>

#include <algorithm>
#include <cstdlib>

#include "base/i18n.h"
#include "base/product.h"
#include "window/app.h"
#include "window/icon_data.h"

namespace {

// --- Product facts ---

constexpr const char* kBuild = "1014";
constexpr const char* kAuthor = "Jonas Erlewein";

constexpr float kMargin = 30;
constexpr float kMaxWidth = 440;
constexpr float kIconSide = 72;

// The value of an environment variable, or "" when it is unset.
std::string env(const char* name) {
    const char* v = std::getenv(name);
    return v != nullptr ? v : "";
}

}  // namespace

// --- Drawing ---

void App::draw_about() {
    const I18n& i18n = I18n::instance();
    const std::string version = env("SNAP_VERSION");
    const std::string revision = env("SNAP_REVISION");
    std::string snap_line;
    if (!version.empty() && !revision.empty()) {
        snap_line = i18n.trf("Snap %s (Revision %s)", ltr(version), ltr(revision));
    } else if (!version.empty()) {
        snap_line = i18n.trf("Snap %s", ltr(version));
    }

    const float w = static_cast<float>(m_width), h = static_cast<float>(m_height);
    const float pw = std::min(w - 2 * kMargin, kMaxWidth);
    const float ph = snap_line.empty() ? 340 : 360;
    const RectF panel{(w - pw) / 2, (h - ph) / 2, pw, ph};
    fill_round_rect(panel, 16, m_palette.bar);
    stroke_round_rect(panel, 16, m_palette.divider, 1);

    if (m_about_icon == nullptr) {
        GInputStream* stream =
            g_memory_input_stream_new_from_data(icon_data::PNG, icon_data::PNG_SIZE, nullptr);
        m_about_icon = gdk_pixbuf_new_from_stream(stream, nullptr, nullptr);
        g_object_unref(stream);
    }
    if (m_about_icon != nullptr) {
        const RectF icon =
            mirror(RectF{panel.x + (pw - kIconSide) / 2, panel.y + 26, kIconSide, kIconSide});
        cairo_save(m_cr);
        round_rect_path(icon, 16);
        cairo_clip(m_cr);
        cairo_translate(m_cr, icon.x, icon.y);
        cairo_scale(m_cr, kIconSide / gdk_pixbuf_get_width(m_about_icon),
                    kIconSide / gdk_pixbuf_get_height(m_about_icon));
        gdk_cairo_set_source_pixbuf(m_cr, m_about_icon, 0, 0);
        cairo_paint(m_cr);
        cairo_restore(m_cr);
    }

    const auto line = [&](const std::string& text, Font font, const std::string& colour, float y,
                          float height) {
        draw_label_center(text, font, RectF{panel.x, y, pw, height}, colour);
    };
    float y = panel.y + 114;
    line("Brushwick", Font::Title, m_palette.text, y, 26);
    y += 30;
    line(i18n.trf("Version %s (Build %s)", ltr(product::kVersion), ltr(kBuild)), Font::Caption,
         m_palette.secondary, y, 18);
    if (!snap_line.empty()) {
        y += 20;
        line(snap_line, Font::Caption, m_palette.secondary, y, 18);
    }
    y += 26;
    line(kAuthor, Font::Body, m_palette.text, y, 20);
    y += 22;
    line(product::kMaker, Font::Body, m_palette.secondary, y, 20);
    y += 22;
    line(product::kLegal, Font::Caption, m_palette.secondary, y, 18);

    y += 24;
    const float site_w = static_cast<float>(measure_text(product::kWebsite, Font::Body));
    const RectF site{panel.x + (pw - site_w) / 2, y, site_w, 20};
    draw_label(product::kWebsite, Font::Body, site, m_palette.accent);
    add_target(site, Act::LinkWebsite);
    y += 24;
    const std::string mail = ltr(product::kSupportMail);
    const float mail_w = static_cast<float>(measure_text(mail, Font::Caption)) + 2;
    const RectF mail_box{panel.x + (pw - mail_w) / 2, y, mail_w, 18};
    draw_label_center(mail, Font::Caption, mail_box, m_palette.accent);
    add_target(mail_box, Act::LinkContact);

    draw_close_button(panel, 46);
}

// --- Input ---

void App::about_on_click(const HitTarget& target) {
    if (target.act == Act::CloseOverlay)
        overlay_back();
    else if (target.act == Act::LinkWebsite || target.act == Act::LinkContact)
        open_link(target.act);
}
