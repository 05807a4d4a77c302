// The disclaimer window's layout: caption, size, colours and every control
// where the design puts it, with its text and font.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include "app/Form2.h"

using tagshift::app::Form2;

namespace {

struct Row {
    const char* sName;
    int iLeft, iTop, iWidth, iHeight;  // twips
    const char* sText;
    bool bBold;
};

// The design, in twips as drawn; texts word for word.
const Row kRows[] = {
    {"Command2", 4290, 4395, 750, 345, "Exit", false},
    {"Command1", 3015, 4395, 1185, 345, "Continue", false},
    {"chk_shhhh", 150, 4425, 2670, 270, "Do not show this message again", false},
    {"Label6", 150, 2640, 4920, 1005,
     "Please read the readme.txt file for instructions. This program will not update <applet> tags and cannot "
     "forsee any scripting, only HTML. Allthough this program will work fine with PHP, ASP, etc, do not use this if "
     "you use PHP, ASP, etc to generate any part of the <object> or <embed> tags.",
     false},
    {"Label5", 150, 3705, 4920, 390,
     "If this program works for you, please donate and  I will see what else I can produce to make your life a bit "
     "easier!",
     true},
    {"Label4", 150, 2370, 4920, 300, "Please test your website(s) after using this program!", true},
    {"Label3", 150, 1500, 4920, 855,
     "This program will copy the ammended website into a new directory. Please thoroughly test this and be sure that "
     "you are satisfied the changes have worked before discarding the old site. In fact, we do not recommend "
     "discarding your original site at all.",
     false},
    {"Label2", 135, 840, 4920, 645,
     "This program comes with no guarantees and we can not be held responsible if it fails to work with your website "
     "or any loss of earnings occur as a result of using this program.",
     false},
    {"Label1", 150, 165, 4920, 660,
     "This program is offered to you \"as is\" and is desgined to help web programmers like you and me update "
     "websites easily after Microsoft patched Internet Explorer to stop embedded Active X",
     false},
};

class DisclaimerLayout : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_oDir.isValid());
        m_pForm = std::make_unique<Form2>(tagshift::app::StartUpPaths{m_oDir.path().toStdString(), ""},
                                          Form2::Actions{[] {}, [] {}});
        m_pForm->Start();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(m_pForm.get()));
    }
    QTemporaryDir m_oDir;
    std::unique_ptr<Form2> m_pForm;
};

TEST_F(DisclaimerLayout, WindowCaptionSizeAndBackground) {
    EXPECT_EQ(m_pForm->windowTitle(), QStringLiteral("Pagemend Disclaimer"));
    EXPECT_EQ(m_pForm->size(), QSize(348, 329));
    EXPECT_EQ(m_pForm->minimumSize(), m_pForm->maximumSize()) << "the layout is fixed";
    EXPECT_EQ(m_pForm->palette().color(QPalette::Window), QColor(Qt::white));
    EXPECT_TRUE(m_pForm->windowIcon().isNull());
    const QImage oShot = m_pForm->grab().toImage();
    EXPECT_EQ(oShot.pixelColor(2, 2), QColor(Qt::white)) << "background outside the controls";
}

TEST_F(DisclaimerLayout, EveryControlWhereTheDesignPutsIt) {
    for (const Row& oRow : kRows) {
        SCOPED_TRACE(oRow.sName);
        auto* pWidget = m_pForm->findChild<QWidget*>(QLatin1String(oRow.sName));
        ASSERT_NE(pWidget, nullptr);
        EXPECT_EQ(pWidget->geometry(), QRect(oRow.iLeft / 15, oRow.iTop / 15, oRow.iWidth / 15, oRow.iHeight / 15));
        EXPECT_EQ(pWidget->font().bold(), oRow.bBold);
        EXPECT_EQ(pWidget->font().pixelSize(), 11) << "8.25 pt at 96 dots per inch";
        QString sText;
        if (auto* pLabel = qobject_cast<QLabel*>(pWidget)) {
            sText = pLabel->text();
            EXPECT_EQ(pLabel->textFormat(), Qt::PlainText) << "tag names must show as text";
            EXPECT_TRUE(pLabel->wordWrap());
            EXPECT_EQ(pLabel->alignment(), Qt::AlignLeft | Qt::AlignTop);
            EXPECT_EQ(pLabel->focusPolicy(), Qt::NoFocus);
            EXPECT_TRUE(pLabel->autoFillBackground());
            EXPECT_EQ(pLabel->palette().color(QPalette::Window), QColor(Qt::white));
            EXPECT_LE(pLabel->heightForWidth(pLabel->width()), pLabel->height()) << "the text is cut off";
        } else if (auto* pButton = qobject_cast<QAbstractButton*>(pWidget)) {
            sText = pButton->text();
        }
        EXPECT_EQ(sText.toStdString(), oRow.sText);
    }
    // The named members are the controls that the design names.
    EXPECT_EQ(m_pForm->Label5->objectName(), "Label5");
    EXPECT_EQ(m_pForm->Command1->objectName(), "Command1");
}

TEST_F(DisclaimerLayout, RuleAboveTheCheckBoxAndTheButtons) {
    EXPECT_EQ(m_pForm->Line1->geometry(), QRect(8, 284, 326, 1));
    const QImage oShot = m_pForm->grab().toImage();
    const QColor oInk = m_pForm->palette().color(QPalette::WindowText);
    EXPECT_EQ(oShot.pixelColor(8, 284), oInk);
    EXPECT_EQ(oShot.pixelColor(333, 284), oInk);
    EXPECT_EQ(oShot.pixelColor(170, 283), QColor(Qt::white));
    EXPECT_EQ(oShot.pixelColor(170, 285), QColor(Qt::white));
}

TEST_F(DisclaimerLayout, CheckBoxStartsUntickedWithTheFocusThenContinueAndExit) {
    auto* pCheck = m_pForm->chk_shhhh;
    EXPECT_FALSE(pCheck->isChecked());
    const QImage oShot = m_pForm->grab().toImage();
    EXPECT_EQ(oShot.pixelColor(pCheck->geometry().right() - 1, pCheck->geometry().top() + 1), QColor(Qt::white))
        << "the check box has a white background";
    m_pForm->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(m_pForm.get()));
    EXPECT_EQ(QApplication::focusWidget(), pCheck);
    QTest::keyClick(m_pForm.get(), Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), m_pForm->Command1);
    QTest::keyClick(m_pForm.get(), Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), m_pForm->Command2);
    QTest::keyClick(m_pForm.get(), Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), pCheck);
    for (QPushButton* pButton : {m_pForm->Command1, m_pForm->Command2}) {
        EXPECT_FALSE(pButton->isDefault());
        EXPECT_FALSE(pButton->autoDefault());
    }
    // Neither button is the default: Return on the check box continues nowhere.
    pCheck->setFocus();
    QTest::keyClick(m_pForm.get(), Qt::Key_Return);
    EXPECT_EQ(m_pForm->state(), Form2::State::Shown);
}

}  // namespace
