#include "solver/uSystUr.h"

#include <utility>

namespace kalvex {

int FindPivotRow(const TRealMatr& A, int K, int N) {
    for (int P = K + 1; P < N; ++P) {
        if (A[static_cast<std::size_t>(P)][static_cast<std::size_t>(K)] != 0.0)
            return P;
    }
    return -1;
}

bool SolveGauss(TRealMatr& A, int N, TRealArray& X) {
    const auto Idx = [](int I) { return static_cast<std::size_t>(I); };
    for (int K = 0; K < N; ++K) {
        if (A[Idx(K)][Idx(K)] == 0.0) {
            const int P = FindPivotRow(A, K, N);
            if (P < 0)
                return false;
            std::swap(A[Idx(K)], A[Idx(P)]);
        }
        const TRealArray& RowK = A[Idx(K)];
        const double Pivot = RowK[Idx(K)];
        for (int I = K + 1; I < N; ++I) {
            TRealArray& RowI = A[Idx(I)];
            const double F = -RowI[Idx(K)] / Pivot;
            for (int J = K; J <= N; ++J)
                RowI[Idx(J)] = F * RowK[Idx(J)] + RowI[Idx(J)];
        }
    }
    for (int I = N - 1; I >= 0; --I) {
        const TRealArray& Row = A[Idx(I)];
        double S = Row[Idx(N)];
        for (int J = I + 1; J < N; ++J)
            S = S - Row[Idx(J)] * X[Idx(J)];
        X[Idx(I)] = S / Row[Idx(I)];
    }
    return true;
}

} // namespace kalvex
