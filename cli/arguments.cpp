#include "arguments.h"

#include <algorithm>
#include <cstdint>
#include <map>
#include <utility>

#include <CLI/CLI.hpp>

#include "batchlist.h"
#include "batchname.h"
#include "exitstatus.h"
#include "names.h"
#include "outputtype.h"

namespace qrcli {

namespace {

const NameTable<qr::TQRCodeEncoding> kEncodingNames = {
    {"auto", qr::qrAuto},
    {"numeric", qr::qrNumeric},
    {"alphanumeric", qr::qrAlphanumeric},
    {"latin1", qr::qrISO88591},
    {"utf8", qr::qrUTF8BOM},       // UTF-8 alone, as the window writes it
    {"utf8-bom", qr::qrUTF8NoBOM},  // EF BB BF, then UTF-8
};

const NameTable<char> kLevelNames = {{"l", 'L'}, {"m", 'M'}, {"q", 'Q'}, {"h", 'H'}};

// A validator that looks Value up in Names, in any case, and names the choices when it fails.
template <typename T>
CLI::Validator OneOf(const NameTable<T>& Names, std::string Choices) {
    return CLI::Validator(
        [&Names, Choices](std::string& Value) -> std::string {
            return Names.count(Value) ? std::string() : "'" + Value + "' is not one of " + Choices;
        },
        "", "");
}

// Numbers are decimal whatever their leading zeros ("010" is ten), as users read them; CLI11 alone
// would take a leading 0 for octal and 0x for hexadecimal. Runs before the range checks.
CLI::Validator Decimal() {
    return CLI::Validator(
        [](std::string& Value) -> std::string {
            if (Value.empty() || Value.find_first_not_of("0123456789") != std::string::npos)
                return "'" + Value + "' is not a decimal number";
            Value.erase(0, std::min(Value.find_first_not_of('0'), Value.size() - 1));
            return {};
        },
        "", "");
}

// What the help says after the options; the exit statuses follow.
constexpr const char* kHelpNotes =
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
    "--name-column's value with '/' and control characters made '_', {{ and }} are braces; with --symbols,\n"
    "{s} (or {s:02}) is a symbol's number in its row's set, required then, and a row counts one file a\n"
    "symbol, all drawn before the first is written; a text no set holds fails its row alone. Missing folders\n"
    "are created; a file lands inside the template's folder or its row fails. The type comes from -t or\n"
    "the template's extension. A row that makes no file is reported as \"row N: reason\" and the others go\n"
    "on; a row whose name leads to an earlier row's file (also in another case, where the file system\n"
    "ignores case) fails. Standard error ends with a summary line; on a terminal it shows the progress\n"
    "too. SIGINT, SIGTERM, SIGHUP, SIGQUIT and SIGPIPE (or a standard error whose reader went away) stop\n"
    "the run after the files being written; other signals wait until it ends.\n"
    "\n";

// The parser, its options bound to Opts and to the strings that are converted after parsing.
struct Parser {
    CLI::App App{"Makes the QR Code symbol of TEXT (UTF-8), or of standard input when TEXT is missing or \"-\".",
                 "quandrel-qr"};
    std::string Type, Encoding = "utf8", Level = "L", Foreground, Background;
    std::optional<std::string> Symbols;
    bool Version = false;
    std::optional<std::string> BatchList;
    BatchOptions Batch;
    // The payload subcommands' fields; only one subcommand is taken, so they share these.
    FieldValues Fields;
    std::map<std::string, bool> Flags;
    std::vector<std::string> FieldColumns;

    explicit Parser(Options& Opts) {
        App.set_help_flag("-h,--help", "show this help and exit");
        App.add_flag("-V,--version", Version, "show the program's version and exit");
        App.add_option("TEXT", Opts.Text, "the text to encode; standard input when missing or \"-\"")->type_name("");
        AddOutputOptions(Opts);
        AddDrawingOptions(Opts);
        AddEncodingOptions(Opts);
        AddBatchOptions();
        AddPayloadCommands();
        App.footer(kHelpNotes + ExitStatusHelp());
    }

    bool Given(const char* Name) const { return App.count(Name) > 0; }

    void AddOutputOptions(Options& Opts) {
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
            ->check(OneOf(TypeNames(), "png, svg, eps, pdf, jpeg, jpg, utf8, ascii, matrix"));
    }

    void AddDrawingOptions(Options& Opts) {
        App.add_option("-s,--size", Opts.Drawing.ModuleSize,
                       "pixels per module for PNG, 1 to 100 (default 3); the module's\n"
                       "size in SVG (px), EPS and PDF (points)")
            ->type_name("N")
            ->transform(Decimal())
            ->check(CLI::Range(1, 100).description(""));
        App.add_option("-m,--margin,--quiet-zone", Opts.Margin,
                       "light border in modules, 0 to 100 (default 4), for every\n"
                       "output but JPEG")
            ->type_name("N")
            ->transform(Decimal())
            ->check(CLI::Range(0, 100).description(""));
        App.add_option("-l,--level", Level, "error-correction level L, M, Q or H (default L, as the window)")
            ->type_name("L|M|Q|H")
            ->check(OneOf(kLevelNames, "L, M, Q, H"));
        App.add_option("-d,--dpi", Opts.Drawing.Dpi, "resolution written into a PNG (pHYs chunk), 1 to 100000\n"
                       "dots per inch")
            ->type_name("N")
            ->transform(Decimal())
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
    }

    void AddEncodingOptions(Options& Opts) {
        App.add_option("--encoding", Encoding,
                       "auto, numeric, alphanumeric, latin1, utf8 (default, as the\n"
                       "window), utf8-bom (EF BB BF, then UTF-8)")
            ->type_name("ENC")
            ->check(OneOf(kEncodingNames, "auto, numeric, alphanumeric, latin1, utf8, utf8-bom"));
        App.add_option("-v,--symversion", Opts.Choices.MinVersion,
                       "the smallest version, 1 to 40: a text that needs more gets the\n"
                       "larger version it needs (default: the smallest that holds it)")
            ->type_name("N")
            ->transform(Decimal())
            ->check(CLI::Range(1, 40).description(""));
        App.add_flag("--strict-version", Opts.Choices.StrictVersion,
                     "with -v: a text that needs a larger version than N is an error");
        App.add_option("--mask", Opts.Choices.Mask, "the mask pattern 0 to 7, forced (default: the one of least\n"
                       "penalty)")
            ->type_name("N")
            ->transform(Decimal())
            ->check(CLI::Range(0, 7).description(""));
        App.add_flag("--optimize", Opts.Choices.Optimize,
                     "mix numeric, alphanumeric and byte segments for the fewest bits,\n"
                     "the smallest symbol (default: one segment)");
        App.add_flag("--kanji", Opts.Choices.Kanji,
                     "Kanji mode (Shift JIS, 13 bits a character) for the characters it\n"
                     "holds, the rest in byte segments; with --optimize one more mode to\n"
                     "weigh (default: none; readers disagree about Kanji)");
        App.add_flag("--micro", Opts.Choices.Micro,
                     "a Micro QR symbol, M1 to M4 (-v 1 to 4, --mask 0 to 3, levels L M Q),\n"
                     "with a quiet zone of 2 unless -m is given");
        App.add_option("--symbols", Symbols,
                       "structured append: the text across N symbols, 2 to 16, or as few\n"
                       "as hold it with auto; one file each, -o TEMPLATE with {s} (or {n})\n"
                       "the symbol's number; with --batch {s}, as {n} is the row's\n"
                       "(default: one symbol)")
            ->type_name("N|auto")
            ->check([](const std::string& Value) {
                if (Value == "auto") return std::string();
                const bool Digits = !Value.empty() && Value.size() <= 2 &&
                                    std::all_of(Value.begin(), Value.end(), [](char c) { return c >= '0' && c <= '9'; });
                return Digits && std::stoi(Value) >= 2 && std::stoi(Value) <= qr::MaxSymbols
                           ? std::string()
                           : "'" + Value + "' is neither 2 to 16 nor auto";
            }, "", "");
        App.add_flag("--eci", Opts.Choices.Eci,
                     "an ECI header names the bytes' character set: 26 (UTF-8), or 3\n"
                     "(ISO-8859-1) for latin1 and for auto on a Latin-1 text");
        App.add_flag("--crlf", Opts.Crlf, "line breaks as CR LF, as the window's text box stores them");
        App.add_flag("--verify", Opts.Verify, "read the symbol back with zbar as the file shows it, and write\n"
                                           "nothing unless it gives the text's bytes (status 1)");
        App.add_flag("--info", Opts.Info, "print version, level, mask, mode, side and count on standard\n"
                                       "error");
    }

    // Which options go together is checked after parsing (CheckBatch), so that the help lists each
    // option once, without CLI11's "Needs" and "Excludes" notes.
    void AddBatchOptions() {
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
            ->transform(Decimal())
            ->check(CLI::Range(1, 1024).description(""));
        App.add_flag("--quiet", Batch.Quiet, "batch: no progress line on a terminal");
    }

    // A subcommand for each payload, its fields as options. The options of the symbol stay the
    // main command's, and may come after the subcommand's.
    void AddPayloadCommands() {
        App.require_subcommand(0, 1);
        for (const PayloadFormat& Format : PayloadFormats()) {
            CLI::App* Sub = App.add_subcommand(Format.Command, Format.Description);
            Sub->fallthrough();
            for (const PayloadField& Field : Format.Fields) {
                const std::string Name = std::string("--") + Field.Name;
                if (Field.Flag) {
                    Sub->add_flag(Name, Flags[Field.Name], Field.Help);
                    continue;
                }
                CLI::Option* Option = Sub->add_option(Name, Fields[Field.Name], Field.Help)->type_name(Field.TypeName);
                if (!Field.Repeatable)
                    Option->multi_option_policy(CLI::MultiOptionPolicy::Throw)->expected(1);
            }
            Sub->add_option("--field", FieldColumns,
                            "batch with --csv: FIELD (an option's name without --) from\n"
                            "COLUMN, a number from 1 or a header name (repeatable); with\n"
                            "--header, columns named as fields are taken without it")
                ->type_name("FIELD=COLUMN");
            Sub->footer(std::string(*Format.Notes ? Format.Notes + std::string("\n\n") : "") +
                        "Every option of quandrel-qr (-o, -t, -s, -m, -l, colours, --batch ...) applies; see\n"
                        "quandrel-qr --help. A field that is refused ends the run with the reason and status 2.");
        }
    }
};

// The values parsed as strings, converted (the validators have accepted them).
void Convert(const Parser& Cli, Options& O) {
    if (!Cli.Type.empty())
        O.Type = TypeNames().at(Cli.Type);
    O.Encoding = kEncodingNames.at(Cli.Encoding);
    O.Level = kLevelNames.at(Cli.Level);
    O.LevelGiven = Cli.Given("--level");
    if (!Cli.Foreground.empty())
        O.Drawing.Foreground = *ParseColour(Cli.Foreground);
    if (!Cli.Background.empty())
        O.Drawing.Background = *ParseColour(Cli.Background);
    if (O.Text && *O.Text == "-")
        O.Text.reset();
    if (Cli.Symbols)
        O.Symbols = *Cli.Symbols == "auto" ? 0 : std::stoi(*Cli.Symbols);
}

// --symbols: one file a symbol, named by a template. In a single run {s} or {n} is the symbol's
// position and there is no {name}; in a batch {n} is the row, so {s} must tell a row's symbols apart.
Result<void> CheckSymbols(const Parser& Cli, const Options& O) {
    if (!O.Symbols)
        return {};
    if (O.Info)
        return Failure{"--info is for a single symbol, not for --symbols"};
    if (!O.OutputFile || *O.OutputFile == "-")
        return Failure{Cli.BatchList ? "--symbols with --batch needs -o TEMPLATE, with {s} the number of each symbol"
                                     : "--symbols needs -o TEMPLATE, with {n} the number of each symbol"};
    const auto Template = batch::NameTemplate::Parse(*O.OutputFile);
    if (!Template)
        return Failure{"-o: " + Template.Error()};
    if (Cli.BatchList) {
        if (!Template->UsesSymbol())
            return Failure{"-o: with --batch and --symbols the template names each symbol of a row's set by {s} "
                           "({n} is the row)"};
        return {};
    }
    if (!(Template->UsesRow() || Template->UsesSymbol()) || Template->UsesName())
        return Failure{"-o: with --symbols the template names each symbol by {n} or {s}, and has no {name}"};
    return {};
}

// Colours that cannot be told apart (the same, or both transparent) make a symbol nobody can read.
Result<void> CheckColours(const qrpicture::TDrawing& D) {
    if (D.Foreground == D.Background || (D.Foreground.A == 0 && D.Background.A == 0))
        return Failure{"--foreground and --background cannot be told apart: the symbol could not be read"};
    return {};
}

// The batch's options: each only with --batch (or --csv), and what --batch needs with it.
Result<void> CheckBatch(Parser& Cli, Options& O) {
    for (const char* Name : {"--csv", "--jobs", "--quiet"})
        if (Cli.Given(Name) && !Cli.BatchList)
            return Failure{std::string(Name) + " needs --batch"};
    for (const char* Name : {"--column", "--name-column", "--header"})
        if (Cli.Given(Name) && !Cli.Batch.Csv)
            return Failure{std::string(Name) + " needs --csv"};
    if (!Cli.BatchList)
        return {};
    if (O.Text)
        return Failure{"--batch takes its texts from the list, not from TEXT"};
    if (O.Info)
        return Failure{"--info is for a single symbol, not for --batch"};
    if (!O.OutputFile || *O.OutputFile == "-")
        return Failure{"--batch needs -o TEMPLATE, the name of each file"};
    const auto Template = batch::NameTemplate::Parse(*O.OutputFile);
    if (!Template)
        return Failure{"-o: " + Template.Error()};
    for (const auto& [Name, Value] : {std::pair<const char*, std::optional<std::string>>{"--column", Cli.Batch.Column},
                                      {"--name-column", Cli.Batch.NameColumn}}) {
        if (!Value)
            continue;
        const auto Column = batch::ParseColumn(*Value);
        if (!Column)
            return Failure{std::string(Name) + ": '" + *Value + "' is neither a column number from 1 nor a name"};
        if (Column->Number == 0 && !Cli.Batch.Header)
            return Failure{std::string(Name) + " " + *Value + ": a column name needs --header"};
    }
    if (Template->UsesName() && !Cli.Batch.NameColumn)
        return Failure{"-o: {name} needs --name-column"};
    if (Template->UsesSymbol() && !O.Symbols)
        return Failure{"-o: {s} needs --symbols"};
    O.Batch = std::move(Cli.Batch);
    O.Batch->List = *Cli.BatchList;
    return {};
}

// The payload subcommand given, its fields, and the columns its fields come from in a batch.
Result<void> CheckPayload(Parser& Cli, Options& O) {
    for (const PayloadFormat& Format : PayloadFormats()) {
        if (!Cli.App.got_subcommand(Format.Command))
            continue;
        PayloadRequest Request;
        Request.Format = &Format;
        for (const PayloadField& Field : Format.Fields) {
            if (Field.Flag && Cli.Flags[Field.Name])
                Request.Values[Field.Name] = {"1"};
            else if (!Field.Flag && !Cli.Fields[Field.Name].empty())
                Request.Values[Field.Name] = Cli.Fields[Field.Name];
        }
        for (const std::string& Given : Cli.FieldColumns) {
            const std::size_t Equals = Given.find('=');
            const std::string Field = Given.substr(0, std::min(Equals, Given.size()));
            const bool Known = std::any_of(Format.Fields.begin(), Format.Fields.end(),
                                           [&](const PayloadField& F) { return Field == F.Name; });
            if (Equals == std::string::npos || !Known)
                return Failure{"--field " + Given + ": not FIELD=COLUMN with a field of " + Format.Command};
            const std::string Column = Given.substr(Equals + 1);
            const auto Choice = batch::ParseColumn(Column);
            if (!Choice)
                return Failure{"--field " + Given + ": '" + Column + "' is neither a column number from 1 nor a name"};
            if (Choice->Number == 0 && !Cli.Batch.Header)
                return Failure{"--field " + Given + ": a column name needs --header"};
            Request.Columns.push_back({Field, Column});
        }
        if (!Request.Columns.empty() && !Cli.Batch.Csv)
            return Failure{"--field needs --batch with --csv"};
        if (O.Text)
            return Failure{std::string(Format.Command) + " makes its own text: TEXT is not taken with it (-- " +
                           Format.Command + " encodes the word itself)"};
        if (Cli.BatchList && !Cli.Batch.Csv)
            return Failure{std::string(Format.Command) + " with --batch takes its fields from CSV columns: add --csv"};
        if (O.Crlf)
            return Failure{std::string(Format.Command) + " writes the line ends its format has: --crlf is not taken with it"};
        if (Cli.Given("--column"))
            return Failure{std::string(Format.Command) + " takes its fields from --field or the header, not --column"};
        // A batch cannot choose the level row by row: the transfer's own is the run's.
        if (Format.Kind == PayloadKind::Epc && !O.LevelGiven)
            O.Level = 'M';
        O.Payload = std::move(Request);
    }
    return {};
}

}  // namespace

Result<Command> ParseArguments(const std::vector<std::string>& Args) {
    Command C;
    Parser Cli(C.Opts);
    // CLI11 takes the arguments last first.
    std::vector<std::string> Reversed(Args.rbegin(), Args.rend());
    try {
        Cli.App.parse(Reversed);
    } catch (const CLI::CallForHelp&) {
        C.What = Action::Help;
        const auto Subcommands = Cli.App.get_subcommands();
        if (Subcommands.empty()) {
            C.Help = Cli.App.help();
        } else {
            // CLI11 names a subcommand's usage without the program.
            C.Help = Subcommands.front()->help();
            const std::string Usage = "Usage: " + Subcommands.front()->get_name();
            if (const std::size_t At = C.Help.find(Usage); At != std::string::npos)
                C.Help.replace(At, Usage.size(), "Usage: quandrel-qr " + Subcommands.front()->get_name());
        }
        return C;
    } catch (const CLI::ParseError& E) {
        std::string Message = E.what();
        std::replace(Message.begin(), Message.end(), '\n', ' ');
        return Failure{std::move(Message)};
    }
    if (Cli.Version) {
        C.What = Action::Version;
        return C;
    }
    Convert(Cli, C.Opts);
    if (auto Colours = CheckColours(C.Opts.Drawing); !Colours)
        return Colours.TakeFailure();
    if (Cli.Given("--strict-version") && !Cli.Given("--symversion"))
        return Failure{"--strict-version needs -v N"};
    if (auto Checked = CheckPayload(Cli, C.Opts); !Checked)
        return Checked.TakeFailure();
    if (C.Opts.Choices.Micro) {
        for (const char* Name : {"--optimize", "--eci", "--symbols"})
            if (Cli.Given(Name))
                return Failure{std::string("--micro does not go with ") + Name + ": Micro QR has no such feature here"};
        if (C.Opts.Choices.MinVersion > 4)
            return Failure{"with --micro, -v is 1 to 4 (M1 to M4)"};
        if (C.Opts.Choices.Mask > 3)
            return Failure{"with --micro, --mask is 0 to 3"};
        if (C.Opts.Level == 'H')
            return Failure{"Micro QR has no level H (L, M, Q)"};
        if (!Cli.Given("--margin"))
            C.Opts.Margin = 2;  // Micro QR's own quiet zone
    }
    if (auto Checked = CheckSymbols(Cli, C.Opts); !Checked)
        return Checked.TakeFailure();
    // zbar reads no Micro QR, and a structured-append set only with all its symbols in one picture.
    if (C.Opts.Verify && (C.Opts.Choices.Micro || C.Opts.Symbols))
        return Failure{std::string("--verify does not go with ") + (C.Opts.Choices.Micro ? "--micro" : "--symbols") +
                       ": the reader reads single QR symbols only"};
    if (auto Checked = CheckBatch(Cli, C.Opts); !Checked)
        return Checked.TakeFailure();
    return C;
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

}  // namespace qrcli
