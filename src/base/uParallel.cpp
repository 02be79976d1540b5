#include "base/uParallel.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

namespace kalvex {

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

    const auto Workers = static_cast<std::size_t>(std::max(1, Threads));
    std::vector<std::jthread> Pool;
    Pool.reserve(std::min(Workers, Count));
    for (std::size_t T = 0; T < std::min(Workers, Count); ++T) {
        try {
            Pool.emplace_back(Worker);
        } catch (const std::system_error&) {
            break; // no thread to spare: those started (or the calling thread) do the work
        }
    }
    // Ends the run on every way out, so that no worker outlives the data it uses.
    struct TJoin {
        std::stop_source& S;
        std::vector<std::jthread>& P;
        ~TJoin() {
            S.request_stop();
            for (std::jthread& T : P)
                if (T.joinable())
                    T.join();
        }
    } Join{Stop, Pool};

    if (Pool.empty()) {
        Worker();
    }
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

} // namespace kalvex
