// Reading "serverlist.txt": entries, keywords, line ends, cut-off and
// oversized lists, and the header that ends the run when it is refused.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "GenH/hl_types.h"
#include "app/installer.h"
#include "app/utils.h"
#include "support/test_util.h"

namespace {

using namespace std::string_literals;
using brx_test::TempDir;
using brx_test::write_file;

const std::string kHeader = "I\n820\nSERVERS\n";

struct Entry {
    std::string host, path, desc;
    bool operator==(const Entry&) const = default;
};
void PrintTo(const Entry& e, std::ostream* os) { *os << "{" << e.host << "|" << e.path << "|" << e.desc << "}"; }

class ServerList : public ::testing::Test {
protected:
    TempDir dir;
    void SetUp() override
    {
        stg.server_count = -1;
        stg.server_index = 0;
        install_name = no_install_name;
        for (int i = 0; i < 10; ++i) server_name[i] = server_path[i] = server_desc[i] = "";
    }
    void read(const std::string& bytes)
    {
        SetUp();
        write_file(dir / "serverlist.txt", bytes);
        read_server_list(dir / "serverlist.txt");
    }
    std::vector<Entry> entries() const
    {
        std::vector<Entry> out;
        for (int i = 0; i < stg.server_count; ++i)
            out.push_back({server_name[i], server_path[i], server_desc[i]});
        return out;
    }
};

TEST_F(ServerList, EntriesAndKeywords)
{
    struct Case {
        const char* name;
        std::string body;
        std::string install;
        std::vector<Entry> want;
    } cases[] = {
        {"one server", "FINAL 9.00r2\nSERVER host.one\n/mirror/\nFirst mirror\nENDOFLIST\n",
         "9.00r2", {{"host.one", "/mirror/9.00r2/", "First mirror"}}},
        {"CR LF", "FINAL v\r\nSERVER h\r\n/p/\r\nd\r\nENDOFLIST\r\n", "v", {{"h", "/p/v/", "d"}}},
        {"CR", "FINAL v\rSERVER h\r/p/\rd\r", "v", {{"h", "/p/v/", "d"}}},
        {"NUL ends a line", "FINAL v\0SERVER h\0/p/\0d"s, "v",
         {{"h", "/p/v/", "d"}}},
        {"blanks: leading dropped, trailing kept",
         "  FINAL \t v 1 \n\n   SERVER  h \n\n\t /p/ \n   d d \n", "v 1 ", {{"h ", "/p/ v 1 /", "d d "}}},
        {"host, path and description on one line", "FINAL v\nSERVER h /p/ d\nnext\nlast\n", "v",
         {{"h /p/ d", "nextv/", "last"}}},
        {"SERVER alone", "FINAL v\nSERVER\n/p/\nd\n", "v", {{"", "/p/v/", "d"}}},
        {"SERVER after SERVER", "FINAL v\nSERVER a\nSERVER b\nd\n", "v", {{"a", "SERVER bv/", "d"}}},
        {"cut off after the host", "FINAL v\nSERVER h", "v", {{"h", "v/", ""}}},
        {"cut off after the path", "FINAL v\nSERVER h\n/p/", "v", {{"h", "/p/v/", ""}}},
        {"no FINAL", "SERVER h\n/p/\nd\n", "Not Yet Scanned", {{"h", "/p/Not Yet Scanned/", "d"}}},
        {"two FINAL lines", "FINAL one\nSERVER a\n/p/\nd\nFINAL two\nSERVER b\n/q/\ne\n", "two",
         {{"a", "/p/one/", "d"}, {"b", "/q/two/", "e"}}},
        {"other cases and longer words are other words",
         "final x\nFinal y\nFINALS z\nBETA_VERSION 9\nFINAL_VERSION 9\nBETA_INSTALLER_LIN h /x\n"
         "FINAL_INSTALLER_LIN h /y\nserver q\nBETA 9.10b1\nENDOFLISTS\nFINAL v\nSERVER h\n/p/\nd\n",
         "v", {{"h", "/p/v/", "d"}}},
        {"nothing after ENDOFLIST is read", "FINAL v\nENDOFLIST\nSERVER h\n/p/\nd\n", "v", {}},
        {"ENDOFLIST at the end of the data", "FINAL v\nSERVER h\n/p/\nd\nENDOFLIST", "v",
         {{"h", "/p/v/", "d"}}},
        {"no servers", "FINAL v\nENDOFLIST\n", "v", {}},
        {"header only", "", "Not Yet Scanned", {}},
    };
    for (const Case& c : cases) {
        read(kHeader + c.body);
        EXPECT_EQ(install_name, c.install) << c.name;
        EXPECT_EQ(entries(), c.want) << c.name;
        if (c.want.empty()) {
            EXPECT_EQ(stg.server_index, -1) << c.name;
        } else {
            EXPECT_GE(stg.server_index, 0) << c.name;
            EXPECT_LT(stg.server_index, static_cast<int>(c.want.size())) << c.name;
        }
    }
}

TEST_F(ServerList, TenEntriesAreKept)
{
    std::string body = "FINAL v\n";
    for (int i = 0; i < 11; ++i)
        body += "SERVER h" + std::to_string(i) + "\n/p" + std::to_string(i) + "/\nd" +
                std::to_string(i) + "\n";
    body += "FINAL after\n";
    read(kHeader + body);
    ASSERT_EQ(stg.server_count, 10);
    EXPECT_EQ(server_name[9], "h9");
    EXPECT_EQ(server_path[9], "/p9/v/");
    EXPECT_EQ(server_desc[9], "d9");
    // The eleventh entry's lines were consumed as an entry, not read as keys.
    EXPECT_EQ(install_name, "after");
    EXPECT_GE(stg.server_index, 0);
    EXPECT_LE(stg.server_index, 9);
}

TEST_F(ServerList, LargeListsAndLongLinesAreReadWithinBounds)
{
    // Thousands of entries and a line of megabytes: every kept value is cut
    // to its bound, and nothing is read past the end of the file.
    const std::string huge(3u << 20, 'x');
    std::string body = "FINAL " + huge + "\n";
    for (int i = 0; i < 5000; ++i) body += "SERVER host" + std::to_string(i) + "\n/p/\n" + huge.substr(0, 300) + "\n";
    body += "SERVER " + huge;  // the last entry runs into the end of the data
    read(kHeader + body);
    EXPECT_EQ(stg.server_count, 10);
    EXPECT_EQ(install_name.size(), kServerListValueMax);
    EXPECT_EQ(server_name[0], "host0");
    EXPECT_EQ(server_path[0], "/p/" + huge.substr(0, kServerListValueMax) + "/");
    EXPECT_EQ(server_desc[0].size(), kServerListValueMax);
}

TEST_F(ServerList, RefusedHeaderEndsTheRun)
{
    for (const std::string& bad :
         {std::string("I\n821\nSERVERS\nSERVER h\n/p/\nd\n"), std::string("I\n820\nSERVER\nSERVER h\n"),
          std::string("\xEF\xBB\xBFI\n820\nSERVERS\n"), std::string(" I\n820\nSERVERS\n"),
          std::string("X\n820\nSERVERS\n"), std::string(""), std::string("I\n820\nSERVERSX\n")}) {
        const auto child = brx_test::run_in_child(
            [&] {
                read(bad);
                printf("count=%d phase=%d done=%d\n", stg.server_count, stg.phase, app_done);
                fflush(stdout);
            },
            dir.path());
        EXPECT_NE(child.out.find("count=-1 phase=2 done=1"), std::string::npos) << child.out;
        EXPECT_NE(child.out.find("newer than I can understand"), std::string::npos);
    }
    // A missing file is refused the same way.
    const auto missing = brx_test::run_in_child(
        [&] {
            read_server_list(dir / "none.txt");
            printf("count=%d done=%d\n", stg.server_count, app_done);
        },
        dir.path());
    EXPECT_NE(missing.out.find("count=-1 done=1"), std::string::npos) << missing.out;
}

TEST(BiasedServerDraw, OneServerAndTheHeadOfTheList)
{
    stg.server_count = 1;
    for (int i = 0; i < 50; ++i) {
        pick_server_biased();
        EXPECT_EQ(stg.server_index, 0);
    }
    stg.server_count = 3;
    int counts[3] = {};
    for (int i = 0; i < 30000; ++i) {
        pick_server_biased();
        ASSERT_GE(stg.server_index, 0);
        ASSERT_LT(stg.server_index, 3);
        ++counts[stg.server_index];
    }
    // About 0.481, 0.282 and 0.237.
    EXPECT_NEAR(counts[0] / 30000.0, 0.481, 0.02);
    EXPECT_NEAR(counts[1] / 30000.0, 0.282, 0.02);
    EXPECT_NEAR(counts[2] / 30000.0, 0.237, 0.02);
}

}  // namespace
