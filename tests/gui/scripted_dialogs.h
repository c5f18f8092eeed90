// Dialogs whose answers a test scripts in advance, and which record what was shown.
#pragma once

#include <QList>
#include <QStringList>
#include <functional>

#include "dialogs.h"

namespace tidelin::test {

struct ShownMessage {
    QString text;
    Dialogs::Icon icon;
    QString title;
};

struct ShownQuestion {
    QString text;
    bool yesIsDefault;
};

struct ShownFileDialog {
    QString title;
    QList<FileFilter> filters;
    int filterIndex;
    QString folder;
};

class ScriptedDialogs : public Dialogs {
public:
    // Answers, taken from the front; an unscripted question fails the test and cancels.
    QStringList files;
    QList<int> filterChoices;  // the filter the user leaves selected in each file dialog
    QStringList folders;
    QList<Answer> answers;
    bool openUrlSucceeds = true;
    // Runs while a box is shown (for example to check the window's state at that moment).
    std::function<void(const ShownMessage&)> onMessage;

    QList<ShownMessage> messages;
    QList<ShownQuestion> questions;
    QList<ShownFileDialog> fileDialogs;
    QStringList folderTitles;
    QStringList openedUrls;
    int unscripted = 0;

    void Message(QWidget*, const QString& text, Icon icon, const QString& title) override {
        messages.append({text, icon, title});
        if (onMessage) {
            onMessage(messages.constLast());
        }
    }
    Answer AskYesNo(QWidget*, const QString& text, bool yesIsDefault) override {
        questions.append({text, yesIsDefault});
        if (answers.isEmpty()) {
            ++unscripted;
            return Answer::No;
        }
        return answers.takeFirst();
    }
    QString ChooseFile(QWidget*, const QString& title, const QList<FileFilter>& filters, int& filterIndex,
                       const QString& folder) override {
        fileDialogs.append({title, filters, filterIndex, folder});
        if (!filterChoices.isEmpty()) {
            filterIndex = filterChoices.takeFirst();
        }
        if (files.isEmpty()) {
            ++unscripted;
            return QString();
        }
        return files.takeFirst();
    }
    QString ChooseFolder(QWidget*, const QString& title) override {
        folderTitles.append(title);
        if (folders.isEmpty()) {
            ++unscripted;
            return QString();
        }
        return folders.takeFirst();
    }
    bool OpenUrl(const QString& address, QString& failure) override {
        openedUrls.append(address);
        if (!openUrlSucceeds) {
            failure = QStringLiteral("no handler for ") + address;
        }
        return openUrlSucceeds;
    }
};

}  // namespace tidelin::test
