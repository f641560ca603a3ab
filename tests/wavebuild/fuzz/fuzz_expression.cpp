// The builder's expressions: whatever the text, evaluating it ends (no
// crash, no stack overflow, no undefined behaviour) with samples that are
// all finite, or with an error and no samples.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "WaveExpression.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const ExpressionResult r = EvaluateExpression(text, 16);
    if (r.error.empty() == r.samples.empty())
        std::abort();
    for (double v : r.samples)
        if (!std::isfinite(v))
            std::abort();
    if (!r.error.empty() && r.errorPosition > static_cast<int>(text.size()) + 1)
        std::abort();
    return 0;
}
