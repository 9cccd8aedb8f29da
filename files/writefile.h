#pragma once
// The one way this program writes a file, shared by "Gravar" and the command line: the new
// contents go to a temporary file in the same folder, which then replaces the file in one atomic
// rename, so an existing file is either replaced whole or left as it was.

#include <span>
#include <stdexcept>
#include <string>

namespace qrfiles {

// A file that could not be created or written; what() is the UTF-8 message for the user.
class FileError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Replaces (or creates) the file at Path with exactly Bytes. Path is the file name as the system
// takes it (bytes, not text). On any failure the file that was there before is left as it was,
// no temporary file remains, and FileError is thrown:
// "Cannot create file "<full path>". <system error>" when the file cannot be created,
// "Cannot write file "<full path>". <system error>" when writing or the final rename fails.
void WriteFileAtomically(const std::string& Path, std::span<const unsigned char> Bytes);

// A system error description as it goes into a message: trailing blanks, line breaks and full
// stops removed, so the message box's own full stop is not doubled.
std::string TrimErrorText(std::string Text);

}  // namespace qrfiles
