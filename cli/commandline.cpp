#include "commandline.h"

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <map>

#include <CLI/CLI.hpp>

#include "batchlist.h"
#include "batchname.h"
#include "displayarea.h"
#include "jpegwriter.h"
#include "modulebitmap.h"

namespace qrcli {

namespace {

const std::map<std::string, OutputType> kTypeNames = {
    {"png", OutputType::Png},   {"svg", OutputType::Svg},     {"eps", OutputType::Eps},
    {"pdf", OutputType::Pdf},   {"jpeg", OutputType::Jpeg},   {"jpg", OutputType::Jpeg},
    {"utf8", OutputType::Utf8}, {"ascii", OutputType::Ascii}, {"matrix", OutputType::Matrix},
};

const std::map<std::string, qr::TQRCodeEncoding> kEncodingNames = {
    {"auto", qr::qrAuto},
    {"numeric", qr::qrNumeric},
    {"alphanumeric", qr::qrAlphanumeric},
    {"latin1", qr::qrISO88591},
    {"utf8", qr::qrUTF8BOM},       // UTF-8 alone, as the window writes it
    {"utf8-bom", qr::qrUTF8NoBOM},  // EF BB BF, then UTF-8
};

const std::map<std::string, char> kLevelNames = {{"l", 'L'}, {"m", 'M'}, {"q", 'Q'}, {"h", 'H'}};

std::string Lower(std::string_view Text) {
    std::string Out(Text);
    std::transform(Out.begin(), Out.end(), Out.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return Out;
}

// A validator that looks Value up in Names, in any case, and names the choices when it fails.
template <typename T>
CLI::Validator OneOf(const std::map<std::string, T>& Names, std::string Choices) {
    return CLI::Validator(
        [&Names, Choices](std::string& Value) -> std::string {
            return Names.count(Lower(Value)) ? std::string() : "'" + Value + "' is not one of " + Choices;
        },
        "", "");
}

// The parser, its options bound to Opts and to the strings that are converted after parsing.
struct Parser {
    CLI::App App{"Makes the QR Code symbol of TEXT (UTF-8), or of standard input when TEXT is missing or \"-\".",
                 "quandrel-qr"};
    std::string Type, Encoding = "utf8", Level = "L", Foreground, Background;
    bool Version = false;
    std::optional<std::string> BatchList;
    BatchOptions Batch;

    explicit Parser(Options& Opts) {
        App.set_help_flag("-h,--help", "show this help and exit");
        App.add_flag("-V,--version", Version, "show the program's version and exit");
        App.add_option("TEXT", Opts.Text, "the text to encode; standard input when missing or \"-\"")->type_name("");
        App.add_option("-o,--output", Opts.OutputFile,
                       "write to FILE instead of standard output: a regular file is\n"
                       "replaced atomically, a device or pipe written to; - is\n"
                       "standard output (./- for a file named -)")
            ->type_name("FILE")
            ->check([](const std::string& Value) { return Value.empty() ? std::string("needs a file name") : std::string(); },
                    "", "");
        App.add_option("-t,--type", Type,
                       "png, svg, eps, pdf, jpeg (jpg), utf8, ascii or matrix, in any case.\n"
                       "Without -t: from the extension of FILE (.png .svg .eps .pdf\n"
                       ".jpg .jpeg, .txt for utf8), otherwise jpeg with -o (-o - too),\n"
                       "utf8 without")
            ->type_name("TYPE")
            ->check(OneOf(kTypeNames, "png, svg, eps, pdf, jpeg, jpg, utf8, ascii, matrix"));
        App.add_option("-s,--size", Opts.Drawing.ModuleSize,
                       "pixels per module for PNG, 1 to 100 (default 3); the module's\n"
                       "size in SVG (px), EPS and PDF (points)")
            ->type_name("N")
            ->check(CLI::Range(1, 100).description(""));
        App.add_option("-m,--margin,--quiet-zone", Opts.Margin,
                       "light border in modules, 0 to 100 (default 4), for every\n"
                       "output but JPEG")
            ->type_name("N")
            ->check(CLI::Range(0, 100).description(""));
        App.add_option("-l,--level", Level, "error-correction level L, M, Q or H (default L, as the window)")
            ->type_name("L|M|Q|H")
            ->check(OneOf(kLevelNames, "L, M, Q, H"));
        App.add_option("-d,--dpi", Opts.Drawing.Dpi, "resolution written into a PNG (pHYs chunk), 1 to 100000\n"
                       "dots per inch")
            ->type_name("N")
            ->check(CLI::Range(1, 100000).description(""));
        const auto Colour = [](const std::string& Value) {
            return ParseColour(Value) ? std::string() : "'" + Value + "' is not a colour RRGGBB or RRGGBBAA";
        };
        App.add_option("--foreground", Foreground, "colour of the dark modules (default 000000), for PNG, SVG,\n"
                       "EPS and PDF")
            ->type_name("RRGGBB[AA]")
            ->check(Colour, "", "");
        App.add_option("--background", Background,
                       "colour of the light modules and the margin (default ffffff).\n"
                       "AA is the opacity, 00 transparent; EPS has none: 00 leaves\n"
                       "the colour out, any other AA draws it opaque")
            ->type_name("RRGGBB[AA]")
            ->check(Colour, "", "");
        App.add_option("--encoding", Encoding,
                       "auto, numeric, alphanumeric, latin1, utf8 (default, as the\n"
                       "window), utf8-bom (EF BB BF, then UTF-8)")
            ->type_name("ENC")
            ->check(OneOf(kEncodingNames, "auto, numeric, alphanumeric, latin1, utf8, utf8-bom"));
        App.add_flag("--crlf", Opts.Crlf, "line breaks as CR LF, as the window's text box stores them");
        App.add_flag("--info", Opts.Info, "print version, level, mask, mode, side and count on standard\n"
                                       "error");
        // Which options go together is checked after parsing (BatchUsageError), so that the help
        // lists each option once, without CLI11's "Needs" and "Excludes" notes.
        App.add_option("--batch", BatchList,
                       "make one file for each text of the list FILE (\"-\": standard\n"
                       "input), each named by -o TEMPLATE (see Batch below)")
            ->type_name("FILE");
        App.add_flag("--csv", Batch.Csv, "batch: the list is CSV (RFC 4180), not one text a line");
        App.add_option("--column", Batch.Column, "CSV: the text's column, a number from 1 (default 1) or,\n"
                       "with --header, a name")
            ->type_name("N|NAME");
        App.add_option("--name-column", Batch.NameColumn, "CSV: the column that {name} takes, a number or a name")
            ->type_name("N|NAME");
        App.add_flag("--header", Batch.Header, "CSV: the first record names the columns and makes no file");
        App.add_option("-j,--jobs", Batch.Jobs, "batch: N workers (default one per core)")
            ->type_name("N")
            ->check(CLI::Range(1, 1024).description(""));
        App.add_flag("--quiet", Batch.Quiet, "batch: no progress line on a terminal");
        App.footer(
            "JPEG is the window's picture: 406 x 406 pixels, the symbol with a quiet zone of 4 modules scaled to fit,\n"
            "byte for byte what \"Gravar\" saves at 100 % screen scale; -s, -m, --dpi and the colours do not apply.\n"
            "The text outputs (utf8, ascii, matrix) take -m but no colours; matrix is the bare symbol, 'X' dark.\n"
            "\n"
            "An encoding that cannot hold some characters of the text (numeric, alphanumeric, latin1) leaves them\n"
            "out of the symbol, as the window does, and says how many on standard error.\n"
            "\n"
            "Batch: --batch FILE makes a file of every row of FILE: one text a line (LF or CR LF; an empty line is\n"
            "an empty text) or, with --csv, one CSV record a row. -o TEMPLATE names the files: {n} is the row\n"
            "number (from 1; a header is not counted), {n:05} the same padded with zeros to 5 digits, {name} the\n"
            "--name-column's value with '/' and control characters made '_', {{ and }} are braces. Missing folders\n"
            "are created; a file lands inside the template's folder or its row fails. The type comes from -t or\n"
            "the template's extension. A row that makes no file is reported as \"row N: reason\" and the others go\n"
            "on; a second row with the same file name fails. Standard error ends with a summary line; on a\n"
            "terminal it shows the progress too. SIGINT or SIGTERM stop the run after the files being written.\n"
            "\n"
            "Exit status: 0 done, also when characters were left out; 1 the text does not fit a symbol, the input is\n"
            "too long or cannot be read, or the output (the file, standard output, or --info on standard error)\n"
            "cannot be written; 2 bad arguments, input that is not UTF-8, or a binary type for a terminal.\n"
            "Batch: 0 every row written; 1 a row failed or the list could not be read to its end; 2 bad arguments,\n"
            "a list that cannot be opened or a column name missing from the header; 130 stopped by SIGINT, 143 by\n"
            "SIGTERM.");
    }
};

}  // namespace

Parsed ParseArguments(const std::vector<std::string>& Args) {
    Parsed P;
    Parser Cli(P.Opts);
    // CLI11 takes the arguments last first.
    std::vector<std::string> Reversed(Args.rbegin(), Args.rend());
    try {
        Cli.App.parse(Reversed);
    } catch (const CLI::CallForHelp&) {
        P.What = Action::Help;
        P.Message = Cli.App.help();
        return P;
    } catch (const CLI::ParseError& E) {
        P.What = Action::UsageError;
        P.Message = E.what();
        std::replace(P.Message.begin(), P.Message.end(), '\n', ' ');
        return P;
    }
    if (Cli.Version) {
        P.What = Action::Version;
        return P;
    }
    Options& O = P.Opts;
    if (!Cli.Type.empty())
        O.Type = kTypeNames.at(Lower(Cli.Type));
    O.Encoding = kEncodingNames.at(Lower(Cli.Encoding));
    O.Level = kLevelNames.at(Lower(Cli.Level));
    if (!Cli.Foreground.empty())
        O.Drawing.Foreground = *ParseColour(Cli.Foreground);
    if (!Cli.Background.empty())
        O.Drawing.Background = *ParseColour(Cli.Background);
    if (O.Text && *O.Text == "-")
        O.Text.reset();
    const auto Usage = [&P](std::string Message) {
        P.What = Action::UsageError;
        P.Message = std::move(Message);
        return P;
    };
    const auto Given = [&Cli](const char* Name) { return Cli.App.count(Name) > 0; };
    for (const char* Name : {"--csv", "--jobs", "--quiet"})
        if (Given(Name) && !Cli.BatchList)
            return Usage(std::string(Name) + " needs --batch");
    for (const char* Name : {"--column", "--name-column", "--header"})
        if (Given(Name) && !Cli.Batch.Csv)
            return Usage(std::string(Name) + " needs --csv");
    if (Cli.BatchList) {
        if (O.Text)
            return Usage("--batch takes its texts from the list, not from TEXT");
        if (O.Info)
            return Usage("--info is for a single symbol, not for --batch");
        if (!O.OutputFile || *O.OutputFile == "-")
            return Usage("--batch needs -o TEMPLATE, the name of each file");
        const auto Template = batch::NameTemplate::Parse(*O.OutputFile);
        if (const auto* Error = std::get_if<std::string>(&Template))
            return Usage("-o: " + *Error);
        for (const auto& [Name, Value] : {std::pair<const char*, std::optional<std::string>>{"--column", Cli.Batch.Column},
                                          {"--name-column", Cli.Batch.NameColumn}}) {
            if (!Value)
                continue;
            const auto Column = batch::ParseColumn(*Value);
            if (!Column)
                return Usage(std::string(Name) + ": '" + *Value + "' is neither a column number from 1 nor a name");
            if (Column->Number == 0 && !Cli.Batch.Header)
                return Usage(std::string(Name) + " " + *Value + ": a column name needs --header");
        }
        if (std::get<batch::NameTemplate>(Template).UsesName() && !Cli.Batch.NameColumn)
            return Usage("-o: {name} needs --name-column");
        O.Batch = std::move(Cli.Batch);
        O.Batch->List = *Cli.BatchList;
    }
    return P;
}

OutputType ResolveType(const Options& Opts) {
    if (Opts.Type)
        return *Opts.Type;
    if (!Opts.OutputFile)
        return OutputType::Utf8;
    const std::string& Path = *Opts.OutputFile;
    const std::size_t Dot = Path.find_last_of("./");
    if (Dot != std::string::npos && Path[Dot] == '.') {
        const std::string Extension = Lower(std::string_view(Path).substr(Dot + 1));
        if (Extension == "txt")
            return OutputType::Utf8;
        const auto Named = kTypeNames.find(Extension);
        if (Named != kTypeNames.end() && Extension != "utf8" && Extension != "ascii" && Extension != "matrix")
            return Named->second;
    }
    return OutputType::Jpeg;
}

bool ToStandardOutput(const Options& Opts) { return !Opts.OutputFile || *Opts.OutputFile == "-"; }

const char* ModeName(qr::TMode Mode) {
    return Mode == qr::qmNumeric ? "numeric" : Mode == qr::qmAlphanumeric ? "alphanumeric" : "byte";
}

std::optional<std::string> TooLongForSymbol(std::u16string_view Text, const Options& Opts) {
    const qr::TDataSize Size = qr::TQRCodeGrid::MeasureData(Text, Opts.Encoding, LevelFor(Opts.Level));
    if (Size.Fits())
        return std::nullopt;
    const char* Unit = Size.Mode == qr::qmNumeric        ? "digits"
                       : Size.Mode == qr::qmAlphanumeric ? "characters"
                                                          : "bytes";
    return "text too long for a QR symbol: " + std::to_string(Size.Count) + " " + Unit + " in " +
           ModeName(Size.Mode) + " mode, the limit is " + std::to_string(Size.Limit) + " " + Unit + " at level " +
           Opts.Level;
}

qrpicture::TBytes MakeSymbolFile(OutputType Type, std::u16string_view Text, const Options& Opts) {
    // The JPEG is the window's picture, so it keeps the window's quiet zone.
    const int QuietZone = Type == OutputType::Jpeg ? qrpicture::kWindowQuietZone : Opts.Margin;
    const qr::TQRCodeGrid Grid = qrpicture::SymbolGrid(Text, {Opts.Encoding, LevelFor(Opts.Level), QuietZone});
    return MakeOutput(Type, Grid, Opts.Drawing);
}

bool IsBinary(OutputType Type) {
    return Type == OutputType::Png || Type == OutputType::Pdf || Type == OutputType::Jpeg;
}

std::optional<qrpicture::TColour> ParseColour(std::string_view Text) {
    if (Text.size() != 6 && Text.size() != 8)
        return std::nullopt;
    std::uint8_t Bytes[4] = {0, 0, 0, 255};
    for (std::size_t i = 0; i < Text.size(); ++i) {
        const char c = Text[i];
        int Digit = 0;
        if (c >= '0' && c <= '9') Digit = c - '0';
        else if (c >= 'a' && c <= 'f') Digit = c - 'a' + 10;
        else if (c >= 'A' && c <= 'F') Digit = c - 'A' + 10;
        else return std::nullopt;
        if (i % 2 == 0) Bytes[i / 2] = 0;
        Bytes[i / 2] = static_cast<std::uint8_t>(Bytes[i / 2] << 4 | Digit);
    }
    return qrpicture::TColour{Bytes[0], Bytes[1], Bytes[2], Bytes[3]};
}

qr::TErrorCorrectionLevel LevelFor(char Letter) {
    switch (Letter) {
        case 'M': return qr::LevelM();
        case 'Q': return qr::LevelQ();
        case 'H': return qr::LevelH();
        default: return qr::LevelL();
    }
}

qrpicture::TBytes MakeOutput(OutputType Type, const qr::TQRCodeGrid& Grid, const qrpicture::TDrawing& Drawing) {
    switch (Type) {
        case OutputType::Png: return qrpicture::MakePng(Grid, Drawing);
        case OutputType::Svg: return qrpicture::MakeSvg(Grid, Drawing);
        case OutputType::Eps: return qrpicture::MakeEps(Grid, Drawing);
        case OutputType::Pdf: return qrpicture::MakePdf(Grid, Drawing);
        case OutputType::Jpeg:
            return qrpicture::PictureToJpeg(qrpicture::WindowPicture(qrpicture::MakeModuleBitmap(Grid)),
                                            qrpicture::kSaveQuality);
        case OutputType::Utf8:
        case OutputType::Ascii:
        case OutputType::Matrix: {
            const std::string Text = qrpicture::RenderText(
                Grid, Type == OutputType::Utf8    ? qrpicture::TTextStyle::Utf8
                      : Type == OutputType::Ascii ? qrpicture::TTextStyle::Ascii
                                                  : qrpicture::TTextStyle::Matrix);
            return {Text.begin(), Text.end()};
        }
    }
    return {};
}

Input ReadInput(int Fd, std::size_t Limit) {
    Input In;
    // Read until the end, or until one byte past the limit tells "more than the limit" from
    // "exactly the limit". The buffer grows as the input does, so a short text costs little.
    std::size_t Filled = 0;
    while (Filled <= Limit) {
        if (Filled == In.Bytes.size())
            In.Bytes.resize(std::min(Limit + 1, std::max<std::size_t>(std::size_t{1} << 16, 2 * Filled)));
        const ssize_t Got = read(Fd, In.Bytes.data() + Filled, In.Bytes.size() - Filled);
        if (Got == 0)
            break;
        if (Got < 0) {
            if (errno == EINTR)
                continue;
            if (errno == EAGAIN || errno == EWOULDBLOCK) {
                // Left non-blocking by whoever opened it: wait for the next bytes.
                pollfd Ready{Fd, POLLIN, 0};
                poll(&Ready, 1, -1);
                continue;
            }
            In.Error = errno;
            break;
        }
        Filled += static_cast<std::size_t>(Got);
    }
    In.TooLong = Filled > Limit;
    In.Bytes.resize(std::min(Filled, Limit));
    return In;
}

std::size_t DroppedCharacters(std::u16string_view Text, qr::TQRCodeEncoding Option) {
    const auto Segment = qr::TEncoder::MeasureSegment(Text, Option);
    // In byte mode the count is of bytes, and only latin1 filters there.
    if (Segment.Mode == qr::qmByte && Option != qr::qrISO88591)
        return 0;
    // No filter keeps a surrogate, so a character beyond U+FFFF is dropped whole: counting its
    // second half out leaves the characters.
    const auto Characters = static_cast<std::size_t>(
        std::count_if(Text.begin(), Text.end(), [](char16_t u) { return u < 0xDC00 || u > 0xDFFF; }));
    return Characters - static_cast<std::size_t>(Segment.Count);
}

std::optional<std::string> DroppedWarning(std::u16string_view Text, qr::TQRCodeEncoding Option) {
    const std::size_t Count = DroppedCharacters(Text, Option);
    if (Count == 0)
        return std::nullopt;
    const char* Holds = Option == qr::qrNumeric        ? "numeric holds only the digits 0-9"
                        : Option == qr::qrAlphanumeric ? "alphanumeric holds only 0-9, A-Z, space and $%*+-./:"
                                                       : "latin1 holds only U+0000 to U+00FF";
    return "warning: " + std::to_string(Count) + (Count == 1 ? " character" : " characters") +
           " left out of the symbol: " + Holds;
}

}  // namespace qrcli
