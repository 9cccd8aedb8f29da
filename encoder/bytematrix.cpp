#include "bytematrix.h"

#include <algorithm>
#include <numeric>

namespace qr {

TByteMatrix::TByteMatrix(int Width, int Height)
    : Bytes(static_cast<std::size_t>(Height), std::vector<std::uint8_t>(static_cast<std::size_t>(Width), 0)),
      FWidth(Width),
      FHeight(Height) {}

void TByteMatrix::Clear(std::uint8_t Value) {
    for (auto& Row : Bytes) std::fill(Row.begin(), Row.end(), Value);
}

std::string TByteMatrix::Hash() const {
    std::string Result;
    Result.reserve(Bytes.size());
    for (const auto& Row : Bytes) {
        // An empty cell (-1 through Get) counts as its stored 255: the sum is the row's byte total.
        const long Sum = std::accumulate(Row.begin(), Row.end(), 0L);
        Result.push_back(static_cast<char>('A' + Sum % 26));
    }
    return Result;
}

}  // namespace qr
