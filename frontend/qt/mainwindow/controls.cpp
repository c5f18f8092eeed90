// The controls of a window, made from the application layer's layout.
#include <QCheckBox>
#include <QGroupBox>
#include <QHash>
#include <QLabel>
#include <QPushButton>
#include <cstring>

#include "message_list.h"
#include "twips.h"

namespace tidelin {

namespace {

QWidget* Make(const app::Control& control, QWidget* parent) {
    const QString caption = QString::fromUtf8(control.caption);
    switch (control.kind) {
    case app::ControlKind::Button: {
        auto* button = new QPushButton(caption, parent);
        button->setAutoDefault(true);  // Enter presses the focused button, and only that one
        return button;
    }
    case app::ControlKind::CheckBox: return new QCheckBox(caption, parent);
    case app::ControlKind::Frame: return new QGroupBox(caption, parent);
    case app::ControlKind::List: return new MessageList(parent);
    case app::ControlKind::Label:
    case app::ControlKind::Hidden:
    case app::ControlKind::Picture: {
        auto* label = new QLabel(caption, parent);
        label->setTextFormat(Qt::PlainText);
        label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        label->setWordWrap(control.kind == app::ControlKind::Label);
        label->setVisible(control.kind != app::ControlKind::Hidden);
        return label;
    }
    }
    return nullptr;
}

}  // namespace

QHash<QString, QWidget*> BuildControls(QWidget* window, const app::WindowLayout& layout) {
    QHash<QString, QWidget*> made;
    // Frames first, so that the controls inside them have their parent.
    for (const bool frames : {true, false}) {
        for (const app::Control& control : layout.controls) {
            if ((control.kind == app::ControlKind::Frame) != frames) {
                continue;
            }
            QWidget* parent = control.frame != nullptr ? made.value(QString::fromLatin1(control.frame)) : window;
            QWidget* widget = Make(control, parent);
            widget->setObjectName(QString::fromLatin1(control.name));
            widget->setGeometry(Twips({control.left, control.top, control.width, control.height}));
            if (!control.takesFocus) {
                widget->setFocusPolicy(Qt::NoFocus);
            }
            made.insert(widget->objectName(), widget);
        }
    }
    QWidget* previous = nullptr;
    for (const app::Control& control : layout.controls) {
        if (control.takesFocus) {
            QWidget* widget = made.value(QString::fromLatin1(control.name));
            if (previous != nullptr) {
                QWidget::setTabOrder(previous, widget);
            }
            previous = widget;
        }
    }
    return made;
}

}  // namespace tidelin
