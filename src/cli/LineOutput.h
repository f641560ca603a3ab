// Lines for an output a server must never wait for (its standard output,
// read by whatever it is piped to, or by nothing): a thread of their own
// writes them. When the output does not keep up, lines beyond a queue's
// worth are dropped and counted, and the count is written where they would
// have been, before the next line queued; an output that is gone (a closed
// pipe) costs nothing.
#pragma once

#include <chrono>
#include <memory>
#include <string>

class LineOutput {
public:
    static constexpr size_t kQueued = 256; // lines waiting at most

    explicit LineOutput(int fd);
    // Waits a moment for the lines still queued (finish()), then leaves.
    ~LineOutput();
    LineOutput(const LineOutput&) = delete;
    LineOutput& operator=(const LineOutput&) = delete;

    // Queues one line (its LF added); never waits.
    void print(std::string line);
    // Queues `last` (if any) even when the queue is full, then waits up to
    // `timeout` for every queued line to be written; false when some are
    // not (the output is full or gone), and how many lines were lost in
    // all is then written to `err` where there is one.
    bool finish(std::string last, std::chrono::milliseconds timeout, int err = -1);

    struct State;

private:
    void queue(std::string line, bool always);
    std::shared_ptr<State> state_; // shared with the writer, which may outlive this
};
