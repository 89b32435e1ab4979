// app — the Brushwick application object: the window and its GTK callbacks, the
// category state and the scan worker, the views over that state, input, and
// every drawing routine. There is exactly one App per process.
//
// The window holds a single drawing area that App paints completely on every
// frame with cairo and Pango; there are no widgets inside it. Every control
// is a rectangle registered as a hit target while drawing, stamped with the
// screen that drew it. A click goes to that screen's handler and a key to the
// open overlay or the screen in view: each screen and overlay lives in one
// file that both draws it and reacts to its own input, and the central input
// code only routes.
//
// Threads: the GTK main thread runs every GTK call, all drawing and all input.
// One worker thread at a time (scan or deletion) touches the members under
// "guarded by m_mutex", only while holding the lock, plus the atomics. Workers
// never call GTK; they set m_dirty and the 120 ms poll redraws.
//
// Index of this header (each heading names the file that defines the methods):
//   Shared types          RectF, the action vocabulary, screens
//   app_lifecycle.cpp     start-up, window, GTK callbacks, poll, theme, geometry
//   app_scan.cpp          scanning the catalog on the worker thread
//   app_views.cpp         queries over the category state, left-to-right isolation
//   app_clean.cpp         deleting the selection on the worker thread
//   app_input.cpp         routing clicks, keys, the wheel and hover
//   draw/*.cpp            the drawing toolkit: primitives, glyphs, a frame's regions
//   screens/*.cpp         each screen: drawing and its own clicks and keys
//   overlays/*.cpp        each panel over the window: drawing, clicks, keys
#pragma once

#include <cairo.h>
#include <gtk/gtk.h>
#include <pango/pango.h>

#include <atomic>
#include <cstdint>
#include <ctime>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

#include "base/theme.h"
#include "engine/catalog.h"
#include "engine/category_scan.h"
#include "engine/deletion.h"

// --- Shared types ---

// An axis-aligned rectangle in window pixels (left, top, width, height).
struct RectF {
    float x = 0, y = 0, w = 0, h = 0;

    // Edges inclusive, as hit-testing wants: a click on a border counts.
    bool contains(double px, double py) const {
        return px >= x && px <= x + w && py >= y && py <= y + h;
    }
    bool empty() const { return w <= 0 || h <= 0; }
};

class App {
public:
    // --- The action vocabulary ---

    // What a hit target does when clicked; the index a target carries means
    // what the comment says (0 where nothing is noted).
    enum class Act : std::int32_t {
        None = 0,  // absorbs the click; with an overlay open, closes it
        SelectOverview = 1,
        SelectCategory = 2,  // index: category in m_cats
        SelectManual = 3,
        OpenManualItem = 4,  // index: item in m_manual
        Rescan = 5,
        CancelScan = 6,
        AppMenu = 7,
        SettingsTheme = 8,  // index: the appearance chosen
        OpenLanguage = 9,
        SettingsLang = 10,  // index: the language chosen
        ChooseProjects = 11,
        ResetProjects = 12,
        EditFileManager = 13,
        ClearFileManager = 14,
        TestFileManager = 15,
        About = 16,
        LinkWebsite = 17,
        LinkContact = 18,
        ToggleItem = 19,  // index: item in the current category
        SelectAllSafe = 20,
        SelectNone = 21,
        RevealItem = 22,      // index: item in the current category
        RevealCategory = 23,  // index: category in m_cats
        Clean = 24,
        TopConsumer = 25,   // index: category in m_cats
        LegendEntry = 26,   // index: GroupKind value
        DialogButton = 27,  // index: the button
        MenuItem = 28,
        CloseOverlay = 29,
        ToggleKeep = 30,   // index: item in the current category
        RemoveKept = 31,   // index: entry of the keep-list
        AddKept = 32,      // opens the folder picker for the keep-list
        OlderMenu = 33,    // opens the choice of ages in a category
        OlderChoice = 34,  // index: the age chosen, in days
        SelectOld = 35,    // the overview's selection of old safe entries
        OpenKeepList = 36,
    };

    // The part of the window that drew a target and handles its clicks, or
    // that receives keys while it is in view.
    enum class Screen : std::int32_t {
        None = 0,  // nothing: the click only closes an open overlay
        Toolbar,
        Sidebar,
        Content,  // the content region itself: its states and scrolling
        Overview,
        Category,  // a category's entries
        Manual,    // the "Remove manually" list
        Footer,
        Dialog,  // the overlays, each with the scrim behind it
        About,
        Settings,
        Language,
        KeepList,
    };

    // A clickable area registered by the last frame, in window coordinates.
    struct HitTarget {
        RectF rect;  // where it takes clicks: cut to its region, empty when out of sight
        Act act = Act::None;
        int index = 0;
        Screen screen = Screen::None;  // who registered it and handles it
        RectF full;                    // the whole control, also where its region cuts it
        bool enabled = true;  // false: drawn dimmed; readers see it, clicks and keys pass it by
    };

    // What is drawn over the main view.
    enum class Overlay : std::int32_t {
        None = 0,
        Dialog = 1,
        About = 2,
        Settings = 3,
        Language = 4,
        KeepList = 5,
    };

    // One button of a dialog.
    struct DialogButton {
        int id = 0;                // what the button does: one of the CMD_ values
        std::string label;         // already translated
        bool destructive = false;  // drawn in the danger gradient
        bool cancel = false;       // the button that only dismisses the dialog
    };

    // Dialog button ids, and the indexes of the Settings and Language choices.
    static constexpr int CMD_CANCEL = 0;            // closes the dialog, nothing more
    static constexpr int CMD_CLEAN_CONFIRM = 1;     // deletes the selection
    static constexpr int CMD_SHOW_MANUAL = 3;       // shows the "Remove manually" list
    static constexpr int CMD_REVIEW_SELECTION = 4;  // asks to delete what is ticked
    static constexpr int CMD_AGE_FIRST = 300;       // the age kAgeChoices[k] is CMD_AGE_FIRST + k
    static constexpr int CMD_THEME_AUTO = 100;
    static constexpr int CMD_THEME_LIGHT = 101;
    static constexpr int CMD_THEME_DARK = 102;
    static constexpr int CMD_LANG_AUTO = 200;
    static constexpr int CMD_LANG_FIRST = 201;  // language k of I18n::available is 201 + k

    // m_selection while the "Remove manually" list is shown.
    static constexpr const char* SEL_MANUAL = "__manual__";

    // The eight text styles; sizes are absolute pixels.
    enum class Font : std::int32_t {
        Body = 0,         // 13 px
        BodyBold = 1,     // 13 px bold
        Caption = 2,      // 11 px
        CaptionBold = 3,  // 11 px bold
        Title = 4,        // 19 px bold
        Hero = 5,         // 34 px bold
        Mono = 6,         // 11.5 px monospace
        MonoBold = 7,     // 13 px monospace bold
    };

    // One sidebar group and its visible categories.
    struct VisibleGroup {
        GroupKind group = GroupKind::Ides;
        std::vector<int> categories;  // indexes into m_cats, largest total first
        std::int64_t size = 0;        // sum of the categories' totals
    };

    // What deleting the current selection would do.
    struct CleanPlan {
        std::vector<deletion::Target> targets;  // ticked, not kept, not protected, in list order
        std::vector<std::string> names;         // their row titles, at the same index
        std::vector<std::string> kept;          // the keep-list the deletion checks again
        std::int64_t bytes = 0;                 // their measured sizes added up
        int unknown = 0;                        // how many of them have no measured size
        int skipped = 0;                        // ticked but protected: left out
        std::string skipped_reason;             // why the first skipped one is left out (a key)
    };

    // The sidebar's layout numbers, shared by its drawing and the tests.
    struct SidebarLayout {
        static constexpr float kInset = 8;         // from the sidebar's edges to the rows
        static constexpr float kRowHeight = 46;    // one row: chip, title, status line
        static constexpr float kFixedRowGap = 4;   // below the overview and manual rows
        static constexpr float kGroupHeader = 26;  // a group's title line
        static constexpr float kGroupGap = 6;      // after a group's last row
        static constexpr float kBottomPad = 10;    // below the last group
        static constexpr float kChip = 28;         // the icon chip's side
        static constexpr float kTextLeft = 47;     // from the row's edge to its text
    };

    // The rows of the entry list in view (the category's or the manual
    // list's), as drawn: only rows in sight register targets, so keyboard
    // focus moves through the rows by index and scrolls with this geometry.
    struct RowList {
        Act act = Act::None;  // what a row's target does; None when no list is shown
        int count = 0;        // rows in the list
        float top = 0;        // y of the first row with the content not scrolled
        float pitch = 0;      // from one row's top to the next
        float height = 0;     // one row's height
        float view_top = 0;   // the part of the window the rows show in
        float view_bottom = 0;
    };

    // The control with the keyboard focus, by what it does: targets are
    // rebuilt every frame, so focus follows the action and index, and for
    // rows also the entry or category it stands for.
    struct Focus {
        Act act = Act::None;  // None: nothing has the focus
        int index = 0;
        Screen screen = Screen::None;
        std::string key;  // the item's path or category id for rows, else ""
    };

    // A label as drawn: its text and the box it covers in window coordinates.
    struct DrawnText {
        std::string text;
        RectF box;
    };

    App();
    ~App();
    App(const App&) = delete;
    App& operator=(const App&) = delete;

    // app_lifecycle.cpp
    // The whole life of the user interface: settings, language, window, theme,
    // first scan, poll timer, main loop. Returns 0 when the window is closed.
    int run(int argc, char** argv);
    // Paints one complete frame of size width × height into cr. The window's
    // draw handler calls it; so do tests and benchmarks on an image surface
    // (without a window the Pango context comes from the default font map).
    void draw_frame(cairo_t* cr, double width, double height);
    // The same frame on a window canvas of width × height pixels: zoomed to
    // follow the desktop's text size, so the layout is the canvas over the zoom.
    void draw_window(cairo_t* cr, double width, double height);

    // app_accessible.cpp — the controls as assistive technology sees them.
    // One control of the last frame, in reading order.
    struct AccessibleNode {
        AtkRole role = ATK_ROLE_PUSH_BUTTON;
        std::string name;         // its first label as drawn (translated)
        std::string description;  // the other labels inside it (size, safety, age …)
        RectF rect;               // window pixels: layout units times the zoom
        bool checked = false;     // a ticked entry, the chosen choice, the shown category
        bool focused = false;     // has the keyboard focus
        bool sensitive = true;    // can be acted on
        bool showing = true;      // in sight, not scrolled away
        HitTarget target;         // what acting on it clicks
    };
    // The controls of the last frame; only those of an open overlay while one is.
    const std::vector<AccessibleNode>& accessible_nodes() const { return m_a11y_nodes; }
    // Does what a click on control i does; false when i no longer exists.
    bool activate_node(std::size_t i);
    // Gives control i the keyboard focus.
    bool focus_node(std::size_t i);

private:
    friend struct AppProbe;  // tests reach the state through this

    // app_lifecycle.cpp
    void build_window();
    void apply_theme();
    void request_redraw();
    void save_geometry();
    bool position_on_a_monitor(int x, int y, int w, int h) const;
    // The work area of the window's monitor (of the primary one before the
    // window is shown); all zero without a display.
    GdkRectangle work_area() const;
    // Follows the desktop's text size: sets m_zoom for the window's monitor
    // and the minimum window size that goes with it; redraws when it changed.
    void update_zoom();
    void ensure_pango();
    void on_poll();
    static gboolean on_draw_cb(GtkWidget* widget, cairo_t* cr, gpointer self);
    static gboolean on_button_press_cb(GtkWidget* widget, GdkEventButton* ev, gpointer self);
    static gboolean on_motion_cb(GtkWidget* widget, GdkEventMotion* ev, gpointer self);
    static gboolean on_leave_cb(GtkWidget* widget, GdkEventCrossing* ev, gpointer self);
    static gboolean on_scroll_cb(GtkWidget* widget, GdkEventScroll* ev, gpointer self);
    static gboolean on_key_cb(GtkWidget* widget, GdkEventKey* ev, gpointer self);
    static gboolean on_configure_cb(GtkWidget* widget, GdkEventConfigure* ev, gpointer self);
    static gboolean on_delete_cb(GtkWidget* widget, GdkEvent* ev, gpointer self);
    static gboolean on_poll_cb(gpointer self);

    // app_scan.cpp
    void start_scan();
    void cancel_scan();
    void scan_worker();
    void scan_category(CatState& cat, category_scan::Session& session);
    // One CatState per catalog row, no items (caller holds m_mutex).
    void reset_categories_locked(const std::vector<CategoryDef>& defs);

    // app_age.cpp — ticking by age.
    // Opens the choice of ages; everywhere: for every category, with a
    // summary after, else for the category shown.
    void ask_age(bool everywhere);
    // Ticks by the age kAgeChoices[choice] and keeps it in the settings.
    void choose_age(int choice);
    // A Safe entry, not kept, of known size, whose age counts from more
    // than days before now.
    static bool is_old_and_safe(const Item& it, int days, std::time_t now);
    // Ticks exactly the old and safe entries of cat (caller holds m_mutex).
    void select_older(CatState& cat, int days, std::time_t now);
    // How many, how much and from which categories is ticked, with the way
    // on to the deletion.
    void show_age_summary(int days);

    // app_clean.cpp
    CleanPlan plan_clean_locked() const;
    // Starts the deletion worker on the selection; false when another worker
    // still runs. Main thread, without m_mutex.
    bool start_clean();
    // Opens the confirmation for the current selection; nothing without one.
    void confirm_clean();
    // The poll's turn: the failure dialog when a deletion left something.
    void show_failure_dialog_if_due();
    // What a dialog button does once the dialog closed.
    void run_dialog_command(int id);
    void clean_worker();
    // Drops the deleted paths from every category (caller holds m_mutex).
    void apply_deletion(const std::vector<std::string>& removed);
    // The keep-list in force: copied for the worker and marked on every entry.
    // Main thread, without m_mutex.
    void set_kept(std::vector<std::string> kept);
    // Keeps the entry at path, or lets it go when it is kept by its own path;
    // saves the settings. Main thread, without m_mutex.
    void toggle_keep(const std::string& path);
    void publish_clean_result_locked(const deletion::DeleteResult& result, const CleanPlan& plan);
    // The entries of plan in use by a process of the user, for the confirmation.
    std::vector<std::string> busy_entries(const CleanPlan& plan) const;
    // Failure k's reason translated, its subject filled in.
    std::string failure_text(const deletion::DeleteResult& result, std::size_t k) const;
    // The free space before and after on each filesystem deleted on.
    std::string space_text(const deletion::DeleteResult& result) const;
    // A failed path's item joins the manual list once, with reason as detail.
    void add_manual_item_locked(const std::string& path, const std::string& reason);
    void set_status_locked(std::string text, bool error);

    // app_views.cpp — callers hold m_mutex.
    CatState* current_category();
    const CatState* current_category() const;
    std::vector<VisibleGroup> visible_groups() const;
    std::int64_t total_reclaimable() const;
    std::int64_t safe_reclaimable() const;
    std::int64_t selected_size() const;
    int selected_count() const;
    void select_all_safe(CatState& cat);
    void select_none(CatState& cat);
    std::string ltr(const std::string& s) const;
    // The category's total undercounts: an entry has no measured size, its
    // listing was cut short, or part of its folder did not answer.
    bool undercounts(const CatState& cat) const;
    // Some category is neither scanned nor being scanned: the last scan was
    // cancelled or never started.
    bool scan_unfinished() const;
    // A size for display, isolated; "at least …" when partial.
    std::string size_text(std::int64_t bytes, bool partial) const;

    // app_input.cpp — the routing; the screens below hold the behaviour.
    void on_click(double x, double y, bool right);
    void on_key(unsigned keyval, GdkModifierType state);
    void on_motion(double x, double y);
    void on_wheel(double x, double y, double step);
    // Replaces any open overlay with a dialog; the last button is rightmost.
    void show_dialog(const std::string& title, const std::string& message,
                     std::vector<DialogButton> buttons);
    // The last enabled target containing the point (later targets lie on
    // top); for the secondary button a disabled entry card counts too.
    HitTarget hit_test(double x, double y, bool right = false) const;
    // Hands a clicked target to the screen that registered it.
    void route_click(const HitTarget& target, bool right);
    // Closes the open overlay, or goes back from the language list to Settings.
    void overlay_back();

    // draw/primitives.cpp — rectangles and x positions are left-to-right
    // layout coordinates; every primitive mirrors for right-to-left itself.
    bool rtl() const { return m_rtl; }
    RectF mirror(RectF r) const;
    double mirror_x(double x) const;
    PangoLayout* layout_for(const std::string& text, Font font) const;
    // The laid-out text of a label, kept for later frames; owned by the cache.
    PangoLayout* shaped_layout(const std::string& text, Font font) const;
    void drop_layouts() const;
    double measure_text(const std::string& text, Font font) const;
    double font_height(Font font) const;
    double draw_label_rgb(const std::string& text, Font font, RectF r, Rgb colour, double alpha);
    double draw_label(const std::string& text, Font font, RectF r, const std::string& hex,
                      double alpha = 1.0);
    double draw_label_right(const std::string& text, Font font, RectF r, const std::string& hex,
                            double alpha = 1.0);
    double draw_label_center(const std::string& text, Font font, RectF r, const std::string& hex,
                             double alpha = 1.0);
    std::string truncate_to_width(const std::string& text, Font font, double max_width) const;
    std::string truncate_path_middle(const std::string& text, Font font, double max_width) const;
    std::vector<std::string> wrap_text(const std::string& text, Font font, double max_width) const;
    void round_rect_path(RectF r, double radius);
    void fill_rgb(RectF r, Rgb colour, double alpha);
    void fill_rect(RectF r, const std::string& hex, double alpha = 1.0);
    void fill_round_rect(RectF r, double radius, const std::string& hex, double alpha = 1.0);
    void fill_round_rect_gradient(RectF r, double radius, const std::string& from,
                                  const std::string& to, double alpha = 1.0);
    void stroke_round_rect(RectF r, double radius, const std::string& hex, double width,
                           double alpha = 1.0);
    void draw_hairline(double y, double x0, double x1);
    void draw_bar(RectF r, double fraction, const std::string& hex);
    // The thumb along the inner trailing edge of a scrolled region; nothing
    // when everything fits.
    void draw_scroll_thumb(RectF region, double scroll, double content_height);
    RectF draw_pill(double x, double y, const std::string& text, Font font, const std::string& hex,
                    double bg_alpha);
    RectF draw_button(double x, double y, const std::string& label, bool prominent, bool enabled);
    // Registers a target for the screen being drawn (m_drawing), cut to
    // m_clip_targets when that is set. A control that cannot act now is
    // registered too, disabled, so that screen readers know it is there.
    void add_target(RectF r, Act act, int index = 0, bool enabled = true);
    // How far the frame has got: its targets and labels so far. A region
    // drawn a second time (its scroll position clamped) rewinds to the mark
    // taken before its first pass, so nothing of that pass stays behind.
    struct FrameMark {
        std::size_t targets = 0, hidden = 0, labels = 0, texts = 0;
    };
    FrameMark frame_mark() const;
    void rewind_to(const FrameMark& mark);

    // draw/glyphs.cpp
    void draw_glyph(Glyph g, RectF r, Rgb colour);
    void draw_icon_chip(Glyph g, RectF r, const std::string& hex);

    // draw/frame.cpp
    void compute_layout();
    void draw_all(cairo_t* cr);
    // The window below any overlay: toolbar, sidebar, content and footer.
    void draw_main_view();
    // Gives the Pango context the interface language, so that fonts are
    // chosen for its script; cached measurements are dropped on a change.
    void sync_pango_language();

    // screens/toolbar.cpp — the bar along the top and the scan shortcuts.
    void draw_toolbar();
    void toolbar_on_click(const HitTarget& target);
    bool toolbar_on_key(unsigned keyval, GdkModifierType state);

    // screens/sidebar.cpp — the overview entry, the manual list entry and the
    // grouped categories.
    // One row of the sidebar: the overview, the manual list or a category.
    struct SidebarRow {
        Glyph glyph = Glyph::Box;
        std::string colour;  // chip colour and badge fill
        std::string tint;    // fill of the selected row
        std::string title;   // already translated
        Font title_font = Font::Body;
        double text_width = 0;  // room for title and status line
        std::string status;     // the caption line below the title
        int badge = 0;          // count shown in a badge; 0 for none
        bool selected = false;  // tinted with `tint` at selected_alpha
        double selected_alpha = 0.14;
        bool hovered = false;  // tinted with the text colour
        Act act = Act::None;
        int index = 0;
    };
    void draw_sidebar();
    // Each returns the y below what it drew.
    float draw_sidebar_fixed_rows(float x, float y, float width);
    float draw_sidebar_group(const VisibleGroup& group, float x, float y, float width);
    void draw_sidebar_row(RectF row, const SidebarRow& row_info);
    // A right click on a category reveals its folder.
    void sidebar_on_click(const HitTarget& target, bool right);
    void sidebar_on_wheel(double step);

    // screens/content.cpp — the content region: which screen fills it, its
    // scroll thumb and the keys that scroll it.
    void draw_content();
    void draw_content_screen();
    void scroll_content(double delta);
    void content_on_click(const HitTarget& target);
    bool content_on_key(unsigned keyval, GdkModifierType state);

    // overlays/overlay.cpp — the scrim, the dispatch to the open panel, the
    // parts the panels share, and Escape.
    // Dims the whole window below the panel.
    void draw_scrim();
    void draw_overlay();
    Screen overlay_screen() const;
    // The gradient "Close" button centred in a panel, `above` px over its bottom.
    void draw_close_button(RectF panel, float above);
    bool overlay_on_key(unsigned keyval, GdkModifierType state);

    // overlays/dialog.cpp
    void draw_dialog();
    void dialog_on_click(const HitTarget& target);

    // overlays/about.cpp
    void draw_about();
    void about_on_click(const HitTarget& target);

    // overlays/settings.cpp — also the file-manager command field's state.
    // Opens the panel with the stored command in the field.
    void open_settings();
    void draw_settings();
    // Draws the command field at (x, y) `width` wide: text, caret, scrolling.
    void draw_fm_field(float x, float y, float width);
    // The first byte of the command drawn in a field `room` px wide so that the
    // caret stays in view; always on a character boundary, never past the caret.
    std::size_t fm_scroll_start(double room) const;
    void settings_on_click(const HitTarget& target);
    void fm_begin_edit();
    // Ends editing: a trimmed, valid command is stored; anything else empties it.
    void fm_commit();
    // An editing key while the field has the keyboard; false when the key is
    // not the field's (it then goes on to the window's shortcuts).
    bool fm_key(unsigned keyval, GdkModifierType state);
    // Inserts text at the caret: whole characters only, refused bytes skipped,
    // up to the command's byte limit.
    void fm_insert(const std::string& text);
    // Inserts the first line of a pasted text.
    void fm_paste(const std::string& text);

    // overlays/language.cpp — the grid of every interface language.
    void draw_language();
    void language_on_click(const HitTarget& target);

    // overlays/keep_list.cpp — the folders kept from deletion.
    void draw_keep_list();
    void keep_list_on_click(const HitTarget& target);
    // Adds folder to the keep-list and saves it; a folder that cannot be
    // stored is explained in a dialog.
    void keep_folder(const std::string& folder);
    // Takes entry index off the keep-list and saves it.
    void unkeep(std::size_t index);
    // Saves the settings after a keep-list change and applies the list.
    void save_keep_list();

    // screens/states.cpp — full-area states of the content region.
    void draw_scanning_state(RectF area);
    void draw_empty_state(RectF area);
    // A scan that ended before every category was scanned, with Rescan.
    void draw_unfinished_state(RectF area);

    // screens/overview.cpp — the reclaimable total, the donut by group with
    // its legend, and the biggest categories.
    void draw_overview();
    void draw_hero_card(RectF card);
    double donut_card_height();
    void draw_donut(RectF card);
    // Draws the card with its top at y and moves y to its bottom.
    void draw_top_consumers(RectF area, double& y);
    void overview_on_click(const HitTarget& target);

    // screens/category.cpp — one category's entries as selectable cards.
    void draw_category_detail();
    void draw_category_header(const CatState& cat, int cat_index, RectF column);
    RectF draw_keep_toggle(bool kept, RectF card);
    // The path of entry index of the category shown; empty when there is none.
    std::string item_path(int index);
    void draw_item_row(const Item& item, int index, RectF r, std::int64_t max_size,
                       const std::string& colour);
    void category_on_click(const HitTarget& target, bool right);

    // screens/manual.cpp — entries the user removes with the file manager.
    void draw_manual_list();
    void draw_manual_row(const Item& item, int index, RectF r);
    void manual_on_click(const HitTarget& target);

    // app_focus.cpp — keyboard focus: Tab order, activation, list arrows,
    // the focus ring, and focus kept across overlays and rescans.
    bool focus_on_key(unsigned keyval, GdkModifierType state);
    // Focusable targets of the frame in Tab order, each list one stop
    // (caller holds m_mutex).
    std::vector<HitTarget> focus_chain() const;
    // The row of the sidebar that shows the current screen.
    bool is_selected_row(const HitTarget& t) const;
    // A control the keyboard can reach (not the scrim, not a mere absorber).
    bool focusable(const HitTarget& t) const;
    // Caller holds m_mutex (the key of a row is read from the lists).
    void set_focus(const HitTarget& target);
    // After a click: the clicked control has the focus, the ring hides.
    void note_click_focus(const HitTarget& target, Overlay before);
    // The focused control's target in the last frame, or null when it is not in view.
    const HitTarget* focused_target() const;
    // Follows the focused row to its entry's new index after the list
    // changed (caller holds m_mutex).
    void resolve_focus();
    void move_focus_in_list(int step, bool to_end);
    void scroll_row_into_view(int index);
    // Scrolls the content or the sidebar so that the whole control shows.
    void scroll_target_into_view(const HitTarget& t);
    void draw_focus_ring();
    // Remembers the focus when an overlay opens and gives it back when it closes.
    void track_overlay_focus(Overlay before);

    // app_accessible.cpp
    // Rebuilds m_a11y_nodes from the frame just drawn and tells assistive
    // technology what changed.
    void update_accessible_nodes();
    // The targets a reader or the keyboard can reach, in reading order.
    std::vector<HitTarget> reading_order() const;
    // Says the outcome of the worker just collected: the total a scan found,
    // or the status line a deletion left.
    void announce_result(bool scan);
    // Tells a screen reader the new selection total ("2 item(s) · 3.00 MB")
    // when ticking changed it since the last frame; not while a scan or a
    // deletion runs, whose end is announced instead.
    void announce_selection();

    // app_desktop.cpp — main thread, without m_mutex: it may block.
    // Shows path in the file manager, or a dialog saying where it is.
    void reveal_or_explain(const std::string& path);
    // Opens the home folder with the configured file manager, or says that
    // it could not be started.
    void test_file_manager();
    // Names the system's file manager for the settings panel (m_fm_detected).
    void detect_file_manager();
    // Opens the About panel's website (LinkWebsite) or mail (LinkContact) link.
    void open_link(Act link);
    // Asks for a projects folder; a chosen one is stored and scanned at once.
    void choose_projects_folder();

    // screens/footer.cpp — the selection total, status line and delete button.
    void draw_footer();
    void footer_on_click(const HitTarget& target);

    // --- main thread only
    GtkWidget* m_window = nullptr;    // top-level window; null before build_window
    GtkWidget* m_canvas = nullptr;    // the drawing area filling the window
    cairo_t* m_cr = nullptr;          // context of the frame being painted, else null
    PangoContext* m_pango = nullptr;  // every layout comes from it; owned
    double m_width = 0;               // canvas size at the start of the current frame
    double m_height = 0;
    // Window pixels per layout unit: the desktop's text-scaling factor as far
    // as the screen holds the zoomed layout. Everything is drawn, hit and
    // exposed in layout units; only the window's edges (drawing, pointer
    // events, accessible extents) multiply or divide by it.
    double m_zoom = 1;
    bool m_zoom_applied = false;           // the window's minimum size was set for m_zoom
    bool m_maximized = false;              // tracked from configure events
    Palette m_palette = Palette::light();  // colours in force
    bool m_dark = false;                   // m_palette is the dark one
    bool m_rtl = false;                    // interface language is right to left (per frame)
    bool m_scanning = false;               // a scan worker was started and not yet collected
    bool m_cleaning = false;               // a deletion worker was started and not yet collected
    std::thread m_worker;                  // the single worker (scan or deletion)
    // Called by the scan worker with each category's id before it is filled,
    // while it shows as scanning; empty except in tests, which hold the
    // worker there on a gate. Set before start_scan, never while it runs.
    std::function<void(const std::string&)> m_before_category;

    // --- shared between threads (atomics)
    std::atomic<bool> m_cancel{false};          // stop the scan; read by every scanner walk
    std::atomic<bool> m_worker_running{false};  // the worker's body has not finished
    std::atomic<bool> m_dirty{true};            // a redraw is wanted

    // --- guarded by m_mutex
    std::mutex m_mutex;                       // the one application lock
    std::vector<CatState> m_cats;             // one per catalog entry, catalog order
    std::string m_selection;                  // "" overview, SEL_MANUAL, or a category id
    std::vector<Item> m_manual;               // items the user must remove by hand
    std::string m_status_message;             // the footer's status line
    bool m_status_is_error = false;           // the status line reports a failure
    std::vector<std::string> m_failed_paths;  // what the last failing deletion left
    std::vector<std::string> m_keep_list;     // the keep-list, copied from the settings
    bool m_failed_dialog_pending = false;     // the poll shows the failure dialog

    // --- main thread only: view state
    double m_scroll = 0;               // content scroll position
    double m_content_height = 0;       // content height written by the screens
    double m_sidebar_scroll = 0;       // sidebar scroll position
    double m_sidebar_height = 0;       // sidebar content height written by draw_sidebar
    std::vector<HitTarget> m_targets;  // clickable areas of the last frame
    // Controls drawn out of sight in the last frame (scrolled away): never
    // clicked, but the keyboard and screen readers reach them.
    std::vector<HitTarget> m_hidden_targets;
    // Widths and line heights already measured, keyed by font and text. Text
    // is laid out again on every frame, and most of it is the same every time;
    // the results equal fresh measurements, since the Pango context never
    // changes once created.
    mutable std::unordered_map<std::string, double> m_text_widths;
    mutable double m_font_heights[8] = {0, 0, 0, 0, 0, 0, 0, 0};
    // Labels already shaped, keyed like m_text_widths; each holds a reference.
    mutable std::unordered_map<std::string, PangoLayout*> m_layouts;
    std::string m_pango_language;  // the language m_pango lays text out for
    double m_mouse_x = -1;         // last pointer position; -1 outside the window
    double m_mouse_y = -1;
    Act m_hover_act = Act::None;  // the target under the pointer
    int m_hover_index = 0;
    int m_highlight_group = -1;         // group highlighted from the overview legend
    Overlay m_overlay = Overlay::None;  // the overlay in force
    std::string m_dialog_title;         // the dialog's content, set by show_dialog
    std::string m_dialog_message;
    std::vector<DialogButton> m_dialog_buttons;
    bool m_age_everywhere = false;  // the age being chosen is for every category
    std::string m_fm_text;          // the file-manager command shown or being edited
    std::size_t m_fm_caret = 0;     // byte offset of the caret, on a character boundary
    bool m_fm_editing = false;      // the field has the keyboard
    // The system's file manager named beside "Test"; empty when none is known.
    std::string m_fm_detected;
    GdkPixbuf* m_about_icon = nullptr;         // decoded on first use; owned; null if undecodable
    RectF m_clip_targets;                      // targets are cut to this while non-empty
    RowList m_row_list;                        // the entry list of the last frame, if any
    std::vector<DrawnText> m_frame_labels;     // every label of the last frame
    std::vector<AccessibleNode> m_a11y_nodes;  // the controls of the last frame
    std::string m_last_announcement;           // what a screen reader was last told
    std::string m_announced_selection;  // count and bytes of the selection last announced or seen
    Focus m_focus;                      // the control with the keyboard focus
    Focus m_focus_under_overlay;        // the focus to give back when the overlay closes
    bool m_focus_visible = false;       // the ring shows: the keyboard was used last
    Screen m_drawing = Screen::None;    // the screen drawing now; stamps its targets

    // When set, every label of a frame is recorded here; tests read the screen
    // through it instead of guessing at pixels.
    std::vector<DrawnText>* m_text_log = nullptr;
    RectF m_r_toolbar, m_r_sidebar, m_r_content, m_r_footer;  // regions of the last frame

    // --- main thread only: the main view kept under an open overlay
    // (draw/view_cache.cpp)
    struct ViewCache;  // the picture and everything it was drawn from
    // Null while no overlay is open; shared_ptr, as the type is complete only there.
    std::shared_ptr<ViewCache> m_view_cache;
    bool m_view_cache_enabled = true;  // off: every frame draws the main view afresh
    // Paints the main view and the scrim from the kept picture, drawing the
    // picture first when anything it shows changed. False when the frame's
    // target cannot take it pixel for pixel; the caller then draws directly.
    bool draw_backdrop_from_cache();
    void drop_view_cache();

    // --- main thread only: gradients and icon chips kept with their pixels
    // (draw/primitives.cpp, draw/glyphs.cpp)
    // A drawing's box of pixels before and after it was drawn.
    struct KeptPixels {
        std::vector<std::uint32_t> before, after;
    };
    // Keyed by what was drawn, its exact place, and the surface, scale,
    // transformation and clip it was drawn with.
    std::unordered_map<std::string, KeptPixels> m_kept;
    std::size_t m_kept_bytes = 0;  // the kept pixels' size, roughly
    bool m_kept_enabled = true;    // off: everything is drawn afresh
    // Draws what `draw` draws within m (already mirrored); where the same
    // drawing was kept over the same pixels, writes the pixels it gave then.
    void paint_kept(const std::string& what, RectF m, const std::function<void()>& draw);
    void paint_gradient(RectF m, double radius, Rgb a, Rgb b, double alpha);
    void paint_icon_chip(Glyph g, RectF r, const std::string& hex);
};
