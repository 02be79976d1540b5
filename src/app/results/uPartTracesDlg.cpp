#include "app/results/uPartTracesDlg.h"

#include "app/canvas/uEdgesPaintBox.h"
#include "app/results/uDialogParts.h"
#include "app/uFormRows.h"
#include "app/uMessages.h"
#include "app/uNumberText.h"
#include "document/uDocument.h"

#include <QHBoxLayout>

#include <memory>

namespace kalvex {

TfrmPartTraces::TfrmPartTraces(TRunContext& Context, QWidget* Parent)
    : TRunDialog(Context, Parent, Qt::WindowStaysOnTopHint) {
    setObjectName(QStringLiteral("frmPartTraces"));
    setWindowTitle(QStringLiteral("Построение траектории частицы"));
    const TParticleParams D;
    const QString M = QStringLiteral("м");
    auto* Main = new QVBoxLayout(this);
    QGridLayout* G = AddFieldGroup(this, Main, QStringLiteral(" Координаты точки вылета: "));
    edX = AddNumberRow(G, 0, QStringLiteral("X ="), "edX", D.Start.X, M);
    edY = AddNumberRow(G, 1, QStringLiteral("Y ="), "edY", D.Start.Y, M);
    G = AddFieldGroup(this, Main, QStringLiteral(" Начальная скорость:"));
    edVx = AddNumberRow(G, 0, QStringLiteral("Vx ="), "edVx", D.StartVelocity.X,
                        QStringLiteral("м/c"));
    edVy = AddNumberRow(G, 1, QStringLiteral("Vy ="), "edVy", D.StartVelocity.Y,
                        QStringLiteral("м/c"));
    G = AddFieldGroup(this, Main, QStringLiteral(" Характеристики частицы и среды: "));
    edDe = AddNumberRow(G, 0, QStringLiteral("Эквивалентный диаметр частицы"), "edDe", D.D, M);
    static_cast<TParticleDataFields&>(*this) = AddParticleDataRows(this, Main, G, D);
    btBuild =
        AddButtons(this, Main, QStringLiteral("Построить"), "btBuild", QStringLiteral("Отмена"));

    Progress = new QWidget(this);
    auto* P = new QGridLayout(Progress);
    P->setContentsMargins(0, 0, 0, 0);
    lbTime = new QLabel(Progress);
    lbTime->setObjectName(QStringLiteral("lbTime"));
    lbRe = new QLabel(Progress);
    lbRe->setObjectName(QStringLiteral("lbRe"));
    P->addWidget(new QLabel(QStringLiteral("Прошло"), Progress), 0, 0);
    P->addWidget(lbTime, 0, 1);
    P->addWidget(new QLabel(QStringLiteral("секунд модельного времени"), Progress), 0, 2);
    P->addWidget(new QLabel(QStringLiteral("Re = "), Progress), 1, 0);
    P->addWidget(lbRe, 1, 1, 1, 2);
    Main->addWidget(Progress);

    Marker = std::make_unique<TSpeedPointMarker>(Context, edX, edY);
    connect(btBuild, &QPushButton::clicked, this, &TfrmPartTraces::Build);
}

void TfrmPartTraces::showEvent(QShowEvent* Event) {
    TRunDialog::showEvent(Event);
    Marker->Show();
    if (Reshown())
        return;
    lbTime->setText(NumberText(0));
    lbRe->clear();
    Progress->hide();
    btBuild->setEnabled(true);
    adjustSize();
}

void TfrmPartTraces::hideEvent(QHideEvent* Event) {
    Marker->Hide();
    TRunDialog::hideEvent(Event);
}

void TfrmPartTraces::Build() {
    QLineEdit* const Fields[] = {edX,  edY,  edVx, edVy, edDe,   edHi,     edRo1,
                                 edRo, edMu, edK,  edF,  edStep, edMaxTime};
    double V[std::size(Fields)] = {};
    for (std::size_t I = 0; I < std::size(Fields); ++I) {
        const std::optional<double> N = ParseNumber(Fields[I]->text());
        if (!N) {
            Ctx.Msg.Show(QStringLiteral("Ошибка при вводе параметров."));
            return;
        }
        V[I] = *N;
    }
    TParticleParams P;
    P.Start = {V[0], V[1]};
    P.StartVelocity = {V[2], V[3]};
    P.D = V[4];
    P.Chi = V[5];
    P.RhoParticle = V[6];
    P.RhoAir = V[7];
    P.Mu = V[8];
    P.Restitution = V[9];
    P.Friction = V[10];
    P.H = V[11];
    P.TMax = V[12];
    // A value no particle can have is named before anything runs; the dialog stays.
    if (!RunReported(Ctx.Msg, [&] { RequireParticleParams(P); }))
        return;
    btBuild->setEnabled(false);
    Progress->show();
    TCountEdges& S = Ctx.Doc.Solver();
    std::optional<std::string> Outcome;
    Run([&] {
        S.TimeLabel = [this](const std::string& T) { lbTime->setText(LocaleDecimals(T)); };
        S.ReLabel = [this](const std::string& T) { lbRe->setText(LocaleDecimals(T)); };
        try {
            Outcome = ParticleOutcome(Ctx.Doc.TraceParticle(P), Ctx.Doc.NumberFormat);
        } catch (const TCalcError& E) {
            // A fault of the integration: a plain box, as the step is the likely cause.
            Ctx.Msg.Show(QString::fromUtf8(E.what()));
        }
    });
    Ctx.Box.Redraw();
    accept();
    if (Outcome)
        Ctx.Msg.Show(QString::fromStdString(*Outcome));
}

} // namespace kalvex
