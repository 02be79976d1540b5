#include "solver/uFmm.h"

#include "base/uParallel.h"
#include "solver/uPanelKernel.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <complex>
#include <numeric>

namespace kalvex {

namespace {

using TComplex = std::complex<double>;

constexpr double TwoPi = 6.28318530717958647692;
// Boxes interact through their series when their radii add up to less than this share
// of the distance between their centres; the terms then fall at least as Theta^k.
constexpr double Theta = 0.5;
constexpr double PointTheta = 0.4;
constexpr std::size_t LeafSize = 32;
// Coincident midpoints cannot be told apart by halving: such a box stays a leaf.
constexpr int MaxDepth = 40;
constexpr int MaxOrder = 60;
constexpr std::size_t MaxTerms = MaxOrder + 1;

struct TNode {
    double Cx = 0.0;
    double Cy = 0.0;
    double Half = 0.0;
    std::size_t Begin = 0;
    std::size_t End = 0;
    int Parent = -1;
    int FirstChild = -1;
    int Children = 0;
};

// An adaptive quadtree: a box is halved while it holds more than LeafSize points.
// Nodes are stored level by level, a node's children side by side.
struct TTree {
    std::vector<TNode> Nodes;
    std::vector<std::size_t> Order; // position in the tree -> index of the point
    std::vector<std::size_t> LevelStart;
    std::vector<int> Leaves;
};

TTree BuildTree(std::span<const TRealPoint> P) {
    TTree T;
    const std::size_t N = P.size();
    T.Order.resize(N);
    std::iota(T.Order.begin(), T.Order.end(), std::size_t{0});
    double X0 = HUGE_VAL, X1 = -HUGE_VAL, Y0 = HUGE_VAL, Y1 = -HUGE_VAL;
    for (const TRealPoint& Q : P) {
        X0 = std::min(X0, Q.X);
        X1 = std::max(X1, Q.X);
        Y0 = std::min(Y0, Q.Y);
        Y1 = std::max(Y1, Q.Y);
    }
    TNode Root;
    if (N > 0) {
        Root.Cx = (X0 + X1) / 2.0;
        Root.Cy = (Y0 + Y1) / 2.0;
        Root.Half = std::max(X1 - X0, Y1 - Y0) / 2.0 * (1.0 + 1e-12);
    }
    if (!(Root.Half > 0.0))
        Root.Half = 1.0;
    Root.End = N;
    T.Nodes.push_back(Root);
    T.LevelStart.push_back(0);
    std::size_t LevelBegin = 0;
    for (int Depth = 0;; ++Depth) {
        const std::size_t LevelEnd = T.Nodes.size();
        for (std::size_t K = LevelBegin; K < LevelEnd; ++K) {
            const TNode Node = T.Nodes[K];
            if (Node.End - Node.Begin <= LeafSize || Depth >= MaxDepth)
                continue;
            std::size_t* B = T.Order.data() + Node.Begin;
            std::size_t* E = T.Order.data() + Node.End;
            const auto Left = [&](std::size_t I) { return P[I].X < Node.Cx; };
            const auto Down = [&](std::size_t I) { return P[I].Y < Node.Cy; };
            std::size_t* Mx = std::partition(B, E, Left);
            std::size_t* M1 = std::partition(B, Mx, Down);
            std::size_t* M2 = std::partition(Mx, E, Down);
            const std::size_t* Cuts[5] = {B, M1, Mx, M2, E};
            const double H = Node.Half / 2.0;
            const double Dx[4] = {-H, -H, H, H};
            const double Dy[4] = {-H, H, -H, H};
            const int First = static_cast<int>(T.Nodes.size());
            int Count = 0;
            for (int Q = 0; Q < 4; ++Q) {
                if (Cuts[Q] == Cuts[Q + 1])
                    continue;
                TNode C;
                C.Cx = Node.Cx + Dx[Q];
                C.Cy = Node.Cy + Dy[Q];
                C.Half = H;
                C.Begin = static_cast<std::size_t>(Cuts[Q] - T.Order.data());
                C.End = static_cast<std::size_t>(Cuts[Q + 1] - T.Order.data());
                C.Parent = static_cast<int>(K);
                T.Nodes.push_back(C);
                ++Count;
            }
            T.Nodes[K].FirstChild = First;
            T.Nodes[K].Children = Count;
        }
        if (T.Nodes.size() == LevelEnd)
            break;
        T.LevelStart.push_back(LevelEnd);
        LevelBegin = LevelEnd;
    }
    T.LevelStart.push_back(T.Nodes.size());
    for (std::size_t K = 0; K < T.Nodes.size(); ++K)
        if (T.Nodes[K].Children == 0)
            T.Leaves.push_back(static_cast<int>(K));
    return T;
}

// Radius about each node's centre that holds its points (for targets) or its elements'
// ends (for sources), kept from zero so that the scaled series stay finite.
std::vector<double> Radii(const TTree& T,
                          const std::function<double(std::size_t, double, double)>& Reach) {
    std::vector<double> R(T.Nodes.size());
    for (std::size_t K = 0; K < T.Nodes.size(); ++K) {
        const TNode& Node = T.Nodes[K];
        double Most = 0.0;
        for (std::size_t I = Node.Begin; I < Node.End; ++I)
            Most = std::max(Most, Reach(I, Node.Cx, Node.Cy));
        R[K] = std::max(Most, Node.Half * 1e-3);
    }
    return R;
}

// Per target node, the source nodes seen through their series (Far) and, at leaves,
// the source leaves whose elements are summed one by one (Near), in a fixed order.
struct TLists {
    std::vector<std::vector<int>> Far;
    std::vector<std::vector<int>> Near;
};

TLists Interactions(const TTree& S, const std::vector<double>& Rs, const TTree& T,
                    const std::vector<double>& Rt) {
    TLists L;
    L.Far.resize(T.Nodes.size());
    L.Near.resize(T.Nodes.size());
    std::vector<std::pair<int, int>> Stack{{0, 0}};
    while (!Stack.empty()) {
        const auto [Si, Ti] = Stack.back();
        Stack.pop_back();
        const TNode& A = S.Nodes[static_cast<std::size_t>(Si)];
        const TNode& B = T.Nodes[static_cast<std::size_t>(Ti)];
        const double Ra = Rs[static_cast<std::size_t>(Si)];
        const double Rb = Rt[static_cast<std::size_t>(Ti)];
        const double D = std::hypot(A.Cx - B.Cx, A.Cy - B.Cy);
        if (Ra + Rb < Theta * D) {
            L.Far[static_cast<std::size_t>(Ti)].push_back(Si);
        } else if (A.Children == 0 && B.Children == 0) {
            L.Near[static_cast<std::size_t>(Ti)].push_back(Si);
        } else if (B.Children == 0 || (A.Children > 0 && Ra >= Rb)) {
            for (int C = A.Children; C-- > 0;)
                Stack.emplace_back(A.FirstChild + C, Ti);
        } else {
            for (int C = B.Children; C-- > 0;)
                Stack.emplace_back(Si, B.FirstChild + C);
        }
    }
    return L;
}

// The tree cut into subtrees of at most Limit points each (a leaf may hold more), so
// that one pass of the pool can take a whole subtree, from its root down to its leaves
// or back; the few boxes above them (Top, in level order) are done apart. Each
// subtree's boxes are listed root first, parents before children.
struct TSplit {
    std::vector<int> Top;
    std::vector<std::size_t> Start; // subtree J's boxes: Members[Start[J], Start[J + 1])
    std::vector<int> Members;

    std::size_t Count() const { return Start.size() - 1; }
};

TSplit Split(const TTree& T, std::size_t Limit) {
    TSplit S;
    S.Start.push_back(0);
    if (T.Nodes.empty())
        return S;
    std::vector<int> Roots;
    // Breadth first from the root: a box too big to be one piece is Top, its children
    // are looked at in turn.
    std::vector<int> Queue{0};
    for (std::size_t Q = 0; Q < Queue.size(); ++Q) {
        const TNode& Node = T.Nodes[static_cast<std::size_t>(Queue[Q])];
        if (Node.Children == 0 || Node.End - Node.Begin <= Limit) {
            Roots.push_back(Queue[Q]);
            continue;
        }
        S.Top.push_back(Queue[Q]);
        for (int C = 0; C < Node.Children; ++C)
            Queue.push_back(Node.FirstChild + C);
    }
    for (const int R : Roots) {
        const std::size_t First = S.Members.size();
        S.Members.push_back(R);
        for (std::size_t Q = First; Q < S.Members.size(); ++Q) {
            const TNode& Node = T.Nodes[static_cast<std::size_t>(S.Members[Q])];
            for (int C = 0; C < Node.Children; ++C)
                S.Members.push_back(Node.FirstChild + C);
        }
        S.Start.push_back(S.Members.size());
    }
    return S;
}

// Points per subtree: half a worker's share, which the splitting of boxes turns into two
// to eight subtrees per worker. More and smaller ones leave more boxes above them to the
// calling thread and cost more than they even out (measured from 1200 to 12 000).
std::size_t PieceLimit(std::size_t Points, int Threads) {
    const auto Workers = static_cast<std::size_t>(std::max(1, ThreadCount(Threads)));
    return std::max<std::size_t>(LeafSize, Points / (2 * Workers));
}

} // namespace

int FmmOrder(double Accuracy) {
    const double A = std::isfinite(Accuracy) ? std::clamp(Accuracy, 1e-15, 0.1) : 1e-10;
    // The bound Theta^k is for the worst pair; over a whole product the error fell as
    // 0.3^k (4000 elements of a room with a cylinder), so 0.4^k leaves a margin of a
    // hundred or more.
    return std::clamp(static_cast<int>(std::ceil(std::log(A) / std::log(0.4))), 4, MaxOrder);
}

struct TFmmSystem::TImpl {
    int Threads = 0;
    int P = 0;
    std::size_t N = 0;
    TTree Tree;
    TSplit Pieces;
    std::vector<double> SourceR, TargetR;
    TLists Lists;
    // Elements in tree order: ends and unit tangents as complex numbers, and the
    // control points with their normals.
    std::vector<TComplex> Z1, Z2, Tangent;
    std::vector<double> Length, Mx, My, Nx, Ny;
    std::unique_ptr<TPanelKernel> Kernel;
    // Near blocks of each target leaf, one after another in the order of its list.
    std::vector<std::size_t> NearOffset;
    // Not cleared first: the workers write every entry, and their first touches of the
    // pages (costly on a virtual machine) then fall on both cores.
    std::unique_ptr<double[]> NearEntries;
    std::size_t NearCount = 0;
    bool NearBuilt = false;
    // The intensities set for velocities, in tree order, and their series.
    std::vector<double> Qs;
    std::vector<TComplex> Multipoles;
    // C(n, k) for n, k <= 2P + 1.
    std::vector<double> Binom;

    double C(std::size_t Nn, std::size_t K) const {
        return Binom[Nn * (2 * static_cast<std::size_t>(P) + 2) + K];
    }

    void Upward(const double* Q, std::vector<TComplex>& M) const;
    // AtLeaf(K) is called for each leaf K of T once its local series is complete, on
    // the worker that formed it.
    void Downward(const TTree& T, const TSplit& S, const std::vector<double>& Rt, const TLists& L,
                  const std::vector<TComplex>& M, std::vector<TComplex>& Loc,
                  const std::function<void(std::size_t)>& AtLeaf) const;
    TComplex Local(const TTree& T, const std::vector<double>& Rt, const std::vector<TComplex>& Loc,
                   int Leaf, TRealPoint Z) const;
};

TFmmSystem::TFmmSystem(const TEdgeElementArray& Elements, double Accuracy, int Threads)
    : Impl(std::make_unique<TImpl>()) {
    TImpl& F = *Impl;
    F.Threads = Threads;
    F.P = FmmOrder(Accuracy);
    F.N = Elements.size();
    std::vector<TRealPoint> Mid(F.N);
    for (std::size_t I = 0; I < F.N; ++I)
        Mid[I] = (Elements[I].P1 + Elements[I].P2) / 2.0;
    F.Tree = BuildTree(Mid);
    F.Pieces = Split(F.Tree, PieceLimit(F.N, Threads));
    TEdgeElementArray Sorted(F.N);
    for (std::size_t I = 0; I < F.N; ++I)
        Sorted[I] = Elements[F.Tree.Order[I]];
    F.Kernel = std::make_unique<TPanelKernel>(Sorted);
    F.Z1.resize(F.N);
    F.Z2.resize(F.N);
    F.Tangent.resize(F.N);
    for (auto* V : {&F.Length, &F.Mx, &F.My, &F.Nx, &F.Ny})
        V->resize(F.N);
    for (std::size_t I = 0; I < F.N; ++I) {
        const TEdgeElement& E = Sorted[I];
        F.Z1[I] = {E.P1.X, E.P1.Y};
        F.Z2[I] = {E.P2.X, E.P2.Y};
        const double Len = Distance(E.P1, E.P2);
        F.Length[I] = Len;
        F.Tangent[I] = Len > 0.0 ? (F.Z2[I] - F.Z1[I]) / Len : TComplex{};
        F.Mx[I] = (E.P1.X + E.P2.X) / 2.0;
        F.My[I] = (E.P1.Y + E.P2.Y) / 2.0;
        // The same normal as the dense path's: (T.y, -T.x).
        F.Nx[I] = F.Tangent[I].imag();
        F.Ny[I] = -F.Tangent[I].real();
    }
    F.SourceR = Radii(F.Tree, [&](std::size_t I, double Cx, double Cy) {
        return std::max(std::hypot(F.Z1[I].real() - Cx, F.Z1[I].imag() - Cy),
                        std::hypot(F.Z2[I].real() - Cx, F.Z2[I].imag() - Cy));
    });
    F.TargetR = Radii(F.Tree, [&](std::size_t I, double Cx, double Cy) {
        return std::hypot(F.Mx[I] - Cx, F.My[I] - Cy);
    });
    F.Lists = Interactions(F.Tree, F.SourceR, F.Tree, F.TargetR);
    F.NearOffset.assign(F.Tree.Nodes.size() + 1, 0);
    for (std::size_t K = 0; K < F.Tree.Nodes.size(); ++K) {
        const TNode& T = F.Tree.Nodes[K];
        std::size_t Entries = 0;
        for (const int S : F.Lists.Near[K]) {
            const TNode& A = F.Tree.Nodes[static_cast<std::size_t>(S)];
            Entries += (T.End - T.Begin) * (A.End - A.Begin);
        }
        F.NearOffset[K + 1] = F.NearOffset[K] + Entries;
    }
    F.NearCount = F.NearOffset.back();
    const auto B = 2 * static_cast<std::size_t>(F.P) + 2;
    F.Binom.assign(B * B, 0.0);
    for (std::size_t Nn = 0; Nn < B; ++Nn) {
        F.Binom[Nn * B] = 1.0;
        for (std::size_t K = 1; K <= Nn; ++K)
            F.Binom[Nn * B + K] = F.Binom[(Nn - 1) * B + K - 1] + F.Binom[(Nn - 1) * B + K];
    }
}

TFmmSystem::~TFmmSystem() = default;

std::size_t TFmmSystem::Count() const {
    return Impl->N;
}

int TFmmSystem::Order() const {
    return Impl->P;
}

double TFmmSystem::Bytes() const {
    const TImpl& F = *Impl;
    const double Nodes = static_cast<double>(F.Tree.Nodes.size());
    const double Terms = static_cast<double>(F.P + 1);
    std::size_t Listed = 0;
    for (std::size_t K = 0; K < F.Tree.Nodes.size(); ++K)
        Listed += F.Lists.Far[K].size() + F.Lists.Near[K].size();
    // Near entries; per element the tree order, geometry and the kernel's copy; per node
    // the node, its lists and two series (and their copies in a product).
    return 8.0 * static_cast<double>(F.NearCount) + 200.0 * static_cast<double>(F.N) +
           Nodes * (120.0 + 4.0 * 16.0 * Terms) + 4.0 * static_cast<double>(Listed);
}

bool TFmmSystem::BuildNear(const std::function<bool()>& Stop) {
    TImpl& F = *Impl;
    F.NearEntries = std::make_unique_for_overwrite<double[]>(F.NearCount);
    const std::vector<int>& Leaves = F.Tree.Leaves;
    // Pieces of about a million entries between the offers of Stop.
    std::size_t First = 0;
    while (First < Leaves.size()) {
        std::size_t Last = First;
        std::size_t Entries = 0;
        while (Last < Leaves.size() && (Last == First || Entries < (std::size_t{1} << 20))) {
            const auto K = static_cast<std::size_t>(Leaves[Last]);
            Entries += F.NearOffset[K + 1] - F.NearOffset[K];
            ++Last;
        }
        ParallelFor(F.Threads, Last - First, [&](std::size_t J) {
            const auto K = static_cast<std::size_t>(Leaves[First + J]);
            const TNode& T = F.Tree.Nodes[K];
            double* Out = F.NearEntries.get() + F.NearOffset[K];
            for (const int S : F.Lists.Near[K]) {
                const TNode& A = F.Tree.Nodes[static_cast<std::size_t>(S)];
                F.Kernel->Block(T.Begin, T.End, A.Begin, A.End, Out);
                Out += (T.End - T.Begin) * (A.End - A.Begin);
            }
        });
        First = Last;
        if (Stop && Stop())
            return false;
    }
    F.NearBuilt = true;
    return true;
}

// The series of every source node for intensities Q (in tree order): the exact series
// of each element at the leaves, shifted up to the parents.
void TFmmSystem::TImpl::Upward(const double* Q, std::vector<TComplex>& M) const {
    const auto Terms = static_cast<std::size_t>(P) + 1;
    M.assign(Tree.Nodes.size() * Terms, TComplex{});
    const auto Leaf = [&](std::size_t K) {
        const TNode& Node = Tree.Nodes[K];
        const TComplex Centre{Node.Cx, Node.Cy};
        const double R = SourceR[K];
        TComplex* A = M.data() + K * Terms;
        for (std::size_t I = Node.Begin; I < Node.End; ++I) {
            if (Length[I] == 0.0 || Q[I] == 0.0)
                continue;
            // (1/2pi) q conj(t) ln((z - z1)/(z - z2)) = sum A_k (R/(z - c))^k with
            // A_k = (q conj(t)/2pi) (u2^k - u1^k)/k, u = (z_i - c)/R; the difference
            // by u2^k - u1^k = u2 (u2^(k-1) - u1^(k-1)) + u1^(k-1) (u2 - u1).
            const TComplex U1 = (Z1[I] - Centre) / R;
            const TComplex U2 = (Z2[I] - Centre) / R;
            const TComplex D = U2 - U1;
            const TComplex Factor = Q[I] * std::conj(Tangent[I]) / TwoPi;
            TComplex Dk = D;
            TComplex Pow1 = 1.0;
            for (int Kk = 1; Kk <= P; ++Kk) {
                A[Kk] += Factor * Dk / static_cast<double>(Kk);
                Pow1 *= U1;
                Dk = U2 * Dk + Pow1 * D;
            }
        }
    };
    const auto FromChildren = [&](std::size_t K) {
        const TNode& Node = Tree.Nodes[K];
        TComplex* B = M.data() + K * Terms;
        std::array<TComplex, MaxTerms> Ar{}, PowD{};
        for (int Ci = 0; Ci < Node.Children; ++Ci) {
            const auto Ck = static_cast<std::size_t>(Node.FirstChild + Ci);
            const TNode& Child = Tree.Nodes[Ck];
            const TComplex* A = M.data() + Ck * Terms;
            // B_m = sum_k A_k (r/R)^k C(m-1, k-1) (d/R)^(m-k), d = c_child - c.
            const TComplex D = TComplex{Child.Cx - Node.Cx, Child.Cy - Node.Cy} / SourceR[K];
            const double Ratio = SourceR[Ck] / SourceR[K];
            double Rk = 1.0;
            PowD[0] = 1.0;
            for (std::size_t Kk = 1; Kk < Terms; ++Kk) {
                Rk *= Ratio;
                Ar[Kk] = A[Kk] * Rk;
                PowD[Kk] = PowD[Kk - 1] * D;
            }
            for (std::size_t Mm = 1; Mm < Terms; ++Mm) {
                TComplex S{};
                for (std::size_t Kk = 1; Kk <= Mm; ++Kk)
                    S += Ar[Kk] * (C(Mm - 1, Kk - 1) * PowD[Mm - Kk]);
                B[Mm] += S;
            }
        }
    };
    // Each subtree from its leaves up on one worker, then the boxes above them.
    ParallelFor(Threads, Pieces.Count(), [&](std::size_t J) {
        for (std::size_t I = Pieces.Start[J + 1]; I-- > Pieces.Start[J];) {
            const auto K = static_cast<std::size_t>(Pieces.Members[I]);
            if (Tree.Nodes[K].Children == 0)
                Leaf(K);
            else
                FromChildren(K);
        }
    });
    for (std::size_t I = Pieces.Top.size(); I-- > 0;)
        FromChildren(static_cast<std::size_t>(Pieces.Top[I]));
}

// Local series of every target node of T: its far list's series turned into local ones,
// plus its parent's local series shifted to it.
void TFmmSystem::TImpl::Downward(const TTree& T, const TSplit& S, const std::vector<double>& Rt,
                                 const TLists& L, const std::vector<TComplex>& M,
                                 std::vector<TComplex>& Loc,
                                 const std::function<void(std::size_t)>& AtLeaf) const {
    const auto Terms = static_cast<std::size_t>(P) + 1;
    Loc.assign(T.Nodes.size() * Terms, TComplex{});
    // C(k + l - 1, l) as a table for the turn of one series into the other.
    std::vector<double> Turn(Terms * Terms, 0.0);
    for (std::size_t Ll = 0; Ll < Terms; ++Ll)
        for (std::size_t Kk = 1; Kk < Terms; ++Kk)
            Turn[Ll * Terms + Kk] = C(Kk + Ll - 1, Ll);
    const auto Far = [&](std::size_t K) {
        const TNode& Node = T.Nodes[K];
        TComplex* B = Loc.data() + K * Terms;
        std::array<double, MaxTerms> Re{}, Im{};
        for (const int Si : L.Far[K]) {
            const auto Sk = static_cast<std::size_t>(Si);
            const TNode& Src = Tree.Nodes[Sk];
            const TComplex* A = M.data() + Sk * Terms;
            // About the target's centre, z - c_s = D + zeta:
            // (R_s/(z - c_s))^k = (R_s/D)^k sum_l C(k+l-1, l) (-zeta/D)^l.
            const TComplex Inv = 1.0 / TComplex{Node.Cx - Src.Cx, Node.Cy - Src.Cy};
            const TComplex Rs = SourceR[Sk] * Inv;
            const TComplex Rtl = -Rt[K] * Inv;
            TComplex Pw = 1.0;
            Re[0] = Im[0] = 0.0;
            for (std::size_t Kk = 1; Kk < Terms; ++Kk) {
                Pw *= Rs;
                const TComplex V = A[Kk] * Pw;
                Re[Kk] = V.real();
                Im[Kk] = V.imag();
            }
            TComplex Pl = 1.0;
            for (std::size_t Ll = 0; Ll < Terms; ++Ll) {
                const double* Row = Turn.data() + Ll * Terms;
                double Sr = 0.0, Si2 = 0.0;
                for (std::size_t Kk = 1; Kk < Terms; ++Kk) {
                    Sr += Row[Kk] * Re[Kk];
                    Si2 += Row[Kk] * Im[Kk];
                }
                B[Ll] += Pl * TComplex{Sr, Si2};
                Pl *= Rtl;
            }
        }
    };
    const auto FromParent = [&](std::size_t K) {
        const TNode& Node = T.Nodes[K];
        if (Node.Parent < 0)
            return;
        const auto Pk = static_cast<std::size_t>(Node.Parent);
        const TNode& Parent = T.Nodes[Pk];
        const TComplex* A = Loc.data() + Pk * Terms;
        TComplex* B = Loc.data() + K * Terms;
        // B_m += (r/R)^m sum_{l >= m} A_l C(l, m) (e/R)^(l-m), e = c - c_parent.
        const TComplex E = TComplex{Node.Cx - Parent.Cx, Node.Cy - Parent.Cy} / Rt[Pk];
        const double Ratio = Rt[K] / Rt[Pk];
        std::array<TComplex, MaxTerms> PowE{};
        PowE[0] = 1.0;
        for (std::size_t I = 1; I < Terms; ++I)
            PowE[I] = PowE[I - 1] * E;
        double Rm = 1.0;
        for (std::size_t Mm = 0; Mm < Terms; ++Mm) {
            TComplex Sum{};
            for (std::size_t Ll = Mm; Ll < Terms; ++Ll)
                Sum += A[Ll] * (C(Ll, Mm) * PowE[Ll - Mm]);
            B[Mm] += Sum * Rm;
            Rm *= Ratio;
        }
    };
    // The boxes above the subtrees first (their far series in any order, then the shifts
    // from parents to children), then each subtree
    // from its root down on one worker, its leaves used as soon as they are complete.
    ParallelFor(Threads, S.Top.size(),
                [&](std::size_t J) { Far(static_cast<std::size_t>(S.Top[J])); });
    for (const int K : S.Top)
        FromParent(static_cast<std::size_t>(K));
    ParallelFor(Threads, S.Count(), [&](std::size_t J) {
        for (std::size_t I = S.Start[J]; I < S.Start[J + 1]; ++I) {
            const auto K = static_cast<std::size_t>(S.Members[I]);
            Far(K);
            FromParent(K);
            if (T.Nodes[K].Children == 0 && AtLeaf)
                AtLeaf(K);
        }
    });
}

TComplex TFmmSystem::TImpl::Local(const TTree& T, const std::vector<double>& Rt,
                                  const std::vector<TComplex>& Loc, int Leaf, TRealPoint Z) const {
    const auto Terms = static_cast<std::size_t>(P) + 1;
    const auto K = static_cast<std::size_t>(Leaf);
    const TNode& Node = T.Nodes[K];
    const TComplex Zeta = TComplex{Z.X - Node.Cx, Z.Y - Node.Cy} / Rt[K];
    const TComplex* B = Loc.data() + K * Terms;
    TComplex W{};
    for (std::size_t L = Terms; L-- > 0;)
        W = W * Zeta + B[L];
    return W;
}

bool TFmmSystem::Apply(double Alpha, const double* X, double Beta, double* Y,
                       const std::function<bool()>& Stop) const {
    const TImpl& F = *Impl;
    const std::size_t N = F.N;
    if (N == 0)
        return true;
    std::vector<double> Xs(N), Fs(N, 0.0);
    for (std::size_t I = 0; I < N; ++I)
        Xs[I] = X[F.Tree.Order[I]];
    std::vector<TComplex> M, Loc;
    F.Upward(Xs.data(), M);
    if (Stop && Stop())
        return false;
    F.Downward(F.Tree, F.Pieces, F.TargetR, F.Lists, M, Loc, [&](std::size_t K) {
        const TNode& T = F.Tree.Nodes[K];
        const std::size_t Rows = T.End - T.Begin;
        for (std::size_t I = T.Begin; I < T.End; ++I) {
            // Velocity u - i v from the series: the normal component u nx + v ny.
            const TComplex W =
                F.Local(F.Tree, F.TargetR, Loc, static_cast<int>(K), {F.Mx[I], F.My[I]});
            Fs[I] = W.real() * F.Nx[I] - W.imag() * F.Ny[I];
        }
        const double* Block = F.NearEntries.get() + F.NearOffset[K];
        for (const int Si : F.Lists.Near[K]) {
            const TNode& A = F.Tree.Nodes[static_cast<std::size_t>(Si)];
            for (std::size_t Cc = A.Begin; Cc < A.End; ++Cc) {
                const double Xc = Xs[Cc];
                for (std::size_t R = 0; R < Rows; ++R)
                    Fs[T.Begin + R] += Block[R] * Xc;
                Block += Rows;
            }
        }
    });
    for (std::size_t I = 0; I < N; ++I) {
        double& Out = Y[F.Tree.Order[I]];
        Out = Beta == 0.0 ? Alpha * Fs[I] : Alpha * Fs[I] + Beta * Out;
    }
    return !(Stop && Stop());
}

void TFmmSystem::SetIntensities(const double* Q) {
    TImpl& F = *Impl;
    F.Qs.resize(F.N);
    for (std::size_t I = 0; I < F.N; ++I)
        F.Qs[I] = Q[F.Tree.Order[I]];
    F.Upward(F.Qs.data(), F.Multipoles);
}

TRealPoint TFmmSystem::VelocityAt(TRealPoint Point) const {
    const TImpl& F = *Impl;
    if (F.N == 0 || F.Qs.size() != F.N)
        return {};
    const auto Terms = static_cast<std::size_t>(F.P) + 1;
    const TComplex Z{Point.X, Point.Y};
    TComplex W{};
    TRealPoint Near;
    // Each node taken pushes at most four: the depth bounds the stack.
    std::array<int, 4 * (MaxDepth + 2)> Stack{};
    std::size_t Top = 0;
    Stack[Top++] = 0;
    while (Top > 0) {
        const auto K = static_cast<std::size_t>(Stack[--Top]);
        const TNode& Node = F.Tree.Nodes[K];
        const TComplex D = Z - TComplex{Node.Cx, Node.Cy};
        const double R = F.SourceR[K];
        // A point has no radius of its own to share the bound with: a tighter one keeps
        // its worst term as small as that of the product.
        if (R < PointTheta * std::abs(D)) {
            // sum A_k (R/(z - c))^k by Horner's scheme.
            const TComplex U = R / D;
            const TComplex* A = F.Multipoles.data() + K * Terms;
            TComplex S{};
            for (std::size_t Kk = Terms - 1; Kk >= 1; --Kk)
                S = (S + A[Kk]) * U;
            W += S;
        } else if (Node.Children == 0) {
            Near = Near + F.Kernel->Velocity(Node.Begin, Node.End, F.Qs.data(), Point);
        } else {
            for (int C = Node.Children; C-- > 0;)
                Stack[Top++] = Node.FirstChild + C;
        }
    }
    return {Near.X + W.real(), Near.Y - W.imag()};
}

void TFmmSystem::Velocities(std::span<const TRealPoint> Points, std::span<TRealPoint> Out) const {
    const TImpl& F = *Impl;
    if (Points.empty())
        return;
    if (F.N == 0 || F.Qs.size() != F.N) {
        std::fill(Out.begin(), Out.end(), TRealPoint{});
        return;
    }
    const std::vector<double>& Qs = F.Qs;
    const TTree T = BuildTree(Points);
    const std::vector<double> Rt = Radii(T, [&](std::size_t I, double Cx, double Cy) {
        const TRealPoint& P = Points[T.Order[I]];
        return std::hypot(P.X - Cx, P.Y - Cy);
    });
    const TLists L = Interactions(F.Tree, F.SourceR, T, Rt);
    const TSplit S = Split(T, PieceLimit(Points.size(), F.Threads));
    std::vector<TComplex> Loc;
    F.Downward(T, S, Rt, L, F.Multipoles, Loc, [&](std::size_t K) {
        const TNode& Node = T.Nodes[K];
        for (std::size_t I = Node.Begin; I < Node.End; ++I) {
            const TRealPoint P = Points[T.Order[I]];
            const TComplex W = F.Local(T, Rt, Loc, static_cast<int>(K), P);
            TRealPoint V{W.real(), -W.imag()};
            for (const int Si : L.Near[K]) {
                const TNode& A = F.Tree.Nodes[static_cast<std::size_t>(Si)];
                V = V + F.Kernel->Velocity(A.Begin, A.End, Qs.data(), P);
            }
            Out[T.Order[I]] = V;
        }
    });
}

} // namespace kalvex
