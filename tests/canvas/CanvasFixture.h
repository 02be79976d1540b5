// A canvas wired to two recording surfaces, and small helpers of the canvas tests.
#pragma once

#include "ModelBuilders.h"
#include "TestSupport.h"
#include "canvas/uPaintEdges.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kalvex::test {

inline std::vector<std::uint8_t> ModelBytes(const TEdges& Edges) {
    TByteWriter W;
    Edges.SaveToStream(W);
    return W.Bytes;
}

inline std::vector<std::string> Texts(const TRecordingSurface& S) {
    std::vector<std::string> Out;
    for (const auto& C : S.Of("TextOut"))
        Out.push_back(C.Text);
    return Out;
}

class CanvasTest : public ::testing::Test {
protected:
    void SetUp() override {
        Canvas.SetSurfaces(&Buffer, &Screen);
        Canvas.CopyBufferToScreen = [this] { ++Copies; };
        Canvas.Resize(500, 400);
        Buffer.Clear();
        Screen.Clear();
        Copies = 0;
    }

    void Click(int X, int Y, TMouseButton B = TMouseButton::mbLeft) {
        Canvas.MouseDown(B, 0, X, Y);
        Canvas.MouseUp(B, 0, X, Y);
    }
    void Move(int X, int Y) { Canvas.MouseMove(0, X, Y); }
    void RightClick(int X, int Y) { Click(X, Y, TMouseButton::mbRight); }
    void RedrawFresh() {
        Buffer.Clear();
        Canvas.Redraw();
    }

    TEdgesCanvas Canvas;
    TRecordingSurface Buffer;
    TRecordingSurface Screen;
    int Copies = 0;
};

} // namespace kalvex::test
