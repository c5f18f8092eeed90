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
#include "twips.h"

namespace tidelin {

const char* const FrmAbout::Author = "© 2026 Команда Tidelin";
const char* const FrmAbout::Site = "https://www.tidelin.example/";

namespace {

QLabel* MakeLabel(QWidget* parent, const char* name, const QString& text, QRect at, const QColor& colour) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setGeometry(at);
    label->setTextFormat(Qt::PlainText);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, colour);
    label->setPalette(palette);
    return label;
}

}  // namespace

FrmAbout::FrmAbout(Dialogs& dialogs, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint |
                          Qt::WindowTitleHint | Qt::WindowCloseButtonHint),
      dialogs_(dialogs) {
    EnsureResources();
    setObjectName(QStringLiteral("frmAbout"));
    setModal(true);
    setFixedSize(5730 / 15, 3555 / 15);

    image1_ = MakeLabel(this, "Image1", QString(), Twips(120, 120, 855, 735), Qt::black);
    image1_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    lblTitle_ = MakeLabel(this, "lblTitle", QString(), Twips(1050, 240, 3885, 480), Qt::black);
    lblVersion_ = MakeLabel(this, "lblVersion", QString(), Twips(1050, 780, 3885, 225), Qt::black);
    lblDescription_ = MakeLabel(this, "lblDescription", QString(), Twips(1080, 1125, 3885, 1170), Qt::black);
    lblDescription_->setWordWrap(true);
    lblDescription_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    lblAuthor_ = MakeLabel(this, "lblAuthor", QString::fromUtf8(Author), Twips(240, 2640, 3495, 345), Qt::black);
    lblSite_ = MakeLabel(this, "lblSite", QString::fromUtf8(Site), Twips(120, 3120, 5535, 375), QColor(0, 0, 255));
    lblSite_->setCursor(QCursor(QPixmap(QStringLiteral(":/tidelin/hand.png")), 12, 1));
    lblSite_->installEventFilter(this);

    cmdOK_ = new QPushButton(QStringLiteral("OK"), this);
    cmdOK_->setObjectName(QStringLiteral("cmdOK"));
    cmdOK_->setGeometry(Twips(4320, 2640, 1260, 345));
    cmdOK_->setDefault(true);  // Enter closes; Escape closes as every dialog's cancel does
    connect(cmdOK_, &QPushButton::clicked, this, &QDialog::accept);

    for (QLabel* label : {image1_, lblTitle_, lblVersion_, lblDescription_, lblAuthor_, lblSite_}) {
        label->setFocusPolicy(Qt::NoFocus);
    }
    Load();
}

void FrmAbout::Load() {
    setWindowIcon(QIcon());  // the dialog itself shows no icon ...
    image1_->setPixmap(QPixmap(QStringLiteral(":/tidelin/icon.png")));  // ... Image1 shows it
    lblDescription_->setText(QString::fromUtf8(app::Description));
    setWindowTitle(QString::fromUtf8("О программе ") + QString::fromUtf8(app::Title));
    lblVersion_->setText(QString::fromUtf8("Версия %1.%2.%3")
                             .arg(app::VersionMajor)
                             .arg(app::VersionMinor)
                             .arg(app::VersionRevision));
    lblTitle_->setText(QString::fromUtf8(app::Title));
    cmdOK_->setFocus();
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
    // The etched separator: a grey line and, one pixel lower, a white line twice as wide.
    QPainter painter(this);
    painter.fillRect(QRect(QPoint(90 / 15, 2445 / 15), QPoint(5654 / 15, 2445 / 15)), QColor(128, 128, 128));
    painter.fillRect(QRect(QPoint(105 / 15, 2460 / 15), QPoint(5654 / 15, 2460 / 15 + 1)), QColor(255, 255, 255));
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
        dialogs_.Message(this, failure, Dialogs::Icon::Critical, QStringLiteral("Error"));
    }
}

}  // namespace tidelin
