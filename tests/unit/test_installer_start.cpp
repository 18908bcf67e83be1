// The installer's start-up without a window: the default destination, the
// start values, the preference keys it reads and writes, "-path", and the
// test for an earlier installation on real folders.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "GenC/PlatformUtils.h"
#include "GenH/hl_types.h"
#include "OOPS_cpp/http.h"
#include "OOPS_cpp/pref.h"
#include "UTL/UTL_cmdline.h"
#include "app/installer.h"
#include "app/utils.h"
#include "support/test_util.h"

namespace {

using brx_test::read_file;
using brx_test::TempDir;
using brx_test::write_file;

TEST(DefaultDestination, TenComponentsOffTheHomeFolder)
{
    struct Case {
        const char* home;
        const char* dest;
    } cases[] = {
        {"/home/user/", "/Brennix/"},
        {"/a/b/c/d/e/f/g/h/i/j/k/l/", "/a/b/Brennix/"},
        {"/a/b/c/d/e/f/g/h/i/j/", "/Brennix/"},
        {"//", "//Brennix/"},
        {"/", "/Brennix/"},
        // HOME unset or relative: never a folder relative to where it started.
        {"", "/Brennix/"},
        {"relative/home/", "/Brennix/"},
    };
    for (const Case& c : cases) EXPECT_EQ(default_dest_path(c.home), c.dest) << c.home;

    EXPECT_EQ(remove_last_component("/home/user/"), "/home/");
    EXPECT_EQ(remove_last_component("/home/user"), "/home/");
    EXPECT_EQ(remove_last_component("/"), "/");
    EXPECT_EQ(remove_last_component("//"), "//");
    EXPECT_EQ(remove_last_component("name"), "");
}

TEST(PathArgument, OnlyFirstAndWithAFolder)
{
    struct Case {
        std::vector<const char*> args;
        int taken;
        const char* folder;
    } cases[] = {
        {{"-path", "/opt/sim/"}, 1, "/opt/sim/"},
        {{"-path", "/opt/sim"}, 1, "/opt/sim/"},
        {{"-path", "/opt/sim/", "--fps_test"}, 1, "/opt/sim/"},
        {{"-x", "-path", "/opt/sim/"}, 0, ""},
        {{"-path"}, 0, ""},
        {{"-pathx", "/opt/sim/"}, 0, ""},
        {{}, 0, ""},
    };
    for (const Case& c : cases) {
        std::vector<const char*> argv{"Brennix Installer"};
        argv.insert(argv.end(), c.args.begin(), c.args.end());
        std::string folder;
        EXPECT_EQ(path_argument(static_cast<int>(argv.size()), argv.data(), &folder), c.taken);
        EXPECT_EQ(folder, c.folder);
    }
}

// Start-up with a home folder, a preference file and a command line of the
// test's choosing; every global it touches starts from the load-time state.
class InstallerStart : public ::testing::Test {
protected:
    TempDir home, tmp;
    brx_test::ScopedEnv env{"HOME", home.path().substr(0, home.path().size() - 1).c_str()};
    brx_test::ScopedEnv tmp_env{"TMPDIR", tmp.path().c_str()};
    const std::string prefs = home / ".brennix/Brennix Installer.prf";

    void SetUp() override
    {
        saved_options_ = cmdline.options;
        stg = stg_class();
        dest_dir_path.clear();
        install_name.clear();
        http.proxy_host.clear();
        http.proxy_port.clear();
        http.proxy_port_int = 0;
    }
    void TearDown() override
    {
        remove_run_temp_folder();
        cmdline.options = saved_options_;
        http.proxy_host.clear();
        http.proxy_port.clear();
        http.proxy_port_int = 0;
    }
    void write_prefs(const std::string& body)
    {
        mkdir((home / ".brennix").c_str(), 0777);
        write_file(prefs, "I\n9001 version\n" + body);
    }
    void start(std::vector<const char*> args)
    {
        std::vector<const char*> argv{"Brennix Installer"};
        argv.insert(argv.end(), args.begin(), args.end());
        cmdline.options.clear();
        cmdline.init_unix(static_cast<int>(argv.size()), argv.data());
        installer_start(static_cast<int>(argv.size()), argv.data());
    }

private:
    std::map<std::string, std::string> saved_options_;
};

TEST_F(InstallerStart, NoPreferenceFileGivesTheStartValues)
{
    stg.log_actions = 0;
    start({});
    EXPECT_EQ(dest_dir_path, "/Brennix/");
    // The run's own folder, in TMPDIR.
    EXPECT_EQ(temp_path.rfind(tmp / "brennix-installer.", 0), 0u) << temp_path;
    EXPECT_TRUE(brx_test::exists(temp_path + ".lock"));
    EXPECT_EQ(install_name, "Not Yet Scanned");
    EXPECT_EQ(stls.entry[602], "OK");
    EXPECT_EQ(stg.dir_state, 0);
    EXPECT_EQ(stg.target_os, 3);
    EXPECT_EQ(stg.phase, 0);
    EXPECT_EQ(stg.server_count, -1);
    EXPECT_EQ(stg.server_index, 0);
    EXPECT_EQ(stg.file_action, 3);
    EXPECT_EQ(stg.rename_folder, 1);
    EXPECT_EQ(stg.use_max_cpu + stg.stream_count + stg.always_ask_dir + stg.log_actions, 0);
    // The hidden folder is made before the file is read or written.
    struct stat st;
    EXPECT_EQ(stat((home / ".brennix").c_str(), &st), 0);
}

TEST_F(InstallerStart, WithoutHomeTheCommandLineStillHoldsAndTheDestinationIsAtTheRoot)
{
    brx_test::ScopedEnv no_home("HOME", nullptr);
    start({"--pref:_proxy_host=127.0.0.1", "--pref:_proxy_port_int=3128", "--pref:_stream_count=2"});
    EXPECT_EQ(http.proxy_host, "127.0.0.1");
    EXPECT_EQ(http.proxy_port_int, 3128);
    EXPECT_EQ(stg.stream_count, 2);
    EXPECT_EQ(dest_dir_path, "/Brennix/");
    // Nothing to save the settings in: no file lands in the current folder.
    pref.IO_set(11, 1);
    EXPECT_FALSE(brx_test::exists(prefs));
    EXPECT_FALSE(brx_test::exists(kPrefFileName));
}

TEST_F(InstallerStart, SavedKeysReplaceTheStartValues)
{
    write_prefs("_use_max_cpu 1\n_rename_folder 0\n_stream_count 3\n_log_actions 1\n"
                "_dest_dir_path /srv/Brennix 9/\n_proxy_host proxy.example\n_proxy_port 3128\n"
                "_proxy_port_int 3128\n");
    start({});
    EXPECT_EQ(stg.use_max_cpu, 1);
    EXPECT_EQ(stg.rename_folder, 0);
    EXPECT_EQ(stg.stream_count, 3);
    EXPECT_EQ(stg.log_actions, 1);
    EXPECT_EQ(stg.always_ask_dir, 0);  // absent: the start value
    EXPECT_EQ(stg.target_os, 3);
    EXPECT_EQ(dest_dir_path, "/srv/Brennix 9/");
    EXPECT_EQ(http.proxy_host, "proxy.example");
    EXPECT_EQ(http.proxy_port, "3128");
    EXPECT_EQ(http.proxy_port_int, 3128);
}

TEST_F(InstallerStart, DestinationWithoutFinalSlashGetsOne)
{
    write_prefs("_dest_dir_path /srv/edited\n");
    start({});
    EXPECT_EQ(dest_dir_path, "/srv/edited/");

    start({"--pref:_dest_dir_path=/opt/from option"});
    EXPECT_EQ(dest_dir_path, "/opt/from option/");
}

TEST_F(InstallerStart, PathArgumentWinsAndIsSaved)
{
    write_prefs("_dest_dir_path /srv/saved/\n_always_ask_dir 1\n");
    // With "-path" the chooser is not offered, whatever the file says.
    start({"-path", "/opt/sim"});
    EXPECT_EQ(dest_dir_path, "/opt/sim/");
    EXPECT_EQ(stg.always_ask_dir, 1);

    stg.target_os = 2;
    stg.always_ask_dir = 0;  // the next start would ask with a window
    http.proxy_host.clear();
    pref.IO_set(11, 1);
    const std::string saved = read_file(prefs);
    EXPECT_NE(saved.find("\n_dest_dir_path /opt/sim/\n"), std::string::npos) << saved;
    EXPECT_EQ(saved.find("target_os"), std::string::npos);
    EXPECT_EQ(saved.find("_proxy_host"), std::string::npos);

    // The next start is Linux again.
    start({});
    EXPECT_EQ(stg.target_os, 3);
    EXPECT_EQ(dest_dir_path, "/opt/sim/");
}

// ---------------------------------------------------------------------------

class EarlierInstallation : public ::testing::Test {
protected:
    TempDir dir;
    void SetUp() override { saved_ = dest_dir_path; }
    void TearDown() override { dest_dir_path = saved_; }

    // A fresh destination holding the entries; a name ending in "/" is a
    // folder, "name -> target" a symbolic link, anything else a file.
    int test_with(const std::vector<std::string>& entries, const std::string& sub)
    {
        const std::string dest = dir / sub;
        mkdir(dest.c_str(), 0755);
        for (const std::string& e : entries) {
            const size_t arrow = e.find(" -> ");
            if (arrow != std::string::npos) {
                EXPECT_EQ(symlink(e.substr(arrow + 4).c_str(), (dest + e.substr(0, arrow)).c_str()), 0);
            } else if (e.back() == '/') {
                mkdir((dest + e).c_str(), 0755);
            } else {
                write_file(dest + e, "x");
            }
        }
        dest_dir_path = dest;
        return path_is_to_a_sim();
    }

private:
    std::string saved_;
};

TEST_F(EarlierInstallation, FourFoldersMakeAnInstallation)
{
    mkdir((dir / "target").c_str(), 0755);
    struct Case {
        std::vector<std::string> entries;
        int is_sim;
    } cases[] = {
        {{"Airfoils/", "Instructions/", "Output/", "Resources/", "readme.txt", "Aircraft/"}, 1},
        {{"Airfoils/", "Instructions/", "Output/"}, 0},
        {{"Airfoils/", "Instructions/", "Output/", "resources/"}, 0},
        {{"Old Airfoils/", "Instructions 2/", "Output/", "Resources backup/"}, 1},
        {{"AirfoilsInstructionsOutputResources/"}, 1},
        {{"Airfoils", "Instructions", "Output", "Resources"}, 0},
        {{"Airfoils/", "Instructions/", "Output/", "Resources -> " + dir / "target"}, 1},
        {{"Airfoils/", "Instructions/", "Output/", "Resources -> " + dir / "missing"}, 0},
        {{"Airfoils/", "Instructions/", "Output/", ".Resources/"}, 0},
        // A folder whose name has a file-type ending is listed as that type.
        {{"Airfoils/", "Instructions/", "Output/", "Resources.txt/"}, 0},
        {{}, 0},
    };
    int n = 0;
    for (const Case& c : cases) {
        EXPECT_EQ(test_with(c.entries, "d" + std::to_string(n) + "/"), c.is_sim)
            << "case " << n;
        ++n;
    }

    dest_dir_path = dir / "does not exist/";
    EXPECT_EQ(path_is_to_a_sim(), 0);
    dest_dir_path = "";
    EXPECT_EQ(path_is_to_a_sim(), 0);
}

TEST_F(EarlierInstallation, SettledFolderIsStillLookedAtAnew)
{
    mkdir((dir / "target").c_str(), 0755);
    ASSERT_EQ(test_with({"Airfoils/", "Instructions/", "Output/", "Resources -> " + dir / "target"},
                        "d/"),
              1);
    const std::string d = dir / "d/";
    // Settled long ago: the names are taken as read, their kinds are not.
    const timespec old_times[2] = {{time(nullptr) - 60, 0}, {time(nullptr) - 60, 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, d.c_str(), old_times, 0), 0);
    EXPECT_EQ(path_is_to_a_sim(), 1);
    rmdir((dir / "target").c_str());
    EXPECT_EQ(path_is_to_a_sim(), 0);
    mkdir((dir / "target").c_str(), 0755);
    EXPECT_EQ(path_is_to_a_sim(), 1);
    // A folder gone and one added change the folder's time.
    rmdir((d + "Output").c_str());
    EXPECT_EQ(path_is_to_a_sim(), 0);
    mkdir((d + "Old Output").c_str(), 0755);
    EXPECT_EQ(path_is_to_a_sim(), 1);
    // Another destination of the same names is another folder.
    dest_dir_path = dir / "target/";
    EXPECT_EQ(path_is_to_a_sim(), 0);
}

}  // namespace
