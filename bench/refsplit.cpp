// refsplit: the benchmark's reference for texsplit. It splits the same three
// textures ("t9", "t10", "t11", each "<name>.tex.big.tga") into the same two
// 24-bit images ("<name>.tga" and "<name>_op.tga"), byte for byte, the
// straightforward fast way: the pixel rows are read in blocks of about
// 4 MiB, and
//  - by default both outputs are built whole in memory and each goes to disk
//    in one write;
//  - with --blocks each block's share of both outputs is written as soon as
//    it is split, so no whole image is held (fewer fresh pages to touch).
//
// Rules (kept equal to texsplit so the bytes can be compared):
//  - Header copied with the pixel depth set to 24; the ID field follows it.
//  - Type 2 with 24 bits: colour = bytes 0..2 of each pixel, opacity = 255.
//    Type 2 with 32 bits or more: rows of width x (depth / 8) bytes, of which
//    the first 4 x width are split in 4-byte pixels: colour = bytes 0..2,
//    opacity = byte 3 three times.
//  - A source that ends early yields zeros for the missing rows.
//  - Anything else is refused with exit code 1. No console output beyond a
//    line for a failure; this is a measuring tool, not the product.
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

constexpr std::size_t HEADER = 18;
// Rows are read in blocks of about this many bytes.
constexpr std::size_t BLOCK = std::size_t{4} << 20;

// Splits rows of rowIn bytes into c and o (3 bytes per pixel each).
void SplitRows(const unsigned char* in, std::size_t rows, std::size_t rowIn, std::size_t width, std::size_t bpp,
               unsigned char* c, unsigned char* o) {
    const std::size_t rowOut = width * 3;
    for (std::size_t r = 0; r < rows; ++r, c += rowOut, o += rowOut) {
        const unsigned char* p = in + r * rowIn;
        if (bpp == 3) {
            std::memcpy(c, p, rowOut);
            std::memset(o, 255, rowOut);
            continue;
        }
        for (std::size_t x = 0; x < width; ++x, p += 4) {
            c[3 * x] = p[0];
            c[3 * x + 1] = p[1];
            c[3 * x + 2] = p[2];
            o[3 * x] = o[3 * x + 1] = o[3 * x + 2] = p[3];
        }
    }
}

bool WriteAll(std::FILE* f, const unsigned char* data, std::size_t n) {
    return n == 0 || std::fwrite(data, 1, n, f) == n;
}

bool Split(const char* base, bool blocks) {
    char name[256], colourName[256], opacityName[256];
    std::snprintf(name, sizeof name, "%s.tex.big.tga", base);
    std::snprintf(colourName, sizeof colourName, "%s.tga", base);
    std::snprintf(opacityName, sizeof opacityName, "%s_op.tga", base);
    std::FILE* in = std::fopen(name, "rb");
    if (in == nullptr) {
        std::fprintf(stderr, "refsplit: '%s' not found\n", name);
        return false;
    }
    unsigned char prefix[HEADER + 255] = {};
    bool headerRead = std::fread(prefix, 1, HEADER, in) == HEADER;
    const std::size_t idLength = prefix[0];
    if (headerRead && idLength != 0) headerRead = std::fread(prefix + HEADER, 1, idLength, in) == idLength;
    const unsigned depth = prefix[16];
    if (!headerRead || prefix[2] != 2 || (depth != 24 && depth < 32)) {
        std::fclose(in);
        std::fprintf(stderr, "refsplit: '%s' unsupported\n", name);
        return false;
    }
    prefix[16] = 24;
    const std::size_t prefixSize = HEADER + idLength;
    const std::size_t width = prefix[12] | prefix[13] << 8;
    const std::size_t height = prefix[14] | prefix[15] << 8;
    const std::size_t bpp = depth / 8;
    const std::size_t rowIn = width * bpp;
    const std::size_t rowOut = width * 3;
    const std::size_t rowsPerBlock = rowIn == 0 ? 1 : (BLOCK / rowIn > 0 ? BLOCK / rowIn : 1);

    // The buffers live across the three textures (room for the longest ID
    // field included), so a second texture of the same size touches no new
    // pages: on a virtual machine a first touch can cost microseconds a page.
    static std::vector<unsigned char> block, colour, opacity;
    const std::size_t outRows = blocks ? rowsPerBlock : height;
    if (block.size() < rowsPerBlock * rowIn) block.resize(rowsPerBlock * rowIn);
    if (colour.size() < HEADER + 255 + outRows * rowOut) {
        colour.resize(HEADER + 255 + outRows * rowOut);
        opacity.resize(colour.size());
    }

    std::FILE* c = nullptr;
    std::FILE* o = nullptr;
    bool ok = true;
    if (blocks) {
        c = std::fopen(colourName, "wb");
        o = std::fopen(opacityName, "wb");
        ok = c != nullptr && o != nullptr && WriteAll(c, prefix, prefixSize) && WriteAll(o, prefix, prefixSize);
    } else {
        std::memcpy(colour.data(), prefix, prefixSize);
        std::memcpy(opacity.data(), prefix, prefixSize);
    }

    std::size_t at = blocks ? 0 : prefixSize;
    for (std::size_t y = 0; ok && y < height && rowIn != 0; y += rowsPerBlock) {
        const std::size_t rows = height - y < rowsPerBlock ? height - y : rowsPerBlock;
        const std::size_t want = rows * rowIn;
        const std::size_t got = std::fread(block.data(), 1, want, in);
        if (got < want) std::memset(block.data() + got, 0, want - got);
        SplitRows(block.data(), rows, rowIn, width, bpp, colour.data() + at, opacity.data() + at);
        if (blocks)
            ok = WriteAll(c, colour.data(), rows * rowOut) && WriteAll(o, opacity.data(), rows * rowOut);
        else
            at += rows * rowOut;
    }
    std::fclose(in);

    if (!blocks && ok) {
        const std::size_t outSize = prefixSize + rowOut * height;
        c = std::fopen(colourName, "wb");
        ok = c != nullptr && WriteAll(c, colour.data(), outSize);
        if (ok) {
            o = std::fopen(opacityName, "wb");
            ok = o != nullptr && WriteAll(o, opacity.data(), outSize);
        }
    }
    if (c != nullptr && std::fclose(c) != 0) ok = false;
    if (o != nullptr && std::fclose(o) != 0) ok = false;
    if (!ok) std::fprintf(stderr, "refsplit: can't write '%s' or '%s'\n", colourName, opacityName);
    return ok;
}

}  // namespace

int main(int argc, char** argv) {
    const bool blocks = argc > 1 && std::strcmp(argv[1], "--blocks") == 0;
    if (argc > 2 || (argc == 2 && !blocks)) {
        std::fprintf(stderr, "usage: refsplit [--blocks]\n");
        return 2;
    }
    for (const char* base : {"t9", "t10", "t11"})
        if (!Split(base, blocks)) return 1;
    return 0;
}
