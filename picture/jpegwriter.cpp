#include "jpegwriter.h"

#include <csetjmp>
#include <cstdio>  // jpeglib.h needs FILE and size_t declared first
#include <cstdlib>
#include <memory>
#include <string>

#include <jpeglib.h>

namespace qrpicture {

JpegError::JpegError(int Code) : std::runtime_error("JPEG error #" + std::to_string(Code)), FCode(Code) {}

namespace {

// libjpeg's error manager, extended by the place to jump back to when the library gives up.
// Pub comes first so that the library's pointer to it is also a pointer to the whole.
struct ErrorManager {
    jpeg_error_mgr Pub;
    std::jmp_buf Jump;
};

// Everything libjpeg works on during one compression. It lives in the caller's frame, not in
// the frame that calls setjmp, so its contents stay well defined after a longjmp.
struct Compressor {
    jpeg_compress_struct Info;
    ErrorManager Error;
    unsigned char* Output;  // malloc'ed by the memory destination; freed by CompressJpeg
    unsigned long OutputSize;
};

struct Picture {
    const std::uint8_t* Rows;
    std::size_t BytesPerLine;
    JDIMENSION Width;
    JDIMENSION Height;
    int Quality;
};

// The library calls this instead of returning when it fails. Unwinding C++ exceptions
// through its C frames is not allowed, so jump back to RunCompressor, which ends the work.
[[noreturn]] void ErrorExit(j_common_ptr Info) {
    std::longjmp(reinterpret_cast<ErrorManager*>(Info->err)->Jump, 1);
}

// Warnings and trace messages are dropped.
void EmitMessage(j_common_ptr, int) {}
void OutputMessage(j_common_ptr) {}

// Runs libjpeg from start to end. Returns false when the library failed; its message code is
// then in C.Error.Pub.msg_code. Nothing in this frame may need a destructor: a longjmp lands
// here past the library's frames.
bool RunCompressor(Compressor& C, const Picture& P) noexcept {
    C.Info.err = jpeg_std_error(&C.Error.Pub);
    C.Error.Pub.error_exit = ErrorExit;
    C.Error.Pub.emit_message = EmitMessage;
    C.Error.Pub.output_message = OutputMessage;

    if (setjmp(C.Error.Jump) != 0) {
        // The memory destination publishes the buffer it currently uses only from
        // term_destination; once it has grown, the pointer it gave out at the start is
        // already freed. Publish the live buffer so that the caller frees the right one.
        if (C.Output != nullptr && C.Info.dest != nullptr)
            C.Info.dest->term_destination(&C.Info);
        jpeg_destroy_compress(&C.Info);
        return false;
    }

    jpeg_create_compress(&C.Info);
    jpeg_mem_dest(&C.Info, &C.Output, &C.OutputSize);

    C.Info.image_width = P.Width;
    C.Info.image_height = P.Height;
    C.Info.input_components = 3;
    C.Info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&C.Info);
    jpeg_set_quality(&C.Info, P.Quality, TRUE);
    // jpeg_set_defaults chooses the integer DCT, so this has to come after it.
    C.Info.dct_method = JDCT_FLOAT;

    jpeg_start_compress(&C.Info, TRUE);
    while (C.Info.next_scanline < C.Info.image_height) {
        // libjpeg only reads the rows it is given.
        JSAMPROW Row = const_cast<JSAMPROW>(P.Rows + static_cast<std::size_t>(C.Info.next_scanline) * P.BytesPerLine);
        jpeg_write_scanlines(&C.Info, &Row, 1);
    }
    jpeg_finish_compress(&C.Info);
    jpeg_destroy_compress(&C.Info);
    return true;
}

struct FreeDeleter {
    void operator()(unsigned char* Buffer) const noexcept { std::free(Buffer); }
};

}  // namespace

std::vector<unsigned char> CompressJpeg(std::span<const std::uint8_t> Rgb, int Width, int Height, int Quality,
                                        std::size_t BytesPerLine) {
    if (Width < 0 || Height < 0)
        throw std::invalid_argument("CompressJpeg: negative picture size");
    const std::size_t RowBytes = static_cast<std::size_t>(Width) * 3;
    if (Height > 0 && (BytesPerLine < RowBytes ||
                       Rgb.size() < (static_cast<std::size_t>(Height) - 1) * BytesPerLine + RowBytes))
        throw std::invalid_argument("CompressJpeg: pixel buffer too small for the picture");

    // Zero-initialised: no destination and no output buffer until libjpeg sets them up.
    Compressor State{};
    const Picture P{Rgb.data(), BytesPerLine, static_cast<JDIMENSION>(Width), static_cast<JDIMENSION>(Height),
                    Quality};
    const bool Done = RunCompressor(State, P);
    const std::unique_ptr<unsigned char, FreeDeleter> Output(State.Output);
    if (!Done)
        throw JpegError(State.Error.Pub.msg_code);
    return {Output.get(), Output.get() + State.OutputSize};
}

std::vector<unsigned char> CompressJpeg(std::span<const std::uint8_t> Rgb, int Width, int Height, int Quality) {
    return CompressJpeg(Rgb, Width, Height, Quality, static_cast<std::size_t>(Width) * 3);
}

std::vector<unsigned char> PictureToJpeg(const TPixels& Picture, int Quality) {
    std::vector<std::uint8_t> Rgb;
    Rgb.reserve(Picture.All().size() * 3);
    for (const TRgb32 Pixel : Picture.All()) {
        Rgb.push_back(static_cast<std::uint8_t>(Pixel >> 16));
        Rgb.push_back(static_cast<std::uint8_t>(Pixel >> 8));
        Rgb.push_back(static_cast<std::uint8_t>(Pixel));
    }
    return CompressJpeg(Rgb, Picture.Width(), Picture.Height(), Quality);
}

}  // namespace qrpicture
