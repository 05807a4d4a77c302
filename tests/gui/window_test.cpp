// Tests of the main window under the offscreen platform.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>

#include "convert/Texts.h"
#include "app/CommandLine.h"
#include "tests/gui/WindowFakes.h"

// Readable QString values in failure messages.
inline void PrintTo(const QString& sText, std::ostream* pOut) { *pOut << '"' << sText.toStdString() << '"'; }

namespace tagshift::app::testing {
namespace {

const char* const kDefaultPatterns = texts::kDefaultPatterns;
const char* const kNoFolder = "No folder chosen or chosen folder does not exist...";
const char* const kChooseTip = "Click to choose the directory containing the website(s) you wish to update";

QString ReadAll(const QString& sPath) {
    QFile oFile(sPath);
    return oFile.open(QIODevice::ReadOnly) ? QString::fromUtf8(oFile.readAll()) : QString();
}

void WriteAll(const QString& sPath, const QByteArray& sText) {
    QDir().mkpath(QFileInfo(sPath).path());
    QFile oFile(sPath);
    ASSERT_TRUE(oFile.open(QIODevice::WriteOnly));
    oFile.write(sText);
}

// A site of iPages pages, each with one object block, in a subfolder "site".
QString MakeSite(const QTemporaryDir& oDir, int iPages, const QString& sName = QStringLiteral("site")) {
    const QString sSite = oDir.filePath(sName);
    for (int i = 0; i < iPages; ++i)
        WriteAll(sSite + QStringLiteral("/page%1.htm").arg(i),
                 "<html><body>\r\n<object data=\"movie.swf\">\r\n</object>\r\n</body></html>\r\n");
    WriteAll(sSite + "/style.css", "body {}\n");
    return sSite;
}

std::string Native(const QString& sPath) { return QFile::encodeName(sPath).toStdString(); }

class WindowTest : public ::testing::Test {
protected:
    FakeChooser oChooser;
    FakeLauncher oLauncher;
    FakeMessages oMessages;
    ObservedWindow oWindow{oChooser, oLauncher, oMessages};

    void Show() {
        oWindow.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&oWindow));
    }
    void MoveTo(QWidget* pWidget) {
        QTest::mouseMove(&oWindow, pWidget->geometry().center());
    }
    void MoveToBackground() { QTest::mouseMove(&oWindow, QPoint(119, 150)); }  // between panel and work area
    bool Underlined(QLabel* pLabel) const { return pLabel->font().underline(); }
};

// --- The layout ----------------------------------------------------------

struct ControlRow {
    const char* sName;
    int iLeft, iTop, iWidth, iHeight;  // twips
    const char* sCaption;              // labels and the text box
    QColor oColour;                    // invalid: the system's button text
    bool bBold;
    int iPixels;                       // 11: 8.25 pt, 16: 12 pt
    const char* sTip;
    int iTab;
};

const QColor kBlue(0, 0, 192), kDark(64, 64, 64), kGrey(128, 128, 128), kWhite(255, 255, 255), kBlack(0, 0, 0);

const ControlRow kLayout[] = {
    {"cmd_Donate", 5115, 3255, 945, 480, nullptr, {}, false, 0, "Click here if you wish to donate", 14},
    {"cmd_Convert", 1995, 3255, 645, 555, nullptr, {}, false, 0, nullptr, 7},
    {"cmd_Directory", 2025, 2400, 330, 375, nullptr, {}, false, 0, kChooseTip, 5},
    {"txt_Pattern", 135, 4590, 5715, 345, kDefaultPatterns, {}, false, 11, nullptr, 4},
    {"Label10", 5120, 2985, 2130, 225, "STEP 3: Donate!", kDark, true, 11, nullptr, 15},
    {"Label9", 330, 3555, 1200, 270, "I need help!", kBlue, false, 11, "Click here to launch the help file", 13},
    {"Label8", 315, 3150, 1260, 270, "Change file types", kGrey, false, 11, nullptr, 12},
    {"Label7", 315, 2535, 1200, 660, "Change which files this program scans:", kBlack, false, 11, nullptr, 11},
    {"Label6", 315, 2205, 1200, 270, "Microsoft info", kBlue, false, 11,
     "Launch Internet Explorer and read about the patch Microsoft has applied stopping ActiveX", 10},
    {"Label5", 315, 1590, 1200, 660, "Find out why you need to apply this patch:", kBlack, false, 11, nullptr, 9},
    {"Label4", 2640, 3375, 2130, 330, "Convert Website!", kBlue, true, 16, nullptr, 8},
    {"Label3", 1980, 2985, 2130, 225, "STEP 2: Press Convert", kDark, true, 11, nullptr, 6},
    {"lbl_Progress", 105, 4230, 5505, 270, "Progress: No Directory Selected     Version: " TAGSHIFT_VERSION, kWhite, false, 11, nullptr,
     3},
    {"lbl_directname", 2415, 2430, 4395, 480, "No Directory Chosen", {}, false, 11, kChooseTip, 2},
    {"Label2", 1980, 2130, 4860, 225, "STEP 1: Choose the directory containing your website(s)", kDark, true, 11,
     nullptr, 1},
    {"Label1", 1965, 1155, 4830, 825,
     "This program is designed to convert <object> and <embed> tags within a website to be compatible with "
     "Internet Explorer after their patch (KB912945)  disabled active content.",
     kBlack, false, 11, nullptr, 0},
};

TEST_F(WindowTest, EveryControlStandsAsTheLayoutGivesIt) {
    EXPECT_EQ(oWindow.windowTitle(), "Tagshift");
    EXPECT_EQ(oWindow.size(), QSize(460, 300));
    EXPECT_EQ(oWindow.minimumSize(), oWindow.maximumSize());
    EXPECT_FALSE(oWindow.windowIcon().isNull());
    const QColor oButtonText = oWindow.palette().color(QPalette::ButtonText);
    for (const ControlRow& oRow : kLayout) {
        SCOPED_TRACE(oRow.sName);
        auto* pControl = oWindow.findChild<QWidget*>(oRow.sName);
        ASSERT_NE(pControl, nullptr);
        const QRect oExpected(qRound(oRow.iLeft / 15.0), qRound(oRow.iTop / 15.0), qRound(oRow.iWidth / 15.0),
                              qRound(oRow.iHeight / 15.0));
        EXPECT_EQ(pControl->geometry(), oExpected);
        EXPECT_EQ(pControl->toolTip(), QString::fromLatin1(oRow.sTip ? oRow.sTip : ""));
        if (auto* pPicture = qobject_cast<PictureBox*>(pControl)) {
            EXPECT_EQ(pPicture->borderStyle(), 0);
            EXPECT_FALSE(pPicture->picture().isNull());
            continue;
        }
        if (auto* pEdit = qobject_cast<QLineEdit*>(pControl)) {
            EXPECT_EQ(pEdit->text(), oRow.sCaption);
            EXPECT_GE(pEdit->y(), oWindow.height()) << "the pattern box lies below the client area";
            continue;
        }
        auto* pLabel = qobject_cast<QLabel*>(pControl);
        ASSERT_NE(pLabel, nullptr);
        EXPECT_EQ(pLabel->text(), oRow.sCaption);
        EXPECT_EQ(pLabel->palette().color(QPalette::WindowText), oRow.oColour.isValid() ? oRow.oColour : oButtonText);
        EXPECT_EQ(pLabel->font().bold(), oRow.bBold);
        EXPECT_EQ(pLabel->font().pixelSize(), oRow.iPixels);
        EXPECT_FALSE(pLabel->font().underline());
        EXPECT_FALSE(pLabel->autoFillBackground()) << "labels are transparent";
        EXPECT_TRUE(pLabel->wordWrap());
    }
    // The pictures take the focus in the order of their tab index; the
    // pattern box never does.
    std::vector<QWidget*> aChain;
    for (QWidget* p = oWindow.nextInFocusChain(); p != &oWindow; p = p->nextInFocusChain())
        if (p->focusPolicy() & Qt::TabFocus) aChain.push_back(p);
    EXPECT_EQ(aChain, (std::vector<QWidget*>{oWindow.cmd_Directory, oWindow.cmd_Convert, oWindow.cmd_Donate}));
    EXPECT_EQ(oWindow.txt_Pattern->focusPolicy(), Qt::NoFocus);
}

TEST_F(WindowTest, EveryTextFitsItsBoxInsideTheClientArea) {
    for (QLabel* pLabel : oWindow.findChildren<QLabel*>()) {
        SCOPED_TRACE(pLabel->objectName().toStdString());
        const QRect oBox = pLabel->contentsRect();
        const QRect oText = QFontMetrics(pLabel->font())
                                .boundingRect(oBox, Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, pLabel->text());
        EXPECT_TRUE(oBox.contains(oText)) << "text " << oText.width() << "x" << oText.height() << " in box "
                                          << oBox.width() << "x" << oBox.height();
        EXPECT_TRUE(oWindow.rect().contains(oText.translated(pLabel->pos())));
    }
}

// --- Hover feedback ------------------------------------------------------

TEST_F(WindowTest, HoverLightsTargetsUntilThePointerCrossesTheBackground) {
    Show();
    MoveTo(oWindow.Label6);
    EXPECT_TRUE(Underlined(oWindow.Label6));
    MoveTo(oWindow.Label7);  // a control without handlers: nothing changes
    EXPECT_TRUE(Underlined(oWindow.Label6));
    MoveTo(oWindow.Label9);  // two targets lit at once
    EXPECT_TRUE(Underlined(oWindow.Label6));
    EXPECT_TRUE(Underlined(oWindow.Label9));
    MoveTo(oWindow.cmd_Convert);
    EXPECT_TRUE(Underlined(oWindow.Label4));
    MoveTo(oWindow.cmd_Directory);
    EXPECT_TRUE(Underlined(oWindow.lbl_directname));
    MoveTo(oWindow.cmd_Donate);
    EXPECT_EQ(oWindow.cmd_Donate->borderStyle(), 1);
    MoveTo(oWindow.Label1);
    EXPECT_TRUE(Underlined(oWindow.Label4));
    EXPECT_EQ(oWindow.cmd_Donate->borderStyle(), 1);

    MoveToBackground();
    for (QLabel* pLabel : {oWindow.Label4, oWindow.lbl_directname, oWindow.Label6, oWindow.Label9})
        EXPECT_FALSE(Underlined(pLabel)) << pLabel->objectName().toStdString();
    EXPECT_EQ(oWindow.cmd_Donate->borderStyle(), 0);

    MoveTo(oWindow.Label4);
    MoveTo(oWindow.lbl_directname);
    EXPECT_TRUE(Underlined(oWindow.Label4));
    EXPECT_TRUE(Underlined(oWindow.lbl_directname));
}

// --- Folder chooser ------------------------------------------------------

TEST_F(WindowTest, ChoiceAndCancelOfTheFolderChooser) {
    Show();
    const QString sIdle = oWindow.lbl_Progress->text();
    oChooser.aAnswers = {QStringLiteral("/srv/sites/shop"), std::nullopt};
    QTest::mouseClick(oWindow.cmd_Directory, Qt::LeftButton);
    EXPECT_EQ(oWindow.Run().sSourceDir, "/srv/sites/shop");
    EXPECT_EQ(oWindow.lbl_directname->text(), "/srv/sites/shop");
    EXPECT_EQ(oWindow.lbl_Progress->text(), sIdle) << "the picture's chooser sets no status";
    ASSERT_EQ(oChooser.aTitles.size(), 1u);
    EXPECT_EQ(oChooser.aTitles[0], "Select a folder");
    EXPECT_EQ(oChooser.aOwners[0], &oWindow);

    QTest::mouseClick(oWindow.cmd_Directory, Qt::LeftButton);  // cancel after a choice
    EXPECT_EQ(oWindow.Run().sSourceDir, "/srv/sites/shop");
    EXPECT_EQ(oWindow.lbl_directname->text(), "/srv/sites/shop");
}

TEST_F(WindowTest, FirstCancelEmptiesTheLabelAndConvertReportsNoFolder) {
    Show();
    QTest::mouseClick(oWindow.cmd_Directory, Qt::LeftButton);
    EXPECT_EQ(oWindow.lbl_directname->text(), "");
    EXPECT_EQ(oWindow.Run().sSourceDir, "");
    QTest::mouseClick(oWindow.cmd_Convert, Qt::LeftButton);
    ASSERT_EQ(oMessages.aShown.size(), 1u);
    EXPECT_EQ(oMessages.aShown[0].sPrompt, kNoFolder);
    EXPECT_EQ(oMessages.aShown[0].iStyle, 16);
    EXPECT_EQ(oMessages.aShown[0].sTitle, "Error");
    EXPECT_EQ(oWindow.lbl_Progress->text(), "Progress: Checking Directory");
}

TEST_F(WindowTest, FolderLabelRunsTheChooserAndSetsTheStatusEvenAfterCancel) {
    Show();
    for (std::optional<QString> oAnswer : {std::optional<QString>("/a/b"), std::optional<QString>()}) {
        oWindow.lbl_Progress->setText("x");
        oChooser.aAnswers = {oAnswer};
        QTest::mouseClick(oWindow.lbl_directname, Qt::LeftButton);
        EXPECT_EQ(oWindow.lbl_Progress->text(), "Progress: Directory selected - Press Convert");
        EXPECT_EQ(oWindow.Run().sSourceDir, "/a/b");
    }
    EXPECT_EQ(oChooser.aTitles.size(), 2u);
}

// --- Whole conversions ---------------------------------------------------

void ExpectCompletedRun(ObservedWindow& oWindow, FakeMessages& oMessages, const QString& sSite, int iPages) {
    ASSERT_FALSE(oWindow.aStatus.empty());
    bool bSawFile = false;
    for (const StatusSeen& oSeen : oWindow.aStatus) {
        if (oSeen.sText == "Progress: Disabling Interface") continue;  // shown before the controls go off
        EXPECT_FALSE(oSeen.bDirectoryEnabled) << oSeen.sText.toStdString();
        EXPECT_FALSE(oSeen.bConvertEnabled) << oSeen.sText.toStdString();
        bSawFile = bSawFile || oSeen.sText.startsWith("Progress: Checking File: ");
    }
    EXPECT_TRUE(bSawFile);
    EXPECT_TRUE(oWindow.cmd_Directory->isEnabled());
    EXPECT_TRUE(oWindow.cmd_Convert->isEnabled());
    EXPECT_EQ(oWindow.lbl_Progress->text(), "Progress: Website Converted");
    ASSERT_EQ(oMessages.aShown.size(), 1u);
    EXPECT_EQ(oMessages.aShown[0].sTitle, "Process Complete");
    EXPECT_EQ(oMessages.aShown[0].iStyle, 64);
    EXPECT_EQ(oMessages.aShown[0].sPrompt, QStringLiteral("Files Converted: %1 | Functions Replaced: %1\r\n"
                                                          "Your new website(s) are visible at %2_Converted")
                                               .arg(iPages)
                                               .arg(sSite));
    EXPECT_TRUE(ReadAll(sSite + "_Converted/page0.htm").contains("InsertObject1()"));
    EXPECT_TRUE(ReadAll(sSite + "_Converted/converter_log.txt").endsWith("Process Complete"));
}

TEST_F(WindowTest, ConvertPictureAndConvertLabelEachRunAWholeConversion) {
    Show();
    QTemporaryDir oDir;
    for (QWidget* pStarter : {static_cast<QWidget*>(oWindow.cmd_Convert), static_cast<QWidget*>(oWindow.Label4)}) {
        SCOPED_TRACE(pStarter->objectName().toStdString());
        const QString sSite = MakeSite(oDir, 3, pStarter->objectName());
        oChooser.aAnswers = {sSite};
        QTest::mouseClick(oWindow.cmd_Directory, Qt::LeftButton);
        oWindow.aStatus.clear();
        oMessages.aShown.clear();
        QTest::mouseClick(pStarter, Qt::LeftButton);
        ExpectCompletedRun(oWindow, oMessages, sSite, 3);
    }
}

TEST_F(WindowTest, ClicksDuringARunStartNothingAndChangeNoFolder) {
    Show();
    QTemporaryDir oDir;
    const QString sSite = MakeSite(oDir, 4);
    oWindow.Run().sSourceDir = Native(sSite);
    oChooser.aAnswers = {QStringLiteral("/elsewhere"), QStringLiteral("/elsewhere")};
    oWindow.fOnStatus = [&](const StatusSeen& oSeen) {
        if (!oSeen.sText.startsWith("Progress: Checking File: ")) return;
        for (QWidget* pTarget : {static_cast<QWidget*>(oWindow.Label4), static_cast<QWidget*>(oWindow.lbl_directname),
                                 static_cast<QWidget*>(oWindow.cmd_Directory),
                                 static_cast<QWidget*>(oWindow.cmd_Convert)})
            QTest::mouseClick(pTarget, Qt::LeftButton);
    };
    QTest::mouseClick(oWindow.cmd_Convert, Qt::LeftButton);
    oWindow.fOnStatus = nullptr;
    EXPECT_TRUE(oChooser.aTitles.empty()) << "no chooser during a run";
    EXPECT_EQ(oWindow.Run().sSourceDir, Native(sSite));
    ExpectCompletedRun(oWindow, oMessages, sSite, 4);
}

TEST_F(WindowTest, ClosingDuringARunEndsItAfterThePageInProgressAndLeavesNothing) {
    Show();
    QTemporaryDir oDir;
    const QString sSite = MakeSite(oDir, 6);
    oWindow.Run().sSourceDir = Native(sSite);
    int iFiles = 0;
    oWindow.fOnStatus = [&](const StatusSeen& oSeen) {
        if (oSeen.sText.startsWith("Progress: Checking File: ") && ++iFiles == 3) oWindow.close();
    };
    oWindow.cmd_Convert_Click();
    EXPECT_TRUE(oWindow.CloseRequested());
    EXPECT_FALSE(oWindow.isVisible());
    EXPECT_EQ(oWindow.Run().eOutcome, RunOutcome::Stopped);
    EXPECT_TRUE(oMessages.aShown.empty()) << "no box after the window was closed";
    EXPECT_EQ(oWindow.Run().iFileCount, 2) << "the walk ends at the third file, before converting it";
    // The unfinished copy is gone: the folder holds the site alone.
    EXPECT_EQ(QDir(oDir.path()).entryList(QDir::AllEntries | QDir::System | QDir::Hidden | QDir::NoDotAndDotDot),
              QStringList{QStringLiteral("site")});
}

// Counts the paint events a widget receives.
class PaintCounter : public QObject {
public:
    int iPaints = 0;
    QString sLastPainted;
    bool eventFilter(QObject* pWatched, QEvent* pEvent) override {
        if (pEvent->type() == QEvent::Paint) {
            ++iPaints;
            sLastPainted = static_cast<QLabel*>(pWatched)->text();
        }
        return false;
    }
};

TEST_F(WindowTest, StatusLineKeepsRepaintingDuringARunAndEndsOnTheLastText) {
    Show();
    QTemporaryDir oDir;
    const QString sSite = MakeSite(oDir, 4);
    oWindow.Run().sSourceDir = Native(sSite);
    PaintCounter oCounter;
    oWindow.lbl_Progress->installEventFilter(&oCounter);
    QString sPaintedAtSummary;
    oWindow.fOnStatus = [&](const StatusSeen& oSeen) {
        if (oSeen.sText.startsWith("Progress: Checking File: ")) QTest::qWait(30);  // a slow page
    };
    oMessages.fOnShow = [&](const Message&) {
        QCoreApplication::processEvents();
        sPaintedAtSummary = oCounter.sLastPainted;
    };
    oWindow.cmd_Convert_Click();
    QCoreApplication::processEvents();
    EXPECT_GE(oCounter.iPaints, 5) << "one repaint per slow file at least";
    EXPECT_EQ(sPaintedAtSummary, "Progress: Checking File: style.css");
    EXPECT_EQ(oCounter.sLastPainted, "Progress: Website Converted");
}

// --- The pattern box -----------------------------------------------------

TEST_F(WindowTest, KeysTypedIntoTheWindowDoNotChangeThePatternList) {
    Show();
    QApplication::setActiveWindow(&oWindow);
    EXPECT_NE(QApplication::focusWidget(), oWindow.txt_Pattern);
    QTest::keyClicks(&oWindow, "xyz;");
    QTest::keyClicks(oWindow.txt_Pattern, "xyz;");
    QTest::keyClick(oWindow.txt_Pattern, Qt::Key_Backspace);
    EXPECT_EQ(oWindow.txt_Pattern->text(), kDefaultPatterns);
    EXPECT_EQ(oWindow.PatternText(), kDefaultPatterns);
}

// --- Launches ------------------------------------------------------------

TEST_F(WindowTest, DonationAndInformationPagesOpenTheirAddresses) {
    Show();
    QTest::mouseClick(oWindow.cmd_Donate, Qt::LeftButton);
    QTest::mouseClick(oWindow.Label6, Qt::LeftButton);
    ASSERT_EQ(oLauncher.aPages.size(), 2u);
    const QUrl oDonate(oLauncher.aPages[0]);
    EXPECT_EQ(oDonate.scheme(), "https");
    const QStringList aKeys = {"cmd", "business", "no_shipping", "cn", "tax", "currency_code", "bn", "charset"};
    QStringList aSeen;
    for (const QString& sPair : oDonate.query(QUrl::FullyEncoded).split('&')) aSeen << sPair.section('=', 0, 0);
    EXPECT_EQ(aSeen, aKeys);
    EXPECT_TRUE(oLauncher.aPages[0].contains("?cmd=_xclick&business="));
    EXPECT_TRUE(oLauncher.aPages[0].contains("&no_shipping=1&cn=Any%20comments%3a&tax=0&currency_code=GBP&bn="));
    EXPECT_TRUE(oLauncher.aPages[0].endsWith("&charset=UTF%2d8"));
    EXPECT_TRUE(oLauncher.aPages[1].startsWith("http://"));
    EXPECT_TRUE(oLauncher.aPages[1].endsWith(
        "/library/default.asp?url=/workshop/author/dhtml/overview/activating_activex.asp"));
    EXPECT_TRUE(oMessages.aShown.empty());

    oWindow.cmd_Donate->setFocus();
    QTest::keyClick(oWindow.cmd_Donate, Qt::Key_Space);  // the focused picture clicks from the keyboard
    ASSERT_EQ(oLauncher.aPages.size(), 3u);
    EXPECT_EQ(oLauncher.aPages[2], oLauncher.aPages[0]);

    oLauncher.bSucceeds = false;
    QTest::mouseClick(oWindow.cmd_Donate, Qt::LeftButton);
    ASSERT_EQ(oMessages.aShown.size(), 1u);
    EXPECT_EQ(oMessages.aShown[0].sTitle, "Error");
    EXPECT_EQ(oMessages.aShown[0].iStyle, 16);
    EXPECT_TRUE(oMessages.aShown[0].sPrompt.contains(oLauncher.aPages.back()));
}

TEST_F(WindowTest, HelpFileComesFromTheCurrentFolderThenFromBesideTheProgram) {
    Show();
    const QString sStart = QDir::currentPath();
    QTemporaryDir oDir;
    ASSERT_TRUE(QDir::setCurrent(oDir.path()));
    const QString sInstalled = QDir(QCoreApplication::applicationDirPath()).filePath("readme.txt");
    const bool bMadeInstalled = !QFileInfo::exists(sInstalled);
    if (bMadeInstalled) WriteAll(sInstalled, "installed");

    WriteAll(oDir.filePath("readme.txt"), "local");
    QTest::mouseClick(oWindow.Label9, Qt::LeftButton);
    QFile::remove(oDir.filePath("readme.txt"));
    QTest::mouseClick(oWindow.Label9, Qt::LeftButton);
    if (bMadeInstalled) QFile::remove(sInstalled);
    QTest::mouseClick(oWindow.Label9, Qt::LeftButton);
    QDir::setCurrent(sStart);

    if (bMadeInstalled) {
        ASSERT_EQ(oLauncher.aFiles.size(), 2u);
        ASSERT_EQ(oMessages.aShown.size(), 1u);
        EXPECT_EQ(oMessages.aShown[0].sTitle, "Error");
        EXPECT_TRUE(oMessages.aShown[0].sPrompt.contains("readme.txt"));
    }
    ASSERT_GE(oLauncher.aFiles.size(), 2u);
    EXPECT_EQ(oLauncher.aFiles[0], QDir(oDir.path()).absoluteFilePath("readme.txt"));
    EXPECT_EQ(oLauncher.aFiles[1], sInstalled);
}

// --- Command-line start --------------------------------------------------

TEST(ArgumentText, JoinsTheArgumentsAfterTheProgramName) {
    EXPECT_EQ(ArgumentText({"tagshift"}), "");
    EXPECT_EQ(ArgumentText({"tagshift", "/srv/my", "site"}), "/srv/my site");
    EXPECT_EQ(ArgumentText({"tagshift", "\"/srv/site\""}), "\"/srv/site\"");
}

TEST(FolderFromArgumentText, RemovesOnePairOfQuotesAndTrailingSeparators) {
    const struct {
        const char* sText;
        const char* sFolder;
    } aCases[] = {
        {"\"/srv/site\"", "/srv/site"}, {"/srv/site", "/srv/site"},   {"\"\"", ""},
        {"x", "x"},                     {"\"", "\""},                 {"\"\"/a\"\"", "\"/a\""},
        {"/srv/site/", "/srv/site"},    {"\"/srv/site//\"", "/srv/site"}, {"/", "/"},
        {"\"/srv/site", "\"/srv/site"},
    };
    for (const auto& oCase : aCases) EXPECT_EQ(FolderFromArgumentText(oCase.sText), oCase.sFolder) << oCase.sText;
}

TEST_F(WindowTest, CommandLineStartConvertsBeforeTheWindowIsShown) {
    QTemporaryDir oDir;
    const struct {
        const char* sName;
        QString (*fText)(const QString&);
    } aCases[] = {
        {"quoted", [](const QString& s) { return '"' + s + '"'; }},
        {"unquoted", [](const QString& s) { return s; }},
        {"trailing separator", [](const QString& s) { return s + '/'; }},
    };
    for (const auto& oCase : aCases) {
        SCOPED_TRACE(oCase.sName);
        FakeChooser oChooser2;
        FakeLauncher oLauncher2;
        FakeMessages oMessages2;
        ObservedWindow oFresh(oChooser2, oLauncher2, oMessages2);
        const QString sSite = MakeSite(oDir, 2, QStringLiteral("my site %1").arg(oCase.sName));
        oFresh.Form_Load(oCase.fText(sSite));
        EXPECT_EQ(oFresh.Run().sSourceDir, Native(sSite));
        EXPECT_EQ(oFresh.lbl_directname->text(), sSite);
        ExpectCompletedRun(oFresh, oMessages2, sSite, 2);
        EXPECT_FALSE(oMessages2.aShown[0].bWindowVisible) << "the run ends before the window appears";
    }
}

TEST_F(WindowTest, CommandLineStartWithoutAFolder) {
    oWindow.Form_Load("");
    EXPECT_TRUE(oWindow.aStatus.empty());
    EXPECT_TRUE(oMessages.aShown.empty());
    EXPECT_EQ(oWindow.lbl_directname->text(), "No Directory Chosen");

    oWindow.Form_Load("\"\"");
    EXPECT_EQ(oWindow.Run().sSourceDir, "");
    EXPECT_EQ(oWindow.lbl_directname->text(), "");
    ASSERT_EQ(oMessages.aShown.size(), 1u);
    EXPECT_EQ(oMessages.aShown[0].sPrompt, kNoFolder);
}

}  // namespace
}  // namespace tagshift::app::testing

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication oApp(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
