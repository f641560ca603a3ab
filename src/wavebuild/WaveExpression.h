// One period of a waveform from an expression, evaluated with muparser.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

struct ExpressionResult {
    std::vector<double> samples;
    std::string error;      // empty when it was evaluated; names no position
    int errorPosition = -1; // 0-based character position of the error, -1 when none
};

// The longest expression evaluated.
constexpr size_t kMaxExpressionLength = 4096;

// Evaluates `expression` for n = 0 .. count-1 with t = n / count (one period:
// the first sample at 0, the last one step before 1). Besides muparser's
// own functions and operators: pi, floor(x), rand() (uniform in 0..1 from a
// fixed seed, the same samples on every run), square(t, duty) (+1 for the
// first `duty` fraction of each period, -1 for the rest) and tri(t, sym)
// (-1 to +1 over the first `sym` fraction of each period, back to -1 over
// the rest). A value that is not finite is an error naming its sample; so is
// an expression longer than kMaxExpressionLength.
ExpressionResult EvaluateExpression(const std::string& expression, int count);
