// The platform services the main window uses, each behind an interface so
// that tests can put fakes in their place.
#pragma once

#include <optional>

#include <QString>

class QWidget;

namespace tagshift::app {

// The folder chooser: a modal dialog that returns a folder's path, or
// nothing when the user cancels.
class FolderChooser {
public:
    virtual ~FolderChooser() = default;
    virtual std::optional<QString> ChooseFolder(QWidget* pOwner, const QString& sTitle) = 0;
};

// Starts other programs without waiting for them. Each call returns false
// when nothing could be opened.
class Launcher {
public:
    virtual ~Launcher() = default;
    virtual bool OpenWebPage(const QString& sAddress) = 0;
    virtual bool OpenTextFile(const QString& sPath) = 0;
};

// Modal message boxes with an OK button. iStyle: 16 stop icon, 64
// information icon.
class MessageBoxes {
public:
    virtual ~MessageBoxes() = default;
    virtual void Show(QWidget* pOwner, const QString& sPrompt, int iStyle, const QString& sTitle) = 0;
};

// The services a window works with; the window does not own them.
struct Services {
    FolderChooser* pChooser = nullptr;
    Launcher* pLauncher = nullptr;
    MessageBoxes* pMessages = nullptr;
};

// The real services of the platform (static objects, live for the program).
Services PlatformServices();

}  // namespace tagshift::app
