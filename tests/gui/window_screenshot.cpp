// Renders the main window to PNG files under the offscreen platform: at
// rest (and its File types dialog), and after a run over a copy of a site with the pointer's hover
// feedback lit.
// Usage: tagshift_window_screenshot OUTPUT_FOLDER SITE_FOLDER
#include <cstdio>

#include <QApplication>
#include <QDir>
#include <QMouseEvent>
#include <QProcess>

#include "app/qt/FileTypesWidget.h"
#include "app/qt/MainWindowWidget.h"
#include "tests/ui/FakeFace.h"

namespace {

bool Save(QWidget& window, const QString& path) {
    QCoreApplication::processEvents();
    if (!window.grab().save(path)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return false;
    }
    std::printf("%s\n", qPrintable(path));
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s OUTPUT_FOLDER SITE_FOLDER\n", argv[0]);
        return 2;
    }
    const QDir out(QString::fromLocal8Bit(argv[1]));
    // The boxes are answered at once: the picture shows the window alone.
    tagshift::ui::testing::FakeFace services;
    tagshift::qt::MainWindowWidget window(services, 1.0);
    window.Start("");
    if (!Save(window, out.filePath("window-idle.png"))) return 1;
    {
        // The File types dialog with a list of one's own and its warning.
        tagshift::ui::FileTypesDialog logic(tagshift::ui::RunSettings{"*.htm;*.html;*.cfm;shtml", true, false});
        tagshift::qt::FileTypesWidget dialog(logic, &window);
        dialog.show();
        if (!Save(dialog, out.filePath("file-types-qt.png"))) return 1;
    }

    // A fixed folder, so that the picture shows the same path every time.
    QDir work(QDir::temp().filePath("tagshift-screenshot"));
    work.removeRecursively();
    QDir().mkpath(work.path());
    const QString site = work.filePath("sample-site");
    if (QProcess::execute("cp", {"-r", QString::fromLocal8Bit(argv[2]), site}) != 0) return 1;
    services.chooserAnswers = {site.toStdString()};
    window.Logic().Activate(tagshift::ui::ControlId::FolderButton);
    window.Logic().Activate(tagshift::ui::ControlId::ConvertButton);
    // The pointer has passed over the donation badge and rests on the
    // Convert label: both stay lit.
    for (auto id : {tagshift::ui::ControlId::DonateButton, tagshift::ui::ControlId::ConvertLink}) {
        QWidget* target = window.Control(id);
        const QPointF at(target->width() / 2.0, target->height() / 2.0);
        QMouseEvent move(QEvent::MouseMove, at, target->mapToGlobal(at), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(target, &move);
    }
    const bool saved = Save(window, out.filePath("window-after-run.png"));
    work.removeRecursively();
    return saved ? 0 : 1;
}
