// Restarted GMRES on a dense column-major matrix or on any product, for systems too
// large for LU to be quick. Internal to the solver.
#pragma once

#include <cstddef>
#include <functional>

namespace kalvex {

struct TGmresOutcome {
    bool Converged = false;
    int Iterations = 0;    // matrix-vector products of the Krylov steps
    double Residual = 0.0; // |b - A x| / |b| of the returned X
    bool Stopped = false;  // Stop answered true
};

// Solves A X = B (A: N x N, column-major, left untouched) to a relative residual of
// Tolerance, restarting every Restart steps and giving up after MaxIterations. The
// preconditioner is block Jacobi with blocks of Block consecutive unknowns (1: plain
// Jacobi), applied on the right so that the residual tested is that of the system
// itself. Memory besides A: N * (Restart + Block + 3) doubles. Stop (when set) is
// asked between pieces of every product with A; true ends the solve unconverged.
TGmresOutcome SolveGmres(const double* A, std::size_t N, const double* B, double* X,
                         double Tolerance, int Restart, int MaxIterations, std::size_t Block,
                         const std::function<bool()>& Stop = {});
// Y = Alpha A X + Beta Y; false when the solve is to end unconverged (stopped).
using TGmresProduct = std::function<bool(double Alpha, const double* X, double Beta, double* Y)>;
// Rows and columns [From, From + Size) of A into F, column-major Size x Size.
using TGmresBlock = std::function<void(std::size_t From, std::size_t Size, double* F)>;
// The same solve with A given by its product and its diagonal blocks. The blocks are
// factored and applied on Threads workers (Diagonal is then called from them), each
// block by one library thread.
TGmresOutcome SolveGmres(const TGmresProduct& Product, const TGmresBlock& Diagonal, std::size_t N,
                         const double* B, double* X, double Tolerance, int Restart,
                         int MaxIterations, std::size_t Block, int Threads = 1);
// Y = Alpha A X + Beta Y for the dense column-major N x N matrix A, in row bands small
// enough that Stop is asked every few hundredths of a second; false when it answered
// true (Y is then partly updated).
bool BandedProduct(const double* A, std::size_t N, double Alpha, const double* X, double Beta,
                   double* Y, const std::function<bool()>& Stop);

} // namespace kalvex
