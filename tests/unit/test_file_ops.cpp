#include <gtest/gtest.h>
#include <dirent.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>

#include "Files/io_utils.h"
#include "GenH/hl_types.h"
#include "OOPS_cpp/cmnd.h"
#include "UTL/case-desens.h"
#include "support/test_util.h"

namespace {

using brx_test::exists;
using brx_test::run_in_child;
using brx_test::TempDir;
using brx_test::write_file;

void make_dir(const std::string& p) { ASSERT_EQ(mkdir(p.c_str(), 0755), 0) << p; }
void make_link(const std::string& target, const std::string& at)
{
    ASSERT_EQ(symlink(target.c_str(), at.c_str()), 0) << at;
}

std::string repaired(const std::string& p)
{
    char buf[strDIM];
    strcpy_bounded(buf, p);
    findPath(buf);
    return buf;
}

TEST(FindPath, RepairsEachComponentUpToTheFirstMiss)
{
    TempDir dir;
    make_dir(dir / "usr");
    make_dir(dir / "usr/lib");
    write_file(dir / "usr/lib/Data.txt", "x");
    EXPECT_EQ(repaired(dir / "USR/Lib/x"), dir / "usr/lib/x");
    EXPECT_EQ(repaired(dir / "USR/LIB/DATA.TXT"), dir / "usr/lib/Data.txt");
    EXPECT_EQ(repaired(dir / "Nope/LIB"), dir / "Nope/LIB");  // the rest stays as it was
    EXPECT_EQ(repaired(dir / "usr//LIB/"), dir / "usr//lib/");
    EXPECT_EQ(repaired(dir / "usr/lib/Data.txt"), dir / "usr/lib/Data.txt");
    EXPECT_EQ(repaired(""), "");

    // Relative paths search the current folder.
    auto r = run_in_child([&] { printf("%s", repaired("USR/LIB").c_str()); }, dir.path());
    EXPECT_EQ(r.out, "usr/lib");
}

TEST(FindPath, FirstEntryReadWinsBetweenCaseTwins)
{
    TempDir dir;
    make_dir(dir / "ab");
    make_dir(dir / "AB");
    std::string first;
    DIR* d = opendir(dir.path().c_str());
    while (const dirent* e = readdir(d))
        if (strcasecmp(e->d_name, "ab") == 0) {
            first = e->d_name;
            break;
        }
    closedir(d);
    EXPECT_EQ(repaired(dir / "Ab/x"), dir / (first + "/x"));
}

TEST(FileOps, ExistenceTests)
{
    TempDir dir;
    make_dir(dir / "Folder");
    write_file(dir / "File.txt", "x");
    make_link("File.txt", dir / "to_file");
    make_link("missing", dir / "dangling");
    make_link("Folder", dir / "to_folder");

    struct {
        std::string path;
        int file, folder;
    } cases[] = {
        {dir / "File.txt", 1, 0},     {dir / "FILE.TXT", 1, 0},   {dir / "to_file", 1, 0},
        {dir / "dangling", 0, 0},     {dir / "Folder", 0, 1},     {dir / "folder/", 0, 1},
        {dir / "to_folder/", 0, 1},   {dir / "none", 0, 0},       {"/", 0, 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(file_exists(c.path), c.file) << c.path;
        EXPECT_EQ(dir_exists(c.path), c.folder) << c.path;
    }
    EXPECT_EQ(file_exists("/dev/null"), 1);
}

TEST(FileOps, MakeDeleteAndRename)
{
    TempDir dir;
    sErrLine = -1;
    EXPECT_EQ(make_folder(dir / "a/"), 0);
    EXPECT_EQ(make_folder(dir / "a/"), EEXIST);
    EXPECT_EQ(sErrLine, 761);
    EXPECT_STREQ(sErrFile, "Files/io_utils");
    EXPECT_EQ(make_folder(dir / "x/y/"), ENOENT);
    EXPECT_EQ(make_folder(dir / "a/b"), 0);
    struct stat st;
    ASSERT_EQ(stat((dir / "a/b").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0755u & ~[] { mode_t m = umask(0); umask(m); return m; }());

    write_file(dir / "a/b/f", "x");
    EXPECT_EQ(delete_file(""), ENOENT);
    EXPECT_EQ(delete_file(dir / "a/"), ENOTEMPTY);
    EXPECT_EQ(sErrLine, 683);
    EXPECT_EQ(delete_file(dir / "a/b"), EISDIR);
    EXPECT_EQ(sErrLine, 688);
    EXPECT_TRUE(exists(dir / "a/b/f"));

    write_file(dir / "a/b/g", "new");
    EXPECT_EQ(rename_file(dir / "a/b/", "g", "f"), 0);
    EXPECT_EQ(brx_test::read_file(dir / "a/b/f"), "new");
    EXPECT_EQ(rename_file(dir / "a/b/", "g", "f"), ENOENT);
    EXPECT_EQ(sErrLine, 740);

    EXPECT_EQ(delete_file(dir / "a/b/f"), 0);
    EXPECT_EQ(delete_file(dir / "a/b/"), 0);
    make_link("/", dir / "a/root_link");
    EXPECT_EQ(delete_file(dir / "a/root_link"), 0);  // the link, not what it names
    EXPECT_EQ(delete_file(dir / "a/"), 0);
    EXPECT_EQ(brx_test::list_tree(dir.path()), std::vector<std::string>{});
}

TEST(FileOps, ListingFiltersHiddenLinksAndSorts)
{
    TempDir dir;
    write_file(dir / "b", "");
    write_file(dir / "A", "");
    write_file(dir / ".hidden", "");
    write_file(dir / "Plane.acf", "");
    write_file(dir / "other.ACF", "");
    write_file(dir / "notes.txt", "");
    make_dir(dir / "Sub");
    make_dir(dir / "Dir.ACF");
    make_dir(dir / ".git");
    make_link("Sub", dir / "sublink");
    make_link("missing", dir / "dangling");

    std::vector<std::string> names{"stale"};
    std::vector<int> kinds{9};
    EXPECT_EQ(opensave_getitems(dir.path(), 0, names, kinds), 8);
    EXPECT_EQ(names, (std::vector<std::string>{"A", "b", "Dir.ACF", "notes.txt", "other.ACF",
                                               "Plane.acf", "Sub", "sublink"}));
    EXPECT_EQ(kinds, (std::vector<int>{0, 0, 3, 19, 3, 3, 1, 1}));

    EXPECT_EQ(opensave_getitems(dir.path(), 3, names, kinds), 5);
    EXPECT_EQ(names, (std::vector<std::string>{"Dir.ACF", "other.ACF", "Plane.acf", "Sub", "sublink"}));
    EXPECT_EQ(opensave_getitems(dir.path(), 19, names, kinds), 3);
    EXPECT_EQ(names, (std::vector<std::string>{"notes.txt", "Sub", "sublink"}));
    EXPECT_EQ(opensave_getitems(dir.path(), 20, names, kinds), 0);
    EXPECT_TRUE(names.empty() && kinds.empty());
    EXPECT_EQ(opensave_getitems(dir / "none/", 0, names, kinds), 0);
}

TEST(FileOps, ListingOrderKeepsTheFrameworksPassForCaseTwins)
{
    TempDir dir;
    for (const char* n : {"b", "A", "a", "B", "c"}) write_file(dir / n, "");
    std::vector<std::string> names;
    std::vector<int> kinds;
    ASSERT_EQ(opensave_getitems(dir.path(), 0, names, kinds), 5);
    // Whatever order the folder returns, case twins stay together and the
    // groups are ascending.
    ASSERT_EQ(names.size(), 5u);
    EXPECT_TRUE(names[0] == "a" || names[0] == "A");
    EXPECT_TRUE(names[2] == "b" || names[2] == "B");
    EXPECT_EQ(names[4], "c");
}

TEST(FileOps, PanelImageFilter)
{
    int kind = 0;
    EXPECT_EQ(opensave_takeit("Resources/bitmaps/cockpit/-panels-/", "x.png", 12, kind), 0);
    kind = 0;
    EXPECT_EQ(opensave_takeit("/a/", "Panel-2.png", 12, kind), 0);
    kind = 0;
    EXPECT_EQ(opensave_takeit("/a/", "Panel.png", 12, kind), 1);
    EXPECT_EQ(kind, 2);
    kind = 0;
    EXPECT_EQ(opensave_takeit("/a/", "Panel-2.png", 0, kind), 1);
    kind = 0;
    EXPECT_EQ(opensave_takeit("/" + std::string(600, 'a') + "/", "x.png", 12, kind), 0);
}

TEST(FileOps, CommandTreeListing)
{
    // In a child: the registry lasts for the process, and other tests list it.
    const auto r = run_in_child([] {
        const int before = static_cast<int>(cmnd.paths.size());
        cmnd.add_cmd("test_tree/one", "");
        cmnd.add_cmd("test_tree/sub/two", "");
        std::vector<std::string> names;
        std::vector<int> kinds;
        const int n = opensave_getitems("test_tree/", 21, names, kinds);
        printf("n=%d grew=%d\n", n - static_cast<int>(names.size()),
               static_cast<int>(cmnd.paths.size()) > before);
        for (std::size_t i = 0; i < names.size(); ++i) printf("%s %d\n", names[i].c_str(), kinds[i]);
    });
    EXPECT_EQ(r.exit_code, 0);
    EXPECT_EQ(r.out, "n=0 grew=1\none 21\nsub 1\n");
}

TEST(FileOps, ListingPathWithoutSlashIsFatal)
{
    TempDir dir;
    auto r = run_in_child(
        [&] {
            std::vector<std::string> n;
            std::vector<int> k;
            opensave_getitems(dir / "x", 0, n, k);
        },
        dir.path());
    EXPECT_EQ(r.signal, SIGABRT);
    EXPECT_NE(r.out.find("Working path does not appear to be a directory!"), std::string::npos);
}

TEST(FileOps, LargeAddressAwareFlag)
{
    TempDir dir;
    std::string exe(200, '\0');
    exe[0] = 'M';
    exe[1] = 'Z';
    exe[60] = static_cast<char>(128);
    exe.replace(128, 4, std::string("PE\0\0", 4));
    write_file(dir / "a.exe", exe);
    EXPECT_EQ(make_file_large_address_aware(dir / "a.exe"), 0);
    const std::string after = brx_test::read_file(dir / "a.exe");
    EXPECT_EQ(static_cast<unsigned char>(after[128 + 22]), 0x20);
    EXPECT_EQ(after.size(), exe.size());

    write_file(dir / "b.exe", std::string(64, 'x'));
    EXPECT_EQ(make_file_large_address_aware(dir / "b.exe"), 20013);
    exe.replace(128, 2, "XX");
    write_file(dir / "c.exe", exe);
    EXPECT_EQ(make_file_large_address_aware(dir / "c.exe"), 20014);
    write_file(dir / "d.exe", "MZ");
    EXPECT_EQ(make_file_large_address_aware(dir / "d.exe"), EIO);
    EXPECT_EQ(make_file_large_address_aware(dir / "none"), ENOENT);
}

TEST(FileOps, LaunchAppEndsThisProgram)
{
    TempDir dir;
    write_file(dir / "Log.txt", "");
    auto r = run_in_child(
        [&] {
            setenv("HOME", dir.path().c_str(), 1);  // shut-down may save preferences there
            xer.open(dir / "Log.txt");
            launch_app("/bin/true/", "");
        },
        dir.path());
    EXPECT_EQ(r.exit_code, 1);
    EXPECT_EQ(brx_test::read_file(dir / "Log.txt"), "Launching: /bin/true with \n");
}

}  // namespace
