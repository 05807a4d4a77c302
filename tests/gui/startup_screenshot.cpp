// Draws both windows of the program side by side into one PNG, each under a
// plain title bar with its caption: the disclaimer as it opens, and the main
// window as it shows after Continue.
// Usage: tagshift_startup_screenshot OUTPUT.png
#include <cstdio>

#include <QApplication>
#include <QPainter>
#include <QTemporaryDir>

#include "app/Form2.h"
#include "app/form1.h"
#include "tests/gui/WindowFakes.h"

namespace {

constexpr int kGap = 16;
constexpr int kTitle = 22;

// The window's client area under a title bar with its caption.
QImage Framed(QWidget& oWindow) {
    QCoreApplication::processEvents();
    const QPixmap oClient = oWindow.grab();
    QImage oImage(oClient.width() + 2, oClient.height() + kTitle + 1, QImage::Format_RGB32);
    oImage.fill(QColor(64, 64, 64));
    QPainter oPainter(&oImage);
    oPainter.fillRect(1, 1, oClient.width(), kTitle - 1, QColor(40, 80, 150));
    QFont oFont = oPainter.font();
    oFont.setPixelSize(12);
    oFont.setBold(true);
    oPainter.setFont(oFont);
    oPainter.setPen(Qt::white);
    oPainter.drawText(QRect(8, 1, oClient.width() - 8, kTitle - 1), Qt::AlignVCenter | Qt::AlignLeft,
                      oWindow.windowTitle());
    oPainter.drawPixmap(1, kTitle, oClient);
    return oImage;
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication oApp(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "Usage: tagshift_startup_screenshot OUTPUT.png\n");
        return 2;
    }
    QTemporaryDir oProgram;
    tagshift::app::testing::FakeChooser oChooser;
    tagshift::app::testing::FakeLauncher oLauncher;
    tagshift::app::testing::FakeMessages oMessages;
    std::unique_ptr<tagshift::app::form1> pMain;
    tagshift::app::Form2 oDisclaimer({oProgram.path().toStdString(), ""},
                                     {[&] {
                                          pMain = std::make_unique<tagshift::app::form1>(
                                              tagshift::app::Services{&oChooser, &oLauncher, &oMessages});
                                          pMain->Form_Load(QString());
                                          pMain->show();
                                      },
                                      [] {}});
    oDisclaimer.Start();
    const QImage oFirst = Framed(oDisclaimer);
    oDisclaimer.Command1_Click();
    if (!pMain) return 1;
    const QImage oSecond = Framed(*pMain);

    QImage oSheet(kGap * 3 + oFirst.width() + oSecond.width(),
                  kGap * 2 + std::max(oFirst.height(), oSecond.height()), QImage::Format_RGB32);
    oSheet.fill(QColor(200, 204, 210));
    QPainter oPainter(&oSheet);
    oPainter.drawImage(kGap, kGap, oFirst);
    oPainter.drawImage(kGap * 2 + oFirst.width(), kGap, oSecond);
    oPainter.end();
    if (!oSheet.save(QString::fromLocal8Bit(argv[1]))) {
        std::fprintf(stderr, "cannot write %s\n", argv[1]);
        return 1;
    }
    std::printf("%s\n", argv[1]);
    return 0;
}
