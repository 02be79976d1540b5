// Numbers inside the program's messages, in the notation of the front end that shows
// them: the window sets its user's decimal separator once, the command line keeps '.'.
#pragma once

#include <string>

namespace kalvex {

void SetMessageDecimalSeparator(char Sep);
char MessageDecimalSeparator();
// Up to six significant digits; exponent form for very large or small values
// ("1e+308"), never hundreds of digits.
std::string MessageNumber(double Value);
// A count as a whole number while it is one a person reads (below 1e15), else as
// MessageNumber gives it.
std::string MessageCount(double Value);

} // namespace kalvex
