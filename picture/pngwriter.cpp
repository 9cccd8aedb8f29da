// The symbol as PNG through libpng, compressed in memory.

#include <png.h>
#include <zlib.h>

#include <cstddef>
#include <cstdio>
#include <cstdint>
#include <new>
#include <stdexcept>
#include <string>
#include <vector>

#include "drawingparts.h"
#include "formats.h"

namespace qrpicture {

namespace {

// What RunPng needs; everything with a destructor lives in MakePng's frame, not in the frame
// that calls setjmp.
struct PngJob {
    const std::uint8_t* Rows;  // one packed pixel row per module row
    std::size_t RowBytes;
    int ModuleRows;
    int ModuleSize;
    png_uint_32 Side;
    bool Grey;
    png_color Palette[2];
    png_byte Alpha[2];
    bool Transparent;
    png_uint_32 PixelsPerMetre;  // 0: no pHYs chunk
    int MemLevel;                // deflate's memory level
    TBytes* Out;
    char Error[128];
};

// libpng's errors end in a longjmp back to RunPng; the message is kept for the exception.
[[noreturn]] void PngError(png_structp Png, png_const_charp Message) {
    auto* Job = static_cast<PngJob*>(png_get_error_ptr(Png));
    std::snprintf(Job->Error, sizeof Job->Error, "%s", Message);
    png_longjmp(Png, 1);
}

void PngWarning(png_structp, png_const_charp) {}

void PngWrite(png_structp Png, png_bytep Data, std::size_t Length) {
    auto* Job = static_cast<PngJob*>(png_get_io_ptr(Png));
    bool Failed = false;
    try {
        Job->Out->insert(Job->Out->end(), Data, Data + Length);
    } catch (const std::bad_alloc&) {
        Failed = true;
    }
    // Outside the handler: libpng leaves by longjmp.
    if (Failed)
        png_error(Png, "out of memory");
}

void PngFlush(png_structp) {}

// Runs libpng from start to end; false when it failed. Nothing in this frame may need a
// destructor: a longjmp lands here past the library's frames.
bool RunPng(PngJob& Job) noexcept {
    png_structp Png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &Job, PngError, PngWarning);
    if (Png == nullptr) {
        std::snprintf(Job.Error, sizeof Job.Error, "out of memory");
        return false;
    }
    png_infop Info = png_create_info_struct(Png);
    if (Info == nullptr) {
        png_destroy_write_struct(&Png, nullptr);
        std::snprintf(Job.Error, sizeof Job.Error, "out of memory");
        return false;
    }
    if (setjmp(png_jmpbuf(Png)) != 0) {
        png_destroy_write_struct(&Png, &Info);
        return false;
    }
    png_set_write_fn(Png, &Job, PngWrite, PngFlush);
    // The fastest deflate: a symbol's long runs and repeated rows compress well at any level,
    // and the default level takes about three times as long for a file some 7 % smaller.
    png_set_compression_level(Png, Z_BEST_SPEED);
    png_set_compression_mem_level(Png, Job.MemLevel);
    png_set_IHDR(Png, Info, Job.Side, Job.Side, 1, Job.Grey ? PNG_COLOR_TYPE_GRAY : PNG_COLOR_TYPE_PALETTE,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (!Job.Grey) {
        png_set_PLTE(Png, Info, Job.Palette, 2);
        if (Job.Transparent)
            png_set_tRNS(Png, Info, Job.Alpha, 2, nullptr);
    }
    if (Job.PixelsPerMetre != 0)
        png_set_pHYs(Png, Info, Job.PixelsPerMetre, Job.PixelsPerMetre, PNG_RESOLUTION_METER);
    png_write_info(Png, Info);
    for (int Row = 0; Row < Job.ModuleRows; ++Row) {
        // libpng only reads the rows it is given.
        auto* Pixels = const_cast<png_bytep>(Job.Rows + static_cast<std::size_t>(Row) * Job.RowBytes);
        for (int Repeat = 0; Repeat < Job.ModuleSize; ++Repeat)
            png_write_row(Png, Pixels);
    }
    png_write_end(Png, Info);
    png_destroy_write_struct(&Png, &Info);
    return true;
}

// One module row of the grid as 1-bit pixels, most significant bit first, Size pixels a module:
// 1 for a light module, 0 for a dark one. Line holds the row's bytes, zeroed.
void PackRow(const qr::TQRCodeGrid& Grid, int Row, int Size, std::uint8_t* Line) {
    const int Cells = Grid.Columns();
    if (Size > 56) {
        for (int Column = 0; Column < Cells; ++Column)
            if (!Grid.IsBlack(Row, Column))
                for (int x = Column * Size; x < (Column + 1) * Size; ++x)
                    Line[x / 8] |= static_cast<std::uint8_t>(0x80u >> (x % 8));
        return;
    }
    // Pixels gather in a word, whole bytes leave it: fewer than 8 bits wait there between
    // modules, so a module of up to 56 pixels always fits beside them.
    const std::uint64_t Module = (std::uint64_t{1} << Size) - 1;
    std::uint64_t Pending = 0;
    int PendingBits = 0;
    for (int Column = 0; Column < Cells; ++Column) {
        Pending = (Pending << Size) | (Grid.IsBlack(Row, Column) ? 0 : Module);
        PendingBits += Size;
        for (; PendingBits >= 8; PendingBits -= 8)
            *Line++ = static_cast<std::uint8_t>(Pending >> (PendingBits - 8));
    }
    if (PendingBits > 0)
        *Line = static_cast<std::uint8_t>(Pending << (8 - PendingBits));
}

}  // namespace

TBytes MakePng(const qr::TQRCodeGrid& Grid, const TDrawing& Drawing) {
    const int Side = detail::DrawingSide(Grid, Drawing);
    const int Cells = Grid.Rows();
    const int Size = Drawing.ModuleSize;

    // Pixel value 0 is dark and 1 light: black and white in greyscale, and palette entry 0 the
    // foreground, entry 1 the background.
    const std::size_t RowBytes = (static_cast<std::size_t>(Side) + 7) / 8;
    std::vector<std::uint8_t> Rows(RowBytes * static_cast<std::size_t>(Cells), 0);
    for (int Row = 0; Row < Cells; ++Row)
        PackRow(Grid, Row, Size, Rows.data() + static_cast<std::size_t>(Row) * RowBytes);

    const TColour& Dark = Drawing.Foreground;
    const TColour& Light = Drawing.Background;
    TBytes Out;
    PngJob Job{};
    Job.Rows = Rows.data();
    Job.RowBytes = RowBytes;
    Job.ModuleRows = Cells;
    Job.ModuleSize = Size;
    Job.Side = static_cast<png_uint_32>(Side);
    Job.Grey = Dark == kOpaqueBlack && Light == kOpaqueWhite;
    Job.Palette[0] = {Dark.R, Dark.G, Dark.B};
    Job.Palette[1] = {Light.R, Light.G, Light.B};
    Job.Alpha[0] = Dark.A;
    Job.Alpha[1] = Light.A;
    Job.Transparent = Dark.A != 255 || Light.A != 255;
    // Dots per inch to the chunk's pixels per metre, rounded.
    Job.PixelsPerMetre = Drawing.Dpi > 0 ? static_cast<png_uint_32>(Drawing.Dpi / 0.0254 + 0.5) : 0;
    // Deflate clears its match table, 2^(MemLevel + 7) entries, for every picture. A table about
    // the size of the picture's bytes finds nearly the same matches, and a small symbol no
    // longer spends more time clearing zlib's default table (level 8) than compressing.
    const std::size_t RawBytes = (RowBytes + 1) * static_cast<std::size_t>(Side);
    Job.MemLevel = 1;
    while (Job.MemLevel < 8 && (std::size_t{1} << (Job.MemLevel + 7)) < RawBytes)
        ++Job.MemLevel;
    Job.Out = &Out;
    if (!RunPng(Job))
        throw std::runtime_error(std::string("PNG error: ") + Job.Error);
    return Out;
}

}  // namespace qrpicture
