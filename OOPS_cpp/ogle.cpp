#include "OOPS_cpp/ogle.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>

// The host's callbacks may return anything: every position the engine uses to
// address the text is bounded by the length GetText reports, and every count
// and pointer a callback hands back is bounded by the range it was given.

namespace {

struct text_run {
    const char* b;
    int len;
};

text_run get_text(OGLE_Rec* rec)
{
    static const char empty = 0;
    const char *b = nullptr, *e = nullptr;
    rec->GetText(rec, &b, &e);
    if (!b) return {&empty, 0};
    const auto ub = reinterpret_cast<std::uintptr_t>(b), ue = reinterpret_cast<std::uintptr_t>(e);
    if (!e || ue < ub) return {b, 0};
    return {b, int(std::min<std::uintptr_t>(ue - ub, INT_MAX))};
}

int bound(long long v, int lo, int hi) { return int(v < lo ? lo : (v > hi ? hi : v)); }

bool is_space(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }

bool is_break(char c) { return c == '\n' || c == '\r'; }

int line_count(const OGLE_Rec* rec) { return int(rec->line_starts.size()); }

// Start of a line: 0 before the first line, the text length past the last.
int line_start(const OGLE_Rec* rec, int line, int len)
{
    if (line < 0) return 0;
    if (line >= line_count(rec)) return len;
    return bound(rec->line_starts[std::size_t(line)], 0, len);
}

// The range of a line, within the text even when the table is older than it.
void line_range(const OGLE_Rec* rec, int line, int len, int* ls, int* le)
{
    *ls = line_start(rec, line, len);
    *le = line + 1 < line_count(rec) ? bound(rec->line_starts[std::size_t(line) + 1], *ls, len) : len;
}

int fit_fwd(OGLE_Rec* rec, const char* b, int from, int to, float width)
{
    return bound(rec->FitStringFwd(rec, b + from, b + to, width), 0, to - from);
}

float measure(OGLE_Rec* rec, const char* b, int from, int to)
{
    return rec->MeasureString(rec, b + from, b + std::max(from, to));
}

int& active_pos(OGLE_Rec* rec) { return rec->active_end ? rec->sel_end : rec->sel_start; }

void order(OGLE_Rec* rec)
{
    if (rec->sel_end < rec->sel_start) {
        std::swap(rec->sel_start, rec->sel_end);
        rec->active_end = 1 - rec->active_end;
    }
}

void clamp(OGLE_Rec* rec, int len)
{
    rec->sel_end = bound(rec->sel_end, 0, len);
    rec->sel_start = bound(rec->sel_start, 0, len);
}

// What every operation that reads the text with the selection does first: the
// host may have shortened its text since the last call.
text_run settle(OGLE_Rec* rec)
{
    const text_run t = get_text(rec);
    clamp(rec, t.len);
    order(rec);
    return t;
}

// Length of the line that starts at p: whole words while they fit in
// `wrap`, white space before a word only together with it, and at least one
// character.
int fit_line(OGLE_Rec* rec, const char* p, const char* e, float wrap)
{
    if (p == e) return 0;
    int n = 0;
    float w = 0.0f;
    const char* q = p;
    for (;;) {
        const char* r = q;
        while (r != e && is_space(*r) && !is_break(*r)) ++r;
        if (r == e) return n + int(r - q);
        const float s = rec->MeasureString(rec, q, r);
        n += int(r - q);
        if (is_break(*r)) return n + 1;
        const char* t = rec->WordBreak(rec, r, e);
        const auto ut = reinterpret_cast<std::uintptr_t>(t);
        if (ut <= reinterpret_cast<std::uintptr_t>(r))
            t = r + 1;
        else if (ut > reinterpret_cast<std::uintptr_t>(e))
            t = e;
        w += rec->MeasureString(rec, r, t) + s;
        if (w > wrap || std::isnan(w)) return n > 0 ? n : 1;
        n += int(t - r);
        q = t;
        if (q == e) return n;
    }
}

void layout(OGLE_Rec* rec)
{
    float lb[4];
    rec->GetLogicalBounds(rec, lb);
    const float wrap = lb[2] - lb[0];
    const text_run t = get_text(rec);
    const float h = rec->GetLineHeight(rec);

    std::vector<int>& starts = rec->line_starts;
    if (starts.empty())
        starts.push_back(0);
    else
        starts[0] = 0;
    const char* const e = t.b + t.len;
    const char* p = t.b;
    std::size_t i = 0;
    for (;;) {
        p += fit_line(rec, p, e, wrap);
        ++i;
        if (p == e) break;
        const int at = int(p - t.b);
        if (i < starts.size())
            starts[i] = at;
        else
            starts.push_back(at);
    }
    // A line already standing at the end of the text stays as an empty last
    // line, so a caret after a final line break keeps its line.
    if (i < starts.size() && starts[i] == t.len && starts[i - 1] < t.len)
        starts.resize(i + 1);
    else
        starts.resize(i);
    rec->SetLogicalHeight(rec, float(starts.size()) * h);
}

// A whole line index from a quotient, bounded to lo..hi; not-a-number gives lo.
int line_index(double q, int lo, int hi)
{
    if (std::isnan(q) || q <= lo) return lo;
    if (q >= hi) return hi;
    return int(q);
}

}  // namespace

// ---------------------------------------------------------------------------

OGLE_Rec* OGLE_Create(const OGLE_Callbacks* cb, void* ref)
{
    OGLE_Rec* rec = new OGLE_Rec;
    static_cast<OGLE_Callbacks&>(*rec) = *cb;
    rec->ref = ref;
    return rec;
}

void OGLE_Destroy(OGLE_Rec* rec) { delete rec; }

void* OGLE_GetRef(OGLE_Rec* rec) { return rec->ref; }

void OGLE_GetSelection(OGLE_Rec* rec, int* start, int* end)
{
    if (start) *start = rec->sel_start;
    if (end) *end = rec->sel_end;
}

void OGLE_Repaginate(OGLE_Rec* rec) { layout(rec); }

int OGLE_CharPosToLine(OGLE_Rec* rec, int pos)
{
    const std::vector<int>& starts = rec->line_starts;
    if (starts.empty() || pos < 0) return -1;
    const auto it = std::lower_bound(starts.begin(), starts.end(), pos);
    if (it == starts.end()) return int(starts.size()) - 1;
    const int line = int(it - starts.begin());
    return *it == pos ? line : line - 1;
}

void OGLE_ReplaceText(OGLE_Rec* rec, int start, int end, const char* ins_begin,
                      const char* ins_end)
{
    const int len = settle(rec).len;
    start = bound(start, 0, len);
    end = bound(end, start, len);
    const auto ub = reinterpret_cast<std::uintptr_t>(ins_begin),
               ue = reinterpret_cast<std::uintptr_t>(ins_end);
    if (!ins_begin || !ins_end || ue < ub) ins_begin = ins_end = nullptr;
    const long long delta = (long long)(ins_end - ins_begin) - (end - start);

    if (end <= rec->sel_start) {
        rec->sel_start = bound(rec->sel_start + delta, INT_MIN, INT_MAX);
        rec->sel_end = bound(rec->sel_end + delta, INT_MIN, INT_MAX);
    } else if (start <= rec->sel_start) {
        const int old_start = rec->sel_start;
        rec->sel_end = bound(rec->sel_end + delta, INT_MIN, INT_MAX);
        if (rec->sel_end < rec->sel_start)
            rec->sel_start = rec->sel_end = bound(std::max<long long>(old_start + delta, start),
                                                  INT_MIN, INT_MAX);
    }
    rec->ReplaceText(rec, start, end, ins_begin, ins_end);
    layout(rec);
    // A range reaching past the selection's end can leave it beyond a
    // shortened text.
    settle(rec);
}

// ---------------------------------------------------------------------------

int OGLE_CoordToCharPos(OGLE_Rec* rec, float x, float y)
{
    float lb[4];
    rec->GetLogicalBounds(rec, lb);
    const text_run t = get_text(rec);
    const float h = rec->GetLineHeight(rec);
    if (x < lb[0]) x = lb[0];
    if (x > lb[2]) x = lb[2];
    const double q = std::floor((double(lb[3]) - y) / h);
    if (!(q >= 0)) return 0;  // above the text, or no line height to tell
    if (q >= line_count(rec)) return t.len;
    int ls, le;
    line_range(rec, int(q), t.len, &ls, &le);
    return ls + fit_fwd(rec, t.b, ls, le, x - lb[0]);
}

int OGLE_CharPosVerticalAdjust(OGLE_Rec* rec, int pos, int lines, float& desired_x)
{
    const text_run t = get_text(rec);
    pos = bound(pos, 0, t.len);
    const int line = OGLE_CharPosToLine(rec, pos);
    if (desired_x == -1.0f) {
        const int from = std::min(line_start(rec, line, t.len), pos);
        desired_x = measure(rec, t.b, from, pos);
    }
    const long long target = (long long)line + lines;
    if (target < 0) return 0;
    if (target >= line_count(rec)) return t.len;
    int ls, le;
    line_range(rec, int(target), t.len, &ls, &le);
    return ls + fit_fwd(rec, t.b, ls, le, desired_x);
}

void OGLE_RevealSelection(OGLE_Rec* rec)
{
    const text_run t = settle(rec);
    float lb[4], vb[4];
    rec->GetLogicalBounds(rec, lb);
    rec->GetVisibleBounds(rec, vb);
    const float h = rec->GetLineHeight(rec);

    const int p = active_pos(rec);
    const int line = OGLE_CharPosToLine(rec, p);
    const int start = std::min(line_start(rec, line, t.len), p);
    const float x = lb[0] + measure(rec, t.b, start, p);
    // The band's lower edge when the band reaches below the view, else its
    // upper edge: the whole line comes into view from either side.
    const float band_top = lb[3] - float(std::max(line, 0)) * h, band_bottom = band_top - h;
    const float y = band_bottom < vb[1] ? band_bottom : band_top;

    const float ox = vb[0] - lb[0], oy = vb[1] - lb[1];
    float offset[2] = {ox, oy};
    if (x < vb[0]) offset[0] = x - lb[0];
    if (x > vb[2]) offset[0] = x - lb[0] - (vb[2] - vb[0]);
    if (y < vb[1]) offset[1] = y - lb[1];
    if (y > vb[3]) offset[1] = y - lb[1] - (vb[3] - vb[1]);
    if (offset[0] != ox || offset[1] != oy) rec->ScrollTo(rec, offset);
}

void OGLE_Draw(OGLE_Rec* rec, int show_caret)
{
    const text_run t = settle(rec);
    float vb[4], lb[4];
    rec->GetVisibleBounds(rec, vb);
    rec->GetLogicalBounds(rec, lb);
    const float h = rec->GetLineHeight(rec);
    const int count = line_count(rec);
    const int ss = rec->sel_start, se = rec->sel_end;

    const int first = line_index(std::floor((double(lb[3]) - vb[3]) / h), 0, count);
    const double last_q = std::ceil((double(lb[3]) - vb[1]) / h);
    const int last = std::isnan(last_q) ? 0 : line_index(last_q, 0, count);
    if (last <= first) return;

    auto bottom_of = [&](int i) { return lb[3] - float(i + 1) * h; };
    auto top_of = [&](int i) { return lb[3] - float(i) * h; };
    auto x_of = [&](int ls, int p) { return lb[0] + measure(rec, t.b, ls, p); };

    if (ss < se) {
        for (int i = first; i < last; ++i) {
            int ls, le;
            line_range(rec, i, t.len, &ls, &le);
            if (le <= ss) continue;
            if (ls >= se) break;
            float r[4];
            if (ls < ss) {
                r[0] = x_of(ls, ss);
                r[2] = se < le ? x_of(ls, se) : lb[2];
            } else {
                r[0] = lb[0];
                r[2] = le < se ? lb[2] : x_of(ls, se);
            }
            r[1] = bottom_of(i);
            r[3] = top_of(i);
            rec->DrawSelection(rec, r);
        }
    }

    for (int i = first; i < last; ++i) {
        int ls, le;
        line_range(rec, i, t.len, &ls, &le);
        rec->DrawString(rec, t.b + ls, t.b + le, lb[0], bottom_of(i));
    }

    if (show_caret && ss == se) {
        for (int i = first; i < last; ++i) {
            int ls, le;
            line_range(rec, i, t.len, &ls, &le);
            if (ls > ss) break;
            if (ss < le || (ss == le && i == count - 1)) {
                const float x = x_of(ls, ss);
                float r[4] = {x, bottom_of(i), x, top_of(i)};
                rec->DrawSelection(rec, r);
                break;
            }
        }
    }
}

void OGLE_SetSelection(OGLE_Rec* rec, int start, int end)
{
    rec->sel_start = start;
    rec->sel_end = end;
    order(rec);
    clamp(rec, get_text(rec).len);
}

void OGLE_Click(OGLE_Rec* rec, float x, float y, int extend)
{
    settle(rec);
    rec->desired_x = -1.0f;
    const int p = OGLE_CoordToCharPos(rec, x, y);
    if (!extend) {
        rec->sel_start = rec->sel_end = p;
        rec->active_end = 1;
    } else if (p < rec->sel_start) {
        rec->sel_start = p;
        rec->active_end = 0;
    } else {
        rec->sel_end = p;
        rec->active_end = 1;
    }
    order(rec);
    clamp(rec, get_text(rec).len);
    OGLE_RevealSelection(rec);
}

void OGLE_Drag(OGLE_Rec* rec, float x, float y)
{
    settle(rec);
    rec->desired_x = -1.0f;
    active_pos(rec) = OGLE_CoordToCharPos(rec, x, y);
    order(rec);
    clamp(rec, get_text(rec).len);
    OGLE_RevealSelection(rec);
}

void OGLE_Key(OGLE_Rec* rec, char c, int extend)
{
    settle(rec);
    if (c != 30 && c != 31) rec->desired_x = -1.0f;
    int& ss = rec->sel_start;
    int& se = rec->sel_end;
    switch (c) {
    case 8:
        if (ss == se && ss <= 0) {
            rec->active_end = 1;
            return;
        }
        if (ss == se) {
            rec->ReplaceText(rec, ss - 1, ss, nullptr, nullptr);
            se = --ss;
        } else {
            rec->ReplaceText(rec, ss, se, nullptr, nullptr);
            se = ss;
        }
        layout(rec);
        OGLE_RevealSelection(rec);
        rec->active_end = 1;
        return;
    case 28:
    case 29: {
        const int step = c == 28 ? -1 : 1;
        if (extend) {
            active_pos(rec) += step;
            order(rec);
        } else if (ss == se) {
            ss = se = (c == 28 ? ss : se) + step;
        } else if (c == 28) {
            se = ss;
        } else {
            ss = se;
        }
        break;
    }
    case 30:
    case 31: {
        const int lines = c == 30 ? -1 : 1;
        if (extend) {
            active_pos(rec) = OGLE_CharPosVerticalAdjust(rec, active_pos(rec), lines, rec->desired_x);
            order(rec);
        } else if (ss == se) {
            ss = se = OGLE_CharPosVerticalAdjust(rec, ss, lines, rec->desired_x);
        } else if (c == 30) {
            se = ss;
        } else {
            ss = se;
        }
        break;
    }
    default: {
        const char byte = c;
        rec->ReplaceText(rec, ss, se, &byte, &byte + 1);
        se = ++ss;
        rec->active_end = 1;
        layout(rec);
        OGLE_RevealSelection(rec);
        return;
    }
    }
    clamp(rec, get_text(rec).len);
    OGLE_RevealSelection(rec);
}

// ---------------------------------------------------------------------------

namespace {

const OGLE_Callbacks kTrampolines = {
    &OGLE::GetVisibleBoundsCB, &OGLE::GetLogicalBoundsCB, &OGLE::SetLogicalHeightCB,
    &OGLE::ScrollToCB,         &OGLE::GetTextCB,          &OGLE::ReplaceTextCB,
    &OGLE::GetLineHeightCB,    &OGLE::MeasureStringCB,    &OGLE::FitStringFwdCB,
    &OGLE::FitStringRevCB,     &OGLE::DrawStringCB,       &OGLE::DrawSelectionCB,
    &OGLE::WordBreakCB,
};

OGLE* self(OGLE_Rec* rec) { return static_cast<OGLE*>(rec->ref); }

}  // namespace

OGLE::OGLE() : rec(OGLE_Create(&kTrampolines, this)) {}

OGLE::~OGLE() { OGLE_Destroy(rec); }

void OGLE::GetSelection(int* start, int* end) { OGLE_GetSelection(rec, start, end); }
void OGLE::Repaginate() { OGLE_Repaginate(rec); }
void OGLE::DoReplaceText(int start, int end, const char* ins_begin, const char* ins_end)
{
    OGLE_ReplaceText(rec, start, end, ins_begin, ins_end);
}
void OGLE::RevealSelection() { OGLE_RevealSelection(rec); }
void OGLE::Click(float x, float y, int extend) { OGLE_Click(rec, x, y, extend); }
void OGLE::Drag(float x, float y) { OGLE_Drag(rec, x, y); }
void OGLE::SetSelection(int start, int end) { OGLE_SetSelection(rec, start, end); }
void OGLE::Key(char c, int extend) { OGLE_Key(rec, c, extend); }
void OGLE::Draw(int show_caret) { OGLE_Draw(rec, show_caret); }

void OGLE::GetVisibleBoundsCB(OGLE_Rec* rec, float* rect) { self(rec)->GetVisibleBounds(rect); }
void OGLE::GetLogicalBoundsCB(OGLE_Rec* rec, float* rect) { self(rec)->GetLogicalBounds(rect); }
void OGLE::SetLogicalHeightCB(OGLE_Rec* rec, float height) { self(rec)->SetLogicalHeight(height); }
void OGLE::ScrollToCB(OGLE_Rec* rec, float* offset) { self(rec)->ScrollTo(offset); }
void OGLE::GetTextCB(OGLE_Rec* rec, const char** begin, const char** end)
{
    self(rec)->GetText(begin, end);
}
void OGLE::ReplaceTextCB(OGLE_Rec* rec, int start, int end, const char* ins_begin,
                         const char* ins_end)
{
    self(rec)->ReplaceText(start, end, ins_begin, ins_end);
}
float OGLE::GetLineHeightCB(OGLE_Rec* rec) { return self(rec)->GetLineHeight(); }
float OGLE::MeasureStringCB(OGLE_Rec* rec, const char* begin, const char* end)
{
    return self(rec)->MeasureString(begin, end);
}
int OGLE::FitStringFwdCB(OGLE_Rec* rec, const char* begin, const char* end, float width)
{
    return self(rec)->FitStringFwd(begin, end, width);
}
int OGLE::FitStringRevCB(OGLE_Rec* rec, const char* begin, const char* end, float width)
{
    return self(rec)->FitStringRev(begin, end, width);
}
void OGLE::DrawStringCB(OGLE_Rec* rec, const char* begin, const char* end, float x, float y)
{
    self(rec)->DrawString(begin, end, x, y);
}
void OGLE::DrawSelectionCB(OGLE_Rec* rec, float* rect) { self(rec)->DrawSelection(rect); }
const char* OGLE::WordBreakCB(OGLE_Rec* rec, const char* begin, const char* end)
{
    return self(rec)->WordBreak(begin, end);
}
