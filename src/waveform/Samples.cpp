#include "Samples.h"

#include <atomic>

#include "DriverCalls.h"

namespace {
std::atomic<uint64_t> lastVersion{0};
} // namespace

void Samples::assign(std::vector<double> values) {
    values_ = std::move(values);
    version_ = ++lastVersion;
    checkedCount_ = -1;
}

std::vector<double> Samples::release() {
    std::vector<double> out = std::move(values_);
    assign(std::vector<double>());
    return out;
}

uint64_t Samples::checksum(int count) const {
    if (count != checkedCount_) {
        checksum_ = WaveChecksum(values_.data(), count);
        checkedCount_ = count;
    }
    return checksum_;
}
