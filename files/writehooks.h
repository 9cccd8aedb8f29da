#pragma once
// The points at which the writer calls out before it goes on: a test holds it there to change
// the file system under it or to send it a signal. The programs link writehooks.cpp, where they do
// nothing; a test program links its own definitions in their place (the library that holds the
// ones here is searched only for what is still missing, so a definition of the test's wins).

namespace qrfiles::hooks {

// The new contents are written and flushed (unless the durability leaves a new file's flush for
// later); the replacement has no name yet, unless NamedTemporary said otherwise.
void ContentsFlushed();

// The replacement has its temporary name and the rename comes next; catchable signals are held
// back in the calling thread from here to the rename.
void BeforeRename();

// Whether to use a named temporary file, as on file systems without unnamed ones.
bool NamedTemporary();

// The batch's path is checked and its folders are made; its file is made and written next.
void PathChecked();

// Every file is written; they are flushed to the disk together next (SyncFileSystem).
void FlushingAll();

}  // namespace qrfiles::hooks
