#include "ModelBuilders.h"
#include "results/uContour.h"
#include "results/uEfficiency.h"
#include "results/uNothingFound.h"

#include <gtest/gtest.h>

using namespace kalvex;
using namespace kalvex::test;

TEST(NothingFound, ContourSaysWhatTheBoxHeld) {
    const TEdges Slot = FlangedSlot(0.1, 1.0);
    TContourOutcome O;
    EXPECT_EQ(NothingFound(Slot, ContourRun(O, 2)).Russian,
              "Изолиния скорости 2.000 м/с не найдена:\rв прямоугольнике построения нет воздуха.");
    O.AirNodes = 10;
    O.MinSpeed = 0.1;
    O.MaxSpeed = 1.5;
    EXPECT_EQ(NothingFound(Slot, ContourRun(O, 2)).English,
              "contour: nothing found: the air in the box moves at most at 1.500 m/s");
    EXPECT_EQ(NothingFound(Slot, ContourRun(O, 0.05)).English,
              "contour: nothing found: the air in the box moves at least at 0.100 m/s");
}

TEST(NothingFound, FieldOfLinesWithoutOpeningsAndATurnedBoundary) {
    TEdges Slot = FlangedSlot(0.1, 1.0);
    TEmptyRun Run;
    Run.Kind = TEmptyRun::FlowLines;
    Run.FromSinks = false;
    EXPECT_EQ(NothingFound(Slot, Run).Russian,
              "Линии тока не построены:\rв системе нет отверстий, через которые входит воздух.");
    // A plate under the floor lies in the floor's solid: the floor is named.
    Slot.Add(Polygon({{0.25, -0.3}, {0.75, -0.3}, {0.75, -0.2}, {0.25, -0.2}}));
    Run.FromSinks = true;
    EXPECT_EQ(NothingFound(Slot, Run).Russian,
              "Линии тока не построены:\rрасстояние между линиями больше удвоенной длины каждого "
              "отверстия.\rГраница 1: сторона воздуха не обращена ни к отсосу, ни к другой "
              "границе.");
}

TEST(NothingFound, EfficiencyCountsTheStartsInTheAir) {
    const TEdges Slot = FlangedSlot(0.1, 1.0);
    TEfficiencyOutcome O;
    O.Rows.push_back({1e-5, 0, 4, {}});
    TEfficiencyParams P;
    P.From = {-0.5, -0.5}; // under the floor
    P.To = {0.5, -0.5};
    P.Count = 4;
    ASSERT_TRUE(EfficiencyRun(O, P, Slot));
    EXPECT_EQ(NothingFound(Slot, *EfficiencyRun(O, P, Slot)).Russian,
              "Частицы не выпущены: начальные точки лежат вне воздуха.");
    P.From.Y = P.To.Y = 0.5;
    EXPECT_EQ(NothingFound(Slot, *EfficiencyRun(O, P, Slot)).Russian,
              "Ни одна частица не уловлена.");
    O.Rows[0].Caught = 1;
    EXPECT_FALSE(EfficiencyRun(O, P, Slot));
}
