// The file and folder choosers of the main window.
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "dialogs.h"
#include "filesystem.h"
#include "form1.h"

namespace tidelin {

QString Form1::ShowOpenFile(const QString& title, const QString& filterDescription,
                            const QString& filterPattern) {
    const QList<FileFilter> filters = {
        {QString::fromUtf8("Все файлы (*.*)"), {QStringLiteral("*")}},
        {filterDescription + QStringLiteral(" (") + filterPattern + QLatin1Char(')'),
         filterPattern.split(QLatin1Char(';'), Qt::SkipEmptyParts)},
    };
    int filterIndex = 0;  // the dialog opens on all files; a repeated showing keeps the choice
    for (;;) {
        const QString name = dialogs_.ChooseFile(this, title, filters, filterIndex, QDir::currentPath());
        if (name.isEmpty()) {
            return QString();
        }
        // Any file counts, hidden and system ones included; a folder does not.
        const std::string path = QFile::encodeName(name).toStdString();
        if (fs::EntryExists(path) && !fs::QueryPath(path).IsDirectory()) {
            return name;  // exactly as chosen: a name may end in a blank
        }
        dialogs_.Message(this, QString::fromUtf8("Не удаётся найти файл ") + name, Dialogs::Icon::Critical);
    }
}

QString Form1::BrowseForFolder(const QString& title) {
    QString chosen = dialogs_.ChooseFolder(this, title);
    // The walk never follows links; a folder the user chose through one is walked where the
    // link leads, since that is the folder the user meant.
    const QFileInfo info(chosen);
    if (info.isSymLink() && info.isDir()) {
        chosen = info.canonicalFilePath();
    }
    if (!chosen.isEmpty()) {
        folderPath_ = chosen;
    }
    return folderPath_;
}

}  // namespace tidelin
