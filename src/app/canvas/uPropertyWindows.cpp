#include "app/canvas/uPropertyWindows.h"

#include "app/canvas/uConvArc.h"
#include "app/canvas/uCylProp.h"
#include "app/canvas/uEdgeProp.h"
#include "app/canvas/uRotate.h"
#include "app/settings/uSettingsDlg.h"
#include "app/solver/uDiscreteProp.h"
#include "app/uMessages.h"
#include "app/uNumberText.h"
#include "document/uDocument.h"
#include "document/uPropertyEdit.h"

#include <QCheckBox>
#include <QDoubleSpinBox>
#include <QEvent>
#include <QGuiApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>

namespace kalvex {

struct TPropertyWindows::TImpl {
    TImpl(TDocument& D, TMessages& M) : Doc(D), Msg(M) {}
    TDocument& Doc;
    TMessages& Msg;
    TfrmEdgeProp* Edge = nullptr;
    TfrmCylProp* Cyl = nullptr;
    TfrmDiscreteProp* Discrete = nullptr;
    TfrmConvArc* ConvArc = nullptr;
    TfrmRotate* Rotate = nullptr;
    TfrmSettings* Settings = nullptr;
};

namespace {

// Tells the owner when one of the tool windows is shown or hidden.
class TVisibilityWatch : public QObject {
public:
    TVisibilityWatch(QObject* Parent, std::function<void()> F)
        : QObject(Parent), Changed(std::move(F)) {}
    bool eventFilter(QObject* O, QEvent* E) override {
        if (E->type() == QEvent::Show || E->type() == QEvent::Hide)
            Changed();
        return QObject::eventFilter(O, E);
    }

private:
    std::function<void()> Changed;
};

// A field the user did not edit since it was filled stands for the stored value
// itself, not for its three-decimal text: "Принять" after editing one field must not
// round the others.
TParsed FieldValue(const QLineEdit* E, double Stored) {
    return FieldEdited(E) ? ParseNumber(E->text()) : TParsed(Stored);
}

void SetNumber(QLineEdit* E, double V) {
    FillField(E, NumberText(V));
    E->setEnabled(true);
}

} // namespace

TPropertyWindows::TPropertyWindows(TDocument& Doc, TMessages& Msg, QWidget* Owner)
    : QObject(Owner), Impl(std::make_unique<TImpl>(Doc, Msg)) {
    TImpl& I = *Impl;
    I.Edge = new TfrmEdgeProp(Owner);
    I.Cyl = new TfrmCylProp(Owner);
    I.Discrete = new TfrmDiscreteProp(Owner);
    I.ConvArc = new TfrmConvArc(Doc, Msg, Owner);
    I.Rotate = new TfrmRotate(Owner);
    I.Settings = new TfrmSettings(Owner);

    auto* Watch = new TVisibilityWatch(this, [this] { emit VisibilityChanged(); });
    for (QWidget* W : {EdgeProp(), CylProp(), DiscreteProp()})
        W->installEventFilter(Watch);

    // After an apply the windows show the model again, except after a refused cylinder,
    // whose window keeps what the user typed.
    auto Finish = [this](const TApplyOutcome& Out) {
        for (const std::string& Text : Out.Messages)
            Impl->Msg.Show(QString::fromStdString(Text));
        if (Out.Refill)
            FillPropertyWindows();
        if (Out.Changed)
            emit Applied();
    };

    connect(I.Edge->Button1, &QPushButton::clicked, this, [this, Finish] {
        TfrmEdgeProp& W = *Impl->Edge;
        const TEdgesCanvas& Canvas = Impl->Doc.Canvas();
        const THitResult Sel = Canvas.Selection();
        if (Sel.Kind == skNone || Sel.Kind == skCylinder)
            return;
        const TEdgeSegment S = Canvas.Edges.Item(Sel.Edge).GetSegment(Sel.Segment);
        if (Sel.Kind == skSegment) {
            Finish(ApplySegmentSpeed(Impl->Doc, FieldValue(W.edSpeed, S.V)));
        } else {
            const TRealPoint P = Sel.Kind == skFirstPoint ? S.P1 : S.P2;
            Finish(ApplyPointFields(Impl->Doc, FieldValue(W.edX, P.X), FieldValue(W.edY, P.Y)));
        }
    });
    connect(I.Edge->btnInvert, &QPushButton::clicked, this, [this] {
        if (InvertSelection(Impl->Doc))
            emit Applied();
        FillPropertyWindows();
    });
    connect(I.Edge->btnConvArc, &QPushButton::clicked, this, [this] {
        if (ConvertToArc())
            emit Applied();
    });
    connect(I.Cyl->Button1, &QPushButton::clicked, this, [this, Finish] {
        TfrmCylProp& W = *Impl->Cyl;
        const TEdgesCanvas& Canvas = Impl->Doc.Canvas();
        const THitResult Sel = Canvas.Selection();
        if (Sel.Kind != skCylinder)
            return;
        const TEdge& Edge = Canvas.Edges.Item(Sel.Edge);
        const TEdgeSegment S0 = Edge.GetSegment(0);
        TCylinderInput In;
        In.X = FieldValue(W.edX, S0.P1.X);
        In.Y = FieldValue(W.edY, S0.P1.Y);
        In.Radius = FieldValue(W.edRadius, S0.P2.X);
        In.TurnSpeed = FieldValue(W.edTurnSpeed, S0.V);
        In.Slit = W.cbCrack->isChecked();
        if (Edge.Count() > 1) {
            // The slit fields show S1 (kept while the slit is off) until edited.
            const TEdgeSegment S1 = Edge.GetSegment(1);
            In.Ang1 = FieldValue(W.edAng1, S1.P1.X);
            In.Ang2 = FieldValue(W.edAng2, S1.P1.Y);
            In.SlitSpeed = FieldValue(W.edSpeed, S1.V);
        } else {
            In.Ang1 = ParseNumber(W.edAng1->text());
            In.Ang2 = ParseNumber(W.edAng2->text());
            In.SlitSpeed = ParseNumber(W.edSpeed->text());
        }
        Finish(ApplyCylinderFields(Impl->Doc, In));
    });
    connect(I.Discrete->Button1, &QPushButton::clicked, this,
            [this, Finish] { Finish(ApplyDiscreteFields(Impl->Doc, Impl->Discrete->Input())); });
}

TPropertyWindows::~TPropertyWindows() {
    // The windows belong to the owner when there is one; without one they are ours.
    for (QWidget* W : std::initializer_list<QWidget*>{Impl->Edge, Impl->Cyl, Impl->Discrete,
                                                      Impl->ConvArc, Impl->Rotate, Impl->Settings})
        if (W != nullptr && W->parent() == nullptr)
            delete W;
}

QWidget* TPropertyWindows::EdgeProp() const {
    return Impl->Edge;
}
QWidget* TPropertyWindows::CylProp() const {
    return Impl->Cyl;
}
QWidget* TPropertyWindows::DiscreteProp() const {
    return Impl->Discrete;
}

void TPropertyWindows::FillPropertyWindows() {
    TfrmEdgeProp& E = *Impl->Edge;
    TfrmCylProp& C = *Impl->Cyl;
    const TEdgesCanvas& Canvas = Impl->Doc.Canvas();
    const THitResult Sel = Canvas.Selection();
    Impl->Discrete->Reset();
    if (Sel.Kind == skNone) {
        E.Clear();
        C.Clear();
        return;
    }
    const TEdge& Edge = Canvas.Edges.Item(Sel.Edge);
    const TEdgeSegment S = Edge.GetSegment(Sel.Segment);
    if (Sel.Kind == skCylinder) {
        E.Clear();
        SetNumber(C.edX, S.P1.X);
        SetNumber(C.edY, S.P1.Y);
        SetNumber(C.edRadius, S.P2.X);
        SetNumber(C.edTurnSpeed, S.V);
        C.cbCrack->setEnabled(true);
        C.cbCrack->setChecked(S.HasSlit());
        // The slit fields show the kept slit even while it is off, so that checking
        // "Щель:" applies what stands there, and brings an old slit back.
        for (QLineEdit* F : {C.edAng1, C.edAng2, C.edSpeed})
            F->setEnabled(true);
        if (Edge.Count() > 1) {
            const TEdgeSegment S1 = Edge.GetSegment(1);
            SetNumber(C.edAng1, S1.P1.X);
            SetNumber(C.edAng2, S1.P1.Y);
            SetNumber(C.edSpeed, S1.V);
        }
        C.Button1->setEnabled(true);
        return;
    }
    C.Clear();
    E.Button1->setEnabled(true);
    E.btnInvert->setEnabled(true);
    if (Sel.Kind == skSegment) {
        E.edX->clear();
        E.edY->clear();
        E.edX->setEnabled(false);
        E.edY->setEnabled(false);
        SetNumber(E.edSpeed, S.V);
        E.btnConvArc->setEnabled(CanConvertSelectedToArc(Canvas));
        Impl->Discrete->Fill(S);
        return;
    }
    const TRealPoint P = Sel.Kind == skFirstPoint ? S.P1 : S.P2;
    SetNumber(E.edX, P.X);
    SetNumber(E.edY, P.Y);
    E.edSpeed->clear();
    E.edSpeed->setEnabled(false);
    E.btnConvArc->setEnabled(false);
}

void TPropertyWindows::RefreshPointFields() {
    Impl->Doc.MarkChanged();
    const TEdgesCanvas& Canvas = Impl->Doc.Canvas();
    const THitResult Sel = Canvas.Selection();
    if (Sel.Kind == skNone || Sel.Kind == skSegment)
        return;
    const TEdgeSegment S = Canvas.Edges.Item(Sel.Edge).GetSegment(Sel.Segment);
    if (Sel.Kind == skCylinder) {
        FillField(Impl->Cyl->edX, NumberText(S.P1.X));
        FillField(Impl->Cyl->edY, NumberText(S.P1.Y));
        return;
    }
    const TRealPoint P = Sel.Kind == skFirstPoint ? S.P1 : S.P2;
    FillField(Impl->Edge->edX, NumberText(P.X));
    FillField(Impl->Edge->edY, NumberText(P.Y));
}

bool TPropertyWindows::ConvertToArc() {
    if (!CanConvertSelectedToArc(Impl->Doc.Canvas()))
        return false;
    const bool Done = Impl->ConvArc->exec() == QDialog::Accepted;
    if (Done)
        FillPropertyWindows();
    return Done;
}

std::optional<double> TPropertyWindows::AskRotation() {
    TfrmRotate& D = *Impl->Rotate;
    D.adjustSize();
    if (const QScreen* S = QGuiApplication::primaryScreen())
        D.move(S->availableGeometry().center() - D.rect().center());
    if (D.exec() != QDialog::Accepted)
        return std::nullopt;
    return D.seAngle->value();
}

bool TPropertyWindows::EditSettings() {
    TfrmSettings& D = *Impl->Settings;
    D.Preset(SettingsOf(Impl->Doc.Canvas()));
    if (D.exec() != QDialog::Accepted)
        return false;
    ApplySettings(Impl->Doc.Canvas(), D.Values());
    return true;
}

} // namespace kalvex
