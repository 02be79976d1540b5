#include "ModelBuilders.h"
#include "geometry/uAirSide.h"

#include <gtest/gtest.h>

#include <string>

using namespace kalvex;
using namespace kalvex::test;

namespace {

TEdges Example(const char* Name) {
    TEdges M;
    M.LoadFromFile(std::string(KALVEX_EXAMPLES_DIR "/") + Name);
    return M;
}

// A box hood 1 m by 0.75 m, clockwise (air inside): in at the left, out at the roof.
TEdge HoodBox() {
    return Polygon({{0, 0}, {0, 0.75}, {1, 0.75}, {1, 0}}, {-1, 0.75, 0, 0});
}

} // namespace

TEST(AirSide, ShippedExamplesPass) {
    for (const char* Name : {"hood.asp", "slot.asp", "cylinder.asp", "hood_probe.asp"})
        EXPECT_TRUE(AirSideFaults(Example(Name)).empty()) << Name;
}

TEST(AirSide, HoodDrawnCounterClockwiseIsNamed) {
    TEdges M = Example("hood.asp");
    M.Item(0).Invert();
    EXPECT_EQ(AirSideFaults(M), std::vector<int>{0});
    EXPECT_EQ(AirSideText({0}),
              "Граница 1: сторона воздуха не обращена ни к отсосу, ни к другой границе.");
}

TEST(AirSide, FloorWithTheAirBelowAPlateIsNamed) {
    TEdges M = Example("hood_probe.asp");
    M.Item(0).Invert(); // the floor now puts the air beneath it, the plate in its solid
    EXPECT_EQ(AirSideFaults(M), std::vector<int>{0});
    M.Item(0).Invert();
    M.Item(1).Invert(); // the plate an enclosure: the floor lies in its solid
    EXPECT_EQ(AirSideFaults(M), std::vector<int>{1});
}

TEST(AirSide, EnclosureAroundACylinder) {
    TEdges M = ModelOf({HoodBox(), Cylinder({0.5, 0.4}, 0.1, 1.0)});
    EXPECT_TRUE(AirSideFaults(M).empty());
    M.Item(0).Invert();
    EXPECT_EQ(AirSideFaults(M), std::vector<int>{0});
}

TEST(AirSide, EnclosureWithoutAnOpeningIsNamed) {
    EXPECT_TRUE(AirSideFaults(ModelOf({HoodBox()})).empty());
    EXPECT_EQ(AirSideFaults(ModelOf({Polygon({{0, 0}, {0, 1}, {1, 1}, {1, 0}})})),
              std::vector<int>{0});
    EXPECT_EQ(AirSideText({0, 2}),
              "Граница 1: сторона воздуха не обращена ни к отсосу, ни к другой границе.\r"
              "Граница 3: сторона воздуха не обращена ни к отсосу, ни к другой границе.");
}

TEST(AirSide, ARegionDrawnAroundTheOthersEnclosesThem) {
    TEdges M = ModelOf({Cylinder({0.5, 0.4}, 0.1, 1.0), HoodBox()});
    M.Item(1).Invert(); // drawn counter-clockwise round the cylinder
    EXPECT_TRUE(OrientDrawnRegion(M, 1));
    EXPECT_TRUE(M.Item(1).Clockwise());
    EXPECT_FALSE(OrientDrawnRegion(M, 1));
    // Beside a floor, around nothing: a body, whichever way it was drawn.
    TEdges P = Example("hood_probe.asp");
    P.Item(1).Invert();
    EXPECT_TRUE(OrientDrawnRegion(P, 1));
    EXPECT_FALSE(P.Item(1).Clockwise());
    // Around some of the others only: left as drawn.
    TEdges Mixed = ModelOf({Cylinder({0.5, 0.4}, 0.1), Cylinder({5, 5}, 0.1), HoodBox()});
    EXPECT_FALSE(OrientDrawnRegion(Mixed, 2));
}
