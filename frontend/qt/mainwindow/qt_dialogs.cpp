#include "qt_dialogs.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFileDialog>
#include <QLibraryInfo>
#include <QLocale>
#include <QMessageBox>
#include <QTranslator>
#include <QUrl>

#include "app_info.h"
#include "russian_file_columns.h"
#include "texts.h"

namespace tidelin {

namespace {

QString TitleOr(const QString& title) {
    return title.isEmpty() ? QString::fromUtf8(app::Title) : title;
}

// Message texts keep the CR LF of their wording; a label breaks the line at LF alone.
QString ForDisplay(QString text) { return text.replace(QStringLiteral("\r\n"), QStringLiteral("\n")); }

// Qt reads a filter's patterns from its last parentheses, split at blanks, and with the
// details hidden shows what stands before them: so each filter is shown with its own text
// ("*.cgi;*.pl;…") while it matches its patterns one by one.
QStringList QtFilterNames(const QList<FileFilter>& filters) {
    QStringList names;
    for (const FileFilter& filter : filters) {
        names << filter.display + QStringLiteral(" (") + filter.patterns.join(QLatin1Char(' ')) +
                     QLatin1Char(')');
    }
    return names;
}

}  // namespace

void QtDialogs::Message(QWidget* parent, const QString& text, Icon icon, const QString& title) {
    QMessageBox box(icon == Icon::Critical  ? QMessageBox::Critical
                    : icon == Icon::Warning ? QMessageBox::Warning
                                            : QMessageBox::NoIcon,
                    TitleOr(title), ForDisplay(text), QMessageBox::Ok, parent);
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

Dialogs::Answer QtDialogs::AskYesNo(QWidget* parent, const QString& text, bool yesIsDefault) {
    QMessageBox box(QMessageBox::Warning, TitleOr(QString()), ForDisplay(text),
                    QMessageBox::Yes | QMessageBox::No, parent);
    box.setTextFormat(Qt::PlainText);
    box.setDefaultButton(yesIsDefault ? QMessageBox::Yes : QMessageBox::No);
    box.setEscapeButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes ? Answer::Yes : Answer::No;
}

void QtDialogs::ConfigureFileDialog(QFileDialog& dialog, const QString& title,
                                    const QList<FileFilter>& filters, int filterIndex,
                                    const QString& folder) {
    dialog.setWindowTitle(title);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    // A typed name of a file that does not exist is accepted; the caller reports it.
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFilter(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System);
    dialog.setOption(QFileDialog::HideNameFilterDetails);
    const QStringList names = QtFilterNames(filters);
    dialog.setNameFilters(names);
    if (filterIndex >= 0 && filterIndex < names.size()) {
        dialog.selectNameFilter(names.at(filterIndex));
    }
    dialog.setDirectory(folder);
    RussianFileColumns::Apply(dialog);
}

QString QtDialogs::ChooseFile(QWidget* parent, const QString& title, const QList<FileFilter>& filters,
                              int& filterIndex, const QString& folder) {
    QFileDialog dialog(parent);
    ConfigureFileDialog(dialog, title, filters, filterIndex, folder);
    const bool accepted = dialog.exec() == QDialog::Accepted;
    const int chosen = static_cast<int>(QtFilterNames(filters).indexOf(dialog.selectedNameFilter()));
    if (chosen >= 0) {
        filterIndex = chosen;
    }
    if (!accepted || dialog.selectedFiles().isEmpty()) {
        return QString();
    }
    return dialog.selectedFiles().constFirst();
}

QString QtDialogs::ChooseFolder(QWidget* parent, const QString& title) {
    QFileDialog dialog(parent, title);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly);
    RussianFileColumns::Apply(dialog);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return QString();
    }
    return dialog.selectedFiles().constFirst();
}

void QtDialogs::SpeakRussian() {
    const QLocale russian(QLocale::Russian, QLocale::Russia);
    QLocale::setDefault(russian);
    static QTranslator qtTranslator;
    if (qtTranslator.isEmpty() &&
        qtTranslator.load(russian, QStringLiteral("qtbase"), QStringLiteral("_"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        QApplication::installTranslator(&qtTranslator);
    }
}

bool QtDialogs::OpenUrl(const QString& address, QString& failure) {
    const QUrl url(address, QUrl::StrictMode);
    if (!url.isValid() || url.scheme().isEmpty()) {
        failure = QString::fromUtf8(app::text::CannotOpenSite) + address;
        return false;
    }
    // The desktop finding no program for the address is no failure: nothing is shown.
    QDesktopServices::openUrl(url);
    return true;
}

}  // namespace tidelin
