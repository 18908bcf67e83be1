#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>

#include "GenH/hl_types.h"
#include "OOPS_cpp/http.h"
#include "OOPS_cpp/pref.h"
#include "UTL/UTL_cmdline.h"
#include "app/utils.h"
#include "support/test_util.h"

namespace {

using brx_test::list_tree;
using brx_test::read_file;
using brx_test::run_in_child;
using brx_test::TempDir;
using brx_test::write_file;
using Tree = std::vector<std::string>;

const std::string kHeader = "I\n9001 version\n";

std::string without_slash(std::string path)
{
    path.pop_back();
    return path;
}

// The nine settings the installer's file holds, to compare in one go.
struct Settings {
    int use_max_cpu, rename_folder, stream_count, log_actions, always_ask_dir;
    std::string dest, proxy_host, proxy_port;
    int proxy_port_int;

    static Settings current()
    {
        return {stg.use_max_cpu,   stg.rename_folder, stg.stream_count,
                stg.log_actions,   stg.always_ask_dir, dest_dir_path,
                http.proxy_host,   http.proxy_port,    http.proxy_port_int};
    }
    void apply() const
    {
        stg.use_max_cpu = use_max_cpu;
        stg.rename_folder = rename_folder;
        stg.stream_count = stream_count;
        stg.log_actions = log_actions;
        stg.always_ask_dir = always_ask_dir;
        dest_dir_path = dest;
        http.proxy_host = proxy_host;
        http.proxy_port = proxy_port;
        http.proxy_port_int = proxy_port_int;
    }
    bool operator==(const Settings&) const = default;
};

void PrintTo(const Settings& s, std::ostream* os)
{
    *os << s.use_max_cpu << "," << s.rename_folder << "," << s.stream_count << "," << s.log_actions
        << "," << s.always_ask_dir << ",'" << s.dest << "','" << s.proxy_host << "','"
        << s.proxy_port << "'," << s.proxy_port_int;
}

// The defaults that main sets before the file is read.
const Settings kDefaults = {0, 1, 0, 0, 0, "/Brennix/", "", "", 0};

// Every test gets its own home folder and log; the globals the file touches
// are put back afterwards.
class PrefFile : public ::testing::Test {
protected:
    TempDir home;
    TempDir scratch;
    brx_test::ScopedEnv env{"HOME", without_slash(home.path()).c_str()};
    const std::string folder = home / ".brennix/";
    const std::string file = folder + "Brennix Installer.prf";

    void SetUp() override
    {
        saved_ = Settings::current();
        saved_options_ = cmdline.options;
        cmdline.options.clear();
        kDefaults.apply();
        xer.open(scratch / "Log.txt");
    }
    void TearDown() override
    {
        xer.close();
        xer.clear();
        ouf.clear();
        saved_.apply();
        cmdline.options = saved_options_;
    }

    std::string log()
    {
        xer.flush();
        return read_file(scratch / "Log.txt");
    }
    void write_prefs(const std::string& body)
    {
        mkdir(folder.c_str(), 0777);
        write_file(file, body);
    }
    // Reads the given file text into the defaults and returns the result.
    Settings read_from(const std::string& text)
    {
        write_prefs(text);
        kDefaults.apply();
        pref.IO_set(11, 0);
        return Settings::current();
    }

private:
    Settings saved_;
    std::map<std::string, std::string> saved_options_;
};

TEST_F(PrefFile, FirstRunKeepsTheDefaultsAndWritesTheAlwaysWrittenKeys)
{
    pref.IO_set(11, 0);
    EXPECT_EQ(Settings::current(), kDefaults);
    pref.IO_set(11, 1);
    EXPECT_EQ(read_file(file), kHeader +
                                   "_use_max_cpu 0\n_rename_folder 1\n_stream_count 0\n"
                                   "_log_actions 0\n_always_ask_dir 0\n_dest_dir_path /Brennix/\n"
                                   "_proxy_port_int 0\n");
    EXPECT_EQ(list_tree(folder), Tree{"Brennix Installer.prf"});
}

TEST_F(PrefFile, RoundTripIsExact)
{
    const Settings all = {1, 0, -3, 1, 1, "/home/pat/My Games/Brennix  Copy /", "proxy.local",
                          "8080", 8080};
    all.apply();
    pref.IO_set(11, 1);
    const std::string written = read_file(file);
    EXPECT_EQ(written, kHeader +
                           "_use_max_cpu 1\n_rename_folder 0\n_stream_count -3\n_log_actions 1\n"
                           "_always_ask_dir 1\n_dest_dir_path /home/pat/My Games/Brennix  Copy /\n"
                           "_proxy_host proxy.local\n_proxy_port 8080\n_proxy_port_int 8080\n");

    kDefaults.apply();
    pref.IO_set(11, 0);
    EXPECT_EQ(Settings::current(), all);
    pref.IO_set(11, 1);
    EXPECT_EQ(read_file(file), written);
    EXPECT_EQ(list_tree(folder), Tree{"Brennix Installer.prf"});
}

TEST_F(PrefFile, SavingRemovesTemporariesLeftByKilledSaves)
{
    // The id of a process that has ended.
    const pid_t gone = fork();
    if (gone == 0) _exit(0);
    ASSERT_GT(gone, 0);
    ASSERT_EQ(waitpid(gone, nullptr, 0), gone);

    const std::string name = "Brennix Installer.prf";
    const std::string stale[] = {name + "." + std::to_string(gone) + ".tmp",
                                 name + ".999999999.tmp", name + ".99999999999999999999.tmp"};
    const Tree kept = {
        name + "." + std::to_string(getppid()) + ".tmp",  // a save under way
        name + ".tmp", name + "..tmp", name + ".12a.tmp", name + ".-5.tmp", name + ".+5.tmp",
        name + ".123.tmp.bak", name + ".123.TMP", name + ".123", name + "123.tmp",
        "Other.prf.123.tmp", "x" + name + ".123.tmp", "Res Skarvel.prf.999999999.tmp",
        name + ".888888888.tmp/",                                // a folder
        name + ".888888888.tmp/" + name + ".999999999.tmp",      // inside it
        name + ".777777777.tmp",                                 // a link
    };
    mkdir(folder.c_str(), 0777);
    for (const std::string& f : stale) write_file(folder + f, "stale");
    for (const std::string& f : kept) {
        if (f.ends_with("/")) {
            mkdir((folder + f).c_str(), 0777);
        } else if (f.ends_with("777777777.tmp")) {
            write_file(scratch / "linked", "keep");
            ASSERT_EQ(symlink((scratch / "linked").c_str(), (folder + f).c_str()), 0);
        } else {
            write_file(folder + f, "keep");
        }
    }

    pref.IO_set(11, 1);
    Tree expected = kept;
    expected.push_back(name);
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(list_tree(folder), expected);
    EXPECT_EQ(read_file(scratch / "linked"), "keep");
    EXPECT_EQ(read_file(file).substr(0, 30), kHeader + "_use_max_cpu 0\n");
}

TEST_F(PrefFile, ReplacingKeepsALinkAndThePermissions)
{
    mkdir(folder.c_str(), 0777);
    const std::string real = scratch / "dotfiles.prf";
    write_file(real, "old");
    chmod(real.c_str(), 0600);
    ASSERT_EQ(symlink(real.c_str(), file.c_str()), 0);
    pref.IO_set(11, 1);

    struct stat st;
    ASSERT_EQ(lstat(file.c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    EXPECT_EQ(read_file(real).substr(0, 30), kHeader + "_use_max_cpu 0\n");
    ASSERT_EQ(stat(real.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    EXPECT_EQ(list_tree(scratch.path()), (Tree{"Log.txt", "dotfiles.prf"}));
}

TEST_F(PrefFile, ReaderTakesLooserLayouts)
{
    const Settings all = {1, 0, 4, 1, 1, "/a b/", "host", "81", 81};
    const char* layouts[] = {
        // CR LF line ends, tabs and blank runs between key and value, empty lines.
        "I\r\n9001 version\r\n_use_max_cpu\t1\r\n\r\n_rename_folder  \t 0\r\n_stream_count 4\r\n"
        "_log_actions 1\r\n_always_ask_dir 1\r\n_dest_dir_path /a b/\r\n_proxy_host host\r\n"
        "_proxy_port 81\r\n_proxy_port_int 81\r\n",
        // The other marker, no final line end, unknown and repeated keys.
        "A\n\n 9001 version and more\n\n  _use_max_cpu 1\n_rename_folder 0\n_unknown x y\n"
        "_stream_count 2\n_stream_count 4\n_log_actions 1\n_always_ask_dir 1\n"
        "_dest_dir_path    /a b/\n_proxy_host host\n_proxy_port 81\n_proxy_port_int 81",
    };
    for (const char* text : layouts) EXPECT_EQ(read_from(text), all) << text;
}

TEST_F(PrefFile, ValuesAreReadAsTheFileHasThem)
{
    struct Case {
        const char* body;
        Settings expected;
    };
    const Case cases[] = {
        {"_dest_dir_path\n_stream_count\n", {0, 1, 0, 0, 0, "", "", "", 0}},  // key only: empty
        {"_stream_count abc\n_use_max_cpu  -12abc\n", {-12, 1, 0, 0, 0, "/Brennix/", "", "", 0}},
        {"_stream_count +7\n_log_actions 99999999999\n_proxy_port_int -99999999999\n",
         {0, 1, 7, 2147483647, 0, "/Brennix/", "", "", -2147483647 - 1}},
        {"_proxy_host  a b  \n", {0, 1, 0, 0, 0, "/Brennix/", "a b  ", "", 0}},
    };
    for (const Case& c : cases) EXPECT_EQ(read_from(kHeader + c.body), c.expected) << c.body;
}

TEST_F(PrefFile, OtherHeadersAreIgnoredAndReplaced)
{
    const std::string headers[] = {
        "I\n9002 version\n", "I\n900 version\n", "i\n9001 version\n", " I\n9001 version\n",
        "I\n",               "",
    };
    for (const std::string& h : headers) {
        EXPECT_EQ(read_from(h + "_stream_count 3\n_dest_dir_path /x/\n"), kDefaults) << h;
    }
    pref.IO_set(11, 1);
    EXPECT_EQ(read_file(file).substr(0, 30), kHeader + "_use_max_cpu 0\n");
}

TEST_F(PrefFile, CommandLineWinsOverTheFileAndIsSaved)
{
    write_prefs(kHeader +
                "_stream_count 2\n_use_max_cpu 1\n_proxy_host cache\n_proxy_port 3128\n"
                "_proxy_port_int 3128\n");
    const char* args[] = {"Brennix Installer", "--pref:_stream_count=3", "--pref:_proxy_host",
                          "--pref:_use_max_cpu", "--pref:_dest_dir_path=/opt/a=b/"};
    cmdline.init_unix(5, args);
    pref.IO_set(11, 0);
    EXPECT_EQ(Settings::current(), (Settings{0, 1, 3, 0, 0, "/opt/a=b/", "", "3128", 3128}));

    pref.IO_set(11, 1);
    EXPECT_EQ(read_file(file), kHeader +
                                   "_use_max_cpu 0\n_rename_folder 1\n_stream_count 3\n"
                                   "_log_actions 0\n_always_ask_dir 0\n_dest_dir_path /opt/a=b/\n"
                                   "_proxy_port 3128\n_proxy_port_int 3128\n");
}

TEST_F(PrefFile, ValuesWithLineBreaksAreNotWritten)
{
    Settings s = kDefaults;
    s.dest = "/home/pat/\n_proxy_host evil\n";
    s.proxy_host = "cache\r_proxy_port_int 1";
    s.proxy_port = std::string("80\0_log_actions 1", 17);
    s.apply();
    pref.IO_set(11, 1);
    EXPECT_EQ(read_file(file), kHeader +
                                   "_use_max_cpu 0\n_rename_folder 1\n_stream_count 0\n"
                                   "_log_actions 0\n_always_ask_dir 0\n_proxy_port_int 0\n");
    EXPECT_EQ(log(),
              "Preference _dest_dir_path not saved: its value holds a line break.\n"
              "Preference _proxy_host not saved: its value holds a line break.\n"
              "Preference _proxy_port not saved: its value holds a line break.\n");
}

TEST_F(PrefFile, EveryLineEndSeparatesKeys)
{
    // The same keys with LF, CR LF, CR alone and NUL between them; the last
    // key of each file has no line end, so the end of the file ends its value.
    const std::string keys[] = {"_stream_count 2 _use_max_cpu 1", "_proxy_host  a b  ",
                                "_log_actions 1", "_dest_dir_path /x y/", "_proxy_port"};
    Settings expected = kDefaults;
    expected.stream_count = 2;  // a blank does not end a value
    expected.proxy_host = "a b  ";
    expected.log_actions = 1;
    expected.dest = "/x y/";
    expected.proxy_port = "";  // a key alone: an empty value
    const std::string ends[] = {"\n", "\r\n", "\r", std::string(1, '\0'), "\r\r\n \n\t"};
    for (const std::string& eol : ends) {
        std::string body = "I" + eol + "9001 version";
        for (const std::string& k : keys) body += eol + k;
        SCOPED_TRACE(testing::PrintToString(eol));
        EXPECT_EQ(read_from(body), expected);
        // A value running to the end of the file keeps its trailing blanks.
        EXPECT_EQ(read_from(body + eol + "_proxy_port 81 ").proxy_port, "81 ");
    }
}

TEST_F(PrefFile, UnwritableFolderRaisesTheAlertAndKeepsTheOldState)
{
    write_file(without_slash(folder), "not a folder");
    const auto r = run_in_child([] { pref.IO_set(11, 1); }, scratch.path());
    EXPECT_EQ(r.exit_code, 0);
    EXPECT_TRUE(r.out.starts_with("Skarvel Error:\nI could not save the file! ")) << r.out;
    // The alert names the file the user knows, not the temporary written first.
    EXPECT_NE(r.out.find("\n\n" + file + "\n\n"), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find(".tmp"), std::string::npos) << r.out;
    EXPECT_EQ(read_file(without_slash(folder)), "not a folder");
}

TEST_F(PrefFile, FailedWriteLeavesTheOldFileWhole)
{
    const std::string old = kHeader + "_stream_count 2\n_dest_dir_path /kept/\n";
    write_prefs(old);
    Settings s = kDefaults;
    s.dest = "/" + std::string(200, 'd') + "/";
    s.apply();
    const auto r = run_in_child(
        [] {
            // The disk is "full" once a file passes 64 bytes.
            signal(SIGXFSZ, SIG_IGN);
            const rlimit limit = {64, 64};
            setrlimit(RLIMIT_FSIZE, &limit);
            pref.IO_set(11, 1);
        },
        scratch.path());
    EXPECT_EQ(r.exit_code, 0);
    EXPECT_TRUE(r.out.starts_with("Skarvel Error:\nI could not save the file! ")) << r.out;
    EXPECT_NE(r.out.find("\n\n" + file + "\n\n"), std::string::npos) << r.out;
    EXPECT_EQ(read_file(file), old);
    EXPECT_EQ(list_tree(folder), Tree{"Brennix Installer.prf"});
}

TEST_F(PrefFile, WithoutHomeNothingIsReadOrWritten)
{
    brx_test::ScopedEnv no_home("HOME", nullptr);
    char cwd[4096];
    ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
    ASSERT_EQ(chdir(scratch.path().c_str()), 0);
    write_file(scratch / "Brennix Installer.prf", kHeader + "_stream_count 2\n");

    pref.IO_set(11, 0);
    EXPECT_EQ(Settings::current(), kDefaults);
    pref.IO_set(11, 1);
    EXPECT_EQ(list_tree(scratch.path()), (Tree{"Brennix Installer.prf", "Log.txt"}));
    EXPECT_EQ(log(),
              "No home folder (HOME is not set): the preference file is not read.\n"
              "No home folder (HOME is not set): the preference file is not saved.\n");
    ASSERT_EQ(chdir(cwd), 0);
}

TEST_F(PrefFile, ResolutionFileInTheWorkingFolder)
{
    const mnw_class saved = mnw;
    char cwd[4096];
    ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
    ASSERT_EQ(chdir(scratch.path().c_str()), 0);
    mkdir("Resources", 0777);
    mkdir("Resources/preferences", 0777);
    const std::string res = scratch / "Resources/preferences/Res Skarvel.prf";

    mnw.req_w = 1280;
    mnw.req_h = 5;  // out of range: 768 once the pass is done
    mnw.lang = 3;
    mnw.prefs_found = 0;
    pref.IO_set(10, 1);
    EXPECT_EQ(read_file(res), kHeader +
                                  "_x_res_req_PLN 0\n_y_res_req_PLN 0\n_x_res_req_WRL 0\n"
                                  "_y_res_req_WRL 0\n_x_res_req_ALL 1280\n_y_res_req_ALL 5\n"
                                  "_col_res_req 0\n_set_res 0\n_lang 3\n_alias_req 0\n"
                                  "_keylist_up 1\n_sec_mon_inuse 0\n_prefs_found 1\n");
    EXPECT_EQ(mnw.req_h, 768);

    mnw.req_w = mnw.req_h = mnw.lang = 0;
    pref.IO_set(10, 0);
    EXPECT_EQ(mnw.req_w, 1280);
    EXPECT_EQ(mnw.req_h, 768);
    EXPECT_EQ(mnw.lang, 3);

    write_file(res, kHeader + "_y_res_req_ALL 700\n_x_res_req_ALL 10000\n");
    pref.IO_set(10, 0);
    EXPECT_EQ(mnw.req_w, 1024);
    EXPECT_EQ(mnw.req_h, 700);

    ASSERT_EQ(chdir(cwd), 0);
    mnw = saved;
}

}  // namespace
