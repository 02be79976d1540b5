#include "app/results/uSpeedDlg.h"

#include "app/canvas/uEdgesPaintBox.h"
#include "app/results/uDialogParts.h"
#include "app/uFormRows.h"
#include "app/uMessages.h"
#include "app/uNumberText.h"
#include "document/uDocument.h"

#include <cmath>

namespace kalvex {

QString VelocityMessage(TRealPoint P, TRealPoint V) {
    return QStringLiteral("Скорость воздуха в точке (") + NumberText(P.X) + QLatin1Char(';') +
           NumberText(P.Y) + QStringLiteral("):\nVx = ") + NumberText(V.X) +
           QStringLiteral(" м/с\nVy = ") + NumberText(V.Y) + QStringLiteral(" м/с\n|V| = ") +
           NumberText(std::hypot(V.X, V.Y)) + QStringLiteral(" м/с");
}

TSpeedPointMarker::TSpeedPointMarker(TRunContext& Context, QLineEdit* X, QLineEdit* Y)
    : C(Context), edX(X), edY(Y) {
    for (QLineEdit* E : {edX, edY})
        QObject::connect(E, &QLineEdit::textChanged, E, [this] { Follow(); });
}

void TSpeedPointMarker::Show() {
    C.Doc.Canvas().ShowSpeedPoint = true;
    Follow();
    C.Box.Redraw();
}

void TSpeedPointMarker::Hide() {
    C.Doc.Canvas().ShowSpeedPoint = false;
    C.Box.Redraw();
}

void TSpeedPointMarker::Follow() {
    const std::optional<double> X = ParseNumber(edX->text());
    const std::optional<double> Y = ParseNumber(edY->text());
    TEdgesCanvas& Cv = C.Doc.Canvas();
    if (!X || !Y || !Cv.ShowSpeedPoint)
        return;
    Cv.SpeedPoint = {*X, *Y};
    C.Box.Redraw();
}

TfrmSpeed::TfrmSpeed(TRunContext& Context, QWidget* Parent)
    : TRunDialog(Context, Parent),
      Marker(Context, edX = new QLineEdit(this), edY = new QLineEdit(this)) {
    setObjectName(QStringLiteral("frmSpeed"));
    setWindowTitle(QStringLiteral("Расчет скорости в точке"));
    auto* Main = new QVBoxLayout(this);
    auto* Point = new QGroupBox(QStringLiteral(" Координаты точки: "), this);
    auto* G = new QGridLayout(Point);
    edX->setObjectName(QStringLiteral("edX"));
    edY->setObjectName(QStringLiteral("edY"));
    AddFieldRow(G, 0, QStringLiteral("X ="), edX, QStringLiteral("м"));
    AddFieldRow(G, 1, QStringLiteral("Y ="), edY, QStringLiteral("м"));
    edX->setText(QStringLiteral("1"));
    edY->setText(QStringLiteral("1"));
    Main->addWidget(Point);
    btCompute =
        AddButtons(this, Main, QStringLiteral("Вычислить"), "btCompute", QStringLiteral("Закрыть"));
    connect(btCompute, &QPushButton::clicked, this, &TfrmSpeed::Compute);
    // Open for one point after another: the solve runs with the dialog modal.
    FreeDuringRun = false;
}

void TfrmSpeed::showEvent(QShowEvent* Event) {
    TRunDialog::showEvent(Event);
    Marker.Show();
}

void TfrmSpeed::hideEvent(QHideEvent* Event) {
    Marker.Hide();
    TRunDialog::hideEvent(Event);
}

void TfrmSpeed::Compute() {
    const std::optional<double> X = ParseNumber(edX->text());
    const std::optional<double> Y = ParseNumber(edY->text());
    if (!X || !Y) {
        Ctx.Msg.Show(QStringLiteral("Ошибка при вводе координат точки."));
        return;
    }
    TRealPoint V;
    // The first velocity solves the system: busy, with "Закрыть" stopping it.
    if (Run([&] { V = Ctx.Doc.VelocityAt({*X, *Y}); }))
        Ctx.Msg.Show(VelocityMessage({*X, *Y}, V));
}

} // namespace kalvex
