// Throughput and peak memory of the GPS receive step: 100 MB of NMEA text
// (GLL, GGA and RMC sets) appended to a sentence buffer in 1 KB receives,
// as a window's feed would take them.  Also shows that one receive costs
// the same whether the buffer is nearly empty or nearly full, and the
// same for a flood with no line ends at all.  The GLL sentences are looked
// for from every GNSS talker: a stream from a multi-system receiver (GN
// positions among GP, GL, GA and GB sentences) is timed beside a GPS-only
// stream taken with the GP talker alone, the search the program made before
// it knew other talkers, and the slowdown is printed beside its floor.
//
//   bench_gps_receive [megabytes] [chunk bytes]
#include "Nmea.h"
#include "SentenceBuffer.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTime>
#include <algorithm>
#include <array>
#include <cstdio>

using namespace bravik::gps;

namespace {

long peakKb()
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : f.readAll().split('\n'))
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong();
    return -1;
}

struct Result
{
    double seconds = 0;
    long long bytes = 0;
    long long usable = 0;
    int discards = 0;
    // Receive time by how full the buffer was before it: four quarters.
    std::array<qint64, 4> nsByFill{};
    std::array<long long, 4> countByFill{};
};

Result run(const QByteArray &stream, long long totalBytes, qsizetype chunk, Talkers talkers = Talkers::all())
{
    Result r;
    SentenceBuffer buffer(talkers);
    QElapsedTimer all, one;
    all.start();
    qsizetype at = 0;
    while (r.bytes < totalBytes) {
        if (at + chunk > stream.size())
            at = 0;
        const int quarter = int(std::min<qsizetype>(3, buffer.size() * 4 / SentenceBuffer::limit));
        one.start();
        r.usable += buffer.append(QByteArrayView(stream.constData() + at, chunk));
        r.nsByFill[quarter] += one.nsecsElapsed();
        ++r.countByFill[quarter];
        at += chunk;
        r.bytes += chunk;
    }
    r.seconds = all.nsecsElapsed() / 1e9;
    r.discards = buffer.discards();
    return r;
}

void print(const char *name, const Result &r)
{
    std::printf("%s\n", name);
    std::printf("  %lld bytes in %.3f s: %.1f MB/s, %lld usable GLL sentences, %d discards\n", r.bytes,
                r.seconds, r.bytes / 1e6 / r.seconds, r.usable, r.discards);
    std::printf("  mean time of one receive by buffer fill before it:\n");
    const char *names[] = {"0-25%", "25-50%", "50-75%", "75-100%"};
    for (int q = 0; q < 4; ++q)
        if (r.countByFill[q])
            std::printf("    %-8s %8.0f ns  (%lld receives)\n", names[q], double(r.nsByFill[q]) / r.countByFill[q],
                        r.countByFill[q]);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const long long megabytes = args.size() > 1 ? args.at(1).toLongLong() : 100;
    const qsizetype chunk = args.size() > 2 ? args.at(2).toLongLong() : 1024;
    if (megabytes <= 0 || chunk <= 0) {
        std::fprintf(stderr, "usage: bench_gps_receive [megabytes] [chunk bytes]\n");
        return 2;
    }
    const long long total = megabytes * 1000 * 1000;

    // One hour of a one-second feed, repeated as needed.
    QByteArray nmea;
    double lat = 36.8020567, lon = -121.7927967;
    QDateTime t(QDate(2026, 12, 8), QTime(0, 0), Qt::UTC);
    for (int i = 0; i < 3600; ++i, lat += 1e-5, lon += 1e-5, t = t.addSecs(1))
        nmea += makeGll(lat, lon, t.time()) + makeGga(lat, lon, t.time()) + makeRmc(lat, lon, t);
    const QByteArray flood(1 << 20, 'x');
    // A multi-system receiver: every set from another talker in turn.
    QByteArray mixed;
    const char *talkers[] = {"GN", "GP", "GL", "GA", "GB", "GQ", "GI"};
    lat = 36.8020567, lon = -121.7927967;
    t = QDateTime(QDate(2026, 12, 8), QTime(0, 0), Qt::UTC);
    for (int i = 0; i < 3600; ++i, lat += 1e-5, lon += 1e-5, t = t.addSecs(1)) {
        const char *talker = talkers[i % 7];
        mixed += makeGll(lat, lon, t.time(), talker) + makeGga(lat, lon, t.time(), talker)
                 + makeRmc(lat, lon, t, talker);
    }

    std::printf("GPS receive step: %lld MB in %lld-byte receives, buffer limit %lld characters\n", megabytes,
                (long long)chunk, (long long)SentenceBuffer::limit);
    std::printf("peak memory before: %ld kB\n", peakKb());
    const Result gpOnly = run(nmea, total, chunk, *Talkers::fromNames({QStringLiteral("GP")}));
    print("GPS-only sentences (GPGLL, GPGGA, GPRMC), GP talker only: the reference", gpOnly);
    const Result all = run(nmea, total, chunk);
    print("GPS-only sentences, every GNSS talker searched", all);
    const Result mix = run(mixed, total, chunk);
    print("multi-system sentences (seven talkers in turn), every GNSS talker searched", mix);
    print("flood without line ends", run(flood, total, chunk));

    const double refRate = gpOnly.bytes / gpOnly.seconds;
    const double worst = std::max(refRate / (all.bytes / all.seconds), refRate / (mix.bytes / mix.seconds));
    std::printf("talker search: %.2f times the GP-only time at worst (floor: at most 1.50) %s\n", worst,
                worst <= 1.5 ? "ok" : "TOO SLOW");
    // The last quarter holds the receives that overflow and only empty the
    // buffer, so the full work is compared between the first and third.
    auto ns = [](const Result &r, int q) { return double(r.nsByFill[q]) / std::max(1LL, r.countByFill[q]); };
    std::printf("receive step, multi-system: %.2f times as long at 50-75%% fill as at 0-25%% "
                "(flat: about 1, never growing with the fill)\n", ns(mix, 2) / ns(mix, 0));
    std::printf("peak memory (VmHWM): %ld kB\n", peakKb());
    return 0;
}
