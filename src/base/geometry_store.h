// geometry_store — the main window's size, position and maximized state as it
// was last closed, kept in config_dir() + "/geometry.json", and how far the
// window may be zoomed on a screen of a given size.
//
// Only the stored numbers live here: whether a saved position still lies on a
// monitor is for the window code to decide, which knows the monitors. The file
// is written to a temporary name and renamed over the old one; the reader is
// tolerant, and anything it cannot use falls back to the defaults.
//
// Never throws, never logs, no GTK.
//
// Threads: main thread only; no lock.
#pragma once

#include <string>

// A saved window geometry. Value-initialised, it is all zeros and false.
struct WindowGeometry {
    int width = 0;              // window width in pixels, at least the minimum once loaded
    int height = 0;             // window height in pixels
    int x = 0;                  // left edge on the screen; NONE when not stored
    int y = 0;                  // top edge; NONE when not stored
    bool has_position = false;  // both x and y were stored
    bool maximized = false;     // the window was maximized
    bool valid = false;         // read from a file; false: no saved geometry, use the defaults
};

class GeometryStore {
public:
    // The smallest window the layout works in: a 1366×768 laptop with a panel,
    // or a 1080p screen at scale 2 (960×540 logical, less the panel).
    static constexpr int MIN_WIDTH = 900;
    static constexpr int MIN_HEIGHT = 560;
    // The size of a first start, before any geometry was saved.
    static constexpr int DEFAULT_WIDTH = 1100;
    static constexpr int DEFAULT_HEIGHT = 720;
    // Marks a coordinate the file does not hold (no real screen reaches it).
    static constexpr int NONE = -1000000;

    // The store of the process.
    static GeometryStore& instance();

    // A store for the file at path(); the program uses instance(), tests their own.
    GeometryStore() = default;

    // config_dir() + "/geometry.json"; creates the configuration folder.
    std::string path() const;

    // Stores the geometry unless the window is below the minimum size and not
    // maximized (then the previous file stays). True when the file was written.
    bool save(int x, int y, int width, int height, bool maximized) const;

    // The stored geometry; valid false when there is no readable file.
    WindowGeometry load() const;

    // How much larger than designed the window draws everything for a desktop
    // that asks for text_scale × larger text: text_scale itself while the
    // zoomed minimum window (MIN_WIDTH × MIN_HEIGHT, times the zoom) still fits
    // an area of area_width × area_height pixels, else as far as it fits, but
    // never smaller than designed for a scale of 1 or more. Zooming the whole
    // layout keeps every label inside its box, which growing the text alone
    // would not. An area of 0 or less is unknown and limits nothing.
    static double zoom_for(double text_scale, int area_width, int area_height);
};

// --- The file text as pure functions, for the tests ---
namespace geometry_store_detail {

// The seven lines save() writes.
std::string to_text(int x, int y, int width, int height, bool maximized);

// The geometry content describes (valid true), with the fallbacks applied.
WindowGeometry from_text(const std::string& content);

}  // namespace geometry_store_detail
