// Fuzzes the batch's output template and name cleaning with any template, any name and any row
// number. Every path that comes out must lie inside the template's folder: after it, only real
// names (no empty part, no "." or ".."), so that even lexically the path cannot climb out; a
// cleaned name must be a single safe file name. Anything else must be refused with a reason.
//
// Input: two bytes of row number, the template up to a NUL byte, then the name (any bytes).

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

#include "batchname.h"
#include "text/textconv.h"
#include "fuzzcheck.h"

using fuzzcheck::Check;
namespace fs = std::filesystem;
namespace batch = qrcli::batch;

namespace {

void CheckCleanName(std::string_view Raw, const batch::Result<std::string>& Clean) {
    if (!Clean) {
        Check(!Clean.Error().empty(), "a refused name says why");
        return;
    }
    const std::string& Name = *Clean;
    Check(!Name.empty() && Name != "." && Name != "..", "a cleaned name is a real file name");
    Check(Name.size() <= qrfiles::kMaxFileName, "a cleaned name fits a file name");
    Check(Name.find('/') == std::string::npos, "a cleaned name has no slash");
    Check(qrtext::DecodeUtf8(Name).Text.has_value(), "a cleaned name is UTF-8");
    for (std::size_t i = 0; i < Name.size(); ++i) {
        const auto Byte = static_cast<unsigned char>(Name[i]);
        Check(Byte >= 0x20 && Byte != 0x7F, "a cleaned name has no C0 control or DEL");
        Check(!(Byte == 0xC2 && i + 1 < Name.size() && static_cast<unsigned char>(Name[i + 1]) < 0xA0),
              "a cleaned name has no C1 control");
    }
    Check(Name.size() <= Raw.size(), "cleaning only replaces characters, never adds");
}

void CheckInside(const batch::NameTemplate& T, const batch::Result<std::string>& Path) {
    if (!Path) {
        Check(!Path.Error().empty(), "a refused path says why");
        return;
    }
    const std::string& Folder = T.Folder();
    Check(Path->compare(0, Folder.size(), Folder) == 0, "the path starts with the template's folder");
    Check(Path->size() <= qrfiles::kMaxPath, "the path fits the system's limit");
    Check(Path->find('\0') == std::string::npos, "the path has no NUL byte");
    const std::string Rest = Path->substr(Folder.size());
    Check(!Rest.empty() && Rest.front() != '/', "a relative name follows the folder");
    for (std::size_t Start = 0;;) {
        const std::size_t Slash = Rest.find('/', Start);
        const std::string Part = Rest.substr(Start, Slash - Start);
        Check(!Part.empty() && Part != "." && Part != "..", "every part after the folder is a real name");
        Check(Part.size() <= qrfiles::kMaxFileName, "every part fits a file name");
        if (Slash == std::string::npos)
            break;
        Start = Slash + 1;
    }
    // The same, seen by the standard library: the path, normalised, is below the folder.
    const fs::path Base = fs::path(Folder.empty() ? "." : Folder).lexically_normal();
    const fs::path Relative = (fs::path(Folder.empty() ? "./" : Folder) / Rest).lexically_normal().lexically_relative(Base);
    Check(!Relative.empty() && *Relative.begin() != ".." && Relative != ".", "the normalised path is below the folder");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
    if (Size < 2)
        return 0;
    const std::uint64_t Row = (std::uint64_t{Data[0]} << 8 | Data[1]) * 0x10001 + 1;
    const std::string_view Rest(reinterpret_cast<const char*>(Data + 2), Size - 2);
    const std::size_t Nul = Rest.find('\0');
    const std::string_view Template = Rest.substr(0, Nul);
    const std::string_view Raw = Nul == std::string_view::npos ? std::string_view() : Rest.substr(Nul + 1);

    const auto Clean = batch::CleanName(Raw);
    CheckCleanName(Raw, Clean);

    const auto Parsed = batch::NameTemplate::Parse(Template);
    if (!Parsed) {
        Check(!Parsed.Error().empty(), "a refused template says why");
        return 0;
    }
    const batch::NameTemplate& T = *Parsed;
    // The cleaned name when there is one; the raw bytes too (slashes and all), to see that Expand
    // alone never lets a path out, whatever it is given. (A NUL byte never reaches it: cleaning
    // replaces it, and the writer refuses it.)
    if (Clean)
        CheckInside(T, T.Expand(Row, *Clean));
    if (Raw.find('\0') == std::string_view::npos)
        CheckInside(T, T.Expand(Row, Raw));
    return 0;
}
