#pragma once
// A batch row's file: made by a worker once its folders are ready, then written.

#include <string>
#include <vector>

#include "confinedfolder.h"
#include "formats.h"
#include "options.h"
#include "rowjob.h"

namespace qrcli::batch {

// A row's file (or with --symbols its set's files, at J.SetPaths), made and ready to be written.
struct Made {
    Job J;
    qrpicture::TBytes File;
    std::vector<qrpicture::TBytes> SetFiles;
    // A file that it replaces, or the earlier row whose file has its name (a set's: of any of its
    // files, J.Path then the one whose name is taken).
    qrfiles::Placed Place;

    std::size_t FileCount() const { return SetFiles.empty() ? 1 : SetFiles.size(); }
    const std::string& PathOf(std::size_t k) const { return SetFiles.empty() ? J.Path : J.SetPaths[k]; }
};

// Makes the file of a job as Type once Files has its path ready; or why it cannot be written.
// When the name already holds an earlier row's file, nothing is made: Place.Earlier says whose.
// With --symbols the whole set is drawn first (how many files it takes is known only then), and
// a text that no set holds is the row's failure.
Result<Made> MakeRowFile(Job J, OutputType Type, const Options& Opts, qrfiles::ConfinedFiles& Files);

// Writes a row's file. New files are flushed to the disk together at the end of the run (a flush
// for each would hold every worker up on the disk); a file that replaces another is flushed
// before it takes the name, so that the old one is never lost.
// A set's files are written in order; where one of them finds an earlier row's file at its name,
// the writing stops there. One Placed a file written, and that last one.
Result<std::vector<qrfiles::Placed>> WriteRowFile(const Made& M, qrfiles::ConfinedFiles& Files);

}  // namespace qrcli::batch
