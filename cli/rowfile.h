#pragma once
// A batch row's file: made by a worker once its folders are ready, then written.

#include "confinedfolder.h"
#include "formats.h"
#include "options.h"
#include "rowjob.h"

namespace qrcli::batch {

// A row's file, made and ready to be written.
struct Made {
    Job J;
    qrpicture::TBytes File;
    qrfiles::Placed Place;  // a file that it replaces, or the earlier row whose file has its name
};

// Makes the file of a job as Type once Files has its path ready; or why it cannot be written.
// When the name already holds an earlier row's file, nothing is made: Place.Earlier says whose.
Result<Made> MakeRowFile(Job J, OutputType Type, const Options& Opts, qrfiles::ConfinedFiles& Files);

// Writes a row's file. New files are flushed to the disk together at the end of the run (a flush
// for each would hold every worker up on the disk); a file that replaces another is flushed
// before it takes the name, so that the old one is never lost.
Result<qrfiles::Placed> WriteRowFile(const Made& M, qrfiles::ConfinedFiles& Files);

}  // namespace qrcli::batch
