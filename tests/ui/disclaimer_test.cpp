// The disclaimer's states and the skip marker.
#include <gtest/gtest.h>

#include "TestSupport.h"
#include "tests/ui/FakeFace.h"

namespace tagshift::ui::testing {
namespace {

using test::Exists;
using test::ReadFile;
using test::TempDir;
using test::WriteFile;
using State = DisclaimerWindow::State;

struct Start {
    TempDir dir;
    StartUpPaths paths{dir / "program", dir / "config"};
    FakeDisclaimerView view;
    int mainWindows = 0, ends = 0;
    std::vector<std::string> warnings;
    DisclaimerWindow window{view, paths,
                            DisclaimerWindow::Actions{[this] { ++mainWindows; }, [this] { ++ends; },
                                                      [this](const std::string& w) { warnings.push_back(w); }}};
    Start() { WriteFile(dir / "program/tagshift", "program"); }
};

TEST(Disclaimer, WhatTheUserChoosesDecidesTheMarkerAndTheNextStart) {
    enum class Act { Continue, Exit, Closed };
    struct Case {
        const char* name;
        bool ticked;
        Act act;
        State state;
        int mainWindows, ends;
        bool marker;
    };
    const std::vector<Case> cases = {
        {"unticked, Continue", false, Act::Continue, State::Gone, 1, 0, false},
        {"ticked, Continue", true, Act::Continue, State::Gone, 1, 0, true},
        {"ticked, Exit", true, Act::Exit, State::Ended, 0, 1, false},
        {"ticked, closed or Escape", true, Act::Closed, State::Ended, 0, 1, false},
    };
    for (const Case& c : cases) {
        Start s;
        s.window.Start();
        EXPECT_EQ(s.window.CurrentState(), State::Shown) << c.name;
        EXPECT_EQ(s.view.shows, 1) << c.name;
        EXPECT_EQ(s.view.focus, ControlId::DontShowAgain) << c.name;
        s.view.ticked = c.ticked;
        c.act == Act::Continue ? s.window.Continue() : c.act == Act::Exit ? s.window.Exit() : s.window.Closed();
        // Once gone or ended, nothing more happens.
        s.window.Continue();
        s.window.Exit();
        s.window.Closed();
        EXPECT_EQ(s.window.CurrentState(), c.state) << c.name;
        EXPECT_EQ(s.mainWindows, c.mainWindows) << c.name;
        EXPECT_EQ(s.ends, c.ends) << c.name;
        EXPECT_EQ(s.view.unloads, 1) << c.name;
        EXPECT_EQ(Exists(s.dir / "program/skip.col"), c.marker) << c.name;
        if (c.marker) {
            EXPECT_EQ(ReadFile(s.dir / "program/skip.col"), "");
        }
        // The next start.
        FakeDisclaimerView next;
        DisclaimerWindow again(next, s.paths, {});
        again.Start();
        EXPECT_EQ(again.CurrentState(), c.marker ? State::Skipped : State::Shown) << c.name;
        EXPECT_EQ(next.shows, c.marker ? 0 : 1) << c.name;
    }
}

TEST(Disclaimer, AnyMarkerInEitherFolderSkipsItUnseenAndIsNeverRewritten) {
    for (const char* where : {"program/skip.col", "config/skip.col"}) {
        Start s;
        WriteFile(s.dir / where, "kept as it is");
        s.view.ticked = true;
        s.window.Start();
        EXPECT_EQ(s.window.CurrentState(), State::Skipped) << where;
        EXPECT_EQ(s.view.shows, 0) << where;
        EXPECT_EQ(s.mainWindows, 1) << where;
        EXPECT_EQ(ReadFile(s.dir / where), "kept as it is") << where;
    }
}

TEST(Disclaimer, TheMarkerGoesWhereItCanBeWritten) {
    struct Case {
        const char* name;
        bool programWritable;
        bool configUsable;
        MarkerWrite expected;
    };
    const std::vector<Case> cases = {
        {"program folder", true, true, MarkerWrite::ProgramFolder},
        {"configuration folder", false, true, MarkerWrite::ConfigFolder},
        {"neither", false, false, MarkerWrite::NotWritten},
    };
    for (const Case& c : cases) {
        TempDir dir;
        StartUpPaths paths{dir / "program", dir / "config/tagshift"};
        WriteFile(dir / "program/tagshift", "");
        // A folder that cannot take the marker: a folder stands at its name.
        if (!c.programWritable) WriteFile(dir / "program/skip.col/x", "");
        if (!c.configUsable) WriteFile(dir / "config", "a file, not a folder");
        std::string reason;
        EXPECT_EQ(CreateSkipMarker(paths, &reason), c.expected) << c.name;
        EXPECT_EQ(reason.empty(), c.expected != MarkerWrite::NotWritten) << c.name << ": " << reason;
        if (c.expected == MarkerWrite::ConfigFolder) {
            EXPECT_TRUE(SkipMarkerExists(paths));
        }
    }
    Start s;
    WriteFile(s.dir / "program/skip.col/x", "");
    WriteFile(s.dir / "config", "");
    s.window.Start();
    s.view.ticked = true;
    s.window.Continue();
    EXPECT_EQ(s.warnings.size(), 1u);
    EXPECT_EQ(s.mainWindows, 1);
}

}  // namespace
}  // namespace tagshift::ui::testing
