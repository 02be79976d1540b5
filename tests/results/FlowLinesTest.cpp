#include "ResultsModels.h"
#include "TestSupport.h"
#include "results/uFlowLines.h"
#include "solver/uCountEdges.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <thread>
#include <vector>

using namespace kalvex;
using namespace kalvex::test;

namespace {

double StepLength(const TColorPointArray& L, std::size_t I) {
    return Distance(L[I - 1].Position, L[I].Position);
}

class SlotFlow : public ::testing::Test {
protected:
    void SetUp() override {
        Model = Slot();
        Prepare(E, Model);
    }
    TEdges Model;
    TCountEdges E;
};

} // namespace

TEST_F(SlotFlow, LineStartedNearTheSlotEndsOnTheSlot) {
    E.MaxSteps = 150;
    E.LineStep = 0.005;
    for (double X : {-0.2, 0.03, 0.15}) {
        TColorPointArray Line;
        TraceFlowLine(E, {X, 0.1}, 1, Line, 0.0, 0.2);
        ASSERT_GE(Line.size(), 3u);
        ASSERT_LT(Line.size(), 151u) << "line from x = " << X << " never reached the wall";
        const TRealPoint End = Line.back().Position;
        EXPECT_NEAR(End.Y, 0.0, 1e-12) << X;
        EXPECT_LT(std::abs(End.X), 0.05) << X;
        // Every step but the last one has the full length.
        for (std::size_t I = 1; I + 1 < Line.size(); ++I)
            EXPECT_NEAR(StepLength(Line, I), 0.005, 1e-12);
        EXPECT_LE(StepLength(Line, Line.size() - 1), 0.005 + 1e-12);
    }
}

TEST_F(SlotFlow, StepsFinerThanAPixelAreDrawnAsThePixelsTheyReach) {
    E.MaxSteps = 150;
    E.LineStep = 0.001;
    E.SetScale(0.004); // a step is a quarter of a pixel
    TRecordingSurface Screen;
    E.Canvas = &Screen;
    TColorPointArray Line;
    TraceFlowLine(E, {0.03, 0.1}, 1, Line, 0.0, 0.2);
    ASSERT_GE(Line.size(), 40u);
    const auto Pixel = [&](TRealPoint Q) {
        return std::vector<int>{E.OriginX + ScreenPixel(Q.X / 0.004),
                                E.OriginY - ScreenPixel(Q.Y / 0.004)};
    };
    ASSERT_FALSE(Screen.Calls.empty());
    EXPECT_EQ(Screen.Calls.front().Args, Pixel(Line.front().Position));
    // No call stays on the pen's pixel, and the line's last pixel is reached.
    for (std::size_t C = 1; C < Screen.Calls.size(); ++C)
        EXPECT_NE(Screen.Calls[C].Args, Screen.Calls[C - 1].Args) << C;
    EXPECT_EQ(Screen.Calls.back().Args, Pixel(Line.back().Position));
    EXPECT_LT(Screen.Of("LineTo").size(), Line.size() / 2);
}

TEST_F(SlotFlow, AgainstTheFlowTheLineLeavesTheSlot) {
    E.MaxSteps = 50;
    TColorPointArray Line;
    TraceFlowLine(E, {0.01, 0.02}, -1, Line, 0.0, 0.2);
    ASSERT_EQ(Line.size(), 51u);
    EXPECT_GT(Line.back().Position.Y, 0.2);
}

TEST_F(SlotFlow, MaxStepsGivesThatManyStepsPlusTheStart) {
    E.MaxSteps = 150;
    E.LineStep = 0.001;
    TColorPointArray Line = {{9, {9, 9}}};
    TraceFlowLine(E, {0.5, 0.5}, 1, Line, 0.0, 0.2);
    ASSERT_EQ(Line.size(), 151u);
    EXPECT_EQ(Line[0].Color, 0u);
    EXPECT_EQ(Line[0].Position.X, 0.5);
    for (std::size_t I = 1; I < Line.size(); ++I)
        EXPECT_NEAR(StepLength(Line, I), 0.001, 1e-12);
}

TEST_F(SlotFlow, ColourEncodesTheSpeedAtTheStartOfEachStep) {
    E.MaxSteps = 20;
    TColorPointArray Line;
    const double VMin = 0.1;
    const double VMax = 0.5;
    TraceFlowLine(E, {0.3, 0.3}, 1, Line, VMin, VMax);
    ASSERT_EQ(Line.size(), 21u);
    for (std::size_t I = 1; I < Line.size(); ++I) {
        const TRealPoint V = E.Velocity(Line[I - 1].Position);
        const double S = std::sqrt(V.X * V.X + V.Y * V.Y);
        const int C = std::clamp(RoundEven((S - VMin) * 255 / (VMax - VMin)), 0, 255);
        EXPECT_EQ(Line[I].Color, 0x00FF0000u | static_cast<unsigned>(C)) << I;
        EXPECT_EQ(Line[I].Color & 0x0000FF00u, 0u);
    }
    // Equal limits: the level is (S − VMin)·255, clamped.
    TColorPointArray Flat;
    TraceFlowLine(E, {0.3, 0.3}, 1, Flat, 0.0, 0.0);
    const TRealPoint V = E.Velocity({0.3, 0.3});
    const double S = std::sqrt(V.X * V.X + V.Y * V.Y);
    EXPECT_EQ(Flat[1].Color,
              0x00FF0000u | static_cast<unsigned>(std::clamp(RoundEven(S * 255), 0, 255)));
}

TEST_F(SlotFlow, StepAcrossAWallEndsOnTheWall) {
    // A plate across the flow that the solve does not know: only the crossing test sees it.
    E.Elements.Edges.Add(
        Polygon({{-0.3, 0.1}, {0.3, 0.1}, {0.3, 0.11}, {-0.3, 0.11}}, {0, 0, 0, 0}));
    E.MaxSteps = 100;
    E.LineStep = 0.013;
    TColorPointArray Line;
    TraceFlowLine(E, {0.0, 0.3}, 1, Line, 0.0, 0.2);
    ASSERT_GE(Line.size(), 3u);
    ASSERT_LT(Line.size(), 101u);
    EXPECT_NEAR(Line.back().Position.Y, 0.11, 1e-12);
    EXPECT_LT(StepLength(Line, Line.size() - 1), 0.013);
    EXPECT_GT(Line[Line.size() - 2].Position.Y, 0.11);
}

TEST_F(SlotFlow, StepThroughTwoParallelWallsEndsOnTheFirst) {
    // The same unknown plate, thinner than a step, its far face listed first; from this
    // start the 15th step passes both faces.
    E.Elements.Edges.Add(
        Polygon({{-0.3, 0.1}, {0.3, 0.1}, {0.3, 0.11}, {-0.3, 0.11}}, {0, 0, 0, 0}));
    E.MaxSteps = 100;
    E.LineStep = 0.013;
    TColorPointArray Line;
    TraceFlowLine(E, {0.0, 0.112 + 14 * 0.013}, 1, Line, 0.0, 0.2);
    ASSERT_EQ(Line.size(), 16u);
    EXPECT_NEAR(Line[14].Position.Y, 0.112, 1e-9);
    EXPECT_NEAR(Line.back().Position.Y, 0.11, 1e-12);
}

TEST_F(SlotFlow, FieldFromSinksSeedsAtAQuarterAndThreeQuartersOfTheSlot) {
    E.LineInterval = 0.05;
    E.MaxSteps = 30;
    EXPECT_EQ(CountFlowLines(E, -1), 2);
    EXPECT_EQ(CountFlowLines(E, 1), 0); // no sources
    TDrawLines Store;
    std::vector<std::pair<int, int>> Progress;
    E.ProgressBar = [&](int P, int M) { Progress.emplace_back(P, M); };
    BuildFlowLines(E, Store, true);
    ASSERT_EQ(Store.Count, 2);
    // The slot runs from x = 0.05 to x = -0.05; seeds one pixel (Scale) into the air.
    EXPECT_NEAR(Store.Lines[0][0].Position.X, 0.025, 1e-15);
    EXPECT_NEAR(Store.Lines[1][0].Position.X, -0.025, 1e-15);
    EXPECT_NEAR(Store.Lines[0][0].Position.Y, 0.004, 1e-15);
    EXPECT_NEAR(Store.Lines[1][0].Position.Y, 0.004, 1e-15);
    // Traced against the flow, away from the slot.
    EXPECT_GT(Store.Lines[0].back().Position.Y, 0.1);
    EXPECT_EQ(Store.Step, E.LineStep);
    ASSERT_EQ(Progress.size(), 3u);
    EXPECT_EQ(Progress[0], std::make_pair(0, 2));
    EXPECT_EQ(Progress[2], std::make_pair(2, 2));

    // From the sources there is nothing to seed.
    TDrawLines None;
    BuildFlowLines(E, None, false);
    EXPECT_EQ(None.Count, 0);
}

TEST(FlowLineCount, HalfAnIntervalOrLessSeedsNothing) {
    for (double W : {0.025, 0.0251, 0.1, 0.13}) {
        TCountEdges E;
        Prepare(E, Slot(W));
        E.LineInterval = 0.05;
        E.MaxSteps = 2;
        TDrawLines Store;
        BuildFlowLines(E, Store, true);
        const int Expected = W <= 0.025 ? 0 : static_cast<int>((W - 0.025) / 0.05) + 1;
        EXPECT_EQ(CountFlowLines(E, -1), Expected) << W;
        EXPECT_EQ(Store.Count, Expected) << W;
    }
}

TEST(FlowLineCount, VerticalOpeningSeedsAlongY) {
    // A box whose left wall holds a 0.1 m inflow opening and whose right wall a sink.
    TEdges M;
    M.Add(Polygon({{0, 0}, {0, 0.1}, {0, 1}, {1, 1}, {1, 0.9}, {1, 0}},
                  {-1.0, 0.0, 0.0, 1.0, 0.0, 0.0}));
    TCountEdges E;
    Prepare(E, M);
    E.LineInterval = 0.05;
    E.MaxSteps = 500;
    TDrawLines Store;
    BuildFlowLines(E, Store, false);
    ASSERT_EQ(Store.Count, 2);
    EXPECT_NEAR(Store.Lines[0][0].Position.Y, 0.025, 1e-15);
    EXPECT_NEAR(Store.Lines[1][0].Position.Y, 0.075, 1e-15);
    // One pixel into the box, to the right of the opening's direction (upwards).
    EXPECT_NEAR(Store.Lines[0][0].Position.X, 0.004, 1e-15);
    // With the flow: through the box to the sink on the far wall.
    for (const auto& L : Store.Lines) {
        EXPECT_NEAR(L.back().Position.X, 1.0, 1e-12);
        EXPECT_GE(L.back().Position.Y, 0.9 - 1e-12);
    }
}

TEST_F(SlotFlow, StopDuringAFieldKeepsTheLinesTracedSoFar) {
    E.Threads = 1;
    E.LineInterval = 0.01; // ten seeds
    E.MaxSteps = 40;
    ASSERT_EQ(CountFlowLines(E, -1), 10);
    // The request made as the third line is handed over.
    E.ProgressBar = [&](int Position, int) {
        if (Position == 3)
            E.StopBuilding();
    };
    TDrawLines Store;
    BuildFlowLines(E, Store, true);
    EXPECT_EQ(Store.Count, 3);
    for (const auto& L : Store.Lines)
        EXPECT_LE(L.size(), 41u);
}

TEST_F(SlotFlow, StopInsideALineKeepsThePartlyTracedLine) {
    E.Threads = 1;
    E.LineInterval = 0.05;
    E.MaxSteps = 120;
    E.LineStep = 0.001;
    // Events at every step: the request made at the first step's end ends the line
    // there.
    E.PumpInterval = {};
    E.ProcessEvents = [&] { E.StopBuilding(); };
    TDrawLines Store;
    BuildFlowLines(E, Store, true);
    ASSERT_EQ(Store.Count, 1);
    EXPECT_EQ(Store.Lines[0].size(), 2u);
}

TEST_F(SlotFlow, StopInsideALongLineOnThreadsEndsItAtItsNextStep) {
    E.Threads = 2;
    E.LineInterval = 0.05;
    E.MaxSteps = 2'000'000;
    E.LineStep = 1e-7;
    // The events while the calling thread waits for the first line.
    E.PumpInterval = {};
    E.ProcessEvents = [&] { E.StopBuilding(); };
    TDrawLines Store;
    BuildFlowLines(E, Store, true);
    ASSERT_EQ(Store.Count, 1);
    // Unstopped, the line runs for some 400 000 steps to the slot.
    EXPECT_LT(Store.Lines[0].size(), 100'000u);
}

// The field traced on worker threads: the same lines, drawing and progress as on one.
TEST(FlowLineField, ThreadsGiveTheSequentialFieldPointForPoint) {
    struct TRun {
        TDrawLines Store;
        TRecordingSurface Screen;
        std::vector<int> Progress;
        std::thread::id HookThread;
        bool ForeignHook = false;
    };
    TCountEdges E;
    Prepare(E, SlitCylinder());
    E.OriginX = 300;
    E.OriginY = 400;
    const auto Build = [&](int Threads, TRun& R) {
        E.Threads = Threads;
        E.Canvas = &R.Screen;
        R.HookThread = std::this_thread::get_id();
        const auto Check = [&R] { R.ForeignHook |= std::this_thread::get_id() != R.HookThread; };
        E.ProgressBar = [&R, Check](int Position, int) {
            Check();
            R.Progress.push_back(Position);
        };
        E.ProcessEvents = Check;
        BuildFieldOfLines(E, SlitCylinder(), R.Store, 0.015, 0.01, 1.0, true);
    };
    TRun One;
    TRun Three;
    Build(1, One);
    Build(3, Three);
    ASSERT_GE(One.Store.Count, 10);
    ASSERT_EQ(Three.Store.Count, One.Store.Count);
    for (std::size_t L = 0; L < One.Store.Lines.size(); ++L) {
        const auto& A = One.Store.Lines[L];
        const auto& B = Three.Store.Lines[L];
        ASSERT_EQ(A.size(), B.size()) << "line " << L;
        for (std::size_t P = 0; P < A.size(); ++P) {
            EXPECT_EQ(A[P].Position.X, B[P].Position.X);
            EXPECT_EQ(A[P].Position.Y, B[P].Position.Y);
            EXPECT_EQ(A[P].Color, B[P].Color);
        }
    }
    ASSERT_EQ(One.Screen.Calls.size(), Three.Screen.Calls.size());
    for (std::size_t C = 0; C < One.Screen.Calls.size(); ++C) {
        EXPECT_EQ(One.Screen.Calls[C].Op, Three.Screen.Calls[C].Op);
        EXPECT_EQ(One.Screen.Calls[C].Args, Three.Screen.Calls[C].Args);
        EXPECT_EQ(One.Screen.Calls[C].PenColor, Three.Screen.Calls[C].PenColor);
    }
    EXPECT_EQ(One.Progress, Three.Progress);
    EXPECT_FALSE(One.ForeignHook);
    EXPECT_FALSE(Three.ForeignHook);
}

TEST_F(SlotFlow, StopBetweenLinesOnThreadsKeepsTheLinesHandedOver) {
    E.Threads = 2;
    E.LineInterval = 0.01; // ten seeds
    E.MaxSteps = 40;
    E.ProgressBar = [&](int Position, int) {
        if (Position == 3)
            E.StopBuilding();
    };
    TDrawLines Store;
    BuildFlowLines(E, Store, true);
    EXPECT_EQ(Store.Count, 3);
}

TEST_F(SlotFlow, DrawsWhileTracingOnBothTargets) {
    TRecordingSurface Screen;
    TRecordingSurface Buffer;
    E.Canvas = &Screen;
    E.BufferCanvas = &Buffer;
    E.OriginX = 300;
    E.OriginY = 400;
    E.MaxSteps = 10;
    TColorPointArray Line;
    TraceFlowLine(E, {0.2, 0.2}, 1, Line, 0.0, 0.2);
    for (TRecordingSurface* S : {&Screen, &Buffer}) {
        ASSERT_EQ(S->Of("MoveTo").size(), 1u);
        EXPECT_EQ(S->Of("MoveTo")[0].Args, (std::vector<int>{350, 350}));
        auto L = S->Of("LineTo");
        ASSERT_EQ(L.size(), 10u);
        for (std::size_t I = 0; I < L.size(); ++I) {
            const TRealPoint P = Line[I + 1].Position;
            EXPECT_EQ(L[I].Args, (std::vector<int>{300 + RoundEven(P.X / 0.004),
                                                   400 - RoundEven(P.Y / 0.004)}));
            EXPECT_EQ(L[I].PenColor, Line[I + 1].Color);
        }
    }
}

TEST(FlowLineEnds, StillAirEndsTheLineAtItsStart) {
    TCountEdges E;
    Prepare(E, Box());
    TColorPointArray Line;
    TraceFlowLine(E, {1, 1}, 1, Line, 0, 1);
    ASSERT_EQ(Line.size(), 1u);
    EXPECT_EQ(Line[0].Position.X, 1.0);
}

TEST(FlowLineEnds, UnlimitedLineAroundARotatingCylinderStopsAfterTheCap) {
    TCountEdges E;
    Prepare(E, FreeCylinder());
    E.MaxSteps = 0;
    E.LineStep = 0.01;
    int Events = 0;
    E.PumpInterval = {};
    E.ProcessEvents = [&] { ++Events; };
    TColorPointArray Line;
    TraceFlowLine(E, {0.3, 0.0}, 1, Line, 0, 1);
    EXPECT_EQ(Line.size(), static_cast<std::size_t>(UnlimitedLineSteps) + 1);
    // Offered between every two steps.
    EXPECT_EQ(Events, UnlimitedLineSteps - 1);
}

TEST(FlowCommands, MaxStepsRules) {
    EXPECT_EQ(FlowLineMaxSteps(1.0, 0.01, true), 100);
    EXPECT_EQ(FlowLineMaxSteps(1.0, 0.01, false), 0);
    EXPECT_EQ(FlowLineMaxSteps(0.025, 0.01, true), 2); // 2.5 rounds to even
    EXPECT_EQ(FlowLineMaxSteps(0.004, 0.01, true), 1); // never "no limit" by rounding
    EXPECT_EQ(FlowLineMaxSteps(1e30, 1e-30, true), INT_MAX);
}

TEST(FlowCommands, FieldReplacesLinesAndLimitsOnlyWithSemiInfinite) {
    TEdges M = Slot();
    TCountEdges E;
    E.Elements.DiscretizeGraded(M, 15, 0.0004, 2.0, 0.1, 1.8);
    TDrawLines Store;
    Store.AddLine({{0, {5, 5}}, {0, {6, 6}}});
    std::vector<std::string> Status;
    int Repaints = 0;
    TBuildHooks Hooks{[&](const std::string& S) { Status.push_back(S); }, [&] { ++Repaints; }};
    BuildFieldOfLines(E, M, Store, 0.05, 0.01, 0.2, true, Hooks);
    EXPECT_TRUE(E.Solved());
    EXPECT_EQ(E.MaxSteps, 20);
    EXPECT_EQ(E.LineInterval, 0.05);
    EXPECT_EQ(Store.Count, 2);
    EXPECT_EQ(Store.Step, 0.01);
    for (const auto& L : Store.Lines)
        EXPECT_EQ(L.size(), 21u);
    EXPECT_EQ(Status,
              (std::vector<std::string>{"Расчет интенсивностей...", "Построение линий тока..."}));
    EXPECT_EQ(Repaints, 2);

    for (double Bad : {0.0, -1.0}) {
        EXPECT_THROW(BuildFieldOfLines(E, M, Store, Bad, 0.01, 1, true), TBuildParamsError);
        EXPECT_THROW(BuildFieldOfLines(E, M, Store, 0.05, Bad, 1, true), TBuildParamsError);
        EXPECT_THROW(BuildFieldOfLines(E, M, Store, 0.05, 0.01, Bad, true), TBuildParamsError);
    }
    EXPECT_EQ(Store.Count, 2); // a refused build leaves the lines

    // A closed model: no length limit (the cap still applies).
    TEdges Closed;
    Closed.Add(Polygon({{0, 0}, {0, 0.1}, {0, 1}, {1, 1}, {1, 0.9}, {1, 0}},
                       {-1.0, 0.0, 0.0, 1.0, 0.0, 0.0}));
    TCountEdges E2;
    E2.Elements.DiscretizeGraded(Closed, 15, 0.0004, 2.0, 0.1, 1.8);
    BuildFieldOfLines(E2, Closed, Store, 0.05, 0.01, 0.2, false);
    EXPECT_EQ(E2.MaxSteps, 0);
    EXPECT_EQ(Store.Count, 2);
    EXPECT_GT(Store.Lines[0].size(), 21u);
}

TEST(FlowCommands, SingleLineAddsAndUsesTheModelRange) {
    TEdges M = Slot();
    TCountEdges E;
    E.Elements.DiscretizeGraded(M, 15, 0.0004, 2.0, 0.1, 1.8);
    TDrawLines Store;
    Store.AddLine({{0, {5, 5}}});
    Store.Step = 0.5;
    BuildSingleLine(E, M, Store, {0.3, 0.3}, 0.01, 0.05, true);
    EXPECT_EQ(E.MaxSteps, 5);
    ASSERT_EQ(Store.Count, 2);
    EXPECT_EQ(Store.Lines[1].size(), 6u);
    EXPECT_EQ(Store.Step, 0.5); // only the field sets the drawing step
    // Towards the source means against the flow: away from the slot.
    BuildSingleLine(E, M, Store, {0.02, 0.05}, 0.01, 0.05, false);
    EXPECT_GT(VectorLength(Store.Lines[2].back().Position),
              VectorLength(TRealPoint{0.02, 0.05}) + 0.03);
    EXPECT_THROW(BuildSingleLine(E, M, Store, {0.3, 0.3}, 0.0, 1, true), TBuildParamsError);

    // A rotating cylinder limits the single line, though not the field.
    TEdges C = FreeCylinder();
    TCountEdges E2;
    E2.Elements.DiscretizeGraded(C, 15, 0.0004, 2.0, 0.1, 1.8);
    BuildSingleLine(E2, C, Store, {0.3, 0.0}, 0.01, 0.5, true);
    EXPECT_EQ(E2.MaxSteps, 50);
    EXPECT_EQ(Store.Lines.back().size(), 51u);
}
