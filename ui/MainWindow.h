// The main window's behaviour: the folder choice, the conversion run and
// what it shows, hover feedback, launches, the command-line start, the
// keyboard focus and closing. A face forwards the user's acts here and
// changes its widgets as it is told through MainView.
#pragma once

#include <optional>
#include <set>
#include <string>
#include <vector>

#include "convert/Conversion.h"
#include "ui/Launch.h"
#include "ui/RunSettings.h"
#include "ui/Services.h"

namespace tagshift::ui {

// The window's own texts (the run's are in convert/Texts.h).
namespace windowTexts {
inline constexpr const char* kChooserTitle = "Select a folder";
inline constexpr const char* kStatusDirectorySelected = "Progress: Directory selected - Press Convert";
inline constexpr const char* kTitleError = "Error";
inline constexpr const char* kTitleComplete = "Process Complete";
inline constexpr const char* kTitleInProgress = "Tagshift";
inline constexpr const char* kAskStop = "A conversion is in progress. Stop it and remove the unfinished copy?";
inline constexpr const char* kLogIsAt = " (the log is ";
inline constexpr const char* kHelpFileName = "readme.txt";
// After the count of tags left alone for their capital letters.
inline constexpr const char* kSeeFileTypes = " (see Change file types)";
inline constexpr const char* kSaveReportButton = "Save Report...";
inline constexpr const char* kSaveReportTitle = "Save Report";
inline constexpr const char* kReportTypeName = "HTML page";
inline constexpr const char* kReportExtension = "html";
inline constexpr const char* kCouldNotWriteReport = "Could not write the report ";
inline constexpr const char* kDropOneFolder = "Please drop a single folder (you dropped ";
inline constexpr const char* kDropNotAFolder = "Only a folder can be dropped here, and this is not one: ";
}  // namespace windowTexts

// The folder an argument text names: one pair of surrounding double quotes
// is removed, and trailing separators are dropped (a root stays a root).
std::string FolderFromArgumentText(const std::string& text);

// The summary box's prompt: the run's summary, with the tags left alone and
// the log's full path when the summary points to the log.
std::string SummaryPrompt(const ConversionResult& result);

class MainWindow : private ConversionObserver {
public:
    MainWindow(MainView& view, Services& services);

    // The command-line start, before the window is first shown: an empty
    // argument text does nothing; otherwise the folder it names is
    // converted at once.
    void Load(const std::string& argumentText);
    // The window has been shown: the focus goes to the folder control.
    void Shown();

    // The pointer moved over a control, or over the window's background.
    void PointerOver(ControlId id);
    void PointerOverBackground();

    // A control was clicked, or activated with Enter or Space.
    void Activate(ControlId id);

    // Items were dropped on the window (paths in the platform's own form).
    // One folder is chosen as the folder label chooses it; anything else is
    // refused with a message; during a run nothing is taken.
    void Dropped(const std::vector<std::string>& paths);

    // The user asks to close the window. True: close it now. During a run the
    // user is asked whether to stop it; the window then closes when the run
    // has ended.
    bool CloseRequested();

    bool Running() const { return running_; }
    const std::string& SourceFolder() const { return sourceFolder_; }
    const ConversionResult& LastResult() const { return lastResult_; }
    // The settings the next run uses.
    void SetSettings(const RunSettings& settings) { settings_ = settings; }
    const RunSettings& Settings() const { return settings_; }

    // Shortest time between two repaints of a per-file status text, and
    // between two announcements to a screen reader.
    static constexpr long long kStatusFrameMs = 20;
    static constexpr long long kAnnounceGapMs = 500;

private:
    void ChooseFolder();
    void EditFileTypes();
    void Convert();
    void ShowSummary();
    bool SaveReport();
    void Launch(const LaunchPlan& plan);
    Answer Message(MessageKind kind, const std::string& title, const std::string& prompt);
    void SetEnabled(ControlId id, bool enabled);
    bool Enabled(ControlId id) const { return disabled_.count(id) == 0; }
    void SetUnderline(ControlId id, bool underline);
    void SetBorder(ControlId id, bool border);
    void FlushStatus();
    void Announce(const std::string& text, bool now);
    void FlushAnnouncement();

    // ConversionObserver
    void Status(const std::string& text) override;
    void Progress(long long pagesDone, long long pagesInAll) override;
    bool ShouldStop() override;

    MainView& view_;
    Services& services_;
    std::string sourceFolder_;
    RunSettings settings_;
    ConversionResult lastResult_;
    bool running_ = false;
    bool stopRequested_ = false;
    bool closeAfterRun_ = false;
    bool firstStatusOfRun_ = false;
    std::set<ControlId> disabled_;
    std::set<ControlId> underlined_;
    std::set<ControlId> bordered_;
    std::string pendingStatus_;
    bool statusPending_ = false;
    long long lastStatusPaint_ = -1;
    std::string pendingAnnouncement_;
    long long lastAnnouncement_ = -1;
    long long pendingDone_ = 0, pendingInAll_ = -1;
    bool progressPending_ = false;
};

}  // namespace tagshift::ui
