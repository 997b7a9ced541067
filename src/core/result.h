#pragma once

#include <QString>
#include <QStringList>

#include <optional>
#include <utility>
#include <variant>

namespace velmora {

// An expected failure: what the user is told, plus what a failure report needs to show.
struct Failure {
    int number = 0;               // engine error number (SQLCODE / GDS code) or our own code
    QString description;          // one-line summary
    QStringList engineMessages;   // every message of the engine's status vector, in order
    int step = 0;                 // number of the step that failed (load step numbering)

    QString text() const { return engineMessages.isEmpty() ? description : engineMessages.join(QLatin1Char('\n')); }
};

// A value or a Failure; C++20 has no std::expected yet.
template <typename T>
class Result {
public:
    Result(T value) : m_v(std::move(value)) {}
    Result(Failure f) : m_v(std::move(f)) {}

    bool ok() const { return m_v.index() == 0; }
    explicit operator bool() const { return ok(); }
    T &value() { return std::get<0>(m_v); }
    const T &value() const { return std::get<0>(m_v); }
    T &operator*() { return value(); }
    T *operator->() { return &value(); }
    const Failure &failure() const { return std::get<1>(m_v); }

private:
    std::variant<T, Failure> m_v;
};

template <>
class Result<void> {
public:
    Result() = default;
    Result(Failure f) : m_f(std::move(f)) {}
    bool ok() const { return !m_f.has_value(); }
    explicit operator bool() const { return ok(); }
    const Failure &failure() const { return *m_f; }

private:
    std::optional<Failure> m_f;
};

using Status = Result<void>;

} // namespace velmora
