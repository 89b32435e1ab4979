// dialog — the message panel: a title, a wrapped message and a row of
// buttons aligned to the trailing edge, the last of the list outermost; more
// buttons than one row holds continue on rows above it.
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
    // The row of each button, counted from the bottom, filled from the last.
    std::vector<int> row_of(m_dialog_buttons.size(), 0);
    int rows = 1;
    float used = 0;
    for (std::size_t i = m_dialog_buttons.size(); i-- > 0;) {
        const float bw = static_cast<float>(measure_text(m_dialog_buttons[i].label, Font::Body)) +
                         kButtonPadding;
        if (used > 0 && used + bw > tw) {
            ++rows;
            used = 0;
        }
        row_of[i] = rows - 1;
        used += bw + kButtonGap;
    }
    const float row_pitch = kButtonHeight + kButtonGap;
    const float ph = static_cast<float>(lines.size()) * kLineHeight + kHeightBeyondText +
                     static_cast<float>(rows - 1) * row_pitch;
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
    int row = 0;
    for (std::size_t i = m_dialog_buttons.size(); i-- > 0;) {
        const DialogButton* it = &m_dialog_buttons[i];
        if (row_of[i] != row) {
            row = row_of[i];
            right = panel.x + pw - kInset;
        }
        const float top = panel.y + ph - kButtonRowAbove - static_cast<float>(row) * row_pitch;
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
        run_dialog_command(target.index);
}
