// The main window in Qt: its widgets are built from the design table, and
// every click, key, pointer movement and close goes to ui::MainWindow, which
// decides what happens and tells the window what to show.
#pragma once

#include <map>

#include <QPixmap>
#include <QWidget>

#include "app/qt/DesignWidgets.h"
#include "ui/MainWindow.h"

class QLineEdit;
class QProgressBar;

namespace tagshift::qt {

class MainWindowWidget : public QWidget, public ui::MainView {
    Q_OBJECT
public:
    // textScale: the user's text size (SystemTextScale() by default).
    explicit MainWindowWidget(ui::Services& services, double textScale = SystemTextScale(), QWidget* parent = nullptr);

    ui::MainWindow& Logic() { return logic_; }
    // The widget of a control of the design.
    QWidget* Control(ui::ControlId id) const { return controls_.at(id); }
    ControlWidget* DesignControl(ui::ControlId id) const { return qobject_cast<ControlWidget*>(Control(id)); }
    double TextScale() const { return textScale_; }

    // The command-line start (before the first show), then the window.
    void Start(const std::string& argumentText);

    // MainView
    void SetText(ui::ControlId id, const std::string& text) override;
    void SetUnderline(ui::ControlId id, bool underline) override;
    void SetBorder(ui::ControlId id, bool border) override;
    void SetEnabled(ui::ControlId id, bool enabled) override;
    void SetFocus(ui::ControlId id) override;
    std::optional<ui::ControlId> FocusedControl() override;
    void SetProgress(long long pagesDone, long long pagesInAll) override;
    void Announce(const std::string& text) override;
    void ProcessEvents() override;

    // The main window's texts are drawn 2 % closer ("Change file types"
    // fits its box on one line).
    static constexpr int kLetterSpacingPercent = kStandInLetterSpacing;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void Build();

    const ui::WindowDesign& design_;
    double textScale_;
    ui::MainWindow logic_;
    QPixmap background_;
    std::map<ui::ControlId, QWidget*> controls_;
    QProgressBar* progress_ = nullptr;
};

}  // namespace tagshift::qt
