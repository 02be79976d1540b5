#include "geometry/GenFuncs.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace kalvex {

namespace {

// Plain sign, no dead zone: the callers pass values already snapped by LineValue.
int ExactSign(double X) {
    if (X > 0)
        return 1;
    if (X < 0)
        return -1;
    return 0;
}

// The first stage shared by the three intersection tests: side signs of each pair
// against the other pair's line, and whether the lines are parallel.
struct TSideSigns {
    double A1, B1, C1, A2, B2, C2;
    int S1, S2, S3, S4;
    bool Par;
};

TSideSigns SideSigns(TRealPoint P1, TRealPoint P2, TRealPoint P3, TRealPoint P4) {
    TSideSigns S{};
    LineCoefficients(P1, P2, S.A1, S.B1, S.C1);
    LineCoefficients(P3, P4, S.A2, S.B2, S.C2);
    S.S1 = ExactSign(LineValue(P1, S.A2, S.B2, S.C2));
    S.S2 = ExactSign(LineValue(P2, S.A2, S.B2, S.C2));
    S.S3 = ExactSign(LineValue(P3, S.A1, S.B1, S.C1));
    S.S4 = ExactSign(LineValue(P4, S.A1, S.B1, S.C1));
    S.Par = SegmentsParallel(P1, P2, P3, P4);
    return S;
}

// Both pairs lie on one line (the overlap test's conditions before the box tests).
bool Collinear(const TSideSigns& S, TRealPoint P1, TRealPoint P2, TRealPoint P3, TRealPoint P4) {
    return S.Par && !PointsEqual(P1, P2) && !PointsEqual(P3, P4) &&
           DistanceToLine(P1, P3, P4) == 0.0;
}

// Collinear pairs that share a stretch of positive length, measured along the axis on
// which the line varies most (so horizontal and vertical lines count too, and so do a
// segment folded back onto its neighbour and two equal segments). Touching at one point
// is no overlap.
bool CollinearOverlap(const TSideSigns& S, TRealPoint P1, TRealPoint P2, TRealPoint P3,
                      TRealPoint P4) {
    if (!Collinear(S, P1, P2, P3, P4))
        return false;
    const bool AlongX = std::abs(P2.X - P1.X) >= std::abs(P2.Y - P1.Y);
    const auto Along = [AlongX](TRealPoint P) { return AlongX ? P.X : P.Y; };
    const double Low = std::max(std::min(Along(P1), Along(P2)), std::min(Along(P3), Along(P4)));
    const double High = std::min(std::max(Along(P1), Along(P2)), std::max(Along(P3), Along(P4)));
    return Low < High;
}

TRealPoint CrossingPoint(const TSideSigns& S, TRealPoint P1) {
    if (S.Par)
        return P1;
    TRealPoint R;
    R.Y = (S.C2 * S.A1 - S.C1 * S.A2) / (S.A2 * S.B1 - S.A1 * S.B2);
    if (std::abs(S.A1) > GeomEps)
        R.X = (-S.C1 - S.B1 * R.Y) / S.A1;
    else
        R.X = (-S.C2 - S.B2 * R.Y) / S.A2;
    return R;
}

// Steps shared by PointOnSegment and PointOnRay: 1 = near exactly one end,
// 0 = off the line, -1 = undecided.
int NearEndOrOffLine(TRealPoint P1, TRealPoint P2, TRealPoint Q, double Eps) {
    const double D1 = Distance(P1, Q);
    const double D2 = Distance(P2, Q);
    if ((D1 < Eps && D2 > Eps) || (D2 < Eps && D1 > Eps))
        return 1;
    if (DistanceToLine(Q, P1, P2) >= Eps)
        return 0;
    return -1;
}

// The projection of Q falls strictly between P1 and P2.
bool ProjectsBetween(TRealPoint P1, TRealPoint P2, TRealPoint Q) {
    const TRealPoint N = UnitNormal(P1, P2);
    const int A = ExactSign(CrossProduct(P2 - Q, N));
    const int B = ExactSign(CrossProduct(N, P1 - Q));
    return A != 0 && A == B;
}

} // namespace

TRealPoint RealPoint(double X, double Y) {
    return {X, Y};
}

void ZeroIfTiny(double& X) {
    if (std::abs(X) < GeomEps)
        X = 0.0;
}

int SignEps(double X) {
    if (std::abs(X) < GeomEps)
        return 0;
    return X > 0 ? 1 : -1;
}

double DegToRad(double Deg) {
    return std::numbers::pi * Deg / 180.0;
}

void SetMatrSize(TRealMatr& M, int Rows, int Cols) {
    const auto R = static_cast<std::size_t>(std::max(Rows, 0));
    const auto C = static_cast<std::size_t>(std::max(Cols, 0));
    M.assign(R, TRealArray(C, 0.0));
}

void FreeMatr(TRealMatr& M, int Rows) {
    const auto R = std::min(static_cast<std::size_t>(std::max(Rows, 0)), M.size());
    for (std::size_t I = 0; I < R; ++I)
        TRealArray().swap(M[I]);
    TRealMatr().swap(M);
}

double CrossProduct(TRealPoint A, TRealPoint B) {
    return A.X * B.Y - A.Y * B.X;
}

double DotProduct(TRealPoint A, TRealPoint B) {
    return A.X * B.X + A.Y * B.Y;
}

double VectorLength(TRealPoint A) {
    return std::sqrt(A.X * A.X + A.Y * A.Y);
}

double Distance(TRealPoint A, TRealPoint B) {
    const double DX = A.X - B.X;
    const double DY = A.Y - B.Y;
    return std::sqrt(DX * DX + DY * DY);
}

void RotateVector(TRealPoint A, double Angle, TRealPoint& R) {
    R = RotateVector(A, Angle);
}

TRealPoint RotateVector(TRealPoint A, double Angle) {
    const double S = std::sin(Angle);
    const double C = std::cos(Angle);
    return {C * A.X - S * A.Y, C * A.Y + S * A.X};
}

double AngleBetween(TRealPoint A, TRealPoint B) {
    // Rounding can push the cosine of (anti)parallel vectors just past ±1.
    const double Cos = DotProduct(A, B) / (VectorLength(A) * VectorLength(B));
    return std::acos(std::clamp(Cos, -1.0, 1.0));
}

double HalfAngleSigned(TRealPoint A, TRealPoint B) {
    const double H = AngleBetween(A, B) / 2.0;
    return CrossProduct(A, B) > 0 ? -H : H;
}

void LineCoefficients(TRealPoint P1, TRealPoint P2, double& A, double& B, double& C) {
    A = P2.Y - P1.Y;
    B = P1.X - P2.X;
    C = -A * P1.X + (P2.X - P1.X) * P1.Y;
}

double LineValue(TRealPoint P, double A, double B, double C) {
    double V = A * P.X + B * P.Y + C;
    ZeroIfTiny(V);
    return V;
}

double DistanceToLine(TRealPoint P, TRealPoint L1, TRealPoint L2) {
    double A, B, C;
    LineCoefficients(L1, L2, A, B, C);
    return std::abs(LineValue(P, A, B, C)) / std::sqrt(A * A + B * B);
}

void UnitNormal(TRealPoint P1, TRealPoint P2, TRealPoint& N) {
    N = UnitNormal(P1, P2);
}

TRealPoint UnitNormal(TRealPoint P1, TRealPoint P2) {
    const double L = Distance(P1, P2);
    return {(P2.Y - P1.Y) / L, (P1.X - P2.X) / L};
}

bool PointsEqual(TRealPoint A, TRealPoint B) {
    return A.X == B.X && A.Y == B.Y;
}

bool SegmentsParallel(TRealPoint P1, TRealPoint P2, TRealPoint P3, TRealPoint P4) {
    return (P2.Y - P1.Y) * (P4.X - P3.X) == (P4.Y - P3.Y) * (P2.X - P1.X);
}

bool PointInBox(TRealPoint P, TRealPoint A, TRealPoint B) {
    return std::min(A.X, B.X) < P.X && P.X < std::max(A.X, B.X) && std::min(A.Y, B.Y) < P.Y &&
           P.Y < std::max(A.Y, B.Y);
}

bool SegmentsIntersect(TRealPoint P1, TRealPoint P2, TRealPoint P3, TRealPoint P4,
                       TRealPoint* Crossing) {
    const TSideSigns S = SideSigns(P1, P2, P3, P4);
    bool Result = false;
    if (S.S1 == -S.S2 && S.S3 == -S.S4 && S.S1 != 0 && S.S3 != 0)
        Result = true;
    else
        Result = CollinearOverlap(S, P1, P2, P3, P4);
    if (Result && Crossing)
        *Crossing = CrossingPoint(S, P1);
    return Result;
}

bool RaySegmentIntersect(TRealPoint R1, TRealPoint R2, TRealPoint S1, TRealPoint S2,
                         TRealPoint* Crossing) {
    const TSideSigns S = SideSigns(R1, R2, S1, S2);
    bool Result = false;
    if (S.S3 == -S.S4 && S.S1 != 0 && S.S3 != 0) {
        if (S.S1 == -S.S2)
            Result = true;
        else if (DistanceToLine(R1, S1, S2) > DistanceToLine(R2, S1, S2))
            Result = true;
    }
    if (!Result) {
        Result = CollinearOverlap(S, R1, R2, S1, S2);
        if (!Result && Collinear(S, R1, R2, S1, S2) && DotProduct(R2 - R1, S1 - R1) > 0)
            Result = true;
    }
    if (Result && Crossing)
        *Crossing = CrossingPoint(S, R1);
    return Result;
}

bool RaysIntersect(TRealPoint R1, TRealPoint R2, TRealPoint S1, TRealPoint S2) {
    const TSideSigns S = SideSigns(R1, R2, S1, S2);
    if (S.S1 != 0 && S.S3 != 0) {
        if (S.S1 == -S.S2 && S.S3 == -S.S4)
            return true;
        if (S.S3 == -S.S4 && DistanceToLine(R1, S1, S2) > DistanceToLine(R2, S1, S2))
            return true;
        if (S.S1 == -S.S2 && DistanceToLine(S1, R1, R2) > DistanceToLine(S2, R1, R2))
            return true;
    }
    if (Collinear(S, R1, R2, S1, S2)) {
        if (CollinearOverlap(S, R1, R2, S1, S2))
            return true;
        if (DotProduct(R2 - R1, S1 - R1) > 0)
            return true;
        if (DotProduct(S2 - S1, R1 - S1) > 0)
            return true;
    }
    if (!S.Par) {
        TRealPoint X;
        X.Y = (S.C2 * S.A1 - S.C1 * S.A2) / (S.A2 * S.B1 - S.A1 * S.B2);
        if (S.A1 != 0.0)
            X.X = (-S.C1 - S.B1 * X.Y) / S.A1;
        else
            X.X = (-S.C2 - S.B2 * X.Y) / S.A2;
        double T1 = DotProduct(R2 - R1, X - R1);
        double T2 = DotProduct(S2 - S1, X - S1);
        ZeroIfTiny(T1);
        ZeroIfTiny(T2);
        return T1 > 0 && T2 > 0;
    }
    return false;
}

bool PointOnSegment(TRealPoint P1, TRealPoint P2, TRealPoint Q, double Eps) {
    const int Stage = NearEndOrOffLine(P1, P2, Q, Eps);
    if (Stage >= 0)
        return Stage == 1;
    return ProjectsBetween(P1, P2, Q);
}

bool PointOnRay(TRealPoint P1, TRealPoint P2, TRealPoint Q, double Eps) {
    const int Stage = NearEndOrOffLine(P1, P2, Q, Eps);
    if (Stage >= 0)
        return Stage == 1;
    return ProjectsBetween(P1, P2, Q) || DotProduct(P2 - P1, Q - P1) > 0;
}

} // namespace kalvex
