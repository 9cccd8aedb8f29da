#include "rowfile.h"

#include <exception>

#include "symbolfile.h"

namespace qrcli::batch {

Result<Made> MakeRowFile(Job J, OutputType Type, const Options& Opts, qrfiles::ConfinedFiles& Files) {
    try {
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

Result<qrfiles::Placed> WriteRowFile(const Made& M, qrfiles::ConfinedFiles& Files) {
    try {
        return Files.Save(M.J.Path, M.File, M.J.Row);
    } catch (const std::exception& E) {
        return Failure{E.what()};
    }
}

}  // namespace qrcli::batch
