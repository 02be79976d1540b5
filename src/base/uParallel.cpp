#include "base/uParallel.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <exception>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

namespace kalvex {

namespace {

thread_local bool OnPoolThread = false;

// Threads started once and kept: a search hands out dozens of small batches, and a
// thread per batch costs more than some of its trials.
class TPool {
public:
    static TPool& Shared() {
        static TPool Pool;
        return Pool;
    }
    ~TPool() {
        {
            const std::lock_guard<std::mutex> G(Lock);
            Quit = true;
        }
        Wake.notify_all();
    }
    // Queues Job when at least one thread can run it; false (nothing queued) otherwise.
    bool Post(std::size_t Wanted, std::function<void()> Job) {
        const std::lock_guard<std::mutex> G(Lock);
        while (Threads.size() < std::min<std::size_t>(Wanted, 64)) {
            try {
                Threads.emplace_back([this] { Loop(); });
            } catch (const std::system_error&) {
                break; // no thread to spare: those running (or the caller) do the work
            }
        }
        if (Threads.empty())
            return false;
        Jobs.push_back(std::move(Job));
        Wake.notify_one();
        return true;
    }

private:
    void Loop() {
        OnPoolThread = true;
        for (;;) {
            std::function<void()> Job;
            {
                std::unique_lock<std::mutex> G(Lock);
                Wake.wait(G, [this] { return Quit || !Jobs.empty(); });
                if (Jobs.empty())
                    return;
                Job = std::move(Jobs.front());
                Jobs.pop_front();
            }
            Job();
        }
    }

    std::mutex Lock;
    std::condition_variable Wake;
    std::deque<std::function<void()>> Jobs;
    bool Quit = false;
    std::vector<std::jthread> Threads; // last: joined before the queue goes
};

// Counts the jobs of one run still going; the run's data lives until it reaches zero.
class TLatch {
public:
    void Add() {
        const std::lock_guard<std::mutex> G(Lock);
        ++Open;
    }
    void Done() {
        const std::lock_guard<std::mutex> G(Lock);
        if (--Open == 0)
            Zero.notify_all();
    }
    void Wait() {
        std::unique_lock<std::mutex> G(Lock);
        Zero.wait(G, [this] { return Open == 0; });
    }

private:
    std::mutex Lock;
    std::condition_variable Zero;
    std::size_t Open = 0;
};

} // namespace

int ThreadCount(int Requested) {
    if (Requested > 0)
        return Requested;
    return static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
}

void RunInOrder(int Threads, std::size_t Count,
                const std::function<void(std::size_t, std::stop_token)>& Work,
                const std::function<bool(std::size_t)>& Take, const std::function<void()>& Idle) {
    if (Count == 0)
        return;
    std::mutex Lock;
    std::condition_variable Ready;
    std::vector<char> Done(Count, 0);
    std::vector<std::exception_ptr> Errors(Count);
    std::atomic<std::size_t> Next{0};
    std::stop_source Stop;

    const auto Worker = [&] {
        for (;;) {
            if (Stop.stop_requested())
                return;
            const std::size_t I = Next.fetch_add(1);
            if (I >= Count)
                return;
            std::exception_ptr Error;
            try {
                Work(I, Stop.get_token());
            } catch (...) {
                Error = std::current_exception();
            }
            {
                const std::lock_guard<std::mutex> G(Lock);
                Done[I] = 1;
                Errors[I] = Error;
            }
            Ready.notify_all();
        }
    };

    TLatch Running;
    // Ends the run on every way out, so that no worker outlives the data it uses.
    struct TJoin {
        std::stop_source& S;
        TLatch& L;
        ~TJoin() {
            S.request_stop();
            L.Wait();
        }
    } Join{Stop, Running};

    const std::size_t Workers =
        OnPoolThread ? 0 : std::min(static_cast<std::size_t>(std::max(1, Threads)), Count);
    std::size_t Posted = 0;
    for (std::size_t T = 0; T < Workers; ++T) {
        Running.Add();
        if (!TPool::Shared().Post(Workers, [&] {
                Worker();
                Running.Done();
            })) {
            Running.Done();
            break;
        }
        ++Posted;
    }
    if (Posted == 0)
        Worker();

    for (std::size_t K = 0; K < Count; ++K) {
        std::exception_ptr Error;
        {
            std::unique_lock<std::mutex> G(Lock);
            while (!Done[K]) {
                if (Idle) {
                    Ready.wait_for(G, std::chrono::milliseconds(20));
                    if (!Done[K]) {
                        G.unlock();
                        Idle();
                        G.lock();
                    }
                } else {
                    Ready.wait(G);
                }
            }
            Error = Errors[K];
        }
        if (Error)
            std::rethrow_exception(Error);
        if (!Take(K))
            return;
    }
}

void RunParts(std::size_t Parts, const std::function<void(std::size_t)>& Part) {
    if (Parts == 0)
        return;
    // Shared with the posted jobs, which may start only after the caller has done every
    // part (when the pool is busy with other work): such a job finds nothing left and
    // touches only this state, so the caller waits for the parts, not for the jobs.
    struct TState {
        const std::function<void(std::size_t)>* Part = nullptr;
        std::size_t Parts = 0;
        std::atomic<std::size_t> Next{0};
        std::mutex Lock;
        std::condition_variable AllDone;
        std::size_t Finished = 0;
        void Take() {
            for (std::size_t K = Next.fetch_add(1); K < Parts; K = Next.fetch_add(1)) {
                (*Part)(K);
                const std::lock_guard<std::mutex> G(Lock);
                if (++Finished == Parts)
                    AllDone.notify_all();
            }
        }
    };
    const auto State = std::make_shared<TState>();
    State->Part = &Part;
    State->Parts = Parts;
    if (!OnPoolThread)
        for (std::size_t T = 1; T < Parts; ++T)
            if (!TPool::Shared().Post(Parts - 1, [State] { State->Take(); }))
                break;
    State->Take();
    std::unique_lock<std::mutex> G(State->Lock);
    State->AllDone.wait(G, [&] { return State->Finished == Parts; });
}

void ParallelFor(int Threads, std::size_t Count, const std::function<void(std::size_t)>& Body) {
    const auto Workers =
        std::min<std::size_t>(Count, static_cast<std::size_t>(std::max(1, ThreadCount(Threads))));
    if (Workers <= 1) {
        for (std::size_t I = 0; I < Count; ++I)
            Body(I);
        return;
    }
    // Indices are taken in runs that shrink as the work runs out: each take moves the
    // counter from one core's cache to the other's, which costs microseconds on some
    // virtual machines, as much as a small item's work.
    std::atomic<std::size_t> Next{0};
    RunParts(Workers, [&](std::size_t) {
        std::size_t From = Next.load();
        for (;;) {
            std::size_t Run = 0;
            do {
                if (From >= Count)
                    return;
                Run = std::max<std::size_t>(1, (Count - From) / (2 * Workers));
            } while (!Next.compare_exchange_weak(From, From + Run));
            for (std::size_t I = From; I < From + Run; ++I)
                Body(I);
            From = Next.load();
        }
    });
}

} // namespace kalvex
