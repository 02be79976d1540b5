// The bounds of what a user, a task or a command line may give the program, one checker
// per kind of number, and the check that a result is a number at all. Each refuses with
// a TRefusal: the Russian text names the field, English() is the command line's twin.
// Every front end calls these; none keeps a bound of its own.
#pragma once

#include "base/uKalvexError.h"
#include "geometry/GenFuncs.h"

#include <string>

namespace kalvex {

class TEdges;

// Whether a parsed value is a number any field or option may hold (not inf, not NaN).
bool IsNumber(double Value);

// A coordinate within ±MaxCoordinate (m). Name is the field's name ("X", "--box").
double CheckCoordinate(double Value, const std::string& Name);
TRealPoint CheckPoint(TRealPoint P, const std::string& XName = "X", const std::string& YName = "Y");
// A velocity within ±MaxVelocity (m/s).
double CheckVelocity(double Value, const std::string& Name);
// A speed above 0 and at most MaxVelocity (m/s): the contour's, the wizard's.
double CheckSpeed(double Value, const std::string& Name);
// A direction the program can normalise: finite components and a length that is
// neither zero nor infinite when squared and summed. Returns the unit vector.
TRealPoint CheckDirection(TRealPoint D, const std::string& Name);
// Modelling and every computed flow need boundaries that do not cross.
void CheckValidModel(const TEdges& Model);

// A computed value that is not a finite number is never shown or saved.
double CheckFiniteResult(double Value);
TRealPoint CheckFiniteResult(TRealPoint Value);

} // namespace kalvex
