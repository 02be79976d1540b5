#include "app/results/uPictureSizeDlg.h"

#include "app/uFormRows.h"
#include "app/uMessages.h"
#include "app/uNumberText.h"
#include "base/uKalvexError.h"
#include "canvas/uPageLayout.h"

#include <QComboBox>
#include <QGroupBox>
#include <QVBoxLayout>

#include <cmath>

namespace kalvex {

namespace {

// "96", not "96,000"; a resolution made from pixels keeps three decimals.
QString DpiText(double Dpi) {
    return ShortestText(std::round(Dpi * 1000) / 1000);
}

} // namespace

TfrmPictureSize::TfrmPictureSize(TMessages& M, QWidget* Owner) : QDialog(Owner), Msg(M) {
    setObjectName(QStringLiteral("frmPictureSize"));
    setWindowTitle(QStringLiteral("Размер рисунка"));
    auto* Main = new QVBoxLayout(this);

    gbPng = new QGroupBox(QStringLiteral(" Рисунок PNG: "), this);
    gbPng->setObjectName(QStringLiteral("gbPng"));
    auto* G = new QGridLayout(gbPng);
    edDpi =
        AddEditRow(G, 0, QStringLiteral("Разрешение:"), "edDpi", QStringLiteral("точек на дюйм"));
    edWidth = AddEditRow(G, 1, QStringLiteral("Ширина:"), "edWidth", QStringLiteral("точек"));
    edHeight = AddEditRow(G, 2, QStringLiteral("Высота:"), "edHeight", QStringLiteral("точек"));
    Main->addWidget(gbPng);

    gbPdf = new QGroupBox(QStringLiteral(" Страница PDF: "), this);
    gbPdf->setObjectName(QStringLiteral("gbPdf"));
    auto* P = new QGridLayout(gbPdf);
    cbPaper = new QComboBox(gbPdf);
    cbPaper->setObjectName(QStringLiteral("cbPaper"));
    cbPaper->addItems(
        {QStringLiteral("по размеру рисунка"), QStringLiteral("A4"), QStringLiteral("A3")});
    AddFieldRow(P, 0, QStringLiteral("Формат листа:"), cbPaper);
    cbOrientation = new QComboBox(gbPdf);
    cbOrientation->setObjectName(QStringLiteral("cbOrientation"));
    cbOrientation->addItems({QStringLiteral("по форме рисунка"), QStringLiteral("книжная"),
                             QStringLiteral("альбомная")});
    AddFieldRow(P, 1, QStringLiteral("Ориентация:"), cbOrientation);
    Main->addWidget(gbPdf);

    const TDialogButtons Buttons =
        AddDialogButtons(this, Main, QStringLiteral("Сохранить"), QStringLiteral("Отмена"));
    Button1 = Buttons.Ok;
    Button2 = Buttons.Cancel;
    connect(Button1, &QPushButton::clicked, this, &TfrmPictureSize::Accept);
    connect(edDpi, &QLineEdit::textEdited, this, &TfrmPictureSize::DpiEdited);
    connect(edWidth, &QLineEdit::textEdited, this, [this] { SideEdited(true); });
    connect(edHeight, &QLineEdit::textEdited, this, [this] { SideEdited(false); });
    connect(cbPaper, &QComboBox::currentIndexChanged, this,
            [this](int I) { cbOrientation->setEnabled(I != 0); });
}

bool TfrmPictureSize::Choose(TPictureFormat Format, TPictureSize Size, TPictureOptions& Options) {
    FFormat = Format;
    FSize = Size;
    const bool Png = Format == TPictureFormat::Png;
    gbPng->setVisible(Png);
    gbPdf->setVisible(!Png);
    Chosen = Options.Dpi;
    edDpi->setText(DpiText(Options.Dpi));
    ShowPixels();
    cbPaper->setCurrentIndex(static_cast<int>(Options.Page.Paper));
    cbOrientation->setCurrentIndex(static_cast<int>(Options.Page.Orientation));
    cbOrientation->setEnabled(Options.Page.Paper != TPaperKind::Picture);
    adjustSize();
    if (exec() != QDialog::Accepted)
        return false;
    if (Png)
        Options.Dpi = *Chosen;
    else
        Options.Page = {static_cast<TPaperKind>(cbPaper->currentIndex()),
                        static_cast<TPaperOrientation>(cbOrientation->currentIndex())};
    return true;
}

void TfrmPictureSize::DpiEdited() {
    Chosen = ParseNumber(edDpi->text());
    ShowPixels();
}

void TfrmPictureSize::SideEdited(bool Width) {
    const std::optional<int> Side = ParseInteger((Width ? edWidth : edHeight)->text());
    Chosen.reset();
    if (Side)
        Chosen = DpiForPixels(Width ? FSize.Width : FSize.Height, *Side);
    edDpi->setText(Chosen ? DpiText(*Chosen) : QString());
    // The other side follows; the one being typed keeps the user's text.
    QLineEdit* Other = Width ? edHeight : edWidth;
    try {
        if (Chosen) {
            const TPictureSize Px = RasterSize(FSize, *Chosen);
            Other->setText(QString::number(Width ? Px.Height : Px.Width));
            return;
        }
    } catch (const TRefusal&) {
    }
    Other->clear();
}

void TfrmPictureSize::ShowPixels() {
    try {
        if (Chosen) {
            const TPictureSize Px = RasterSize(FSize, *Chosen);
            edWidth->setText(QString::number(Px.Width));
            edHeight->setText(QString::number(Px.Height));
            return;
        }
    } catch (const TRefusal&) {
    }
    edWidth->clear();
    edHeight->clear();
}

void TfrmPictureSize::Accept() {
    if (FFormat == TPictureFormat::Png) {
        try {
            CheckedPngSize(FSize, Chosen);
        } catch (const TRefusal& E) {
            Msg.Show(QString::fromStdString(E.what()));
            return;
        }
    }
    accept();
}

} // namespace kalvex
