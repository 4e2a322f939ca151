#include "sortworker.h"

#include <exception>
#include <system_error>
#include <utility>

#include "guard.h"

SortWorker::SortWorker(std::function<void(const Job&)> finished) : finished_(std::move(finished)) {}

SortWorker::~SortWorker() { Stop(); }

void SortWorker::Start(std::shared_ptr<Job> job)
{
    Stop();
    job_ = std::move(job);
    thread_ = std::thread([this, running = job_] { GuardedThread([&] { Run(*running); }); });
}

void SortWorker::Stop() noexcept
{
    if (job_) job_->cancel = true;
    Join();
    job_.reset();
}

void SortWorker::Wait() noexcept { Join(); }

void SortWorker::Join() noexcept
{
    if (!thread_.joinable()) return;
    try {
        thread_.join();
    } catch (const std::system_error&) {
        thread_.detach();  // it keeps its job alive; waiting on it cannot fail otherwise
    }
}

void SortWorker::Run(Job& job)
{
    const RowTexts textOf = [&job](size_t row) { return job.rows[row]->UserPropText().data(); };
    bool done = false;
    try {
        std::vector<size_t> order;
        done = SortRows(job.rows.size(), textOf, job.column, job.cancel, order);
        if (done) {
            job.sorted.resize(order.size());
            for (size_t i = 0; i < order.size(); ++i) job.sorted[i] = job.rows[order[i]];
        }
    } catch (const std::bad_alloc&) {
        // No result, as for a sort cancelled: the rows shown stay.
    }
    if (!done) return;
    job.finished = true;
    finished_(job);
}
