#include "document/uDocument.h"

#include <gtest/gtest.h>

using namespace kalvex;

TEST(DocumentTest, StartsSavedUntitledInEditing) {
    TDocument Doc;
    int Notified = 0;
    Doc.OnStateChange = [&] { ++Notified; };
    EXPECT_EQ(Doc.FileName(), "Система1.asp");
    EXPECT_TRUE(Doc.Saved());
    EXPECT_TRUE(Doc.Untitled());
    EXPECT_EQ(Doc.Mode(), TMode::mdEdit);
    Doc.MarkChanged();
    EXPECT_FALSE(Doc.Saved());
    EXPECT_EQ(Notified, 1);
}
