// The canvas's view transform and its painting.
#include "canvas/uPaintEdges.h"

#include "results/uFlowLines.h"
#include "results/uTextFormat.h"
#include "solver/uCountEdges.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>

namespace kalvex {

namespace {

// Swallows everything; stands in for a surface the host has not supplied.
class TNullSurface final : public TDrawSurface {
public:
    void SetPenColor(TColor) override {}
    void SetPenStyle(TPenStyle) override {}
    void SetPenMode(TPenMode) override {}
    void SetPenWidth(int) override {}
    void SetBrushColor(TColor) override {}
    void SetBrushStyle(TBrushStyle) override {}
    void SetFontColor(TColor) override {}
    void MoveTo(int, int) override {}
    void LineTo(int, int) override {}
    void Polyline(std::span<const TPixel>) override {}
    void Polygon(std::span<const TPixel>) override {}
    void Ellipse(int, int, int, int) override {}
    void Arc(int, int, int, int, int, int, int, int) override {}
    void Pie(int, int, int, int, int, int, int, int) override {}
    void Rectangle(int, int, int, int) override {}
    void TextOut(int, int, const std::string&) override {}
    TTextSize TextExtent(const std::string&) override { return {}; }
};

TNullSurface NullSurface;

TPenStyle AxesPenStyle(int Style) {
    switch (Style) {
    case 1:
        return TPenStyle::psDash;
    case 2:
        return TPenStyle::psDot;
    case 3:
        return TPenStyle::psDashDot;
    case 4:
        return TPenStyle::psDashDotDot;
    case 5:
        return TPenStyle::psClear;
    default:
        return TPenStyle::psSolid;
    }
}

// Bounded like the pixels themselves: a mitre at an all but reversed corner lies
// billions of pixels out before its pull-back.
TPixel Offset(TPixel P, double X, double Y) {
    return {P.X + ScreenPixel(X), P.Y + ScreenPixel(Y)};
}

// Pulls M back towards P along M - P when it lies farther than L from P.
TPixel PullBack(TPixel P, TPixel M, double L) {
    const double Dx = M.X - P.X;
    const double Dy = M.Y - P.Y;
    const double D = std::sqrt(Dx * Dx + Dy * Dy);
    if (D <= L)
        return M;
    return {P.X + RoundEven(Dx * L / D), P.Y + RoundEven(Dy * L / D)};
}

// The angle of V against the X axis of the screen, in (-pi, pi].
double DirectionAngle(TRealPoint V) {
    const double A = AngleBetween(RealPoint(1, 0), V);
    return V.Y < 0 ? -A : A;
}

} // namespace

const char* const TEdgesCanvas::DeleteQuestion =
    "Вы действительно хотите удалить выбранную границу?";
const char* const TEdgesCanvas::CrossingReason = "Границы при этом пересекутся.";
const char* const TEdgesCanvas::CollapseReason = "Концы отрезка при этом совпадут.";
const char* const TEdgesCanvas::RadiusReason = "Радиус цилиндра должен быть больше нуля.";

TEdgesCanvas::TEdgesCanvas()
    : Target(&NullSurface), BufferSurface(&NullSurface), ScreenSurface(&NullSurface) {
    NewSegmentDefaults.DiscretizationType = 0;
    NewSegmentDefaults.SetVortexStep(0.1);
    NewSegmentDefaults.BaseLength = 0.05;
    NewSegmentDefaults.Scaler = 1.2;
    NewSegmentDefaults.InfiniteScaler = 1.7;
    NewSegmentDefaults.InfiniteCount = 10;
    NewSegmentDefaults.CylBaseLength = 0.2;
    DrawLines.Scale = Scale;
}

void TEdgesCanvas::SetSurfaces(TDrawSurface* Buffer, TDrawSurface* Screen) {
    const bool WasScreen = Target == ScreenSurface;
    BufferSurface = Buffer != nullptr ? Buffer : &NullSurface;
    ScreenSurface = Screen != nullptr ? Screen : &NullSurface;
    Target = WasScreen ? ScreenSurface : BufferSurface;
}

void TEdgesCanvas::Resize(int NewWidth, int NewHeight) {
    NewWidth = std::max(0, NewWidth);
    NewHeight = std::max(0, NewHeight);
    // What was in the middle stays there.
    if (FWidth > 0 && FHeight > 0) {
        const int Dx = NewWidth / 2 - FWidth / 2;
        const int Dy = NewHeight / 2 - FHeight / 2;
        Origin = {Origin.X + Dx, Origin.Y + Dy};
        ShiftClicks(Dx, Dy);
    }
    FWidth = NewWidth;
    FHeight = NewHeight;
    if (FFitPending)
        ZoomFit();
    Redraw();
}

void TEdgesCanvas::Paint() {
    if (CopyBufferToScreen)
        CopyBufferToScreen();
}

// ---------------------------------------------------------------- view

TPixel TEdgesCanvas::WorldToScreen(TRealPoint P) const {
    return {ScreenPixel(P.X / Scale) + Origin.X, Origin.Y - ScreenPixel(P.Y / Scale)};
}

TRealPoint TEdgesCanvas::ScreenToWorld(TPixel P) const {
    return {(P.X - Origin.X) * Scale, (Origin.Y - P.Y) * Scale};
}

void TEdgesCanvas::SetEdgeWidth(int W) {
    FEdgeWidth = std::clamp(W, 2, 15);
}

void TEdgesCanvas::ZoomIn() {
    const TPixel Centre{FWidth / 2, FHeight / 2};
    const TRealPoint C = ScreenToWorld(Centre);
    Scale = Scale / 1.25;
    const TPixel Now = WorldToScreen(C);
    Origin.X += Centre.X - Now.X;
    Origin.Y += Centre.Y - Now.Y;
    DrawLines.Scale = Scale;
    Redraw();
}

void TEdgesCanvas::ZoomOut() {
    const TPixel Centre{FWidth / 2, FHeight / 2};
    const TRealPoint C = ScreenToWorld(Centre);
    Scale = Scale * 1.25;
    const TPixel Now = WorldToScreen(C);
    Origin.X += Centre.X - Now.X;
    Origin.Y += Centre.Y - Now.Y;
    DrawLines.Scale = Scale;
    Redraw();
}

void TEdgesCanvas::ZoomReset() {
    Scale = DefaultScale;
    Origin = DefaultOrigin;
    DrawLines.Scale = Scale;
    Redraw();
}

void TEdgesCanvas::ResetEditState() {
    FClickCount = 0;
    FPanning = false;
    FDragging = false;
    FSelKind = skNone;
    FSelEdge = -1;
    FSelSegment = -1;
}

void TEdgesCanvas::ClearModel() {
    ResetEditState();
    Edges.Clear();
}

void TEdgesCanvas::SetModel(TEdges Model) {
    ResetEditState();
    Edges = std::move(Model);
}

void TEdgesCanvas::LoadModel(const std::string& FileName) {
    ResetEditState();
    Edges.LoadFromFile(FileName);
}

// ---------------------------------------------------------------- drawing routines

void TEdgesCanvas::DrawMarker(TPixel P, TColor Color) {
    Target->SetPenColor(Color);
    Target->SetPenMode(TPenMode::pmCopy);
    Target->SetBrushColor(clWhite);
    Target->Ellipse(P.X - 3, P.Y - 3, P.X + 3, P.Y + 3);
}

void TEdgesCanvas::DrawLine(TPixel P, TPixel Q, TColor Color) {
    Target->SetPenColor(Color);
    Target->MoveTo(P.X, P.Y);
    Target->LineTo(Q.X, Q.Y);
}

void TEdgesCanvas::DrawLabel(TPixel P, const std::string& Text) {
    Target->SetPenColor(clBlack);
    Target->SetBrushColor(clLabelBack);
    const TPixel Q{P.X + 3, P.Y + 7};
    const TTextSize Size = Target->TextExtent(Text);
    Target->Rectangle(Q.X, Q.Y, Q.X + Size.Width + 6, Q.Y + Size.Height + 6);
    Target->MoveTo(Q.X, Q.Y);
    Target->LineTo(P.X, P.Y);
    Target->TextOut(P.X + 6, P.Y + 10, Text);
}

void TEdgesCanvas::DrawRay(TPixel A, TPixel B, TColor Color) {
    Target->SetPenColor(Color);
    Target->SetBrushColor(clWhite);
    Target->SetPenStyle(TPenStyle::psDash);
    const double Dx = B.X - A.X;
    const double Dy = B.Y - A.Y;
    const double D = std::sqrt(Dx * Dx + Dy * Dy);
    TPixel End = B;
    if (D != 0)
        End = Offset(B, Dx * RayLength / D, Dy * RayLength / D);
    Target->MoveTo(B.X, B.Y);
    Target->LineTo(End.X, End.Y);
    Target->SetPenStyle(TPenStyle::psSolid);
}

TPixel TEdgesCanvas::RimPoint(TPixel C, int R, double Deg) const {
    const double A = DegToRad(Deg);
    return {RoundEven(C.X + R * std::cos(A)), RoundEven(C.Y - R * std::sin(A))};
}

void TEdgesCanvas::DrawCircle(TPixel C, int R, TColor Color, double A, double B) {
    Target->SetPenColor(Color);
    const TPixel Pa = RimPoint(C, R, A);
    const TPixel Pb = RimPoint(C, R, B);
    Target->Arc(C.X - R, C.Y - R, C.X + R, C.Y + R, Pa.X, Pa.Y, Pb.X, Pb.Y);
}

void TEdgesCanvas::DrawArrow(TPixel P, int S, double Theta) {
    static constexpr std::array<TPixel, 7> Base{
        {{-5, -1}, {1, -1}, {1, -4}, {6, 0}, {1, 4}, {1, 1}, {-5, 1}}};
    const double Cos = std::cos(Theta);
    const double Sin = std::sin(Theta);
    std::array<TPixel, 7> Poly;
    for (std::size_t I = 0; I < Base.size(); ++I) {
        const double X = Base[I].X * S + 7;
        const double Y = Base[I].Y;
        Poly[I] = Offset(P, X * Cos - Y * Sin, X * Sin + Y * Cos);
    }
    Target->SetPenColor(clGreen);
    Target->SetBrushColor(clGreen);
    Target->Polygon(Poly);
}

void TEdgesCanvas::DrawSegmentBand(TPixel P1, TPixel P2, int S, double Hn, double Hp) {
    const TRealPoint D = RealPoint(P2.X - P1.X, P2.Y - P1.Y);
    const double L = VectorLength(D);
    if (L == 0)
        return;
    const double W = FEdgeWidth;
    const TRealPoint U = D / L;
    const TRealPoint N = RealPoint(U.Y, -U.X);
    const TRealPoint NStart = RotateVector(N, -Hp);
    const TRealPoint NEnd = RotateVector(N, Hn);

    std::vector<TPixel> Poly;
    Poly.reserve(6);
    if (DotProduct(NStart, U) <= 0) {
        Poly.push_back(P1);
        Poly.push_back(Offset(P1, W * NStart.X, W * NStart.Y));
        Poly.push_back(Offset(P1, W * N.X, W * N.Y));
    } else {
        const double K = W / std::sin(std::numbers::pi / 2 - std::abs(Hp));
        Poly.push_back(P1);
        Poly.push_back(PullBack(P1, Offset(P1, K * NStart.X, K * NStart.Y), L));
    }
    if (DotProduct(NEnd, U) < 0) {
        const double K = W / std::sin(std::numbers::pi / 2 - std::abs(Hn));
        Poly.push_back(PullBack(P2, Offset(P2, K * NEnd.X, K * NEnd.Y), L));
        Poly.push_back(P2);
    } else {
        Poly.push_back(Offset(P2, W * N.X, W * N.Y));
        Poly.push_back(Offset(P2, W * NEnd.X, W * NEnd.Y));
        Poly.push_back(P2);
    }

    const TColor Fill = S != 0 ? clWhite : EdgeColor;
    Target->SetBrushColor(Fill);
    Target->SetPenColor(Fill);
    Target->Polygon(Poly);

    if (S != 0)
        Target->SetPenStyle(TPenStyle::psDot);
    Target->SetPenColor(clBlack);
    Target->MoveTo(P1.X, P1.Y);
    Target->LineTo(P2.X, P2.Y);
    Target->SetPenStyle(TPenStyle::psSolid);

    if (FEditEnabled || ShowNames) {
        Target->SetBrushColor(clWhite);
        Target->Ellipse(P1.X - 3, P1.Y - 3, P1.X + 3, P1.Y + 3);
        Target->Ellipse(P2.X - 3, P2.Y - 3, P2.X + 3, P2.Y + 3);
    }
    if (S != 0) {
        // Integer halves truncate towards zero.
        const TPixel Mid{(P1.X + P2.X) / 2, (P1.Y + P2.Y) / 2};
        DrawArrow(Mid, S, DirectionAngle(N));
    }
}

void TEdgesCanvas::DrawCylinder(TPixel C, int S, double A1, double A2, int R) {
    Target->SetPenMode(TPenMode::pmCopy);
    Target->SetBrushStyle(TBrushStyle::bsSolid);
    Target->SetPenStyle(TPenStyle::psSolid);
    const bool Slit = !(A1 == 0 && A2 == 0);
    TPixel Pa{};
    TPixel Pb{};
    if (!Slit) {
        Target->SetBrushColor(EdgeColor);
        Target->SetPenColor(clBlack);
        Target->Ellipse(C.X - R, C.Y - R, C.X + R, C.Y + R);
    } else {
        Target->SetPenColor(EdgeColor);
        Target->SetBrushColor(EdgeColor);
        Pa = RimPoint(C, R, A2);
        Pb = RimPoint(C, R, A1);
        Target->Pie(C.X - R, C.Y - R, C.X + R, C.Y + R, Pa.X, Pa.Y, Pb.X, Pb.Y);
        Target->SetBrushColor(clWhite);
        Target->Pie(C.X - R, C.Y - R, C.X + R, C.Y + R, Pb.X, Pb.Y, Pa.X, Pa.Y);
        DrawCircle(C, R, clBlack, A2, A1);
        DrawCircle(C, R, clWhite, A1, A2);
    }
    const int W = FEdgeWidth;
    if (R > W) {
        Target->SetBrushColor(clWhite);
        Target->SetPenColor(clWhite);
        Target->Ellipse(C.X - R + W, C.Y - R + W, C.X + R - W, C.Y + R - W);
    }
    if (Slit && S != 0) {
        const TRealPoint ChordMid = RealPoint((Pa.X + Pb.X) / 2.0, (Pa.Y + Pb.Y) / 2.0);
        TRealPoint V = RealPoint(C.X - ChordMid.X, C.Y - ChordMid.Y);
        if (V.X == 0 && V.Y == 0) {
            // A half-circle slit: the chord runs through the centre; point away from
            // the middle of the slit's arc instead.
            const double Mid = DegToRad((A1 + A2) / 2);
            V = RealPoint(-std::cos(Mid), std::sin(Mid));
        }
        const TPixel Mid{(Pa.X + Pb.X) / 2, (Pa.Y + Pb.Y) / 2};
        DrawArrow(Mid, S, DirectionAngle(V));
    }
}

// ---------------------------------------------------------------- the picture

void TEdgesCanvas::DrawEdge(const TEdge& Edge, TCounters& Counters, bool Names) {
    const int N = Edge.Count();
    if (N == 0)
        return;
    const bool Semi = Edge.Kind == ekSemiInfinite;
    const auto& Seg = Edge.Segments;
    if (Semi) {
        DrawRay(WorldToScreen(Seg.front().P2), WorldToScreen(Seg.front().P1), clBlack);
        DrawRay(WorldToScreen(Seg.back().P1), WorldToScreen(Seg.back().P2), clBlack);
    }
    const auto Dir = [](const TEdgeSegment& S) { return S.P2 - S.P1; };
    for (int J = 0; J < N; ++J) {
        const TEdgeSegment& S = Seg[static_cast<std::size_t>(J)];
        const TPixel P1 = WorldToScreen(S.P1);
        const TPixel P2 = WorldToScreen(S.P2);
        double Hp = 0;
        double Hn = 0;
        if (J > 0 || !Semi)
            Hp = HalfAngleSigned(Dir(Seg[static_cast<std::size_t>((J + N - 1) % N)]), Dir(S));
        if (J < N - 1 || !Semi)
            Hn = HalfAngleSigned(Dir(S), Dir(Seg[static_cast<std::size_t>((J + 1) % N)]));
        DrawSegmentBand(P1, P2, SignEps(S.V), Hn, Hp);
        // Named as the optimisation formulas name them (Точка5, Отсос1).
        if (Names) {
            ++Counters.Points;
            DrawLabel(P1, "Точка" + std::to_string(Counters.Points));
            if (S.V > 0) {
                ++Counters.Suctions;
                const TPixel At{RoundEven(0.3 * P1.X + 0.7 * P2.X),
                                RoundEven(0.3 * P1.Y + 0.7 * P2.Y)};
                DrawLabel(At, "Отсос" + std::to_string(Counters.Suctions));
            }
        }
    }
    if (Names) {
        // The first point's label again, above the band of the closing segment.
        DrawLabel(WorldToScreen(Seg.front().P1),
                  "Точка" + std::to_string(Counters.Points - N + 1));
        if (Semi) {
            ++Counters.Points;
            DrawLabel(WorldToScreen(Seg.back().P2), "Точка" + std::to_string(Counters.Points));
        }
    }
}

void TEdgesCanvas::DrawCylinderEdge(const TEdge& Edge, TCounters& Counters, bool Names) {
    if (Edge.Count() < 2)
        return;
    const TEdgeSegment& S0 = Edge.Segments[0];
    const TEdgeSegment& S1 = Edge.Segments[1];
    const TPixel C = WorldToScreen(S0.P1);
    const double R = S0.P2.X;
    const int Rp = ScreenPixel(R / Scale);
    const bool HasSlit = S0.HasSlit();
    const double A1 = HasSlit ? S1.P1.X : 0;
    const double A2 = HasSlit ? S1.P1.Y : 0;
    const int S = S1.V > 0 ? 1 : (S1.V < 0 ? -1 : 0);
    DrawCylinder(C, S, A1, A2, Rp);
    if (Names) {
        ++Counters.Cylinders;
        DrawLabel(C, "Цилиндр" + std::to_string(Counters.Cylinders));
        if (HasSlit && S1.V > 1e-10) {
            ++Counters.Suctions;
            const auto Rim = [&](double Deg) {
                const double A = DegToRad(Deg);
                return WorldToScreen(S0.P1 + R * RealPoint(std::cos(A), std::sin(A)));
            };
            const TPixel Pa = Rim(A1);
            const TPixel Pb = Rim(A2);
            const TPixel At{RoundEven(0.3 * Pa.X + 0.7 * Pb.X), RoundEven(0.3 * Pa.Y + 0.7 * Pb.Y)};
            DrawLabel(At, "Отсос" + std::to_string(Counters.Suctions));
        }
    }
}

void TEdgesCanvas::DrawModel(bool Names) {
    TCounters Counters;
    for (const TEdge& Edge : Edges.Items) {
        if (Edge.Kind == ekCylinder)
            DrawCylinderEdge(Edge, Counters, Names);
        else
            DrawEdge(Edge, Counters, Names);
    }
}

namespace {

// A selection of that kind can stand on that part of the model.
bool SelectionFits(const TEdges& Edges, const THitResult& Sel) {
    if (Sel.Kind == skNone || Sel.Edge < 0 || Sel.Edge >= Edges.Count())
        return false;
    const TEdge& Edge = Edges.Item(Sel.Edge);
    if (Sel.Segment < 0 || Sel.Segment >= Edge.Count())
        return false;
    if (Edge.Kind == ekCylinder)
        return Sel.Kind == skCylinder && Sel.Segment == 0;
    return Sel.Kind != skCylinder;
}

} // namespace

bool TEdgesCanvas::HasSelection() const {
    return SelectionFits(Edges, Selection());
}

bool TEdgesCanvas::Select(const THitResult& Sel) {
    if (Sel.Kind != skNone && !SelectionFits(Edges, Sel))
        return false;
    DeselectAll();
    FSelKind = Sel.Kind;
    FSelEdge = Sel.Edge;
    FSelSegment = Sel.Segment;
    if (Sel.Kind != skNone) {
        SetTargetScreen();
        Target->SetPenMode(TPenMode::pmCopy);
        DrawSelection();
    }
    return true;
}

void TEdgesCanvas::DrawSelection() {
    if (!HasSelection())
        return;
    const TEdge& Edge = Edges.Item(FSelEdge);
    const TEdgeSegment& S = Edge.Segments[static_cast<std::size_t>(FSelSegment)];
    switch (FSelKind) {
    case skFirstPoint:
        DrawMarker(WorldToScreen(S.P1), clRed);
        break;
    case skPoint:
        DrawMarker(WorldToScreen(S.P2), clRed);
        break;
    case skSegment:
        // Wider than a drawn side, so that the selected one is seen at once.
        Target->SetPenWidth(3);
        DrawLine(WorldToScreen(S.P1), WorldToScreen(S.P2), clRed);
        Target->SetPenWidth(1);
        DrawMarker(WorldToScreen(S.P1), clBlack);
        DrawMarker(WorldToScreen(S.P2), clBlack);
        break;
    case skCylinder: {
        if (Edge.Count() < 2)
            break;
        const TEdgeSegment& S0 = Edge.Segments[0];
        const TEdgeSegment& S1 = Edge.Segments[1];
        const bool HasSlit = S0.HasSlit();
        DrawCircle(WorldToScreen(S0.P1), ScreenPixel(S0.P2.X / Scale), clRed, HasSlit ? S1.P1.Y : 0,
                   HasSlit ? S1.P1.X : 0);
        break;
    }
    case skNone:
        break;
    }
}

void TEdgesCanvas::Redraw() {
    Target = BufferSurface;
    Target->SetPenMode(TPenMode::pmCopy);
    Target->SetPenStyle(TPenStyle::psSolid);
    Target->SetPenWidth(1);
    Target->SetBrushStyle(TBrushStyle::bsSolid);
    Target->SetBrushColor(clWhite);
    Target->SetPenColor(clWhite);
    Target->Rectangle(0, 0, FWidth, FHeight);

    Target->SetPenColor(AxesColor);
    Target->SetPenStyle(AxesPenStyle(AxesStyle));
    Target->SetBrushColor(clWhite);
    const TPixel Ends[4] = {{Origin.X, 0}, {Origin.X, FHeight}, {0, Origin.Y}, {FWidth, Origin.Y}};
    for (const TPixel& E : Ends) {
        Target->MoveTo(Origin.X, Origin.Y);
        Target->LineTo(E.X, E.Y);
    }
    Target->SetPenStyle(TPenStyle::psSolid);

    if (EdgeElements != nullptr) {
        Target->SetPenMode(TPenMode::pmCopy);
        EdgeElements->Draw(*Target, Origin.X, Origin.Y, 1 / Scale);
    } else {
        DrawModel(ShowNames);
    }
    DrawSelection();

    if (!FEditEnabled) {
        if (ShowResults) {
            DrawLines.Draw(*Target, Origin.X, 1 / Scale, Origin.Y);
            DrawLegendIfShown(FWidth);
        }
        if (ShowSpeedPoint)
            DrawCircle(WorldToScreen(SpeedPoint), 2, clSpeedPoint, 0, 0);
    }
    Paint();
}

TShownScale TEdgesCanvas::ShownSpeedScale() const {
    double VMin = 0;
    double VMax = 0;
    Edges.SpeedRange(VMin, VMax);
    return DrawLines.ShownScale(VMin, VMax);
}

void TEdgesCanvas::DrawLegendIfShown(int Width) {
    if (!FShowLegend || DrawLines.Count < 1)
        return;
    DrawSpeedLegend(
        *Target, Width, 0, ShownSpeedScale(),
        LegendFormat ? LegendFormat : [](double V) { return FormatNumber(V); });
}

void DrawSpeedLegend(TDrawSurface& S, int Right, int Top, const TShownScale& Shown,
                     const std::function<std::string(double)>& Format) {
    const double VMin = Shown.VMin;
    const double VMax = Shown.VMax;
    const bool Scale = VMax > VMin;
    const int Ticks = Scale ? LegendTicks : 0;
    const char* Caption =
        Shown.Scale == TSpeedScale::Lines ? LegendLinesCaption : LegendOpeningsCaption;
    std::vector<std::string> Labels;
    int TextW = std::max(S.TextExtent(LegendTitle).Width, S.TextExtent(Caption).Width);
    int TextH = S.TextExtent(LegendTitle).Height;
    for (int K = 0; K <= Ticks; ++K) {
        std::string Label = Format(Scale ? VMin + (VMax - VMin) * K / Ticks : VMin);
        if (K == Ticks && Shown.Above)
            Label = ">" + Label;
        else if (K == 0 && Shown.Below)
            Label = "<" + Label;
        Labels.push_back(Label);
        const TTextSize Size = S.TextExtent(Labels.back());
        TextW = std::max(TextW, Size.Width);
        TextH = std::max(TextH, Size.Height);
    }
    const int BoxW = 2 * LegendPadding + LegendBarWidth + LegendPadding + TextW;
    const int X0 = Right - LegendMargin - BoxW;
    const int Y0 = Top + LegendMargin;
    const int BarX = X0 + LegendPadding;
    const int BarY = Y0 + LegendPadding + 2 * TextH + TextH / 2 + LegendPadding;
    const int BoxH = BarY + LegendBarHeight + TextH / 2 + LegendPadding - Y0;

    S.SetPenMode(TPenMode::pmCopy);
    S.SetPenStyle(TPenStyle::psSolid);
    S.SetPenWidth(1);
    S.SetBrushStyle(TBrushStyle::bsSolid);
    S.SetBrushColor(clWhite);
    S.SetPenColor(clBlack);
    S.Rectangle(X0, Y0, X0 + BoxW, Y0 + BoxH);
    // One pixel row per level, the fastest at the top.
    for (int R = 0; R < LegendBarHeight; ++R) {
        const double V = Scale ? VMax - (VMax - VMin) * (R + 0.5) / LegendBarHeight : VMin;
        S.SetPenColor(SpeedColor(V, VMin, VMax));
        S.MoveTo(BarX, BarY + R);
        S.LineTo(BarX + LegendBarWidth, BarY + R);
    }
    S.SetFontColor(clBlack);
    S.TextOut(X0 + LegendPadding, Y0 + LegendPadding, LegendTitle);
    S.TextOut(X0 + LegendPadding, Y0 + LegendPadding + TextH, Caption);
    const int TextX = BarX + LegendBarWidth + LegendPadding;
    for (int K = 0; K <= Ticks; ++K) {
        const int Y = Scale ? BarY + LegendBarHeight - LegendBarHeight * K / Ticks
                            : BarY + LegendBarHeight / 2;
        S.TextOut(TextX, Y - TextH / 2, Labels[static_cast<std::size_t>(K)]);
    }
}

void TEdgesCanvas::RedrawCylinders() {
    Target = ScreenSurface;
    for (const TEdge& Edge : Edges.Items) {
        if (Edge.Kind != ekCylinder || Edge.Count() < 2)
            continue;
        const TEdgeSegment& S0 = Edge.Segments[0];
        const TEdgeSegment& S1 = Edge.Segments[1];
        const bool HasSlit = S0.HasSlit();
        const int S = S1.V > 0 ? 1 : (S1.V < 0 ? -1 : 0);
        DrawCylinder(WorldToScreen(S0.P1), S, HasSlit ? S1.P1.X : 0, HasSlit ? S1.P1.Y : 0,
                     ScreenPixel(S0.P2.X / Scale));
    }
}

} // namespace kalvex
