// The menu table: 1520 menus (1519 is the pop-up list of the drop-down
// widget), the operations that fill it with the geometry the click handler
// tests, the menus-file reader, and the per-frame menu drawing.
#pragma once

#include <string>

inline constexpr int kMenuCount = 1520;
inline constexpr int kPopupMenu = 1519;
inline constexpr int kMenuItemMax = 300;

void MACIBM_clear_menus(int how);
void MACIBM_clear_menu(int m);
void MACIBM_clear_items(int m);
void MACIBM_create_menu(int m, int parent_code, std::string name);
void MACIBM_append_menu(int m, int i, int cmd, std::string name, int wide);
void MACIBM_remove_menu_item(int m, int i);
float menu_dx(std::string text);
void char_string_to_int_string(std::string* text);
// Builds menus from a menus file in the language folder of `folder`.
void MACIBM_read_menus(std::string folder, std::string file);
// Builds menus from the body of a menus file (what follows its header).
void MACIBM_read_menu_lines(const char* begin, const char* end);
int accept_menu(int m);
int accept_item(int i);

// Draws the menu bar, the open menu and the pop-up list for this frame.
void standard_gui();
