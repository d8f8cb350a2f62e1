#include "command_line.h"

#include <gtest/gtest.h>

namespace kh {
namespace {

TEST(CommandLine, OptionsAndTheAccountFile) {
    struct Case {
        std::vector<std::string> args;
        std::string file;
        bool hidden, process, debug;
        BrowserAction action;
    };
    const Case cases[] = {
        {{}, "", false, false, false, BrowserAction::None},
        {{"a.khk", "", "b.khk"}, "b.khk", false, false, false, BrowserAction::None},
        {{"/START", "c:\\x.khk", "/debug"}, "c:\\x.khk", true, false, true, BrowserAction::None},
        // "/Process" clears what came before and ends the parsing.
        {{"/start", "a.khk", "/DEBUG", "/process", "b.khk"},
         "",
         false,
         true,
         false,
         BrowserAction::None},
        {{"/RemoveIE", "a.khk"}, "", false, false, false, BrowserAction::Remove},
        {{"a.khk", "/forceie"}, "a.khk", false, false, false, BrowserAction::Force},
        {{"/UpdateIE"}, "", false, false, false, BrowserAction::Update},
        // Only whole arguments are options.
        {{"/starting", "/Process2"}, "/Process2", false, false, false, BrowserAction::None},
    };
    for (const Case& c : cases) {
        const CommandLine line = parseCommandLine(c.args);
        EXPECT_EQ(line.accountFile, c.file);
        EXPECT_EQ(line.startHidden, c.hidden);
        EXPECT_EQ(line.processMode, c.process);
        EXPECT_EQ(line.debug, c.debug);
        EXPECT_EQ(line.browserAction, c.action);
    }
}

} // namespace
} // namespace kh
