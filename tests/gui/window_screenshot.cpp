// Renders the main window to PNG files under the offscreen platform: at
// rest, with the hover feedback lit, and after a run over a copy of a site.
// Usage: tagshift_window_screenshot OUTPUT_FOLDER SITE_FOLDER
#include <cstdio>

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QMouseEvent>
#include <QProcess>

#include "app/form1.h"

namespace {

class NoChooser : public tagshift::app::FolderChooser {
public:
    std::optional<QString> ChooseFolder(QWidget*, const QString&) override { return std::nullopt; }
};

class NoLauncher : public tagshift::app::Launcher {
public:
    bool OpenWebPage(const QString&) override { return true; }
    bool OpenTextFile(const QString&) override { return true; }
};

class PrintedMessages : public tagshift::app::MessageBoxes {
public:
    void Show(QWidget*, const QString& sPrompt, int, const QString& sTitle) override {
        std::printf("[%s] %s\n", qPrintable(sTitle), qPrintable(sPrompt));
    }
};

bool Save(QWidget& oWindow, const QString& sPath) {
    QCoreApplication::processEvents();
    if (!oWindow.grab().save(sPath)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(sPath));
        return false;
    }
    std::printf("%s\n", qPrintable(sPath));
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication oApp(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s OUTPUT_FOLDER SITE_FOLDER\n", argv[0]);
        return 2;
    }
    const QDir oOut(QString::fromLocal8Bit(argv[1]));
    NoChooser oChooser;
    NoLauncher oLauncher;
    PrintedMessages oMessages;
    tagshift::app::form1 oWindow({&oChooser, &oLauncher, &oMessages});
    oWindow.show();
    if (!Save(oWindow, oOut.filePath("window-idle.png"))) return 1;

    // A fixed folder, so that the picture shows the same path every time.
    QDir oWork(QDir::temp().filePath("tagshift-screenshot"));
    oWork.removeRecursively();
    QDir().mkpath(oWork.path());
    const QString sSite = oWork.filePath("sample-site");
    if (QProcess::execute("cp", {"-r", QString::fromLocal8Bit(argv[2]), sSite}) != 0) return 1;
    oWindow.Run().sSourceDir = QFile::encodeName(sSite).toStdString();
    oWindow.lbl_directname->setText(sSite);
    oWindow.cmd_Convert_Click();
    // The pointer has passed over the donation badge and rests on the
    // Convert label: both stay lit.
    for (QWidget* pTarget : {static_cast<QWidget*>(oWindow.cmd_Donate), static_cast<QWidget*>(oWindow.Label4)}) {
        const QPointF oAt(pTarget->width() / 2.0, pTarget->height() / 2.0);
        QMouseEvent oMove(QEvent::MouseMove, oAt, pTarget->mapToGlobal(oAt), Qt::NoButton, Qt::NoButton,
                          Qt::NoModifier);
        QApplication::sendEvent(pTarget, &oMove);
    }
    const bool bSaved = Save(oWindow, oOut.filePath("window-after-run.png"));
    oWork.removeRecursively();
    return bSaved ? 0 : 1;
}
