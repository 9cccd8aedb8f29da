#pragma once
// What every payload builder and field check returns: the value, or the one-line reason it was
// refused (lower case, no full stop, ready to follow "quandrel-qr: " or "row N: ").

#include <optional>
#include <string>
#include <utility>
#include <variant>

namespace qrpayload {

struct TRefusal {
    std::string Reason;
};

// A value or a refusal. Shaped like C++23's std::expected (bool test, *, ->, Error) so that a
// caller can move to that, or to its own result type, without changing the builders.
template <typename T>
class [[nodiscard]] TResult {
public:
    TResult(T Value) : FValue(std::in_place_index<0>, std::move(Value)) {}
    TResult(TRefusal Refusal) : FValue(std::in_place_index<1>, std::move(Refusal)) {}

    explicit operator bool() const { return FValue.index() == 0; }
    const T& operator*() const { return std::get<0>(FValue); }
    const T* operator->() const { return &std::get<0>(FValue); }
    // Only for a refusal.
    const TRefusal& Error() const { return std::get<1>(FValue); }
    const std::string& Reason() const { return Error().Reason; }

private:
    std::variant<T, TRefusal> FValue;
};

enum class TLevel { L, M, Q, H };

// What a payload's own standard demands of the symbol that carries it; the caller makes the
// symbol and refuses it when it cannot meet these.
struct TSymbolLimits {
    std::optional<TLevel> RequiredLevel;  // none: any level
    int MaxVersion = 40;
};

// A payload: the text the symbol carries (UTF-8) and the limits on that symbol.
struct TPayload {
    std::string Text;
    TSymbolLimits Limits;
};

}  // namespace qrpayload
