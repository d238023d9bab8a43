#include "platform/work_ahead.h"

#include <algorithm>
#include <chrono>
#include <system_error>

namespace tf::platform {

WorkAhead::WorkAhead(unsigned helpers) {
    helpers_.reserve(helpers);
    for (unsigned i = 0; i < helpers; ++i) {
        try {
            helpers_.emplace_back([this] { Help(); });
        } catch (const std::system_error&) {
            break;  // no thread to spare: the caller runs the jobs
        }
    }
}

WorkAhead::~WorkAhead() {
    Stop();
    {
        std::lock_guard<std::mutex> lock(mutex_);
        closing_ = true;
    }
    added_.notify_all();
    for (std::thread& helper : helpers_) helper.join();
}

void WorkAhead::Add(Job job) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        // After a stop it is dropped at once, as the others were.
        const bool stopped = stop_.load(std::memory_order_relaxed);
        jobs_.push_back(Entry{stopped ? nullptr : std::move(job), stopped ? State::kDropped : State::kWaiting});
        if (stopped) begun_ = jobs_.size();
        ++pending_;
    }
    added_.notify_one();
}

void WorkAhead::Stop() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stop_.store(true, std::memory_order_relaxed);
        for (std::size_t i = begun_; i < jobs_.size(); ++i) {
            jobs_[i].state = State::kDropped;
            jobs_[i].job = nullptr;
        }
        begun_ = jobs_.size();
    }
    done_.notify_all();
}

void WorkAhead::RunNext(std::unique_lock<std::mutex>& lock) {
    // Entries stay where they are while others are added or taken, so the
    // reference outlives the unlocked run.
    Entry& entry = jobs_[begun_++];
    Job job = std::move(entry.job);
    entry.job = nullptr;
    entry.state = State::kRunning;
    lock.unlock();
    job();
    job = nullptr;  // whatever it holds goes before it is taken
    lock.lock();
    entry.state = State::kDone;
    done_.notify_all();
}

bool WorkAhead::TakeOldest(const std::function<void()>& waiting) {
    std::unique_lock<std::mutex> lock(mutex_);
    if (jobs_.empty()) return false;
    for (;;) {
        const State state = jobs_.front().state;
        if (state == State::kDone || state == State::kDropped) {
            jobs_.pop_front();
            --pending_;
            --begun_;  // done and dropped jobs count as begun
            return state == State::kDone;
        }
        if (begun_ < jobs_.size() && !stop_.load(std::memory_order_relaxed)) {
            RunNext(lock);
            continue;
        }
        if (!done_.wait_for(lock, std::chrono::milliseconds(20),
                            [this] { return jobs_.front().state != State::kRunning; }) &&
            waiting) {
            lock.unlock();
            waiting();
            lock.lock();
        }
    }
}

bool WorkAhead::OldestDone() {
    std::lock_guard<std::mutex> lock(mutex_);
    return !jobs_.empty() && (jobs_.front().state == State::kDone || jobs_.front().state == State::kDropped);
}

void WorkAhead::Help() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        added_.wait(lock, [this] { return closing_ || (begun_ < jobs_.size() && !stop_); });
        if (closing_) return;
        RunNext(lock);
    }
}

unsigned ContentHelpers(unsigned readAhead) {
    if (readAhead == 0) return 0;
    return std::clamp(std::thread::hardware_concurrency(), 2u, 4u) - 1;
}

}  // namespace tf::platform
