// A waveform's samples, with a version that every write changes and their
// checksum kept until the next write: whoever asks whether the card holds
// these samples, or whether they changed, makes no pass over them again.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

class Samples {
public:
    Samples() = default;
    Samples(std::vector<double> values) { assign(std::move(values)); } // NOLINT: a write
    Samples& operator=(std::vector<double> values) {
        assign(std::move(values));
        return *this;
    }

    // Every write goes through here: the values become these, with a new version.
    void assign(std::vector<double> values);
    void assign(size_t count, double value) { assign(std::vector<double>(count, value)); }
    void clear() { assign(std::vector<double>()); }
    // Takes the values out, leaving none (a new version).
    std::vector<double> release();

    const std::vector<double>& values() const { return values_; }
    operator const std::vector<double>&() const { return values_; } // NOLINT: read as a vector
    const double* data() const { return values_.data(); }
    size_t size() const { return values_.size(); }
    bool empty() const { return values_.empty(); }
    double operator[](size_t i) const { return values_[i]; }
    double front() const { return values_.front(); }
    double back() const { return values_.back(); }
    auto begin() const { return values_.begin(); }
    auto end() const { return values_.end(); }

    // Changes with every write and is never the same for two writes in a
    // run; a copy keeps it, as it keeps the values. 0: never written.
    uint64_t version() const { return version_; }
    // WaveChecksum of the first `count` values, computed once per write.
    uint64_t checksum(int count) const;

    bool operator==(const Samples& other) const { return values_ == other.values_; }
    bool operator==(const std::vector<double>& other) const { return values_ == other; }

private:
    std::vector<double> values_;
    uint64_t version_ = 0;
    mutable int checkedCount_ = -1;
    mutable uint64_t checksum_ = 0;
};
