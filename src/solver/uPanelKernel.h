// The assembled system's entries and the velocity sums of a range of elements, computed
// by the same code as the dense matrix, for the solver's matrix-free paths. Internal to
// the solver.
#pragma once

#include "geometry/GenFuncs.h"
#include "solver/uCountEdges.h"

#include <cstddef>
#include <memory>

namespace kalvex {

class TPanelKernel {
public:
    explicit TPanelKernel(const TEdgeElementArray& Elements);
    ~TPanelKernel();
    TPanelKernel(const TPanelKernel&) = delete;
    TPanelKernel& operator=(const TPanelKernel&) = delete;

    // Rows [RowFrom, RowTo) and columns [ColFrom, ColTo) of the system into Out,
    // column-major: bit for bit the entries AssembleFast gives these elements.
    void Block(std::size_t RowFrom, std::size_t RowTo, std::size_t ColFrom, std::size_t ColTo,
               double* Out) const;
    // Velocity at P induced by elements [From, To) with intensities Q[From..To).
    TRealPoint Velocity(std::size_t From, std::size_t To, const double* Q, TRealPoint P) const;

private:
    struct TImpl;
    std::unique_ptr<TImpl> Impl;
};

} // namespace kalvex
