#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <thread>

#include "Files/io_utils.h"
#include "GenH/hl_types.h"
#include "OOPS_cpp/http.h"
#include "OOPS_cpp/xtim.h"
#include "app/utils.h"
#include "support/engine_harness.h"
#include "support/release_builder.h"
#include "support/script_server.h"
#include "support/test_util.h"

namespace {

using namespace brx_test;

file_version_struct listed(const std::string& path, int fetch, int del, int have = 0,
                           float down = 0)
{
    file_version_struct v;
    v.path = path;
    v.sig_want.assign(1, 'm');  // GCC 12 misreads a one-letter literal here (-Wrestrict)
    v.to_fetch = fetch;
    v.to_delete = del;
    v.have = have;
    v.down_size = down;
    v.disk_size = down * 2;
    return v;
}

class Scheduler : public ::testing::Test {
protected:
    void SetUp() override
    {
        reset_engine(tmp / "tmp/", tmp / "dest/");
        mkdir((tmp / "tmp").c_str(), 0755);
        mkdir((tmp / "dest").c_str(), 0755);
        xer.close();
        xer.clear();
        xer.open(tmp / "Log.txt");
        xtim.act_time = 100;
        stg.server_count = 2;
        for (int i = 0; i < 2; ++i) {
            server_name[i] = "s" + std::to_string(i) + ".example";
            server_path[i] = "/v/";
        }
    }
    void TearDown() override
    {
        set_proxy(0);
        reset_engine("", "");
        xer.close();
    }
    static void set_proxy(int port)
    {
        http.proxy_host = port ? "127.0.0.1" : "";
        http.proxy_port = port ? std::to_string(port) : "";
        http.proxy_port_int = port;
    }
    void add(file_version_struct v) { sim_info.push_back({{std::move(v)}}); }
    std::string log()
    {
        xer.flush();
        return read_file(tmp / "Log.txt");
    }
    // Passes until grab_files returns nonzero or `stop` holds; the last result.
    int passes(const std::function<bool()>& stop = nullptr, int max_ms = 20000)
    {
        const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(max_ms);
        for (;;) {
            const int r = grab_files();
            if (r != 0 || (stop && stop())) return r;
            if (std::chrono::steady_clock::now() > until) return -1;
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
    }

    TempDir tmp;
};

TEST_F(Scheduler, AnEmptyListEndsAtTheFirstPass)
{
    next.reset_all_streams();
    EXPECT_EQ(grab_files(), 1);
    EXPECT_EQ(next.job_done, 1);
}

TEST_F(Scheduler, PassesByTwoFilesPerPass)
{
    for (int i = 0; i < 5; ++i) add(listed("T/f" + std::to_string(i), 0, 0, i % 2));
    next.reset_all_streams();
    EXPECT_EQ(grab_files(), 0);
    EXPECT_EQ(next.next_file, 2);
    EXPECT_EQ(stg.file_action, 2);  // file 1 is present
    EXPECT_EQ(crnt_file_path, "/v/T/f1.zip");
    EXPECT_EQ(crnt_file_name, "f1.zip");
    EXPECT_EQ(grab_files(), 0);
    EXPECT_EQ(grab_files(), 0);  // stream 1 still holds no file past the end
    EXPECT_EQ(stg.file_action, 3);
    EXPECT_EQ(grab_files(), 1);
    EXPECT_EQ(next.active[2] + next.active[3], 0);
}

TEST_F(Scheduler, StreamCountsAreClampedAndNeverReachZero)
{
    for (const auto& [setting, want] : std::vector<std::pair<int, int>>{{1, 1}, {-3, 1}, {99, 4}, {4, 4}}) {
        sim_info.clear();
        for (int i = 0; i < 12; ++i) add(listed("T/f" + std::to_string(i), 0, 0));
        stg.stream_count = setting;
        next.reset_all_streams();
        int result = 0;
        for (int pass = 0; pass < 20 && result == 0; ++pass) {
            result = grab_files();
            int active = 0;
            for (int s = 0; s < 4; ++s) active += next.active[s];
            ASSERT_GE(active, 1);
            ASSERT_LE(active, 4);
        }
        EXPECT_EQ(result, 1) << setting;
        int active = 0;
        for (int s = 0; s < 4; ++s) active += next.active[s];
        EXPECT_EQ(active, want) << setting;
    }
}

TEST_F(Scheduler, AutomaticCountFollowsTheRate)
{
    for (const auto& [kb, elapsed, want] :
         std::vector<std::tuple<double, float, int>>{{50, 0.5f, 2}, {51, 0.5f, 4}, {400, 4, 4}, {400, 10, 2}}) {
        sim_info.clear();
        for (int i = 0; i < 12; ++i) add(listed("T/f" + std::to_string(i), 0, 0));
        next.reset_all_streams();
        next.kb_fetched = kb;
        xtim.act_time = next.start_time + elapsed;  // below 1 s the divisor is 1
        for (int pass = 0; pass < 4; ++pass) grab_files();
        int active = 0;
        for (int s = 0; s < 4; ++s) active += next.active[s];
        EXPECT_EQ(active, want) << kb << " " << elapsed;
    }
}

TEST_F(Scheduler, DeletesFilesThenEmptiedFoldersAndRenamesTheDestination)
{
    const std::string d = tmp / "dest/";
    for (const char* f : {"a", "a/b", "keep"}) mkdir((d + f).c_str(), 0755);
    write_file(d + "a/b/c.txt", "x");
    write_file(d + "keep/k.txt", "x");
    write_file(d + "keep/other.txt", "x");
    add(listed("T/a/b/c.txt", 0, 1));
    add(listed("T/keep/k.txt", 0, 1));
    stg.log_actions = 1;
    this_install_has_exes = 1;
    install_name = "Brennix 9.00";
    next.reset_all_streams();
    EXPECT_EQ(passes(), 1);
    EXPECT_EQ(deleted_files, (std::set<std::string>{d + "a/", d + "a/b/", d + "keep/"}));
    EXPECT_EQ(list_tree(tmp / "Brennix 9.00/"), (std::vector<std::string>{"keep/", "keep/other.txt"}));
    EXPECT_EQ(dest_dir_path, tmp / "Brennix 9.00/");
    const std::string text = log();
    EXPECT_NE(text.find("now we want to nuke a file: DELETING  file " + d + "a/b/c.txt, with result=0.\n"),
              std::string::npos);
    EXPECT_LT(text.find("cleanup: DELETING  file " + d + "a/b/, with result=0."),
              text.find("cleanup: DELETING  file " + d + "a/, with result=0."));
}

// Runs killed while they unpacked left their temporaries in listed folders;
// the end of a job removes them before the emptied folders and the rename.
TEST_F(Scheduler, TheEndOfAJobRemovesWhatKilledRunsLeft)
{
    const std::string d = tmp / "dest/";
    const std::string dead = std::to_string(ended_pid());
    for (const char* f : {"a", "a/b", "gone"}) mkdir((d + f).c_str(), 0755);
    write_file(d + "top.txt", "x");
    write_file(d + "a/b/c.txt", "x");
    write_file(d + "gone/x.dat", "x");
    for (const char* f : {"", "a/b/", "gone/"}) write_file(d + f + ".brx-unzip-" + dead + "-1", "partial");
    write_file(d + "a/.brx-unzip-notes", "the user's");
    add(listed("T/top.txt", 0, 0, 1));
    add(listed("T/a/b/c.txt", 0, 0, 1));
    add(listed("T/gone/x.dat", 0, 1));
    this_install_has_exes = 1;
    install_name = "Brennix 9.00";
    next.reset_all_streams();
    EXPECT_EQ(passes(), 1);
    EXPECT_EQ(list_tree(tmp / "Brennix 9.00/"),
              (std::vector<std::string>{"a/", "a/.brx-unzip-notes", "a/b/", "a/b/c.txt", "top.txt"}));
}

TEST_F(Scheduler, NeverRenamesTheDestinationToAnUnsafeName)
{
    this_install_has_exes = 1;
    for (const char* name : {"", ".", "..", "../evil", "a/b"}) {
        install_name = name;
        dest_dir_path = tmp / "dest/";
        next.reset_all_streams();
        EXPECT_EQ(grab_files(), 1);
        EXPECT_EQ(dest_dir_path, tmp / "dest/");
        EXPECT_TRUE(exists(tmp / "dest"));
    }
    EXPECT_NE(log().find("Not renaming"), std::string::npos);
}

class SchedulerNet : public Scheduler {
protected:
    void SetUp() override
    {
        Scheduler::SetUp();
        make_zip(tmp / "f.zip", "f", "hello");
        zip_bytes = read_file(tmp / "f.zip");
    }
    std::string zip_bytes;
};

TEST_F(SchedulerNet, AFailedDownloadRetriesItsOwnFileOnly)
{
    ScriptServer bad({read_request(), send(http_response(404, "Not Found", "no"))});
    ScriptServer good({read_request(), send(http_response(200, "OK", zip_bytes))});
    for (const char* dir : {"a", "b", "c"}) {
        mkdir((tmp / "dest/" + dir).c_str(), 0755);
        add(listed(std::string("T/") + dir + "/f", 1, 0, 0, 10));
    }
    set_proxy(bad.port());
    next.reset_all_streams();
    EXPECT_EQ(passes([] { return stg.net_failed == 1; }), 0);
    const int failed_file = next.file_index[0];
    EXPECT_EQ(next.next_file, 2);
    EXPECT_EQ(next.needs_file[0], 0);
    EXPECT_GE(stg.server_index, 0);
    EXPECT_LT(stg.server_index, 2);

    set_proxy(good.port());
    EXPECT_EQ(passes(), 1);
    EXPECT_EQ(good.connections(), 3);  // every file once
    EXPECT_EQ(next.kb_fetched, 30);
    EXPECT_EQ(next.kb_installed, 60);
    EXPECT_EQ(stg.net_failed, 0);
    EXPECT_EQ(stg.file_fraction, 1);  // the last file completed
    EXPECT_EQ(stg.file_percent, 100);
    EXPECT_EQ(failed_file, 0);
    for (const char* dir : {"a", "b", "c"}) EXPECT_EQ(read_file(tmp / "dest/" + dir + "/f"), "hello");
    EXPECT_TRUE(list_tree(tmp / "tmp/").empty());
    EXPECT_EQ(sim_info[0].versions.back().have, 1);
}

TEST_F(SchedulerNet, WithNoServerTheStreamWaits)
{
    add(listed("T/f", 1, 0));
    stg.server_count = 0;
    stg.server_index = -1;
    next.reset_all_streams();
    for (int i = 0; i < 5; ++i) EXPECT_EQ(grab_files(), 0);
    EXPECT_EQ(http.slot[2], nullptr);
    EXPECT_EQ(stg.file_action, 1);
}

TEST_F(SchedulerNet, ResetFreesTheSlotsAndRemovesTheStreamsArchives)
{
    ScriptServer silent({read_request(),
                         send("HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\npartial"),
                         hold_open()});
    add(listed("T/f", 1, 0));
    add(listed("T/g", 1, 0));
    set_proxy(silent.port());
    next.reset_all_streams();
    EXPECT_EQ(passes([] { return exists(temp_path + "1.zip"); }), 0);
    EXPECT_NE(http.slot[2], nullptr);
    // Archives of streams that hold no file now, as a killed run leaves them.
    write_file(temp_path + "2.zip", "stale");
    write_file(temp_path + "3.zip", "stale");
    next.reset_all_streams();
    for (int s = 2; s < 6; ++s) EXPECT_EQ(http.slot[s], nullptr);
    EXPECT_TRUE(list_tree(tmp / "tmp/").empty());
    EXPECT_TRUE(list_tree(tmp / "dest/").empty());
}

// The file's percentage counts bytes in integers: 29 of 100 is 29%, where
// 100 times the float fraction would give 28.
TEST_F(SchedulerNet, TheDownloadFractionIsShownWhileItRuns)
{
    struct Case {
        size_t length, sent;
        int percent;
    } cases[] = {{200000, 50000, 25}, {100, 29, 29}, {100, 99, 99}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.sent) + " of " + std::to_string(c.length));
        const std::string body(c.length, 'z');
        ScriptServer slow({read_request(),
                           send("HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(c.length) +
                                "\r\n\r\n" + body.substr(0, c.sent)),
                           hold_open()});
        sim_info.clear();
        add(listed("T/f", 1, 0, 0, 400));
        stg.stream_count = 1;
        set_proxy(slow.port());
        next.reset_all_streams();
        // The first send may arrive in several pieces: wait until all of it is in.
        const double fraction = double(c.sent) / double(c.length);
        passes([&] { return stg.file_fraction >= fraction - 1e-6; });
        EXPECT_NEAR(stg.file_fraction, fraction, 1e-6);
        EXPECT_EQ(stg.file_percent, c.percent);
        EXPECT_NEAR(next.kb_in_flight, 400 * fraction, 1e-3);
        next.reset_all_streams();
    }
}

TEST(ExtractAndDelete, UnpacksBesideTheDestinationAndDeletesTheArchive)
{
    TempDir tmp;
    const auto child = run_in_child(
        [&] {
            xer.open(tmp / "Log.txt");
            stg.log_actions = 1;
            mkdir((tmp / "D").c_str(), 0755);
            make_zip(tmp / "0.zip", "x.dat", "payload");
            extract_and_delete_file(tmp / "0.zip", tmp / "D/x.dat");
            printf("error=%d\n", stg.install_error);
            extract_and_delete_file(tmp / "1.zip", tmp / "D/y.dat");
            printf("error=%d\n", stg.install_error);
            fflush(stdout);
            xer.close();
        },
        tmp.path());
    EXPECT_EQ(read_file(tmp / "D/x.dat"), "payload");
    EXPECT_FALSE(exists(tmp / "0.zip"));
    EXPECT_NE(child.out.find("error=0\n"), std::string::npos);
    EXPECT_NE(child.out.find("The installer cannot extract a file."), std::string::npos);
    EXPECT_NE(child.out.find("Error: " + error_str(20001)), std::string::npos);
    EXPECT_NE(child.out.find("Destination: " + tmp / "D/y.dat"), std::string::npos);
    EXPECT_NE(child.out.find("error=1\n"), std::string::npos);
    const std::string text = read_file(tmp / "Log.txt");
    EXPECT_NE(text.find("EXPANDING file " + tmp / "D/x.dat, with result=0.\nDELETING  file " +
                        tmp / "0.zip, with result=0.\n"),
              std::string::npos);
    EXPECT_NE(text.find("EXPANDING file " + tmp / "D/y.dat, with result=20001.\nDELETING  file " +
                        tmp / "1.zip, with result=2.\n"),
              std::string::npos);
}

}  // namespace
