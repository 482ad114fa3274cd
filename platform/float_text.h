#pragma once
#include <string>

// A float as the shortest decimal text that reads back to the same float,
// written the same way on every platform and compiler: the digits are the
// shortest round-trip digits (the closest to the value where several are that
// short), in plain decimal notation ("0.25", "1500") or in scientific notation
// with a signed exponent of at least two digits ("1e+20", "2.5e-07"),
// whichever is shorter, plain on a tie. This is what std::to_chars(first, last,
// value) gives, without needing it (not every standard library has it for
// floating point). Infinities are "inf" / "-inf", NaN is "nan".
void AppendShortestFloat(std::string& out, float value);
std::string ShortestFloat(float value);
