#include "solver/uBlasThreads.h"

#include <dlfcn.h>

#include <cstdlib>

namespace kalvex {

namespace {

// Looked up at run time: the reference LAPACK that may stand in for OpenBLAS has
// no such setting.
using TGet = int (*)();
using TSet = void (*)(int);

TGet GetFunction() {
    static const auto F = reinterpret_cast<TGet>(dlsym(RTLD_DEFAULT, "openblas_get_num_threads"));
    return F;
}

TSet SetFunction() {
    static const auto F = reinterpret_cast<TSet>(dlsym(RTLD_DEFAULT, "openblas_set_num_threads"));
    return F;
}

} // namespace

void QuietBlasThreadsAtStart() {
    using TCall = void (*)();
    using TShutdown = int (*)();
    const auto ReadEnvironment = reinterpret_cast<TCall>(dlsym(RTLD_DEFAULT, "openblas_read_env"));
    const auto Shutdown = reinterpret_cast<TShutdown>(dlsym(RTLD_DEFAULT, "blas_thread_shutdown_"));
    if (!ReadEnvironment || !Shutdown)
        return;
    // 2^16 cycles: enough between the calls of one factorisation, too little to matter
    // after it. The library reads it when it starts its threads.
    setenv("OPENBLAS_THREAD_TIMEOUT", "16", 0);
    ReadEnvironment();
    Shutdown();
}

TBlasThreads::TBlasThreads(int Threads) {
    const TGet Get = GetFunction();
    const TSet Set = SetFunction();
    if (Threads <= 0 || !Get || !Set)
        return;
    const int Current = Get();
    if (Current == Threads)
        return;
    Previous = Current;
    Set(Threads);
}

TBlasThreads::~TBlasThreads() {
    if (Previous > 0)
        SetFunction()(Previous);
}

} // namespace kalvex
