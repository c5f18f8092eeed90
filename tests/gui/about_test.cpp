// The About window: its texts, how it closes, and the link to the product web page.
#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <memory>

#include "form1_window.h"
#include "texts.h"
#include "frm_about.h"
#include "gui_test_support.h"
#include "qt_dialogs.h"
#include "scripted_dialogs.h"

using tidelin::Dialogs;
using tidelin::FrmAbout;
using namespace tidelin::test;

class AboutTest : public QObject {
    Q_OBJECT

private:
    ScriptedDialogs dialogs;

    // Opens the About window from the main window's button and runs `whileOpen` inside it.
    // Returns whether the window had closed by the time the button's click returned.
    bool WithAboutOpen(tidelin::Form1Window& form, const std::function<void(FrmAbout*)>& whileOpen) {
        bool ran = false;
        QTimer::singleShot(0, [&] {
            auto* about = qobject_cast<FrmAbout*>(QApplication::activeModalWidget());
            QVERIFY(about != nullptr);
            ran = true;
            whileOpen(about);
        });
        QTest::mouseClick(Find<QPushButton>(&form, "Command5"), Qt::LeftButton);
        return ran && QApplication::activeModalWidget() == nullptr;
    }

private slots:
    void texts() {
        FrmAbout about(dialogs, nullptr);
        QCOMPARE(about.windowTitle(), QString::fromUtf8("О программе Tidelin"));
        QCOMPARE(Find<QLabel>(&about, "lblTitle")->text(), QStringLiteral("Tidelin"));
        QCOMPARE(Find<QLabel>(&about, "lblVersion")->text(), QString::fromUtf8("Версия 1.1.29"));
        QCOMPARE(Find<QLabel>(&about, "lblDescription")->text(),
                 QString::fromUtf8("Программа для преобразования символов перехода строки Windows в символы "
                                   "перехода строки Unix-подобных  операционных систем и обратно."));
        QVERIFY(Find<QLabel>(&about, "lblDescription")->wordWrap());
        QCOMPARE(Find<QLabel>(&about, "lblSite")->text(), QString::fromUtf8(tidelin::app::text::Site));
        QCOMPARE(Find<QLabel>(&about, "lblSite")->palette().color(QPalette::WindowText), QColor(0, 0, 255));
        // The address shows the hand pointer, not the arrow.
        QCOMPARE(Find<QLabel>(&about, "lblSite")->cursor().shape(), Qt::BitmapCursor);
        QVERIFY(!Find<QLabel>(&about, "lblSite")->cursor().pixmap().isNull());
        // A fixed size that holds every text whole.
        QCOMPARE(about.minimumSize(), about.maximumSize());
        QVERIFY(!(about.windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint)));
        for (QWidget* child : about.findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
            QVERIFY2(about.rect().contains(child->geometry()), qPrintable(child->objectName()));
            if (auto* label = qobject_cast<QLabel*>(child); label != nullptr && !label->text().isEmpty()) {
                const bool fits = label->wordWrap() ? label->heightForWidth(label->width()) <= label->height()
                                                    : label->sizeHint().width() <= label->width();
                QVERIFY2(fits, qPrintable(label->objectName()));
            }
        }
        // No icon of its own, while Image1 shows the program's icon, unscaled.
        QVERIFY(about.windowIcon().isNull());
        const QPixmap image = Find<QLabel>(&about, "Image1")->pixmap();
        QCOMPARE(image.toImage().convertToFormat(QImage::Format_ARGB32),
                 QImage(QStringLiteral(":/tidelin/icon.png")).convertToFormat(QImage::Format_ARGB32));
        QVERIFY(Find<QPushButton>(&about, "cmdOK")->isDefault());
    }

    void enterEscapeAndOkClose() {
        PrivateTemp temp;
        tidelin::Form1Window form(dialogs);
        form.Logic().Load();
        form.show();
        const std::function<void(FrmAbout*)> closers[] = {
            [](FrmAbout* a) { QTest::keyClick(a, Qt::Key_Return); },
            [](FrmAbout* a) { QTest::keyClick(a, Qt::Key_Escape); },
            [](FrmAbout* a) { QTest::mouseClick(Find<QPushButton>(a, "cmdOK"), Qt::LeftButton); },
            [](FrmAbout* a) { a->close(); },
        };
        for (const auto& close : closers) {
            QVERIFY(WithAboutOpen(form, [&](FrmAbout* about) {
                // Freshly loaded every time, with the focus on OK; the main window is blocked.
                QCOMPARE(Find<QLabel>(about, "lblVersion")->text(), QString::fromUtf8("Версия 1.1.29"));
                QCOMPARE(about->focusWidget(), Find<QPushButton>(about, "cmdOK"));
                QVERIFY(about->isModal());
                QVERIFY(QApplication::activeModalWidget() == about);
                close(about);
            }));
        }
    }

    void addressOpensWhileTheWindowStaysOpen() {
        FrmAbout about(dialogs, nullptr);
        about.show();
        QLabel* site = Find<QLabel>(&about, "lblSite");
        QTest::mouseClick(site, Qt::LeftButton);
        QTest::mouseClick(site, Qt::LeftButton);
        QCOMPARE(dialogs.openedUrls, QStringList(2, QString::fromUtf8(tidelin::app::text::Site)));
        QVERIFY(about.isVisible());
        QVERIFY(dialogs.messages.isEmpty());

        dialogs.openUrlSucceeds = false;
        QTest::mouseClick(site, Qt::LeftButton);
        QCOMPARE(dialogs.messages.size(), 1);
        QCOMPARE(dialogs.messages[0].title, QStringLiteral("Error"));
        QCOMPARE(dialogs.messages[0].icon, Dialogs::Icon::Critical);
        QVERIFY(dialogs.messages[0].text.contains(QString::fromUtf8(tidelin::app::text::Site)));
        QVERIFY(about.isVisible());
    }

    // The real dialogs: a desktop with no program for the address is no failure (nothing is
    // shown); only an address that is no address is.
    void realOpenUrlFailsOnlyOnAnUnusableAddress() {
        const struct {
            const char* address;
            bool handedOver;
        } rows[] = {{tidelin::app::text::Site, true}, {"no address at all", false}, {"", false}};
        tidelin::QtDialogs real;
        for (const auto& row : rows) {
            QString failure;
            QCOMPARE(real.OpenUrl(QString::fromUtf8(row.address), failure), row.handedOver);
            QCOMPARE(failure.isEmpty(), row.handedOver);
        }
    }
};

QTEST_MAIN(AboutTest)
#include "about_test.moc"
