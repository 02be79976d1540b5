// Plain Gauss elimination without pivot search.
#pragma once

#include "geometry/GenFuncs.h"

namespace kalvex {

// First row p in K+1..N-1 with A[p][K] != 0 (exact), or -1.
int FindPivotRow(const TRealMatr& A, int K, int N);
// Solves A (N rows of N + 1 columns, last column the right-hand side) into X, which
// must have length N. A is overwritten. Rows are exchanged only for an exact zero
// pivot. Returns false, leaving X untouched, when no row can replace such a pivot.
bool SolveGauss(TRealMatr& A, int N, TRealArray& X);

} // namespace kalvex
