#include "BatteryPacks.h"

#include "Schema.h"

#include <QHash>
#include <algorithm>
#include <charconv>
#include <cmath>

namespace bravik::ops {

using logbook::operations::StoredEntry;

QDateTime Pack::firstCharge() const { return charges.isEmpty() ? QDateTime() : charges.first().when; }
QDateTime Pack::lastCharge() const { return charges.isEmpty() ? QDateTime() : charges.last().when; }
qint64 Pack::lastKey() const { return charges.isEmpty() ? -1 : charges.last().key; }
std::optional<double> Pack::lastMinVolts() const { return charges.isEmpty() ? std::nullopt : charges.last().minVolts; }
std::optional<double> Pack::lastMaxVolts() const { return charges.isEmpty() ? std::nullopt : charges.last().maxVolts; }

std::optional<double> readVolts(const QString &text, bool *skipped)
{
    *skipped = false;
    QStringView t = QStringView(text).trimmed();
    if (t.isEmpty())
        return std::nullopt;
    if (t.endsWith(QLatin1Char('V'), Qt::CaseInsensitive))
        t = t.chopped(1).trimmed();
    // Digits with one point (or a comma for it) and a sign, nothing else:
    // no exponent, no "inf".
    char number[32];
    const bool comma = !t.contains(QLatin1Char('.'));
    qsizetype length = 0;
    int digits = 0, points = 0;
    for (qsizetype i = 0; i < t.size(); ++i) {
        char16_t c = t.at(i).unicode();
        if (comma && c == u',')
            c = u'.';
        if (c >= u'0' && c <= u'9')
            ++digits;
        else if (c == u'.')
            ++points;
        else if (!(i == 0 && (c == u'+' || c == u'-')))
            length = sizeof number;
        if (length >= qsizetype(sizeof number) - 1)
            break;
        number[length++] = c == u'+' ? ' ' : char(c);
    }
    double v = 0;
    const char *begin = number[0] == ' ' ? number + 1 : number;
    const auto [end, error] = digits > 0 && points <= 1 && length < qsizetype(sizeof number) - 1
                                  ? std::from_chars(begin, number + length, v, std::chars_format::fixed)
                                  : std::from_chars_result{begin, std::errc::invalid_argument};
    if (error != std::errc() || end != number + length || !std::isfinite(v)) {
        *skipped = true;
        return std::nullopt;
    }
    return v;
}

namespace {

// The packs counted one charge at a time, as the charges are read.
class PackTally
{
public:
    PackTally(const ClockFormat &clock, const QDateTime &until)
        : m_clock(clock)
        , m_until(until)
        , m_at(logbook::operations::entryColumnIndex(QStringLiteral("BatteryCharge")))
    {
        // The fields' places, looked up once.
        m_dateTime = m_at.value(QStringLiteral("Date/Time"));
        m_stamp = m_at.value(logbook::stampedAtColumn());
        for (int slot = 0; slot < 3; ++slot) {
            m_serials[slot] = m_at.value(QStringLiteral("Batt%1SN").arg(slot + 1));
            m_lows[slot] = m_at.value(QStringLiteral("Bat%1MinV").arg(slot + 1));
            m_highs[slot] = m_at.value(QStringLiteral("Bat%1MaxV").arg(slot + 1));
        }
    }

    void add(const StoredEntry &e)
    {
        if (e.voided || e.table != QLatin1String("BatteryCharge") || e.values.size() < m_at.size())
            return;
        const EntryTime time = entryTime(e.values.at(m_dateTime), e.values.at(m_stamp), m_clock);
        if (time.source == EntryTime::Source::None) {
            ++m_out.untimedCharges;
            return;
        }
        if (m_until.isValid() && time.when >= m_until)
            return;
        QString seen[3];
        for (int slot = 0; slot < 3; ++slot) {
            const QString serial = e.values.at(m_serials[slot]).trimmed();
            // A pack named twice in one charge is charged once.
            if (serial.isEmpty() || serial == seen[0] || serial == seen[1])
                continue;
            seen[slot] = serial;
            PackCharge c;
            c.when = time.when;
            c.key = e.key;
            bool skipped = false;
            c.minVolts = readVolts(e.values.at(m_lows[slot]), &skipped);
            m_out.skippedVolts += skipped ? 1 : 0;
            c.maxVolts = readVolts(e.values.at(m_highs[slot]), &skipped);
            m_out.skippedVolts += skipped ? 1 : 0;
            auto it = m_index.constFind(serial);
            if (it == m_index.constEnd()) {
                it = m_index.insert(serial, m_out.packs.size());
                m_out.packs.append(Pack{serial, {}});
            }
            m_out.packs[*it].charges << c;
        }
    }

    PackOverview finish()
    {
        // Charges mostly come oldest first already.
        const auto earlier = [](const PackCharge &a, const PackCharge &b) {
            return a.when != b.when ? a.when < b.when : a.key < b.key;
        };
        for (Pack &p : m_out.packs)
            if (!std::is_sorted(p.charges.cbegin(), p.charges.cend(), earlier))
                std::stable_sort(p.charges.begin(), p.charges.end(), earlier);
        std::sort(m_out.packs.begin(), m_out.packs.end(), [](const Pack &a, const Pack &b) { return a.serial < b.serial; });
        return std::move(m_out);
    }

private:
    const ClockFormat &m_clock;
    const QDateTime m_until;
    const QHash<QString, int> &m_at;
    int m_dateTime = 0, m_stamp = 0;
    int m_serials[3] = {}, m_lows[3] = {}, m_highs[3] = {};
    QHash<QString, qsizetype> m_index;
    PackOverview m_out;
};

} // namespace

PackOverview aggregatePacks(const QList<StoredEntry> &charges, const ClockFormat &clock, const QDateTime &until)
{
    PackTally tally(clock, until);
    for (const StoredEntry &e : charges)
        tally.add(e);
    return tally.finish();
}

std::optional<PackOverview> readPacks(logbook::Database &db, const ClockFormat &clock, const QDateTime &until,
                                      const ReadSteps &steps, QString *error)
{
    // Each charge counted as it is read, none kept: a year of them is
    // thousands of entries.
    PackTally tally(clock, until);
    qint64 read = 0;
    bool stopped = false;
    const bool ok = logbook::operations::readBatteryCharges(db, [&](StoredEntry &&e) {
        if ((read++ & 255) == 0 && steps.stop()) {
            stopped = true;
            return false;
        }
        tally.add(e);
        return true;
    }, error);
    if (!ok || stopped) {
        if (stopped)
            error->clear();
        return std::nullopt;
    }
    steps.tell(1.0);
    return tally.finish();
}

} // namespace bravik::ops
