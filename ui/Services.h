// What the windows' logic asks of a face: the view of a window (what it
// shows) and the services of the platform (dialogs, launches, folders, time).
// A face implements these; the logic never asks a toolkit anything else.
#pragma once

#include <optional>
#include <string>

#include "ui/Design.h"
#include "ui/Launch.h"

namespace tagshift::ui {

// A message box's icon and buttons.
enum class MessageKind {
    Error,        // stop icon, OK
    Information,  // information icon, OK
    Summary,      // information icon, OK (the default), "Open Folder" and "Save Report..."
    Question,     // question icon, Yes and No (No is the default)
};

enum class Answer { Ok, OpenFolder, SaveReport, Yes, No };

// What the save dialog starts with: its title, the folder it shows, the name
// in its name box, and the one type of file it offers ("HTML page", "html").
struct SaveRequest {
    std::string title;
    std::string folder;
    std::string fileName;
    std::string typeName;
    std::string extension;
};

class FileTypesDialog;

// Texts are UTF-8 everywhere; paths are UTF-8 in the platform's own form.
class Services {
public:
    virtual ~Services() = default;

    // The folder chooser, modal to the main window; nothing when cancelled.
    virtual std::optional<std::string> ChooseFolder(const std::string& title) = 0;
    // The system's save dialog, modal to the main window, asking before it
    // replaces a file; the path chosen, or nothing when cancelled.
    virtual std::optional<std::string> ChooseSaveFile(const SaveRequest& request) = 0;
    // A modal message box; returns the button the user pressed (closing the
    // box counts as its default button).
    virtual Answer ShowMessage(MessageKind kind, const std::string& title, const std::string& prompt) = 0;
    // The "File types" dialog, modal to the main window: built, handed to
    // dialog (Shown, then every act), and returns once it has closed.
    virtual void ShowFileTypes(FileTypesDialog& dialog) = 0;
    // Launches, in a normal window, without waiting; false when nothing
    // could be started or opened.
    virtual bool Launch(const LaunchStep& step) = 0;
    virtual bool OpenFolder(const std::string& path) = 0;

    virtual std::string CurrentFolder() = 0;
    virtual std::string ProgramFolder() = 0;
    // Milliseconds from any fixed moment; tests turn it by hand.
    virtual long long NowMilliseconds() = 0;
    // Ends the program once the current event has been handled.
    virtual void EndProgram() = 0;
};

// What a face's main window can be told to change.
class MainView {
public:
    virtual ~MainView() = default;
    virtual void SetText(ControlId id, const std::string& text) = 0;
    virtual void SetUnderline(ControlId id, bool underline) = 0;
    virtual void SetBorder(ControlId id, bool border) = 0;
    virtual void SetEnabled(ControlId id, bool enabled) = 0;
    virtual void SetFocus(ControlId id) = 0;
    // The control that has the keyboard focus; nullopt when none of the
    // window's controls has it.
    virtual std::optional<ControlId> FocusedControl() = 0;
    // Pages done of pages in all; pagesInAll < 0 hides the progress bar.
    virtual void SetProgress(long long pagesDone, long long pagesInAll) = 0;
    // Tells a screen reader what the status line now says.
    virtual void Announce(const std::string& text) = 0;
    // Repaints what has changed and handles the pending events of the
    // window (the run's yields).
    virtual void ProcessEvents() = 0;
};

// What a face's disclaimer window can be told to do.
class DisclaimerView {
public:
    virtual ~DisclaimerView() = default;
    virtual void Show() = 0;
    virtual void Unload() = 0;
    virtual bool DontShowAgainTicked() = 0;
    virtual void SetFocus(ControlId id) = 0;
};

}  // namespace tagshift::ui
