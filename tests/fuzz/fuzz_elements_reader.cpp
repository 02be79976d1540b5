// libFuzzer entry: the discretisation file reader on arbitrary bytes. A refusal must
// leave no elements; what is accepted must survive a round trip and the operations
// that index elements through the cylinder records.
#include "solver/uCountEdges.h"

#include <cstdint>
#include <cstdlib>
#include <span>

using namespace kalvex;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
    TEdgeElements Elements;
    try {
        Elements.LoadFromBytes(std::span<const std::uint8_t>(Data, Size));
    } catch (const TKalvexError&) {
        if (Elements.Count != 0 || !Elements.Elements.empty() || Elements.CylCount != 0 ||
            !Elements.CylInfos.empty())
            std::abort();
        return 0;
    }
    const std::vector<std::uint8_t> First = Elements.SaveToBytes();
    TEdgeElements Again;
    Again.LoadFromBytes(First);
    if (Again.SaveToBytes() != First)
        std::abort();
    Elements.RotateCylinders(0.001);
    Elements.RotateCylindersByAngle(5.0);
    Elements.RefineInRect({-1.0, -1.0}, {1.0, 1.0});
    for (const TCylInfo& C : Elements.CylInfos) {
        if (C.FirstElement < 0 || C.ElementCount < 0 ||
            static_cast<std::int64_t>(C.FirstElement) + C.ElementCount > Elements.Count)
            std::abort();
    }
    return 0;
}
