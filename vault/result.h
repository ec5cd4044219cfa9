// SPDX-License-Identifier: GPL-3.0-or-later
// Result and Status: a value or a user-facing error message, returned across layers instead of
// exceptions.
#pragma once

#include <QString>
#include <optional>
#include <utility>
#include <variant>

namespace korvane {

struct Error {
    QString message;
};

template <typename T>
class [[nodiscard]] Result {
public:
    Result(T value) : state_(std::move(value)) {}
    Result(Error error) : state_(std::move(error)) {}

    bool ok() const { return std::holds_alternative<T>(state_); }
    explicit operator bool() const { return ok(); }

    const T& value() const& { return std::get<T>(state_); }
    T& value() & { return std::get<T>(state_); }
    T&& value() && { return std::get<T>(std::move(state_)); }
    const T& operator*() const& { return value(); }
    T& operator*() & { return value(); }
    const T* operator->() const { return &value(); }
    T* operator->() { return &value(); }

    const QString& error() const { return std::get<Error>(state_).message; }

private:
    std::variant<T, Error> state_;
};

// Result of an operation with nothing to return.
class [[nodiscard]] Status {
public:
    Status() = default;
    Status(Error error) : error_(std::move(error.message)) {}

    static Status success() { return {}; }

    bool ok() const { return !error_.has_value(); }
    explicit operator bool() const { return ok(); }
    const QString& error() const { return *error_; }

private:
    std::optional<QString> error_;
};

inline Error make_error(QString message) { return Error{std::move(message)}; }

}  // namespace korvane
