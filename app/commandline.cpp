#include "commandline.h"

#include <charconv>

#include "grid/qrcodegrid.h"

namespace qrcli {

namespace {

std::optional<qr::TQRCodeEncoding> EncodingNamed(std::string_view Name) {
    if (Name == "auto") return qr::qrAuto;
    if (Name == "numeric") return qr::qrNumeric;
    if (Name == "alphanumeric") return qr::qrAlphanumeric;
    if (Name == "latin1") return qr::qrISO88591;
    if (Name == "utf8") return qr::qrUTF8BOM;       // UTF-8 alone, as the window writes it
    if (Name == "utf8-bom") return qr::qrUTF8NoBOM;  // EF BB BF, then UTF-8
    return std::nullopt;
}

std::optional<OutputType> TypeNamed(std::string_view Name) {
    if (Name == "jpeg") return OutputType::Jpeg;
    if (Name == "utf8") return OutputType::Utf8;
    if (Name == "ascii") return OutputType::Ascii;
    if (Name == "matrix") return OutputType::Matrix;
    return std::nullopt;
}

}  // namespace

std::string UsageText() {
    return "Usage: quandrel-qr [OPTIONS] [TEXT]\n"
           "Makes the QR Code symbol of TEXT (UTF-8), or of standard input when TEXT is missing or \"-\".\n"
           "\n"
           "  -o FILE              write the output to FILE (replaced atomically) instead of standard output\n"
           "  -t, --type TYPE      jpeg (default with -o): the 406 x 406 picture the window saves;\n"
           "                       utf8 (default otherwise): half blocks, two module rows a line;\n"
           "                       ascii: two characters a module; matrix: the bare matrix, 'X' dark, '.' light\n"
           "      --encoding ENC   auto, numeric, alphanumeric, latin1, utf8 (default, as the window),\n"
           "                       utf8-bom (EF BB BF, then UTF-8)\n"
           "      --quiet-zone N   light border of the text outputs, 0 to 100 modules (default 4)\n"
           "      --crlf           line breaks as CR LF, as the window's text box stores them\n"
           "      --info           print version, mask, mode, side and byte count on standard error\n"
           "  -h, --help           show this help\n"
           "  -V, --version        show the program's version\n"
           "\n"
           "Exit status: 0 done, 1 the text does not fit a symbol or the file cannot be written,\n"
           "2 bad arguments or input that is not UTF-8.\n";
}

namespace {

// Fills Opts from the arguments; returns the usage error, or nothing.
std::string ParseInto(const std::vector<std::string>& Args, Options& Opts) {
    auto Fail = [](std::string Message) { return Message; };
    bool OnlyText = false;
    for (std::size_t i = 0; i < Args.size(); ++i) {
        const std::string& A = Args[i];
        auto Value = [&](std::string_view Name) -> std::optional<std::string> {
            const std::string Prefix = std::string(Name) + "=";
            if (A.rfind(Prefix, 0) == 0) return A.substr(Prefix.size());
            if (i + 1 < Args.size()) return Args[++i];
            return std::nullopt;
        };
        auto Is = [&](std::string_view Long) { return A == Long || A.rfind(std::string(Long) + "=", 0) == 0; };
        if (OnlyText || A == "-" || A.empty() || A[0] != '-') {
            if (Opts.Text) return Fail("more than one TEXT argument");
            Opts.Text.emplace(A);
        } else if (A == "--") {
            OnlyText = true;
        } else if (A == "-h" || A == "--help") {
            Opts.Help = true;
        } else if (A == "-V" || A == "--version") {
            Opts.Version = true;
        } else if (A == "--crlf") {
            Opts.Crlf = true;
        } else if (A == "--info") {
            Opts.Info = true;
        } else if (A == "-o" || Is("--output")) {
            const auto V = Value("--output");
            if (!V || V->empty()) return Fail("-o needs a file name");
            Opts.OutputFile.emplace(*V);
        } else if (A == "-t" || Is("--type")) {
            const auto V = Value("--type");
            const auto T = V ? TypeNamed(*V) : std::nullopt;
            if (!T) return Fail("--type takes jpeg, utf8, ascii or matrix");
            Opts.Type = T;
        } else if (Is("--encoding")) {
            const auto V = Value("--encoding");
            const auto E = V ? EncodingNamed(*V) : std::nullopt;
            if (!E) return Fail("--encoding takes auto, numeric, alphanumeric, latin1, utf8 or utf8-bom");
            Opts.Encoding = *E;
        } else if (Is("--quiet-zone")) {
            const auto V = Value("--quiet-zone");
            int N = -1;
            if (!V || std::from_chars(V->data(), V->data() + V->size(), N).ptr != V->data() + V->size() || N < 0 ||
                N > 100)
                return Fail("--quiet-zone takes a whole number from 0 to 100");
            Opts.QuietZone = N;
        } else {
            return Fail("unknown option '" + A + "'");
        }
    }
    if (Opts.Text && *Opts.Text == "-") Opts.Text.reset();
    return {};
}

}  // namespace

Parsed ParseArguments(const std::vector<std::string>& Args) {
    Parsed P;
    P.Error = ParseInto(Args, P.Opts);
    return P;
}

Decoded DecodeUtf8(std::string_view Bytes) {
    std::u16string Out;
    Out.reserve(Bytes.size());
    std::size_t i = 0;
    auto Byte = [&](std::size_t k) { return static_cast<unsigned char>(Bytes[k]); };
    while (i < Bytes.size()) {
        const unsigned char b = Byte(i);
        int Length = 0;
        char32_t c = 0, Min = 0;
        if (b < 0x80) Length = 1, c = b;
        else if (b >= 0xC2 && b <= 0xDF) Length = 2, c = b & 0x1F, Min = 0x80;
        else if (b >= 0xE0 && b <= 0xEF) Length = 3, c = b & 0x0F, Min = 0x800;
        else if (b >= 0xF0 && b <= 0xF4) Length = 4, c = b & 0x07, Min = 0x10000;
        else return {std::nullopt, i};
        if (i + Length > Bytes.size()) return {std::nullopt, i};
        for (int k = 1; k < Length; ++k) {
            const unsigned char Next = Byte(i + k);
            if ((Next & 0xC0) != 0x80) return {std::nullopt, i};
            c = (c << 6) | (Next & 0x3F);
        }
        if (c < Min || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return {std::nullopt, i};
        if (c >= 0x10000) {
            Out.push_back(static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10)));
            Out.push_back(static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF)));
        } else {
            Out.push_back(static_cast<char16_t>(c));
        }
        i += static_cast<std::size_t>(Length);
    }
    return {std::move(Out), 0};
}

std::u16string ToCrlf(std::u16string_view Text) {
    std::u16string Out;
    Out.reserve(Text.size());
    for (std::size_t i = 0; i < Text.size(); ++i) {
        if (Text[i] == u'\n' && (i == 0 || Text[i - 1] != u'\r')) Out.push_back(u'\r');
        Out.push_back(Text[i]);
    }
    return Out;
}

std::string RenderText(const qr::TQRCodeGrid& Grid, OutputType Type) {
    std::string Out;
    const int N = Grid.Rows();
    if (Type == OutputType::Matrix) {
        const int Q = Grid.QuietZone();
        for (int r = Q; r < N - Q; ++r) {
            for (int c = Q; c < N - Q; ++c) Out += Grid.IsBlack(r, c) ? 'X' : '.';
            Out += '\n';
        }
    } else if (Type == OutputType::Ascii) {
        for (int r = 0; r < N; ++r) {
            for (int c = 0; c < N; ++c) Out += Grid.IsBlack(r, c) ? "##" : "  ";
            Out += '\n';
        }
    } else {
        // Light modules are drawn (foreground), dark ones left as the background: a light
        // quiet zone on the usual dark terminal. Upper half block: top row light only.
        for (int r = 0; r < N; r += 2) {
            for (int c = 0; c < N; ++c) {
                const bool TopLight = !Grid.IsBlack(r, c);
                const bool BottomLight = r + 1 < N ? !Grid.IsBlack(r + 1, c) : false;
                Out += TopLight && BottomLight ? "\u2588" : TopLight ? "\u2580" : BottomLight ? "\u2584" : " ";
            }
            Out += '\n';
        }
    }
    return Out;
}

}  // namespace qrcli
