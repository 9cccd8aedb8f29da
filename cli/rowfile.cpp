#include "rowfile.h"

#include <exception>

#include "symbolfile.h"

namespace qrcli::batch {

namespace {

// A row's structured-append set: every file drawn, and every path ready, before any is written.
Result<Made> MakeRowSet(Job J, OutputType Type, const Options& Opts, qrfiles::ConfinedFiles& Files) {
    std::vector<qrpicture::TBytes> Set = MakeSymbolSetFiles(Type, J.Text, Opts);
    if (Set.empty())
        return Failure{SetTooLongReason(Opts)};
    J.SetPaths.resize(Set.size());
    Made M;
    for (const std::string& Path : J.SetPaths) {
        auto Ready = Files.Prepare(Path, J.Row);
        if (!Ready)
            return Ready.TakeFailure();
        if (Ready->Earlier != 0) {
            M.Place = *Ready;
            J.Path = Path;
            M.J = std::move(J);
            return M;
        }
        M.Place.Exists |= Ready->Exists;
    }
    M.SetFiles = std::move(Set);
    M.J = std::move(J);
    return M;
}

}  // namespace

Result<Made> MakeRowFile(Job J, OutputType Type, const Options& Opts, qrfiles::ConfinedFiles& Files) {
    try {
        if (Opts.Symbols)
            return MakeRowSet(std::move(J), Type, Opts, Files);
        // The folders first: a row that cannot be written costs no encoding.
        auto Ready = Files.Prepare(J.Path, J.Row);
        if (!Ready)
            return Ready.TakeFailure();
        Made M;
        M.Place = *Ready;
        if (M.Place.Earlier == 0) {
            std::string Guessed;
            M.File = MakeSymbolFile(Type, J.Text, Opts, &Guessed);
            if (J.Warning.empty())
                J.Warning = std::move(Guessed);
        }
        M.J = std::move(J);
        return M;
    } catch (const std::exception& E) {
        return Failure{E.what()};
    }
}

Result<std::vector<qrfiles::Placed>> WriteRowFile(const Made& M, qrfiles::ConfinedFiles& Files) {
    try {
        std::vector<qrfiles::Placed> Written;
        for (std::size_t k = 0; k < M.FileCount(); ++k) {
            auto Saved = Files.Save(M.PathOf(k), M.SetFiles.empty() ? M.File : M.SetFiles[k], M.J.Row);
            if (!Saved)
                return Saved.TakeFailure();
            Written.push_back(*Saved);
            if (Saved->Earlier != 0)
                break;
        }
        return Written;
    } catch (const std::exception& E) {
        return Failure{E.what()};
    }
}

}  // namespace qrcli::batch
