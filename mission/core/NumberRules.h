#pragma once

// How the mission templates turn box texts into numbers.

#include <QString>
#include <optional>

namespace bravik::mission {

// The lenient reading some templates use for degrees, minutes and legs:
// blanks, tabs and line feeds are ignored wherever they stand; then an
// optional sign, digits with at most one "." and an optional exponent.
// Reading stops at the first character that does not fit, and a text that
// does not begin with a number gives 0.  It never fails: "12.5 m" gives
// 12.5, "abc" gives 0, "1 2" gives 12.  A number too large for a double
// gives an infinity; callers that write it check for that.
double numericTextValue(const QString &text);

// The strict reading: the whole text (surrounding white space aside) must
// be one decimal number, "." as the decimal point whatever the locale,
// with an optional sign and exponent.  Anything else, or a number beyond
// the range of a double, gives no value.
std::optional<double> strictNumber(const QString &text);

// How a text that the strict reading refuses falls short: not a number at
// all, or a number beyond the range of a double ("1e400" is too large,
// "-1e400" too small).
enum class StrictRefusal { NotANumber, TooLarge, TooSmall };
StrictRefusal strictRefusal(const QString &text);

// Rounds to the nearest whole number, a half going to the even neighbour
// (0.5 -> 0, 1.5 -> 2, 2.5 -> 2, -2.5 -> -2).
double roundHalfEven(double value);

// The whole-number fields of a script are signed 16-bit.
constexpr int kInt16Min = -32768;
constexpr int kInt16Max = 32767;

// roundHalfEven, or no value when the result (or the input) does not fit
// a signed 16-bit whole number.
std::optional<int> roundToInt16(double value);

} // namespace bravik::mission
