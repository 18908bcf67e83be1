#include <gtest/gtest.h>

#include <map>
#include <sstream>
#include <vector>

#include "GenH/hl_types.h"
#include "UTL/UTL_cmdline.h"
#include "support/test_util.h"

namespace {

using brx_test::read_file;
using brx_test::run_in_child;
using brx_test::TempDir;
using Options = std::map<std::string, std::string>;

// Runs `fill` on a fresh table with the log pointed at a scratch file and
// returns what was logged.
template <class Fill>
std::string logged(UTL_cmdline& c, Fill fill)
{
    TempDir dir;
    xer.open(dir / "Log.txt");
    fill(c);
    xer.close();
    xer.clear();
    return read_file(dir / "Log.txt");
}

void parse(UTL_cmdline& c, std::vector<const char*> args)
{
    args.insert(args.begin(), "Brennix Installer");
    c.init_unix(static_cast<int>(args.size()), args.data());
}

std::vector<std::string> lines_of(const std::string& text)
{
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) out.push_back(line);
    return out;
}

TEST(CommandLine, ArgumentsAreSplitAtTheFirstEqualsSignAndLogged)
{
    UTL_cmdline c;
    const std::string log = logged(c, [](UTL_cmdline& t) {
        parse(t, {"-path", "/home/pat/my=folder/", "--fps_test", "--pref:_stream_count=2", "--flag=",
                  "--a=b=c", "=x", "", "-FPS_test"});
    });
    EXPECT_EQ(c.options, (Options{{"-path", ""},
                                  {"/home/pat/my", "folder/"},
                                  {"--fps_test", ""},
                                  {"--pref:_stream_count", "2"},
                                  {"--flag", ""},
                                  {"--a", "b=c"},
                                  {"", ""},
                                  {"-FPS_test", ""}}));
    EXPECT_EQ(log,
              "     '-path'\n"
              "     '/home/pat/my'='folder/'\n"
              "     '--fps_test'\n"
              "     '--pref:_stream_count'='2'\n"
              "     '--flag'\n"
              "     '--a'='b=c'\n"
              "     ''='x'\n"
              "WARNING: command line option =included twice.\n"
              "     ''\n"
              "     '-FPS_test'\n");
    EXPECT_TRUE(c.has_option("--flag"));
    EXPECT_EQ(c.get_option("--flag"), "");
    EXPECT_EQ(c.get_option("--a"), "b=c");
    EXPECT_FALSE(c.has_option("-fps_test"));  // names are exact: dashes and case count
    EXPECT_FALSE(c.has_option("--FPS_test"));
}

TEST(CommandLine, RepeatedOptionWarnsAndTheLastValueWins)
{
    UTL_cmdline c;
    const std::string log = logged(c, [](UTL_cmdline& t) { parse(t, {"--x=1", "--x=2", "--x"}); });
    EXPECT_EQ(log,
              "     '--x'='1'\n"
              "WARNING: command line option --x=2included twice.\n"
              "     '--x'='2'\n"
              "WARNING: command line option --x=included twice.\n"
              "     '--x'\n");
    EXPECT_EQ(c.get_option("--x"), "");
}

TEST(CommandLine, NoArgumentsLeaveTheTableEmptyAndQueriesInsertNothing)
{
    UTL_cmdline c;
    const std::string log = logged(c, [](UTL_cmdline& t) { parse(t, {}); });
    EXPECT_EQ(log, "");
    EXPECT_TRUE(c.options.empty());
    EXPECT_EQ(c.get_option("--missing"), "");
    EXPECT_FALSE(c.has_option("--missing"));
    EXPECT_TRUE(c.options.empty());
}

TEST(CommandLine, SingleStringFormSplitsAtWhiteSpaceAndDropsNamelessWords)
{
    UTL_cmdline c;
    const std::string log =
        logged(c, [](UTL_cmdline& t) { t.init_win(" --a=1\t--b\n--c =2 \v--d=x=y\r\f--a=3 = "); });
    EXPECT_EQ(c.options, (Options{{"--a", "3"}, {"--b", ""}, {"--c", ""}, {"--d", "x=y"}}));
    EXPECT_EQ(log,
              "     '--a'='1'\n"
              "     '--b'\n"
              "     '--c'\n"
              "     '--d'='x=y'\n"
              "WARNING: command line option --a=3included twice.\n"
              "     '--a'='3'\n");

    UTL_cmdline empty;
    EXPECT_EQ(logged(empty, [](UTL_cmdline& t) { t.init_win(" \t "); }), "");
    EXPECT_TRUE(empty.options.empty());
}

// The requests that end the run exit through the normal exit, so the log is
// flushed with the option lines in it.
struct EndedRun {
    brx_test::ChildResult child;
    std::string log;
};

template <class Fill>
EndedRun run_ending(Fill fill)
{
    TempDir dir;
    EndedRun r;
    r.child = run_in_child([&] {
        UTL_cmdline c;
        xer.open(dir / "Log.txt");
        fill(c);
        printf("returned\n");
    });
    r.log = read_file(dir / "Log.txt");
    return r;
}

TEST(CommandLine, HelpPrintsTheUsageTextAndExits)
{
    for (const char* flag : {"-h", "--help", "--help=yes"}) {
        const EndedRun r = run_ending([&](UTL_cmdline& c) { parse(c, {"--no_vbos", flag}); });
        EXPECT_EQ(r.child.exit_code, 0) << flag;
        const std::string& out = r.child.out;
        ASSERT_EQ(out.size(), 4081u) << flag;
        const auto lines = lines_of(out);
        ASSERT_EQ(lines.size(), 87u);
        EXPECT_EQ(lines[0], "Usage: Brennix [options...]");
        EXPECT_EQ(lines[1], "");
        EXPECT_EQ(lines[4],
                  "applications; the frame-rate test is only for Brennix itself.  Here is a listof "
                  "current flags:");
        EXPECT_EQ(lines[18], "This disables the use of vertex buffer objects, as defined by ");
        EXPECT_EQ(lines[44], "Disable the use of GLSL, even on hardware theat supports it.");
        EXPECT_EQ(lines[47], "");
        EXPECT_EQ(lines[48], "OPTIONS TO ENABLE INCOMPATIBLE HARDWARE ACCELERATION");
        EXPECT_EQ(lines[72], "--fps_test=n");
        EXPECT_EQ(lines[85], "automatically detect whether Brennix performance is as expected.");
        EXPECT_EQ(lines[86], "");
        EXPECT_EQ(out.substr(out.size() - 2), "\n\n");
        EXPECT_EQ(r.log.substr(0, 17), "     '--no_vbos'\n") << "the option lines are flushed on exit";
    }
}

TEST(CommandLine, CommandListingsExitAndWinOverHelp)
{
    const std::string all_line = std::string("sim/operation/none") + std::string(32, ' ') +
                                 " Do nothing at all!\n";
    const std::pair<std::vector<const char*>, std::string> cases[] = {
        {{"--cmnds=all", "--help"}, all_line},
        {{"-h", "--cmnds"}, "sim/\n"},
        {{"--cmnds=sim/"}, "operation/\n"},
        {{"--cmnds=sim/operation/"}, "none\n"},
        {{"--cmnds=ALL"}, ""},
    };
    for (const auto& [args, expected] : cases) {
        const EndedRun r = run_ending([&](UTL_cmdline& c) { parse(c, args); });
        EXPECT_EQ(r.child.exit_code, 0) << args[0];
        EXPECT_EQ(r.child.out, expected) << args[0];
    }
}

TEST(CommandLine, SingleStringFormServesTheSameRequests)
{
    const EndedRun r = run_ending([](UTL_cmdline& c) { c.init_win("--x  -h"); });
    EXPECT_EQ(r.child.exit_code, 0);
    EXPECT_EQ(r.child.out.size(), 4081u);
    EXPECT_EQ(r.log, "     '--x'\n     '-h'\n");
}

TEST(CommandLine, OtherOptionsLetTheRunGoOn)
{
    const EndedRun r = run_ending([](UTL_cmdline& c) { parse(c, {"-help", "--h", "--cmnd=all"}); });
    EXPECT_EQ(r.child.exit_code, 0);
    EXPECT_EQ(r.child.out, "returned\n");
}

}  // namespace
