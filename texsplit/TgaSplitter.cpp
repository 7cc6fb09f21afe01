#include "TgaSplitter.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#include "FileCore.h"

namespace {

constexpr int TGA_HEADER_SIZE = 18;
constexpr int ID_LENGTH = 0;
constexpr int IMAGE_TYPE = 2;
constexpr int WIDTH = 12;
constexpr int HEIGHT = 14;
constexpr int PIXEL_DEPTH = 16;

constexpr unsigned char TYPE_TRUE_COLOUR = 2;

unsigned Le16(const unsigned char* p) { return p[0] | (p[1] << 8); }

[[noreturn]] void EndRun() {
    std::fflush(stdout);
    std::exit(-1);
}

// Opens an output and writes its header and ID field; a file that cannot be
// created ends the run with an error line, after closing what is open.
FileHandle* OpenOutput(const char* name, const unsigned char* header, const unsigned char* id,
                       unsigned idLength, FileHandle* source, FileHandle* other) {
    FileHandle* out = OpenFile(name, FS_WRITE);
    if (out == nullptr) {
        std::printf("[ERROR]\n***\tERROR: can't create '%s'!\n", name);
        CloseFile(other);
        CloseFile(source);
        EndRun();
    }
    out->Write(header, TGA_HEADER_SIZE);
    if (idLength != 0) out->Write(id, idLength);
    return out;
}

}  // namespace

void ConvertTexture(const char* baseName) {
    char name[FS_NAME_SIZE];
    std::snprintf(name, sizeof name, "%s.tex.big.tga", baseName);
    std::printf("--->\tConvert: %s.tex.big.tga -> %s.tga & %s_op.tga\t", baseName, baseName, baseName);

    FileHandle* source = TryOpenFile(name, FS_READ);
    if (source == nullptr) {
        std::printf("[ERROR]\n***\tERROR: '%s' not found!\n", name);
        EndRun();
    }

    unsigned char header[TGA_HEADER_SIZE] = {};
    unsigned char id[256] = {};
    source->Read(header, TGA_HEADER_SIZE);
    unsigned idLength = header[ID_LENGTH];
    if (idLength != 0) source->Read(id, idLength);

    unsigned depth = header[PIXEL_DEPTH];
    // Only type 2 is split. A depth other than 24 below 32 has no 4-byte
    // pixels to split, so it is refused like an unsupported type.
    if (header[IMAGE_TYPE] != TYPE_TRUE_COLOUR || (depth != 24 && depth < 32)) {
        CloseFile(source);
        std::printf("[ERROR]\n***\tERROR: UNSUPPORTED FORMAT in '%s'!\n", name);
        EndRun();
    }

    unsigned char outHeader[TGA_HEADER_SIZE];
    std::memcpy(outHeader, header, TGA_HEADER_SIZE);
    outHeader[PIXEL_DEPTH] = 24;

    std::snprintf(name, sizeof name, "%s.tga", baseName);
    FileHandle* colour = OpenOutput(name, outHeader, id, idLength, source, nullptr);
    std::snprintf(name, sizeof name, "%s_op.tga", baseName);
    FileHandle* opacity = OpenOutput(name, outHeader, id, idLength, source, colour);

    unsigned width = Le16(header + WIDTH);
    unsigned height = Le16(header + HEIGHT);
    unsigned bytesPerPixel = depth / 8;
    std::size_t rowSize = static_cast<std::size_t>(width) * bytesPerPixel;
    unsigned char* row = new (std::nothrow) unsigned char[rowSize == 0 ? 1 : rowSize];
    if (row == nullptr) FatalError("TEXSPLIT: OUT OF MEMORY");

    const unsigned char opaque = 255;
    for (unsigned y = 0; y < height; ++y) {
        // Cleared first, so a short source leaves zeros, never an earlier row.
        std::memset(row, 0, rowSize);
        source->Read(row, rowSize);
        const unsigned char* px = row;
        if (depth == 24) {
            for (unsigned x = 0; x < width; ++x, px += 3) {
                colour->Write(px + 0, 1);
                colour->Write(px + 1, 1);
                colour->Write(px + 2, 1);
                opacity->Write(&opaque, 1);
                opacity->Write(&opaque, 1);
                opacity->Write(&opaque, 1);
            }
        } else {
            for (unsigned x = 0; x < width; ++x, px += 4) {
                colour->Write(px + 0, 1);
                colour->Write(px + 1, 1);
                colour->Write(px + 2, 1);
                opacity->Write(px + 3, 1);
                opacity->Write(px + 3, 1);
                opacity->Write(px + 3, 1);
            }
        }
    }
    delete[] row;

    std::printf("[OK]\n");
    CloseFile(colour);
    CloseFile(opacity);
    CloseFile(source);
}

int TexsplitMain() {
    std::printf("---------------------------------------------------------\n");
    std::printf("---     Gravelmax Skin Kit - TGA converter  v1.0      ---\n");
    std::printf("---          Gravelmax Skin Kit developers            ---\n");
    std::printf("---------------------------------------------------------\n\n");
    ResetArchives();
    ConvertTexture("t9");
    ConvertTexture("t10");
    ConvertTexture("t11");
    std::printf("\n");
    CloseArchives();
    return 0;
}
