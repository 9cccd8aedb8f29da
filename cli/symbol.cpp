#include "symbol.h"

#include <algorithm>
#include <sstream>
#include <vector>

namespace qrcli {

qr::TErrorCorrectionLevel LevelFor(char Letter) {
    switch (Letter) {
        case 'M': return qr::LevelM();
        case 'Q': return qr::LevelQ();
        case 'H': return qr::LevelH();
        default: return qr::LevelL();
    }
}

const char* ModeName(qr::TMode Mode) {
    return Mode == qr::qmNumeric        ? "numeric"
           : Mode == qr::qmAlphanumeric ? "alphanumeric"
           : Mode == qr::qmKanji        ? "kanji"
                                        : "byte";
}

std::string SymbolInfo(std::u16string_view Text, const Options& Opts) {
    const qr::TErrorCorrectionLevel Level = LevelFor(Opts.Level);
    const qr::TSymbolChoices& Choices = Opts.Choices;
    qr::TEncoder Encoder;
    qr::TQRCode Record;
    Encoder.EncodeSymbol(Text, Opts.Encoding, Level, Choices, Record);
    const auto Segment = qr::TEncoder::MeasureSegment(Text, Opts.Encoding);
    std::vector<qr::TSegmentInfo> Data;
    int Eci = 0;
    for (const qr::TSegmentInfo& S : Record.Segments())
        if (S.Mode == qr::qmECI)
            Eci = S.Count;
        else
            Data.push_back(S);
    std::ostringstream Lines;
    const bool Micro = Choices.Micro;
    Lines << "version: " << (Micro ? "M" : "") << Record.Version() << "\nlevel: " << Opts.Level
          << "\nmask: " << Record.MaskPattern() << "\nmode: " << (Data.size() > 1 ? "mixed" : ModeName(Record.Mode()))
          << "\nside: " << (Micro ? 9 + 2 * Record.Version() : 17 + 4 * Record.Version())
          << " modules\n" << (Segment.Mode == qr::qmByte ? "bytes: " : "characters: ") << Segment.Count << "\n";
    // Why this version: what the text needs without -v, against what -v asked.
    qr::TSymbolChoices Free = Choices;
    Free.MinVersion = 1;
    Free.StrictVersion = false;
    const int Needed = Choices.MinVersion > 1 ? qr::TEncoder::ChooseVersion(Text, Opts.Encoding, Level, Free)
                                              : Record.Version();
    Lines << "version chosen: ";
    if (Choices.MinVersion <= 1)
        Lines << "the smallest that holds the text\n";
    else if (Needed <= Choices.MinVersion)
        Lines << "-v " << Choices.MinVersion << " asked (the text needs " << Needed << ")\n";
    else
        Lines << "the smallest that holds the text; -v " << Choices.MinVersion << " asked for at least "
              << Choices.MinVersion << "\n";
    if (Choices.Mask >= 0)
        Lines << "mask chosen: --mask " << Choices.Mask << " asked; the penalty not consulted\n";
    else
        Lines << (Micro ? "mask chosen: the best evaluation of the four\n" : "mask chosen: the least penalty of the eight\n");
    if (Data.size() > 1 || Choices.Optimize || Choices.Kanji) {
        Lines << "segments:";
        for (std::size_t i = 0; i < Data.size(); ++i)
            Lines << (i ? ", " : " ") << ModeName(Data[i].Mode) << " " << Data[i].Count;
        Lines << "\n";
    }
    if (Eci)
        Lines << "eci: " << Eci << (Eci == 3 ? " (ISO/IEC 8859-1)" : Eci == 26 ? " (UTF-8)" : "") << "\n";
    return Lines.str();
}

std::optional<std::string> TooLongForSymbol(std::u16string_view Text, const Options& Opts) {
    const qr::TSymbolChoices& Choices = Opts.Choices;
    if (!Choices.IsPlain()) {
        if (qr::TEncoder::ChooseVersion(Text, Opts.Encoding, LevelFor(Opts.Level), Choices) != 0)
            return std::nullopt;
        // What the text needs without the fixed version tells which limit it met.
        qr::TSymbolChoices Free = Choices;
        Free.MinVersion = 1;
        Free.StrictVersion = false;
        const int Needed = qr::TEncoder::ChooseVersion(Text, Opts.Encoding, LevelFor(Opts.Level), Free);
        if (Choices.Micro)
            return Needed != 0 ? "text too long for Micro QR version M" + std::to_string(Choices.MinVersion) +
                                     " at level " + Opts.Level + " (--strict-version): it needs M" + std::to_string(Needed)
                               : std::string("text too long for a Micro QR symbol at level ") + Opts.Level +
                                     " (M4 holds at most 35 digits, 21 alphanumeric characters or 15 bytes at L)";
        if (Choices.StrictVersion && Needed != 0)
            return "text too long for version " + std::to_string(Choices.MinVersion) + " at level " + Opts.Level +
                   " (--strict-version): it needs version " + std::to_string(Needed);
        if (Choices.Optimize || Choices.Eci || Choices.Kanji)
            return std::string("text too long for a QR symbol at level ") + Opts.Level + ", even in version 40" +
                   (Choices.Optimize ? " with --optimize" : "") + (Choices.Kanji ? " with --kanji" : "") +
                   (Choices.Eci ? " with its ECI header" : "");
    }
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

std::size_t DroppedCharacters(std::u16string_view Text, qr::TQRCodeEncoding Option, bool Kanji) {
    if (Kanji && Option == qr::qrISO88591) {  // Kanji mode keeps what Latin-1 bytes cannot
        qr::TShiftJis ShiftJis;
        return static_cast<std::size_t>(std::count_if(Text.begin(), Text.end(), [&](char16_t u) {
            return u > 0xFF && (u < 0xDC00 || u > 0xDFFF) && ShiftJis.KanjiValue(u) < 0;
        }));
    }
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

std::optional<std::string> DroppedWarning(std::u16string_view Text, qr::TQRCodeEncoding Option, bool Kanji) {
    const std::size_t Count = DroppedCharacters(Text, Option, Kanji);
    if (Count == 0)
        return std::nullopt;
    const char* Holds = Option == qr::qrNumeric        ? "numeric holds only the digits 0-9"
                        : Option == qr::qrAlphanumeric ? "alphanumeric holds only 0-9, A-Z, space and $%*+-./:"
                        : Kanji                        ? "latin1 holds only U+0000 to U+00FF, and --kanji Shift JIS Kanji"
                                                       : "latin1 holds only U+0000 to U+00FF";
    return "warning: " + std::to_string(Count) + (Count == 1 ? " character" : " characters") +
           " left out of the symbol: " + Holds;
}

}  // namespace qrcli
