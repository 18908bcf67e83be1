// The open and save dialog a pass at a time, and its preview pane on files
// made here, through the drawing log.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <csignal>
#include <tuple>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "GenC/hl_menu.h"
#include "OOPS_cpp/butn.h"
#include "OOPS_cpp/butn_lists.h"
#include "OOPS_cpp/butn_opensave.h"
#include "OOPS_cpp/oglp_layout.h"
#include "support/draw_log.h"
#include "support/test_util.h"

namespace {

using brx_test::TempDir;
using brx_test::write_file;
using strings = std::vector<std::string>;

TEST(OpenSaveNames, StartFolders)
{
    struct row {
        const char* path;
        int type;
        const char* folder;
    };
    const row table[] = {
        {"", 9, "Output/situations/"},
        {"", 11, "Output/FMS plans/"},
        {"", 20, "sim/"},
        {"", 3, ""},
        {"Output/situations/x.sit", 9, "Output/situations/"},
        {"Output/situations/", 9, "Output/"},
        {"name.acf", 3, ""},
    };
    for (const row& r : table)
        EXPECT_EQ(BTN_opensave_start_folder(r.path, r.type), r.folder) << r.path << " " << r.type;
}

TEST(OpenSaveNames, SavedNamesTakeTheTypesExtension)
{
    struct row {
        const char* name;
        int type;
        const char* saved;
    };
    const row table[] = {
        {"trip.abc", 9, "trip.SIT"}, {"trip", 9, "trip.SIT"},   {".abc", 9, ".abc.SIT"},
        {"a.txt", 0, "a"},           {"abcd.efg", 1, "abcd"},   {"x.fdr", 8, "x"},
        {"pic.png", 2, "pic.BMP"},   {"a.b.c", 19, "a.TXT"}, {"abcde", 18, "abcde.HGT"},
    };
    for (const row& r : table) EXPECT_EQ(BTN_opensave_name(r.name, r.type), r.saved) << r.name;
}

// The dialog works below the framework's root folder.
class Dialog : public brx_test::DrawLogTest {
protected:
    void SetUp() override
    {
        DrawLogTest::SetUp();
        app_path = root.path();
        mnw.wind_w = 561;
        mnw.wind_h = 474;
        MACIBM_clear_menus(1);
        active_popup_code = select_popup_code = 0;
        return_hit = delete_hit = escape_hit = 0;
        for (const char* d : {"Aircraft/", "Aircraft/sub/", "shots.acf/", "my-stuff|x/",
                              "Output/", "Output/situations/"})
            mkdir((root / d).c_str(), 0755);
        for (const char* f : {"b.acf", "A.ACF", "notes.txt", ".hid.acf", "Output/situations/old.sit"})
            write_file(root / f, "x");
    }
    void TearDown() override
    {
        app_path.clear();
        active_popup_code = select_popup_code = 0;
        BTN_begin_focus_ring();
        BTN_unfocus_any();
        DrawLogTest::TearDown();
    }
    int pass(opensave_dialog& d)
    {
        mnw.wind = d.open_save;
        BTN_begin_focus_ring();
        ops.clear();
        const int r = d.pass();
        mnw.clicked = mnw.double_click = 0;
        return_hit = delete_hit = escape_hit = 0;
        return r;
    }

    TempDir root;
};

TEST_F(Dialog, OpenFormListsFoldersAndItsTypeAndChooses)
{
    opensave_dialog d(wind_open, 3, "");
    EXPECT_EQ(d.folder, "");
    // A folder named like an aircraft file is listed as one.
    EXPECT_EQ(d.names, (strings{"A.ACF", "Aircraft", "b.acf", "my-stuff|x", "Output", "shots.acf"}));
    EXPECT_EQ(d.kinds, (std::vector<int>{3, 1, 3, 1, 1, 3}));
    EXPECT_EQ(d.selection, 3);

    // Return on a folder enters it; Backspace goes back up.
    d.selection = 1;
    return_hit = 1;
    EXPECT_EQ(pass(d), -1);
    EXPECT_EQ(d.folder, "Aircraft/");
    EXPECT_EQ(d.selection, 0);
    delete_hit = 1;
    pass(d);
    EXPECT_EQ(d.folder, "");
    delete_hit = 1;
    pass(d);  // at the root nothing happens
    EXPECT_EQ(d.folder, "");

    // A double click on a file chooses it; so does "Open" on the folder
    // named like one.
    d.scroll = d.selection = 2;
    click(100, 180);
    mnw.double_click = 1;
    EXPECT_EQ(pass(d), 1);
    EXPECT_EQ(d.chosen, "b.acf");
    d.selection = 5;
    click(280, 18);
    EXPECT_EQ(pass(d), 1);
    EXPECT_EQ(d.chosen, "shots.acf");

    escape_hit = 1;
    EXPECT_EQ(pass(d), 0);
}

TEST_F(Dialog, FoldersOnlyTypeNeverChoosesAnEntry)
{
    opensave_dialog d(wind_open, 1, "");
    EXPECT_EQ(d.names, (strings{"Aircraft", "my-stuff|x", "Output"}));
    d.selection = 0;
    for (int i = 0; i < 3; ++i) {
        return_hit = 1;
        EXPECT_EQ(pass(d), -1);
    }
    EXPECT_EQ(d.folder, "Aircraft/sub/");
    return_hit = 1;
    EXPECT_EQ(pass(d), -1);  // an empty folder: nothing to open
}

TEST_F(Dialog, DropDownOffersTheAncestorsAndTakesAnyFolderName)
{
    opensave_dialog d(wind_open, 9, "");
    EXPECT_EQ(d.folder, "Output/situations/");
    EXPECT_EQ(d.names, (strings{"old.sit"}));
    pass(d);
    EXPECT_EQ(menu[kPopupMenu].items.size(), 0u);
    // Pick "Output", one above the current level.
    click(150, 436);
    pass(d);
    ASSERT_EQ(menu[kPopupMenu].items.size(), 3u);
    EXPECT_EQ(menu[kPopupMenu].items[0].name, "Skarvel folder");
    EXPECT_EQ(menu[kPopupMenu].items[1].name, "Output");
    EXPECT_EQ(menu[kPopupMenu].items[2].name, "situations");
    active_popup_code = 0;
    select_popup_code = BTN_textlist_id(150, 434);
    popup_menu_select = 1;
    pass(d);
    EXPECT_EQ(d.folder, "Output/");

    // A folder whose name holds "-" and "|" reaches the drop-down safely.
    opensave_dialog odd(wind_open, 0, "my-stuff|x/file");
    EXPECT_EQ(odd.folder, "my-stuff|x/");
    pass(odd);
    bool stair = false;
    for (const auto& t : of(btn_draw_op::text)) stair = stair || (t.col == 47 && t.str == "my stuff|x");
    EXPECT_TRUE(stair);
    click(150, 436);
    pass(odd);
    ASSERT_EQ(menu[kPopupMenu].items.size(), 2u);
    EXPECT_EQ(menu[kPopupMenu].items[1].name, "my stuff!x");
    active_popup_code = 0;
}

TEST_F(Dialog, SaveFormWritesTheTypedName)
{
    opensave_dialog d(wind_save, 9, "");
    return_hit = 1;
    EXPECT_EQ(pass(d), -1);  // no name yet
    d.name = "trip.abc";
    return_hit = 1;
    EXPECT_EQ(pass(d), 1);
    EXPECT_EQ(d.chosen, "Output/situations/trip.SIT");

    // A file chosen in the list does not fill the name.
    opensave_dialog e(wind_save, 9, "");
    click(100, 180);
    mnw.double_click = 1;
    EXPECT_EQ(pass(e), -1);
    EXPECT_EQ(e.name, "");
    click(282, 18);
    EXPECT_EQ(pass(e), -1);
}

TEST_F(Dialog, ASelectionPastAShrunkListingIsNotPreviewed)
{
    opensave_dialog d(wind_open, 3, "");
    d.selection = 40;
    d.names.assign(3, "gone");  // as the listing before files went away
    d.selection = 50;
    EXPECT_EQ(pass(d), -1);
    EXPECT_LE(d.selection, 5);
}

TEST(DialogFatal, BadArgumentsEndTheProgram)
{
    TempDir dir;
    for (auto [os, type, line] : {std::tuple{997, 0, "Bad open_save arg to BTN_opensave!"},
                                  std::tuple{998, 22, "Bad file_type arg to BTN_opensave!"}}) {
        const auto r = brx_test::run_in_child(
            [&] {
                std::string p;
                BTN_opensave(os, type, &p);
            },
            dir.path());
        EXPECT_EQ(r.signal, SIGABRT);
        EXPECT_TRUE(brx_test::contains(r.out, line)) << r.out;
    }
}

// ---------------------------------------------------------------------------
// The preview pane.

std::string aircraft(char order, uint32_t version, const strings& texts, std::size_t head = 2092)
{
    std::string f(1, order);
    unsigned char v[4] = {uint8_t(version), uint8_t(version >> 8), uint8_t(version >> 16),
                          uint8_t(version >> 24)};
    if (order == 'a') std::swap(v[0], v[3]), std::swap(v[1], v[2]);
    f.append(reinterpret_cast<char*>(v), 4);
    std::string h(head, '\0');
    const std::size_t at[4] = {1552, 1052, 2052, 1012};
    for (std::size_t k = 0; k < texts.size(); ++k)
        for (std::size_t i = 0; i < texts[k].size() && at[k] + i < head; ++i) h[at[k] + i] = texts[k][i];
    return f + h;
}

class Preview : public brx_test::DrawLogTest {
protected:
    void SetUp() override
    {
        DrawLogTest::SetUp();
        mnw.wind_w = 561;
        mnw.wind_h = 474;
    }
    strings read(const std::string& path)
    {
        unsigned char head[kAircraftHead];
        memset(head, 0x55, sizeof head);
        BTN_read_aircraft_head(path, head);
        strings out;
        for (int k = 0; k < 4; ++k) out.push_back(BTN_aircraft_head_text(head, k));
        return out;
    }
    std::vector<std::pair<std::string, float>> texts_at_341() const
    {
        std::vector<std::pair<std::string, float>> out;
        for (const auto& t : of(btn_draw_op::text))
            if (t.v[0] == 341) out.push_back({t.str, t.v[1]});
        return out;
    }
    std::size_t panels() const { return of(btn_draw_op::piece).size(); }
    TempDir dir;
};

TEST_F(Preview, HeadTextsAtTheirOffsets)
{
    const strings four{"Line one", "Line two", "Line three", "Line four"};
    const strings none{"", "", "", ""};
    const std::string long40(60, 'x');
    struct row {
        std::string bytes;
        strings texts;
    };
    const row table[] = {
        {aircraft('i', 900, four), four},
        {aircraft('a', 8000, four), four},  // the other byte order, copied as it stands
        {aircraft('i', 899, four), none},   // a version not in the table
        {aircraft('i', 900, four, 2091), none},  // one byte short of the head
        {aircraft('i', 900, four).substr(0, 3), none},
        {"", none},
        {aircraft('i', 700, {"", "", long40, ""}), {"", "", std::string(40, 'x'), ""}},
    };
    for (std::size_t i = 0; i < std::size(table); ++i) {
        SCOPED_TRACE(i);
        write_file(dir / "p.acf", table[i].bytes);
        EXPECT_EQ(read(dir / "p.acf"), table[i].texts);
    }
    EXPECT_EQ(read(dir / "missing.acf"), none);
    EXPECT_EQ(read(dir.path()), none);  // a folder
}

TEST_F(Preview, IconBesideTheAircraft)
{
    EXPECT_EQ(BTN_aircraft_icon_path("Aircraft/sample.acf"), "Aircraft/sample_icon.png");
    EXPECT_EQ(BTN_aircraft_icon_path("sample.acf.bak"), "sample.acf_icon.png");
    EXPECT_EQ(BTN_aircraft_icon_path(".acf"), ".acf_icon.png");
}

TEST_F(Preview, DrawsTheHeadDownTheTextPanel)
{
    const std::string wrapped = "a long text that wraps over more than one line of the panel here";
    write_file(dir / "w.acf", aircraft('i', 902, {"first", "", wrapped, "last"}));
    stand_io_dialog(wind_open, 3, dir / "w.acf");
    const auto t = texts_at_341();
    ASSERT_EQ(t.size(), 4u);
    EXPECT_EQ(t[0], (std::pair<std::string, float>{"first", 405}));
    EXPECT_EQ(t[1].second, 385);  // one line moves the next 20 down
    EXPECT_EQ(t[2].second, 375);  // an empty one 10
    const float lines = (375 - t[3].second - 10) / 10;
    EXPECT_GE(lines, 2);
    EXPECT_EQ(panels() > 0, true);

    // Mixed-case extensions have no preview.
    write_file(dir / "m.Acf", aircraft('i', 902, {"mixed"}));
    ops.clear();
    stand_io_dialog(wind_open, 3, dir / "m.Acf");
    EXPECT_TRUE(texts_at_341().empty());
    write_file(dir / "u.ACF", aircraft('i', 902, {"upper"}));
    ops.clear();
    stand_io_dialog(wind_open, 3, dir / "u.ACF");
    ASSERT_FALSE(texts_at_341().empty());
    EXPECT_EQ(texts_at_341()[0].first, "upper");
}

TEST_F(Preview, ReadsAFileOncePerSelection)
{
    write_file(dir / "s.acf", aircraft('i', 900, {"before"}));
    stand_io_dialog(wind_open, 3, dir / "s.acf");
    write_file(dir / "s.acf", aircraft('i', 900, {"after"}));
    ops.clear();
    stand_io_dialog(wind_open, 3, dir / "s.acf");
    EXPECT_EQ(texts_at_341()[0].first, "before");
    stand_io_dialog(wind_open, 3, "-");
    ops.clear();
    stand_io_dialog(wind_open, 3, dir / "s.acf");
    EXPECT_EQ(texts_at_341()[0].first, "after");
}

TEST_F(Preview, CommentOfAFlightDataFile)
{
    struct row {
        const char* name;
        const char* body;
        const char* comment;
    };
    const row table[] = {
        {"a.fdr", "I\n1 version\nTIME, 12\ncomm, Hello\nCOMM,second\n", "Hello"},
        {"b.fdr", "A\n1\n\r\n  \tCoMm,\tTabbed value\r\n", "Tabbed value"},
        {"c.fdr", "I\n2 version\nCOMM, newer\n", ""},
        {"d.fdr", "I\n1\nCOMMENT, no\nCOM, no\n", ""},
        {"e.fdr", "I\n1\nCOMM", ""},
        {"f.FDR", "I\n1\nCOMM, upper\n", ""},
    };
    for (const row& r : table) {
        SCOPED_TRACE(r.name);
        write_file(dir / r.name, r.body);
        ops.clear();
        stand_io_dialog(wind_open, 8, dir / r.name);
        const auto t = texts_at_341();
        if (*r.comment) {
            ASSERT_EQ(t.size(), 1u);
            EXPECT_EQ(t[0], (std::pair<std::string, float>{r.comment, 270}));
        } else {
            EXPECT_TRUE(t.empty());
        }
    }
}

TEST_F(Preview, PanelsPerWindowAndType)
{
    // The save dialog: backgrounds and the left panel only.
    stand_io_dialog(wind_save, 3, "x.acf");
    const std::size_t left = panels();
    EXPECT_GT(left, 0u);
    EXPECT_TRUE(texts_at_341().empty());
    for (int type : {3, 8, 20}) {
        ops.clear();
        stand_io_dialog(wind_open, type, "-");
        EXPECT_GT(panels(), left) << type;
        EXPECT_TRUE(texts_at_341().empty());
    }
    ops.clear();
    stand_io_dialog(wind_open, 0, "-");
    EXPECT_EQ(panels(), left);
}

TEST(GlyphTables, EveryByteHasAWidthAndACellInRange)
{
    std::string all;
    for (int b = 1; b < 256; ++b) {
        const char c = char(b);
        all += c;
        EXPECT_TRUE(std::isfinite(OGL_char_width(c)));
        EXPECT_GE(OGL_atlas_cell(uint8_t(b)), 0);
        EXPECT_LT(OGL_atlas_cell(uint8_t(b)), 105);
    }
    EXPECT_TRUE(std::isfinite(OGL_string_width(all)));
}

}  // namespace
