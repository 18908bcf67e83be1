// The text field without a display: its engine callbacks, focus, keys from
// the focus ring, the length limit, drawing, and the buffer form's copy-back.
#include <gtest/gtest.h>

#include <csignal>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "OOPS_cpp/butn.h"
#include "OOPS_cpp/colr.h"
#include "OOPS_cpp/ogle.h"
#include "OOPS_cpp/oglp_layout.h"
#include "support/draw_log.h"
#include "support/test_util.h"

namespace {

constexpr int kDown = 8, kUp = 16, kShift = 1;

// Key codes as the keyboard handler delivers them: character, virtual key.
struct key {
    int c, vkey;
};
constexpr key kBack{8, 8}, kLeft{28, 37}, kRight{29, 39}, kUpArrow{30, 38}, kDownArrow{31, 40},
    kDelete{0xFF, 46}, kHome{0x50, 36}, kEnd{0x57, 35}, kPageUp{0x55, 33}, kPageDown{0x56, 34},
    kReturn{13, 13}, kEscape{27, 27}, kTab{9, 9};
key ch(char c)
{
    if (c >= 'a' && c <= 'z') return {c, c - 32};
    if ((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) return {c, c};
    return {c, 180};  // punctuation comes with the framework's own codes
}

class TextField : public brx_test::DrawLogTest {
protected:
    void SetUp() override
    {
        DrawLogTest::SetUp();
        // The one engine record last served a field of no test, so every
        // field here gets the focus afresh.
        BTN_unfocus_any();
        BTN_begin_focus_ring();
        std::string other;
        BTN_enterstring(3, 3, &other, 10, "", 10, 1);
        BTN_unfocus_any();
        BTN_begin_focus_ring();
        ops.clear();
    }
    void TearDown() override
    {
        BTN_unfocus_any();
        BTN_begin_focus_ring();
        DrawLogTest::TearDown();
    }
    // The start of a frame: the focus ring is emptied, a mouse press drops the
    // focus (as the frame timer does).
    void frame()
    {
        BTN_begin_focus_ring();
        if (mnw.clicked) BTN_unfocus_any();
        ops.clear();
    }
    void end_frame() { mnw.clicked = 0; }
    int type(key k, int flags = kDown) { return BTN_dispatch_to_focus(k.c, k.vkey, flags); }
    void type_text(const std::string& s)
    {
        for (char c : s) type(ch(c));
    }
    // One frame drawing one field; returns what the field returned.
    int draw(float x, float y, std::string* text, int max = 100, int grab = 0, float width = 120)
    {
        frame();
        const int r = BTN_enterstring(x, y, text, max, "Host:|", width, grab);
        end_frame();
        return r;
    }
    // The x of position p in a field at x0 showing `text` unscrolled.
    static float x_at(float x0, const std::string& text, std::size_t p)
    {
        return x0 + OGL_string_width(text.substr(0, p));
    }
};

TEST_F(TextField, CallbacksOfTheEngine)
{
    OGLE_x = 100;
    OGLE_y = 50;
    OGLE_entry_dx = 80;
    OGLE_dx = 5;
    OGLE_dy = 0;
    float r[4];
    OGLE_GetVisibleBounds(nullptr, r);
    EXPECT_EQ(std::vector<float>(r, r + 4), (std::vector<float>{100, 48, 180, 59}));
    OGLE_GetLogicalBounds(nullptr, r);
    EXPECT_EQ(std::vector<float>(r, r + 4), (std::vector<float>{95, 48, 1199, 59}));
    float to[2] = {12, -3};
    OGLE_ScrollTo(nullptr, to);
    EXPECT_EQ(OGLE_dx, 12);
    EXPECT_EQ(OGLE_dy, -3);
    EXPECT_EQ(OGLE_GetLineHeight(nullptr), 11.0f);

    const std::string s = "tb J";
    const char *b = s.data(), *e = b + s.size();
    EXPECT_EQ(OGLE_MeasureString(nullptr, b, b), 0.0f);
    EXPECT_EQ(OGLE_MeasureString(nullptr, b, e), OGL_string_width(s));
    const float t = OGL_char_width('t');
    struct row {
        float room;
        int fwd;
    };
    // The character that uses up the room counts; the last one unmeasured.
    const row fwd[] = {{0, 0}, {-1, 0}, {std::numeric_limits<float>::quiet_NaN(), 0}, {0.5f, 1},
                       {t, 1}, {t + 0.5f, 2}, {1000, 4}};
    for (const row& f : fwd) EXPECT_EQ(OGLE_FitStringFwd(nullptr, b, e, f.room), f.fwd) << f.room;
    EXPECT_EQ(OGLE_FitStringRev(nullptr, b, b, 10), 0);
    EXPECT_EQ(OGLE_FitStringRev(nullptr, b, e, 0), 1);  // at least one
    EXPECT_EQ(OGLE_FitStringRev(nullptr, b, e, 1000), 4);
    EXPECT_EQ(OGLE_FitStringRev(nullptr, b, e, OGL_char_width('J') + 0.5f), 2);

    const std::string w = "  ab\tcd ";
    EXPECT_EQ(OGLE_WordBreak(nullptr, w.data(), w.data() + w.size()), w.data() + 4);
    EXPECT_EQ(OGLE_WordBreak(nullptr, w.data() + 7, w.data() + 8), w.data() + 8);  // only white space
    EXPECT_EQ(OGLE_WordBreak(nullptr, b, b), b);

    std::string text = "abcdef";
    OGLE_input = &text;
    OGLE_edit = 0;
    const std::string ins = "XY";
    OGLE_ReplaceTextFunc(nullptr, 1, 3, ins.data(), ins.data() + 2);
    EXPECT_EQ(text, "aXYdef");
    EXPECT_EQ(OGLE_edit, 1);
    OGLE_ReplaceTextFunc(nullptr, 4, 99, nullptr, nullptr);
    EXPECT_EQ(text, "aXYd");
    OGLE_input = nullptr;
}

TEST_F(TextField, GrabbedFieldSelectsAllAndTypingReplacesIt)
{
    std::string host = "proxy.example";
    EXPECT_EQ(draw(100, 300, &host, 100, 1), 0);
    type_text("cache");
    EXPECT_EQ(draw(100, 300, &host, 100, 1), 1);
    EXPECT_EQ(host, "cache");
    EXPECT_EQ(draw(100, 300, &host, 100, 1), 0);  // nothing new
}

TEST_F(TextField, ClickPlacesTheCaret)
{
    std::string text = "abcdef";
    draw(110, 320, &text);  // not focused: drawn plainly
    const auto plain = of(btn_draw_op::text);
    ASSERT_EQ(plain.size(), 2u);  // the caption, then the text
    EXPECT_EQ(plain[1].str, "abcdef");

    // On a character boundary: before 'd'; inside 'd': after it.
    click(x_at(110, text, 3), 323);
    draw(110, 320, &text);
    type(ch('x'));
    draw(110, 320, &text);
    EXPECT_EQ(text, "abcxdef");
    click(x_at(110, text, 5) + 1, 321);
    draw(110, 320, &text);
    type(ch('y'));
    draw(110, 320, &text);
    EXPECT_EQ(text, "abcxdeyf");
}

TEST_F(TextField, EditingKeys)
{
    struct row {
        std::vector<key> keys;
        int shift;
        const char* want;
    };
    // The field starts "hello" with the caret after "hel".
    const row table[] = {
        {{kBack}, 0, "helo"},
        {{kLeft, kLeft, ch('X')}, 0, "hXello"},
        {{kRight, ch('X')}, 0, "hellXo"},
        {{kDelete}, 0, "helo"},
        {{kEnd, kDelete, ch('!')}, 0, "hello!"},  // Delete at the end: nothing
        {{kHome, ch('>')}, 0, ">hello"},
        {{kEnd, ch('<')}, 0, "hello<"},
        {{kPageUp, kPageDown, ch('.')}, 0, "hel.lo"},  // page keys do nothing
        {{kUpArrow, ch('^')}, 0, "^hello"},
        {{kDownArrow, ch('v')}, 0, "hellov"},
        {{kLeft, kLeft}, kShift, "hlo"},      // Shift+Left twice selects "el"
        {{kRight, kDelete}, kShift, "helo"},  // Delete takes the selection
        {{kEscape, kReturn, kTab}, 0, "hello"},
    };
    int n = 0;
    for (const row& r : table) {
        // A field of its own each time, so that each starts with its focus.
        const float y = 400 + 20 * float(n++);
        std::string text = "hello";
        click(x_at(50, text, 3), y + 2);
        draw(50, y, &text);
        for (const key& k : r.keys) type(k, kDown | r.shift);
        if (r.shift && r.keys[0].vkey == kLeft.vkey) type(kBack);
        draw(50, y, &text);
        EXPECT_EQ(text, r.want) << "row " << n;
    }
}

TEST_F(TextField, ReturnEscapeAndTabAreLeftToTheWindow)
{
    std::string a = "one", b = "two";
    frame();
    BTN_enterstring(40, 500, &a, 20, "", 80, 1);
    BTN_enterstring(40, 480, &b, 20, "", 80, 1);
    end_frame();
    EXPECT_EQ(type(kReturn), 0);
    EXPECT_EQ(type(kEscape), 0);
    EXPECT_EQ(type(kTab), 1);  // taken by the focus ring, not the field
    type_text("z");
    frame();
    BTN_enterstring(40, 500, &a, 20, "", 80, 1);
    BTN_enterstring(40, 480, &b, 20, "", 80, 1);
    end_frame();
    EXPECT_EQ(a, "one");
    EXPECT_EQ(b, "z");  // Tab selected all of the second field
}

TEST_F(TextField, TwoGrabbingFieldsFocusTheFirstDrawn)
{
    std::string host = "h", port = "8080";
    auto pass = [&] {
        frame();
        BTN_enterstring(150, 600, &host, 40, "Proxy:|", 200, 1);
        BTN_enterstring(150, 570, &port, 5, "Port:|", 60, 1);
        end_frame();
    };
    pass();
    type_text("x");
    pass();
    EXPECT_EQ(host, "x");
    EXPECT_EQ(port, "8080");
    // A click into the second: the first grabs again while drawn, the second
    // takes the focus over, with the caret at the click.
    click(x_at(150, port, 2), 571);
    pass();
    type_text("9");
    pass();
    EXPECT_EQ(port, "80980");
    EXPECT_EQ(host, "x");
}

TEST_F(TextField, EditsAreCutToMaxInTheSameFrame)
{
    std::string text = "abcd";
    click(x_at(60, text, 2), 702);
    draw(60, 700, &text, 4);
    type(ch('X'));
    EXPECT_EQ(draw(60, 700, &text, 4), 1);
    EXPECT_EQ(text, "abXc");  // the last character is lost

    // Longer than max on arrival: kept until edited.
    std::string long_text = "0123456789";
    click(x_at(60, long_text, 10), 682);
    EXPECT_EQ(draw(60, 680, &long_text, 4), 0);
    EXPECT_EQ(long_text, "0123456789");
    type(kLeft);
    draw(60, 680, &long_text, 4);
    EXPECT_EQ(long_text, "0123456789");  // a move is no edit
    type(ch('!'));
    EXPECT_EQ(draw(60, 680, &long_text, 4), 1);
    EXPECT_EQ(long_text, "0123");
}

TEST_F(TextField, ReleasesAreDroppedAndTheQueueIsBounded)
{
    std::string text;
    click(62, 652);
    draw(60, 650, &text, 1000);
    type(ch('a'), kUp);
    type(ch('a'));
    type(ch('a'), kUp);
    type(ch('b'));
    draw(60, 650, &text, 1000);
    EXPECT_EQ(text, "ab");

    for (int i = 0; i < 100; ++i) type(ch('c'));
    draw(60, 650, &text, 1000);
    EXPECT_EQ(text, "ab" + std::string(64, 'c'));
}

TEST_F(TextField, KeysQueuedBeforeTheFocusMovedStayWithTheirField)
{
    std::string a = "aa", b = "bb";
    auto pass = [&](bool b_first) {
        frame();
        if (b_first) BTN_enterstring(300, 200, &b, 20, "", 80, 0);
        BTN_enterstring(300, 230, &a, 20, "", 80, 0);
        if (!b_first) BTN_enterstring(300, 200, &b, 20, "", 80, 0);
        end_frame();
    };
    click(x_at(300, a, 2), 232);
    pass(false);
    type_text("1");
    // A keeps its keys when it is drawn first in the frame that moves the focus.
    click(x_at(300, b, 2), 202);
    pass(false);
    EXPECT_EQ(a, "aa1");
    EXPECT_EQ(b, "bb");

    // Keys for B, then a click into A with A drawn after B: B still takes them.
    type_text("2");
    click(x_at(300, a, 3), 232);
    pass(true);
    EXPECT_EQ(b, "bb2");
    // Keys for A, then a click into B drawn first: B's text must not get them.
    type_text("3");
    click(x_at(300, b, 3), 202);
    pass(true);
    EXPECT_EQ(b, "bb2");
    EXPECT_EQ(a, "aa1");
}

TEST_F(TextField, DrawsFrameCaptionsClipAndCaret)
{
    std::string text = "ab";
    click(x_at(20, text, 2), 102);
    frame();
    BTN_enterstring(20, 100, &text, 10, "Left|Right", 90, 0);
    end_frame();

    ASSERT_FALSE(ops.empty());
    const auto pieces = of(btn_draw_op::piece);
    ASSERT_FALSE(pieces.empty());
    const auto texts = of(btn_draw_op::text);
    ASSERT_EQ(texts.size(), 3u);
    EXPECT_EQ(texts[0].str, "Left");
    EXPECT_FLOAT_EQ(texts[0].v[0], 8);
    EXPECT_EQ(texts[1].str, "Right");
    EXPECT_FLOAT_EQ(texts[1].v[0], 116);
    EXPECT_EQ(texts[2].str, "ab");
    EXPECT_EQ(texts[2].col, 45);
    EXPECT_EQ(texts[2].font, 100);
    EXPECT_EQ(texts[2].v, (std::vector<float>{20, 100}));
    const auto clip = of(btn_draw_op::scissors);
    ASSERT_EQ(clip.size(), 1u);
    EXPECT_EQ(clip[0].v, (std::vector<float>{19, 97, 92, 11}));
    EXPECT_EQ(of(btn_draw_op::scissors_end).size(), 1u);
    const auto caret = of(btn_draw_op::line);
    ASSERT_EQ(caret.size(), 1u);
    const float x = x_at(20, text, 2);
    EXPECT_EQ(caret[0].v, (std::vector<float>{x, 98, x, 109}));
    EXPECT_EQ(caret[0].col, 45);
    EXPECT_EQ(caret[0].alpha, colr.pulse);

    // A selection is a highlight in colour 8 under the text.
    type(kLeft, kDown | kShift);
    frame();
    BTN_enterstring(20, 100, &text, 10, "Left|Right", 90, 0);
    end_frame();
    const auto rects = of(btn_draw_op::fillrect);
    ASSERT_EQ(rects.size(), 1u);
    EXPECT_EQ(rects[0].col, 8);
    EXPECT_FLOAT_EQ(rects[0].v[0], x_at(20, text, 1));
    // It ends at the line's end, so it reaches the text area's right edge,
    // which the clip box cuts at the field's.
    EXPECT_FLOAT_EQ(rects[0].v[0] + rects[0].v[2], 20 + 90 + 1024);
    EXPECT_TRUE(of(btn_draw_op::line).empty());
}

TEST_F(TextField, LongTextScrollsToTheCaret)
{
    std::string text(60, 'm');
    click(31, 142);
    draw(30, 140, &text, 100, 0, 50);
    type(kEnd);
    draw(30, 140, &text, 100, 0, 50);
    const float full = OGL_string_width(text);
    EXPECT_FLOAT_EQ(OGLE_dx, full - 50);  // the caret on the field's right edge
    const auto texts = of(btn_draw_op::text);
    ASSERT_FALSE(texts.empty());
    EXPECT_FLOAT_EQ(texts.back().v[0], 30 - (full - 50));
}

TEST_F(TextField, ItemCallbacks)
{
    std::vector<std::string> names = {"a", "bee"};
    std::vector<int> kinds = {1, 19};
    EXPECT_EQ(BTN_name_from_vector(1, &names), "bee");
    EXPECT_EQ(BTN_type_from_vector(1, &kinds), 19);
}

// ---------------------------------------------------------------------------

TEST_F(TextField, BufferFormCopiesBackWithinItsLimits)
{
    // An edit: the buffer of max_len + 1 bytes holds the cut text, and the
    // byte after it is never written.
    char buf[8 + 1 + 1];
    std::memset(buf, '#', sizeof buf);
    std::strcpy(buf, "abcdefgh");
    click(x_at(40, "abcdefgh", 8), 62);
    frame();
    EXPECT_EQ(BTN_enterstring(40, 60, buf, 8, "", 120, 0), 0);
    end_frame();
    EXPECT_STREQ(buf, "abcdefgh");
    type(ch('i'));
    frame();
    EXPECT_EQ(BTN_enterstring(40, 60, buf, 8, "", 120, 0), 1);
    end_frame();
    EXPECT_STREQ(buf, "abcdefgh");
    EXPECT_EQ(buf[9], '#');
    type(kBack);
    frame();
    EXPECT_EQ(BTN_enterstring(40, 60, buf, 8, "", 120, 0), 1);
    end_frame();
    EXPECT_STREQ(buf, "abcdefg");

    // Empty: one NUL.
    char empty[4] = {0, '#', '#', '#'};
    frame();
    EXPECT_EQ(BTN_enterstring(40, 30, empty, 3, "", 120, 0), 0);
    end_frame();
    EXPECT_EQ(empty[0], 0);
    EXPECT_EQ(empty[1], '#');

    // Longer than max_len and not edited: whole.
    char longer[16] = "0123456789";
    frame();
    EXPECT_EQ(BTN_enterstring(40, 10, longer, 4, "", 120, 0), 0);
    end_frame();
    EXPECT_STREQ(longer, "0123456789");

    // 499 characters come back unchanged.
    std::vector<char> big(500, 'q');
    big[499] = 0;
    frame();
    BTN_enterstring(600, 10, big.data(), 600, "", 120, 0);
    end_frame();
    EXPECT_EQ(std::strlen(big.data()), 499u);
}

TEST_F(TextField, BufferFormRefusesTooLongTexts)
{
    brx_test::TempDir dir;
    // 500 characters, and a buffer with no terminator: refused, read no
    // further than the 500 bytes the form can hold, nothing written.
    for (int size : {501, 500}) {
        auto r = brx_test::run_in_child(
            [&] {
                btn_draw_log = &ops;
                std::vector<char> buf(std::size_t(size), 'z');
                if (size == 501) buf[500] = 0;
                BTN_enterstring(600, 40, buf.data(), 10, "", 120, 0);
                printf("RETURNED\n");
            },
            dir.path());
        EXPECT_NE(r.exit_code, 0) << size;
        EXPECT_TRUE(brx_test::contains(r.out, "String too long!")) << r.out;
        EXPECT_FALSE(brx_test::contains(r.out, "RETURNED"));
    }
}

}  // namespace
