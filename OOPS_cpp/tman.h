// The texture manager: a table of texture slots whose index is both the
// caller's reference and the GL texture name. Callers load an image file, or an
// image placed in scratch_array, into a reference of their choice ("manual",
// 1 to 1130) or into a reference-counted dynamic slot found by name (1130 and
// up); they bind, unload and release references. Slot 925 is the blank
// placeholder that failed loads show.
#pragma once

#include <pthread.h>

#include <string>
#include <unordered_map>
#include <vector>

// What a failed load does: 0 nothing; 1, 2, 3 raise the scenery, plane or
// installer failure flag and log the missing file; 4 a fatal alert.
enum tex_fail_mode { tex_fail_silent = 0, tex_fail_scene = 1, tex_fail_plane = 2, tex_fail_instl = 3,
                     tex_fail_fatal = 4 };
// When a load happens: every value loads at once; 100 shows progress text.
enum tex_load_time { tex_load_now = 100, tex_load_later = 101, tex_load_never = 102 };

// Slot states.
enum { tex_state_loaded = 100, tex_state_waiting = 101, tex_state_unloaded = 102 };

inline constexpr int kTexFirstDynamic = 1130;
inline constexpr int kTexPlaceholder = 925;
inline constexpr int kTexAtlas = 388;

// Texture flags word (bits the loading stages test).
enum : int {
    tex_flag_colour_mask = 0x7,  // 1 RGB, 2 RGBA, 3 alpha, 4 RGB or RGBA by the file, 5 RGBA or RGB, 6 depth, 7 RGB
    tex_flag_mipmap = 0x8,
    tex_flag_clamp = 0x10,
    tex_flag_clamp_s = 0x20,
    tex_flag_double_res = 0x40,
    tex_flag_half_res = 0x80,
    tex_flag_full_res = 0x100,
    tex_flag_in_scratch = 0x200,
    tex_flag_half_float = 0x800,
    tex_flag_8bit = 0x1000,
    tex_flag_any_size = 0x2000,
};

// One load in progress.
struct tex_load_vars {
    tex_fail_mode fail_mode = tex_fail_silent;
    int ref = 0;
    int flags = 0;
    int format = 0;
    int has_mips = 0;
    signed char bytes_pp = 0;
    int alpha_from_file = 0;
    int used_w = 0, used_h = 0;
    int tex_w = 0, tex_h = 0;
    std::string name;
    unsigned char* pixels = nullptr;
};

// Told to finish its asynchronous work before any synchronous file load.
class tman_force_finish_obj {
public:
    virtual void force_finish() = 0;
    virtual ~tman_force_finish_obj() = default;
};

class tman_class {
public:
    struct ref_dat_struct {
        std::string name = "un-inited";
        int tex_id = 0;
        float used_w = 0, used_h = 0;
        float tex_w = 0, tex_h = 0;
        int vram = 0;
        int format = 0;  // 0: never created, or unloaded
        int state = tex_state_unloaded;
        int flags = 0;
        int fail_mode = tex_fail_fatal;
        int ref_count = -1;  // -1 manual or free; holders of a dynamic slot
    };

    int async_scan = 0;
    int loaded_count = 0;
    int total_count = 0;
    std::vector<ref_dat_struct> ref_dat;
    int scene_load_fail = 0;  // 0 none, 1 failed and not reported, 2 muted
    int plane_load_fail = 0;
    int instl_load_fail = 0;
    tex_load_vars* async_job = nullptr;
    int async_io_result = 0;
    tman_force_finish_obj* finish_obj = nullptr;
    pthread_mutex_t lock;
    // Name to slot. Each manager has its own: a name must never lead to a slot
    // of another manager's table.
    std::unordered_map<std::string, int> tex_hash{193};

    tman_class();
    ~tman_class();
    tman_class(const tman_class&) = delete;
    tman_class& operator=(const tman_class&) = delete;

    int load_texture(tex_fail_mode fail, int ref, int flags, tex_load_time when, const std::string& name);
    int load_texture_int(tex_fail_mode fail, int ref, int flags, const std::string& name);
    void bind_ref(int ref, int unit, int env_mode);
    void release_texture(int ref);
    void unload_texture(int ref);
    void unload_texture_internal(int ref);
    void purge_unused_texes();
    void force_load_tex(int ref);
    int loaded_texes();
    int total_texes();
    int tot_vram();
    float scale_rat();
    void set_blend_level(int unit, float level);
    void reset_bind();

    int has_scene_load_fail() { return scene_load_fail == 1; }
    int has_plane_load_fail() { return plane_load_fail == 1; }
    int has_instl_load_fail() { return instl_load_fail == 1; }
    void reset_scene_load_fail() { scene_load_fail = 0; }
    void reset_plane_load_fail() { plane_load_fail = 0; }
    void reset_instl_load_fail() { instl_load_fail = 0; }
    void mute_scene_load_fail() { scene_load_fail = 2; }
    void mute_plane_load_fail() { plane_load_fail = 2; }
    void mute_instl_load_fail() { instl_load_fail = 2; }

    // Creates slot 925, the blank placeholder, from a small grey image. The
    // start-up does it before any other load.
    void make_placeholder();

    // The two stages of one load (the caller holds the lock).
    int load_texture_io(tex_load_vars* v);
    int load_texture_ogl(tex_load_vars* v, int io_result);

    // Asynchronous scenery loading.
    int load_scenery_async_register(tman_force_finish_obj* client);
    void load_scenery_async_work();
    void load_scenery_async_finalize();
    int num_remaining_async_texes();
    void load_all_scenery_texes();

    // The slot's index in the name index, or -1 (for tests and diagnostics).
    int find_name(const std::string& name);
};

// The resolution factor for an image of w by h; fills the used and texture
// sizes. source: 1 an image in scratch_array, 2 a file.
float TEX_get_scale(std::string name, int ref, int flags, int w, int h, int* used_w, int* used_h, int* tex_w,
                    int* tex_h, int source);

// Finds the file (.dds first unless "--no_dds", then .png, then .bmp), decodes
// it into the manager's buffer (or scratch_array with flag 0x200) and scales it
// to the resolution setting. 1 decoded, 0 not found or not decodable.
int load_any_into_scratch(std::string name, int ref, int flags, int& format, int& has_mips, signed char& bytes_pp,
                          int alpha_from_file, int* used_w, int* used_h, int* tex_w, int* tex_h);

// The manager's own decode buffer: 16 MiB, 16-byte aligned.
unsigned char* tman_scratch_temp();
