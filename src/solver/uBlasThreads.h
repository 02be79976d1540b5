// The thread count of the LAPACK/BLAS library, which is one setting for the process.
#pragma once

namespace kalvex {

// Sets the library's thread count for its lifetime and restores it afterwards; 0 or
// a library without the setting leaves it alone. Only for the calling thread's own
// stretch of work: trials solved side by side each want one thread, and a run on one
// thread wants the library on one too.
class TBlasThreads {
public:
    explicit TBlasThreads(int Threads);
    ~TBlasThreads();
    TBlasThreads(const TBlasThreads&) = delete;
    TBlasThreads& operator=(const TBlasThreads&) = delete;

private:
    int Previous = 0;
};

} // namespace kalvex
