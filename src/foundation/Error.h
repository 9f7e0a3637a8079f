#pragma once

// The error that travels an asynchronous chain, and the result of a step of such a chain: either a
// value or an error. Coroutines return QCoro::Task<Result<T>> instead of throwing.

#include <QString>

#include <optional>
#include <utility>

struct Error
{
    QString domain;
    int code = 0;
    QString description;

    bool operator==(const Error &) const = default;
};

template <typename T>
class Result
{
public:
    Result(T value)
        : m_value(std::move(value))
    {}
    Result(Error error)
        : m_error(std::move(error))
    {}

    bool ok() const { return m_value.has_value(); }
    explicit operator bool() const { return ok(); }

    const T &value() const & { return *m_value; }
    T &value() & { return *m_value; }
    T &&value() && { return std::move(*m_value); }
    const T *operator->() const { return &*m_value; }
    T *operator->() { return &*m_value; }

    const Error &error() const { return m_error; }

private:
    std::optional<T> m_value;
    Error m_error;
};

// A step with no value of its own.
struct Done
{};
