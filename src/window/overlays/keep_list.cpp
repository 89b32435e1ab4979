// keep_list — the folders the user keeps: each with its "Remove" button, and
// "Add folder …" to keep any folder through the folder chooser. Opened from
// Settings and returning there. A change is saved at once and marks or
// unmarks the entries of the lists shown.
//
// Shows as many folders as the panel holds, newest first, and says how many
// more there are; the entries' own "Keep" toggles reach the others.
//
// Threads: main thread only.
//
// Sections:
//   Drawing
//   Changing the list
//   Input
#include <algorithm>

#include "base/format.h"
#include "base/i18n.h"
#include "base/settings.h"
#include "desktop/file_manager.h"
#include "window/app.h"

namespace {

constexpr float kMargin = 30;
constexpr float kMaxWidth = 560;
constexpr float kInset = 22;
constexpr float kListTop = 82;            // from the panel's top to the first folder
constexpr float kRowHeight = 34;          // one folder and its button
constexpr float kHeightBeyondList = 180;  // title, caption, "Add folder …", "Close"
constexpr float kButtonPadding = 26;      // as draw_button draws it
constexpr int kMinRows = 3;               // the panel's height holds at least these

}  // namespace

// --- Drawing ---

void App::draw_keep_list() {
    const I18n& i18n = I18n::instance();
    const std::vector<std::string>& kept = SettingsStore::instance().get().kept;
    const float w = static_cast<float>(m_width), h = static_cast<float>(m_height);
    const float pw = std::min(w - 2 * kMargin, kMaxWidth);
    const int fit = std::max(kMinRows, static_cast<int>((h - 40 - kHeightBeyondList) / kRowHeight));
    const int shown = std::min(fit, static_cast<int>(kept.size()));
    const float ph = kHeightBeyondList + static_cast<float>(std::max(shown, 1)) * kRowHeight +
                     (static_cast<int>(kept.size()) > shown ? 18.0f : 0.0f);
    const RectF panel{(w - pw) / 2, (h - ph) / 2, pw, ph};
    const float x = panel.x + kInset, cw = pw - 2 * kInset;
    fill_round_rect(panel, 16, m_palette.bar);
    stroke_round_rect(panel, 16, m_palette.divider, 1);
    draw_label(truncate_to_width(i18n.tr("Keep-list"), Font::Title, cw), Font::Title,
               RectF{x, panel.y + 20, cw, 26}, m_palette.text);
    draw_label(truncate_to_width(i18n.tr("These folders and everything inside them are never "
                                         "deleted."),
                                 Font::Caption, cw),
               Font::Caption, RectF{x, panel.y + 50, cw, 16}, m_palette.secondary);

    float y = panel.y + kListTop;
    if (kept.empty()) {
        draw_label(truncate_to_width(i18n.tr("Nothing is kept yet. Use Keep on an entry, or add "
                                             "a folder."),
                                     Font::Body, cw),
                   Font::Body, RectF{x, y + 6, cw, 20}, m_palette.secondary);
        y += kRowHeight;
    }
    const std::string remove = i18n.tr("Remove");
    const float remove_w = static_cast<float>(measure_text(remove, Font::Body)) + kButtonPadding;
    // Newest first: what the user just kept is what they look for.
    for (int k = 0; k < shown; ++k) {
        const std::size_t i = kept.size() - 1 - static_cast<std::size_t>(k);
        const float room = cw - remove_w - 10;
        draw_label(ltr(truncate_path_middle(kept[i], Font::Mono, room)), Font::Mono,
                   RectF{x, y + 7, room, 20}, m_palette.text);
        add_target(draw_button(x + cw - remove_w, y, remove, false, true), Act::RemoveKept,
                   static_cast<int>(i));
        y += kRowHeight;
    }
    if (static_cast<int>(kept.size()) > shown) {
        const std::string more = ltr(fmt::count(static_cast<std::int64_t>(kept.size()) - shown));
        draw_label(truncate_to_width(i18n.trf("%s more, kept as before", more), Font::Caption, cw),
                   Font::Caption, RectF{x, y, cw, 16}, m_palette.secondary);
        y += 18;
    }
    add_target(draw_button(x, y + 8, i18n.tr("Add folder …"), false, true), Act::AddKept);
    draw_close_button(panel, 44);
}

// --- Changing the list ---

void App::keep_folder(const std::string& folder) {
    const I18n& i18n = I18n::instance();
    SettingsStore& store = SettingsStore::instance();
    if (const char* refusal = settings_util::projects_root_refusal(folder)) {
        show_dialog(i18n.tr("Keep-list"), i18n.tr(refusal),
                    {DialogButton{CMD_CANCEL, i18n.tr("Close"), false, true}});
        return;
    }
    // Already kept, or the list is full: nothing changes, nothing to save.
    if (!settings_util::add_kept(store.mutable_get(), folder))
        return;
    save_keep_list();
}

void App::unkeep(std::size_t index) {
    std::vector<std::string>& kept = SettingsStore::instance().mutable_get().kept;
    if (index >= kept.size())
        return;  // a target of a frame drawn before the list changed
    kept.erase(kept.begin() + static_cast<std::ptrdiff_t>(index));
    save_keep_list();
}

void App::save_keep_list() {
    SettingsStore& store = SettingsStore::instance();
    const bool saved = store.save();
    set_kept(store.get().kept);
    if (!saved) {
        std::lock_guard<std::mutex> lock(m_mutex);
        set_status_locked(I18n::instance().tr("Your keep-list could not be saved."), true);
    }
}

// --- Input ---

void App::keep_list_on_click(const HitTarget& target) {
    switch (target.act) {
        case Act::RemoveKept:
            unkeep(static_cast<std::size_t>(std::max(target.index, 0)));
            break;
        case Act::AddKept: {
            const std::optional<std::string> folder =
                file_manager::pick_folder(m_window != nullptr ? GTK_WINDOW(m_window) : nullptr);
            if (folder)
                keep_folder(*folder);
            break;
        }
        case Act::CloseOverlay:
            overlay_back();
            break;
        default:
            break;
    }
}
