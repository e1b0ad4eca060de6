#pragma once

// Shared by the fuzz targets: the entry point libFuzzer (or the replay
// driver) calls, and a check that stops at the first broken invariant so
// the input that broke it becomes a finding.

#include <QByteArray>
#include <QDir>
#include <QString>
#include <QTemporaryDir>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size);

namespace bravik::fuzz {

[[noreturn]] inline void fail(const char *file, int line, const char *condition, const QString &detail)
{
    std::fprintf(stderr, "%s:%d: fuzz check failed: %s\n", file, line, condition);
    if (!detail.isEmpty())
        std::fprintf(stderr, "  %s\n", detail.toUtf8().constData());
    std::fflush(stderr);
    std::abort();
}

// The input as bytes, without copying.
inline QByteArray bytes(const uint8_t *data, size_t size)
{
    return QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
}

// Reads a value of type T from the front of the input, advancing it; a
// zeroed value when the input is too short.
template<typename T>
T take(const uint8_t *&data, size_t &size)
{
    T value{};
    const size_t n = size < sizeof(T) ? size : sizeof(T);
    std::memcpy(&value, data, n);
    data += n;
    size -= n;
    return value;
}

// A folder for the files a target writes, in memory where the system has
// such a place (writing a settings file syncs it to disk, which would
// otherwise dominate the time an input takes).
inline QTemporaryDir &scratch()
{
    static QTemporaryDir dir(QDir(QStringLiteral("/dev/shm")).exists()
                                 ? QStringLiteral("/dev/shm/bravik-fuzz-XXXXXX")
                                 : QDir::tempPath() + QStringLiteral("/bravik-fuzz-XXXXXX"));
    return dir;
}

// Text for messages: control characters and non-ASCII shown as escapes.
inline QString shown(const QString &text, qsizetype max = 200)
{
    QString out;
    for (QChar c : text.left(max)) {
        if (c.unicode() >= 0x20 && c.unicode() < 0x7F)
            out += c;
        else
            out += QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QLatin1Char('0'));
    }
    if (text.size() > max)
        out += QStringLiteral("...");
    return QLatin1Char('"') + out + QLatin1Char('"');
}

} // namespace bravik::fuzz

// FUZZ_CHECK(condition, detail): detail is a QString, built only on failure.
#define FUZZ_CHECK(condition, detail)                                                                  \
    do {                                                                                               \
        if (!(condition))                                                                              \
            ::bravik::fuzz::fail(__FILE__, __LINE__, #condition, (detail));                            \
    } while (false)
