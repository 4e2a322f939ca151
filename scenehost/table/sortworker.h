// The table's sorts on a thread of their own, so that the window goes on while a million
// values are read and ordered. One sort at a time: starting one cancels the one before.
// Plain C++: no window code.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

#include "propertycolumns.h"
#include "scene.h"

class SortWorker {
public:
    // What a sort shares with its thread; nothing changes it there but order and finished.
    struct Job {
        std::vector<SceneNode*> rows;  // in the order ties keep
        TableColumn column;
        unsigned generation = 0;
        std::vector<SceneNode*> sorted;  // rows in their new order, once finished
        std::atomic<bool> cancel{false};
        std::atomic<bool> finished{false};
    };

    // finished runs on the sort's thread when a sort ran to its end; it must not throw.
    explicit SortWorker(std::function<void(const Job&)> finished);
    ~SortWorker();
    SortWorker(const SortWorker&) = delete;
    SortWorker& operator=(const SortWorker&) = delete;

    void Start(std::shared_ptr<Job> job);
    // Cancels the sort and waits for its thread: no text is read after this returns.
    void Stop() noexcept;
    // Waits for the sort to end by itself.
    void Wait() noexcept;

private:
    void Run(Job& job);
    void Join() noexcept;

    std::function<void(const Job&)> finished_;
    std::shared_ptr<Job> job_;
    std::thread thread_;
};
