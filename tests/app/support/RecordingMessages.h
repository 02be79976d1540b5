// A message service for tests: records every text and answers from a script.
#pragma once

#include "app/uMessages.h"

#include <QStringList>

#include <deque>

namespace kalvex {

class TRecordingMessages : public TMessages {
public:
    void Show(const QString& Text, TMsgIcon Icon = TMsgIcon::None) override {
        Texts << MessageText(Text);
        Icons.push_back(Icon);
    }
    TMsgAnswer AskYesNo(const QString& Text, TMsgIcon Icon = TMsgIcon::Question) override {
        return Answer(Text, Icon);
    }
    TMsgAnswer AskYesNoCancel(const QString& Text) override { return Answer(Text); }
    int ShowWithCommands(const QString& Text, TMsgIcon Icon, const QStringList&) override {
        Show(Text, Icon);
        if (Commands.empty())
            return -1;
        const int C = Commands.front();
        Commands.pop_front();
        return C;
    }
    int AskChoice(const QString& Text, const QStringList& Items) override {
        Texts << MessageText(Text);
        Icons.push_back(TMsgIcon::None);
        if (Choices.empty() || Choices.front() >= Items.size())
            return -1;
        const int C = Choices.front();
        Choices.pop_front();
        return C;
    }
    QString OpenFileName(const TFileDialogInfo& Dialog) override { return File(Dialog); }
    QString SaveFileName(const TFileDialogInfo& Dialog) override { return File(Dialog); }

    QStringList Texts; // messages and questions, in order
    std::deque<TMsgIcon> Icons;
    std::deque<TMsgAnswer> Answers; // scripted answers; Cancel when none is left
    std::deque<QString> Files;      // scripted file names; cancel when none is left
    std::deque<int> Choices;        // scripted choices; cancel when none is left
    std::deque<int> Commands;       // buttons pressed beside OK; OK when none is left
    QList<TFileDialogInfo> Dialogs; // the file dialogs asked for

private:
    TMsgAnswer Answer(const QString& Text, TMsgIcon Icon = TMsgIcon::Question) {
        Texts << MessageText(Text);
        Icons.push_back(Icon);
        if (Answers.empty())
            return TMsgAnswer::Cancel;
        const TMsgAnswer A = Answers.front();
        Answers.pop_front();
        return A;
    }
    QString File(const TFileDialogInfo& Dialog) {
        Dialogs << Dialog;
        if (Files.empty())
            return {};
        QString F = Files.front();
        Files.pop_front();
        return F;
    }
};

} // namespace kalvex
