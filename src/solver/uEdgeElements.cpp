// Discretisation of a boundary model into boundary elements, refinement and drawing.
#include "base/uDrawSurface.h"
#include "base/uMessageNumber.h"
#include "solver/uCountEdges.h"

#include <algorithm>
#include <atomic>
#include <charconv>
#include <cmath>
#include <limits>
#include <string>
#include <unistd.h>

namespace kalvex {

namespace {

std::atomic<std::uint64_t> GenerationCounter{0};

// Numbers for messages, in the notation of the front end that shows them; a count
// beyond any memory is not written out in its hundreds of digits.
std::string Fmt(double V) {
    return MessageNumber(V);
}

std::string Count(double N) {
    return MessageCount(N);
}

[[noreturn]] void Refuse(const std::string& Message) {
    throw TDiscretizationError(Message);
}

bool PositiveFinite(double X) {
    return std::isfinite(X) && X > 0.0;
}

bool FinitePoint(TRealPoint P) {
    return std::isfinite(P.X) && std::isfinite(P.Y);
}

TRealPoint UnitVector(TRealPoint From, TRealPoint To) {
    const TRealPoint D = To - From;
    return D / VectorLength(D);
}

// Largest count of one piece that is worth computing at all; the real limit is
// the memory check on the total.
constexpr double PieceCountLimit = 1e9;

double EqualCountReal(double L, double Step) {
    if (!std::isfinite(L))
        Refuse("Координаты границ системы заданы некорректно");
    if (L == 0.0)
        return 0.0;
    const double N = std::nearbyint(L / Step);
    // A piece shorter than half a step still gets one element, so that no part of
    // the boundary is left out of the model.
    return N < 1.0 ? 1.0 : N;
}

double GradedCountReal(double L, double Step, double Scaler) {
    if (!std::isfinite(L))
        Refuse("Координаты границ системы заданы некорректно");
    if (L == 0.0)
        return 0.0;
    const double Half = L / 2.0;
    const double Arg = Half / Step * (Scaler - 1.0) + 1.0;
    if (!(Arg > 0.0))
        Refuse("Отрезок длиной " + Fmt(L) + " м нельзя разбить на элементы: при множителе " +
               Fmt(Scaler) + " элементы, начиная с базовой длины " + Fmt(Step) +
               " м, не заполняют его");
    const double M = std::log(Arg) / std::log(Scaler);
    if (!std::isfinite(M))
        Refuse("Недопустимый множитель для конечных ребер: " + Fmt(Scaler));
    // Too short for even one element of the growth law: split in two halves, which
    // is what the graded split writes anyway (its two middle elements).
    if (M < 1e-10)
        return 2.0;
    const double F = M - std::trunc(M);
    if (F < 1e-10 || F > 0.9999999999)
        return 2.0 * std::nearbyint(M);
    return 2.0 * (std::trunc(M) + 1.0);
}

int ToCount(double N) {
    if (!(N <= PieceCountLimit)) {
        CheckElementCount(N);
        Refuse("Слишком много граничных элементов: " + Count(N));
    }
    return static_cast<int>(N);
}

struct TMethod {
    bool Graded = false;
    int InfiniteCount = 0;
    double Step = 0.0;
    double Scaler = 0.0;
    double CylStep = 0.0;
    double InfiniteScaler = 0.0;

    double PieceCount(double L) const {
        return Graded ? GradedCountReal(L, Step, Scaler) : EqualCountReal(L, Step);
    }
    double CylinderStep() const { return Graded ? CylStep : Step; }
};

// The shape of one cylinder's discretisation.
struct TCylPlan {
    TRealPoint C;
    double R = 0.0;
    bool Slit = false;
    double StartDeg = 0.0; // slit start angle (arc end)
    double EndDeg = 0.0;   // slit end angle (arc start)
    double SpanDeg = 360.0;
    TRealPoint Ps, Pe;
    double ArcCount = 0.0;
    double SlitCount = 0.0;
};

// The ends of a cylinder's slit (Pe, at the end angle, is where its arc starts) and the
// arc's span in degrees; false for a cylinder without a slit of any width.
bool SlitEnds(const TEdge& E, TRealPoint& Ps, TRealPoint& Pe, double& SpanDeg) {
    const TEdgeSegment S0 = E.GetSegment(0);
    const TEdgeSegment S1 = E.GetSegment(1);
    const TRealPoint C = S0.P1;
    const double R = S0.P2.X;
    const double StartDeg = S1.P1.X;
    const double EndDeg = S1.P1.Y;
    Ps = C + R * TRealPoint{std::cos(DegToRad(StartDeg)), std::sin(DegToRad(StartDeg))};
    Pe = C + R * TRealPoint{std::cos(DegToRad(EndDeg)), std::sin(DegToRad(EndDeg))};
    SpanDeg = 360.0;
    if (!S0.HasSlit())
        return false;
    // Angles that differ by whole turns give a slit of zero width: such a cylinder is
    // discretised as a full one instead of getting zero-length elements.
    double Span = std::fmod(StartDeg - EndDeg, 360.0);
    if (Span < 0.0)
        Span += 360.0;
    if (!(Span > 0.0 && Distance(Ps, Pe) > GeomEps))
        return false;
    SpanDeg = Span;
    return true;
}

TCylPlan PlanCylinder(const TEdge& E, const TMethod& M) {
    if (E.Count() < 2)
        Refuse("Цилиндрическая область задана неполностью");
    const TEdgeSegment S0 = E.GetSegment(0);
    const TEdgeSegment S1 = E.GetSegment(1);
    TCylPlan P;
    P.C = S0.P1;
    P.R = S0.P2.X;
    if (!FinitePoint(P.C) || !PositiveFinite(P.R))
        Refuse("Радиус цилиндра должен быть положительным числом (задан " + Fmt(P.R) + ")");
    const double Step = M.CylinderStep();
    if (Step > 2.0 * P.R)
        Refuse("Длина граничного элемента на цилиндре (" + Fmt(Step) +
               " м) больше диаметра цилиндра (" + Fmt(2.0 * P.R) + " м)");
    const double DPhi = 2.0 * std::asin(Step / (2.0 * P.R));
    P.StartDeg = S1.P1.X;
    P.EndDeg = S1.P1.Y;
    if (!std::isfinite(P.StartDeg) || !std::isfinite(P.EndDeg))
        Refuse("Углы щели цилиндра заданы некорректно");
    P.Slit = SlitEnds(E, P.Ps, P.Pe, P.SpanDeg);
    if (P.Slit)
        P.SlitCount = M.PieceCount(Distance(P.Ps, P.Pe));
    P.ArcCount = std::nearbyint(DegToRad(P.SpanDeg) / DPhi);
    if (M.Graded) {
        if (P.ArcCount < 6.0)
            P.ArcCount = 6.0;
    } else {
        // Fewer chords give coincident elements (a singular system) or no area.
        const double MinArc = P.Slit ? 2.0 : 3.0;
        if (P.ArcCount < MinArc)
            P.ArcCount = MinArc;
    }
    return P;
}

void CheckTail(const TEdgeSegment& S, const TMethod& M) {
    if (M.InfiniteCount > 0 &&
        (!FinitePoint(S.P1) || !FinitePoint(S.P2) || Distance(S.P1, S.P2) == 0.0))
        Refuse("Крайнее ребро полубесконечной области имеет нулевую длину: направление "
               "бесконечного ребра не определено");
}

// Counts the elements and refuses parameters or boundaries that cannot work. Nothing
// is allocated beyond the plans.
double CountElements(const TEdges& Model, const TMethod& M) {
    if (!PositiveFinite(M.Step))
        Refuse("Базовая длина граничного элемента должна быть положительным числом (задана " +
               Fmt(M.Step) + ")");
    if (M.InfiniteCount < 0)
        Refuse("Число элементов на бесконечных ребрах не может быть отрицательным (задано " +
               std::to_string(M.InfiniteCount) + ")");
    if (!PositiveFinite(M.InfiniteScaler))
        Refuse("Множитель для бесконечных ребер должен быть положительным числом (задан " +
               Fmt(M.InfiniteScaler) + ")");
    if (M.Graded) {
        if (!PositiveFinite(M.Scaler) || M.Scaler == 1.0)
            Refuse("Множитель для конечных ребер должен быть положительным числом, не равным 1 "
                   "(задан " +
                   Fmt(M.Scaler) + ")");
        if (!PositiveFinite(M.CylStep))
            Refuse("Длина граничного элемента на цилиндрах должна быть положительным числом "
                   "(задана " +
                   Fmt(M.CylStep) + ")");
    }
    // The tails must stay finite: the last element has length Step*q^(count-1).
    if (M.InfiniteCount > 0) {
        const double First = M.Graded ? M.InfiniteScaler : 1.5;
        for (double Q : {First, M.InfiniteScaler}) {
            const double Total = Q == 1.0
                                     ? M.Step * M.InfiniteCount
                                     : M.Step * (std::pow(Q, M.InfiniteCount) - 1.0) / (Q - 1.0);
            if (!std::isfinite(Total) || Total > 1e12)
                Refuse("Бесконечные ребра слишком длинны: уменьшите число элементов на "
                       "бесконечных ребрах или множитель для них");
        }
    }

    double N = 0.0;
    for (const TEdge& E : Model.Items) {
        switch (E.Kind) {
        case ekClosed:
            for (const TEdgeSegment& S : E.Segments)
                N += M.PieceCount(Distance(S.P1, S.P2));
            break;
        case ekSemiInfinite: {
            if (E.Count() == 0)
                break;
            if (M.Graded && E.Count() < 2)
                Refuse("Полубесконечная область из одного ребра не может быть разбита на "
                       "неодинаковые элементы: она должна иметь не менее двух ребер");
            CheckTail(E.Segments.front(), M);
            CheckTail(E.Segments.back(), M);
            const int From = M.Graded ? 1 : 0;
            const int To = M.Graded ? E.Count() - 1 : E.Count();
            for (int I = From; I < To; ++I) {
                const TEdgeSegment& S = E.Segments[static_cast<std::size_t>(I)];
                N += M.PieceCount(Distance(S.P1, S.P2));
            }
            N += 2.0 * M.InfiniteCount;
            break;
        }
        case ekCylinder: {
            const TCylPlan P = PlanCylinder(E, M);
            N += P.ArcCount + P.SlitCount;
            break;
        }
        default:
            Refuse("Неизвестный тип границы: " + std::to_string(static_cast<int>(E.Kind)));
        }
    }
    CheckElementCount(N);
    return N;
}

// Uniform split of A -> B into N elements; the running point is advanced by the step.
void SplitUniform(TRealPoint A, TRealPoint B, double V, int N, TEdgeElementArray& Out) {
    if (N <= 0)
        return;
    const TRealPoint Step = (B - A) / static_cast<double>(N);
    TRealPoint P = A;
    for (int K = 0; K < N; ++K) {
        TEdgeElement E;
        E.P2 = P;
        P = P + Step;
        E.P1 = P;
        E.V = V;
        Out.push_back(E);
    }
}

// A tail from S along D: lengths Step, Step*Q, ... NearIsP1 selects which end of each
// element is the nearer one.
void AddTail(TRealPoint S, TRealPoint D, int N, double Step, double Q, bool NearIsP1,
             TEdgeElementArray& Out) {
    double Sum = 0.0;
    double Len = Step;
    for (int K = 0; K < N; ++K) {
        TEdgeElement E;
        const TRealPoint Near = S + Sum * D;
        const TRealPoint Far = Near + Len * D;
        E.P1 = NearIsP1 ? Near : Far;
        E.P2 = NearIsP1 ? Far : Near;
        E.V = 0.0;
        Out.push_back(E);
        Sum += Len;
        Len *= Q;
    }
}

void Discretize(TEdgeElements& Target, const TEdges& Model, const TMethod& M) {
    const double Total = CountElements(Model, M);

    TEdgeElements R;
    R.Elements.reserve(static_cast<std::size_t>(Total));
    for (const TEdge& E : Model.Items) {
        if (E.Kind == ekClosed || E.Kind == ekSemiInfinite) {
            R.Edges.Add(E);
            const bool Semi = E.Kind == ekSemiInfinite;
            const int From = (Semi && M.Graded) ? 1 : 0;
            const int To = (Semi && M.Graded) ? E.Count() - 1 : E.Count();
            for (int I = From; I < To; ++I) {
                const TEdgeSegment& S = E.Segments[static_cast<std::size_t>(I)];
                const int N = ToCount(M.PieceCount(Distance(S.P1, S.P2)));
                if (M.Graded)
                    DiscretizeSegmentGraded(S.P1, S.P2, S.V, N, M.Step, M.Scaler, R.Elements);
                else
                    SplitUniform(S.P1, S.P2, S.V, N, R.Elements);
            }
            if (Semi && E.Count() > 0 && M.InfiniteCount > 0) {
                const TEdgeSegment First = E.FirstSegment();
                const TEdgeSegment Last = E.LastSegment();
                if (M.Graded) {
                    AddTail(First.P2, UnitVector(First.P2, First.P1), M.InfiniteCount, M.Step,
                            M.InfiniteScaler, true, R.Elements);
                    AddTail(Last.P1, UnitVector(Last.P1, Last.P2), M.InfiniteCount, M.Step,
                            M.InfiniteScaler, false, R.Elements);
                } else {
                    AddTail(First.P1, UnitVector(First.P2, First.P1), M.InfiniteCount, M.Step, 1.5,
                            true, R.Elements);
                    AddTail(Last.P2, UnitVector(Last.P1, Last.P2), M.InfiniteCount, M.Step,
                            M.InfiniteScaler, false, R.Elements);
                }
            }
        } else {
            const TCylPlan P = PlanCylinder(E, M);
            const TEdgeSegment S0 = E.GetSegment(0);
            const TEdgeSegment S1 = E.GetSegment(1);
            const int ArcCount = ToCount(P.ArcCount);
            const int SlitCount = ToCount(P.SlitCount);
            TCylInfo Info;
            Info.Center = P.C;
            Info.R = P.R;
            Info.V = S0.V;
            Info.FirstElement = static_cast<std::int32_t>(R.Elements.size());
            Info.ElementCount = ArcCount + SlitCount;
            Info.EdgeIndex = R.Edges.Count();
            R.CylInfos.push_back(Info);
            TEdge Polygon(ekClosed);
            if (P.Slit) {
                if (S0.V != 0.0)
                    R.HasRotatingSlit = true;
                TEdgeSegment Chord;
                Chord.P1 = P.Ps;
                Chord.P2 = P.Pe;
                Chord.V = S1.V;
                Polygon.AddSegment(Chord);
                if (M.Graded)
                    DiscretizeSegmentGraded(P.Ps, P.Pe, S1.V, SlitCount, M.Step, M.Scaler,
                                            R.Elements);
                else
                    SplitUniform(P.Ps, P.Pe, S1.V, SlitCount, R.Elements);
            }
            double Phi = DegToRad(P.EndDeg);
            const double Delta = DegToRad(P.SpanDeg) / ArcCount;
            for (int K = 0; K < ArcCount; ++K) {
                TEdgeElement El;
                El.P2 = P.C + P.R * TRealPoint{std::cos(Phi), std::sin(Phi)};
                Phi += Delta;
                El.P1 = P.C + P.R * TRealPoint{std::cos(Phi), std::sin(Phi)};
                El.V = 0.0;
                R.Elements.push_back(El);
                TEdgeSegment Side;
                Side.P1 = El.P2;
                Side.P2 = El.P1;
                Side.V = 0.0;
                Polygon.AddSegment(Side);
            }
            R.Edges.Add(std::move(Polygon));
        }
    }
    R.Count = static_cast<int>(R.Elements.size());
    R.CylCount = static_cast<int>(R.CylInfos.size());
    R.Touch();
    Target = std::move(R);
}

} // namespace

void CheckElementCount(double N) {
    // The solve without the matrix holds a few thousand bytes per element.
    const long Pages = sysconf(_SC_PHYS_PAGES);
    const long PageSize = sysconf(_SC_PAGESIZE);
    double Memory = (Pages > 0 && PageSize > 0) ? static_cast<double>(Pages) * PageSize : 0.0;
    if (Memory <= 0.0)
        Memory = 8.0 * 1024 * 1024 * 1024;
    if (!(N * 4096.0 <= Memory) || !(N <= std::numeric_limits<std::int32_t>::max()))
        Refuse("Слишком много граничных элементов: " + Count(N) +
               ".\rДля решения системы из стольких уравнений не хватит памяти; увеличьте "
               "длину элементов.");
}

int GradedCount(double L, double Step, double Scaler) {
    return ToCount(GradedCountReal(L, Step, Scaler));
}

int EqualCount(double L, double Step) {
    return ToCount(EqualCountReal(L, Step));
}

void DiscretizeSegmentGraded(TRealPoint A, TRealPoint B, double V, int N, double Step,
                             double Scaler, TEdgeElementArray& Out) {
    if (N <= 0)
        return;
    const TRealPoint D = UnitVector(A, B);
    const int H = N / 2 - 1;
    TRealPoint P = A;
    double Len = Step;
    const auto Add = [&](TRealPoint Move) {
        TEdgeElement E;
        E.P2 = P;
        P = P + Move;
        E.P1 = P;
        E.V = V;
        Out.push_back(E);
    };
    for (int K = 0; K < H; ++K) {
        Add(Len * D);
        Len *= Scaler;
    }
    const TRealPoint W = (A + B) / 2.0 - P;
    Add(W);
    Add(W);
    for (int K = 0; K < H; ++K) {
        Len /= Scaler;
        Add(Len * D);
    }
}

void TEdgeElements::Touch() {
    Generation = ++GenerationCounter;
}

double PlannedElementCount(const TEdges& Model, bool Graded, int InfiniteCount, double Step,
                           double Scaler, double CylStep, double InfiniteScaler) {
    TMethod M;
    M.Graded = Graded;
    M.InfiniteCount = InfiniteCount;
    M.Step = Step;
    M.Scaler = Graded ? Scaler : 0.0;
    M.CylStep = Graded ? CylStep : 0.0;
    M.InfiniteScaler = InfiniteScaler;
    return CountElements(Model, M);
}

void TEdgeElements::DiscretizeEqual(const TEdges& Model, int InfiniteCount, double Step,
                                    double InfiniteScaler) {
    TMethod M;
    M.Graded = false;
    M.InfiniteCount = InfiniteCount;
    M.Step = Step;
    M.InfiniteScaler = InfiniteScaler;
    Discretize(*this, Model, M);
}

void TEdgeElements::DiscretizeGraded(const TEdges& Model, int InfiniteCount, double Step,
                                     double Scaler, double CylStep, double InfiniteScaler) {
    TMethod M;
    M.Graded = true;
    M.InfiniteCount = InfiniteCount;
    M.Step = Step;
    M.Scaler = Scaler;
    M.CylStep = CylStep;
    M.InfiniteScaler = InfiniteScaler;
    Discretize(*this, Model, M);
}

void TEdgeElements::RefineInRect(TRealPoint C1, TRealPoint C2) {
    // One pass that builds the new list: each element is halved at most once, and the
    // cylinder ranges follow the insertions exactly as a walk over the growing list.
    TEdgeElementArray Out;
    Out.reserve(Elements.size() + Elements.size() / 4 + 10);
    for (const TEdgeElement& E : Elements) {
        const int I = static_cast<int>(Out.size());
        if (PointInBox(E.P1, C1, C2) || PointInBox(E.P2, C1, C2)) {
            for (TCylInfo& C : CylInfos) {
                if (I < C.FirstElement)
                    ++C.FirstElement;
                else if (I < C.FirstElement + C.ElementCount)
                    ++C.ElementCount;
            }
            const TRealPoint Mid = (E.P1 + E.P2) / 2.0;
            Out.push_back({Mid, E.P2, E.V});
            Out.push_back({E.P1, Mid, E.V});
        } else {
            Out.push_back(E);
        }
    }
    Out.shrink_to_fit();
    Elements = std::move(Out);
    Count = static_cast<int>(Elements.size());
    Touch();
}

void TEdgeElements::Draw(TDrawSurface& Canvas, int OriginX, int OriginY,
                         double PixelsPerMetre) const {
    // Far tail elements would leave the int range of a pixel.
    const auto Px = [&](double V) { return ScreenPixel(V * PixelsPerMetre); };
    Canvas.SetPenMode(TPenMode::pmCopy);
    for (std::size_t I = 0; I < Elements.size(); ++I) {
        const TEdgeElement& E = Elements[I];
        Canvas.SetPenColor(I % 2 == 0 ? clNavy : clLime);
        Canvas.MoveTo(Px(E.P1.X) + OriginX, OriginY - Px(E.P1.Y));
        Canvas.LineTo(Px(E.P2.X) + OriginX, OriginY - Px(E.P2.Y));
    }
}

namespace {

// How far a stored element end may lie from where the discretisation puts it: the
// rounding of the running sums, relative to the piece and to its coordinates.
double Tolerance(TRealPoint A, TRealPoint B) {
    const double Size = std::max({1.0, std::abs(A.X), std::abs(A.Y), std::abs(B.X), std::abs(B.Y)});
    return 1e-7 * Distance(A, B) + 1e-12 * Size;
}

bool NearSegment(TRealPoint P, TRealPoint A, TRealPoint B, double Tol) {
    const double L = Distance(A, B);
    if (!FinitePoint(P))
        return false;
    if (L == 0.0)
        return Distance(P, A) <= Tol;
    const TRealPoint D = (B - A) / L;
    const double Along = DotProduct(P - A, D);
    return Along >= -Tol && Along <= L + Tol && std::abs(CrossProduct(D, P - A)) <= Tol;
}

// A tail runs from From along the unit vector D; its elements may reach far out.
bool NearRay(TRealPoint P, TRealPoint From, TRealPoint D, double Tol) {
    if (!FinitePoint(P))
        return false;
    const double Along = DotProduct(P - From, D);
    return Along >= -Tol && std::abs(CrossProduct(D, P - From)) <= Tol + 1e-9 * std::abs(Along);
}

// Walks the stored elements against the pieces the discretisation made them from. Each
// piece's elements form a chain (one element's end is the next one's start, bit for
// bit, through any refinement), from the piece's start to its end: a changed byte
// breaks the chain or moves it off its piece.
class TElementWalk {
public:
    explicit TElementWalk(const TEdgeElementArray& Elements) : E(Elements) {}

    bool Done() const { return K == E.size(); }
    bool StartsAt(TRealPoint A, double Tol) const {
        return K < E.size() && Distance(E[K].P2, A) <= Tol;
    }
    // The chain of one straight piece A -> B with the velocity V.
    bool Straight(TRealPoint A, TRealPoint B, double V) {
        const double Tol = Tolerance(A, B);
        if (!StartsAt(A, Tol))
            return false;
        for (; K < E.size(); ++K) {
            const TEdgeElement& El = E[K];
            if (El.V != V || !NearSegment(El.P1, A, B, Tol) || !NearSegment(El.P2, A, B, Tol))
                return false;
            if (Distance(El.P1, B) <= Tol) {
                ++K;
                return true;
            }
            if (K + 1 >= E.size() || !Same(E[K + 1].P2, El.P1))
                return false;
        }
        return false;
    }
    // The tails of a semi-infinite boundary, as many elements as lie on them.
    void Tails(TRealPoint S1, TRealPoint D1, TRealPoint S2, TRealPoint D2, double Tol) {
        while (K < E.size() && E[K].V == 0.0 &&
               ((NearRay(E[K].P1, S1, D1, Tol) && NearRay(E[K].P2, S1, D1, Tol)) ||
                (NearRay(E[K].P1, S2, D2, Tol) && NearRay(E[K].P2, S2, D2, Tol))))
            ++K;
    }
    // The chords of a cylinder's arc: from Start round to End, every end on the circle
    // or (refined) on a chord of it, without velocity of their own.
    bool Arc(TRealPoint C, double R, TRealPoint Start, TRealPoint End, std::size_t Last) {
        const double Tol = 1e-9 * std::max({1.0, R, std::abs(C.X), std::abs(C.Y)});
        if (!StartsAt(Start, Tol) || Last > E.size() || K >= Last)
            return false;
        const auto Inside = [&](TRealPoint P) {
            const double D = Distance(P, C);
            return FinitePoint(P) && D <= R + Tol && D >= R / 2.0 - Tol;
        };
        for (; K < Last; ++K) {
            const TEdgeElement& El = E[K];
            if (El.V != 0.0 || !Inside(El.P1) || !Inside(El.P2))
                return false;
            if (K + 1 < Last && !Same(E[K + 1].P2, El.P1))
                return false;
        }
        return Distance(E[Last - 1].P1, End) <= Tol;
    }
    std::size_t Position() const { return K; }

private:
    static bool Same(TRealPoint A, TRealPoint B) { return A.X == B.X && A.Y == B.Y; }
    const TEdgeElementArray& E;
    std::size_t K = 0;
};

} // namespace

bool TEdgeElements::ElementsFollow(const TEdges& Model) const {
    if (Count < 0 || static_cast<std::size_t>(Count) != Elements.size())
        return false;
    TElementWalk W(Elements);
    for (int EI = 0; EI < Model.Count(); ++EI) {
        const TEdge& Edge = Model.Item(EI);
        if (Edge.Kind == ekCylinder) {
            const auto Info = std::find_if(CylInfos.begin(), CylInfos.end(),
                                           [EI](const TCylInfo& C) { return C.EdgeIndex == EI; });
            if (Info == CylInfos.end() || Info->FirstElement < 0 || Info->ElementCount <= 0 ||
                static_cast<std::size_t>(Info->FirstElement) != W.Position())
                return false;
            const std::size_t Last = W.Position() + static_cast<std::size_t>(Info->ElementCount);
            TRealPoint Ps;
            TRealPoint Pe;
            double Span = 0.0;
            const bool Slit = SlitEnds(Edge, Ps, Pe, Span);
            if (Slit && !W.Straight(Ps, Pe, Edge.GetSegment(1).V))
                return false;
            if (!W.Arc(Info->Center, Info->R, Pe, Slit ? Ps : Pe, Last))
                return false;
            continue;
        }
        const bool Semi = Edge.Kind == ekSemiInfinite;
        for (int I = 0; I < Edge.Count(); ++I) {
            const TEdgeSegment& S = Edge.Segments[static_cast<std::size_t>(I)];
            if (Distance(S.P1, S.P2) == 0.0)
                continue;
            // The graded method leaves the end segments of a semi-infinite boundary to
            // its tails.
            if (Semi && (I == 0 || I == Edge.Count() - 1) &&
                !W.StartsAt(S.P1, Tolerance(S.P1, S.P2)))
                continue;
            if (!W.Straight(S.P1, S.P2, S.V))
                return false;
        }
        if (Semi && Edge.Count() > 0) {
            const TEdgeSegment First = Edge.FirstSegment();
            const TEdgeSegment Last = Edge.LastSegment();
            if (Distance(First.P1, First.P2) > 0.0 && Distance(Last.P1, Last.P2) > 0.0)
                W.Tails(First.P2, UnitVector(First.P2, First.P1), Last.P1,
                        UnitVector(Last.P1, Last.P2),
                        std::max(Tolerance(First.P1, First.P2), Tolerance(Last.P1, Last.P2)));
        }
    }
    return W.Done();
}

bool TEdgeElements::Describes(const TEdges& Model) const {
    if (Edges.Count() != Model.Count())
        return false;
    for (int E = 0; E < Model.Count(); ++E) {
        const TEdge& Wanted = Model.Item(E);
        const TEdge& Kept = Edges.Item(E);
        if (Wanted.Kind != ekCylinder) {
            if (!Kept.SameAs(Wanted))
                return false;
            continue;
        }
        // A cylinder is kept as its centre, radius and surface velocity, and as the
        // polygon of its elements, which starts where the arc starts: with the chord
        // of the slit, when there is one.
        const auto Info = std::find_if(CylInfos.begin(), CylInfos.end(),
                                       [E](const TCylInfo& C) { return C.EdgeIndex == E; });
        if (Info == CylInfos.end() || Wanted.Count() < 2 || Kept.Kind != ekClosed ||
            Kept.Count() == 0)
            return false;
        const TEdgeSegment S0 = Wanted.GetSegment(0);
        if (Info->Center.X != S0.P1.X || Info->Center.Y != S0.P1.Y || Info->R != S0.P2.X ||
            Info->V != S0.V)
            return false;
        TRealPoint Ps;
        TRealPoint Pe;
        double Span = 0.0;
        const bool Slit = SlitEnds(Wanted, Ps, Pe, Span);
        const TEdgeSegment First = Kept.FirstSegment();
        const double Tolerance = 1e-9 * std::max(1.0, Info->R);
        const bool Fits = Slit ? Distance(First.P1, Ps) <= Tolerance &&
                                     Distance(First.P2, Pe) <= Tolerance &&
                                     First.V == Wanted.GetSegment(1).V
                               : Distance(First.P1, Pe) <= Tolerance && First.V == 0.0;
        if (!Fits)
            return false;
    }
    return ElementsFollow(Model);
}

} // namespace kalvex
