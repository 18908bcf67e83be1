// The texture manager against a real GL (Mesa's software renderer under the
// private Xvfb): the slot table, dynamic slots and reference counts, failure
// flags, and uploads read back with glGetTexLevelParameter and glGetTexImage.
#include <gtest/gtest.h>
#include <GL/gl.h>
#include <GL/glext.h>
#include <GL/glx.h>
#include <X11/Xlib.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <csignal>
#include <functional>
#include <cstring>
#include <fstream>
#include <vector>

#include "GenH/hl_types.h"
#include "OOPS_cpp/tman.h"
#include "TEX/TEX_bind.h"
#include "TEX/TEX_dds.h"
#include "UTL/UTL_cmdline.h"
#include "images/builtin_images.h"
#include "support/image_util.h"
#include "support/test_util.h"

namespace {

using namespace brx_test;
using bytes = std::vector<uint8_t>;

// A GL context for each suite, current on the test thread.
class GlTest : public ::testing::Test {
public:
    static void SetUpTestSuite()
    {
        dpy_ = XOpenDisplay(nullptr);
        ASSERT_NE(dpy_, nullptr);
        int attrs[] = {GLX_RGBA, GLX_DOUBLEBUFFER, GLX_RED_SIZE, 8, GLX_GREEN_SIZE, 8, GLX_BLUE_SIZE, 8, None};
        XVisualInfo* vi = glXChooseVisual(dpy_, DefaultScreen(dpy_), attrs);
        ASSERT_NE(vi, nullptr);
        XSetWindowAttributes swa{};
        swa.colormap = XCreateColormap(dpy_, DefaultRootWindow(dpy_), vi->visual, AllocNone);
        win_ = XCreateWindow(dpy_, DefaultRootWindow(dpy_), 0, 0, 64, 64, 0, vi->depth, InputOutput, vi->visual,
                             CWColormap, &swa);
        ctx_ = glXCreateContext(dpy_, vi, nullptr, True);
        XFree(vi);
        ASSERT_TRUE(glXMakeCurrent(dpy_, win_, ctx_));
        // The binder's memory describes whatever context was current before.
        TEX_reset_bind();
        glExt.init_extensions();
        scratch_array = scratch_array_aligned();
        mnw.tex_res = 5;
    }
    static void TearDownTestSuite()
    {
        glXMakeCurrent(dpy_, None, nullptr);
        TEX_reset_bind();
        glXDestroyContext(dpy_, ctx_);
        XDestroyWindow(dpy_, win_);
        XCloseDisplay(dpy_);
    }

private:
    static inline Display* dpy_ = nullptr;
    static inline Window win_ = 0;
    static inline GLXContext ctx_ = nullptr;
};
using TmanTable = GlTest;
using TmanUpload = GlTest;
using TmanAsync = GlTest;

struct level_info {
    int w, h, internal, compressed;
};
level_info level_of(int name, int level = 0)
{
    TEX_reset_bind();
    glBindTexture(GL_TEXTURE_2D, name);
    level_info i{};
    glGetTexLevelParameteriv(GL_TEXTURE_2D, level, GL_TEXTURE_WIDTH, &i.w);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, level, GL_TEXTURE_HEIGHT, &i.h);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, level, GL_TEXTURE_INTERNAL_FORMAT, &i.internal);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, level, GL_TEXTURE_COMPRESSED, &i.compressed);
    return i;
}
bytes texels(int name, int level = 0)
{
    const level_info i = level_of(name, level);
    bytes out(std::size_t(i.w) * i.h * 4);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTexImage(GL_TEXTURE_2D, level, GL_RGBA, GL_UNSIGNED_BYTE, out.data());
    return out;
}
int param(int name, GLenum p)
{
    glBindTexture(GL_TEXTURE_2D, name);
    TEX_reset_bind();
    GLint v = 0;
    glGetTexParameteriv(GL_TEXTURE_2D, p, &v);
    return v;
}

// A scratch-buffer image of w by h, every texel `rgba`.
void fill_scratch(int w, int h, std::array<uint8_t, 4> rgba)
{
    scratch_dx = w;
    scratch_dy = h;
    for (std::size_t i = 0; i < std::size_t(TEX_pow2_at_least(w)) * TEX_pow2_at_least(h); ++i)
        memcpy(scratch_array + i * 4, rgba.data(), 4);
}

std::string rgb_png(int w, int h, uint8_t v)
{
    return make_png({w, h, PNG_COLOR_TYPE_RGB}, std::vector<bytes>(h, bytes(std::size_t(w) * 3, v)));
}

// Runs `body` with the current folder set to a fresh one (alerts leave
// MemoryLog.txt in the current folder) and the log going to a file there.
std::string with_log(const std::function<void()>& body)
{
    TempDir dir;
    char here[4096];
    if (!getcwd(here, sizeof here)) return {};
    if (chdir(dir.path().c_str()) != 0) return {};
    xer.open(dir / "Log.txt");
    body();
    xer.close();
    if (chdir(here) != 0) return {};
    return read_file(dir / "Log.txt");
}

TEST_F(TmanTable, ManualLoadGrowsTheTable)
{
    tman_class t;
    fill_scratch(4, 4, {1, 2, 3, 255});
    EXPECT_EQ(t.load_texture(tex_fail_fatal, 389, 0x502, tex_load_now, "scratch_array:x"), 389);
    ASSERT_EQ(t.ref_dat.size(), 390u);
    for (int i = 0; i < 389; ++i) {
        EXPECT_EQ(t.ref_dat[i].state, tex_state_unloaded);
        EXPECT_EQ(t.ref_dat[i].format, 0);
        EXPECT_EQ(t.ref_dat[i].name, "un-inited");
    }
    EXPECT_EQ(t.total_texes(), 1);
    EXPECT_EQ(t.loaded_texes(), 1);
    EXPECT_EQ(t.ref_dat[389].tex_id, 389);
    // Reloading keeps the count and updates the GL texture in place.
    fill_scratch(4, 4, {9, 9, 9, 255});
    EXPECT_EQ(t.load_texture(tex_fail_fatal, 389, 0x502, tex_load_later, "scratch_array:x"), 389);
    EXPECT_EQ(t.total_texes(), 1);
    EXPECT_EQ(texels(389)[0], 9);
}

TEST_F(TmanTable, DynamicSlotsAndReferenceCounts)
{
    TempDir dir;
    tman_class t;
    for (int i = 0; i < 4; ++i) write_file(dir / ("t" + std::to_string(i) + ".png"), rgb_png(2, 2, 50));
    auto name = [&](int i) { return dir / ("t" + std::to_string(i) + ".png"); };

    // On a table shorter than 1130 the first dynamic slot is 1130.
    EXPECT_EQ(t.load_texture(tex_fail_silent, 0, 1, tex_load_now, name(0)), 1130);
    EXPECT_EQ(t.load_texture(tex_fail_silent, 0, 1, tex_load_now, name(1)), 1131);
    EXPECT_EQ(t.load_texture(tex_fail_silent, 0, 1, tex_load_now, name(2)), 1132);
    // The same name again: the same slot, two holders, one upload.
    EXPECT_EQ(t.load_texture(tex_fail_silent, 0, 1, tex_load_now, name(0)), 1130);
    EXPECT_EQ(t.ref_dat[1130].ref_count, 2);
    EXPECT_EQ(t.loaded_texes(), 3);

    // Freed slots are found again, the highest first.
    t.release_texture(1131);
    t.release_texture(1132);
    EXPECT_EQ(t.ref_dat[1131].ref_count, 0);
    EXPECT_EQ(t.ref_dat[1131].state, tex_state_loaded) << "released slots stay until purged";
    t.purge_unused_texes();
    EXPECT_EQ(glIsTexture(1131), GL_FALSE);
    EXPECT_EQ(t.ref_dat[1131].format, 0);
    EXPECT_EQ(t.find_name(name(1)), -1);
    EXPECT_EQ(t.load_texture(tex_fail_silent, 0, 1, tex_load_now, name(3)), 1132);
    EXPECT_EQ(t.total_texes(), 2);

    // A dynamic request for a name that a manual slot holds takes that slot.
    fill_scratch(2, 2, {1, 1, 1, 1});
    t.load_texture(tex_fail_silent, 500, 0x502, tex_load_now, "scratch_array:manual");
    EXPECT_EQ(t.load_texture(tex_fail_silent, 0, 0x502, tex_load_now, "scratch_array:manual"), 500);
    EXPECT_EQ(t.ref_dat[500].ref_count, 0);
}

TEST_F(TmanTable, EachManagerKeepsItsOwnNames)
{
    TempDir dir;
    write_file(dir / "a.png", rgb_png(2, 2, 10));
    write_file(dir / "b.png", rgb_png(2, 2, 20));
    tman_class first;
    ASSERT_EQ(first.load_texture(tex_fail_silent, 0, 1, tex_load_now, dir / "a.png"), 1130);
    {
        tman_class second;
        EXPECT_EQ(second.find_name(dir / "a.png"), -1);
        ASSERT_EQ(second.load_texture(tex_fail_silent, 0, 1, tex_load_now, dir / "b.png"), 1130);
    }
    // Neither the second manager's start nor its names reach the first.
    EXPECT_EQ(first.find_name(dir / "a.png"), 1130);
    EXPECT_EQ(first.find_name(dir / "b.png"), -1);
    EXPECT_EQ(first.load_texture(tex_fail_silent, 0, 1, tex_load_now, dir / "b.png"), 1131);
    EXPECT_EQ(first.ref_dat[1130].ref_count, 1);
    EXPECT_EQ(texels(1131)[0], 20);
}

TEST_F(TmanTable, FailuresShowThePlaceholderAndRaiseTheirFlag)
{
    TempDir dir;
    tman_class t;
    t.make_placeholder();
    ASSERT_EQ(t.ref_dat[kTexPlaceholder].tex_id, kTexPlaceholder);
    EXPECT_EQ(level_of(kTexPlaceholder).w, 8);

    std::string log = with_log([&] {
        EXPECT_EQ(t.load_texture(tex_fail_silent, 400, 1, tex_load_now, dir / "none.png"), 0);
    });
    EXPECT_EQ(log, "");
    EXPECT_EQ(t.ref_dat[400].tex_id, kTexPlaceholder);
    EXPECT_EQ(t.ref_dat[400].tex_w, 8);
    EXPECT_EQ(t.ref_dat[400].vram, 0);

    log = with_log([&] {
        EXPECT_EQ(t.load_texture(tex_fail_plane, 0, 1, tex_load_now, dir / "gone.png"), 1130) << "dynamic";
    });
    EXPECT_EQ(log, "WARNING: we are missing the texture: " + dir / "gone.png" + ".\n");
    EXPECT_EQ(t.has_plane_load_fail(), 1);
    t.mute_plane_load_fail();
    with_log([&] { t.load_texture(tex_fail_plane, 401, 1, tex_load_now, dir / "gone2.png"); });
    EXPECT_EQ(t.plane_load_fail, 2) << "a muted flag stays muted";
    t.reset_plane_load_fail();
    with_log([&] { t.load_texture(tex_fail_scene, 402, 1, tex_load_now, dir / "gone3.png"); });
    EXPECT_EQ(t.has_scene_load_fail(), 1);
    EXPECT_EQ(t.has_plane_load_fail(), 0);

    // Unloading a slot that shows the placeholder leaves the placeholder.
    t.unload_texture(400);
    EXPECT_EQ(glIsTexture(kTexPlaceholder), GL_TRUE);
    EXPECT_EQ(t.ref_dat[400].format, 0);

    // A slot that is not loaded binds the placeholder, with a warning.
    log = with_log([&] { t.bind_ref(400, 0, 0); });
    EXPECT_NE(log.find("missing non-scenery texture - how?"), std::string::npos);
    GLint bound = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    EXPECT_EQ(bound, kTexPlaceholder);
    // References outside the table are ignored.
    t.bind_ref(5000, 0, 0);
    t.force_load_tex(5000);
    t.unload_texture_internal(-3);
}

TEST_F(TmanTable, WithoutAPlaceholderAFailedSlotShowsNothing)
{
    TempDir dir;
    tman_class t;
    with_log([&] { t.load_texture(tex_fail_silent, 10, 1, tex_load_now, dir / "none.png"); });
    EXPECT_EQ(t.ref_dat.size(), 11u);
    EXPECT_EQ(t.ref_dat[10].tex_id, 0);
    EXPECT_EQ(t.ref_dat[10].format, GL_RGBA);
}

TEST_F(TmanTable, Misuse)
{
    struct row { const char* what; std::function<void(tman_class&)> call; const char* line1; };
    const row rows[] = {
        {"load time", [](tman_class& t) { t.load_texture(tex_fail_silent, 5, 1, tex_load_time(103), "x"); },
         "Trying to create an invalid texture load_time!"},
        {"reference", [](tman_class& t) { t.load_texture(tex_fail_silent, 1131, 1, tex_load_now, "x"); },
         "Trying to bind too low or high a manual_ref!"},
        {"flags", [](tman_class& t) { t.load_texture_int(tex_fail_silent, 5, 16384, "x"); },
         "Trying to bind an invalid filter type!"},
        {"release manual", [](tman_class& t) { t.release_texture(1129); },
         "Trying to release a manual texture - use unload_texture."},
        {"unload dynamic", [](tman_class& t) { t.unload_texture(1130); },
         "Error: dynamic textures should be released, not unloaded."},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(r.what);
        TempDir dir;
        auto out = run_in_child([&] {
            tman_class t;
            r.call(t);
        }, dir.path());
        EXPECT_EQ(out.signal, SIGABRT);
        EXPECT_NE(out.out.find(r.line1), std::string::npos) << out.out;
    }
}

TEST_F(TmanTable, MemoryAndScale)
{
    tman_class t;
    mnw.screen_w = 1024;
    mnw.screen_h = 768;
    mnw.screen_bits = 32;
    EXPECT_EQ(t.tot_vram(), 3145728);
    const std::pair<int, float> rows[] = {{5, 1.0f}, {4, 0.5f}, {3, 0.25f}, {0, 0.03125f}, {9, 1.0f}};
    for (auto [setting, want] : rows) {
        mnw.tex_res = setting;
        EXPECT_EQ(t.scale_rat(), want) << setting;
    }
    mnw.tex_res = 5;
}

TEST_F(TmanUpload, BuiltInImages)
{
    // recall_ins_texes works on the global manager. At start-up the scratch
    // buffer is zero, which the texture rows past each image show.
    memset(scratch_array, 0, kScratchArrayBytes);
    recall_ins_texes();
    EXPECT_EQ(memcmp(scratch_array, t_interface_dat, kInterfaceBytes), 0) << "the atlas stays in the buffer";

    const level_info sheet = level_of(389);
    EXPECT_EQ(sheet.w, 1024);
    EXPECT_EQ(sheet.h, 1024);
    EXPECT_EQ(tman.ref_dat[389].used_w, 1010);
    EXPECT_EQ(tman.ref_dat[389].used_h, 764);
    const bytes sheet_px = texels(389);
    ASSERT_EQ(sheet_px.size(), 1024u * 4096u);
    EXPECT_EQ(memcmp(sheet_px.data(), t_installer_dat, 753u * 4096u), 0);

    const bytes back = texels(390);
    ASSERT_GE(back.size(), kBackBytes);
    EXPECT_EQ(memcmp(back.data(), t_ins_back_1_dat, kBackBytes), 0);
    for (std::size_t i = kBackBytes; i < back.size(); ++i) ASSERT_EQ(back[i], 0) << "row " << i / 4096;

    EXPECT_EQ(level_of(388).w, 512);
    EXPECT_EQ(texels(388), bytes(t_interface_dat, t_interface_dat + kInterfaceBytes));
    EXPECT_EQ(param(388, GL_TEXTURE_MIN_FILTER), GL_NEAREST);
    EXPECT_EQ(param(388, GL_TEXTURE_MAG_FILTER), GL_NEAREST);
    EXPECT_EQ(param(389, GL_TEXTURE_MIN_FILTER), GL_LINEAR);
    EXPECT_EQ(param(391, GL_TEXTURE_WRAP_S), GL_REPEAT);
    EXPECT_EQ(glIsTexture(kTexPlaceholder), GL_TRUE);
}

// A texture that GL no longer holds (its context replaced, or deleted behind
// the manager's back) is created again on the next load of its slot.
TEST_F(TmanUpload, ReloadRecreatesATextureGlLost)
{
    tman_class t;
    fill_scratch(4, 4, {1, 2, 3, 255});
    ASSERT_EQ(t.load_texture(tex_fail_silent, 450, 0x502, tex_load_now, "scratch_array:lost"), 450);
    const GLuint name = 450;
    glDeleteTextures(1, &name);
    TEX_reset_bind();
    fill_scratch(4, 4, {7, 8, 9, 255});
    ASSERT_EQ(t.load_texture(tex_fail_silent, 450, 0x502, tex_load_now, "scratch_array:lost"), 450);
    EXPECT_EQ(level_of(450).w, 4);
    const bytes px = texels(450);
    ASSERT_EQ(px.size(), 64u);
    EXPECT_EQ(bytes(px.begin(), px.begin() + 4), (bytes{7, 8, 9, 255}));
}

TEST_F(TmanUpload, ResolutionAndFileChoice)
{
    TempDir dir;
    tman_class t;
    // 300 by 200: texture 512 by 256 at setting 5, 256 by 128 at setting 4.
    std::vector<bytes> rows(200, bytes(900));
    for (int y = 0; y < 200; ++y)
        for (int x = 0; x < 300; ++x) rows[y][x * 3] = static_cast<uint8_t>(x % 2 ? 100 : 200);
    write_file(dir / "wide.png", make_png({300, 200, PNG_COLOR_TYPE_RGB}, rows));
    ASSERT_EQ(t.load_texture(tex_fail_silent, 600, 1, tex_load_now, dir / "wide.png"), 600);
    EXPECT_EQ(level_of(600).w, 512);
    EXPECT_EQ(level_of(600).h, 256);
    mnw.tex_res = 4;
    ASSERT_EQ(t.load_texture(tex_fail_silent, 601, 1, tex_load_now, dir / "wide.png"), 601);
    mnw.tex_res = 5;
    EXPECT_EQ(t.ref_dat[601].used_w, 150);
    EXPECT_EQ(t.ref_dat[601].used_h, 100);
    const bytes px = texels(601);
    ASSERT_EQ(level_of(601).w, 256);
    EXPECT_EQ(px[0], 150) << "pairs of 200 and 100 averaged";
    EXPECT_EQ(px[(99 * 256 + 149) * 4], 150) << "the last used texel";
    EXPECT_EQ(px[(50 * 256 + 150) * 4], 0) << "padding columns are zero";
    EXPECT_EQ(px[(100 * 256 + 10) * 4], 0) << "padding rows are zero";

    // With a maximum of 1024 texels, 2048 by 512 loads at half size.
    write_file(dir / "long.png", rgb_png(2048, 512, 7));
    const int max = glExt.max_tex_size;
    glExt.max_tex_size = 1024;
    t.load_texture(tex_fail_silent, 602, 1, tex_load_now, dir / "long.png");
    glExt.max_tex_size = max;
    EXPECT_EQ(t.ref_dat[602].used_w, 1024);
    EXPECT_EQ(t.ref_dat[602].used_h, 256);

    // a/b.png: b.dds first, then b.png, then b.bmp; BMP data under .png is BMP.
    write_file(dir / "b.bmp", make_bmp(1, 1, {0, 0, 30}));
    t.load_texture(tex_fail_silent, 603, 1, tex_load_now, dir / "b.png");
    EXPECT_EQ(texels(603)[0], 30);
    write_file(dir / "b.png", make_bmp(1, 1, {0, 0, 40}));
    t.load_texture(tex_fail_silent, 603, 1, tex_load_now, dir / "b.png");
    EXPECT_EQ(texels(603)[0], 40);
    bytes white(4 * 4 * 3, 250);
    ASSERT_EQ(TEX_save_dds(dir / "b.dds", white.data(), {tex_rgb, 4, 4, 0, 0}), 1);
    t.load_texture(tex_fail_silent, 603, 1, tex_load_now, dir / "b.png");
    EXPECT_EQ(level_of(603).compressed, 1);
    EXPECT_EQ(level_of(603).internal, GL_COMPRESSED_RGB_S3TC_DXT1_EXT);
    EXPECT_GT(texels(603)[0], 240);
    EXPECT_GT(t.ref_dat[603].vram, 0);
    cmdline.options["--no_dds"] = "";
    t.load_texture(tex_fail_silent, 603, 1, tex_load_now, dir / "b.png");
    cmdline.options.erase("--no_dds");
    EXPECT_EQ(level_of(603).compressed, 0);
    EXPECT_EQ(texels(603)[0], 40);
}

TEST_F(TmanUpload, DdsLevelsFollowTheResolution)
{
    TempDir dir;
    tman_class t;
    // 8 by 8: top half white, bottom half black (GL order: rows 0 to 3 black).
    bytes img(8 * 8 * 3, 0);
    std::fill(img.begin() + 4 * 8 * 3, img.end(), 250);
    ASSERT_EQ(TEX_save_dds(dir / "d.dds", img.data(), {tex_rgb, 8, 8, 0, 0}), 1);
    mnw.tex_res = 4;
    ASSERT_EQ(t.load_texture(tex_fail_silent, 800, 1 | tex_flag_mipmap, tex_load_now, dir / "d.png"), 800);
    mnw.tex_res = 5;
    EXPECT_EQ(t.ref_dat[800].used_w, 4);
    const level_info base = level_of(800);
    EXPECT_EQ(base.w, 4);
    EXPECT_EQ(base.compressed, 1);
    EXPECT_EQ(level_of(800, 2).w, 1);
    // Turned over into GL order: the first rows are the picture's bottom.
    const bytes px = texels(800);
    EXPECT_LT(px[0], 20);
    EXPECT_GT(px[3 * 4 * 4], 230);

    // A DDS file without mip maps is refused: the slot shows no texture.
    write_file(dir / "flat.dds", make_dds_header(4, 4, 0, 0x4, "DXT1", 0) + std::string(8, '\0'));
    EXPECT_EQ(t.load_texture(tex_fail_silent, 801, 1, tex_load_now, dir / "flat.dds"), 0);
    EXPECT_EQ(t.ref_dat[801].tex_id, 0);
}

TEST_F(TmanUpload, EdgeBleedAndMipmaps)
{
    TempDir dir;
    tman_class t;
    // 4 by 1 RGBA: opaque red, transparent, transparent, opaque blue.
    png_spec spec{4, 1, PNG_COLOR_TYPE_RGB_ALPHA};
    write_file(dir / "edge.png", make_png(spec, {{255, 0, 0, 255, 9, 9, 9, 0, 9, 9, 9, 0, 0, 0, 255, 255}}));
    t.load_texture(tex_fail_silent, 700, 2, tex_load_now, dir / "edge.png");
    const bytes px = texels(700);
    EXPECT_EQ(bytes(px.begin() + 4, px.begin() + 8), (bytes{127, 0, 127, 0}));
    EXPECT_EQ(bytes(px.begin() + 8, px.begin() + 12), (bytes{127, 0, 127, 0}));

    // Mip-mapped: every level down to 1 by 1 exists.
    write_file(dir / "mip.png", rgb_png(8, 4, 80));
    t.load_texture(tex_fail_silent, 701, 1 | tex_flag_mipmap, tex_load_now, dir / "mip.png");
    EXPECT_EQ(level_of(701, 3).w, 1);
    EXPECT_EQ(level_of(701, 3).h, 1);
    EXPECT_EQ(texels(701, 3)[0], 80);
    EXPECT_EQ(param(701, GL_TEXTURE_MIN_FILTER), GL_LINEAR_MIPMAP_LINEAR);
    EXPECT_EQ(t.ref_dat[701].vram, int(8 * 4 * 3 * 1.33));
    // Clamping.
    write_file(dir / "c.png", rgb_png(2, 2, 1));
    t.load_texture(tex_fail_silent, 702, 1 | tex_flag_clamp_s, tex_load_now, dir / "c.png");
    EXPECT_EQ(param(702, GL_TEXTURE_WRAP_S), GL_CLAMP_TO_EDGE);
    EXPECT_EQ(param(702, GL_TEXTURE_WRAP_T), GL_REPEAT);
}

TEST_F(TmanAsync, WaitingSlotsLoadInSteps)
{
    TempDir dir;
    tman_class t;
    EXPECT_EQ(t.load_scenery_async_register(nullptr), 0);
    EXPECT_EQ(t.async_scan, 0);
    t.load_scenery_async_finalize();  // nothing registered: nothing happens
    EXPECT_EQ(t.num_remaining_async_texes(), 0);

    // The client finishes its pending load when asked to.
    struct client : tman_force_finish_obj {
        tman_class* t = nullptr;
        int calls = 0;
        void force_finish() override
        {
            ++calls;
            t->load_scenery_async_finalize();
        }
    } c;
    c.t = &t;
    t.ref_dat.resize(20);
    for (int i = 10; i < 13; ++i) {
        write_file(dir / ("s" + std::to_string(i) + ".png"), rgb_png(2, 2, static_cast<uint8_t>(i)));
        t.ref_dat[i].state = tex_state_waiting;
        t.ref_dat[i].name = dir / ("s" + std::to_string(i) + ".png");
        t.ref_dat[i].flags = 1;
        t.ref_dat[i].fail_mode = tex_fail_silent;
        t.ref_dat[i].format = GL_RGBA;
    }
    EXPECT_EQ(t.num_remaining_async_texes(), 3);
    ASSERT_EQ(t.load_scenery_async_register(&c), 1);
    EXPECT_EQ(t.async_job->ref, 10);
    t.load_scenery_async_work();
    // A synchronous file load first asks the client to finish.
    write_file(dir / "sync.png", rgb_png(2, 2, 1));
    t.load_texture(tex_fail_silent, 15, 1, tex_load_now, dir / "sync.png");
    EXPECT_EQ(c.calls, 1);
    t.load_scenery_async_finalize();  // already finished: nothing more
    EXPECT_EQ(c.calls, 1);
    EXPECT_EQ(t.ref_dat[10].state, tex_state_loaded);
    EXPECT_EQ(texels(10)[0], 10);
    EXPECT_EQ(t.finish_obj, nullptr);
    EXPECT_EQ(t.num_remaining_async_texes(), 2);

    t.load_all_scenery_texes();
    EXPECT_EQ(t.num_remaining_async_texes(), 0);
    EXPECT_EQ(t.async_scan, int(t.ref_dat.size()));
    EXPECT_EQ(texels(12)[0], 12);
}

}  // namespace
