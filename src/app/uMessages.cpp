#include "app/uMessages.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>
#include <QPushButton>

namespace kalvex {

QString MessageText(const QString& Text) {
    QString T = Text;
    T.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    T.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return T;
}

namespace {

QMessageBox::Icon BoxIcon(TMsgIcon Icon) {
    switch (Icon) {
    case TMsgIcon::Information:
        return QMessageBox::Information;
    case TMsgIcon::Warning:
        return QMessageBox::Warning;
    case TMsgIcon::Error:
        return QMessageBox::Critical;
    case TMsgIcon::Question:
        return QMessageBox::Question;
    case TMsgIcon::None:
        break;
    }
    return QMessageBox::NoIcon;
}

TMsgAnswer Ask(QWidget* Parent, const QString& Text, QMessageBox::StandardButtons Buttons,
               TMsgIcon Icon = TMsgIcon::Question) {
    QMessageBox Box(BoxIcon(Icon), QApplication::applicationDisplayName(), MessageText(Text),
                    Buttons, Parent);
    switch (Box.exec()) {
    case QMessageBox::Yes:
        return TMsgAnswer::Yes;
    case QMessageBox::No:
        return TMsgAnswer::No;
    default:
        return TMsgAnswer::Cancel;
    }
}

} // namespace

void TQtMessages::Show(const QString& Text, TMsgIcon Icon) {
    QMessageBox Box(BoxIcon(Icon), QApplication::applicationDisplayName(), MessageText(Text),
                    QMessageBox::Ok, Parent);
    Box.exec();
}

int TQtMessages::ShowWithCommands(const QString& Text, TMsgIcon Icon, const QStringList& Commands) {
    QMessageBox Box(BoxIcon(Icon), QApplication::applicationDisplayName(), MessageText(Text),
                    QMessageBox::Ok, Parent);
    QList<QAbstractButton*> Buttons;
    for (const QString& C : Commands)
        Buttons << Box.addButton(C, QMessageBox::ActionRole);
    Box.setDefaultButton(QMessageBox::Ok);
    Box.exec();
    return static_cast<int>(Buttons.indexOf(Box.clickedButton()));
}

TMsgAnswer TQtMessages::AskYesNo(const QString& Text, TMsgIcon Icon) {
    const TMsgAnswer A = Ask(Parent, Text, QMessageBox::Yes | QMessageBox::No, Icon);
    return A == TMsgAnswer::Yes ? A : TMsgAnswer::No;
}

TMsgAnswer TQtMessages::AskYesNoCancel(const QString& Text) {
    return Ask(Parent, Text, QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
}

int TQtMessages::AskChoice(const QString& Text, const QStringList& Items) {
    bool Ok = false;
    const QString Item = QInputDialog::getItem(Parent, QApplication::applicationDisplayName(),
                                               MessageText(Text), Items, 0, false, &Ok);
    return Ok ? static_cast<int>(Items.indexOf(Item)) : -1;
}

QString TQtMessages::OpenFileName(const TFileDialogInfo& Dialog) {
    QFileDialog D(Parent, Dialog.Title, Dialog.Initial, Dialog.Filter);
    D.setAcceptMode(QFileDialog::AcceptOpen);
    D.setFileMode(QFileDialog::ExistingFile);
    D.setDefaultSuffix(Dialog.DefaultSuffix);
    if (D.exec() != QDialog::Accepted || D.selectedFiles().isEmpty())
        return {};
    return D.selectedFiles().first();
}

QString TQtMessages::SaveFileName(const TFileDialogInfo& Dialog) {
    QFileDialog D(Parent, Dialog.Title, Dialog.Initial, Dialog.Filter);
    D.setAcceptMode(QFileDialog::AcceptSave);
    D.setFileMode(QFileDialog::AnyFile);
    D.setDefaultSuffix(Dialog.DefaultSuffix);
    D.setOption(QFileDialog::DontConfirmOverwrite, false);
    if (D.exec() != QDialog::Accepted || D.selectedFiles().isEmpty())
        return {};
    return D.selectedFiles().first();
}

} // namespace kalvex
