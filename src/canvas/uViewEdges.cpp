// The canvas's view beyond the fixed zoom steps: fitting the model, zooming about a
// point, and keeping the view centred as the canvas changes size.
#include "canvas/uPaintEdges.h"

#include <algorithm>
#include <cmath>

namespace kalvex {

namespace {

// A fitted model leaves this share of the canvas free on each side.
constexpr double FitMargin = 0.08;
constexpr double MinScale = 1e-7; // metres per pixel
constexpr double MaxScale = 1e3;

} // namespace

void TEdgesCanvas::ShiftClicks(int Dx, int Dy) {
    LastClick = {LastClick.X + Dx, LastClick.Y + Dy};
    LastMouse = {LastMouse.X + Dx, LastMouse.Y + Dy};
    FFirstClick = {FFirstClick.X + Dx, FFirstClick.Y + Dy};
}

void TEdgesCanvas::ZoomFit() {
    if (Edges.Count() == 0) {
        FFitPending = false;
        ZoomReset();
        return;
    }
    if (FWidth <= 1 || FHeight <= 1) {
        FFitPending = true;
        return;
    }
    FFitPending = false;
    TRealPoint TL;
    TRealPoint BR;
    Edges.GetBounds(TL, BR);
    const double W = std::abs(BR.X - TL.X);
    const double H = std::abs(BR.Y - TL.Y);
    const double Free = 1 - 2 * FitMargin;
    double S = std::max(W / (FWidth * Free), H / (FHeight * Free));
    if (!(S > 0) || !std::isfinite(S))
        S = DefaultScale;
    Scale = std::clamp(S, MinScale, MaxScale);
    const TRealPoint C{(TL.X + BR.X) / 2, (TL.Y + BR.Y) / 2};
    Origin = {ScreenPixel(FWidth / 2.0 - C.X / Scale), ScreenPixel(FHeight / 2.0 + C.Y / Scale)};
    DrawLines.Scale = Scale;
    Redraw();
}

void TEdgesCanvas::ZoomAt(TPixel P, double Factor) {
    const double S = Scale * Factor;
    if (!(S >= MinScale && S <= MaxScale))
        return;
    const TRealPoint C = ScreenToWorld(P);
    const TRealPoint First = ScreenToWorld(FFirstClick);
    const TRealPoint Last = ScreenToWorld(LastClick);
    Scale = S;
    const TPixel Now = WorldToScreen(C);
    Origin.X += P.X - Now.X;
    Origin.Y += P.Y - Now.Y;
    FFirstClick = WorldToScreen(First);
    LastClick = WorldToScreen(Last);
    LastMouse = LastClick; // the rubber line is gone with the redraw
    DrawLines.Scale = Scale;
    Redraw();
}

} // namespace kalvex
