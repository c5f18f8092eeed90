#include "form1_window.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QFile>
#include <QFontMetrics>
#include <QGroupBox>
#include <QIcon>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <cmath>

#include "app_info.h"
#include "dialogs.h"
#include "frm_about.h"
#include "layout.h"
#include "message_list.h"
#include "resources.h"
#include "twips.h"

namespace tidelin {

namespace {

// The program's icon in both of its sizes, so that the title bar and the task bar each get
// an image drawn for them rather than one scaled down.
QIcon ProgramIcon() {
    QIcon icon;
    icon.addFile(QStringLiteral(":/tidelin/icon.png"), QSize(32, 32));
    icon.addFile(QStringLiteral(":/tidelin/icon16.png"), QSize(16, 16));
    return icon;
}

QString FromUtf8(const std::string& text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

std::string ToUtf8(const QString& text) { return text.toUtf8().toStdString(); }

}  // namespace

Form1Window::Form1Window(Dialogs& dialogs, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                          Qt::WindowCloseButtonHint),
      dialogs_(dialogs),
      form_(*this) {
    EnsureResources();
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QString::fromUtf8(app::Title));
    setWindowIcon(ProgramIcon());
    const app::WindowLayout& layout = app::Form1Layout;
    setFixedSize(layout.clientWidth / TwipsPerPixel, layout.clientHeight / TwipsPerPixel);

    const QHash<QString, QWidget*> controls = BuildControls(this, layout);
    list1_ = static_cast<MessageList*>(controls.value(QStringLiteral("List1")));
    auto* check1 = static_cast<QCheckBox*>(controls.value(QStringLiteral("Check1")));
    check1->setChecked(form_.SkipBinary());
    connect(check1, &QCheckBox::toggled, this, [this](bool on) { form_.SetSkipBinary(on); });
    for (auto it = controls.begin(); it != controls.end(); ++it) {
        auto* button = qobject_cast<QPushButton*>(it.value());
        if (button == nullptr) {
            continue;
        }
        if (const auto command = app::CommandOf(ToUtf8(it.key()))) {
            connect(button, &QPushButton::clicked, this, [this, command] { form_.Click(*command); });
        } else {
            connect(button, &QPushButton::clicked, this, &Form1Window::ShowAbout);
        }
    }
    FitCaptions(controls);
    list1_->setFocus();
}

Form1Window::~Form1Window() = default;

// With a font wider than the one the layout was drawn for, a control grows to show its whole
// caption instead of cutting it.
void Form1Window::FitCaptions(const QHash<QString, QWidget*>& controls) {
    for (QWidget* control : controls) {
        if (auto* label = qobject_cast<QLabel*>(control)) {
            const int height = label->heightForWidth(label->width());
            if (label->isVisibleTo(this) && height > label->height()) {
                label->resize(label->width(), height);
            }
        } else if (qobject_cast<QPushButton*>(control) != nullptr || qobject_cast<QCheckBox*>(control) != nullptr) {
            const QSize wanted = control->sizeHint();
            control->resize(qMax(wanted.width(), control->width()), qMax(wanted.height(), control->height()));
        }
    }
}

void Form1Window::ShowAbout() {
    // Loaded anew at every opening; the main window takes no input while it is open.
    FrmAbout about(dialogs_, this);
    about.exec();
}

Form1Window::Answer Form1Window::ShowMessage(const std::string& text, Icon icon, Buttons buttons,
                                             bool yesIsDefault) {
    if (buttons == Buttons::YesNo) {
        return dialogs_.AskYesNo(this, FromUtf8(text), yesIsDefault) == Dialogs::Answer::Yes ? Answer::Yes
                                                                                            : Answer::No;
    }
    const Dialogs::Icon shown = icon == Icon::Critical  ? Dialogs::Icon::Critical
                                : icon == Icon::Warning ? Dialogs::Icon::Warning
                                                        : Dialogs::Icon::None;
    dialogs_.Message(this, FromUtf8(text), shown);
    return Answer::Ok;
}

std::string Form1Window::ChooseFile(const std::string& title, const std::vector<app::FileFilter>& filters,
                                    int& filterIndex, const std::string& folder) {
    QList<FileFilter> shown;
    for (const app::FileFilter& filter : filters) {
        QStringList patterns = FromUtf8(filter.pattern).split(QLatin1Char(';'), Qt::SkipEmptyParts);
        // "*.*" stands for every name; on Linux a name need not hold a dot.
        patterns.replaceInStrings(QRegularExpression(QStringLiteral("^\\*\\.\\*$")), QStringLiteral("*"));
        shown.append({FromUtf8(filter.display), patterns});
    }
    return QFile::encodeName(dialogs_.ChooseFile(this, FromUtf8(title), shown, filterIndex,
                                                 QFile::decodeName(folder.c_str())))
        .toStdString();
}

std::string Form1Window::ChooseFolder(const std::string& title) {
    return QFile::encodeName(dialogs_.ChooseFolder(this, FromUtf8(title))).toStdString();
}

void Form1Window::SetBusy(bool busy) {
    setEnabled(!busy);
    if (busy && !busyPointer_) {
        QApplication::setOverrideCursor(Qt::BusyCursor);
    } else if (!busy && busyPointer_) {
        QApplication::restoreOverrideCursor();
    }
    busyPointer_ = busy;
}

void Form1Window::SetTitle(const std::string& title) { setWindowTitle(FromUtf8(title)); }

float Form1Window::MeasureTwips(const std::string& text) {
    const QFontMetrics metrics(font(), this);
    return static_cast<float>(app::TwipsFromPixels(metrics.horizontalAdvance(FromUtf8(text)), logicalDpiX()));
}

void Form1Window::ProcessEvents() {
    if (eventsProbe_) {
        eventsProbe_();
    }
    QCoreApplication::processEvents();
}

void Form1Window::AppendEntry(const std::string& entry) { list1_->addItem(FromUtf8(entry)); }

void Form1Window::ClearEntries() { list1_->clear(); }

void Form1Window::SetListRange(float widestEntryTwips) {
    // The twips came from this window's own measure in whole pixels, so they turn back into them.
    list1_->SetWidestText(static_cast<int>(std::lround(app::PixelsFromTwips(widestEntryTwips, logicalDpiX()))));
}

void Form1Window::closeEvent(QCloseEvent* event) {
    if (form_.QueryClose()) {
        event->accept();
    } else {
        event->ignore();
    }
}

}  // namespace tidelin
