#include "form1.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QFontMetricsF>
#include <QGroupBox>
#include <QIcon>
#include <QLabel>
#include <QPushButton>

#include "app_info.h"
#include "dialogs.h"
#include "resources.h"
#include "twips.h"
#include "frm_about.h"
#include "message_list.h"

namespace tidelin {

namespace {

// Events are processed at most this often while the engine works.
constexpr qint64 YieldIntervalMs = 8;
// The title shows a walk's progress at most this often.
constexpr qint64 TitleIntervalMs = 250;

// The program's icon in both of its sizes, so that the title bar and the task bar each get
// an image drawn for them rather than one scaled down.
QIcon ProgramIcon() {
    QIcon icon;
    icon.addFile(QStringLiteral(":/tidelin/icon.png"), QSize(32, 32));
    icon.addFile(QStringLiteral(":/tidelin/icon16.png"), QSize(16, 16));
    return icon;
}

}  // namespace

Form1::Form1(Dialogs& dialogs, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                          Qt::WindowCloseButtonHint),
      dialogs_(dialogs),
      engine_(*this, log_) {
    EnsureResources();
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QString::fromUtf8(app::Title));
    setWindowIcon(ProgramIcon());
    BuildLayout();
    log_.SetObserver(list1_);
    sinceEvents_.start();
    sinceTitle_.start();
}

Form1::~Form1() { log_.SetObserver(nullptr); }

void Form1::BuildLayout() {
    setFixedSize(7935 / 15, 3930 / 15);

    const auto button = [this](QWidget* parent, const char* name, const char* caption, QRect at) {
        auto* b = new QPushButton(QString::fromUtf8(caption), parent);
        b->setObjectName(QString::fromLatin1(name));
        b->setGeometry(at);
        b->setAutoDefault(true);  // Enter presses the focused button, and only that one
        return b;
    };
    command1_ = button(this, "Command1", "Конвертировать файл Windows в Unix", Twips(120, 120, 3735, 375));
    command3_ = button(this, "Command3", "Конвертировать папку Windows в Unix", Twips(4080, 120, 3735, 375));
    command2_ = button(this, "Command2", "Конвертировать файл Unix в Windows", Twips(120, 600, 3735, 375));
    command4_ = button(this, "Command4", "Конвертировать папку Unix в Windows", Twips(4080, 600, 3735, 375));

    check1_ = new QCheckBox(QString::fromUtf8("Не изменять бинарные файлы"), this);
    check1_->setObjectName(QStringLiteral("Check1"));
    check1_->setGeometry(Twips(2640, 1200, 3135, 255));
    check1_->setChecked(true);

    frame1_ = new QGroupBox(QString::fromUtf8("Сообщения:"), this);
    frame1_->setObjectName(QStringLiteral("Frame1"));
    frame1_->setGeometry(Twips(120, 1440, 7695, 2295));
    frame1_->setFocusPolicy(Qt::NoFocus);

    list1_ = new MessageList(frame1_);
    list1_->setObjectName(QStringLiteral("List1"));
    list1_->setGeometry(Twips(120, 240, 7455, 1425));

    label1_ = new QLabel(
        QString::fromUtf8("Системные, скрытые и файлы только для чтения не перезаписываются."), frame1_);
    label1_->setObjectName(QStringLiteral("Label1"));
    label1_->setGeometry(Twips(120, 1800, 5655, 375));
    label1_->setWordWrap(true);
    label1_->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    command5_ = button(frame1_, "Command5", "О программе", Twips(6120, 1800, 1335, 375));

    dlgFilename_ = new QLabel(QStringLiteral("DlgFilename"), this);
    dlgFilename_->setObjectName(QStringLiteral("DlgFilename"));
    dlgFilename_->setGeometry(Twips(7440, 360, 975, 255));
    dlgFilename_->hide();

    setTabOrder(list1_, command5_);
    setTabOrder(command5_, command1_);
    setTabOrder(command1_, command2_);
    setTabOrder(command2_, command3_);
    setTabOrder(command3_, command4_);
    setTabOrder(command4_, check1_);
    list1_->setFocus();

    FitCaptions();

    const auto* windows = "Windows";
    const auto* unix = "Unix";
    connect(command1_, &QPushButton::clicked, this, [=, this] { ConvertFileCommand(windows, unix); });
    connect(command2_, &QPushButton::clicked, this, [=, this] { ConvertFileCommand(unix, windows); });
    connect(command3_, &QPushButton::clicked, this, [=, this] { ConvertFolderCommand(windows, unix); });
    connect(command4_, &QPushButton::clicked, this, [=, this] { ConvertFolderCommand(unix, windows); });
    connect(command5_, &QPushButton::clicked, this, &Form1::ShowAbout);
}

// With a font wider than the one the layout was drawn for, a control grows to show its whole
// caption instead of cutting it.
void Form1::FitCaptions() {
    for (QWidget* control : std::initializer_list<QWidget*>{command1_, command2_, command3_, command4_,
                                                            command5_, check1_}) {
        const QSize wanted = control->sizeHint();
        if (wanted.width() > control->width() || wanted.height() > control->height()) {
            control->resize(qMax(wanted.width(), control->width()), qMax(wanted.height(), control->height()));
        }
    }
    const int labelHeight = label1_->heightForWidth(label1_->width());
    if (labelHeight > label1_->height()) {
        label1_->resize(label1_->width(), labelHeight);
    }
}

void Form1::ShowAbout() {
    // Loaded anew at every opening; the main window takes no input while it is open.
    FrmAbout about(dialogs_, this);
    about.exec();
}

void Form1::Load() { engine_.ChooseWorkFile(); }

bool Form1::SkipBinary() { return check1_->isChecked(); }

float Form1::MeasureTwips(const std::string& text) {
    const QFontMetricsF metrics(font(), this);
    const qreal pixels = metrics.horizontalAdvance(QString::fromStdString(text));
    return static_cast<float>(pixels * 1440.0 / logicalDpiX());
}

void Form1::Yield() {
    if (yieldProbe_) {
        yieldProbe_();
    }
    if (sinceEvents_.elapsed() >= YieldIntervalMs) {
        QCoreApplication::processEvents();
        sinceEvents_.restart();
    }
}

void Form1::FileDone() {
    ++filesDone_;
    if (sinceTitle_.elapsed() >= TitleIntervalMs) {
        setWindowTitle(QString::fromUtf8(app::Title) + QString::fromUtf8(" — файлов: ") +
                       QString::number(filesDone_));
        sinceTitle_.restart();
    }
}

bool Form1::StopRequested() { return stopRequested_; }

void Form1::WalkWithProgress(const std::function<void()>& walk) {
    walking_ = true;
    filesDone_ = 0;
    stopRequested_ = false;
    sinceTitle_.start();
    struct Restore {
        Form1* form;
        ~Restore() {
            form->walking_ = false;
            form->setWindowTitle(QString::fromUtf8(app::Title));
        }
    } restore{this};
    walk();
}

void Form1::EnterBusy() {
    setEnabled(false);
    if (!busy_) {
        QApplication::setOverrideCursor(Qt::BusyCursor);
    }
    busy_ = true;
}

void Form1::LeaveBusy() {
    setEnabled(true);
    if (busy_) {
        QApplication::restoreOverrideCursor();
    }
    busy_ = false;
}

void Form1::closeEvent(QCloseEvent* event) {
    // A command runs to its end: closing now would cut a conversion off mid-file. A folder
    // walk can be stopped, though, after the file in hand.
    if (busy_) {
        event->ignore();
        if (walking_ && !stopRequested_ && !askingToStop_) {
            askingToStop_ = true;
            stopRequested_ = dialogs_.AskYesNo(this, QString::fromUtf8(StopQuestion), false) ==
                             Dialogs::Answer::Yes;
            askingToStop_ = false;
        }
        return;
    }
    engine_.Unload();
    event->accept();
}

}  // namespace tidelin
