// The program's start: the application's names, the skip marker's folders,
// the argument text, and the disclaimer that hands over to the main window.
#pragma once

#include <memory>
#include <string>

#include <QStringList>

#include "app/qt/DisclaimerWidget.h"
#include "app/qt/MainWindowWidget.h"
#include "ui/Disclaimer.h"

namespace tagshift::qt {

class QtServices;

// Sets the application's name, so that the configuration folder is
// ~/.config/tagshift (or the platform's equivalent). Call it right after the
// application object is made, before DefaultStartUpPaths().
void ConfigureApplicationNames();

// The program's folder and its configuration folder.
ui::StartUpPaths DefaultStartUpPaths();

// The arguments after the program's name (Qt's own options already taken
// out), joined by single blanks.
std::string ArgumentText(const QStringList& arguments);
// The same from main()'s arguments, before Qt has seen them.
std::string ArgumentText(int argc, char** argv);

// Both windows of one run of the program.
class Program {
public:
    Program(ui::Services& services, ui::StartUpPaths paths, std::string argumentText);

    // The disclaimer, or straight the main window when the marker is there.
    void Start();

    DisclaimerWidget& Disclaimer() { return *disclaimer_; }
    // Nullptr until the disclaimer hands over.
    MainWindowWidget* MainWindow() { return mainWindow_.get(); }

private:
    ui::Services& services_;
    std::string argumentText_;
    std::unique_ptr<MainWindowWidget> mainWindow_;
    std::unique_ptr<DisclaimerWidget> disclaimer_;
};

}  // namespace tagshift::qt
