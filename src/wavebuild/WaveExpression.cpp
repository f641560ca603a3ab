#include "WaveExpression.h"

#include <muParser.h>

#include <cctype>
#include <cmath>
#include <cstdint>
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
// Any argument is taken (one typed by hand too): its whole part modulo 2^64,
// a value that is no number as 0.
double RandOf(double sample) {
    constexpr double kTwoTo64 = 18446744073709551616.0;
    const double whole =
        std::isfinite(sample) ? std::fmod(std::floor(std::fabs(sample)), kTwoTo64) : 0.0;
    uint64_t z = static_cast<uint64_t>(whole) + 0x9E3779B97F4A7C15ull;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    z ^= z >> 31;
    return static_cast<double>(z >> 11) * 0x1.0p-53;
}

bool NameCharacter(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '_';
}

size_t SkipBlanks(const std::string& text, size_t at) {
    while (at < text.size() && std::isspace(static_cast<unsigned char>(text[at])))
        ++at;
    return at;
}

// Where a call "rand ( )" starting at `at` ends, or npos when there is none.
size_t RandCallEnd(const std::string& text, size_t at) {
    if (text.compare(at, 4, "rand") != 0 || (at > 0 && NameCharacter(text[at - 1])))
        return std::string::npos;
    size_t i = SkipBlanks(text, at + 4);
    if (i >= text.size() || text[i] != '(')
        return std::string::npos;
    i = SkipBlanks(text, i + 1);
    return i < text.size() && text[i] == ')' ? i + 1 : std::string::npos;
}

// muparser cannot call a function without arguments in bulk mode, so
// "rand()" is handed to it as "rand_(n)". Returns the text to parse; `shifts`
// gets, for each rewrite, where it ends in that text and how many characters
// longer than the operator's that text is from there on. One pass, no
// backtracking: any length of text costs its length.
std::string RewriteRand(const std::string& text, std::vector<std::pair<size_t, int>>& shifts) {
    std::string out;
    out.reserve(text.size());
    int shift = 0;
    for (size_t i = 0; i < text.size();) {
        const size_t end = RandCallEnd(text, i);
        if (end == std::string::npos) {
            out += text[i++];
            continue;
        }
        out += "rand_(n)";
        shift += 8 - static_cast<int>(end - i);
        shifts.emplace_back(out.size(), shift);
        i = end;
    }
    return out;
}

// muparser's message without the position it gives (in the text it parsed,
// not the operator's): "Unexpected token ... found at position 18." becomes
// "Unexpected token ... found".
std::string WithoutPosition(std::string message) {
    const size_t at = message.rfind(" at position ");
    if (at != std::string::npos) {
        size_t end = at + 13;
        while (end < message.size() && std::isdigit(static_cast<unsigned char>(message[end])))
            ++end;
        if (end > at + 13)
            message.erase(at, end - at);
    }
    while (!message.empty() && (message.back() == '.' || message.back() == ' '))
        message.pop_back();
    return message;
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
    if (expression.size() > kMaxExpressionLength) {
        r.error = "The expression is longer than " + std::to_string(kMaxExpressionLength) +
                  " characters.";
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
        r.error = WithoutPosition(e.GetMsg());
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
