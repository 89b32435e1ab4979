// catalog — the fixed, compiled-in list of the kinds of disk usage Brushwick
// knows how to find, each with its folder, how that folder becomes deletable
// entries, how risky deleting them is, and how it is presented.
//
// The list holds only categories whose folder exists when it is built, and is
// kept until the projects folder changes (a rescan does not rebuild it).
// Nothing here reads a category's contents; listing is the scanner's job.
//
// Threads: all() and set_projects_root() on the main thread only, and never
// while a scanning thread reads the catalog. recursive_skip() and
// recursive_claimed() may be called from any thread.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// --- Enumerations (values are fixed) ---

// Sidebar group of a category.
enum class GroupKind : std::int32_t {
    Ides = 0,
    Android = 1,
    Java = 2,
    JavaScript = 3,
    Python = 4,
    OtherLangs = 5,
    Native = 6,
    Containers = 7,
    Embedded = 8,
    Projects = 9,
    Logs = 10,
    _Count = 11,  // number of groups; not a group
};

// Vector icon drawn next to a title.
enum class Glyph : std::int32_t {
    Box = 0,
    Cube = 1,
    Phone = 2,
    Doc = 3,
    Wrench = 4,
    Code = 5,
    Layers = 6,
    Puzzle = 7,
    Snake = 8,
    Gear = 9,
    Folder = 10,
    Pencil = 11,
    Clock = 12,
};

// How a category's folder becomes entries.
enum class ListingKind : std::int32_t {
    ChildDirectories = 0,  // every non-hidden sub-folder is an entry
    ChildItems = 1,        // every non-hidden sub-folder and file is an entry
    SelfFolder = 2,        // the folder itself is the single entry
    Recursive = 3,         // folders named in `names`, searched below the projects folder
};

// How much deleting an entry costs the user.
enum class SafetyLevel : std::int32_t {
    Safe = 0,     // recreated automatically
    Caution = 1,  // downloaded or rebuilt again when needed: costs time
    Risky = 2,    // may hold data that cannot be recreated
};

// One catalog row; a plain value, copied freely.
struct CategoryDef {
    std::string id;                     // stable lowerCamelCase identifier, unique
    GroupKind group = GroupKind::Ides;  // sidebar group
    std::string title;                  // English title (a translation key)
    std::string subtitle;               // English one-line description (a key)
    Glyph glyph = Glyph::Box;           // icon next to the title
    std::string path;                   // absolute display path of the folder
    ListingKind listing = ListingKind::ChildDirectories;  // how the folder is listed
    std::vector<std::string> names;                       // folder names a Recursive row looks for
    int max_depth = 5;                                    // deepest level a Recursive search enters
    SafetyLevel safety = SafetyLevel::Safe;               // copied onto each listed entry
    bool keep_newest = false;                             // entries are versions; spare the newest
    bool per_tool = false;  // with keep_newest: entries are several tools, each spares its newest
    std::vector<std::string> own_work;  // listed entries by these names are the user's own: Risky
};

namespace catalog {

// The catalog for the current projects folder, in display order. Rebuilt only
// when the projects folder differs from the one it was built for; a reference
// obtained earlier refers to the same vector, whose contents are then replaced.
const std::vector<CategoryDef>& all();

// The folder below which Recursive rows search: the chosen one, or the home.
std::string projects_root();

// Stores the projects folder unchecked ("" returns to the home); takes effect at
// the next all().
void set_projects_root(const std::string& path);

// Names of the projects folder's direct children that the project search never
// enters (tool and media folders of a home used as projects folder).
const std::vector<std::string>& recursive_skip();

// Every folder name any Recursive row looks for, in catalog order. Built once,
// from the catalog as it is at the first call.
const std::vector<std::string>& recursive_claimed();

// --- Presentation (English texts are translation keys; colours are #RRGGBB) ---

const char* group_title(GroupKind g);
Glyph group_glyph(GroupKind g);
const char* group_color(GroupKind g);
const char* safety_title(SafetyLevel s);
const char* safety_explanation(SafetyLevel s);
const char* safety_color(SafetyLevel s);

}  // namespace catalog
