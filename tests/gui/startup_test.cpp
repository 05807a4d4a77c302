// The whole start with the real windows: the disclaimer's marker check hands
// over to the main window, whose load converts a folder named on the
// command line; and the event loop ends exactly when it should.
#include <memory>
#include <string>

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTimer>

#include "TestSupport.h"
#include "app/qt/StartUp.h"
#include "tests/gui/GuiSupport.h"

namespace tagshift::qt::testing {
namespace {

using C = ui::ControlId;

TEST(QtStartUp, MarkerCheckThenTheMainWindowsCommandLineStart) {
    const struct {
        const char* name;
        bool marker;
        std::string arguments;  // '@' stands for the temporary folder
        bool disclaimerShown;
    } cases[] = {
        {"marker, quoted folder", true, "\"@/site\"", false},
        {"marker, no argument", true, "", false},
        {"no marker, quoted folder", false, "\"@/site\"", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        test::TempDir root;
        test::WriteFile(root / "site/index.htm", "<object data=\"movie.swf\"></object>");
        test::WriteFile(root / "program/readme.txt", "help");
        if (c.marker) test::WriteFile(root / "program/skip.col", "left by an older version");
        std::string arguments = c.arguments;
        if (const std::size_t at = arguments.find('@'); at != std::string::npos) arguments.replace(at, 1, root.Path());

        ui::testing::FakeFace services;
        bool windowShownAtSummary = true;
        Program program(services, {root / "program", root / "config"}, arguments);
        services.onBox = [&](const ui::testing::Box&) {
            windowShownAtSummary = program.MainWindow() && program.MainWindow()->isVisible();
        };
        program.Start();
        EXPECT_EQ(program.Disclaimer().isVisible(), c.disclaimerShown);
        EXPECT_EQ(program.MainWindow() != nullptr, !c.disclaimerShown);
        if (c.disclaimerShown) {
            // Continue hands over; the folder is converted only now.
            EXPECT_FALSE(test::Exists(root / "site_Converted"));
            QTest::mouseClick(program.Disclaimer().Control(C::ContinueButton), Qt::LeftButton);
        }
        ASSERT_NE(program.MainWindow(), nullptr);
        EXPECT_TRUE(program.MainWindow()->isVisible());
        EXPECT_FALSE(program.Disclaimer().isVisible());
        if (arguments.empty()) {
            EXPECT_TRUE(services.boxes.empty());
            EXPECT_EQ(program.MainWindow()->focusWidget(), program.MainWindow()->Control(C::FolderButton));
        } else {
            EXPECT_TRUE(test::Exists(root / "site_Converted/converter_log.txt"));
            EXPECT_EQ(program.MainWindow()->DesignControl(C::FolderName)->Text().toStdString(), root / "site");
            ASSERT_EQ(services.boxes.size(), 1u);
            EXPECT_EQ(services.boxes[0].kind, ui::MessageKind::Summary);
            EXPECT_FALSE(windowShownAtSummary) << "the run ends before the main window shows";
        }
        if (c.marker) {
            EXPECT_EQ(test::ReadFile(root / "program/skip.col"), "left by an older version");
        }
    }
}

// The real event loop: the program must neither end when the disclaimer
// closes before the main window shows (a command-line run opens and closes
// its boxes in between), nor keep running after Exit or the close box.
TEST(QtStartUp, TheProgramEndsOnlyWhenItShould) {
    const struct {
        const char* name;
        C press;       // the disclaimer's control pressed, or the rule: its close box
        int exitCode;  // 42: still running when the test stopped it
        bool mainShown;
    } cases[] = {
        {"Continue", C::ContinueButton, 42, true},
        {"Exit", C::ExitButton, 0, false},
        {"close box", C::Rule, 0, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        test::TempDir root;
        test::WriteFile(root / "site/index.htm", "<object></object>");
        ui::testing::FakeFace services;
        int ends = 0;
        Program program(services, {root / "program", ""}, root / "site");
        program.Start();
        QTimer::singleShot(50, [&] {
            if (c.press == C::Rule)
                program.Disclaimer().close();
            else
                QTest::mouseClick(program.Disclaimer().Control(c.press), Qt::LeftButton);
            ends = services.ended;
            if (ends) QCoreApplication::exit(0);  // what the program's own services do
        });
        QTimer::singleShot(600, [] { QCoreApplication::exit(42); });
        EXPECT_EQ(QApplication::exec(), c.exitCode);
        EXPECT_EQ(program.MainWindow() != nullptr, c.mainShown);
        if (program.MainWindow()) {
            EXPECT_TRUE(program.MainWindow()->isVisible());
        }
        EXPECT_TRUE(QGuiApplication::quitOnLastWindowClosed()) << "restored after the hand-over";
        EXPECT_EQ(ends, c.mainShown ? 0 : 1);
    }
}

TEST(QtStartUp, TheMarkersFoldersAndTheArgumentText) {
    ConfigureApplicationNames();
    const ui::StartUpPaths paths = DefaultStartUpPaths();
    EXPECT_EQ(QString::fromStdString(paths.programFolder), QCoreApplication::applicationDirPath());
    EXPECT_TRUE(QString::fromStdString(paths.configFolder).endsWith("/tagshift")) << paths.configFolder;
    const struct {
        QStringList arguments;
        const char* text;
    } cases[] = {
        {{"tagshift"}, ""}, {{"tagshift", "/srv/my", "site"}, "/srv/my site"}, {{"tagshift", "\"/a b\""}, "\"/a b\""}};
    for (const auto& c : cases) EXPECT_EQ(ArgumentText(c.arguments), c.text);
}

}  // namespace
}  // namespace tagshift::qt::testing
