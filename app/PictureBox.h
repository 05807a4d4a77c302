// A picture box: a picture drawn unscaled at its top-left corner, with an
// optional single-line border (border style 1) and no border at style 0.
#pragma once

#include <QPixmap>
#include <QWidget>

namespace tagshift::app {

class PictureBox : public QWidget {
    Q_OBJECT
public:
    explicit PictureBox(QWidget* pParent = nullptr);

    void setPicture(const QPixmap& oPicture);
    const QPixmap& picture() const { return m_oPicture; }

    void setBorderStyle(int iStyle);
    int borderStyle() const { return m_iBorderStyle; }

protected:
    void paintEvent(QPaintEvent* pEvent) override;

private:
    QPixmap m_oPicture;
    int m_iBorderStyle = 0;
};

}  // namespace tagshift::app
