// Program messages out of a byte stream as a raw socket carries them: a
// message ends at LF outside strings and blocks; a block's bytes (which may
// hold LF) are taken by the count its header gives. Bounded: 64 kB of text
// outside blocks, one wave memory of block bytes, and the two together per
// line; what goes beyond is refused and skipped up to the line's end without
// being kept. Plain C++: the server and the fuzzer read the same code.
#pragma once

#include <cstddef>
#include <string>

namespace scpi {

class LineReader {
public:
    // A line's text outside blocks; a block's bytes (a full wave memory of
    // 16-bit samples); the whole line.
    static constexpr size_t kMaxText = 64 * 1024;
    static constexpr size_t kMaxBlock = 2 * 262144;
    static constexpr size_t kMaxLine = kMaxBlock + kMaxText;

    enum class Result {
        More,    // every byte given was taken; the line goes on
        Line,    // a line ended: line() holds it (without its LF or CR LF)
        Refused, // the line went beyond a bound: refusal() says which
    };

    // Takes bytes up to the first line's end or refusal; `taken` says how
    // many. The caller hands the rest in again.
    Result take(const char* data, size_t size, size_t& taken);

    const std::string& line() const { return line_; }
    const char* refusal() const { return refusal_; }
    // Whether a line is under way (some of it taken, its end not yet).
    bool midLine() const;

private:
    void refuse(const char* why);
    void takeBlockHeader(char ch);
    void takeText(char ch);
    size_t takeBlockBytes(const char* data, size_t size);

    std::string line_;              // the line so far, blocks included
    size_t text_ = 0;               // its characters outside blocks
    size_t blockLeft_ = 0;          // bytes of a block still to come into `line_`
    size_t skipLeft_ = 0;           // bytes of a refused block still to skip
    std::string blockHeader_;       // "#", its digit count, its length digits, as they come
    char quote_ = 0;                // inside a string
    bool discarding_ = false;       // a line refused: skipped up to its LF
    bool ended_ = false;            // line_ holds a finished line, cleared at the next take
    const char* refusal_ = nullptr; // the take() that refused the line says why
};

} // namespace scpi
