// What the Qt window tests share: both windows made from the design at a
// text scale, with the ui tests' fake services behind them.
#pragma once

#include <memory>

#include <QAbstractButton>
#include <QApplication>
#include <QTest>

#include "app/qt/DisclaimerWidget.h"
#include "app/qt/MainWindowWidget.h"
#include "tests/ui/FakeFace.h"

namespace tagshift::qt::testing {

// A design's widget and the design row it was built from, for every
// control of a window.
template <typename Window>
std::vector<std::pair<const ui::Control*, QWidget*>> Widgets(const ui::WindowDesign& design, Window& window) {
    std::vector<std::pair<const ui::Control*, QWidget*>> widgets;
    for (const ui::Control& control : design.controls) widgets.push_back({&control, window.Control(control.id)});
    return widgets;
}

// The text a widget shows, without the mnemonic's '&'.
inline QString ShownText(const QWidget* widget) {
    if (auto* control = qobject_cast<const ControlWidget*>(widget)) return control->Text();
    if (auto* button = qobject_cast<const QAbstractButton*>(widget)) return QString(button->text()).remove('&');
    return QString();
}

struct Windows {
    explicit Windows(double scale = 1.0)
        : main(face, scale), disclaimer(ui::StartUpPaths{}, ui::DisclaimerWindow::Actions{}, scale) {}
    ui::testing::FakeFace face;
    MainWindowWidget main;
    DisclaimerWidget disclaimer;
};

inline bool ShowActive(QWidget& window) {
    window.show();
    QApplication::setActiveWindow(&window);
    window.activateWindow();
    return QTest::qWaitForWindowActive(&window);
}

}  // namespace tagshift::qt::testing
