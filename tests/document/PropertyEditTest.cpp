#include "ModelBuilders.h"
#include "base/uMessageNumber.h"
#include "document/uDocument.h"
#include "document/uPropertyEdit.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace kalvex;
using namespace kalvex::test;

namespace {

using TTexts = std::vector<std::string>;

const char* const CylRefusal =
    "Невозможно изменить координаты центра\rили радиус цилиндрической области.";

void Select(TDocument& Doc, TSelKind Kind, int Edge, int Segment) {
    ASSERT_TRUE(Doc.Canvas().Select({Kind, Edge, Segment}));
}

// A unit square (segment 0 runs (0,0)-(1,0)) and a cylinder of radius 0.5 at (5, 5)
// with a slit from 10 to 20 degrees at -3 m/s.
struct PropertyEditTest : testing::Test {
    PropertyEditTest() {
        Doc.Canvas().Edges.Add(Polygon({{0, 0}, {1, 0}, {1, 1}, {0, 1}}));
        Doc.Canvas().Edges.Add(Cylinder({5, 5}, 0.5, 0.0, true, 10, 20, -3));
    }
    TEdgeSegment S(int Edge, int Segment) const {
        return Doc.Canvas().Edges.Item(Edge).GetSegment(Segment);
    }
    TDocument Doc;
};

} // namespace

TEST_F(PropertyEditTest, PointFieldsReportEachBadFieldAndApplyTheOthers) {
    Select(Doc, skPoint, 0, 0); // (1, 0)
    TApplyOutcome Out = ApplyPointFields(Doc, 1.0, 0.0);
    EXPECT_EQ(Out.Messages, TTexts{});
    EXPECT_FALSE(Out.Changed);
    EXPECT_TRUE(Doc.Saved());

    // Letters in X, a valid Y: the message, and the point still moves in Y.
    Out = ApplyPointFields(Doc, std::nullopt, 0.25);
    EXPECT_EQ(Out.Messages, TTexts{"Ошибка при вводе координаты X."});
    EXPECT_TRUE(Out.Changed);
    EXPECT_FALSE(Doc.Saved());
    EXPECT_EQ(S(0, 0).P2.X, 1.0);
    EXPECT_EQ(S(0, 0).P2.Y, 0.25);
    EXPECT_EQ(S(0, 1).P1.Y, 0.25);

    EXPECT_EQ(ApplyPointFields(Doc, 2e6, 0.25).Messages, TTexts{"Ошибка при вводе координаты X."});
    EXPECT_EQ(S(0, 0).P2.X, 1.0);

    // Onto the opposite side: refused, the square stays, and the message says why.
    Out = ApplyPointFields(Doc, 0.5, 2.0);
    EXPECT_EQ(Out.Messages,
              TTexts{"Невозможно изменить координаты точки.\rГраницы при этом пересекутся."});
    EXPECT_FALSE(Out.Changed);
    EXPECT_EQ(S(0, 0).P2.Y, 0.25);
    // Onto the segment's other end.
    EXPECT_EQ(ApplyPointFields(Doc, 0.0, 0.0).Messages,
              TTexts{"Невозможно изменить координаты точки.\rКонцы отрезка при этом совпадут."});
}

TEST_F(PropertyEditTest, SegmentSpeed) {
    Select(Doc, skSegment, 0, 2);
    // The reason names the separator of the user's notation.
    SetMessageDecimalSeparator(',');
    const TTexts Comma{"Ошибка при задании скорости\rСкорость задаётся числом от -10000 до 10000 "
                       "м/с; дробная часть отделяется знаком «,» (например, 2,5)."};
    EXPECT_EQ(ApplySegmentSpeed(Doc, std::nullopt).Messages, Comma);
    // A speed the system file cannot hold reads as a typing error: the file must open again.
    EXPECT_EQ(ApplySegmentSpeed(Doc, 2e4).Messages, Comma);
    SetMessageDecimalSeparator('.');
    EXPECT_FALSE(ApplySegmentSpeed(Doc, 1e-11).Changed);
    EXPECT_TRUE(Doc.Saved());
    EXPECT_TRUE(ApplySegmentSpeed(Doc, -2.0).Changed);
    EXPECT_EQ(S(0, 2).V, -2.0);
    EXPECT_FALSE(Doc.Saved());
}

TEST_F(PropertyEditTest, SlitOffAndOnAgainRestoresTheOldSlit) {
    Select(Doc, skCylinder, 1, 0);
    TCylinderInput In{5.0, 5.0, 0.5, 0.0, false, 10.0, 20.0, -3.0};
    TApplyOutcome Out = ApplyCylinderFields(Doc, In);
    EXPECT_TRUE(Out.Changed);
    EXPECT_FALSE(S(1, 0).HasSlit());
    EXPECT_EQ(S(1, 1).P1.X, 10.0);
    EXPECT_EQ(S(1, 1).V, -3.0);

    // Checked again with the fields as they were left: the old slit comes back.
    In.Slit = true;
    Out = ApplyCylinderFields(Doc, In);
    EXPECT_TRUE(Out.Changed);
    EXPECT_TRUE(S(1, 0).HasSlit());
    EXPECT_EQ(S(1, 1).P1.Y, 20.0);
    EXPECT_EQ(ApplyCylinderFields(Doc, In).Changed, false);

    // Unreadable slit fields: the message; the slit keeps its values.
    In.Ang1 = std::nullopt;
    In.TurnSpeed = 1.5;
    Out = ApplyCylinderFields(Doc, In);
    EXPECT_EQ(Out.Messages, TTexts{"Ошибка при вводе параметров щели."});
    EXPECT_EQ(S(1, 0).V, 1.5);
    EXPECT_EQ(S(1, 1).P1.X, 10.0);
}

TEST_F(PropertyEditTest, CylinderWithoutPositiveRadiusOrCrossingIsRefused) {
    Select(Doc, skCylinder, 1, 0);
    for (double R : {0.0, -1.0, std::numeric_limits<double>::infinity()}) {
        const TApplyOutcome Out =
            ApplyCylinderFields(Doc, {5.0, 5.0, R, 0.0, true, 10.0, 20.0, -3.0});
        EXPECT_EQ(Out.Messages, TTexts{CylRefusal}) << R;
        EXPECT_TRUE(Out.Refill);
        EXPECT_EQ(S(1, 0).P2.X, 0.5);
    }
    // Over the square.
    EXPECT_EQ(ApplyCylinderFields(Doc, {1.0, 1.0, 0.5, 0.0, true, 10.0, 20.0, -3.0}).Messages,
              TTexts{CylRefusal});
    EXPECT_TRUE(Doc.Saved());
    // A bad radius text keeps the stored one; the centre still moves.
    const TApplyOutcome Out =
        ApplyCylinderFields(Doc, {6.0, 5.0, std::nullopt, 0.0, true, 10.0, 20.0, -3.0});
    EXPECT_EQ(Out.Messages, TTexts{"Ошибка при вводе радиуса."});
    EXPECT_EQ(S(1, 0).P1.X, 6.0);
    EXPECT_EQ(S(1, 0).P2.X, 0.5);
}

TEST_F(PropertyEditTest, ConvertToArcChecksThenBends) {
    Select(Doc, skSegment, 0, 0); // length 1
    auto Convert = [&](TParsed H, std::optional<int> N) {
        return ConvertSelectionToArc(Doc, {H, N, 0}).Messages;
    };
    EXPECT_EQ(Convert(std::nullopt, 5), TTexts{"Ошибка при вводе параметров"});
    EXPECT_EQ(Convert(0.1, std::nullopt), TTexts{"Ошибка при вводе параметров"});
    EXPECT_EQ(Convert(0.0, 5), TTexts{"Высота должна быть больше нуля"});
    EXPECT_EQ(Convert(0.51, 5), TTexts{"Высота не должна превышать половины длины ребра"});
    EXPECT_EQ(Convert(0.5, 21), TTexts{"Количество сегментов должно быть от 2 до 20"});
    EXPECT_EQ(Convert(0.5, 1), TTexts{"Количество сегментов должно быть от 2 до 20"});
    // A triangle across the path of the arc out of the square.
    Doc.Canvas().Edges.Add(Polygon({{0.45, -0.4}, {0.5, -0.6}, {0.55, -0.4}}));
    EXPECT_EQ(Convert(0.5, 8), TTexts{"Невозможно осуществить преобразование"});
    EXPECT_EQ(Doc.Canvas().Edges.Item(0).Count(), 4);
    EXPECT_TRUE(Doc.Saved());
    Doc.Canvas().Edges.Delete(2);

    // A half circle out of the counter-clockwise square, below (0,0)->(1,0): two
    // segments meeting at the apex.
    const TApplyOutcome Out = ConvertSelectionToArc(Doc, {0.5, 2, 0});
    EXPECT_TRUE(Out.Changed);
    EXPECT_FALSE(Doc.Saved());
    ASSERT_EQ(Doc.Canvas().Edges.Item(0).Count(), 5);
    EXPECT_NEAR(S(0, 0).P2.X, 0.5, 1e-12);
    EXPECT_NEAR(S(0, 0).P2.Y, -0.5, 1e-12);
    EXPECT_NEAR(S(0, 1).P2.X, 1.0, 1e-12);
    EXPECT_NEAR(S(0, 1).P2.Y, 0.0, 1e-12);
}

TEST_F(PropertyEditTest, ArcOutwardsLeavesAClosedRegionWhicheverWayItWasDrawn) {
    // The clockwise hood (air inside) and its counter-clockwise twin: both bulge out.
    for (const bool Clockwise : {true, false}) {
        Doc.Canvas().ClearModel();
        TEdge Hood = Polygon({{0, 0}, {0, 1}, {1, 1}, {1, 0}}); // roof is segment 1
        if (!Clockwise)
            Hood.Invert(); // the roof is segment 2, from (1,1) to (0,1)
        Doc.Canvas().Edges.Add(Hood);
        Select(Doc, skSegment, 0, Clockwise ? 1 : 2);
        ASSERT_TRUE(ConvertSelectionToArc(Doc, {0.25, 2, 0}).Changed);
        EXPECT_NEAR(S(0, Clockwise ? 1 : 2).P2.Y, 1.25, 1e-12) << Clockwise;
    }
}

TEST_F(PropertyEditTest, DiscreteFieldsStoreOnlyWhatWasEdited) {
    TEdgeSegment Seg0 = S(0, 0);
    Seg0.BaseLength = 0.0004;
    Doc.Canvas().Edges.Item(0).SetSegment(0, Seg0);
    Select(Doc, skSegment, 0, 0);

    // Shown rounded and accepted untouched: nothing is written back.
    TDiscreteInput In;
    In.Type = 0;
    In.Method = Seg0.EqualElements() ? 0 : 1;
    In.BaseLength = {false, 0.0};
    EXPECT_FALSE(ApplyDiscreteFields(Doc, In).Changed);
    EXPECT_EQ(S(0, 0).BaseLength, 0.0004);
    EXPECT_TRUE(Doc.Saved());

    In.Scaler = {true, std::nullopt};
    In.InfiniteCount = {true, 7.0};
    const TApplyOutcome Out = ApplyDiscreteFields(Doc, In);
    EXPECT_EQ(Out.Messages, TTexts{"Ошибка при задании множителя для конечных ребер"});
    EXPECT_TRUE(Out.Changed);
    EXPECT_EQ(S(0, 0).InfiniteCount, 7);
    EXPECT_EQ(S(0, 0).Scaler, Seg0.Scaler);
    EXPECT_FALSE(Doc.Saved());

    // The vortex type keeps the boundary-element fields.
    TDiscreteInput Mdv;
    Mdv.Type = 1;
    Mdv.VortexStep = {true, 0.02};
    EXPECT_TRUE(ApplyDiscreteFields(Doc, Mdv).Changed);
    EXPECT_EQ(S(0, 0).DiscretizationType, 1);
    EXPECT_EQ(S(0, 0).VortexStep(), 0.02);
    EXPECT_EQ(S(0, 0).BaseLength, 0.0004);
}

TEST_F(PropertyEditTest, DiscreteFieldsRefuseWhatNoDiscretisationCanUse) {
    Select(Doc, skSegment, 0, 0);
    const TEdgeSegment Before = S(0, 0);
    for (const double V : {-1.0, 0.0, 1e308, -1e308}) {
        TDiscreteInput In;
        In.Type = 0;
        In.Method = Before.EqualElements() ? 0 : 1;
        In.BaseLength = {true, V};
        In.InfiniteScaler = {true, V};
        In.InfiniteCount = {true, V == 0.0 ? -5.0 : V};
        const TApplyOutcome Out = ApplyDiscreteFields(Doc, In);
        ASSERT_EQ(Out.Messages.size(), 3u) << V;
        EXPECT_EQ(Out.Messages[0].rfind("Ошибка при задании базовой длины граничного элемента\r"
                                        "Длина должна быть больше 0",
                                        0),
                  0u)
            << Out.Messages[0];
        EXPECT_FALSE(Out.Changed);
    }
    EXPECT_EQ(S(0, 0).BaseLength, Before.BaseLength);
    EXPECT_EQ(S(0, 0).InfiniteScaler, Before.InfiniteScaler);
    EXPECT_EQ(S(0, 0).InfiniteCount, Before.InfiniteCount);
    EXPECT_TRUE(Doc.Saved());
}

TEST(PropertySettingsTest, WidthAboveFifteenIsStoredAsFifteen) {
    TEdgesCanvas Canvas;
    TDrawingSettings S = SettingsOf(Canvas);
    EXPECT_EQ(S.AxesItem, 2); // dashed
    S.EdgeWidth = 20;
    S.AxesItem = 0;
    S.EdgeColor = clRed;
    ApplySettings(Canvas, S);
    EXPECT_EQ(Canvas.EdgeWidth(), 15);
    EXPECT_EQ(Canvas.AxesStyle, 5);
    EXPECT_EQ(Canvas.EdgeColor, clRed);
    EXPECT_EQ(SettingsOf(Canvas).AxesItem, 0);
}
