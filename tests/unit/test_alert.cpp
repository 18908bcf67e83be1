#include <gtest/gtest.h>

#include <csignal>

#include "GenC/hl_alert.h"
#include "GenH/hl_types.h"
#include "UTL/UTL_cmdline.h"
#include "support/test_util.h"

namespace {

using brx_test::read_file;
using brx_test::run_in_child;
using brx_test::TempDir;

const char kDumpLine[] =
    "OK check MemoryLog.txt! I just sent him a dump from This is the dump_mem_stats call from the "
    "following code: if(type==t_exit || type == t_alert || recursive_error)\n";

void raise_alert(int type, int line = 77)
{
    __MACIBM_alert(0, "first", "second", "", "fourth", type, "Files/io_utils", line);
}

TEST(Alert, LocationText)
{
    EXPECT_EQ(alert_location("OOPS_cpp/http", 12), "(OOPS_cpp/http line 12)");
    EXPECT_EQ(alert_location("x", -3), "(x line -3)");
}

TEST(Alert, ConsoleMessageReturnsAndLogs)
{
    TempDir dir;
    auto r = run_in_child(
        [&] {
            xer.open(dir / "Log.txt");
            raise_alert(t_alert);
            xer << "returned\n";
            xer.close();
        },
        dir.path());
    EXPECT_EQ(r.exit_code, 0);
    EXPECT_EQ(r.out, "Skarvel Error:\nfirst\n\nsecond\n\n\n\nfourth\n\nSorry.\n");
    EXPECT_EQ(read_file(dir / "Log.txt"),
              std::string(kDumpLine) + "\nfirst\nsecond\n\nfourth\n(Files/io_utils line 77)\nreturned\n");
    EXPECT_TRUE(brx_test::exists(dir / "MemoryLog.txt"));
    EXPECT_EQ(read_file(dir / "MemoryLog.txt"), "");
}

TEST(Alert, ConsoleFatalLogsAndAborts)
{
    TempDir dir;
    auto r = run_in_child(
        [&] {
            xer.open(dir / "Log.txt");
            raise_alert(t_exit, -5);
        },
        dir.path());
    EXPECT_EQ(r.signal, SIGABRT);
    EXPECT_EQ(r.out, "Skarvel Error:\nfirst\n\nsecond\n\n\n\nfourth\n\nSorry.\n");
    EXPECT_EQ(read_file(dir / "Log.txt"),
              std::string(kDumpLine) + "\nfirst\nsecond\n\nfourth\n(Files/io_utils line -5)\n");
    EXPECT_TRUE(brx_test::exists(dir / "MemoryLog.txt"));
}

TEST(Alert, LanguageKindIsNotLogged)
{
    TempDir dir;
    auto r = run_in_child(
        [&] {
            xer.open(dir / "Log.txt");
            raise_alert(t_lang);
            xer.close();
        },
        dir.path());
    EXPECT_EQ(r.exit_code, 0);
    EXPECT_EQ(read_file(dir / "Log.txt"), "");
    EXPECT_FALSE(brx_test::exists(dir / "MemoryLog.txt"));
}

TEST(Alert, FpsTestOnlyLogs)
{
    TempDir dir;
    for (int type : {t_alert, t_exit}) {
        auto r = run_in_child(
            [&] {
                const char* argv[] = {"prog", "--fps_test"};
                xer.open(dir / "Log.txt");
                cmdline.init_unix(2, argv);
                raise_alert(type);
                xer << "returned\n";
                xer.close();
            },
            dir.path());
        const std::string log = read_file(dir / "Log.txt");
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(log.find("OK check"), std::string::npos);
        EXPECT_NE(log.find("first\nsecond\n\nfourth\n(Files/io_utils line 77)\n"), std::string::npos);
        if (type == t_exit) {
            EXPECT_EQ(r.exit_code, 1);
            EXPECT_EQ(log.find("returned"), std::string::npos);
        } else {
            EXPECT_EQ(r.exit_code, 0);
            EXPECT_NE(log.find("returned"), std::string::npos);
        }
        EXPECT_FALSE(brx_test::exists(dir / "MemoryLog.txt"));
    }
}

}  // namespace
