// The flow evaluator: intensity solve and velocity at a point.
#include "solver/uCountEdges.h"

#include "base/uParallel.h"
#include "solver/uBlasThreads.h"
#include "solver/uFmm.h"
#include "solver/uGmres.h"
#include "solver/uKernel.h"
#include "solver/uPanelKernel.h"
#include "solver/uSystUr.h"

#include <cblas.h>
#include <lapacke.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <new>
#include <stdexcept>
#include <system_error>
#include <thread>

#include <sys/mman.h>
#include <unistd.h>

namespace kalvex {

namespace {

constexpr double TwoPi = 2.0 * kernel::Pi;

// The element loops get an AVX2/FMA version beside the baseline one, chosen at load
// time; the vector kernels need the wider integer and select instructions.
#if defined(__GNUC__) && !defined(__clang__) && defined(__x86_64__)
#define KALVEX_SIMD_CLONES __attribute__((target_clones("arch=x86-64-v3", "default")))
#else
#define KALVEX_SIMD_CLONES
#endif

const char* const SingularMessage =
    "Система уравнений для интенсивностей граничных элементов вырождена.\rПроверьте, не "
    "совпадают ли граничные элементы, или измените разбиение.";

struct TGeometry {
    TRealPoint T, N;
};

// Unit tangent and normal; a zero-length element gets zero vectors, so that it
// neither induces a velocity nor produces NaN.
TGeometry ElementGeometry(const TEdgeElement& E) {
    const double Len = Distance(E.P1, E.P2);
    TGeometry G;
    if (Len > 0.0) {
        G.T = (E.P2 - E.P1) / Len;
        G.N = TRealPoint{G.T.Y, -G.T.X};
    }
    return G;
}

// ln(r2/r1) and theta2 - theta1 exactly as the plain formula reads. An end point
// that coincides with the point (r1 or r2 = 0) gives no contribution.
void LiteralTerms(double Eta1, double Xi1, double Eta2, double Xi2, double& L, double& Theta) {
    const double R1 = std::sqrt(Xi1 * Xi1 + Eta1 * Eta1);
    const double R2 = std::sqrt(Xi2 * Xi2 + Eta2 * Eta2);
    if (R1 == 0.0 || R2 == 0.0) {
        L = 0.0;
        Theta = 0.0;
        return;
    }
    const auto Angle = [](double Eta, double Xi) {
        if (std::fabs(Eta) <= kernel::EtaEps)
            return kernel::SignOf(Xi) * kernel::Pi / 2.0;
        return std::atan(Xi / Eta);
    };
    L = std::log(R2 / R1);
    Theta = Angle(Eta2, Xi2) - Angle(Eta1, Xi1);
}

double LiteralKernel(const TEdgeElement& E, const TGeometry& G, TRealPoint P, TRealPoint D) {
    const double PN = DotProduct(P, G.N);
    const double PT = DotProduct(P, G.T);
    const double Eta1 = DotProduct(E.P1, G.N) - PN;
    const double Xi1 = DotProduct(E.P1, G.T) - PT;
    const double Eta2 = DotProduct(E.P2, G.N) - PN;
    const double Xi2 = DotProduct(E.P2, G.T) - PT;
    double L = 0.0;
    double Theta = 0.0;
    LiteralTerms(Eta1, Xi1, Eta2, Xi2, L, Theta);
    return -(L * DotProduct(D, G.T) + Theta * DotProduct(D, G.N)) / TwoPi;
}

// Velocity of the point vortices of the rotating cylinders; the centre itself gets 0.
TRealPoint VortexVelocity(const TCylInfoArray& Cyls, TRealPoint Pt) {
    TRealPoint V;
    for (const TCylInfo& C : Cyls) {
        if (C.V == 0.0)
            continue;
        const double Dx = Pt.X - C.Center.X;
        const double Dy = Pt.Y - C.Center.Y;
        const double R2 = Dx * Dx + Dy * Dy;
        if (R2 == 0.0)
            continue;
        const double K = C.R * C.V / R2;
        V.X += -K * Dy;
        V.Y += K * Dx;
    }
    return V;
}

// Per-element arrays of the fast kernel.
struct TSoA {
    std::vector<double> Tx, Ty, Nx, Ny, P1N, P1T, P2N, P2T, Mx, My;

    explicit TSoA(const TEdgeElementArray& Elements) {
        const std::size_t N = Elements.size();
        for (auto* V : {&Tx, &Ty, &Nx, &Ny, &P1N, &P1T, &P2N, &P2T, &Mx, &My})
            V->resize(N);
        for (std::size_t J = 0; J < N; ++J) {
            const TEdgeElement& E = Elements[J];
            const TGeometry G = ElementGeometry(E);
            Tx[J] = G.T.X;
            Ty[J] = G.T.Y;
            Nx[J] = G.N.X;
            Ny[J] = G.N.Y;
            P1N[J] = DotProduct(E.P1, G.N);
            P1T[J] = DotProduct(E.P1, G.T);
            P2N[J] = DotProduct(E.P2, G.N);
            P2T[J] = DotProduct(E.P2, G.T);
            Mx[J] = (E.P1.X + E.P2.X) / 2.0;
            My[J] = (E.P1.Y + E.P2.Y) / 2.0;
        }
    }
};

// Column J of the system (the influence of element J at every control point) into
// Out[0..N); Flags[I] = 1 where the term must be redone by the plain formula.
KALVEX_SIMD_CLONES
void ColumnKernel(const double* __restrict Mx, const double* __restrict My,
                  const double* __restrict NxI, const double* __restrict NyI, std::size_t N,
                  const double* __restrict Elem, double* __restrict Out, double* __restrict Flags) {
    const double Tx = Elem[0], Ty = Elem[1], Nx = Elem[2], Ny = Elem[3];
    const double P1N = Elem[4], P1T = Elem[5], P2N = Elem[6], P2T = Elem[7];
    for (std::size_t I = 0; I < N; ++I) {
        const double PN = Mx[I] * Nx + My[I] * Ny;
        const double PT = Mx[I] * Tx + My[I] * Ty;
        double L, A, F;
        kernel::Terms(P1N - PN, P1T - PT, P2N - PN, P2T - PT, L, A, F);
        const double DT = NxI[I] * Tx + NyI[I] * Ty;
        const double DN = NxI[I] * Nx + NyI[I] * Ny;
        Out[I] = -(L * DT + A * DN) / TwoPi;
        Flags[I] = F;
    }
}

// Control points (with their normals) at which a column is wanted.
struct TPointsView {
    const double *Mx, *My, *Nx, *Ny;
    std::size_t N;
};

// The influence of element J at the points P into Out[0..P.N).
void ColumnAt(const TSoA& S, const TEdgeElementArray& Elements, std::size_t J, TPointsView P,
              double* Out) {
    const double Elem[8] = {S.Tx[J],  S.Ty[J],  S.Nx[J],  S.Ny[J],
                            S.P1N[J], S.P1T[J], S.P2N[J], S.P2T[J]};
    constexpr std::size_t Block = 512;
    double Flags[Block];
    for (std::size_t Start = 0; Start < P.N; Start += Block) {
        const std::size_t M = std::min(Block, P.N - Start);
        ColumnKernel(P.Mx + Start, P.My + Start, P.Nx + Start, P.Ny + Start, M, Elem, Out + Start,
                     Flags);
        double Any = 0.0;
        for (std::size_t K = 0; K < M; ++K)
            Any += Flags[K];
        if (Any > 0.0) {
            const TGeometry G = ElementGeometry(Elements[J]);
            for (std::size_t K = 0; K < M; ++K) {
                if (Flags[K] != 0.0) {
                    const std::size_t I = Start + K;
                    Out[I] = LiteralKernel(Elements[J], G, {P.Mx[I], P.My[I]}, {P.Nx[I], P.Ny[I]});
                }
            }
        }
    }
}

void AssembleColumn(const TSoA& S, const TEdgeElementArray& Elements, std::size_t J, double* Out) {
    ColumnAt(S, Elements, J, {S.Mx.data(), S.My.data(), S.Nx.data(), S.Ny.data(), S.Tx.size()},
             Out);
    Out[J] = -0.5;
}

// Runs Part(From, To) over [0, Count) in as many blocks as Threads asks for.
void SplitOver(int Threads, std::size_t Count, std::size_t Least,
               const std::function<void(std::size_t, std::size_t)>& Part) {
    auto Workers = static_cast<std::size_t>(std::min(16, ThreadCount(Threads)));
    if (Count < Least)
        Workers = 1;
    const std::size_t Per = (Count + Workers - 1) / Workers;
    RunParts(Workers, [&](std::size_t K) {
        Part(std::min(Count, K * Per), std::min(Count, (K + 1) * Per));
    });
}

struct TFastView {
    const double *Q, *Tx, *Ty, *Nx, *Ny, *P1N, *P1T, *P2N, *P2T;
};

// Sum over elements [0, N) of q*(ln(r2/r1)*T + (theta2 - theta1)*N) into Sums[0..1].
// Terms of a block go to stack buffers (a loop without a reduction vectorises) and
// are then summed in order.
KALVEX_SIMD_CLONES
void VelocitySums(const TFastView& V, std::size_t N, double Px, double Py, double* Sums) {
    constexpr std::size_t Block = 256;
    double BX[Block], BY[Block], BF[Block];
    double SX = 0.0, SY = 0.0;
    const double* __restrict Q = V.Q;
    const double* __restrict Tx = V.Tx;
    const double* __restrict Ty = V.Ty;
    const double* __restrict Nx = V.Nx;
    const double* __restrict Ny = V.Ny;
    const double* __restrict P1N = V.P1N;
    const double* __restrict P1T = V.P1T;
    const double* __restrict P2N = V.P2N;
    const double* __restrict P2T = V.P2T;
    for (std::size_t Start = 0; Start < N; Start += Block) {
        const std::size_t M = std::min(Block, N - Start);
        for (std::size_t K = 0; K < M; ++K) {
            const std::size_t J = Start + K;
            const double PN = Px * Nx[J] + Py * Ny[J];
            const double PT = Px * Tx[J] + Py * Ty[J];
            double L, A, F;
            kernel::Terms(P1N[J] - PN, P1T[J] - PT, P2N[J] - PN, P2T[J] - PT, L, A, F);
            BX[K] = Q[J] * (L * Tx[J] + A * Nx[J]);
            BY[K] = Q[J] * (L * Ty[J] + A * Ny[J]);
            BF[K] = F;
        }
        double Fix = 0.0;
        for (std::size_t K = 0; K < M; ++K) {
            SX += BX[K];
            SY += BY[K];
            Fix += BF[K];
        }
        if (Fix > 0.0) {
            // A point right at the 1e-6 band of an element's line: those few terms by
            // the plain formula.
            for (std::size_t K = 0; K < M; ++K) {
                if (BF[K] == 0.0)
                    continue;
                const std::size_t J = Start + K;
                const double PN = Px * Nx[J] + Py * Ny[J];
                const double PT = Px * Tx[J] + Py * Ty[J];
                double L, A;
                LiteralTerms(P1N[J] - PN, P1T[J] - PT, P2N[J] - PN, P2T[J] - PT, L, A);
                SX += Q[J] * (L * Tx[J] + A * Nx[J]);
                SY += Q[J] * (L * Ty[J] + A * Ny[J]);
            }
        }
    }
    Sums[0] = SX;
    Sums[1] = SY;
}

} // namespace

struct TPanelKernel::TImpl {
    TEdgeElementArray Elements;
    TSoA S;
    explicit TImpl(const TEdgeElementArray& E) : Elements(E), S(E) {}
};

TPanelKernel::TPanelKernel(const TEdgeElementArray& Elements)
    : Impl(std::make_unique<TImpl>(Elements)) {}
TPanelKernel::~TPanelKernel() = default;

void TPanelKernel::Block(std::size_t RowFrom, std::size_t RowTo, std::size_t ColFrom,
                         std::size_t ColTo, double* Out) const {
    const TSoA& S = Impl->S;
    const std::size_t Rows = RowTo - RowFrom;
    const TPointsView At{S.Mx.data() + RowFrom, S.My.data() + RowFrom, S.Nx.data() + RowFrom,
                         S.Ny.data() + RowFrom, Rows};
    for (std::size_t J = ColFrom; J < ColTo; ++J) {
        double* Column = Out + (J - ColFrom) * Rows;
        ColumnAt(S, Impl->Elements, J, At, Column);
        if (J >= RowFrom && J < RowTo)
            Column[J - RowFrom] = -0.5;
    }
}

TRealPoint TPanelKernel::Velocity(std::size_t From, std::size_t To, const double* Q,
                                  TRealPoint P) const {
    const TSoA& S = Impl->S;
    const TFastView View{
        Q + From,           S.Tx.data() + From,  S.Ty.data() + From,  S.Nx.data() + From,
        S.Ny.data() + From, S.P1N.data() + From, S.P1T.data() + From, S.P2N.data() + From,
        S.P2T.data() + From};
    double Sums[2];
    VelocitySums(View, To - From, P.X, P.Y, Sums);
    return {-Sums[0] / TwoPi, -Sums[1] / TwoPi};
}

namespace {

// Columns of the system assembled between two offers of the pump: about a million
// kernel terms, a few hundredths of a second (four million took up to 0.36 s on two
// busy cores at 20 000 elements).
std::size_t ColumnsPerPiece(std::size_t N) {
    return std::max<std::size_t>(16, (std::size_t{1} << 20) / std::max<std::size_t>(N, 1));
}

// Width of the panels of the interruptible LU.
constexpr std::size_t PanelWidth = 128;

// LU with partial pivoting of the column-major N x N matrix A in place, as dgetrf
// gives it, by panels: each panel by dgetrf, its row swaps on the rest, the block row by
// dtrsm and the trailing matrix by dgemm in column pieces. Stop is asked between the
// pieces; true ends the factorisation (-1). Otherwise dgetrf's info: 0, or the
// (1-based) first zero pivot.
lapack_int FactorByPanels(double* A, std::size_t N, lapack_int* Pivots,
                          const std::function<bool()>& Stop) {
    const auto Ln = static_cast<lapack_int>(N);
    if (!Stop || N <= PanelWidth)
        return LAPACKE_dgetrf_work(LAPACK_COL_MAJOR, Ln, Ln, A, Ln, Pivots);
    lapack_int Info = 0;
    for (std::size_t K = 0; K < N; K += PanelWidth) {
        const std::size_t Jb = std::min(PanelWidth, N - K);
        const auto Lk = static_cast<lapack_int>(K);
        const auto Lb = static_cast<lapack_int>(Jb);
        const auto Rows = static_cast<lapack_int>(N - K);
        double* Panel = A + K * N + K;
        const lapack_int PanelInfo =
            LAPACKE_dgetrf_work(LAPACK_COL_MAJOR, Rows, Lb, Panel, Ln, Pivots + K);
        if (PanelInfo > 0 && Info == 0)
            Info = PanelInfo + Lk;
        for (std::size_t I = K; I < K + Jb; ++I)
            Pivots[I] += Lk;
        // The panel's swaps on the columns left of it and right of it.
        if (K > 0)
            LAPACKE_dlaswp_work(LAPACK_COL_MAJOR, Lk, A, Ln, Lk + 1, Lk + Lb, Pivots, 1);
        const std::size_t Right = N - K - Jb;
        if (Right == 0)
            break;
        double* A12 = A + (K + Jb) * N + K;
        LAPACKE_dlaswp_work(LAPACK_COL_MAJOR, static_cast<lapack_int>(Right), A + (K + Jb) * N, Ln,
                            Lk + 1, Lk + Lb, Pivots, 1);
        cblas_dtrsm(CblasColMajor, CblasLeft, CblasLower, CblasNoTrans, CblasUnit, Lb,
                    static_cast<blasint>(Right), 1.0, Panel, Ln, A12, Ln);
        // The trailing update in pieces of about 2e8 multiply-adds.
        const std::size_t Below = N - K - Jb;
        const std::size_t Piece = std::max<std::size_t>(
            PanelWidth, std::size_t{200'000'000} / std::max<std::size_t>(Below * Jb, 1));
        for (std::size_t C = 0; C < Right; C += Piece) {
            const std::size_t Cols = std::min(Piece, Right - C);
            cblas_dgemm(CblasColMajor, CblasNoTrans, CblasNoTrans, static_cast<blasint>(Below),
                        static_cast<blasint>(Cols), Lb, -1.0, Panel + Jb, Ln, A12 + C * N, Ln, 1.0,
                        A12 + C * N + Jb, Ln);
            if (Stop())
                return -1;
        }
    }
    return Info;
}

std::string Megabytes(double Bytes) {
    char Buf[64];
    std::snprintf(Buf, sizeof Buf, "%.0f", std::ceil(std::max(0.0, Bytes) / (1024.0 * 1024.0)));
    return Buf;
}

} // namespace

// The LU factors of the block of the static elements (rows and columns Static), the
// static elements and cylinders they were made for, and Z = A_ss^-1 b_s.
struct TCountEdges::TStaticFactor {
    std::vector<std::size_t> Static;
    TEdgeElementArray StaticElements;
    TCylInfoArray Cyls;
    std::size_t Count = 0;
    std::vector<double> LU;
    std::vector<lapack_int> Pivots;
    std::vector<double> Z;
    // A turning cylinder's elements seen from the static control points are a field
    // from inside its circle, and the static elements seen from its control points one
    // from outside it: both are power series about the centre, so a step needs no solve
    // with the static block and no static element's influence assembled. Each cylinder
    // has 2 Order columns (real and imaginary parts) from Offset in a space of Rank.
    struct TExpansion {
        TRealPoint C;
        double R = 0.0;
        int Order = 0;
        std::size_t Offset = 0;
        std::size_t First = 0;
        std::size_t Count = 0;
    };
    std::vector<TExpansion> Expansions;
    // Rank 0: no such series (a static element too near a turning cylinder).
    std::size_t Rank = 0;
    // U (Ns x Rank): the multipoles at the static control points; P = A_ss^-1 U;
    // G (Rank x Ns): each static element's series inside the circles; H = G P, GZ = G Z.
    std::vector<double> U;
    std::vector<double> P;
    std::vector<double> G;
    std::vector<double> H;
    std::vector<double> GZ;
};

TCountEdges::TCountEdges() = default;
TCountEdges::~TCountEdges() = default;

std::optional<double> AvailableMemory() {
    // The first lines only: the figure is near the top, and the file is not trusted
    // to be small.
    if (std::FILE* F = std::fopen("/proc/meminfo", "r")) {
        char Line[256];
        std::optional<double> Found;
        for (int K = 0; K < 16 && !Found && std::fgets(Line, sizeof Line, F) != nullptr; ++K) {
            unsigned long long Kb = 0;
            if (std::sscanf(Line, "MemAvailable: %llu kB", &Kb) == 1)
                Found = static_cast<double>(Kb) * 1024.0;
        }
        std::fclose(F);
        if (Found)
            return Found;
    }
    const long Pages = sysconf(_SC_AVPHYS_PAGES);
    const long PageSize = sysconf(_SC_PAGESIZE);
    if (Pages > 0 && PageSize > 0)
        return static_cast<double>(Pages) * static_cast<double>(PageSize);
    return std::nullopt;
}

void CheckSolveMemory(std::size_t N, double NeededBytes, std::optional<double> Available) {
    if (!Available || NeededBytes <= *Available)
        return;
    const std::string Count = std::to_string(N);
    throw TSolveMemoryError(
        "Недостаточно памяти для решения системы из " + Count + " уравнений: нужно " +
            Megabytes(NeededBytes) + " МБ, свободно " + Megabytes(*Available) +
            " МБ.\rУвеличьте длину граничных элементов или закройте другие программы.",
        "not enough memory to solve " + Count + " equations: " + Megabytes(NeededBytes) +
            " MB needed, " + Megabytes(*Available) + " MB available");
}

void TCountEdges::CheckMemory(std::size_t N, double Bytes) const {
    const double Held = static_cast<double>(SystemCapacity) * sizeof(double);
    CheckSolveMemory(N, std::max(0.0, Bytes - Held),
                     MemoryProbe ? MemoryProbe() : AvailableMemory());
}

bool TCountEdges::Poll(TPacedPump& Pump) const {
    Pump();
    return Stopped;
}

void TCountEdges::TFreeDeleter::operator()(double* P) const {
    std::free(P);
}

double* TCountEdges::SystemBuffer(std::size_t Doubles) {
    // Large pages where the system offers them: a fresh matrix of thousands of
    // elements is otherwise dominated by page faults.
    constexpr std::size_t Align = std::size_t{2} << 20;
    const std::size_t Bytes = (Doubles * sizeof(double) + Align - 1) / Align * Align;
    const std::size_t Rounded = Bytes / sizeof(double);
    // Grown when too small; given back when a much smaller system follows, so that one
    // large solve does not hold its memory for the rest of the run.
    if (Rounded > SystemCapacity || Rounded < SystemCapacity / 4) {
        SystemMatrix.reset();
        SystemCapacity = 0;
        void* P = std::aligned_alloc(Align, Bytes);
        if (P == nullptr)
            throw std::bad_alloc();
#ifdef MADV_HUGEPAGE
        madvise(P, Bytes, MADV_HUGEPAGE);
#endif
        SystemMatrix.reset(static_cast<double*>(P));
        SystemCapacity = Rounded;
    }
    return SystemMatrix.get();
}

double TCountEdges::InfluenceCoefficient(int J, TRealPoint P, TRealPoint D) const {
    const TEdgeElement& E = Elements.Elements[static_cast<std::size_t>(J)];
    return LiteralKernel(E, ElementGeometry(E), P, D);
}

double TCountEdges::RightHandSide(int I, TRealPoint M, TRealPoint N) const {
    const TRealPoint W = VortexVelocity(Elements.CylInfos, M);
    // Cylinders at rest leave the prescribed velocity exactly as it is.
    const double C = W.X * N.X + W.Y * N.Y;
    return Elements.Elements[static_cast<std::size_t>(I)].V - C;
}

TRealPoint TCountEdges::CylinderVelocity(TRealPoint Pt) const {
    return VortexVelocity(Elements.CylInfos, Pt);
}

void TCountEdges::BuildSystem(TRealMatr& A) const {
    const int N = static_cast<int>(Elements.Elements.size());
    SetMatrSize(A, N, N + 1);
    std::vector<TGeometry> G(static_cast<std::size_t>(N));
    for (int J = 0; J < N; ++J)
        G[static_cast<std::size_t>(J)] =
            ElementGeometry(Elements.Elements[static_cast<std::size_t>(J)]);
    for (int I = 0; I < N; ++I) {
        const auto UI = static_cast<std::size_t>(I);
        const TEdgeElement& Ei = Elements.Elements[UI];
        const TRealPoint M = (Ei.P1 + Ei.P2) / 2.0;
        const TRealPoint Ni = G[UI].N;
        TRealArray& Row = A[UI];
        Row[static_cast<std::size_t>(N)] = RightHandSide(I, M, Ni);
        for (int J = 0; J < N; ++J) {
            const auto UJ = static_cast<std::size_t>(J);
            Row[UJ] = I == J ? -0.5 : LiteralKernel(Elements.Elements[UJ], G[UJ], M, Ni);
        }
    }
}

void TCountEdges::AssembleFast(double* A, double* B) const {
    TPacedPump None{nullptr};
    AssembleColumns(A, B, None);
}

void TCountEdges::AssembleColumns(double* A, double* B, TPacedPump& Pump) const {
    const std::size_t N = Elements.Elements.size();
    if (N == 0)
        return;
    const TSoA S(Elements.Elements);
    for (std::size_t I = 0; I < N; ++I)
        B[I] = RightHandSide(static_cast<int>(I), {S.Mx[I], S.My[I]}, {S.Nx[I], S.Ny[I]});

    // Each column is computed alone, so neither the split over the threads nor the
    // pieces between the pump's offers change a bit of the matrix.
    const std::size_t Piece = ColumnsPerPiece(N);
    for (std::size_t First = 0; First < N; First += Piece) {
        const std::size_t Count = std::min(Piece, N - First);
        SplitOver(Threads, Count, N >= 256 ? 2 : 256, [&](std::size_t From, std::size_t To) {
            for (std::size_t J = First + From; J < First + To; ++J)
                AssembleColumn(S, Elements.Elements, J, A + J * N);
        });
        if (Poll(Pump))
            throw TSolveStopped();
    }
}

double DenseSolveBytes(std::size_t N, bool Iterative) {
    // The matrix, the right-hand side and pivots, and the Krylov basis, block factors
    // and vectors of the iterative solve (see SolveGmres).
    const double Dn = static_cast<double>(N);
    return 8.0 *
           (Dn * Dn + 3.0 * Dn +
            (Iterative ? Dn * (TCountEdges::GmresRestart + TCountEdges::GmresBlock + 4.0) : 0.0));
}

TSolverKind ChooseSolver(TSolverKind Requested, std::size_t N, std::optional<double> Available) {
    if (Requested != TSolverKind::skAuto)
        return Requested;
    // Measured as whole runs, on one core and on two: the solve without the matrix
    // caught up with GMRES on the matrix at about 1200 elements and was a fifth faster
    // at 1400 to 1750, a third at 2300 to 2700 (with a fifth of its memory).
    if (N >= TCountEdges::FmmFrom)
        return TSolverKind::skFmm;
    const bool Iterative = N >= TCountEdges::IterativeFrom;
    if (Available && DenseSolveBytes(N, Iterative) > *Available)
        return TSolverKind::skFmm;
    return Iterative ? TSolverKind::skIterative : TSolverKind::skDirect;
}

std::optional<double> TCountEdges::FreeForSolve() const {
    std::optional<double> Free = MemoryProbe ? MemoryProbe() : AvailableMemory();
    if (Free)
        *Free += static_cast<double>(SystemCapacity) * sizeof(double);
    return Free;
}

TSolverKind TCountEdges::NextSolver() const {
    return SolverFor(Elements.Elements.size());
}

TSolverKind TCountEdges::SolverFor(std::size_t N) const {
    return ChooseSolver(SolverKind, N, FreeForSolve());
}

std::string SolverName(TSolverKind Kind) {
    switch (Kind) {
    case TSolverKind::skDirect:
        return "прямой (LU)";
    case TSolverKind::skIterative:
        return "итерационный (GMRES)";
    case TSolverKind::skFmm:
        return "быстрый мультипольный (без матрицы)";
    case TSolverKind::skAuto:
        break;
    }
    return "автоматический выбор";
}

bool TCountEdges::FmmValid() const {
    return Fmm && FmmGeneration == Elements.Generation && Fmm->Count() == Intensities.size() &&
           FastDataValid();
}

bool TCountEdges::SolveFmm() {
    const std::size_t N = Elements.Elements.size();
    auto F = std::make_unique<TFmmSystem>(Elements.Elements, FmmAccuracy, Threads);
    // The system's own memory, the Krylov basis, block factors and vectors of the
    // iterative solve, and the kernel's copy of the elements for the blocks.
    const double Dn = static_cast<double>(N);
    CheckSolveMemory(N, F->Bytes() + 8.0 * Dn * (GmresRestart + GmresBlock + 20.0),
                     MemoryProbe ? MemoryProbe() : AvailableMemory());
    Stopped = false;
    TPacedPump Pump(ProcessEvents, PumpInterval);
    const std::function<bool()> Stop = [&] { return Poll(Pump); };
    if (!F->BuildNear(Stop))
        throw TSolveStopped();
    std::vector<double> B(N);
    for (std::size_t I = 0; I < N; ++I) {
        const TEdgeElement& E = Elements.Elements[I];
        const TGeometry G = ElementGeometry(E);
        B[I] = RightHandSide(static_cast<int>(I), (E.P1 + E.P2) / 2.0, G.N);
    }
    // The preconditioner's blocks are the matrix's own entries, computed directly.
    const TPanelKernel Kernel(Elements.Elements);
    const TGmresProduct Product = [&](double Alpha, const double* X, double Beta, double* Y) {
        return F->Apply(Alpha, X, Beta, Y, Stop);
    };
    const TGmresBlock Diagonal = [&](std::size_t From, std::size_t Size, double* Out) {
        Kernel.Block(From, From + Size, From, From + Size, Out);
    };
    // The products run on the solver's own threads; the Krylov vectors' small BLAS calls
    // gain nothing from more, and idle library threads spin against the products.
    const TBlasThreads Blas(1);
    std::vector<double> X(N);
    const TGmresOutcome R = SolveGmres(Product, Diagonal, N, B.data(), X.data(), IterativeTolerance,
                                       GmresRestart, IterationBound, GmresBlock, Threads);
    if (R.Stopped)
        throw TSolveStopped();
    if (!R.Converged ||
        !std::all_of(X.begin(), X.end(), [](double V) { return std::isfinite(V); })) {
        // As after GMRES on the matrix, LU takes over, where its matrix fits.
        const std::optional<double> Free = FreeForSolve();
        if (Free && DenseSolveBytes(N, false) > *Free)
            throw TSolveError(SingularMessage);
        return false;
    }
    Iterations = R.Iterations;
    Intensities = std::move(X);
    PrepareFastData();
    F->SetIntensities(Intensities.data());
    Fmm = std::move(F);
    FmmGeneration = Elements.Generation;
    return true;
}

void TCountEdges::Velocities(std::span<const TRealPoint> Points, std::span<TRealPoint> Out) const {
    // A tree over a handful of points does not pay for itself.
    if (FmmValid() && Points.size() >= 32) {
        Fmm->Velocities(Points, Out);
        for (std::size_t K = 0; K < Points.size(); ++K)
            Out[K] = Out[K] + CylinderVelocity(Points[K]);
        return;
    }
    for (std::size_t K = 0; K < Points.size(); ++K)
        Out[K] = Velocity(Points[K]);
}

void TCountEdges::Solve() {
    Intensities.clear();
    Fast.Generation = 0;
    Fmm.reset();
    const std::size_t N = Elements.Elements.size();
    if (N == 0) {
        PrepareFastData();
        return;
    }
    CheckElementCount(static_cast<double>(N));
    const TSolverKind Kind = NextSolver();
    if (Kind == TSolverKind::skFmm && SolveFmm())
        return;
    const bool Iterative = Kind == TSolverKind::skIterative;
    CheckMemory(N, DenseSolveBytes(N, Iterative));
    Stopped = false;
    TPacedPump Pump(ProcessEvents, PumpInterval);
    const std::function<bool()> Stop = [&] { return Poll(Pump); };
    double* const A = SystemBuffer(N * N);
    std::vector<double> B(N);
    AssembleColumns(A, B.data(), Pump);
    const TBlasThreads Blas(Threads == 1 ? 1 : 0);
    Iterations = 0;
    if (Iterative) {
        // A and B stay as they are, for LU when the iteration does not converge.
        std::vector<double> X(N);
        const TGmresOutcome R = SolveGmres(A, N, B.data(), X.data(), IterativeTolerance,
                                           GmresRestart, IterationBound, GmresBlock, Stop);
        if (R.Stopped)
            throw TSolveStopped();
        if (R.Converged &&
            std::all_of(X.begin(), X.end(), [](double V) { return std::isfinite(V); })) {
            Iterations = R.Iterations;
            Intensities = std::move(X);
            PrepareFastData();
            return;
        }
    }
    std::vector<lapack_int> Pivots(N);
    const auto Ln = static_cast<lapack_int>(N);
    const lapack_int Info = FactorByPanels(A, N, Pivots.data(), Stop);
    if (Info < 0)
        throw TSolveStopped();
    if (Info == 0 &&
        LAPACKE_dgetrs_work(LAPACK_COL_MAJOR, 'N', Ln, 1, A, Ln, Pivots.data(), B.data(), Ln) != 0)
        throw TSolveError(SingularMessage);
    if (Info > 0 || !std::all_of(B.begin(), B.end(), [](double X) { return std::isfinite(X); }))
        throw TSolveError(SingularMessage);
    Intensities = std::move(B);
    PrepareFastData();
}

namespace {

bool SameElement(const TEdgeElement& A, const TEdgeElement& B) {
    return A.P1.X == B.P1.X && A.P1.Y == B.P1.Y && A.P2.X == B.P2.X && A.P2.Y == B.P2.Y &&
           A.V == B.V;
}

bool SameCylinders(const TCylInfoArray& A, const TCylInfoArray& B) {
    return std::equal(A.begin(), A.end(), B.begin(), B.end(), [](const auto& X, const auto& Y) {
        return X.Center.X == Y.Center.X && X.Center.Y == Y.Center.Y && X.R == Y.R && X.V == Y.V &&
               X.FirstElement == Y.FirstElement && X.ElementCount == Y.ElementCount;
    });
}

} // namespace

bool TCountEdges::FactorStaticBlock(const std::vector<std::size_t>& Static, TPacedPump& Pump) {
    const std::size_t N = Elements.Elements.size();
    const std::size_t Ns = Static.size();
    double* const A = SystemBuffer(N * N);
    std::vector<double> B(N);
    AssembleColumns(A, B.data(), Pump);
    auto F = std::make_unique<TStaticFactor>();
    F->Static = Static;
    F->Count = N;
    F->Cyls = Elements.CylInfos;
    F->LU.resize(Ns * Ns);
    F->Z.resize(Ns);
    F->StaticElements.reserve(Ns);
    for (std::size_t C = 0; C < Ns; ++C) {
        F->StaticElements.push_back(Elements.Elements[Static[C]]);
        F->Z[C] = B[Static[C]];
        for (std::size_t R = 0; R < Ns; ++R)
            F->LU[C * Ns + R] = A[Static[C] * N + Static[R]];
    }
    F->Pivots.resize(Ns);
    const auto Ln = static_cast<lapack_int>(Ns);
    const TBlasThreads Blas(Threads == 1 ? 1 : 0);
    const lapack_int Info =
        FactorByPanels(F->LU.data(), Ns, F->Pivots.data(), [&] { return Poll(Pump); });
    if (Info < 0)
        throw TSolveStopped();
    if (Info != 0)
        return false;
    if (LAPACKE_dgetrs(LAPACK_COL_MAJOR, 'N', Ln, 1, F->LU.data(), Ln, F->Pivots.data(),
                       F->Z.data(), Ln) != 0)
        return false;
    FarFieldBasis(*F);
    Turning = std::move(F);
    return true;
}

namespace {

using TComplex = std::complex<double>;

TComplex AsComplex(TRealPoint P) {
    return {P.X, P.Y};
}

double SegmentDistance(TRealPoint C, TRealPoint A, TRealPoint B) {
    const TRealPoint D = B - A;
    const double L2 = DotProduct(D, D);
    const double T = L2 > 0.0 ? std::clamp(DotProduct(C - A, D) / L2, 0.0, 1.0) : 0.0;
    return Distance(C, A + D * T);
}

// An element of unit intensity has the complex velocity w(z) = 1/2pi * int ds/(z - s)
// along it, and its coefficient at a control point is Re(n w). Outside the circle of
// radius R about C that is Re sum n (R/(z - C))^m alpha_m, m = 1..Order; Out gets the
// pairs (Re alpha_m, -Im alpha_m), the weights of Re and Im of n (R/(z - C))^m.
void MultipoleCoefficients(const TEdgeElement& E, TRealPoint C, double R, int Order, double* Out) {
    const TComplex D = AsComplex(E.P2 - E.P1);
    const double L = std::abs(D);
    if (L == 0.0)
        return;
    const TComplex Dir = std::conj(D) / (L * TwoPi);
    const TComplex U1 = AsComplex(E.P1 - C) / R;
    const TComplex Du = D / R;
    const TComplex U2 = U1 + Du;
    // u2^m - u1^m without the cancellation of the difference of powers.
    TComplex Diff = Du;
    TComplex Pow1 = 1.0;
    for (int M = 1; M <= Order; ++M) {
        if (M > 1) {
            Pow1 *= U1;
            Diff = U2 * Diff + Pow1 * Du;
        }
        const TComplex Alpha = Dir * Diff / static_cast<double>(M);
        Out[2 * (M - 1)] = Alpha.real();
        Out[2 * (M - 1) + 1] = -Alpha.imag();
    }
}

// The same element seen from inside the circle of radius R about C, which it lies
// outside: Re sum n ((z - C)/R)^k gamma_k, k = 0..Order-1, as pairs (Re gamma_k,
// -Im gamma_k).
void LocalCoefficients(const TEdgeElement& E, TRealPoint C, double R, int Order, double* Out) {
    const TComplex D = AsComplex(E.P2 - E.P1);
    const double L = std::abs(D);
    if (L == 0.0)
        return;
    const TComplex Dir = -std::conj(D) / (L * TwoPi);
    const TComplex Z1 = AsComplex(E.P1 - C);
    const TComplex Z2 = AsComplex(E.P2 - C);
    // log(z2/z1) as log(1 + x), x = D/z1: short far elements keep their digits.
    const TComplex X = D / Z1;
    const TComplex Log{0.5 * std::log1p(2.0 * X.real() + std::norm(X)),
                       std::atan2(X.imag(), 1.0 + X.real())};
    TComplex Gamma = Dir * Log;
    Out[0] = Gamma.real();
    Out[1] = -Gamma.imag();
    // t1^k - t2^k, t = R/z, by the same recurrence as above.
    const TComplex T1 = R / Z1;
    const TComplex T2 = R / Z2;
    const TComplex Step = R * D / (Z1 * Z2);
    TComplex Diff = Step;
    TComplex Pow2 = 1.0;
    for (int K = 1; K < Order; ++K) {
        if (K > 1) {
            Pow2 *= T2;
            Diff = T1 * Diff + Pow2 * Step;
        }
        Gamma = Dir * Diff / static_cast<double>(K);
        Out[2 * K] = Gamma.real();
        Out[2 * K + 1] = -Gamma.imag();
    }
}

// Whether any of the N points lies within Band of the line of an element with normal
// (Nx, Ny) and end points at P1N, P2N along it: a loop without branches, which
// vectorises, before the few hits are looked at one by one.
KALVEX_SIMD_CLONES
bool AnyInBand(const double* __restrict X, const double* __restrict Y, std::size_t N, double Nx,
               double Ny, double P1N, double P2N, double Band) {
    double Any = 0.0;
    for (std::size_t I = 0; I < N; ++I) {
        const double PN = X[I] * Nx + Y[I] * Ny;
        Any +=
            kernel::Mask(std::fabs(P1N - PN) <= Band) + kernel::Mask(std::fabs(P2N - PN) <= Band);
    }
    return Any > 0.0;
}

} // namespace

void TCountEdges::FarFieldBasis(TStaticFactor& F) const {
    const std::size_t Ns = F.Static.size();
    const TSoA S(Elements.Elements);
    // Orders of the series per turning cylinder: the terms fall as (r / d)^k, r the
    // radius its elements reach and d the nearest static element.
    std::vector<TStaticFactor::TExpansion> Expansions;
    std::size_t Rank = 0;
    for (const TCylInfo& Cyl : Elements.CylInfos) {
        if (Cyl.V == 0.0)
            continue;
        TStaticFactor::TExpansion T;
        T.C = Cyl.Center;
        T.Offset = Rank;
        T.First = static_cast<std::size_t>(Cyl.FirstElement);
        T.Count = static_cast<std::size_t>(Cyl.ElementCount);
        for (std::size_t K = T.First; K < T.First + T.Count; ++K) {
            const TEdgeElement& E = Elements.Elements[K];
            T.R = std::max({T.R, Distance(E.P1, T.C), Distance(E.P2, T.C)});
        }
        double Near = HUGE_VAL;
        for (const std::size_t I : F.Static) {
            const TEdgeElement& E = Elements.Elements[I];
            Near = std::min(Near, SegmentDistance(T.C, E.P1, E.P2));
        }
        const double Ratio = T.R / Near;
        if (!(Ratio > 0.0 && Ratio < FarFieldRatio))
            return;
        T.Order = std::max(4, static_cast<int>(std::ceil(std::log(1e-17) / std::log(Ratio))));
        Rank += 2 * static_cast<std::size_t>(T.Order);
        Expansions.push_back(T);
    }
    if (Rank == 0 || Rank > MaxFarFieldRank || Rank * 4 > Ns)
        return;
    std::vector<double> U(Ns * Rank, 0.0);
    std::vector<double> G(Rank * Ns, 0.0);
    for (const TStaticFactor::TExpansion& T : Expansions) {
        for (std::size_t Row = 0; Row < Ns; ++Row) {
            const std::size_t I = F.Static[Row];
            const TComplex W = T.R / (TComplex{S.Mx[I], S.My[I]} - AsComplex(T.C));
            TComplex E{S.Nx[I], S.Ny[I]};
            for (std::size_t M = 0; M < static_cast<std::size_t>(T.Order); ++M) {
                E *= W;
                U[(T.Offset + 2 * M) * Ns + Row] = E.real();
                U[(T.Offset + 2 * M + 1) * Ns + Row] = E.imag();
            }
            LocalCoefficients(Elements.Elements[I], T.C, T.R, T.Order,
                              G.data() + Row * Rank + T.Offset);
        }
    }
    const auto Ls = static_cast<lapack_int>(Ns);
    const auto Lr = static_cast<lapack_int>(Rank);
    std::vector<double> P = U;
    if (LAPACKE_dgetrs_work(LAPACK_COL_MAJOR, 'N', Ls, Lr, F.LU.data(), Ls, F.Pivots.data(),
                            P.data(), Ls) != 0 ||
        !std::all_of(P.begin(), P.end(), [](double V) { return std::isfinite(V); }))
        return;
    F.H.resize(Rank * Rank);
    F.GZ.resize(Rank);
    cblas_dgemm(CblasColMajor, CblasNoTrans, CblasNoTrans, Lr, Lr, Ls, 1.0, G.data(), Lr, P.data(),
                Ls, 0.0, F.H.data(), Lr);
    cblas_dgemv(CblasColMajor, CblasNoTrans, Lr, Ls, 1.0, G.data(), Lr, F.Z.data(), 1, 0.0,
                F.GZ.data(), 1);
    F.U = std::move(U);
    F.P = std::move(P);
    F.G = std::move(G);
    F.Expansions = std::move(Expansions);
    F.Rank = Rank;
}

void TCountEdges::SolveTurned() {
    const std::size_t N = Elements.Elements.size();
    std::vector<char> Moves(N, 0);
    for (const TCylInfo& C : Elements.CylInfos) {
        if (C.V == 0.0)
            continue;
        for (std::int32_t K = 0; K < C.ElementCount; ++K) {
            const auto I = static_cast<std::size_t>(C.FirstElement + K);
            if (I < N)
                Moves[I] = 1;
        }
    }
    std::vector<std::size_t> Static;
    std::vector<std::size_t> Moving;
    for (std::size_t I = 0; I < N; ++I)
        (Moves[I] ? Moving : Static).push_back(I);
    // The complement pays while the turning part is small. Its kept factor makes each
    // step far cheaper than a solve without the matrix, so the automatic choice leaves
    // it only when the matrix and the factor would not fit.
    const double Dn = static_cast<double>(N);
    const double Ds = static_cast<double>(Static.size());
    const std::optional<double> Free = FreeForSolve();
    const bool Fits = !Free || 8.0 * (Dn * Dn + Ds * Ds) <= *Free;
    if (!KeepStaticFactor || Moving.empty() || Moving.size() * 2 > N ||
        SolverKind == TSolverKind::skFmm || (SolverKind == TSolverKind::skAuto && !Fits)) {
        Solve();
        return;
    }
    CheckElementCount(static_cast<double>(N));
    Intensities.clear();
    Fast.Generation = 0;
    Fmm.reset();
    Iterations = 0;
    bool Valid = Turning && Turning->Count == N && Turning->Static == Static &&
                 SameCylinders(Turning->Cyls, Elements.CylInfos);
    for (std::size_t C = 0; Valid && C < Static.size(); ++C)
        Valid = SameElement(Turning->StaticElements[C], Elements.Elements[Static[C]]);
    if (!Valid) {
        // The whole matrix and the static block's factors, then the moving blocks.
        const double Dm = static_cast<double>(Moving.size());
        // The far-field series: three Ns x Rank arrays.
        CheckMemory(N, 8.0 * (Dn * Dn + Ds * Ds + 2.0 * Ds * Dm + Dm * Dm + 4.0 * Dn +
                              3.0 * Ds * std::min(Ds / 4.0, double{MaxFarFieldRank})));
    }
    Stopped = false;
    TPacedPump Pump(ProcessEvents, PumpInterval);
    if (!Valid && !FactorStaticBlock(Static, Pump)) {
        Turning.reset();
        Solve();
        return;
    }
    const TStaticFactor& F = *Turning;
    std::vector<double> X = F.Rank > 0 ? FarFieldSolve(F, Moving) : ComplementSolve(F, Moving);
    if (!std::all_of(X.begin(), X.end(), [](double V) { return std::isfinite(V); }))
        throw TSolveError(SingularMessage);
    Intensities = std::move(X);
    PrepareFastData();
}

std::vector<double> TCountEdges::ComplementSolve(const TStaticFactor& F,
                                                 const std::vector<std::size_t>& Moving) const {
    const std::vector<std::size_t>& Static = F.Static;
    const std::size_t N = Elements.Elements.size();
    const std::size_t Ns = Static.size();
    const std::size_t M = Moving.size();

    // The blocks that moved: A_sm and A_mm from the moving elements' columns, A_ms
    // from the influence of the static elements at the moving control points.
    const TSoA S(Elements.Elements);
    std::vector<double> Asm(Ns * M);
    std::vector<double> Amm(M * M);
    std::vector<double> Ams(M * Ns);
    std::vector<double> Bm(M);
    SplitOver(Threads, M, 8, [&](std::size_t From, std::size_t To) {
        std::vector<double> Column(N);
        for (std::size_t K = From; K < To; ++K) {
            AssembleColumn(S, Elements.Elements, Moving[K], Column.data());
            for (std::size_t R = 0; R < Ns; ++R)
                Asm[K * Ns + R] = Column[Static[R]];
            for (std::size_t R = 0; R < M; ++R)
                Amm[K * M + R] = Column[Moving[R]];
        }
    });
    std::vector<double> Mx(M), My(M), Nx(M), Ny(M);
    for (std::size_t K = 0; K < M; ++K) {
        const std::size_t I = Moving[K];
        Mx[K] = S.Mx[I];
        My[K] = S.My[I];
        Nx[K] = S.Nx[I];
        Ny[K] = S.Ny[I];
        Bm[K] = RightHandSide(static_cast<int>(I), {Mx[K], My[K]}, {Nx[K], Ny[K]});
    }
    // Each static element seen from the moving control points: a column of A_ms.
    const TPointsView At{Mx.data(), My.data(), Nx.data(), Ny.data(), M};
    SplitOver(Threads, Ns, 256, [&](std::size_t From, std::size_t To) {
        for (std::size_t C = From; C < To; ++C)
            ColumnAt(S, Elements.Elements, Static[C], At, Ams.data() + C * M);
    });

    // Y = A_ss^-1 A_sm; the complement A_mm - A_ms Y and b_m - A_ms Z.
    const auto Ls = static_cast<lapack_int>(Ns);
    const auto Lm = static_cast<lapack_int>(M);
    const TBlasThreads Blas(Threads == 1 ? 1 : 0);
    // The _work form skips the scan of the whole factor for NaN at every step (a
    // fifth of the step's time); a NaN would still show in the caller's check.
    if (LAPACKE_dgetrs_work(LAPACK_COL_MAJOR, 'N', Ls, Lm, F.LU.data(), Ls, F.Pivots.data(),
                            Asm.data(), Ls) != 0)
        throw TSolveError(SingularMessage);
    cblas_dgemm(CblasColMajor, CblasNoTrans, CblasNoTrans, Lm, Lm, Ls, -1.0, Ams.data(), Lm,
                Asm.data(), Ls, 1.0, Amm.data(), Lm);
    cblas_dgemv(CblasColMajor, CblasNoTrans, Lm, Ls, -1.0, Ams.data(), Lm, F.Z.data(), 1, 1.0,
                Bm.data(), 1);
    std::vector<lapack_int> Pivots(M);
    if (LAPACKE_dgesv(LAPACK_COL_MAJOR, Lm, 1, Amm.data(), Lm, Pivots.data(), Bm.data(), Lm) != 0)
        throw TSolveError(SingularMessage);

    // x_s = Z - Y x_m.
    std::vector<double> Xs = F.Z;
    cblas_dgemv(CblasColMajor, CblasNoTrans, Ls, Lm, -1.0, Asm.data(), Ls, Bm.data(), 1, 1.0,
                Xs.data(), 1);
    std::vector<double> X(N);
    for (std::size_t R = 0; R < Ns; ++R)
        X[Static[R]] = Xs[R];
    for (std::size_t K = 0; K < M; ++K)
        X[Moving[K]] = Bm[K];
    return X;
}

std::vector<double> TCountEdges::FarFieldSolve(const TStaticFactor& F,
                                               const std::vector<std::size_t>& Moving) const {
    const std::size_t N = Elements.Elements.size();
    const std::size_t Ns = F.Static.size();
    const std::size_t M = Moving.size();
    const std::size_t Rank = F.Rank;
    const TSoA S(Elements.Elements);
    std::vector<const TStaticFactor::TExpansion*> Of(M, nullptr);
    std::vector<double> Mx(M), My(M), Nx(M), Ny(M), Bm(M);
    for (std::size_t K = 0; K < M; ++K) {
        const std::size_t I = Moving[K];
        for (const TStaticFactor::TExpansion& T : F.Expansions)
            if (I >= T.First && I < T.First + T.Count)
                Of[K] = &T;
        if (Of[K] == nullptr)
            throw TSolveError(SingularMessage);
        Mx[K] = S.Mx[I];
        My[K] = S.My[I];
        Nx[K] = S.Nx[I];
        Ny[K] = S.Ny[I];
        Bm[K] = RightHandSide(static_cast<int>(I), {Mx[K], My[K]}, {Nx[K], Ny[K]});
    }

    // A_mm as assembled; A_sm = U C and A_ms = V G through the series, C from the
    // moving elements and V from the moving control points as they now stand.
    const TPointsView At{Mx.data(), My.data(), Nx.data(), Ny.data(), M};
    std::vector<double> Amm(M * M);
    std::vector<double> C(Rank * M, 0.0);
    std::vector<double> V(M * Rank, 0.0);
    SplitOver(Threads, M, 8, [&](std::size_t From, std::size_t To) {
        for (std::size_t K = From; K < To; ++K) {
            ColumnAt(S, Elements.Elements, Moving[K], At, Amm.data() + K * M);
            Amm[K * M + K] = -0.5;
            const TStaticFactor::TExpansion& T = *Of[K];
            MultipoleCoefficients(Elements.Elements[Moving[K]], T.C, T.R, T.Order,
                                  C.data() + K * Rank + T.Offset);
            const TComplex W = (TComplex{Mx[K], My[K]} - AsComplex(T.C)) / T.R;
            TComplex E{Nx[K], Ny[K]};
            for (std::size_t J = 0; J < static_cast<std::size_t>(T.Order); ++J) {
                V[(T.Offset + 2 * J) * M + K] = E.real();
                V[(T.Offset + 2 * J + 1) * M + K] = E.imag();
                E *= W;
            }
        }
    });

    // Where an element's line passes within the kernel's 1e-6 band of a control point
    // the assembled coefficient is not the smooth field's: those few terms are kept as
    // differences from the series, so that the step solves the system a full solve does.
    struct TFix {
        std::size_t Row;
        double D;
    };
    constexpr double Band = 2.0 * kernel::EtaEps;
    const auto Near = [&](std::size_t J, double Px, double Py) {
        const double PN = Px * S.Nx[J] + Py * S.Ny[J];
        return std::min(std::fabs(S.P1N[J] - PN), std::fabs(S.P2N[J] - PN)) <= Band;
    };
    const auto Assembled = [&](std::size_t J, double Px, double Py, double Qx, double Qy) {
        double Out = 0.0;
        ColumnAt(S, Elements.Elements, J, {&Px, &Py, &Qx, &Qy, 1}, &Out);
        return Out;
    };
    // Per moving column the static rows, per static column the moving rows.
    std::vector<std::vector<TFix>> ColumnFix(M);
    std::vector<std::vector<TFix>> RowFix(Ns);
    std::vector<double> Sx(Ns), Sy(Ns);
    for (std::size_t Row = 0; Row < Ns; ++Row) {
        Sx[Row] = S.Mx[F.Static[Row]];
        Sy[Row] = S.My[F.Static[Row]];
    }
    const auto AnyNear = [&](std::size_t J, const std::vector<double>& X,
                             const std::vector<double>& Y) {
        return AnyInBand(X.data(), Y.data(), X.size(), S.Nx[J], S.Ny[J], S.P1N[J], S.P2N[J], Band);
    };
    SplitOver(Threads, M, 8, [&](std::size_t From, std::size_t To) {
        for (std::size_t K = From; K < To; ++K) {
            const std::size_t J = Moving[K];
            if (!AnyNear(J, Sx, Sy))
                continue;
            for (std::size_t Row = 0; Row < Ns; ++Row) {
                const std::size_t I = F.Static[Row];
                if (!Near(J, S.Mx[I], S.My[I]))
                    continue;
                double Series = 0.0;
                for (std::size_t R = 0; R < Rank; ++R)
                    Series += F.U[R * Ns + Row] * C[K * Rank + R];
                ColumnFix[K].push_back(
                    {Row, Assembled(J, S.Mx[I], S.My[I], S.Nx[I], S.Ny[I]) - Series});
            }
        }
    });
    SplitOver(Threads, Ns, 256, [&](std::size_t From, std::size_t To) {
        for (std::size_t Col = From; Col < To; ++Col) {
            const std::size_t J = F.Static[Col];
            if (!AnyNear(J, Mx, My))
                continue;
            for (std::size_t K = 0; K < M; ++K) {
                if (!Near(J, Mx[K], My[K]))
                    continue;
                double Series = 0.0;
                for (std::size_t R = 0; R < Rank; ++R)
                    Series += V[R * M + K] * F.G[Col * Rank + R];
                RowFix[Col].push_back({K, Assembled(J, Mx[K], My[K], Nx[K], Ny[K]) - Series});
            }
        }
    });

    const auto Ls = static_cast<lapack_int>(Ns);
    const auto Lm = static_cast<lapack_int>(M);
    const auto Lr = static_cast<lapack_int>(Rank);
    // The calls left are small: one thread, which does not spin beside the caller.
    const TBlasThreads Blas(1);
    // Y = A_ss^-1 A_sm = P C + W, W nonzero on the columns with fixes only.
    std::vector<std::size_t> Exact;
    for (std::size_t K = 0; K < M; ++K)
        if (!ColumnFix[K].empty())
            Exact.push_back(K);
    const std::size_t Ne = Exact.size();
    std::vector<double> W(Ns * Ne, 0.0);
    for (std::size_t E = 0; E < Ne; ++E)
        for (const TFix& Fix : ColumnFix[Exact[E]])
            W[E * Ns + Fix.Row] += Fix.D;
    if (Ne > 0 && LAPACKE_dgetrs_work(LAPACK_COL_MAJOR, 'N', Ls, static_cast<lapack_int>(Ne),
                                      F.LU.data(), Ls, F.Pivots.data(), W.data(), Ls) != 0)
        throw TSolveError(SingularMessage);

    // The complement A_mm - A_ms Y and b_m - A_ms Z, A_ms = V G + the row fixes.
    std::vector<double> HC(Rank * M);
    cblas_dgemm(CblasColMajor, CblasNoTrans, CblasNoTrans, Lr, Lm, Lr, 1.0, F.H.data(), Lr,
                C.data(), Lr, 0.0, HC.data(), Lr);
    cblas_dgemm(CblasColMajor, CblasNoTrans, CblasNoTrans, Lm, Lm, Lr, -1.0, V.data(), Lm,
                HC.data(), Lr, 1.0, Amm.data(), Lm);
    cblas_dgemv(CblasColMajor, CblasNoTrans, Lm, Lr, -1.0, V.data(), Lm, F.GZ.data(), 1, 1.0,
                Bm.data(), 1);
    if (Ne > 0) {
        std::vector<double> GW(Rank * Ne);
        cblas_dgemm(CblasColMajor, CblasNoTrans, CblasNoTrans, Lr, static_cast<blasint>(Ne), Ls,
                    1.0, F.G.data(), Lr, W.data(), Ls, 0.0, GW.data(), Lr);
        for (std::size_t E = 0; E < Ne; ++E)
            cblas_dgemv(CblasColMajor, CblasNoTrans, Lm, Lr, -1.0, V.data(), Lm,
                        GW.data() + E * Rank, 1, 1.0, Amm.data() + Exact[E] * M, 1);
    }
    std::vector<double> YRow(M);
    for (std::size_t Col = 0; Col < Ns; ++Col) {
        if (RowFix[Col].empty())
            continue;
        cblas_dgemv(CblasColMajor, CblasTrans, Lr, Lm, 1.0, C.data(), Lr, F.P.data() + Col, Ls, 0.0,
                    YRow.data(), 1);
        for (std::size_t E = 0; E < Ne; ++E)
            YRow[Exact[E]] += W[E * Ns + Col];
        for (const TFix& Fix : RowFix[Col]) {
            for (std::size_t K = 0; K < M; ++K)
                Amm[K * M + Fix.Row] -= Fix.D * YRow[K];
            Bm[Fix.Row] -= Fix.D * F.Z[Col];
        }
    }
    std::vector<lapack_int> Pivots(M);
    if (LAPACKE_dgesv_work(LAPACK_COL_MAJOR, Lm, 1, Amm.data(), Lm, Pivots.data(), Bm.data(), Lm) !=
        0)
        throw TSolveError(SingularMessage);

    // x_s = Z - Y x_m = Z - P (C x_m) - W x_m.
    std::vector<double> Cx(Rank);
    cblas_dgemv(CblasColMajor, CblasNoTrans, Lr, Lm, 1.0, C.data(), Lr, Bm.data(), 1, 0.0,
                Cx.data(), 1);
    std::vector<double> Xs = F.Z;
    cblas_dgemv(CblasColMajor, CblasNoTrans, Ls, Lr, -1.0, F.P.data(), Ls, Cx.data(), 1, 1.0,
                Xs.data(), 1);
    for (std::size_t E = 0; E < Ne; ++E)
        cblas_daxpy(Ls, -Bm[Exact[E]], W.data() + E * Ns, 1, Xs.data(), 1);
    std::vector<double> X(N);
    for (std::size_t R = 0; R < Ns; ++R)
        X[F.Static[R]] = Xs[R];
    for (std::size_t K = 0; K < M; ++K)
        X[Moving[K]] = Bm[K];
    return X;
}

void TCountEdges::SolveLiteral() {
    Intensities.clear();
    Fast.Generation = 0;
    Fmm.reset();
    const int N = static_cast<int>(Elements.Elements.size());
    if (N > 0) {
        CheckElementCount(N);
        const double Dn = N;
        // Rows of its own: the fast solve's matrix is not reused.
        CheckSolveMemory(static_cast<std::size_t>(N), 8.0 * (Dn * (Dn + 1.0) + 2.0 * Dn),
                         MemoryProbe ? MemoryProbe() : AvailableMemory());
        TRealMatr A;
        BuildSystem(A);
        TRealArray X(static_cast<std::size_t>(N), 0.0);
        if (!SolveGauss(A, N, X) ||
            !std::all_of(X.begin(), X.end(), [](double V) { return std::isfinite(V); }))
            throw TSolveError(SingularMessage);
        Intensities = std::move(X);
    }
    PrepareFastData();
}

void TCountEdges::AdoptSolution(const TCountEdges& Other) {
    Elements = Other.Elements;
    Intensities = Other.Intensities;
    MaxSteps = Other.MaxSteps;
    LineInterval = Other.LineInterval;
    LineStep = Other.LineStep;
    Scale = Other.Scale;
    SolverKind = Other.SolverKind;
    Fast.Generation = 0;
    if (Other.FastDataValid())
        PrepareFastData();
    Fmm = Other.FmmValid() ? Other.Fmm : nullptr;
    FmmGeneration = Other.FmmGeneration;
}

void TCountEdges::EnsureSolved() {
    if (!Solved() || !FastDataValid())
        Solve();
}

void TCountEdges::PrepareFastData() {
    const TEdgeElementArray& E = Elements.Elements;
    const std::size_t N = E.size();
    for (auto* V :
         {&Fast.Tx, &Fast.Ty, &Fast.Nx, &Fast.Ny, &Fast.P1N, &Fast.P1T, &Fast.P2N, &Fast.P2T})
        V->resize(N);
    for (std::size_t J = 0; J < N; ++J) {
        const TGeometry G = ElementGeometry(E[J]);
        Fast.Tx[J] = G.T.X;
        Fast.Ty[J] = G.T.Y;
        Fast.Nx[J] = G.N.X;
        Fast.Ny[J] = G.N.Y;
        Fast.P1N[J] = DotProduct(E[J].P1, G.N);
        Fast.P1T[J] = DotProduct(E[J].P1, G.T);
        Fast.P2N[J] = DotProduct(E[J].P2, G.N);
        Fast.P2T[J] = DotProduct(E[J].P2, G.T);
    }
    Fast.Count = N;
    Fast.Generation = Elements.Generation;
}

bool TCountEdges::FastDataValid() const {
    const std::size_t N = Elements.Elements.size();
    return Fast.Generation != 0 && Fast.Generation == Elements.Generation && Fast.Count == N &&
           Intensities.size() == N && static_cast<std::size_t>(Elements.Count) == N;
}

TRealPoint TCountEdges::Velocity(TRealPoint Pt) const {
    if (!FastDataValid())
        return {SpeedLiteral({1.0, 0.0}, Pt), SpeedLiteral({0.0, 1.0}, Pt)};
    if (FmmValid())
        return Fmm->VelocityAt(Pt) + CylinderVelocity(Pt);
    const std::size_t N = Fast.Count;
    const double* Q = Intensities.data();
    const double* Tx = Fast.Tx.data();
    const double* Ty = Fast.Ty.data();
    const double* Nx = Fast.Nx.data();
    const double* Ny = Fast.Ny.data();
    const double* P1N = Fast.P1N.data();
    const double* P1T = Fast.P1T.data();
    const double* P2N = Fast.P2N.data();
    const double* P2T = Fast.P2T.data();
    const double Px = Pt.X;
    const double Py = Pt.Y;

    const TFastView View{Q, Tx, Ty, Nx, Ny, P1N, P1T, P2N, P2T};
    double Sums[2];
    VelocitySums(View, N, Px, Py, Sums);
    const double SX = Sums[0], SY = Sums[1];
    const TRealPoint W = CylinderVelocity(Pt);
    return {-SX / TwoPi + W.X, -SY / TwoPi + W.Y};
}

double TCountEdges::Speed(TRealPoint Dir, TRealPoint Pt) const {
    if (!FastDataValid())
        return SpeedLiteral(Dir, Pt);
    const TRealPoint D = Dir / VectorLength(Dir);
    const TRealPoint V = Velocity(Pt);
    return D.X * V.X + D.Y * V.Y;
}

double TCountEdges::SpeedLiteral(TRealPoint Dir, TRealPoint Pt) const {
    const std::size_t N = Elements.Elements.size();
    if (Intensities.size() != N)
        throw TKalvexError("Скорость не может быть найдена: система не решена");
    const TRealPoint D = Dir / VectorLength(Dir);
    double S = 0.0;
    for (std::size_t J = 0; J < N; ++J)
        S += Intensities[J] * InfluenceCoefficient(static_cast<int>(J), Pt, D);
    double C = 0.0;
    for (const TCylInfo& Cyl : Elements.CylInfos) {
        const double Dx = Pt.X - Cyl.Center.X;
        const double Dy = Pt.Y - Cyl.Center.Y;
        const double R2 = Dx * Dx + Dy * Dy;
        if (Cyl.V == 0.0 || R2 == 0.0)
            continue;
        C += Cyl.R * Cyl.V * (Dx * D.Y - Dy * D.X) / R2;
    }
    return S + C;
}

} // namespace kalvex
