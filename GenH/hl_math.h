// Number helpers of the shared header.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "GenH/hl_types.h"

void __MACIBM_alert(int return_window, std::string line1, std::string line2, std::string line3,
                    std::string line4, int type, const char* file, int line);

// `v` rounded to a float. The x87 unit keeps every intermediate in an 80-bit
// register until it is stored, so there only a store to memory rounds it;
// with it a float result is the same on every build.
inline float round_to_float(double v)
{
#if defined(__FLT_EVAL_METHOD__) && __FLT_EVAL_METHOD__ != 0
    volatile float stored = static_cast<float>(v);
    return stored;
#else
    return static_cast<float>(v);
#endif
}

namespace hl_detail {
// Decimal digits of n, zero-padded to at least `width` (width capped at ten).
inline std::string padded_digits(uint64_t n, int width)
{
    if (width > 10) width = 10;
    if (width < 1) width = 1;
    std::string s = std::to_string(n);
    if (static_cast<int>(s.size()) < width) s.insert(0, width - s.size(), '0');
    return s;
}
}  // namespace hl_detail

// Writes `value` with `decimals` decimals and at least `digits` digits in all;
// leading zeros of the integer part become blanks. A rounded fraction that
// reaches the next whole number carries into the integer part.
inline void flt_to_str(float value, std::string* out, int digits, int decimals, int sign_flag)
{
    static std::string lft_str, rgt_str;
    if (decimals < 0) return;
    value = round_to_float(value);  // an inlined caller's product may still be wider

    double whole = std::trunc(static_cast<double>(value));
    if (!(whole < 2147483647.0)) whole = 2147483647.0;  // also catches NaN
    if (whole < -2147483648.0) whole = -2147483648.0;
    const int64_t i = static_cast<int64_t>(whole);
    uint64_t int_mag = static_cast<uint64_t>(i < 0 ? -i : i);

    uint64_t frac_mag = 0;
    if (decimals > 0) {
        const float f = value - static_cast<float>(i);  // exact
        // The scaled fraction is rounded to a float first, so that a value like
        // 0.35f (0.3499999940...) shows as the 0.4 that was meant.
        const float x = round_to_float(f * std::pow(10.0, decimals));
        double n = std::round(static_cast<double>(x));
        if (!(std::fabs(n) < 9.0e18)) n = 0;
        frac_mag = static_cast<uint64_t>(std::fabs(n));
        const double limit = std::pow(10.0, decimals);
        if (static_cast<double>(frac_mag) >= limit && decimals <= 18) {
            frac_mag -= static_cast<uint64_t>(limit);
            ++int_mag;
        }
    }

    lft_str = hl_detail::padded_digits(int_mag, digits - decimals);
    rgt_str = hl_detail::padded_digits(frac_mag, decimals);
    for (std::size_t k = 0; k + 1 < lft_str.size() && lft_str[k] == '0'; ++k) lft_str[k] = ' ';

    std::string result;
    if (value < 0)
        result = "-";
    else if (sign_flag)
        result = " ";
    result += lft_str;
    if (decimals > 0) result += "." + rgt_str;
    *out = result;
}

// `part` of `whole` as a whole percentage, truncated, in integers: 29 of 100
// is 29, and 100 only once part reaches whole. 0 when whole is not positive.
inline int whole_percent(int64_t part, int64_t whole)
{
    if (whole <= 0 || part <= 0) return 0;
    if (part >= whole) return 100;
    if (part <= INT64_MAX / 100) return static_cast<int>(part * 100 / whole);
    // part x 100 would overflow: add part 100 times, keeping the remainder
    // below whole, so that no sum reaches twice whole.
    const auto p = static_cast<uint64_t>(part), w = static_cast<uint64_t>(whole);
    uint64_t rem = 0;
    int percent = 0;
    for (int i = 0; i < 100; ++i) {
        rem += p;
        if (rem >= w) rem -= w, ++percent;
    }
    return percent;
}

// A whole number from lo to hi, both included; a reversed range is fatal.
inline int int_rand(int lo, int hi)
{
    if (lo == hi) return lo;
    if (lo < hi) {
        const int64_t span = static_cast<int64_t>(hi) - lo + 1;
        return static_cast<int>(lo + static_cast<int64_t>(rand()) % span);
    }
    char buf[64];
    snprintf(buf, sizeof buf, "lo=%1.0f hi=%1.0f", static_cast<float>(lo), static_cast<float>(hi));
    stl_global = buf;
    __MACIBM_alert(0, "int rand range negative!", stl_global, "", "", t_exit, "GenH/hl_math", 344);
    return lo;
}
