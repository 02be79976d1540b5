// Internals shared by the two metafile writers: the drawing state that still has to
// be turned into metafile objects, and the scratch file libUEMF writes into.
#pragma once

#include "canvas/uMetafile.h"

#include <filesystem>
#include <optional>
#include <string>

namespace kalvex::metafile {

// Pen, brush and text state as the canvas last set it; the writers create and select
// new metafile objects only when a drawing call finds them changed.
class TStateSurface : public TMetafileSurface {
public:
    void SetPenColor(TColor Color) override { Set(PenColor, Color, PenDirty); }
    void SetPenStyle(TPenStyle Style) override { Set(PenStyle, Style, PenDirty); }
    void SetPenWidth(int Width) override { Set(PenWidth, Width, PenDirty); }
    void SetPenMode(TPenMode Mode) override { Set(PenMode, Mode, ModeDirty); }
    void SetBrushColor(TColor Color) override { Set(BrushColor, Color, BrushDirty); }
    void SetBrushStyle(TBrushStyle Style) override { Set(BrushStyle, Style, BrushDirty); }
    void SetFontColor(TColor Color) override { Set(FontColor, Color, FontColorDirty); }
    // No font metrics are at hand; the figures match the font the writers select.
    TTextSize TextExtent(const std::string& Text) override;

protected:
    // True when the pen (brush) as set differs from the one selected last; it then
    // counts as selected.
    bool TakePen();
    bool TakeBrush();

    template <class T> static void Set(T& Field, T Value, bool& Dirty) {
        if (Field != Value) {
            Field = Value;
            Dirty = true;
        }
    }

    TColor PenColor = 0;
    TPenStyle PenStyle = TPenStyle::psSolid;
    int PenWidth = 1;
    TPenMode PenMode = TPenMode::pmCopy;
    TColor BrushColor = 0xFFFFFF;
    TBrushStyle BrushStyle = TBrushStyle::bsSolid;
    TColor FontColor = 0;
    bool PenDirty = true;
    bool BrushDirty = true;
    bool ModeDirty = true;
    bool FontColorDirty = true;

private:
    struct TPenKey {
        TColor Color;
        TPenStyle Style;
        int Width;
        bool operator==(const TPenKey&) const = default;
    };
    struct TBrushKey {
        TColor Color;
        TBrushStyle Style;
        bool operator==(const TBrushKey&) const = default;
    };
    std::optional<TPenKey> SelectedPen;
    std::optional<TBrushKey> SelectedBrush;
};

inline constexpr int FontHeight = 13;
inline constexpr int FontCharWidth = 7;

std::uint8_t Red(TColor C);
std::uint8_t Green(TColor C);
std::uint8_t Blue(TColor C);
// The pen style number of both formats.
std::uint16_t PenStyleCode(TPenStyle Style);
// UTF-8 to code page 1251; characters outside it become '?'.
std::string Utf8ToCp1251(const std::string& Text);
// Number of code points of a UTF-8 text.
int Utf8Length(const std::string& Text);

// A file name in the temporary folder that nobody else uses; removed on destruction.
class TScratchFile {
public:
    TScratchFile();
    ~TScratchFile();
    TScratchFile(const TScratchFile&) = delete;
    TScratchFile& operator=(const TScratchFile&) = delete;
    std::string Name() const { return Path.string(); }

private:
    std::filesystem::path Path;
};

} // namespace kalvex::metafile
