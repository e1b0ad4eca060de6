#include "ScriptChanges.h"

#include <QRegularExpression>
#include <vector>

namespace bravik::launch {

QStringList scriptLines(const QString &text)
{
    static const QRegularExpression ends(QStringLiteral("\r\n|\r|\n"));
    QStringList lines = text.split(ends);
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

QList<int> ScriptChanges::addedLines() const
{
    QList<int> out;
    for (const LineChange &c : lines)
        if (c.kind == LineChange::Kind::Added)
            out << c.newLine;
    return out;
}

QString ScriptChanges::countText() const
{
    auto lines = [](int n) { return n == 1 ? QStringLiteral("1 line") : QStringLiteral("%1 lines").arg(n); };
    if (unchanged())
        return QStringLiteral("no line changed");
    if (removed == 0)
        return lines(added) + QStringLiteral(" added");
    if (added == 0)
        return lines(removed) + QStringLiteral(" removed");
    return lines(added) + QStringLiteral(" added, %1 removed").arg(removed);
}

QString ScriptChanges::hunks(int context) const
{
    const int n = int(lines.size());
    std::vector<bool> keep(size_t(n), false);
    for (int i = 0; i < n; ++i)
        if (lines[i].kind != LineChange::Kind::Same)
            for (int j = std::max(0, i - context); j <= std::min(n - 1, i + context); ++j)
                keep[size_t(j)] = true;
    QStringList out;
    bool inHunk = false;
    for (int i = 0; i < n; ++i) {
        if (!keep[size_t(i)]) {
            inHunk = false;
            continue;
        }
        const LineChange &c = lines[i];
        if (!inHunk) {
            int at = c.newLine;
            for (int j = i; at == 0 && j < n; ++j)
                at = lines[j].newLine;
            out << QStringLiteral("@@ line %1 @@").arg(at == 0 ? lines[i].oldLine : at);
            inHunk = true;
        }
        const QChar mark = c.kind == LineChange::Kind::Added ? QLatin1Char('+')
                                                            : (c.kind == LineChange::Kind::Removed ? QLatin1Char('-') : QLatin1Char(' '));
        out << QString(mark) + QLatin1Char(' ') + c.text;
    }
    return out.join(QLatin1Char('\n'));
}

ScriptChanges compareScripts(const QString &before, const QString &after)
{
    const QStringList a = scriptLines(before), b = scriptLines(after);
    const int n = int(a.size()), m = int(b.size());
    // The common start and end need no search.
    int head = 0;
    while (head < n && head < m && a[head] == b[head])
        ++head;
    int tail = 0;
    while (tail < n - head && tail < m - head && a[n - 1 - tail] == b[m - 1 - tail])
        ++tail;
    const int an = n - head - tail, bm = m - head - tail;

    // Myers' greedy search for the shortest edit script of the middle,
    // keeping each round's furthest reaches to walk the path back.
    const int max = an + bm;
    const int offset = max + 1;
    std::vector<int> v(size_t(2 * max + 3), 0);
    std::vector<std::vector<int>> trace;
    int found = -1;
    for (int d = 0; d <= max && found < 0; ++d) {
        for (int k = -d; k <= d; k += 2) {
            int x = (k == -d || (k != d && v[size_t(offset + k - 1)] < v[size_t(offset + k + 1)])) ? v[size_t(offset + k + 1)]
                                                                                                  : v[size_t(offset + k - 1)] + 1;
            int y = x - k;
            while (x < an && y < bm && a[head + x] == b[head + y]) {
                ++x;
                ++y;
            }
            v[size_t(offset + k)] = x;
            if (x >= an && y >= bm) {
                found = d;
                break;
            }
        }
        trace.push_back(v);
    }

    QList<LineChange> middle;
    int x = an, y = bm;
    for (int d = found; d > 0; --d) {
        const std::vector<int> &prev = trace[size_t(d - 1)];
        const int k = x - y;
        const bool down = k == -d || (k != d && prev[size_t(offset + k - 1)] < prev[size_t(offset + k + 1)]);
        const int pk = down ? k + 1 : k - 1;
        const int px = prev[size_t(offset + pk)], py = px - pk;
        while (x > px && y > py) {
            --x;
            --y;
            middle.prepend({LineChange::Kind::Same, head + x + 1, head + y + 1, a[head + x]});
        }
        if (down) {
            --y;
            middle.prepend({LineChange::Kind::Added, 0, head + y + 1, b[head + y]});
        } else {
            --x;
            middle.prepend({LineChange::Kind::Removed, head + x + 1, 0, a[head + x]});
        }
    }
    while (x > 0 && y > 0) {
        --x;
        --y;
        middle.prepend({LineChange::Kind::Same, head + x + 1, head + y + 1, a[head + x]});
    }

    ScriptChanges r;
    for (int i = 0; i < head; ++i)
        r.lines.append({LineChange::Kind::Same, i + 1, i + 1, a[i]});
    // Within a change, the removed lines before the added ones.
    for (qsizetype i = 0; i < middle.size();) {
        if (middle[i].kind == LineChange::Kind::Same) {
            r.lines.append(middle[i++]);
            continue;
        }
        qsizetype j = i;
        while (j < middle.size() && middle[j].kind != LineChange::Kind::Same)
            ++j;
        for (qsizetype q = i; q < j; ++q)
            if (middle[q].kind == LineChange::Kind::Removed)
                r.lines.append(middle[q]);
        for (qsizetype q = i; q < j; ++q)
            if (middle[q].kind == LineChange::Kind::Added)
                r.lines.append(middle[q]);
        i = j;
    }
    for (int i = 0; i < tail; ++i)
        r.lines.append({LineChange::Kind::Same, n - tail + i + 1, m - tail + i + 1, a[n - tail + i]});
    for (const LineChange &c : std::as_const(r.lines)) {
        r.added += c.kind == LineChange::Kind::Added;
        r.removed += c.kind == LineChange::Kind::Removed;
    }
    return r;
}

} // namespace bravik::launch
