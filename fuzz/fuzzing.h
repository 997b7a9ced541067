#pragma once

// Shared by the harnesses: splitting one fuzz input into several values, and checks of properties
// that end the run the way libFuzzer (and the corpus replay) count as a crash.

#include <QByteArray>
#include <QString>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace velmora::fuzz {

[[noreturn]] inline void fail(const char *what, const char *file, int line, const QString &detail = {})
{
    std::fprintf(stderr, "%s:%d: property broken: %s\n", file, line, what);
    if (!detail.isEmpty())
        std::fprintf(stderr, "  %s\n", detail.toUtf8().constData());
    std::abort();
}

// Reads values off the front of the input. Texts end at a lone backslash ("\\" stands for one
// backslash), so seed files stay readable and mutations of one value leave the others in place.
class Input
{
public:
    Input(const std::uint8_t *data, std::size_t size) : m_p(data), m_end(data + size) {}

    bool atEnd() const { return m_p == m_end; }

    std::uint8_t byte() { return m_p == m_end ? 0 : *m_p++; }

    // A number in [lo, hi] from one byte (a small range is all the harnesses need).
    int pick(int lo, int hi) { return lo + int(byte() % unsigned(hi - lo + 1)); }

    QByteArray bytes()
    {
        QByteArray out;
        while (m_p != m_end) {
            const char c = char(*m_p++);
            if (c == '\\' && m_p != m_end) {
                if (*m_p != '\\')
                    return out;
                ++m_p;
            }
            out += c;
        }
        return out;
    }
    QString text() { return QString::fromUtf8(bytes()); }

    QByteArray rest()
    {
        QByteArray out(reinterpret_cast<const char *>(m_p), m_end - m_p);
        m_p = m_end;
        return out;
    }

private:
    const std::uint8_t *m_p;
    const std::uint8_t *m_end;
};

} // namespace velmora::fuzz

#define FUZZ_CHECK(cond)                                                                                               \
    do {                                                                                                               \
        if (!(cond))                                                                                                   \
            velmora::fuzz::fail(#cond, __FILE__, __LINE__);                                                            \
    } while (0)

// The same with a text (the values involved) printed beside the broken property.
#define FUZZ_CHECK_SAY(cond, detail)                                                                                   \
    do {                                                                                                               \
        if (!(cond))                                                                                                   \
            velmora::fuzz::fail(#cond, __FILE__, __LINE__, (detail));                                                  \
    } while (0)
