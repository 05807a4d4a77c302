// The program starts with the disclaimer. Its load looks for the skip
// marker; Continue (or a marker) shows the main window, whose load converts a
// folder named on the command line.
#include <memory>

#include <QApplication>

#include "app/Form2.h"
#include "app/StartUp.h"
#include "app/form1.h"

int main(int argc, char** argv) {
    QApplication oApp(argc, argv);
    tagshift::app::ConfigureApplicationNames();

    std::unique_ptr<tagshift::app::form1> pMainWindow;
    tagshift::app::Form2::Actions oActions;
    oActions.fnShowMainWindow = [&pMainWindow] {
        if (!pMainWindow) pMainWindow = tagshift::app::ShowMainWindow();
    };
    tagshift::app::Form2 oDisclaimer(tagshift::app::DefaultStartUpPaths(), oActions);
    oDisclaimer.Start();
    return oApp.exec();
}
