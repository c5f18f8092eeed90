// Every modal interaction of the windows goes through this interface: the program shows real
// dialogs (QtDialogs), the tests script the answers.
#pragma once

#include <QString>
#include <QStringList>
#include <QList>

class QWidget;

namespace tidelin {

struct FileFilter {
    QString display;       // what the file dialog shows
    QStringList patterns;  // what it matches
};

class Dialogs {
public:
    enum class Icon { None, Warning, Critical };
    enum class Answer { Yes, No };

    virtual ~Dialogs() = default;

    // A box with an OK button. An empty title shows the application title.
    virtual void Message(QWidget* parent, const QString& text, Icon icon,
                         const QString& title = QString()) = 0;
    // A box with Yes and No and the warning icon; `yesIsDefault` chooses what Enter answers.
    virtual Answer AskYesNo(QWidget* parent, const QString& text, bool yesIsDefault) = 0;
    // The file-open dialog, opened in `folder`. `filterIndex` selects the filter shown first
    // and receives the one the user left selected. Returns the accepted name, empty on cancel.
    virtual QString ChooseFile(QWidget* parent, const QString& title, const QList<FileFilter>& filters,
                               int& filterIndex, const QString& folder) = 0;
    // The folder dialog. Returns the accepted folder's full path, empty on cancel.
    virtual QString ChooseFolder(QWidget* parent, const QString& title) = 0;
    // Hands an address to the desktop's default handler without waiting for it. Returns
    // false with a description when the address itself is unusable; a desktop with no
    // program for it is no failure.
    virtual bool OpenUrl(const QString& address, QString& failure) = 0;
};

}  // namespace tidelin
