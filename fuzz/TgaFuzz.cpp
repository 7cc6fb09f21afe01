// Fuzz target "tga": the texture conversion of one fuzzed source file.
//
// The input is the whole of "t9.tex.big.tga" in the scratch folder; the
// target runs ConvertTexture("t9") on it.
//  - Image type 2 of 24 bits or of 32 bits and more is converted in this
//    process, and both outputs are compared byte for byte with a split made
//    here from the rules: the source header with depth 24, the ID field, then
//    width x height pixels of blue, green, red (colour) and alpha or 255
//    (opacity), zeros where the source ran out.
//  - Every other type or depth must be refused with exit code -1 and leave no
//    output (FuzzSupport.h tells how that is checked).
//  - Resource bound: an image of more than 65536 pixels is skipped, since a
//    few header bytes may ask for 12 GB of output. Rows, row buffer and ID
//    field take the same paths at any size, and the widest row (65535 pixels)
//    is still in range.
#include <cstdint>
#include <cstring>
#include <string>

#include "FileCore.h"
#include "FuzzSupport.h"
#include "TgaSplitter.h"

using namespace fuzzsupport;

namespace {

constexpr std::uint64_t kMaxPixels = 1u << 16;

// Byte at offset of the source, or 0 past its end (a short read leaves the
// zeros the converter cleared its buffers with).
std::uint8_t At(const std::uint8_t* data, std::size_t size, std::size_t offset) {
    return offset < size ? data[offset] : 0;
}

void Compare(const char* name, const std::string& expected) {
    std::string actual;
    if (!ReadFile(name, actual)) Fail("%s was not written", name);
    if (actual.size() != expected.size())
        Fail("%s holds %zu bytes, expected %zu", name, actual.size(), expected.size());
    if (actual != expected) {
        std::size_t at = 0;
        while (actual[at] == expected[at]) ++at;
        Fail("%s differs from the expected split at byte %zu", name, at);
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    EnterScratchFolder("tga");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    unsigned idLength = At(data, size, 0);
    unsigned type = At(data, size, 2);
    unsigned width = At(data, size, 12) | At(data, size, 13) << 8;
    unsigned height = At(data, size, 14) | At(data, size, 15) << 8;
    unsigned depth = At(data, size, 16);
    if (std::uint64_t{width} * height > kMaxPixels) return 0;

    WriteFile("t9.tex.big.tga", data, size);
    RemoveFile("t9.tga");
    RemoveFile("t9_op.tga");

    if (type != 2 || (depth != 24 && depth < 32)) {
        ExpectFatalEnd("refused texture", [] { ConvertTexture("t9"); });
        if (FileExists("t9.tga") || FileExists("t9_op.tga")) Fail("a refused texture left an output");
        return 0;
    }

    ConvertTexture("t9");

    std::string colour, opacity;
    for (std::size_t i = 0; i < 18; ++i) colour += static_cast<char>(i == 16 ? 24 : At(data, size, i));
    for (std::size_t i = 0; i < idLength; ++i) colour += static_cast<char>(At(data, size, 18 + i));
    opacity = colour;
    std::size_t rowSize = std::size_t{width} * (depth / 8);
    std::size_t step = depth == 24 ? 3 : 4;
    std::size_t pixels = 18 + idLength;
    for (std::size_t y = 0; y < height; ++y) {
        std::size_t row = pixels + y * rowSize;
        for (std::size_t x = 0; x < width; ++x) {
            std::size_t px = row + x * step;
            for (std::size_t c = 0; c < 3; ++c) colour += static_cast<char>(At(data, size, px + c));
            char alpha = static_cast<char>(depth == 24 ? 255 : At(data, size, px + 3));
            opacity.append(3, alpha);
        }
    }
    Compare("t9.tga", colour);
    Compare("t9_op.tga", opacity);
    return 0;
}
