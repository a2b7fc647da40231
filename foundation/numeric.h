#pragma once

namespace Brivox {

// a wrapped into 0 … n - 1 (indexes of pages and files wrap around); 0 when n ≤ 0.
inline int PositiveModulo(int a, int n)
{
    if (n <= 0)
        return 0;
    const int r = a % n;
    return r < 0 ? r + n : r;
}

// When a < b is false (equal values, or either one not a number) the result is a.
inline double MaxDouble(double a, double b)
{
    return a < b ? b : a;
}

// When a < b is false (equal values, or either one not a number) the result is b.
inline double MinDouble(double a, double b)
{
    return a < b ? a : b;
}

} // namespace Brivox
