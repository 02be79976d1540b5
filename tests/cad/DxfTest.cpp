// Chaining, units and refusals of the DXF import, on drawings given as pieces.
#include "cad/uDxf.h"

#include <gtest/gtest.h>

#include <numbers>
#include <string>

namespace kalvex::test {
namespace {

TDxfPath Line(double X1, double Y1, double X2, double Y2) {
    return {{RealPoint(X1, Y1), RealPoint(X2, Y2)}, false};
}

// A 100 x 50 rectangle in millimetres from four loose lines, out of order, one reversed,
// with the last corner Gap off.
TDxfDrawing Rectangle(double Gap) {
    TDxfDrawing D;
    D.Units = TDxfUnits::Millimetres;
    D.Paths = {Line(100, 50, 0, 50), Line(0, 0, 100, 0), Line(100, 50, 100, 0),
               Line(0, 50, 0, Gap)};
    return D;
}

TEST(DxfImport, EndsWithinTheToleranceChainIntoOneClosedRegion) {
    const TEdges E = ImportDxf(Rectangle(0.05), {});
    ASSERT_EQ(E.Count(), 1);
    EXPECT_EQ(E.Item(0).Kind, ekClosed);
    EXPECT_EQ(E.Item(0).Count(), 4);
    // Alone, it is an enclosure: clockwise, so that the air is inside.
    EXPECT_TRUE(E.PointInAir(RealPoint(0.05, 0.025)));
    for (const TEdgeSegment& S : E.Item(0).Segments)
        EXPECT_NEAR(Distance(S.P1, S.P2), S.P1.X == S.P2.X ? 0.05 : 0.1, 1e-4);
}

TEST(DxfImport, EndsBeyondTheToleranceStayOpen) {
    // Open, its rays would run along its own sides.
    EXPECT_THROW(ImportDxf(Rectangle(0.2), {}), TRefusal);
    TDxfImportOptions Wide;
    Wide.Tolerance = 0.0003;
    EXPECT_EQ(ImportDxf(Rectangle(0.2), Wide).Item(0).Kind, ekClosed);
}

TEST(DxfImport, OpenChainsBecomeSemiInfiniteOnlyWhenAllowed) {
    TDxfDrawing D = Rectangle(0);
    D.Paths.pop_back(); // a hood: three sides
    EXPECT_THROW(ImportDxf(D, {}), TDxfOpenChains);
    TDxfImportOptions Open;
    Open.OpenChainsSemiInfinite = true;
    const TEdges E = ImportDxf(D, Open);
    ASSERT_EQ(E.Count(), 1);
    EXPECT_EQ(E.Item(0).Kind, ekSemiInfinite);
    EXPECT_EQ(E.Item(0).Count(), 3);
}

TEST(DxfImport, AClosedRegionInsideAnotherIsABody) {
    TDxfDrawing D = Rectangle(0);
    D.Paths.push_back({{RealPoint(40, 20), RealPoint(60, 20), RealPoint(60, 30)}, true});
    const TEdges E = ImportDxf(D, {});
    ASSERT_EQ(E.Count(), 2);
    EXPECT_TRUE(E.PointInAir(RealPoint(0.01, 0.01)));
    EXPECT_FALSE(E.PointInAir(RealPoint(0.058, 0.022)));
}

TEST(DxfImport, UnitsFromTheDrawingUnlessGiven) {
    TDxfDrawing D = Rectangle(0);
    D.Units.reset();
    EXPECT_THROW(ImportDxf(D, {}), TDxfUnitsUnknown);
    TDxfImportOptions Inches;
    Inches.Units = TDxfUnits::Inches;
    TRealPoint TopLeft, BottomRight;
    ImportDxf(D, Inches).GetBounds(TopLeft, BottomRight);
    EXPECT_NEAR(BottomRight.X, 2.54, 1e-12);
    D.Units = TDxfUnits::Centimetres;
    ImportDxf(D, {}).GetBounds(TopLeft, BottomRight);
    EXPECT_NEAR(BottomRight.X, 1.0, 1e-12);
}

TEST(DxfImport, BranchesCrossingsAndSkippedEntitiesInOneMessage) {
    TDxfDrawing D = Rectangle(0);
    D.Paths.push_back(Line(0, 0, -50, -50)); // a third end at a corner
    D.Skipped = {"сплайн: 2"};
    D.SkippedEnglish = {"spline: 2"};
    try {
        ImportDxf(D, {});
        FAIL() << "imported";
    } catch (const TRefusal& E) {
        const std::string Text = E.what();
        EXPECT_EQ(Text.rfind("Невозможно импортировать чертёж:\rсплайн: 2\r", 0), 0u) << Text;
        EXPECT_NE(Text.find("цепочка ветвится у точки (0; 0)"), std::string::npos) << Text;
        EXPECT_NE(E.English().find("the chain branches at (0, 0)"), std::string::npos);
    }
}

TEST(DxfImport, ArcsGetTheArcConversionsSegmentCounts) {
    EXPECT_EQ(DxfArcSegments(std::numbers::pi), 10);
    EXPECT_EQ(DxfArcSegments(0.01), 2);
    EXPECT_EQ(DxfArcSegments(2 * std::numbers::pi), 20);
    EXPECT_EQ(DxfArcSegments(-std::numbers::pi / 2), 5);
}

TEST(DxfImport, BulgesAndUnreadableTextFromTheReader) {
    // A closed LWPOLYLINE with one half-circle bulge, in metres.
    const std::string Text = "0\nSECTION\n2\nHEADER\n9\n$INSUNITS\n70\n6\n0\nENDSEC\n"
                             "0\nSECTION\n2\nENTITIES\n0\nLWPOLYLINE\n8\n0\n90\n3\n70\n1\n"
                             "10\n0\n20\n0\n42\n1\n10\n2\n20\n0\n10\n2\n20\n-1\n"
                             "0\nTEXT\n8\n0\n10\n0\n20\n0\n40\n1\n1\nx\n0\nENDSEC\n0\nEOF\n";
    const TDxfDrawing D = ParseDxf(Text);
    ASSERT_EQ(D.Units, TDxfUnits::Metres);
    ASSERT_EQ(D.Paths.size(), 1u);
    EXPECT_TRUE(D.Paths[0].Closed);
    EXPECT_EQ(D.Paths[0].Points.size(), 10u + 2u);
    EXPECT_NEAR(D.Paths[0].Points[5].X, 1.0, 1e-12);
    EXPECT_NEAR(D.Paths[0].Points[5].Y, -1.0, 1e-12); // counter-clockwise from (0, 0): below
    EXPECT_EQ(D.SkippedEnglish, std::vector<std::string>{"text: 1"});
}

} // namespace
} // namespace kalvex::test
