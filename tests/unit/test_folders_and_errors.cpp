#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "Files/io_utils.h"
#include "GenC/PlatformUtils.h"
#include "GenH/hl_types.h"
#include "support/test_util.h"

namespace {

TEST(OsFolders, ProgramFolderIsTheTestBinarysFolder)
{
    app_path = "something";
    g_case_sensitive = 0;
    std::string out;
    get_OS_abs_path(os_dir_this_app, out);
    char exe[600];
    const ssize_t n = readlink("/proc/self/exe", exe, sizeof exe - 1);
    ASSERT_GT(n, 0);
    std::string target(exe, static_cast<std::size_t>(n));
    EXPECT_EQ(out, target.substr(0, target.rfind('/') + 1));
    EXPECT_EQ(out.back(), '/');
    EXPECT_TRUE(app_path.empty());
    EXPECT_EQ(g_case_sensitive, 1);
}

TEST(OsFolders, HomeKinds)
{
    brx_test::TempDir home;
    std::string h = home.path();
    h.pop_back();  // HOME without its trailing slash
    brx_test::ScopedEnv env("HOME", h.c_str());

    std::string out;
    get_OS_abs_path(os_dir_desktop, out);
    EXPECT_EQ(out, h + "/");
    get_OS_abs_path(os_dir_default_apps, out);
    EXPECT_EQ(out, h + "/");
    EXPECT_FALSE(brx_test::exists(h + "/.brennix"));
    get_OS_abs_path(os_dir_prefs, out);
    EXPECT_EQ(out, h + "/.brennix/");
    struct stat st;
    ASSERT_EQ(stat(out.c_str(), &st), 0);
    EXPECT_TRUE(S_ISDIR(st.st_mode));
    get_OS_abs_path(os_dir_prefs, out);  // an existing folder is no error
    EXPECT_EQ(out, h + "/.brennix/");
}

TEST(OsFolders, HomeEndingInSlashGivesADoubledSlash)
{
    brx_test::ScopedEnv env("HOME", "/home/pat/");
    std::string out;
    get_OS_abs_path(os_dir_desktop, out);
    EXPECT_EQ(out, "/home/pat//");
}

TEST(OsFolders, WithoutHomeTheStringIsLeftAlone)
{
    brx_test::ScopedEnv env("HOME", nullptr);
    for (int kind : {1, 2, 4, 5, -1}) {
        std::string out = "untouched";
        get_OS_abs_path(kind, out);
        EXPECT_EQ(out, "untouched") << kind;
    }
}

TEST(ErrorTexts, OwnCodes)
{
    const char* own[] = {
        "We were unable to open a zip file. It may be missing or damaged",
        "We were unable to read from a zip file. It may be missing or damaged",
        "We were unable to create a zip file",
        "We were unable to write to a zip file. It may be missing or damaged",
        "We cannot compress a zip file because its source file resource fork is more than 2 GB. The source file is probably damaged",
        "We could not open a file to read from it",
        "We were unable to connct to the network due to an internal reconnect error",
        "We wre unable to connect to the network due to a bad state error",
        "We could not allocate a connection to the network",
        "We could not write the incoming file from the web to disk",
        "We could not find the server over the network",
        "Part of the downloaded zip file is corrupted (the resource fork header is bad)",
    };
    for (int i = 0; i < 12; ++i) EXPECT_EQ(error_str(20001 + i), own[i]);
}

TEST(ErrorTexts, ErrnoValuesAndUnknownCodes)
{
    const std::pair<int, const char*> cases[] = {
        {35, "Resource deadlock avoided"},
        {EACCES, "Permission denied. Perhaps you do not have access to a directory or file system"},
        {ENOENT, "No such file or directory"},
        {ENOSPC, "No space left on device. Perhaps your hard drive is full"},
        {EROFS, "The destination file system is read-only"},
        {EXDEV, "Cross-device link"},
        {ENOTEMPTY, "Directory not empty"},
        {0, "Unknown error occurred (0)"},
        {-5, "Unknown error occurred (-5)"},
        {20013, "Unknown error occurred (20013)"},
        {ECONNREFUSED, "Unknown error occurred (111)"},
    };
    for (const auto& [code, text] : cases) EXPECT_EQ(error_str(code), text) << code;
}

TEST(ErrorTexts, WhichFailuresAreShown)
{
    EXPECT_EQ(show_make_dir_err(0), 0);
    EXPECT_EQ(show_make_dir_err(17), 0);
    EXPECT_EQ(show_make_dir_err(13), 1);
    EXPECT_EQ(show_make_dir_err(20001), 1);
    for (int code : {0, 2, 13}) EXPECT_EQ(show_del_err(code), 0);
}

}  // namespace
