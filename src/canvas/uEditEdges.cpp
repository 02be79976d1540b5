// The canvas as the editor of the boundary model: hit test, selection, the drawing
// tools, keys, and the guarded changes of segments.
#include "canvas/uPaintEdges.h"
#include "geometry/uAirSide.h"

#include "canvas/uAddEdges.h"

#include <cmath>

namespace kalvex {

namespace {

bool IsPointKind(TSelKind K) {
    return K == skFirstPoint || K == skPoint;
}

// The pixel distance between two pixels, rounded.
int PixelRadius(TPixel A, TPixel B) {
    const double Dx = A.X - B.X;
    const double Dy = A.Y - B.Y;
    return RoundEven(std::sqrt(Dx * Dx + Dy * Dy));
}

} // namespace

void TEdgesCanvas::NoteEdit(const char* Name, THitResult Object, int Run) {
    FEditNote = {Name, Object, Run};
}

// ---------------------------------------------------------------- tool and mode

void TEdgesCanvas::SetTool(TEditTool T) {
    if (T == FTool)
        return;
    // A drawing in progress belongs to the old tool; finishing it under another tool
    // would leave a half-made object in the model.
    CancelDrawing();
    if (FTool == etSelect) {
        DeselectAll();
        if (OnSelect)
            OnSelect();
    }
    FTool = T;
}

void TEdgesCanvas::SetEditEnabled(bool B) {
    if (B == FEditEnabled)
        return;
    if (FEditEnabled) {
        CancelDrawing();
        if (FTool == etSelect) {
            DeselectAll();
            if (OnSelect)
                OnSelect();
        }
    }
    FEditEnabled = B;
}

// ---------------------------------------------------------------- hit test

THitResult TEdgesCanvas::HitTest(TRealPoint P) const {
    const double PointTol = 3 * Scale;
    const double LineTol = 4 * Scale;
    for (int E = 0; E < Edges.Count(); ++E) {
        const TEdge& Edge = Edges.Item(E);
        if (Edge.Kind == ekCylinder) {
            if (Edge.Count() >= 1 && Distance(P, Edge.Segments[0].P1) < Edge.Segments[0].P2.X)
                return {skCylinder, E, 0};
            continue;
        }
        if (Edge.Kind == ekSemiInfinite && Edge.Count() > 0 &&
            Distance(P, Edge.Segments[0].P1) < PointTol)
            return {skFirstPoint, E, 0};
        for (int J = 0; J < Edge.Count(); ++J) {
            const TEdgeSegment& S = Edge.Segments[static_cast<std::size_t>(J)];
            if (Distance(P, S.P2) < PointTol)
                return {skPoint, E, J};
            if (DistanceToLine(P, S.P1, S.P2) < LineTol) {
                const bool InX = std::min(S.P1.X, S.P2.X) < P.X && P.X < std::max(S.P1.X, S.P2.X);
                const bool InY = std::min(S.P1.Y, S.P2.Y) < P.Y && P.Y < std::max(S.P1.Y, S.P2.Y);
                if (InX || InY)
                    return {skSegment, E, J};
            }
        }
    }
    return {};
}

// ---------------------------------------------------------------- mouse

// A drawing keeps the index of its boundary between clicks; when the model was changed
// underneath, that boundary is not the one the next click would extend.
bool TEdgesCanvas::DrawingIntact() const {
    if (FClickCount == 0)
        return true;
    const auto LastIs = [&](TEdgeKind Kind) {
        return Edges.Count() == DrawBase + 1 && Edges.Item(DrawBase).Kind == Kind &&
               Edges.Item(DrawBase).Count() == FClickCount - 1;
    };
    switch (FTool) {
    case etClosedEdge:
        return LastIs(ekClosed);
    case etSemiInfiniteEdge:
        return FClickCount == 1 ? Edges.Count() == DrawBase : LastIs(ekSemiInfinite);
    default:
        return true; // a cylinder enters the model whole
    }
}

void TEdgesCanvas::DropStaleDrawing() {
    if (DrawingIntact())
        return;
    FClickCount = 0;
    Redraw();
}

void TEdgesCanvas::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
    const TPixel P{X, Y};
    DropStaleDrawing();
    EndRun();
    // The middle button pans under any tool, without the click's notification.
    if (Button == TMouseButton::mbMiddle) {
        FPanning = true;
        FMiddlePan = true;
        LastPan = P;
        return;
    }
    bool Handled = true;
    switch (FTool) {
    case etNone:
        break;
    case etSelect:
        if (FEditEnabled)
            PressSelect(Button, P);
        break;
    case etPan:
        FPanning = true;
        LastPan = P;
        break;
    case etClosedEdge:
        if (FEditEnabled)
            Handled = PressClosed(Button, P);
        break;
    case etSemiInfiniteEdge:
        if (FEditEnabled)
            Handled = PressSemiInfinite(Button, P);
        break;
    case etCylinder:
        if (FEditEnabled)
            Handled = PressCylinder(Button, P);
        break;
    }
    // An ignored click ends here, without the notification.
    if (Handled && OnCanvasMouseDown)
        OnCanvasMouseDown(Button, Shift, X, Y);
}

void TEdgesCanvas::PressSelect(TMouseButton Button, TPixel P) {
    SetTargetScreen();
    DeselectAll();
    const THitResult Hit = HitTest(ScreenToWorld(P));
    FSelSegment = Hit.Segment;
    FSelEdge = Hit.Edge;
    FSelKind = Hit.Kind;
    if (Button == TMouseButton::mbLeft &&
        (IsPointKind(Hit.Kind) || (Hit.Kind == skCylinder && Hit.Segment == 0))) {
        const TEdgeSegment& S =
            Edges.Item(Hit.Edge).Segments[static_cast<std::size_t>(Hit.Segment)];
        FDragging = true;
        FDragOffset = (Hit.Kind == skPoint ? S.P2 : S.P1) - ScreenToWorld(P);
    }
    if (Hit.Kind != skNone) {
        Target->SetPenMode(TPenMode::pmCopy);
        DrawSelection();
    }
    if (OnSelect)
        OnSelect();
}

// The rubber line gives way to the new segment LastClick-P, already stored.
void TEdgesCanvas::AddRubberSegment(TPixel P) {
    Target->SetPenMode(TPenMode::pmNotXor);
    DrawLine(LastClick, LastMouse, clBlack);
    DrawLine(LastClick, P, clBlack);
    Target->SetPenMode(TPenMode::pmCopy);
    DrawMarker(LastClick, clBlack);
    DrawMarker(P, clBlack);
}

bool TEdgesCanvas::PressClosed(TMouseButton Button, TPixel P) {
    SetTargetScreen();
    if (Button == TMouseButton::mbLeft) {
        if (FClickCount == 0) {
            FFirstClick = P;
            DrawBase = Edges.Count();
            Edges.Add(TEdge(ekClosed));
            DrawMarker(P, clBlack);
        } else {
            if (P == LastClick)
                return false;
            const TRealPoint A = ScreenToWorld(LastClick);
            const TRealPoint B = ScreenToWorld(P);
            if (Edges.SegmentHitsBoundary(A, B))
                return false;
            TEdgeSegment S = NewSegmentDefaults;
            S.V = 0;
            S.P1 = A;
            S.P2 = B;
            Edges.Last().AddSegment(S);
            AddRubberSegment(P);
        }
        LastClick = P;
        LastMouse = P;
        ++FClickCount;
        return true;
    }
    if (Button == TMouseButton::mbRight) {
        if (FClickCount < 3)
            return false;
        const TRealPoint A = ScreenToWorld(LastClick);
        const TRealPoint B = ScreenToWorld(FFirstClick);
        if (Edges.SegmentHitsBoundary(A, B))
            return false;
        FClickCount = 0;
        TEdgeSegment S = NewSegmentDefaults;
        S.V = 0;
        S.P1 = A;
        S.P2 = B;
        Edges.Last().AddSegment(S);
        OrientDrawnRegion(Edges, Edges.Count() - 1);
        Redraw();
        NoteEdit("рисование границы", {});
        if (OnChange)
            OnChange();
    }
    return true;
}

bool TEdgesCanvas::PressSemiInfinite(TMouseButton Button, TPixel P) {
    SetTargetScreen();
    if (Button == TMouseButton::mbLeft) {
        if (FClickCount == 0) {
            FFirstClick = P;
            DrawBase = Edges.Count();
            DrawMarker(P, clBlack);
        } else {
            if (P == LastClick)
                return false;
            const TRealPoint A = ScreenToWorld(LastClick);
            const TRealPoint B = ScreenToWorld(P);
            if (FClickCount == 1) {
                if (Edges.RayHitsBoundary(B, A))
                    return false;
                Edges.Add(TEdge(ekSemiInfinite));
                Target->SetPenMode(TPenMode::pmNotXor);
                DrawRay(LastMouse, LastClick, clBlack);
                DrawRay(P, LastClick, clBlack);
                Target->SetPenMode(TPenMode::pmCopy);
            } else if (DrawnSegmentHits(A, B)) {
                return false;
            }
            TEdgeSegment S = NewSegmentDefaults;
            S.V = 0;
            S.P1 = A;
            S.P2 = B;
            Edges.Last().AddSegment(S);
            AddRubberSegment(P);
        }
        LastClick = P;
        LastMouse = P;
        ++FClickCount;
        return true;
    }
    if (Button == TMouseButton::mbRight) {
        if (FClickCount < 3)
            return false;
        const TEdgeSegment Last = Edges.Last().LastSegment();
        if (Edges.RayCrossesOthers(Last.P1, Last.P2, Edges.Last().Count() - 1, Edges.Count() - 1))
            return false;
        FClickCount = 0;
        Redraw();
        NoteEdit("рисование границы", {});
        if (OnChange)
            OnChange();
    }
    return true;
}

bool TEdgesCanvas::PressCylinder(TMouseButton Button, TPixel P) {
    SetTargetScreen();
    if (Button == TMouseButton::mbLeft) {
        if (FClickCount == 0) {
            FFirstClick = P;
            LastMouse = P;
            FClickCount = 1;
        }
        return true;
    }
    if (Button == TMouseButton::mbRight) {
        const double Dx = P.X - FFirstClick.X;
        const double Dy = P.Y - FFirstClick.Y;
        const double R = std::sqrt(Dx * Dx + Dy * Dy) * Scale;
        if (R == 0 || FClickCount < 1)
            return false;
        const TRealPoint C = ScreenToWorld(FFirstClick);
        if (Edges.PointOnBoundary(C, R))
            return false;
        FClickCount = 0;
        Edges.Add(StillCylinder(C, R, NewSegmentDefaults));
        Redraw();
        NoteEdit("рисование цилиндра", {});
        if (OnChange)
            OnChange();
    }
    return true;
}

void TEdgesCanvas::MouseMove(TShiftState Shift, int X, int Y) {
    const TPixel P{X, Y};
    DropStaleDrawing();
    if (FPanning && (FTool == etPan || FMiddlePan)) {
        ShiftClicks(X - LastPan.X, Y - LastPan.Y);
        LastMouse = LastClick; // the rubber line is gone with the redraw
        Origin.X += X - LastPan.X;
        Origin.Y += Y - LastPan.Y;
        LastPan = P;
        Redraw();
    } else if (FDragging) {
        DragTo(P);
    } else if ((FTool == etClosedEdge || FTool == etSemiInfiniteEdge) && FEditEnabled &&
               FClickCount > 0) {
        SetTargetScreen();
        Target->SetPenMode(TPenMode::pmNotXor);
        DrawLine(LastClick, LastMouse, clBlack);
        DrawLine(LastClick, P, clBlack);
        if (FTool == etSemiInfiniteEdge && FClickCount == 1) {
            DrawRay(LastMouse, LastClick, clBlack);
            DrawRay(P, LastClick, clBlack);
        }
        Target->SetPenMode(TPenMode::pmCopy);
        LastMouse = P;
    } else if (FTool == etCylinder && FEditEnabled && FClickCount > 0) {
        SetTargetScreen();
        Target->SetPenMode(TPenMode::pmNotXor);
        DrawCircle(FFirstClick, PixelRadius(LastMouse, FFirstClick), clBlack, 0, 0);
        DrawCircle(FFirstClick, PixelRadius(P, FFirstClick), clBlack, 0, 0);
        Target->SetPenMode(TPenMode::pmCopy);
        LastMouse = P;
    }
    if (OnCanvasMouseMove)
        OnCanvasMouseMove(Shift, X, Y);
}

void TEdgesCanvas::MouseUp(TMouseButton, TShiftState, int, int) {
    FPanning = false;
    FMiddlePan = false;
    if (FDragging) {
        FDragging = false;
        EndRun();
    }
}

// The held point or cylinder follows the mouse while the move keeps the crossing rule;
// a refused position leaves it where it was.
void TEdgesCanvas::DragTo(TPixel P) {
    if (!HasSelection() || !FEditEnabled) {
        FDragging = false;
        return;
    }
    TEdgeSegment S = Edges.Item(FSelEdge).GetSegment(FSelSegment);
    TRealPoint& Moved = FSelKind == skPoint ? S.P2 : S.P1;
    const TRealPoint To = ScreenToWorld(P) + FDragOffset;
    if (To.X == Moved.X && To.Y == Moved.Y)
        return;
    Moved = To;
    FKeyMove = true;
    ApplySegment(S);
    FKeyMove = false;
}

// ---------------------------------------------------------------- keys

void TEdgesCanvas::KeyDown(int Key, TShiftState Shift) {
    const bool Arrow = Key == vkLeft || Key == vkUp || Key == vkRight || Key == vkDown;
    if (!Arrow)
        EndRun();
    switch (Key) {
    case vkEscape:
        CancelDrawing();
        break;
    case vkLeft:
    case vkUp:
    case vkRight:
    case vkDown:
        if (HasSelection()) {
            const double Step = (Shift & ssCtrl) != 0 ? Scale : 8 * Scale;
            TEdgeSegment S = Edges.Item(FSelEdge).GetSegment(FSelSegment);
            TRealPoint* Moved = nullptr;
            if (FSelKind == skFirstPoint || FSelKind == skCylinder)
                Moved = &S.P1;
            else if (FSelKind == skPoint)
                Moved = &S.P2;
            if (Moved != nullptr) {
                if (Key == vkLeft)
                    Moved->X -= Step;
                else if (Key == vkUp)
                    Moved->Y += Step;
                else if (Key == vkRight)
                    Moved->X += Step;
                else
                    Moved->Y -= Step;
            }
            // A refused key move would otherwise look like a key that did nothing.
            FKeyMove = true;
            const bool Stored = Moved != nullptr && ApplySegment(S);
            FKeyMove = false;
            if (Moved != nullptr && !Stored && OnMoveRefused)
                OnMoveRefused(std::string(FSelKind == skCylinder
                                              ? "Невозможно переместить цилиндр. "
                                              : "Невозможно переместить точку. ") +
                              FMoveRefusal);
        }
        break;
    case vkDelete:
        DeleteSelected();
        break;
    default:
        break;
    }
    if (PrevKeyDown)
        PrevKeyDown(Key, Shift);
}

// ---------------------------------------------------------------- selection and edits

void TEdgesCanvas::DeselectAll() {
    if (FSelSegment != -1 && HasSelection()) {
        SetTargetScreen();
        Target->SetPenMode(TPenMode::pmCopy);
        const TEdge& Edge = Edges.Item(FSelEdge);
        if (FSelKind == skCylinder && Edge.Count() >= 2) {
            const TEdgeSegment& S0 = Edge.Segments[0];
            const TEdgeSegment& S1 = Edge.Segments[1];
            const bool HasSlit = S0.HasSlit();
            DrawCircle(WorldToScreen(S0.P1), ScreenPixel(S0.P2.X / Scale), clBlack,
                       HasSlit ? S1.P1.Y : 0, HasSlit ? S1.P1.X : 0);
        } else if (FSelKind != skCylinder) {
            const TEdgeSegment& S = Edge.Segments[static_cast<std::size_t>(FSelSegment)];
            const TPixel P1 = WorldToScreen(S.P1);
            const TPixel P2 = WorldToScreen(S.P2);
            DrawLine(P1, P2, clBlack);
            DrawMarker(P1, clBlack);
            DrawMarker(P2, clBlack);
        }
    }
    // The wide selected side is only covered by drawing the model again.
    const bool Wide = FSelKind == skSegment && HasSelection();
    FSelSegment = -1;
    FSelEdge = -1;
    FSelKind = skNone;
    FDragging = false;
    EndRun();
    if (Wide)
        Redraw();
}

void TEdgesCanvas::CancelDrawing() {
    DropStaleDrawing();
    if (FClickCount == 0)
        return;
    if ((FTool == etClosedEdge || (FTool == etSemiInfiniteEdge && FClickCount >= 2)) &&
        Edges.Count() > 0)
        Edges.Delete(Edges.Count() - 1);
    FClickCount = 0;
    Redraw();
}

void TEdgesCanvas::DeleteSelected() {
    if (!HasSelection())
        return;
    if (!Question || Question(DeleteQuestion) != TAnswer::Yes)
        return;
    NoteEdit("удаление границы", Selection());
    Edges.Delete(FSelEdge);
    FSelSegment = -1;
    FSelEdge = -1;
    FSelKind = skNone;
    if (OnSelect)
        OnSelect();
    Redraw();
    if (OnChange)
        OnChange();
}

void TEdgesCanvas::InvertSelected() {
    if (!HasSelection())
        return;
    TEdge& Edge = Edges.Item(FSelEdge);
    if (Edge.Kind != ekClosed && Edge.Kind != ekSemiInfinite)
        return;
    const int N = Edge.Count();
    NoteEdit("поворот стороны воздуха", Selection());
    Edge.Invert();
    FSelSegment = N - 1 - FSelSegment;
    // The same point is P1 of the new segment for a former P2 and the other way round.
    if ((Edge.Kind == ekSemiInfinite && FSelSegment == 0) || FSelSegment == N - 1) {
        if (FSelKind == skFirstPoint)
            FSelKind = skPoint;
        else if (FSelKind == skPoint)
            FSelKind = skFirstPoint;
    } else if (FSelKind == skPoint) {
        FSelSegment = FSelSegment == 0 ? N - 1 : FSelSegment - 1;
    } else if (FSelKind == skFirstPoint) {
        FSelKind = skPoint;
    }
    Redraw();
}

// Closed objects test a stored segment as a segment; semi-infinite ones test their end
// segments as the rays they stand for.
bool TEdgesCanvas::SegmentTestFails(const TEdge& Edge, int Index) const {
    const TEdgeSegment& S = Edge.Segments[static_cast<std::size_t>(Index)];
    if (Edge.Kind == ekSemiInfinite) {
        if (Index == 0 && Edges.RayCrossesOthers(S.P2, S.P1, 0, FSelEdge))
            return true;
        if (Index == Edge.Count() - 1 && Edges.RayCrossesOthers(S.P1, S.P2, Index, FSelEdge))
            return true;
        if (Index == 0 || Index == Edge.Count() - 1)
            return false;
    }
    return Edges.SegmentCrossesOthers(S.P1, S.P2, Index, FSelEdge);
}

// The next segment of a semi-infinite object being drawn: its last segment is still a
// segment, not yet the ray it becomes when the object is finished.
bool TEdgesCanvas::DrawnSegmentHits(TRealPoint A, TRealPoint B) const {
    return DrawnSemiInfiniteSegmentHits(Edges, A, B);
}

bool TEdgesCanvas::PointsMove(const TEdgeSegment& New) {
    FMoveRefusal = CollapseReason;
    if (Distance(New.P1, New.P2) < GeomEps)
        return false;
    FMoveRefusal = CrossingReason;
    TEdge& Edge = Edges.Item(FSelEdge);
    const int N = Edge.Count();
    const int I = FSelSegment;
    const TEdgeSegment Old = Edge.GetSegment(I);
    const bool Semi = Edge.Kind == ekSemiInfinite;

    // A free end of a semi-infinite object: only its ray is tested, with the stored
    // segment collapsed onto its fixed end so that it cannot hit itself.
    if (Semi && ((I == 0 && FSelKind == skFirstPoint) || (I == N - 1 && FSelKind == skPoint))) {
        const bool First = I == 0 && FSelKind == skFirstPoint;
        TEdgeSegment Collapsed = Old;
        if (First)
            Collapsed.P1 = Old.P2;
        else
            Collapsed.P2 = Old.P1;
        Edge.SetSegment(I, Collapsed);
        const bool Hit =
            First ? Edges.RayHitsBoundary(New.P2, New.P1) : Edges.RayHitsBoundary(New.P1, New.P2);
        if (Hit) {
            Edge.SetSegment(I, Old);
            return false;
        }
        Edge.SetSegment(I, New);
        return true;
    }

    int K = 0;
    if (FSelKind == skPoint) {
        K = I + 1;
        if (K == N && !Semi)
            K = 0;
    } else {
        K = I - 1;
        if (K < 0 && !Semi)
            K = N - 1;
    }
    if (K < 0 || K >= N || K == I)
        return false;
    const TEdgeSegment OldK = Edge.GetSegment(K);
    TEdgeSegment NewK = OldK;
    if (FSelKind == skPoint)
        NewK.P1 = New.P2;
    else
        NewK.P2 = New.P1;
    if (Distance(NewK.P1, NewK.P2) < GeomEps) {
        FMoveRefusal = CollapseReason;
        return false;
    }
    Edge.SetSegment(I, New);
    Edge.SetSegment(K, NewK);
    if (SegmentTestFails(Edge, I) || SegmentTestFails(Edge, K)) {
        Edge.SetSegment(I, Old);
        Edge.SetSegment(K, OldK);
        return false;
    }
    return true;
}

bool TEdgesCanvas::CylinderMove(const TEdgeSegment& New) {
    const double R = New.P2.X;
    // A disc without area is no cylinder.
    FMoveRefusal = RadiusReason;
    if (!(R >= GeomEps) || !std::isfinite(R))
        return false;
    FMoveRefusal = CrossingReason;
    TEdge& Edge = Edges.Item(FSelEdge);
    const TEdgeSegment Old = Edge.GetSegment(0);
    // Out of the way while the rest of the model is tested against the new disc.
    TEdgeSegment Away = New;
    Away.P1.X += 2 * R + 0.01;
    Edge.SetSegment(0, Away);
    if (Edges.PointOnBoundary(New.P1, R)) {
        Edge.SetSegment(0, Old);
        return false;
    }
    Edge.SetSegment(0, New);
    return true;
}

bool TEdgesCanvas::ApplySegment(const TEdgeSegment& New) {
    FMoveRefusal.clear();
    if (!HasSelection())
        return false;
    const TEdge& Edge = Edges.Item(FSelEdge);
    bool Stored = false;
    if (IsPointKind(FSelKind) && Edge.Kind != ekCylinder)
        Stored = PointsMove(New);
    else if (FSelKind == skCylinder && Edge.Kind == ekCylinder && FSelSegment == 0)
        Stored = CylinderMove(New);
    if (!Stored)
        return false;
    FMoveRefusal.clear();
    NoteEdit(FSelKind == skCylinder ? "перемещение цилиндра" : "перемещение точки", Selection(),
             FKeyMove ? FRun : 0);
    Redraw();
    if (OnModify)
        OnModify();
    return true;
}

bool TEdgesCanvas::ConvertSelectedToArc(int NumSegs, double Height) {
    if (!HasSelection() || FSelKind != skSegment || NumSegs < 1 || Height == 0 ||
        !std::isfinite(Height))
        return false;
    TEdge& Edge = Edges.Item(FSelEdge);
    const int I = FSelSegment;
    if (Edge.Kind == ekCylinder)
        return false;
    // The end segments of a semi-infinite object stand for rays, not for chords.
    if (Edge.Kind == ekSemiInfinite && (I == 0 || I == Edge.Count() - 1))
        return false;
    const TEdgeSegment S = Edge.GetSegment(I);
    if (2 * std::abs(Height) > Distance(S.P1, S.P2) + GeomEps)
        return false;
    const std::vector<TEdgeSegment> Before = Edge.Segments;
    Edge.ConvertToArc(I, NumSegs, Height);
    for (int J = I; J < I + NumSegs && J < Edge.Count(); ++J) {
        const TEdgeSegment& P = Edge.Segments[static_cast<std::size_t>(J)];
        if (!std::isfinite(P.P2.X) || !std::isfinite(P.P2.Y) ||
            Edges.SegmentCrossesOthers(P.P1, P.P2, J, FSelEdge)) {
            Edge.Segments = Before;
            return false;
        }
    }
    NoteEdit("преобразование в дугу", Selection());
    return true;
}

} // namespace kalvex
