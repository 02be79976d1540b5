// The command line's PNG and PDF drawing as a module of its own, loaded on the first
// such picture: Qt's libraries then load only for those pictures, not at the start of
// every command (on some machines a few hundredths of a second a run).
#pragma once

#include "canvas/uPaintEdges.h"

#include <cstdint>
#include <vector>

namespace kalvex {

inline constexpr const char* PictureModuleName = "kalvex-pictures.so";
inline constexpr const char* PictureModuleEntry = "KalvexConvertPicture";

// The module's entry: QtConvertPicture's bytes in Out (empty when the SVG could not be
// drawn); false when it failed otherwise.
using TPictureModuleEntry = bool (*)(const std::vector<std::uint8_t>& Svg, TPictureFormat Format,
                                     TPictureSize Size, double Dpi, TPdfPage Page,
                                     std::vector<std::uint8_t>& Out) noexcept;

} // namespace kalvex
