#include "app/run_worker.h"

TRunWorker::TRunWorker(std::function<void()> job)
    : FJob(std::move(job)), FThread([this] { loop(); }) {}

TRunWorker::~TRunWorker() {
    Stop();
}

void TRunWorker::Request() {
    {
        std::lock_guard lock(FLock);
        if (FStopping.load(std::memory_order_relaxed)) return;
        FPending = true;
    }
    FWake.notify_one();
}

void TRunWorker::Stop() {
    {
        std::lock_guard lock(FLock);
        FStopping.store(true, std::memory_order_release);
    }
    FWake.notify_one();
    if (FThread.joinable() && FThread.get_id() != std::this_thread::get_id()) FThread.join();
}

bool TRunWorker::Idle() const {
    std::lock_guard lock(FLock);
    return !FPending && !FRunning;
}

void TRunWorker::loop() {
    std::unique_lock lock(FLock);
    for (;;) {
        FWake.wait(lock, [this] { return FPending || FStopping.load(std::memory_order_relaxed); });
        if (FStopping.load(std::memory_order_relaxed)) return;
        FPending = false;
        FRunning = true;
        lock.unlock();
        try {
            FJob();
        } catch (...) {
            // A job that lets an error escape ends that run only; the worker serves the next.
        }
        lock.lock();
        FRunning = false;
    }
}
