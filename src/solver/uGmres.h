// Restarted GMRES on a dense column-major matrix, for systems too large for LU to be
// quick. Internal to the solver.
#pragma once

#include <cstddef>

namespace kalvex {

struct TGmresOutcome {
    bool Converged = false;
    int Iterations = 0;    // matrix-vector products of the Krylov steps
    double Residual = 0.0; // |b - A x| / |b| of the returned X
};

// Solves A X = B (A: N x N, column-major, left untouched) to a relative residual of
// Tolerance, restarting every Restart steps and giving up after MaxIterations. The
// preconditioner is block Jacobi with blocks of Block consecutive unknowns (1: plain
// Jacobi), applied on the right so that the residual tested is that of the system
// itself. Memory besides A: N * (Restart + Block + 3) doubles.
TGmresOutcome SolveGmres(const double* A, std::size_t N, const double* B, double* X,
                         double Tolerance, int Restart, int MaxIterations, std::size_t Block);

} // namespace kalvex
