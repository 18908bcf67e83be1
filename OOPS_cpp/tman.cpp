#include "OOPS_cpp/tman.h"

#include <GL/gl.h>
#include <GL/glext.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <unordered_map>

#include "GenC/hl_alert.h"
#include "GenH/hl_types.h"
#include "OOPS_cpp/xmap.h"
#include "TEX/TEX_bind.h"
#include "GenC/hl_init.h"
#include "TEX/TEX_bmp.h"
#include "TEX/TEX_dds.h"
#include "TEX/TEX_png.h"
#include "TEX/TEX_utils.h"
#include "UTL/UTL_cmdline.h"

namespace {

tex_load_vars async_vars;

constexpr const char kSource[] = "OOPS_cpp/tman";

alignas(16) unsigned char scratch_array_temp[kScratchArrayBytes + 15];

std::string num(const char* format, double v)
{
    char buf[64];
    snprintf(buf, sizeof buf, format, v);
    return buf;
}

bool is_scratch_name(const std::string& name) { return name.rfind("scratch_array", 0) == 0; }

class lock_guard {
public:
    explicit lock_guard(pthread_mutex_t& m) : m_(m) { pthread_mutex_lock(&m_); }
    ~lock_guard() { pthread_mutex_unlock(&m_); }
    lock_guard(const lock_guard&) = delete;
    lock_guard& operator=(const lock_guard&) = delete;

private:
    pthread_mutex_t& m_;
};

bool nearest_ref(int ref) { return ref == 388 || ref == 415 || ref == 421 || ref == 422 || (ref >= 423 && ref <= 438); }

bool is_pow2(int n) { return n > 0 && (n & (n - 1)) == 0; }

// Decoded rows of `stride` bytes become rows of the texture's width: the
// picture's used_w by used_h texels at the start of each, zeros after.
void relayout(unsigned char* data, int64_t stride, int bpp, int used_w, int used_h, int tex_w, int tex_h)
{
    const int64_t out = int64_t(bpp) * tex_w, keep = int64_t(bpp) * std::min(used_w, tex_w);
    const int rows = std::min(used_h, tex_h);
    if (out <= stride) {
        for (int y = 0; y < rows; ++y) {
            memmove(data + y * out, data + y * stride, keep);
            memset(data + y * out + keep, 0, out - keep);
        }
    } else {
        for (int y = rows - 1; y >= 0; --y) {
            memmove(data + y * out, data + y * stride, keep);
            memset(data + y * out + keep, 0, out - keep);
        }
    }
    if (tex_h > rows) memset(data + rows * out, 0, (tex_h - rows) * out);
}

}  // namespace

unsigned char* tman_scratch_temp() { return scratch_array_temp; }

// ---------------------------------------------------------------------------
// The table.

tman_class::tman_class()
{
    pthread_mutexattr_t attr;
    pthread_mutexattr_init(&attr);
    pthread_mutexattr_settype(&attr, PTHREAD_MUTEX_RECURSIVE);
    pthread_mutex_init(&lock, &attr);
    pthread_mutexattr_destroy(&attr);
}

tman_class::~tman_class() { pthread_mutex_destroy(&lock); }

int tman_class::find_name(const std::string& name)
{
    lock_guard g(lock);
    const auto it = tex_hash.find(name);
    return it == tex_hash.end() ? -1 : it->second;
}

int tman_class::load_texture(tex_fail_mode fail, int ref, int flags, tex_load_time when, const std::string& name)
{
    if (name.empty()) return 0;
    const bool quiet_ref = ref == 0 || ref == 312 || ref == 388 || ref == 392 || (ref >= 423 && ref <= 438) ||
                           ref == kTexPlaceholder;
    if (when == tex_load_now && !is_scratch_name(name) && !quiet_ref) MACIBM_show_init("Loading bitmap " + name + ".", nullptr);

    lock_guard g(lock);
    if (when < tex_load_now || when > tex_load_never) {
        __MACIBM_alert(0, "Trying to create an invalid texture load_time!", name, "value:", num("%1.0f", when), t_exit,
                       kSource, 130);
        return 0;
    }
    if (ref < 0 || ref > kTexFirstDynamic) {
        __MACIBM_alert(0, "Trying to bind too low or high a manual_ref!", name, "value:", num("%1.0f", ref), t_exit,
                       kSource, 133);
        return 0;
    }
    const bool dynamic = ref == 0;
    int slot = ref;
    if (dynamic) {
        const auto it = tex_hash.find(name);
        if (it != tex_hash.end()) {
            ref_dat_struct& s = ref_dat[it->second];
            s.ref_count += 1;
            if (s.state == tex_state_loaded) return it->second;
            return load_texture_int(fail, it->second, flags, name);
        }
        slot = -1;
        for (int i = int(ref_dat.size()) - 1; i >= kTexFirstDynamic; --i)
            if (ref_dat[i].format == 0) {
                slot = i;
                break;
            }
        if (slot < 0) slot = std::max(int(ref_dat.size()), kTexFirstDynamic);
    }
    if (slot >= int(ref_dat.size())) ref_dat.resize(slot + 1);

    ref_dat_struct& s = ref_dat[slot];
    const auto old = tex_hash.find(s.name);
    if (old != tex_hash.end() && old->second == slot) tex_hash.erase(old);
    tex_hash.emplace(name, slot);
    if (s.format == 0) {
        s.name = name;
        s.tex_id = 0;
        s.ref_count = dynamic ? 1 : -1;
        s.flags = flags;
        s.format = GL_RGBA;
        s.vram = 0;
        s.used_w = s.used_h = s.tex_w = s.tex_h = 0;
        s.state = tex_state_loaded;
        s.fail_mode = fail;
        total_count += 1;
    }
    const int r = load_texture_int(fail, slot, flags, name);
    return r != 0 || dynamic ? slot : 0;
}

int tman_class::load_texture_int(tex_fail_mode fail, int ref, int flags, const std::string& name)
{
    if (finish_obj && !is_scratch_name(name)) finish_obj->force_finish();
    if (flags < 0 || flags > 16383) {
        __MACIBM_alert(0, "Trying to bind an invalid filter type!", name, "value:", num("%1.0f", flags), t_exit,
                       kSource, 131);
        return 0;
    }
    tex_load_vars v;
    v.fail_mode = fail;
    v.ref = ref;
    v.flags = flags;
    v.name = name;
    const int io = load_texture_io(&v);
    return load_texture_ogl(&v, io);
}

void tman_class::bind_ref(int ref, int unit, int env_mode)
{
    lock_guard g(lock);
    // References outside the table are ignored.
    if (ref == 0) {
        TEX_bind_ref(ref_dat.empty() ? 0 : ref_dat[0].tex_id, unit, env_mode);
        return;
    }
    if (ref < 0 || ref >= int(ref_dat.size())) return;
    const ref_dat_struct& s = ref_dat[ref];
    int gl_name = s.tex_id;
    if (s.state != tex_state_loaded) {
        if (s.state != tex_state_waiting)
            __MACIBM_alert(0, "missing non-scenery texture - how?", "", num("ref=%6.0f", ref), s.name, t_alert,
                           kSource, 425);
        gl_name = kTexPlaceholder;
    }
    TEX_bind_ref(gl_name, unit, env_mode);
}

void tman_class::release_texture(int ref)
{
    lock_guard g(lock);
    const bool in_table = ref >= 0 && ref < int(ref_dat.size());
    const std::string name = in_table ? ref_dat[ref].name : "";
    if (ref < kTexFirstDynamic) {
        __MACIBM_alert(0, "Trying to release a manual texture - use unload_texture.", num("%f", ref), name, "",
                       t_exit, kSource, 1240);
        return;
    }
    if (!in_table) return;
    ref_dat_struct& s = ref_dat[ref];
    if (s.ref_count == -1) {
        __MACIBM_alert(0, "Ref count is negative - was never reffed.", num("%f", ref), s.name, "", t_exit, kSource,
                       1241);
        return;
    }
    s.ref_count -= 1;
    if (s.ref_count < 0)
        __MACIBM_alert(0, "Ref count went negative", num("%f", ref), s.name, "", t_exit, kSource, 1243);
}

void tman_class::unload_texture(int ref)
{
    lock_guard g(lock);
    if (ref >= kTexFirstDynamic) {
        const std::string name = ref < int(ref_dat.size()) ? ref_dat[ref].name : "";
        __MACIBM_alert(0, "Error: dynamic textures should be released, not unloaded.", name, num("%f", ref), "",
                       t_exit, kSource, 1200);
        return;
    }
    unload_texture_internal(ref);
}

void tman_class::unload_texture_internal(int ref)
{
    if (ref < 0 || ref >= int(ref_dat.size())) return;
    ref_dat_struct& s = ref_dat[ref];
    if (s.tex_id != 0 && s.tex_id != kTexPlaceholder) {
        const GLuint gl_name = static_cast<GLuint>(s.tex_id);
        glDeleteTextures(1, &gl_name);
    }
    if (s.state == tex_state_loaded && s.vram != 0) loaded_count -= 1;
    if (s.format != 0) total_count -= 1;
    const auto it = tex_hash.find(s.name);
    if (it != tex_hash.end() && it->second == ref) tex_hash.erase(it);
    s = ref_dat_struct();
}

void tman_class::purge_unused_texes()
{
    lock_guard g(lock);
    for (int i = kTexFirstDynamic; i < int(ref_dat.size()); ++i)
        if (ref_dat[i].ref_count == 0) unload_texture_internal(i);
}

void tman_class::force_load_tex(int ref)
{
    lock_guard g(lock);
    if (ref < 0 || ref >= int(ref_dat.size())) return;
    const ref_dat_struct s = ref_dat[ref];
    if (s.state != tex_state_loaded) load_texture_int(tex_fail_mode(s.fail_mode), ref, s.flags, s.name);
}

int tman_class::loaded_texes()
{
    lock_guard g(lock);
    return loaded_count;
}

int tman_class::total_texes()
{
    lock_guard g(lock);
    return total_count;
}

int tman_class::tot_vram()
{
    lock_guard g(lock);
    int64_t sum = 0;
    for (const ref_dat_struct& s : ref_dat) sum += s.vram;
    sum += int64_t(mnw.screen_w) * mnw.screen_h * mnw.screen_bits / 8;
    return static_cast<int>(std::min<int64_t>(sum, INT32_MAX));
}

static float scale_of_setting(int tex_res)
{
    switch (tex_res) {
    case 4: return 0.5f;
    case 3: return 0.25f;
    case 2: return 0.125f;
    case 1: return 0.0625f;
    case 0: return 0.03125f;
    default: return 1.0f;
    }
}

float tman_class::scale_rat() { return scale_of_setting(mnw.tex_res); }
void tman_class::set_blend_level(int unit, float level) { TEX_set_blend_level(unit, level); }
void tman_class::reset_bind() { TEX_reset_bind(); }

void tman_class::make_placeholder()
{
    // An 8 by 8 mid grey, opaque, uploaded from the manager's own buffer.
    static unsigned char grey[8 * 8 * 4];
    memset(grey, 128, sizeof grey);
    for (std::size_t i = 3; i < sizeof grey; i += 4) grey[i] = 255;
    unsigned char* const saved = scratch_array;
    const int dx = scratch_dx, dy = scratch_dy;
    scratch_array = grey;
    scratch_dx = scratch_dy = 8;
    load_texture(tex_fail_fatal, kTexPlaceholder, 0x502, tex_load_now, "scratch_array:blank placeholder");
    scratch_array = saved;
    scratch_dx = dx;
    scratch_dy = dy;
}

// ---------------------------------------------------------------------------
// The file stage.

float TEX_get_scale(std::string name, int, int flags, int w, int h, int* used_w, int* used_h, int* tex_w,
                    int* tex_h, int source)
{
    float s = scale_of_setting(mnw.tex_res);
    if (flags & tex_flag_double_res) s = std::clamp(2 * s, 0.0f, 1.0f);
    if (flags & tex_flag_half_res) s = std::clamp(s / 2, 0.0f, 1.0f);
    if ((flags & tex_flag_full_res) || source == 1) s = 1.0f;
    if (w > 0) s = std::max(s, 1.0f / float(w));
    if (h > 0) s = std::max(s, 1.0f / float(h));
    const int max = glExt.max_tex_size;
    if (max > 0)
        while (s * float(w) > float(max) || s * float(h) > float(max)) s /= 2;
    *used_w = static_cast<int>(s * float(w));
    *used_h = static_cast<int>(s * float(h));
    if (flags & tex_flag_any_size) {
        *tex_w = *used_w;
        *tex_h = *used_h;
    } else {
        *tex_w = TEX_pow2_at_least(*used_w);
        *tex_h = TEX_pow2_at_least(*used_h);
    }
    for (int v : {w, h, *used_w, *used_h, *tex_w, *tex_h}) check_dxy(v, name);
    return s;
}

int load_any_into_scratch(std::string name, int ref, int flags, int& format, int& has_mips, signed char& bytes_pp,
                          int alpha_from_file, int* used_w, int* used_h, int* tex_w, int* tex_h)
{
    if (bytes_pp < 1 || bytes_pp > 4) {
        __MACIBM_alert(0, "Trying to bind too low or high a number of bytes!", name, "value:",
                       num("%1.0f", bytes_pp), t_exit, kSource, 132);
        return 0;
    }
    unsigned char* dest = (flags & tex_flag_in_scratch) ? scratch_array : scratch_array_temp;
    if (!dest) return 0;

    // The file: .dds first (unless "--no_dds"), then .png, then .bmp, for a
    // name with a three-letter extension; any other name as it is.
    const bool has_ext = name.size() > 4 && name[name.size() - 4] == '.';
    const std::string stem = has_ext ? name.substr(0, name.size() - 4) : name;
    std::vector<std::string> tries;
    if (has_ext) {
        if (!cmdline.has_option("--no_dds")) tries.push_back(stem + ".dds");
        tries.push_back(stem + ".png");
        tries.push_back(stem + ".bmp");
    } else {
        tries.push_back(name);
    }
    xmap_class map("");
    for (const std::string& t : tries)
        if (map.retry(t)) break;
    if (!map.begin || map.end - map.begin <= 7) return 0;

    TEX_image_desc desc;
    const unsigned request = bytes_pp == 1 ? tex_alpha : bytes_pp == 4 ? tex_rgba : tex_rgb;
    int kind = 0;  // 1 DDS, 2 BMP or PNG
    unsigned char* dds = nullptr;
    if (!memcmp(map.begin, "DDS ", 4) && TEX_load_dds(name, &map, dds, desc) && desc.has_mips) kind = 1;
    if (!kind && map.begin[0] == 'B' && map.begin[1] == 'M') {
        map.cursor = map.begin;
        if (TEX_load_bmp(name, &map, dest, request, 0, 1, desc, kScratchArrayBytes)) kind = 2;
    }
    if (!kind && TEX_is_png(map.begin, std::size_t(map.end - map.begin))) {
        map.cursor = map.begin;
        if (TEX_load_png(name, &map, dest, request, 0, 1, alpha_from_file, desc, kScratchArrayBytes)) kind = 2;
    }
    if (!kind) return 0;

    switch (desc.format) {
    case tex_rgba: case tex_bgra: case tex_dxt1a: case tex_dxt3: case tex_dxt5: bytes_pp = 4; break;
    case tex_rgb: case tex_bgr: case tex_dxt1: bytes_pp = 3; break;
    case tex_alpha: bytes_pp = 1; break;
    default: break;
    }
    format = desc.format;
    has_mips = desc.has_mips;

    const float s = TEX_get_scale(name, ref, flags, desc.width, desc.height, used_w, used_h, tex_w, tex_h, 2);
    float r = 1.0f / s;
    if (kind == 1) {
        while (r > 1) {
            TEX_image_desc level = desc;
            level.has_mips = 0;
            dds += TEX_bytes_needed_64(level);
            if (desc.width > 1) desc.width /= 2;
            if (desc.height > 1) desc.height /= 2;
            r /= 2;
        }
        const int64_t bytes = TEX_bytes_needed_64(desc);
        if (bytes > int64_t(kScratchArrayBytes)) return 0;
        memcpy(dest, dds, bytes);
        TEX_flip_y(desc, dest);
        return 1;
    }
    const int64_t stride = int64_t(bytes_pp) * desc.width + desc.pad;
    if (r > 1) {
        const int n = static_cast<int>(r);
        TEX_downscale(desc, dest, std::min(n, desc.width), std::min(n, desc.height));
    }
    // Rows come out of the codecs padded to the power-of-two width of the
    // file's size; the upload reads rows of the texture's width.
    relayout(dest, r > 1 ? int64_t(bytes_pp) * desc.width + desc.pad : stride, bytes_pp, desc.width, desc.height,
             *tex_w, *tex_h);
    return 1;
}

int tman_class::load_texture_io(tex_load_vars* v)
{
    static const struct { int format, bytes_pp, alpha_from_file; } modes[8] = {
        {GL_RGB, 3, 0}, {GL_RGB, 3, 0}, {GL_RGBA, 4, 0}, {GL_ALPHA, 1, 0},
        {GL_RGB, 3, 1}, {GL_RGBA, 4, 1}, {GL_DEPTH_COMPONENT, 1, 0}, {GL_RGB, 3, 0},
    };
    const int mode = v->flags & tex_flag_colour_mask;
    if (mode == 0)
        __MACIBM_alert(0, "BAD color enum for tman - see tman for valid colors!  We cannot pass 0.", "", "", "",
                       t_exit, kSource, 706);
    v->format = modes[mode].format;
    v->bytes_pp = static_cast<signed char>(modes[mode].bytes_pp);
    v->alpha_from_file = modes[mode].alpha_from_file;
    v->has_mips = 0;

    int result = 0;
    if (is_scratch_name(v->name)) {
        check_dxy(scratch_dx, v->name);
        check_dxy(scratch_dy, v->name);
        TEX_get_scale(v->name, v->ref, v->flags, scratch_dx, scratch_dy, &v->used_w, &v->used_h, &v->tex_w,
                      &v->tex_h, 1);
        v->pixels = scratch_array;
        result = 1;
    } else if (!v->name.empty() &&
               load_any_into_scratch(v->name, v->ref, v->flags, v->format, v->has_mips, v->bytes_pp,
                                     v->alpha_from_file, &v->used_w, &v->used_h, &v->tex_w, &v->tex_h)) {
        v->pixels = scratch_array_temp;
        result = 2;
    }
    if (v->flags & tex_flag_in_scratch) v->pixels = scratch_array;
    return result;
}

// ---------------------------------------------------------------------------
// The upload stage.

int tman_class::load_texture_ogl(tex_load_vars* v, int io_result)
{
    const int ref = v->ref;
    if (ref < 0 || ref >= int(ref_dat.size())) {
        __MACIBM_alert(0, "(manual_ref>=ref_dat.size()!",
                       "maybe we tried to load some texture thatis not avail, and we have not loaded the "
                       "t_blank_gray yet?",
                       "", "", t_exit, kSource, 764);
        return 0;
    }
    ref_dat_struct& s = ref_dat[ref];
    if (io_result == 0) {
        // The slot shows the placeholder; without one it shows no texture.
        if (kTexPlaceholder < int(ref_dat.size()) && ref_dat[kTexPlaceholder].format != 0) {
            const ref_dat_struct& p = ref_dat[kTexPlaceholder];
            s.tex_id = p.tex_id;
            s.used_w = p.used_w;
            s.used_h = p.used_h;
            s.tex_w = p.tex_w;
            s.tex_h = p.tex_h;
            s.format = p.format;
        } else {
            s.tex_id = 0;
            s.used_w = s.used_h = s.tex_w = s.tex_h = 0;
        }
        s.vram = 0;
        s.state = tex_state_loaded;
        if (v->fail_mode == tex_fail_silent) return 0;
        int* flag = v->fail_mode == tex_fail_scene   ? &scene_load_fail
                    : v->fail_mode == tex_fail_plane ? &plane_load_fail
                    : v->fail_mode == tex_fail_instl ? &instl_load_fail
                                                     : nullptr;
        if (flag && *flag == 0) *flag = 1;
        if (v->fail_mode == tex_fail_fatal)
            __MACIBM_alert(0, "Trying to load a texture that you do not have!",
                           "This smacks of a mis-installed copy of Brennix!",
                           std::string("Get a new download from ") + kMakerWebHost + ". The missing file is:", v->name,
                           t_exit, kSource, 779);
        xer << "WARNING: we are missing the texture: " << v->name << ".\n";
        return 0;
    }

    const int f = v->flags;
    const bool compressed = TEX_is_dxt(v->format);
    const bool mipmapped = (f & tex_flag_mipmap) != 0;
    const bool gl_mips = mipmapped && glExt.automini_avail && !compressed && !(f & tex_flag_8bit);
    const bool computed_mips = mipmapped && !gl_mips && !v->has_mips;
    const bool bleed = v->bytes_pp == 4 && io_result != 1 && !compressed && !v->has_mips;
    int internal = v->format == GL_BGRA ? GL_RGBA : v->format == GL_BGR ? GL_RGB : v->format;
    if (f & tex_flag_half_float) {
        if (internal == GL_RGB) internal = GL_RGB16F_ARB;
        else if (internal == GL_RGBA) internal = GL_RGBA16F_ARB;
        else if (internal == GL_ALPHA) internal = GL_ALPHA16F_ARB;
    }
    if (internal == GL_DEPTH_COMPONENT) internal = GL_DEPTH_COMPONENT32;
    if (f & tex_flag_8bit) {
        if (internal == GL_RGB) internal = GL_RGB8;
        else if (internal == GL_RGBA) internal = GL_RGBA8;
    }
    bool update = s.state == tex_state_loaded && s.format == v->format && int(s.tex_w) == v->tex_w &&
                  int(s.tex_h) == v->tex_h && s.tex_id == ref;

    if (s.vram == 0) loaded_count += 1;
    s.name = v->name;
    s.tex_id = ref;
    s.state = tex_state_loaded;
    s.used_w = float(v->used_w);
    s.used_h = float(v->used_h);
    s.tex_w = float(v->tex_w);
    s.tex_h = float(v->tex_h);
    s.format = v->format;
    s.flags = f;
    s.vram = static_cast<int>(double(v->tex_w) * v->tex_h * v->bytes_pp * (mipmapped ? 1.33 : 1.0));

    if (ref == 0) {
        __MACIBM_alert(0, "Trying to bind a null ref!", "ref=     0, tex=     0", "", ref_dat[0].name, t_exit, kSource,
                       948);
        __MACIBM_alert(0, "Trying to bind a null tex!", "ref=     0, tex=     0", "", ref_dat[0].name, t_exit, kSource,
                       949);
        return 0;
    }

    unsigned char* px = v->pixels;
    if (bleed) {
        // Transparent texels take the mean colour of their opaque neighbours
        // within two texels, so filtering shows no dark fringe.
        const int w = v->tex_w, h = v->tex_h;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                unsigned char* t = px + (int64_t(y) * w + x) * 4;
                if (t[3] != 0) continue;
                int sum[3] = {0, 0, 0}, count = 0;
                for (int yy = std::max(y - 2, 0); yy <= std::min(y + 2, h - 1); ++yy)
                    for (int xx = std::max(x - 2, 0); xx <= std::min(x + 2, w - 1); ++xx) {
                        const unsigned char* n = px + (int64_t(yy) * w + xx) * 4;
                        if (n[3] == 0) continue;
                        sum[0] += n[0];
                        sum[1] += n[1];
                        sum[2] += n[2];
                        ++count;
                    }
                if (count)
                    for (int c = 0; c < 3; ++c) t[c] = static_cast<unsigned char>(sum[c] / count);
            }
    }

    if (!(f & tex_flag_any_size)) {
        if (!is_pow2(v->tex_w))
            __MACIBM_alert(0, "load_tex: Trying to read a texture that is not a power of 2!", v->name, "", "", t_exit,
                           kSource, 996);
        if (!is_pow2(v->tex_h))
            __MACIBM_alert(0, "load_tex: Trying to read a texture that is not a power of 2!", v->name, "", "", t_exit,
                           kSource, 997);
    }
    check_dxy(v->tex_w, v->name);
    check_dxy(v->tex_h, v->name);

    const int units = num_units;
    num_units = 1;
    if (units == 0) {
        glEnable(GL_TEXTURE_2D);
        TEX_bind_ref(ref, 0, 0);
        num_units = 0;
        glDisable(GL_TEXTURE_2D);
    } else {
        TEX_bind_ref(ref, 0, 0);
        num_units = units;
    }

    if (update) {
        // The table may describe a texture of a context that is gone (a new
        // context made current since): update in place only what GL holds.
        GLint w = 0, h = 0;
        glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &w);
        glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &h);
        update = w == v->tex_w && h == v->tex_h;
    }
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    TEX_image_desc level{v->format, v->tex_w, v->tex_h, 0, 0};
    unsigned char* data = px;
    for (int lv = 0;; ++lv) {
        const int bytes = TEX_bytes_needed_for_image(level);
        if (gl_mips) glTexParameteri(GL_TEXTURE_2D, GL_GENERATE_MIPMAP, 1);
        if (update) {
            if (compressed && glExt.glCompressedTexSubImage2DARB)
                glExt.glCompressedTexSubImage2DARB(GL_TEXTURE_2D, lv, 0, 0, level.width, level.height, level.format,
                                                   bytes, data);
            else if (!compressed)
                glTexSubImage2D(GL_TEXTURE_2D, lv, 0, 0, level.width, level.height, level.format, GL_UNSIGNED_BYTE,
                                data);
        } else {
            if (compressed && glExt.glCompressedTexImage2DARB)
                glExt.glCompressedTexImage2DARB(GL_TEXTURE_2D, lv, level.format, level.width, level.height, 0, bytes,
                                                data);
            else if (!compressed)
                glTexImage2D(GL_TEXTURE_2D, lv, internal, level.width, level.height, 0, level.format,
                             GL_UNSIGNED_BYTE, data);
        }
        if (level.width <= 1 && level.height <= 1) break;
        if (v->has_mips) {
            data += bytes;
            if (level.width > 1) level.width /= 2;
            if (level.height > 1) level.height /= 2;
        } else if (computed_mips) {
            TEX_downscale(level, data, level.width > 1 ? 2 : 1, level.height > 1 ? 2 : 1);
        } else {
            break;
        }
    }

    if (compressed) {
        GLint is_compressed = 0;
        glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_COMPRESSED, &is_compressed);
        if (is_compressed) {
            GLint size = 0;
            glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_COMPRESSED_IMAGE_SIZE, &size);
            s.vram = static_cast<int>(size * (mipmapped ? 1.33 : 1.0));
        }
    }
    const GLint clamp = glExt.tex_clamp_avail ? GL_CLAMP_TO_EDGE : GL_CLAMP;
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, (f & (tex_flag_clamp | tex_flag_clamp_s)) ? clamp : GL_REPEAT);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, (f & tex_flag_clamp) ? clamp : GL_REPEAT);
    if (glExt.aniso_avail) glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_MAX_ANISOTROPY_EXT, 1.0f);
    if (nearest_ref(ref)) {
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    } else {
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, mipmapped ? GL_LINEAR_MIPMAP_LINEAR : GL_LINEAR);
    }
    if (v->format == GL_DEPTH_COMPONENT) {
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_COMPARE_MODE, GL_COMPARE_R_TO_TEXTURE);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_COMPARE_FUNC, GL_LEQUAL);
    }
    return ref;
}

// ---------------------------------------------------------------------------
// Asynchronous scenery loading.

int tman_class::load_scenery_async_register(tman_force_finish_obj* client)
{
    for (int i = async_scan; i < int(ref_dat.size()); ++i)
        if (ref_dat[i].state == tex_state_waiting) {
            async_vars = tex_load_vars();
            async_vars.ref = i;
            async_vars.flags = ref_dat[i].flags;
            async_vars.fail_mode = tex_fail_mode(ref_dat[i].fail_mode);
            async_vars.name = ref_dat[i].name;
            finish_obj = client;
            async_job = &async_vars;
            return 1;
        }
    async_scan = int(ref_dat.size());
    return 0;
}

void tman_class::load_scenery_async_work()
{
    if (async_job) async_io_result = load_texture_io(async_job);
}

void tman_class::load_scenery_async_finalize()
{
    if (!finish_obj) return;
    load_texture_ogl(async_job, async_io_result);
    finish_obj = nullptr;
    async_job = nullptr;
}

int tman_class::num_remaining_async_texes()
{
    lock_guard g(lock);
    int n = 0;
    for (int i = async_scan; i < int(ref_dat.size()); ++i) n += ref_dat[i].state == tex_state_waiting;
    return n;
}

void tman_class::load_all_scenery_texes()
{
    lock_guard g(lock);
    int n = 0;
    for (int i = async_scan; i < int(ref_dat.size()); ++i) n += ref_dat[i].state == tex_state_waiting;
    int done = 0;
    for (int i = async_scan; i < int(ref_dat.size()); ++i) {
        if (ref_dat[i].state != tex_state_waiting) continue;
        const ref_dat_struct s = ref_dat[i];
        load_texture_int(tex_fail_mode(s.fail_mode), i, s.flags, s.name);
        if (done % 40 == 0) {
            float progress = float(done) / float(n);
            const std::size_t slash = s.name.rfind('/');
            const std::string shown = slash == std::string::npos ? s.name : s.name.substr(slash + 1);
            pthread_mutex_unlock(&lock);
            MACIBM_show_init("Loading scenery texture " + shown + ".", &progress);
            pthread_mutex_lock(&lock);
        }
        done += 1;
    }
    async_scan = int(ref_dat.size());
}
