// Key vocabulary, key translation from keysyms and modifier states, and key
// bindings.
#include <gtest/gtest.h>
#include <X11/X.h>
#include <X11/keysym.h>

#include <set>
#include <string>
#include <utility>

#include "GenH/hl_types.h"
#include "OOPS_cpp/butn.h"
#include "OOPS_cpp/butn_draw.h"
#include "OOPS_cpp/keys.h"

namespace {

TEST(KeyVocabulary, TablesHaveTheirSizesAndOrder)
{
    int rows = 0;
    int previous = -1;
    for (const key_name_row* r = kKeyNameTable; r->name; ++r, ++rows) {
        EXPECT_GT(r->vkey, previous) << r->name;
        EXPECT_EQ(std::string(r->code).rfind("ZUKT_VK_", 0), 0u) << r->code;
        previous = r->vkey;
    }
    EXPECT_EQ(rows, kKeyNameRows);

    std::set<uint32_t> keysyms;
    for (const lin_mapping_row& r : kLinMappings) keysyms.insert(r.keysym);
    EXPECT_EQ(keysyms.size(), static_cast<std::size_t>(kLinMappingRows));

    // Each key and Shift state types at most one character.
    std::set<std::pair<int, int>> typed;
    int ascii_rows = 0;
    for (const ascii_row* r = kAsciiTranslations; r->ascii; ++r, ++ascii_rows)
        EXPECT_TRUE(typed.insert({r->vkey, r->shift}).second) << r->ascii;
    EXPECT_EQ(ascii_rows, kAsciiRows);
}

TEST(KeyVocabulary, Conversions)
{
    keys_class k;
    EXPECT_EQ(k.vkey_to_str(108), "<none>");
    EXPECT_EQ(k.vkey_to_code(108), "108");
    EXPECT_EQ(k.vkey_to_str(0), "<none>");
    EXPECT_EQ(k.vkey_to_code(0), "0");
    EXPECT_EQ(k.vkey_to_str(33), "PageUp");
    EXPECT_EQ(k.vkey_to_str(182), "\\");
    EXPECT_EQ(k.vkey_to_str(321), "<none>");  // 8-bit vkeys only
    EXPECT_EQ(k.vkey_to_code(112 + 23), "ZUKT_VK_F24");
    EXPECT_EQ(k.vkey_to_code(96 + 7), "ZUKT_VK_NUMPAD7");

    EXPECT_EQ(k.str_to_vkey("numpad-enter"), 188);
    EXPECT_EQ(k.str_to_vkey("NUMPAD-ENTER"), 188);
    EXPECT_EQ(k.str_to_vkey("<none>"), 0);
    EXPECT_EQ(k.str_to_vkey("ZUKT_VK_RETURN"), 0);
    EXPECT_EQ(k.str_to_vkey("f1"), 112);

    EXPECT_EQ(k.flag_to_str(0), "<none>");
    EXPECT_EQ(k.flag_to_str(8), "<none>");
    EXPECT_EQ(k.flag_to_str(7), "SHIFT+ALT+CTRL");
    EXPECT_EQ(k.flag_to_str(12), "CTRL");
    EXPECT_EQ(k.flag_to_code(6), "zukt_OptionAltFlag+zukt_ControlFlag");
    EXPECT_EQ(k.flag_to_code(0), "0");
    EXPECT_EQ(k.str_to_flag("CTRL+SHIFT"), 5);
    EXPECT_EQ(k.str_to_flag("ctrl"), 0);
    EXPECT_EQ(k.str_to_flag("SHIFT+ALT+CTRL"), 7);
}

TEST(KeyVocabulary, AsciiToVkey)
{
    keys_class k;
    struct Case {
        int ascii, found, vkey, shift;
    } cases[] = {
        {'?', 1, 184, 1}, {'a', 1, 65, 0},  {'A', 1, 65, 1},  {28, 1, 37, 0},
        {'~', 1, 186, 1}, {'`', 1, 186, 0}, {'"', 1, 180, 1}, {' ', 1, 32, 0},
        {0, 0, 0, 0},     {200, 0, 0, 0},
    };
    for (const Case& c : cases) {
        int vkey = -1, shift = -1;
        EXPECT_EQ(k.ascii_to_vkey(c.ascii, vkey, shift), c.found) << c.ascii;
        EXPECT_EQ(vkey, c.vkey) << c.ascii;
        EXPECT_EQ(shift, c.shift) << c.ascii;
    }
}

TEST(KeyTranslation, KeysymsAndModifierStates)
{
    struct Case {
        const char* what;
        uint32_t base, shifted;
        long type, state;
        int ignored, vkey, ch, flags;
    } cases[] = {
        {"Shift+A", XK_a, XK_A, KeyPress, ShiftMask, 0, 65, 'A', 9},
        {"Shift+A up", XK_a, XK_A, KeyRelease, ShiftMask, 0, 65, 'A', 17},
        {"a", XK_a, XK_A, KeyPress, 0, 0, 65, 'a', 8},
        {"Ctrl+A", XK_a, XK_A, KeyPress, ControlMask, 0, 65, 0, 12},
        {"Alt+A", XK_a, XK_A, KeyPress, Mod1Mask, 0, 65, 0, 10},
        {"Ctrl+Left", XK_Left, XK_Left, KeyPress, ControlMask, 0, 37, 28, 12},
        {"Up", XK_Up, XK_Up, KeyPress, 0, 0, 38, 30, 8},
        {"bracketleft", XK_bracketleft, XK_braceleft, KeyPress, 0, 0, 0, '[', 8},
        {"Return", XK_Return, XK_Return, KeyPress, 0, 0, 13, 13, 8},
        {"keypad Enter", XK_KP_Enter, XK_KP_Enter, KeyPress, 0, 0, 188, 0x8D, 8},
        {"keypad 5", XK_KP_5, XK_KP_5, KeyPress, ControlMask, 0, 101, '5', 12},
        {"keypad decimal", XK_KP_Decimal, XK_KP_Decimal, KeyPress, 0, 0, 110, '.', 8},
        {"Home", XK_Home, XK_Home, KeyPress, 0, 0, 36, 80, 8},
        {"Delete", XK_Delete, XK_Delete, KeyPress, 0, 0, 46, 255, 8},
        {"French 1 key", XK_ampersand, XK_1, KeyPress, 0, 0, 49, '&', 8},
        {"lock is not read", XK_a, XK_A, KeyPress, LockMask, 0, 65, 'a', 8},
        {"Caps_Lock", XK_Caps_Lock, XK_Caps_Lock, KeyPress, 0, 1, 0, 0, 0},
        {"Num_Lock", XK_Num_Lock, XK_Num_Lock, KeyRelease, 0, 1, 0, 0, 0},
        {"Control_L", XK_Control_L, XK_Control_L, KeyPress, ControlMask, 1, 0, 0, 0},
        {"Control_R is a key", XK_Control_R, XK_Control_R, KeyPress, 0, 0, 0, 0xE4, 8},
        {"no shifted symbol", XK_F5, NoSymbol, KeyPress, ShiftMask, 0, 116, 0, 9},
    };
    for (const Case& c : cases) {
        const key_event k = keys_translate(c.base, c.shifted, c.type, c.state);
        EXPECT_EQ(k.ignored, c.ignored) << c.what;
        if (c.ignored) continue;
        EXPECT_EQ(k.vkey, c.vkey) << c.what;
        EXPECT_EQ(k.ch, c.ch) << c.what;
        EXPECT_EQ(k.flags, c.flags) << c.what;
    }
}

// Key effects on the window and input state, with the widget set's drawing
// recorded instead of drawn.
class KeyEffects : public ::testing::Test {
protected:
    void SetUp() override
    {
        btn_draw_log = &ops;
        mnw = mnw_class{};
        mnw.screen_w = 1024;
        mnw.screen_h = 768;
        mnw.open_menu = -1;
        return_hit = escape_hit = delete_hit = 0;
        k.bindings.clear();
        k.last_vkey = k.last_flags = 0;
        BTN_begin_focus_ring();
        BTN_unfocus_any();
    }
    void TearDown() override { btn_draw_log = nullptr; }

    void press(uint32_t sym, long state = 0)
    {
        k.handle_translated(keys_translate(sym, sym, KeyPress, state));
    }
    void release(uint32_t sym, long state = 0)
    {
        k.handle_translated(keys_translate(sym, sym, KeyRelease, state));
    }

    keys_class k;
    std::vector<btn_draw_op> ops;
};

TEST_F(KeyEffects, HitFlagsAndTypedCharacter)
{
    press(XK_Return);
    EXPECT_EQ(return_hit, 1);
    EXPECT_EQ(mnw.typed_char, 13);
    EXPECT_EQ(k.last_vkey, 13);

    return_hit = 0;
    press(XK_KP_Enter);
    EXPECT_EQ(return_hit, 0);
    EXPECT_EQ(escape_hit, 0);
    EXPECT_EQ(k.last_vkey, 188);

    press(XK_Escape);
    EXPECT_EQ(escape_hit, 1);
    press(XK_BackSpace);
    EXPECT_EQ(delete_hit, 1);
    delete_hit = 0;
    press(XK_Delete);
    EXPECT_EQ(delete_hit, 1);

    // A release sets no flag and no character; the last key keeps modifiers only.
    return_hit = escape_hit = delete_hit = 0;
    mnw.typed_char = 0;
    release(XK_Return, ShiftMask);
    EXPECT_EQ(return_hit, 0);
    EXPECT_EQ(mnw.typed_char, 0);
    EXPECT_EQ(k.last_flags, zukt_ShiftFlag);

    // A key no table knows still types its character.
    press(XK_bracketleft);
    EXPECT_EQ(mnw.typed_char, '[');
    EXPECT_EQ(k.last_vkey, 0);
}

TEST_F(KeyEffects, ReturnClosesApplicationDialogsOnly)
{
    MACIBM_startwind(wind_prefs);
    mnw.typed_char = 0;
    press(XK_Return);
    EXPECT_EQ(mnw.wind, wind_main);
    EXPECT_EQ(return_hit, 0);  // used up by the close
    EXPECT_EQ(mnw.typed_char, 0);
    EXPECT_EQ(k.last_vkey, 0);

    // In the alert Return stays for the window's own loop; a second key of
    // the same frame also goes to the click handler.
    MACIBM_startwind(wind_alert);
    press(XK_Return);
    EXPECT_EQ(mnw.wind, wind_alert);
    EXPECT_EQ(return_hit, 1);
    press(XK_x);
    EXPECT_EQ(mnw.typed_char, 0);
    EXPECT_EQ(k.last_vkey, 0);
}

TEST_F(KeyEffects, FocusedWidgetTakesKeysFirst)
{
    int chars[4] = {}, vkeys[4] = {}, flags[4] = {}, ids[4] = {}, count = 0;
    BTN_register_focus(77, chars, vkeys, flags, ids, &count, 4, 2 | 32, 1);
    MACIBM_startwind(wind_main);  // startwind drops the focus...
    BTN_begin_focus_ring();
    BTN_register_focus(77, chars, vkeys, flags, ids, &count, 4, 2 | 32, 1);  // ...take it again
    press(XK_Return);
    EXPECT_EQ(count, 1);
    EXPECT_EQ(vkeys[0], 13);
    EXPECT_EQ(return_hit, 0);
    EXPECT_EQ(mnw.typed_char, 0);
}

TEST_F(KeyEffects, BindingsNeedExactModifiersOnPressAndAnyOnRelease)
{
    k.bindings = {{65, 0, 1, 0}, {65, zukt_ControlFlag, 2, 0}, {66, zukt_ShiftFlag, 3, 0}};

    press(XK_a, ControlMask);
    EXPECT_EQ(k.bindings[0].held, 0);
    EXPECT_EQ(k.bindings[1].held, 1);
    press(XK_a);
    EXPECT_EQ(k.bindings[0].held, 1);
    release(XK_a, ShiftMask);  // whatever is down, the release ends both
    EXPECT_EQ(k.bindings[0].held, 0);
    EXPECT_EQ(k.bindings[1].held, 0);

    press(XK_b, ShiftMask | ControlMask);
    EXPECT_EQ(k.bindings[2].held, 0);
    press(XK_b, ShiftMask);
    EXPECT_EQ(k.bindings[2].held, 1);
    release(XK_b);  // Shift let go first
    EXPECT_EQ(k.bindings[2].held, 0);

    // Keys off: only Return and Enter reach the bindings.
    k.bindings = {{65, 0, 1, 0}, {13, 0, 2, 0}};
    mnw.keys_off = 1;
    press(XK_a);
    press(XK_Return);
    EXPECT_EQ(k.bindings[0].held, 0);
    EXPECT_EQ(k.bindings[1].held, 1);
    mnw.keys_off = 0;

    // In the save dialog keys neither fire nor release bindings.
    k.bindings = {{65, 0, 1, 1}};
    mnw.wind = wind_save;
    release(XK_a);
    EXPECT_EQ(k.bindings[0].held, 1);
    EXPECT_EQ(k.last_vkey, 65);
}

TEST_F(KeyEffects, BindingQueriesAndReset)
{
    k.bindings = {{33, 0, 4, 0}, {108, 0, 5, 0}, {65, 5, 6, 0}, {112, 5, 7, 0}, {65, 0, 8, 0}};
    EXPECT_EQ(k.get_key_for_cmnd(4), "pageUp");
    EXPECT_EQ(k.get_key_for_cmnd(5), "<none>");
    EXPECT_EQ(k.get_key_for_cmnd(6), "SHIFT+CTRL-a");
    EXPECT_EQ(k.get_key_for_cmnd(7), "SHIFT+CTRL-f1");
    EXPECT_EQ(k.get_key_for_cmnd(99), "");
    EXPECT_EQ(k.key_bound_to(65, 5), 6);
    EXPECT_EQ(k.key_bound_to(65, 0), 8);
    EXPECT_EQ(k.key_bound_to(65, 1), 0);
    EXPECT_EQ(k.key_bound_to(65, 13), 0);

    k.keys_io(1);
    EXPECT_EQ(k.bindings.size(), 5u);
    k.keys_io(0);
    ASSERT_EQ(k.bindings.size(), 1u);
    EXPECT_EQ(k.bindings[0].vkey, 0);
    EXPECT_EQ(k.bindings[0].flags, 0);
    EXPECT_EQ(k.bindings[0].cmnd, 0);
    k.bindings.clear();
    k.keys_io(0);
    EXPECT_EQ(k.bindings.size(), 1u);

    // Held bindings fire again every frame (the hooks are empty; held stays).
    k.bindings[0].held = 1;
    k.run_repeat_keys();
    EXPECT_EQ(k.bindings[0].held, 1);
}

}  // namespace
