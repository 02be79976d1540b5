#include "app/results/uFlowLinesDlg.h"

#include "app/canvas/uEdgesPaintBox.h"
#include "app/results/uDialogParts.h"
#include "app/uFormRows.h"
#include "app/uMessages.h"
#include "app/uNumberText.h"
#include "document/uDocument.h"
#include "results/uFlowLines.h"
#include "results/uNothingFound.h"

#include <QProgressBar>

namespace kalvex {

namespace {

const char* const ParamsError = "Ошибка при вводе параметров.";

TBuildHooks Hooks(TRunContext& C, QLabel* Status) {
    TBuildHooks H;
    H.Status = [Status](const std::string& Text) { Status->setText(QString::fromStdString(Text)); };
    TEdgesPaintBox* Box = &C.Box;
    H.Repaint = [Box] { Box->Redraw(); };
    return H;
}

} // namespace

// ---------------------------------------------------------------- field of lines

TfrmFlowLines::TfrmFlowLines(TRunContext& Context, QWidget* Parent) : TRunDialog(Context, Parent) {
    setObjectName(QStringLiteral("frmFlowLines"));
    setWindowTitle(QStringLiteral("Построение линий тока"));
    auto* Main = new QVBoxLayout(this);
    auto* Params = new QGroupBox(QStringLiteral(" Параметры построения: "), this);
    auto* G = new QGridLayout(Params);
    edInterval = AddEditRow(G, 0, QStringLiteral("Интервал между линиями, м"), "edInterval");
    edStep = AddEditRow(G, 1, QStringLiteral("Шаг построения линий тока, м"), "edStep");
    edLineLen = AddEditRow(G, 2, QStringLiteral("Длина линий тока, м"), "edLineLen");
    edInterval->setText(ShortestText(0.08));
    edStep->setText(ShortestText(0.01));
    edLineLen->setText(ShortestText(1));
    Main->addWidget(Params);
    rgDirection = AddChoice(this, Main, QStringLiteral(" Направление построения: "), "rgDirection",
                            {QStringLiteral("От источников"), QStringLiteral("От стоков")}, 1);
    btBuild =
        AddButtons(this, Main, QStringLiteral("Построить"), "btBuild", QStringLiteral("Отмена"));
    lbStatus = new QLabel(this);
    lbStatus->setObjectName(QStringLiteral("lbStatus"));
    pbLinesProgress = new QProgressBar(this);
    pbLinesProgress->setObjectName(QStringLiteral("pbLinesProgress"));
    pbLinesProgress->setAccessibleName(QStringLiteral("Ход построения"));
    Main->addWidget(lbStatus);
    Main->addWidget(pbLinesProgress);
    connect(btBuild, &QPushButton::clicked, this, &TfrmFlowLines::Build);
}

void TfrmFlowLines::showEvent(QShowEvent* Event) {
    TRunDialog::showEvent(Event);
    if (Reshown())
        return;
    SetFieldEnabled(this, edLineLen, Ctx.Doc.Canvas().Edges.HasSemiInfinite());
    btBuild->setEnabled(true);
    lbStatus->hide();
    pbLinesProgress->hide();
    pbLinesProgress->reset();
    adjustSize();
}

void TfrmFlowLines::Build() {
    const std::optional<double> Interval = ParseNumber(edInterval->text());
    const std::optional<double> Step = ParseNumber(edStep->text());
    const std::optional<double> Length = ParseNumber(edLineLen->text());
    if (!Interval || !Step || !Length) {
        Ctx.Msg.Show(QString::fromUtf8(ParamsError), TMsgIcon::Error);
        return;
    }
    const bool FromSinks = rgDirection->checkedId() == 1;
    TDocument& Doc = Ctx.Doc;
    // Refused values are named while the dialog stays open for them.
    if (!RunReported(Ctx.Msg,
                     [&] { CheckFieldParams(Doc.Solver(), *Interval, *Step, *Length, FromSinks); }))
        return;
    btBuild->setEnabled(false);
    lbStatus->show();
    pbLinesProgress->show();
    QProgressBar* Bar = pbLinesProgress;
    const bool Ok = Run([&] {
        Doc.Solver().ProgressBar = [Bar](int Position, int Max) {
            Bar->setMaximum(std::max(Max, 1));
            Bar->setValue(std::min(Position, std::max(Max, 1)));
        };
        BuildFieldOfLines(Doc.Solver(), Doc.Canvas().Edges, Doc.Canvas().DrawLines, *Interval,
                          *Step, *Length, FromSinks, Hooks(Ctx, lbStatus));
    });
    Ctx.Box.Redraw();
    accept();
    if (Ok && Doc.Canvas().DrawLines.Count == 0 && !Doc.Solver().Stopped) {
        TEmptyRun Empty;
        Empty.Kind = TEmptyRun::FlowLines;
        Empty.FromSinks = FromSinks;
        Ctx.Msg.Show(QString::fromStdString(NothingFound(Doc.Canvas().Edges, Empty).Russian));
    }
}

// ---------------------------------------------------------------- single line

TfrmFlowLine::TfrmFlowLine(TRunContext& Context, QWidget* Parent) : TRunDialog(Context, Parent) {
    setObjectName(QStringLiteral("frmFlowLine"));
    setWindowTitle(QStringLiteral("Построение линии тока"));
    auto* Main = new QVBoxLayout(this);
    auto* Params = new QGroupBox(QStringLiteral(" Параметры построения: "), this);
    auto* G = new QGridLayout(Params);
    edStep = AddEditRow(G, 0, QStringLiteral("Шаг построения линии тока, м"), "edStep");
    edLineLen = AddEditRow(G, 1, QStringLiteral("Макс. длина линии тока, м"), "edLineLen");
    edStep->setText(ShortestText(0.01));
    edLineLen->setText(ShortestText(1));
    Main->addWidget(Params);
    rgDirection = AddChoice(this, Main, QStringLiteral(" Направление построения: "), "rgDirection",
                            {QStringLiteral("К стоку"), QStringLiteral("К источнику")}, 1);
    auto* Start = new QGroupBox(QStringLiteral(" Начальная точка: "), this);
    auto* S = new QGridLayout(Start);
    edX = AddEditRow(S, 0, QStringLiteral("X = "), "edX", QStringLiteral("м"));
    edY = AddEditRow(S, 1, QStringLiteral("Y ="), "edY", QStringLiteral("м"));
    edX->setReadOnly(true);
    edY->setReadOnly(true);
    Main->addWidget(Start);
    btBuild =
        AddButtons(this, Main, QStringLiteral("Построить"), "btBuild", QStringLiteral("Отмена"));
    lbStatus = new QLabel(this);
    lbStatus->setObjectName(QStringLiteral("lbStatus"));
    Main->addWidget(lbStatus);
    connect(btBuild, &QPushButton::clicked, this, &TfrmFlowLine::Build);
}

void TfrmFlowLine::SetStart(TRealPoint P) {
    edX->setText(NumberText(P.X));
    edY->setText(NumberText(P.Y));
}

void TfrmFlowLine::showEvent(QShowEvent* Event) {
    TRunDialog::showEvent(Event);
    if (Reshown())
        return;
    const TEdges& M = Ctx.Doc.Canvas().Edges;
    SetFieldEnabled(this, edLineLen, M.HasSemiInfinite() || M.HasRotatingCylinder());
    btBuild->setEnabled(true);
    lbStatus->hide();
    adjustSize();
}

void TfrmFlowLine::Build() {
    const std::optional<double> X = ParseNumber(edX->text());
    const std::optional<double> Y = ParseNumber(edY->text());
    const std::optional<double> Step = ParseNumber(edStep->text());
    const std::optional<double> Length = ParseNumber(edLineLen->text());
    if (!X || !Y || !Step || !Length) {
        Ctx.Msg.Show(QString::fromUtf8(ParamsError), TMsgIcon::Error);
        return;
    }
    if (!RunReported(Ctx.Msg, [&] { CheckLineParams(*Step, *Length); }))
        return;
    btBuild->setEnabled(false);
    lbStatus->show();
    const bool ToSink = rgDirection->checkedId() == 0;
    TDocument& Doc = Ctx.Doc;
    Run([&] {
        BuildSingleLine(Doc.Solver(), Doc.Canvas().Edges, Doc.Canvas().DrawLines, {*X, *Y}, *Step,
                        *Length, ToSink, Hooks(Ctx, lbStatus));
    });
    Ctx.Box.Redraw();
    accept();
}

} // namespace kalvex
