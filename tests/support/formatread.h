#pragma once
// Reads the symbol's SVG and EPS files back into cells, for tests and fuzz targets: every dark
// rectangle the file draws is marked, and anything unexpected makes the file unreadable.

#include <charconv>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "grid/qrcodegrid.h"

namespace formatread {

using TCells = std::vector<std::string>;  // rows of 'X' (dark) and '.' (light)

// The padded grid's cells.
inline TCells CellsOf(const qr::TQRCodeGrid& Grid) {
    TCells Rows(static_cast<std::size_t>(Grid.Rows()), std::string(static_cast<std::size_t>(Grid.Columns()), '.'));
    for (int r = 0; r < Grid.Rows(); ++r)
        for (int c = 0; c < Grid.Columns(); ++c)
            if (Grid.IsBlack(r, c))
                Rows[static_cast<std::size_t>(r)][static_cast<std::size_t>(c)] = 'X';
    return Rows;
}

// Marks a run of Length cells from (Row, Column); false when it leaves the grid or overlaps.
inline bool Mark(TCells& Rows, int Row, int Column, int Length) {
    if (Row < 0 || Column < 0 || Length < 1 || static_cast<std::size_t>(Row) >= Rows.size() ||
        static_cast<std::size_t>(Column) + static_cast<std::size_t>(Length) > Rows[0].size())
        return false;
    for (int c = Column; c < Column + Length; ++c) {
        char& Cell = Rows[static_cast<std::size_t>(Row)][static_cast<std::size_t>(c)];
        if (Cell == 'X')
            return false;
        Cell = 'X';
    }
    return true;
}

// Reads a whole number at the front of Text and drops it; false when there is none.
inline bool TakeNumber(std::string_view& Text, int& Value) {
    const auto [End, Error] = std::from_chars(Text.data(), Text.data() + Text.size(), Value);
    if (Error != std::errc() || End == Text.data())
        return false;
    Text.remove_prefix(static_cast<std::size_t>(End - Text.data()));
    return true;
}

// Drops Literal from the front of Text; false when Text does not start with it.
inline bool Take(std::string_view& Text, std::string_view Literal) {
    if (Text.substr(0, Literal.size()) != Literal)
        return false;
    Text.remove_prefix(Literal.size());
    return true;
}

// The cells the SVG's one path covers, for a grid of Side x Side cells; none when the file has
// more than one path or a path part that is not a one-module-high rectangle in whole units.
inline std::optional<TCells> SvgCells(const std::string& Svg, int Side) {
    TCells Rows(static_cast<std::size_t>(Side), std::string(static_cast<std::size_t>(Side), '.'));
    const std::size_t PathAt = Svg.find("<path");
    if (PathAt == std::string::npos)
        return Rows;
    if (Svg.find("<path", PathAt + 1) != std::string::npos)
        return std::nullopt;
    const std::size_t Start = Svg.find(" d=\"", PathAt);
    if (Start == std::string::npos)
        return std::nullopt;
    const std::size_t End = Svg.find('"', Start + 4);
    // Every part "Mx yhwv1h-wz": a one-module-high rectangle of w whole units.
    std::string_view Path = std::string_view(Svg).substr(Start + 4, End - Start - 4);
    while (!Path.empty()) {
        int x = 0, y = 0, w = 0, Back = 0;
        if (!Take(Path, "M") || !TakeNumber(Path, x) || !Take(Path, " ") || !TakeNumber(Path, y) || !Take(Path, "h") ||
            !TakeNumber(Path, w) || !Take(Path, "v1h-") || !TakeNumber(Path, Back) || !Take(Path, "z") || Back != w ||
            !Mark(Rows, y, x, w))
            return std::nullopt;
    }
    return Rows;
}

// The cells the EPS's "x y w R" runs cover (PostScript's y axis pointing up), for a grid of
// Side x Side cells; none when a run leaves the grid or overlaps another.
inline std::optional<TCells> EpsCells(const std::string& Eps, int Side) {
    TCells Rows(static_cast<std::size_t>(Side), std::string(static_cast<std::size_t>(Side), '.'));
    std::string_view Rest(Eps);
    while (!Rest.empty()) {
        const std::size_t Break = Rest.find('\n');
        std::string_view Line = Rest.substr(0, Break);
        Rest.remove_prefix(Break == std::string_view::npos ? Rest.size() : Break + 1);
        if (Line.size() < 2 || Line.substr(Line.size() - 2) != " R")
            continue;
        int x = 0, y = 0, w = 0;
        if (!TakeNumber(Line, x) || !Take(Line, " ") || !TakeNumber(Line, y) || !Take(Line, " ") || !TakeNumber(Line, w) ||
            Line != " R" || !Mark(Rows, Side - 1 - y, x, w))
            return std::nullopt;
    }
    return Rows;
}

}  // namespace formatread
