// The program starts with the disclaimer. Its load looks for the skip
// marker; Continue (or a marker) shows the main window, whose load converts a
// folder named on the command line.
#include <QApplication>

#include <cstdio>

#include "app/qt/QtServices.h"
#include "app/qt/StartUp.h"
#include "fs/FileSystem.h"
#include "ui/CommandLine.h"

int main(int argc, char** argv) {
    // --help and --version are answered before Qt looks for a display.
    if (const auto answer = tagshift::ui::CommandLineAnswer(tagshift::qt::ArgumentText(argc, argv))) {
        std::fputs(answer->c_str(), stdout);
        return 0;
    }
    tagshift::fs::LetWritesPastTheSizeLimitFail();
    QApplication app(argc, argv);
    tagshift::qt::ConfigureApplicationNames();
    tagshift::qt::QtServices services;
    tagshift::qt::Program program(services, tagshift::qt::DefaultStartUpPaths(),
                                  tagshift::qt::ArgumentText(QCoreApplication::arguments()));
    program.Start();
    // Exit, Escape or a stopped run may have ended the program already.
    if (services.Ended()) return 0;
    return app.exec();
}
