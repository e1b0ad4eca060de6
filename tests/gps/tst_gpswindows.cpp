// "Get GPS Data" in the weather and mission windows: the feed opened on
// load, the six position boxes filled through the controls so the row stores
// them, the weather window emptying its buffer and the mission window
// keeping it, and "Return to Main" ending the connection.
#include "FieldLogWindows.h"
#include "GpsFeed.h"
#include "GpsLink.h"
#include "GpsTestSupport.h"
#include "Nmea.h"
#include "RecordWindows.h"
#include "SentenceBuffer.h"
#include "Settings.h"
#include "WindowTest.h"
#include "WindowManager.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>

using namespace bravik;
using namespace bravik::test::gps;
using bravik::gps::SentenceBuffer;

namespace {

const char *const positionControls[] = {"txtLatitudeInt", "txtLatitudeMinutes", "cmbNS",
                                        "txtLongitudeInt", "txtLongitudeMinutes", "cmbEW"};
const char *const positionFields[] = {"Latitude Int", "Latitude Minutes", "HemisphereNS",
                                      "Longitude Int", "Longitude Minutes", "HemisphereEW"};

QStringList positionTexts(QWidget *w)
{
    QStringList out;
    for (const char *name : positionControls) {
        const QString n = QString::fromLatin1(name);
        if (auto *e = w->findChild<QLineEdit *>(n))
            out << e->text();
        else if (auto *c = w->findChild<QComboBox *>(n))
            out << c->currentText();
        else
            out << QStringLiteral("(missing %1)").arg(n);
    }
    return out;
}

void pressGetFix(QWidget *w)
{
    auto *b = w->findChild<QPushButton *>(QStringLiteral("cmdGetFix"));
    QVERIFY(b);
    b->click();
}

gps::GpsFeed *feedOf(QWidget *w)
{
    if (auto *weather = qobject_cast<frmWeatherObservation *>(w))
        return weather->gps()->feed();
    return qobject_cast<frmMission *>(w)->gps()->feed();
}

// A GPS server the test drives by hand: it sends what it is told, when told.
class HandServer : public QObject
{
public:
    HandServer()
    {
        m_server.listen(QHostAddress::LocalHost, 0);
        connect(&m_server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket *s = m_server.nextPendingConnection())
                clients << s;
        });
    }
    quint16 port() const { return m_server.serverPort(); }
    void send(const QByteArray &data)
    {
        for (const auto &c : std::as_const(clients))
            if (c)
                c->write(data);
    }
    QList<QPointer<QTcpSocket>> clients;

private:
    QTcpServer m_server;
};

void useGpsServer(quint16 port)
{
    Settings s = settings();
    s.gpsHost = QStringLiteral("127.0.0.1");
    s.gpsPort = port;
    setSettings(s);
}

// The stored value of a field of the table's only row.
QString storedField(const QString &table, const QString &field)
{
    const QString name = QStringLiteral("gps-probe");
    QString value;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(settings().database);
        if (db.open()) {
            QSqlQuery q(db);
            if (q.exec(QStringLiteral("SELECT \"%1\" FROM \"%2\"").arg(field, table)) && q.next())
                value = q.value(0).toString();
            else
                value = QStringLiteral("(no row)");
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
    return value;
}

} // namespace

class TstGpsWindows : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void pressedTwice_data();
    void pressedTwice();
    void nothingReceived_data();
    void nothingReceived();
    void returnToMainClosesConnection_data();
    void returnToMainClosesConnection();
    void statusLineMatchesTheButton_data();
    void statusLineMatchesTheButton();
    void endToEndWithSimulator();

private:
    std::optional<test::WindowTest> m_window;
};

void TstGpsWindows::init()
{
    m_window.emplace(logbook::registerWindows, QStringList(), test::WindowTest::Unload);
}

void TstGpsWindows::cleanup()
{
    m_window.reset();
}

void TstGpsWindows::pressedTwice_data()
{
    QTest::addColumn<QString>("window");
    QTest::addColumn<bool>("keepsBuffer");
    QTest::newRow("weather") << "frmWeatherObservation" << false;
    QTest::newRow("mission") << "frmMission" << true;
}

void TstGpsWindows::pressedTwice()
{
    QFETCH(QString, window);
    QFETCH(bool, keepsBuffer);
    HandServer server;
    useGpsServer(server.port());
    QWidget *w = windows().show(window);
    QVERIFY(w);
    auto *label = w->findChild<QLabel *>(QStringLiteral("lblGpsStatus"));
    QVERIFY(label);
    const QString source = QStringLiteral("127.0.0.1:%1").arg(server.port());
    QTRY_COMPARE_WITH_TIMEOUT(feedOf(w)->state(), gps::LinkState::Connected, 10000);
    server.send(otherText);
    QTRY_COMPARE_WITH_TIMEOUT(label->text(), QStringLiteral("GPS: connected to %1, no fix yet").arg(source), 10000);

    server.send(example + second);
    QTRY_VERIFY_WITH_TIMEOUT(feedOf(w)->buffer().text().endsWith(QLatin1String(second)), 10000);
    QVERIFY2(label->text().startsWith(QStringLiteral("GPS: connected to %1, fix ").arg(source)),
             qPrintable(label->text()));

    // The older sentence first.
    pressGetFix(w);
    QCOMPARE(positionTexts(w), exampleTexts);
    QVERIFY(m_window->seams.messages->texts.isEmpty());
    // The line tells what the button would use now: the mission window
    // still holds the sentence, the weather window has none left.
    if (keepsBuffer)
        QVERIFY2(label->text().startsWith(QStringLiteral("GPS: connected to %1, fix ").arg(source)),
                 qPrintable(label->text()));
    else
        QVERIFY2(!label->text().contains(QLatin1String(" old")), qPrintable(label->text()));

    pressGetFix(w);
    if (keepsBuffer) {
        QCOMPARE(positionTexts(w), exampleTexts);
        QVERIFY(m_window->seams.messages->texts.isEmpty());
    } else {
        // Emptied by the first fix: nothing to use, the boxes stay.
        QCOMPARE(m_window->seams.messages->texts,
                 QStringList{QStringLiteral("GPS string not available, enter position manually.")});
        QCOMPARE(positionTexts(w), exampleTexts);
        // The next sentence to arrive is the next fix.
        server.send(second);
        QTRY_VERIFY_WITH_TIMEOUT(feedOf(w)->buffer().fix().has_value(), 10000);
        pressGetFix(w);
        QCOMPARE(positionTexts(w), secondTexts);
    }

    // The table had no row: the fix began one, and closing stores all six
    // fields, the degrees that matched the boxes' first texts included.
    const QStringList shown = positionTexts(w);
    w->findChild<QPushButton *>(QStringLiteral("cmdQuit"))->click();
    QTRY_VERIFY_WITH_TIMEOUT(!windows().existing(window), 20000);
    test::flushDeletes();
    const QString table = keepsBuffer ? QStringLiteral("MissionData") : QStringLiteral("WeatherObservation");
    for (int i = 0; i < 6; ++i)
        QCOMPARE(storedField(table, QString::fromLatin1(positionFields[i])), shown.at(i));
}

void TstGpsWindows::nothingReceived_data()
{
    pressedTwice_data();
}

void TstGpsWindows::nothingReceived()
{
    QFETCH(QString, window);
    const quint16 port = freePort(); // nobody listens there
    useGpsServer(port);
    QWidget *w = windows().show(window);
    auto *label = w->findChild<QLabel *>(QStringLiteral("lblGpsStatus"));
    QTRY_COMPARE_WITH_TIMEOUT(label->text(), QStringLiteral("GPS: no connection to 127.0.0.1:%1").arg(port), 10000);
    const QStringList before = positionTexts(w);
    pressGetFix(w);
    QCOMPARE(m_window->seams.messages->texts,
             QStringList{QStringLiteral("GPS string not available, enter position manually.")});
    QCOMPARE(positionTexts(w), before);
}

void TstGpsWindows::returnToMainClosesConnection_data()
{
    pressedTwice_data();
}

void TstGpsWindows::returnToMainClosesConnection()
{
    QFETCH(QString, window);
    HandServer server;
    useGpsServer(server.port());
    QWidget *w = windows().show(window);
    QTRY_COMPARE_WITH_TIMEOUT(server.clients.size(), 1, 10000);
    QPointer<QTcpSocket> peer = server.clients.first();
    QTRY_COMPARE_WITH_TIMEOUT(feedOf(w)->state(), gps::LinkState::Connected, 10000);

    w->findChild<QPushButton *>(QStringLiteral("cmdQuit"))->click();
    QTRY_VERIFY_WITH_TIMEOUT(!windows().existing(window), 20000);
    test::flushDeletes();
    QTRY_VERIFY_WITH_TIMEOUT(!peer || peer->state() != QAbstractSocket::ConnectedState, 10000);

    // Loading the window again opens a new connection with an empty buffer.
    w = windows().show(window);
    QTRY_COMPARE_WITH_TIMEOUT(server.clients.size(), 2, 10000);
    QCOMPARE(feedOf(w)->buffer().size(), 0);
}

void TstGpsWindows::statusLineMatchesTheButton_data()
{
    pressedTwice_data();
}

void TstGpsWindows::statusLineMatchesTheButton()
{
    // The line gives the age of the sentence "Get GPS Data" would take, the
    // oldest usable one, and says so when the buffer holds none.
    QFETCH(QString, window);
    HandServer server;
    useGpsServer(server.port());
    QWidget *w = windows().show(window);
    auto *label = w->findChild<QLabel *>(QStringLiteral("lblGpsStatus"));
    QVERIFY(label);
    const QString connected = QStringLiteral("GPS: connected to 127.0.0.1:%1, ").arg(server.port());
    QTRY_COMPARE_WITH_TIMEOUT(feedOf(w)->state(), gps::LinkState::Connected, 10000);
    auto shownAge = [&]() -> int {
        static const QRegularExpression age(QStringLiteral(", fix (\\d+) s old$"));
        const auto m = age.match(label->text());
        return m.hasMatch() ? m.captured(1).toInt() : -1;
    };

    // Other sentences keep coming, so the source is never silent.
    QTimer chatter;
    connect(&chatter, &QTimer::timeout, &server, [&] { server.send(otherText); });
    chatter.start(300);

    server.send(example);
    QTRY_VERIFY_WITH_TIMEOUT(feedOf(w)->fixAgeMs().has_value(), 10000);
    QTRY_VERIFY_WITH_TIMEOUT(feedOf(w)->fixAgeMs().value_or(0) >= 2500, 15000);
    server.send(second);
    QTRY_VERIFY_WITH_TIMEOUT(feedOf(w)->buffer().text().contains(QLatin1String(second)), 10000);
    // A tick of the line later, it still ages the first sentence, not the
    // one just in.
    QTest::qWait(1200);
    QVERIFY2(label->text().startsWith(connected), qPrintable(label->text()));
    QVERIFY2(shownAge() >= 3, qPrintable(label->text()));

    // The buffer overflows and is emptied: the line says there is nothing,
    // as the button does.
    server.send(QByteArray(SentenceBuffer::limit + 1, '\n'));
    QTRY_VERIFY_WITH_TIMEOUT(feedOf(w)->buffer().discards() > 0, 10000);
    QTRY_COMPARE_WITH_TIMEOUT(label->text(), connected + QStringLiteral("no fix yet"), 10000);
    pressGetFix(w);
    QCOMPARE(m_window->seams.messages->texts,
             QStringList{QStringLiteral("GPS string not available, enter position manually.")});

    // A new sentence: a fresh age again, and the button takes it.
    server.send(second);
    QTRY_VERIFY_WITH_TIMEOUT(label->text().startsWith(connected + QStringLiteral("fix ")), 10000);
    QVERIFY2(shownAge() >= 0 && shownAge() <= 2, qPrintable(label->text()));
    pressGetFix(w);
    QCOMPARE(positionTexts(w), secondTexts);
}

void TstGpsWindows::endToEndWithSimulator()
{
    Simulator sim({"--port", "0", "--rate", "20"});
    const quint16 port = sim.waitForPort();
    QVERIFY(port != 0);
    useGpsServer(port);

    // A new mission log entry, as the submission begins it.
    auto *w = windows().show<frmMission>();
    QVERIFY(w);
    QTRY_VERIFY_WITH_TIMEOUT(w->isOpen(), 20000);
    QVERIFY(w->beginNewRow());
    QVERIFY(test::waitForLogbook());
    w->txtSubmittedBy->setText(QStringLiteral("Ada"));
    QTRY_VERIFY_WITH_TIMEOUT(
        w->lblGpsStatus->text().startsWith(QStringLiteral("GPS: connected to 127.0.0.1:%1, fix ").arg(port)), 10000);
    pressGetFix(w);
    QCOMPARE(positionTexts(w), exampleTexts); // the simulator's start position

    // The server stops: the window says so and still fixes from its buffer.
    sim.stop();
    QTRY_VERIFY_WITH_TIMEOUT(w->lblGpsStatus->text().startsWith(
                                 QStringLiteral("GPS: no connection to 127.0.0.1:%1").arg(port)), 10000);
    pressGetFix(w);
    QCOMPARE(positionTexts(w), exampleTexts);
    QVERIFY(m_window->seams.messages->texts.isEmpty());

    w->findChild<QPushButton *>(QStringLiteral("cmdQuit"))->click();
    QTRY_VERIFY_WITH_TIMEOUT(!windows().existing<frmMission>(), 20000);
    test::flushDeletes();
    for (int i = 0; i < 6; ++i)
        QCOMPARE(storedField(QStringLiteral("MissionData"), QString::fromLatin1(positionFields[i])),
                 exampleTexts.at(i));
}

QTEST_MAIN(TstGpsWindows)
#include "tst_gpswindows.moc"
