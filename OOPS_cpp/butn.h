// The immediate-mode widget set: each widget is a function called once per
// frame that draws itself from the widget atlas and tests the mouse state of
// mnw in the same call. Coordinates are canvas pixels relative to the current
// window, y upwards.
#pragma once

#include <string>

// --- Frames, bars and labels ------------------------------------------------

// One quad of the widget atlas centred on (x, y), the texture centred on atlas
// pixel (u, v).
void BTN_util_element(float x, float y, float u, float v, float half_w, float half_h, int col);
// A horizontally stretched frame of style 0 to 10 (not 6), centred on (x, y).
void BTN_frame1(int style, float x, float y, float w, int col);
// The vertical bar (style 6 only), centred on whole-number (x, y).
void BTN_frame0(int style, float x, float y, float h);
// A nine-slice panel of type 11 to 20 around the rectangle at (x, y), w by h,
// with its title.
void BTN_frame2(int type, float x, float y, float w, float h, std::string title);
// A panel placed with default margins for negative position and size; reports
// the point 10 pixels right of and above it.
void BTN_subwin(float top_margin, int type, float x, float y, float w, float h, std::string title,
                float* out_x, float* out_y);
// The current window's background frame with its title, and an inner frame.
void BTN_fillwin(int style, int inner);

// align 0: the text ends at x, 1: centred on x, 2: starts at x.
void BTN_util_draw_label(float x, float y, int align, const std::string& label, int highlight);
// Splits "left|right{ help" into its three parts.
void BTN_expand_label(const std::string& label, std::string* left, std::string* right,
                      std::string* help);
// The two close boxes of a sub-window; 1 when the mouse went down in one.
int BTN_zap_boxes(int pressed);
int BTN_tab(int col, int row, int* sel, int value, std::string label);
void plot_dir(float x, float y, float* dir, int style);

// --- Number fields ---------------------------------------------------------------

// A row of digit columns with an up and a down arrow over each: arrows step the
// column's place value, typed digits replace the caret's digit, "+" and "-" set
// the sign. The value is clamped to lo..hi and rounded to `decimals` in every
// call; 1 when a key or a click changed it.
int BTN_flt_range(float x, float y, float* value, int digits, int decimals, float lo, float hi,
                  std::string label);
// Placed in a grid: the digits end at x 75i + 75, the base line at y 50j + 25.
int BTN_flt_rangeij(int i, int j, float* value, int digits, int decimals, float lo, float hi,
                    std::string label);
// Edits a float copy; the double is written back only when edited.
int BTN_dob_range(float x, float y, double* value, int digits, int decimals, float lo, float hi,
                  std::string label);
// Always leaves a whole number from lo to hi in the int.
int BTN_int_range(float x, float y, int* value, int digits, float lo, float hi, std::string label);
// The range is what the columns can show: 0..max, or -max..max when signed.
int BTN_flt(float x, float y, float* value, int digits, int decimals, int is_signed,
            std::string label);
int BTN_fltij(int i, int j, float* value, int digits, int decimals, int is_signed,
              std::string label);
int BTN_int(float x, float y, int* value, int digits, int is_signed, std::string label);
// The number field's look without arrows or input.
void BTN_display_number(float x, float y, float number, int digits, int decimals,
                        std::string label);
// A fixed-length field over text[0..length-1] (no terminating zero) whose
// columns step through blank, 0 to 9, A to Z and "-".
void BTN_chars(float x, float y, char* text, int length, std::string label);

// --- Check boxes and choice buttons ---------------------------------------------

int BTN_bool(float x, float y, int* flag, std::string label, int style);
int BTN_is_int(float x, float y, int* value, int choice, std::string label);
int BTN_xbyt(float x, float y, unsigned char* flag, std::string label);
int BTN_xchr(float x, float y, char* flag, std::string label);
int BTN_xbol(float x, float y, bool* flag, std::string label);

// --- Action button and sliders --------------------------------------------------

int BTN_action(float x, float y, float width, int down, int feedback, std::string label,
               std::string side_text);
int BTN_vert_slider(int slot, float x, float y_bottom, float y_top, int lo, int hi, int* value);
int BTN_horz_slider(float x, float y, float width, int colour, float lo, float hi, float* value,
                    int editable, std::string label, std::string text);

// --- Keyboard focus ring ----------------------------------------------------------

// Focus identity of a widget drawn at (x, y): ((int)x << 13) + (int)y, worked
// out in unsigned arithmetic so that no position overflows.
inline int BTN_focus_id(float x, float y)
{
    return int((unsigned(int(x)) << 13) + unsigned(int(y)));
}

struct focus_info_t {
    int id;
    int* char_slot;
    int* vkey_slot;
    int* flag_slot;
    int* id_slot;
    int* ctr_slot;
    int capacity;
    int accept_mask;
};

void BTN_begin_focus_ring();
int BTN_register_focus(int id, int* char_slot, int* vkey_slot, int* flag_slot, int* id_slot,
                       int* ctr_slot, int capacity, int accept_mask, int grab);
int BTN_dispatch_to_focus(int c, int vkey, int flags);
void BTN_unfocus_any();
void BTN_focus_any();
void BTN_window_has_focus();
int BTN_no_focus_yet();
// Whether a widget drawn in the last pass has keys in its queue it has not taken.
int BTN_keys_waiting();

// --- Text field -------------------------------------------------------------------

// A one-line field over *text at (x, y), `width` pixels wide; the label is
// "left|right". Returns 1 in a call that changed the text, which an edit
// leaves no longer than max characters. With grab set the field takes the
// focus when nothing holds it.
int BTN_enterstring(float x, float y, std::string* text, int max, std::string label, float width,
                    int grab);
// The same over a caller's NUL-terminated buffer, which must hold the longer
// of max and its text's length, plus one byte; texts of strDIM characters or
// more are refused.
int BTN_enterstring(float x, float y, char* text, int max_len, std::string label, float width,
                    int grab_focus);

// Item callbacks for the list widgets: element i of a vector of names or kinds.
std::string BTN_name_from_vector(int i, void* items);
int BTN_type_from_vector(int i, void* items);

// The text-edit engine's callbacks for the focused text field, and the state
// they work on.
struct OGLE_Rec;
struct OGLE_Callbacks;
extern const OGLE_Callbacks OGLE_cbs;
extern std::string* OGLE_input;
extern int OGLE_x, OGLE_y, OGLE_entry_dx;
extern float OGLE_dx, OGLE_dy;
extern int OGLE_edit;

void OGLE_GetVisibleBounds(OGLE_Rec* rec, float* r);
void OGLE_GetLogicalBounds(OGLE_Rec* rec, float* r);
void OGLE_SetLogicalHeight(OGLE_Rec* rec, float height);
void OGLE_ScrollTo(OGLE_Rec* rec, float* p);
void OGLE_GetText(OGLE_Rec* rec, const char** begin, const char** end);
void OGLE_ReplaceTextFunc(OGLE_Rec* rec, int start, int end, const char* t0, const char* t1);
float OGLE_GetLineHeight(OGLE_Rec* rec);
float OGLE_MeasureString(OGLE_Rec* rec, const char* b, const char* e);
int OGLE_FitStringFwd(OGLE_Rec* rec, const char* b, const char* e, float room);
int OGLE_FitStringRev(OGLE_Rec* rec, const char* b, const char* e, float room);
void OGLE_DrawString(OGLE_Rec* rec, const char* b, const char* e, float x, float y);
void OGLE_DrawSelection(OGLE_Rec* rec, float* r);
const char* OGLE_WordBreak(OGLE_Rec* rec, const char* b, const char* e);
