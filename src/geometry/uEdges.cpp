#include "geometry/uEdges.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <new>
#include <numbers>

namespace kalvex {

void ThrowNoSegment(int I) {
    throw TKalvexError("Нет отрезка с номером " + std::to_string(I));
}

void ThrowNoEdge(int I) {
    throw TKalvexError("Нет границы с номером " + std::to_string(I));
}

// ---------------------------------------------------------------- TEdgeSegment

double TEdgeSegment::VortexStep() const {
    double Step;
    std::memcpy(&Step, DiscrVariant.data(), sizeof Step);
    return Step;
}

void TEdgeSegment::SetVortexStep(double Value) {
    std::memcpy(DiscrVariant.data(), &Value, sizeof Value);
}

bool TEdgeSegment::EqualElements() const {
    return DiscrVariant[0] != 0;
}

void TEdgeSegment::SetEqualElements(bool Value) {
    DiscrVariant[0] = Value ? 1 : 0;
}

bool TEdgeSegment::HasSlit() const {
    std::uint8_t B[sizeof(double)];
    std::memcpy(B, &P2.Y, sizeof B);
    return B[0] != 0;
}

void TEdgeSegment::SetHasSlit(bool Value) {
    // The rest of the field carries nothing; keep it zero so that files stay reproducible.
    std::uint8_t B[sizeof(double)] = {};
    B[0] = Value ? 1 : 0;
    std::memcpy(&P2.Y, B, sizeof B);
}

// ---------------------------------------------------------------- TEdge

void TEdge::DeleteSegment(int I) {
    if (I < 0 || I >= Count())
        return;
    Segments.erase(Segments.begin() + I);
}

void TEdge::Invert() {
    if (Kind != ekClosed && Kind != ekSemiInfinite)
        return;
    std::reverse(Segments.begin(), Segments.end());
    for (auto& S : Segments)
        std::swap(S.P1, S.P2);
}

void TEdge::ConvertToArc(int Index, int NumSegs, double Height) {
    if (Index < 0 || Index >= Count() || NumSegs < 1)
        return;
    const TEdgeSegment S = Segments[static_cast<std::size_t>(Index)];
    const TRealPoint P1 = S.P1;
    const TRealPoint P2 = S.P2;

    const TRealPoint N = UnitNormal(P1, P2);
    const TRealPoint T = (P1 + P2) / 2.0 - Height * N;
    const TRealPoint N2 = UnitNormal(T, P2);
    const TRealPoint Q = (T + P2) / 2.0;
    const double C1 = T.X * N.Y - N.X * T.Y;
    const double C2 = Q.X * N2.Y - N2.X * Q.Y;
    TRealPoint C;
    C.Y = (C1 * N2.Y - C2 * N.Y) / (N2.X * N.Y - N2.Y * N.X);
    if (std::abs(N.Y) > GeomEps)
        C.X = (N.X * C.Y + C1) / N.Y;
    else
        C.X = (N2.X * C.Y + C2) / N2.Y;

    constexpr double Pi = std::numbers::pi;
    double A1 = AngleBetween(RealPoint(1, 0), P1 - C);
    if (P1.Y < C.Y)
        A1 = 2 * Pi - A1;
    double A2 = AngleBetween(RealPoint(1, 0), P2 - C);
    if (P2.Y < C.Y)
        A2 = 2 * Pi - A2;
    if (A1 - A2 > Pi)
        A1 -= 2 * Pi;
    else if (A2 - A1 > Pi)
        A2 -= 2 * Pi;
    const double R = Distance(P1, C);
    // The arc must pass through the apex. The shorter sweep above does so for every arc
    // up to a half circle except a half circle itself, where either sweep is shorter by
    // rounding only; then the sweep is turned to the other side.
    const double Mid = (A1 + A2) / 2;
    if (Distance(C + R * RealPoint(std::cos(Mid), std::sin(Mid)), T) > R)
        A2 += A2 > A1 ? -2 * Pi : 2 * Pi;
    const double DA = (A2 - A1) / NumSegs;

    std::vector<TEdgeSegment> Arc;
    Arc.reserve(static_cast<std::size_t>(NumSegs));
    TRealPoint Start = P1;
    for (int K = 1; K <= NumSegs; ++K) {
        TEdgeSegment Piece = S;
        Piece.P1 = Start;
        // The last piece ends exactly where the segment did, so the chain stays closed.
        Piece.P2 =
            K == NumSegs ? P2 : C + R * RealPoint(std::cos(A1 + K * DA), std::sin(A1 + K * DA));
        Start = Piece.P2;
        Arc.push_back(Piece);
    }
    auto Pos = Segments.erase(Segments.begin() + Index);
    Segments.insert(Pos, Arc.begin(), Arc.end());
}

// ---------------------------------------------------------------- TEdges: queries

namespace {

double SlitChord(const TEdgeSegment& S0, const TEdgeSegment& S1) {
    const double A1 = DegToRad(S1.P1.X);
    const double A2 = DegToRad(S1.P1.Y);
    return S0.P2.X *
           VectorLength(RealPoint(std::cos(A1) - std::cos(A2), std::sin(A1) - std::sin(A2)));
}

bool IsCylinder(const TEdge& E) {
    return E.Kind == ekCylinder && E.Count() >= 2;
}

bool IsStraight(const TEdge& E) {
    return E.Kind == ekClosed || E.Kind == ekSemiInfinite;
}

} // namespace

void TEdges::Delete(int I) {
    if (I < 0 || I >= Count())
        return;
    Items.erase(Items.begin() + I);
}

bool TEdges::HasSemiInfinite() const {
    for (const auto& E : Items)
        if (E.Kind == ekSemiInfinite)
            return true;
    return false;
}

bool TEdges::HasRotatingCylinder() const {
    for (const auto& E : Items)
        if (E.Kind == ekCylinder && E.Count() >= 1 && E.Segments[0].V != 0.0)
            return true;
    return false;
}

int TEdges::InflowCount() const {
    int N = 0;
    for (const auto& E : Items) {
        if (IsStraight(E)) {
            for (const auto& S : E.Segments)
                if (S.V < 0)
                    ++N;
        } else if (IsCylinder(E) && E.Segments[1].V < 0) {
            ++N;
        }
    }
    return N;
}

void TEdges::FindFirstInflow(int& EdgeIdx, int& SegIdx) const {
    EdgeIdx = -1;
    SegIdx = -1;
    for (int I = 0; I < Count(); ++I) {
        const TEdge& E = Items[static_cast<std::size_t>(I)];
        if (IsStraight(E)) {
            for (int J = 0; J < E.Count(); ++J) {
                if (E.Segments[static_cast<std::size_t>(J)].V < 0) {
                    EdgeIdx = I;
                    SegIdx = J;
                    return;
                }
            }
        } else if (IsCylinder(E) && E.Segments[1].V < 0) {
            EdgeIdx = I;
            SegIdx = 1;
            return;
        }
    }
}

double TEdges::TotalFlow() const {
    double Sum = 0;
    for (const auto& E : Items) {
        if (IsStraight(E)) {
            for (const auto& S : E.Segments)
                Sum += S.V * Distance(S.P1, S.P2);
        } else if (IsCylinder(E) && E.Segments[0].HasSlit()) {
            Sum += E.Segments[1].V * SlitChord(E.Segments[0], E.Segments[1]);
        }
    }
    return Sum;
}

double TEdges::SegmentLength(int EdgeIdx, int SegIdx) const {
    if (EdgeIdx < 0 || EdgeIdx >= Count())
        return 0;
    const TEdge& E = Items[static_cast<std::size_t>(EdgeIdx)];
    if (SegIdx < 0 || SegIdx >= E.Count())
        return 0;
    if (IsStraight(E)) {
        const TEdgeSegment& S = E.Segments[static_cast<std::size_t>(SegIdx)];
        return Distance(S.P1, S.P2);
    }
    if (IsCylinder(E) && SegIdx == 1)
        return SlitChord(E.Segments[0], E.Segments[1]);
    return 0;
}

void TEdges::SpeedRange(double& MinV, double& MaxV) const {
    MinV = 0;
    MaxV = 0;
    for (const auto& E : Items) {
        for (const auto& S : E.Segments) {
            const double A = std::abs(S.V);
            if (A > 0) {
                if (MinV == 0 || MinV > A)
                    MinV = A;
                if (MaxV < A)
                    MaxV = A;
            }
        }
    }
    if (HasSemiInfinite())
        MinV = 0;
    if (7 * MinV < MaxV)
        MaxV = MaxV / 5;
    else if (3 * MinV < MaxV)
        MaxV = MaxV / 2;
}

void TEdges::GetBounds(TRealPoint& TopLeft, TRealPoint& BottomRight) const {
    bool Started = false;
    double MinX = 0, MaxX = 0, MinY = 0, MaxY = 0;
    auto Extend = [&](TRealPoint P) {
        if (!Started) {
            MinX = MaxX = P.X;
            MinY = MaxY = P.Y;
            Started = true;
            return;
        }
        MinX = std::min(MinX, P.X);
        MaxX = std::max(MaxX, P.X);
        MinY = std::min(MinY, P.Y);
        MaxY = std::max(MaxY, P.Y);
    };
    // Semi-infinite ends reach a little past their last points.
    auto Tail = [](TRealPoint From, TRealPoint To) {
        const double L = Distance(From, To);
        return L > 0 ? To + (0.1 / L) * (To - From) : To;
    };
    for (const auto& E : Items) {
        if (E.Count() == 0)
            continue;
        if (E.Kind == ekCylinder) {
            const TEdgeSegment& S0 = E.Segments[0];
            const double R = S0.P2.X;
            Extend(S0.P1 - RealPoint(R, R));
            Extend(S0.P1 + RealPoint(R, R));
            continue;
        }
        for (const auto& S : E.Segments) {
            Extend(S.P1);
            Extend(S.P2);
        }
        if (E.Kind == ekSemiInfinite) {
            const TEdgeSegment& F = E.Segments.front();
            const TEdgeSegment& L = E.Segments.back();
            Extend(Tail(F.P2, F.P1));
            Extend(Tail(L.P1, L.P2));
        }
    }
    if (!Started)
        return;
    TopLeft = RealPoint(MinX, MaxY);
    BottomRight = RealPoint(MaxX, MinY);
}

// ---------------------------------------------------------------- TEdges: hit tests

bool TEdges::PointOnBoundary(TRealPoint P, double Eps) const {
    return PointOnBoundaryExcept(P, -1, true, Eps);
}

bool TEdges::PointOnBoundaryExcept(TRealPoint P, int SkipEdge, bool IncludeSkipped,
                                   double Eps) const {
    for (int I = 0; I < Count(); ++I) {
        const TEdge& E = Items[static_cast<std::size_t>(I)];
        const int N = E.Count();
        if (N == 0)
            continue;
        switch (E.Kind) {
        case ekClosed:
            for (const auto& S : E.Segments)
                if (PointOnSegment(S.P1, S.P2, P, Eps))
                    return true;
            break;
        case ekSemiInfinite: {
            const TEdgeSegment& F = E.Segments.front();
            const TEdgeSegment& L = E.Segments.back();
            if (PointOnRay(F.P2, F.P1, P, Eps) || PointOnRay(L.P1, L.P2, P, Eps))
                return true;
            for (int J = 1; J < N - 1; ++J) {
                const TEdgeSegment& S = E.Segments[static_cast<std::size_t>(J)];
                if (PointOnSegment(S.P1, S.P2, P, Eps))
                    return true;
            }
            break;
        }
        case ekCylinder:
            if (I == SkipEdge && !IncludeSkipped)
                break;
            if (Distance(E.Segments[0].P1, P) < E.Segments[0].P2.X + Eps)
                return true;
            break;
        }
    }
    return false;
}

// ---------------------------------------------------------------- TEdges: crossing tests

namespace {

// The nearest crossing found so far along a step from its start.
struct TNearest {
    TRealPoint From;
    bool Found = false;
    double Dist2 = 0;
    TEdgeSegment Seg;
    TRealPoint At;

    void Offer(const TEdgeSegment& S, TRealPoint X) {
        const TRealPoint D = X - From;
        const double Q = DotProduct(D, D);
        // Ties (a step through a shared corner) keep the first in model order.
        if (!Found || Q < Dist2) {
            Found = true;
            Dist2 = Q;
            Seg = S;
            At = X;
        }
    }
};

// Where the step P1→P2 enters the disc of a cylinder that it comes within R of. The
// wall met is the tangent there: impermeable, or carrying the slit's velocity where the
// point lies in the slit (counter-clockwise from its start angle to its end angle).
void OfferCylinder(TNearest& N, const TEdge& E, TRealPoint P1, TRealPoint P2) {
    const TEdgeSegment& S0 = E.Segments[0];
    const TRealPoint C = S0.P1;
    const double R = S0.P2.X;
    const TRealPoint D = P2 - P1;
    const TRealPoint F = P1 - C;
    const double A = DotProduct(D, D);
    const double B = DotProduct(F, D);
    const double Rest = DotProduct(F, F) - R * R;
    double T = 0; // a step that starts on or inside the disc meets it at once
    if (Rest > 0 && A > 0) {
        const double Disc = std::max(B * B - A * Rest, 0.0);
        T = std::clamp((-B - std::sqrt(Disc)) / A, 0.0, 1.0);
    }
    const TRealPoint X = P1 + T * D;
    TRealPoint Out = X - C;
    double L = VectorLength(Out);
    if (!(L > 0)) {
        Out = RealPoint(-D.X, -D.Y);
        L = VectorLength(Out);
    }
    TEdgeSegment Wall = S0;
    Wall.V = 0;
    if (L > 0) {
        const TRealPoint Tangent = RealPoint(-Out.Y, Out.X) / L;
        Wall.P1 = X - R * Tangent;
        Wall.P2 = X + R * Tangent;
    }
    if (IsCylinder(E) && S0.HasSlit()) {
        const TEdgeSegment& S1 = E.Segments[1];
        auto Turn = [](double Deg) {
            const double M = std::fmod(Deg, 360.0);
            return M < 0 ? M + 360.0 : M;
        };
        const double Angle = std::atan2(Out.Y, Out.X) * 180.0 / std::numbers::pi;
        if (Turn(Angle - S1.P1.X) < Turn(S1.P1.Y - S1.P1.X))
            Wall.V = S1.V;
    }
    N.Offer(Wall, X);
}

} // namespace

bool TEdges::SegmentHitsBoundary(TRealPoint P1, TRealPoint P2, TEdgeSegment* HitSeg,
                                 TRealPoint* Crossing) const {
    if (!HitSeg && !Crossing)
        return SegmentCrossesOthers(P1, P2, -1, -1);
    // Tracing acts on the wall the step actually meets: the crossing nearest P1 over
    // every boundary, not the first one in model order.
    TNearest Nearest;
    Nearest.From = P1;
    TRealPoint X;
    for (const auto& E : Items) {
        const int N = E.Count();
        if (N == 0)
            continue;
        switch (E.Kind) {
        case ekClosed:
            for (const auto& S : E.Segments)
                if (SegmentsIntersect(P1, P2, S.P1, S.P2, &X))
                    Nearest.Offer(S, X);
            break;
        case ekSemiInfinite: {
            const TEdgeSegment& F = E.Segments.front();
            const TEdgeSegment& L = E.Segments.back();
            if (RaySegmentIntersect(F.P2, F.P1, P1, P2, &X))
                Nearest.Offer(F, X);
            if (RaySegmentIntersect(L.P1, L.P2, P1, P2, &X))
                Nearest.Offer(L, X);
            for (int J = 1; J < N - 1; ++J) {
                const TEdgeSegment& S = E.Segments[static_cast<std::size_t>(J)];
                if (SegmentsIntersect(P1, P2, S.P1, S.P2, &X))
                    Nearest.Offer(S, X);
            }
            break;
        }
        case ekCylinder:
            if (PointOnSegment(P1, P2, E.Segments[0].P1, E.Segments[0].P2.X))
                OfferCylinder(Nearest, E, P1, P2);
            break;
        }
    }
    if (!Nearest.Found)
        return false;
    if (HitSeg)
        *HitSeg = Nearest.Seg;
    if (Crossing)
        *Crossing = Nearest.At;
    return true;
}

bool TEdges::SegmentCrossesOthers(TRealPoint P1, TRealPoint P2, int SkipSeg, int SkipEdge) const {
    for (int I = 0; I < Count(); ++I) {
        const TEdge& E = Items[static_cast<std::size_t>(I)];
        const int N = E.Count();
        if (N == 0)
            continue;
        switch (E.Kind) {
        case ekClosed:
            for (int J = 0; J < N; ++J) {
                if (I == SkipEdge && J == SkipSeg)
                    continue;
                const TEdgeSegment& S = E.Segments[static_cast<std::size_t>(J)];
                if (SegmentsIntersect(P1, P2, S.P1, S.P2))
                    return true;
            }
            break;
        case ekSemiInfinite: {
            const TEdgeSegment& F = E.Segments.front();
            const TEdgeSegment& L = E.Segments.back();
            // The end segments lie on their rays: a segment is not tested against itself.
            const bool Own = I == SkipEdge;
            if (!(Own && SkipSeg == 0) && RaySegmentIntersect(F.P2, F.P1, P1, P2))
                return true;
            if (!(Own && SkipSeg == N - 1) && RaySegmentIntersect(L.P1, L.P2, P1, P2))
                return true;
            for (int J = 1; J < N - 1; ++J) {
                if (Own && J == SkipSeg)
                    continue;
                const TEdgeSegment& S = E.Segments[static_cast<std::size_t>(J)];
                if (SegmentsIntersect(P1, P2, S.P1, S.P2))
                    return true;
            }
            break;
        }
        case ekCylinder:
            if (PointOnSegment(P1, P2, E.Segments[0].P1, E.Segments[0].P2.X))
                return true;
            break;
        }
    }
    return false;
}

bool TEdges::RayHitsBoundary(TRealPoint R1, TRealPoint R2) const {
    return RayCrossesOthers(R1, R2, -1, -1);
}

bool TEdges::RayCrossesOthers(TRealPoint R1, TRealPoint R2, int SkipSeg, int SkipEdge) const {
    for (int I = 0; I < Count(); ++I) {
        const TEdge& E = Items[static_cast<std::size_t>(I)];
        const int N = E.Count();
        if (N == 0)
            continue;
        switch (E.Kind) {
        case ekClosed:
            for (const auto& S : E.Segments)
                if (RaySegmentIntersect(R1, R2, S.P1, S.P2))
                    return true;
            break;
        case ekSemiInfinite: {
            const TEdgeSegment& F = E.Segments.front();
            const TEdgeSegment& L = E.Segments.back();
            // A one-segment chain is both rays, so skipping its segment skips both.
            const bool SkipFirst = I == SkipEdge && SkipSeg == 0;
            const bool SkipLast = I == SkipEdge && SkipSeg == N - 1;
            if (!SkipFirst && RaysIntersect(R1, R2, F.P2, F.P1))
                return true;
            if (!SkipLast && RaysIntersect(R1, R2, L.P1, L.P2))
                return true;
            for (int J = 1; J < N - 1; ++J) {
                const TEdgeSegment& S = E.Segments[static_cast<std::size_t>(J)];
                if (RaySegmentIntersect(R1, R2, S.P1, S.P2))
                    return true;
            }
            break;
        }
        case ekCylinder:
            if (PointOnRay(R1, R2, E.Segments[0].P1, E.Segments[0].P2.X))
                return true;
            break;
        }
    }
    return false;
}

bool TEdges::IsValid() const {
    for (int I = 0; I < Count(); ++I) {
        const TEdge& E = Items[static_cast<std::size_t>(I)];
        const int N = E.Count();
        if (N == 0)
            continue;
        switch (E.Kind) {
        case ekClosed:
            for (int J = 0; J < N; ++J) {
                const TEdgeSegment& S = E.Segments[static_cast<std::size_t>(J)];
                if (SegmentCrossesOthers(S.P1, S.P2, J, I))
                    return false;
            }
            break;
        case ekSemiInfinite: {
            for (int J = 1; J < N; ++J) {
                const TEdgeSegment& S = E.Segments[static_cast<std::size_t>(J)];
                if (SegmentCrossesOthers(S.P1, S.P2, J, I))
                    return false;
            }
            const TEdgeSegment& F = E.Segments.front();
            const TEdgeSegment& L = E.Segments.back();
            if (RayCrossesOthers(F.P2, F.P1, 0, I) || RayCrossesOthers(L.P1, L.P2, N - 1, I))
                return false;
            break;
        }
        case ekCylinder:
            if (PointOnBoundaryExcept(E.Segments[0].P1, I, false, E.Segments[0].P2.X))
                return false;
            break;
        }
    }
    return true;
}

// ---------------------------------------------------------------- TEdges: slits

void TEdges::RotateSlits(double Time) {
    for (auto& E : Items) {
        if (!IsCylinder(E) || !E.Segments[0].HasSlit())
            continue;
        const TEdgeSegment& S0 = E.Segments[0];
        const double Delta = S0.V / S0.P2.X * Time / std::numbers::pi * 180.0;
        E.Segments[1].P1.X += Delta;
        E.Segments[1].P1.Y += Delta;
    }
}

void TEdges::ShiftSlitAngles(double Delta) {
    for (auto& E : Items) {
        if (!IsCylinder(E) || !E.Segments[0].HasSlit())
            continue;
        E.Segments[1].P1.X += Delta;
        E.Segments[1].P1.Y += Delta;
    }
}

// ---------------------------------------------------------------- TEdges: edges block

namespace {

constexpr std::size_t SegmentRecordSize = 96;
constexpr std::size_t BoundaryHeaderSize = 5;

void WriteSegment(TByteWriter& W, const TEdgeSegment& S, bool SlitRecord) {
    W.WriteDouble(S.P1.X);
    W.WriteDouble(S.P1.Y);
    W.WriteDouble(S.P2.X);
    if (SlitRecord) {
        W.WriteU8(S.HasSlit() ? 1 : 0);
        W.WriteZeros(7);
    } else {
        W.WriteDouble(S.P2.Y);
    }
    W.WriteDouble(S.V);
    W.WriteU8(S.DiscretizationType);
    W.WriteZeros(7);
    if (S.DiscretizationType == 0) {
        W.WriteU8(S.EqualElements() ? 1 : 0);
        W.WriteZeros(7);
    } else {
        W.WriteDouble(S.VortexStep());
    }
    W.WriteDouble(S.BaseLength);
    W.WriteDouble(S.Scaler);
    W.WriteDouble(S.InfiniteScaler);
    W.WriteI32(S.InfiniteCount);
    W.WriteZeros(4);
    W.WriteDouble(S.CylBaseLength);
}

double ReadFinite(TByteReader& R) {
    const double V = R.ReadDouble();
    if (!std::isfinite(V))
        throw TFormatError("Недопустимое число");
    return V;
}

double ReadWithin(TByteReader& R, double Bound) {
    const double V = ReadFinite(R);
    if (std::abs(V) > Bound)
        throw TFormatError("Число вне допустимых пределов");
    return V;
}

TEdgeSegment ReadSegment(TByteReader& R, bool SlitRecord) {
    TEdgeSegment S;
    S.P1.X = ReadWithin(R, MaxCoordinate);
    S.P1.Y = ReadWithin(R, MaxCoordinate);
    S.P2.X = ReadWithin(R, MaxCoordinate);
    if (SlitRecord) {
        // Only the flag byte means something; the other seven are dropped.
        S.SetHasSlit(R.ReadU8() != 0);
        R.Skip(7);
    } else {
        S.P2.Y = ReadWithin(R, MaxCoordinate);
    }
    S.V = ReadWithin(R, MaxVelocity);
    S.DiscretizationType = R.ReadU8();
    if (S.DiscretizationType > 1)
        throw TFormatError("Неизвестный способ дискретизации");
    R.Skip(7);
    if (S.DiscretizationType == 0) {
        S.DiscrVariant = {};
        S.SetEqualElements(R.ReadU8() != 0);
        R.Skip(7);
    } else {
        S.SetVortexStep(ReadFinite(R));
    }
    S.BaseLength = ReadFinite(R);
    S.Scaler = ReadFinite(R);
    S.InfiniteScaler = ReadFinite(R);
    S.InfiniteCount = R.ReadI32();
    R.Skip(4);
    S.CylBaseLength = ReadFinite(R);
    return S;
}

void ParseEdges(TByteReader& R, std::vector<TEdge>& Out) {
    const std::int32_t N = R.ReadI32();
    R.RequireRecords(N, BoundaryHeaderSize);
    Out.reserve(static_cast<std::size_t>(N));
    for (std::int32_t I = 0; I < N; ++I) {
        const std::uint8_t KindByte = R.ReadU8();
        if (KindByte > ekCylinder)
            throw TFormatError("Неизвестный вид границы");
        TEdge E(static_cast<TEdgeKind>(KindByte));
        const std::int32_t M = R.ReadI32();
        if (E.Kind == ekCylinder && M != 2)
            throw TFormatError("Цилиндр должен иметь две записи");
        // A straight boundary without segments cannot be drawn or computed.
        if (M < 1)
            throw TFormatError("Граница без отрезков");
        R.RequireRecords(M, SegmentRecordSize);
        E.Segments.reserve(static_cast<std::size_t>(M));
        for (std::int32_t J = 0; J < M; ++J)
            E.AddSegment(ReadSegment(R, E.Kind == ekCylinder && J == 0));
        Out.push_back(std::move(E));
    }
}

} // namespace

bool TEdge::SameAs(const TEdge& Other) const {
    if (Kind != Other.Kind || Count() != Other.Count())
        return false;
    for (int J = 0; J < Count(); ++J) {
        const bool SlitRecord = Kind == ekCylinder && J == 0;
        TByteWriter Mine;
        TByteWriter Theirs;
        WriteSegment(Mine, Segments[static_cast<std::size_t>(J)], SlitRecord);
        WriteSegment(Theirs, Other.Segments[static_cast<std::size_t>(J)], SlitRecord);
        if (Mine.Bytes != Theirs.Bytes)
            return false;
    }
    return true;
}

bool TEdges::SameAs(const TEdges& Other) const {
    return std::equal(Items.begin(), Items.end(), Other.Items.begin(), Other.Items.end(),
                      [](const TEdge& A, const TEdge& B) { return A.SameAs(B); });
}

void TEdges::SaveToStream(TByteWriter& Stream) const {
    Stream.WriteI32(Count());
    for (const auto& E : Items) {
        Stream.WriteU8(E.Kind);
        Stream.WriteI32(E.Count());
        for (int J = 0; J < E.Count(); ++J)
            WriteSegment(Stream, E.Segments[static_cast<std::size_t>(J)],
                         E.Kind == ekCylinder && J == 0);
    }
}

void TEdges::LoadFromStream(TByteReader& Stream) {
    Clear();
    std::vector<TEdge> Loaded;
    try {
        ParseEdges(Stream, Loaded);
    } catch (const TFormatError&) {
        throw TEdgesLoadError();
    } catch (const std::bad_alloc&) {
        throw TEdgesLoadError();
    } catch (const std::length_error&) {
        throw TEdgesLoadError();
    }
    Items = std::move(Loaded);
}

void TEdges::SaveToFile(const std::string& FileName) const {
    // The reader refuses what lies beyond the bounds, so such a file would not open again:
    // refuse to write it and keep the old one.
    const auto Within = [](double V, double Bound) { return std::abs(V) <= Bound; };
    for (const auto& E : Items)
        for (int J = 0; J < E.Count(); ++J) {
            const TEdgeSegment& S = E.Segments[static_cast<std::size_t>(J)];
            const bool SlitRecord = E.Kind == ekCylinder && J == 0;
            if (!Within(S.P1.X, MaxCoordinate) || !Within(S.P1.Y, MaxCoordinate) ||
                !Within(S.P2.X, MaxCoordinate) || (!SlitRecord && !Within(S.P2.Y, MaxCoordinate)) ||
                !Within(S.V, MaxVelocity))
                throw TFileError("Невозможно сохранить систему: координаты должны быть не "
                                 "больше 1e6 м,\rа скорости не больше 1e4 м/с по модулю.");
        }
    TByteWriter W;
    SaveToStream(W);
    WriteFileAtomic(FileName, W.Bytes);
}

void TEdges::LoadFromFile(const std::string& FileName) {
    Clear();
    std::vector<std::uint8_t> Bytes;
    try {
        Bytes = ReadWholeFile(FileName);
    } catch (const TFileError& E) {
        // "Не удалось прочитать файл NAME: reason": the reason is what is new here.
        const auto Why = [](const std::string& Text) {
            const std::size_t Colon = Text.rfind(": ");
            return Colon == std::string::npos ? Text : Text.substr(Colon + 2);
        };
        const std::string En = Why(E.CliText());
        if (En == std::strerror(EISDIR))
            throw TEdgesLoadError(FileName, "это папка, а не файл системы",
                                  "a folder, not a system file");
        throw TEdgesLoadError(FileName, Why(E.what()), En);
    } catch (const std::bad_alloc&) {
        throw TEdgesLoadError(FileName, "недостаточно памяти", "out of memory");
    }
    TByteReader R(Bytes);
    try {
        LoadFromStream(R);
    } catch (const TEdgesLoadError&) {
        throw TEdgesLoadError(
            FileName,
            "файл поврежден или это не файл системы (координаты должны быть не больше 1e6 м, "
            "скорости не больше 1e4 м/с по модулю)",
            "not a system file, or damaged (coordinates must lie within ±1e6 m, velocities "
            "within ±1e4 m/s)");
    }
}

} // namespace kalvex

namespace kalvex {

namespace {

// Even-odd test against a closed polyline.
bool InsidePolygon(const std::vector<TRealPoint>& Poly, TRealPoint P) {
    bool Inside = false;
    for (std::size_t I = 0, J = Poly.size() - 1; I < Poly.size(); J = I++) {
        const TRealPoint A = Poly[I];
        const TRealPoint B = Poly[J];
        if ((A.Y > P.Y) != (B.Y > P.Y)) {
            const double X = A.X + (P.Y - A.Y) / (B.Y - A.Y) * (B.X - A.X);
            if (P.X < X)
                Inside = !Inside;
        }
    }
    return Inside;
}

// Whether P lies on the right of a semi-infinite chain and its two rays: the side the
// solver puts the air on. The chain is closed far away by a clockwise arc, which
// makes its right the inside.
bool RightOfChain(const TEdge& Edge, TRealPoint P) {
    const TEdgeSegment& First = Edge.Segments.front();
    const TEdgeSegment& Last = Edge.Segments.back();
    const TRealPoint Centre = (First.P1 + Last.P2) / 2.0;
    double Far = 0;
    for (const TEdgeSegment& S : Edge.Segments)
        Far = std::max({Far, Distance(S.P1, Centre), Distance(S.P2, Centre)});
    Far = 1e3 * (Far + Distance(P, Centre) + 1.0);
    const auto Away = [Far](TRealPoint From, TRealPoint Through) {
        const double L = Distance(From, Through);
        return L > 0 ? From + (Through - From) / L * Far : From;
    };
    std::vector<TRealPoint> Poly;
    Poly.push_back(Away(First.P2, First.P1));
    for (std::size_t I = 0; I + 1 < Edge.Segments.size(); ++I)
        Poly.push_back(Edge.Segments[I].P2);
    const TRealPoint End = Away(Last.P1, Last.P2);
    Poly.push_back(End);
    // Clockwise from the end of the last ray round to the start of the first one.
    const double A0 = std::atan2(End.Y - Centre.Y, End.X - Centre.X);
    const double A1 = std::atan2(Poly.front().Y - Centre.Y, Poly.front().X - Centre.X);
    double Sweep = A0 - A1;
    while (Sweep <= 0)
        Sweep += 2 * std::numbers::pi;
    const int Steps = 64;
    const double R = 2 * Far;
    for (int K = 1; K < Steps; ++K) {
        const double A = A0 - Sweep * K / Steps;
        Poly.push_back({Centre.X + R * std::cos(A), Centre.Y + R * std::sin(A)});
    }
    return InsidePolygon(Poly, P);
}

double SignedArea(const TEdge& Edge) {
    double A = 0;
    for (const TEdgeSegment& S : Edge.Segments)
        A += CrossProduct(S.P1, S.P2);
    return A / 2;
}

} // namespace

bool TEdge::Clockwise() const {
    return SignedArea(*this) < 0;
}

bool TEdge::PointInAir(TRealPoint P) const {
    if (Segments.empty())
        return true;
    switch (Kind) {
    case ekClosed: {
        std::vector<TRealPoint> Poly;
        for (const TEdgeSegment& S : Segments)
            Poly.push_back(S.P1);
        // Drawn clockwise it encloses the air; drawn the other way it is a body
        // standing in the air (the air is again on the right of its segments).
        return InsidePolygon(Poly, P) == Clockwise();
    }
    case ekSemiInfinite:
        return RightOfChain(*this, P);
    case ekCylinder:
        return Distance(P, Segments.front().P1) > Segments.front().P2.X;
    }
    return true;
}

bool TEdges::PointInAir(TRealPoint P) const {
    return std::all_of(Items.begin(), Items.end(),
                       [P](const TEdge& Edge) { return Edge.PointInAir(P); });
}

} // namespace kalvex
