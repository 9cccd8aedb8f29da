#pragma once
// Reading a batch list, streamed: one row at a time, whatever the list's length.
//
// Plain lists hold one text per line; a line ends at LF or CR LF, an empty line is an empty text,
// and a last line without a line end is a row when it is not empty. CSV lists follow RFC 4180
// (quoted fields, doubled quotes, commas and line breaks inside quotes; spaces belong to the
// field) and are read by libcsv in strict mode; blank lines between records are skipped. Either
// kind may start with a UTF-8 byte-order mark, which is not part of the first row.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "input.h"
#include "result.h"

namespace qrcli::batch {

using qrfiles::Failure;
using qrfiles::Result;

// The longest row taken, as for a single text: longer plain lines are row errors; a longer CSV
// field stops the reading, since the rest of the list cannot be told apart from it.
inline constexpr std::size_t kMaxRowBytes = kMaxInputBytes;

// A column by its number (from 1) or, with a header, by its name.
struct ColumnChoice {
    std::size_t Number = 0;  // 0: by name
    std::string Name;
};

// N (a number from 1) or a name. Nothing for 0 or an empty text.
std::optional<ColumnChoice> ParseColumn(std::string_view Text);

// A payload field's column: one that a row must have, or (a header name looked for because it
// names the field) one that may be missing from the header.
struct FieldChoice {
    std::string Field;  // its name, for messages
    ColumnChoice Column;
    bool Optional = false;
};

struct ListFormat {
    bool Csv = false;
    bool Header = false;  // CSV: the first record names the columns
    ColumnChoice Text{1, {}};
    bool HasText = true;  // false: the rows' payload fields make the text, no column holds it
    std::optional<ColumnChoice> Name;
    std::vector<FieldChoice> Fields;  // CSV: the payload fields' columns
};

struct ListRow {
    std::uint64_t Number = 0;  // from 1; a header is not counted
    std::string Text;          // bytes
    std::string Name;          // bytes, when the format has a name column
    // The payload fields' values, in the order of the format's Fields; none for an optional
    // column the header does not have.
    std::vector<std::optional<std::string>> Fields;
    std::string Problem;       // why the row has no usable text or name; empty when it has
};

// Reads up to Size bytes into Buffer: the count, 0 at the end, or -1 with errno set (EINTR is
// handled by the function itself).
using ReadFn = std::function<long(char* Buffer, std::size_t Size)>;

// Splits bytes into plain-list lines as they arrive, in pieces of any size.
class LineSplitter {
public:
    // Called with each line, without its line end; TooLong when the line was longer than the
    // limit (Line then holds its start).
    using LineFn = std::function<void(std::string_view Line, bool TooLong)>;

    explicit LineSplitter(std::size_t Limit = kMaxRowBytes) : FLimit(Limit) {}
    void Feed(std::string_view Bytes, const LineFn& Emit);
    // The last line, when the bytes did not end with a line end.
    void Finish(const LineFn& Emit);

private:
    void Append(std::string_view Bytes);
    std::size_t FLimit;
    std::string FLine;
    bool FTooLong = false;
};

class ListReader {
public:
    ListReader(ListFormat Format, ReadFn Read);
    ~ListReader();
    ListReader(const ListReader&) = delete;
    ListReader& operator=(const ListReader&) = delete;

    // The next row, or none at the end of the list. Fails when the list cannot be read on: a read
    // error, CSV that is not well formed, a field longer than kMaxRowBytes, a column name missing
    // from the header; the list has ended then.
    Result<std::optional<ListRow>> Next();

    // Whether the failure was a column name missing from the header: an error in the arguments
    // rather than the list.
    bool ColumnNotFound() const { return FColumnNotFound; }
    // Rows delivered so far.
    std::uint64_t Rows() const { return FRows; }

private:
    struct Csv;
    bool Fill();
    void AddRow(std::string Text, std::string Name, std::string Problem,
                std::vector<std::optional<std::string>> Fields = {});

    ListFormat FFormat;
    ReadFn FRead;
    std::vector<char> FBuffer;
    bool FStarted = false;  // the byte-order mark is checked
    std::string FHead;      // the first bytes, until there are enough to look for the mark
    bool FEnded = false;
    std::string FError;  // why the reading stopped before the end
    bool FColumnNotFound = false;
    std::uint64_t FRows = 0;
    std::vector<ListRow> FReady;  // rows read ahead, in order
    std::size_t FNext = 0;
    LineSplitter FLines;
    std::unique_ptr<Csv> FCsv;
};

}  // namespace qrcli::batch
