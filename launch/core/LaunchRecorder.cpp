#include "LaunchRecorder.h"

#include "LogbookService.h"

#include <QJsonObject>
#include <QUuid>

namespace bravik::launch {

namespace {

using namespace bravik::logbook;

// "Reviewer = "Eve ""E""", RunFile = "/m/a.cfg"": the values for people,
// each cut after 200 characters.
QString valuesText(const QVariantMap &values)
{
    QStringList parts;
    for (const QString &field : launchlog::fields()) {
        if (!values.contains(field))
            continue;
        QString v = values.value(field).toString();
        // (A reviewed mission's whole text is kept, not told.)
        if (v.size() > 200)
            v = v.left(200) + QStringLiteral("…");
        v.replace(QLatin1Char('"'), QStringLiteral("\"\""));
        v.replace(QLatin1Char('\n'), QStringLiteral("\\n"));
        v.replace(QLatin1Char('\r'), QStringLiteral("\\r"));
        parts << QStringLiteral("%1 = \"%2\"").arg(field, v);
    }
    return parts.join(QStringLiteral(", "));
}

bool store(Database &db, bool isInsert, const QString &id, const QVariantMap &values, QString *error)
{
    return isInsert ? launchlog::insert(db, id, values, error) : launchlog::update(db, id, values, error);
}

} // namespace

LaunchRecorder::LaunchRecorder(const DatabaseLocation &where, std::chrono::milliseconds deadline, QObject *parent)
    : QObject(parent)
    , m_where(where)
    , m_deadline(deadline)
    , m_client(std::make_unique<LogbookClient>(where))
{
}

LaunchRecorder::~LaunchRecorder() = default;

const DatabaseLocation &LaunchRecorder::location() const { return m_where; }

QString LaunchRecorder::newId()
{
    return QUuid::createUuid().toString(QUuid::WithoutBraces);
}

QString LaunchRecorder::keptKind() { return QStringLiteral("launch"); }

void LaunchRecorder::registerKeptHandler()
{
    LogbookService::registerKeptHandler(keptKind(), [](Database &db, const QJsonObject &data, QString *error) {
        return store(db, data.value(QStringLiteral("op")).toString() == QLatin1String("insert"),
                     data.value(QStringLiteral("id")).toString(),
                     data.value(QStringLiteral("values")).toObject().toVariantMap(), error);
    });
}

void LaunchRecorder::insert(const QString &id, const QVariantMap &values, Done done)
{
    write(Op::Insert, id, values, std::move(done));
}

void LaunchRecorder::update(const QString &id, const QVariantMap &values, Done done)
{
    if (m_refused.contains(id)) {
        QMetaObject::invokeMethod(this, [done] { if (done) done(false, launchlog::noRecordText()); },
                                  Qt::QueuedConnection);
        return;
    }
    write(Op::Update, id, values, std::move(done));
}

void LaunchRecorder::write(Op op, const QString &id, const QVariantMap &values, Done done)
{
    const bool isInsert = op == Op::Insert;
    JobOptions options;
    options.write = JobOptions::Write::Unattended;
    options.deadline = m_deadline;
    options.kept.kind = keptKind();
    options.kept.data = QJsonObject{{QStringLiteral("op"), isInsert ? QStringLiteral("insert") : QStringLiteral("update")},
                                    {QStringLiteral("id"), id},
                                    {QStringLiteral("values"), QJsonObject::fromVariantMap(values)}};
    options.kept.text = isInsert ? QStringLiteral("insert %1 %2: %3").arg(launchlog::tableName(), id, valuesText(values))
                                 : QStringLiteral("update %1 %2: %3").arg(launchlog::tableName(), id, valuesText(values));
    m_client->run(
        options,
        [isInsert, id, values](JobContext &c) {
            QString error;
            if (!store(c.database(), isInsert, id, values, &error))
                c.fail(error);
        },
        [this, isInsert, id, done](const Answer<void> &a) {
            // Withdrawn only at quitting: the write is kept for the next start.
            if (a.status == JobStatus::Withdrawn || a.status == JobStatus::TimedOut)
                return;
            if (isInsert && !a.ok())
                m_refused.insert(id);
            if (a.ok())
                Q_EMIT changed(id);
            if (done)
                done(a.ok(), a.error);
        });
}

void LaunchRecorder::readUnfinished(const QString &workstation,
                                    std::function<void(bool, const Records &, const QString &)> done)
{
    JobOptions options;
    options.deadline = m_deadline;
    m_client->run(
        options,
        [workstation](JobContext &c) {
            Records records;
            QString error;
            if (!launchlog::unfinished(c.database(), workstation, &records, &error))
                c.fail(error);
            return records;
        },
        [done](const Answer<Records> &a) {
            if (done)
                done(a.ok(), a.value, a.error);
        });
}

bool LaunchRecorder::refused(const QString &id) const { return m_refused.contains(id); }
bool LaunchRecorder::isBusy() const { return m_client->isBusy(); }

} // namespace bravik::launch
