// The search logic (grid, gradient estimate, ascent, stop, report) on objectives
// given as formulas of the parameter values, so each step can be followed exactly.
#include "OptTestModels.h"
#include "optimise/uOptEdges.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <optional>
#include <random>
#include <string>
#include <vector>

using namespace kalvex;
using namespace kalvex::test;

namespace {

using TPoint = std::vector<double>;

// The objective is a function of the parameter values; every evaluation is logged.
class TScriptedSearch : public TOptimizeEdges {
public:
    // Every evaluation goes through Evaluate below, in order.
    TScriptedSearch() { Evaluator.Threads = 1; }

    std::function<std::optional<double>(const TPoint&)> F;
    std::function<double(const TPoint&)> Out;
    std::function<void(const TPoint&)> During;
    std::vector<TPoint> Visits;

    void AddFree(const char* Name, double Min, double Max, double Step, double Start) {
        TParamInfo P;
        P.Name = Name;
        P.MinValue = Min;
        P.MaxValue = Max;
        P.Step = Step;
        P.Value = Start;
        Params.AddParam(P);
    }
    TPoint Values() const {
        TPoint V;
        for (const auto& P : Params.Params)
            V.push_back(P.Value);
        return V;
    }

protected:
    std::optional<TTrial> Evaluate() override {
        const TPoint V = Values();
        Visits.push_back(V);
        if (During)
            During(V);
        const std::optional<double> R = F(V);
        if (!R)
            return std::nullopt;
        return TTrial{*R, Out ? Out(V) : *R};
    }
};

void ExpectPoints(const std::vector<TPoint>& Got, const std::vector<TPoint>& Want) {
    ASSERT_GE(Got.size(), Want.size());
    for (std::size_t I = 0; I < Want.size(); ++I) {
        ASSERT_EQ(Got[I].size(), Want[I].size());
        for (std::size_t J = 0; J < Want[I].size(); ++J)
            EXPECT_NEAR(Got[I][J], Want[I][J], 1e-12) << "visit " << I << " value " << J;
    }
}

// Random ranges, steps and starts for one to three parameters named a, b, c.
template <class TSearch> int RandomParams(std::mt19937& Rng, TSearch& S) {
    std::uniform_real_distribution<double> U(0.0, 1.0);
    const int N = 1 + static_cast<int>(U(Rng) * 3);
    for (int I = 0; I < N; ++I) {
        const double Min = -1 + U(Rng);
        const double Max = Min + 0.2 + 2 * U(Rng);
        TParamInfo P;
        P.Name = std::string(1, static_cast<char>('a' + I));
        P.MinValue = Min;
        P.MaxValue = Max;
        P.Step = (Max - Min) * (0.05 + 0.5 * U(Rng));
        P.Value = Min + (Max - Min) * U(Rng);
        S.Params.AddParam(P);
    }
    return N;
}

// A grid in about a third of the searches, with a random stride.
void RandomGrid(std::mt19937& Rng, TOptimizeEdges& S) {
    std::uniform_real_distribution<double> U(0.0, 1.0);
    S.Tabulate = U(Rng) < 0.3;
    S.TabScaler = 1 + 2 * U(Rng);
}

// A few random bumps over N coordinates: an objective with several local maxima.
struct TBumps {
    struct TBump {
        TPoint C;
        double A = 0, W = 1;
    };
    std::vector<TBump> Bumps;

    TBumps(std::mt19937& Rng, int N) {
        std::uniform_real_distribution<double> U(0.0, 1.0);
        Bumps.resize(2 + static_cast<std::size_t>(U(Rng) * 4));
        for (TBump& B : Bumps) {
            for (int I = 0; I < N; ++I)
                B.C.push_back(-1 + 3 * U(Rng));
            B.A = 4 * U(Rng) - 1;
            B.W = 0.05 + 0.5 * U(Rng);
        }
    }
    double operator()(const TPoint& V) const {
        double F = 0;
        for (const TBump& B : Bumps) {
            double D = 0;
            for (std::size_t I = 0; I < B.C.size(); ++I)
                D += std::pow(V[I] - B.C[I], 2);
            F += B.A * std::exp(-D / (B.W * B.W));
        }
        return F;
    }
    // In three objectives of ten, a region that cannot be evaluated.
    std::function<std::optional<double>(const TPoint&)> WithHoles(std::mt19937& Rng) const {
        std::uniform_real_distribution<double> U(0.0, 1.0);
        const bool Holes = U(Rng) < 0.3;
        const double Cut = U(Rng);
        return [Bumps = *this, Holes, Cut](const TPoint& V) -> std::optional<double> {
            if (Holes && std::sin(17 * V[0]) > Cut)
                return std::nullopt;
            return Bumps(V);
        };
    }
};

} // namespace

TEST(OptGrid, OdometerOrderForTwoParametersWithHalfSteps) {
    TScriptedSearch S;
    S.AddFree("a", 0, 1, 0.5, 0.3);
    S.AddFree("b", 0, 1, 0.5, 0.6);
    S.F = [](const TPoint&) { return 0.0; };
    S.Tabulate = true;
    TRealArray Best;
    double BestValue = 0;
    ASSERT_TRUE(S.OptimizeSpeed({}, BestValue, Best));
    ExpectPoints(
        S.Visits,
        {{0, 0}, {0.5, 0}, {1, 0}, {0, 0.5}, {0.5, 0.5}, {1, 0.5}, {0, 1}, {0.5, 1}, {1, 1}});
    // All equal: the first grid point stays the best.
    EXPECT_EQ(Best, (TRealArray{0, 0}));
}

TEST(OptGrid, TabScalerWidensTheGridAndTheBestPointIsKept) {
    TScriptedSearch S;
    S.AddFree("a", 0, 1, 0.5, 0);
    S.AddFree("b", 0, 1, 0.5, 0);
    S.F = [](const TPoint& V) { return -std::pow(V[0] - 1, 2) - std::pow(V[1] - 1, 2); };
    S.Tabulate = true;
    S.TabScaler = 2;
    S.GradientTolerance = 1e9; // grid only
    TRealArray Best;
    double BestValue = 0;
    ASSERT_TRUE(S.OptimizeSpeed({}, BestValue, Best));
    ExpectPoints(S.Visits, {{0, 0}, {1, 0}, {0, 1}, {1, 1}});
    EXPECT_EQ(Best, (TRealArray{1, 1}));
    EXPECT_EQ(BestValue, 0.0);
}

TEST(OptGrid, NextGridPointResetsFasterParametersToTheirMinimum) {
    TScriptedSearch S;
    S.AddFree("a", 0, 0.2, 0.1, 0.2);
    S.AddFree("b", -1, 1, 1, -1);
    S.AddFree("c", 5, 5, 1, 5);
    EXPECT_TRUE(S.NextGridPoint());
    EXPECT_EQ(S.Values(), (TPoint{0, 0, 5}));
    S.Params.SetParamValue(0, 0.2);
    S.Params.SetParamValue(1, 1);
    // Nothing can turn any more: the grid is finished and nothing moves.
    EXPECT_FALSE(S.NextGridPoint());
    EXPECT_EQ(S.Values(), (TPoint{0.2, 1, 5}));
}

TEST(OptGradient, ParameterWithEqualLimitsHasZeroGradient) {
    TScriptedSearch S;
    S.AddFree("a", 0.3, 0.3, 0.01, 0.3);
    S.AddFree("b", 0, 1, 0.1, 0.5);
    S.AddFree("c", 0, 1, 0.1, 1.0); // at its maximum: tried half a step below
    S.F = [](const TPoint& V) { return 2 * V[0] + 3 * V[1] - 4 * V[2]; };
    S.GradientTolerance = 1e9;
    TRealArray Best;
    double BestValue = 0;
    ASSERT_TRUE(S.OptimizeSpeed({}, BestValue, Best));
    ASSERT_EQ(S.Gradient.size(), 3u);
    EXPECT_EQ(S.Gradient[0], 0.0);
    EXPECT_NEAR(S.Gradient[1], 3.0, 1e-9);
    EXPECT_NEAR(S.Gradient[2], -4.0, 1e-9);
    // Start, the two trials that move, and nothing at all for the fixed parameter.
    ExpectPoints(S.Visits, {{0.3, 0.5, 1.0}, {0.3, 0.55, 1.0}, {0.3, 0.5, 0.95}});
    for (const TPoint& V : S.Visits)
        EXPECT_EQ(V[0], 0.3);
    // No ascent, yet the answer is the best point evaluated: the trial below c's maximum.
    EXPECT_EQ(Best, (TRealArray{0.3, 0.5, 0.95}));
}

TEST(OptGradient, TrialNearTheUpperLimitIsClampedToIt) {
    TScriptedSearch S;
    S.AddFree("a", 0, 1, 0.1, 0.98);
    S.F = [](const TPoint& V) { return 5 * V[0]; };
    S.GradientTolerance = 1e9;
    TRealArray Best;
    double BestValue = 0;
    ASSERT_TRUE(S.OptimizeSpeed({}, BestValue, Best));
    ExpectPoints(S.Visits, {{0.98}, {1.0}});
    EXPECT_NEAR(S.Gradient[0], 5.0, 1e-9);
}

TEST(OptAscent, SmallGradientMakesNoMove) {
    TScriptedSearch S;
    S.AddFree("a", 0, 1, 0.1, 0.4);
    S.AddFree("b", 0, 1, 0.1, 0.2);
    S.F = [](const TPoint& V) { return -0.01 * V[0] - 0.02 * V[1]; };
    TRealArray Best;
    double BestValue = 0;
    ASSERT_TRUE(S.OptimizeSpeed({}, BestValue, Best));
    EXPECT_LT(std::hypot(S.Gradient[0], S.Gradient[1]), 0.1);
    EXPECT_EQ(Best, (TRealArray{0.4, 0.2}));
    // The start and two gradient trials: no ascent trial, and no evaluation of Best
    // again, whose figures are known.
    ExpectPoints(S.Visits, {{0.4, 0.2}, {0.45, 0.2}, {0.4, 0.25}});
    EXPECT_EQ(S.Visits.size(), 3u);
    EXPECT_NEAR(BestValue, -0.008, 1e-15);

    // With the grid the search ends at the grid's best point.
    TScriptedSearch G;
    G.AddFree("a", 0, 1, 0.5, 0.4);
    G.F = [](const TPoint& V) { return 0.01 * V[0]; };
    G.Tabulate = true;
    ASSERT_TRUE(G.OptimizeSpeed({}, BestValue, Best));
    EXPECT_EQ(Best, (TRealArray{1.0}));
}

TEST(OptAscent, ClimbsToTheMaximumAndReportsTheFinalBestPoint) {
    TScriptedSearch S;
    S.AddFree("a", 0, 1, 0.1, 0.0);
    S.F = [](const TPoint& V) { return -std::pow(V[0] - 0.7, 2); };
    S.Out = [](const TPoint& V) { return 10 * V[0]; };
    TRealArray Best;
    double BestValue = 0;
    ASSERT_TRUE(S.OptimizeSpeed({}, BestValue, Best));
    EXPECT_NEAR(Best[0], 0.7, 0.02);
    EXPECT_GT(S.F({Best[0]}).value(), S.F({0.0}).value());
    // The figure belongs to Best, not to whichever trial ran last.
    EXPECT_EQ(BestValue, 10 * Best[0]);
    // The working model is left at Best.
    EXPECT_EQ(S.Values()[0], Best[0]);
}

TEST(OptAscent, StepIsHalvedWhileTheTrialIsWorseThenAcceptedBelowMinStep) {
    TScriptedSearch S;
    S.AddFree("a", 0, 1, 0.1, 0.8);
    S.F = [](const TPoint& V) { return -100 * std::pow(V[0] - 0.87, 2); };
    TRealArray Best;
    double BestValue = 0;
    ASSERT_TRUE(S.OptimizeSpeed({}, BestValue, Best));
    // 0.8 -> 0.9 is better; from 0.9 the full step (clamped to 1.0) is worse, so it is
    // halved to 0.05, 0.025, 0.0125 and 0.00625; the last is below MinStep and taken
    // although it is still worse than 0.9.
    std::size_t First = 0;
    while (First < S.Visits.size() && S.Visits[First][0] != 1.0)
        ++First;
    ASSERT_LT(First + 5, S.Visits.size());
    const double Want[] = {1.0, 0.95, 0.925, 0.9125, 0.90625, 0.90625};
    for (std::size_t I = 0; I < 6; ++I)
        EXPECT_NEAR(S.Visits[First + I][0], Want[I], 1e-12) << I;
    EXPECT_NEAR(Best[0], 0.87, 0.03);
}

TEST(OptAscent, ReportedPointIsTheBestEvaluatedOnRandomObjectives) {
    // Bumpy objectives, some with a region that cannot be evaluated: the ascent may
    // wander below where it started, the answer may not.
    std::mt19937 Rng(20240611);
    for (int Case = 0; Case < 3000; ++Case) {
        TScriptedSearch S;
        const int N = RandomParams(Rng, S);
        const TBumps Bumps(Rng, N);
        S.F = Bumps.WithHoles(Rng);
        S.Out = [&](const TPoint& V) { return 10 + *S.F(V); };
        RandomGrid(Rng, S);
        const TPoint Start = S.Values();

        TRealArray Best;
        double BestValue = 0;
        if (!S.OptimizeSpeed({}, BestValue, Best))
            continue;
        double Top = -1e300;
        for (const TPoint& V : S.Visits)
            if (const std::optional<double> F = S.F(V))
                Top = std::max(Top, *F);
        const std::optional<double> AtBest = S.F(Best);
        ASSERT_TRUE(AtBest) << "case " << Case;
        ASSERT_EQ(*AtBest, Top) << "case " << Case << ": a better point was evaluated";
        EXPECT_EQ(BestValue, 10 + *AtBest) << "case " << Case;
        EXPECT_EQ(S.Values(), Best) << "case " << Case;
        if (!S.Tabulate && S.F(Start)) {
            ASSERT_GE(*AtBest, *S.F(Start)) << "case " << Case;
        }
    }
}

TEST(OptAscent, TrialsSideBySideAndAheadTakeTheOneThreadPath) {
    // The objective is read off the model, as a real evaluation's is: a suction
    // velocity, a vertex's x and another's y, which may make the square cross itself.
    class TModelSearch : public TOptimizeEdges {
    public:
        std::function<std::optional<double>(const TPoint&)> F;

    protected:
        std::optional<TTrial> EvaluateModel(const TEdges& M, double SuctionSum,
                                            TCountEdges&) const override {
            const TEdge& E = M.Item(0);
            const std::optional<double> R =
                F({E.GetSegment(1).V, E.GetSegment(2).P1.X, E.GetSegment(3).P1.Y});
            if (!R)
                return std::nullopt;
            return TTrial{*R - 0.1 * SuctionSum, *R};
        }
    };
    const TChangeInfo Formulas[] = {
        {0, 1, 1.0, ckFlow, "Отсос1"}, {0, 2, 1.0, ckX, "Точка3"}, {0, 3, 0.5, ckY, "Точка4"}};
    std::mt19937 Rng(20261209);
    for (int Case = 0; Case < 300; ++Case) {
        TModelSearch S[2];
        const auto Seed = Rng();
        for (int K = 0; K < 2; ++K) {
            std::mt19937 Same(Seed);
            S[K].Params.Model.Add(Rect({0, 0}, {1, 1}, {0, 0, 0, 0}));
            const int N = RandomParams(Same, S[K]);
            for (int I = 0; I < N; ++I)
                S[K].Params.Params[static_cast<std::size_t>(I)].Changes = {Formulas[I]};
            S[K].F = TBumps(Same, N).WithHoles(Same);
            RandomGrid(Same, S[K]);
            S[K].Evaluator.Threads = K == 0 ? 1 : 3;
        }
        TRealArray Best[2];
        double Value[2] = {0, 0};
        for (int K = 0; K < 2; ++K)
            S[K].OptimizeSpeed({}, Value[K], Best[K]);
        EXPECT_EQ(S[0].Evaluations, S[1].Evaluations) << "case " << Case;
        EXPECT_EQ(Best[0], Best[1]) << "case " << Case;
        EXPECT_EQ(S[0].Gradient, S[1].Gradient) << "case " << Case;
        if (!std::isnan(Value[0])) {
            EXPECT_EQ(Value[0], Value[1]) << "case " << Case;
        }
    }
}

TEST(OptAscent, FailingTrialsAreSkippedInTheGridAndKeepTheCoordinate) {
    // Above 0.45 the "discretisation fails": such points are never the answer.
    TScriptedSearch S;
    S.AddFree("a", 0, 1, 0.25, 0);
    S.F = [](const TPoint& V) -> std::optional<double> {
        if (V[0] > 0.45)
            return std::nullopt;
        return V[0];
    };
    S.Tabulate = true;
    TRealArray Best;
    double BestValue = 0;
    ASSERT_TRUE(S.OptimizeSpeed({}, BestValue, Best));
    // The ascent cannot leave the grid's 0.25, but its gradient trial at 0.375 was
    // evaluated and is better.
    EXPECT_EQ(Best, (TRealArray{0.375}));
    EXPECT_EQ(BestValue, 0.375);
    EXPECT_NEAR(S.Gradient[0], 1.0, 1e-12);
}

TEST(OptAscent, NoPointThatCanBeEvaluatedGivesNoFigures) {
    TScriptedSearch S;
    S.AddFree("a", 0, 1, 0.25, 0);
    S.F = [](const TPoint&) -> std::optional<double> { return std::nullopt; };
    S.Tabulate = true;
    TRealArray Best;
    double BestValue = 0;
    EXPECT_FALSE(S.OptimizeSpeed({}, BestValue, Best));
    EXPECT_TRUE(std::isnan(BestValue));
    EXPECT_EQ(Best, (TRealArray{0}));
    int Caught = 7;
    EXPECT_FALSE(S.OptimizeParticles({}, false, Best, Caught));
    EXPECT_EQ(Caught, 0);
}

TEST(OptAscent, ModelsWhoseBoundariesCrossAreNotEvaluated) {
    TScriptedSearch S;
    S.Params.Model.Add(Rect({0, 0}, {1, 1}, {0, 0, 0, 0}));
    S.Params.Model.Add(Rect({2, 0}, {3, 1}, {0, 0, 0, 0}));
    // x moves the second square's first corner (2, 0) to the left, into the first one.
    S.AddFree("x", 0, 2, 0.5, 0);
    TParamInfo P = S.Params.GetParam(0);
    P.Changes.push_back({1, 0, -1.0, ckX, "Точка5"});
    S.Params.ReplaceParam(0, P);
    S.F = [](const TPoint& V) { return V[0]; };
    S.Tabulate = true;
    TRealArray Best;
    double BestValue = 0;
    ASSERT_TRUE(S.OptimizeSpeed({}, BestValue, Best));
    for (const TPoint& V : S.Visits)
        EXPECT_LT(V[0], 1.01) << "a model with crossing boundaries was evaluated";
    EXPECT_LE(Best[0], 1.0);
    EXPECT_GE(Best[0], 0.5);
    EXPECT_TRUE(S.Params.Model.IsValid());
}

TEST(OptAscent, CombinedMovesThatMakeBoundariesCrossAreNotAccepted) {
    // Each corner may move towards the other on its own, not both together.
    TScriptedSearch S;
    S.Params.Model.Add(Rect({0, 0}, {1, 1}, {0, 0, 0, 0}));
    S.Params.Model.Add(Rect({1.5, 0}, {2.5, 1}, {0, 0, 0, 0}));
    S.AddFree("a", 0, 0.4, 0.4, 0);
    S.AddFree("b", 0, 0.4, 0.4, 0);
    TParamInfo A = S.Params.GetParam(0);
    A.Changes.push_back({1, 0, -1.0, ckX, "Точка5"});
    S.Params.ReplaceParam(0, A);
    TParamInfo B = S.Params.GetParam(1);
    B.Changes.push_back({0, 1, 1.0, ckX, "Точка2"});
    S.Params.ReplaceParam(1, B);
    S.F = [](const TPoint& V) { return V[0] + V[1]; };
    TRealArray Best;
    double BestValue = 0;
    ASSERT_TRUE(S.OptimizeSpeed({}, BestValue, Best));
    // The combined move is refused; the answer is the better single move evaluated
    // on the way (the first of two equal ones), with the model left there.
    ASSERT_EQ(Best.size(), 2u);
    EXPECT_GT(Best[0], 0.2);
    EXPECT_EQ(Best[1], 0.0);
    EXPECT_EQ(BestValue, Best[0]);
    EXPECT_TRUE(S.Params.Model.IsValid());
    EXPECT_NEAR(S.Params.Model.Item(1).GetSegment(0).P1.X, 1.5 - Best[0], 1e-12);
}

TEST(OptStop, StopRequestEndsTheSearchWithTheBestSoFar) {
    TScriptedSearch S;
    S.AddFree("a", 0, 1, 0.5, 0);
    S.AddFree("b", 0, 1, 0.5, 0);
    S.F = [](const TPoint& V) { return V[0] + 10 * V[1]; };
    S.Tabulate = true;
    int Pumps = 0;
    S.ProcessEvents = [&] {
        if (++Pumps == 3)
            S.StopSearch();
    };
    TRealArray Best;
    double BestValue = 0;
    ASSERT_TRUE(S.OptimizeSpeed({}, BestValue, Best));
    EXPECT_TRUE(S.Stopped);
    // Two grid points; the better one's figures are known, nothing is evaluated again.
    ExpectPoints(S.Visits, {{0, 0}, {0.5, 0}});
    EXPECT_EQ(S.Visits.size(), 2u);
    EXPECT_EQ(Best, (TRealArray{0.5, 0}));
    EXPECT_EQ(BestValue, 0.5);

    // A new search starts afresh.
    S.ProcessEvents = nullptr;
    S.Visits.clear();
    ASSERT_TRUE(S.OptimizeSpeed({}, BestValue, Best));
    EXPECT_FALSE(S.Stopped);
    EXPECT_EQ(Best, (TRealArray{1, 1}));
}

TEST(OptStop, FiguresOfAnInterruptedEvaluationAreNotUsed) {
    TScriptedSearch S;
    S.AddFree("a", 0, 1, 0.5, 0);
    S.F = [](const TPoint& V) { return V[0]; };
    // The stop arrives while the point 1.0 is being evaluated.
    S.During = [&](const TPoint& V) {
        if (V[0] == 1.0)
            S.StopSearch();
    };
    S.Tabulate = true;
    TRealArray Best;
    double BestValue = 0;
    ASSERT_TRUE(S.OptimizeSpeed({}, BestValue, Best));
    EXPECT_EQ(Best, (TRealArray{0.5}));
    EXPECT_EQ(BestValue, 0.5);

    // A stop before anything was evaluated ends the search without evaluating even
    // the start: there are no figures, and the model stays at the start.
    TScriptedSearch T;
    T.AddFree("a", 0, 1, 0.5, 0.2);
    T.F = [](const TPoint& V) { return V[0]; };
    T.Tabulate = true;
    T.ProcessEvents = [&] { T.StopSearch(); };
    EXPECT_FALSE(T.OptimizeSpeed({}, BestValue, Best));
    EXPECT_TRUE(T.Visits.empty());
    EXPECT_TRUE(std::isnan(BestValue));
    EXPECT_EQ(Best, (TRealArray{0.2}));
    EXPECT_EQ(T.Values(), (TPoint{0.2}));
}

TEST(OptParticles, CaughtTestAndObjectives) {
    const double TMax = 5.0;
    // Ended just inside the 1e-10 margin: only the fewest-caught task counts it.
    EXPECT_TRUE(ParticleCaught(TMax - 5e-11, TMax, true));
    EXPECT_FALSE(ParticleCaught(TMax - 5e-11, TMax, false));
    EXPECT_TRUE(ParticleCaught(TMax - 1e-9, TMax, false));
    EXPECT_TRUE(ParticleCaught(TMax - 1e-9, TMax, true));
    EXPECT_FALSE(ParticleCaught(TMax, TMax, true));
    EXPECT_FALSE(ParticleCaught(TMax, TMax, false));

    EXPECT_DOUBLE_EQ(ParticleObjective(3, 2.0, false), 1.0);
    EXPECT_DOUBLE_EQ(ParticleObjective(0, 2.0, false), 0.0);
    EXPECT_DOUBLE_EQ(ParticleObjective(3, 1.0, true), 1.0 / 8.0);
    EXPECT_DOUBLE_EQ(ParticleObjective(0, 0.0, true), 1.0);
}

TEST(OptParticles, CaughtCountComesFromTheBestPoint) {
    TScriptedSearch S;
    S.AddFree("a", 0, 1, 0.5, 0);
    S.F = [](const TPoint& V) { return V[0] == 0.5 ? 1.0 : 0.0; };
    S.Out = [](const TPoint& V) { return V[0] == 0.5 ? 4.0 : 1.0; };
    S.Tabulate = true;
    S.GradientTolerance = 1e9;
    TRealArray Best;
    int Caught = -1;
    ASSERT_TRUE(S.OptimizeParticles({}, false, Best, Caught));
    EXPECT_EQ(Best, (TRealArray{0.5}));
    EXPECT_EQ(Caught, 4);
}

TEST(OptReport, VelocityTaskScalesSuctionByTheBestValue) {
    TOptimizedParams P;
    TParamInfo S1;
    S1.Name = "Отсос1";
    S1.Changes.push_back({0, 1, 1.0, ckFlow, "Отсос1"});
    S1.MaxValue = 5.0;
    TParamInfo S2 = S1;
    S2.Name = "Отсос2";
    TParamInfo H;
    H.Name = "h";
    P.AddParam(S1);
    P.AddParam(S2);
    P.AddParam(H);
    EXPECT_EQ(SearchReport(0, P, {1.0, 2.5, 0.05}, 2.0, 0),
              "Для обеспечения заданной скорости должны быть\r"
              "выбраны следующие производительности отсосов:\r"
              "Отсос1 = 0.500м/с\r"
              "Отсос2 = 1.250м/с\r"
              "\rГеометрические параметры должны иметь\r"
              "следующие значения:\r"
              "h = 0.050\r");
    // A required 3 m/s scales the suctions found for 1 m/s.
    EXPECT_NE(SearchReport(0, P, {1.0, 2.5, 0.05}, 2.0, 0, '.', 3.0).find("Отсос2 = 3.750м/с"),
              std::string::npos);
    EXPECT_EQ(SearchReport(1, P, {1.0, 2.5, -0.00004}, 2.0, 3, ','),
              "Должны быть выбраны следующие\r"
              "производительности отсосов:\r"
              "Отсос1 = 1,000м/с\r"
              "Отсос2 = 2,500м/с\r"
              "\rГеометрические параметры должны иметь\r"
              "следующие значения:\r"
              "h = 0,000\r"
              "\rКоличество уловленных частиц: 3");

    // Geometric parameters only, and no parameters at all.
    TOptimizedParams G;
    G.AddParam(H);
    EXPECT_EQ(SearchReport(2, G, {1234.5678}, 0, 0),
              "\rГеометрические параметры должны иметь\rследующие значения:\r"
              "h = 1234.570\r\rКоличество уловленных частиц: 0");
    EXPECT_EQ(SearchReport(0, TOptimizedParams{}, {}, 1.0, 0), "");
    EXPECT_EQ(SearchReport(1, TOptimizedParams{}, {}, 1.0, 2), "\rКоличество уловленных частиц: 2");
}

TEST(OptReport, SuctionOutsideItsRangeIsSaid) {
    TOptimizedParams P;
    TParamInfo S1;
    S1.Name = "Отсос1";
    S1.MinValue = 0.5;
    S1.MaxValue = 4.0;
    S1.Changes.push_back({0, 1, 1.0, ckFlow, "Отсос1"});
    P.AddParam(S1);
    // 4 m/s gave 0.25 m/s at the point: 1 m/s there needs 16.
    EXPECT_EQ(SearchReport(0, P, {4.0}, 0.25, 0, ','),
              "Для обеспечения заданной скорости должны быть\r"
              "выбраны следующие производительности отсосов:\r"
              "Отсос1 = 16,000м/с\r"
              "(вне заданного диапазона от 0,500 до 4,000м/с)\r");
    EXPECT_NE(SearchReport(0, P, {1.0}, 4.0, 0).find("Отсос1 = 0.250м/с\r(вне заданного"),
              std::string::npos);
    // At a bound, up to rounding, it is within.
    EXPECT_EQ(SearchReport(0, P, {4.0}, 1.0, 0, '.', 1.0 + 1e-15).find("вне"), std::string::npos);
    EXPECT_EQ(SearchReport(1, P, {4.0}, 0, 1).find("вне"), std::string::npos);
}

TEST(OptReport, VelocityTaskSaysSoWhenNoSuctionGivesTheVelocity) {
    // Zero (suction fixed at 0), opposite (an opening cannot push air that way) or
    // not evaluated at all: no number of suction, only words.
    TOptimizedParams P;
    TParamInfo S1;
    S1.Name = "Отсос1";
    S1.Changes.push_back({0, 1, 1.0, ckFlow, "Отсос1"});
    TParamInfo H;
    H.Name = "h";
    P.AddParam(S1);
    P.AddParam(H);
    for (double BestValue : {0.0, -0.0031, std::nan("")}) {
        EXPECT_EQ(SearchReport(0, P, {1.0, 0.05}, BestValue, 0),
                  "Никакая производительность этих отсосов не обеспечивает\r"
                  "заданную скорость в заданном направлении.\r"
                  "\rГеометрические параметры должны иметь\r"
                  "следующие значения:\r"
                  "h = 0.050\r")
            << BestValue;
    }
}
