// What each of the window's launches tries, in which order, on either
// platform, and what the user is told when nothing starts.
#include <gtest/gtest.h>

#include "tests/ui/FakeFace.h"

namespace tagshift::ui::testing {
namespace {

using K = LaunchStep::Kind;

const std::string kBrowser = "c:\\Program Files\\Internet Explorer\\iexplore.exe";
const std::string kPage = "https://example.com/donate?a=1&b=%20";

TEST(LaunchPlan, EachLaunchTriesItsProgramsInOrderThenSaysWhatFailed) {
    struct Case {
        const char* name;
        LaunchPlan plan;
        std::vector<LaunchStep> steps;
        std::string failure;
    };
    const std::vector<Case> cases = {
        {"a web page on Windows",
         WebPagePlan(Platform::Windows, kPage, "the donation page "),
         {{K::StartProgram, kBrowser, kPage}, {K::OpenAddress, "", kPage}},
         "Could not open the donation page " + kPage},
        {"a web page elsewhere",
         WebPagePlan(Platform::Posix, kPage, "the information page "),
         {{K::OpenAddress, "", kPage}},
         "Could not open the information page " + kPage},
        {"the help file on Windows",
         HelpFilePlan(Platform::Windows, "C:\\work\\readme.txt", "C:\\work", "C:\\tagshift"),
         {{K::StartProgram, "notepad.exe", "C:\\work\\readme.txt"}, {K::OpenFile, "", "C:\\work\\readme.txt"}},
         "Could not open the help file C:\\work\\readme.txt"},
        {"the help file elsewhere",
         HelpFilePlan(Platform::Posix, "/usr/share/doc/tagshift/readme.txt", "/home/a", "/usr/bin"),
         {{K::OpenFile, "", "/usr/share/doc/tagshift/readme.txt"}},
         "Could not open the help file /usr/share/doc/tagshift/readme.txt"},
        {"no help file",
         HelpFilePlan(Platform::Windows, "", "C:\\work", "C:\\tagshift"),
         {},
         "The help file could not be opened: there is no readme.txt in C:\\work nor in C:\\tagshift."},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.plan.steps, c.steps) << c.name;
        EXPECT_EQ(c.plan.failure, c.failure) << c.name;
    }
}

TEST(LaunchPlan, TheWindowTriesEveryStepBeforeItShowsTheFailure) {
    for (bool starts : {true, false}) {
        FakeFace face;
        MainWindow window(face, face);
        face.launchesSucceed = starts;
        window.Activate(ControlId::InfoLink);
        const LaunchPlan plan = WebPagePlan(ThisPlatform(), InformationAddress(), "the information page ");
        EXPECT_EQ(face.launches.size(), starts ? 1u : plan.steps.size());
        EXPECT_EQ(face.launches.front(), plan.steps.front());
        ASSERT_EQ(face.boxes.size(), starts ? 0u : 1u);
        if (!starts) {
            EXPECT_EQ(face.boxes[0].prompt, "Could not open the information page " + InformationAddress());
        }
    }
}

}  // namespace
}  // namespace tagshift::ui::testing
