#pragma once
// A batch row's file: made by a worker once its folders are ready, then written.

#include "formats.h"
#include "options.h"
#include "rowjob.h"

namespace qrcli::batch {

// A row's file, made and ready to be written.
struct Made {
    Job J;
    qrpicture::TBytes File;
    bool Replaces = false;  // a file of that name exists
};

// Makes the file of a job as Type, once the template's folder rule has its path ready; or why it
// cannot be written.
Result<Made> MakeRowFile(Job J, OutputType Type, const Options& Opts, const qrfiles::ConfinedFolder& Folder);

// Writes a row's file. New files are flushed to the disk together at the end of the run (a flush
// for each would hold every worker up on the disk); a file that replaces another is flushed
// before it takes the name, so that the old one is never lost.
Result<void> WriteRowFile(const Made& M);

}  // namespace qrcli::batch
