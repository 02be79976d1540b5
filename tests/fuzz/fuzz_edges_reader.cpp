// libFuzzer entry: the edges block reader on arbitrary bytes. A refusal is fine;
// a crash, a sanitizer report or a model that does not survive a round trip is not.
#include "geometry/uEdges.h"

#include <cstdint>
#include <cstdlib>
#include <span>

using namespace kalvex;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
    TEdges Edges;
    TByteReader Reader(std::span<const std::uint8_t>(Data, Size));
    try {
        Edges.LoadFromStream(Reader);
    } catch (const TKalvexError&) {
        if (Edges.Count() != 0)
            std::abort(); // a refusal must leave the model empty
        return 0;
    }
    // What was accepted writes back to the bytes it was read from, less what carries nothing,
    // and reads back to the same block.
    TByteWriter First;
    Edges.SaveToStream(First);
    if (First.Bytes.size() != Reader.Position())
        std::abort();
    TEdges Again;
    TByteReader Reader2(First.Bytes);
    Again.LoadFromStream(Reader2);
    TByteWriter Second;
    Again.SaveToStream(Second);
    if (Second.Bytes != First.Bytes)
        std::abort();
    // The queries must cope with whatever was accepted.
    (void)Edges.TotalFlow();
    (void)Edges.IsValid();
    double MinV, MaxV;
    Edges.SpeedRange(MinV, MaxV);
    TRealPoint TL, BR;
    Edges.GetBounds(TL, BR);
    return 0;
}
