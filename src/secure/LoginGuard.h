// The brake on guessed passwords, one for every server of the program.
// Each failed attempt is counted and makes the next ones wait: from its
// address ever longer (1 s after the first failure, doubled with each one
// after, 60 s at most, until one succeeds), and, while any attempt failed
// in the last minute, every attempt from anywhere waits for a slot of its
// own, kSpacing apart. 1000 guesses from one address take hours; from as
// many addresses as there are, at least 1000 x kSpacing (over four minutes).
#pragma once

#include <QElapsedTimer>
#include <QHostAddress>
#include <chrono>
#include <map>

class LoginGuard {
public:
    static constexpr std::chrono::milliseconds kSpacing{250};
    static constexpr std::chrono::milliseconds kLongest{60000};
    static constexpr size_t kAddresses = 4096; // remembered; the oldest go first

    LoginGuard();
    // How long an attempt from `peer` starting now must wait before it is
    // checked (zero: none); the slot is its own.
    std::chrono::milliseconds admit(const QHostAddress& peer);
    // The attempt's outcome.
    void failed(const QHostAddress& peer);
    void succeeded(const QHostAddress& peer);
    // Failed attempts since the start.
    int failures() const { return failures_; }

private:
    qint64 now() const { return clock_.elapsed(); }
    struct Address {
        int failures = 0;
        qint64 notBefore = 0, last = 0;
    };
    QElapsedTimer clock_;
    std::map<QString, Address> addresses_;
    qint64 nextSlot_ = 0, lastFailure_ = -1;
    int failures_ = 0;
};
