#pragma once
// Jobs that one thread hands in and takes back in the same order, run
// meanwhile by helper threads or by that thread itself: while it takes one
// file's hash the next files are read and hashed on the other cores. What a
// job leaves behind is the caller's own business (a place it was given);
// only when it is taken is it done.
#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace tf::platform {

class WorkAhead {
public:
    using Job = std::function<void()>;

    // `helpers` threads besides the caller's; with none (or none that could
    // be started) every job runs when it is taken.
    explicit WorkAhead(unsigned helpers);
    // Jobs not begun are dropped; the running ones are waited for.
    ~WorkAhead();
    WorkAhead(const WorkAhead&) = delete;
    WorkAhead& operator=(const WorkAhead&) = delete;

    // Hands in a job, after those handed in before it.
    void Add(Job job);
    // Jobs handed in and not yet taken.
    std::size_t Pending() const { return pending_; }
    // Waits until the oldest job not yet taken is done and takes it. Jobs no
    // one has begun are run here meanwhile, that one first; while only
    // helpers' jobs are left to wait on, `waiting` is called about every
    // 20 ms. False when the job was dropped by a stop and never ran.
    bool TakeOldest(const std::function<void()>& waiting = {});
    // Whether the oldest job not yet taken is done (or dropped), so that
    // taking it would not wait.
    bool OldestDone();
    // From now on no job is begun; running ones can see it.
    void Stop();
    bool Stopping() const { return stop_.load(std::memory_order_relaxed); }
    // Threads that can run jobs at once, the caller's included.
    unsigned Threads() const { return static_cast<unsigned>(helpers_.size()) + 1; }

private:
    enum class State { kWaiting, kRunning, kDone, kDropped };
    struct Entry {
        Job job;
        State state = State::kWaiting;
    };
    // Runs the oldest job not begun; the lock is held on entry and on return.
    void RunNext(std::unique_lock<std::mutex>& lock);
    void Help();

    std::mutex mutex_;
    std::condition_variable added_;  // a job to begin, or closing
    std::condition_variable done_;   // a job done
    std::deque<Entry> jobs_;         // handed in, not yet taken: the oldest first
    std::size_t begun_ = 0;          // of jobs_, those begun (they begin in order)
    std::size_t pending_ = 0;
    std::atomic<bool> stop_{false};
    bool closing_ = false;
    std::vector<std::thread> helpers_;
};

// Helpers for reading file contents ahead in a run whose folders are read
// ahead by `readAhead` threads: none where the run keeps to one thread,
// else one fewer than the processors, at least one and at most three.
unsigned ContentHelpers(unsigned readAhead);

}  // namespace tf::platform
