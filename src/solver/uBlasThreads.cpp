#include "solver/uBlasThreads.h"

#include <dlfcn.h>

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
