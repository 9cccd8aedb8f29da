#pragma once
// Batch file names: the output template with its placeholders, and the cleaning of a name taken
// from the list (untrusted input).
//
// A template is a path with placeholders: {n} the row number, {n:05} the row number padded with
// zeros to 5 digits (1 to 20), {s} (and {s:02}) a symbol's position in its structured-append set
// (--symbols), {name} the row's cleaned name, {{ and }} literal braces. Its
// folder is the part up to the last '/' before the first placeholder; every path made from it
// stays inside that folder, whatever the rows hold (qrfiles::ConfinedFolder).

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "confinedfolder.h"
#include "result.h"

namespace qrcli::batch {

using qrfiles::Failure;
using qrfiles::Result;

class NameTemplate {
public:
    // The template, or the reason it is not one (an unknown or unclosed placeholder, a lone
    // brace, "." or ".." or an empty name among the parts after the folder, no file name).
    static Result<NameTemplate> Parse(std::string_view Text);

    bool UsesName() const { return FUsesName; }
    bool UsesRow() const { return FUsesRow; }
    bool UsesSymbol() const { return FUsesSymbol; }
    // The fixed folder every path lands in: "" for the working folder, otherwise ending in '/'.
    const std::string& Folder() const { return FFolder.Folder(); }
    // The rule that keeps the files inside it.
    const qrfiles::ConfinedFolder& Confined() const { return FFolder; }

    // The path of row Row's symbol Symbol with the cleaned name Name (each ignored when the template
    // has no placeholder for it):
    // refused when a part after the folder comes out empty, "." or "..", or longer than
    // qrfiles::kMaxFileName bytes, or the whole path longer than qrfiles::kMaxPath bytes.
    Result<std::string> Expand(std::uint64_t Row, std::string_view Name, std::uint64_t Symbol = 0) const;

private:
    struct Piece {
        enum Kind { Literal, RowNumber, SymbolNumber, Name } What = Literal;
        std::string Text;  // Literal
        int Width = 0;     // RowNumber, SymbolNumber: pad with zeros to this many digits
    };
    static Result<std::vector<Piece>> ReadPieces(std::string_view Text);
    static Result<Piece> ReadPlaceholder(std::string_view Inside);
    static std::string SplitFolder(std::vector<Piece>& Pieces);

    qrfiles::ConfinedFolder FFolder{""};
    std::vector<Piece> FPieces;  // what follows the folder
    bool FUsesName = false;
    bool FUsesRow = false;
    bool FUsesSymbol = false;
};

// A name from the list made safe for one file name: valid UTF-8 is required; '/' (on Windows
// also '\\' and the characters Windows refuses in a name, : * ? " < > |) and control characters
// (C0, DEL, C1, the line and paragraph separators and the bidirectional controls, which can
// disguise a name) become '_'. Refused when it is not UTF-8, when it is empty, "." or
// "..", or longer than qrfiles::kMaxFileName bytes.
Result<std::string> CleanName(std::string_view Raw);

}  // namespace qrcli::batch
