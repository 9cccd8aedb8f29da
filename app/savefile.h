#pragma once
// Writing a file so that it is never lost: the new contents go to a temporary file in the same
// folder, which then replaces the file in one atomic rename.

#include <span>
#include <stdexcept>

#include <QString>

namespace qrapp {

// A file that could not be created or written; what() is the UTF-8 message for the user.
class FileError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Replaces (or creates) the file at Path with exactly Bytes. On any failure the file that was
// there before is left as it was, no temporary file remains, and FileError is thrown:
// "Cannot create file "<full path>". <system error>" when the file cannot be created,
// "Cannot write file "<full path>". <system error>" when writing or the final rename fails.
void WriteFileAtomically(const QString& Path, std::span<const unsigned char> Bytes);

// A system error description as it goes into a message: trailing blanks, line breaks and full
// stops removed, so the message box's own full stop is not doubled.
QString TrimErrorText(const QString& Text);

}  // namespace qrapp
