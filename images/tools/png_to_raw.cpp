// Build-time tool: turns one committed PNG of the built-in art into the raw
// array the program embeds: RGBA bytes, the bottom row of the picture first,
// exactly <bytes> long (cut short, or padded with zeros).
//
//   png_to_raw <in.png> <out.raw> <bytes>
#include <png.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

int main(int argc, char** argv)
{
    if (argc != 4) {
        fprintf(stderr, "usage: %s in.png out.raw bytes\n", argv[0]);
        return 2;
    }
    const std::size_t want = std::strtoull(argv[3], nullptr, 10);

    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, argv[1])) {
        fprintf(stderr, "%s: %s\n", argv[1], image.message);
        return 1;
    }
    image.format = PNG_FORMAT_RGBA;
    const std::size_t stride = std::size_t(image.width) * 4;
    std::vector<unsigned char> rows(stride * image.height);
    // A negative stride stores the last PNG row first (GL row order); libpng
    // takes the buffer's lowest address either way.
    if (!png_image_finish_read(&image, nullptr, rows.data(),
                               -static_cast<png_int_32>(stride), nullptr)) {
        fprintf(stderr, "%s: %s\n", argv[1], image.message);
        return 1;
    }
    rows.resize(want, 0);

    const std::string tmp = std::string(argv[2]) + ".part";
    FILE* out = fopen(tmp.c_str(), "wb");
    if (!out) {
        perror(tmp.c_str());
        return 1;
    }
    const bool ok = fwrite(rows.data(), 1, want, out) == want;
    if (fclose(out) != 0 || !ok || rename(tmp.c_str(), argv[2]) != 0) {
        perror(argv[2]);
        remove(tmp.c_str());
        return 1;
    }
    return 0;
}
