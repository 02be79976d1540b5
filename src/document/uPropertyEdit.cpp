#include "document/uPropertyEdit.h"

#include "base/uMessageNumber.h"

#include "document/uDocument.h"
#include "solver/uDiscretization.h"

#include <cmath>
#include <string>
#include <utility>

namespace kalvex {

namespace {

// A typed value counts as a change only beyond the model's tolerance, so that a value
// shown and read back does not mark the system as changed.
bool Differs(double A, double B) {
    return std::abs(A - B) > GeomEps;
}

// The parsed value when it is one, else the stored value and the message.
double Take(const TParsed& Typed, double Stored, const char* Error, TApplyOutcome& Out) {
    if (Typed)
        return *Typed;
    Out.Messages.emplace_back(Error);
    return Stored;
}

// A value the system file could not hold (see MaxCoordinate, MaxVelocity) counts as
// one that could not be read: a saved system must open again.
TParsed Within(const TParsed& V, double Bound) {
    return V && std::abs(*V) <= Bound ? V : std::nullopt;
}

bool IsPointKind(TSelKind K) {
    return K == skFirstPoint || K == skPoint;
}

} // namespace

TApplyOutcome ApplyPointFields(TDocument& Doc, TParsed X, TParsed Y) {
    TApplyOutcome Out;
    TEdgesCanvas& Canvas = Doc.Canvas();
    const THitResult Sel = Canvas.Selection();
    if (!IsPointKind(Sel.Kind))
        return Out;
    TEdgeSegment S = Canvas.Edges.Item(Sel.Edge).GetSegment(Sel.Segment);
    TRealPoint& P = Sel.Kind == skFirstPoint ? S.P1 : S.P2;
    const TRealPoint Old = P;
    P.X = Take(Within(X, MaxCoordinate), Old.X, "Ошибка при вводе координаты X.", Out);
    P.Y = Take(Within(Y, MaxCoordinate), Old.Y, "Ошибка при вводе координаты Y.", Out);
    if (!Differs(P.X, Old.X) && !Differs(P.Y, Old.Y))
        return Out;
    if (!Canvas.ApplySegment(S)) {
        std::string Text = "Невозможно изменить координаты точки.";
        if (!Canvas.MoveRefusal().empty())
            Text += "\r" + Canvas.MoveRefusal();
        Out.Messages.push_back(std::move(Text));
        return Out;
    }
    Out.Changed = true;
    Doc.MarkChanged();
    return Out;
}

TApplyOutcome ApplySegmentSpeed(TDocument& Doc, TParsed V) {
    TApplyOutcome Out;
    V = Within(V, MaxVelocity);
    TEdgesCanvas& Canvas = Doc.Canvas();
    const THitResult Sel = Canvas.Selection();
    if (Sel.Kind != skSegment)
        return Out;
    TEdge& Edge = Canvas.Edges.Item(Sel.Edge);
    TEdgeSegment S = Edge.GetSegment(Sel.Segment);
    if (!V) {
        // "2.5" where the user's notation wants "2,5" reads as no number at all.
        const std::string Sep(1, MessageDecimalSeparator());
        Out.Messages.push_back("Ошибка при задании скорости\rСкорость задаётся числом от " +
                               MessageNumber(-MaxVelocity) + " до " + MessageNumber(MaxVelocity) +
                               " м/с; дробная часть отделяется знаком «" + Sep + "» (например, 2" +
                               Sep + "5).");
        return Out;
    }
    if (!Differs(*V, S.V))
        return Out;
    // The velocity moves no boundary, so no crossing test is needed.
    S.V = *V;
    Edge.SetSegment(Sel.Segment, S);
    Out.Changed = true;
    Doc.MarkChanged("изменение скорости");
    Canvas.Redraw();
    return Out;
}

bool CanConvertSelectedToArc(const TEdgesCanvas& Canvas) {
    const THitResult Sel = Canvas.Selection();
    if (Sel.Kind != skSegment)
        return false;
    const TEdge& Edge = Canvas.Edges.Item(Sel.Edge);
    if (Edge.Kind == ekClosed)
        return true;
    return Edge.Kind == ekSemiInfinite && Sel.Segment > 0 && Sel.Segment < Edge.Count() - 1;
}

bool InvertSelection(TDocument& Doc) {
    TEdgesCanvas& Canvas = Doc.Canvas();
    const THitResult Sel = Canvas.Selection();
    if (Sel.Kind == skNone || Canvas.Edges.Item(Sel.Edge).Kind == ekCylinder)
        return false;
    Canvas.InvertSelected();
    Doc.MarkChanged();
    return true;
}

TApplyOutcome ApplyCylinderFields(TDocument& Doc, const TCylinderInput& In) {
    // The move of the disc and its slit are one step.
    const TDocument::TChangeScope Step(Doc, "изменение цилиндра");
    TApplyOutcome Out;
    TEdgesCanvas& Canvas = Doc.Canvas();
    const THitResult Sel = Canvas.Selection();
    if (Sel.Kind != skCylinder)
        return Out;
    TEdge& Edge = Canvas.Edges.Item(Sel.Edge);
    if (Edge.Kind != ekCylinder || Edge.Count() < 2)
        return Out;
    const TEdgeSegment Old0 = Edge.GetSegment(0);
    const TEdgeSegment Old1 = Edge.GetSegment(1);

    TEdgeSegment S0 = Old0;
    S0.P1.X = Take(Within(In.X, MaxCoordinate), Old0.P1.X, "Ошибка при вводе координаты X.", Out);
    S0.P1.Y = Take(Within(In.Y, MaxCoordinate), Old0.P1.Y, "Ошибка при вводе координаты Y.", Out);
    // A radius that is not finite is no cylinder: refused below with the others.
    const TParsed Radius =
        In.Radius && std::isfinite(*In.Radius) ? Within(In.Radius, MaxCoordinate) : In.Radius;
    S0.P2.X = Take(Radius, Old0.P2.X, "Ошибка при вводе радиуса.", Out);
    S0.V =
        Take(Within(In.TurnSpeed, MaxVelocity), Old0.V, "Ошибка при вводе скорости вращения.", Out);
    bool Changed = Differs(S0.P1.X, Old0.P1.X) || Differs(S0.P1.Y, Old0.P1.Y) ||
                   Differs(S0.P2.X, Old0.P2.X) || Differs(S0.V, Old0.V);

    TEdgeSegment S1 = Old1;
    if (In.Slit) {
        const TParsed A1 = Within(In.Ang1, MaxCoordinate);
        const TParsed A2 = Within(In.Ang2, MaxCoordinate);
        const TParsed SlitV = Within(In.SlitSpeed, MaxVelocity);
        if (A1 && A2 && SlitV) {
            S1.P1 = {*A1, *A2};
            S1.V = *SlitV;
            // The slit is compared exactly: its angles are what the user typed.
            Changed = Changed || !Old0.HasSlit() || S1.P1.X != Old1.P1.X || S1.P1.Y != Old1.P1.Y ||
                      S1.V != Old1.V;
        } else {
            Out.Messages.emplace_back("Ошибка при вводе параметров щели.");
            Changed = Changed || !Old0.HasSlit();
        }
    } else {
        Changed = Changed || Old0.HasSlit();
    }
    if (!Changed)
        return Out;

    // A disc without a positive finite radius is no cylinder: refused like a crossing.
    const double R = S0.P2.X;
    if (!(R > 0) || !std::isfinite(R) || !Canvas.ApplySegment(S0)) {
        Out.Messages.emplace_back(
            "Невозможно изменить координаты центра\rили радиус цилиндрической области.");
        return Out;
    }
    S0 = Edge.GetSegment(0);
    S0.SetHasSlit(In.Slit);
    Edge.SetSegment(0, S0);
    if (In.Slit)
        Edge.SetSegment(1, S1);
    Out.Changed = true;
    Canvas.Redraw();
    Doc.MarkChanged();
    return Out;
}

TApplyOutcome ConvertSelectionToArc(TDocument& Doc, const TArcInput& In) {
    TApplyOutcome Out;
    TEdgesCanvas& Canvas = Doc.Canvas();
    if (!In.Height || !In.NumSegs) {
        Out.Messages.emplace_back("Ошибка при вводе параметров");
        return Out;
    }
    double H = *In.Height;
    if (H <= 0) {
        Out.Messages.emplace_back("Высота должна быть больше нуля");
        return Out;
    }
    const THitResult Sel = Canvas.Selection();
    const double L = Sel.Kind == skSegment ? Canvas.Edges.SegmentLength(Sel.Edge, Sel.Segment) : 0;
    // h = L/2 is a half circle and allowed.
    if (2 * H > L) {
        Out.Messages.emplace_back("Высота не должна превышать половины длины ребра");
        return Out;
    }
    if (*In.NumSegs < 2 || *In.NumSegs > 20) {
        Out.Messages.emplace_back("Количество сегментов должно быть от 2 до 20");
        return Out;
    }
    // The canvas bends to the left of the segment, the solid side. Outwards of a closed
    // region is away from its inside however it was drawn: for a body (air outside,
    // drawn counter-clockwise) the left is its inside.
    const TEdge& Edge = Canvas.Edges.Item(Sel.Edge);
    const bool LeftIsOut = Edge.Kind != ekClosed || Edge.Clockwise();
    if ((In.Direction == 1) == LeftIsOut)
        H = -H;
    if (!Canvas.ConvertSelectedToArc(*In.NumSegs, H)) {
        Out.Messages.emplace_back("Невозможно осуществить преобразование");
        return Out;
    }
    Out.Changed = true;
    Canvas.Redraw();
    Doc.MarkChanged();
    return Out;
}

TApplyOutcome ApplyDiscreteFields(TDocument& Doc, const TDiscreteInput& In) {
    TApplyOutcome Out;
    TEdgesCanvas& Canvas = Doc.Canvas();
    const THitResult Sel = Canvas.Selection();
    if (Sel.Kind != skSegment)
        return Out;
    TEdge& Edge = Canvas.Edges.Item(Sel.Edge);
    TEdgeSegment S = Edge.GetSegment(Sel.Segment);
    bool Changed = false;

    // An untouched field keeps the stored value; a field that does not read, or holds
    // what no discretisation can use, keeps it too.
    using TFault = std::optional<std::string> (*)(double);
    auto Real = [&](const TEditedField& F, double& Stored, const char* Error, TFault Fault) {
        if (!F.Edited)
            return;
        if (!F.Value) {
            Out.Messages.emplace_back(Error);
            return;
        }
        if (const auto Why = Fault(*F.Value)) {
            Out.Messages.push_back(std::string(Error) + "\r" + *Why);
            return;
        }
        if (Differs(*F.Value, Stored)) {
            Stored = *F.Value;
            Changed = true;
        }
    };

    const auto Type = static_cast<std::uint8_t>(In.Type == 1 ? 1 : 0);
    if (Type != S.DiscretizationType) {
        S.DiscretizationType = Type;
        Changed = true;
    }
    if (Type == 0) {
        const bool Equal = In.Method == 0;
        // The vortex step shares its bytes with the flag, so only a real change writes it.
        if (Equal != S.EqualElements()) {
            S.SetEqualElements(Equal);
            Changed = true;
        }
        Real(In.BaseLength, S.BaseLength, "Ошибка при задании базовой длины граничного элемента",
             ElementLengthFault);
        Real(In.Scaler, S.Scaler, "Ошибка при задании множителя для конечных ребер", ScalerFault);
        Real(In.InfiniteScaler, S.InfiniteScaler,
             "Ошибка при задании множителя для бесконечных ребер", ScalerFault);
        Real(In.CylBaseLength, S.CylBaseLength,
             "Ошибка при задании длины граничного элемента для цилиндров", ElementLengthFault);
        if (In.InfiniteCount.Edited) {
            const TParsed& C = In.InfiniteCount.Value;
            const char* Error = "Ошибка при задании количества элементов для бесконечных ребер";
            if (!C) {
                Out.Messages.emplace_back(Error);
            } else if (const auto Why = InfiniteCountFault(*C)) {
                Out.Messages.push_back(std::string(Error) + "\r" + *Why);
            } else if (static_cast<std::int32_t>(*C) != S.InfiniteCount) {
                S.InfiniteCount = static_cast<std::int32_t>(*C);
                Changed = true;
            }
        }
    } else {
        double Step = S.VortexStep();
        Real(In.VortexStep, Step, "Ошибка при задании расстояния между присоединенными вихрями",
             ElementLengthFault);
        if (Step != S.VortexStep())
            S.SetVortexStep(Step);
    }
    Edge.SetSegment(Sel.Segment, S);
    if (Changed) {
        Out.Changed = true;
        Doc.MarkChanged("изменение дискретизации");
    }
    return Out;
}

TDrawingSettings SettingsOf(const TEdgesCanvas& Canvas) {
    TDrawingSettings S;
    S.EdgeWidth = Canvas.EdgeWidth();
    S.EdgeColor = Canvas.EdgeColor;
    S.AxesItem = Canvas.AxesStyle >= 0 && Canvas.AxesStyle <= 2 ? Canvas.AxesStyle + 1 : 0;
    S.AxesColor = Canvas.AxesColor;
    return S;
}

void ApplySettings(TEdgesCanvas& Canvas, const TDrawingSettings& S) {
    Canvas.SetEdgeWidth(S.EdgeWidth);
    Canvas.EdgeColor = S.EdgeColor;
    Canvas.AxesColor = S.AxesColor;
    Canvas.AxesStyle = S.AxesItem >= 1 && S.AxesItem <= 3 ? S.AxesItem - 1 : 5;
    Canvas.Redraw();
}

} // namespace kalvex
