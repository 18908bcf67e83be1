#include "OOPS_cpp/keys.h"

#include <X11/XKBlib.h>
#include <X11/keysym.h>

#include <cctype>

#include "GenH/hl_types.h"
#include "OOPS_cpp/butn.h"
#include "OOPS_cpp/cmnd.h"

keys_class keys;

// ---------------------------------------------------------------------------
// The vocabulary.

const key_name_row kKeyNameTable[kKeyNameRows + 1] = {
    {8, "ZUKT_VK_BACK", "Backspace"},
    {9, "ZUKT_VK_TAB", "Tab"},
    {12, "ZUKT_VK_CLEAR", "Clear"},
    {13, "ZUKT_VK_RETURN", "Return"},
    {27, "ZUKT_VK_ESCAPE", "Escape"},
    {32, "ZUKT_VK_SPACE", "Space"},
    {33, "ZUKT_VK_PRIOR", "PageUp"},
    {34, "ZUKT_VK_NEXT", "PageDown"},
    {35, "ZUKT_VK_END", "End"},
    {36, "ZUKT_VK_HOME", "Home"},
    {37, "ZUKT_VK_LEFT", "Left"},
    {38, "ZUKT_VK_UP", "Up"},
    {39, "ZUKT_VK_RIGHT", "Right"},
    {40, "ZUKT_VK_DOWN", "Down"},
    {41, "ZUKT_VK_SELECT", "Select"},
    {42, "ZUKT_VK_PRINT", "Print"},
    {43, "ZUKT_VK_EXECUTE", "Execute"},
    {44, "ZUKT_VK_SNAPSHOT", "Snapshot"},
    {45, "ZUKT_VK_INSERT", "Insert"},
    {46, "ZUKT_VK_DELETE", "Delete"},
    {47, "ZUKT_VK_HELP", "Help"},
    {48, "ZUKT_VK_0", "0"},
    {49, "ZUKT_VK_1", "1"},
    {50, "ZUKT_VK_2", "2"},
    {51, "ZUKT_VK_3", "3"},
    {52, "ZUKT_VK_4", "4"},
    {53, "ZUKT_VK_5", "5"},
    {54, "ZUKT_VK_6", "6"},
    {55, "ZUKT_VK_7", "7"},
    {56, "ZUKT_VK_8", "8"},
    {57, "ZUKT_VK_9", "9"},
    {65, "ZUKT_VK_A", "A"},
    {66, "ZUKT_VK_B", "B"},
    {67, "ZUKT_VK_C", "C"},
    {68, "ZUKT_VK_D", "D"},
    {69, "ZUKT_VK_E", "E"},
    {70, "ZUKT_VK_F", "F"},
    {71, "ZUKT_VK_G", "G"},
    {72, "ZUKT_VK_H", "H"},
    {73, "ZUKT_VK_I", "I"},
    {74, "ZUKT_VK_J", "J"},
    {75, "ZUKT_VK_K", "K"},
    {76, "ZUKT_VK_L", "L"},
    {77, "ZUKT_VK_M", "M"},
    {78, "ZUKT_VK_N", "N"},
    {79, "ZUKT_VK_O", "O"},
    {80, "ZUKT_VK_P", "P"},
    {81, "ZUKT_VK_Q", "Q"},
    {82, "ZUKT_VK_R", "R"},
    {83, "ZUKT_VK_S", "S"},
    {84, "ZUKT_VK_T", "T"},
    {85, "ZUKT_VK_U", "U"},
    {86, "ZUKT_VK_V", "V"},
    {87, "ZUKT_VK_W", "W"},
    {88, "ZUKT_VK_X", "X"},
    {89, "ZUKT_VK_Y", "Y"},
    {90, "ZUKT_VK_Z", "Z"},
    {96, "ZUKT_VK_NUMPAD0", "Numpad-0"},
    {97, "ZUKT_VK_NUMPAD1", "Numpad-1"},
    {98, "ZUKT_VK_NUMPAD2", "Numpad-2"},
    {99, "ZUKT_VK_NUMPAD3", "Numpad-3"},
    {100, "ZUKT_VK_NUMPAD4", "Numpad-4"},
    {101, "ZUKT_VK_NUMPAD5", "Numpad-5"},
    {102, "ZUKT_VK_NUMPAD6", "Numpad-6"},
    {103, "ZUKT_VK_NUMPAD7", "Numpad-7"},
    {104, "ZUKT_VK_NUMPAD8", "Numpad-8"},
    {105, "ZUKT_VK_NUMPAD9", "Numpad-9"},
    {106, "ZUKT_VK_MULTIPLY", "Numpad-*"},
    {107, "ZUKT_VK_ADD", "Numpad-+"},
    {109, "ZUKT_VK_SUBTRACT", "Numpad--"},
    {110, "ZUKT_VK_DECIMAL", "Numpad-."},
    {111, "ZUKT_VK_DIVIDE", "Numpad-/"},
    {112, "ZUKT_VK_F1", "F1"},
    {113, "ZUKT_VK_F2", "F2"},
    {114, "ZUKT_VK_F3", "F3"},
    {115, "ZUKT_VK_F4", "F4"},
    {116, "ZUKT_VK_F5", "F5"},
    {117, "ZUKT_VK_F6", "F6"},
    {118, "ZUKT_VK_F7", "F7"},
    {119, "ZUKT_VK_F8", "F8"},
    {120, "ZUKT_VK_F9", "F9"},
    {121, "ZUKT_VK_F10", "F10"},
    {122, "ZUKT_VK_F11", "F11"},
    {123, "ZUKT_VK_F12", "F12"},
    {124, "ZUKT_VK_F13", "F13"},
    {125, "ZUKT_VK_F14", "F14"},
    {126, "ZUKT_VK_F15", "F15"},
    {127, "ZUKT_VK_F16", "F16"},
    {128, "ZUKT_VK_F17", "F17"},
    {129, "ZUKT_VK_F18", "F18"},
    {130, "ZUKT_VK_F19", "F19"},
    {131, "ZUKT_VK_F20", "F20"},
    {132, "ZUKT_VK_F21", "F21"},
    {133, "ZUKT_VK_F22", "F22"},
    {134, "ZUKT_VK_F23", "F23"},
    {135, "ZUKT_VK_F24", "F24"},
    {176, "ZUKT_VK_EQUAL", "="},
    {177, "ZUKT_VK_MINUS", "-"},
    {178, "ZUKT_VK_RBRACE", "]"},
    {179, "ZUKT_VK_LBRACE", "["},
    {180, "ZUKT_VK_QUOTE", "'"},
    {181, "ZUKT_VK_SEMICOLON", ";"},
    {182, "ZUKT_VK_BACKSLASH", "\\"},
    {183, "ZUKT_VK_COMMA", ","},
    {184, "ZUKT_VK_SLASH", "/"},
    {185, "ZUKT_VK_PERIOD", "."},
    {186, "ZUKT_VK_BACKQUOTE", "`"},
    {187, "ZUKT_VK_ENTER", "Enter"},
    {188, "ZUKT_VK_NUMPAD_ENT", "Numpad-Enter"},
    {189, "ZUKT_VK_NUMPAD_EQ", "Numpad-="},
    {0, nullptr, nullptr},
};

const lin_mapping_row kLinMappings[kLinMappingRows] = {
    {0xFF08, 8}, {0xFF09, 9}, {0xFF0B, 12}, {0xFF0D, 13}, {0xFF1B, 27}, {0x20, 32}, {0xFF55, 33},
    {0xFF56, 34}, {0xFF57, 35}, {0xFF50, 36}, {0xFF51, 37}, {0xFF52, 38}, {0xFF53, 39},
    {0xFF54, 40}, {0xFF60, 41}, {0xFF61, 42}, {0xFF62, 43}, {0xFF63, 45}, {0xFFFF, 46},
    {0xFF6A, 47}, {0x30, 48}, {0x31, 49}, {0x32, 50}, {0x33, 51}, {0x34, 52}, {0x35, 53},
    {0x36, 54}, {0x37, 55}, {0x38, 56}, {0x39, 57}, {0x61, 65}, {0x62, 66}, {0x63, 67}, {0x64, 68},
    {0x65, 69}, {0x66, 70}, {0x67, 71}, {0x68, 72}, {0x69, 73}, {0x6A, 74}, {0x6B, 75}, {0x6C, 76},
    {0x6D, 77}, {0x6E, 78}, {0x6F, 79}, {0x70, 80}, {0x71, 81}, {0x72, 82}, {0x73, 83}, {0x74, 84},
    {0x75, 85}, {0x76, 86}, {0x77, 87}, {0x78, 88}, {0x79, 89}, {0x7A, 90}, {0xFFB0, 96},
    {0xFFB1, 97}, {0xFFB2, 98}, {0xFFB3, 99}, {0xFFB4, 100}, {0xFFB5, 101}, {0xFFB6, 102},
    {0xFFB7, 103}, {0xFFB8, 104}, {0xFFB9, 105}, {0xFFAA, 106}, {0xFFAB, 107}, {0xFFAC, 108},
    {0xFFAD, 109}, {0xFFAE, 110}, {0xFFAF, 111}, {0xFFBE, 112}, {0xFFBF, 113}, {0xFFC0, 114},
    {0xFFC1, 115}, {0xFFC2, 116}, {0xFFC3, 117}, {0xFFC4, 118}, {0xFFC5, 119}, {0xFFC6, 120},
    {0xFFC7, 121}, {0xFFC8, 122}, {0xFFC9, 123}, {0xFFCA, 124}, {0xFFCB, 125}, {0xFFCC, 126},
    {0xFFCD, 127}, {0xFFCE, 128}, {0xFFCF, 129}, {0xFFD0, 130}, {0xFFD1, 131}, {0xFFD2, 132},
    {0xFFD3, 133}, {0xFFD4, 134}, {0xFFD5, 135}, {0x3D, 176}, {0x2D, 177}, {0x7D, 178}, {0x7B, 179},
    {0x27, 180}, {0x3B, 181}, {0x5C, 182}, {0x2C, 183}, {0x2F, 184}, {0x2E, 185}, {0x60, 186},
    {0xFF8D, 188}, {0xFFBD, 189},
};

const ascii_row kAsciiTranslations[kAsciiRows + 1] = {
    {13, 13, 0}, {27, 27, 0}, {9, 9, 0}, {8, 8, 0}, {28, 37, 0}, {29, 39, 0}, {30, 38, 0},
    {31, 40, 0}, {32, 32, 0}, {33, 49, 1}, {34, 180, 1}, {35, 51, 1}, {36, 52, 1}, {37, 53, 1},
    {38, 55, 1}, {39, 180, 0}, {40, 57, 1}, {41, 48, 1}, {42, 56, 1}, {43, 176, 1}, {44, 183, 0},
    {45, 177, 0}, {46, 185, 0}, {47, 184, 0}, {48, 48, 0}, {49, 49, 0}, {50, 50, 0}, {51, 51, 0},
    {52, 52, 0}, {53, 53, 0}, {54, 54, 0}, {55, 55, 0}, {56, 56, 0}, {57, 57, 0}, {58, 181, 1},
    {59, 181, 0}, {60, 183, 1}, {61, 176, 0}, {62, 185, 1}, {63, 184, 1}, {64, 50, 1}, {65, 65, 1},
    {66, 66, 1}, {67, 67, 1}, {68, 68, 1}, {69, 69, 1}, {70, 70, 1}, {71, 71, 1}, {72, 72, 1},
    {73, 73, 1}, {74, 74, 1}, {75, 75, 1}, {76, 76, 1}, {77, 77, 1}, {78, 78, 1}, {79, 79, 1},
    {80, 80, 1}, {81, 81, 1}, {82, 82, 1}, {83, 83, 1}, {84, 84, 1}, {85, 85, 1}, {86, 86, 1},
    {87, 87, 1}, {88, 88, 1}, {89, 89, 1}, {90, 90, 1}, {91, 179, 0}, {92, 182, 0}, {93, 178, 0},
    {94, 54, 1}, {95, 177, 1}, {96, 186, 0}, {97, 65, 0}, {98, 66, 0}, {99, 67, 0}, {100, 68, 0},
    {101, 69, 0}, {102, 70, 0}, {103, 71, 0}, {104, 72, 0}, {105, 73, 0}, {106, 74, 0},
    {107, 75, 0}, {108, 76, 0}, {109, 77, 0}, {110, 78, 0}, {111, 79, 0}, {112, 80, 0},
    {113, 81, 0}, {114, 82, 0}, {115, 83, 0}, {116, 84, 0}, {117, 85, 0}, {118, 86, 0},
    {119, 87, 0}, {120, 88, 0}, {121, 89, 0}, {122, 90, 0}, {123, 179, 1}, {124, 182, 1},
    {125, 178, 1}, {126, 186, 1},
    {0, 0, 0},
};

const lin_mapping_row kLinMappingsNumbers[kLinMappingNumberRows] = {
    {0x30, 48}, {0x31, 49}, {0x32, 50}, {0x33, 51}, {0x34, 52},
    {0x35, 53}, {0x36, 54}, {0x37, 55}, {0x38, 56}, {0x39, 57},
};

namespace {

const key_name_row* name_row(int vkey)
{
    for (const key_name_row* r = kKeyNameTable; r->name; ++r)
        if (r->vkey == vkey) return r;
    return nullptr;
}

int lookup(const lin_mapping_row* rows, int count, uint32_t keysym)
{
    for (int i = 0; i < count; ++i)
        if (rows[i].keysym == keysym) return rows[i].vkey;
    return 0;
}

// The names of the three modifier bits in flag order, joined by "+".
std::string join_flags(int flags, const char* shift, const char* alt, const char* ctrl)
{
    std::string out;
    const char* names[3] = {shift, alt, ctrl};
    for (int bit = 0; bit < 3; ++bit) {
        if (!(flags & (1 << bit))) continue;
        if (!out.empty()) out += "+";
        out += names[bit];
    }
    return out;
}

bool is_return(int vkey) { return vkey == ZUKT_VK_RETURN || vkey == ZUKT_VK_ENTER; }

}  // namespace

std::string keys_class::vkey_to_str(int vkey) const
{
    const key_name_row* r = name_row(vkey);
    return r ? r->name : "<none>";
}

int keys_class::str_to_vkey(std::string name) const
{
    for (const key_name_row* r = kKeyNameTable; r->name; ++r) {
        const std::string row = r->name;
        if (row.size() != name.size()) continue;
        bool same = true;
        for (std::size_t i = 0; i < row.size() && same; ++i)
            same = tolower(static_cast<unsigned char>(row[i])) ==
                   tolower(static_cast<unsigned char>(name[i]));
        if (same) return r->vkey;
    }
    return 0;
}

std::string keys_class::vkey_to_code(int vkey) const
{
    const key_name_row* r = name_row(vkey);
    return r ? r->code : std::to_string(vkey);
}

std::string keys_class::flag_to_str(int flags) const
{
    const std::string s = join_flags(flags, "SHIFT", "ALT", "CTRL");
    return s.empty() ? "<none>" : s;
}

std::string keys_class::flag_to_code(int flags) const
{
    const std::string s =
        join_flags(flags, "zukt_ShiftFlag", "zukt_OptionAltFlag", "zukt_ControlFlag");
    return s.empty() ? "0" : s;
}

int keys_class::str_to_flag(std::string text) const
{
    int flags = 0;
    if (text.find("SHIFT") != std::string::npos) flags |= zukt_ShiftFlag;
    if (text.find("ALT") != std::string::npos) flags |= zukt_OptionAltFlag;
    if (text.find("CTRL") != std::string::npos) flags |= zukt_ControlFlag;
    return flags;
}

int keys_class::ascii_to_vkey(int ascii, int& vkey, int& shift) const
{
    vkey = 0;
    shift = 0;
    for (const ascii_row* r = kAsciiTranslations; r->ascii; ++r) {
        if (r->ascii != ascii) continue;
        vkey = r->vkey;
        shift = r->shift;
        return 1;
    }
    return 0;
}

// ---------------------------------------------------------------------------
// Translation.

key_event keys_translate(uint32_t base_keysym, uint32_t shift_keysym, long type, long state)
{
    key_event key;
    const uint32_t level_keysym = (state & ShiftMask) ? shift_keysym : base_keysym;

    key.vkey = lookup(kLinMappings, kLinMappingRows, base_keysym);
    if (!key.vkey) key.vkey = lookup(kLinMappingsNumbers, kLinMappingNumberRows, shift_keysym);

    // Lock keys and the left-hand modifiers do nothing here. Each of these
    // names belongs to exactly one keysym, so the keysym is compared; a keysym
    // without a name is an ordinary key.
    switch (level_keysym) {
    case XK_Num_Lock:
    case XK_Caps_Lock:
    case XK_Scroll_Lock:
    case XK_Shift_L:
    case XK_Control_L:
    case XK_Alt_L: key.ignored = 1; return key;
    default: break;
    }

    if (state & ShiftMask) key.flags |= zukt_ShiftFlag;
    if (state & ControlMask) key.flags |= zukt_ControlFlag;
    if (state & Mod1Mask) key.flags |= zukt_OptionAltFlag;
    if (type == KeyPress) key.flags |= zukt_DownFlag;
    if (type == KeyRelease) key.flags |= zukt_UpFlag;

    if (!(state & (ControlMask | Mod1Mask))) key.ch = static_cast<int>(level_keysym & 0xFF);
    switch (key.vkey) {
    case 8:
    case 9:
    case 13:
    case 27: key.ch = key.vkey; break;
    case 37: key.ch = 28; break;
    case 38: key.ch = 30; break;
    case 39: key.ch = 29; break;
    case 40: key.ch = 31; break;
    case 110: key.ch = '.'; break;
    default:
        if (key.vkey >= 96 && key.vkey <= 105) key.ch = '0' + (key.vkey - 96);
        break;
    }
    return key;
}

void keys_class::handle_key_raw(long type, long keycode, long state)
{
    if (!mnw.display) return;
    const KeyCode code = static_cast<KeyCode>(keycode & 0xFF);
    const KeySym base = XkbKeycodeToKeysym(mnw.display, code, 0, 0);
    const KeySym shifted = XkbKeycodeToKeysym(mnw.display, code, 0, 1);
    key_event key = keys_translate(static_cast<uint32_t>(base), static_cast<uint32_t>(shifted),
                                   type, state);
    if (!key.ignored) handle_translated(key);
}

void keys_class::handle_translated(const key_event& key)
{
    if (!key.vkey && !key.ch && !key.flags) return;
    if (BTN_dispatch_to_focus(key.ch, key.vkey, key.flags)) return;

    if (!(key.flags & zukt_UpFlag)) {
        if (is_return(key.vkey)) return_hit = 1;
        if (key.vkey == ZUKT_VK_ESCAPE) escape_hit = 1;
        if (key.vkey == ZUKT_VK_DELETE || key.vkey == ZUKT_VK_BACK) delete_hit = 1;
        if (mnw.wind != wind_main && return_hit) {
            MACIBM_handleclick(1);
            return;
        }
        if (key.ch) mnw.typed_char = key.ch;
    }

    last_vkey = key.vkey;
    last_flags = key.flags & kKeyModifierMask;

    if (mnw.wind == wind_save) return;
    handle_key(0, key.vkey, key.flags);
}

// ---------------------------------------------------------------------------
// Bindings.

void keys_class::execute_key_cmnd(int vkey, int flags)
{
    for (key_binding& b : bindings) {
        if (b.vkey != vkey) continue;
        if (b.flags == (flags & kKeyModifierMask) && (flags & zukt_DownFlag)) {
            cmnd.press_one(b.cmnd);
            b.held = 1;
        }
        if ((flags & zukt_UpFlag) && b.held) {
            cmnd.release_one(b.cmnd);
            b.held = 0;
        }
    }
}

void keys_class::run_repeat_keys()
{
    for (const key_binding& b : bindings)
        if (b.held) cmnd.press_always(b.cmnd);
}

void keys_class::handle_key(int, int vkey, int flags)
{
    if (is_return(vkey) || (!mnw.keys_off && vkey)) execute_key_cmnd(vkey, flags);
}

int keys_class::key_bound_to(int vkey, int flags) const
{
    for (const key_binding& b : bindings)
        if (b.vkey == vkey && b.flags == flags) return b.cmnd;
    return 0;
}

std::string keys_class::get_key_for_cmnd(int command) const
{
    for (const key_binding& b : bindings) {
        if (b.cmnd != command) continue;
        std::string key = vkey_to_str(b.vkey);
        if (!key.empty() && key[0] >= 'A' && key[0] <= 'Z') key[0] = static_cast<char>(key[0] - 'A' + 'a');
        if (!b.flags) return key;
        return flag_to_str(b.flags) + "-" + key;
    }
    return "";
}

void keys_class::keys_io(int io)
{
    if (io) return;  // bindings are stored nowhere
    if (bindings.empty()) bindings.push_back(key_binding{});
    bindings.resize(1);
    const default_command& def = default_commands[0];
    bindings[0].vkey = def.default_key;
    bindings[0].flags = def.default_flags;
    bindings[0].cmnd = cmnd.get_cmnd_by_name(def.path);
}
