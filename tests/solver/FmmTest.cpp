#include "SolverBuilders.h"
#include "TestSupport.h"
#include "solver/uFmm.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

using namespace kalvex;
using namespace kalvex::test;

namespace {

// The cylinder example in equal elements: walls, slots and a rotating cylinder.
void Cylinder(TCountEdges& C, double Step) {
    TEdges M;
    M.LoadFromFile(ExamplePath("cylinder.asp"));
    C.Elements.DiscretizeEqual(M, 15, Step, 1.8);
}

std::vector<double> RandomVector(std::size_t N) {
    std::mt19937 Gen(7);
    std::uniform_real_distribution<double> U(-1.0, 1.0);
    std::vector<double> X(N);
    for (double& V : X)
        V = U(Gen);
    return X;
}

double RelativeError(const std::vector<double>& A, const std::vector<double>& B) {
    double D = 0.0, S = 0.0;
    for (std::size_t I = 0; I < A.size(); ++I) {
        D += (A[I] - B[I]) * (A[I] - B[I]);
        S += B[I] * B[I];
    }
    return std::sqrt(D / S);
}

} // namespace

TEST(Fmm, ProductFollowsTheDenseMatrixToTheRequestedAccuracy) {
    TCountEdges C;
    Cylinder(C, 0.0013);
    const std::size_t N = C.Elements.Elements.size();
    ASSERT_GT(N, 3500u);
    ASSERT_LT(N, 6000u);
    std::vector<double> A(N * N), B(N);
    C.AssembleFast(A.data(), B.data());
    const std::vector<double> X = RandomVector(N);
    std::vector<double> Dense(N, 0.0);
    for (std::size_t J = 0; J < N; ++J)
        for (std::size_t I = 0; I < N; ++I)
            Dense[I] += A[J * N + I] * X[J];
    double Last = 1.0;
    for (const double Accuracy : {1e-4, 1e-7, 1e-10}) {
        SCOPED_TRACE(Accuracy);
        TFmmSystem F(C.Elements.Elements, Accuracy, 2);
        ASSERT_TRUE(F.BuildNear());
        std::vector<double> Y(N, 1.0);
        ASSERT_TRUE(F.Apply(1.0, X.data(), 0.0, Y.data()));
        const double Error = RelativeError(Y, Dense);
        std::printf("accuracy %g: order %d, error %.3g\n", Accuracy, F.Order(), Error);
        EXPECT_LT(Error, Accuracy);
        EXPECT_LT(Error, Last / 100.0);
        Last = Error;
    }
}

TEST(Fmm, NearTermsAreTheDenseEntriesAndThreadsChangeNothing) {
    TCountEdges C;
    Cylinder(C, 0.004);
    const std::size_t N = C.Elements.Elements.size();
    ASSERT_GT(N, 600u);
    std::vector<double> A(N * N), B(N);
    C.AssembleFast(A.data(), B.data());
    TFmmSystem One(C.Elements.Elements, 1e-10, 1);
    TFmmSystem Two(C.Elements.Elements, 1e-10, 2);
    ASSERT_TRUE(One.BuildNear());
    ASSERT_TRUE(Two.BuildNear());
    for (const std::size_t J : {std::size_t{0}, N / 3, N - 1}) {
        // A unit vector: the far series are zero, the near terms are the column itself.
        std::vector<double> E(N, 0.0), Y1(N), Y2(N);
        E[J] = 1.0;
        ASSERT_TRUE(One.Apply(1.0, E.data(), 0.0, Y1.data()));
        ASSERT_TRUE(Two.Apply(1.0, E.data(), 0.0, Y2.data()));
        EXPECT_EQ(Y1, Y2);
        for (std::size_t I = J > 0 ? J - 1 : J; I <= std::min(N - 1, J + 1); ++I)
            EXPECT_EQ(Y1[I], A[J * N + I]) << I << " " << J;
    }
}
