#include "canvas/uAddEdges.h"

#include "base/uKalvexError.h"

#include <cmath>

namespace kalvex {

namespace {

void CheckVertices(const std::vector<TRealPoint>& Vertices) {
    if (Vertices.size() < 3)
        throw TRefusal(MsgTooFewVertices, "a region needs at least three vertices");
    for (const TRealPoint P : Vertices) {
        if (!(std::abs(P.X) <= MaxCoordinate))
            throw TRefusal(MsgCoordinateX, "x must lie within ±1e6 m");
        if (!(std::abs(P.Y) <= MaxCoordinate))
            throw TRefusal(MsgCoordinateY, "y must lie within ±1e6 m");
    }
}

[[noreturn]] void Crosses() {
    throw TRefusal(MsgBoundaryCrosses, "the boundary crosses another one, or itself");
}

TEdgeSegment Segment(const TEdgeSegment& Defaults, TRealPoint A, TRealPoint B) {
    TEdgeSegment S = Defaults;
    S.V = 0;
    S.P1 = A;
    S.P2 = B;
    return S;
}

} // namespace

bool DrawnSemiInfiniteSegmentHits(const TEdges& Model, TRealPoint A, TRealPoint B) {
    const int Drawn = Model.Count() - 1;
    const TEdge& Edge = Model.Item(Drawn);
    const TEdgeSegment& First = Edge.FirstSegment();
    const TEdgeSegment& Last = Edge.LastSegment();
    if (Model.SegmentCrossesOthers(A, B, Edge.Count() - 1, Drawn) ||
        SegmentsIntersect(A, B, Last.P1, Last.P2))
        return true;
    // A single segment is both ends: its first ray was skipped with it.
    return Edge.Count() == 1 && RaySegmentIntersect(First.P2, First.P1, A, B);
}

// The clicks of the closed-region tool, then its right click that closes the region.
void AddClosedRegion(TEdges& Model, const std::vector<TRealPoint>& Vertices,
                     const TEdgeSegment& Defaults) {
    CheckVertices(Vertices);
    TEdges Work = Model;
    Work.Add(TEdge(ekClosed));
    for (std::size_t K = 0; K < Vertices.size(); ++K) {
        const TRealPoint A = Vertices[K];
        const TRealPoint B = Vertices[(K + 1) % Vertices.size()];
        if (Distance(A, B) < GeomEps || Work.SegmentHitsBoundary(A, B))
            Crosses();
        Work.Last().AddSegment(Segment(Defaults, A, B));
    }
    Model = std::move(Work);
}

// The clicks of the semi-infinite tool: the first ray with the first segment, the
// segments as drawn, and the last ray when the right click finishes it.
void AddSemiInfiniteRegion(TEdges& Model, const std::vector<TRealPoint>& Vertices,
                           const TEdgeSegment& Defaults) {
    CheckVertices(Vertices);
    TEdges Work = Model;
    for (std::size_t K = 0; K + 1 < Vertices.size(); ++K) {
        const TRealPoint A = Vertices[K];
        const TRealPoint B = Vertices[K + 1];
        if (Distance(A, B) < GeomEps)
            Crosses();
        if (K == 0) {
            if (Work.RayHitsBoundary(B, A))
                Crosses();
            Work.Add(TEdge(ekSemiInfinite));
        } else if (DrawnSemiInfiniteSegmentHits(Work, A, B)) {
            Crosses();
        }
        Work.Last().AddSegment(Segment(Defaults, A, B));
    }
    const TEdgeSegment Last = Work.Last().LastSegment();
    if (Work.RayCrossesOthers(Last.P1, Last.P2, Work.Last().Count() - 1, Work.Count() - 1))
        Crosses();
    Model = std::move(Work);
}

void AddCylinder(TEdges& Model, TRealPoint Centre, double Radius, const TEdgeSegment& Defaults) {
    CheckVertices({Centre, Centre, Centre});
    if (!(Radius > 0) || !(Radius <= MaxCoordinate))
        throw TRefusal("Ошибка при вводе радиуса.", "the radius must be above 0 and within 1e6 m");
    if (Model.PointOnBoundary(Centre, Radius))
        throw TRefusal("Невозможно изменить координаты центра\rили радиус цилиндрической области.",
                       "the cylinder reaches a boundary");
    Model.Add(StillCylinder(Centre, Radius, Defaults));
}

TEdge StillCylinder(TRealPoint Centre, double Radius, const TEdgeSegment& Defaults) {
    TEdgeSegment S0 = Defaults;
    S0.V = 0;
    S0.P1 = Centre;
    S0.P2 = RealPoint(Radius, 0);
    S0.SetHasSlit(false);
    TEdgeSegment S1 = S0;
    S1.P1 = RealPoint(0, 0);
    TEdge Cylinder(ekCylinder);
    Cylinder.AddSegment(S0);
    Cylinder.AddSegment(S1);
    return Cylinder;
}

} // namespace kalvex
