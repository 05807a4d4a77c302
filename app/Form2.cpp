#include "app/Form2.h"
#include "app/Twips.h"

#include <utility>

#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QtDebug>

namespace tagshift::app {

namespace {

// The window's paragraphs, word for word as the disclaimer has always
// carried them (spelling and the double blank in Label5 included).
const char* const kCaption = "Pagemend Disclaimer";
const char* const kParagraph1 =
    "This program is offered to you \"as is\" and is desgined to help web programmers like you and me update "
    "websites easily after Microsoft patched Internet Explorer to stop embedded Active X";
const char* const kParagraph2 =
    "This program comes with no guarantees and we can not be held responsible if it fails to work with your "
    "website or any loss of earnings occur as a result of using this program.";
const char* const kParagraph3 =
    "This program will copy the ammended website into a new directory. Please thoroughly test this and be sure "
    "that you are satisfied the changes have worked before discarding the old site. In fact, we do not "
    "recommend discarding your original site at all.";
const char* const kParagraph4 = "Please test your website(s) after using this program!";
const char* const kParagraph5 =
    "If this program works for you, please donate and  I will see what else I can produce to make your life a "
    "bit easier!";
const char* const kParagraph6 =
    "Please read the readme.txt file for instructions. This program will not update <applet> tags and cannot "
    "forsee any scripting, only HTML. Allthough this program will work fine with PHP, ASP, etc, do not use this "
    "if you use PHP, ASP, etc to generate any part of the <object> or <embed> tags.";

// MS Sans Serif 8.25 pt is 11 pixels at the standard resolution; where it
// is missing, a sans-serif face of similar width stands in.
QFont WindowFont(bool bBold) {
    QFont oFont;
    oFont.setFamilies({QStringLiteral("MS Sans Serif"), QStringLiteral("Liberation Sans"),
                       QStringLiteral("Arial"), QStringLiteral("DejaVu Sans")});
    oFont.setStyleHint(QFont::SansSerif);
    oFont.setPixelSize(11);
    oFont.setWeight(bBold ? QFont::Bold : QFont::Normal);
    return oFont;
}

QLabel* MakeLabel(QWidget* pParent, const char* sName, const char* sText, QRect oRect, bool bBold) {
    auto* pLabel = new QLabel(pParent);
    pLabel->setObjectName(QLatin1String(sName));
    // Plain text: the paragraphs hold "<applet>", "<object>" and "<embed>".
    pLabel->setTextFormat(Qt::PlainText);
    pLabel->setText(QString::fromUtf8(sText));
    pLabel->setWordWrap(true);
    pLabel->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    pLabel->setFont(WindowFont(bBold));
    pLabel->setGeometry(oRect);
    pLabel->setFocusPolicy(Qt::NoFocus);
    QPalette oPalette = pLabel->palette();
    oPalette.setColor(QPalette::Window, Qt::white);
    oPalette.setColor(QPalette::WindowText, oPalette.color(QPalette::ButtonText));
    pLabel->setPalette(oPalette);
    pLabel->setAutoFillBackground(true);
    return pLabel;
}

QPushButton* MakeButton(QWidget* pParent, const char* sName, const char* sCaption, QRect oRect) {
    auto* pButton = new QPushButton(QString::fromUtf8(sCaption), pParent);
    pButton->setObjectName(QLatin1String(sName));
    pButton->setFont(WindowFont(false));
    pButton->setGeometry(oRect);
    pButton->setAutoDefault(false);
    pButton->setDefault(false);
    return pButton;
}

}  // namespace

Form2::Form2(StartUpPaths oPaths, Actions oActions, QWidget* pParent)
    : QWidget(pParent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint),
      m_oPaths(std::move(oPaths)),
      m_oActions(std::move(oActions)) {
    setObjectName(QStringLiteral("Form2"));
    setWindowTitle(QString::fromUtf8(kCaption));
    setFixedSize(Px(5220), Px(4935));
    setFont(WindowFont(false));
    QPalette oPalette = palette();
    oPalette.setColor(QPalette::Window, Qt::white);
    setPalette(oPalette);
    setAutoFillBackground(true);

    Command2 = MakeButton(this, "Command2", "Exit", TwipRect(4290, 4395, 750, 345));
    Command1 = MakeButton(this, "Command1", "Continue", TwipRect(3015, 4395, 1185, 345));

    chk_shhhh = new QCheckBox(QStringLiteral("Do not show this message again"), this);
    chk_shhhh->setObjectName(QStringLiteral("chk_shhhh"));
    chk_shhhh->setFont(WindowFont(false));
    chk_shhhh->setGeometry(TwipRect(150, 4425, 2670, 270));
    chk_shhhh->setChecked(false);
    QPalette oCheckPalette = chk_shhhh->palette();
    oCheckPalette.setColor(QPalette::Window, Qt::white);
    chk_shhhh->setPalette(oCheckPalette);
    chk_shhhh->setBackgroundRole(QPalette::Window);  // buttons fill with the button colour otherwise
    chk_shhhh->setAutoFillBackground(true);

    Label6 = MakeLabel(this, "Label6", kParagraph6, TwipRect(150, 2640, 4920, 1005), false);
    Label5 = MakeLabel(this, "Label5", kParagraph5, TwipRect(150, 3705, 4920, 390), true);

    // The rule above the check box and the buttons: (120, 4260) to (5010, 4260).
    Line1 = new QFrame(this);
    Line1->setObjectName(QStringLiteral("Line1"));
    Line1->setFrameShape(QFrame::NoFrame);
    Line1->setGeometry(Px(120), Px(4260), Px(5010 - 120), 1);
    QPalette oLinePalette = Line1->palette();
    oLinePalette.setColor(QPalette::Window, oLinePalette.color(QPalette::WindowText));
    Line1->setPalette(oLinePalette);
    Line1->setAutoFillBackground(true);

    Label4 = MakeLabel(this, "Label4", kParagraph4, TwipRect(150, 2370, 4920, 300), true);
    Label3 = MakeLabel(this, "Label3", kParagraph3, TwipRect(150, 1500, 4920, 855), false);
    Label2 = MakeLabel(this, "Label2", kParagraph2, TwipRect(135, 840, 4920, 645), false);
    Label1 = MakeLabel(this, "Label1", kParagraph1, TwipRect(150, 165, 4920, 660), false);

    // The labels take no focus: the check box, Continue, Exit.
    setTabOrder(chk_shhhh, Command1);
    setTabOrder(Command1, Command2);
    chk_shhhh->setFocus();

    connect(Command1, &QPushButton::clicked, this, [this] { Command1_Click(); });
    connect(Command2, &QPushButton::clicked, this, [this] { Command2_Click(); });
}

void Form2::Start() {
    m_eState = State::Loading;
    Form_Load();
    if (m_eState != State::Loading) return;
    m_eState = State::Shown;
    if (const QScreen* pScreen = QGuiApplication::primaryScreen())
        move(pScreen->availableGeometry().center() - rect().center());
    show();
    chk_shhhh->setFocus();
}

void Form2::Form_Load() {
    // The box is unticked here, so Continue writes nothing.
    if (SkipMarkerExists(m_oPaths)) Command1_Click();
}

void Form2::Command1_Click() {
    if (m_eState != State::Loading && m_eState != State::Shown) return;
    if (chk_shhhh->isChecked() && !SkipMarkerExists(m_oPaths)) {
        std::string sReason;
        if (CreateSkipMarker(m_oPaths, &sReason) == MarkerWrite::NotWritten)
            qWarning("The disclaimer will be shown again: the skip marker could not be written (%s)",
                     sReason.c_str());
    }
    m_eState = m_eState == State::Loading ? State::Skipped : State::Gone;

    // Between the unload and the first showing of the main window no window
    // is open, and a command-line run inside the main window's load may open
    // and close message boxes; none of that may end the program.
    auto* pGuiApp = qobject_cast<QGuiApplication*>(QCoreApplication::instance());
    const bool bQuitOnLastClosed = pGuiApp && QGuiApplication::quitOnLastWindowClosed();
    if (bQuitOnLastClosed) QGuiApplication::setQuitOnLastWindowClosed(false);
    Unload();
    if (m_oActions.fnShowMainWindow) m_oActions.fnShowMainWindow();
    if (bQuitOnLastClosed) QGuiApplication::setQuitOnLastWindowClosed(true);
}

void Form2::Command2_Click() {
    if (m_eState != State::Shown) return;
    m_eState = State::Ended;
    Unload();
    if (m_oActions.fnEndProgram)
        m_oActions.fnEndProgram();
    else
        QCoreApplication::exit(0);
}

void Form2::Unload() {
    m_bUnloading = true;
    close();
    m_bUnloading = false;
}

void Form2::closeEvent(QCloseEvent* pEvent) {
    // Closed through the frame: the program ends without the main window
    // (it has no other window left) and the marker is not touched.
    if (!m_bUnloading && m_eState == State::Shown) m_eState = State::Ended;
    pEvent->accept();
}

}  // namespace tagshift::app
