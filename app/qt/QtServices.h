// The platform's services for the windows' logic, through Qt: the folder
// chooser, message boxes, launches, the folders, the clock and the end.
#pragma once

#include <QElapsedTimer>
#include <QPointer>
#include <QWidget>

#include "ui/Services.h"

namespace tagshift::qt {

class QtServices : public ui::Services {
public:
    QtServices();

    // The window that dialogs are modal to (none: the application).
    void SetOwner(QWidget* owner) { owner_ = owner; }
    // EndProgram was called (possibly before the event loop ran).
    bool Ended() const { return ended_; }

    std::optional<std::string> ChooseFolder(const std::string& title) override;
    std::optional<std::string> ChooseSaveFile(const ui::SaveRequest& request) override;
    ui::Answer ShowMessage(ui::MessageKind kind, const std::string& title, const std::string& prompt) override;
    void ShowFileTypes(ui::FileTypesDialog& dialog) override;
    bool Launch(const ui::LaunchStep& step) override;
    bool OpenFolder(const std::string& path) override;
    std::string CurrentFolder() override;
    std::string ProgramFolder() override;
    long long NowMilliseconds() override;
    void EndProgram() override;

    // The summary box's second button.
    static constexpr const char* kOpenFolderText = "Open Folder";

private:
    QWidget* Owner() const;

    QPointer<QWidget> owner_;
    QElapsedTimer clock_;
    bool ended_ = false;
};

}  // namespace tagshift::qt
