#pragma once
// A folder of the test's own for file tests, removed with everything in it at the end, and the
// helpers to fill and inspect it. Device nodes and pipes are only ever made inside it.

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <set>
#include <stdexcept>
#include <string>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace testfolder {

namespace fs = std::filesystem;

// The unprivileged user and group that cases run as in child processes.
constexpr uid_t Nobody = 65534;

// Reads Fd to its end into Out; false on a read error.
inline bool ReadAll(int Fd, std::string& Out) {
    char Buffer[65536];
    for (;;) {
        const ssize_t Got = read(Fd, Buffer, sizeof Buffer);
        if (Got < 0 && errno == EINTR)
            continue;
        if (Got < 0)
            return false;
        if (Got == 0)
            return true;
        Out.append(Buffer, static_cast<std::size_t>(Got));
    }
}

// A folder of the test's own, searchable by uid 65534, with helpers to fill and inspect it.
class Folder {
public:
    Folder() {
        std::string Template = (fs::temp_directory_path() / "qrtest-XXXXXX").string();
        if (mkdtemp(Template.data()) == nullptr)
            throw std::runtime_error("mkdtemp");
        FRoot = fs::canonical(Template).string();
        chmod(FRoot.c_str(), 0755);
    }
    ~Folder() {
        std::error_code Ignored;
        fs::remove_all(FRoot, Ignored);
    }
    Folder(const Folder&) = delete;
    Folder& operator=(const Folder&) = delete;

    const std::string& Root() const { return FRoot; }
    std::string operator/(const std::string& Relative) const { return FRoot + "/" + Relative; }

    void Put(const std::string& Name, const std::string& Bytes, mode_t Mode = 0644, uid_t Owner = 0) const {
        const std::string P = *this / Name;
        const int Fd = open(P.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        ASSERT_GE(Fd, 0) << P;
        ASSERT_EQ(write(Fd, Bytes.data(), Bytes.size()), static_cast<ssize_t>(Bytes.size()));
        close(Fd);
        ASSERT_EQ(chown(P.c_str(), Owner, Owner), 0);
        ASSERT_EQ(chmod(P.c_str(), Mode), 0);
    }
    void Dir(const std::string& Name, mode_t Mode = 0755) const {
        ASSERT_EQ(mkdir((*this / Name).c_str(), 0700), 0) << Name;
        ASSERT_EQ(chmod((*this / Name).c_str(), Mode), 0);
    }
    void Link(const std::string& Target, const std::string& Name) const {
        ASSERT_EQ(symlink(Target.c_str(), (*this / Name).c_str()), 0) << Name;
    }
    void Node(const std::string& Name, unsigned Major, unsigned Minor) const {
        ASSERT_EQ(mknod((*this / Name).c_str(), S_IFCHR | 0666, makedev(Major, Minor)), 0) << Name;
    }
    std::string Read(const std::string& Name) const {
        const int Fd = open((*this / Name).c_str(), O_RDONLY);
        std::string Bytes;
        if (Fd < 0 || !ReadAll(Fd, Bytes))
            Bytes = "<unreadable>";
        if (Fd >= 0)
            close(Fd);
        return Bytes;
    }
    struct stat Stat(const std::string& Name) const {
        struct stat S{};
        lstat((*this / Name).c_str(), &S);
        return S;
    }
    std::string LinkTarget(const std::string& Name) const {
        std::error_code Error;
        return fs::read_symlink(*this / Name, Error).string();
    }
    // Every entry below the folder, hidden ones included, as relative paths.
    std::set<std::string> Listing() const {
        std::set<std::string> Names;
        for (auto It = fs::recursive_directory_iterator(FRoot); It != fs::recursive_directory_iterator(); ++It)
            Names.insert(It->path().lexically_relative(FRoot).string());
        return Names;
    }
    std::string Message(const char* Stage, const std::string& Shown, int Error) const {
        return std::string("Cannot ") + Stage + " file \"" + (Shown.empty() ? FRoot : *this / Shown) + "\". " +
               std::strerror(Error);
    }

private:
    std::string FRoot;
};

}  // namespace testfolder
