// The picture as SVG text: one element per drawing call, a run of LineTo calls in one
// pen joined into a polyline. Text metrics are those of the metafile writers, so the
// legend is laid out alike in every format.
#include "canvas/uMetafile.h"
#include "canvas/uMetafileCommon.h"

#include <cmath>
#include <cstdio>
#include <numbers>

namespace kalvex {
namespace {

using metafile::FontCharWidth;
using metafile::FontHeight;

// Concatenation by appending: GCC 12 warns wrongly on chains of operator+.
template <class... T> std::string Join(const T&... Parts) {
    std::string S;
    (S.append(Parts), ...);
    return S;
}

std::string Hex(TColor C) {
    char Buf[8];
    std::snprintf(Buf, sizeof Buf, "#%02x%02x%02x", metafile::Red(C), metafile::Green(C),
                  metafile::Blue(C));
    return Buf;
}

std::string Escaped(const std::string& Text) {
    std::string Out;
    for (const char C : Text) {
        switch (C) {
        case '&':
            Out += "&amp;";
            break;
        case '<':
            Out += "&lt;";
            break;
        case '>':
            Out += "&gt;";
            break;
        case '"':
            Out += "&quot;";
            break;
        default:
            // Control characters are not allowed in XML 1.0.
            if (static_cast<unsigned char>(C) >= 0x20)
                Out += C;
        }
    }
    return Out;
}

class TSvgSurface final : public metafile::TStateSurface {
public:
    TSvgSurface(int Width, int Height) {
        const std::string W = std::to_string(Width);
        const std::string H = std::to_string(Height);
        Out = Join("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                   "<svg xmlns=\"http://www.w3.org/2000/svg\" version=\"1.1\" width=\"",
                   W, "\" height=\"", H, "\" viewBox=\"0 0 ", W, " ", H,
                   "\" stroke-linecap=\"round\" stroke-linejoin=\"round\">\n"
                   "<rect x=\"0\" y=\"0\" width=\"",
                   W, "\" height=\"", H, "\" fill=\"#ffffff\" stroke=\"none\"/>\n");
    }

    void SetPenColor(TColor Color) override { Change(PenColor, Color); }
    void SetPenStyle(TPenStyle Style) override { Change(PenStyle, Style); }
    void SetPenWidth(int Width) override { Change(PenWidth, Width); }

    void MoveTo(int X, int Y) override {
        Flush();
        Pos = {X, Y};
    }
    void LineTo(int X, int Y) override {
        if (Run.empty())
            Run = Join(Num(Pos.X), ",", Num(Pos.Y));
        Run.append(Join(" ", Num(X), ",", Num(Y)));
        Pos = {X, Y};
    }
    void Polyline(std::span<const TPixel> Points) override {
        Flush();
        if (Points.size() >= 2)
            Out.append(Join("<polyline points=\"", PointList(Points), "\" fill=\"none\"", Stroke(),
                            "/>\n"));
    }
    void Polygon(std::span<const TPixel> Points) override {
        Flush();
        if (!Points.empty())
            Out.append(
                Join("<polygon points=\"", PointList(Points), "\"", Fill(), Stroke(), "/>\n"));
    }
    void Ellipse(int X1, int Y1, int X2, int Y2) override {
        Flush();
        Out.append(EllipseOf(X1, Y1, X2, Y2, Fill()));
    }
    void Arc(int X1, int Y1, int X2, int Y2, int X3, int Y3, int X4, int Y4) override {
        Flush();
        Sector(X1, Y1, X2, Y2, X3, Y3, X4, Y4, false);
    }
    void Pie(int X1, int Y1, int X2, int Y2, int X3, int Y3, int X4, int Y4) override {
        Flush();
        Sector(X1, Y1, X2, Y2, X3, Y3, X4, Y4, true);
    }
    void Rectangle(int X1, int Y1, int X2, int Y2) override {
        Flush();
        Out.append(Join("<rect x=\"", Num(std::min(X1, X2)), "\" y=\"", Num(std::min(Y1, Y2)),
                        "\" width=\"", Num(std::abs(X2 - X1)), "\" height=\"",
                        Num(std::abs(Y2 - Y1)), "\"", Fill(), Stroke(), "/>\n"));
    }
    void TextOut(int X, int Y, const std::string& Text) override {
        Flush();
        // Y is the top of the text; the baseline lies a descent above its bottom.
        Out.append(Join("<text x=\"", Num(X), "\" y=\"", Num(Y + FontHeight - 3),
                        "\" font-family=\"DejaVu Sans, sans-serif\" font-size=\"11\" fill=\"",
                        Hex(FontColor), "\" stroke=\"none\">", Escaped(Text), "</text>\n"));
    }
    TTextSize TextExtent(const std::string& Text) override {
        return {metafile::Utf8Length(Text) * FontCharWidth, FontHeight};
    }

    std::vector<std::uint8_t> Finish() override {
        Flush();
        Out.append("</svg>\n");
        return {Out.begin(), Out.end()};
    }

private:
    template <class T> void Change(T& Field, T Value) {
        if (Field != Value)
            Flush();
        Field = Value;
    }
    static std::string Num(int V) { return std::to_string(V); }
    static std::string Num(double V) {
        char Buf[32];
        std::snprintf(Buf, sizeof Buf, "%.2f", V);
        return Buf;
    }
    static std::string PointList(std::span<const TPixel> Points) {
        std::string S;
        for (const TPixel& P : Points)
            S.append(Join(S.empty() ? "" : " ", Num(P.X), ",", Num(P.Y)));
        return S;
    }
    std::string Stroke() const {
        if (PenStyle == TPenStyle::psClear)
            return " stroke=\"none\"";
        std::string S = Join(" stroke=\"", Hex(PenColor), "\" stroke-width=\"",
                             Num(std::max(1, PenWidth)), "\"");
        switch (PenStyle) {
        case TPenStyle::psDash:
            S.append(" stroke-dasharray=\"6,3\"");
            break;
        case TPenStyle::psDot:
            S.append(" stroke-dasharray=\"1,2\"");
            break;
        case TPenStyle::psDashDot:
            S.append(" stroke-dasharray=\"6,3,1,3\"");
            break;
        case TPenStyle::psDashDotDot:
            S.append(" stroke-dasharray=\"6,3,1,3,1,3\"");
            break;
        default:
            break;
        }
        return S;
    }
    std::string Fill() const {
        return BrushStyle == TBrushStyle::bsClear ? std::string(" fill=\"none\"")
                                                  : Join(" fill=\"", Hex(BrushColor), "\"");
    }
    std::string EllipseOf(int X1, int Y1, int X2, int Y2, const std::string& F) const {
        return Join("<ellipse cx=\"", Num((X1 + X2) / 2.0), "\" cy=\"", Num((Y1 + Y2) / 2.0),
                    "\" rx=\"", Num(std::abs(X2 - X1) / 2.0), "\" ry=\"",
                    Num(std::abs(Y2 - Y1) / 2.0), "\"", F, Stroke(), "/>\n");
    }
    // Counter-clockwise on the screen (Y down) from the ray towards (X3, Y3) to the
    // ray towards (X4, Y4).
    void Sector(int X1, int Y1, int X2, int Y2, int X3, int Y3, int X4, int Y4, bool Pie) {
        const double Cx = (X1 + X2) / 2.0;
        const double Cy = (Y1 + Y2) / 2.0;
        const double Rx = std::abs(X2 - X1) / 2.0;
        const double Ry = std::abs(Y2 - Y1) / 2.0;
        const double A = std::atan2(Cy - Y3, X3 - Cx);
        const double B = std::atan2(Cy - Y4, X4 - Cx);
        double Span = B - A;
        while (Span <= 0)
            Span += 2 * std::numbers::pi;
        if (A == B || Rx == 0 || Ry == 0) {
            Out.append(EllipseOf(X1, Y1, X2, Y2, Pie ? Fill() : std::string(" fill=\"none\"")));
            return;
        }
        const std::string Start = Join(Num(Cx + Rx * std::cos(A)), ",", Num(Cy - Ry * std::sin(A)));
        const std::string End = Join(Num(Cx + Rx * std::cos(B)), ",", Num(Cy - Ry * std::sin(B)));
        std::string D = Pie ? Join("M", Num(Cx), ",", Num(Cy), " L", Start) : Join("M", Start);
        D.append(Join(" A", Num(Rx), ",", Num(Ry), " 0 ", Span > std::numbers::pi ? "1" : "0",
                      " 0 ", End));
        if (Pie)
            D.append(" Z");
        Out.append(Join("<path d=\"", D, "\"", Pie ? Fill() : std::string(" fill=\"none\""),
                        Stroke(), "/>\n"));
    }
    void Flush() {
        if (Run.empty())
            return;
        Out.append(Join("<polyline points=\"", Run, "\" fill=\"none\"", Stroke(), "/>\n"));
        Run.clear();
    }

    std::string Out;
    std::string Run; // the points of the LineTo run not yet written
    TPixel Pos;
};

} // namespace

std::unique_ptr<TMetafileSurface> CreateSvgSurface(int Width, int Height) {
    return std::make_unique<TSvgSurface>(Width, Height);
}

} // namespace kalvex
