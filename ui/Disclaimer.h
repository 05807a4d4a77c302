// The disclaimer the program starts with, and the skip marker that
// suppresses it.
//
// The marker is an empty file "skip.col". It is looked for in the program's
// own folder first and then in the user's configuration folder. It is
// written to the program's folder when that folder accepts it; an installed
// program usually lives in a folder that the user cannot write, and then the
// marker goes to the configuration folder instead.
#pragma once

#include <functional>
#include <string>

#include "ui/Services.h"

namespace tagshift::ui {

inline constexpr const char* kMarkerName = "skip.col";

// The two folders of the start-up. Tests point both at temporary folders.
struct StartUpPaths {
    std::string programFolder;  // the folder that holds the program file
    std::string configFolder;   // the user's configuration folder for the program; may be empty
};

// True when a marker exists in either folder (any content counts).
bool SkipMarkerExists(const StartUpPaths& paths);

enum class MarkerWrite {
    ProgramFolder,  // created in the program's folder
    ConfigFolder,   // the program's folder refused it; created in the configuration folder
    NotWritten,     // neither folder took it; the choice is not kept
};

// Creates the empty marker: in the program's folder when possible, otherwise
// in the configuration folder (created when missing). An existing file of
// that name is never rewritten. reason receives why nothing was written.
MarkerWrite CreateSkipMarker(const StartUpPaths& paths, std::string* reason = nullptr);

class DisclaimerWindow {
public:
    // Loading: the load is running. Skipped: a marker made the load
    // continue, the window was never shown. Shown: waiting for the user.
    // Gone: Continue unloaded it. Ended: Exit, Escape or closed through its
    // frame.
    enum class State { Loading, Skipped, Shown, Gone, Ended };

    struct Actions {
        std::function<void()> showMainWindow;  // creates, loads and shows it the first time
        std::function<void()> endProgram;
        std::function<void(const std::string&)> warn;  // the marker could not be written
    };

    DisclaimerWindow(DisclaimerView& view, StartUpPaths paths, Actions actions);

    // The program's start: the marker check, then the window unless the
    // check has already continued to the main window.
    void Start();
    // Continue: the button, Enter (it is the default button) or Alt+C.
    void Continue();
    // Exit: the button or Alt+X.
    void Exit();
    // Closed through the frame, or Escape.
    void Closed();

    State CurrentState() const { return state_; }

private:
    DisclaimerView& view_;
    StartUpPaths paths_;
    Actions actions_;
    State state_ = State::Loading;
};

}  // namespace tagshift::ui
