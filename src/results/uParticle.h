// Particle trajectories: the drag laws, the rebound at a wall and the trace with its
// full outcome. TraceParticle is the short form of TraceParticleEx.
#pragma once

#include "geometry/GenFuncs.h"
#include "results/uDrawLines.h"

#include <cstdint>
#include <optional>
#include <string>

namespace kalvex {

class TCountEdges;

inline constexpr double Gravity = 9.81;
inline constexpr double ReboundOffset = 0.001;
inline constexpr std::uint32_t TrajectoryColor = 0x008000FF;
// Real-axis stability bound of the classical Runge-Kutta step: |h·λ| ≤ 2.785.
inline constexpr double RungeKuttaStableLimit = 2.785;
// A step that would need more stable sub-steps than this takes the exact frozen step.
inline constexpr double MaxRungeKuttaSubSteps = 256;
// The trajectory command refuses shorter steps.
inline constexpr double MinParticleStep = 1e-10;
inline constexpr const char* MinParticleStepText = "1e-10 s";

enum class TDragLaw : std::uint8_t { dlStokes, dlKlyachko, dlAdamov };

// Law by Reynolds number: below 0.2 Stokes, below 1000 Klyachko, else Adamov.
TDragLaw DragLawFor(double Re);
// " (Стокс)", " (Клячко)", " (Адамов)".
std::string DragLawName(TDragLaw Law);
// Drag coefficient Cd of the law that Re selects.
double DragCoefficient(double Re);
// Drag factor KDrag = Cd·A·W with A = (π·D²/4)·RhoAir·Chi/2, so that the drag force
// is KDrag times the relative velocity. At W = 0 it takes its limit 3π·Mu·D·Chi.
double DragFactor(double W, double D, double RhoAir, double Mu, double Chi);

// Velocity after hitting the wall P1→P2 (restitution normal to it, friction along it).
// Without friction (Q = 0) the tangential speed is kept.
TRealPoint ReboundVelocity(TRealPoint Velocity, TRealPoint P1, TRealPoint P2, double Restitution,
                           double Friction);

// Advances the state (Vx, X, Vy, Y) by H exactly under gravity and a drag of rate
// Rate = KDrag/Mass towards the air velocity U, both held fixed over the step.
void FrozenDragStep(TRealArray& Y, TRealPoint U, double Rate, double H);

struct TParticleParams {
    TRealPoint Start{1.0, 1.0};
    TRealPoint StartVelocity{0.0, 0.0};
    double D = 0.0001;
    double RhoAir = 1.205;
    double RhoParticle = 3500.0;
    double Mu = 0.0000178;
    double Chi = 1.0;
    double Restitution = 0.5;
    double Friction = 0.5;
    double H = 0.005;
    double TMax = 5.0;
};

// A parameter no trace can use: Key is its name in the task file ("d", "rho_air",
// "rho_particle", "mu", "chi", "restitution", "friction", "h", "tmax", "x", "y", "vx",
// "vy"), Message says why.
struct TParticleFault {
    std::string Key;
    std::string Message;
    // For the window: the field as the dialogs name it, the rule and the value given.
    std::string Russian;
};
// The first fault of P, if any: D, densities, Mu and Chi positive; restitution and
// friction from 0 to 1; H at least MinParticleStep; TMax not negative; the start
// within MaxCoordinate and its velocity within MaxVelocity.
std::optional<TParticleFault> CheckParticleParams(const TParticleParams& P);
inline constexpr const char* ParticleInputError = "Ошибка при вводе параметров.";
// Throws a TRefusal for the first fault: ParticleInputError and the Russian reason,
// "key: message" as its English twin.
void RequireParticleParams(const TParticleParams& P);

enum class TParticleEnd : std::uint8_t { peTime, peCaught, peStopped };

struct TParticleResult {
    // Model time at the start of the last step taken; equals the time the rotating
    // cylinders were turned by.
    double Time = 0.0;
    TParticleEnd End = TParticleEnd::peTime;
    // Reynolds number at the release point and its law.
    double StartRe = 0.0;
    TDragLaw StartLaw = TDragLaw::dlStokes;
    // The trace stopped at MaxLinePoints points rather than at TMax.
    bool PointLimit = false;
};

// Traces one particle and replaces Line by its trajectory. On a floating-point fault
// it throws TCalcError, leaves Line as it was and turns rotating cylinders back to
// where the trace found them. The texts for TimeLabel and ReLabel carry '.' as their
// decimal separator (FormatNumber); the app's hooks put in the locale's.
TParticleResult TraceParticleEx(TCountEdges& Evaluator, TColorPointArray& Line,
                                const TParticleParams& P);

// The short form: returns the flight time (TParticleResult::Time).
double TraceParticle(TCountEdges& Evaluator, TColorPointArray& Line, TRealPoint Start,
                     TRealPoint StartVelocity, double D, double RhoAir, double RhoParticle,
                     double Mu, double Chi, double Restitution, double Friction, double H,
                     double TMax);

// The trajectory command: refuses a step below 1e-10 s ("Слишком маленький шаг
// интегрирования."), traces and appends the line to Store (earlier lines stay).
TParticleResult BuildParticleTrace(TCountEdges& Evaluator, TDrawLines& Store,
                                   const TParticleParams& P);

} // namespace kalvex
