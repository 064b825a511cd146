// SPDX-License-Identifier: MIT
#pragma once

#include <utility>
#include <variant>

#include <QString>

namespace ostrand {

// A failed step: the description is the platform's own text where there is one.
struct Failure
{
    QString description;
};

// A value or the failure that kept it from being made; errors travel as values, never as exceptions.
template<class T>
class Result
{
public:
    Result(T value) : m_state(std::move(value)) {}
    Result(Failure failure) : m_state(std::move(failure)) {}

    bool ok() const { return std::holds_alternative<T>(m_state); }
    explicit operator bool() const { return ok(); }
    const T& value() const { return std::get<T>(m_state); }
    T& value() { return std::get<T>(m_state); }
    QString error() const { return ok() ? QString() : std::get<Failure>(m_state).description; }

private:
    std::variant<T, Failure> m_state;
};

// The outcome of a step that makes no value.
class Status
{
public:
    Status() = default;
    Status(Failure failure) : m_failed(true), m_error(std::move(failure.description)) {}
    static Status success() { return {}; }

    bool ok() const { return !m_failed; }
    explicit operator bool() const { return ok(); }
    const QString& error() const { return m_error; }

private:
    bool m_failed = false;
    QString m_error;
};

} // namespace ostrand
