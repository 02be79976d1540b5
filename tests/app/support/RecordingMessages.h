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
    TMsgAnswer AskYesNo(const QString& Text) override { return Answer(Text); }
    TMsgAnswer AskYesNoCancel(const QString& Text) override { return Answer(Text); }
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
    QList<TFileDialogInfo> Dialogs; // the file dialogs asked for

private:
    TMsgAnswer Answer(const QString& Text) {
        Texts << MessageText(Text);
        Icons.push_back(TMsgIcon::None);
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
