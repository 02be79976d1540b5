// Helpers shared by the test programs.
#pragma once

#include "base/uDrawSurface.h"

#include <filesystem>
#include <string>
#include <vector>

namespace kalvex::test {

// A fresh directory under the system's temporary folder, removed on destruction.
class TTempDir {
public:
    TTempDir();
    ~TTempDir();
    TTempDir(const TTempDir&) = delete;
    TTempDir& operator=(const TTempDir&) = delete;
    std::string File(const std::string& Name) const { return (Path / Name).string(); }
    std::filesystem::path Path;
};

std::string ExamplePath(const std::string& Name);

// One recorded drawing call with the pen and brush state it was made with.
struct TDrawCall {
    std::string Op; // "MoveTo", "LineTo", "Polyline", "Polygon", "Ellipse", "Arc", "Pie",
                    // "Rectangle", "TextOut"
    std::vector<int> Args;
    std::vector<TPixel> Points;
    std::string Text;
    TColor PenColor = 0;
    TPenStyle PenStyle = TPenStyle::psSolid;
    TPenMode PenMode = TPenMode::pmCopy;
    int PenWidth = 1;
    TColor BrushColor = 0xFFFFFF;
    TBrushStyle BrushStyle = TBrushStyle::bsSolid;
    TColor FontColor = 0;
};

// Logs every drawing call; text is 7 pixels wide per byte and 13 high.
class TRecordingSurface : public TDrawSurface {
public:
    void SetPenColor(TColor Color) override { PenColor = Color; }
    void SetPenStyle(TPenStyle Style) override { PenStyle = Style; }
    void SetPenMode(TPenMode Mode) override { PenMode = Mode; }
    void SetPenWidth(int Width) override { PenWidth = Width; }
    void SetBrushColor(TColor Color) override { BrushColor = Color; }
    void SetBrushStyle(TBrushStyle Style) override { BrushStyle = Style; }
    void SetFontColor(TColor Color) override { FontColor = Color; }
    void MoveTo(int X, int Y) override;
    void LineTo(int X, int Y) override;
    void Polyline(std::span<const TPixel> Points) override;
    void Polygon(std::span<const TPixel> Points) override;
    void Ellipse(int X1, int Y1, int X2, int Y2) override;
    void Arc(int X1, int Y1, int X2, int Y2, int X3, int Y3, int X4, int Y4) override;
    void Pie(int X1, int Y1, int X2, int Y2, int X3, int Y3, int X4, int Y4) override;
    void Rectangle(int X1, int Y1, int X2, int Y2) override;
    void TextOut(int X, int Y, const std::string& Text) override;
    TTextSize TextExtent(const std::string& Text) override;

    // Calls of one kind, in order.
    std::vector<TDrawCall> Of(const std::string& Op) const;
    void Clear() { Calls.clear(); }

    std::vector<TDrawCall> Calls;
    TColor PenColor = 0;
    TPenStyle PenStyle = TPenStyle::psSolid;
    TPenMode PenMode = TPenMode::pmCopy;
    int PenWidth = 1;
    TColor BrushColor = 0xFFFFFF;
    TBrushStyle BrushStyle = TBrushStyle::bsSolid;
    TColor FontColor = 0;
    TPixel PenPos;

private:
    TDrawCall Make(const std::string& Op, std::vector<int> Args = {});
};

} // namespace kalvex::test
