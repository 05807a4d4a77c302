// The window program's command line: which texts are its options and which
// stay a folder for the command-line start.
#include <gtest/gtest.h>

#include "ui/CommandLine.h"

namespace tagshift::ui::testing {
namespace {

TEST(CommandLine, OnlyAWholeOptionIsAnswered) {
    enum class Answer { Folder, Help, Version };
    struct Case {
        const char* argumentText;
        Answer answer;
    };
    const Case cases[] = {
        {"--help", Answer::Help},
        {"-h", Answer::Help},
        {"/?", Answer::Help},
        {"--version", Answer::Version},
        {"", Answer::Folder},
        {"\"--help\"", Answer::Folder},   // a quoted name is a folder's
        {"--help site", Answer::Folder},  // a folder whose name starts with an option's
        {"site --version", Answer::Folder},
        {"--HELP", Answer::Folder},
        {"--helpful", Answer::Folder},
        {"-V", Answer::Folder},
        {"--verbose", Answer::Folder},  // tagshift-convert's, not the window's
        {"\"C:\\My Sites\\--version\"", Answer::Folder},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.argumentText);
        const std::optional<std::string> answer = CommandLineAnswer(c.argumentText);
        switch (c.answer) {
            case Answer::Folder:
                EXPECT_FALSE(answer);
                break;
            case Answer::Help:
                ASSERT_TRUE(answer);
                EXPECT_EQ(answer->rfind("Usage: tagshift [FOLDER]\n", 0), 0u) << *answer;
                EXPECT_NE(answer->find("\n  --version      show the version and exit\n"), std::string::npos);
                break;
            case Answer::Version:
                EXPECT_EQ(answer, std::optional<std::string>("tagshift " TAGSHIFT_VERSION "\n"));
                break;
        }
    }
}

}  // namespace
}  // namespace tagshift::ui::testing
