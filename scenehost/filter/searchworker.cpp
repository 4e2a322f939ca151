#include "searchworker.h"

#include <exception>
#include <utility>

#include "guard.h"

SearchWorker::SearchWorker(std::function<void(const Job&)> finished)
    : finished_(std::move(finished))
{
}

SearchWorker::~SearchWorker() { Stop(); }

void SearchWorker::Start(std::shared_ptr<Job> job)
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (running_) running_->cancel = true;
        waiting_ = std::move(job);
    }
    wake_.notify_one();
    if (!thread_.joinable()) thread_ = std::thread(&SearchWorker::Run, this);
}

void SearchWorker::StopReading()
{
    std::unique_lock<std::mutex> lock(mutex_);
    waiting_.reset();
    if (running_) running_->cancel = true;
    idle_.wait(lock, [this] { return !running_; });
}

bool SearchWorker::Reading() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return waiting_ || running_;
}

void SearchWorker::Stop()
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stop_ = true;
        waiting_.reset();
        if (running_) running_->cancel = true;
    }
    wake_.notify_one();
    if (thread_.joinable()) thread_.join();
}

// Each search in turn, the newest only, until told to stop.
void SearchWorker::Run()
{
    GuardedThread([this] { Search(); });
    // Ended by a failure, or told to stop: nobody may wait on a search any more.
    std::lock_guard<std::mutex> lock(mutex_);
    running_.reset();
    idle_.notify_all();
}

void SearchWorker::Search()
{
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] { return stop_ || waiting_; });
        if (stop_) return;
        running_ = std::move(waiting_);
        std::shared_ptr<Job> job = running_;
        lock.unlock();
        bool done = false;
        try {
            done = RunFilter(*job->nodes, job->matcher, job->cancel, job->result);
        } catch (const std::exception&) {
            // Memory ran out: no result, as for a search cancelled; the rows shown stay.
        }
        if (done) {
            job->finished = true;
            GuardedThread([&] { finished_(*job); });
        }
        lock.lock();
        running_.reset();
        idle_.notify_all();
    }
}
