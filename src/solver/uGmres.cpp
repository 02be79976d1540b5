#include "solver/uGmres.h"

#include "base/uParallel.h"

#include <cblas.h>
#include <lapacke.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

namespace kalvex {

bool BandedProduct(const double* A, std::size_t N, double Alpha, const double* X, double Beta,
                   double* Y, const std::function<bool()>& Stop) {
    // A band of 16 M entries reads 128 MB: a few hundredths of a second. Each row's sum
    // runs over the columns as in one product, so the bands change no result.
    constexpr std::size_t BandEntries = std::size_t{1} << 24;
    const std::size_t Rows =
        Stop ? std::max<std::size_t>(64, BandEntries / std::max<std::size_t>(N, 1)) : N;
    const auto Ln = static_cast<blasint>(N);
    for (std::size_t R = 0; R < N; R += Rows) {
        const auto M = static_cast<blasint>(std::min(Rows, N - R));
        cblas_dgemv(CblasColMajor, CblasNoTrans, M, Ln, Alpha, A + R, Ln, X, 1, Beta, Y + R, 1);
        if (Stop && Stop())
            return false;
    }
    return true;
}

TGmresOutcome SolveGmres(const double* A, std::size_t N, const double* B, double* X,
                         double Tolerance, int Restart, int MaxIterations, std::size_t Block,
                         const std::function<bool()>& Stop) {
    const TGmresProduct Product = [&](double Alpha, const double* Xp, double Beta, double* Y) {
        return BandedProduct(A, N, Alpha, Xp, Beta, Y, Stop);
    };
    const TGmresBlock Diagonal = [&](std::size_t From, std::size_t Size, double* F) {
        for (std::size_t C = 0; C < Size; ++C)
            for (std::size_t R = 0; R < Size; ++R)
                F[C * Size + R] = A[(From + C) * N + From + R];
    };
    return SolveGmres(Product, Diagonal, N, B, X, Tolerance, Restart, MaxIterations, Block, 1);
}

TGmresOutcome SolveGmres(const TGmresProduct& Product, const TGmresBlock& Diagonal, std::size_t N,
                         const double* B, double* X, double Tolerance, int Restart,
                         int MaxIterations, std::size_t Block, int Threads) {
    TGmresOutcome Out;
    std::fill(X, X + N, 0.0);
    if (N == 0)
        return {true, 0, 0.0};
    const auto Ln = static_cast<blasint>(N);
    const double BNorm = cblas_dnrm2(Ln, B, 1);
    if (BNorm == 0.0 || !std::isfinite(BNorm))
        return {BNorm == 0.0, 0, 0.0};
    const auto M = static_cast<std::size_t>(std::max(1, Restart));

    // Block Jacobi: the diagonal blocks of consecutive elements, which lie side by side
    // on a wall and carry the strongest couplings, factored once. A block that cannot
    // be factored is left out (taken as the identity).
    const std::size_t Bs = std::clamp<std::size_t>(Block, 1, N);
    const std::size_t Blocks = (N + Bs - 1) / Bs;
    // Neither the factors nor the basis are cleared first: each part is written before
    // it is read, and untouched pages of a basis that converges early cost nothing.
    const auto Factors = std::make_unique_for_overwrite<double[]>(Blocks * Bs * Bs);
    std::vector<lapack_int> Pivots(Blocks * Bs);
    std::vector<char> Usable(Blocks, 0);
    // Each block is its own work, so the factors and their solves may be spread.
    ParallelFor(Threads, Blocks, [&](std::size_t K) {
        const std::size_t From = K * Bs;
        const std::size_t Size = std::min(Bs, N - From);
        double* F = Factors.get() + K * Bs * Bs;
        Diagonal(From, Size, F);
        const auto Ls = static_cast<lapack_int>(Size);
        Usable[K] =
            LAPACKE_dgetrf_work(LAPACK_COL_MAJOR, Ls, Ls, F, Ls, Pivots.data() + K * Bs) == 0;
    });
    // Z <- P^-1 Z in place.
    const auto Precondition = [&](double* Z) {
        ParallelFor(Threads, Blocks, [&](std::size_t K) {
            if (!Usable[K])
                return;
            const std::size_t From = K * Bs;
            const auto Ls = static_cast<lapack_int>(std::min(Bs, N - From));
            LAPACKE_dgetrs_work(LAPACK_COL_MAJOR, 'N', Ls, 1, Factors.get() + K * Bs * Bs, Ls,
                                Pivots.data() + K * Bs, Z + From, Ls);
        });
    };
    const auto V = std::make_unique_for_overwrite<double[]>(N * (M + 1)); // one column a step
    std::vector<double> Z(N);
    std::vector<double> H((M + 1) * M); // Hessenberg, column-major, M + 1 rows
    std::vector<double> Cs(M), Sn(M), G(M + 1), Y(M);
    const auto Hij = [&](std::size_t I, std::size_t J) -> double& { return H[J * (M + 1) + I]; };

    for (;;) {
        // The true residual at every restart: the recurrence's estimate drifts.
        double* R = V.get();
        std::copy(B, B + N, R);
        if (!Product(-1.0, X, 1.0, R)) {
            Out.Stopped = true;
            return Out;
        }
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
            double* Vk = V.get() + K * N;
            double* W = V.get() + (K + 1) * N;
            std::copy(Vk, Vk + N, Z.begin());
            Precondition(Z.data());
            if (!Product(1.0, Z.data(), 0.0, W)) {
                Out.Stopped = true;
                return Out;
            }
            // Modified Gram-Schmidt against the basis so far.
            for (std::size_t J = 0; J <= K; ++J) {
                const double* Vj = V.get() + J * N;
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
        // Y from the triangle, X += P^-1 (V Y).
        for (std::size_t I = K; I-- > 0;) {
            double S = G[I];
            for (std::size_t J = I + 1; J < K; ++J)
                S -= Hij(I, J) * Y[J];
            Y[I] = Hij(I, I) != 0.0 ? S / Hij(I, I) : 0.0;
        }
        cblas_dgemv(CblasColMajor, CblasNoTrans, Ln, static_cast<blasint>(K), 1.0, V.get(), Ln,
                    Y.data(), 1, 0.0, Z.data(), 1);
        Precondition(Z.data());
        cblas_daxpy(Ln, 1.0, Z.data(), 1, X, 1);
    }
}

} // namespace kalvex
