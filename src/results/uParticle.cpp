#include "results/uParticle.h"

#include "base/uDrawSurface.h"
#include "base/uMessageNumber.h"
#include "results/uDifur.h"
#include "results/uTextFormat.h"
#include "solver/uCountEdges.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace kalvex {

namespace {

constexpr double StokesLimit = 0.2;
constexpr double AdamovLimit = 1000.0;
// A particle wedged in a corner must not hold the pull-back loop forever; after this
// many halvings the remaining distance is far below any step.
constexpr int MaxPullBacks = 64;

double TwoThirdsPower(double Re) {
    return std::exp(std::log(Re) * 2 / 3);
}

// Factor by which a law's Cd exceeds Stokes' 24/Re.
double LawCorrection(double Re) {
    switch (DragLawFor(Re)) {
    case TDragLaw::dlStokes:
        return 1.0;
    case TDragLaw::dlKlyachko:
        return 1 + TwoThirdsPower(Re) / 6;
    case TDragLaw::dlAdamov:
        return std::pow(1 + 0.065 * TwoThirdsPower(Re), 1.5);
    }
    return 1.0;
}

bool AllFinite(const TRealArray& Y) {
    return std::all_of(Y.begin(), Y.end(), [](double V) { return std::isfinite(V); });
}

} // namespace

TDragLaw DragLawFor(double Re) {
    if (Re < StokesLimit)
        return TDragLaw::dlStokes;
    if (Re < AdamovLimit)
        return TDragLaw::dlKlyachko;
    return TDragLaw::dlAdamov;
}

std::string DragLawName(TDragLaw Law) {
    switch (Law) {
    case TDragLaw::dlStokes:
        return " (Стокс)";
    case TDragLaw::dlKlyachko:
        return " (Клячко)";
    case TDragLaw::dlAdamov:
        return " (Адамов)";
    }
    return {};
}

double DragCoefficient(double Re) {
    return 24 / Re * LawCorrection(Re);
}

double DragFactor(double W, double D, double RhoAir, double Mu, double Chi) {
    // Cd·A·W with Cd = (24/Re)·correction and A = (π·D²/4)·RhoAir·Chi/2 is
    // 3π·Mu·D·Chi·correction: written so, it needs no division by W and keeps its
    // finite limit for a particle at rest in still air.
    const double Re = RhoAir * D * W / Mu;
    return 3 * std::numbers::pi * Mu * D * Chi * LawCorrection(Re);
}

TRealPoint ReboundVelocity(TRealPoint Velocity, TRealPoint P1, TRealPoint P2, double Restitution,
                           double Friction) {
    double Alpha = AngleBetween(P2 - P1, TRealPoint{1, 0});
    if (P2.Y < P1.Y)
        Alpha = -Alpha;
    const TRealPoint Local = RotateVector(Velocity, -Alpha);
    double Wt = Local.X;
    double Wn = Local.Y;
    const double Q = (1 + Restitution) * Friction * Wn;
    // Without friction the tangential speed is kept (the rule below would divide by 0).
    if (Q != 0)
        Wt = Wt + Q * std::min((-2 * Wt) / (7 * Q), 1.0);
    Wn = -Restitution * Wn;
    return RotateVector(TRealPoint{Wt, Wn}, Alpha);
}

void FrozenDragStep(TRealArray& Y, TRealPoint U, double Rate, double H) {
    // v' = -Rate·(v - U) - g·ey relaxes towards Vs = U - (g/Rate)·ey:
    // v(H) = Vs + (v0 - Vs)·e^(-Rate·H), x(H) = x0 + Vs·H + (v0 - Vs)·(1 - e^(-Rate·H))/Rate.
    const double Decay = std::exp(-Rate * H);
    const double Reach = -std::expm1(-Rate * H) / Rate;
    const TRealPoint Vs{U.X, U.Y - Gravity / Rate};
    const TRealPoint Lag{Y[0] - Vs.X, Y[2] - Vs.Y};
    Y[1] += Vs.X * H + Lag.X * Reach;
    Y[3] += Vs.Y * H + Lag.Y * Reach;
    Y[0] = Vs.X + Lag.X * Decay;
    Y[2] = Vs.Y + Lag.Y * Decay;
}

std::optional<TParticleFault> CheckParticleParams(const TParticleParams& P) {
    const auto Positive = [](double V) { return V > 0.0; };
    const auto Unit = [](double V) { return V >= 0.0 && V <= 1.0; };
    const auto Place = [](double V) { return std::abs(V) <= MaxCoordinate; };
    const auto Speed = [](double V) { return std::abs(V) <= MaxVelocity; };
    const std::string MustBePositive = "must be positive";
    const std::string FromZeroToOne = "must be from 0 to 1";
    static_assert(MaxCoordinate == 1e6 && MaxVelocity == 1e4, "the texts below name them");
    const std::string Where = "must be within ±1e6 m";
    const std::string HowFast = "must be within ±1e4 m/s";
    const std::string RuPositive = " должен быть положительным числом";
    const std::string RuPositiveF = " должна быть положительным числом";
    const std::string RuUnit = " должен лежать в пределах от 0 до 1";
    const std::string RuWhere = " должна лежать в пределах ±1e6 м";
    const std::string RuHowFast = " должна лежать в пределах ±1e4 м/с";
    const struct {
        const char* Key;
        double Value;
        bool Ok;
        const std::string& Message;
        const char* Field;
        const std::string& Russian;
    } Rules[] = {
        {"d", P.D, Positive(P.D), MustBePositive, "Эквивалентный диаметр частицы", RuPositive},
        {"rho_particle", P.RhoParticle, Positive(P.RhoParticle), MustBePositive,
         "Плотность частицы", RuPositiveF},
        {"rho_air", P.RhoAir, Positive(P.RhoAir), MustBePositive, "Плотность среды", RuPositiveF},
        {"mu", P.Mu, Positive(P.Mu), MustBePositive, "Динамическая вязкость воздуха", RuPositiveF},
        {"chi", P.Chi, Positive(P.Chi), MustBePositive, "Коэффициент динамической формы частицы",
         RuPositive},
        {"restitution", P.Restitution, Unit(P.Restitution), FromZeroToOne,
         "Коэффициент восстановления при ударе", RuUnit},
        {"friction", P.Friction, Unit(P.Friction), FromZeroToOne, "Коэффициент трения скольжения",
         RuUnit},
        {"x", P.Start.X, Place(P.Start.X), Where, "Координата X точки вылета", RuWhere},
        {"y", P.Start.Y, Place(P.Start.Y), Where, "Координата Y точки вылета", RuWhere},
        {"vx", P.StartVelocity.X, Speed(P.StartVelocity.X), HowFast, "Начальная скорость Vx",
         RuHowFast},
        {"vy", P.StartVelocity.Y, Speed(P.StartVelocity.Y), HowFast, "Начальная скорость Vy",
         RuHowFast},
    };
    const auto Given = [](double V) { return " (задано " + MessageNumber(V) + ")."; };
    for (const auto& R : Rules)
        if (!R.Ok || !std::isfinite(R.Value))
            return TParticleFault{R.Key, R.Message, R.Field + R.Russian + Given(R.Value)};
    if (!std::isfinite(P.H) || P.H < MinParticleStep)
        return TParticleFault{"h", "Слишком маленький шаг интегрирования.",
                              "Слишком маленький шаг интегрирования: шаг должен быть не меньше "
                              "1e-10 сек."};
    if (!(P.TMax >= 0.0) || !std::isfinite(P.TMax))
        return TParticleFault{"tmax", "must not be negative",
                              "Максимальное время моделирования не может быть отрицательным" +
                                  Given(P.TMax)};
    return std::nullopt;
}

void RequireParticleParams(const TParticleParams& P) {
    if (const auto Fault = CheckParticleParams(P))
        throw TRefusal(std::string(ParticleInputError) + "\r" + Fault->Russian,
                       Fault->Key + ": " + Fault->Message);
}

TParticleResult TraceParticleEx(TCountEdges& E, TColorPointArray& Line, const TParticleParams& P) {
    if (!std::isfinite(P.H) || P.H < MinParticleStep)
        throw TKalvexError("Слишком маленький шаг интегрирования.");
    if (std::isnan(P.TMax))
        throw TKalvexError("Ошибка при вводе параметров.");
    E.EnsureSolved();

    const double g = Gravity;
    const double H = P.H;
    const double Mass = std::numbers::pi * P.RhoParticle * P.D * P.D * P.D / 6;
    TRealArray Y = {P.StartVelocity.X, P.Start.X, P.StartVelocity.Y, P.Start.Y};
    if (!AllFinite(Y))
        throw TCalcError();

    // Air velocity and drag, frozen over the four stages of a step.
    double Ux = 0;
    double Uy = 0;
    double KDrag = 0;
    auto Freeze = [&](TRealPoint At) {
        const TRealPoint U = E.Velocity(At);
        Ux = U.X;
        Uy = U.Y;
        const double W = std::sqrt((Y[0] - Ux) * (Y[0] - Ux) + (Y[2] - Uy) * (Y[2] - Uy));
        KDrag = DragFactor(W, P.D, P.RhoAir, P.Mu, P.Chi);
        return W;
    };

    TParticleResult Result;
    const double W0 = Freeze(P.Start);
    Result.StartRe = P.RhoAir * P.D * W0 / P.Mu;
    Result.StartLaw = DragLawFor(Result.StartRe);
    if (E.ReLabel)
        E.ReLabel(FormatNumber(Result.StartRe) + DragLawName(Result.StartLaw));

    const TFunctionArray F = {
        [&](const TRealArray& S, double) { return -KDrag * (S[0] - Ux) / Mass; },
        [](const TRealArray& S, double) { return S[0]; },
        [&](const TRealArray& S, double) { return -g - KDrag * (S[2] - Uy) / Mass; },
        [](const TRealArray& S, double) { return S[2]; },
    };

    double t = 0;
    long long N = 0;
    E.Stopped = false;
    TRungeKutta RK(4);

    TColorPointArray L;
    L.reserve(100);
    L.push_back({0, P.Start});

    auto Targets = [&]() {
        std::array<TDrawSurface*, 2> T{E.Canvas, E.Canvas ? E.BufferCanvas : nullptr};
        return T;
    };
    auto PixelOf = [&](TRealPoint Q) {
        return TPixel{E.OriginX + ScreenPixel(Q.X / E.Scale),
                      E.OriginY - ScreenPixel(Q.Y / E.Scale)};
    };
    auto SetPen = [&](TColor C) {
        for (TDrawSurface* S : Targets())
            if (S)
                S->SetPenColor(C);
    };
    auto DrawTo = [&](TRealPoint Q) {
        const TPixel Px = PixelOf(Q);
        for (TDrawSurface* S : Targets())
            if (S)
                S->LineTo(Px.X, Px.Y);
    };
    auto Pump = [&]() {
        if (E.ProcessEvents)
            E.ProcessEvents();
    };

    if (E.Canvas) {
        SetPen(TrajectoryColor);
        const TPixel Px = PixelOf(P.Start);
        for (TDrawSurface* S : Targets())
            if (S)
                S->MoveTo(Px.X, Px.Y);
    }

    // One step of length H. The explicit step with frozen drag is stable only while
    // H·KDrag/Mass stays within the Runge-Kutta bound; past it dust takes the fewest
    // equal sub-steps that are, with the same frozen air velocity and drag. Finer dust
    // would need ever more of them, so it takes the exact solution of the frozen step.
    auto Advance = [&]() {
        const double Rate = KDrag / Mass;
        if (Rate > 0 && std::isfinite(Rate) && H * Rate > RungeKuttaStableLimit) {
            double Count = std::ceil(H * Rate / RungeKuttaStableLimit);
            if ((H / Count) * Rate > RungeKuttaStableLimit)
                Count += 1;
            const double T0 = t;
            if (Count > MaxRungeKuttaSubSteps) {
                FrozenDragStep(Y, TRealPoint{Ux, Uy}, Rate, H);
            } else {
                const double Sub = H / Count;
                for (double K = 0; K < Count; K += 1)
                    RK.RungeKuttaStep(t, Y, F, 4, Sub);
            }
            t = T0 + H;
        } else {
            RK.RungeKuttaStep(t, Y, F, 4, H);
        }
        if (!AllFinite(Y))
            throw TCalcError();
    };

    const bool Moving = E.Elements.HasRotatingSlit;
    const TEdges& Walls = E.Elements.Edges;
    double Turned = 0;
    // Turning cylinders are drawn as they stand and the window's events handled when
    // due, not at every step: a repaint a step cost the window a sixth of a trace.
    bool TurnDrawn = true;
    TPacedPump TurnPump(
        [&] {
            if (E.RedrawCylinders)
                E.RedrawCylinders();
            TurnDrawn = true;
            Pump();
        },
        E.PumpInterval);

    try {
        for (;;) {
            const TRealPoint Prev{Y[1], Y[3]};
            Freeze(Prev);
            Advance();
            if (N % 20 == 0) {
                if (E.TimeLabel)
                    E.TimeLabel(FormatNumber(t - H));
                Pump();
                if (E.Stopped) {
                    Result.End = TParticleEnd::peStopped;
                    break;
                }
            }
            ++N;
            if (t > P.TMax)
                break;
            SetPen(TrajectoryColor);
            const TRealPoint New{Y[1], Y[3]};
            TEdgeSegment Seg;
            TRealPoint C = New;
            if (Walls.SegmentHitsBoundary(Prev, New, &Seg, &C)) {
                Y[1] = C.X;
                Y[3] = C.Y;
                L.push_back({TrajectoryColor, C});
                DrawTo(C);
                if (Seg.V != 0) {
                    Result.End = TParticleEnd::peCaught;
                    break;
                }
                const TRealPoint W = ReboundVelocity(TRealPoint{Y[0], Y[2]}, Seg.P1, Seg.P2,
                                                     P.Restitution, P.Friction);
                Y[0] = W.X;
                Y[2] = W.Y;
                const double Len = VectorLength(W);
                // The offset must take the particle back to the side it came from: a
                // particle left on the wall would pass through it on its next step.
                // Without restitution (or when the velocity at the end of the step
                // already led away) the new velocity runs along or into the wall, so
                // the particle is set off straight along the wall's normal instead.
                const TRealPoint Wall = Seg.P2 - Seg.P1;
                TRealPoint Back{-Wall.Y, Wall.X};
                const double Came = DotProduct(Prev - C, Back);
                if (Came < 0)
                    Back = -1.0 * Back;
                const double BackLen = VectorLength(Back);
                if (Len > 0 && (Came == 0 || DotProduct(W, Back) > 0)) {
                    Y[1] = Y[1] + ReboundOffset * Y[0] / Len;
                    Y[3] = Y[3] + ReboundOffset * Y[2] / Len;
                } else if (Came != 0 && BackLen > 0) {
                    Y[1] = Y[1] + ReboundOffset * Back.X / BackLen;
                    Y[3] = Y[3] + ReboundOffset * Back.Y / BackLen;
                }
                TRealPoint C2 = C;
                int Pulls = 0;
                while (Walls.SegmentHitsBoundary(C, TRealPoint{Y[1], Y[3]}, nullptr, &C2)) {
                    if (++Pulls > MaxPullBacks) {
                        Y[1] = C.X;
                        Y[3] = C.Y;
                        break;
                    }
                    Y[1] = (C.X + C2.X) / 2;
                    Y[3] = (C.Y + C2.Y) / 2;
                    C2 = C;
                }
                if (!AllFinite(Y))
                    throw TCalcError();
            } else {
                L.push_back({TrajectoryColor, New});
                DrawTo(New);
            }
            // A long flight with a short step would otherwise fill the memory.
            if (L.size() >= MaxLinePoints) {
                Result.PointLimit = true;
                break;
            }
            if (Moving) {
                // Solve for the cylinders as they stand, then turn them by the step.
                // A stop inside the solve ends the flight where it is, as between steps.
                try {
                    E.SolveTurned();
                } catch (const TSolveStopped&) {
                    Result.End = TParticleEnd::peStopped;
                    break;
                }
                TurnPump();
                if (E.Stopped) {
                    Result.End = TParticleEnd::peStopped;
                    break;
                }
                E.Elements.RotateCylinders(H);
                if (E.Model)
                    E.Model->RotateSlits(H);
                Turned += H;
                TurnDrawn = false;
            }
        }
        if (!TurnDrawn && E.RedrawCylinders)
            E.RedrawCylinders();
    } catch (...) {
        // A failed trace leaves the cylinders where it found them.
        if (Turned != 0) {
            E.Elements.RotateCylinders(-Turned);
            if (E.Model)
                E.Model->RotateSlits(-Turned);
            E.ClearIntensities();
            if (E.RedrawCylinders)
                E.RedrawCylinders();
        }
        throw;
    }
    RK.DoneRungeKutta(4);
    L.shrink_to_fit();
    Line = std::move(L);
    Result.Time = t - H;
    return Result;
}

double TraceParticle(TCountEdges& Evaluator, TColorPointArray& Line, TRealPoint Start,
                     TRealPoint StartVelocity, double D, double RhoAir, double RhoParticle,
                     double Mu, double Chi, double Restitution, double Friction, double H,
                     double TMax) {
    TParticleParams P;
    P.Start = Start;
    P.StartVelocity = StartVelocity;
    P.D = D;
    P.RhoAir = RhoAir;
    P.RhoParticle = RhoParticle;
    P.Mu = Mu;
    P.Chi = Chi;
    P.Restitution = Restitution;
    P.Friction = Friction;
    P.H = H;
    P.TMax = TMax;
    return TraceParticleEx(Evaluator, Line, P).Time;
}

TParticleResult BuildParticleTrace(TCountEdges& Evaluator, TDrawLines& Store,
                                   const TParticleParams& P) {
    TColorPointArray Line;
    const TParticleResult R = TraceParticleEx(Evaluator, Line, P);
    Store.AddLine(Line);
    return R;
}

} // namespace kalvex
