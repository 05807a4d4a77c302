// The main window: the user chooses the source folder, starts a conversion
// and follows its status texts, gets hover feedback on the clickable items
// and opens the donation page, the information page and the help file.
#pragma once

#include <memory>

#include <QElapsedTimer>
#include <QWidget>

#include "app/PictureBox.h"
#include "app/Services.h"
#include "convert/ConversionRun.h"
#include "convert/Host.h"

class QLabel;
class QLineEdit;

namespace tagshift::app {

class form1 : public QWidget, public ConvertHost {
    Q_OBJECT
public:
    explicit form1(Services oServices, QWidget* pParent = nullptr);
    ~form1() override;

    // The command-line start; runs before the window is first shown. An
    // empty argument text does nothing; otherwise the folder it names is
    // converted at once.
    void Form_Load(const QString& sArgumentText);

    // Event handlers.
    void cmd_Directory_Click();
    void lbl_directname_Click();
    void cmd_Convert_Click();
    void Label4_Click();
    void cmd_Donate_Click();
    void Label6_Click();
    void Label9_Click();

    // The run state and the run.
    ConversionRun& Run() { return m_oRun; }
    const ConversionRun& Run() const { return m_oRun; }

    // The window was closed while a run was in progress.
    bool CloseRequested() const { return m_bCloseRequested; }

    // The two web addresses the window opens.
    static QString DonationAddress();
    static QString InformationAddress();

    // ConvertHost
    void ShowStatus(const std::string& sText) override;
    void ProcessEvents() override;
    void SetActionsEnabled(bool bEnabled) override;
    std::string PatternText() override;
    void ShowMessage(const std::string& sPrompt, int iStyle, const std::string& sTitle) override;
    bool StopRequested() override { return m_bCloseRequested; }

    // The controls, in the order of the window's design.
    PictureBox* cmd_Donate;
    PictureBox* cmd_Convert;
    PictureBox* cmd_Directory;
    QLineEdit* txt_Pattern;
    QLabel* Label10;
    QLabel* Label9;
    QLabel* Label8;
    QLabel* Label7;
    QLabel* Label6;
    QLabel* Label5;
    QLabel* Label4;
    QLabel* Label3;
    QLabel* lbl_Progress;
    QLabel* lbl_directname;
    QLabel* Label2;
    QLabel* Label1;

protected:
    bool eventFilter(QObject* pWatched, QEvent* pEvent) override;
    void mouseMoveEvent(QMouseEvent* pEvent) override;
    void paintEvent(QPaintEvent* pEvent) override;
    void closeEvent(QCloseEvent* pEvent) override;

private:
    void BuildControls();
    void Clicked(QWidget* pControl);
    void HoverOver(QWidget* pControl);
    void HoverReset();
    void RunConversion();
    void Launch(bool bOpened, const QString& sWhat);
    void ShowError(const QString& sPrompt);
    void FlushStatus();

    Services m_oServices;
    ConversionRun m_oRun;
    QPixmap m_oBackground;
    QWidget* m_pPressed = nullptr;
    QElapsedTimer m_oStatusFrame;  // since the last repaint of the status line
    bool m_bCloseRequested = false;
};

// Creates the main window with the platform's services, runs its
// command-line start with the application's arguments and shows it.
std::unique_ptr<form1> ShowMainWindow();

}  // namespace tagshift::app
