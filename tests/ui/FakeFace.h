// A face without a toolkit for the windows' logic: it records what the
// logic tells it to show and answers the services from scripted replies.
#pragma once

#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <ostream>
#include <set>
#include <string>
#include <vector>

#include "ui/Disclaimer.h"
#include "ui/FileTypes.h"
#include "ui/MainWindow.h"

namespace tagshift::ui {
inline void PrintTo(const RunSettings& s, std::ostream* out) {
    *out << '"' << s.patterns << '"' << (s.anyCase ? " any case" : "") << (s.noscript ? " noscript" : "");
}
}  // namespace tagshift::ui

namespace tagshift::ui::testing {

struct Box {
    MessageKind kind;
    std::string title;
    std::string prompt;
    bool actionsEnabled;  // the folder and Convert controls, when it was shown
};

class FakeFace : public MainView, public Services {
public:
    // MainView
    void SetText(ControlId id, const std::string& text) override {
        texts[id] = text;
        if (id == ControlId::StatusLine) statusShown.push_back(text);
    }
    static void Mark(std::set<ControlId>& marked, ControlId id, bool on) {
        if (on)
            marked.insert(id);
        else
            marked.erase(id);
    }
    void SetUnderline(ControlId id, bool on) override { Mark(underlined, id, on); }
    void SetBorder(ControlId id, bool on) override { Mark(bordered, id, on); }
    void SetEnabled(ControlId id, bool on) override { Mark(disabled, id, !on); }
    void SetFocus(ControlId id) override {
        focus = id;
        focusHistory.push_back(id);
    }
    std::optional<ControlId> FocusedControl() override { return focus; }
    void SetProgress(long long done, long long inAll) override { progress.push_back({done, inAll}); }
    void Announce(const std::string& text) override { announced.push_back(text); }
    void ProcessEvents() override {
        ++yields;
        if (onYield) onYield();
    }

    // Services
    std::optional<std::string> ChooseFolder(const std::string&) override {
        ++choosers;
        if (chooserAnswers.empty()) return std::nullopt;
        std::optional<std::string> answer = chooserAnswers.front();
        chooserAnswers.pop_front();
        return answer;
    }
    std::optional<std::string> ChooseSaveFile(const SaveRequest& request) override {
        saveRequests.push_back(request);
        if (saveAnswers.empty()) return std::nullopt;
        std::optional<std::string> answer = saveAnswers.front();
        saveAnswers.pop_front();
        return answer;
    }
    Answer ShowMessage(MessageKind kind, const std::string& title, const std::string& prompt) override {
        focus.reset();  // a box takes the focus from the window
        boxes.push_back({kind, title, prompt, disabled.empty()});
        if (onBox) onBox(boxes.back());
        if (answers.empty()) return kind == MessageKind::Question ? Answer::No : Answer::Ok;
        const Answer answer = answers.front();
        answers.pop_front();
        return answer;
    }
    void ShowFileTypes(FileTypesDialog& dialog) override {
        focus.reset();  // the dialog takes the focus from the window
        ++fileTypesShown;
        if (onFileTypes) onFileTypes(dialog);
    }
    bool Launch(const LaunchStep& step) override {
        launches.push_back(step);
        // Whatever program opens it, a web address is a page, the rest files.
        (step.subject.find("://") != std::string::npos ? pages : files).push_back(step.subject);
        return launchesSucceed;
    }
    bool OpenFolder(const std::string& path) override {
        folders.push_back(path);
        return launchesSucceed;
    }
    std::string CurrentFolder() override { return currentFolder; }
    std::string ProgramFolder() override { return programFolder; }
    long long NowMilliseconds() override { return now += tick; }
    void EndProgram() override { ++ended; }

    std::map<ControlId, std::string> texts;
    std::vector<std::string> statusShown;
    std::set<ControlId> underlined, bordered, disabled;
    std::optional<ControlId> focus;
    std::vector<ControlId> focusHistory;
    std::vector<std::pair<long long, long long>> progress;
    std::vector<std::string> announced;
    long long yields = 0;
    std::function<void()> onYield;

    std::deque<std::optional<std::string>> chooserAnswers;  // nullopt: the user cancels
    int choosers = 0;
    std::deque<std::optional<std::string>> saveAnswers;  // nullopt: the user cancels
    std::vector<SaveRequest> saveRequests;
    std::vector<Box> boxes;
    std::function<void(const Box&)> onBox;
    std::deque<Answer> answers;
    int fileTypesShown = 0;
    std::function<void(FileTypesDialog&)> onFileTypes;  // the user's acts in the dialog
    std::vector<LaunchStep> launches;
    std::vector<std::string> pages, files, folders;
    bool launchesSucceed = true;
    std::string currentFolder, programFolder;
    long long now = 1000;
    long long tick = 0;  // added to the clock at every reading
    int ended = 0;
};

class FakeDisclaimerView : public DisclaimerView {
public:
    void Show() override { ++shows; }
    void Unload() override { ++unloads; }
    bool DontShowAgainTicked() override { return ticked; }
    void SetFocus(ControlId id) override { focus = id; }
    int shows = 0, unloads = 0;
    bool ticked = false;
    std::optional<ControlId> focus;
};

// The "File types" dialog as a face shows it.
class FakeFileTypesView : public FileTypesView {
public:
    void SetPatterns(const std::string& text) override { patterns = text; }
    void SetChecked(FileTypesControl id, bool on) override { checked[id] = on; }
    void SetWarning(const std::string& text) override { warning = text; }
    void SetFocus(FileTypesControl id) override { focus = id; }
    void ShowError(const std::string& title, const std::string& prompt) override { errors.push_back(title + ": " + prompt); }
    void Close() override { ++closed; }
    std::string patterns, warning;
    std::map<FileTypesControl, bool> checked;
    std::optional<FileTypesControl> focus;
    std::vector<std::string> errors;
    int closed = 0;
};

}  // namespace tagshift::ui::testing
