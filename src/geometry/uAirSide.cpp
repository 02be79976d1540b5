#include "geometry/uAirSide.h"

#include <algorithm>

namespace kalvex {

namespace {

// Points that stand for a boundary: its segment midpoints, a cylinder's centre.
std::vector<TRealPoint> Samples(const TEdge& Edge) {
    std::vector<TRealPoint> Out;
    if (Edge.Kind == ekCylinder) {
        if (!Edge.Segments.empty())
            Out.push_back(Edge.Segments.front().P1);
        return Out;
    }
    for (const TEdgeSegment& S : Edge.Segments)
        Out.push_back((S.P1 + S.P2) / 2.0);
    return Out;
}

// Whether a ray from some segment's middle into the air meets a boundary.
bool FacesSomething(const TEdges& Model, const TEdge& Edge) {
    for (const TEdgeSegment& S : Edge.Segments) {
        const double L = Distance(S.P1, S.P2);
        if (L <= GeomEps)
            continue;
        const TRealPoint N = UnitNormal(S.P1, S.P2); // the air side
        // Off the segment itself, which the ray would otherwise meet at its start.
        const TRealPoint From = (S.P1 + S.P2) / 2.0 + std::max(1e-6 * L, 1e-8) * N;
        if (Model.RayHitsBoundary(From, From + N))
            return true;
    }
    return false;
}

bool HasOpening(const TEdge& Edge) {
    return std::any_of(Edge.Segments.begin(), Edge.Segments.end(),
                       [](const TEdgeSegment& S) { return S.V != 0; });
}

} // namespace

std::vector<int> AirSideFaults(const TEdges& Model) {
    std::vector<int> Faults;
    for (int I = 0; I < Model.Count(); ++I) {
        const TEdge& Edge = Model.Item(I);
        if (Edge.Kind == ekCylinder || Edge.Count() < 2)
            continue;
        bool Buries = false;   // another boundary on the solid side
        bool InItsAir = false; // another boundary on the air side
        for (int J = 0; J < Model.Count(); ++J) {
            if (J == I)
                continue;
            for (const TRealPoint P : Samples(Model.Item(J))) {
                if (Edge.PointInAir(P))
                    InItsAir = true;
                else
                    Buries = true;
            }
        }
        bool Fault = Buries;
        if (Edge.Kind == ekClosed && !Fault && !InItsAir) {
            // Alone: an enclosure needs an opening, a body in endless air a hollow of
            // its own that its openings face.
            if (Edge.Clockwise())
                Fault = !HasOpening(Edge);
            else
                Fault = !FacesSomething(Model, Edge);
        }
        if (Fault)
            Faults.push_back(I);
    }
    return Faults;
}

bool OrientDrawnRegion(TEdges& Model, int Index) {
    TEdge& Edge = Model.Item(Index);
    if (Edge.Kind != ekClosed || Edge.Count() < 3)
        return false;
    // Turned clockwise, its air is its inside.
    TEdge Cw = Edge;
    if (!Cw.Clockwise())
        Cw.Invert();
    int Inside = 0;
    int Outside = 0;
    for (int J = 0; J < Model.Count(); ++J)
        if (J != Index)
            for (const TRealPoint P : Samples(Model.Item(J)))
                ++(Cw.PointInAir(P) ? Inside : Outside);
    const bool Enclosure = Outside == 0;
    if (!Enclosure && Inside != 0)
        return false;
    if (Edge.Clockwise() == Enclosure)
        return false;
    Edge.Invert();
    return true;
}

std::string AirSideText(const std::vector<int>& Faults) {
    std::string Out;
    for (const int I : Faults) {
        if (!Out.empty())
            Out += '\r';
        Out += "Граница " + std::to_string(I + 1) +
               ": сторона воздуха не обращена ни к отсосу, ни к другой границе.";
    }
    return Out;
}

std::string AirSideEnglish(const std::vector<int>& Faults) {
    std::string Out;
    for (const int I : Faults) {
        if (!Out.empty())
            Out += '\n';
        Out += "boundary " + std::to_string(I + 1) +
               ": its air side faces no opening and no other boundary (drawn the other way "
               "round?)";
    }
    return Out;
}

} // namespace kalvex
