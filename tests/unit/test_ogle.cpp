// The text-edit engine against a host of fixed-width characters: layout,
// positions and lines, replacement, hit tests, keys, revealing and drawing,
// and hosts whose callbacks return nonsense.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "OOPS_cpp/ogle.h"

namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

bool is_space(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }

// Every character is `cw` wide, lines are `h` high. The view is the rectangle
// at (100, 200), vw by vh; the logical rectangle is the view moved by the
// scroll offset, `wrap` wide. A point inside a character counts it; line
// breaks are never counted by a fit.
class Host : public OGLE {
public:
    explicit Host(std::string t = "", float wrap_to = 1000) : text(std::move(t)), wrap(wrap_to) {}

    std::string text;
    float wrap;
    float cw = 10, h = 10, vw = 500, vh = 10;
    float off[2] = {0, 0};
    int scrolls = 0;
    std::vector<float> heights;
    struct drawn {
        std::string s;
        float x, y;
    };
    std::vector<drawn> strings;
    std::vector<std::vector<float>> rects;

    OGLE_Rec* r() { return rec; }
    int sel_start() const { return rec->sel_start; }
    int sel_end() const { return rec->sel_end; }
    int active() const { return rec->active_end; }
    std::vector<int> lines() const { return rec->line_starts; }
    void caret(int p) { SetSelection(p, p); }
    void clear_draws()
    {
        strings.clear();
        rects.clear();
    }
    // Whether a pointer range lies within the text.
    bool inside(const char* b, const char* e) const
    {
        return b >= text.data() && e >= b && e <= text.data() + text.size();
    }
    bool strayed = false;

    void GetVisibleBounds(float* r) override
    {
        r[0] = 100;
        r[1] = 200;
        r[2] = 100 + vw;
        r[3] = 200 + vh;
    }
    void GetLogicalBounds(float* r) override
    {
        r[0] = 100 - off[0];
        r[1] = 200 - off[1];
        r[2] = 100 - off[0] + wrap;
        r[3] = 200 + vh - off[1];
    }
    void SetLogicalHeight(float height) override { heights.push_back(height); }
    void ScrollTo(float* o) override
    {
        off[0] = o[0];
        off[1] = o[1];
        ++scrolls;
    }
    void GetText(const char** b, const char** e) override
    {
        *b = text.data();
        *e = text.data() + text.size();
    }
    void ReplaceText(int start, int end, const char* b, const char* e) override
    {
        if (start < 0 || end < start || std::size_t(end) > text.size()) {
            strayed = true;
            return;
        }
        text.replace(std::size_t(start), std::size_t(end - start), b ? std::string(b, e) : "");
    }
    float GetLineHeight() override { return h; }
    float MeasureString(const char* b, const char* e) override
    {
        if (!inside(b, e)) strayed = true;
        return float(e - b) * cw;
    }
    int FitStringFwd(const char* b, const char* e, float width) override
    {
        if (!inside(b, e)) strayed = true;
        if (!(width > 0)) return 0;
        int n = 0;
        for (const char* p = b; p < e && *p != '\n' && *p != '\r'; ++p) {
            ++n;
            width -= cw;
            if (width <= 0) break;
        }
        return n;
    }
    int FitStringRev(const char*, const char*, float) override { return 0; }
    void DrawString(const char* b, const char* e, float x, float y) override
    {
        if (!inside(b, e)) strayed = true;
        strings.push_back({std::string(b, e), x, y});
    }
    void DrawSelection(float* r) override { rects.push_back({r[0], r[1], r[2], r[3]}); }
    const char* WordBreak(const char* b, const char* e) override
    {
        if (!inside(b, e)) strayed = true;
        const char* p = b;
        while (p < e && is_space(*p)) ++p;
        while (p < e && !is_space(*p)) ++p;
        return p;
    }
};

// ---------------------------------------------------------------------------

TEST(TextEngine, LayoutTable)
{
    struct row {
        const char* text;
        float wrap;  // in characters
        std::vector<int> starts;
    };
    const row table[] = {
        {"", 10, {0}},
        {"ab cd", 3, {0, 3}},              // the space stays at the end of line 0
        {"abcdefg", 3, {0, 1, 2, 3, 4}},    // a long word is broken by characters
        {"a\r\nb", 10, {0, 2, 3}},          // CR ends a line, the LF stands alone
        {"ab  \ncd", 3, {0, 5}},            // spaces before a break stay on its line
        {"ab\n", 10, {0}},                  // no empty line after a final LF
        {"ab     ", 3, {0}},                // trailing white space never wraps
        {"ab cdefgh", 4, {0, 3, 4, 5}},     // a long word's tail shares no line
        {"ab cd", 0, {0, 1, 2, 3, 4}},      // no room: one character a line
        {"ab cd ef", 5, {0, 6}},
        {"\n\n", 10, {0, 1}},
    };
    for (const row& r : table) {
        Host host(r.text, r.wrap * 10);
        host.Repaginate();
        EXPECT_EQ(host.lines(), r.starts) << '"' << r.text << "\" wrap " << r.wrap;
        ASSERT_FALSE(host.heights.empty());
        EXPECT_FLOAT_EQ(host.heights.back(), float(r.starts.size()) * 10) << r.text;
    }
}

TEST(TextEngine, EmptyLineAfterFinalBreakStaysOnlyWhenAlreadyThere)
{
    Host host("ab\nc");
    host.vh = 20;
    host.Repaginate();
    EXPECT_EQ(host.lines(), (std::vector<int>{0, 3}));
    host.text = "ab\n";
    host.Repaginate();
    EXPECT_EQ(host.lines(), (std::vector<int>{0, 3}));
    host.caret(3);
    host.Draw(1);
    ASSERT_EQ(host.rects.size(), 1u);  // the caret stands on the empty last line
    EXPECT_EQ(host.rects[0], (std::vector<float>{100, 200, 100, 210}));
}

TEST(TextEngine, PositionToLine)
{
    Host host("ab cd", 30);
    EXPECT_EQ(OGLE_CharPosToLine(host.r(), 0), -1);  // no table yet
    host.Repaginate();
    const int table[][2] = {{0, 0}, {2, 0}, {3, 1}, {4, 1}, {5, 1}, {99, 1}, {-1, -1}};
    for (const auto& t : table) EXPECT_EQ(OGLE_CharPosToLine(host.r(), t[0]), t[1]) << t[0];
}

TEST(TextEngine, CreationAndSelectionAccess)
{
    Host host("hello");
    int s = 7, e = 7;
    host.GetSelection(&s, &e);
    EXPECT_EQ(s, 0);
    EXPECT_EQ(e, 0);
    EXPECT_EQ(host.active(), 1);
    host.GetSelection(nullptr, nullptr);
    host.Draw(1);  // nothing laid out yet: nothing drawn
    EXPECT_TRUE(host.strings.empty());
    EXPECT_TRUE(host.rects.empty());
    EXPECT_EQ(OGLE_GetRef(host.r()), static_cast<void*>(&host));

    host.SetSelection(9, -3);  // ordered, then clamped
    host.GetSelection(&s, &e);
    EXPECT_EQ(s, 0);
    EXPECT_EQ(e, 5);
    OGLE_Destroy(nullptr);
}

TEST(TextEngine, ReplacementKeepsSelectionInStep)
{
    struct row {
        int sel_start, sel_end, start, end;
        const char* insert;
        int want_start, want_end;
    };
    const row table[] = {
        {5, 5, 2, 4, "", 3, 3},     // before the caret
        {5, 5, 6, 8, "", 5, 5},     // after it
        {5, 5, 3, 7, "", 3, 3},     // over it
        {5, 5, 1, 2, "xyz", 7, 7},  // insertion before
        {4, 8, 2, 6, "", 4, 4},     // covers the start: only the end moves
        {4, 8, 2, 3, "", 3, 7},
        {2, 9, 4, 10, "", 2, 4},    // past a shortened text: bounded
        {2, 3, 5, 5, "ab", 2, 3},
    };
    for (const row& r : table) {
        Host host("0123456789");
        host.Repaginate();
        host.SetSelection(r.sel_start, r.sel_end);
        const std::string ins = r.insert;
        host.DoReplaceText(r.start, r.end, ins.empty() ? nullptr : ins.data(),
                           ins.empty() ? nullptr : ins.data() + ins.size());
        EXPECT_EQ(host.sel_start(), r.want_start) << r.start << ".." << r.end;
        EXPECT_EQ(host.sel_end(), r.want_end) << r.start << ".." << r.end;
        EXPECT_FALSE(host.strayed);
    }

    // Ranges outside the text are bounded before they reach the host.
    Host host("abc");
    host.Repaginate();
    host.DoReplaceText(-4, 40, nullptr, nullptr);
    EXPECT_EQ(host.text, "");
    EXPECT_FALSE(host.strayed);
}

TEST(TextEngine, HitTestsAtLineAndCharacterEdges)
{
    Host host("ab cd", 30);
    host.vh = 20;
    host.Repaginate();  // "ab " and "cd"; the top is at 220
    struct row {
        float x, y;
        int pos;
    };
    const row table[] = {
        {100, 215, 0}, {110, 215, 1}, {115, 215, 2},  // edge, edge, inside 'b'
        {95, 215, 0},                                 // left of the text
        {200, 215, 3},                                // right of line 0: start of line 1
        {105, 225, 0},                                // above
        {100, 210, 3}, {112, 209, 5},                 // the boundary belongs to the lower line
        {100, 150, 5},                                // below
    };
    for (const row& r : table) EXPECT_EQ(OGLE_CoordToCharPos(host.r(), r.x, r.y), r.pos) << r.x << "," << r.y;
}

TEST(TextEngine, ClicksAndDrags)
{
    Host host("abcdefghij");
    host.Repaginate();
    host.Click(135, 205, 0);
    EXPECT_EQ(host.sel_start(), 4);
    EXPECT_EQ(host.sel_end(), 4);
    host.Drag(160, 205);
    EXPECT_EQ(host.sel_end(), 6);
    host.Drag(110, 205);  // back over the anchor: the ends swap
    EXPECT_EQ(host.sel_start(), 1);
    EXPECT_EQ(host.sel_end(), 4);
    EXPECT_EQ(host.active(), 0);
    // An extending click after sel_start moves sel_end, whichever end was active.
    host.Click(180, 205, 1);
    EXPECT_EQ(host.sel_start(), 1);
    EXPECT_EQ(host.sel_end(), 8);
    EXPECT_EQ(host.active(), 1);
    host.Click(100, 205, 1);
    EXPECT_EQ(host.sel_start(), 0);
    EXPECT_EQ(host.active(), 0);
}

TEST(TextEngine, ArrowsAndShiftExtension)
{
    Host host("0123456789abcdefghij");
    host.Repaginate();
    host.caret(0);
    host.Key(28, 0);
    EXPECT_EQ(host.sel_start(), 0);
    host.caret(20);
    host.Key(29, 0);
    EXPECT_EQ(host.sel_end(), 20);

    host.caret(10);
    host.Key(28, 1);
    EXPECT_EQ(host.sel_start(), 9);
    EXPECT_EQ(host.sel_end(), 10);
    EXPECT_EQ(host.active(), 0);
    host.Key(28, 1);
    EXPECT_EQ(host.sel_start(), 8);
    EXPECT_EQ(host.sel_end(), 10);
    host.Key(29, 0);  // a plain arrow collapses to the selection's end
    EXPECT_EQ(host.sel_start(), 10);
    EXPECT_EQ(host.sel_end(), 10);

    // Shift+Down extends the end below, keeping the other end.
    Host lines("abcdefghi\nabcdefghi\nabcdefghi");
    lines.vh = 30;
    lines.Repaginate();
    lines.caret(12);
    lines.Key(31, 1);
    EXPECT_EQ(lines.sel_start(), 12);
    EXPECT_EQ(lines.sel_end(), 22);
    lines.Key(30, 1);
    lines.Key(30, 1);  // past the anchor: the ends swap
    EXPECT_EQ(lines.sel_start(), 2);
    EXPECT_EQ(lines.sel_end(), 12);
    EXPECT_EQ(lines.active(), 0);
    lines.caret(4);
    lines.Key(30, 0);
    EXPECT_EQ(lines.sel_start(), 0);  // up from line 0
    lines.caret(24);
    lines.Key(31, 0);
    EXPECT_EQ(lines.sel_end(), 29);  // down from the last line
}

TEST(TextEngine, VerticalMovesKeepTheirColumn)
{
    Host host("abcdef\nab\nabcdef\nabcdef");
    host.vh = 40;
    host.Repaginate();
    host.caret(5);
    host.Key(31, 0);
    EXPECT_EQ(host.sel_start(), 9);  // the end of the short line
    host.Key(31, 0);
    EXPECT_EQ(host.sel_start(), 15);  // back in column 5
    host.Key(31, 0);
    EXPECT_EQ(host.sel_start(), 22);
    host.Key(29, 0);  // any other key forgets the column
    host.Key(30, 0);
    EXPECT_EQ(host.sel_start(), 16);
}

TEST(TextEngine, TypingAndBackspace)
{
    Host host("abcdefg");
    host.Repaginate();
    host.SetSelection(2, 5);
    host.Key('X', 0);
    EXPECT_EQ(host.text, "abXfg");
    EXPECT_EQ(host.sel_start(), 3);
    EXPECT_EQ(host.sel_end(), 3);
    host.Key(8, 0);
    EXPECT_EQ(host.text, "abfg");
    EXPECT_EQ(host.sel_end(), 2);
    host.SetSelection(1, 3);
    host.Key(8, 0);
    EXPECT_EQ(host.text, "ag");
    EXPECT_EQ(host.sel_start(), 1);

    host.SetSelection(0, 2);
    host.Key(28, 1);  // makes sel_start active
    host.caret(0);
    host.Key(8, 0);  // nothing to delete: only the active end is reset
    EXPECT_EQ(host.text, "ag");
    EXPECT_EQ(host.active(), 1);
    EXPECT_EQ(host.r()->desired_x, -1.0f);
    host.Key('\n', 0);  // any other byte is text
    EXPECT_EQ(host.text, "\nag");
    EXPECT_EQ(host.lines(), (std::vector<int>{0, 1}));
}

TEST(TextEngine, RevealingTheActiveEnd)
{
    // A one-line view of five characters over a text of twenty.
    Host host("0123456789abcdefghij");
    host.vw = 50;
    host.Repaginate();
    host.caret(15);
    host.RevealSelection();
    EXPECT_FLOAT_EQ(host.off[0], 100);  // the caret sits on the right edge
    EXPECT_FLOAT_EQ(host.off[1], 0);
    const int scrolls = host.scrolls;
    host.RevealSelection();  // already in view: no request
    EXPECT_EQ(host.scrolls, scrolls);
    host.caret(4);
    host.RevealSelection();
    EXPECT_FLOAT_EQ(host.off[0], 40);  // on the left edge

    // Down and up through lines in a one-line view: the caret's line is whole
    // in view after each move.
    Host lines("aaaa\nbbbb\ncccc\ndddd");
    lines.Repaginate();
    auto line_in_view = [&] {
        const int line = OGLE_CharPosToLine(lines.r(), lines.sel_end());
        const float top = 200 + lines.vh - lines.off[1] - float(line) * lines.h;
        return top - lines.h >= 200 && top <= 200 + lines.vh;
    };
    for (int i = 0; i < 3; ++i) {
        lines.Key(31, 0);
        EXPECT_TRUE(line_in_view()) << "down " << i;
    }
    for (int i = 0; i < 3; ++i) {
        lines.Key(30, 0);
        EXPECT_TRUE(line_in_view()) << "up " << i;
    }
}

TEST(TextEngine, DrawsOnlyVisibleLines)
{
    Host host("l0\nl1\nl2\nl3\nl4");
    host.vh = 20;
    host.Repaginate();
    host.off[1] = -10;  // lines 1 and 2 in view
    host.Draw(0);
    ASSERT_EQ(host.strings.size(), 2u);
    EXPECT_EQ(host.strings[0].s, "l1\n");
    EXPECT_EQ(host.strings[1].s, "l2\n");
    EXPECT_FLOAT_EQ(host.strings[0].y, 210);  // the bottom of its band
    EXPECT_TRUE(host.rects.empty());                    // no caret with show_caret 0

    host.clear_draws();
    host.off[1] = 25;  // the view lies wholly above the text
    host.Draw(1);
    EXPECT_TRUE(host.strings.empty());
    EXPECT_TRUE(host.rects.empty());

    Host empty("");
    empty.Repaginate();
    empty.Draw(1);
    ASSERT_EQ(empty.rects.size(), 1u);
    EXPECT_EQ(empty.rects[0], (std::vector<float>{100, 200, 100, 210}));
}

TEST(TextEngine, SelectionAndCaretRectangles)
{
    Host host("abcd efgh ijkl", 50);  // "abcd ", "efgh ", "ijkl"
    host.vh = 30;
    host.Repaginate();
    ASSERT_EQ(host.lines(), (std::vector<int>{0, 5, 10}));

    host.SetSelection(2, 7);
    host.Draw(1);
    ASSERT_EQ(host.rects.size(), 2u);  // no caret with a selection
    EXPECT_EQ(host.rects[0], (std::vector<float>{120, 220, 150, 230}));
    EXPECT_EQ(host.rects[1], (std::vector<float>{100, 210, 120, 220}));
    // Selection first, then the text over it.
    EXPECT_EQ(host.strings.size(), 3u);

    // Ending at a line's end: the logical right edge when it began inside
    // that line, the line's measured end when it began earlier.
    host.clear_draws();
    host.SetSelection(7, 10);
    host.Draw(1);
    ASSERT_EQ(host.rects.size(), 1u);
    EXPECT_EQ(host.rects[0], (std::vector<float>{120, 210, 150, 220}));
    host.clear_draws();
    host.SetSelection(2, 10);
    host.Draw(1);
    ASSERT_EQ(host.rects.size(), 2u);
    EXPECT_EQ(host.rects[1], (std::vector<float>{100, 210, 150, 220}));

    // A caret at the start of a wrapped line stands at that line's left.
    host.clear_draws();
    host.caret(5);
    host.Draw(1);
    ASSERT_EQ(host.rects.size(), 1u);
    EXPECT_EQ(host.rects[0], (std::vector<float>{100, 210, 100, 220}));
    // At the end of the text: the end of the last line.
    host.clear_draws();
    host.caret(14);
    host.Draw(1);
    ASSERT_EQ(host.rects.size(), 1u);
    EXPECT_EQ(host.rects[0], (std::vector<float>{140, 200, 140, 210}));
}

// ---------------------------------------------------------------------------

// A host whose answers break the callbacks' contracts.
class Hostile : public Host {
public:
    using Host::Host;
    int mode = 0;
    float measure_value = 0;
    const char* WordBreak(const char* b, const char* e) override
    {
        switch (mode) {
        case 1: return b;        // no progress
        case 2: return nullptr;  // nowhere
        case 3: return e + 50;   // past the end
        default: return Host::WordBreak(b, e);
        }
    }
    float MeasureString(const char* b, const char* e) override
    {
        Host::MeasureString(b, e);
        return mode == 4 ? measure_value : float(e - b) * cw;
    }
    int FitStringFwd(const char* b, const char* e, float w) override
    {
        Host::FitStringFwd(b, e, w);
        return mode == 5 ? 1000 : (mode == 6 ? -7 : Host::FitStringFwd(b, e, w));
    }
};

TEST(TextEngine, NonsenseFromTheHostStaysInsideTheText)
{
    struct row {
        int mode;
        float measure, wrap, h;
    };
    const row table[] = {
        {1, 0, 30, 10},    {2, 0, 30, 10},   {3, 0, 30, 10},   {4, kNaN, 30, 10},
        {4, -5, 30, 10},   {4, 0, 30, 10},   {5, 0, 30, 10},   {6, 0, 30, 10},
        {0, 0, -40, 10},   {0, 0, kNaN, 10}, {0, 0, 30, 0},    {0, 0, 30, kNaN},
        {0, 0, 30, -10},   {4, kNaN, kNaN, 0},
    };
    for (const row& r : table) {
        Hostile host("ab cd\r\nefghijkl mn ");
        host.mode = r.mode;
        host.measure_value = r.measure;
        host.wrap = r.wrap;
        host.h = r.h;
        host.vh = 30;
        host.Repaginate();
        const std::vector<int> starts = host.lines();
        ASSERT_FALSE(starts.empty());
        for (std::size_t i = 1; i < starts.size(); ++i) EXPECT_LT(starts[i - 1], starts[i]);
        host.Click(130, 215, 0);
        host.Drag(400, 150);
        for (char c : {char(31), char(30), char(28), char(29), 'x', char(8)}) {
            host.Key(c, 1);
            host.Key(c, 0);
        }
        host.Draw(1);
        host.text.resize(3);  // the host shortens its text behind the engine's back
        host.Draw(1);
        host.Key(29, 1);
        host.RevealSelection();
        EXPECT_FALSE(host.strayed) << "mode " << r.mode << " wrap " << r.wrap << " h " << r.h;
        EXPECT_GE(host.sel_start(), 0);
        EXPECT_LE(host.sel_start(), host.sel_end());
        EXPECT_LE(host.sel_end(), int(host.text.size()));
    }
}

TEST(TextEngine, NoTextFromTheHost)
{
    struct Null : Host {
        void GetText(const char** b, const char** e) override
        {
            *b = nullptr;
            *e = nullptr;
        }
    } host;
    host.Repaginate();
    EXPECT_EQ(host.lines(), (std::vector<int>{0}));
    host.Key(29, 0);
    host.Click(120, 205, 0);
    host.Draw(1);
    EXPECT_EQ(host.sel_end(), 0);
}

// ---------------------------------------------------------------------------

// Each trampoline reaches the object given as ref, whichever subclass.
TEST(TextEngine, ObjectsKeepTheirOwnCallbacks)
{
    struct Wide : Host {
        using Host::Host;
        float MeasureString(const char* b, const char* e) override { return float(e - b) * 20; }
    };
    Host narrow("one two three", 100);
    Wide wide("one two three", 100);
    narrow.Repaginate();
    wide.Repaginate();
    EXPECT_EQ(narrow.lines(), (std::vector<int>{0, 8}));
    EXPECT_EQ(wide.lines(), (std::vector<int>{0, 4, 8}));
    narrow.caret(3);
    wide.caret(3);
    narrow.Key('!', 0);
    EXPECT_EQ(narrow.text, "one! two three");
    EXPECT_EQ(wide.text, "one two three");
    wide.Draw(1);
    EXPECT_EQ(wide.strings.size(), 1u);
    EXPECT_TRUE(narrow.strings.empty());
}

// The plain functions with a table of callbacks and a ref of the host's own.
TEST(TextEngine, PlainRecordWithACallbackTable)
{
    static std::string text;
    static int replaced;
    text = "xy";
    replaced = 0;
    OGLE_Callbacks cbs = {
        [](OGLE_Rec*, float* r) { r[0] = 0, r[1] = 0, r[2] = 100, r[3] = 10; },
        [](OGLE_Rec*, float* r) { r[0] = 0, r[1] = 0, r[2] = 100, r[3] = 10; },
        [](OGLE_Rec*, float) {},
        [](OGLE_Rec*, float*) {},
        [](OGLE_Rec*, const char** b, const char** e) {
            *b = text.data();
            *e = text.data() + text.size();
        },
        [](OGLE_Rec*, int s, int e, const char* b, const char* f) {
            ++replaced;
            text.replace(std::size_t(s), std::size_t(e - s), b ? std::string(b, f) : "");
        },
        [](OGLE_Rec*) { return 10.0f; },
        [](OGLE_Rec*, const char* b, const char* e) { return float(e - b); },
        [](OGLE_Rec*, const char*, const char*, float) { return 0; },
        [](OGLE_Rec*, const char*, const char*, float) { return 0; },
        [](OGLE_Rec*, const char*, const char*, float, float) {},
        [](OGLE_Rec*, float*) {},
        [](OGLE_Rec*, const char*, const char* e) { return e; },
    };
    int owner = 0;
    OGLE_Rec* rec = OGLE_Create(&cbs, &owner);
    cbs.ReplaceText = nullptr;  // the record holds its own copy
    EXPECT_EQ(OGLE_GetRef(rec), &owner);
    EXPECT_TRUE(rec->line_starts.empty());
    OGLE_Repaginate(rec);
    OGLE_SetSelection(rec, 2, 2);
    OGLE_Key(rec, 'z', 0);
    EXPECT_EQ(text, "xyz");
    EXPECT_EQ(replaced, 1);
    OGLE_Destroy(rec);
}

}  // namespace
