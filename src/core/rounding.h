#pragma once

#include <cmath>

namespace pagorra {

// Nearest whole number, halves to the even one (2.5 -> 2, 3.5 -> 4, 87.5 -> 88, -0.5 -> 0),
// whatever the floating-point rounding mode is set to.
inline int roundHalfEven(double value)
{
    const double down = std::floor(value);
    const double fraction = value - down;
    double result = down;
    if (fraction > 0.5 || (fraction == 0.5 && std::fmod(down, 2.0) != 0.0))
        result = down + 1;
    return int(result);
}

} // namespace pagorra
