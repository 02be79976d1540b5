// Drawing surfaces that record into a metafile: the classic Windows Metafile with the
// placeable header, and the enhanced metafile. Both are written with libUEMF at the
// screen's resolution (96 pixels per inch), one metafile unit per pixel.
#pragma once

#include "base/uDrawSurface.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace kalvex {

inline constexpr int MetafileDpi = 96;

class TMetafileSurface : public TDrawSurface {
public:
    // Completes the metafile and gives its bytes; no drawing may follow.
    virtual std::vector<std::uint8_t> Finish() = 0;
};

// Width and Height in pixels. A classic metafile holds 16-bit coordinates, so a picture
// wider or higher than 32767 pixels throws TKalvexError.
std::unique_ptr<TMetafileSurface> CreateWmfSurface(int Width, int Height);
std::unique_ptr<TMetafileSurface> CreateEmfSurface(int Width, int Height);
// The same picture as SVG text on a white ground, one SVG unit per pixel.
std::unique_ptr<TMetafileSurface> CreateSvgSurface(int Width, int Height);

} // namespace kalvex
