#include "TEX/TEX_dds.h"

#include <squish.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

#include "GenC/hl_alert.h"
#include "GenH/hl_types.h"
#include "OOPS_cpp/xmap.h"

namespace {

constexpr int kHeaderBytes = 128;

uint32_t le32(const unsigned char* p) { return p[0] | (p[1] << 8) | (p[2] << 16) | (uint32_t(p[3]) << 24); }
void put32(unsigned char* p, uint32_t v)
{
    for (int i = 0; i < 4; ++i) p[i] = static_cast<unsigned char>(v >> (8 * i));
}

}  // namespace

int TEX_parse_dds(const unsigned char* begin, const unsigned char* end, const unsigned char*& pixels,
                  TEX_image_desc& desc)
{
    if (!begin || end - begin < 4 || memcmp(begin, "DDS ", 4) != 0) return 0;
    // A file shorter than its header is not read at all.
    if (end - begin < kHeaderBytes) return 0;
    const uint32_t flags = le32(begin + 8), pf_flags = le32(begin + 80), caps = le32(begin + 108);
    int format = 0;
    if (pf_flags & 0x4) {
        const unsigned char* cc = begin + 84;
        if (!memcmp(cc, "DXT1", 4)) format = tex_dxt1;
        else if (!memcmp(cc, "DXT3", 4)) format = tex_dxt3;
        else if (!memcmp(cc, "DXT5", 4)) format = tex_dxt5;
        else return 0;
    }
    if (pf_flags & 0x40) format = (pf_flags & 0x1) ? tex_bgra : tex_bgr;
    if (!format) return 0;

    TEX_image_desc d;
    d.format = format;
    d.height = static_cast<int32_t>(le32(begin + 12));
    d.width = static_cast<int32_t>(le32(begin + 16));
    d.pad = 0;
    d.has_mips = (flags & 0x20000) && (caps & 0x400000) ? 1 : 0;
    // Every level the header promises must lie inside the file.
    if (d.width <= 0 || d.height <= 0 || d.width > 65536 || d.height > 65536) return 0;
    if (TEX_bytes_needed_64(d) > end - begin - kHeaderBytes) return 0;
    desc = d;
    pixels = begin + kHeaderBytes;
    return 1;
}

int TEX_load_dds(const std::string&, xmap_class* file, unsigned char*& data, TEX_image_desc& desc)
{
    if (!file || !file->begin) return 0;
    const unsigned char* pixels = nullptr;
    if (!TEX_parse_dds(reinterpret_cast<const unsigned char*>(file->begin),
                       reinterpret_cast<const unsigned char*>(file->end), pixels, desc))
        return 0;
    data = const_cast<unsigned char*>(pixels);
    return 1;
}

int TEX_save_dds(const std::string& name, const unsigned char* data, const TEX_image_desc& in_desc)
{
    if (in_desc.format != tex_rgba && in_desc.format != tex_rgb) {
        __MACIBM_alert(0,
                       "rel_assert Error! Possibly an out of range vector! Attach the debugger and see who "
                       "called this!",
                       "in_desc.format == GL_RGBA || in_desc.format == GL_RGB", "TEX_save_dds",
                       "Please report this to Corvath Research.", t_exit, "TEX/TEX_dds", 223);
        return 0;
    }
    const std::string full = app_path + name;
    FILE* file = fopen(full.c_str(), "wb");
    if (!file) return 0;

    const bool rgba = in_desc.format == tex_rgba;
    const int flags = rgba ? squish::kDxt5 : squish::kDxt1;
    int w = std::max(in_desc.width, 1), h = std::max(in_desc.height, 1);
    const int bpp = rgba ? 4 : 3;
    const std::size_t src_row = std::size_t(bpp) * in_desc.width + in_desc.pad;

    // Work image: RGBA, top row first.
    std::vector<unsigned char> work(std::size_t(w) * h * 4);
    for (int y = 0; y < in_desc.height; ++y) {
        const unsigned char* s = data + y * src_row;
        unsigned char* o = &work[std::size_t(h - 1 - y) * w * 4];
        for (int x = 0; x < in_desc.width; ++x, s += bpp, o += 4) {
            o[0] = s[0];
            o[1] = s[1];
            o[2] = s[2];
            o[3] = rgba ? s[3] : 255;
        }
    }
    std::vector<unsigned char> blocks(squish::GetStorageRequirements(w, h, flags));

    int levels = 1;
    for (int lw = w, lh = h; lw > 1 || lh > 1; ++levels) {
        lw = lw > 1 ? lw / 2 : 1;
        lh = lh > 1 ? lh / 2 : 1;
    }

    unsigned char header[kHeaderBytes] = {};
    memcpy(header, "DDS ", 4);
    put32(header + 4, 124);
    put32(header + 8, 0xA1007);
    put32(header + 12, h);
    put32(header + 16, w);
    put32(header + 20, squish::GetStorageRequirements(w, h, flags));
    put32(header + 28, levels);
    put32(header + 76, 32);
    put32(header + 80, 0x4);
    memcpy(header + 84, rgba ? "DXT5" : "DXT1", 4);
    put32(header + 108, 0x401008);
    bool ok = fwrite(header, 1, kHeaderBytes, file) == kHeaderBytes;

    for (;;) {
        squish::CompressImage(work.data(), w, h, blocks.data(), flags | squish::kColourIterativeClusterFit);
        const std::size_t bytes = squish::GetStorageRequirements(w, h, flags);
        ok = ok && fwrite(blocks.data(), 1, bytes, file) == bytes;
        if (w == 1 && h == 1) break;
        // Next level in place, rows packed at the new width. An odd side
        // drops its last column or row.
        const int nw = w > 1 ? w / 2 : 1, nh = h > 1 ? h / 2 : 1;
        const int fx = w > 1 ? 2 : 1, fy = h > 1 ? 2 : 1;
        const int shift = (fx == 2) + (fy == 2);
        for (int y = 0; y < nh; ++y)
            for (int x = 0; x < nw; ++x)
                for (int c = 0; c < 4; ++c) {
                    int sum = 0;
                    for (int dy = 0; dy < fy; ++dy)
                        for (int dx = 0; dx < fx; ++dx)
                            sum += work[(std::size_t(y * fy + dy) * w + (x * fx + dx)) * 4 + c];
                    work[(std::size_t(y) * nw + x) * 4 + c] = static_cast<unsigned char>(sum >> shift);
                }
        w = nw;
        h = nh;
    }
    ok = ok && fflush(file) == 0;
    return fclose(file) == 0 && ok ? 1 : 0;
}
