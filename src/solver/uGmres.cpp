#include "solver/uGmres.h"

#include <cblas.h>

#include <algorithm>
#include <cmath>
#include <vector>

namespace kalvex {

TGmresOutcome SolveGmres(const double* A, std::size_t N, const double* B, double* X,
                         double Tolerance, int Restart, int MaxIterations) {
    TGmresOutcome Out;
    std::fill(X, X + N, 0.0);
    if (N == 0)
        return {true, 0, 0.0};
    const auto Ln = static_cast<blasint>(N);
    const double BNorm = cblas_dnrm2(Ln, B, 1);
    if (BNorm == 0.0 || !std::isfinite(BNorm))
        return {BNorm == 0.0, 0, 0.0};
    const auto M = static_cast<std::size_t>(std::max(1, Restart));

    std::vector<double> Scale(N); // the inverse diagonal
    for (std::size_t I = 0; I < N; ++I) {
        const double D = A[I * N + I];
        Scale[I] = D != 0.0 && std::isfinite(D) ? 1.0 / D : 1.0;
    }
    std::vector<double> V(N * (M + 1)); // the Krylov basis, one column per step
    std::vector<double> Z(N);
    std::vector<double> H((M + 1) * M); // Hessenberg, column-major, M + 1 rows
    std::vector<double> Cs(M), Sn(M), G(M + 1), Y(M);
    const auto Hij = [&](std::size_t I, std::size_t J) -> double& { return H[J * (M + 1) + I]; };

    for (;;) {
        // The true residual at every restart: the recurrence's estimate drifts.
        double* R = V.data();
        std::copy(B, B + N, R);
        cblas_dgemv(CblasColMajor, CblasNoTrans, Ln, Ln, -1.0, A, Ln, X, 1, 1.0, R, 1);
        const double Beta = cblas_dnrm2(Ln, R, 1);
        Out.Residual = Beta / BNorm;
        if (!std::isfinite(Beta))
            return Out;
        if (Beta <= Tolerance * BNorm) {
            Out.Converged = true;
            return Out;
        }
        if (Out.Iterations >= MaxIterations)
            return Out;
        cblas_dscal(Ln, 1.0 / Beta, R, 1);
        std::fill(G.begin(), G.end(), 0.0);
        G[0] = Beta;
        std::size_t K = 0;
        while (K < M && Out.Iterations < MaxIterations) {
            ++Out.Iterations;
            double* Vk = V.data() + K * N;
            double* W = V.data() + (K + 1) * N;
            for (std::size_t I = 0; I < N; ++I)
                Z[I] = Scale[I] * Vk[I];
            cblas_dgemv(CblasColMajor, CblasNoTrans, Ln, Ln, 1.0, A, Ln, Z.data(), 1, 0.0, W, 1);
            // Modified Gram-Schmidt against the basis so far.
            for (std::size_t J = 0; J <= K; ++J) {
                const double* Vj = V.data() + J * N;
                const double D = cblas_ddot(Ln, W, 1, Vj, 1);
                Hij(J, K) = D;
                cblas_daxpy(Ln, -D, Vj, 1, W, 1);
            }
            const double Next = cblas_dnrm2(Ln, W, 1);
            Hij(K + 1, K) = Next;
            if (Next > 0.0)
                cblas_dscal(Ln, 1.0 / Next, W, 1);
            // The earlier rotations on the new column, then one that clears its last entry.
            for (std::size_t J = 0; J < K; ++J) {
                const double T = Cs[J] * Hij(J, K) + Sn[J] * Hij(J + 1, K);
                Hij(J + 1, K) = -Sn[J] * Hij(J, K) + Cs[J] * Hij(J + 1, K);
                Hij(J, K) = T;
            }
            const double Rho = std::hypot(Hij(K, K), Hij(K + 1, K));
            Cs[K] = Rho > 0.0 ? Hij(K, K) / Rho : 1.0;
            Sn[K] = Rho > 0.0 ? Hij(K + 1, K) / Rho : 0.0;
            Hij(K, K) = Rho;
            Hij(K + 1, K) = 0.0;
            G[K + 1] = -Sn[K] * G[K];
            G[K] = Cs[K] * G[K];
            ++K;
            if (std::abs(G[K]) <= Tolerance * BNorm || Next == 0.0)
                break;
        }
        // Y from the triangle, X += Scale * (V Y).
        for (std::size_t I = K; I-- > 0;) {
            double S = G[I];
            for (std::size_t J = I + 1; J < K; ++J)
                S -= Hij(I, J) * Y[J];
            Y[I] = Hij(I, I) != 0.0 ? S / Hij(I, I) : 0.0;
        }
        cblas_dgemv(CblasColMajor, CblasNoTrans, Ln, static_cast<blasint>(K), 1.0, V.data(), Ln,
                    Y.data(), 1, 0.0, Z.data(), 1);
        for (std::size_t I = 0; I < N; ++I)
            X[I] += Scale[I] * Z[I];
    }
}

} // namespace kalvex
