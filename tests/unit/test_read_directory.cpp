#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>

#include "GenH/hl_types.h"
#include "app/utils.h"
#include "support/engine_harness.h"
#include "support/release_builder.h"
#include "support/test_util.h"

namespace {

using brx_test::md5_of;
using brx_test::TempDir;
using brx_test::write_file;

const char kHeader[] = "I\n900 version\nINSTALLER\n";

class ReadDirectory : public ::testing::Test {
protected:
    void SetUp() override
    {
        brx_test::reset_engine(tmp.path(), tmp / "dest/");
        mkdir((tmp / "dest").c_str(), 0755);
    }
    void TearDown() override { brx_test::reset_engine("", ""); }

    int read(const std::string& text)
    {
        write_file(tmp / "directory.txt", text);
        return read_directory(tmp / "directory.txt", "top");
    }
    const file_version_struct& current(size_t i) { return sim_info.at(i).versions.back(); }

    TempDir tmp;
};

TEST_F(ReadDirectory, AcceptsVersions840And900Only)
{
    EXPECT_EQ(read("I\n840\nINSTALLER\nFILE 0 0 0 1 1 x Top/a\n"), 3);
    EXPECT_EQ(sim_info.size(), 1u);
    EXPECT_EQ(read("A\n  900 whatever\n\nINSTALLER trailing\nFILE 0 0 0 1 1 x Top/a\n"), 3);
    for (const char* bad : {"I\n841\nINSTALLER\nFILE 0 0 0 1 1 x Top/a\n", "I\n900\nSERVERS\n",
                            "X\n900\nINSTALLER\n", ""}) {
        const auto child = brx_test::run_in_child([&] {
            const int r = read(bad);
            printf("result=%d size=%zu\n", r, sim_info.size());
            fflush(stdout);
        });
        EXPECT_NE(child.out.find("result=2 size=0"), std::string::npos) << bad;
        EXPECT_NE(child.out.find("newer than I can understand"), std::string::npos);
    }
}

TEST_F(ReadDirectory, HeaderOnlyGivesAnEmptyModel)
{
    EXPECT_EQ(read(kHeader), 3);
    EXPECT_TRUE(sim_info.empty());
    EXPECT_EQ(stg.total_download, 0);
    EXPECT_EQ(stg.total_install, 0);
}

TEST_F(ReadDirectory, FieldsAndTheNumberQuirks)
{
    ASSERT_EQ(read(std::string(kHeader) +
                   "DIR Top/\nFILE 1 3 7 120 300 s a/b.txt\n"
                   "DIR q\nFILE 9 -2 x\n"
                   "DIR Top/n/\nFILE -+5 +-5 1.5 1a 0 s name with  spaces  \n"
                   "FILE\t2\t7\t-0\t4294967297\t2\tsig\tx\n"),
              3);
    ASSERT_EQ(sim_info.size(), 4u);
    const file_version_struct& a = current(0);
    EXPECT_EQ(a.path, "Top/a/b.txt");
    EXPECT_EQ(a.kind, 1);
    EXPECT_EQ(a.os, 3);
    EXPECT_EQ(a.field3, 7);
    EXPECT_EQ(a.down_size, 120.0f);
    EXPECT_EQ(a.disk_size, 300.0f);
    EXPECT_EQ(a.sig_want, "s");
    const file_version_struct& b = current(1);  // FILE 9 -2 x
    EXPECT_EQ(b.kind, 4);
    EXPECT_EQ(b.os, 0);
    EXPECT_EQ(b.field3, 'x' - 48);
    EXPECT_EQ(b.down_size, 0);
    EXPECT_EQ(b.sig_want, "");
    EXPECT_EQ(b.path, "q");
    const file_version_struct& c = current(2);
    EXPECT_EQ(c.kind, 4);   // -+5 reads +5
    EXPECT_EQ(c.os, 0);     // +-5 reads -25
    EXPECT_EQ(c.field3, 85);            // 1.5
    EXPECT_EQ(c.down_size, 59.0f);      // 1a
    EXPECT_EQ(c.path, "Top/n/name with  spaces  ");
    const file_version_struct& d = current(3);
    EXPECT_EQ(d.os, 6);
    EXPECT_EQ(d.field3, 0);
    EXPECT_EQ(d.down_size, 1.0f);  // wraps in 32 bits
}

TEST_F(ReadDirectory, HistoriesJoinOnlyAdjacentEqualPaths)
{
    ASSERT_EQ(read(std::string(kHeader) +
                   "DIR Top/\nFILE 0 0 0 1 1 m1 a\nFILE 0 0 0 1 1 m2 a\n"
                   "FILE 0 0 0 1 1 m3 b\nFILE 0 0 0 1 1 m4 a\n"
                   "FILE 0 0 0 1 1 zz Zizev Ezevi Dezuzude\nFILE 0 0 0 1 1 m5 a\n"
                   "FILE 0 0 0 1 1 zz my 900 red terrain pack\n"),
              3);
    ASSERT_EQ(sim_info.size(), 3u);
    ASSERT_EQ(sim_info[0].versions.size(), 2u);
    EXPECT_EQ(current(0).sig_want, "m2");
    EXPECT_EQ(sim_info[1].versions.size(), 1u);
    ASSERT_EQ(sim_info[2].versions.size(), 2u);  // the discarded line does not part them
    EXPECT_EQ(sim_info[2].versions[0].sig_want, "m4");
    EXPECT_EQ(current(2).sig_want, "m5");
}

TEST_F(ReadDirectory, LineEndsKeywordsAndSkippedLines)
{
    const std::string body =
        "  DIR Top/\r\n\r\ndir Other/\nFILES 0 0 0 1 1 s x\nFILE\nDIR\nfoo bar\n"
        "FILE 0 0 0 1 1 s1 cr\rFILE 0 0 0 1 1 s2 nul";
    std::string text = std::string(kHeader) + body;
    text += '\0';
    text += "\t FILE 0 0 0 1 1 s3 lf\n";
    ASSERT_EQ(read(text), 3);
    ASSERT_EQ(sim_info.size(), 3u);
    EXPECT_EQ(current(0).path, "Top/cr");
    EXPECT_EQ(current(1).path, "Top/nul");
    EXPECT_EQ(current(2).path, "Top/lf");
    EXPECT_EQ(read(std::string(kHeader) + "DIR ab\nFILE 0 0 0 1 1 s c"), 3);
    EXPECT_EQ(current(0).path, "abc");
}

TEST_F(ReadDirectory, RefusesPathsWithNoFileOrLeavingTheDestination)
{
    TempDir outside;
    ASSERT_EQ(symlink(outside.path().c_str(), (tmp / "dest/link").c_str()), 0);
    const char* bad[] = {"DIR Top/\nFILE 0 0 0 1 1 s sub/\n", "DIR Top/a/\nFILE 0 0 0 1 1 s\n",
                         "DIR Top/../\nFILE 0 0 0 1 1 s evil\n",
                         "DIR Top//etc/\nFILE 0 0 0 1 1 s passwd\n",
                         "DIR Top/link/\nFILE 0 0 0 1 1 s x\n"};
    for (const char* body : bad) {
        const auto child = brx_test::run_in_child([&] { read(std::string(kHeader) + body); });
        EXPECT_EQ(child.signal, SIGABRT) << body;
        EXPECT_NE(child.out.find("I am reading the directory text file and found a path"),
                  std::string::npos)
            << body;
    }
    EXPECT_TRUE(brx_test::list_tree(outside.path()).empty());
    const auto missing = brx_test::run_in_child([&] { read_directory(tmp / "none.txt", "t"); });
    EXPECT_EQ(missing.signal, SIGABRT);
    EXPECT_NE(missing.out.find("I tried to read a directory file that does not exist!"),
              std::string::npos);
}

// A path the checksum could not copy is refused when the listing is read, as a
// bad line of the listing, not by the bounded copy's own fatal alert.
TEST_F(ReadDirectory, RefusesPathsTooLongForTheChecksum)
{
    const std::string dest = tmp / "dest/";
    // The name that makes the destination's path `length` characters long,
    // in folders of 100 characters at most.
    auto name_for = [&](std::size_t length) {
        std::string name;
        while (dest.size() + name.size() < length) {
            const std::size_t left = length - dest.size() - name.size();
            name += left > 100 ? std::string(99, 'd') + "/" : std::string(left, 'f');
        }
        return name;
    };
    ASSERT_EQ(dest.size() + name_for(498).size(), 498u);
    const auto child = [&](std::size_t length) {
        return brx_test::run_in_child([&] {
            const int r = read(std::string(kHeader) + "DIR Top/\nFILE 0 0 0 1 1 s " + name_for(length) + "\n");
            printf("result=%d size=%zu have=%s\n", r, sim_info.size(), sim_info.at(0).versions.back().sig_have.c_str());
        });
    };
    const auto fits = child(498);
    EXPECT_EQ(fits.exit_code, 0) << fits.out;
    EXPECT_NE(fits.out.find("result=3 size=1 have=NONE\n"), std::string::npos) << fits.out;
    for (std::size_t length : {std::size_t{499}, std::size_t{500}, std::size_t{4000}}) {
        const auto refused = child(length);
        EXPECT_EQ(refused.signal, SIGABRT) << length;
        EXPECT_NE(refused.out.find("I am reading the directory text file and found a path that is too long!"),
                  std::string::npos)
            << refused.out;
        EXPECT_EQ(refused.out.find("String too long!"), std::string::npos) << refused.out;
    }
}

TEST_F(ReadDirectory, RefusesPathsWithForeignFolderMarks)
{
    for (const char* name : {"a:b", "R/x\\y", "c:"}) {
        const auto refused = brx_test::run_in_child([&] {
            read(std::string(kHeader) + "DIR Top/\nFILE 0 0 0 1 1 s " + name + "\n");
        });
        EXPECT_EQ(refused.signal, SIGABRT) << name;
        EXPECT_NE(refused.out.find("I am reading the directory text file and found a path with a "
                                   "'\\' or ':' in it!"),
                  std::string::npos)
            << refused.out;
        EXPECT_EQ(refused.out.find("I got a bad dirchar!"), std::string::npos) << refused.out;
    }
}

// The refusal is the listing's: the top folder stands for the destination and
// never reaches the disk, and a destination the user chose with the marks is
// refused by the file layer, whose message names that folder.
TEST_F(ReadDirectory, ForeignFolderMarksOutsideTheListedPartAreNotTheListingsFault)
{
    const auto top = brx_test::run_in_child([&] {
        const int r = read(std::string(kHeader) + "DIR C:\\Top/\nFILE 0 0 0 1 1 s a.txt\n");
        printf("result=%d have=%s\n", r, sim_info.at(0).versions.back().sig_have.c_str());
    });
    EXPECT_EQ(top.exit_code, 0) << top.out;
    EXPECT_NE(top.out.find("result=3 have=NONE\n"), std::string::npos) << top.out;

    const std::string dest = tmp / "My:Folder\\2/";
    mkdir(dest.c_str(), 0755);
    brx_test::reset_engine(tmp.path(), dest);
    const auto chosen = brx_test::run_in_child([&] {
        read(std::string(kHeader) + "DIR Top/\nFILE 0 0 0 1 1 s a.txt\n");
    });
    EXPECT_EQ(chosen.signal, SIGABRT);
    EXPECT_NE(chosen.out.find("I got a bad dirchar! I only want '/'!"), std::string::npos) << chosen.out;
    EXPECT_NE(chosen.out.find(dest + "a.txt"), std::string::npos) << chosen.out;
    EXPECT_EQ(chosen.out.find("I am reading the directory text file"), std::string::npos) << chosen.out;
}

TEST_F(ReadDirectory, ScanSumsWhatIsToBeFetched)
{
    const std::string dest = tmp / "dest/";
    mkdir((dest + "R").c_str(), 0755);
    write_file(dest + "same.txt", "same");
    write_file(dest + "R/old.txt", "old");
    write_file(dest + "empty.txt", "");
    ASSERT_EQ(read(std::string(kHeader) + "DIR Top/\n" +
                   "FILE 0 0 0 10 100 " + md5_of("same") + " same.txt\n" +
                   "FILE 0 0 0 20 200 " + md5_of("new") + " R/old.txt\n" +
                   "FILE 0 0 0 40 400 " + md5_of("x") + " missing.txt\n" +
                   "FILE 0 6 0 80 800 " + md5_of("x") + " linux6.txt\n" +
                   "FILE 0 2 0 1000 1000 " + md5_of("x") + " windows.txt\n" +
                   "FILE 0 0 0 3000 3000 GONE gone.txt\n" +
                   "FILE 0 0 0 5 5 " + md5_of("e") + " empty.txt\n"),
              3);
    EXPECT_EQ(current(0).sig_have, md5_of("same"));
    EXPECT_EQ(current(0).have, 1);
    EXPECT_EQ(current(1).sig_have, md5_of("old"));
    EXPECT_EQ(current(1).have, 0);
    EXPECT_EQ(current(2).sig_have, "NONE");
    EXPECT_EQ(current(6).sig_have, md5_of(""));
    EXPECT_EQ(stg.total_download, 20 + 40 + 80 + 5);
    EXPECT_EQ(stg.total_install, 200 + 400 + 800 + 5);
    EXPECT_EQ(this_install_has_exes, 0);  // os 6 does not count as one system's file
    ASSERT_EQ(read(std::string(kHeader) + "FILE 0 3 0 1 1 s Top/lin\n"), 3);
    EXPECT_EQ(this_install_has_exes, 1);
    ASSERT_EQ(read(kHeader), 3);
    EXPECT_EQ(this_install_has_exes, 1);  // never cleared in a run
}

TEST_F(ReadDirectory, ReadsWhatTheReleaseBuilderWrites)
{
    brx_test::Release release;
    release.versions = {{{"a/x.txt", {"1", 0}}, {"b.txt", {"b", 2}}, {"c.txt", {"c", 0}}},
                        {{"a/x.txt", {"2", 0}}, {"b.txt", {"b", 2}}, {"d.txt", {"d", 3}}}};
    ASSERT_EQ(read(brx_test::directory_text(release)), 3);
    ASSERT_EQ(sim_info.size(), 4u);
    EXPECT_EQ(sim_info[0].versions.size(), 2u);
    EXPECT_EQ(current(0).path, "Brennix/a/x.txt");
    EXPECT_EQ(current(2).sig_want, "GONE");
    EXPECT_EQ(current(2).path, "Brennix/c.txt");
    EXPECT_EQ(current(3).os, 3);
}

}  // namespace
