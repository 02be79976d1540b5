#include "results/uDifur.h"

#include "geometry/uBinaryIO.h"

namespace kalvex {

namespace {

const char* const BadCount = "Неверное число уравнений";

} // namespace

void TRungeKutta::InitRungeKutta(int N) {
    if (N < 0)
        throw TKalvexError(BadCount);
    K.assign(static_cast<std::size_t>(N), {0.0, 0.0, 0.0, 0.0});
    YStage.assign(static_cast<std::size_t>(N), 0.0);
}

void TRungeKutta::DoneRungeKutta(int /*N*/) {
    K = {};
    YStage = {};
}

void TRungeKutta::RungeKuttaStep(double& t, TRealArray& Y, const TFunctionArray& F, int N,
                                 double h) {
    if (N < 0)
        throw TKalvexError(BadCount);
    const auto Size = static_cast<std::size_t>(N);
    if (Size > K.size() || Size > Y.size() || Size > F.size())
        throw TKalvexError(BadCount);
    // The stage state keeps the full length of Y, so a right-hand side may read
    // components past N as the caller holds them.
    if (YStage.size() != Y.size())
        YStage.resize(Y.size());
    for (std::size_t I = Size; I < Y.size(); ++I)
        YStage[I] = Y[I];

    for (std::size_t I = 0; I < Size; ++I)
        K[I][0] = h * F[I](Y, t);
    for (std::size_t I = 0; I < Size; ++I)
        YStage[I] = Y[I] + K[I][0] / 2;
    for (std::size_t I = 0; I < Size; ++I)
        K[I][1] = h * F[I](YStage, t + h / 2);
    for (std::size_t I = 0; I < Size; ++I)
        YStage[I] = Y[I] + K[I][1] / 2;
    for (std::size_t I = 0; I < Size; ++I)
        K[I][2] = h * F[I](YStage, t + h / 2);
    for (std::size_t I = 0; I < Size; ++I)
        YStage[I] = Y[I] + K[I][2];
    for (std::size_t I = 0; I < Size; ++I)
        K[I][3] = h * F[I](YStage, t + h);
    for (std::size_t I = 0; I < Size; ++I)
        Y[I] = Y[I] + (K[I][0] + 2 * (K[I][1] + K[I][2]) + K[I][3]) / 6;
    t = t + h;
}

} // namespace kalvex
