#pragma once
// Tables of the names that options take, looked up in any case (ASCII letters).

#include <algorithm>
#include <cctype>
#include <map>
#include <string>
#include <string_view>

namespace qrcli {

struct AnyCase {
    using is_transparent = void;
    bool operator()(std::string_view A, std::string_view B) const {
        return std::lexicographical_compare(A.begin(), A.end(), B.begin(), B.end(), [](unsigned char x, unsigned char y) {
            return std::tolower(x) < std::tolower(y);
        });
    }
};

template <typename T>
using NameTable = std::map<std::string, T, AnyCase>;

}  // namespace qrcli
