// The disclaimer window and the start-up, with the program folder and the
// configuration folder pointed at temporary folders.
#include <sys/stat.h>
#include <unistd.h>

#include <memory>
#include <string>

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include "app/Form2.h"
#include "app/StartUp.h"
#include "fs/FileSystem.h"

using tagshift::app::Form2;
using tagshift::app::StartUpPaths;

namespace {

std::string Read(const std::string& sPath) {
    QFile oFile(QString::fromStdString(sPath));
    if (!oFile.open(QIODevice::ReadOnly)) return "<missing>";
    return oFile.readAll().toStdString();
}

bool IsFile(const std::string& sPath) {
    struct stat oStat {};
    return ::stat(sPath.c_str(), &oStat) == 0 && S_ISREG(oStat.st_mode);
}

void Write(const std::string& sPath, const std::string& sData) {
    QFile oFile(QString::fromStdString(sPath));
    ASSERT_TRUE(oFile.open(QIODevice::WriteOnly)) << sPath;
    oFile.write(sData.data(), static_cast<qint64>(sData.size()));
}

// Counts how often a widget was shown.
class ShowCounter : public QObject {
public:
    int iShows = 0;
    bool eventFilter(QObject*, QEvent* pEvent) override {
        if (pEvent->type() == QEvent::Show) ++iShows;
        return false;
    }
};

class Disclaimer : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_oRoot.isValid());
        m_oPaths.sProgramDir = Path("program");
        m_oPaths.sConfigDir = Path("config/tagshift");  // created by the first fallback
        ASSERT_TRUE(QDir().mkpath(QString::fromStdString(m_oPaths.sProgramDir)));
    }
    void TearDown() override {
        tagshift::fs::SetFaultHookForTesting(nullptr);
        ::chmod(m_oPaths.sProgramDir.c_str(), 0755);
    }

    std::string Path(const std::string& sName) const { return m_oRoot.path().toStdString() + "/" + sName; }
    std::string ProgramMarker() const { return m_oPaths.sProgramDir + "/skip.col"; }
    std::string ConfigMarker() const { return m_oPaths.sConfigDir + "/skip.col"; }

    // One start of the program: a new disclaimer whose main window is a fake
    // that records whether the disclaimer was visible when it was shown.
    std::unique_ptr<Form2> Start() {
        m_iMainShows = 0;
        m_iEnds = 0;
        m_oMain.reset();
        Form2::Actions oActions;
        oActions.fnShowMainWindow = [this] {
            ++m_iMainShows;
            m_bDisclaimerVisibleAtMain = m_pCurrent && m_pCurrent->isVisible();
            m_oMain = std::make_unique<QWidget>();
            m_oMain->show();
        };
        oActions.fnEndProgram = [this] { ++m_iEnds; };
        auto pForm = std::make_unique<Form2>(m_oPaths, oActions);
        m_pCurrent = pForm.get();
        m_oShows.iShows = 0;
        pForm->installEventFilter(&m_oShows);
        pForm->Start();
        return pForm;
    }

    QTemporaryDir m_oRoot;
    StartUpPaths m_oPaths;
    int m_iMainShows = 0;
    int m_iEnds = 0;
    bool m_bDisclaimerVisibleAtMain = false;
    std::unique_ptr<QWidget> m_oMain;
    Form2* m_pCurrent = nullptr;
    ShowCounter m_oShows;
};

enum class Leave { Continue, Exit, Frame };

struct UserCase {
    const char* sName;
    bool bTick;
    Leave eLeave;
    bool bMainShown;
    bool bEnded;         // Exit asked the program to end
    bool bMarker;        // a marker exists afterwards
    Form2::State eState;
};

TEST_F(Disclaimer, WhatTheUserChoosesDecidesTheMarkerAndTheNextStart) {
    const UserCase aCases[] = {
        {"unticked Continue", false, Leave::Continue, true, false, false, Form2::State::Gone},
        {"ticked Continue", true, Leave::Continue, true, false, true, Form2::State::Gone},
        {"ticked Exit", true, Leave::Exit, false, true, false, Form2::State::Ended},
        {"unticked Exit", false, Leave::Exit, false, true, false, Form2::State::Ended},
        {"ticked, closed through the frame", true, Leave::Frame, false, false, false, Form2::State::Ended},
    };
    for (const UserCase& oCase : aCases) {
        SCOPED_TRACE(oCase.sName);
        QFile::remove(QString::fromStdString(ProgramMarker()));
        auto pForm = Start();
        ASSERT_EQ(pForm->state(), Form2::State::Shown);
        EXPECT_TRUE(pForm->isVisible());
        EXPECT_FALSE(pForm->chk_shhhh->isChecked());
        if (oCase.bTick) QTest::mouseClick(pForm->chk_shhhh, Qt::LeftButton);
        EXPECT_EQ(pForm->chk_shhhh->isChecked(), oCase.bTick);
        switch (oCase.eLeave) {
            case Leave::Continue: QTest::mouseClick(pForm->Command1, Qt::LeftButton); break;
            case Leave::Exit: QTest::mouseClick(pForm->Command2, Qt::LeftButton); break;
            case Leave::Frame: pForm->close(); break;
        }
        EXPECT_EQ(pForm->state(), oCase.eState);
        EXPECT_FALSE(pForm->isVisible());
        EXPECT_EQ(m_iMainShows, oCase.bMainShown ? 1 : 0);
        EXPECT_FALSE(m_bDisclaimerVisibleAtMain) << "the disclaimer is unloaded before the main window shows";
        EXPECT_EQ(m_iEnds, oCase.bEnded ? 1 : 0);
        EXPECT_EQ(IsFile(ProgramMarker()), oCase.bMarker);
        if (oCase.bMarker) {
            EXPECT_EQ(Read(ProgramMarker()), "");
        }
        EXPECT_FALSE(IsFile(ConfigMarker())) << "the program folder was writable";

        // A second click changes nothing once the window is gone.
        QTest::mouseClick(pForm->Command1, Qt::LeftButton);
        EXPECT_EQ(m_iMainShows, oCase.bMainShown ? 1 : 0);

        // The next start of the program.
        auto pNext = Start();
        if (oCase.bMarker) {
            EXPECT_EQ(pNext->state(), Form2::State::Skipped);
            EXPECT_EQ(m_iMainShows, 1);
        } else {
            EXPECT_EQ(pNext->state(), Form2::State::Shown);
            EXPECT_EQ(m_iMainShows, 0);
        }
    }
}

struct MarkerCase {
    const char* sName;
    const char* sWhere;  // "program", "config" or "cwd"
    std::string sContent;
    bool bSkips;
};

TEST_F(Disclaimer, AnyMarkerInEitherFolderSkipsTheDisclaimerUnseen) {
    const QString sOldCwd = QDir::currentPath();
    const MarkerCase aCases[] = {
        {"empty, program folder", "program", "", true},
        {"with content, program folder", "program", std::string("not empty\r\n\0\xff", 14), true},
        {"empty, configuration folder", "config", "", true},
        {"in the current directory only", "cwd", "", false},
    };
    for (const MarkerCase& oCase : aCases) {
        SCOPED_TRACE(oCase.sName);
        for (const std::string& s : {ProgramMarker(), ConfigMarker(), Path("cwd/skip.col")})
            QFile::remove(QString::fromStdString(s));
        ASSERT_TRUE(QDir().mkpath(QString::fromStdString(m_oPaths.sConfigDir)));
        ASSERT_TRUE(QDir().mkpath(QString::fromStdString(Path("cwd"))));
        const std::string sMarker = std::string(oCase.sWhere) == "program"  ? ProgramMarker()
                                    : std::string(oCase.sWhere) == "config" ? ConfigMarker()
                                                                            : Path("cwd/skip.col");
        Write(sMarker, oCase.sContent);
        ASSERT_TRUE(QDir::setCurrent(QString::fromStdString(Path("cwd"))));

        auto pForm = Start();
        if (oCase.bSkips) {
            EXPECT_EQ(pForm->state(), Form2::State::Skipped);
            EXPECT_EQ(m_oShows.iShows, 0) << "the disclaimer must never be shown";
            EXPECT_FALSE(pForm->isVisible());
            EXPECT_EQ(m_iMainShows, 1);
            ASSERT_TRUE(m_oMain);
            EXPECT_TRUE(m_oMain->isVisible());
        } else {
            EXPECT_EQ(pForm->state(), Form2::State::Shown);
            EXPECT_EQ(m_iMainShows, 0);
        }
        EXPECT_EQ(Read(sMarker), oCase.sContent) << "the marker is never rewritten";
        QDir::setCurrent(sOldCwd);
    }
}

// Ways in which the program folder refuses the marker.
enum class Refusal { ReadOnlyFolder, NotAFolder, NameTakenByFolder, WriteDenied, BothFolders };

TEST_F(Disclaimer, AnUnwritableProgramFolderKeepsTheChoiceInTheConfigurationFolder) {
    struct Case {
        const char* sName;
        Refusal eRefusal;
    };
    const Case aCases[] = {
        {"read-only folder", Refusal::ReadOnlyFolder},
        {"program path is a file", Refusal::NotAFolder},
        {"skip.col is a folder", Refusal::NameTakenByFolder},
        {"write denied by the file system", Refusal::WriteDenied},
        // The configuration folder cannot be created below a file either:
        // nothing is kept, so the disclaimer comes back.
        {"neither folder takes it", Refusal::BothFolders},
    };
    for (const Case& oCase : aCases) {
        SCOPED_TRACE(oCase.sName);
        if (oCase.eRefusal == Refusal::ReadOnlyFolder && ::geteuid() == 0) {
            // root writes into a read-only folder anyway; the other cases
            // refuse the marker for root too.
            continue;
        }
        QDir(QString::fromStdString(Path("config"))).removeRecursively();
        QFile::remove(QString::fromStdString(Path("config")));
        QDir(QString::fromStdString(m_oPaths.sProgramDir)).removeRecursively();
        QFile::remove(QString::fromStdString(m_oPaths.sProgramDir));
        ASSERT_TRUE(QDir().mkpath(QString::fromStdString(m_oPaths.sProgramDir)));
        tagshift::fs::SetFaultHookForTesting(nullptr);
        switch (oCase.eRefusal) {
            case Refusal::ReadOnlyFolder: ASSERT_EQ(::chmod(m_oPaths.sProgramDir.c_str(), 0555), 0); break;
            case Refusal::NotAFolder:
                QDir(QString::fromStdString(m_oPaths.sProgramDir)).removeRecursively();
                Write(m_oPaths.sProgramDir, "a file");
                break;
            case Refusal::NameTakenByFolder: ASSERT_TRUE(QDir().mkpath(QString::fromStdString(ProgramMarker()))); break;
            case Refusal::BothFolders: Write(Path("config"), "a file"); [[fallthrough]];
            case Refusal::WriteDenied: {
                const std::string sDenied = m_oPaths.sProgramDir;
                tagshift::fs::SetFaultHookForTesting([sDenied](tagshift::fs::FsOp, const std::string& sPath) {
                    return sPath.rfind(sDenied + "/", 0) == 0 ? std::string("Permission denied") : std::string();
                });
                break;
            }
        }

        auto pForm = Start();
        ASSERT_EQ(pForm->state(), Form2::State::Shown);
        pForm->chk_shhhh->setChecked(true);
        QTest::mouseClick(pForm->Command1, Qt::LeftButton);
        EXPECT_EQ(m_iMainShows, 1) << "Continue still opens the main window";
        EXPECT_EQ(pForm->state(), Form2::State::Gone);
        const bool bKept = oCase.eRefusal != Refusal::BothFolders;
        EXPECT_FALSE(IsFile(ProgramMarker()));
        EXPECT_EQ(IsFile(ConfigMarker()), bKept);
        if (bKept) {
            EXPECT_EQ(Read(ConfigMarker()), "");
        }

        auto pNext = Start();
        EXPECT_EQ(pNext->state(), bKept ? Form2::State::Skipped : Form2::State::Shown);
        EXPECT_EQ(m_oShows.iShows, bKept ? 0 : 1);
        ::chmod(m_oPaths.sProgramDir.c_str(), 0755);
    }
}

// The real event loop: the program must neither end when the disclaimer
// closes before the main window shows, nor keep running after Exit or the
// frame's close box.
TEST(DisclaimerEventLoop, ProgramEndsOnlyWhenItShould) {
    QTemporaryDir oRoot;
    StartUpPaths oPaths{oRoot.path().toStdString(), oRoot.path().toStdString() + "/config"};
    enum Step { ClickContinue, ClickExit, CloseFrame };
    struct Case {
        const char* sName;
        Step eStep;
        int iExpectedExit;  // 42: still running when the test stopped it
        bool bMainShown;
    };
    const Case aCases[] = {
        {"Continue", ClickContinue, 42, true},
        {"Exit", ClickExit, 0, false},
        {"close box", CloseFrame, 0, false},
    };
    for (const Case& oCase : aCases) {
        SCOPED_TRACE(oCase.sName);
        std::unique_ptr<QWidget> oMain;
        Form2::Actions oActions;
        oActions.fnShowMainWindow = [&] {
            oMain = std::make_unique<QWidget>();
            // A command-line run inside the main window's load: a message
            // box opens and closes and pending events are processed, all
            // before the main window is visible.
            QWidget oBox;
            oBox.show();
            oBox.close();
            QCoreApplication::processEvents();
            oMain->show();
        };
        Form2 oForm(oPaths, oActions);  // Exit leaves the event loop by default
        oForm.Start();
        QTimer::singleShot(50, &oForm, [&] {
            if (oCase.eStep == ClickContinue) QTest::mouseClick(oForm.Command1, Qt::LeftButton);
            if (oCase.eStep == ClickExit) QTest::mouseClick(oForm.Command2, Qt::LeftButton);
            if (oCase.eStep == CloseFrame) oForm.close();
        });
        QTimer oStop;
        oStop.setSingleShot(true);
        QObject::connect(&oStop, &QTimer::timeout, [] { QCoreApplication::exit(42); });
        oStop.start(600);
        EXPECT_EQ(QApplication::exec(), oCase.iExpectedExit);
        EXPECT_EQ(static_cast<bool>(oMain), oCase.bMainShown);
        if (oMain) {
            EXPECT_TRUE(oMain->isVisible());
        }
        EXPECT_TRUE(QGuiApplication::quitOnLastWindowClosed()) << "restored after Continue";
    }
}

TEST(DisclaimerStartUp, LooksInTheProgramsOwnFolderAndTheUsersConfiguration) {
    tagshift::app::ConfigureApplicationNames();
    const StartUpPaths oPaths = tagshift::app::DefaultStartUpPaths();
    EXPECT_EQ(QString::fromStdString(oPaths.sProgramDir), QCoreApplication::applicationDirPath());
    EXPECT_TRUE(QString::fromStdString(oPaths.sConfigDir).endsWith("/tagshift")) << oPaths.sConfigDir;
    EXPECT_EQ(tagshift::app::ProgramMarkerPath({"/opt/t/", ""}), "/opt/t/skip.col");
    EXPECT_EQ(tagshift::app::ConfigMarkerPath({"/opt/t", ""}), "");
}

}  // namespace
