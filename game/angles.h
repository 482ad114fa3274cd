#pragma once
#include <cmath>
#include <numbers>

// Sine and cosine of an angle in degrees, in double precision: the bubbles'
// breathing and the directions of a popped bubble's pieces.
inline double SinDeg(double d) {
    return std::sin(d * std::numbers::pi / 180.0);
}
inline double CosDeg(double d) {
    return std::cos(d * std::numbers::pi / 180.0);
}
