#include <QApplication>

#include "app/form1.h"

int main(int argc, char** argv) {
    QApplication oApp(argc, argv);
    auto pWindow = tagshift::app::ShowMainWindow();
    return oApp.exec();
}
