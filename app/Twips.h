// The windows' layouts are drawn in twips: 1/1440 inch, 15 of them to the
// pixel at the standard resolution.
#pragma once

#include <QRect>

namespace tagshift::app {

inline constexpr int kTwipsPerPixel = 15;

// The nearest pixel.
constexpr int Px(int iTwips) { return (iTwips + kTwipsPerPixel / 2) / kTwipsPerPixel; }

inline QRect TwipRect(int iLeft, int iTop, int iWidth, int iHeight) {
    return QRect(Px(iLeft), Px(iTop), Px(iWidth), Px(iHeight));
}

}  // namespace tagshift::app
