// The engine end to end with no screen: nginx serves a release written by the
// release builder, reached through the proxy setting; the harness runs the
// install in the frame's rhythm and the destination must end up identical to
// the newest version.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <csignal>
#include <random>

#include "GenH/hl_types.h"
#include "OOPS_cpp/http.h"
#include "app/utils.h"
#include "support/engine_harness.h"
#include "support/flaky_front.h"
#include "support/http_servers.h"
#include "support/release_builder.h"
#include "support/test_util.h"

namespace {

using namespace brx_test;

std::string noise(size_t n, unsigned seed)
{
    std::mt19937 gen(seed);
    std::string s(n, '\0');
    for (char& c : s) c = static_cast<char>(gen() % 7 == 0 ? gen() : 'a' + gen() % 4);
    return s;
}

Release two_versions()
{
    Release r;
    r.servers = {{"flaky.example", "/brennix/", "Flaky mirror"},
                 {"good.example", "/brennix/", "Good mirror"}};
    r.versions.push_back({
        {"Resources/a.txt", {"a, first version", 0}},
        {"Resources/same.txt", {"unchanged", 0}},
        {"Resources/old/only-old.txt", {"dropped later", 0}},
        {"Resources/old/deeper/gone.dat", {noise(5000, 1), 0}},
        {"bin/prog", {noise(70000, 2), 3}},
        {"user.cfg", {"shipped settings", 0}},
    });
    r.versions.push_back({
        {"Resources/a.txt", {"a, second version", 0}},
        {"Resources/same.txt", {"unchanged", 0}},
        {"bin/prog", {noise(90000, 3), 3}},
        {"bin/prog.exe", {noise(1000, 4), 2}},
        {"new/b.bin", {noise(300000, 5), 0}},
        {"new/linux-too.so", {noise(2000, 6), 6}},
        {"user.cfg", {"shipped settings, revised", 0}},
        {"top level with spaces.txt", {"spaces", 0}},
    });
    return r;
}

// The files a Linux installation of version `index` holds, by MD5.
std::map<std::string, std::string> linux_files(const Release& r, size_t index)
{
    std::map<std::string, std::string> out;
    for (const auto& [path, file] : r.versions[index])
        if (file.os == 0 || file.os == 3 || file.os == 6) out[path] = md5_of(file.bytes);
    return out;
}

class EngineEndToEnd : public ::testing::Test {
protected:
    void SetUp() override
    {
        release = two_versions();
        build_release(release, tmp / "site/");
        mkdir((tmp / "tmp").c_str(), 0755);
        mkdir((tmp / "parent").c_str(), 0755);
        xer.close();
        xer.clear();
        xer.open(tmp / "Log.txt");
    }
    void TearDown() override
    {
        reset_engine("", "");
        http.proxy_host.clear();
        http.proxy_port.clear();
        http.proxy_port_int = 0;
        xer.close();
    }

    // Everything up to a finished job, through the proxy at `proxy_port`, into
    // `dest` (by default "Brennix/" in the parent folder).
    void install(unsigned short proxy_port, int directory_server, int install_server,
                 const std::string& dest = "")
    {
        reset_engine(tmp / "tmp/", dest.empty() ? tmp / "parent/Brennix/" : dest);
        http.proxy_host = "127.0.0.1";
        http.proxy_port = std::to_string(proxy_port);
        http.proxy_port_int = proxy_port;
        install_name = release.version_name;
        stg.server_count = static_cast<int>(release.servers.size());
        for (int i = 0; i < stg.server_count; ++i) {
            server_name[i] = release.servers[i].host;
            server_path[i] = release.servers[i].path_prefix + release.version_name + "/";
            server_desc[i] = release.servers[i].description;
        }
        stg.server_index = directory_server;
        ASSERT_EQ(fetch_and_read_directory(), 3);
        stg.server_index = install_server;
        select_alert_answer = [this](const std::string& path, int) {
            asked.push_back(path);
            return 1;
        };
        ASSERT_EQ(press_install(), 1);
        ASSERT_EQ(run_install(), 1);
        EXPECT_EQ(next.job_done, 1);
        EXPECT_EQ(stg.install_error, 0);
    }

    void expect_newest_installed()
    {
        // The version name becomes the folder's name: files for Linux came.
        EXPECT_EQ(dest_dir_path, tmp / "parent/" + release.version_name + "/");
        EXPECT_EQ(tree_md5s(dest_dir_path), linux_files(release, 1));
        EXPECT_FALSE(exists(dest_dir_path + "Resources/old"));
        EXPECT_TRUE(exists(dest_dir_path + "Output/situations"));
        EXPECT_TRUE(list_tree(tmp / "tmp/") == std::vector<std::string>{"directory.txt"});
    }

    TempDir tmp;
    Release release;
    std::vector<std::string> asked;
};

TEST_F(EngineEndToEnd, FreshInstallThroughTheProxy)
{
    NginxServer nginx(tmp / "", {{"flaky.example", tmp / "site"}, {"good.example", tmp / "site"}});
    TinyProxy proxy(tmp / "", nginx.port());
    install(proxy.port(), 0, 0);
    expect_newest_installed();
    EXPECT_TRUE(asked.empty());
}

TEST_F(EngineEndToEnd, UpdateFromAnOlderVersion)
{
    NginxServer nginx(tmp / "", {{"flaky.example", tmp / "site"}, {"good.example", tmp / "site"}});
    TinyProxy proxy(tmp / "", nginx.port());
    mkdir((tmp / "parent/Brennix").c_str(), 0755);
    std::map<std::string, ReleaseFile> old_linux;
    for (const auto& [path, file] : release.versions[0])
        if (file.os != 2) old_linux[path] = file;
    Release installed = release;
    installed.versions = {old_linux};
    install_tree(installed, 0, tmp / "parent/Brennix/");
    write_file(tmp / "parent/Brennix/user.cfg", "edited by the user");
    install(proxy.port(), 1, 1);
    expect_newest_installed();
    EXPECT_EQ(asked, std::vector<std::string>{tmp / "parent/Brennix/user.cfg"});
}

TEST_F(EngineEndToEnd, FailedRequestsAreRetriedOnAnotherServer)
{
    NginxServer nginx(tmp / "", {{"flaky.example", tmp / "site"}, {"good.example", tmp / "site"}});
    // The forwarder is the proxy here, so that its resets reach the client.
    FlakyFront front(nginx.port(), "flaky.example");
    install(front.port(), 1, 0);
    EXPECT_GT(front.spoiled(), 0);
    expect_newest_installed();
}

// A folder the user names with "\\" or ":" is no fault of the server's file
// directory: the file layer refuses it, naming the folder, before anything is
// made there.
TEST_F(EngineEndToEnd, DestinationWithForeignFolderMarksIsRefusedByTheFileLayer)
{
    NginxServer nginx(tmp / "", {{"flaky.example", tmp / "site"}, {"good.example", tmp / "site"}});
    TinyProxy proxy(tmp / "", nginx.port());
    const std::string dest = tmp / "parent/My:Folder\\2/";
    const auto child = run_in_child([&] { install(proxy.port(), 1, 1, dest); });
    EXPECT_EQ(child.signal, SIGABRT) << child.out;
    EXPECT_NE(child.out.find("I got a bad dirchar! I only want '/'!"), std::string::npos) << child.out;
    EXPECT_NE(child.out.find("The path in question is:\n\n" + dest), std::string::npos) << child.out;
    EXPECT_EQ(child.out.find("I am reading the directory text file"), std::string::npos) << child.out;
    EXPECT_FALSE(exists(dest));
}

}  // namespace
