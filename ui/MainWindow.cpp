#include "ui/MainWindow.h"

#include "convert/Report.h"
#include "convert/RunTexts.h"
#include "fs/FileSystem.h"
#include "ui/FileTypes.h"

namespace tagshift::ui {

namespace {

using namespace windowTexts;

bool IsPerFileStatus(const std::string& text) { return text.rfind(tagshift::texts::kStatusCheckingFile, 0) == 0; }

// "site/" would otherwise give "site/_Converted", a folder inside the
// source that the copy would have to copy into itself.
std::string WithoutTrailingSeparators(std::string folder) {
    while (folder.size() > 1 && fs::IsSeparator(folder.back())) {
        if (folder.size() == 3 && folder[1] == ':') break;  // "C:\" is a root
        folder.pop_back();
    }
    return folder;
}

}  // namespace

std::string FolderFromArgumentText(const std::string& text) {
    std::string folder = text;
    if (folder.size() >= 2 && folder.front() == '"' && folder.back() == '"')
        folder = folder.substr(1, folder.size() - 2);
    return WithoutTrailingSeparators(folder);
}

std::string SummaryPrompt(const ConversionResult& result) {
    std::string prompt = SummaryText(result, result.logPath.empty() ? texts::kLogFileName : result.logPath);
    if (result.tagsLeftAlone > 0)
        prompt += std::string(texts::kCrLf) + texts::kSummaryLeftAlone + std::to_string(result.tagsLeftAlone) +
                  (LeftAloneForCapitals(result) ? kSeeFileTypes : "");
    return prompt;
}

MainWindow::MainWindow(MainView& view, Services& services) : view_(view), services_(services) {}

// --- Start -----------------------------------------------------------------

void MainWindow::Load(const std::string& argumentText) {
    if (argumentText.empty()) return;
    sourceFolder_ = FolderFromArgumentText(argumentText);
    view_.SetText(ControlId::FolderName, sourceFolder_);
    view_.ProcessEvents();
    Convert();
}

void MainWindow::Shown() {
    // After a command-line run the focus is already on Convert.
    if (lastResult_.outcome == RunOutcome::NotRun) view_.SetFocus(ControlId::FolderButton);
}

// --- Pointer ---------------------------------------------------------------

void MainWindow::PointerOver(ControlId id) {
    switch (id) {
        case ControlId::ConvertLink:
        case ControlId::ConvertButton: SetUnderline(ControlId::ConvertLink, true); break;
        case ControlId::FolderName:
        case ControlId::FolderButton: SetUnderline(ControlId::FolderName, true); break;
        case ControlId::InfoLink: SetUnderline(ControlId::InfoLink, true); break;
        case ControlId::HelpLink: SetUnderline(ControlId::HelpLink, true); break;
        case ControlId::FileTypesLabel: SetUnderline(ControlId::FileTypesLabel, true); break;
        case ControlId::DonateButton: SetBorder(ControlId::DonateButton, true); break;
        default: break;  // the other controls have no hover feedback
    }
}

void MainWindow::PointerOverBackground() {
    for (ControlId id : {ControlId::FolderName, ControlId::ConvertLink, ControlId::InfoLink, ControlId::HelpLink,
                         ControlId::FileTypesLabel})
        SetUnderline(id, false);
    SetBorder(ControlId::DonateButton, false);
}

void MainWindow::SetUnderline(ControlId id, bool underline) {
    if ((underlined_.count(id) != 0) == underline) return;
    if (underline)
        underlined_.insert(id);
    else
        underlined_.erase(id);
    view_.SetUnderline(id, underline);
}

void MainWindow::SetBorder(ControlId id, bool border) {
    if ((bordered_.count(id) != 0) == border) return;
    if (border)
        bordered_.insert(id);
    else
        bordered_.erase(id);
    view_.SetBorder(id, border);
}

// --- Acts ------------------------------------------------------------------

void MainWindow::Activate(ControlId id) {
    if (!Enabled(id)) return;
    switch (id) {
        case ControlId::FolderButton:
            // No change of the source folder while a run uses it.
            if (!running_) ChooseFolder();
            break;
        case ControlId::FolderName:
            if (running_) break;
            ChooseFolder();
            view_.SetText(ControlId::StatusLine, kStatusDirectorySelected);
            break;
        case ControlId::ConvertButton:
        case ControlId::ConvertLink: Convert(); break;
        case ControlId::FileTypesLabel: EditFileTypes(); break;
        case ControlId::DonateButton:
            Launch(WebPagePlan(ThisPlatform(), DonationAddress(), "the donation page "));
            break;
        case ControlId::InfoLink:
            Launch(WebPagePlan(ThisPlatform(), InformationAddress(), "the information page "));
            break;
        case ControlId::HelpLink: {
            const std::string current = services_.CurrentFolder(), program = services_.ProgramFolder();
            Launch(HelpFilePlan(ThisPlatform(), FindHelpFile(current, program), current, program));
            break;
        }
        default: break;  // the other controls do nothing
    }
}

void MainWindow::Dropped(const std::vector<std::string>& paths) {
    if (running_ || paths.empty()) return;  // the run keeps its folder
    const char* caption = MainWindowDesign().caption;
    if (paths.size() > 1) {
        Message(MessageKind::Information, caption, kDropOneFolder + std::to_string(paths.size()) + " items).");
        return;
    }
    const std::string folder = WithoutTrailingSeparators(paths.front());
    if (!fs::DirExists(folder)) {
        Message(MessageKind::Information, caption, kDropNotAFolder + paths.front());
        return;
    }
    sourceFolder_ = folder;
    view_.SetText(ControlId::FolderName, sourceFolder_);
    view_.SetText(ControlId::StatusLine, kStatusDirectorySelected);
}

bool MainWindow::CloseRequested() {
    if (!running_) return true;
    if (closeAfterRun_) return false;  // already stopping
    if (Message(MessageKind::Question, kTitleInProgress, kAskStop) == Answer::Yes) {
        stopRequested_ = true;
        closeAfterRun_ = true;
    }
    return false;
}

void MainWindow::ChooseFolder() {
    const std::optional<ControlId> focus = view_.FocusedControl();
    if (std::optional<std::string> chosen = services_.ChooseFolder(kChooserTitle)) sourceFolder_ = *chosen;
    if (focus) view_.SetFocus(*focus);
    view_.SetText(ControlId::FolderName, sourceFolder_);
}

void MainWindow::EditFileTypes() {
    // A run keeps the settings it started with.
    if (running_) return;
    const std::optional<ControlId> focus = view_.FocusedControl();
    FileTypesDialog dialog(settings_);
    services_.ShowFileTypes(dialog);
    if (focus) view_.SetFocus(*focus);
    if (!dialog.Accepted()) return;
    settings_ = dialog.Settings();
    view_.SetText(ControlId::PatternBox, settings_.patterns);
    if (const std::string status = dialog.StatusText(); !status.empty()) view_.SetText(ControlId::StatusLine, status);
}

void MainWindow::Launch(const LaunchPlan& plan) {
    for (const LaunchStep& step : plan.steps)
        if (services_.Launch(step)) return;
    Message(MessageKind::Error, kTitleError, plan.failure);
}

Answer MainWindow::Message(MessageKind kind, const std::string& title, const std::string& prompt) {
    // The focus comes back to where it was when the box closes.
    const std::optional<ControlId> focus = view_.FocusedControl();
    const Answer answer = services_.ShowMessage(kind, title, prompt);
    if (focus && Enabled(*focus)) view_.SetFocus(*focus);
    return answer;
}

void MainWindow::SetEnabled(ControlId id, bool enabled) {
    if (enabled)
        disabled_.erase(id);
    else
        disabled_.insert(id);
    view_.SetEnabled(id, enabled);
}

// --- The run ---------------------------------------------------------------

void MainWindow::Convert() {
    if (running_) return;  // no run inside a running one
    running_ = true;
    stopRequested_ = false;
    firstStatusOfRun_ = true;
    ConversionRequest request;
    request.sourceFolder = sourceFolder_;
    request.patterns = settings_.patterns;
    request.anyCase = settings_.anyCase;
    request.noscriptFallback = settings_.noscript;
    lastResult_ = tagshift::Convert(request, *this);
    FlushStatus();
    const ConversionResult& result = lastResult_;
    if (result.outcome == RunOutcome::Completed || result.outcome == RunOutcome::CompletedWithFailures) {
        view_.SetProgress(result.pagesConverted + result.pagesFailed, result.pagesConverted + result.pagesFailed);
        // The summary comes while the actions are still disabled; the
        // status says the run is over once it is closed.
        ShowSummary();
        view_.SetText(ControlId::StatusLine, tagshift::texts::kStatusConverted);
        Announce(tagshift::texts::kStatusConverted, true);
    }
    view_.SetProgress(0, -1);
    SetEnabled(ControlId::FolderButton, true);
    SetEnabled(ControlId::ConvertButton, true);
    running_ = false;
    if (closeAfterRun_) {
        services_.EndProgram();
        return;
    }
    // Whether the run ended or was refused, Convert has the focus next.
    view_.SetFocus(ControlId::ConvertButton);
    if (!result.error.empty()) Message(MessageKind::Error, kTitleError, result.error);
}

void MainWindow::ShowSummary() {
    const ConversionResult& result = lastResult_;
    for (;;) {
        const Answer answer = Message(MessageKind::Summary, kTitleComplete, SummaryPrompt(result));
        if (answer == Answer::OpenFolder && !services_.OpenFolder(result.convertedFolder))
            Message(MessageKind::Error, kTitleError, "Could not open the folder " + result.convertedFolder);
        // A report not written (cancelled, or failed) leaves the summary
        // for another try.
        if (answer != Answer::SaveReport || SaveReport()) return;
    }
}

bool MainWindow::SaveReport() {
    const ConversionResult& result = lastResult_;
    // Beside the converted tree, never in it: the tree stays as the run made it.
    const SaveRequest request{kSaveReportTitle, fs::ParentFolder(result.convertedFolder), ReportFileName(result),
                              kReportTypeName, kReportExtension};
    const std::optional<ControlId> focus = view_.FocusedControl();
    const std::optional<std::string> path = services_.ChooseSaveFile(request);
    if (focus) view_.SetFocus(*focus);
    if (!path) return false;
    const fs::FsError error = WriteReport(result, *path);
    if (error.Failed()) {
        Message(MessageKind::Error, kTitleError, kCouldNotWriteReport + *path + ": " + error.reason);
        return false;
    }
    Launch(ReportPlan(*path));
    return true;
}

void MainWindow::Status(const std::string& text) {
    pendingStatus_ = text;
    statusPending_ = true;
    const long long now = services_.NowMilliseconds();
    // Stage texts are shown at once: a long step starts right after one.
    // Per-file texts are shown at most once a frame.
    const bool perFile = IsPerFileStatus(text);
    if (!perFile || lastStatusPaint_ < 0 || now - lastStatusPaint_ >= kStatusFrameMs) FlushStatus();
    if (!perFile) Announce(text, false);
    if (firstStatusOfRun_) {
        firstStatusOfRun_ = false;
        // The focus never stays on a control that is being disabled.
        const std::optional<ControlId> focus = view_.FocusedControl();
        SetEnabled(ControlId::FolderButton, false);
        SetEnabled(ControlId::ConvertButton, false);
        if (focus == ControlId::FolderButton || focus == ControlId::ConvertButton)
            view_.SetFocus(ControlId::ConvertLink);
    }
}

void MainWindow::Progress(long long pagesDone, long long pagesInAll) {
    pendingDone_ = pagesDone;
    pendingInAll_ = pagesInAll;
    progressPending_ = true;
    if (pagesDone == 0) FlushStatus();  // the count is known: show it at once
}

bool MainWindow::ShouldStop() {
    const long long now = services_.NowMilliseconds();
    if ((statusPending_ || progressPending_) && now - lastStatusPaint_ >= kStatusFrameMs) FlushStatus();
    FlushAnnouncement();
    view_.ProcessEvents();
    return stopRequested_;
}

void MainWindow::FlushStatus() {
    if (statusPending_) view_.SetText(ControlId::StatusLine, pendingStatus_);
    if (progressPending_) view_.SetProgress(pendingDone_, pendingInAll_);
    statusPending_ = progressPending_ = false;
    lastStatusPaint_ = services_.NowMilliseconds();
}

void MainWindow::Announce(const std::string& text, bool now) {
    pendingAnnouncement_ = text;
    if (now || lastAnnouncement_ < 0 || services_.NowMilliseconds() - lastAnnouncement_ >= kAnnounceGapMs) {
        lastAnnouncement_ = -1;
        FlushAnnouncement();
    }
}

void MainWindow::FlushAnnouncement() {
    if (pendingAnnouncement_.empty()) return;
    const long long now = services_.NowMilliseconds();
    if (lastAnnouncement_ >= 0 && now - lastAnnouncement_ < kAnnounceGapMs) return;
    view_.Announce(pendingAnnouncement_);
    pendingAnnouncement_.clear();
    lastAnnouncement_ = now;
}

}  // namespace tagshift::ui
