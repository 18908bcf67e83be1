// Choice widgets: the drop-down list, whose pop-up is menu 1519, and the
// scrolling list box with type-ahead that the file and folder choosers use.
#pragma once

#include <string>
#include <vector>

// Items are separated by "-" ("Macintosh-Windows-Linux"); at most 300 items,
// none holding "|". *sel is clamped to the items. 1 in the call that
// delivers a pick from the pop-up, *sel then holding its index.
int BTN_textlist(float x, float y, int* sel, std::string items, std::string label);

// The drop-down's widget id: (int)(y * 1024 + x). A placement that comes out
// as 0, which the pop-up globals use for none, is given another id.
int BTN_textlist_id(float x, float y);

// A list box of rows 10 pixels apart with the row of *scroll in the middle at
// y, x its left edge; w, h <= 0 take 290 by 220. Items lo..hi are asked for
// through the callbacks (name2_func and kind_func may be null); field_text,
// when not null, is edited by a text field below the list. 1 when the mouse
// went down inside as a double click, *sel then naming the row under it.
int BTN_list_and_search(int slider_slot, float x, float y, float w, float h, int* scroll,
                        int* sel, int lo, int hi, std::string* field_text,
                        const std::string& field_label, std::string (*name_func)(int, void*),
                        void* name_ref, std::string (*name2_func)(int, void*), void* name2_ref,
                        int (*kind_func)(int, void*), void* kind_ref);

// The levels of a folder path for a staircase and a drop-down of ancestors.
// A level starts at `from` or after any "/" up to index `last`; its path runs
// through the "/" that closes it. Folder names come from the disk, so the
// drop-down items never hold "|" (shown as "!") nor "-" (shown as a blank),
// and a path of more levels than the drop-down takes offers the first level
// and the deepest ones.
struct path_levels {
    std::vector<std::string> names;  // each level's name, "-" shown as a blank
    std::vector<std::string> paths;  // each level's folder path
    std::string items;               // the drop-down items, separated by "-"
    std::vector<int> item_level;     // the level behind each drop-down item
};
inline constexpr int kDropDownItems = 300;
// Levels of `folder` from the start of the text to index `last` (inclusive);
// `root`, when not null, is a level before them with an empty path (the
// dialogs' root folder). The first item is prefixed by `first_prefix`.
void BTN_path_levels(const std::string& folder, long last, const char* root,
                     const std::string& first_prefix, path_levels* out);
// The drop-down item whose level's path equals `folder` (the last such), or
// -1.
int BTN_level_item(const path_levels& levels, const std::string& folder);
// Draws the staircase from level `from` on, the d-th line (from 1) at
// (20 + 10 d, 415 - 10 d).
void BTN_draw_levels(const path_levels& levels, int from);

// Path fields: a text field with a square button left of it that opens the
// folder chooser at the root. `open_save` is 998 or 999 and `file_type` 0 to
// 21 (20 and 21 show the whole path, the others its last component). 1 in the
// frame in which the chooser returned a folder.
int BTN_select_path_stl(float x, float y, int open_save, int file_type, std::string* path,
                        int max_len, std::string label, float width, int grab_focus);
// The same over a buffer of `size` bytes, written back on every call.
int BTN_select_path_chr(float x, float y, int open_save, int file_type, char* path, int size,
                        std::string label, float width, int grab_focus);
// A file name in a buffer of `size` bytes and its folder in `path`; both are
// written only when a folder was chosen.
int BTN_select_file_chr(float x, float y, int open_save, int file_type, char* name,
                        std::string* path, int size, std::string label, float width);
// The last component of a path; a folder's keeps its "/".
std::string BTN_last_component(const std::string& path);
