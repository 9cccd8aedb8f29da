// The confined folder's rule as text, the same on every system.

#include "confinedfolder.h"

namespace qrfiles {

namespace {

#ifdef _WIN32
// What Windows does not take as a plain name in a folder.
std::string WindowsBadName(std::string_view Part) {
    for (const char C : Part) {
        if (static_cast<unsigned char>(C) < 0x20)
            return "a file or folder name with a control character, which Windows refuses";
        if (C == ':')
            return "a file or folder name with ':', which Windows reads as a drive or a file's data stream";
        if (std::string_view("<>\"|?*").find(C) != std::string_view::npos)
            return std::string("a file or folder name with '") + C + "', which Windows refuses";
    }
    if (Part.back() == '.' || Part.back() == ' ')
        return "a file or folder name ending in a dot or a space, which Windows strips";
    // A device's name stands for the device in every folder, whatever extension follows it and
    // with the spaces before that extension ignored; COM and LPT also with a superscript digit.
    std::string_view Stem = Part.substr(0, Part.find('.'));
    while (!Stem.empty() && Stem.back() == ' ') Stem.remove_suffix(1);
    std::string Upper;
    for (const char C : Stem) Upper += C >= 'a' && C <= 'z' ? static_cast<char>(C - 'a' + 'A') : C;
    const auto IsDevice = [&] {
        for (const char* Device : {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"})
            if (Upper == Device)
                return true;
        if (Upper.size() < 4 || (Upper.compare(0, 3, "COM") != 0 && Upper.compare(0, 3, "LPT") != 0))
            return false;
        const std::string_view Digit = std::string_view(Upper).substr(3);
        return (Digit.size() == 1 && Digit[0] >= '1' && Digit[0] <= '9') || Digit == "\u00B9" || Digit == "\u00B2" ||
               Digit == "\u00B3";
    };
    if (IsDevice())
        return "a file or folder name \"" + std::string(Part) + "\", which Windows keeps for a device";
    return {};
}
#endif

}  // namespace

std::string BadName(std::string_view Part) {
    if (Part.empty())
        return "an empty file or folder name";
    if (Part == "." || Part == "..")
        return "a file or folder name \"" + std::string(Part) + "\"";
    if (Part.size() > kMaxFileName)
        return "a file or folder name longer than " + std::to_string(kMaxFileName) + " bytes";
#ifdef _WIN32
    return WindowsBadName(Part);
#else
    return {};
#endif
}

Result<std::string> ConfinedFolder::PathOf(std::string_view Rest) const {
    for (std::size_t Start = 0;;) {
        const std::size_t Slash = Rest.find_first_of(kSeparators, Start);
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
