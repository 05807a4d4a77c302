// The disclaimer window, which the program starts with. Its load looks for
// the skip marker and, when it is there, continues to the main window at
// once, so that the disclaimer is never seen.
#pragma once

#include <functional>

#include <QWidget>

#include "app/StartUp.h"

class QCheckBox;
class QFrame;
class QLabel;
class QPushButton;

namespace tagshift::app {

class Form2 : public QWidget {
    Q_OBJECT

public:
    // What the disclaimer hands on to the rest of the program.
    struct Actions {
        // Shows the main window (creating and loading it the first time).
        std::function<void()> fnShowMainWindow;
        // Ends the program at once. Defaults to leaving the event loop.
        std::function<void()> fnEndProgram;
    };

    // Loading: the load is running. Skipped: a marker made the load continue,
    // the window was never shown. Shown: waiting for the user. Gone: Continue
    // unloaded it. Ended: Exit, or closed through its frame.
    enum class State { Loading, Skipped, Shown, Gone, Ended };

    Form2(StartUpPaths oPaths, Actions oActions, QWidget* pParent = nullptr);

    // The program's start: runs Form_Load and shows the window unless the
    // load has already continued to the main window.
    void Start();

    // The marker check. Runs Continue when a marker exists.
    void Form_Load();
    // Continue.
    void Command1_Click();
    // Exit.
    void Command2_Click();

    State state() const { return m_eState; }

    // The controls, in the order of the window's design.
    QPushButton* Command2 = nullptr;
    QPushButton* Command1 = nullptr;
    QCheckBox* chk_shhhh = nullptr;
    QLabel* Label6 = nullptr;
    QLabel* Label5 = nullptr;
    QFrame* Line1 = nullptr;
    QLabel* Label4 = nullptr;
    QLabel* Label3 = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* Label1 = nullptr;

protected:
    void closeEvent(QCloseEvent* pEvent) override;

private:
    void Unload();

    StartUpPaths m_oPaths;
    Actions m_oActions;
    State m_eState = State::Loading;
    bool m_bUnloading = false;
};

}  // namespace tagshift::app
