// Window geometry is given in twips; 15 twips are one logical pixel, so Qt's high-DPI scaling
// keeps the proportions.
#pragma once

#include <QHash>
#include <QRect>
#include <QString>

class QWidget;

#include "layout.h"

namespace tidelin {

constexpr int TwipsPerPixel = app::TwipsPerInch / 96;  // a logical pixel is 1/96 inch

inline QRect Twips(const app::Rect& at) {
    return QRect(at.left / TwipsPerPixel, at.top / TwipsPerPixel, at.width / TwipsPerPixel,
                 at.height / TwipsPerPixel);
}

// Builds the controls of `layout` on `window`, each named as in the layout, in tab order;
// controls inside a frame become the frame's children. Returns them by name.
QHash<QString, QWidget*> BuildControls(QWidget* window, const app::WindowLayout& layout);

}  // namespace tidelin
