#include "batchname.h"

#include <charconv>
#include <utility>

#include "text/textconv.h"

namespace qrcli::batch {

namespace {

// Characters that do not belong in a file name: they end lines, move the cursor or reorder
// what is shown.
bool IsControl(char32_t c) {
    return c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == 0x200E || c == 0x200F || c == 0x2028 || c == 0x2029 ||
           (c >= 0x202A && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069);
}

// Characters that would make a name more than one file's name: a separator, and on Windows the
// characters it refuses in a name (':' would name a drive or a data stream).
bool IsSeparator(char32_t c) {
#ifdef _WIN32
    return c < 0x80 && std::string_view("/\\:*?\"<>|").find(static_cast<char>(c)) != std::string_view::npos;
#else
    return c == U'/';
#endif
}

}  // namespace

Result<NameTemplate::Piece> NameTemplate::ReadPlaceholder(std::string_view Inside) {
    Piece P;
    if (Inside == "name") {
        P.What = Piece::Name;
        return P;
    }
    // {n} and {s} alike, with a width: {n:05}, {s:02}.
    for (const auto& [Letter, Kind] : {std::pair{'n', Piece::RowNumber}, std::pair{'s', Piece::SymbolNumber}}) {
        if (Inside.empty() || Inside[0] != Letter)
            continue;
        if (Inside.size() == 1) {
            P.What = Kind;
            return P;
        }
        if (Inside.size() < 4 || Inside.substr(1, 2) != ":0")
            break;
        const std::string_view Digits = Inside.substr(3);
        int Width = 0;
        const auto [End, Error] = std::from_chars(Digits.data(), Digits.data() + Digits.size(), Width);
        if (Error != std::errc() || End != Digits.data() + Digits.size() || Width < 1 || Width > 20)
            return Failure{"'{" + std::string(Inside) + "}' in the template: the width of {" + Letter +
                           ":0W} is 1 to 20"};
        P.What = Kind;
        P.Width = Width;
        return P;
    }
    return Failure{"unknown placeholder '{" + std::string(Inside) + "}' in the template (use {n}, {n:05}, {s}, {s:02} or {name})"};
}

Result<std::vector<NameTemplate::Piece>> NameTemplate::ReadPieces(std::string_view Text) {
    std::vector<Piece> Pieces;
    const auto AddLiteral = [&](char c) {
        if (Pieces.empty() || Pieces.back().What != Piece::Literal)
            Pieces.push_back({});
        Pieces.back().Text += c;
    };
    for (std::size_t i = 0; i < Text.size(); ++i) {
        const char c = Text[i];
        if ((c == '{' || c == '}') && i + 1 < Text.size() && Text[i + 1] == c) {
            AddLiteral(c);
            ++i;
            continue;
        }
        if (c == '}')
            return Failure{"a lone '}' in the template (write }} for a brace)"};
        if (c != '{') {
            AddLiteral(c);
            continue;
        }
        const std::size_t Close = Text.find('}', i);
        if (Close == std::string_view::npos)
            return Failure{"an unclosed '{' in the template (write {{ for a brace)"};
        auto P = ReadPlaceholder(Text.substr(i + 1, Close - i - 1));
        if (!P)
            return P.TakeFailure();
        Pieces.push_back(std::move(*P));
        i = Close;
    }
    return Pieces;
}

std::string NameTemplate::SplitFolder(std::vector<Piece>& Pieces) {
    // The folder ends at the last separator before the first placeholder (or, without any, at the
    // last separator): it is taken off the pieces, which keep the rest.
    std::string Folder;
    std::size_t Fixed = 0;
    while (Fixed < Pieces.size() && Pieces[Fixed].What == Piece::Literal) ++Fixed;
    for (std::size_t k = Fixed; k-- > 0;) {
        const std::size_t Slash = Pieces[k].Text.find_last_of(qrfiles::kSeparators);
        if (Slash == std::string::npos)
            continue;
        for (std::size_t j = 0; j < k; ++j) Folder += Pieces[j].Text;
        Folder += Pieces[k].Text.substr(0, Slash + 1);
        Pieces[k].Text.erase(0, Slash + 1);
        Pieces.erase(Pieces.begin(), Pieces.begin() + static_cast<std::ptrdiff_t>(k));
        break;
    }
    if (!Pieces.empty() && Pieces.front().What == Piece::Literal && Pieces.front().Text.empty())
        Pieces.erase(Pieces.begin());
    return Folder;
}

Result<NameTemplate> NameTemplate::Parse(std::string_view Text) {
    auto Pieces = ReadPieces(Text);
    if (!Pieces)
        return Pieces.TakeFailure();
    NameTemplate T;
    T.FFolder = qrfiles::ConfinedFolder(SplitFolder(*Pieces));
    T.FPieces = std::move(*Pieces);
    if (T.FPieces.empty())
        return Failure{"the template names a folder but no file"};
    for (const Piece& P : T.FPieces) {
        T.FUsesName |= P.What == Piece::Name;
        T.FUsesRow |= P.What == Piece::RowNumber;
        T.FUsesSymbol |= P.What == Piece::SymbolNumber;
    }

    // Literal parts after the folder must name real files and folders; the placeholders are
    // checked on every row.
    std::string Shape;
    for (const Piece& P : T.FPieces) Shape += P.What == Piece::Literal ? P.Text : std::string("x");
    for (std::size_t Start = 0;;) {
        const std::size_t Slash = Shape.find_first_of(qrfiles::kSeparators, Start);
        const std::string_view Part = std::string_view(Shape).substr(Start, Slash - Start);
        if (Part.empty() || Part == "." || Part == "..")
            return Failure{"the template has " + qrfiles::BadName(Part) + " after its folder"};
        if (Slash == std::string::npos)
            break;
        Start = Slash + 1;
    }
    return T;
}

Result<std::string> NameTemplate::Expand(std::uint64_t Row, std::string_view Name, std::uint64_t Symbol) const {
    std::string Rest;
    for (const Piece& P : FPieces) {
        switch (P.What) {
            case Piece::Literal: Rest += P.Text; break;
            case Piece::Name: Rest += Name; break;
            case Piece::RowNumber:
            case Piece::SymbolNumber: {
                const std::string Digits = std::to_string(P.What == Piece::RowNumber ? Row : Symbol);
                if (Digits.size() < static_cast<std::size_t>(P.Width))
                    Rest.append(static_cast<std::size_t>(P.Width) - Digits.size(), '0');
                Rest += Digits;
                break;
            }
        }
    }
    return FFolder.PathOf(Rest);
}

Result<std::string> CleanName(std::string_view Raw) {
    std::string Name;
    Name.reserve(Raw.size());
    for (std::size_t i = 0; i < Raw.size();) {
        const auto One = qrtext::DecodeOne(Raw, i);
        if (!One)
            return Failure{"the name is not valid UTF-8 (at byte offset " + std::to_string(i) + ")"};
        if (IsSeparator(One->Value) || IsControl(One->Value))
            Name += '_';
        else
            Name.append(Raw.substr(i, One->Length));
        i += One->Length;
    }
    if (Name.empty())
        return Failure{"the name is empty"};
    if (Name == "." || Name == "..")
        return Failure{"the name is \"" + Name + "\""};
    if (Name.size() > qrfiles::kMaxFileName)
        return Failure{"the name is longer than " + std::to_string(qrfiles::kMaxFileName) + " bytes"};
    return Name;
}

}  // namespace qrcli::batch
