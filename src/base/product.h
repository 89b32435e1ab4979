// product — the facts about Brushwick that the About panel, the crash report
// and the package share: version, maker, links. One place, so that the
// window, the mail a crash offers and the package never disagree.
//
// Constants only; any thread.
#pragma once

namespace product {

// The release, from the build (the project's version in CMake).
inline constexpr const char* kVersion = BRUSHWICK_VERSION;
// The people behind it, as the About panel and the package name them.
inline constexpr const char* kMaker = "The Brushwick developers";
// The copyright line under the maker.
inline constexpr const char* kLegal = "\xC2\xA9 2026 The Brushwick developers";
// Where to read about it and report problems.
inline constexpr const char* kWebsite = "https://github.com/brushwick/brushwick";
// Where help requests and crash reports go.
inline constexpr const char* kSupportMail = "support@brushwick.dev";

}  // namespace product
