// Draws both windows of the program side by side into one PNG, each under a
// plain title bar with its caption: the disclaimer as it opens, and the main
// window as it shows after Continue.
// Usage: tagshift_startup_screenshot OUTPUT.png
#include <cstdio>

#include <QApplication>
#include <QPainter>
#include <QTemporaryDir>

#include "app/qt/StartUp.h"
#include "tests/ui/FakeFace.h"

namespace {

constexpr int kGap = 16;
constexpr int kTitle = 22;

// The window's client area under a title bar with its caption.
QImage Framed(QWidget& window) {
    QCoreApplication::processEvents();
    const QPixmap client = window.grab();
    QImage image(client.width() + 2, client.height() + kTitle + 1, QImage::Format_RGB32);
    image.fill(QColor(64, 64, 64));
    QPainter painter(&image);
    painter.fillRect(1, 1, client.width(), kTitle - 1, QColor(40, 80, 150));
    QFont font = painter.font();
    font.setPixelSize(12);
    font.setBold(true);
    painter.setFont(font);
    painter.setPen(Qt::white);
    painter.drawText(QRect(8, 1, client.width() - 8, kTitle - 1), Qt::AlignVCenter | Qt::AlignLeft,
                     window.windowTitle());
    painter.drawPixmap(1, kTitle, client);
    return image;
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "Usage: tagshift_startup_screenshot OUTPUT.png\n");
        return 2;
    }
    QTemporaryDir programFolder;
    tagshift::ui::testing::FakeFace services;
    tagshift::qt::Program program(services, {programFolder.path().toStdString(), ""}, "");
    program.Start();
    const QImage first = Framed(program.Disclaimer());
    program.Disclaimer().Continue();
    if (!program.MainWindow()) return 1;
    const QImage second = Framed(*program.MainWindow());

    QImage sheet(kGap * 3 + first.width() + second.width(), kGap * 2 + std::max(first.height(), second.height()),
                 QImage::Format_RGB32);
    sheet.fill(QColor(200, 204, 210));
    QPainter painter(&sheet);
    painter.drawImage(kGap, kGap, first);
    painter.drawImage(kGap * 2 + first.width(), kGap, second);
    painter.end();
    if (!sheet.save(QString::fromLocal8Bit(argv[1]))) {
        std::fprintf(stderr, "cannot write %s\n", argv[1]);
        return 1;
    }
    std::printf("%s\n", argv[1]);
    return 0;
}
