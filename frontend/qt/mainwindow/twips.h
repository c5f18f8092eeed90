// Window geometry is given in twips; 15 twips are one logical pixel, so Qt's high-DPI
// scaling keeps the proportions.
#pragma once

#include <QRect>

namespace tidelin {

constexpr int TwipsPerPixel = 15;

inline QRect Twips(int left, int top, int width, int height) {
    return QRect(left / TwipsPerPixel, top / TwipsPerPixel, width / TwipsPerPixel, height / TwipsPerPixel);
}

}  // namespace tidelin
