#pragma once
// What every fuzz target uses: the property check and a reader of the input.

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace quorvane::fuzz {

// Stops the run with the input's crash report when a property fails.
#define FUZZ_CHECK(condition)                                                                      \
    do {                                                                                           \
        if (!(condition)) {                                                                        \
            std::fprintf(stderr, "property failed: %s (%s:%d)\n", #condition, __FILE__, __LINE__); \
            std::abort();                                                                          \
        }                                                                                          \
    } while (0)

// Writes the input into the file `name` of a folder kept for the whole run,
// for the readers that take a path; returns the file's path.
inline QString write_input_file(const QString &name, const QByteArray &bytes)
{
    static QTemporaryDir *folder = new QTemporaryDir; // lives as long as the run
    const QString path = folder->filePath(name);
    QFile file(path);
    FUZZ_CHECK(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    FUZZ_CHECK(file.write(bytes) == bytes.size());
    return path;
}

// Reads the fuzzer's input front to back.
class InputStream {
public:
    InputStream(const std::uint8_t *data, std::size_t size) : m_data(data), m_size(size) {}
    bool empty() const { return m_pos >= m_size; }
    std::uint8_t byte()
    {
        return m_pos < m_size ? m_data[m_pos++] : 0;
    }
    QByteArray take(std::size_t n)
    {
        n = std::min(n, m_size - std::min(m_pos, m_size));
        QByteArray bytes(reinterpret_cast<const char *>(m_data + m_pos), qsizetype(n));
        m_pos += n;
        return bytes;
    }
    QByteArray rest() { return take(m_size); }

private:
    const std::uint8_t *m_data;
    std::size_t m_size;
    std::size_t m_pos = 0;
};

} // namespace quorvane::fuzz
