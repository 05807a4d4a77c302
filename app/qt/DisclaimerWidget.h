// The disclaimer in Qt: its paragraphs, rule, check box and buttons built
// from the design table; Continue, Exit, Escape and closing go to
// ui::DisclaimerWindow.
#pragma once

#include <functional>
#include <map>

#include <QWidget>

#include "app/qt/DesignWidgets.h"
#include "ui/Disclaimer.h"

class QCheckBox;
class QPushButton;

namespace tagshift::qt {

class DisclaimerWidget : public QWidget, public ui::DisclaimerView {
    Q_OBJECT
public:
    DisclaimerWidget(ui::StartUpPaths paths, ui::DisclaimerWindow::Actions actions,
                     double textScale = SystemTextScale(), QWidget* parent = nullptr);

    ui::DisclaimerWindow& Logic() { return logic_; }
    // The program's start: the marker check, then this window unless the
    // check went on to the main window.
    void Start();
    // Continue, as the button, Enter and Alt+C do.
    void Continue();
    QWidget* Control(ui::ControlId id) const { return controls_.at(id); }
    double TextScale() const { return textScale_; }

    // DisclaimerView
    void Show() override;
    void Unload() override;
    bool DontShowAgainTicked() override;
    void SetFocus(ui::ControlId id) override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void WhileHandingOver(const std::function<void()>& step);

    const ui::WindowDesign& design_;
    double textScale_;
    ui::DisclaimerWindow logic_;
    std::map<ui::ControlId, QWidget*> controls_;
    QCheckBox* dontShowAgain_ = nullptr;
    bool unloading_ = false;
};

}  // namespace tagshift::qt
