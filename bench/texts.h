#pragma once
// The benchmark texts: T1 empty, T10 270 bytes (version 10), T25 1250 bytes (version 25) and
// T40 2953 bytes (version 40), printable ASCII from a fixed seed.

#include <random>
#include <string>

namespace benchtexts {

inline std::u16string Ascii(std::size_t n) {
    std::mt19937 Rng(40);
    std::uniform_int_distribution<int> Printable(0x20, 0x7E);
    std::u16string s(n, u' ');
    for (auto& c : s) c = static_cast<char16_t>(Printable(Rng));
    return s;
}

}  // namespace benchtexts
