#include "geometry/uInputChecks.h"

#include "base/uMessageNumber.h"
#include "geometry/uEdges.h"

#include <cmath>

namespace kalvex {

static_assert(MaxCoordinate == 1e6 && MaxVelocity == 1e4, "the texts below name the bounds");

bool IsNumber(double Value) {
    return std::isfinite(Value);
}

double CheckCoordinate(double Value, const std::string& Name) {
    if (!(std::abs(Value) <= MaxCoordinate))
        throw TRefusal("Координата " + Name + " = " + MessageNumber(Value) +
                           " вне допустимых пределов.\rКоординаты должны лежать в пределах "
                           "±1e6 м.",
                       Name + ": " + MessageNumber(Value) + " is beyond ±1e6 m");
    return Value;
}

TRealPoint CheckPoint(TRealPoint P, const std::string& XName, const std::string& YName) {
    return {CheckCoordinate(P.X, XName), CheckCoordinate(P.Y, YName)};
}

double CheckVelocity(double Value, const std::string& Name) {
    if (!(std::abs(Value) <= MaxVelocity))
        throw TRefusal("Скорость " + Name + " = " + MessageNumber(Value) +
                           " вне допустимых пределов.\rСкорости должны лежать в пределах "
                           "±1e4 м/с.",
                       Name + ": " + MessageNumber(Value) + " is beyond ±1e4 m/s");
    return Value;
}

double CheckSpeed(double Value, const std::string& Name) {
    if (!(Value > 0.0) || !(Value <= MaxVelocity))
        throw TRefusal("Скорость " + Name + " = " + MessageNumber(Value) +
                           " задана некорректно.\rСкорость должна быть больше 0 и не больше "
                           "1e4 м/с.",
                       Name + ": expected a speed above 0 and at most 1e4 m/s");
    return Value;
}

TRealPoint CheckDirection(TRealPoint D, const std::string& Name) {
    // The evaluator normalises by the plain length: what underflows or overflows there
    // gives a velocity of 0 or NaN, not an answer.
    const double L = VectorLength(D);
    const TRealPoint U = D / L;
    if (!std::isfinite(D.X) || !std::isfinite(D.Y) || !(L > 0.0) || !std::isfinite(L) ||
        !(std::abs(VectorLength(U) - 1.0) < 1e-9))
        throw TRefusal("Направление " + Name + " = (" + MessageNumber(D.X) + "; " +
                           MessageNumber(D.Y) +
                           ") задано некорректно.\rУ вектора направления должна быть "
                           "конечная ненулевая длина.",
                       Name + ": the direction (" + MessageNumber(D.X) + ", " + MessageNumber(D.Y) +
                           ") has no finite non-zero length");
    return U;
}

void CheckValidModel(const TEdges& Model) {
    if (!Model.IsValid())
        throw TRefusal("Границы системы пересекаются.\rПереход в режим моделирования "
                       "невозможен: исправьте границы в режиме редактирования.",
                       "the boundaries of this model cross (info: valid: false); no flow "
                       "can be computed for it");
}

double CheckFiniteResult(double Value) {
    if (!std::isfinite(Value))
        throw TRefusal("Произошла ошибка в вычислениях.\rРезультат не является конечным "
                       "числом; он не показан и не сохранен.",
                       "Произошла ошибка в вычислениях.\ra result is not a finite number");
    return Value;
}

TRealPoint CheckFiniteResult(TRealPoint Value) {
    CheckFiniteResult(Value.X);
    CheckFiniteResult(Value.Y);
    return Value;
}

} // namespace kalvex
