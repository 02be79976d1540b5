// Work on a few threads, handed back in order on the calling thread: the hooks of a
// window (progress, drawing, event pump) may only ever be called there.
#pragma once

#include <cstddef>
#include <functional>
#include <stop_token>

namespace kalvex {

// Worker threads to use for a request: Requested when positive, else every core.
int ThreadCount(int Requested);

// Runs Work(I, Stop) for every I in [0, Count) on Threads workers of the process's
// pool, taking indices in order, and calls Take(I) on the calling thread strictly for
// I = 0, 1, ... as each becomes ready. While it waits for the next one, Idle (when set)
// is called on the calling thread every few milliseconds. Take returning false ends the
// run: no further index is started, Stop is requested for those under way, and they
// are waited for. An exception from Work(I) is rethrown by RunInOrder when I's turn
// comes (the same point a sequential loop would reach it). Work must only touch its own
// result slot and shared read-only data. Called from a pool worker, it runs everything
// on that worker.
void RunInOrder(int Threads, std::size_t Count,
                const std::function<void(std::size_t I, std::stop_token Stop)>& Work,
                const std::function<bool(std::size_t I)>& Take,
                const std::function<void()>& Idle = {});

// Body(I) for every I in [0, Count) on Threads workers (the calling thread among them),
// for work whose items each write only their own results: the split over the threads
// then changes nothing. Body must not throw.
void ParallelFor(int Threads, std::size_t Count, const std::function<void(std::size_t I)>& Body);

// Runs Part(K) for K in [0, Parts) on the pool and the calling thread and returns when
// all are done (the caller does them alone when the pool is busy). Parts must not throw.
void RunParts(std::size_t Parts, const std::function<void(std::size_t K)>& Part);

} // namespace kalvex
