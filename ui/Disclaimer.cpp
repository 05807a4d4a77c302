#include "ui/Disclaimer.h"

#include <utility>

#include "fs/FileSystem.h"

namespace tagshift::ui {

namespace {

std::string MarkerIn(const std::string& folder) {
    return folder.empty() ? std::string() : fs::JoinPath(folder, kMarkerName);
}

// Creates path as an empty file, leaving a file that is already there as it
// is (appending nothing to it changes nothing).
fs::FsError CreateEmpty(const std::string& path) {
    fs::AppendMark mark;
    return fs::AppendToFile(path, std::string_view(), mark);
}

}  // namespace

bool SkipMarkerExists(const StartUpPaths& paths) {
    for (const std::string& path : {MarkerIn(paths.programFolder), MarkerIn(paths.configFolder)})
        if (!path.empty() && fs::FileExists(path)) return true;
    return false;
}

MarkerWrite CreateSkipMarker(const StartUpPaths& paths, std::string* reason) {
    std::string why;
    auto note = [&why](const std::string& text) { why += (why.empty() ? "" : "; ") + text; };
    if (const std::string path = MarkerIn(paths.programFolder); !path.empty()) {
        const fs::FsError error = CreateEmpty(path);
        if (!error.Failed()) return MarkerWrite::ProgramFolder;
        note(error.path + ": " + error.reason);
    }
    if (const std::string path = MarkerIn(paths.configFolder); !path.empty()) {
        if (const fs::FsError made = fs::CreateFolders(paths.configFolder); made.Failed()) {
            note(paths.configFolder + ": the folder could not be created");
        } else {
            const fs::FsError error = CreateEmpty(path);
            if (!error.Failed()) return MarkerWrite::ConfigFolder;
            note(error.path + ": " + error.reason);
        }
    }
    if (reason) *reason = why.empty() ? "no folder to write the marker to" : why;
    return MarkerWrite::NotWritten;
}

DisclaimerWindow::DisclaimerWindow(DisclaimerView& view, StartUpPaths paths, Actions actions)
    : view_(view), paths_(std::move(paths)), actions_(std::move(actions)) {}

void DisclaimerWindow::Start() {
    state_ = State::Loading;
    // The box is unticked here, so Continue writes nothing.
    if (SkipMarkerExists(paths_)) {
        Continue();
        return;
    }
    state_ = State::Shown;
    view_.Show();
    view_.SetFocus(ControlId::DontShowAgain);
}

void DisclaimerWindow::Continue() {
    if (state_ != State::Loading && state_ != State::Shown) return;
    if (state_ == State::Shown && view_.DontShowAgainTicked() && !SkipMarkerExists(paths_)) {
        std::string reason;
        if (CreateSkipMarker(paths_, &reason) == MarkerWrite::NotWritten && actions_.warn)
            actions_.warn("The disclaimer will be shown again: the skip marker could not be written (" + reason + ")");
    }
    state_ = state_ == State::Loading ? State::Skipped : State::Gone;
    view_.Unload();
    if (actions_.showMainWindow) actions_.showMainWindow();
}

void DisclaimerWindow::Exit() {
    if (state_ != State::Shown) return;
    state_ = State::Ended;
    view_.Unload();
    if (actions_.endProgram) actions_.endProgram();
}

void DisclaimerWindow::Closed() {
    // The program ends without the main window, and the marker is not
    // touched.
    if (state_ != State::Shown) return;
    state_ = State::Ended;
    view_.Unload();
    if (actions_.endProgram) actions_.endProgram();
}

}  // namespace tagshift::ui
