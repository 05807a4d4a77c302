#include "app/PictureBox.h"

#include <QPainter>
#include <QStyleOptionFocusRect>

namespace tagshift::app {

PictureBox::PictureBox(QWidget* pParent) : QWidget(pParent) {}

void PictureBox::setPicture(const QPixmap& oPicture) {
    m_oPicture = oPicture;
    update();
}

void PictureBox::setBorderStyle(int iStyle) {
    if (m_iBorderStyle == iStyle) return;
    m_iBorderStyle = iStyle;
    update();
}

void PictureBox::paintEvent(QPaintEvent*) {
    QPainter oPainter(this);
    oPainter.drawPixmap(0, 0, m_oPicture);
    if (m_iBorderStyle == 1) {
        oPainter.setPen(QPen(QColor(0, 0, 0), 1));
        oPainter.setBrush(Qt::NoBrush);
        oPainter.drawRect(rect().adjusted(0, 0, -1, -1));
    }
    if (hasFocus()) {
        QStyleOptionFocusRect oOption;
        oOption.initFrom(this);
        oOption.rect = rect().adjusted(1, 1, -1, -1);
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &oOption, &oPainter, this);
    }
}

}  // namespace tagshift::app
