#pragma once
// A row of the batch's list turned into the job of making its file: its text decoded and checked,
// its path named. Done on the reading thread, in row order, so that names are given out in order.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "batchlist.h"
#include "batchname.h"
#include "options.h"

namespace qrcli::batch {

struct Job {
    std::uint64_t Row = 0;
    std::u16string Text;
    std::string Path;
    // With --symbols, the paths of the set's symbols as far as it may go (N, or 16 for auto): named
    // here, in row order, though how many a set needs is known only once it is drawn. Path is the first.
    std::vector<std::string> SetPaths;
    std::string Warning;    // said with the row when its file is written
    std::size_t Bytes = 0;  // what it holds, for the ledger
};

// The job of Row, or why the row makes no file: the list's own problem with it, a payload field
// that is refused, a text that is not UTF-8 or too long for a symbol, a name that cannot be
// cleaned, or a path that would leave the template's folder. (A text that no set of --symbols holds
// is found when the set is drawn.) (A name another row's file already
// has is found when the file is made.) With a payload, Format names the fields of Row.Fields.
Result<Job> PrepareRow(ListRow& Row, const Options& Opts, const NameTemplate& Template, const ListFormat& Format = {});

}  // namespace qrcli::batch
