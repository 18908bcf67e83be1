// Movie recording: not available on this platform. The frame pump asks
// mov_per_frame whether it took the frame; it never does.
#pragma once

class qtim_class {
public:
    void stop_thread() {}
    int mov_add_frame() { return 0; }
    void mov_toggle(int) {}
    int mov_per_frame() { return 0; }
    void draw_record_lgt() {}
    // Draws the notice that movies are not available into the current window.
    void qtim_wind();
};

extern qtim_class qtim;
