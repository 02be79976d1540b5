#include "TestSupport.h"

#include <atomic>
#include <random>

namespace kalvex::test {

TTempDir::TTempDir() {
    static std::atomic<int> Counter{0};
    std::random_device Rd;
    Path = std::filesystem::temp_directory_path() /
           ("kalvex-test-" + std::to_string(Rd()) + "-" + std::to_string(Counter++));
    std::filesystem::create_directories(Path);
}

TTempDir::~TTempDir() {
    std::error_code Ec;
    std::filesystem::remove_all(Path, Ec);
}

std::string ExamplePath(const std::string& Name) {
    return std::string(KALVEX_EXAMPLES_DIR) + "/" + Name;
}

TDrawCall TRecordingSurface::Make(const std::string& Op, std::vector<int> Args) {
    TDrawCall C;
    C.Op = Op;
    C.Args = std::move(Args);
    C.PenColor = PenColor;
    C.PenStyle = PenStyle;
    C.PenMode = PenMode;
    C.PenWidth = PenWidth;
    C.BrushColor = BrushColor;
    C.BrushStyle = BrushStyle;
    C.FontColor = FontColor;
    return C;
}

void TRecordingSurface::MoveTo(int X, int Y) {
    Calls.push_back(Make("MoveTo", {X, Y}));
    PenPos = {X, Y};
}

void TRecordingSurface::LineTo(int X, int Y) {
    auto C = Make("LineTo", {X, Y});
    C.Points = {PenPos, {X, Y}};
    Calls.push_back(C);
    PenPos = {X, Y};
}

void TRecordingSurface::Polyline(std::span<const TPixel> Points) {
    auto C = Make("Polyline");
    C.Points.assign(Points.begin(), Points.end());
    Calls.push_back(C);
}

void TRecordingSurface::Polygon(std::span<const TPixel> Points) {
    auto C = Make("Polygon");
    C.Points.assign(Points.begin(), Points.end());
    Calls.push_back(C);
}

void TRecordingSurface::Ellipse(int X1, int Y1, int X2, int Y2) {
    Calls.push_back(Make("Ellipse", {X1, Y1, X2, Y2}));
}

void TRecordingSurface::Arc(int X1, int Y1, int X2, int Y2, int X3, int Y3, int X4, int Y4) {
    Calls.push_back(Make("Arc", {X1, Y1, X2, Y2, X3, Y3, X4, Y4}));
}

void TRecordingSurface::Pie(int X1, int Y1, int X2, int Y2, int X3, int Y3, int X4, int Y4) {
    Calls.push_back(Make("Pie", {X1, Y1, X2, Y2, X3, Y3, X4, Y4}));
}

void TRecordingSurface::Rectangle(int X1, int Y1, int X2, int Y2) {
    Calls.push_back(Make("Rectangle", {X1, Y1, X2, Y2}));
}

void TRecordingSurface::TextOut(int X, int Y, const std::string& Text) {
    auto C = Make("TextOut", {X, Y});
    C.Text = Text;
    Calls.push_back(C);
}

TTextSize TRecordingSurface::TextExtent(const std::string& Text) {
    return {7 * static_cast<int>(Text.size()), 13};
}

std::vector<TDrawCall> TRecordingSurface::Of(const std::string& Op) const {
    std::vector<TDrawCall> Out;
    for (const auto& C : Calls)
        if (C.Op == Op)
            Out.push_back(C);
    return Out;
}

} // namespace kalvex::test
