// The four conversion commands of the main window.
#include <QFile>
#include <QLabel>

#include "dialogs.h"
#include "errors.h"
#include "filesystem.h"
#include "folder_walk.h"
#include "form1.h"

namespace tidelin {

const char* const Form1::ConvertFileTitle = "Выберите файл для конвертирования";
const char* const Form1::ConvertFolderTitle = "Выберите папку, все файлы которой нужно сконвертировать";
const char* const Form1::Completed = "Операция завершена.";
const char* const Form1::StopQuestion = "Остановить после текущего файла?";

namespace {

const char* const PerlPhpDescription = "Perl и PHP файлы";
const char* const PerlPhpPattern = "*.cgi;*.pl;*.pm;*.php;*.php3;*.php4;*.inc;*.phtml";

constexpr int OutOfMemory = 7;
const char* const OutOfMemoryText = "Недостаточно памяти.";

std::string ToPath(const QString& path) { return QFile::encodeName(path).toStdString(); }

}  // namespace

void Form1::ConvertFileCommand(const QString& sourceKeyword, const QString& targetKeyword) {
    ReportingFailures([&] {
        dlgFilename_->setText(ShowOpenFile(QString::fromUtf8(ConvertFileTitle),
                                           QString::fromUtf8(PerlPhpDescription),
                                           QString::fromUtf8(PerlPhpPattern)));
        if (dlgFilename_->text().isEmpty()) {
            return;
        }
        EnterBusy();
        if (ConfirmFileConversion(sourceKeyword, targetKeyword)) {
            dialogs_.Message(this, QString::fromUtf8(Completed), Dialogs::Icon::None);
        }
    });
    LeaveBusy();  // whether or not the busy state had been entered
}

void Form1::ConvertFolderCommand(const QString& sourceKeyword, const QString& targetKeyword) {
    folderPath_.clear();
    log_.ResetMaxEntryWidth();
    BrowseForFolder(QString::fromUtf8(ConvertFolderTitle));
    if (folderPath_.isEmpty()) {
        return;
    }
    EnterBusy();
    // The walk logs its own failures; anything that fails around it (the probe of the
    // folder, for example) is reported like a single-file failure.
    ReportingFailures([&] {
        if (ConfirmFolderConversion(folderPath_, sourceKeyword, targetKeyword)) {
            dialogs_.Message(this, QString::fromUtf8(Completed), Dialogs::Icon::None);
        }
    });
    LeaveBusy();
}

void Form1::ReportingFailures(const std::function<void()>& work) {
    const auto report = [this](int number, const QString& description) {
        engine_.CloseAllFiles();
        dialogs_.Message(this, ErrorText(number, description), Dialogs::Icon::Critical);
    };
    try {
        work();
    } catch (const EngineError& error) {
        report(error.Number(), QString::fromStdString(error.Description()));
    } catch (const std::bad_alloc&) {
        report(OutOfMemory, QString::fromUtf8(OutOfMemoryText));
    }
}

bool Form1::ConfirmFileConversion(const QString& sourceKeyword, const QString& targetKeyword) {
    const QString text = QString::fromUtf8("Внимание! В файле \"") + dlgFilename_->text() +
                         QString::fromUtf8("\" будут заменены все символы перехода строки ") +
                         sourceKeyword + QString::fromUtf8(" символами перехода строки ") + targetKeyword +
                         QStringLiteral(".\r\n") + QString::fromUtf8("Перезаписать файл ?");
    if (dialogs_.AskYesNo(this, text, true) == Dialogs::Answer::No) {
        return false;
    }
    log_.Clear();
    const std::string path = ToPath(dlgFilename_->text());
    if (sourceKeyword == QLatin1String("Windows")) {
        return engine_.ConvertWinToUnix(path);
    }
    if (sourceKeyword == QLatin1String("Unix")) {
        return engine_.ConvertUnixToWin(path);
    }
    return false;
}

bool Form1::ConfirmFolderConversion(const QString& folder, const QString& sourceKeyword,
                                    const QString& targetKeyword) {
    const QString text = QString::fromUtf8("Внимание! Во всех файлах, находящихся в папке \"") + folder +
                         QString::fromUtf8("\" и её вложенных папках будут заменены все символы перехода строки ") +
                         sourceKeyword + QString::fromUtf8(" символами перехода строки ") + targetKeyword +
                         QStringLiteral(".\r\n") + QString::fromUtf8("Перезаписать все файлы ?");
    if (dialogs_.AskYesNo(this, text, false) == Dialogs::Answer::No) {
        return false;
    }
    log_.Clear();
    const Direction direction = sourceKeyword == QLatin1String("Windows") ? Direction::WinToUnix : Direction::UnixToWin;
    const std::string path = ToPath(folder);
    if (!fs::EntryExists(path)) {
        return false;
    }
    WalkWithProgress([&] { ConvertFolderTree(engine_, path, direction); });
    return true;
}

}  // namespace tidelin
