#include "rowfile.h"

#include <exception>

#include "symbolfile.h"
#include "writefile.h"

namespace qrcli::batch {

Result<Made> MakeRowFile(Job J, OutputType Type, const Options& Opts, const qrfiles::ConfinedFolder& Folder) {
    try {
        // The folders first: a row that cannot be written costs no encoding.
        auto Ready = Folder.Prepare(J.Path);
        if (!Ready)
            return Ready.TakeFailure();
        Made M;
        M.Replaces = *Ready;
        M.File = MakeSymbolFile(Type, J.Text, Opts);
        M.J = std::move(J);
        return M;
    } catch (const std::exception& E) {
        return Failure{E.what()};
    }
}

Result<void> WriteRowFile(const Made& M) {
    try {
        qrfiles::SaveFile(M.J.Path, M.File, qrfiles::Durability::NewFilesLater);
        return {};
    } catch (const std::exception& E) {
        return Failure{E.what()};
    }
}

}  // namespace qrcli::batch
