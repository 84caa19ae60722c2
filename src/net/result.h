// Errors as values: Result<T> holds either a value or an Error (a code, the system's error
// number and a text). Everything in net/ and the engines returns one; only the page layer turns
// a failure into a message box or a row text. Plain C++, so every layer can use it.
#pragma once

#include <cstring>
#include <string>
#include <type_traits>
#include <utility>
#include <variant>

namespace quendrix {

enum class ErrorCode {
    System,           // a system call failed; systemError is its errno
    HostNotFound,     // the resolver knows no such host (HOST_NOT_FOUND)
    TryAgain,         // the resolver had a temporary failure (TRY_AGAIN)
    NoRecovery,       // the resolver failed for good (NO_RECOVERY)
    NoData,           // the name exists but has no IPv4 address (NO_DATA)
    AccessDenied,     // the system refused for want of a privilege (EACCES, EPERM)
    TimedOut,         // nothing came before the deadline
    Stopped,          // the caller's stop request ended the call
    Truncated,        // received bytes end before the message does
    UnsupportedType,  // a well-formed message of a kind the reader does not handle
    Malformed,        // received bytes that do not form a valid message
    InvalidInput,     // a text given by the user is refused; text says why
    OutOfRange,       // a number given by the user is outside its range
};

struct Error {
    ErrorCode code = ErrorCode::System;
    int systemError = 0;  // errno, or h_errno for the resolver's codes; 0 when none applies
    std::string text;     // the system's own text where there is one

    // A failed system call: its errno and strerror text.
    static Error fromErrno(int error) { return {ErrorCode::System, error, errorText(error)}; }

    // The system's text for an errno value (thread-safe).
    static std::string errorText(int error) {
        char buffer[256];
        // GNU strerror_r: returns the text, which need not be in buffer.
        return strerror_r(error, buffer, sizeof buffer);
    }
};

template <typename T>
class [[nodiscard]] Result {
  public:
    using ValueType = T;

    Result(T value) : m_state(std::in_place_index<0>, std::move(value)) {}
    Result(Error error) : m_state(std::in_place_index<1>, std::move(error)) {}

    bool has_value() const { return m_state.index() == 0; }
    explicit operator bool() const { return has_value(); }

    // The value; only when has_value().
    T& value() & { return std::get<0>(m_state); }
    const T& value() const& { return std::get<0>(m_state); }
    T&& value() && { return std::get<0>(std::move(m_state)); }
    T& operator*() & { return value(); }
    const T& operator*() const& { return value(); }
    T* operator->() { return &value(); }
    const T* operator->() const { return &value(); }

    // The failure; only when !has_value().
    const Error& error() const { return std::get<1>(m_state); }
    ErrorCode code() const { return error().code; }

  private:
    std::variant<T, Error> m_state;
};

template <>
class [[nodiscard]] Result<void> {
  public:
    Result() = default;
    Result(Error error) : m_error(std::move(error)), m_failed(true) {}

    bool has_value() const { return !m_failed; }
    explicit operator bool() const { return has_value(); }
    const Error& error() const { return m_error; }
    ErrorCode code() const { return m_error.code; }

  private:
    Error m_error;
    bool m_failed = false;
};

}  // namespace quendrix
