// The main window and its four commands, driven through the real widgets with scripted
// dialogs and real files.
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QGroupBox>
#include <QLabel>
#include <QListView>
#include <QListWidget>
#include <QPushButton>
#include <QScrollBar>
#include <QSortFilterProxyModel>
#include <QTreeView>
#include <QRegularExpression>
#include <memory>

#include "filesystem.h"
#include "form1.h"
#include "gui_test_support.h"
#include "message_list.h"
#include "qt_dialogs.h"
#include "scripted_dialogs.h"

using tidelin::Dialogs;
using tidelin::Form1;
using tidelin::MessageList;
using namespace tidelin::test;

namespace {

const QString Completed = QString::fromUtf8("Операция завершена.");
const QString Protected =
    QString::fromUtf8("Error 75 Системные, скрытые и файлы только для чтения не перезаписываются.");

}  // namespace

class Form1Test : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<PrivateTemp> temp;
    std::unique_ptr<ScriptedDialogs> dialogs;
    std::unique_ptr<Form1> form;

    QPushButton* Button(int n) { return Find<QPushButton>(form.get(), qPrintable(QStringLiteral("Command%1").arg(n))); }
    MessageList* List() { return Find<MessageList>(form.get(), "List1"); }
    QStringList Entries() {
        QStringList entries;
        for (int i = 0; i < List()->count(); ++i) {
            entries << List()->item(i)->text();
        }
        return entries;
    }
    QString File(const QString& name, const QByteArray& content, QFile::Permissions permissions = {}) {
        const QString path = temp->Path(name);
        QDir().mkpath(QFileInfo(path).path());
        Write(path, content);
        if (permissions) {
            QFile::setPermissions(path, permissions);
        }
        return path;
    }

private slots:
    void init() {
        temp = std::make_unique<PrivateTemp>();
        dialogs = std::make_unique<ScriptedDialogs>();
        form = std::make_unique<Form1>(*dialogs);
        form->Load();
    }
    void cleanup() {
        QCOMPARE(dialogs->unscripted, 0);
        form.reset();
        dialogs.reset();
        temp.reset();
    }

    void windowAsLaidOut() {
        QCOMPARE(form->windowTitle(), QStringLiteral("Tidelin"));
        QCOMPARE(form->minimumSize(), form->maximumSize());  // a fixed size, holding every control
        QVERIFY(form->windowFlags() & Qt::WindowMinimizeButtonHint);
        QVERIFY(!(form->windowFlags() & Qt::WindowMaximizeButtonHint));
        QVERIFY(Find<QCheckBox>(form.get(), "Check1")->isChecked());
        QVERIFY(Find<QLabel>(form.get(), "DlgFilename")->isHidden());
        QCOMPARE(form->focusWidget(), List());

        const struct {
            const char* name;
            const char* caption;
        } controls[] = {
            {"Command1", "Конвертировать файл Windows в Unix"},
            {"Command3", "Конвертировать папку Windows в Unix"},
            {"Command2", "Конвертировать файл Unix в Windows"},
            {"Command4", "Конвертировать папку Unix в Windows"},
            {"Check1", "Не изменять бинарные файлы"},
            {"Frame1", "Сообщения:"},
            {"List1", ""},
            {"Label1", "Системные, скрытые и файлы только для чтения не перезаписываются."},
            {"Command5", "О программе"},
        };
        for (const auto& c : controls) {
            QWidget* w = Find<QWidget>(form.get(), c.name);
            QString caption;
            if (auto* b = qobject_cast<QAbstractButton*>(w)) {
                caption = b->text();
                QVERIFY2(!qobject_cast<QPushButton*>(w) || !static_cast<QPushButton*>(w)->isDefault(), c.name);
                QVERIFY2(w->width() >= w->sizeHint().width(), c.name);
            } else if (auto* g = qobject_cast<QGroupBox*>(w)) {
                caption = g->title();
            } else if (auto* l = qobject_cast<QLabel*>(w)) {
                caption = l->text();
                QVERIFY2(w->height() >= l->heightForWidth(w->width()), c.name);
            }
            QCOMPARE(caption, QString::fromUtf8(c.caption));
            QVERIFY2(!caption.contains(QLatin1Char('&')), c.name);
            QVERIFY2(w->parentWidget()->rect().contains(w->geometry()), c.name);
        }
        // The file commands on the left, the folder commands on the right, Windows to Unix
        // above; below them the check box, then the messages with the note and the About
        // button under the list.
        const auto at = [&](const char* name) { return Find<QWidget>(form.get(), name)->geometry(); };
        QCOMPARE(at("Command1").top(), at("Command3").top());
        QCOMPARE(at("Command2").top(), at("Command4").top());
        QCOMPARE(at("Command1").left(), at("Command2").left());
        QVERIFY(at("Command1").right() < at("Command3").left());
        QVERIFY(at("Command2").right() < at("Command4").left());
        QVERIFY(at("Command1").bottom() < at("Command2").top());
        QVERIFY(at("Command2").bottom() < at("Check1").top());
        QVERIFY(at("Check1").top() < at("Frame1").top());
        for (const char* inside : {"List1", "Label1", "Command5"}) {
            QCOMPARE(Find<QWidget>(form.get(), inside)->parentWidget(), Find<QGroupBox>(form.get(), "Frame1"));
        }
        QVERIFY(at("List1").bottom() < at("Label1").top());
        QVERIFY(at("List1").bottom() < at("Command5").top());
        QVERIFY(at("Label1").right() < at("Command5").left());
    }

    void tabOrder() {
        QStringList order;
        QWidget* w = List();
        do {
            if (w->focusPolicy() & Qt::TabFocus && w->isVisibleTo(form.get())) {
                order << w->objectName();
            }
            w = w->nextInFocusChain();
        } while (w != List());
        QCOMPARE(order, (QStringList{"List1", "Command5", "Command1", "Command2", "Command3", "Command4", "Check1"}));
    }

    void cancelledChoosersChangeNothing() {
        const QString path = File("a.txt", "a\r\n");
        form->Log().Append("old entry");
        const int extent = List()->HorizontalExtent();
        for (int n = 1; n <= 4; ++n) {
            QTest::mouseClick(Button(n), Qt::LeftButton);
        }
        dialogs->unscripted = 0;
        QCOMPARE(dialogs->fileDialogs.size(), 2);
        QCOMPARE(dialogs->folderTitles,
                 QStringList(2, QString::fromUtf8("Выберите папку, все файлы которой нужно сконвертировать")));
        QVERIFY(dialogs->messages.isEmpty());
        QVERIFY(dialogs->questions.isEmpty());
        QVERIFY(form->isEnabled());
        QCOMPARE(Find<QLabel>(form.get(), "DlgFilename")->text(), QString());
        QCOMPARE(Entries(), QStringList{"old entry"});
        QCOMPARE(List()->HorizontalExtent(), extent);
        QCOMPARE(form->Log().MaxEntryWidth(), 0);
        QCOMPARE(form->FolderPath(), QString());
        QCOMPARE(Read(path), QByteArray("a\r\n"));
    }

    void fileChooserIsSetUpForEachShowing() {
        QTest::mouseClick(Button(1), Qt::LeftButton);
        dialogs->unscripted = 0;
        const ShownFileDialog& shown = dialogs->fileDialogs.constFirst();
        QCOMPARE(shown.title, QString::fromUtf8("Выберите файл для конвертирования"));
        QCOMPARE(shown.folder, QDir::currentPath());
        QCOMPARE(shown.filterIndex, 0);
        QCOMPARE(shown.filters.size(), 2);
        QCOMPARE(shown.filters[0].display, QString::fromUtf8("Все файлы (*.*)"));
        QCOMPARE(shown.filters[0].patterns, QStringList{"*"});
        QCOMPARE(shown.filters[1].display,
                 QString::fromUtf8("Perl и PHP файлы (*.cgi;*.pl;*.pm;*.php;*.php3;*.php4;*.inc;*.phtml)"));
        QCOMPARE(shown.filters[1].patterns,
                 (QStringList{"*.cgi", "*.pl", "*.pm", "*.php", "*.php3", "*.php4", "*.inc", "*.phtml"}));
    }

    void missingFileIsReportedAndTheChooserShownAgain() {
        const QString existing = File(".hidden.pl", "x\r\n");
        dialogs->files = {temp->Path("missing.pl"), existing};
        dialogs->filterChoices = {1, 1};
        dialogs->answers = {Dialogs::Answer::No};
        QTest::mouseClick(Button(1), Qt::LeftButton);
        QCOMPARE(dialogs->fileDialogs.size(), 2);
        QCOMPARE(dialogs->fileDialogs[1].filterIndex, 1);  // the filter chosen before
        QCOMPARE(dialogs->messages.size(), 1);
        QCOMPARE(dialogs->messages[0].text, QString::fromUtf8("Не удаётся найти файл ") + temp->Path("missing.pl"));
        QCOMPARE(dialogs->messages[0].icon, Dialogs::Icon::Critical);
        // A hidden file is accepted: the confirmation names it.
        QCOMPARE(dialogs->questions.size(), 1);
        QVERIFY(dialogs->questions[0].text.contains(QLatin1Char('"') + existing + QLatin1Char('"')));
        QCOMPARE(Find<QLabel>(form.get(), "DlgFilename")->text(), existing);
    }

    void confirmationTextsForAllFourCommands() {
        const QString file = File("a.txt", "a\r\n");
        const QString folder = temp->Path("tree");
        QDir().mkpath(folder);
        dialogs->files = {file, file};
        dialogs->folders = {folder, folder};
        dialogs->answers = {Dialogs::Answer::No, Dialogs::Answer::No, Dialogs::Answer::No, Dialogs::Answer::No};
        for (int n = 1; n <= 4; ++n) {
            QTest::mouseClick(Button(n), Qt::LeftButton);
        }
        const QString fileText = QString::fromUtf8(
            "Внимание! В файле \"%1\" будут заменены все символы перехода строки %2 символами перехода строки %3.\r\n"
            "Перезаписать файл ?");
        const QString folderText = QString::fromUtf8(
            "Внимание! Во всех файлах, находящихся в папке \"%1\" и её вложенных папках будут заменены все символы "
            "перехода строки %2 символами перехода строки %3.\r\nПерезаписать все файлы ?");
        QCOMPARE(dialogs->questions.size(), 4);
        QCOMPARE(dialogs->questions[0].text, fileText.arg(file, "Windows", "Unix"));
        QCOMPARE(dialogs->questions[1].text, fileText.arg(file, "Unix", "Windows"));
        QCOMPARE(dialogs->questions[2].text, folderText.arg(folder, "Windows", "Unix"));
        QCOMPARE(dialogs->questions[3].text, folderText.arg(folder, "Unix", "Windows"));
        QVERIFY(dialogs->questions[0].yesIsDefault);
        QVERIFY(dialogs->questions[1].yesIsDefault);
        QVERIFY(!dialogs->questions[2].yesIsDefault);
        QVERIFY(!dialogs->questions[3].yesIsDefault);
        QVERIFY(dialogs->messages.isEmpty());
        QCOMPARE(Read(file), QByteArray("a\r\n"));
    }

    void answeringNoKeepsTheListAndItsRange() {
        const QString file = File("tree/a.txt", "a\r\n", QFile::ReadOwner);
        dialogs->folders = {temp->Path("tree"), temp->Path("tree")};
        dialogs->answers = {Dialogs::Answer::Yes, Dialogs::Answer::No};
        QTest::mouseClick(Button(3), Qt::LeftButton);
        const QStringList entries = Entries();
        QCOMPARE(entries.size(), 1);
        const int extent = List()->HorizontalExtent();
        QTest::mouseClick(Button(4), Qt::LeftButton);
        QCOMPARE(Entries(), entries);
        QCOMPARE(List()->HorizontalExtent(), extent);
        QCOMPARE(form->Log().MaxEntryWidth(), 0);  // the walk's record starts afresh
        QCOMPARE(dialogs->messages.size(), 1);  // the one completion of the first run
        QCOMPARE(Read(file), QByteArray("a\r\n"));
    }

    // The list scrolls sideways exactly over its widest entry, whichever command logged it:
    // the whole entry text in the list's pixels plus the margin, wherever the scroll bar
    // shows or not.
    void scrollRangeCoversTheWidestEntryOfEveryCommand() {
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
        const QString longName = QString(120, QLatin1Char('n')) + QStringLiteral(".bin");
        const QString binary = File(longName, QByteArray("\0", 1));
        const QString tree = temp->Path("tree");
        File("tree/" + longName, QByteArray("\0", 1));
        File("tree/short.txt", "s\r\n", QFile::ReadOwner);
        dialogs->files = {binary};
        dialogs->folders = {tree};
        dialogs->answers = {Dialogs::Answer::Yes, Dialogs::Answer::Yes};
        const auto widest = [&] {
            int pixels = 0;
            for (const QString& entry : Entries()) {
                pixels = qMax(pixels, List()->fontMetrics().horizontalAdvance(entry));
            }
            return pixels;
        };
        QScrollBar* bar = List()->horizontalScrollBar();
        for (int command : {1, 3}) {
            QTest::mouseClick(Button(command), Qt::LeftButton);
            QVERIFY(!Entries().isEmpty());
            QCOMPARE(List()->HorizontalExtent(), widest() + MessageList::TextMargin);
            QVERIFY(QTest::qWaitFor([&] {
                return bar->maximum() == List()->HorizontalExtent() - List()->viewport()->width();
            }, 2000));
            QVERIFY(bar->isVisible());
        }
        // The record the walk keeps is the path alone, in twips.
        QVERIFY(form->Log().MaxEntryWidth() > 0);

        // A shorter entry narrows the range again, to the scroll bar's end or to none at all
        // when it fits (how long it is depends on where the temporary folder lies).
        File("t/b", QByteArray("\0", 1));
        dialogs->folders = {temp->Path("t")};
        dialogs->answers = {Dialogs::Answer::Yes};
        QTest::mouseClick(Button(3), Qt::LeftButton);
        QCOMPARE(Entries().size(), 1);
        QCOMPARE(List()->HorizontalExtent(), widest() + MessageList::TextMargin);
        const int overflow = qMax(0, List()->HorizontalExtent() - List()->viewport()->width());
        QVERIFY(QTest::qWaitFor([&] { return bar->maximum() == overflow; }, 2000));
        QCOMPARE(bar->isVisible(), overflow > 0);
    }

    void yesConvertsAndReports() {
        const QString file = File("a.txt", "a\r\nb\r\n");
        dialogs->files = {file, file};
        dialogs->answers = {Dialogs::Answer::Yes, Dialogs::Answer::Yes};
        QTest::mouseClick(Button(1), Qt::LeftButton);
        QCOMPARE(Read(file), QByteArray("a\nb\n"));
        QTest::mouseClick(Button(2), Qt::LeftButton);
        QCOMPARE(Read(file), QByteArray("a\r\nb\r\n"));
        QCOMPARE(dialogs->messages.size(), 2);
        for (const ShownMessage& m : dialogs->messages) {
            QCOMPARE(m.text, Completed);
            QCOMPARE(m.icon, Dialogs::Icon::None);
            QCOMPARE(m.title, QString());
        }
        QVERIFY(form->isEnabled());
        QVERIFY(!QFile::exists(QString::fromStdString(form->GetEngine().WorkFile())));
    }

    void skippedBinaryFileShowsNoCompletion() {
        const QString file = File("a.bin", QByteArray("\0\r\n", 3));
        dialogs->files = {file};
        dialogs->answers = {Dialogs::Answer::Yes};
        QTest::mouseClick(Button(1), Qt::LeftButton);
        QVERIFY(dialogs->messages.isEmpty());
        QCOMPARE(Entries(), QStringList{QString::fromUtf8("!_  Бинарный файл: ") + file});
        QCOMPARE(Read(file), QByteArray("\0\r\n", 3));

        // Unticked, the same file is converted.
        Find<QCheckBox>(form.get(), "Check1")->setChecked(false);
        dialogs->files = {file};
        dialogs->answers = {Dialogs::Answer::Yes};
        QTest::mouseClick(Button(1), Qt::LeftButton);
        QCOMPARE(Read(file), QByteArray("\0\n", 2));
        QVERIFY(Entries().isEmpty());
    }

    void failureIsReportedOnceAndTheWindowWorksAgain() {
        const QString file = File("a.txt", "a\r\n", QFile::ReadOwner | QFile::ReadUser);
        dialogs->files = {file};
        dialogs->answers = {Dialogs::Answer::Yes};
        dialogs->onMessage = [&](const ShownMessage&) { QVERIFY(!form->isEnabled()); };
        QTest::mouseClick(Button(1), Qt::LeftButton);
        QCOMPARE(dialogs->messages.size(), 1);
        QCOMPARE(dialogs->messages[0].text, Protected);
        QCOMPARE(dialogs->messages[0].icon, Dialogs::Icon::Critical);
        QCOMPARE(Read(file), QByteArray("a\r\n"));
        QVERIFY(form->isEnabled());
        QVERIFY(!form->IsBusy());
        QVERIFY(QApplication::overrideCursor() == nullptr);
        QVERIFY(!form->GetEngine().Files().IsOpen(tidelin::OpenFileTable::Source));
        QVERIFY(!form->GetEngine().Files().IsOpen(tidelin::OpenFileTable::Work));

        // Every button still answers.
        dialogs->onMessage = nullptr;
        for (int n = 1; n <= 4; ++n) {
            QTest::mouseClick(Button(n), Qt::LeftButton);
        }
        QCOMPARE(dialogs->fileDialogs.size(), 3);
        QCOMPARE(dialogs->folderTitles.size(), 2);
        dialogs->unscripted = 0;
    }

    void windowIsBusyWhileTheEngineWorks() {
        const QString file = File("a.txt", QByteArray(300000, 'x') + "\r\n");
        dialogs->files = {file};
        dialogs->answers = {Dialogs::Answer::Yes};
        int probes = 0;
        form->SetYieldProbe([&] {
            ++probes;
            QVERIFY(!form->isEnabled());
            QVERIFY(!Button(5)->isEnabled());
            QVERIFY(QApplication::overrideCursor() != nullptr);
            QCOMPARE(QApplication::overrideCursor()->shape(), Qt::BusyCursor);
            // A close request while busy is ignored.
            QVERIFY(!form->close());
        });
        form->show();
        QTest::mouseClick(Button(1), Qt::LeftButton);
        QVERIFY(probes > 0);
        QVERIFY(form->isVisible());
        QCOMPARE(dialogs->questions.size(), 1);  // the confirmation; no offer to stop a file
        QCOMPARE(dialogs->messages.size(), 1);
        QCOMPARE(Read(file), QByteArray(300000, 'x') + "\n");
        QVERIFY(form->isEnabled());
        QVERIFY(QApplication::overrideCursor() == nullptr);
    }

    void listHoldsOnlyTheLastRun() {
        File("tree/a.bin", QByteArray("\0", 1));
        File("tree/sub/b.txt", "b\r\n", QFile::ReadOwner);
        File("tree/sub/c.txt", "c\r\n");
        const QString tree = temp->Path("tree");
        dialogs->folders = {tree, tree + QStringLiteral("/sub")};
        dialogs->answers = {Dialogs::Answer::Yes, Dialogs::Answer::Yes};
        QTest::mouseClick(Button(3), Qt::LeftButton);
        const QString error = QString::fromUtf8("!_ Ошибка 75 Системные, скрытые и файлы только для чтения не перезаписываются. - ");
        QCOMPARE(Entries(), (QStringList{QString::fromUtf8("!_  Бинарный файл: ") + tree + "/a.bin",
                                         error + tree + "/sub/b.txt"}));
        QCOMPARE(Read(tree + "/sub/c.txt"), QByteArray("c\n"));
        QTest::mouseClick(Button(4), Qt::LeftButton);
        QCOMPARE(Entries(), QStringList{error + tree + "/sub/b.txt"});
        QCOMPARE(Read(tree + "/sub/c.txt"), QByteArray("c\r\n"));
        // The walk ran both times: both report completion.
        QCOMPARE(dialogs->messages.size(), 2);
    }

    // During a walk the title counts the files done, and the close box offers to stop after
    // the file in hand: Да ends the walk with one entry naming the folder it was in, Нет goes
    // on. Either way the walk reports completion and the program keeps running.
    void closeDuringAWalkOffersToStopIt() {
        const struct {
            Dialogs::Answer answer;
            bool stops;
        } rows[] = {{Dialogs::Answer::Yes, true}, {Dialogs::Answer::No, false}};
        const QByteArray big = QByteArray(200000, 'x') + "\r\n";
        for (const auto& row : rows) {
            const QString tree = temp->Path(row.stops ? "stop" : "go");
            const QString a = File(tree.section('/', -1) + "/a.txt", big);
            const QString b = File(tree.section('/', -1) + "/b.txt", big);
            const QString c = File(tree.section('/', -1) + "/sub/c.txt", big);
            dialogs->folders = {tree};
            dialogs->answers = {Dialogs::Answer::Yes, row.answer};
            dialogs->questions.clear();
            dialogs->messages.clear();
            QStringList titles;
            form->SetYieldProbe([&] {
                titles << form->windowTitle();
                if (titles.size() == 1) {
                    QTest::qSleep(300);  // long enough for the next file's count to show
                    QVERIFY(!form->close());
                }
            });
            form->show();
            QTest::mouseClick(Button(3), Qt::LeftButton);
            form->SetYieldProbe(nullptr);

            QCOMPARE(dialogs->questions.size(), 2);
            QCOMPARE(dialogs->questions[1].text, QString::fromUtf8("Остановить после текущего файла?"));
            QVERIFY(!dialogs->questions[1].yesIsDefault);
            QCOMPARE(Read(a), QByteArray(200000, 'x') + "\n");  // the file in hand is finished
            QCOMPARE(Read(b) == big, row.stops);
            QCOMPARE(Read(c) == big, row.stops);
            QCOMPARE(Entries(), row.stops ? QStringList{QString::fromUtf8("!_  Остановлено пользователем: ") + tree}
                                          : QStringList{});
            if (!row.stops) {
                QVERIFY(titles.contains(QString::fromUtf8("Tidelin — файлов: 1")));
            }
            QCOMPARE(dialogs->messages.size(), 1);
            QCOMPARE(dialogs->messages[0].text, Completed);
            QCOMPARE(form->windowTitle(), QStringLiteral("Tidelin"));
            QVERIFY(form->isVisible());
            QVERIFY(form->isEnabled());
        }
    }

    void folderChosenThroughALinkIsWalkedWhereItLeads() {
        const QString file = File("real/a.txt", "a\r\n");
        QVERIFY(QFile::link(temp->Path("real"), temp->Path("link")));
        dialogs->folders = {temp->Path("link")};
        dialogs->answers = {Dialogs::Answer::Yes};
        QTest::mouseClick(Button(3), Qt::LeftButton);
        QCOMPARE(form->FolderPath(), QFileInfo(temp->Path("real")).canonicalFilePath());
        QCOMPARE(Read(file), QByteArray("a\n"));
    }

    void vanishedFolderRunsNoWalk() {
        const QString tree = temp->Path("gone");
        dialogs->folders = {tree};
        dialogs->answers = {Dialogs::Answer::Yes};
        form->Log().Append("old");
        QTest::mouseClick(Button(3), Qt::LeftButton);
        QVERIFY(Entries().isEmpty());
        QVERIFY(dialogs->messages.isEmpty());
        QVERIFY(form->isEnabled());
    }

    void closingTheIdleWindowRemovesItsOwnLeftOverWorkFile() {
        // Where unnamed files are not offered, a refused conversion leaves the named work file.
        const QString file = File("a.txt", "a\r\n", QFile::ReadOwner);
        dialogs->files = {file};
        dialogs->answers = {Dialogs::Answer::Yes};
        tidelin::fs::SetUnnamedFilesOffered(false);
        QTest::mouseClick(Button(1), Qt::LeftButton);
        tidelin::fs::SetUnnamedFilesOffered(true);
        QCOMPARE(dialogs->messages.size(), 1);
        const QString workFile = QString::fromStdString(form->GetEngine().WorkFile());
        QVERIFY(QFile::exists(workFile));
        form->show();
        QVERIFY(form->close());
        QVERIFY(!QFile::exists(workFile));
    }

    void chosenNamesAreUsedExactly() {
        // On Linux a name may end in a blank: the chosen file and folder, not their namesakes.
        const QString plain = File("notes.txt", "a\r\n");
        const QString blank = File("notes.txt ", "b\r\n");
        const QString plainInFolder = File("proj/c.txt", "c\r\n");
        const QString blankInFolder = File("proj /d.txt", "d\r\n");
        dialogs->files = {blank};
        dialogs->folders = {temp->Path("proj ")};
        dialogs->answers = {Dialogs::Answer::Yes, Dialogs::Answer::Yes};
        QTest::mouseClick(Button(1), Qt::LeftButton);
        QTest::mouseClick(Button(3), Qt::LeftButton);
        QCOMPARE(Find<QLabel>(form.get(), "DlgFilename")->text(), blank);
        QCOMPARE(form->FolderPath(), temp->Path("proj "));
        QCOMPARE(Read(blank), QByteArray("b\n"));
        QCOMPARE(Read(blankInFolder), QByteArray("d\n"));
        QCOMPARE(Read(plain), QByteArray("a\r\n"));
        QCOMPARE(Read(plainInFolder), QByteArray("c\r\n"));
        QCOMPARE(dialogs->messages.size(), 2);
    }

    void fileDialogFiltersMatchTheirPatterns() {
        for (const char* name : {"a.pm", "b.txt", "c.PHP", "noext", "d.phtml"}) {
            File(QStringLiteral("pick/") + name, "x");
        }
        const QList<tidelin::FileFilter> filters = {
            {QString::fromUtf8("Все файлы (*.*)"), {QStringLiteral("*")}},
            {QString::fromUtf8("Perl и PHP файлы (*.cgi;*.pl;*.pm;*.php;*.php3;*.php4;*.inc;*.phtml)"),
             {"*.cgi", "*.pl", "*.pm", "*.php", "*.php3", "*.php4", "*.inc", "*.phtml"}},
        };
        const auto visibleFiles = [&](int filterIndex) -> std::pair<QStringList, QStringList> {
            QFileDialog dialog;
            tidelin::QtDialogs::ConfigureFileDialog(dialog, QStringLiteral("t"), filters, filterIndex, temp->Path("pick"));
            dialog.show();
            auto* view = Find<QListView>(&dialog, "listView");
            QAbstractItemModel* model = view->model();
            // The folder is read in the background: wait until the names it must show are in
            // (the checks below report what was there if they never come).
            QStringList names;
            (void)QTest::qWaitFor([&] {
                names.clear();
                for (int row = 0; row < model->rowCount(view->rootIndex()); ++row) {
                    names << model->index(row, 0, view->rootIndex()).data().toString();
                }
                names.sort();
                return names.contains("a.pm") && names.contains("d.phtml") && (filterIndex == 1 || names.size() == 5);
            }, 10000);
            QComboBox* types = Find<QComboBox>(&dialog, "fileTypeCombo");
            QStringList shown;
            for (int i = 0; i < types->count(); ++i) {
                shown << types->itemText(i);
            }
            dialog.close();
            return std::make_pair(names, shown);
        };
        const auto [all, shown] = visibleFiles(0);
        QCOMPARE(all, (QStringList{"a.pm", "b.txt", "c.PHP", "d.phtml", "noext"}));
        QCOMPARE(shown, (QStringList{filters[0].display, filters[1].display}));
        const auto [scripts, shownAgain] = visibleFiles(1);
        QVERIFY(scripts.contains("a.pm"));
        QVERIFY(scripts.contains("d.phtml"));
        QVERIFY(!scripts.contains("b.txt"));
        QVERIFY(!scripts.contains("noext"));
    }

    // Under the C locale too, the choosers' columns speak Russian: sizes, type names, dates.
    void choosersSpeakRussianWhateverTheLanguage() {
        const QLocale before;
        QLocale::setDefault(QLocale::c());
        tidelin::QtDialogs::SpeakRussian();
        File("pick/a.txt", "hello");
        QDir().mkpath(temp->Path("pick/sub"));
        QFileDialog dialog;
        tidelin::QtDialogs::ConfigureFileDialog(dialog, QStringLiteral("t"), {{QStringLiteral("*"), {"*"}}}, 0,
                                                temp->Path("pick"));
        dialog.show();
        auto* view = Find<QTreeView>(&dialog, "treeView");
        QAbstractItemModel* model = view->model();
        const auto cell = [&](int row, int column) {
            return model->index(row, column, view->rootIndex()).data().toString();
        };
        QVERIFY(QTest::qWaitFor([&] {
            return model->rowCount(view->rootIndex()) == 2 && !cell(0, 3).isEmpty() && !cell(1, 3).isEmpty();
        }, 5000));
        const QRegularExpression latin(QStringLiteral("[A-Za-z]"));
        for (int row = 0; row < 2; ++row) {
            const bool folder = cell(row, 0) == QStringLiteral("sub");
            QCOMPARE(cell(row, 1), folder ? QString() : QString::fromUtf8("5 байт"));
            if (folder) {
                QCOMPARE(cell(row, 2), QString::fromUtf8("Папка"));
            }
            for (int column = 1; column <= 3; ++column) {
                QVERIFY2(!cell(row, column).contains(latin), qPrintable(cell(row, column)));
            }
        }
        dialog.close();
        QLocale::setDefault(before);
    }
};

QTEST_MAIN(Form1Test)
#include "form1_test.moc"
