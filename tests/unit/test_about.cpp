// The about box's update check: reading the server list and comparing
// versions, the box's lines, and fetching, unpacking and starting a newer
// installer against real servers.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <climits>
#include <functional>
#include <set>
#include <thread>

#include "GenC/hl_about.h"
#include "GenH/hl_types.h"
#include "OOPS_cpp/butn_draw.h"
#include "OOPS_cpp/http.h"
#include "support/draw_log.h"
#include "support/http_servers.h"
#include "support/release_builder.h"
#include "support/script_server.h"
#include "support/test_util.h"

namespace {

using brx_test::exists;
using brx_test::list_tree;
using brx_test::make_zip;
using brx_test::read_file;
using brx_test::TempDir;
using brx_test::write_file;
using brx_test::ZipEntry;
using clock_type = std::chrono::steady_clock;

const std::string kHeader = "I\n820 version\nSERVERS\n";
const std::string kCantConnect = "Can't connect to the net to find latest version.";
const std::string kUpToDate = "Your version of Brennix is up to date.";
const std::string kLatestBeta = "You have the latest Brennix beta.";
const std::string kNewVersion =
    "There is a new version of Brennix available! Visit www.corvath.example to download the "
    "update.";
const std::string kNewBeta =
    "There is a newer beta of Brennix available! Visit www.corvath.example to download the "
    "update.";

// What a reading leaves; fields not given keep their start values.
struct Expect {
    int found = 0;
    std::string text{};
    int final_v = -1;
    int beta_v = -1;
    int ins_state = ins_message;
    int is_latest = 1;
    int is_beta = 0;
    std::string server{}, path{};
    std::string msg{};
};

struct ListCase {
    const char* name;
    std::string earlier;  // a list read before, or empty for none
    std::string list;
    Expect expect;
};

class AboutList : public ::testing::TestWithParam<ListCase> {};

TEST_P(AboutList, ReadsAndCompares)
{
    const ListCase& c = GetParam();
    TempDir dir;
    about_check_state s;
    if (!c.earlier.empty()) {
        write_file(dir / "earlier.txt", c.earlier);
        about_read_list(s, dir / "earlier.txt");
    }
    write_file(dir / "serverlist.txt", c.list);
    about_read_list(s, dir / "serverlist.txt");

    const Expect& e = c.expect;
    EXPECT_EQ(s.version_str_found, e.found);
    EXPECT_EQ(s.version_str_net, e.text);
    EXPECT_EQ(s.version_final, e.final_v);
    EXPECT_EQ(s.version_beta, e.beta_v);
    EXPECT_EQ(s.ins_state, e.ins_state);
    EXPECT_EQ(s.is_latest, e.is_latest);
    EXPECT_EQ(s.is_beta, e.is_beta);
    if (e.ins_state == ins_offered) {
        EXPECT_EQ(s.installer_server, e.server);
        EXPECT_EQ(s.installer_path, e.path);
    } else {
        EXPECT_EQ(s.err_msg, e.msg);
    }
}

const std::string kFinalIns = "FINAL_INSTALLER_LIN www.corvath.example /get/final.zip\n";
const std::string kBetaIns = "BETA_INSTALLER_LIN beta.corvath.example /get/beta.zip\n";
const std::string kLong(3000, 'x');

INSTANTIATE_TEST_SUITE_P(
    Lists, AboutList,
    ::testing::Values(
        ListCase{"header_not_accepted", "",
                 "I\n821 version\nSERVERS\nFINAL 9.10\nFINAL_VERSION 91000\n" + kFinalIns,
                 {.msg = kCantConnect}},
        ListCase{"missing_keyword_line", "", "I\n820\nFINAL 9.10\nFINAL_VERSION 91000\n",
                 {.msg = kCantConnect}},
        ListCase{"empty_file", "", "", {.msg = kCantConnect}},
        ListCase{"no_final_line", "", kHeader + "FINAL_VERSION 91000\n" + kFinalIns,
                 {.final_v = 91000, .ins_state = ins_offered, .is_latest = 0,
                  .server = "www.corvath.example", .path = "/get/final.zip"}},
        ListCase{"equal_with_newer_beta", "",
                 kHeader + "FINAL Brennix 9.00\nFINAL_VERSION 90017\nBETA_VERSION 90100\n" +
                     kBetaIns,
                 {.found = 1, .text = "Brennix 9.00", .final_v = 90017, .beta_v = 90100,
                  .msg = kUpToDate}},
        ListCase{"older_with_equal_beta", "",
                 kHeader + "FINAL 8.90\nFINAL_VERSION 89000\nBETA_VERSION 90017\n" + kBetaIns,
                 {.found = 1, .text = "8.90", .final_v = 89000, .beta_v = 90017,
                  .msg = kLatestBeta}},
        ListCase{"older_with_newer_beta", "",
                 kHeader + "BETA 9.01 beta 2\nFINAL 8.90\nFINAL_VERSION 89000\n"
                           "BETA_VERSION 90102\n" + kBetaIns + kFinalIns,
                 {.found = 1, .text = "8.90", .final_v = 89000, .beta_v = 90102,
                  .ins_state = ins_offered, .is_latest = 0, .is_beta = 1,
                  .server = "beta.corvath.example", .path = "/get/beta.zip"}},
        ListCase{"newer_final_without_its_installer", "",
                 kHeader + "FINAL 9.10\nFINAL_VERSION 91000\nBETA_VERSION 92000\n" + kBetaIns,
                 {.found = 1, .text = "9.10", .final_v = 91000, .beta_v = 92000, .is_latest = 0,
                  .msg = kNewVersion}},
        ListCase{"newer_beta_with_only_the_final_installer", "",
                 kHeader + "FINAL 8.90\nFINAL_VERSION 89000\nBETA_VERSION 90102\n" + kFinalIns,
                 {.found = 1, .text = "8.90", .final_v = 89000, .beta_v = 90102, .is_latest = 0,
                  .is_beta = 1, .msg = kNewBeta}},
        ListCase{"installer_host_without_path", "",
                 kHeader + "FINAL 9.10\nFINAL_VERSION 91000\nFINAL_INSTALLER_LIN www.corvath.example\n",
                 {.found = 1, .text = "9.10", .final_v = 91000, .is_latest = 0, .msg = kNewVersion}},
        ListCase{"keys_in_other_cases", "",
                 kHeader + "final 9.10\nFinal_Version 91000\nfinal_installer_lin h.example /a.zip\n",
                 {.msg = kCantConnect}},
        ListCase{"keys_running_into_longer_words", "",
                 kHeader + "FINALS 9.10\nFINAL_VERSIONS 91000\nBETA_VERSION2 92000\n"
                           "FINAL_INSTALLER_LINUX h.example /a.zip\nFINAL_VERSION 90017\n",
                 {.final_v = 90017, .msg = kUpToDate}},
        ListCase{"blanks_kept_inside_values", "",
                 kHeader + "  FINAL \t Brennix 9.10  final \n\tFINAL_VERSION \t +91000 junk\n"
                           "FINAL_INSTALLER_LIN  www.corvath.example   /get/Brennix Installer "
                           "9.10.zip \n",
                 {.found = 1, .text = "Brennix 9.10  final ", .final_v = 91000,
                  .ins_state = ins_offered, .is_latest = 0, .server = "www.corvath.example",
                  .path = "/get/Brennix Installer 9.10.zip "}},
        ListCase{"cr_and_nul_line_ends_and_no_final_line_end", "",
                 kHeader + "FINAL 9.10\r\rFINAL_VERSION 91000" + std::string(1, '\0') +
                     "FINAL_INSTALLER_LIN www.corvath.example /i.zip",
                 {.found = 1, .text = "9.10", .final_v = 91000, .ins_state = ins_offered,
                  .is_latest = 0, .server = "www.corvath.example", .path = "/i.zip"}},
        ListCase{"final_at_the_end_of_the_data", "", kHeader + "FINAL_VERSION 90017\nFINAL",
                 {.found = 1, .text = "", .final_v = 90017, .msg = kUpToDate}},
        ListCase{"later_keys_overwrite", "",
                 kHeader + "FINAL a\nFINAL_VERSION 91000\nFINAL b\nFINAL_VERSION 90017\n",
                 {.found = 1, .text = "b", .final_v = 90017, .msg = kUpToDate}},
        ListCase{"server_entries_and_end_of_list", "",
                 kHeader + "SERVER dl.corvath.example\n/brennix/\nFINAL looks like a key\n"
                           "ENDOFLIST\nFINAL_VERSION 90017\n",
                 {.found = 1, .text = "looks like a key", .final_v = 90017, .msg = kUpToDate}},
        ListCase{"empty_version_reads_zero", "", kHeader + "FINAL x\nFINAL_VERSION\n",
                 {.found = 1, .text = "x", .final_v = 0, .msg = kLatestBeta}},
        ListCase{"minus_one_is_no_version", "", kHeader + "FINAL_VERSION -1\n",
                 {.final_v = -1, .msg = kCantConnect}},
        ListCase{"huge_version_stops_at_the_int_range", "",
                 kHeader + "FINAL_VERSION 99999999999999999999999999999999\n" + kFinalIns,
                 {.final_v = INT_MAX, .ins_state = ins_offered, .is_latest = 0,
                  .server = "www.corvath.example", .path = "/get/final.zip"}},
        ListCase{"huge_negative_version", "",
                 kHeader + "FINAL_VERSION -99999999999999999999\nBETA_VERSION -+42\n",
                 {.final_v = -INT_MAX, .beta_v = -42, .msg = kLatestBeta}},
        ListCase{"garbage_characters_count_as_digits", "",
                 kHeader + "FINAL_VERSION 9001x\nBETA_VERSION ~\xff\n",
                 // "x" adds 72 after 9001 * 10; "~" is 78 and byte 255 adds 207.
                 {.final_v = 90082, .beta_v = 987, .is_latest = 0, .msg = kNewVersion}},
        ListCase{"host_with_a_slash_is_refused", "",
                 kHeader + "FINAL_VERSION 91000\nFINAL_INSTALLER_LIN evil.example/ /i.zip\n",
                 {.final_v = 91000, .is_latest = 0, .msg = kNewVersion}},
        ListCase{"host_with_a_port_is_refused", "",
                 kHeader + "FINAL_VERSION 91000\nFINAL_INSTALLER_LIN h.example:8080 /i.zip\n",
                 {.final_v = 91000, .is_latest = 0, .msg = kNewVersion}},
        ListCase{"path_without_a_slash_is_refused", "",
                 kHeader + "FINAL_VERSION 91000\nFINAL_INSTALLER_LIN h.example i.zip\n",
                 {.final_v = 91000, .is_latest = 0, .msg = kNewVersion}},
        ListCase{"path_with_a_tab_is_refused", "",
                 kHeader + "FINAL_VERSION 91000\nFINAL_INSTALLER_LIN h.example /a\tb.zip\n",
                 {.final_v = 91000, .is_latest = 0, .msg = kNewVersion}},
        ListCase{"overlong_host_is_refused", "",
                 kHeader + "FINAL_VERSION 91000\nFINAL_INSTALLER_LIN " + std::string(254, 'h') +
                     " /i.zip\n",
                 {.final_v = 91000, .is_latest = 0, .msg = kNewVersion}},
        ListCase{"overlong_path_is_refused", "",
                 kHeader + "FINAL_VERSION 91000\nFINAL_INSTALLER_LIN h.example /" + kLong + "\n",
                 {.final_v = 91000, .is_latest = 0, .msg = kNewVersion}},
        ListCase{"overlong_version_text_is_cut", "", kHeader + "FINAL " + kLong + "\n",
                 {.found = 1, .text = kLong.substr(0, kAboutVersionTextMax), .msg = kCantConnect}},
        ListCase{"earlier_values_stay_but_not_their_installer",
                 kHeader + "FINAL_VERSION 91000\nBETA_VERSION 92000\n" + kFinalIns,
                 "I\n900\nSERVERS\n",
                 {.final_v = 91000, .beta_v = 92000, .is_latest = 0, .msg = kNewVersion}},
        ListCase{"a_later_reading_withdraws_an_offer",
                 kHeader + "FINAL_VERSION 91000\n" + kFinalIns, kHeader + "FINAL_VERSION 90017\n",
                 {.final_v = 90017, .msg = kUpToDate}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(AboutList, MissingFileComparesHeldValues)
{
    about_check_state s;
    s.version_final = 89000;
    s.ins_state = ins_downloading;
    about_read_list(s, "/nonexistent/serverlist.txt");
    EXPECT_EQ(s.ins_state, ins_message);
    EXPECT_EQ(s.err_msg, kLatestBeta);
}

TEST(AboutBox, VersionLineNamesTheHost)
{
    about_check_state s;
    EXPECT_EQ(about_version_line(s),
              "I could not connect to the net to find the current version of Brennix at "
              "www.corvath.example!");
    s.version_str_found = 1;
    s.version_str_net = "Brennix 9.10 final";
    EXPECT_EQ(about_version_line(s),
              "The current version of Brennix at www.corvath.example is now Brennix 9.10 final.");
}

// ---------------------------------------------------------------------------
// The box's drawing, without a display.

class AboutDraw : public brx_test::DrawLogTest {
protected:
    void SetUp() override
    {
        DrawLogTest::SetUp();
        mnw.wind = wind_about;
        mnw.wind_w = 600;
        mnw.wind_h = 300;
    }
    // The texts drawn from x 20 with the box's wrap width: its lines.
    std::vector<btn_draw_op> lines() const
    {
        std::vector<btn_draw_op> out;
        for (const btn_draw_op& op : of(btn_draw_op::text))
            if (op.v[0] == 20 && op.wrap == 560) out.push_back(op);
        return out;
    }
};

TEST_F(AboutDraw, ThirteenLinesAtFixedPlacesAndTheStateArea)
{
    about_check_state s;
    s.version_str_found = 1;
    s.version_str_net = std::string(200, 'v');  // a long text moves nothing
    s.ins_state = ins_message;
    s.err_msg = kUpToDate;
    about_draw(s);

    const std::vector<btn_draw_op> got = lines();
    ASSERT_EQ(got.size(), 14u);
    const float ys[] = {255, 245, 235, 215, 205, 175, 165, 155, 145, 135, 125, 115, 105, 65};
    const int cols[] = {49, 49, 49, 47, 47, 47, 47, 47, 47, 47, 47, 47, 47, 58};
    for (size_t i = 0; i < got.size(); ++i) {
        if (i != 3) {
            EXPECT_LE(btn_text_width(got[i].str), 560) << got[i].str;  // one line each
        }
        EXPECT_EQ(got[i].v[1], ys[i]) << i;
        EXPECT_EQ(got[i].col, cols[i]) << i;
        EXPECT_EQ(got[i].font, 100);
        EXPECT_EQ(got[i].justify, 0);
    }
    EXPECT_EQ(got[0].str, "Brennix 9.00 Beta-17");
    EXPECT_EQ(got[1].str, "Created by Corvath Research.");
    EXPECT_EQ(got[2].str, "www.corvath.example");
    EXPECT_EQ(got[3].str, about_version_line(s));
    EXPECT_EQ(got[4].str, "You can grab an installer at www.corvath.example to update to it!");
    const char* leads[] = {"Art by ", "Code subroutines by ", "Linux port by ",
                           "Airport and NAVAID data by ", "Intro screen by ", "Icons by ",
                           "Additional Elevation Data provided by ",
                           "Forest prototypes for Europe and US by "};
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(got[5 + i].str.rfind(leads[i], 0), 0u) << got[5 + i].str;
        EXPECT_NE(got[5 + i].str.find("Corvath Research"), std::string::npos) << got[5 + i].str;
    }
    EXPECT_NE(got[11].str.find(". http://www.corvath.example/"), std::string::npos);
    EXPECT_NE(got[12].str.find(" and Corvath Research"), std::string::npos);
    EXPECT_EQ(got[13].str, kUpToDate);

    // The web-site button presses and changes nothing else.
    ops.clear();
    click(191, 17);
    about_draw(s);
    EXPECT_EQ(of(btn_draw_op::present).size(), 1u);
    EXPECT_EQ(s.ins_state, ins_message);
}

TEST_F(AboutDraw, TheUpdateButtonStartsTheDownloadNextFrame)
{
    for (int beta : {0, 1}) {
        about_check_state s;
        s.ins_state = ins_offered;
        s.is_beta = beta;
        ops.clear();
        mnw.clicked = 0;
        about_state_area(s);
        std::string label;
        for (const btn_draw_op& op : of(btn_draw_op::text)) label += op.str + "|";
        EXPECT_EQ(label, beta ? " Get New Beta! |" : "Update Brennix!|");
        EXPECT_EQ(s.ins_state, ins_offered);
        click(492 + 30, 17 + 9);
        about_state_area(s);
        EXPECT_EQ(s.ins_state, ins_downloading);
        EXPECT_EQ(of(btn_draw_op::present).size(), 1u);
        EXPECT_EQ(http.slot[1], nullptr);  // nothing requested before the next frame
    }
}

// ---------------------------------------------------------------------------
// The installer: fetched, unpacked, checked and started.

const std::string kScript = "#!/bin/sh\necho \"started $#\" > installer_started\n";

// A framework root in a scratch folder, beside a folder no archive may touch.
class AboutInstaller : public brx_test::DrawLogTest {
protected:
    void SetUp() override
    {
        DrawLogTest::SetUp();
        mnw.wind_w = 600;
        mnw.wind_h = 300;
        mkdir(root.c_str(), 0755);
        mkdir((root + "Resources").c_str(), 0755);
        mkdir((root + "Resources/preferences").c_str(), 0755);
        mkdir(outside.c_str(), 0755);
        app_path = root;
    }
    void TearDown() override
    {
        app_path.clear();
        http.proxy_host.clear();
        http.proxy_port.clear();
        http.proxy_port_int = 0;
        DrawLogTest::TearDown();
    }
    void use_proxy(unsigned short port)
    {
        http.proxy_host = "127.0.0.1";
        http.proxy_port = std::to_string(port);
        http.proxy_port_int = port;
    }
    // Frames of the state area while the download runs; the texts drawn.
    std::vector<std::string> run_download(about_check_state& s,
                                          const std::function<bool()>& until = nullptr)
    {
        std::vector<std::string> texts;
        const auto deadline = clock_type::now() + std::chrono::seconds(30);
        while (s.ins_state == ins_downloading && clock_type::now() < deadline) {
            ops.clear();
            about_state_area(s);
            for (const btn_draw_op& op : of(btn_draw_op::text))
                if (texts.empty() || texts.back() != op.str) texts.push_back(op.str);
            if (until && until()) break;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return texts;
    }

    TempDir dir;
    std::string root = dir / "root/";
    std::string outside = dir / "outside/";
};

TEST_F(AboutInstaller, DownloadsThroughTheProxyAndUnpacks)
{
    const std::string site = dir / "site/";
    make_zip(site + "get/Brennix Installer 9.10.zip",
             {ZipEntry{"Brennix Installer", kScript, 0100755}, ZipEntry{"Resources/readme", "r"}});
    brx_test::NginxServer nginx(dir / "", {{"www.corvath.example", site}});
    brx_test::TinyProxy proxy(dir / "", nginx.port());
    use_proxy(proxy.port());

    about_check_state s;
    s.ins_state = ins_downloading;
    s.installer_server = "www.corvath.example";
    s.installer_path = "/get/Brennix Installer 9.10.zip";
    run_download(s);
    ASSERT_EQ(s.ins_state, ins_unpacked) << s.err_msg;
    EXPECT_EQ(s.installer_app_name, "Brennix Installer");
    EXPECT_EQ(read_file(root + "Brennix Installer"), kScript);
    struct stat st;
    ASSERT_EQ(stat((root + "Brennix Installer").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0755u);
    EXPECT_EQ(read_file(root + "Resources/readme"), "r");
    EXPECT_TRUE(exists(root + kAboutInstallerZip));  // kept

    // A path the server does not have.
    s.ins_state = ins_downloading;
    s.installer_path = "/get/none.zip";
    run_download(s);
    EXPECT_EQ(s.ins_state, ins_message);
    EXPECT_EQ(s.err_msg, "I was unable to download the installer from the net.");
}

TEST_F(AboutInstaller, ListIsFetchedUntilItNamesTheVersion)
{
    const std::string site = dir / "site/";
    mkdir(site.c_str(), 0755);
    write_file(site + "serverlist.txt", kHeader + "FINAL_VERSION 91000\n" + kFinalIns);
    brx_test::NginxServer nginx(dir / "", {{"www.corvath.example", site}});
    brx_test::TinyProxy proxy(dir / "", nginx.port());
    use_proxy(proxy.port());

    // Without a FINAL line every arrival is read, and the list fetched again.
    about_check_state s;
    auto fetch_until = [&](const std::function<bool()>& done) {
        const auto deadline = clock_type::now() + std::chrono::seconds(30);
        while (!done() && clock_type::now() < deadline) {
            about_fetch_step(s);
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return done();
    };
    ASSERT_TRUE(fetch_until([&] { return s.ins_state == ins_offered; }));
    EXPECT_EQ(read_file(root + kAboutListFile), kHeader + "FINAL_VERSION 91000\n" + kFinalIns);
    s.ins_state = ins_downloading;  // an update under way falls back at the next arrival
    write_file(site + "serverlist.txt", kHeader + "FINAL Brennix 9.00\nFINAL_VERSION 90017\n");
    ASSERT_TRUE(fetch_until([&] { return s.version_str_found == 1; }));
    EXPECT_EQ(s.ins_state, ins_message);
    EXPECT_EQ(s.err_msg, kUpToDate);
    EXPECT_EQ(http.slot[0], nullptr);

    // Once the version is known, nothing is fetched any more.
    write_file(site + "serverlist.txt", kHeader + "FINAL Brennix 9.20\nFINAL_VERSION 92000\n");
    for (int frame = 0; frame < 3; ++frame) {
        about_fetch_step(s);
        EXPECT_EQ(http.slot[0], nullptr);
    }
    EXPECT_EQ(s.version_str_net, "Brennix 9.00");
}

TEST_F(AboutInstaller, ProgressLineWithAndWithoutALength)
{
    using namespace brx_test;
    ScriptServer slow({read_request(), pause_ms(300),
                       send("HTTP/1.1 200 OK\r\nContent-Length: 200\r\n\r\n" + std::string(50, 'z')),
                       hold_open()});
    use_proxy(slow.port());
    about_check_state s;
    s.ins_state = ins_downloading;
    s.installer_server = "www.corvath.example";
    s.installer_path = "/i.zip";
    const std::vector<std::string> texts = run_download(s, [&] {
        return http.slot[1] && http.slot[1]->received == 50 && !ops.empty() &&
               ops.back().str.find('%') != std::string::npos;
    });
    ASSERT_FALSE(texts.empty());
    EXPECT_EQ(texts.front(), "Downloading the installer...");
    EXPECT_EQ(texts.back(), "Downloading the installer...25% complete");
    EXPECT_EQ(s.ins_state, ins_downloading);
    delete http.slot[1];
    http.slot[1] = nullptr;
}

struct UnpackCase {
    const char* name;
    std::function<void(const std::string& root, const std::string& outside)> before;
    std::vector<ZipEntry> entries;  // none: no archive at all
    int ins_state;
    std::string app_name;
    std::string msg;
};

class AboutUnpack : public AboutInstaller, public ::testing::WithParamInterface<UnpackCase> {};

TEST_P(AboutUnpack, StartsOnlyAProgramOfThisArchiveInsideTheRoot)
{
    const UnpackCase& c = GetParam();
    if (c.before) c.before(root, outside);
    if (!c.entries.empty()) make_zip(root + kAboutInstallerZip, c.entries);
    const std::vector<std::string> outside_before = list_tree(outside);

    about_check_state s;
    s.installer_app_name = "stale name";
    about_unpack_installer(s);
    EXPECT_EQ(s.ins_state, c.ins_state) << s.err_msg;
    EXPECT_EQ(s.installer_app_name, c.app_name);
    if (c.ins_state == ins_message) {
        EXPECT_EQ(s.err_msg, c.msg);
    }
    EXPECT_EQ(list_tree(outside), outside_before);
    EXPECT_FALSE(exists(dir / "escape.sh"));
}

const std::string kUnzipError = "There was an error unzipping the installer: ";

INSTANTIATE_TEST_SUITE_P(
    Archives, AboutUnpack,
    ::testing::Values(
        UnpackCase{"program_first", nullptr,
                   {{"run.sh", kScript, 0100755}, {"data/", "", 040755}, {"data/a", "a"}}, ins_unpacked,
                   "run.sh", ""},
        UnpackCase{"program_in_a_folder",
                   [](const std::string& root, const std::string&) {
                       mkdir((root + "Installer").c_str(), 0755);
                   },
                   {{"Installer/run", kScript, 0100755}}, ins_unpacked, "Installer/run", ""},
        UnpackCase{"folder_first", nullptr,
                   {{"Brennix Installer/", "", 040755}, {"Brennix Installer/run", kScript, 0100755}},
                   ins_message, "Brennix Installer", kUnzipError + "Is a directory (21)"},
        UnpackCase{"climbing_name", nullptr, {{"../escape.sh", kScript, 0100755}}, ins_message,
                   "../escape.sh", kUnzipError + "Invalid argument (22)"},
        UnpackCase{"absolute_name", nullptr, {{"/tmp/escape.sh", kScript, 0100755}}, ins_message,
                   "/tmp/escape.sh", kUnzipError + "Invalid argument (22)"},
        UnpackCase{"hostile_later_entry", nullptr,
                   {{"run.sh", kScript, 0100755}, {"../escape.sh", kScript, 0100755}},
                   ins_message, "run.sh", kUnzipError + "Invalid argument (22)"},
        UnpackCase{"skipped_first_entry_that_climbs", nullptr,
                   {{"__MACOSX/../../escape.sh", kScript, 0100755}, {"run.sh", kScript, 0100755}},
                   ins_message, "__MACOSX/../../escape.sh", kUnzipError + "Invalid argument (22)"},
        UnpackCase{"skipped_first_entry", nullptr,
                   {{"__MACOSX/run.sh", kScript, 0100755}, {"run.sh", kScript, 0100755}},
                   ins_message, "__MACOSX/run.sh", kUnzipError + "No such file or directory (2)"},
        UnpackCase{"link_first_even_inside", nullptr,
                   {{"run.sh", "real.sh", 0120777}, {"real.sh", kScript, 0100755}}, ins_message,
                   "run.sh", kUnzipError + "Invalid argument (22)"},
        UnpackCase{"link_leading_out", nullptr, {{"run.sh", "../outside/x", 0120777}},
                   ins_message, "run.sh", kUnzipError + "Invalid argument (22)"},
        UnpackCase{"folder_linked_outside",
                   [](const std::string& root, const std::string& outside) {
                       ASSERT_EQ(symlink(outside.c_str(), (root + "sub").c_str()), 0);
                   },
                   {{"sub/run.sh", kScript, 0100755}}, ins_message, "sub/run.sh",
                   kUnzipError + "Invalid argument (22)"},
        UnpackCase{"no_archive", nullptr, {}, ins_message, "",
                   kUnzipError +
                       "We were unable to open a zip file. It may be missing or damaged (20001)"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(AboutLaunch, StartsTheProgramWithoutArgumentsAndEnds)
{
    TempDir dir;
    write_file(dir / "run.sh", kScript);
    chmod((dir / "run.sh").c_str(), 0755);
    const auto r = brx_test::run_in_child(
        [&] {
            setenv("HOME", dir.path().c_str(), 1);  // shut-down saves preferences there
            xer.open(dir / "Log.txt");
            about_check_state s;
            s.ins_state = ins_unpacked;
            s.installer_app_name = "run.sh";
            about_state_area(s);
            printf("returned %s\n", s.err_msg.c_str());
        },
        dir.path());
    EXPECT_EQ(r.exit_code, 1);
    EXPECT_EQ(r.out, "");
    const auto until = clock_type::now() + std::chrono::seconds(30);
    while (read_file(dir / "installer_started").empty() && clock_type::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(read_file(dir / "installer_started"), "started 0\n");
    EXPECT_EQ(read_file(dir / "Log.txt").rfind("Launching: run.sh with \n", 0), 0u);
}

}  // namespace
