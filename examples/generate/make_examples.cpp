// Writes the example systems with the program's own writer.
// Usage: make-examples OUTPUT_DIR
//
// Orientation: the flow region lies on the right-hand side of travel along a boundary's
// segments (UnitNormal side); a positive V is suction, air leaving the region there.
// Coordinates are chosen as exact binary fractions so that the flows balance exactly.
#include "geometry/uEdges.h"

#include <cstdio>
#include <exception>
#include <string>
#include <vector>

using namespace kalvex;

namespace {

struct TVertexV {
    double X, Y;
    double V; // velocity of the segment that starts at this vertex
};

TEdgeSegment Segment(TRealPoint P1, TRealPoint P2, double V) {
    TEdgeSegment S;
    S.P1 = P1;
    S.P2 = P2;
    S.V = V;
    return S;
}

// A closed region through the vertices; the last segment returns to the first vertex.
TEdge ClosedRegion(const std::vector<TVertexV>& Vs) {
    TEdge E(ekClosed);
    for (std::size_t I = 0; I < Vs.size(); ++I) {
        const TVertexV& A = Vs[I];
        const TVertexV& B = Vs[(I + 1) % Vs.size()];
        E.AddSegment(Segment({A.X, A.Y}, {B.X, B.Y}, A.V));
    }
    return E;
}

// An open chain; its first and last segments stand for rays to infinity.
TEdge SemiInfinite(const std::vector<TVertexV>& Vs) {
    TEdge E(ekSemiInfinite);
    for (std::size_t I = 0; I + 1 < Vs.size(); ++I)
        E.AddSegment(Segment({Vs[I].X, Vs[I].Y}, {Vs[I + 1].X, Vs[I + 1].Y}, Vs[I].V));
    return E;
}

TEdge Cylinder(TRealPoint Centre, double R, double TurnSpeed, bool Slit, double Angle1,
               double Angle2, double SlitV) {
    TEdge E(ekCylinder);
    TEdgeSegment S0;
    S0.P1 = Centre;
    S0.P2 = {R, 0.0};
    S0.V = TurnSpeed;
    TEdgeSegment S1 = S0;
    S1.P1 = {Angle1, Angle2};
    S1.V = SlitV;
    S0.SetHasSlit(Slit);
    E.AddSegment(S0);
    E.AddSegment(S1);
    return E;
}

// A slot 0.1 m wide sucking at 1 m/s in a long straight wall; air above the wall.
TEdges Slot() {
    TEdges M;
    M.Add(SemiInfinite({{1.0, 0.0, 0.0}, {0.05, 0.0, 1.0}, {-0.05, 0.0, 0.0}, {-1.0, 0.0, 0.0}}));
    return M;
}

// A closed hood 1 m by 0.75 m: air enters through a 0.25 m gap low in the left wall
// at 1 m/s and is sucked off through a 0.125 m opening in the roof at 2 m/s.
// Clockwise, so that the air is inside.
TEdges Hood() {
    TEdges M;
    M.Add(ClosedRegion({{0.0, 0.0, -1.0},
                        {0.0, 0.25, 0.0},
                        {0.0, 0.75, 0.0},
                        {0.4375, 0.75, 2.0},
                        {0.5625, 0.75, 0.0},
                        {1.0, 0.75, 0.0},
                        {1.0, 0.0, 0.0}}));
    return M;
}

// A cylinder of radius 0.2 m turning at 1 m/s above a floor, with a 60-degree slit facing
// the floor that sucks at 2 m/s.
TEdges RotatingCylinder() {
    TEdges M;
    M.Add(SemiInfinite({{2.0, 0.0, 0.0}, {0.5, 0.0, 0.0}, {-0.5, 0.0, 0.0}, {-2.0, 0.0, 0.0}}));
    M.Add(Cylinder({0.0, 0.5}, 0.2, 1.0, true, 240.0, 300.0, 2.0));
    return M;
}

// A slot sucking at 2 m/s in a floor with a plate (a closed body, air outside) above
// and beside it: a starting point for searches of the suction velocity.
TEdges HoodProbe() {
    TEdges M;
    M.Add(SemiInfinite({{1.0, 0.0, 0.0}, {0.05, 0.0, 2.0}, {-0.05, 0.0, 0.0}, {-1.0, 0.0, 0.0}}));
    // Counter-clockwise, so that the air is outside the plate.
    M.Add(ClosedRegion(
        {{0.25, 0.25, 0.0}, {0.75, 0.25, 0.0}, {0.75, 0.3125, 0.0}, {0.25, 0.3125, 0.0}}));
    return M;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make-examples OUTPUT_DIR\n");
        return 2;
    }
    const std::string Dir = argv[1];
    struct TExample {
        const char* Name;
        TEdges Model;
    };
    std::vector<TExample> Examples;
    Examples.push_back({"slot.asp", Slot()});
    Examples.push_back({"hood.asp", Hood()});
    Examples.push_back({"cylinder.asp", RotatingCylinder()});
    Examples.push_back({"hood_probe.asp", HoodProbe()});
    try {
        for (const auto& E : Examples) {
            if (!E.Model.IsValid()) {
                std::fprintf(stderr, "make-examples: %s has crossing boundaries\n", E.Name);
                return 1;
            }
            E.Model.SaveToFile(Dir + "/" + E.Name);
            std::printf("%s\n", E.Name);
        }
    } catch (const std::exception& Ex) {
        std::fprintf(stderr, "%s\n", Ex.what());
        return 1;
    }
    return 0;
}
