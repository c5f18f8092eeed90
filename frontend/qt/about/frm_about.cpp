#include "frm_about.h"

#include <QEvent>
#include <QGuiApplication>
#include <QIcon>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QScreen>

#include "app_info.h"
#include "dialogs.h"
#include "resources.h"
#include "layout.h"
#include "texts.h"
#include "twips.h"

namespace tidelin {

FrmAbout::FrmAbout(Dialogs& dialogs, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint |
                          Qt::WindowTitleHint | Qt::WindowCloseButtonHint),
      dialogs_(dialogs) {
    EnsureResources();
    setObjectName(QStringLiteral("frmAbout"));
    setModal(true);
    const app::WindowLayout& layout = app::AboutLayout;
    setFixedSize(layout.clientWidth / TwipsPerPixel, layout.clientHeight / TwipsPerPixel);
    controls_ = BuildControls(this, layout);
    for (QWidget* control : controls_) {
        if (auto* label = qobject_cast<QLabel*>(control)) {
            QPalette palette = label->palette();
            palette.setColor(QPalette::WindowText, Qt::black);
            label->setPalette(palette);
        }
    }
    Label("lblTitle")->setWordWrap(false);
    Label("lblVersion")->setWordWrap(false);
    Label("lblAuthor")->setWordWrap(false);
    lblSite_ = Label("lblSite");
    lblSite_->setWordWrap(false);
    QPalette palette = lblSite_->palette();
    palette.setColor(QPalette::WindowText, QColor(0, 0, 255));
    lblSite_->setPalette(palette);
    lblSite_->setCursor(QCursor(QPixmap(QStringLiteral(":/tidelin/hand.png")), 12, 1));
    lblSite_->installEventFilter(this);

    auto* cmdOK = static_cast<QPushButton*>(controls_.value(QStringLiteral("cmdOK")));
    cmdOK->setAutoDefault(false);
    cmdOK->setDefault(true);  // Enter closes; Escape closes as every dialog's cancel does
    connect(cmdOK, &QPushButton::clicked, this, &QDialog::accept);
    Load();
}

QLabel* FrmAbout::Label(const char* name) const {
    return static_cast<QLabel*>(controls_.value(QString::fromLatin1(name)));
}

void FrmAbout::Load() {
    setWindowIcon(QIcon());  // the dialog itself shows no icon ...
    Label("Image1")->setPixmap(QPixmap(QStringLiteral(":/tidelin/icon.png")));  // ... Image1 shows it
    Label("lblDescription")->setText(QString::fromUtf8(app::Description));
    setWindowTitle(QString::fromStdString(app::text::AboutTitle()));
    Label("lblVersion")->setText(QString::fromStdString(app::text::VersionLine()));
    Label("lblTitle")->setText(QString::fromUtf8(app::Title));
    controls_.value(QStringLiteral("cmdOK"))->setFocus();
}

void FrmAbout::showEvent(QShowEvent* event) {
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        move(area.center() - QPoint(width() / 2, height() / 2));
    }
    QDialog::showEvent(event);
}

void FrmAbout::paintEvent(QPaintEvent* event) {
    QDialog::paintEvent(event);
    QPainter painter(this);
    for (const app::Line& line : app::AboutLayout.lines) {
        const QPoint from(line.x1 / TwipsPerPixel, line.y1 / TwipsPerPixel);
        const QPoint to(line.x2 / TwipsPerPixel, line.y2 / TwipsPerPixel + line.pixelsWide - 1);
        painter.fillRect(QRect(from, to), QColor(line.red, line.green, line.blue));
    }
}

bool FrmAbout::eventFilter(QObject* watched, QEvent* event) {
    if (watched == lblSite_ && event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        OpenSite();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

void FrmAbout::OpenSite() {
    QString failure;
    if (!dialogs_.OpenUrl(lblSite_->text(), failure)) {
        dialogs_.Message(this, failure, Dialogs::Icon::Critical, QString::fromUtf8(app::text::SiteFailureTitle));
    }
}

}  // namespace tidelin
