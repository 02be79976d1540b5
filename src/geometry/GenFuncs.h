// Plane geometry and small numeric helpers shared by the whole program.
// One tolerance, 1e-10, applied only where a function says so. The point type and
// RoundEven live in base/uRealPoint.h.
#pragma once

#include "base/uRealPoint.h"

#include <cmath>
#include <vector>

namespace kalvex {

using TRealArray = std::vector<double>;
using TRealMatr = std::vector<TRealArray>;
using TPointArray = std::vector<TRealPoint>;

inline constexpr double GeomEps = 1e-10;

TRealPoint RealPoint(double X, double Y);
void ZeroIfTiny(double& X);
int SignEps(double X);
double DegToRad(double Deg);
void SetMatrSize(TRealMatr& M, int Rows, int Cols);
void FreeMatr(TRealMatr& M, int Rows);
double CrossProduct(TRealPoint A, TRealPoint B);
double DotProduct(TRealPoint A, TRealPoint B);
double VectorLength(TRealPoint A);
double Distance(TRealPoint A, TRealPoint B);
void RotateVector(TRealPoint A, double Angle, TRealPoint& R);
TRealPoint RotateVector(TRealPoint A, double Angle);
double AngleBetween(TRealPoint A, TRealPoint B);
double HalfAngleSigned(TRealPoint A, TRealPoint B);
void LineCoefficients(TRealPoint P1, TRealPoint P2, double& A, double& B, double& C);
double LineValue(TRealPoint P, double A, double B, double C);
double DistanceToLine(TRealPoint P, TRealPoint L1, TRealPoint L2);
void UnitNormal(TRealPoint P1, TRealPoint P2, TRealPoint& N);
TRealPoint UnitNormal(TRealPoint P1, TRealPoint P2);
bool PointsEqual(TRealPoint A, TRealPoint B);
bool SegmentsParallel(TRealPoint P1, TRealPoint P2, TRealPoint P3, TRealPoint P4);
bool PointInBox(TRealPoint P, TRealPoint A, TRealPoint B);

// Touching at an end point is never an intersection; Crossing may be null.
bool SegmentsIntersect(TRealPoint P1, TRealPoint P2, TRealPoint P3, TRealPoint P4,
                       TRealPoint* Crossing = nullptr);
// Ray from R1 through R2 against the segment S1S2.
bool RaySegmentIntersect(TRealPoint R1, TRealPoint R2, TRealPoint S1, TRealPoint S2,
                         TRealPoint* Crossing = nullptr);
bool RaysIntersect(TRealPoint R1, TRealPoint R2, TRealPoint S1, TRealPoint S2);
bool PointOnSegment(TRealPoint P1, TRealPoint P2, TRealPoint Q, double Eps);
bool PointOnRay(TRealPoint P1, TRealPoint P2, TRealPoint Q, double Eps);

} // namespace kalvex
