// The installer's main screen without a display: picture buttons and size
// texts, the status line, the lower panel's lines over the state, the bar,
// and whole frames of the driver through the drawing log.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cmath>
#include <functional>
#include <limits>
#include <set>
#include <string>
#include <vector>

#include "GenH/hl_types.h"
#include "OOPS_cpp/colr.h"
#include "OOPS_cpp/http.h"
#include "OOPS_cpp/oglp_layout.h"
#include "OOPS_cpp/xtim.h"
#include "app/installer.h"
#include "app/utils.h"
#include "support/draw_log.h"
#include "support/engine_harness.h"
#include "support/test_util.h"

namespace {

using brx_test::DrawLogTest;
using brx_test::TempDir;

// ---------------------------------------------------------------------------
// Picture buttons, icons and sizes.

using PictureButton = DrawLogTest;

TEST_F(PictureButton, CellsHoverPressAndClickEdges)
{
    struct Case {
        float mx, my;
        int held, clicked, hover;
        float v_drawn;
        int result;
    } cases[] = {
        {5, 5, 0, 0, 1, 166, 0},           // outside
        {100, 100, 0, 0, 1, 143, 0},       // inside: hover look h + 1 lower
        {100, 100, 1, 0, 1, 120, 0},       // held inside: pressed look 2 (h + 1) lower
        {100, 100, 0, 1, 1, 143, 1},       // click inside
        {100, 100, 0, 1, 0, 166, 1},       // no hover look, the click still counts
        {50 + 126, 90 + 22, 0, 1, 1, 143, 1},  // right and top edges are inside
        {50, 90, 0, 1, 1, 143, 1},             // left and bottom edges too
        {50 + 126.5f, 100, 0, 1, 1, 166, 0},   // just past the right edge
        {100, 89.5f, 0, 1, 1, 166, 0},         // just below
    };
    for (const Case& c : cases) {
        ops.clear();
        mnw.mouse_x = c.mx;
        mnw.mouse_y = c.my;
        mnw.held = c.held;
        mnw.clicked = c.clicked;
        EXPECT_EQ(interface_rect(50, 90, 513, 166, 126, 22, c.hover, 1),
                  c.result)
            << c.mx << "," << c.my;
        ASSERT_EQ(ops.size(), 1u);
        const btn_draw_op& q = ops[0];
        EXPECT_EQ(q.kind, btn_draw_op::quad);
        EXPECT_EQ(q.tex, 389);
        EXPECT_EQ(q.col, 102);
        // Corners (x, y, s, t): lower left, upper left, upper right, lower right.
        const std::vector<float> want = {
            50,  90,  513 / 1024.f, c.v_drawn / 1024.f,        50,  112, 513 / 1024.f,
            (c.v_drawn + 22) / 1024.f, 176, 112, 639 / 1024.f, (c.v_drawn + 22) / 1024.f,
            176, 90,  639 / 1024.f, c.v_drawn / 1024.f};
        ASSERT_EQ(q.v.size(), want.size());
        for (size_t i = 0; i < want.size(); ++i) EXPECT_FLOAT_EQ(q.v[i], want[i]) << i;
    }
}

TEST_F(PictureButton, TintsAndIcons)
{
    struct Case {
        int tint;
        float r, g, b;
    } tints[] = {{1, 0.8f, 1.0f, 0.8f}, {2, 1.0f, 0.8f, 0.8f}, {0, 1, 1, 1}, {3, 1, 1, 1}};
    for (const auto& t : tints) {
        colr.assign(102, 0.1f, 0.2f, 0.3f);
        interface_rect(0, 0, 0, 0, 10, 10, 0, t.tint);
        EXPECT_FLOAT_EQ(colr.rgb[102][0], t.r) << t.tint;
        EXPECT_FLOAT_EQ(colr.rgb[102][1], t.g) << t.tint;
        EXPECT_FLOAT_EQ(colr.rgb[102][2], t.b) << t.tint;
    }

    struct Icon {
        int index;
        float u, v;
    } icons[] = {{21, 320, 194}, {8, 0, 130}, {23, 448, 194}, {0, 0, 66}};
    for (const Icon& i : icons) {
        ops.clear();
        mnw.mouse_x = 40;
        mnw.mouse_y = 640;  // inside: an icon has no hover look
        interface_icon(29, 608, i.index);
        ASSERT_EQ(ops.size(), 1u);
        EXPECT_FLOAT_EQ(ops[0].v[0], 29);
        EXPECT_FLOAT_EQ(ops[0].v[1], 608);
        EXPECT_FLOAT_EQ(ops[0].v[2], i.u / 1024);
        EXPECT_FLOAT_EQ(ops[0].v[3], i.v / 1024);
        EXPECT_FLOAT_EQ(ops[0].v[8], 93);
        EXPECT_FLOAT_EQ(ops[0].v[11], (i.v + 64) / 1024);
    }
}

TEST(SizeText, MegAndGig)
{
    struct Case {
        float kb;
        const char* text;
    } cases[] = {
        {999949, "999.9 Meg"}, {999960, "1000.0 Meg"}, {1000000, "1.0 Gig"}, {960, "1.0 Meg"},
        {0, "0.0 Meg"},        {12345, "12.3 Meg"},    {2500000, "2.5 Gig"}, {500, "0.5 Meg"},
        // 999.99998... megabytes, which is 1000 as a float: gigabytes on every build.
        {999999.9375f, "1.0 Gig"},
    };
    for (const Case& c : cases) {
        std::string out = "old";
        set_size_str(c.kb, &out);
        EXPECT_EQ(out, c.text) << c.kb;
    }
}

TEST(ProxyPort, OnlyPortNumbers)
{
    struct Case {
        const char* text;
        int port;
    } cases[] = {{"8080", 8080}, {"0", 0},      {"65535", 65535}, {"65536", -1}, {"99999", -1},
                 {"-1", -1},     {"-5", -1},    {"80a", -1},      {"", -1},      {"999999999", -1},
                 {"1234567890", -1}, {"+80", 80}};
    for (const Case& c : cases) EXPECT_EQ(proxy_port_number(c.text), c.port) << c.text;
}

// The terms window draws its three terms 20 pixels apart with a 400-pixel wrap
// in font 100: a term that wrapped would run its second line into the next.
TEST(TermsWindow, EachTermFitsOneLine)
{
    for (const char* term : kEulaLines) {
        EXPECT_LE(OGL_string_width(term), 400.0f) << term;
        int lines = 0;
        OGL_layout_string(20, 250, 0, 0, term, 400, 0,
                          [&](std::string_view, float, float) { ++lines; });
        EXPECT_EQ(lines, 1) << term << " (" << OGL_string_width(term) << " pixels)";
    }
}

// ---------------------------------------------------------------------------
// Texts of the main screen over the state.

class ScreenTexts : public ::testing::Test {
protected:
    TempDir dest;
    void SetUp() override
    {
        brx_test::reset_engine(dest.path(), dest.path());
        installer_reset_run_state();
        xtim.frame_period = 0.02f;
        xtim.act_time = 0;
    }
    void TearDown() override { brx_test::reset_engine("", ""); }
    std::string status(int* col = nullptr)
    {
        std::string text;
        int c = 0;
        status_line(&text, &c);
        if (col) *col = c;
        return text;
    }
};

TEST_F(ScreenTexts, StatusLineRows)
{
    int col = 0;
    EXPECT_EQ(status(&col), "Looking for servers... you need internet for this...");
    EXPECT_EQ(col, 46);
    stg.server_count = 0;
    EXPECT_EQ(status(&col), "I could not find any servers to get Brennix from!");
    EXPECT_EQ(col, 1);
    // Two entries that no request can take: nothing is being checked.
    stg.server_count = 2;
    server_name[0] = "mirror.example/";
    server_path[0] = server_path[1] = "/brennix/v/";
    EXPECT_EQ(status(&col), "I could not find any servers to get Brennix from!");
    EXPECT_EQ(col, 1);
    server_name[1] = "mirror.example";
    EXPECT_EQ(status(&col), "I am checking the net for the latest version of Brennix right now, "
                            "and I am 0% done checking.");
    EXPECT_EQ(col, 46);
    stg.dir_state = 2;
    EXPECT_EQ(status(&col).rfind("I can not find a version of Brennix on the net! ", 0), 0u);
    EXPECT_NE(status().find("http://www.corvath.example/download/"), std::string::npos);
    EXPECT_EQ(col, 1);
    stg.dir_state = 3;
    EXPECT_EQ(status(&col).rfind("To make the download a LOT faster", 0), 0u);
    for (const char* f : {"Airfoils/", "Instructions/", "Output/", "Resources/"})
        mkdir((dest / f).c_str(), 0755);
    EXPECT_EQ(status(), "You have selected an earlier version of Brennix in the DESTINATION field "
                        "below, so I will update that installation  by just grabbing new updated "
                        "files!");
    stg.phase = 1;
    EXPECT_EQ(status(), "OK I am installing this now...");
    next.job_done = 1;
    stg.server_count = -1;
    EXPECT_EQ(status(&col), "INSTALLATION COMPLETE!");
    EXPECT_EQ(col, 13);
}

TEST(FetchText, PercentIn64Bits)
{
    const std::string head = "I am checking the net for the latest version of Brennix right now, and I am ";
    EXPECT_EQ(fetch_text(-1, 0, true), head + "connecting to the server...");
    EXPECT_EQ(fetch_text(-1, 0, false), head + "0% done checking.");
    EXPECT_EQ(fetch_text(1000, 250, true), head + "25% done checking.");
    EXPECT_EQ(fetch_text(1000, 999, true), head + "99% done checking.");
    EXPECT_EQ(fetch_text(0, 0, true), head + "0% done checking.");
    // Bodies over 21 MB times 100 overflow 32 bits.
    EXPECT_EQ(fetch_text(3000000000LL, 1500000000LL, true), head + "50% done checking.");
    EXPECT_EQ(fetch_text(30000000, 29999999, true), head + "99% done checking.");
}

TEST_F(ScreenTexts, PhaseZeroSummary)
{
    install_name = "Brennix 9.00r1";
    frame_state.totl_inst_rat = 0.7f;
    panel_lines l = summary_lines();
    EXPECT_EQ(l.text[0], "I am figuring out what the latest version of Brennix is right now...");
    EXPECT_EQ(l.text[1], "This may take a moment as I download the latest list of Brennix files...");
    EXPECT_EQ(l.text[2], "");
    EXPECT_EQ(frame_state.totl_inst_rat, 0);

    stg.dir_state = 3;
    l = summary_lines();
    EXPECT_EQ(l.text[0], "Your copy of Brennix is already the latest version.");
    EXPECT_EQ(l.text[2], "This is a full installer.");
    EXPECT_EQ(frame_state.tot_disk_req_str, "");

    stg.total_install = 23456;
    stg.total_download = 12345;
    l = summary_lines();
    EXPECT_EQ(l.text[0], "You are about to install 23.5 Meg of files to get Brennix 9.00r1.");
    EXPECT_EQ(l.text[1], "");
    for (int c : l.col) EXPECT_EQ(c, 46);
    EXPECT_EQ(frame_state.tot_down_req, 12345);
    EXPECT_EQ(frame_state.tot_disk_req, 23456);

    // A refused directory empties the totals; the last size text stays.
    stg.dir_state = 2;
    stg.total_install = 0;
    l = summary_lines();
    EXPECT_EQ(l.text[0], "Your copy of Brennix is already the latest version.");
    EXPECT_EQ(frame_state.tot_disk_req_str, "23.5 Meg");

    stg.net_failed = 1;
    crnt_file_path = "Resources/a.dat.zip";
    apply_net_failure(&l);
    EXPECT_EQ(l.text[0], "I can NOT download the file 'Resources/a.dat.zip'!");
    EXPECT_EQ(l.text[2], "I am trying another server now to see if I can still get you a download...");
    for (int c : l.col) EXPECT_EQ(c, 69);
}

TEST_F(ScreenTexts, ProgressLines)
{
    frame_state.tot_disk_req = 20000;
    frame_state.tot_down_req = 10000;
    frame_state.tot_disk_req_str = "20.0 Meg";
    crnt_file_name = "a.dat.zip";

    struct Case {
        int action;
        int percent;
        const char* line1;
    } actions[] = {
        {0, 0, "Deleting a.dat.zip because that file is no longer needed!"},
        {1, 42, "Downloading and installing a.dat.zip, currently 42% done with that file."},
        {1, 0, "Downloading and installing a.dat.zip, currently 0% done with that file."},
        {2, 0, "duplicate filename through file a.dat.zip, but not installing it because you "
               "already have this file."},
        {3, 0, "Browsing through file a.dat.zip, but not installing it because you don't need "
               "this file."},
    };
    for (const Case& c : actions) {
        stg.file_action = c.action;
        stg.file_percent = c.percent;
        frame_state.totl_inst_rat = 0;
        EXPECT_EQ(progress_lines().text[0], c.line1);
    }

    // Half installed and steady: 50.0 %, the time left from the download.
    next.kb_installed = 10000;
    next.kb_fetched = 4000;
    next.kb_in_flight = 1000;
    next.start_time = 0;
    xtim.act_time = 50;
    next.active[0] = next.active[1] = next.active[3] = 1;
    frame_state.totl_inst_rat = 0.5f;
    panel_lines l = progress_lines();
    EXPECT_EQ(l.text[1], "50.0% done with the internet install, having installed 10.0 Meg of 20.0 "
                         "Meg for the internet install.");
    // 5000 kB in 50 s: 100 kB/s; 5000 kB left: 50 s.
    EXPECT_EQ(l.text[2], "About 50 seconds left in the install, downloading at 100 kilobytes/second "
                         "with 3 simultaneous download streams.");

    struct Left {
        double fetched, act_time;
        const char* amount;
    } lefts[] = {
        {1000, 100, "About 15 minutes"},  // 10 kB/s, 9000 kB left: 900 s
        {10, 1000, "About 277 hours"},    // 0.01 kB/s, 9990 kB left
        {10000, 0.5, "About 0 seconds"},  // everything downloaded; elapsed counts as 1 s
    };
    next.kb_in_flight = 0;
    for (const Left& c : lefts) {
        next.kb_fetched = c.fetched;
        xtim.act_time = static_cast<float>(c.act_time);
        frame_state.totl_inst_rat = 0.5f;
        EXPECT_EQ(progress_lines().text[2].rfind(c.amount, 0), 0u) << progress_lines().text[2];
    }

    // Nothing downloaded yet (files of download size 0 completed): no numbers.
    next.kb_fetched = 0;
    frame_state.totl_inst_rat = 0.5f;
    l = progress_lines();
    EXPECT_FALSE(l.text[2].empty());
    EXPECT_EQ(l.text[2].find_first_of("0123456789"), std::string::npos) << l.text[2];

    // A tiny download against a huge remainder: the time left is no integer.
    next.kb_fetched = 1e-30;
    frame_state.tot_down_req = 3e38f;
    frame_state.totl_inst_rat = 0.5f;
    l = progress_lines();
    EXPECT_EQ(l.text[2].rfind("About ", 0), 0u) << l.text[2];
    EXPECT_EQ(l.text[2].find('-'), std::string::npos) << l.text[2];

    // Ratio 0.01 or less: line 3 stays empty.
    next.kb_installed = 0;
    frame_state.totl_inst_rat = 0.005f;
    EXPECT_EQ(progress_lines().text[2], "");
}

TEST(InstallRatio, SmoothedAndBounded)
{
    EXPECT_FLOAT_EQ(next_install_ratio(0, 0.02f, 50, 100), 0.05f);
    EXPECT_FLOAT_EQ(next_install_ratio(0.5f, 0.02f, 50, 100), 0.5f);
    EXPECT_EQ(next_install_ratio(0.3f, 0.02f, 0, 0), 0);        // 0 of 0: not a number
    EXPECT_EQ(next_install_ratio(0.3f, 0.02f, 10, 0), 1);       // infinite target
    EXPECT_EQ(next_install_ratio(0.9f, 0.0526f, 500, 100), 1);  // above 1
    EXPECT_EQ(next_install_ratio(0.1f, 0.02f, -500, 100), 0);   // below 0
    EXPECT_EQ(next_install_ratio(std::numeric_limits<float>::quiet_NaN(), 0.02f, 1, 2), 0);
}

TEST(WholeNumber, NoUndefinedConversions)
{
    EXPECT_EQ(whole_number(41.9), 41);
    EXPECT_EQ(whole_number(-0.99), 0);
    EXPECT_EQ(whole_number(-41.9), -41);
    EXPECT_EQ(whole_number(std::nan("")), 0);
    EXPECT_EQ(whole_number(1e300), 2147483647);
    EXPECT_EQ(whole_number(-1e300), -2147483647 - 1);
    EXPECT_EQ(whole_number(HUGE_VAL), 2147483647);
}

TEST_F(ScreenTexts, Outcome)
{
    panel_lines l = outcome_lines();
    EXPECT_EQ(l.text[0], "");  // quit, nothing completed
    next.job_done = 1;
    l = outcome_lines();
    EXPECT_EQ(l.text[0], "INSTALLATION COMPLETE!");
    EXPECT_EQ(l.text[1], "");
    EXPECT_EQ(l.col[0], 46);
    stg.install_error = 1;
    l = outcome_lines();
    EXPECT_EQ(l.text[0], "The installation was not completed because an error occurred.");
    EXPECT_EQ(l.text[1], "Brennix is not fully installed or updated and may not run correctly.");
    EXPECT_EQ(l.text[2], "Please try a different server, hard drive, or directory, or contact "
                         "Customer Support for help with this problem.");
    for (int c : l.col) EXPECT_EQ(c, 69);
    stg.net_failed = 1;
    apply_net_failure(&l);
    EXPECT_EQ(l.text[1], "Your internet connection may not be working, or the server could be "
                         "undergoing maintainance or an upgrade right now.");
}

TEST(BarFill, EvenCentreAndWidthInStepsOfFour)
{
    struct Case {
        float ratio, centre, width;
    } cases[] = {
        {1.0f, 574, 884},  // E = 1016
        {0.5f, 354, 444},  // E = 574: (706 / 4) = 176.5 -> 177; (442 / 4) = 110.5 -> 111
        {0.03f, 146, 28},  // E = 158
        {0.021f, 142, 20}, // E = 150
    };
    for (const Case& c : cases) {
        float centre = 0, width = 0;
        bar_fill(c.ratio, &centre, &width);
        EXPECT_EQ(centre, c.centre) << c.ratio;
        EXPECT_EQ(width, c.width) << c.ratio;
        EXPECT_EQ(static_cast<int>(centre) % 2, 0);
        EXPECT_EQ(static_cast<int>(width) % 4, 0);
    }
}

}  // namespace
