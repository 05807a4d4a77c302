#include "app/form1.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QUrl>

#include "app/CommandLine.h"
#include "app/Twips.h"
#include "convert/Texts.h"

#ifndef TAGSHIFT_DONATION_ACCOUNT
#define TAGSHIFT_DONATION_ACCOUNT "donations@example.com"
#endif
#ifndef TAGSHIFT_DONATION_BUTTON_SOURCE
#define TAGSHIFT_DONATION_BUTTON_SOURCE "Tagshift_Donate_WPS_GB"
#endif

static void InitResources() { Q_INIT_RESOURCE(tagshift); }

namespace tagshift::app {

namespace {

// The window's own texts.
constexpr const char* kCaption = "Tagshift";
constexpr const char* kChooserTitle = "Select a folder";
constexpr const char* kStatusDirectorySelected = "Progress: Directory selected - Press Convert";
constexpr const char* kChooseTip =
    "Click to choose the directory containing the website(s) you wish to update";
constexpr const char* kHelpFile = "readme.txt";

// The shortest time between two repaints of the status line during a run.
constexpr qint64 kStatusFrameMs = 20;

// The window font: Liberation Sans, the metric twin of Arial and the
// nearest installed match for MS Sans Serif, at 8.25 pt (11 pixels at 96
// dots per inch). Sizes are set in pixels so that the text keeps fitting the
// fixed layout at any screen resolution, and the letters are set 2 % closer,
// which brings the wider face to the narrower one's line lengths ("Change
// file types" fits its box on one line).
constexpr const char* kFontFamily = "Liberation Sans";
constexpr int kFontPixels = 11;        // 8.25 pt
constexpr int kLargeFontPixels = 16;   // 12 pt
constexpr int kLetterSpacingPercent = 98;

const QColor kLinkBlue(0, 0, 192);
const QColor kDarkGrey(64, 64, 64);
const QColor kGrey(128, 128, 128);
const QColor kWhite(255, 255, 255);
const QColor kBlack(0, 0, 0);

// The core's paths are UTF-8 on every platform: what Qt's local 8-bit
// encoding is on Unix, but not on Windows (the ANSI code page there).
std::string ToNative(const QString& sText) { return sText.toUtf8().toStdString(); }

QString FromNative(const std::string& sText) {
    return QString::fromUtf8(sText.data(), static_cast<qsizetype>(sText.size()));
}

void SetUnderline(QLabel* pLabel, bool bUnderline) {
    if (pLabel->font().underline() == bUnderline) return;
    QFont oFont = pLabel->font();
    oFont.setUnderline(bUnderline);
    pLabel->setFont(oFont);
}

}  // namespace

form1::form1(Services oServices, QWidget* pParent)
    : QWidget(pParent,
              Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                  Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint),
      m_oServices(oServices),
      m_oRun(*this) {
    InitResources();
    setObjectName(QStringLiteral("form1"));
    setWindowTitle(QString::fromLatin1(kCaption));
    setWindowIcon(QIcon(QStringLiteral(":/tagshift/icon.png")));
    m_oBackground.load(QStringLiteral(":/tagshift/background.png"));
    setFixedSize(460, 300);
    QFont oFont(QString::fromLatin1(kFontFamily));
    oFont.setPixelSize(kFontPixels);
    oFont.setWeight(QFont::Normal);
    oFont.setLetterSpacing(QFont::PercentageSpacing, kLetterSpacingPercent);
    setFont(oFont);
    setMouseTracking(true);
    BuildControls();
}

form1::~form1() = default;

void form1::BuildControls() {
    auto Control = [this](QWidget* pControl, const char* sName, QRect oGeometry, const char* sTip) {
        pControl->setObjectName(QString::fromLatin1(sName));
        pControl->setGeometry(oGeometry);
        if (sTip) pControl->setToolTip(QString::fromLatin1(sTip));
        // Every control handles its own pointer movements: a movement over a
        // control never reaches the background.
        pControl->setMouseTracking(true);
        pControl->setAttribute(Qt::WA_NoMousePropagation);
        pControl->installEventFilter(this);
    };
    auto Picture = [&](const char* sName, QRect oGeometry, const char* sPicture, const char* sTip) {
        auto* pBox = new PictureBox(this);
        Control(pBox, sName, oGeometry, sTip);
        pBox->setPicture(QPixmap(QString::fromLatin1(sPicture)));
        pBox->setFocusPolicy(Qt::TabFocus);
        return pBox;
    };
    auto Label = [&](const char* sName, QRect oGeometry, const char* sText, const QColor& oColour, int iWeight,
                     int iPixels, const char* sTip) {
        auto* pLabel = new QLabel(QString::fromLatin1(sText), this);
        Control(pLabel, sName, oGeometry, sTip);
        pLabel->setTextFormat(Qt::PlainText);
        pLabel->setWordWrap(true);
        pLabel->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        pLabel->setMargin(0);
        pLabel->setIndent(0);
        QPalette oPalette = pLabel->palette();
        oPalette.setColor(QPalette::Active, QPalette::WindowText, oColour);
        oPalette.setColor(QPalette::Inactive, QPalette::WindowText, oColour);
        oPalette.setColor(QPalette::Disabled, QPalette::WindowText, oColour);
        pLabel->setPalette(oPalette);
        if (iWeight != QFont::Normal || iPixels != kFontPixels) {
            QFont oFont = font();
            oFont.setWeight(static_cast<QFont::Weight>(iWeight));
            oFont.setPixelSize(iPixels);
            pLabel->setFont(oFont);
        }
        return pLabel;
    };
    const int iRegular = QFont::Normal;
    const int iBold = QFont::Bold;
    const QColor oButtonText = palette().color(QPalette::ButtonText);

    // The pictures are made in the order of their tab index (5, 7, 14),
    // which is the keyboard focus order; none of the controls overlap.
    cmd_Directory = Picture("cmd_Directory", TwipRect(2025, 2400, 330, 375), ":/tagshift/folder.png", kChooseTip);
    cmd_Convert = Picture("cmd_Convert", TwipRect(1995, 3255, 645, 555), ":/tagshift/icon.png", nullptr);
    cmd_Donate = Picture("cmd_Donate", TwipRect(5115, 3255, 945, 480), ":/tagshift/donate.png",
                         "Click here if you wish to donate");

    // The pattern list every run reads. It lies below the client area, where
    // it is never seen; it takes neither the focus nor keys, so nothing
    // typed into the window can change which pages are converted.
    txt_Pattern = new QLineEdit(QString::fromLatin1(texts::kDefaultPatterns), this);
    Control(txt_Pattern, "txt_Pattern", TwipRect(135, 4590, 5715, 345), nullptr);
    txt_Pattern->setFocusPolicy(Qt::NoFocus);
    txt_Pattern->setReadOnly(true);
    txt_Pattern->setAttribute(Qt::WA_InputMethodEnabled, false);

    Label10 = Label("Label10", TwipRect(5120, 2985, 2130, 225), "STEP 3: Donate!", kDarkGrey, iBold, kFontPixels,
                    nullptr);
    Label9 = Label("Label9", TwipRect(330, 3555, 1200, 270), "I need help!", kLinkBlue, iRegular, kFontPixels,
                   "Click here to launch the help file");
    Label8 = Label("Label8", TwipRect(315, 3150, 1260, 270), "Change file types", kGrey, iRegular, kFontPixels,
                   nullptr);
    Label8->setEnabled(false);  // nothing acts on it
    Label7 = Label("Label7", TwipRect(315, 2535, 1200, 660), "Change which files this program scans:", kBlack,
                   iRegular, kFontPixels, nullptr);
    Label6 = Label("Label6", TwipRect(315, 2205, 1200, 270), "Microsoft info", kLinkBlue, iRegular, kFontPixels,
                   "Launch Internet Explorer and read about the patch Microsoft has applied stopping ActiveX");
    Label5 = Label("Label5", TwipRect(315, 1590, 1200, 660), "Find out why you need to apply this patch:", kBlack,
                   iRegular, kFontPixels, nullptr);
    Label4 = Label("Label4", TwipRect(2640, 3375, 2130, 330), "Convert Website!", kLinkBlue, iBold,
                   kLargeFontPixels, nullptr);
    Label3 = Label("Label3", TwipRect(1980, 2985, 2130, 225), "STEP 2: Press Convert", kDarkGrey, iBold,
                   kFontPixels, nullptr);
    const QString sIdle = QStringLiteral("Progress: No Directory Selected     Version: ") +
                          QString::fromLatin1(TAGSHIFT_VERSION);
    lbl_Progress = Label("lbl_Progress", TwipRect(105, 4230, 5505, 270), "", kWhite, iRegular, kFontPixels, nullptr);
    lbl_Progress->setText(sIdle);
    lbl_directname = Label("lbl_directname", TwipRect(2415, 2430, 4395, 480), "No Directory Chosen", oButtonText,
                           iRegular, kFontPixels, kChooseTip);
    Label2 = Label("Label2", TwipRect(1980, 2130, 4860, 225),
                   "STEP 1: Choose the directory containing your website(s)", kDarkGrey, iBold, kFontPixels,
                   nullptr);
    Label1 = Label("Label1", TwipRect(1965, 1155, 4830, 825),
                   "This program is designed to convert <object> and <embed> tags within a website to be "
                   "compatible with Internet Explorer after their patch (KB912945)  disabled active content.",
                   kBlack, iRegular, kFontPixels, nullptr);
}

// --- Command-line start --------------------------------------------------

void form1::Form_Load(const QString& sArgumentText) {
    if (sArgumentText.isEmpty()) return;
    const QString sFolder = FolderFromArgumentText(sArgumentText);
    lbl_directname->setText(sFolder);
    m_oRun.sSourceDir = ToNative(sFolder);
    QCoreApplication::processEvents();
    RunConversion();
}

// --- Clicks --------------------------------------------------------------

void form1::cmd_Directory_Click() {
    // No change of the source folder while a run uses it.
    if (m_oRun.IsRunning()) return;
    if (std::optional<QString> oChosen = m_oServices.pChooser->ChooseFolder(this, QString::fromLatin1(kChooserTitle)))
        m_oRun.sSourceDir = ToNative(*oChosen);
    lbl_directname->setText(FromNative(m_oRun.sSourceDir));
}

void form1::lbl_directname_Click() {
    if (m_oRun.IsRunning()) return;
    cmd_Directory_Click();
    lbl_Progress->setText(QString::fromLatin1(kStatusDirectorySelected));
}

void form1::cmd_Convert_Click() { RunConversion(); }

void form1::Label4_Click() { RunConversion(); }

void form1::RunConversion() {
    if (m_oRun.IsRunning()) return;  // no run inside a running one
    m_oRun.cmd_Convert_Click();
    if (m_bCloseRequested) QCoreApplication::quit();
}

QString form1::DonationAddress() {
    auto Encoded = [](const char* sValue) {
        return QString::fromLatin1(QUrl::toPercentEncoding(QString::fromUtf8(sValue)));
    };
    return QStringLiteral("https://www.paypal.com/cgi-bin/webscr?cmd=_xclick&business=") +
           Encoded(TAGSHIFT_DONATION_ACCOUNT) +
           QStringLiteral("&no_shipping=1&cn=Any%20comments%3a&tax=0&currency_code=GBP&bn=") +
           Encoded(TAGSHIFT_DONATION_BUTTON_SOURCE) + QStringLiteral("&charset=UTF%2d8");
}

QString form1::InformationAddress() {
    return QStringLiteral(
        "http://msdn.microsoft.com/library/default.asp?url=/workshop/author/dhtml/overview/activating_activex.asp");
}

void form1::cmd_Donate_Click() {
    const QString sAddress = DonationAddress();
    Launch(m_oServices.pLauncher->OpenWebPage(sAddress), QStringLiteral("the donation page ") + sAddress);
}

void form1::Label6_Click() {
    const QString sAddress = InformationAddress();
    Launch(m_oServices.pLauncher->OpenWebPage(sAddress), QStringLiteral("the information page ") + sAddress);
}

void form1::Label9_Click() {
    // readme.txt of the current directory; failing that, the one installed
    // next to the program.
    const QString sHelpFile = QString::fromLatin1(kHelpFile);
    const QString sLocal = QDir::current().absoluteFilePath(sHelpFile);
    const QString sInstalled = QDir(QCoreApplication::applicationDirPath()).absoluteFilePath(sHelpFile);
    QString sPath;
    if (QFileInfo(sLocal).isFile())
        sPath = sLocal;
    else if (QFileInfo(sInstalled).isFile())
        sPath = sInstalled;
    if (sPath.isEmpty()) {
        ShowError(QStringLiteral("The help file could not be opened: there is no ") + sHelpFile + QStringLiteral(" in ") +
                  QDir::toNativeSeparators(QDir::currentPath()) + QStringLiteral(" nor in ") +
                  QDir::toNativeSeparators(QCoreApplication::applicationDirPath()) + QStringLiteral("."));
        return;
    }
    Launch(m_oServices.pLauncher->OpenTextFile(sPath),
           QStringLiteral("the help file ") + QDir::toNativeSeparators(sPath));
}

void form1::Launch(bool bOpened, const QString& sWhat) {
    if (!bOpened) ShowError(QStringLiteral("Could not open ") + sWhat);
}

void form1::ShowError(const QString& sPrompt) {
    m_oServices.pMessages->Show(isVisible() ? this : nullptr, sPrompt, texts::kStyleStop,
                                QString::fromLatin1(texts::kTitleError));
}

// --- Pointer and keys ----------------------------------------------------

bool form1::eventFilter(QObject* pWatched, QEvent* pEvent) {
    if (!pWatched->isWidgetType() || static_cast<QWidget*>(pWatched)->parentWidget() != this)
        return QWidget::eventFilter(pWatched, pEvent);
    auto* pControl = static_cast<QWidget*>(pWatched);
    switch (pEvent->type()) {
        case QEvent::MouseMove:
            HoverOver(pControl);
            return true;
        case QEvent::MouseButtonPress: {
            auto* pMouse = static_cast<QMouseEvent*>(pEvent);
            if (pMouse->button() == Qt::LeftButton) m_pPressed = pControl;
            return true;
        }
        case QEvent::MouseButtonDblClick:
            // The second press of a double click is no second click.
            m_pPressed = nullptr;
            return true;
        case QEvent::MouseButtonRelease: {
            auto* pMouse = static_cast<QMouseEvent*>(pEvent);
            if (pMouse->button() != Qt::LeftButton) return true;
            const bool bClick = m_pPressed == pControl && pControl->rect().contains(pMouse->position().toPoint());
            m_pPressed = nullptr;
            if (bClick) Clicked(pControl);
            return true;
        }
        case QEvent::KeyPress: {
            auto* pKey = static_cast<QKeyEvent*>(pEvent);
            const bool bActivate = pKey->key() == Qt::Key_Space || pKey->key() == Qt::Key_Return ||
                                   pKey->key() == Qt::Key_Enter;
            if (bActivate && qobject_cast<PictureBox*>(pControl) && !pKey->isAutoRepeat()) {
                Clicked(pControl);
                return true;
            }
            return QWidget::eventFilter(pWatched, pEvent);
        }
        default:
            return QWidget::eventFilter(pWatched, pEvent);
    }
}

void form1::Clicked(QWidget* pControl) {
    if (!pControl->isEnabled()) return;
    if (pControl == cmd_Directory)
        cmd_Directory_Click();
    else if (pControl == lbl_directname)
        lbl_directname_Click();
    else if (pControl == cmd_Convert)
        cmd_Convert_Click();
    else if (pControl == Label4)
        Label4_Click();
    else if (pControl == cmd_Donate)
        cmd_Donate_Click();
    else if (pControl == Label6)
        Label6_Click();
    else if (pControl == Label9)
        Label9_Click();
}

void form1::HoverOver(QWidget* pControl) {
    if (pControl == Label4 || pControl == cmd_Convert)
        SetUnderline(Label4, true);
    else if (pControl == lbl_directname || pControl == cmd_Directory)
        SetUnderline(lbl_directname, true);
    else if (pControl == Label6)
        SetUnderline(Label6, true);
    else if (pControl == Label9)
        SetUnderline(Label9, true);
    else if (pControl == cmd_Donate)
        cmd_Donate->setBorderStyle(1);
}

void form1::HoverReset() {
    SetUnderline(lbl_directname, false);
    SetUnderline(Label4, false);
    SetUnderline(Label6, false);
    SetUnderline(Label9, false);
    cmd_Donate->setBorderStyle(0);
}

void form1::mouseMoveEvent(QMouseEvent*) { HoverReset(); }

void form1::paintEvent(QPaintEvent*) {
    QPainter oPainter(this);
    oPainter.drawPixmap(0, 0, m_oBackground);
}

void form1::closeEvent(QCloseEvent* pEvent) {
    // A run in progress ends after the page it is working on; the program
    // ends with it.
    if (m_oRun.IsRunning()) m_bCloseRequested = true;
    pEvent->accept();
}

// --- The run's host ------------------------------------------------------

void form1::ShowStatus(const std::string& sText) {
    // The label always holds the latest text, but it is repainted at most
    // once a frame: a walk over thousands of small files would otherwise
    // spend much of its time painting texts too brief to be read.
    const bool bFrameDue = !m_oStatusFrame.isValid() || m_oStatusFrame.hasExpired(kStatusFrameMs);
    if (bFrameDue) m_oStatusFrame.start();
    if (lbl_Progress->updatesEnabled() != bFrameDue) lbl_Progress->setUpdatesEnabled(bFrameDue);
    lbl_Progress->setText(FromNative(sText));
    QCoreApplication::processEvents();
}

void form1::FlushStatus() {
    if (!lbl_Progress->updatesEnabled()) lbl_Progress->setUpdatesEnabled(true);  // repaints the latest text
}

void form1::ProcessEvents() { QCoreApplication::processEvents(); }

void form1::SetActionsEnabled(bool bEnabled) {
    FlushStatus();
    cmd_Directory->setEnabled(bEnabled);
    cmd_Convert->setEnabled(bEnabled);
}

std::string form1::PatternText() { return ToNative(txt_Pattern->text()); }

void form1::ShowMessage(const std::string& sPrompt, int iStyle, const std::string& sTitle) {
    FlushStatus();
    m_oServices.pMessages->Show(isVisible() ? this : nullptr, FromNative(sPrompt), iStyle, FromNative(sTitle));
}

// --- Start ---------------------------------------------------------------

std::unique_ptr<form1> ShowMainWindow() {
    auto pWindow = std::make_unique<form1>(PlatformServices());
    pWindow->Form_Load(ArgumentText(QCoreApplication::arguments()));
    pWindow->show();
    return pWindow;
}

}  // namespace tagshift::app
