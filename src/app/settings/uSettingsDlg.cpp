#include "app/settings/uSettingsDlg.h"

#include "app/uFormRows.h"

#include <QColor>
#include <QColorDialog>
#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace kalvex {

namespace {

const char* const ColorProperty = "kalvexColor";

QColor ToQColor(TColor C) {
    return QColor(static_cast<int>(C & 0xFF), static_cast<int>((C >> 8) & 0xFF),
                  static_cast<int>((C >> 16) & 0xFF));
}

TColor FromQColor(const QColor& C) {
    return static_cast<TColor>(C.red()) | static_cast<TColor>(C.green()) << 8 |
           static_cast<TColor>(C.blue()) << 16;
}

// A swatch is a plain button showing its colour, so it stays focusable and readable.
QPushButton* Swatch(QWidget* Parent, const char* Name) {
    auto* B = new QPushButton(Parent);
    B->setObjectName(QString::fromLatin1(Name));
    B->setAccessibleName(QStringLiteral("Цвет:"));
    B->setMinimumWidth(60);
    return B;
}

void SetSwatch(QPushButton* B, TColor C) {
    B->setProperty(ColorProperty, static_cast<qulonglong>(C));
    const QString Name = ToQColor(C).name();
    B->setStyleSheet(QStringLiteral("background-color: %1;").arg(Name));
    B->setAccessibleDescription(Name);
}

TColor SwatchColor(const QPushButton* B) {
    return static_cast<TColor>(B->property(ColorProperty).toULongLong());
}

} // namespace

TfrmSettings::TfrmSettings(QWidget* Owner) : QDialog(Owner) {
    setObjectName(QStringLiteral("frmSettings"));
    setWindowTitle(QStringLiteral(" Настройки"));
    auto* Main = new QVBoxLayout(this);

    auto* Edge = new QGroupBox(QStringLiteral(" Внешняя граница: "), this);
    auto* EG = new QGridLayout(Edge);
    seEdgeWidth = new QSpinBox(Edge);
    seEdgeWidth->setObjectName(QStringLiteral("seEdgeWidth"));
    seEdgeWidth->setRange(2, 20);
    seEdgeWidth->setValue(3);
    // Typed keys are ignored: only the arrows change the width.
    if (auto* Text = seEdgeWidth->findChild<QLineEdit*>())
        Text->setReadOnly(true);
    AddFieldRow(EG, 0, QStringLiteral("Ширина:"), seEdgeWidth);
    stEdgeColor = Swatch(Edge, "stEdgeColor");
    AddFieldRow(EG, 1, QStringLiteral("Цвет:"), stEdgeColor);
    Main->addWidget(Edge);

    auto* Axes = new QGroupBox(QStringLiteral(" Оси координат: "), this);
    auto* AG = new QGridLayout(Axes);
    cmbLineStyle = new QComboBox(Axes);
    cmbLineStyle->setObjectName(QStringLiteral("cmbLineStyle"));
    cmbLineStyle->addItems({QStringLiteral("Отсутствует"), QStringLiteral("Сплошная"),
                            QStringLiteral("Штриховая"), QStringLiteral("Пунктирная")});
    AddFieldRow(AG, 0, QStringLiteral("Тип линии"), cmbLineStyle);
    stAxesColor = Swatch(Axes, "stAxesColor");
    AddFieldRow(AG, 1, QStringLiteral("Цвет:"), stAxesColor);
    Main->addWidget(Axes);

    const TDialogButtons Buttons =
        AddDialogButtons(this, Main, QStringLiteral("ОК"), QStringLiteral("Отмена"));
    Button1 = Buttons.Ok;
    Button2 = Buttons.Cancel;

    Preset(TDrawingSettings{});
    ChooseColor = [](TColor Current, QWidget* Parent) -> std::optional<TColor> {
        const QColor C = QColorDialog::getColor(ToQColor(Current), Parent);
        if (!C.isValid())
            return std::nullopt;
        return FromQColor(C);
    };
    connect(stEdgeColor, &QPushButton::clicked, this, [this] { Pick(stEdgeColor); });
    connect(stAxesColor, &QPushButton::clicked, this, [this] { Pick(stAxesColor); });
    connect(Button1, &QPushButton::clicked, this, &QDialog::accept);
}

void TfrmSettings::Preset(const TDrawingSettings& S) {
    seEdgeWidth->setValue(S.EdgeWidth);
    SetSwatch(stEdgeColor, S.EdgeColor);
    cmbLineStyle->setCurrentIndex(S.AxesItem);
    SetSwatch(stAxesColor, S.AxesColor);
}

TDrawingSettings TfrmSettings::Values() const {
    return {seEdgeWidth->value(), SwatchColor(stEdgeColor), cmbLineStyle->currentIndex(),
            SwatchColor(stAxesColor)};
}

void TfrmSettings::Pick(QPushButton* Swatch) {
    if (!ChooseColor)
        return;
    if (const std::optional<TColor> C = ChooseColor(SwatchColor(Swatch), this))
        SetSwatch(Swatch, *C);
}

} // namespace kalvex
