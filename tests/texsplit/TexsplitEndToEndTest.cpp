// End-to-end tests of the texture converter: the built program runs in a
// scratch folder, and its console output and every file it writes are
// compared byte for byte with what a skin author must get.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <initializer_list>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "TestSupport.h"

using namespace testsupport;

namespace {

const char* const kBanner =
    "---------------------------------------------------------\n"
    "---     Gravelmax Skin Kit - TGA converter  v1.0      ---\n"
    "---          Gravelmax Skin Kit developers            ---\n"
    "---------------------------------------------------------\n\n";

const char* const kNames[] = {"t9", "t10", "t11"};

std::string ProgressLine(const std::string& base) {
    return "--->\tConvert: " + base + ".tex.big.tga -> " + base + ".tga & " + base + "_op.tga\t";
}

// The whole console output of a run that converts all three textures.
std::string SuccessOutput() {
    std::string out = kBanner;
    for (const char* n : kNames) out += ProgressLine(n) + "[OK]\n";
    return out + "\n";
}

Bytes B(std::initializer_list<int> values) {
    Bytes b;
    for (int v : values) b += static_cast<char>(v);
    return b;
}

Bytes Repeat(int value, std::size_t count) { return Bytes(count, static_cast<char>(value)); }

// The header fields of a TGA file; the colour-map and origin fields carry
// odd values by default so that copying them unchanged is checked too.
struct Tga {
    int colourMapType = 0;
    int imageType = 2;
    int cmapFirst = 0x0201;
    int cmapLength = 0x0403;
    int cmapEntrySize = 0x05;
    int xOrigin = 0x0706;
    int yOrigin = 0x0908;
    int width = 0;
    int height = 0;
    int depth = 32;
    int descriptor = 8;
};

// A TGA file: the 18-byte header, the ID field, then data as given.
Bytes MakeTga(const Tga& t, const Bytes& id, const Bytes& data) {
    auto le16 = [](int v) { return B({v & 0xFF, (v >> 8) & 0xFF}); };
    Bytes out = B({static_cast<int>(id.size()), t.colourMapType, t.imageType});
    out += le16(t.cmapFirst) + le16(t.cmapLength) + B({t.cmapEntrySize});
    out += le16(t.xOrigin) + le16(t.yOrigin) + le16(t.width) + le16(t.height);
    out += B({t.depth, t.descriptor});
    return out + id + data;
}

// What each output must hold: the source's header with depth 24, its ID
// field, then the given pixels.
Bytes OutputFile(Tga t, const Bytes& id, const Bytes& pixels) {
    t.depth = 24;
    return MakeTga(t, id, pixels);
}

std::set<std::string> FilesIn(const std::filesystem::path& dir) {
    std::set<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(dir)) names.insert(e.path().filename().string());
    return names;
}

// --- Conversions that succeed -------------------------------------------------

struct SplitCase {
    const char* name;
    Tga tga;
    Bytes id;
    Bytes data;     // everything after the ID field in the source
    Bytes colour;   // expected pixel bytes of "<name>.tga"
    Bytes opacity;  // expected pixel bytes of "<name>_op.tga"
};

std::ostream& operator<<(std::ostream& os, const SplitCase& c) { return os << c.name; }

class TexsplitSplits : public testing::TestWithParam<SplitCase> {};

// The same source is given as all three textures; each texture's two outputs
// must come out exactly as expected and the run must end with exit code 0.
TEST_P(TexsplitSplits, WritesBothOutputsOfEveryTexture) {
    const SplitCase& c = GetParam();
    ScratchDir dir;
    for (const char* n : kNames) WriteBytes(dir / (std::string(n) + ".tex.big.tga"), MakeTga(c.tga, c.id, c.data));

    RunResult r = RunProgram(TEXSPLIT_EXE, dir.path());

    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.output, SuccessOutput());
    for (const char* n : kNames) {
        EXPECT_EQ(ReadBytes(dir / (std::string(n) + ".tga")), OutputFile(c.tga, c.id, c.colour)) << n;
        EXPECT_EQ(ReadBytes(dir / (std::string(n) + "_op.tga")), OutputFile(c.tga, c.id, c.opacity)) << n;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TexsplitSplits,
    testing::Values(
        SplitCase{"Rgba2x1", {.width = 2, .height = 1, .depth = 32}, "",
                  B({0x10, 0x20, 0x30, 0x40, 0x50, 0x60, 0x70, 0x80}),
                  B({0x10, 0x20, 0x30, 0x50, 0x60, 0x70}), B({0x40, 0x40, 0x40, 0x80, 0x80, 0x80})},
        SplitCase{"Rgb2x1", {.width = 2, .height = 1, .depth = 24}, "",
                  B({0x10, 0x20, 0x30, 0x50, 0x60, 0x70}), B({0x10, 0x20, 0x30, 0x50, 0x60, 0x70}),
                  Repeat(255, 6)},
        // Rows begin right after the five ID bytes (offset 23).
        SplitCase{"IdField5", {.width = 2, .height = 1, .depth = 32}, "ABCDE",
                  B({1, 2, 3, 4, 5, 6, 7, 8}), B({1, 2, 3, 5, 6, 7}), B({4, 4, 4, 8, 8, 8})},
        // The longest ID field there is, with rows of more than one pixel.
        SplitCase{"IdField255TwoRows", {.width = 1, .height = 2, .depth = 24}, Repeat('i', 255),
                  B({1, 2, 3, 4, 5, 6}), B({1, 2, 3, 4, 5, 6}), Repeat(255, 6)},
        SplitCase{"ZeroWidth", {.width = 0, .height = 3, .depth = 32}, "id", B({9, 9, 9, 9}), "", ""},
        SplitCase{"ZeroHeight", {.width = 3, .height = 0, .depth = 24}, "", B({9, 9, 9}), "", ""},
        // A source that ends early: full-size outputs, zeros where it ran out.
        SplitCase{"ShortSource", {.width = 2, .height = 2, .depth = 32}, "",
                  B({1, 2, 3, 4, 5, 6}), B({1, 2, 3, 5, 6, 0, 0, 0, 0, 0, 0, 0}),
                  B({4, 4, 4, 0, 0, 0, 0, 0, 0, 0, 0, 0})},
        // A colour map is not skipped: its bytes are split as pixels.
        SplitCase{"ColourMapType1", {.colourMapType = 1, .cmapFirst = 0, .cmapLength = 1, .cmapEntrySize = 32,
                                     .width = 2, .height = 1, .depth = 32},
                  "", B({0xC1, 0xC2, 0xC3, 0xC4, 0x10, 0x20, 0x30, 0x40}),
                  B({0xC1, 0xC2, 0xC3, 0x10, 0x20, 0x30}), B({0xC4, 0xC4, 0xC4, 0x40, 0x40, 0x40})},
        // Depth 40: rows of 5 × width bytes, the first 4 × width split.
        SplitCase{"Depth40", {.width = 2, .height = 2, .depth = 40}, "",
                  B({1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20}),
                  B({1, 2, 3, 5, 6, 7, 11, 12, 13, 15, 16, 17}),
                  B({4, 4, 4, 8, 8, 8, 14, 14, 14, 18, 18, 18})}),
    [](const testing::TestParamInfo<SplitCase>& info) { return std::string(info.param.name); });

// The worked example spelled out whole, independent of the test's builder.
TEST(TexsplitEndToEnd, WorkedExampleByteForByte) {
    ScratchDir dir;
    const Bytes header32 = B({0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2, 0, 1, 0, 0x20, 8});
    const Bytes header24 = B({0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2, 0, 1, 0, 0x18, 8});
    const Bytes source = header32 + B({0x10, 0x20, 0x30, 0x40, 0x50, 0x60, 0x70, 0x80});
    for (const char* n : kNames) WriteBytes(dir / (std::string(n) + ".tex.big.tga"), source);

    RunResult r = RunProgram(TEXSPLIT_EXE, dir.path());

    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.output, SuccessOutput());
    EXPECT_EQ(ReadBytes(dir / "t9.tga"), header24 + B({0x10, 0x20, 0x30, 0x50, 0x60, 0x70}));
    EXPECT_EQ(ReadBytes(dir / "t9_op.tga"), header24 + B({0x40, 0x40, 0x40, 0x80, 0x80, 0x80}));
}

// --- Larger images against an independent split ---------------------------------

// Splits a whole, well-formed source pixel by pixel from its file offsets.
void ReferenceSplit(const Bytes& src, Bytes& colour, Bytes& opacity) {
    auto at = [&](std::size_t i) { return static_cast<unsigned char>(src[i]); };
    const std::size_t idLength = at(0);
    const std::size_t width = at(12) | (at(13) << 8);
    const std::size_t height = at(14) | (at(15) << 8);
    const std::size_t bpp = at(16) / 8;
    colour = src.substr(0, 18 + idLength);
    colour[16] = 24;
    opacity = colour;
    for (std::size_t y = 0; y < height; ++y) {
        for (std::size_t x = 0; x < width; ++x) {
            const std::size_t p = 18 + idLength + (y * width + x) * bpp;
            colour += src.substr(p, 3);
            opacity += Repeat(bpp == 3 ? 255 : at(p + 3), 3);
        }
    }
}

Bytes RandomBytes(std::mt19937& rng, std::size_t n) {
    Bytes b(n, '\0');
    for (char& c : b) c = static_cast<char>(rng() & 0xFF);
    return b;
}

TEST(TexsplitEndToEnd, LargeRandomImagesMatchIndependentSplit) {
    ScratchDir dir;
    std::mt19937 rng(20261211);
    const Bytes sources[] = {
        MakeTga({.width = 257, .height = 131, .depth = 32, .descriptor = 0x28}, "", RandomBytes(rng, 257 * 131 * 4)),
        MakeTga({.width = 257, .height = 131, .depth = 24, .descriptor = 0x20}, "", RandomBytes(rng, 257 * 131 * 3)),
        MakeTga({.width = 131, .height = 257, .depth = 32}, "random id", RandomBytes(rng, 131 * 257 * 4)),
    };
    for (int i = 0; i < 3; ++i) {
        WriteBytes(dir / (std::string(kNames[i]) + ".tex.big.tga"), sources[i]);
        // Outputs left from an earlier run are replaced, not appended to.
        WriteBytes(dir / (std::string(kNames[i]) + ".tga"), Repeat('x', 300000));
    }

    RunResult r = RunProgram(TEXSPLIT_EXE, dir.path());

    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.output, SuccessOutput());
    for (int i = 0; i < 3; ++i) {
        Bytes colour, opacity;
        ReferenceSplit(sources[i], colour, opacity);
        // EXPECT_TRUE keeps a mismatch from dumping 100 kB of bytes.
        EXPECT_TRUE(ReadBytes(dir / (std::string(kNames[i]) + ".tga")) == colour) << kNames[i];
        EXPECT_TRUE(ReadBytes(dir / (std::string(kNames[i]) + "_op.tga")) == opacity) << kNames[i];
    }
}

// --- Refused sources -------------------------------------------------------------

struct RefusedCase {
    const char* name;
    Bytes source;
};

std::ostream& operator<<(std::ostream& os, const RefusedCase& c) { return os << c.name; }

class TexsplitRefuses : public testing::TestWithParam<RefusedCase> {};

// A refused first texture: the error line, exit code -1, and no file made,
// neither for t9 nor for the textures after it.
TEST_P(TexsplitRefuses, RefusesBeforeAnyOutput) {
    ScratchDir dir;
    const Bytes good = MakeTga({.width = 1, .height = 1, .depth = 24}, "", B({1, 2, 3}));
    WriteBytes(dir / "t9.tex.big.tga", GetParam().source);
    WriteBytes(dir / "t10.tex.big.tga", good);
    WriteBytes(dir / "t11.tex.big.tga", good);

    RunResult r = RunProgram(TEXSPLIT_EXE, dir.path());

    EXPECT_EQ(r.exitCode, kFatalExitCode);
    EXPECT_EQ(r.output, std::string(kBanner) + ProgressLine("t9") +
                            "[ERROR]\n***\tERROR: UNSUPPORTED FORMAT in 't9.tex.big.tga'!\n");
    EXPECT_EQ(FilesIn(dir.path()),
              (std::set<std::string>{"t9.tex.big.tga", "t10.tex.big.tga", "t11.tex.big.tga"}));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TexsplitRefuses,
    testing::Values(
        RefusedCase{"RunLengthType10", MakeTga({.imageType = 10, .width = 2, .height = 1}, "", Repeat(7, 8))},
        RefusedCase{"ColourMappedType1", MakeTga({.imageType = 1, .width = 2, .height = 1}, "", Repeat(7, 8))},
        RefusedCase{"UndefinedType4", MakeTga({.imageType = 4, .width = 2, .height = 1}, "", Repeat(7, 8))},
        RefusedCase{"Depth16", MakeTga({.width = 2, .height = 1, .depth = 16}, "", Repeat(7, 4))},
        RefusedCase{"Depth8WithId", MakeTga({.width = 2, .height = 1, .depth = 8}, "xy", Repeat(7, 2))},
        RefusedCase{"EmptyFile", ""}),
    [](const testing::TestParamInfo<RefusedCase>& info) { return std::string(info.param.name); });

// --- Runs that stop part way ------------------------------------------------------

TEST(TexsplitEndToEnd, MissingFirstTexture) {
    ScratchDir dir;
    RunResult r = RunProgram(TEXSPLIT_EXE, dir.path());
    EXPECT_EQ(r.exitCode, kFatalExitCode);
    EXPECT_EQ(r.output, std::string(kBanner) + ProgressLine("t9") + "[ERROR]\n***\tERROR: 't9.tex.big.tga' not found!\n");
    EXPECT_TRUE(FilesIn(dir.path()).empty());
}

TEST(TexsplitEndToEnd, MissingSecondTextureKeepsFirstAndSkipsThird) {
    ScratchDir dir;
    const Tga tga{.width = 2, .height = 1, .depth = 32};
    WriteBytes(dir / "t9.tex.big.tga", MakeTga(tga, "", B({1, 2, 3, 4, 5, 6, 7, 8})));
    WriteBytes(dir / "t11.tex.big.tga", MakeTga(tga, "", B({1, 2, 3, 4, 5, 6, 7, 8})));

    RunResult r = RunProgram(TEXSPLIT_EXE, dir.path());

    EXPECT_EQ(r.exitCode, kFatalExitCode);
    EXPECT_EQ(r.output, std::string(kBanner) + ProgressLine("t9") + "[OK]\n" + ProgressLine("t10") +
                            "[ERROR]\n***\tERROR: 't10.tex.big.tga' not found!\n");
    EXPECT_EQ(ReadBytes(dir / "t9.tga"), OutputFile(tga, "", B({1, 2, 3, 5, 6, 7})));
    EXPECT_EQ(ReadBytes(dir / "t9_op.tga"), OutputFile(tga, "", B({4, 4, 4, 8, 8, 8})));
    EXPECT_FALSE(FileExists(dir / "t11.tga"));
    EXPECT_FALSE(FileExists(dir / "t11_op.tga"));
}

// An output that cannot be created (a folder of that name is in the way):
// the error line names it, the run ends with exit code -1 and t10 is not
// attempted.
TEST(TexsplitEndToEnd, OutputThatCannotBeCreated) {
    struct Blocked {
        const char* folder;
        const char* message;
    };
    for (const Blocked& b : {Blocked{"t9.tga", "can't create 't9.tga'!"},
                             Blocked{"t9_op.tga", "can't create 't9_op.tga'!"}}) {
        SCOPED_TRACE(b.folder);
        ScratchDir dir;
        const Bytes good = MakeTga({.width = 1, .height = 1, .depth = 24}, "", B({1, 2, 3}));
        for (const char* n : kNames) WriteBytes(dir / (std::string(n) + ".tex.big.tga"), good);
        std::filesystem::create_directory(dir / b.folder);

        RunResult r = RunProgram(TEXSPLIT_EXE, dir.path());

        EXPECT_EQ(r.exitCode, kFatalExitCode);
        EXPECT_EQ(r.output, std::string(kBanner) + ProgressLine("t9") + "[ERROR]\n***\tERROR: " + b.message + "\n");
        EXPECT_FALSE(FileExists(dir / "t10.tga"));
        EXPECT_FALSE(FileExists(dir / "t10_op.tga"));
    }
}

// Bytes that never reach the disk are reported, not passed off as "[OK]".
// A link to the host's always-full device stands in for a full disk; hosts
// without one skip the test.
TEST(TexsplitEndToEnd, FullDiskIsReported) {
    const std::filesystem::path fullDevice = "/dev/full";
    if (!std::filesystem::exists(fullDevice)) GTEST_SKIP() << "no always-full device on this host";
    for (const char* blocked : {"t9.tga", "t9_op.tga"}) {
        SCOPED_TRACE(blocked);
        ScratchDir dir;
        const Bytes good = MakeTga({.width = 4, .height = 4, .depth = 32}, "", Repeat(9, 64));
        for (const char* n : kNames) WriteBytes(dir / (std::string(n) + ".tex.big.tga"), good);
        std::error_code ec;
        std::filesystem::create_symlink(fullDevice, dir / blocked, ec);
        if (ec) GTEST_SKIP() << "cannot link to " << fullDevice;

        RunResult r = RunProgram(TEXSPLIT_EXE, dir.path());

        EXPECT_EQ(r.exitCode, kFatalExitCode);
        EXPECT_EQ(r.output, std::string(kBanner) + ProgressLine("t9") + "[ERROR]\n***\tERROR: can't write '" +
                                blocked + "'!\n");
        EXPECT_FALSE(FileExists(dir / "t10.tga"));
    }
}

}  // namespace
