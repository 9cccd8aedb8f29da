#pragma once
// A Windows kernel handle (a file, a folder, an event) that is closed when it goes out of scope,
// for headers that do not include windows.h. Windows only.

#include <memory>

namespace qrfiles::win32 {

struct HandleCloser {
    void operator()(void* Handle) const;  // CloseHandle
};
using UniqueHandle = std::unique_ptr<void, HandleCloser>;

}  // namespace qrfiles::win32
