#pragma once
// The running flag a render thread shares with the window, with a pause gate in place of
// suspending the thread: the worker passes the gate wherever it polls the flag, and waits
// there while the view is paused. Stop clears the flag and opens the gate, so a paused worker
// wakes, sees the flag down and ends.
#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>

namespace fractals {

class RunGate {
public:
    // Worker side: waits while paused, then tells whether to go on.
    bool poll()
    {
        if (paused_.load(std::memory_order_acquire)) {
            if (onHold_)
                onHold_();
            std::unique_lock lock(mutex_);
            wake_.wait(lock, [this] {
                return !paused_.load(std::memory_order_relaxed) ||
                       !running_.load(std::memory_order_relaxed);
            });
        }
        return running_.load(std::memory_order_acquire);
    }

    // Worker side: what the worker does each time it is about to wait at the gate, such as
    // handing over the part of a column it has finished. Only a run with a single worker sets
    // it, from that worker, and clears it before it ends; the window never touches it.
    void setOnHold(std::function<void()> onHold) { onHold_ = std::move(onHold); }

    bool running() const { return running_.load(std::memory_order_acquire); }
    bool paused() const { return paused_.load(std::memory_order_acquire); }

    // Window side.
    void start()
    {
        std::lock_guard lock(mutex_);
        paused_.store(false, std::memory_order_release);
        running_.store(true, std::memory_order_release);
    }
    void setPaused(bool paused)
    {
        {
            std::lock_guard lock(mutex_);
            paused_.store(paused, std::memory_order_release);
        }
        wake_.notify_all();
    }
    // Stop, progress-window Cancel, and the worker's own end all lower the flag.
    void clear()
    {
        {
            std::lock_guard lock(mutex_);
            running_.store(false, std::memory_order_release);
            paused_.store(false, std::memory_order_release);
        }
        wake_.notify_all();
    }

private:
    std::atomic<bool> running_{false};
    std::atomic<bool> paused_{false};
    std::mutex mutex_;
    std::condition_variable wake_;
    std::function<void()> onHold_;
};

} // namespace fractals
