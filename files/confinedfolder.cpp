// The confined folder's rule as text, the same on every system.

#include "confinedfolder.h"

namespace qrfiles {

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

}  // namespace qrfiles
