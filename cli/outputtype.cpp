#include "outputtype.h"

namespace qrcli {

namespace {

const NameTable<OutputType> kTypeNames = {
    {"png", OutputType::Png},   {"svg", OutputType::Svg},     {"eps", OutputType::Eps},
    {"pdf", OutputType::Pdf},   {"jpeg", OutputType::Jpeg},   {"jpg", OutputType::Jpeg},
    {"utf8", OutputType::Utf8}, {"ascii", OutputType::Ascii}, {"matrix", OutputType::Matrix},
};

// The extensions of -o that tell the type; the text types but utf8 (.txt) have none.
const NameTable<OutputType> kExtensions = {
    {"png", OutputType::Png}, {"svg", OutputType::Svg},  {"eps", OutputType::Eps},  {"pdf", OutputType::Pdf},
    {"jpg", OutputType::Jpeg}, {"jpeg", OutputType::Jpeg}, {"txt", OutputType::Utf8},
};

}  // namespace

const NameTable<OutputType>& TypeNames() { return kTypeNames; }

OutputType ResolveType(const Options& Opts) {
    if (Opts.Type)
        return *Opts.Type;
    if (!Opts.OutputFile)
        return OutputType::Utf8;
    const std::string& Path = *Opts.OutputFile;
    const std::size_t Dot = Path.find_last_of("./");
    if (Dot != std::string::npos && Path[Dot] == '.')
        if (const auto Named = kExtensions.find(std::string_view(Path).substr(Dot + 1)); Named != kExtensions.end())
            return Named->second;
    return OutputType::Jpeg;
}

bool ToStandardOutput(const Options& Opts) { return !Opts.OutputFile || *Opts.OutputFile == "-"; }

bool IsBinary(OutputType Type) {
    return Type == OutputType::Png || Type == OutputType::Pdf || Type == OutputType::Jpeg;
}

}  // namespace qrcli
