// The one way the window talks to the user in boxes: messages, questions and the
// file dialogs. The window gets a TQtMessages; tests give it a recorder that keeps
// the texts and answers from a script.
#pragma once

#include <QString>
#include <QStringList>

class QWidget;

namespace kalvex {

enum class TMsgIcon { None, Information, Warning, Error, Question };
enum class TMsgAnswer { Yes, No, Cancel };

struct TFileDialogInfo {
    QString Title;
    QString Filter;        // Qt form: "Системы аспирации (*.asp)"
    QString DefaultSuffix; // without the dot
    QString Initial;       // pre-filled name or folder
};

class TMessages {
public:
    virtual ~TMessages() = default;
    // Text may hold '\r' line breaks (the core's texts do); they are shown as lines.
    virtual void Show(const QString& Text, TMsgIcon Icon = TMsgIcon::None) = 0;
    // Yes/No box; never answers Cancel.
    virtual TMsgAnswer AskYesNo(const QString& Text, TMsgIcon Icon = TMsgIcon::Question) = 0;
    virtual TMsgAnswer AskYesNoCancel(const QString& Text) = 0;
    // One of Items, by its index; -1 when the user cancels.
    virtual int AskChoice(const QString& Text, const QStringList& Items) = 0;
    // A message with buttons of its own beside OK: the index of the one pressed, -1 for OK.
    virtual int ShowWithCommands(const QString& Text, TMsgIcon Icon,
                                 const QStringList& Commands) = 0;
    // Empty when the user cancels. The save dialog asks before overwriting.
    virtual QString OpenFileName(const TFileDialogInfo& Dialog) = 0;
    virtual QString SaveFileName(const TFileDialogInfo& Dialog) = 0;
};

// Message boxes and file dialogs of Qt, titled with the application's title.
class TQtMessages : public TMessages {
public:
    explicit TQtMessages(QWidget* Owner = nullptr) : Parent(Owner) {}
    void SetParent(QWidget* P) { Parent = P; }
    void Show(const QString& Text, TMsgIcon Icon = TMsgIcon::None) override;
    TMsgAnswer AskYesNo(const QString& Text, TMsgIcon Icon = TMsgIcon::Question) override;
    TMsgAnswer AskYesNoCancel(const QString& Text) override;
    int AskChoice(const QString& Text, const QStringList& Items) override;
    int ShowWithCommands(const QString& Text, TMsgIcon Icon, const QStringList& Commands) override;
    QString OpenFileName(const TFileDialogInfo& Dialog) override;
    QString SaveFileName(const TFileDialogInfo& Dialog) override;

private:
    QWidget* Parent;
};

// The core's '\r' line breaks as Qt's.
QString MessageText(const QString& Text);

} // namespace kalvex
