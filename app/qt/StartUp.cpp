#include "app/qt/StartUp.h"

#include <QCoreApplication>
#include <QDir>
#include <QStandardPaths>
#include <QtDebug>

#include "app/qt/QtServices.h"

namespace tagshift::qt {

namespace {

// The core's paths are UTF-8 on every platform (Qt's local 8-bit encoding is
// the ANSI code page on Windows).
std::string NativePath(const QString& path) {
    return path.isEmpty() ? std::string() : QDir::toNativeSeparators(path).toUtf8().toStdString();
}

}  // namespace

void ConfigureApplicationNames() {
    // No organisation name: the configuration folder is then just the
    // program's name (~/.config/tagshift) rather than a nested pair.
    QCoreApplication::setApplicationName(QStringLiteral("tagshift"));
    QCoreApplication::setApplicationVersion(QStringLiteral(TAGSHIFT_VERSION));
}

ui::StartUpPaths DefaultStartUpPaths() {
    ui::StartUpPaths paths;
    paths.programFolder = NativePath(QCoreApplication::applicationDirPath());
    paths.configFolder = NativePath(QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation));
    return paths;
}

std::string ArgumentText(const QStringList& arguments) {
    return arguments.mid(1).join(QLatin1Char(' ')).toUtf8().toStdString();
}

std::string ArgumentText(int argc, char** argv) {
    std::string text;
    for (int i = 1; i < argc; ++i) {
        if (i > 1) text += ' ';
        text += argv[i];
    }
    return text;
}

Program::Program(ui::Services& services, ui::StartUpPaths paths, std::string argumentText)
    : services_(services), argumentText_(std::move(argumentText)) {
    ui::DisclaimerWindow::Actions actions;
    actions.showMainWindow = [this] {
        if (mainWindow_) return;
        mainWindow_ = std::make_unique<MainWindowWidget>(services_);
        if (auto* qtServices = dynamic_cast<QtServices*>(&services_)) qtServices->SetOwner(mainWindow_.get());
        mainWindow_->Start(argumentText_);
    };
    actions.endProgram = [this] { services_.EndProgram(); };
    actions.warn = [](const std::string& text) { qWarning("%s", text.c_str()); };
    disclaimer_ = std::make_unique<DisclaimerWidget>(std::move(paths), std::move(actions));
}

void Program::Start() { disclaimer_->Start(); }

}  // namespace tagshift::qt
