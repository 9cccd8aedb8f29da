#pragma once
// Lowers the process's file size limit while the object lives: writes past it fail with EFBIG,
// for root too, which makes a failing write without a full disk. The signal the kernel would send
// is ignored so the write returns the error.

#include <csignal>

#include <sys/resource.h>

class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t Bytes) {
        FOldHandler = std::signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &FOld);
        rlimit Lowered = FOld;
        Lowered.rlim_cur = Bytes;
        Active = setrlimit(RLIMIT_FSIZE, &Lowered) == 0;
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &FOld);
        std::signal(SIGXFSZ, FOldHandler);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

    bool Active = false;

private:
    rlimit FOld{};
    void (*FOldHandler)(int) = nullptr;
};
