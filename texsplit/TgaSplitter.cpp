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

// Ends a texture that failed after its source was opened: the error line
// ("can't create 't9.tga'!"), then every handle of the conversion that is
// open is closed and the run ends with exit code -1.
[[noreturn]] void FailOutputs(const char* what, const char* name, FileHandle* source,
                              FileHandle* colour, FileHandle* opacity) {
    std::printf("[ERROR]\n***\tERROR: %s '%s'!\n", what, name);
    CloseFile(colour);
    CloseFile(opacity);
    CloseFile(source);
    EndRun();
}

// Opens an output and writes its header and ID field. A file that cannot be
// created ends the run like any failed texture: an error line, the open
// handles closed, exit code -1; nothing is written through a missing handle.
FileHandle* OpenOutput(const char* name, const unsigned char* header, const unsigned char* id,
                       unsigned idLength, FileHandle* source, FileHandle* other) {
    FileHandle* out = OpenFile(name, FS_WRITE);
    if (out == nullptr)
        FailOutputs("can't create", name, source, other, nullptr);
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
    // Only type 2 is split. Every other type is refused, the ones TGA does
    // not define included: passing them over with "[OK]" would claim outputs
    // that were never written. A depth other than 24 below 32 has no 4-byte
    // pixels to split, so it is refused the same way.
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
    if (row == nullptr) {
        // At most 65535 pixels of 31 bytes, so hardly ever; still told, not
        // silent.
        std::snprintf(name, sizeof name, "%s.tex.big.tga", baseName);
        FailOutputs("not enough memory for", name, source, colour, opacity);
    }

    const unsigned char opaque = 255;
    const bool threeByteSplit = depth == 24;
    for (unsigned y = 0; y < height; ++y) {
        // Cleared first, so a short source leaves zeros, never an earlier row.
        std::memset(row, 0, rowSize);
        source->Read(row, rowSize);
        const unsigned char* px = row;
        if (threeByteSplit) {
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

    // A write that fell short (a full disk, say) leaves the stream's error
    // flag set, so one check per output at the end covers every byte; the
    // flush also catches a failure of the bytes still buffered.
    if (!colour->Flush()) {
        std::snprintf(name, sizeof name, "%s.tga", baseName);
        FailOutputs("can't write", name, source, colour, opacity);
    }
    if (!opacity->Flush()) {
        std::snprintf(name, sizeof name, "%s_op.tga", baseName);
        FailOutputs("can't write", name, source, colour, opacity);
    }

    std::printf("[OK]\n");
    CloseFile(colour);
    CloseFile(opacity);
    CloseFile(source);
}

int TexsplitMain() {
    std::printf("---------------------------------------------------------\n");
    std::printf("---     Gravelmax Skin Kit - TGA converter  v1.0      ---\n");
    // The credit line: our own text, centred in the same 57-character frame.
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
