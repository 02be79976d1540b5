#include "app/results/uDesignDlg.h"

#include "app/canvas/uEdgesPaintBox.h"
#include "app/results/uDialogParts.h"
#include "app/results/uRunScope.h"
#include "app/uFormRows.h"
#include "app/uMessages.h"
#include "app/uNumberText.h"
#include "document/uDocument.h"
#include "geometry/uBinaryIO.h"
#include "results/uContour.h"
#include "results/uEfficiency.h"
#include "results/uTextFormat.h"

#include <QBuffer>
#include <QChart>
#include <QChartView>
#include <QHBoxLayout>
#include <QLineSeries>
#include <QLocale>
#include <QLogValueAxis>
#include <QProgressBar>
#include <QRegularExpression>
#include <QValueAxis>

#include <algorithm>
#include <cmath>

namespace kalvex {

namespace {

const char* const ParamsError = "Ошибка при вводе параметров.";

QProgressBar* AddProgress(QWidget* Owner, QBoxLayout* Into) {
    auto* Bar = new QProgressBar(Owner);
    Bar->setObjectName(QStringLiteral("pbProgress"));
    Bar->setAccessibleName(QStringLiteral("Ход расчёта"));
    Into->addWidget(Bar);
    return Bar;
}

void FollowProgress(TCountEdges& S, QProgressBar* Bar) {
    S.ProgressBar = [Bar](int Position, int Max) {
        Bar->setMaximum(std::max(Max, 1));
        Bar->setValue(std::min(Position, std::max(Max, 1)));
    };
}

// The world point under a pixel of the canvas control.
TRealPoint ViewPoint(TRunContext& C, double FX, double FY) {
    return C.Doc.Canvas().ScreenToWorld(
        {static_cast<int>(C.Box.width() * FX), static_cast<int>(C.Box.height() * FY)});
}

} // namespace

std::optional<std::vector<double>> ParseNumberList(const QString& Text) {
    std::vector<double> Values;
    static const QRegularExpression Separators(QStringLiteral("[;\\s]+"));
    for (const QString& Item : Text.split(Separators, Qt::SkipEmptyParts)) {
        const std::optional<double> V = ParseNumber(Item);
        if (!V)
            return std::nullopt;
        Values.push_back(*V);
    }
    if (Values.empty())
        return std::nullopt;
    return Values;
}

// ---------------------------------------------------------------- contour

TfrmContour::TfrmContour(TRunContext& Context, QWidget* Parent) : TRunDialog(Context, Parent) {
    setObjectName(QStringLiteral("frmContour"));
    setWindowTitle(QStringLiteral("Изолиния скорости"));
    const TContourParams D;
    const QString M = QStringLiteral("м");
    auto* Main = new QVBoxLayout(this);
    QGridLayout* G = AddFieldGroup(this, Main, QStringLiteral(" Скорость улавливания: "));
    edSpeed = AddNumberRow(G, 0, QStringLiteral("V* ="), "edSpeed", 0.5, QStringLiteral("м/с"));
    G = AddFieldGroup(this, Main, QStringLiteral(" Область построения: "));
    edX0 = AddEditRow(G, 0, QStringLiteral("X1 ="), "edX0", M);
    edY0 = AddEditRow(G, 1, QStringLiteral("Y1 ="), "edY0", M);
    edX1 = AddEditRow(G, 2, QStringLiteral("X2 ="), "edX1", M);
    edY1 = AddEditRow(G, 3, QStringLiteral("Y2 ="), "edY1", M);
    edCells = AddEditRow(G, 4, QStringLiteral("Ячеек по длинной стороне"), "edCells");
    edCells->setText(QString::number(D.Cells));
    btBuild =
        AddButtons(this, Main, QStringLiteral("Построить"), "btBuild", QStringLiteral("Отмена"));
    pbProgress = AddProgress(this, Main);
    connect(btBuild, &QPushButton::clicked, this, &TfrmContour::Build);
}

void TfrmContour::showEvent(QShowEvent* Event) {
    TRunDialog::showEvent(Event);
    if (Reshown())
        return;
    const TRealPoint A = ViewPoint(Ctx, 0, 1);
    const TRealPoint B = ViewPoint(Ctx, 1, 0);
    edX0->setText(NumberText(A.X));
    edY0->setText(NumberText(A.Y));
    edX1->setText(NumberText(B.X));
    edY1->setText(NumberText(B.Y));
    btBuild->setEnabled(true);
    pbProgress->hide();
    pbProgress->reset();
    adjustSize();
}

void TfrmContour::Build() {
    const std::optional<double> Speed = ParseNumber(edSpeed->text());
    const std::optional<double> X0 = ParseNumber(edX0->text());
    const std::optional<double> Y0 = ParseNumber(edY0->text());
    const std::optional<double> X1 = ParseNumber(edX1->text());
    const std::optional<double> Y1 = ParseNumber(edY1->text());
    const std::optional<int> Cells = ParseInteger(edCells->text());
    if (!Speed || !X0 || !Y0 || !X1 || !Y1 || !Cells) {
        Ctx.Msg.Show(QString::fromUtf8(ParamsError), TMsgIcon::Error);
        return;
    }
    TContourParams P;
    P.Speed = *Speed;
    P.Corner1 = {*X0, *Y0};
    P.Corner2 = {*X1, *Y1};
    P.Cells = *Cells;
    btBuild->setEnabled(false);
    pbProgress->show();
    TDocument& Doc = Ctx.Doc;
    const bool Ok = Run([&] {
        FollowProgress(Doc.Solver(), pbProgress);
        BuildSpeedContour(Doc.Solver(), Doc.Canvas().Edges, Doc.Canvas().DrawLines, P);
    });
    Ctx.Box.Redraw();
    if (Ok)
        accept();
    else
        btBuild->setEnabled(true);
}

// ---------------------------------------------------------------- efficiency chart

TfrmEfficiencyChart::TfrmEfficiencyChart(TMessages& M, QWidget* Parent) : QDialog(Parent), Msg(M) {
    setObjectName(QStringLiteral("frmEfficiencyChart"));
    setWindowTitle(QStringLiteral("Эффективность улавливания"));
    auto* Chart = new QChart;
    Chart->legend()->hide();
    // Labels in the user's notation (a decimal comma in Russian).
    Chart->setLocale(QLocale());
    Chart->setLocalizeNumbers(true);
    Series = new QLineSeries;
    Series->setPointsVisible(true);
    Chart->addSeries(Series);
    auto* AxisD = new QLogValueAxis;
    // In micrometres, as dust is sized: the decades read 1, 10, 100.
    AxisD->setTitleText(QStringLiteral("Диаметр частицы, мкм"));
    // With a precision: localised log-axis labels of a bare "%g" come out empty.
    AxisD->setLabelFormat(QStringLiteral("%.6g"));
    AxisD->setMinorTickCount(-1);
    auto* AxisF = new QValueAxis;
    AxisF->setTitleText(QStringLiteral("Доля уловленных частиц"));
    AxisF->setRange(0, 1);
    Chart->addAxis(AxisD, Qt::AlignBottom);
    Chart->addAxis(AxisF, Qt::AlignLeft);
    Series->attachAxis(AxisD);
    Series->attachAxis(AxisF);
    View = new QChartView(Chart, this); // the view owns the chart
    View->setObjectName(QStringLiteral("cvEfficiency"));
    View->setRenderHint(QPainter::Antialiasing);
    View->setMinimumSize(480, 320);
    auto* Main = new QVBoxLayout(this);
    Main->addWidget(View);
    auto* Row = new QHBoxLayout;
    btSavePng = new QPushButton(QStringLiteral("Сохранить рисунок..."), this);
    btSavePng->setObjectName(QStringLiteral("btSavePng"));
    btSaveCsv = new QPushButton(QStringLiteral("Сохранить таблицу..."), this);
    btSaveCsv->setObjectName(QStringLiteral("btSaveCsv"));
    auto* Close = new QPushButton(QStringLiteral("Закрыть"), this);
    Close->setObjectName(QStringLiteral("btClose"));
    Row->addWidget(btSavePng);
    Row->addWidget(btSaveCsv);
    Row->addStretch();
    Row->addWidget(Close);
    Main->addLayout(Row);
    connect(btSavePng, &QPushButton::clicked, this, &TfrmEfficiencyChart::SavePng);
    connect(btSaveCsv, &QPushButton::clicked, this, &TfrmEfficiencyChart::SaveCsv);
    connect(Close, &QPushButton::clicked, this, &QDialog::accept);
}

void TfrmEfficiencyChart::SetRows(std::vector<TEfficiencyRow> Rows, QString SystemPath) {
    // Rows of no released particle have no fraction; a log axis takes no zero size.
    std::erase_if(Rows, [](const TEfficiencyRow& R) { return R.Total == 0 || !(R.D > 0); });
    std::sort(Rows.begin(), Rows.end(),
              [](const TEfficiencyRow& A, const TEfficiencyRow& B) { return A.D < B.D; });
    FRows = std::move(Rows);
    Stem = std::move(SystemPath);
    QList<QPointF> Points;
    for (const TEfficiencyRow& R : FRows)
        Points << QPointF(R.D * MicrometresPerMetre, static_cast<double>(R.Caught) / R.Total);
    Series->replace(Points);
    if (!FRows.empty()) {
        // Whole decades around the diameters, so the labels read plainly.
        const double Lo =
            std::pow(10.0, std::floor(std::log10(FRows.front().D * MicrometresPerMetre)));
        const double Hi =
            std::pow(10.0, std::ceil(std::log10(FRows.back().D * MicrometresPerMetre)));
        View->chart()->axes(Qt::Horizontal).front()->setRange(Lo, Hi > Lo ? Hi : Lo * 10);
    }
}

void TfrmEfficiencyChart::SavePng() {
    const QString Name = Msg.SaveFileName({QStringLiteral("Сохранить рисунок"),
                                           QStringLiteral("Рисунки PNG (*.png)"),
                                           QStringLiteral("png"), Stem + QStringLiteral(".png")});
    if (Name.isEmpty())
        return;
    QByteArray Png;
    QBuffer Buffer(&Png);
    if (!Buffer.open(QIODevice::WriteOnly) || !View->grab().save(&Buffer, "PNG")) {
        Msg.Show(QStringLiteral("Не удалось построить рисунок."), TMsgIcon::Error);
        return;
    }
    RunReported(Msg, [&] {
        WriteFileAtomic(Name.toStdString(),
                        std::span(reinterpret_cast<const std::uint8_t*>(Png.constData()),
                                  static_cast<std::size_t>(Png.size())));
    });
}

void TfrmEfficiencyChart::SaveCsv() {
    const QString Name = Msg.SaveFileName({QStringLiteral("Сохранить таблицу"),
                                           QStringLiteral("Таблицы CSV (*.csv)"),
                                           QStringLiteral("csv"), Stem + QStringLiteral(".csv")});
    if (Name.isEmpty())
        return;
    RunReported(Msg, [&] {
        const std::string Csv = EfficiencyCsv(FRows);
        WriteFileAtomic(Name.toStdString(),
                        std::span(reinterpret_cast<const std::uint8_t*>(Csv.data()), Csv.size()));
    });
}

// ---------------------------------------------------------------- efficiency

TfrmEfficiency::TfrmEfficiency(TRunContext& Context, TfrmEfficiencyChart& C, QWidget* Parent)
    : TRunDialog(Context, Parent), Chart(C) {
    setObjectName(QStringLiteral("frmEfficiency"));
    setWindowTitle(QStringLiteral("Эффективность улавливания"));
    const TParticleParams D;
    const QString M = QStringLiteral("м");
    auto* Main = new QVBoxLayout(this);
    QGridLayout* G = AddFieldGroup(this, Main, QStringLiteral(" Линия вылета частиц: "));
    edXA = AddEditRow(G, 0, QStringLiteral("XA ="), "edXA", M);
    edYA = AddEditRow(G, 1, QStringLiteral("YA ="), "edYA", M);
    edXB = AddEditRow(G, 2, QStringLiteral("XB ="), "edXB", M);
    edYB = AddEditRow(G, 3, QStringLiteral("YB ="), "edYB", M);
    edN = AddEditRow(G, 4, QStringLiteral("Число точек вылета"), "edN");
    edN->setText(QString::number(TEfficiencyParams().Count));
    G = AddFieldGroup(this, Main, QStringLiteral(" Начальная скорость:"));
    edVx = AddNumberRow(G, 0, QStringLiteral("Vx ="), "edVx", D.StartVelocity.X,
                        QStringLiteral("м/c"));
    edVy = AddNumberRow(G, 1, QStringLiteral("Vy ="), "edVy", D.StartVelocity.Y,
                        QStringLiteral("м/c"));
    G = AddFieldGroup(this, Main, QStringLiteral(" Характеристики частиц и среды: "));
    edDiameters = AddEditRow(G, 0, QStringLiteral("Эквивалентные диаметры частиц (через ;)"),
                             "edDiameters", M);
    edDiameters->setMinimumWidth(220);
    edDiameters->setText(
        QStringList({ShortestText(0.00001), ShortestText(0.00003), ShortestText(0.0001),
                     ShortestText(0.0003), ShortestText(0.001)})
            .join(QStringLiteral("; ")));
    static_cast<TParticleDataFields&>(*this) = AddParticleDataRows(this, Main, G, D);
    btBuild =
        AddButtons(this, Main, QStringLiteral("Вычислить"), "btBuild", QStringLiteral("Отмена"));
    pbProgress = AddProgress(this, Main);
    connect(btBuild, &QPushButton::clicked, this, &TfrmEfficiency::Build);
}

void TfrmEfficiency::showEvent(QShowEvent* Event) {
    TRunDialog::showEvent(Event);
    if (Reshown())
        return;
    // A first start line across the upper part of the view; later the last one typed.
    if (!LineFilled) {
        LineFilled = true;
        const TRealPoint A = ViewPoint(Ctx, 0.25, 0.25);
        const TRealPoint B = ViewPoint(Ctx, 0.75, 0.25);
        edXA->setText(NumberText(A.X));
        edYA->setText(NumberText(A.Y));
        edXB->setText(NumberText(B.X));
        edYB->setText(NumberText(B.Y));
    }
    btBuild->setEnabled(true);
    pbProgress->hide();
    pbProgress->reset();
    adjustSize();
}

void TfrmEfficiency::Build() {
    QLineEdit* const Fields[] = {edXA,  edYA, edXB, edYB, edVx, edVy,   edHi,
                                 edRo1, edRo, edMu, edK,  edF,  edStep, edMaxTime};
    double V[std::size(Fields)] = {};
    for (std::size_t I = 0; I < std::size(Fields); ++I) {
        const std::optional<double> N = ParseNumber(Fields[I]->text());
        if (!N) {
            Ctx.Msg.Show(QString::fromUtf8(ParamsError), TMsgIcon::Error);
            return;
        }
        V[I] = *N;
    }
    const std::optional<int> Count = ParseInteger(edN->text());
    const std::optional<std::vector<double>> Diameters = ParseNumberList(edDiameters->text());
    if (!Count || !Diameters) {
        Ctx.Msg.Show(QString::fromUtf8(ParamsError), TMsgIcon::Error);
        return;
    }
    TEfficiencyParams P;
    P.From = {V[0], V[1]};
    P.To = {V[2], V[3]};
    P.Count = *Count;
    P.Diameters = *Diameters;
    TParticleParams& Q = P.Particle;
    Q.Start = P.From;
    Q.StartVelocity = {V[4], V[5]};
    Q.Chi = V[6];
    Q.RhoParticle = V[7];
    Q.RhoAir = V[8];
    Q.Mu = V[9];
    Q.Restitution = V[10];
    Q.Friction = V[11];
    Q.H = V[12];
    Q.TMax = V[13];
    btBuild->setEnabled(false);
    pbProgress->show();
    TDocument& Doc = Ctx.Doc;
    TEfficiencyOutcome Outcome;
    const bool Ok = Run([&] {
        CheckEfficiencyParams(P);
        FollowProgress(Doc.Solver(), pbProgress);
        Outcome = CaptureEfficiency(Doc.Solver(), P);
    });
    if (!Ok) {
        btBuild->setEnabled(true);
        pbProgress->hide();
        return;
    }
    accept();
    // A stopped run counts only some diameters: no curve to compare sizes by.
    if (Outcome.Stopped)
        return;
    Chart.SetRows(std::move(Outcome.Rows), QString::fromStdString(Doc.ResultPath("").string()));
    Chart.show();
    Chart.raise();
}

} // namespace kalvex
