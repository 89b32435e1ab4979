// dialog — the message panel: a title, a wrapped message and a row of
// buttons aligned to the trailing edge, the last of the list outermost.
// Confirmations and reports open it through show_dialog.
//
// Never translates what it is given: callers pass translated texts.
//
// Threads: main thread only.
//
// Sections:
//   Opening
//   Drawing
//   Input
#include "window/app.h"

namespace {

constexpr float kMargin = 30;             // from the window's edges to a narrowed panel
constexpr float kMaxWidth = 460;          // the panel's width when the window has room
constexpr float kInset = 24;              // from the panel's edges to the text
constexpr float kLineHeight = 20;         // one message line
constexpr float kHeightBeyondText = 150;  // title, gaps and the button row
constexpr float kMessageTop = 58;
constexpr float kButtonHeight = 34;
constexpr float kButtonPadding = 34;  // a button's width beyond its label
constexpr float kButtonGap = 10;
constexpr float kButtonRowAbove = 48;  // from the panel's bottom up to the buttons' top

}  // namespace

// --- Opening ---

void App::show_dialog(const std::string& title, const std::string& message,
                      std::vector<DialogButton> buttons) {
    m_dialog_title = title;
    m_dialog_message = message;
    m_dialog_buttons = std::move(buttons);
    m_overlay = Overlay::Dialog;
    request_redraw();
}

// --- Drawing ---

void App::draw_dialog() {
    const float w = static_cast<float>(m_width), h = static_cast<float>(m_height);
    const float pw = w - 2 * kMargin < kMaxWidth ? w - 2 * kMargin : kMaxWidth;
    const float tw = pw - 2 * kInset;
    const std::vector<std::string> lines = wrap_text(m_dialog_message, Font::Body, tw);
    const float ph = static_cast<float>(lines.size()) * kLineHeight + kHeightBeyondText;
    const RectF panel{(w - pw) / 2, (h - ph) / 2, pw, ph};
    fill_round_rect(panel, 16, m_palette.bar);
    stroke_round_rect(panel, 16, m_palette.divider, 1);

    draw_label(m_dialog_title, Font::Title, RectF{panel.x + kInset, panel.y + 22, tw, 26},
               m_palette.text);
    for (std::size_t k = 0; k < lines.size(); ++k) {
        const float y = panel.y + kMessageTop + kLineHeight * static_cast<float>(k);
        draw_label(lines[k], Font::Body, RectF{panel.x + kInset, y, tw, kLineHeight},
                   m_palette.secondary);
    }

    float right = panel.x + pw - kInset;
    const float top = panel.y + ph - kButtonRowAbove;
    for (auto it = m_dialog_buttons.rbegin(); it != m_dialog_buttons.rend(); ++it) {
        const float bw = static_cast<float>(measure_text(it->label, Font::Body)) + kButtonPadding;
        const RectF r{right - bw, top, bw, kButtonHeight};
        if (it->destructive) {
            fill_round_rect_gradient(r, 9, kBrandPink, kBrandOrange);
            draw_label_center(it->label, Font::Body, r, "#FFFFFF");
        } else {
            fill_round_rect(r, 9, m_palette.control);
            stroke_round_rect(r, 9, m_palette.control_edge, 1);
            draw_label_center(it->label, Font::Body, r, m_palette.text);
        }
        add_target(r, Act::DialogButton, it->id);
        right -= bw + kButtonGap;
    }
}

// --- Input ---

void App::dialog_on_click(const HitTarget& target) {
    // Every button and every click beside the panel ends the dialog; what a
    // confirming button goes on to do belongs to the code that asked.
    if (target.act != Act::DialogButton && target.act != Act::CloseOverlay)
        return;
    overlay_back();
    if (target.act == Act::DialogButton)
        run_clean_command(target.index);
}
