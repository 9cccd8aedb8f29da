#include "confinedfolder.h"

#include <filesystem>
#include <system_error>

#include "writehooks.h"

namespace qrfiles {

namespace fs = std::filesystem;

namespace {

// "\"<Part>\" <What>", for the messages about a part of a path.
std::string Quoted(const fs::path& Part, const std::string& What) {
    std::string Text(1, '"');
    Text += Part.string();
    Text += "\" ";
    Text += What;
    return Text;
}

}  // namespace

std::string BadName(std::string_view Part) {
    if (Part.empty())
        return "an empty file or folder name";
    if (Part == "." || Part == "..")
        return "a file or folder name \"" + std::string(Part) + "\"";
    if (Part.size() > kMaxFileName)
        return "a file or folder name longer than " + std::to_string(kMaxFileName) + " bytes";
    return {};
}

Result<std::string> ConfinedFolder::PathOf(std::string_view Rest) const {
    for (std::size_t Start = 0;;) {
        const std::size_t Slash = Rest.find('/', Start);
        if (std::string Bad = BadName(Rest.substr(Start, Slash - Start)); !Bad.empty())
            return Failure{"the file name would have " + Bad};
        if (Slash == std::string_view::npos)
            break;
        Start = Slash + 1;
    }
    if (FFolder.size() + Rest.size() > kMaxPath)
        return Failure{"the path would be longer than " + std::to_string(kMaxPath) + " bytes"};
    std::string Path = FFolder;
    Path += Rest;
    return Path;
}

Result<bool> ConfinedFolder::Prepare(const std::string& Path) const {
    std::error_code Error;
    if (!FFolder.empty()) {
        const fs::path Folder(FFolder);
        if (!fs::is_directory(Folder, Error)) {
            fs::create_directories(Folder, Error);
            if (Error && !fs::is_directory(Folder))
                return Failure{"cannot create the folder " + Quoted(Folder, Error.message())};
        }
    }
    for (std::size_t Slash = Path.find('/', FFolder.size());; Slash = Path.find('/', Slash + 1)) {
        const bool Last = Slash == std::string::npos;
        const fs::path Part(Last ? Path : Path.substr(0, Slash));
        fs::file_status Status = fs::symlink_status(Part, Error);
        if (!Last && Status.type() == fs::file_type::not_found) {
            fs::create_directory(Part, Error);
            Status = fs::symlink_status(Part, Error);
        }
        if (Status.type() == fs::file_type::symlink)
            return Failure{Quoted(Part, "is a symbolic link")};
        if (Last) {
            const bool Exists = Status.type() == fs::file_type::regular;
            if (Status.type() == fs::file_type::not_found || Exists) {
                hooks::PathChecked();
                return Exists;
            }
            return Failure{Quoted(Part, "exists and is not a regular file")};
        }
        if (Status.type() != fs::file_type::directory)
            return Failure{"cannot create the folder " +
                           Quoted(Part, Error ? Error.message() : std::string("(a file of that name is in the way)"))};
    }
}

}  // namespace qrfiles
