#include "LineOutput.h"

#include <cerrno>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>
#include <unistd.h>

struct LineOutput::State {
    int fd = -1;
    std::mutex mutex;
    std::condition_variable changed;
    std::deque<std::string> queue;
    size_t dropped = 0;    // lines not queued since the last one queued
    size_t lost = 0;       // lines not written once the output failed
    bool writing = false;  // the writer holds a line
    bool broken = false;   // the output failed: nothing more is written
    bool stopping = false; // the writer ends once the queue is empty
    bool finished = false; // the writer has ended
};

namespace {

bool WriteAll(int fd, const std::string& text) {
    for (size_t done = 0; done < text.size();) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

// Takes lines off the queue and writes them; ends when told to and the
// queue is empty, or when the output fails.
void Write(const std::shared_ptr<LineOutput::State>& s) {
    std::unique_lock lock(s->mutex);
    while (true) {
        s->changed.wait(lock, [&] { return !s->queue.empty() || s->stopping; });
        if (s->queue.empty())
            break;
        const std::string text = std::move(s->queue.front());
        s->queue.pop_front();
        s->writing = true;
        lock.unlock();
        const bool ok = WriteAll(s->fd, text);
        lock.lock();
        s->writing = false;
        if (!ok) {
            s->broken = true;
            s->lost += 1 + s->queue.size();
            s->queue.clear();
            break;
        }
    }
    s->finished = true;
    s->changed.notify_all();
}

} // namespace

LineOutput::LineOutput(int fd) : state_(std::make_shared<State>()) {
    state_->fd = fd;
    std::thread(Write, state_).detach(); // it may be stuck in a write when the program ends
}

LineOutput::~LineOutput() {
    finish({}, std::chrono::milliseconds(500));
}

void LineOutput::print(std::string line) {
    queue(std::move(line), false);
}

// The line queued, after the count of lines dropped before it; `always`:
// even when the queue is full.
void LineOutput::queue(std::string line, bool always) {
    {
        const std::lock_guard lock(state_->mutex);
        if (state_->broken || state_->finished) {
            ++state_->lost;
            return;
        }
        if (state_->queue.size() >= kQueued && !always) {
            ++state_->dropped;
            return;
        }
        std::string text;
        if (state_->dropped > 0)
            text = "(" + std::to_string(state_->dropped) +
                   " lines were not written here: the output did not take them in time)\n";
        state_->dropped = 0;
        state_->queue.push_back(text + line + '\n');
    }
    state_->changed.notify_all();
}

bool LineOutput::finish(std::string last, std::chrono::milliseconds timeout, int err) {
    if (!last.empty())
        queue(std::move(last), true);
    std::unique_lock lock(state_->mutex);
    state_->stopping = true;
    state_->changed.notify_all();
    const bool done = state_->changed.wait_for(lock, timeout, [&] { return state_->finished; });
    const size_t lost =
        state_->lost + state_->dropped + state_->queue.size() + (state_->writing ? 1 : 0);
    const bool complete = done && lost == 0;
    if (!complete && err >= 0) {
        const std::string text =
            std::to_string(lost) +
            " lines of standard output were not written: it did not take them.\n";
        WriteAll(err, text);
        state_->lost = state_->dropped = 0; // said once
    }
    return complete;
}
