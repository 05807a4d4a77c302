// tagshift-bench-window [--no-status-paint] SOURCE: converts SOURCE once through the main
// window, as a user would (choose the folder, click Convert), with the
// message boxes, the folder chooser and the launcher replaced. Prints
//   seconds S repaints R pages P blocks B maxgap G
// S: seconds from the click to the end of the run; R: paints of the status
// label during the run; G: the longest stretch of the run, in milliseconds,
// in which the label was not repainted (from the click to the first paint,
// between paints, and from the last paint to the end). --no-status-paint
// turns the label's painting off, to see what the paints cost.
#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QLabel>
#include <cstdio>
#include <cstring>
#include <cstdlib>
#include <unistd.h>
#include <optional>

#include "app/Services.h"
#include "app/form1.h"

namespace {

using namespace tagshift::app;

class GivenFolder : public FolderChooser {
public:
    explicit GivenFolder(QString sFolder) : m_sFolder(std::move(sFolder)) {}
    std::optional<QString> ChooseFolder(QWidget*, const QString&) override { return m_sFolder; }

private:
    QString m_sFolder;
};

class NoLauncher : public Launcher {
public:
    bool OpenWebPage(const QString&) override { return false; }
    bool OpenTextFile(const QString&) override { return false; }
};

// Records the boxes instead of showing them, so the run never waits.
class RecordedBoxes : public MessageBoxes {
public:
    void Show(QWidget*, const QString& sPrompt, int iStyle, const QString&) override {
        sLast = sPrompt;
        iLastStyle = iStyle;
    }
    QString sLast;
    int iLastStyle = 0;
};

// Counts the paints of a widget while armed and notes the longest gap.
class PaintWatch : public QObject {
public:
    bool eventFilter(QObject* pWatched, QEvent* pEvent) override {
        if (bArmed && pEvent->type() == QEvent::Paint) {
            const qint64 iNow = oClock.nsecsElapsed();
            iMaxGap = std::max(iMaxGap, iNow - iLast);
            iLast = iNow;
            ++iPaints;
        }
        return QObject::eventFilter(pWatched, pEvent);
    }
    void Arm() {
        bArmed = true;
        oClock.start();
        iLast = 0;
    }
    void Disarm() {
        bArmed = false;
        const qint64 iNow = oClock.nsecsElapsed();
        iMaxGap = std::max(iMaxGap, iNow - iLast);
    }
    bool bArmed = false;
    QElapsedTimer oClock;
    qint64 iLast = 0, iMaxGap = 0;
    long long iPaints = 0;
};

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    // A private runtime folder when there is none (root without a session),
    // so that Qt does not warn on every run.
    char aRuntime[] = "/tmp/tagshift-bench-runtime-XXXXXX";
    const bool bOwnRuntime = qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR") && ::mkdtemp(aRuntime);
    if (bOwnRuntime) qputenv("XDG_RUNTIME_DIR", aRuntime);
    struct RemoveRuntime {
        bool bOwn;
        const char* sPath;
        ~RemoveRuntime() { if (bOwn) ::rmdir(sPath); }
    } oRemoveRuntime{bOwnRuntime, aRuntime};
    QApplication oApp(argc, argv);
    const bool bNoPaint = argc == 3 && std::strcmp(argv[1], "--no-status-paint") == 0;
    if (argc != 2 && !bNoPaint) {
        std::fprintf(stderr, "Usage: tagshift-bench-window [--no-status-paint] SOURCE\n");
        return 2;
    }
    GivenFolder oChooser(QString::fromLocal8Bit(argv[argc - 1]));
    NoLauncher oLauncher;
    RecordedBoxes oBoxes;
    form1 oWindow(Services{&oChooser, &oLauncher, &oBoxes});
    oWindow.show();
    QCoreApplication::processEvents();
    oWindow.cmd_Directory_Click();
    QCoreApplication::processEvents();

    PaintWatch oWatch;
    oWindow.lbl_Progress->installEventFilter(&oWatch);
    if (bNoPaint) oWindow.lbl_Progress->setUpdatesEnabled(false);
    QElapsedTimer oTimer;
    oWatch.Arm();
    oTimer.start();
    oWindow.cmd_Convert_Click();
    const double dSeconds = static_cast<double>(oTimer.nsecsElapsed()) / 1e9;
    oWatch.Disarm();

    const tagshift::ConversionRun& oRun = oWindow.Run();
    if (oRun.eOutcome != tagshift::RunOutcome::Completed || oBoxes.iLastStyle != 64) {
        std::fprintf(stderr, "tagshift-bench-window: the run did not complete: %s\n",
                     oBoxes.sLast.toLocal8Bit().constData());
        return 1;
    }
    std::printf("seconds %.6f repaints %lld pages %lld blocks %lld maxgap %.1f\n", dSeconds, oWatch.iPaints,
                oRun.iFileCount, oRun.iFunctionCount, static_cast<double>(oWatch.iMaxGap) / 1e6);
    return 0;
}
