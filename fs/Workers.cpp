#include "fs/Workers.h"

#include <algorithm>
#include <system_error>

namespace tagshift::fs {

int DefaultWorkerCount() {
    const unsigned hardware = std::thread::hardware_concurrency();
    return static_cast<int>(std::clamp(hardware, 1u, 8u));
}

Workers::Workers(int count) {
    for (int i = 0; i < count; ++i) {
        try {
            threads_.emplace_back([this] { Serve(); });
        } catch (const std::system_error&) {
            break;  // the system gives no more threads: the run makes do with those it has
        }
    }
}

Workers::~Workers() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        ending_ = true;
    }
    wake_.notify_all();
    for (std::thread& thread : threads_) thread.join();
}

void Workers::Post(std::function<void()> task) {
    bool wake;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        tasks_.push_back(std::move(task));
        wake = idle_ > 0;
    }
    if (wake) wake_.notify_one();
}

bool Workers::RunOne() {
    std::function<void()> task;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (tasks_.empty()) return false;
        task = std::move(tasks_.front());
        tasks_.pop_front();
    }
    task();
    return true;
}

void Workers::Serve() {
    for (;;) {
        std::function<void()> task;
        {
            std::unique_lock<std::mutex> lock(mutex_);
            ++idle_;
            wake_.wait(lock, [this] { return ending_ || !tasks_.empty(); });
            --idle_;
            if (tasks_.empty()) return;
            task = std::move(tasks_.front());
            tasks_.pop_front();
        }
        task();
    }
}

InOrder::InOrder(Workers* workers, std::size_t inFlight, bool help, std::uint64_t maxWeight)
    : workers_(workers && workers->Count() > 0 ? workers : nullptr), inFlight_(std::max<std::size_t>(inFlight, 1)),
      help_(help), maxWeight_(maxWeight) {}

InOrder::~InOrder() { Abandon(); }

void InOrder::Add(std::function<void()> work, std::function<void()> finish, std::uint64_t weight) {
    if (!work) return AddDeferred(nullptr, std::move(finish), weight);
    AddDeferred(
        [work = std::move(work)](const Done& done) {
            work();
            done();
        },
        std::move(finish), weight);
}

void InOrder::AddDeferred(std::function<void(Done)> work, std::function<void()> finish, std::uint64_t weight) {
    if (Abandoned()) return;
    if (!workers_) {
        // Nothing runs side by side: the work and its finish happen here,
        // after everything before them.
        if (work) work([] {});
        if (finish) finish();
        return;
    }
    const auto heavy = [&] { return !pieces_.empty() && weight_ + weight > maxWeight_; };
    if (pieces_.size() >= inFlight_ || heavy())
        while ((pieces_.size() > inFlight_ / 2 || heavy()) && !Abandoned()) FinishFront(true);
    if (Abandoned()) return;
    auto piece = std::make_shared<Piece>();
    piece->weight = weight;
    weight_ += weight;
    piece->work = std::move(work);
    piece->finish = std::move(finish);
    pieces_.push_back(piece);
    if (!piece->work) {
        piece->done = true;
        return;
    }
    workers_->Post([piece, shared = shared_] {
        auto markDone = [piece, shared](std::exception_ptr failure) {
            bool wake;
            {
                std::lock_guard<std::mutex> lock(shared->mutex);
                if (piece->done) return;
                piece->failure = failure;
                piece->done = true;
                wake = shared->waiting;
            }
            if (wake) shared->doneOne.notify_all();
        };
        bool skip;
        {
            std::lock_guard<std::mutex> lock(shared->mutex);
            skip = shared->abandoned;
        }
        if (skip) return markDone(nullptr);
        try {
            piece->work([markDone] { markDone(nullptr); });
        } catch (...) {
            markDone(std::current_exception());
        }
    });
}

// Finishes the oldest piece when its work is done (with wait, once it is).
void InOrder::FinishFront(bool wait) {
    std::shared_ptr<Piece> piece = pieces_.front();
    for (;;) {
        std::unique_lock<std::mutex> lock(shared_->mutex);
        if (piece->done) break;
        if (!wait) return;
        if (help_) {
            lock.unlock();
            if (workers_->RunOne()) continue;
            lock.lock();
        }
        shared_->waiting = true;
        shared_->doneOne.wait(lock, [&] { return piece->done; });
        shared_->waiting = false;
        break;
    }
    pieces_.pop_front();
    weight_ -= piece->weight;
    if (piece->failure) std::rethrow_exception(piece->failure);  // the owner abandons the rest
    if (piece->finish) piece->finish();
}

void InOrder::FinishAll() {
    while (!pieces_.empty() && !Abandoned()) FinishFront(true);
}

void InOrder::Abandon() {
    std::unique_lock<std::mutex> lock(shared_->mutex);
    shared_->abandoned = true;
    shared_->waiting = true;
    for (const std::shared_ptr<Piece>& piece : pieces_) shared_->doneOne.wait(lock, [&] { return piece->done; });
    shared_->waiting = false;
    lock.unlock();
    pieces_.clear();
    weight_ = 0;
}

bool InOrder::Abandoned() const {
    std::lock_guard<std::mutex> lock(shared_->mutex);
    return shared_->abandoned;
}

}  // namespace tagshift::fs
