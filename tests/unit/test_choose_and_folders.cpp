#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cerrno>

#include "Files/io_utils.h"
#include "GenH/hl_types.h"
#include "app/utils.h"
#include "support/engine_harness.h"
#include "support/test_util.h"

namespace {

using brx_test::TempDir;

file_version_struct version(const std::string& path, const std::string& want,
                            const std::string& have = "", int os = 0)
{
    file_version_struct v;
    v.path = path;
    v.sig_want = want;
    v.sig_have = have;
    v.os = os;
    return v;
}

void add_history(std::vector<file_version_struct> versions)
{
    sim_info.push_back({std::move(versions)});
}

struct Asked {
    std::string path;
    int is_gone;
};

class ChooseFiles : public ::testing::Test {
protected:
    void SetUp() override
    {
        brx_test::reset_engine("/nonexistent-tmp/", "/D/");
        select_alert_answer = [this](const std::string& path, int is_gone) {
            asked.push_back({path, is_gone});
            return answers.empty() ? 3 : answers[std::min(asked.size(), answers.size()) - 1];
        };
    }
    void TearDown() override { brx_test::reset_engine("", ""); }
    std::pair<int, int> flags(size_t i) const
    {
        const file_version_struct& v = sim_info[i].versions.back();
        return {v.to_fetch, v.to_delete};
    }

    std::vector<int> answers;
    std::vector<Asked> asked;
};

TEST_F(ChooseFiles, DecidesWithoutAskingWhereTheCopyIsKnown)
{
    add_history({version("T/missing", "m1", "NONE")});
    add_history({version("T/gone-missing", "GONE", "NONE")});
    add_history({version("T/current", "m1", "m1")});
    add_history({version("T/older", "m0"), version("T/older", "m1", "m0")});
    add_history({version("T/older-gone", "m0"), version("T/older-gone", "GONE", "m0")});
    add_history({version("T/windows", "m1", "NONE", 2)});
    add_history({version("T/windows-gone", "GONE", "xx", 2)});
    add_history({version("T/case", "ABC"), version("T/case", "m1", "ABC")});
    sim_info[6].versions.back().to_delete = 1;  // stale flags are rewritten
    EXPECT_EQ(choose_files(), 1);
    EXPECT_TRUE(asked.empty());
    const std::pair<int, int> want[] = {{1, 0}, {0, 0}, {0, 0}, {1, 0},
                                        {0, 1}, {0, 0}, {0, 0}, {1, 0}};
    for (size_t i = 0; i < std::size(want); ++i) EXPECT_EQ(flags(i), want[i]) << i;
    // Older versions are never written.
    EXPECT_EQ(sim_info[3].versions[0].to_fetch, 0);
}

TEST_F(ChooseFiles, AsksAboutChangedFilesPerFolder)
{
    add_history({version("T/a/1", "m1", "user")});        // asked: keep every file here
    add_history({version("T/a/2", "m2", "user")});        // left unasked
    add_history({version("T/a/sub/3", "m3", "user")});    // subfolder: asked, act on all
    add_history({version("T/a/sub/4", "GONE", "user")});  // deleted unasked
    add_history({version("T/b/5", "GONE", "USER")});      // asked with the delete wording: act
    add_history({version("T/b/6", "m6", "user")});        // asked again: keep this one
    add_history({version("T/b/7", "m7", "user")});        // asked: act on this one
    answers = {5, 4, 1, 2, 1};
    EXPECT_EQ(choose_files(), 1);
    ASSERT_EQ(asked.size(), 5u);
    EXPECT_EQ(asked[0].path, "/D/a/1");
    EXPECT_EQ(asked[0].is_gone, 0);
    EXPECT_EQ(asked[1].path, "/D/a/sub/3");
    EXPECT_EQ(asked[2].path, "/D/b/5");
    EXPECT_EQ(asked[2].is_gone, 1);
    EXPECT_EQ(asked[3].path, "/D/b/6");
    EXPECT_EQ(asked[4].path, "/D/b/7");
    const std::pair<int, int> want[] = {{0, 0}, {0, 0}, {1, 0}, {0, 1}, {0, 1}, {0, 0}, {1, 0}};
    for (size_t i = 0; i < std::size(want); ++i) EXPECT_EQ(flags(i), want[i]) << i;

    // The folder answers hold for one press of the install button only.
    asked.clear();
    answers = {2};
    EXPECT_EQ(choose_files(), 1);
    EXPECT_EQ(asked.size(), 7u);
}

TEST_F(ChooseFiles, CancelStopsAndKeepsTheRestUntouched)
{
    add_history({version("T/1", "m1", "NONE")});
    add_history({version("T/2", "m2", "user")});
    add_history({version("T/3", "m3", "user")});
    add_history({version("T/4", "m4", "NONE")});
    sim_info[2].versions.back().to_delete = 1;
    answers = {1, 3};
    EXPECT_EQ(choose_files(), 0);
    EXPECT_EQ(asked.size(), 2u);
    EXPECT_EQ(flags(0), std::make_pair(1, 0));
    EXPECT_EQ(flags(1), std::make_pair(1, 0));
    EXPECT_EQ(flags(2), std::make_pair(0, 1));  // as before the call
    EXPECT_EQ(flags(3), std::make_pair(0, 0));
}

TEST_F(ChooseFiles, WithNoWindowNothingChangedIsOverwritten)
{
    select_alert_answer = nullptr;
    add_history({version("T/1", "m1", "user")});
    EXPECT_EQ(choose_files(), 0);
    EXPECT_EQ(flags(0), std::make_pair(0, 0));
}

class MakeDirs : public ::testing::Test {
protected:
    void SetUp() override
    {
        brx_test::reset_engine(tmp.path(), tmp / "p/q/dest/");
    }
    void TearDown() override { brx_test::reset_engine("", ""); }
    // Runs make_dirs in a child and returns the Install Path lines of its alerts.
    std::vector<std::string> alerts()
    {
        const auto child = brx_test::run_in_child([] { make_dirs(); }, tmp.path());
        EXPECT_EQ(child.exit_code, 0);
        std::vector<std::string> paths;
        for (size_t at = 0; (at = child.out.find("Install Path:", at)) != std::string::npos;) {
            at += 13;
            paths.push_back(child.out.substr(at, child.out.find('\n', at) - at));
        }
        return paths;
    }
    TempDir tmp;
};

TEST_F(MakeDirs, CreatesTheDestinationTheFoldersOfWantedFilesAndTheFixedOnes)
{
    add_history({version("Top/Resources/plugins/x/y.dll", "m")});
    add_history({version("Top/Resources/plugins/x/z.dll", "m")});
    add_history({version("Top/top-level.txt", "m")});
    add_history({version("Top/old/a", "m"), version("Top/gone/a", "GONE")});
    add_history({version("Top/win/a", "m", "", 2)});
    EXPECT_TRUE(alerts().empty());
    make_dirs();
    EXPECT_EQ(brx_test::list_tree(tmp / "p/"),
              (std::vector<std::string>{
                  "q/", "q/dest/", "q/dest/Output/", "q/dest/Output/FMS plans/",
                  "q/dest/Output/logbooks/", "q/dest/Output/movies/", "q/dest/Output/situations/",
                  "q/dest/Resources/", "q/dest/Resources/plugins/", "q/dest/Resources/plugins/x/",
                  "q/dest/Resources/preferences/"}));
    EXPECT_TRUE(alerts().empty());  // everything there: nothing to say
}

TEST_F(MakeDirs, StopsEachStepAtItsFirstFailure)
{
    // A file in the way of the destination (not a folder that exists): one
    // alert for it, one for the
    // wanted folders and one per fixed folder.
    brx_test::write_file(tmp / "p", "in the way");
    add_history({version("Top/a/b/c", "m")});
    std::vector<std::string> got = alerts();
    std::vector<std::string> want = {tmp / "p", tmp / "p/q/dest/a"};
    for (const char* f : {"Output", "Output/FMS plans", "Output/logbooks", "Output/movies",
                          "Output/situations", "Resources", "Resources/preferences"})
        want.push_back(tmp / "p/q/dest/" + f);
    EXPECT_EQ(got, want);

    // Only the second wanted folder is blocked: the step ends there.
    unlink((tmp / "p").c_str());
    mkdir((tmp / "p").c_str(), 0755);
    mkdir((tmp / "p/q").c_str(), 0755);
    mkdir((tmp / "p/q/dest").c_str(), 0755);
    brx_test::write_file(tmp / "p/q/dest/b", "in the way");
    sim_info.clear();
    add_history({version("Top/a/x", "m")});
    add_history({version("Top/b/x", "m")});
    add_history({version("Top/c/x", "m")});
    // What the child's make_dirs left behind.
    EXPECT_EQ(alerts(), std::vector<std::string>{tmp / "p/q/dest/b"});
    EXPECT_TRUE(brx_test::exists(tmp / "p/q/dest/a"));
    EXPECT_FALSE(brx_test::exists(tmp / "p/q/dest/c"));
}

TEST_F(MakeDirs, CreatesNothingWithoutADestination)
{
    dest_dir_path.clear();
    add_history({version("Top/a/b", "m")});
    EXPECT_TRUE(alerts().empty());
    EXPECT_TRUE(brx_test::list_tree(tmp.path()).empty());
}

TEST_F(MakeDirs, NeverCreatesThroughALinkLeadingOut)
{
    TempDir outside;
    mkdir((tmp / "p").c_str(), 0755);
    mkdir((tmp / "p/q").c_str(), 0755);
    mkdir((tmp / "p/q/dest").c_str(), 0755);
    ASSERT_EQ(symlink(outside.path().c_str(), (tmp / "p/q/dest/out").c_str()), 0);
    add_history({version("Top/out/x/y", "m")});
    EXPECT_EQ(alerts(), std::vector<std::string>{tmp / "p/q/dest/out"});
    EXPECT_TRUE(brx_test::list_tree(outside.path()).empty());
}

}  // namespace
