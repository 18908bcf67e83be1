// Keys: the virtual-key vocabulary with its constant tables, the translation
// of X11 key events into virtual keys, characters and flags, and key bindings
// that connect a key with exact modifiers to a command of the registry.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Flags carried with every key event: modifier bits (mask 7) and event bits.
enum : int {
    zukt_ShiftFlag = 1,
    zukt_OptionAltFlag = 2,
    zukt_ControlFlag = 4,
    zukt_DownFlag = 8,
    zukt_UpFlag = 16,
};
inline constexpr int kKeyModifierMask = 7;

// Virtual keys that other modules test by number.
enum : int {
    ZUKT_VK_BACK = 8,
    ZUKT_VK_TAB = 9,
    ZUKT_VK_RETURN = 13,
    ZUKT_VK_ESCAPE = 27,
    ZUKT_VK_DELETE = 46,
    ZUKT_VK_ENTER = 187,
    ZUKT_VK_NUMPAD_ENT = 188,
};

struct key_name_row {
    uint8_t vkey;
    const char* code;  // "ZUKT_VK_..."
    const char* name;  // shown to users; null only in the closing row
};
struct lin_mapping_row {
    uint32_t keysym;
    uint8_t vkey;
};
struct ascii_row {
    int ascii;
    int vkey;
    int shift;  // 1 when the character needs Shift
};

inline constexpr int kKeyNameRows = 110;
inline constexpr int kLinMappingRows = 109;
inline constexpr int kLinMappingNumberRows = 10;
inline constexpr int kAsciiRows = 103;
extern const key_name_row kKeyNameTable[kKeyNameRows + 1];  // closing row last
extern const lin_mapping_row kLinMappings[kLinMappingRows];
extern const lin_mapping_row kLinMappingsNumbers[kLinMappingNumberRows];
extern const ascii_row kAsciiTranslations[kAsciiRows + 1];  // zero row last

// One X11 key event in the framework's terms.
struct key_event {
    int ignored = 0;  // a lock or left-hand modifier key: the event has no effect
    int vkey = 0;
    int ch = 0;       // character code, 0 for none
    int flags = 0;    // modifier bits and the press (8) or release (16) bit
};

// Translates one key event from its keysyms at columns 0 and 1 of its keycode,
// the event type (2 press, 3 release) and the X modifier state.
key_event keys_translate(uint32_t base_keysym, uint32_t shift_keysym, long type, long state);

struct key_binding {
    int vkey = 0;
    int flags = 0;  // modifier bits a press must carry exactly
    int cmnd = 0;   // command id in the registry
    int held = 0;   // pressed and not yet released
};

class keys_class {
public:
    // Vocabulary conversions; none touches the object.
    std::string vkey_to_str(int vkey) const;
    int str_to_vkey(std::string name) const;
    std::string vkey_to_code(int vkey) const;
    std::string flag_to_str(int flags) const;
    std::string flag_to_code(int flags) const;
    int str_to_flag(std::string text) const;
    int ascii_to_vkey(int ascii, int& vkey, int& shift) const;
    void debug() const {}

    // One X11 key press (2) or release (3) of the main window.
    void handle_key_raw(long type, long keycode, long state);
    // The same after the keysym lookup: focus, hit flags, Return, bindings.
    void handle_translated(const key_event& key);
    void run_repeat_keys();
    void execute_key_cmnd(int vkey, int flags);
    void handle_key(int, int vkey, int flags);
    int key_bound_to(int vkey, int flags) const;
    std::string get_key_for_cmnd(int cmnd) const;
    void keys_io(int io);
    // One frame of the key-binding window's body: the bindings as a list of
    // buttons, the selected one's key taken from the next key pressed and its
    // command chosen from the groups and commands of the registry.
    void keys_wind();

    int last_vkey = 0;
    int last_flags = 0;
    std::vector<key_binding> bindings;
};

extern keys_class keys;
