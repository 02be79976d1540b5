// The wizard's state without the window: preparation, and task files taken over whole
// or not at all.
#include "document/uWizard.h"

#include "ModelBuilders.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

using namespace kalvex;
using namespace kalvex::test;

namespace {

TEdges HoodProbe() {
    TEdges M;
    M.LoadFromFile(ExamplePath("hood_probe.asp"));
    return M;
}

} // namespace

TEST(Wizard, PreparationRebuildsOrEmptiesWhenTheFlowCannotBeBalanced) {
    TWizard W;
    ASSERT_TRUE(W.Prepare(HoodProbe(), {}));
    W.AddGeometric(TWizard::NewGeometric());
    W.Particles.Particles.push_back({});
    ASSERT_EQ(W.GeomCount(), 1);
    // Entering modelling again discards what was defined.
    ASSERT_TRUE(W.Prepare(HoodProbe(), {}));
    EXPECT_EQ(W.GeomCount(), 0);
    EXPECT_TRUE(W.Particles.Particles.empty());
    EXPECT_EQ(W.SuctionCount(), 1);
    EXPECT_EQ(W.FormulaObjects().size(), 8u);

    // A closed box with two inflow openings: no lists of the earlier model are kept.
    TEdges Box;
    Box.Add(Polygon({{0, 0}, {1, 0}, {1, 1}, {0, 1}}, {2.0, -1.0, 0.0, -1.0}));
    EXPECT_FALSE(W.Prepare(Box, {}));
    EXPECT_FALSE(W.Ready());
    EXPECT_EQ(W.Params().ParamCount(), 0);
    EXPECT_EQ(W.LoadTask(TOptTask{}), std::string(MsgNotBalanced));
}

TEST(Wizard, TaskFileIsTakenOverWholeOrNotAtAll) {
    TWizard W;
    ASSERT_TRUE(W.Prepare(HoodProbe(), {}));
    const TOptTask Example = LoadOptTask(ExamplePath("task_velocity.json"));
    ASSERT_EQ(W.LoadTask(Example), std::nullopt);
    const std::string Text = WriteOptTask(W.ToTask());
    EXPECT_EQ(Text, WriteOptTask(Example));

    TOptTask Bad = Example;
    Bad.Geometric[0].Formulas[1].Object = "Точка9";
    Bad.Task = 1;
    const std::optional<std::string> Fault = W.LoadTask(Bad);
    ASSERT_TRUE(Fault);
    EXPECT_NE(Fault->find("geometric[0].formulas[1]"), std::string::npos) << *Fault;
    EXPECT_EQ(WriteOptTask(W.ToTask()), Text);

    // A tabulation grid no search can walk is refused as the command line refuses it.
    TOptTask Huge = Example;
    Huge.Tabulate = true;
    Huge.Geometric[0].Step = 1e-9;
    const std::optional<std::string> TooMany = W.LoadTask(Huge);
    ASSERT_TRUE(TooMany);
    EXPECT_NE(TooMany->find("Слишком много моделей"), std::string::npos) << *TooMany;
    EXPECT_EQ(WriteOptTask(W.ToTask()), Text);
}

TEST(Wizard, VelocityTaskNeedsADirectionAndAPointTheFileCanHold) {
    EXPECT_FALSE(CheckSpeedData(1.0, 1.0, 1.0, 1.0, 0.0).has_value());
    EXPECT_EQ(CheckSpeedData(1.0, 1.0, 1.0, 0.0, 0.0), std::string(MsgInputError));
    EXPECT_EQ(CheckSpeedData(2e6, 1.0, 1.0, 1.0, 0.0), std::string(MsgInputError));
}
