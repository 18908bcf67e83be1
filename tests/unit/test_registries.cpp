#include <gtest/gtest.h>

#include "OOPS_cpp/cmnd.h"
#include "UTL/UTL_remote_cmd.h"
#include "UTL/UTL_stat.h"
#include "support/test_util.h"

namespace {

using List = std::vector<std::string>;

List listing(const cmnd_class& c, const std::string& prefix)
{
    List out = {"stale"};
    c.get_cmds_in_path(prefix, out);
    return out;
}

TEST(CommandRegistry, BuiltInTable)
{
    cmnd_class c;
    EXPECT_EQ(c.paths, List{"sim/operation/none"});
    EXPECT_EQ(c.names, List{"cmnd_nothing"});
    EXPECT_EQ(c.descriptions, List{"Do nothing at all!"});
    EXPECT_EQ(c.types, std::vector<int>{3});
    EXPECT_EQ(c.get_cmnd_by_name("sim/operation/none"), 0);
    EXPECT_EQ(c.get_cmnd_by_name("sim/operation/None"), 0);
    EXPECT_EQ(c.get_cmnd_by_name(""), 0);

    const std::pair<const char*, List> levels[] = {
        {"", {"sim/"}},
        {"sim/", {"operation/"}},
        {"sim/operation/", {"none"}},
        {"sim/operation/none", {}},
        {"other/", {}},
        {"sim", {"/"}},
        {"sim/op", {"eration/"}},
    };
    for (const auto& [prefix, expected] : levels) EXPECT_EQ(listing(c, prefix), expected) << prefix;
}

TEST(CommandRegistry, AddedCommands)
{
    cmnd_class c;
    EXPECT_EQ(c.add_cmd("a/b", "x"), 1);
    EXPECT_EQ(c.add_cmd("a/c", "y"), 2);
    EXPECT_EQ(c.add_cmd("a/b", "z"), 3);
    EXPECT_EQ(c.names[1], "DYNAMIC");
    EXPECT_EQ(c.types[3], 2);
    EXPECT_EQ(c.get_cmnd_by_name("a/b"), 1);
    EXPECT_EQ(c.get_cmnd_by_name("DYNAMIC"), 0);
    EXPECT_EQ(listing(c, ""), (List{"a/", "sim/"}));
    EXPECT_EQ(listing(c, "a/"), (List{"b", "c"}));

    c.add_cmd("Z/q", "");
    EXPECT_EQ(listing(c, ""), (List{"Z/", "a/", "sim/"}));
    c.add_cmd("a/x", "");
    c.add_cmd("a/x/y", "");
    EXPECT_EQ(listing(c, "a/"), (List{"b", "c", "x", "x/"}));
}

TEST(CommandRegistry, PlaneFocus)
{
    EXPECT_EQ(get_plane_focus(), 0);
    set_plane_focus(7);
    EXPECT_EQ(get_plane_focus(), 7);
    set_plane_focus(0);
}

int first_calls = 0, second_calls = 0;
void first_cb() { ++first_calls; }
void second_cb() { ++second_calls; }

TEST(RemoteCommands, MemoryDumpIsTheOneBuiltInEntry)
{
    ASSERT_NE(UTL_remote_cmd::cmd_list, nullptr);
    EXPECT_STREQ(UTL_remote_cmd::cmd_list->name, "Dump Memory Info");
    EXPECT_EQ(UTL_remote_cmd::cmd_list->id, 1);
    EXPECT_EQ(UTL_remote_cmd::cmd_list->next, nullptr);
    EXPECT_EQ(UTL_remote_cmd::free_id, 2);

    brx_test::TempDir dir;
    auto r = brx_test::run_in_child(
        [] {
            UTL_remote_cmd::invoke(nullptr, 0);
            UTL_remote_cmd::invoke(nullptr, -1);
            UTL_remote_cmd::invoke(nullptr, 2);
            if (brx_test::exists("MemoryLog.txt")) _exit(3);
            UTL_remote_cmd::invoke(nullptr, 1);
            _exit(brx_test::exists("MemoryLog.txt") ? 0 : 4);
        },
        dir.path());
    EXPECT_EQ(r.exit_code, 0);
}

TEST(RemoteCommands, NewestFirstAndNumbersInOrder)
{
    auto r = brx_test::run_in_child([] {
        static UTL_remote_cmd one("one", first_cb);
        static UTL_remote_cmd two("two", second_cb);
        if (one.id != 2 || two.id != 3) _exit(10);
        if (UTL_remote_cmd::cmd_list != &two || two.next != &one) _exit(11);
        UTL_remote_cmd::invoke(nullptr, 2);
        if (first_calls != 1 || second_calls != 0) _exit(12);
        UTL_remote_cmd::init_remote_cmds();  // publishes nothing, must not crash
        _exit(0);
    });
    EXPECT_EQ(r.exit_code, 0);
}

TEST(Statistics, WaitingListThenRegistry)
{
    auto r = brx_test::run_in_child([] {
        if (UTL_stat::stat_initialized != 0) _exit(1);
        UTL_stat* before = UTL_stat::waiting;
        static UTL_stat a("t/a", stat_perf, 1.0f);
        static UTL_stat b("t/b", stat_perf, 2.0f);
        static UTL_stat c("t/c", stat_perf, 3.0f);
        if (!UTL_stat::all_stats().empty()) _exit(2);
        if (UTL_stat::waiting != &c || c.next_waiting != &b || b.next_waiting != &a ||
            a.next_waiting != before)
            _exit(3);
        UTL_stat::init_stats();
        if (UTL_stat::stat_initialized != 1) _exit(4);
        auto& perf = UTL_stat::all_stats()[stat_perf];
        if (!perf.count(&a) || !perf.count(&b) || !perf.count(&c)) _exit(5);

        static float external = 5.0f;
        static UTL_stat d(&external, "t/d", stat_perf);
        if (!perf.count(&d) || d.next_waiting != nullptr) _exit(6);
        d.publish();
        d.publish();
        UTL_stat::reset_stats(stat_perf);
        if (a.value != 0 || c.value != 0 || external != 5.0f) _exit(7);
        const std::size_t groups = UTL_stat::all_stats().size();
        UTL_stat::reset_stats(stat_general);
        if (UTL_stat::all_stats().size() != groups + 1 || !UTL_stat::all_stats()[stat_general].empty())
            _exit(8);
        _exit(0);
    });
    EXPECT_EQ(r.exit_code, 0);
}

}  // namespace
