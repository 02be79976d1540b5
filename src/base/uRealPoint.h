// The plane point of the whole program and the rounding to whole pixels; the
// geometry (geometry/GenFuncs.h) builds on them.
#pragma once

namespace kalvex {

struct TRealPoint {
    double X = 0.0;
    double Y = 0.0;
};

inline TRealPoint operator+(TRealPoint a, TRealPoint b) { return {a.X + b.X, a.Y + b.Y}; }
inline TRealPoint operator-(TRealPoint a, TRealPoint b) { return {a.X - b.X, a.Y - b.Y}; }
inline TRealPoint operator*(double k, TRealPoint a) { return {k * a.X, k * a.Y}; }
inline TRealPoint operator*(TRealPoint a, double k) { return {k * a.X, k * a.Y}; }
inline TRealPoint operator/(TRealPoint a, double k) { return {a.X / k, a.Y / k}; }

// Rounding to an integer: nearest, halves to even.
int RoundEven(double X);

} // namespace kalvex
