#pragma once
// Helpers for the JPEG tests: pictures of the display area, a libjpeg decoder that reads a
// stream back into pixels, and a reader of the stream's marker segments.

#include <csetjmp>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include <jpeglib.h>

#include "displayarea.h"
#include "modulebitmap.h"

namespace jpegtest {

// The display area as the window paints it for Text: its module bitmap stretched into W x H.
inline qrpicture::TPixels DisplayArea(const std::u16string& Text, int W = qrpicture::kDisplayAreaSide,
                                      int H = qrpicture::kDisplayAreaSide, int* Modules = nullptr) {
    const qrpicture::TPixels Bitmap = qrpicture::WindowModuleBitmap(Text);
    if (Modules)
        *Modules = Bitmap.Width();
    return qrpicture::RenderDisplayArea(Bitmap, W, H);
}

// The file's bytes; none when it cannot be read.
inline std::vector<unsigned char> ReadFileBytes(const std::string& Path) {
    std::ifstream File(Path, std::ios::binary);
    return {std::istreambuf_iterator<char>(File), std::istreambuf_iterator<char>()};
}

// A decoded picture: Width x Height pixels of 3 samples (red, green, blue), rows packed.
struct Decoded {
    int Width = 0;
    int Height = 0;
    int Components = 0;  // in the file
    std::vector<std::uint8_t> Rgb;

    const std::uint8_t* Pixel(int X, int Y) const {
        return &Rgb[(static_cast<std::size_t>(Y) * static_cast<std::size_t>(Width) + static_cast<std::size_t>(X)) * 3];
    }
};

namespace detail {
struct DecodeErrorManager {
    jpeg_error_mgr Pub;
    std::jmp_buf Jump;
};
struct DecodeState {
    jpeg_decompress_struct Info;
    DecodeErrorManager Error;
};
[[noreturn]] inline void DecodeErrorExit(j_common_ptr Info) {
    std::longjmp(reinterpret_cast<DecodeErrorManager*>(Info->err)->Jump, 1);
}
inline void DecodeSilent(j_common_ptr, int) {}
// No objects with destructors in this frame: libjpeg's errors longjmp back into it.
inline bool RunDecoder(DecodeState& S, const unsigned char* Data, unsigned long Size, Decoded& Out) {
    S.Info.err = jpeg_std_error(&S.Error.Pub);
    S.Error.Pub.error_exit = DecodeErrorExit;
    S.Error.Pub.emit_message = DecodeSilent;
    if (setjmp(S.Error.Jump) != 0) {
        jpeg_destroy_decompress(&S.Info);
        return false;
    }
    jpeg_create_decompress(&S.Info);
    jpeg_mem_src(&S.Info, Data, Size);
    jpeg_read_header(&S.Info, TRUE);
    S.Info.out_color_space = JCS_RGB;
    jpeg_start_decompress(&S.Info);
    Out.Width = static_cast<int>(S.Info.output_width);
    Out.Height = static_cast<int>(S.Info.output_height);
    Out.Components = S.Info.num_components;
    Out.Rgb.resize(static_cast<std::size_t>(Out.Width) * static_cast<std::size_t>(Out.Height) * 3);
    while (S.Info.output_scanline < S.Info.output_height) {
        JSAMPROW Row = Out.Rgb.data() + static_cast<std::size_t>(S.Info.output_scanline) * static_cast<std::size_t>(Out.Width) * 3;
        jpeg_read_scanlines(&S.Info, &Row, 1);
    }
    jpeg_finish_decompress(&S.Info);
    jpeg_destroy_decompress(&S.Info);
    return true;
}
}  // namespace detail

// Decodes a JPEG stream with libjpeg into RGB; nothing when the library rejects it.
inline std::optional<Decoded> DecodeJpeg(std::span<const unsigned char> Jpeg) {
    detail::DecodeState State{};
    Decoded Out;
    if (!detail::RunDecoder(State, Jpeg.data(), static_cast<unsigned long>(Jpeg.size()), Out))
        return std::nullopt;
    return Out;
}

// One marker segment of a JPEG stream: the marker's second byte and the bytes after the length.
struct Segment {
    std::uint8_t Marker = 0;
    std::vector<std::uint8_t> Body;
};

// The stream split into its parts. Malformed streams leave Error set.
struct Stream {
    std::vector<Segment> Headers;  // every segment from SOI up to and including the last SOS
    int ScanCount = 0;
    int RestartMarkers = 0;        // RST0..RST7 met in the entropy-coded data
    bool EndsWithEoi = false;      // EOI comes right after the entropy-coded data and ends the stream
    std::string Error;

    std::vector<const Segment*> All(std::uint8_t Marker) const {
        std::vector<const Segment*> Found;
        for (const Segment& S : Headers)
            if (S.Marker == Marker)
                Found.push_back(&S);
        return Found;
    }
};

inline Stream ParseJpeg(std::span<const unsigned char> Bytes) {
    Stream Out;
    if (Bytes.size() < 4 || Bytes[0] != 0xFF || Bytes[1] != 0xD8) {
        Out.Error = "no SOI at the start";
        return Out;
    }
    Out.Headers.push_back({0xD8, {}});
    std::size_t At = 2;
    while (At + 4 <= Bytes.size()) {
        if (Bytes[At] != 0xFF) {
            Out.Error = "expected a marker at offset " + std::to_string(At);
            return Out;
        }
        const std::uint8_t Marker = Bytes[At + 1];
        if (Marker == 0xD9) {
            Out.Error = "EOI before any scan";
            return Out;
        }
        const std::size_t Length = static_cast<std::size_t>(Bytes[At + 2]) << 8 | Bytes[At + 3];
        if (Length < 2 || At + 2 + Length > Bytes.size()) {
            Out.Error = "segment runs past the end";
            return Out;
        }
        Out.Headers.push_back({Marker, {Bytes.begin() + static_cast<std::ptrdiff_t>(At + 4),
                                        Bytes.begin() + static_cast<std::ptrdiff_t>(At + 2 + Length)}});
        At += 2 + Length;
        if (Marker != 0xDA)
            continue;
        // Entropy-coded data: 0xFF is followed by a stuffed 0x00 or by a restart marker; any other
        // marker ends the scan.
        ++Out.ScanCount;
        while (At + 1 < Bytes.size()) {
            if (Bytes[At] != 0xFF) {
                ++At;
                continue;
            }
            const std::uint8_t Next = Bytes[At + 1];
            if (Next == 0x00) {
                At += 2;
            } else if (Next >= 0xD0 && Next <= 0xD7) {
                ++Out.RestartMarkers;
                At += 2;
            } else if (Next == 0xFF) {
                ++At;  // fill byte
            } else {
                break;
            }
        }
        if (At + 2 == Bytes.size() && Bytes[At] == 0xFF && Bytes[At + 1] == 0xD9) {
            Out.EndsWithEoi = true;
            return Out;
        }
    }
    if (Out.ScanCount == 0)
        Out.Error = "no scan";
    return Out;
}

}  // namespace jpegtest
