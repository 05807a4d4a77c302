// tagshift-bench-window [--no-status-paint] SOURCE: converts SOURCE once through the main
// window, as a user would (choose the folder, click Convert), with the
// message boxes, the folder chooser and the launches answered at once. Prints
//   seconds S repaints R pages P blocks B maxgap G
// S: seconds from the click to the end of the run; R: paints of the status
// line during the run; G: the longest stretch of the run, in milliseconds,
// in which the line was not repainted (from the click to the first paint,
// between paints, and from the last paint to the end). --no-status-paint
// turns the line's painting off, to see what the paints cost.
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <optional>

#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QMouseEvent>
#include <QTest>

#include "app/qt/MainWindowWidget.h"

namespace {

using tagshift::ui::Answer;
using tagshift::ui::MessageKind;

// The folder is given; the boxes are recorded instead of shown, so the run
// never waits.
class BenchServices : public tagshift::ui::Services {
public:
    explicit BenchServices(std::string folder) : folder_(std::move(folder)) { clock_.start(); }
    std::optional<std::string> ChooseFolder(const std::string&) override { return folder_; }
    void ShowFileTypes(tagshift::ui::FileTypesDialog&) override {}
    std::optional<std::string> ChooseSaveFile(const tagshift::ui::SaveRequest&) override { return std::nullopt; }
    Answer ShowMessage(MessageKind kind, const std::string&, const std::string& prompt) override {
        lastKind = kind;
        lastPrompt = prompt;
        return kind == MessageKind::Question ? Answer::No : Answer::Ok;
    }
    bool Launch(const tagshift::ui::LaunchStep&) override { return false; }
    bool OpenFolder(const std::string&) override { return false; }
    std::string CurrentFolder() override { return "."; }
    std::string ProgramFolder() override { return "."; }
    long long NowMilliseconds() override { return clock_.elapsed(); }
    void EndProgram() override {}

    std::optional<MessageKind> lastKind;
    std::string lastPrompt;

private:
    std::string folder_;
    QElapsedTimer clock_;
};

// Counts the paints of a widget while armed and notes the longest gap.
class PaintWatch : public QObject {
public:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (armed && event->type() == QEvent::Paint) {
            const qint64 now = clock.nsecsElapsed();
            maxGap = std::max(maxGap, now - last);
            last = now;
            ++paints;
        }
        return QObject::eventFilter(watched, event);
    }
    void Arm() {
        armed = true;
        clock.start();
        last = 0;
    }
    void Disarm() {
        armed = false;
        maxGap = std::max(maxGap, clock.nsecsElapsed() - last);
    }
    bool armed = false;
    QElapsedTimer clock;
    qint64 last = 0, maxGap = 0;
    long long paints = 0;
};

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    // A private runtime folder when there is none (root without a session),
    // so that Qt does not warn on every run.
    char runtime[] = "/tmp/tagshift-bench-runtime-XXXXXX";
    const bool ownRuntime = qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR") && ::mkdtemp(runtime);
    if (ownRuntime) qputenv("XDG_RUNTIME_DIR", runtime);
    struct RemoveRuntime {
        bool own;
        const char* path;
        ~RemoveRuntime() {
            if (own) ::rmdir(path);
        }
    } removeRuntime{ownRuntime, runtime};
    QApplication app(argc, argv);
    const bool noPaint = argc == 3 && std::strcmp(argv[1], "--no-status-paint") == 0;
    if (argc != 2 && !noPaint) {
        std::fprintf(stderr, "Usage: tagshift-bench-window [--no-status-paint] SOURCE\n");
        return 2;
    }
    BenchServices services(argv[argc - 1]);
    tagshift::qt::MainWindowWidget window(services, 1.0);
    window.Start("");
    QCoreApplication::processEvents();
    QTest::mouseClick(window.Control(tagshift::ui::ControlId::FolderButton), Qt::LeftButton);
    QCoreApplication::processEvents();

    QWidget* status = window.Control(tagshift::ui::ControlId::StatusLine);
    PaintWatch watch;
    status->installEventFilter(&watch);
    if (noPaint) status->setUpdatesEnabled(false);
    QElapsedTimer timer;
    watch.Arm();
    timer.start();
    QTest::mouseClick(window.Control(tagshift::ui::ControlId::ConvertButton), Qt::LeftButton);
    const double seconds = static_cast<double>(timer.nsecsElapsed()) / 1e9;
    watch.Disarm();

    const tagshift::ConversionResult& result = window.Logic().LastResult();
    if (result.outcome != tagshift::RunOutcome::Completed || services.lastKind != MessageKind::Summary) {
        std::fprintf(stderr, "tagshift-bench-window: the run did not complete: %s\n", services.lastPrompt.c_str());
        return 1;
    }
    std::printf("seconds %.6f repaints %lld pages %lld blocks %lld maxgap %.1f\n", seconds, watch.paints,
                result.pagesConverted, result.functionsReplaced, static_cast<double>(watch.maxGap) / 1e6);
    return 0;
}
