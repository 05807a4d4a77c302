// The main window's behaviour against a fake face: no toolkit, no sleeps.
#include <gtest/gtest.h>

#include "TestSupport.h"
#include "tests/ui/FakeFace.h"

namespace tagshift::ui::testing {
namespace {

using test::Exists;
using test::Leftovers;
using test::Native;
using test::TempDir;
using test::WriteFile;
using C = ControlId;

const std::string kCheckingFile = "Progress: Checking File: ";

struct Window {
    TempDir dir;
    FakeFace face;
    MainWindow window{face, face};
    std::string Site() const { return dir / "site"; }
    void MakeSite(int pages) {
        for (int i = 0; i < pages; ++i) WriteFile(Site() + Native("/page" + std::to_string(i) + ".htm"), "<object></object>");
        WriteFile(Site() + Native("/style.css"), "body {}");
    }
    void Choose(const std::string& folder) {
        face.chooserAnswers.push_back(folder);
        window.Activate(C::FolderButton);
    }
};

TEST(MainWindowHover, TargetsLightUntilThePointerCrossesTheBackground) {
    struct Case {
        std::vector<C> path;  // controls the pointer moves over, in order
        std::set<C> underlined;
        std::set<C> bordered;
    };
    const std::vector<Case> cases = {
        {{C::ConvertButton}, {C::ConvertLink}, {}},
        {{C::ConvertLink}, {C::ConvertLink}, {}},
        {{C::FolderButton}, {C::FolderName}, {}},
        {{C::FolderName}, {C::FolderName}, {}},
        {{C::InfoLink}, {C::InfoLink}, {}},
        {{C::HelpLink}, {C::HelpLink}, {}},
        {{C::DonateButton}, {}, {C::DonateButton}},
        {{C::FileTypesLabel}, {C::FileTypesLabel}, {}},
        {{C::IntroText, C::StatusLine, C::FileTypesText, C::PatternBox}, {}, {}},
        // Leaving a target for another control keeps it lit.
        {{C::InfoLink, C::FileTypesText, C::HelpLink, C::DonateButton}, {C::InfoLink, C::HelpLink}, {C::DonateButton}},
    };
    for (const Case& c : cases) {
        Window w;
        for (C id : c.path) w.window.PointerOver(id);
        EXPECT_EQ(w.face.underlined, c.underlined);
        EXPECT_EQ(w.face.bordered, c.bordered);
        w.window.PointerOverBackground();
        EXPECT_TRUE(w.face.underlined.empty());
        EXPECT_TRUE(w.face.bordered.empty());
    }
}

TEST(MainWindowActs, EachControlDoesItsOwnThingAndTheRestNothing) {
    struct Case {
        C control;
        int choosers;
        std::size_t pages;
        std::size_t files;
        bool runs;
    };
    const std::vector<Case> cases = {
        {C::FolderButton, 1, 0, 0, false}, {C::FolderName, 1, 0, 0, false},   {C::ConvertButton, 0, 0, 0, true},
        {C::ConvertLink, 0, 0, 0, true},   {C::DonateButton, 0, 1, 0, false}, {C::InfoLink, 0, 1, 0, false},
        {C::HelpLink, 0, 0, 1, false},     {C::IntroText, 0, 0, 0, false},    {C::FileTypesText, 0, 0, 0, false},
        {C::StatusLine, 0, 0, 0, false},   {C::PatternBox, 0, 0, 0, false},   {C::DonateHeading, 0, 0, 0, false},
    };
    for (const Case& c : cases) {
        Window w;
        WriteFile(w.dir / "readme.txt", "help");
        w.face.currentFolder = w.dir.Path();
        w.window.Activate(c.control);
        EXPECT_EQ(w.face.choosers, c.choosers) << w.window.SourceFolder();
        EXPECT_EQ(w.face.pages.size(), c.pages);
        EXPECT_EQ(w.face.files.size(), c.files);
        EXPECT_EQ(w.window.LastResult().outcome != RunOutcome::NotRun, c.runs);
    }
    Window w;
    w.window.Activate(C::DonateButton);
    w.window.Activate(C::InfoLink);
    EXPECT_EQ(w.face.pages, (std::vector<std::string>{DonationAddress(), InformationAddress()}));
    EXPECT_EQ(DonationAddress().rfind("https://", 0), 0u);
    EXPECT_NE(DonationAddress().find("?cmd=_xclick&business="), std::string::npos);
    EXPECT_NE(DonationAddress().find("&no_shipping=1&cn=Any%20comments%3a&tax=0&currency_code=GBP&bn="),
              std::string::npos);
    EXPECT_NE(InformationAddress().find("/library/default.asp?url=/workshop/author/dhtml/overview/activating_activex.asp"),
              std::string::npos);
}

TEST(MainWindowActs, FolderChooserChoiceAndCancel) {
    Window w;
    // First use, cancel: the label empties and Convert reports no folder.
    w.window.Activate(C::FolderButton);
    EXPECT_EQ(w.face.texts[C::FolderName], "");
    EXPECT_TRUE(w.face.statusShown.empty()) << "the folder picture leaves the status as it is";
    w.Choose("/some/site");
    EXPECT_EQ(w.face.texts[C::FolderName], "/some/site");
    w.window.Activate(C::FolderButton);  // cancel after a choice keeps it
    EXPECT_EQ(w.window.SourceFolder(), "/some/site");
    EXPECT_EQ(w.face.texts[C::FolderName], "/some/site");
    // The folder label sets the status, after a cancel too.
    w.window.Activate(C::FolderName);
    EXPECT_EQ(w.face.texts[C::StatusLine], "Progress: Directory selected - Press Convert");
}

TEST(MainWindowDrop, OneFolderIsChosenAsByTheLabelAnythingElseIsRefused) {
    struct Case {
        const char* name;
        std::vector<std::string> paths;  // '@' stands for the temporary folder
        std::string folder;              // the chosen folder afterwards
        std::string status;
        std::string box;  // the refusal's text, '@' as above
    };
    const std::string selected = "Progress: Directory selected - Press Convert";
    const std::vector<Case> cases = {
        {"a folder", {"@/site"}, "@/site", selected, ""},
        {"a folder with a trailing separator", {"@/site/"}, "@/site", selected, ""},
        {"a file", {"@/site/page0.htm"}, "/previous", "", "Only a folder can be dropped here, and this is not one: @/site/page0.htm"},
        {"a name that is gone", {"@/gone"}, "/previous", "", "Only a folder can be dropped here, and this is not one: @/gone"},
        {"two folders", {"@/site", "@/other"}, "/previous", "", "Please drop a single folder (you dropped 2 items)."},
    };
    for (const Case& c : cases) {
        Window w;
        w.MakeSite(1);
        WriteFile(w.dir.Path() + "/other/x", "");
        auto at = [&](std::string text) {
            if (const std::size_t i = text.find('@'); i != std::string::npos) text.replace(i, 1, w.dir.Path());
            return text;
        };
        w.Choose("/previous");
        std::vector<std::string> paths;
        for (const std::string& path : c.paths) paths.push_back(at(path));
        w.window.Dropped(paths);
        EXPECT_EQ(w.window.SourceFolder(), at(c.folder)) << c.name;
        EXPECT_EQ(w.face.texts[C::FolderName], at(c.folder)) << c.name;
        EXPECT_EQ(w.face.texts[C::StatusLine], c.status) << c.name;
        ASSERT_EQ(w.face.boxes.size(), c.box.empty() ? 0u : 1u) << c.name;
        if (!c.box.empty()) {
            EXPECT_EQ(w.face.boxes[0].prompt, at(c.box)) << c.name;
        }
    }
}

TEST(MainWindowHelp, CurrentFolderFirstThenBesideTheProgramElseAnError) {
    TempDir dir;
    const std::string current = dir / "current", program = dir / "program";
    struct Case {
        bool inCurrent, inProgram;
        std::string expected;
    };
    const std::vector<Case> cases = {{true, true, current}, {false, true, program}, {true, false, current}, {false, false, ""}};
    for (const Case& c : cases) {
        test::TempDir d;
        const std::string cur = d / "current", prog = d / "program";
        WriteFile(cur + Native("/x"), "");
        WriteFile(prog + Native("/x"), "");
        if (c.inCurrent) WriteFile(cur + Native("/readme.txt"), "");
        if (c.inProgram) WriteFile(prog + Native("/readme.txt"), "");
        const std::string want = c.expected.empty() ? "" : (c.expected == current ? cur : prog) + Native("/readme.txt");
        EXPECT_EQ(FindHelpFile(cur, prog), want);
        FakeFace face;
        MainWindow window(face, face);
        face.currentFolder = cur;
        face.programFolder = prog;
        window.Activate(C::HelpLink);
        EXPECT_EQ(face.files.size(), want.empty() ? 0u : 1u);
        EXPECT_EQ(face.boxes.size(), want.empty() ? 1u : 0u);
    }
}

TEST(MainWindowRun, ActionsAreOffDuringTheRunAndTheSummaryComesBeforeTheyAreBack) {
    Window w;
    w.MakeSite(3);
    w.Choose(w.Site());
    std::vector<std::set<C>> disabledAtStatus;
    w.face.onYield = [&] { disabledAtStatus.push_back(w.face.disabled); };
    w.window.Activate(C::ConvertLink);

    EXPECT_EQ(w.face.statusShown.front(), "Progress: Disabling Interface");
    EXPECT_EQ(disabledAtStatus.front(), (std::set<C>{C::FolderButton, C::ConvertButton}));
    ASSERT_EQ(w.face.boxes.size(), 1u);
    EXPECT_EQ(w.face.boxes[0].kind, MessageKind::Summary);
    EXPECT_EQ(w.face.boxes[0].title, "Process Complete");
    EXPECT_EQ(w.face.boxes[0].prompt, "Files Converted: 3 | Functions Replaced: 3\r\nYour new website(s) are visible at " +
                                          w.Site() + "_Converted");
    EXPECT_FALSE(w.face.boxes[0].actionsEnabled);
    EXPECT_EQ(w.face.statusShown.back(), "Progress: Website Converted");
    EXPECT_TRUE(w.face.disabled.empty());
    EXPECT_TRUE(Exists(w.Site() + Native("_Converted/converter_log.txt")));
    EXPECT_TRUE(w.face.folders.empty());
}

TEST(MainWindowRun, TheSettingsReachTheRun) {
    for (bool anyCase : {false, true}) {
        Window w;
        WriteFile(w.Site() + Native("/PAGE.HTM"), "<object></object>");
        w.Choose(w.Site());
        RunSettings settings;
        settings.anyCase = anyCase;
        w.window.SetSettings(settings);
        w.window.Activate(C::ConvertButton);
        EXPECT_EQ(w.window.LastResult().pagesConverted, anyCase ? 1 : 0);
    }
}

TEST(MainWindowRun, RefusedRunsShowTheirErrorAfterTheActionsAreBack) {
    struct Case {
        const char* name;
        std::function<void(Window&)> setUp;
        std::string error;
        std::string status;
    };
    const std::vector<Case> cases = {
        {"no folder chosen", [](Window&) {}, "No folder chosen or chosen folder does not exist...",
         "Progress: Checking Directory"},
        {"empty pattern list",
         [](Window& w) {
             w.MakeSite(1);
             w.Choose(w.Site());
             RunSettings settings;
             settings.patterns = "";
             w.window.SetSettings(settings);
         },
         "You must select a pattern...", "Progress: Checking File Names"},
        {"converted before",
         [](Window& w) {
             w.MakeSite(1);
             WriteFile(w.Site() + Native("_Converted/x"), "");
             w.Choose(w.Site());
         },
         "A converted folder of this name already exists - have you already converted this one?",
         "Progress: Copying Directory"},
    };
    for (const Case& c : cases) {
        Window w;
        c.setUp(w);
        w.window.Activate(C::ConvertButton);
        ASSERT_EQ(w.face.boxes.size(), 1u) << c.name;
        EXPECT_EQ(w.face.boxes[0].kind, MessageKind::Error) << c.name;
        EXPECT_EQ(w.face.boxes[0].title, "Error") << c.name;
        EXPECT_EQ(w.face.boxes[0].prompt, c.error) << c.name;
        EXPECT_TRUE(w.face.boxes[0].actionsEnabled) << c.name;
        EXPECT_EQ(w.face.statusShown.back(), c.status) << c.name;
    }
}

TEST(MainWindowFocus, FolderFirstConvertAfterEveryRunAndBackAfterEveryBox) {
    struct Case {
        const char* name;
        std::function<void(Window&)> act;
        C expected;
    };
    const std::vector<Case> cases = {
        {"the window opens", [](Window& w) { w.window.Shown(); }, C::FolderButton},
        {"a run completes",
         [](Window& w) {
             w.MakeSite(2);
             w.Choose(w.Site());
             w.face.SetFocus(C::ConvertButton);
             w.window.Activate(C::ConvertButton);
         },
         C::ConvertButton},
        {"a run is refused from Donate's neighbour",
         [](Window& w) {
             w.face.SetFocus(C::ConvertLink);
             w.window.Activate(C::ConvertLink);
         },
         C::ConvertButton},
        {"a launch fails",
         [](Window& w) {
             w.face.launchesSucceed = false;
             w.face.SetFocus(C::InfoLink);
             w.window.Activate(C::InfoLink);
         },
         C::InfoLink},
        {"the chooser closes",
         [](Window& w) {
             w.face.SetFocus(C::FolderName);
             w.window.Activate(C::FolderName);
         },
         C::FolderName},
        {"a command-line run, then the window shows",
         [](Window& w) {
             w.MakeSite(1);
             w.window.Load("\"" + w.Site() + "\"");
             w.window.Shown();
         },
         C::ConvertButton},
    };
    for (const Case& c : cases) {
        Window w;
        // During a run the focus is never on a disabled control.
        w.face.onYield = [&] {
            if (w.face.focus) {
                EXPECT_EQ(w.face.disabled.count(*w.face.focus), 0u) << c.name;
            }
        };
        c.act(w);
        EXPECT_EQ(w.face.focus, c.expected) << c.name;
        for (C id : w.face.focusHistory) EXPECT_NE(id, C::DonateButton) << c.name;
    }
}

TEST(MainWindowRun, ClicksDuringARunStartNothingAndChangeNoFolder) {
    Window w;
    w.MakeSite(3);
    w.Choose(w.Site());
    bool clicked = false;
    w.face.onYield = [&] {
        w.face.now += MainWindow::kStatusFrameMs;
        if (clicked || w.face.statusShown.empty() || w.face.statusShown.back().rfind(kCheckingFile, 0) != 0) return;
        clicked = true;
        w.face.chooserAnswers.push_back(std::string("/elsewhere"));
        for (C id : {C::ConvertLink, C::ConvertButton, C::FolderName, C::FolderButton}) w.window.Activate(id);
        w.window.Dropped({w.dir.Path()});
    };
    w.window.Activate(C::ConvertButton);
    EXPECT_TRUE(clicked);
    EXPECT_EQ(w.face.choosers, 1);
    EXPECT_EQ(w.window.SourceFolder(), w.Site());
    EXPECT_EQ(w.face.boxes.size(), 1u);
    EXPECT_EQ(w.window.LastResult().functionsReplaced, 3);
}

TEST(MainWindowClose, DuringARunTheUserIsAskedAndNoGoesOn) {
    struct Case {
        Answer answer;
        RunOutcome outcome;
        int ended;
    };
    for (const Case& c : std::vector<Case>{{Answer::No, RunOutcome::Completed, 0}, {Answer::Yes, RunOutcome::Stopped, 1}}) {
        Window w;
        w.MakeSite(3);
        w.Choose(w.Site());
        bool asked = false;
        w.face.onYield = [&] {
            w.face.now += MainWindow::kStatusFrameMs;
            if (asked || w.face.statusShown.empty() || w.face.statusShown.back() != kCheckingFile + "page1.htm") return;
            asked = true;
            w.face.answers.push_back(c.answer);
            EXPECT_FALSE(w.window.CloseRequested());
        };
        w.window.Activate(C::ConvertButton);
        ASSERT_TRUE(asked);
        ASSERT_GE(w.face.boxes.size(), 1u);
        EXPECT_EQ(w.face.boxes[0].kind, MessageKind::Question);
        EXPECT_EQ(w.face.boxes[0].prompt, "A conversion is in progress. Stop it and remove the unfinished copy?");
        EXPECT_EQ(w.window.LastResult().outcome, c.outcome);
        EXPECT_EQ(w.face.ended, c.ended);
        EXPECT_EQ(Leftovers(w.dir.Path()).size(), c.answer == Answer::Yes ? 0u : 1u);
    }
    Window idle;
    EXPECT_TRUE(idle.window.CloseRequested());
    EXPECT_TRUE(idle.face.boxes.empty());
}

TEST(MainWindowProgress, StagesShowAtOnceFilesOnceAFrameAndTheCountIsAValue) {
    Window w;
    w.MakeSite(40);
    w.Choose(w.Site());
    // Time stands still: only stage texts and the first file get through;
    // the copy's yields all happen with "Copying Directory" on show.
    std::vector<std::string> shownWhileCopying;
    w.face.onYield = [&] {
        if (w.window.Running() && w.face.progress.empty()) shownWhileCopying.push_back(w.face.statusShown.back());
    };
    w.window.Activate(C::ConvertButton);
    std::vector<std::string> stages;
    for (const std::string& text : w.face.statusShown)
        if (text.rfind(kCheckingFile, 0) != 0) stages.push_back(text);
    EXPECT_EQ(stages, (std::vector<std::string>{"Progress: Disabling Interface", "Progress: Checking Directory",
                                                "Progress: Checking File Names", "Progress: Copying Directory",
                                                "Progress: Preparing Javascript", "Progress: Website Converted"}));
    EXPECT_LE(w.face.statusShown.size(), stages.size() + 2) << "per-file texts are held back within a frame";
    EXPECT_EQ(shownWhileCopying.back(), "Progress: Copying Directory");
    ASSERT_FALSE(w.face.progress.empty());
    EXPECT_EQ(w.face.progress.front(), (std::pair<long long, long long>{0, 40}));
    EXPECT_EQ(w.face.progress.back(), (std::pair<long long, long long>{0, -1})) << "hidden when the run is over";
    // Announcements: the first stage, then at most one per gap, and the end.
    EXPECT_EQ(w.face.announced, (std::vector<std::string>{"Progress: Disabling Interface", "Progress: Website Converted"}));

    // With time moving a frame per yield every file text is shown, and the
    // stages are announced as the gap allows.
    Window m;
    m.MakeSite(5);
    m.Choose(m.Site());
    m.face.onYield = [&] { m.face.now += MainWindow::kAnnounceGapMs; };
    m.window.Activate(C::ConvertButton);
    int files = 0;
    for (const std::string& text : m.face.statusShown) files += text.rfind(kCheckingFile, 0) == 0;
    EXPECT_EQ(files, 6);
    EXPECT_EQ(m.face.announced.size(), 6u);
    for (std::size_t i = 1; i < m.face.progress.size() - 1; ++i) EXPECT_GE(m.face.progress[i].first, m.face.progress[i - 1].first);
}

TEST(MainWindowSummary, LeftAloneTagsAndTheLogsFullPath) {
    struct Case {
        long long pagesFailed, notCopied, leftAlone;
        const char* why;  // of the tag left alone
        const char* logPath;
        const char* expected;
    };
    const std::vector<Case> cases = {
        {0, 0, 0, "", "/x/log", "Files Converted: 1 | Functions Replaced: 0\r\nYour new website(s) are visible at /s_Converted"},
        {0, 0, 2, "capital letters", "/x/log",
         "Files Converted: 1 | Functions Replaced: 0\r\nYour new website(s) are visible at /s_Converted\r\n"
         "Tags Left Alone: 2 (see Change file types)"},
        {4, 0, 1, "inside a script", "/s_Converted/converter_log.txt",
         "Files Converted: 1 | Functions Replaced: 0\r\nYour new website(s) are visible at /s_Converted\r\n"
         "Pages Not Converted: 4 (see /s_Converted/converter_log.txt)\r\nTags Left Alone: 1"},
        {4, 1, 0, "", "/l",
         "Files Converted: 1 | Functions Replaced: 0\r\nYour new website(s) are visible at /s_Converted\r\n"
         "Pages Not Converted: 4 (see /l)\r\nFiles and Folders Not Copied: 1 (see /l)"},
    };
    for (const Case& c : cases) {
        ConversionResult result;
        result.outcome = RunOutcome::CompletedWithFailures;
        result.convertedFolder = "/s_Converted";
        result.pagesConverted = 1;
        result.pages.push_back(PageRecord{"/s_Converted/a.htm", "/s/a.htm", {{}}, {MovedBlock{}}, {}});
        if (*c.why) result.pages.back().leftAlone.push_back({"/s_Converted/a.htm", "<OBJECT", 1, c.why});
        result.pagesFailed = c.pagesFailed;
        result.entriesNotCopied = c.notCopied;
        result.tagsLeftAlone = c.leftAlone;
        result.logPath = c.logPath;
        EXPECT_EQ(SummaryPrompt(result), c.expected);
    }
    // Open Folder opens the converted folder; OK stays the default.
    Window w;
    w.MakeSite(1);
    w.Choose(w.Site());
    w.face.answers.push_back(Answer::OpenFolder);
    w.window.Activate(C::ConvertButton);
    EXPECT_EQ(w.face.folders, (std::vector<std::string>{w.Site() + "_Converted"}));
}

TEST(MainWindowSummary, SaveReportWritesWhereTheUserSaysThenOpensItAndCancelWritesNothing) {
    struct Case {
        const char* name;
        std::vector<std::optional<std::string>> saves;  // '@' stands for the temporary folder; nullopt: Cancel
        std::vector<Answer> answers;                     // the buttons pressed, box after box
        bool launchesSucceed;
        std::vector<std::string> boxes;  // the boxes' titles, in order
        std::string report;              // the file written, '@' as above; empty: none
    };
    const std::vector<Case> cases = {
        {"saved", {"@/mine.html"}, {Answer::SaveReport}, true, {"Process Complete"}, "@/mine.html"},
        {"cancelled, then OK", {std::nullopt}, {Answer::SaveReport, Answer::Ok}, true, {"Process Complete", "Process Complete"}, ""},
        {"a folder that is not there, then saved",
         {"@/gone/r.html", "@/r.html"},
         {Answer::SaveReport, Answer::Ok, Answer::SaveReport},
         true,
         {"Process Complete", "Error", "Process Complete"},
         "@/r.html"},
        {"saved, but nothing opens it", {"@/r.html"}, {Answer::SaveReport}, false, {"Process Complete", "Error"}, "@/r.html"},
    };
    for (const Case& c : cases) {
        Window w;
        w.MakeSite(2);
        w.Choose(w.Site());
        auto at = [&](std::string text) {
            if (const std::size_t i = text.find('@'); i != std::string::npos) text.replace(i, 1, w.dir.Path());
            return text;
        };
        for (const std::optional<std::string>& save : c.saves)
            w.face.saveAnswers.push_back(save ? std::optional<std::string>(at(*save)) : std::nullopt);
        w.face.answers.assign(c.answers.begin(), c.answers.end());
        w.face.launchesSucceed = c.launchesSucceed;
        w.window.Activate(C::ConvertButton);
        std::vector<std::string> titles;
        for (const Box& box : w.face.boxes) titles.push_back(box.title);
        EXPECT_EQ(titles, c.boxes) << c.name;
        ASSERT_FALSE(w.face.saveRequests.empty()) << c.name;
        const SaveRequest& asked = w.face.saveRequests[0];
        EXPECT_EQ(asked.title, "Save Report") << c.name;
        EXPECT_EQ(asked.folder, w.dir.Path()) << c.name;
        EXPECT_EQ(asked.fileName, "site_Converted-report.html") << c.name;
        EXPECT_EQ(asked.extension, "html") << c.name;
        if (c.report.empty()) {
            EXPECT_TRUE(w.face.launches.empty()) << c.name;
        } else {
            const std::string report = test::ReadFile(at(c.report));
            EXPECT_NE(report.find("page0.htm"), std::string::npos) << c.name;
            EXPECT_NE(report.find("page1.htm"), std::string::npos) << c.name;
            EXPECT_EQ(w.face.files, std::vector<std::string>{at(c.report)}) << c.name;
        }
        if (titles.size() > 1 && titles[1] == "Error") {
            const std::string prompt = w.face.boxes[1].prompt;
            const std::string expected = c.launchesSucceed ? "Could not write the report " + at("@/gone/r.html") + ": "
                                                           : "The report was saved as " + at(c.report) +
                                                                 ", but it could not be opened";
            EXPECT_EQ(prompt.substr(0, expected.size()), expected) << c.name;
            EXPECT_GT(prompt.size(), c.launchesSucceed ? expected.size() : 0u) << c.name << ": the reason";
        }
        // The converted tree holds what the run wrote and nothing more.
        EXPECT_FALSE(Exists(w.Site() + Native("_Converted/site_Converted-report.html"))) << c.name;
        EXPECT_EQ(w.face.statusShown.back(), "Progress: Website Converted") << c.name;
    }
}

TEST(MainWindowStart, CommandLineStartConvertsTheFolderItNames) {
    struct Case {
        std::string argument, folder;
    };
    const std::vector<Case> cases = {
        {"\"C:\\Sites\\shop\"", "C:\\Sites\\shop"}, {"\"/srv/site/\"", "/srv/site"}, {"\"/\"", "/"},
        {"\"C:\\\"", "C:\\"},                       {"/srv/site", "/srv/site"},       {"\"\"", ""},
        {"\"", "\""},                                {"\"a b\"", "a b"},
    };
    for (const Case& c : cases) EXPECT_EQ(FolderFromArgumentText(c.argument), c.folder) << c.argument;

    Window w;
    w.MakeSite(2);
    w.window.Load("\"" + w.Site() + "\"");
    EXPECT_EQ(w.face.texts[C::FolderName], w.Site());
    EXPECT_EQ(w.window.LastResult().outcome, RunOutcome::Completed);
    EXPECT_EQ(w.face.boxes.size(), 1u);

    Window empty;
    empty.window.Load("");
    EXPECT_EQ(empty.window.LastResult().outcome, RunOutcome::NotRun);
    EXPECT_TRUE(empty.face.texts.empty());
}

}  // namespace
}  // namespace tagshift::ui::testing
