// Classical fourth-order Runge-Kutta steps of fixed length for a system
// dY/dt = F(Y, t). No step-size control: the caller picks the step and checks the
// state between steps.
#pragma once

#include "geometry/GenFuncs.h"

#include <array>
#include <functional>
#include <vector>

namespace kalvex {

// Right-hand side of one equation: sees the whole state and the time, returns the
// derivative of its own component.
using TRightSide = std::function<double(const TRealArray& Y, double t)>;
using TFunctionArray = std::vector<TRightSide>;

// One integration owns its work storage, so integrations never share it.
class TRungeKutta {
public:
    TRungeKutta() = default;
    explicit TRungeKutta(int N) { InitRungeKutta(N); }

    // Sizes the work storage for N equations.
    void InitRungeKutta(int N);
    // Advances Y from t to t + h in place. Every stage is finished for all equations
    // before the next one starts, so a right-hand side may read any component.
    // Throws TKalvexError when N is negative or exceeds the storage, Y or F.
    void RungeKuttaStep(double& t, TRealArray& Y, const TFunctionArray& F, int N, double h);
    void DoneRungeKutta(int N);

private:
    std::vector<std::array<double, 4>> K;
    TRealArray YStage;
};

} // namespace kalvex
