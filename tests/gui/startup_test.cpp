// The whole start: the disclaimer's marker check hands over to the real main
// window, whose load converts a folder named on the command line.
#include <memory>
#include <string>

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include "app/Form2.h"
#include "app/form1.h"
#include "tests/gui/WindowFakes.h"

using tagshift::app::Form2;
using tagshift::app::form1;
using namespace tagshift::app::testing;

namespace {

bool CopySite(const QString& sFrom, const QString& sTo) {
    QDir().mkpath(sTo);
    for (const QFileInfo& oEntry : QDir(sFrom).entryInfoList(QDir::AllEntries | QDir::NoDotAndDotDot)) {
        const QString sTarget = sTo + "/" + oEntry.fileName();
        if (oEntry.isDir() ? !CopySite(oEntry.filePath(), sTarget) : !QFile::copy(oEntry.filePath(), sTarget))
            return false;
    }
    return true;
}

struct StartCase {
    const char* sName;
    bool bMarker;
    QString sArguments;  // relative to the temporary folder; empty: none
    bool bDisclaimerShown;
    bool bConverted;
};

TEST(StartUp, MarkerCheckThenTheMainWindowsCommandLineStart) {
    const StartCase aCases[] = {
        {"marker, quoted folder", true, "\"@/site\"", false, true},
        {"marker, no argument", true, "", false, false},
        {"no marker, quoted folder", false, "\"@/site\"", true, false},
    };
    for (const StartCase& oCase : aCases) {
        SCOPED_TRACE(oCase.sName);
        QTemporaryDir oRoot;
        const QString sRoot = oRoot.path();
        ASSERT_TRUE(CopySite(QStringLiteral(TAGSHIFT_SOURCE_DIR "/examples/sample-site"), sRoot + "/site"));
        QDir().mkpath(sRoot + "/program");
        if (oCase.bMarker) {
            QFile oMarker(sRoot + "/program/skip.col");
            ASSERT_TRUE(oMarker.open(QIODevice::WriteOnly));
            oMarker.write("left by an older version");
        }
        QString sArguments = oCase.sArguments;
        sArguments.replace("@", sRoot);

        FakeChooser oChooser;
        FakeLauncher oLauncher;
        FakeMessages oMessages;
        std::unique_ptr<form1> pMain;
        bool bDisclaimerVisibleAtMessage = false;
        Form2::Actions oActions;
        oActions.fnShowMainWindow = [&] {
            pMain = std::make_unique<form1>(tagshift::app::Services{&oChooser, &oLauncher, &oMessages});
            pMain->Form_Load(sArguments);
            pMain->show();
        };
        oActions.fnEndProgram = [] {};
        Form2 oDisclaimer({(sRoot + "/program").toStdString(), (sRoot + "/config").toStdString()}, oActions);
        oMessages.fOnShow = [&](const Message&) { bDisclaimerVisibleAtMessage = oDisclaimer.isVisible(); };
        oDisclaimer.Start();

        EXPECT_EQ(oDisclaimer.isVisible(), oCase.bDisclaimerShown);
        EXPECT_EQ(static_cast<bool>(pMain), !oCase.bDisclaimerShown);
        if (oCase.bDisclaimerShown) {
            // Continue hands over; the folder is converted only now.
            EXPECT_FALSE(QDir(sRoot + "/site_Converted").exists());
            QTest::mouseClick(oDisclaimer.Command1, Qt::LeftButton);
            ASSERT_TRUE(pMain);
            EXPECT_TRUE(QDir(sRoot + "/site_Converted").exists());
        } else {
            EXPECT_EQ(QDir(sRoot + "/site_Converted").exists(), oCase.bConverted);
        }
        ASSERT_TRUE(pMain);
        EXPECT_TRUE(pMain->isVisible());
        if (!oCase.sArguments.isEmpty()) {
            EXPECT_TRUE(QFile::exists(sRoot + "/site_Converted/converter_log.txt"));
            EXPECT_EQ(pMain->lbl_directname->text(), sRoot + "/site");
            ASSERT_EQ(oMessages.aShown.size(), 1u);
            EXPECT_EQ(oMessages.aShown[0].sTitle, QStringLiteral("Process Complete"));
            EXPECT_FALSE(bDisclaimerVisibleAtMessage) << "the disclaimer is gone before the run";
            EXPECT_FALSE(oMessages.aShown[0].bWindowVisible) << "the run ends before the main window shows";
        } else {
            EXPECT_TRUE(oMessages.aShown.empty());
        }
        if (oCase.bMarker) {
            QFile oMarker(sRoot + "/program/skip.col");
            ASSERT_TRUE(oMarker.open(QIODevice::ReadOnly));
            EXPECT_EQ(oMarker.readAll(), QByteArray("left by an older version"));
        }
    }
}

}  // namespace
