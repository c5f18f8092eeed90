// The Qt main window's own wiring: its controls as laid out, its tab order, its buttons, check
// box, list and close box passed on to the main window's logic, and its dialogs, driven through
// the real widgets with scripted dialogs and real files. What the commands do is tested once,
// against the logic itself (tests/app).
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
#include <utility>

#include "tidelin/file_system.h"
#include "form1_window.h"
#include "layout.h"
#include "gui_test_support.h"
#include "message_list.h"
#include "qt_dialogs.h"
#include "scripted_dialogs.h"

using tidelin::Dialogs;
using tidelin::Form1Window;
using tidelin::MessageList;
using namespace tidelin::test;

namespace {

const QString Completed = QString::fromUtf8("Операция завершена.");

}  // namespace

class Form1Test : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<PrivateTemp> temp;
    std::unique_ptr<ScriptedDialogs> dialogs;
    std::unique_ptr<Form1Window> form;

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
        form = std::make_unique<Form1Window>(*dialogs);
        form->Logic().Load();
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
        QVERIFY(form->Logic().MaxEntryWidth() > 0);

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
        QVERIFY(!QFile::exists(QString::fromStdString(form->Logic().GetEngine().WorkFile())));
    }

    void check1SetsWhetherBinaryFilesAreSkipped() {
        const QString binary = File("data.bin", QByteArray("a\0\r\n", 4));
        dialogs->files = {binary, binary};
        dialogs->answers = {Dialogs::Answer::Yes, Dialogs::Answer::Yes};
        QTest::mouseClick(Button(1), Qt::LeftButton);
        QCOMPARE(Entries(), QStringList{QString::fromUtf8("!_  Бинарный файл: ") + binary});
        Find<QCheckBox>(form.get(), "Check1")->click();
        QTest::mouseClick(Button(1), Qt::LeftButton);
        QCOMPARE(Read(binary), QByteArray("a\0\n", 3));
        QVERIFY(Entries().isEmpty());
    }

    void windowIsBusyWhileTheEngineWorks() {
        const QString file = File("a.txt", QByteArray(300000, 'x') + "\r\n");
        dialogs->files = {file};
        dialogs->answers = {Dialogs::Answer::Yes};
        int probes = 0;
        form->SetEventsProbe([&] {
            ++probes;
            QVERIFY(!form->isEnabled());
            QVERIFY(!Button(5)->isEnabled());
            QVERIFY(QApplication::overrideCursor() != nullptr);
            QCOMPARE(QApplication::overrideCursor()->shape(), Qt::BusyCursor);
            // A close request while busy is ignored.
            QVERIFY(!form->close());
        });
        form->show();
        QTest::qWait(2 * tidelin::app::Form1::YieldInterval.count());  // events are due at the first chunk
        QTest::mouseClick(Button(1), Qt::LeftButton);
        QVERIFY(probes > 0);
        QVERIFY(form->isVisible());
        QCOMPARE(dialogs->questions.size(), 1);  // the confirmation; no offer to stop a file
        QCOMPARE(dialogs->messages.size(), 1);
        QCOMPARE(Read(file), QByteArray(300000, 'x') + "\n");
        QVERIFY(form->isEnabled());
        QVERIFY(QApplication::overrideCursor() == nullptr);
    }

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
            const auto recording = connect(form.get(), &QWidget::windowTitleChanged,
                                           [&](const QString& title) { titles << title; });
            bool first = true;
            form->SetEventsProbe([&] {
                if (std::exchange(first, false)) {
                    QTest::qSleep(300);  // long enough for the next file's count to show
                    QVERIFY(!form->close());
                }
            });
            form->show();
            QTest::qWait(2 * tidelin::app::Form1::YieldInterval.count());  // events are due in the first file
            QTest::mouseClick(Button(3), Qt::LeftButton);
            form->SetEventsProbe(nullptr);

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
            disconnect(recording);
            QCOMPARE(dialogs->messages.size(), 1);
            QCOMPARE(dialogs->messages[0].text, Completed);
            QCOMPARE(form->windowTitle(), QStringLiteral("Tidelin"));
            QVERIFY(form->isVisible());
            QVERIFY(form->isEnabled());
        }
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
