#include "WaveExpression.h"

#include <muParser.h>

#include <cmath>
#include <cstdint>
#include <regex>
#include <utility>

namespace {

double Fraction(double t) {
    return t - std::floor(t);
}

double Square(double t, double duty) {
    return Fraction(t) < duty ? 1.0 : -1.0;
}

double Tri(double t, double sym) {
    const double x = Fraction(t);
    if (sym <= 0)
        return 1.0 - 2.0 * x;
    if (sym >= 1)
        return -1.0 + 2.0 * x;
    return x < sym ? -1.0 + 2.0 * x / sym : 1.0 - 2.0 * (x - sym) / (1.0 - sym);
}

double Floor(double x) {
    return std::floor(x);
}

// The sample's own number drawn through a mixing function: the same value
// for the same sample whatever order (and thread) muparser evaluates them in.
double RandOf(double sample) {
    uint64_t z = static_cast<uint64_t>(sample) + 0x9E3779B97F4A7C15ull;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    z ^= z >> 31;
    return static_cast<double>(z >> 11) * 0x1.0p-53;
}

// muparser cannot call a function without arguments in bulk mode, so
// "rand()" is handed to it as "rand_(n)". Returns the text to parse; `shifts`
// gets, for each rewrite, where it ends in that text and how many characters
// longer than the operator's that text is from there on.
std::string RewriteRand(const std::string& text, std::vector<std::pair<size_t, int>>& shifts) {
    static const std::regex call(R"(\brand\s*\(\s*\))");
    std::string out;
    int shift = 0;
    auto from = text.cbegin();
    for (std::sregex_iterator it(text.begin(), text.end(), call), end; it != end; ++it) {
        out.append(from, text.cbegin() + it->position());
        out += "rand_(n)";
        shift += 8 - static_cast<int>(it->length());
        shifts.emplace_back(out.size(), shift);
        from = text.cbegin() + it->position() + it->length();
    }
    out.append(from, text.cend());
    return out;
}

// A position in the text muparser parsed, as a position in the operator's.
int OriginalPosition(int position, const std::vector<std::pair<size_t, int>>& shifts) {
    int shift = 0;
    for (const auto& [end, total] : shifts)
        if (static_cast<size_t>(position) >= end)
            shift = total;
    return position - shift;
}

} // namespace

ExpressionResult EvaluateExpression(const std::string& expression, int count) {
    ExpressionResult r;
    if (count < 1) {
        r.error = "No samples asked for.";
        return r;
    }
    std::vector<double> t(static_cast<size_t>(count)), n(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
        n[static_cast<size_t>(i)] = i;
        t[static_cast<size_t>(i)] = static_cast<double>(i) / count;
    }
    r.samples.resize(static_cast<size_t>(count));
    std::vector<std::pair<size_t, int>> shifts;
    const std::string parsed = RewriteRand(expression, shifts);
    try {
        mu::Parser parser;
        parser.DefineConst("pi", M_PI);
        parser.DefineFun("floor", Floor);
        parser.DefineFun("square", Square);
        parser.DefineFun("tri", Tri);
        parser.DefineFun("rand_", RandOf, false);
        parser.DefineVar("t", t.data());
        parser.DefineVar("n", n.data());
        parser.SetExpr(parsed);
        parser.Eval(r.samples.data(), count);
    } catch (const mu::Parser::exception_type& e) {
        r.samples.clear();
        r.error = e.GetMsg();
        r.errorPosition = OriginalPosition(static_cast<int>(e.GetPos()), shifts);
        return r;
    }
    for (int i = 0; i < count; ++i)
        if (!std::isfinite(r.samples[static_cast<size_t>(i)])) {
            r.error = "The expression gives no finite value at n = " + std::to_string(i) + ".";
            r.samples.clear();
            return r;
        }
    return r;
}
