#include "app/uAbout.h"

#include <QDialogButtonBox>
#include <QIcon>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace kalvex {

TfrmAbout::TfrmAbout(QWidget* Parent) : QDialog(Parent) {
    setObjectName(QStringLiteral("frmAbout"));
    setWindowTitle(QString::fromUtf8("О программе"));
    auto* Layout = new QVBoxLayout(this);
    auto* Icon = new QLabel(this);
    Icon->setPixmap(QIcon(QStringLiteral(":/icons/kalvex.svg")).pixmap(64, 64));
    Icon->setAlignment(Qt::AlignCenter);
    Layout->addWidget(Icon);
    auto AddLabel = [&](const char* Name, const char* Text, bool Bold) {
        auto* L = new QLabel(QString::fromUtf8(Text), this);
        L->setObjectName(QLatin1String(Name));
        L->setAlignment(Qt::AlignCenter);
        if (Bold) {
            QFont F = L->font();
            F.setBold(true);
            F.setPointSizeF(F.pointSizeF() * 1.4);
            L->setFont(F);
        }
        Layout->addWidget(L);
    };
    AddLabel("lbProduct", "Kalvex 2", true);
    AddLabel("lbTitle", "Расчет систем аспирации", false);
    AddLabel("lbVersion", "Версия 2.0", false);
    auto* Buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    Buttons->button(QDialogButtonBox::Ok)->setObjectName(QStringLiteral("btOK"));
    Buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("OK"));
    Buttons->setCenterButtons(true);
    connect(Buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    Layout->addWidget(Buttons);
    Layout->setSizeConstraint(QLayout::SetFixedSize);
}

} // namespace kalvex
