#pragma once
// A short-lived thread that delivers one end-of-run notification, so that the handler never
// runs on the worker thread that ended (a handler may wait for that worker or free its job).
//
// It starts running at once. Its owner keeps it in a TDeliveryThreads list, which joins the
// threads that have ended whenever a new one is added and all of them when it is destroyed.

#include <atomic>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <thread>

class TDoTerminateThread {
public:
    // Runs deliver on the new thread; an exception of deliver ends only the delivery.
    explicit TDoTerminateThread(std::function<void()> deliver);
    ~TDoTerminateThread(); // joins
    TDoTerminateThread(const TDoTerminateThread&) = delete;
    TDoTerminateThread& operator=(const TDoTerminateThread&) = delete;
    bool Done() const { return done_->load(); }
    bool IsCurrent() const { return thread_.get_id() == std::this_thread::get_id(); }

private:
    // Shared with the thread, which may outlive this object when it is freed from its own delivery.
    std::shared_ptr<std::atomic<bool>> done_ = std::make_shared<std::atomic<bool>>(false);
    std::thread thread_;
};

class TDeliveryThreads {
public:
    ~TDeliveryThreads() { JoinAll(); }
    // Starts a delivery; first joins the deliveries that have ended.
    void Start(std::function<void()> deliver);
    // Joins every delivery but the calling thread's own.
    void JoinAll();
    // True while a delivery other than the calling thread's own has not ended.
    bool Busy();

private:
    std::mutex lock_;
    std::list<std::unique_ptr<TDoTerminateThread>> threads_;
};
