#include "results/uDrawLines.h"

#include "base/uDrawSurface.h"
#include "results/uFlowLines.h"
#include "results/uTextFormat.h"

#include <algorithm>
#include <cmath>

namespace kalvex {

void TDrawLines::AddLine(const TColorPointArray& Line) {
    Lines.push_back(Line);
    Count = static_cast<int>(Lines.size());
}

void TDrawLines::ClearLines() {
    Lines.clear();
    Count = 0;
}

void TDrawLines::Draw(TDrawSurface& Canvas, int OriginX, double PixelsPerMetre, int OriginY) const {
    // Only every K-th point is drawn when the step of the lines is finer than a pixel.
    double Ratio = Step > 0 ? Scale / Step : 0.0;
    if (!(Ratio >= 0))
        Ratio = 0;
    const long long K = ScreenPixel(Ratio) + 1LL;
    auto Px = [&](const TColorPoint& P) {
        return TPixel{OriginX + ScreenPixel(P.Position.X * PixelsPerMetre),
                      OriginY - ScreenPixel(P.Position.Y * PixelsPerMetre)};
    };
    double VMin = 0;
    double VMax = 0;
    const bool Recolour = ColourScale == TSpeedScale::Lines && LinesSpeedRange(VMin, VMax);
    auto ColorOf = [&](const TColorPoint& P) {
        return Recolour && std::isfinite(P.Speed) ? SpeedColor(P.Speed, VMin, VMax) : P.Color;
    };
    Canvas.SetPenColor(0xFF0000);
    Canvas.SetPenMode(TPenMode::pmCopy);
    for (const auto& Line : Lines) {
        const int Hi = static_cast<int>(Line.size()) - 1;
        if (Hi < 1)
            continue;
        const TPixel Start = Px(Line[0]);
        Canvas.MoveTo(Start.X, Start.Y);
        for (long long J = 1; J < Hi; J += K) {
            const TColorPoint& P = Line[static_cast<std::size_t>(J)];
            const TPixel Q = Px(P);
            Canvas.SetPenColor(ColorOf(P));
            Canvas.LineTo(Q.X, Q.Y);
        }
        const TColorPoint& Last = Line[static_cast<std::size_t>(Hi)];
        const TPixel Q = Px(Last);
        Canvas.SetPenColor(ColorOf(Last));
        Canvas.LineTo(Q.X, Q.Y);
    }
}

bool TDrawLines::LinesSpeedRange(double& VMin, double& VMax) const {
    bool Any = false;
    for (const auto& Line : Lines) {
        // Point 0 starts a line and carries no step.
        for (std::size_t I = 1; I < Line.size(); ++I) {
            const double S = Line[I].Speed;
            if (!std::isfinite(S))
                continue;
            if (!Any) {
                VMin = VMax = S;
                Any = true;
            }
            VMin = std::min(VMin, S);
            VMax = std::max(VMax, S);
        }
    }
    return Any;
}

TShownScale TDrawLines::ShownScale(double OpeningsMin, double OpeningsMax) const {
    TShownScale Shown;
    double LMin = 0;
    double LMax = 0;
    const bool HaveSpeeds = LinesSpeedRange(LMin, LMax);
    if (ColourScale == TSpeedScale::Lines && HaveSpeeds) {
        Shown.VMin = LMin;
        Shown.VMax = LMax;
        return Shown;
    }
    Shown.Scale = TSpeedScale::Openings;
    Shown.VMin = OpeningsMin;
    Shown.VMax = OpeningsMax;
    // Speeds are kept as floats: a speed that rounds to the bound is not beyond it.
    const double Slack = 1e-6;
    Shown.Below = HaveSpeeds && LMin < OpeningsMin - Slack * std::abs(OpeningsMin);
    Shown.Above = HaveSpeeds && LMax > OpeningsMax + Slack * std::abs(OpeningsMax);
    return Shown;
}

void TDrawLines::GetLinesBounds(TRealPoint& TopLeft, TRealPoint& BottomRight) const {
    // Starts from the first point of any line, so an empty first line does not hide
    // the others.
    const TColorPoint* First = nullptr;
    for (const auto& Line : Lines) {
        if (!Line.empty()) {
            First = &Line.front();
            break;
        }
    }
    if (!First)
        return;
    TopLeft = First->Position;
    BottomRight = First->Position;
    for (const auto& Line : Lines) {
        for (const auto& P : Line) {
            const TRealPoint Q = P.Position;
            if (Q.X < TopLeft.X)
                TopLeft.X = Q.X;
            else if (Q.X > BottomRight.X)
                BottomRight.X = Q.X;
            if (Q.Y > TopLeft.Y)
                TopLeft.Y = Q.Y;
            else if (Q.Y < BottomRight.Y)
                BottomRight.Y = Q.Y;
        }
    }
}

void TDrawLines::SaveLinesToStream(TByteWriter& Stream, const std::string& Comment) const {
    Stream.WriteI32(static_cast<std::int32_t>(Lines.size()));
    for (const auto& Line : Lines) {
        Stream.WriteI32(static_cast<std::int32_t>(Line.size()));
        for (const auto& P : Line) {
            Stream.WriteU32(P.Color);
            Stream.WriteZeros(4);
            Stream.WriteDouble(P.Position.X);
            Stream.WriteDouble(P.Position.Y);
        }
    }
    const std::string Bytes = Utf8ToCp1251(Comment);
    Stream.WriteI32(static_cast<std::int32_t>(Bytes.size()));
    Stream.WriteBytes(Bytes.data(), Bytes.size());
}

} // namespace kalvex
