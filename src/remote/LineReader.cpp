#include "LineReader.h"

#include <algorithm>

namespace scpi {

bool LineReader::midLine() const {
    if (ended_)
        return false;
    return !line_.empty() || !blockHeader_.empty() || blockLeft_ > 0 || skipLeft_ > 0 ||
           discarding_;
}

void LineReader::refuse(const char* why) {
    refusal_ = why;
    discarding_ = true;
    std::string().swap(line_); // what was kept of it goes at once
    text_ = 0;
    quote_ = 0;
    blockHeader_.clear();
}

// A character of a block's header: "#", its digit count, its length. A
// block the line has no room for is skipped by its count, LFs and all.
void LineReader::takeBlockHeader(char ch) {
    blockHeader_ += ch;
    const int digits = blockHeader_[1] - '0';
    if (blockHeader_.size() == 2 && (digits < 1 || digits > 9)) {
        line_ += blockHeader_; // #H, #Q, #B or #0: text for the parser
        text_ += 2;
        blockHeader_.clear();
        return;
    }
    if (blockHeader_.size() < static_cast<size_t>(2 + digits))
        return;
    size_t length = 0;
    for (size_t k = 2; k < blockHeader_.size(); ++k) {
        if (blockHeader_[k] < '0' || blockHeader_[k] > '9') { // for the parser to refuse
            line_ += blockHeader_;
            text_ += blockHeader_.size();
            blockHeader_.clear();
            return;
        }
        length = length * 10 + static_cast<size_t>(blockHeader_[k] - '0');
    }
    if (length > kMaxBlock || line_.size() + blockHeader_.size() + length > kMaxLine) {
        refuse(length > kMaxBlock ? "a block longer than the wave memory"
                                  : "a line longer than one wave memory and 64 kB");
        skipLeft_ = length;
        return;
    }
    line_.reserve(line_.size() + blockHeader_.size() + length);
    line_ += blockHeader_;
    blockLeft_ = length;
    blockHeader_.clear();
}

// A character of the line outside blocks, strings followed.
void LineReader::takeText(char ch) {
    if (quote_) {
        if (ch == quote_)
            quote_ = 0;
    } else if (ch == '"' || ch == '\'') {
        quote_ = ch;
    } else if (ch == '#') {
        blockHeader_ = "#";
        return;
    }
    line_ += ch;
    if (++text_ > kMaxText)
        refuse("a line longer than 64 kB");
    else if (line_.size() > kMaxLine)
        refuse("a line longer than one wave memory and 64 kB");
}

size_t LineReader::takeBlockBytes(const char* data, size_t size) {
    const size_t k = std::min(std::max(skipLeft_, blockLeft_), size);
    if (blockLeft_ > 0) {
        line_.append(data, k);
        blockLeft_ -= k;
    } else {
        skipLeft_ -= k;
    }
    return k;
}

LineReader::Result LineReader::take(const char* data, size_t size, size_t& taken) {
    if (ended_) {
        ended_ = false;
        if (line_.capacity() > kMaxText)
            std::string().swap(line_); // a long line's room is not kept while idle
        line_.clear();
        text_ = 0;
        quote_ = 0;
    }
    refusal_ = nullptr;
    size_t i = 0;
    while (i < size) {
        if (skipLeft_ > 0 || blockLeft_ > 0) {
            i += takeBlockBytes(data + i, size - i);
            continue;
        }
        const char ch = data[i++];
        if (ch == '\n') {
            if (discarding_) { // the refused line ends here
                discarding_ = false;
                continue;
            }
            line_ += blockHeader_; // an unfinished header: text for the parser
            blockHeader_.clear();
            if (!line_.empty() && line_.back() == '\r')
                line_.pop_back();
            ended_ = true;
            taken = i;
            return Result::Line;
        }
        if (discarding_)
            continue;
        if (!blockHeader_.empty())
            takeBlockHeader(ch);
        else
            takeText(ch);
        if (refusal_) {
            taken = i;
            return Result::Refused;
        }
    }
    taken = i;
    return Result::More;
}

} // namespace scpi
