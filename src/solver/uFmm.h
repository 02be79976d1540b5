// The system's product and the velocities of many points without the dense matrix: a
// fast multipole method over the elements' uniform source layers. Each element's far
// field is the exact multipole series of a straight uniform panel in the complex
// velocity; the series are gathered up an adaptive quadtree over the element midpoints,
// turned into local series and passed down, and pairs too close for the series take the
// dense path's own entries. Internal to the solver.
#pragma once

#include "geometry/GenFuncs.h"
#include "solver/uCountEdges.h"

#include <cstddef>
#include <functional>
#include <memory>
#include <span>
#include <vector>

namespace kalvex {

// Terms of the series for a requested relative accuracy of the product.
int FmmOrder(double Accuracy);

class TFmmSystem {
public:
    // The tree and its interaction lists; the near entries are computed by BuildNear.
    TFmmSystem(const TEdgeElementArray& Elements, double Accuracy, int Threads);
    ~TFmmSystem();
    TFmmSystem(const TFmmSystem&) = delete;
    TFmmSystem& operator=(const TFmmSystem&) = delete;

    // Bytes the system holds once its near entries are built.
    double Bytes() const;
    // Computes the near entries; Stop is asked between pieces, and true ends it (false
    // returned, the system unusable for products).
    bool BuildNear(const std::function<bool()>& Stop = {});
    // Y = Alpha A X + Beta Y for the system's matrix A; false when Stop answered true.
    bool Apply(double Alpha, const double* X, double Beta, double* Y,
               const std::function<bool()>& Stop = {}) const;
    // Takes the intensities whose velocities Velocities gives, and forms their series.
    void SetIntensities(const double* Q);
    // Velocity induced by the elements with the intensities last set at each point (the
    // rotating cylinders' vortices are not included). Safe to call from several threads.
    void Velocities(std::span<const TRealPoint> Points, std::span<TRealPoint> Out) const;
    // The same at one point: the tree's series where they are far enough, the elements
    // of the leaves near it one by one.
    TRealPoint VelocityAt(TRealPoint Point) const;
    std::size_t Count() const;
    int Order() const;

private:
    struct TImpl;
    std::unique_ptr<TImpl> Impl;
};

} // namespace kalvex
