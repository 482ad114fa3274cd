#include "platform/float_text.h"

#include <cmath>

#include <dragonbox/dragonbox.h>

void AppendShortestFloat(std::string& out, float value) {
    if (std::isnan(value)) {
        out += "nan";
        return;
    }
    if (std::signbit(value)) out += '-';
    if (std::isinf(value)) {
        out += "inf";
        return;
    }
    if (value == 0.0f) {
        out += '0';
        return;
    }
    // value = digits x 10^exponent, the digits without trailing zeros.
    const auto dec = jkj::dragonbox::to_decimal(std::fabs(value));
    const std::string digits = std::to_string(dec.significand);
    const int n = static_cast<int>(digits.size());
    const int e = dec.exponent;

    const int sci_exp = e + n - 1;
    const int abs_sci_exp = sci_exp < 0 ? -sci_exp : sci_exp;
    const int sci_len = n + (n > 1 ? 1 : 0) + 2 + (abs_sci_exp >= 100 ? 3 : 2);
    int fixed_len;
    if (e >= 0)
        fixed_len = n + e;
    else if (n + e > 0)
        fixed_len = n + 1;
    else
        fixed_len = 2 - e;

    if (fixed_len <= sci_len) {
        if (e > 0) {
            // A float this large is a whole number, written exactly (which is
            // what std::to_chars does) rather than as the digits padded with
            // zeros; it is below 10^15, so a double and an integer hold it.
            out += std::to_string(static_cast<unsigned long long>(std::fabs(static_cast<double>(value))));
        } else if (e == 0) {
            out += digits;
        } else if (n + e > 0) {
            out.append(digits, 0, static_cast<std::size_t>(n + e));
            out += '.';
            out.append(digits, static_cast<std::size_t>(n + e), std::string::npos);
        } else {
            out += "0.";
            out.append(static_cast<std::size_t>(-(n + e)), '0');
            out += digits;
        }
        return;
    }
    out += digits[0];
    if (n > 1) {
        out += '.';
        out.append(digits, 1, std::string::npos);
    }
    out += 'e';
    out += sci_exp < 0 ? '-' : '+';
    if (abs_sci_exp < 10) out += '0';
    out += std::to_string(abs_sci_exp);
}

std::string ShortestFloat(float value) {
    std::string out;
    AppendShortestFloat(out, value);
    return out;
}
