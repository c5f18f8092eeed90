// The real dialogs, drawn by Qt.
#pragma once

#include "dialogs.h"

class QFileDialog;

namespace tidelin {

class QtDialogs : public Dialogs {
public:
    void Message(QWidget* parent, const QString& text, Icon icon, const QString& title) override;
    Answer AskYesNo(QWidget* parent, const QString& text, bool yesIsDefault) override;
    QString ChooseFile(QWidget* parent, const QString& title, const QList<FileFilter>& filters,
                       int& filterIndex, const QString& folder) override;
    QString ChooseFolder(QWidget* parent, const QString& title) override;
    bool OpenUrl(const QString& address, QString& failure) override;

    // Every text of the dialogs in Russian whatever the system's language: Qt's own texts
    // through its Russian translation, file-type names and numbers through the default
    // language. Called once, after the application object exists.
    static void SpeakRussian();

    // Sets up a file-open dialog: the caller's title and folder, and the filters shown with
    // their own text while matching their patterns. Shared with the tests.
    static void ConfigureFileDialog(QFileDialog& dialog, const QString& title,
                                    const QList<FileFilter>& filters, int filterIndex,
                                    const QString& folder);
};

}  // namespace tidelin
