// A few threads that do a run's file work side by side, and the order in
// which their results are taken: the walk hands out work in its own order
// and takes every result back in that order, so that what it records and
// reports is the same whatever finished first.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace tagshift::fs {

// The workers a run uses when it is not told: one per hardware thread, at
// most 8 (more only wait for the disk).
int DefaultWorkerCount();

// Threads that take posted tasks oldest first.
class Workers {
public:
    // Starts count threads, or as many as the system gives (none at all
    // when it gives none: then Count() is 0 and nothing may be posted).
    explicit Workers(int count);
    ~Workers();  // runs what is queued, then ends the threads
    Workers(const Workers&) = delete;
    Workers& operator=(const Workers&) = delete;

    int Count() const { return static_cast<int>(threads_.size()); }
    void Post(std::function<void()> task);
    // Runs the oldest queued task on the calling thread, if there is one.
    bool RunOne();

private:
    void Serve();

    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<std::function<void()>> tasks_;
    int idle_ = 0;  // threads waiting for a task: only they need waking
    bool ending_ = false;
    std::vector<std::thread> threads_;
};

// Work done on workers and finished on the calling thread, in the order it
// was added. Without workers, each piece of work runs at once, where it is
// added. An exception thrown by a piece of work (std::bad_alloc, say) is
// thrown again on the calling thread when that piece's turn to finish comes.
class InOrder {
public:
    // At most inFlight pieces, weighing at most maxWeight together (a
    // heavier piece alone), are added and not yet finished: Add waits,
    // finishing what it can, until half of them are and the new piece fits.
    // With help, the calling thread runs queued work itself while it waits
    // (only for work that never waits for a finish).
    InOrder(Workers* workers, std::size_t inFlight, bool help = false, std::uint64_t maxWeight = UINT64_MAX);
    ~InOrder();  // Abandon()
    InOrder(const InOrder&) = delete;
    InOrder& operator=(const InOrder&) = delete;

    // work runs on a worker (may be empty); finish runs here, after work and
    // after the finish of everything added before.
    void Add(std::function<void()> work, std::function<void()> finish, std::uint64_t weight = 0);
    // The same for work that may end later, on whichever thread: it is done
    // once it calls the Done it is given (exactly once, exceptions aside).
    using Done = std::function<void()>;
    void AddDeferred(std::function<void(Done)> work, std::function<void()> finish, std::uint64_t weight = 0);
    // Waits for all the work and runs every finish.
    void FinishAll();
    // Waits for the work already running, starts no more and runs no
    // further finish. Safe to call more than once.
    void Abandon();
    bool Abandoned() const;

private:
    struct Piece {
        std::function<void(Done)> work;
        std::function<void()> finish;
        std::uint64_t weight = 0;
        bool done = false;
        std::exception_ptr failure;
    };
    struct Shared {
        std::mutex mutex;
        std::condition_variable doneOne;
        bool waiting = false;  // the calling thread waits for a piece
        bool abandoned = false;
    };
    void FinishFront(bool wait);

    Workers* workers_;
    std::size_t inFlight_;
    bool help_;
    std::uint64_t maxWeight_;
    std::uint64_t weight_ = 0;  // of the pieces not yet finished
    std::shared_ptr<Shared> shared_ = std::make_shared<Shared>();
    std::deque<std::shared_ptr<Piece>> pieces_;
};

}  // namespace tagshift::fs
