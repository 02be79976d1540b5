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

// The library's idle threads wait for work by spinning for about a tenth of a second
// before they sleep, after its start and after every threaded call, and so take a core
// from this program's own workers. For a program's main, before it starts any thread
// or library call: the threads waiting since the library's start are ended, and those
// it starts again on its next threaded call spin only some tens of microseconds (unless
// the user set OPENBLAS_THREAD_TIMEOUT). Does nothing with a library without these
// settings.
void QuietBlasThreadsAtStart();

} // namespace kalvex
