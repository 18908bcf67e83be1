// The run's own temporary folder: made fresh for each run, removed at its end,
// and what killed runs left removed by the user's next run, never anything of
// another user or of a run that still holds its folder.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <vector>

#include "GenC/PlatformUtils.h"
#include "support/test_util.h"

namespace {

using brx_test::exists;
using brx_test::list_tree;
using brx_test::TempDir;
using brx_test::write_file;

constexpr char kPrefix[] = "brennix-installer.";

bool is_private_folder(const std::string& path)
{
    struct stat st;
    return lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && (st.st_mode & 07777) == 0700 &&
           st.st_uid == geteuid();
}

void make_old(const std::string& path)
{
    const timeval times[2] = {{1000000000, 0}, {1000000000, 0}};
    lutimes(path.c_str(), times);
}

TEST(RunTempFolder, KindThreeIsANewPrivateFolderInTmpdirRemovedAtTheEnd)
{
    TempDir base;
    brx_test::ScopedEnv env("TMPDIR", base.path().c_str());
    std::string first;
    get_OS_abs_path(os_dir_temp, first);
    ASSERT_EQ(first.rfind(base / kPrefix, 0), 0u) << first;
    EXPECT_EQ(first.size(), (base / kPrefix).size() + 7);
    EXPECT_EQ(first.back(), '/');
    EXPECT_TRUE(is_private_folder(first));
    EXPECT_EQ(list_tree(first), std::vector<std::string>{".lock"});
    std::string again;
    get_OS_abs_path(os_dir_temp, again);
    EXPECT_EQ(again, first) << "one folder for the whole run";

    write_file(first + "serverlist.txt", "list");
    mkdir((first + "sub").c_str(), 0700);
    write_file(first + "sub/1.zip", "part");
    remove_run_temp_folder();
    EXPECT_TRUE(list_tree(base.path()).empty()) << "left: " << list_tree(base.path()).size();

    // Each run (here: after the end of the last) gets a folder of its own.
    std::string next;
    get_OS_abs_path(os_dir_temp, next);
    EXPECT_NE(next, first);
    remove_run_temp_folder();
}

TEST(RunTempFolder, TmpdirIsUsedOnlyWhenItIsAFolderOfOurs)
{
    TempDir dir;
    write_file(dir / "file", "x");
    const std::string folder = dir.path().substr(0, dir.path().size() - 1);
    const struct {
        const char* tmpdir;  // null: unset
        std::vector<std::string> bases;
    } cases[] = {
        {nullptr, {"/tmp/"}},
        {"", {"/tmp/"}},
        {"relative/tmp", {"/tmp/"}},
        {"/nonexistent-brx-folder", {"/tmp/"}},
        {"/tmp", {"/tmp/"}},
        {"/tmp/", {"/tmp/"}},
    };
    for (const auto& c : cases) {
        brx_test::ScopedEnv env("TMPDIR", c.tmpdir);
        EXPECT_EQ(temp_base_folders(), c.bases) << (c.tmpdir ? c.tmpdir : "(unset)");
    }
    {
        brx_test::ScopedEnv env("TMPDIR", (dir / "file").c_str());
        EXPECT_EQ(temp_base_folders(), std::vector<std::string>{"/tmp/"}) << "a file";
    }
    for (const std::string& value : {folder, folder + "/"}) {
        brx_test::ScopedEnv env("TMPDIR", value.c_str());
        EXPECT_EQ(temp_base_folders(), (std::vector<std::string>{dir.path(), "/tmp/"})) << value;
    }
    if (geteuid() != 0) {  // root may write anywhere
        chmod(folder.c_str(), 0500);
        brx_test::ScopedEnv env("TMPDIR", folder.c_str());
        EXPECT_EQ(temp_base_folders(), std::vector<std::string>{"/tmp/"}) << "not writable";
        chmod(folder.c_str(), 0700);
    }
}

// What earlier runs and others may have left where this user's runs make
// their folders, and whether the next run removes it.
TEST(RunTempFolder, TheNextRunRemovesOnlyTheFoldersOfItsOwnEndedRuns)
{
    TempDir base, outside;
    write_file(outside / "precious.txt", "the user's own file");
    mkdir((outside / "folder").c_str(), 0755);
    write_file(outside / "folder/.lock", "");
    write_file(outside / "folder/inner.txt", "kept");
    const auto outside_before = list_tree(outside.path());

    // A killed run's folder: its lock is no longer held. It holds a partial
    // archive, a folder, and links that lead out.
    std::string killed;
    int lock = -1;
    ASSERT_EQ(make_run_temp_folder(base.path(), &killed, &lock), 0);
    close(lock);
    write_file(killed + "0.zip", "part of an archive");
    mkdir((killed + "deep").c_str(), 0700);
    ASSERT_EQ(symlink((outside / "precious.txt").c_str(), (killed + "deep/link").c_str()), 0);
    ASSERT_EQ(symlink(outside.path().c_str(), (killed + "folder-link").c_str()), 0);

    // A live run's folder, and this run's own.
    std::string live;
    int live_lock = -1;
    ASSERT_EQ(make_run_temp_folder(base.path(), &live, &live_lock), 0);
    write_file(live + "directory.txt", "in use");

    // Entries that only look like run folders, or are not ours to remove.
    const std::string name = base / kPrefix;
    ASSERT_EQ(symlink((outside / "folder").c_str(), (name + "Linked").c_str()), 0);
    mkdir((name + "keep-me").c_str(), 0700);
    mkdir((name + "ABCDEFG").c_str(), 0700);
    make_old(name + "keep-me");
    make_old(name + "ABCDEFG");
    write_file(name + "AFile1", "a file of that name");
    // Being made by a run right now: no lock yet. One left that way long ago
    // is a killed run's.
    mkdir((name + "Young1").c_str(), 0700);
    mkdir((name + "Aged01").c_str(), 0700);
    make_old(name + "Aged01");
    // Its lock a link that leads out: removed, never followed.
    mkdir((name + "Linkd2").c_str(), 0700);
    ASSERT_EQ(symlink((outside / "folder/.lock").c_str(), (name + "Linkd2/.lock").c_str()), 0);
    make_old(name + "Linkd2");
    bool foreign = false;
    if (geteuid() == 0) {  // only root can give a folder to another user
        mkdir((name + "Other1").c_str(), 0700);
        write_file(name + "Other1/.lock", "");
        foreign = chown((name + "Other1").c_str(), 65534, 65534) == 0;
    }

    std::string mine;
    int my_lock = -1;
    ASSERT_EQ(make_run_temp_folder(base.path(), &mine, &my_lock), 0);

    EXPECT_FALSE(exists(killed)) << "the killed run's folder stays";
    EXPECT_FALSE(exists(name + "Aged01"));
    EXPECT_FALSE(exists(name + "Linkd2"));
    EXPECT_TRUE(exists(live + "directory.txt")) << "a live run's folder was touched";
    EXPECT_TRUE(is_private_folder(mine));
    for (const char* kept : {"Linked", "keep-me", "ABCDEFG", "AFile1", "Young1"})
        EXPECT_EQ(access((name + kept).c_str(), F_OK), 0) << kept;
    struct stat st;
    EXPECT_EQ(lstat((name + "Linked").c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    if (foreign) {
        EXPECT_TRUE(exists(name + "Other1/.lock")) << "another user's folder was touched";
    }
    EXPECT_EQ(list_tree(outside.path()), outside_before);
    EXPECT_EQ(brx_test::read_file(outside / "precious.txt"), "the user's own file");

    close(live_lock);
    close(my_lock);
}

TEST(RunTempFolder, TwoRunsAtOnceKeepTheirOwnFolders)
{
    TempDir base;
    // The other run, in a process of its own, holds its folder until told.
    int up[2], down[2];
    ASSERT_EQ(pipe(up), 0);
    ASSERT_EQ(pipe(down), 0);
    const pid_t other = fork();
    ASSERT_GE(other, 0);
    if (other == 0) {
        close(up[0]);
        close(down[1]);
        std::string folder;
        int lock = -1;
        if (make_run_temp_folder(base.path(), &folder, &lock) != 0) _exit(1);
        write_file(folder + "serverlist.txt", "the other run's");
        (void)!write(up[1], folder.data(), folder.size());
        close(up[1]);
        char c;
        (void)!read(down[0], &c, 1);
        _exit(0);
    }
    close(up[1]);
    close(down[0]);
    char buf[512];
    const ssize_t n = read(up[0], buf, sizeof buf);
    close(up[0]);
    ASSERT_GT(n, 0);
    const std::string theirs(buf, static_cast<size_t>(n));

    std::string mine;
    int lock = -1;
    ASSERT_EQ(make_run_temp_folder(base.path(), &mine, &lock), 0);
    EXPECT_NE(mine, theirs);
    EXPECT_EQ(brx_test::read_file(theirs + "serverlist.txt"), "the other run's");

    // Once it has ended, the next run removes what it left, and only that.
    close(down[1]);
    int status = 0;
    ASSERT_EQ(waitpid(other, &status, 0), other);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    std::string next;
    int next_lock = -1;
    ASSERT_EQ(make_run_temp_folder(base.path(), &next, &next_lock), 0);
    EXPECT_FALSE(exists(theirs));
    EXPECT_TRUE(is_private_folder(mine));
    close(lock);
    close(next_lock);
}

TEST(RunTempFolder, NoFolderAnywhereIsAFatalAlertNamingTheFolderAndTheError)
{
    TempDir dir;
    write_file(dir / "file", "x");
    const auto child = brx_test::run_in_child([&] {
        open_run_temp_folder({"/nonexistent-brx-folder/", dir / "file/"});
        printf("went on\n");
    });
    EXPECT_NE(child.exit_code, 0);
    EXPECT_FALSE(brx_test::contains(child.out, "went on"));
    EXPECT_TRUE(brx_test::contains(child.out, "I could not make a temporary folder")) << child.out;
    EXPECT_TRUE(brx_test::contains(child.out, "Folder: " + dir / "file/" + kPrefix + "XXXXXX")) << child.out;
    EXPECT_TRUE(brx_test::contains(child.out, "Error: Not a directory")) << child.out;
}

}  // namespace
