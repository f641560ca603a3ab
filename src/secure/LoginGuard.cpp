#include "LoginGuard.h"

#include <algorithm>

namespace {

constexpr qint64 kRecent = 60000;

// An IPv4 peer seen through an IPv6 socket is the IPv4 address.
QString Key(const QHostAddress& peer) {
    bool v4 = false;
    const quint32 a = peer.toIPv4Address(&v4);
    return v4 ? QHostAddress(a).toString() : peer.toString();
}

} // namespace

LoginGuard::LoginGuard() {
    clock_.start();
}

std::chrono::milliseconds LoginGuard::admit(const QHostAddress& peer) {
    const qint64 t = now();
    qint64 start = t;
    if (const auto it = addresses_.find(Key(peer)); it != addresses_.end())
        start = std::max(start, it->second.notBefore);
    if (lastFailure_ >= 0 && t - lastFailure_ < kRecent) {
        const qint64 slot = std::max(t, nextSlot_);
        nextSlot_ = slot + kSpacing.count();
        start = std::max(start, slot);
    }
    return std::chrono::milliseconds(start - t);
}

void LoginGuard::failed(const QHostAddress& peer) {
    ++failures_;
    const qint64 t = now();
    lastFailure_ = t;
    nextSlot_ = std::max(nextSlot_, t + kSpacing.count());
    if (addresses_.size() >= kAddresses && !addresses_.count(Key(peer))) {
        const auto oldest = std::min_element(
            addresses_.begin(), addresses_.end(),
            [](const auto& a, const auto& b) { return a.second.last < b.second.last; });
        addresses_.erase(oldest);
    }
    Address& a = addresses_[Key(peer)];
    a.failures = std::min(a.failures + 1, 30);
    const qint64 wait = std::min<qint64>(1000LL << std::min(a.failures - 1, 16), kLongest.count());
    a.notBefore = t + wait;
    a.last = t;
}

void LoginGuard::succeeded(const QHostAddress& peer) {
    addresses_.erase(Key(peer));
}
