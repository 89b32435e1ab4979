// icon_data — the application icon: a 128 × 128 RGBA PNG image compiled into
// the program, shown in the About panel (decoded there on each draw).
//
// The bytes are drawn with cairo at build time by tools/make_icon, which
// writes them into the build folder as icon_data_png.inc; nothing is read from
// disk at run time. Read-only data: any thread may use it.
#pragma once

#include <cstddef>

namespace icon_data {

// The bytes of the PNG file.
inline constexpr unsigned char PNG[] = {
#include "icon_data_png.inc"
};

// Number of bytes in PNG.
inline constexpr std::size_t PNG_SIZE = sizeof(PNG);

}  // namespace icon_data
