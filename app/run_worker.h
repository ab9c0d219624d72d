// One long-lived worker thread that runs a job each time it is asked to. Requests that
// arrive while the job runs are remembered and served by one more run afterwards, so a job
// that looks at shared state at its start sees everything requested before that start.
#pragma once

#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

class TRunWorker {
public:
    explicit TRunWorker(std::function<void()> job);
    ~TRunWorker();
    TRunWorker(const TRunWorker&) = delete;
    TRunWorker& operator=(const TRunWorker&) = delete;

    // Asks for one more run of the job; ignored once Stop has begun.
    void Request();
    // Refuses further requests, lets the running job see StopRequested, and waits until the
    // thread has ended. Safe to call more than once.
    void Stop();
    // True once Stop has begun: a running job should wind down.
    bool StopRequested() const { return FStopping.load(std::memory_order_acquire); }
    // True while no run is pending or running (for tests that wait for the worker to settle).
    bool Idle() const;

private:
    void loop();

    std::function<void()> FJob;
    mutable std::mutex FLock;
    std::condition_variable FWake;
    bool FPending = false;
    bool FRunning = false;
    std::atomic<bool> FStopping{false};
    std::thread FThread;  // last: starts once everything above exists
};
