// libFuzzer entry: the task file reader on arbitrary bytes. A refusal with the program's
// own message is fine; a crash, a sanitizer report, any other exception or a task that
// does not come back unchanged through its writer is not.
#include "ModelBuilders.h"
#include "optimise/uOptEdges.h"
#include "optimise/uOptTask.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

using namespace kalvex;
using namespace kalvex::test;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
    TOptTask Task;
    try {
        Task = ParseOptTask(std::string_view(reinterpret_cast<const char*>(Data), Size));
    } catch (const TTaskError&) {
        return 0;
    }
    // What was accepted is written out whole and read back to the same text.
    const std::string Text = WriteOptTask(Task);
    if (WriteOptTask(ParseOptTask(Text)) != Text)
        std::abort();
    // Applied to a model, it names objects the model has or is refused.
    // A floor with a slot and a plate above it: objects Точка1..Точка8, Отсос1.
    static const TEdges Base =
        ModelOf({Chain({{1, 0}, {0.05, 0}, {-0.05, 0}, {-1, 0}}, {0, 1, 0}),
                 Polygon({{0.25, 0.25}, {0.75, 0.25}, {0.75, 0.3}, {0.25, 0.3}})});
    TOptimizeEdges Search;
    if (!Search.Params.BuildObjects(Base))
        std::abort();
    try {
        ApplyOptTask(Task, Search);
    } catch (const TTaskError&) {
        return 0;
    }
    (void)Search.GridSize();
    return 0;
}
