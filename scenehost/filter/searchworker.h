// Filter searches on a thread of their own, so that typing never waits for one. Only the
// newest search matters: starting one cancels the one running and drops one still waiting.
// The thread starts with the first search and stays for the next, which then starts at once.
// Plain C++: no window code.
#pragma once

#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

#include "filterrun.h"
#include "linematcher.h"

class SearchWorker {
public:
    // What a search shares with the thread: its inputs, its result and its cancel flag.
    struct Job {
        std::shared_ptr<const NodeListing> nodes;
        LineMatcher matcher;
        FilterResult result;
        std::atomic<bool> cancel{false};
        std::atomic<bool> finished{false};  // the result is complete for whoever sees this
        unsigned generation = 0;
    };

    // finished runs on the worker thread for each search that ran to its end; it must not
    // throw.
    explicit SearchWorker(std::function<void(const Job&)> finished);
    ~SearchWorker();
    SearchWorker(const SearchWorker&) = delete;
    SearchWorker& operator=(const SearchWorker&) = delete;

    void Start(std::shared_ptr<Job> job);
    // Stops any search reading the nodes: waits at most for the line (or the short text)
    // being searched.
    void StopReading();
    bool Reading() const;
    // Ends the thread; nothing starts after this.
    void Stop();

private:
    void Run();
    void Search();

    std::function<void(const Job&)> finished_;
    std::thread thread_;
    mutable std::mutex mutex_;  // guards what follows
    std::condition_variable wake_;  // a search waits, or the thread is to stop
    std::condition_variable idle_;  // the thread is reading nothing
    std::shared_ptr<Job> waiting_;
    std::shared_ptr<Job> running_;
    bool stop_ = false;
};
