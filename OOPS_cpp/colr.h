// The colour table: every colour the framework draws with is a small index
// into it. Entry 104 is the interface light multiplier of indices below 46.
#pragma once

inline constexpr int kColourCount = 105;
inline constexpr int kLightMultiplier = 104;
inline constexpr int kSpectrumSize = 1000;

class colr_class {
public:
    colr_class();
    ~colr_class() {}

    void assign(int index, float r, float g, float b);
    void set_lites_for_interface();
    void set_lit_col(int type);
    void spectrum_init(int mode);
    void spectrum_plotscale(float x, float y, float lo, float hi, int decimals);

    unsigned char gamma_table[256];
    float rgb[kColourCount][3];
    float pulse;  // 0.4 to 1.0, set every frame; the caret's alpha
    float spectrum_lo;
    float spectrum_hi;
    float spectrum_range;
    float spectrum[kSpectrumSize][3];
};

extern colr_class colr;
