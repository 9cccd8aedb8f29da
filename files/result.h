#pragma once
// What a step that can fail gives back: its value, or the message that tells the user why there
// is none. The command line and the batch pass failures up as these, never as bare error
// numbers, empty strings or flags; only the last caller decides what to say and how to end.

#include <optional>
#include <string>
#include <utility>
#include <variant>

namespace qrfiles {

// Why something failed, as the user reads it (without the program's prefix or a line end).
struct Failure {
    std::string Message;
};

template <typename T>
class [[nodiscard]] Result {
public:
    Result(T Value) : FValue(std::in_place_index<0>, std::move(Value)) {}
    Result(Failure Why) : FValue(std::in_place_index<1>, std::move(Why)) {}

    explicit operator bool() const { return FValue.index() == 0; }
    T& operator*() { return std::get<0>(FValue); }
    const T& operator*() const { return std::get<0>(FValue); }
    T* operator->() { return &std::get<0>(FValue); }
    const T* operator->() const { return &std::get<0>(FValue); }
    // The message of a failure.
    const std::string& Error() const { return std::get<1>(FValue).Message; }
    Failure TakeFailure() { return std::move(std::get<1>(FValue)); }

private:
    std::variant<T, Failure> FValue;
};

// A step that gives nothing but success or a failure.
template <>
class [[nodiscard]] Result<void> {
public:
    Result() = default;
    Result(Failure Why) : FFailure(std::move(Why)) {}

    explicit operator bool() const { return !FFailure; }
    const std::string& Error() const { return FFailure->Message; }
    Failure TakeFailure() { return std::move(*FFailure); }

private:
    std::optional<Failure> FFailure;
};

}  // namespace qrfiles
