// The text-edit engine: word-wrapped layout, selection, hit testing, drawing
// and editing of a run of 8-bit characters that the host owns. The engine
// reads, measures, draws and changes the text only through the host's
// callbacks. Rectangles are float[4]: left, bottom, right, top; y upwards;
// line 0 is the top line. Positions are byte offsets, 0 to the text length.
#pragma once

#include <vector>

struct OGLE_Rec;

struct OGLE_Callbacks {
    void (*GetVisibleBounds)(OGLE_Rec* rec, float* rect);
    void (*GetLogicalBounds)(OGLE_Rec* rec, float* rect);
    void (*SetLogicalHeight)(OGLE_Rec* rec, float height);
    void (*ScrollTo)(OGLE_Rec* rec, float* offset);
    void (*GetText)(OGLE_Rec* rec, const char** begin, const char** end);
    void (*ReplaceText)(OGLE_Rec* rec, int start, int end, const char* ins_begin,
                        const char* ins_end);
    float (*GetLineHeight)(OGLE_Rec* rec);
    float (*MeasureString)(OGLE_Rec* rec, const char* begin, const char* end);
    int (*FitStringFwd)(OGLE_Rec* rec, const char* begin, const char* end, float width);
    int (*FitStringRev)(OGLE_Rec* rec, const char* begin, const char* end, float width);
    void (*DrawString)(OGLE_Rec* rec, const char* begin, const char* end, float x, float y);
    void (*DrawSelection)(OGLE_Rec* rec, float* rect);
    const char* (*WordBreak)(OGLE_Rec* rec, const char* begin, const char* end);
};

// The record keeps its own copy of the host's callbacks.
struct OGLE_Rec : OGLE_Callbacks {
    void* ref = nullptr;
    std::vector<int> line_starts;  // empty until the first layout
    int sel_start = 0;
    int sel_end = 0;
    int active_end = 1;      // 1: sel_end moves when extending, 0: sel_start does
    float desired_x = -1.0f;  // the x that Up and Down keep; -1 when unset
};

OGLE_Rec* OGLE_Create(const OGLE_Callbacks* callbacks, void* ref);
void OGLE_Destroy(OGLE_Rec* rec);
void* OGLE_GetRef(OGLE_Rec* rec);
void OGLE_GetSelection(OGLE_Rec* rec, int* start, int* end);
void OGLE_Repaginate(OGLE_Rec* rec);
void OGLE_ReplaceText(OGLE_Rec* rec, int start, int end, const char* ins_begin,
                      const char* ins_end);

void OGLE_Draw(OGLE_Rec* rec, int show_caret);
void OGLE_SetSelection(OGLE_Rec* rec, int start, int end);
void OGLE_Click(OGLE_Rec* rec, float x, float y, int extend);
void OGLE_Drag(OGLE_Rec* rec, float x, float y);
// c: 8 Backspace, 28 Left, 29 Right, 30 Up, 31 Down; any other byte is typed.
void OGLE_Key(OGLE_Rec* rec, char c, int extend);
void OGLE_RevealSelection(OGLE_Rec* rec);

// The host written as a subclass: the thirteen callbacks become virtual
// functions and the object is the record's ref.
class OGLE {
public:
    OGLE();
    virtual ~OGLE();
    OGLE(const OGLE&) = delete;
    OGLE& operator=(const OGLE&) = delete;

    virtual void GetVisibleBounds(float* rect) = 0;
    virtual void GetLogicalBounds(float* rect) = 0;
    virtual void SetLogicalHeight(float height) = 0;
    virtual void ScrollTo(float* offset) = 0;
    virtual void GetText(const char** begin, const char** end) = 0;
    virtual void ReplaceText(int start, int end, const char* ins_begin, const char* ins_end) = 0;
    virtual float GetLineHeight() = 0;
    virtual float MeasureString(const char* begin, const char* end) = 0;
    virtual int FitStringFwd(const char* begin, const char* end, float width) = 0;
    virtual int FitStringRev(const char* begin, const char* end, float width) = 0;
    virtual void DrawString(const char* begin, const char* end, float x, float y) = 0;
    virtual void DrawSelection(float* rect) = 0;
    virtual const char* WordBreak(const char* begin, const char* end) = 0;

    void GetSelection(int* start, int* end);
    void Repaginate();
    void DoReplaceText(int start, int end, const char* ins_begin, const char* ins_end);
    void RevealSelection();
    void Click(float x, float y, int extend);
    void Drag(float x, float y);
    void SetSelection(int start, int end);
    void Key(char c, int extend);
    void Draw(int show_caret);

    static void GetVisibleBoundsCB(OGLE_Rec* rec, float* rect);
    static void GetLogicalBoundsCB(OGLE_Rec* rec, float* rect);
    static void SetLogicalHeightCB(OGLE_Rec* rec, float height);
    static void ScrollToCB(OGLE_Rec* rec, float* offset);
    static void GetTextCB(OGLE_Rec* rec, const char** begin, const char** end);
    static void ReplaceTextCB(OGLE_Rec* rec, int start, int end, const char* ins_begin,
                              const char* ins_end);
    static float GetLineHeightCB(OGLE_Rec* rec);
    static float MeasureStringCB(OGLE_Rec* rec, const char* begin, const char* end);
    static int FitStringFwdCB(OGLE_Rec* rec, const char* begin, const char* end, float width);
    static int FitStringRevCB(OGLE_Rec* rec, const char* begin, const char* end, float width);
    static void DrawStringCB(OGLE_Rec* rec, const char* begin, const char* end, float x, float y);
    static void DrawSelectionCB(OGLE_Rec* rec, float* rect);
    static const char* WordBreakCB(OGLE_Rec* rec, const char* begin, const char* end);

protected:
    OGLE_Rec* rec;
};

// The engine's own steps, exposed for tests: the line of a position (-1 for an
// empty table or a negative position), the position under a canvas point, and
// a position moved by whole lines keeping desired_x.
int OGLE_CharPosToLine(OGLE_Rec* rec, int pos);
int OGLE_CoordToCharPos(OGLE_Rec* rec, float x, float y);
int OGLE_CharPosVerticalAdjust(OGLE_Rec* rec, int pos, int lines, float& desired_x);
