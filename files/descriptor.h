#pragma once
// An open POSIX file descriptor, closed when it goes out of scope.

#include <cerrno>
#include <utility>

#include <unistd.h>

namespace qrfiles {

class Descriptor {
public:
    Descriptor() = default;
    explicit Descriptor(int Fd) : FFd(Fd) {}
    Descriptor(Descriptor&& Other) noexcept : FFd(std::exchange(Other.FFd, -1)) {}
    Descriptor& operator=(Descriptor&& Other) noexcept {
        if (this != &Other) {
            Close();
            FFd = std::exchange(Other.FFd, -1);
        }
        return *this;
    }
    ~Descriptor() { Close(); }

    int Get() const { return FFd; }
    explicit operator bool() const { return FFd >= 0; }

    // Closes now; returns 0 or the error, which some file systems only report here.
    int Close() {
        const int Fd = std::exchange(FFd, -1);
        return Fd < 0 || close(Fd) == 0 ? 0 : errno;
    }

private:
    int FFd = -1;
};

}  // namespace qrfiles
