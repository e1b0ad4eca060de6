#include "Coastline.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QMutex>
#include <QMutexLocker>
#include <QStringList>

#include <gmt.h>

#include <algorithm>
#include <cmath>
#include <map>

namespace bravik::chart {

namespace {

// GMT is used one call at a time, whatever the session.
QMutex &gmtLock()
{
    static QMutex m;
    return m;
}

// GMT's messages of the call in progress (GMT's print function has no
// room for a context of its own).
QStringList *g_messages = nullptr;

int collectMessage(FILE *, const char *text)
{
    if (g_messages && text)
        g_messages->append(QString::fromLocal8Bit(text).trimmed());
    return 0;
}

class Collecting
{
public:
    explicit Collecting(QStringList *into) { g_messages = into; }
    ~Collecting() { g_messages = nullptr; }
};

QString fileName(Resolution r)
{
    return QStringLiteral("binned_GSHHS_%1.nc").arg(QLatin1Char(resolutionLetter(r)));
}

QString number(double v)
{
    return QString::number(v, 'f', 9);
}

QString gmtReason(const QStringList &messages, int code)
{
    QStringList errors;
    for (const QString &m : messages)
        if (m.contains(QLatin1String("ERROR")) || m.contains(QLatin1String("rror")))
            errors << m;
    if (errors.isEmpty())
        errors = messages;
    QString reason = errors.join(QLatin1Char(' ')).simplified();
    if (reason.isEmpty())
        reason = QStringLiteral("error %1").arg(code);
    return reason;
}

} // namespace

struct Coastline::Private
{
    QString folder;
    bool started = false;
    void *api = nullptr;
    QString startError;
    std::map<Resolution, QString> files; // resolution -> folder
    QList<std::shared_ptr<const ShoreArea>> kept;
    int reads = 0;

    // Under the lock.
    void start()
    {
        if (started)
            return;
        started = true;
        QStringList messages;
        {
            Collecting c(&messages);
            api = GMT_Create_Session("bravik", 0U,
                                     GMT_SESSION_NOEXIT | GMT_SESSION_EXTERNAL | GMT_SESSION_NOGDALCLOSE
                                         | GMT_SESSION_NOHISTORY,
                                     collectMessage);
        }
        if (!api)
            startError = QStringLiteral("The coastline reader (GMT) could not start: %1. Install gmt-common.")
                             .arg(gmtReason(messages, 0));
        QStringList candidates;
        if (!folder.isEmpty()) {
            candidates << folder;
        } else {
            if (api) {
                char value[4096] = {0};
                if (GMT_Get_Default(api, "DIR_GSHHG", value) == 0 && value[0])
                    candidates << QString::fromLocal8Bit(value);
                value[0] = 0;
                if (GMT_Get_Default(api, "API_SHAREDIR", value) == 0 && value[0])
                    candidates << QString::fromLocal8Bit(value) + QStringLiteral("/coast");
            }
            candidates << QStringLiteral("/usr/share/gmt-gshhg") << QStringLiteral("/usr/share/gmt/coast");
        }
        for (Resolution r : kAllResolutions)
            for (const QString &dir : std::as_const(candidates))
                if (QFileInfo(QDir(dir).filePath(fileName(r))).isReadable()) {
                    files[r] = QDir(dir).absolutePath();
                    break;
                }
    }

    QString region(const GeoBox &b) const
    {
        return QStringLiteral("-R%1/%2/%3/%4").arg(number(b.west), number(b.east), number(b.south), number(b.north));
    }

    QString dataOption(Resolution r) const
    {
        return QStringLiteral("-D%1 -A0 --DIR_GSHHG=%2").arg(QLatin1Char(resolutionLetter(r))).arg(files.at(r));
    }

    // Under the lock.
    std::optional<QList<bool>> select(const QList<GeoPoint> &points, Resolution r, QString *error);
    std::shared_ptr<const ShoreArea> read(const GeoBox &box, Resolution r, QString *error);
};

std::optional<QList<bool>> Coastline::Private::select(const QList<GeoPoint> &points, Resolution r, QString *error)
{
    QList<bool> out(points.size(), false);
    if (points.isEmpty())
        return out;
    const GeoBox box = boxAround(points.constData(), int(points.size())).grown(2000.0);
    QStringList messages;
    Collecting c(&messages);
    uint64_t dim[4] = {1, 1, uint64_t(points.size()), 3};
    auto *in = static_cast<GMT_DATASET *>(
        GMT_Create_Data(api, GMT_IS_DATASET, GMT_IS_POINT, GMT_CONTAINER_AND_DATA, dim, nullptr, nullptr, 0, 0, nullptr));
    if (!in) {
        if (error)
            *error = QStringLiteral("GMT could not take the positions: %1").arg(gmtReason(messages, 0));
        return std::nullopt;
    }
    GMT_DATASEGMENT *s = in->table[0]->segment[0];
    for (qsizetype i = 0; i < points.size(); ++i) {
        const GeoPoint p = box.local(points[i]);
        s->data[0][i] = p.lon;
        s->data[1][i] = p.lat;
        s->data[2][i] = double(i);
    }
    s->n_rows = uint64_t(points.size());
    char vin[GMT_VF_LEN] = {0}, vout[GMT_VF_LEN] = {0};
    GMT_Open_VirtualFile(api, GMT_IS_DATASET, GMT_IS_POINT, unsigned(GMT_IN) | unsigned(GMT_IS_REFERENCE), in, vin);
    GMT_Open_VirtualFile(api, GMT_IS_DATASET, GMT_IS_POINT, unsigned(GMT_OUT) | unsigned(GMT_IS_REFERENCE), nullptr, vout);
    // Keep the dry points: land, and islands in lakes.
    const QString args = QStringLiteral("%1 %2 %3 -Ns/k -fg ->%4")
                             .arg(QString::fromLatin1(vin), region(box), dataOption(r), QString::fromLatin1(vout));
    const int code = GMT_Call_Module(api, "select", GMT_MODULE_CMD, const_cast<char *>(args.toLocal8Bit().constData()));
    bool ok = code == 0;
    if (ok) {
        if (auto *kept = static_cast<GMT_DATASET *>(GMT_Read_VirtualFile(api, vout))) {
            for (uint64_t t = 0; t < kept->n_tables; ++t)
                for (uint64_t g = 0; g < kept->table[t]->n_segments; ++g) {
                    const GMT_DATASEGMENT *k = kept->table[t]->segment[g];
                    if (k->n_columns < 3)
                        continue;
                    for (uint64_t row = 0; row < k->n_rows; ++row) {
                        const qsizetype index = qsizetype(std::llround(k->data[2][row]));
                        if (index >= 0 && index < out.size())
                            out[index] = true;
                    }
                }
            GMT_Destroy_Data(api, &kept);
        }
    }
    GMT_Close_VirtualFile(api, vin);
    GMT_Close_VirtualFile(api, vout);
    GMT_Destroy_Data(api, &in);
    if (!ok) {
        if (error)
            *error = QStringLiteral("GMT could not tell land from water: %1").arg(gmtReason(messages, code));
        return std::nullopt;
    }
    return out;
}

std::shared_ptr<const ShoreArea> Coastline::Private::read(const GeoBox &box, Resolution r, QString *error)
{
    QStringList messages;
    QList<QList<GeoPoint>> lines;
    {
        Collecting c(&messages);
        char vout[GMT_VF_LEN] = {0};
        GMT_Open_VirtualFile(api, GMT_IS_DATASET, GMT_IS_LINE, unsigned(GMT_OUT) | unsigned(GMT_IS_REFERENCE), nullptr, vout);
        const QString args = QStringLiteral("%1 %2 -W -M ->%3").arg(region(box), dataOption(r), QString::fromLatin1(vout));
        const int code = GMT_Call_Module(api, "coast", GMT_MODULE_CMD, const_cast<char *>(args.toLocal8Bit().constData()));
        if (code != 0) {
            GMT_Close_VirtualFile(api, vout);
            if (error)
                *error = QStringLiteral("GMT could not read the shore: %1").arg(gmtReason(messages, code));
            return nullptr;
        }
        // The bounds as GMT read them, to know the stretches it added
        // along them when it cut the shore to the region.
        const double w = number(box.west).toDouble(), e = number(box.east).toDouble();
        const double so = number(box.south).toDouble(), n = number(box.north).toDouble();
        auto onSameEdge = [&](double x1, double y1, double x2, double y2) {
            auto near = [](double a, double b) { return std::abs(a - b) < 1e-7; };
            return (near(x1, w) && near(x2, w)) || (near(x1, e) && near(x2, e)) || (near(y1, so) && near(y2, so))
                   || (near(y1, n) && near(y2, n));
        };
        const double mid = (box.west + box.east) / 2.0;
        if (auto *data = static_cast<GMT_DATASET *>(GMT_Read_VirtualFile(api, vout))) {
            for (uint64_t t = 0; t < data->n_tables; ++t)
                for (uint64_t g = 0; g < data->table[t]->n_segments; ++g) {
                    const GMT_DATASEGMENT *s = data->table[t]->segment[g];
                    if (s->n_columns < 2)
                        continue;
                    QList<GeoPoint> line;
                    for (uint64_t row = 0; row < s->n_rows; ++row) {
                        const GeoPoint p{s->data[1][row], wrapLongitude(s->data[0][row], mid)};
                        if (!line.isEmpty() && onSameEdge(line.last().lon, line.last().lat, p.lon, p.lat)) {
                            if (line.size() > 1)
                                lines.append(line);
                            line.clear();
                        }
                        line.append(p);
                    }
                    if (line.size() > 1)
                        lines.append(line);
                }
            GMT_Destroy_Data(api, &data);
        }
        GMT_Close_VirtualFile(api, vout);
    }
    ++reads;
    // One position whose side GMT tells; every other one follows from it.
    // Off the centre by odd fractions, so it never sits on a vertex.
    const GeoPoint reference{box.south + (box.north - box.south) * 0.5123457,
                             box.west + (box.east - box.west) * 0.4876543};
    const std::optional<QList<bool>> side = select({reference}, r, error);
    if (!side)
        return nullptr;
    return std::make_shared<const ShoreArea>(box, r, std::move(lines), reference, side->first());
}

Coastline::Coastline(const QString &folder)
    : d(std::make_unique<Private>())
{
    d->folder = folder;
}

Coastline::~Coastline()
{
    QMutexLocker lock(&gmtLock());
    d->kept.clear();
    if (d->api) {
        QStringList messages;
        Collecting c(&messages);
        GMT_Destroy_Session(d->api);
    }
}

Coastline &Coastline::forFolder(const QString &folder)
{
    static QMutex m;
    static std::map<QString, std::unique_ptr<Coastline>> readers;
    QMutexLocker lock(&m);
    std::unique_ptr<Coastline> &c = readers[folder];
    if (!c)
        c = std::make_unique<Coastline>(folder);
    return *c;
}

QString Coastline::missingDataText()
{
    return QStringLiteral("No coastline data installed: apt install gmt-gshhg-high");
}

bool Coastline::available() const
{
    QMutexLocker lock(&gmtLock());
    d->start();
    return d->api && !d->files.empty();
}

QString Coastline::unavailableText() const
{
    QMutexLocker lock(&gmtLock());
    d->start();
    if (d->files.empty())
        return missingDataText();
    if (!d->api)
        return d->startError;
    return {};
}

QList<Resolution> Coastline::installed() const
{
    QMutexLocker lock(&gmtLock());
    d->start();
    QList<Resolution> out;
    for (const auto &f : d->files)
        out << f.first;
    return out;
}

std::optional<Resolution> Coastline::highest() const
{
    const QList<Resolution> all = installed();
    if (all.isEmpty())
        return std::nullopt;
    return all.last();
}

std::optional<Resolution> Coastline::resolutionFor(double spanDegrees) const
{
    const QList<Resolution> all = installed();
    if (all.isEmpty())
        return std::nullopt;
    // The finest data GMT reads for such an area in well under a second.
    Resolution fit = Resolution::Crude;
    if (spanDegrees <= 6.0)
        fit = Resolution::Full;
    else if (spanDegrees <= 20.0)
        fit = Resolution::High;
    else if (spanDegrees <= 60.0)
        fit = Resolution::Intermediate;
    else if (spanDegrees <= 150.0)
        fit = Resolution::Low;
    for (qsizetype i = all.size() - 1; i >= 0; --i)
        if (all[i] <= fit)
            return all[i];
    return all.first();
}

QString Coastline::folderOf(Resolution r) const
{
    QMutexLocker lock(&gmtLock());
    d->start();
    const auto it = d->files.find(r);
    return it == d->files.end() ? QString() : it->second;
}

std::shared_ptr<const ShoreArea> Coastline::area(const GeoBox &box, Resolution r, QString *error)
{
    QMutexLocker lock(&gmtLock());
    d->start();
    if (d->files.find(r) == d->files.end() || !d->api) {
        if (error)
            *error = d->files.empty() || d->api ? missingDataText() : d->startError;
        return nullptr;
    }
    if (!box.isValid() || box.south < -90.0 || box.north > 90.0) {
        if (error)
            *error = QStringLiteral("The area is not a place on the earth.");
        return nullptr;
    }
    for (qsizetype i = 0; i < d->kept.size(); ++i) {
        const std::shared_ptr<const ShoreArea> &a = d->kept[i];
        if (a->resolution() == r && a->box().containsBox(box)) {
            std::shared_ptr<const ShoreArea> hit = a;
            d->kept.move(i, 0);
            return hit;
        }
    }
    std::shared_ptr<const ShoreArea> fresh = d->read(box, r, error);
    if (fresh) {
        d->kept.prepend(fresh);
        while (d->kept.size() > 6)
            d->kept.removeLast();
    }
    return fresh;
}

std::optional<QList<bool>> Coastline::onLand(const QList<GeoPoint> &points, Resolution r, QString *error)
{
    QMutexLocker lock(&gmtLock());
    d->start();
    if (d->files.find(r) == d->files.end() || !d->api) {
        if (error)
            *error = d->files.empty() || d->api ? missingDataText() : d->startError;
        return std::nullopt;
    }
    return d->select(points, r, error);
}

int Coastline::reads() const
{
    QMutexLocker lock(&gmtLock());
    return d->reads;
}

} // namespace bravik::chart
