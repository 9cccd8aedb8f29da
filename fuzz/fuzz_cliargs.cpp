// Fuzzes quandrel-qr's argument parsing with arbitrary argument lists. Every list must end in
// help, version, a usage error of one line, or options within their documented ranges and colours
// that can be told apart; an exception or an option out of range aborts.
//
// Input: the arguments, separated by NUL bytes (at most 24).

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "arguments.h"
#include "outputtype.h"
#include "fuzzcheck.h"

using fuzzcheck::Check;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
    std::vector<std::string> Args(1);
    for (std::size_t i = 0; i < Size && Args.size() <= 24; ++i) {
        if (Data[i] == 0)
            Args.emplace_back();
        else
            Args.back().push_back(static_cast<char>(Data[i]));
    }
    const auto P = qrcli::ParseArguments(Args);
    if (!P) {
        Check(!P.Error().empty() && P.Error().find('\n') == std::string::npos, "a usage error is one line");
        return 0;
    }
    switch (P->What) {
        case qrcli::Action::Help:
            Check(P->Help.find("Usage: quandrel-qr") != std::string::npos, "help is the usage text");
            break;
        case qrcli::Action::Version:
            break;
        case qrcli::Action::Run: {
            const qrcli::Options& O = P->Opts;
            Check(O.Drawing.ModuleSize >= 1 && O.Drawing.ModuleSize <= 100, "size 1 to 100");
            Check(O.Margin >= 0 && O.Margin <= 100, "margin 0 to 100");
            Check(O.Drawing.Dpi >= 0 && O.Drawing.Dpi <= 100000, "dpi 1 to 100000 or none");
            Check(std::string("LMQH").find(O.Level) != std::string::npos, "level L, M, Q or H");
            Check(O.Encoding <= qr::qrUTF8BOM, "a known encoding option");
            Check(!O.OutputFile || !O.OutputFile->empty(), "no empty file name");
            Check(!O.Text || *O.Text != "-", "\"-\" means standard input");
            Check(!(O.Drawing.Foreground == O.Drawing.Background) &&
                      (O.Drawing.Foreground.A != 0 || O.Drawing.Background.A != 0),
                  "colours that can be told apart");
            Check(!O.Batch || (O.Batch->Jobs >= 0 && O.Batch->Jobs <= 1024), "-j 1 to 1024 or one per core");
            qrcli::ResolveType(O);
            break;
        }
    }
    return 0;
}
