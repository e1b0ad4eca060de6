// The sentence buffer and the position fix, without any window or socket.
#include "GpsFeed.h"
#include "GpsTestSupport.h"
#include "Nmea.h"
#include "SentenceBuffer.h"

#include <QtTest>

using namespace bravik::gps;
using namespace bravik::test::gps;

Q_DECLARE_METATYPE(std::optional<GllPosition>)

namespace {

const GllPosition examplePos{"36", "48.1234", "N", "121", "47.5678", "W"};
const GllPosition secondPos{"50", "00.0000", "S", "001", "30.0000", "E"};

QString show(const std::optional<GllPosition> &p)
{
    if (!p)
        return QStringLiteral("(none)");
    return QStringList{p->latitudeInt, p->latitudeMinutes, p->ns, p->longitudeInt, p->longitudeMinutes, p->ew}
        .join(u'|');
}

} // namespace

class TstGpsFix : public QObject
{
    Q_OBJECT
private slots:
    void parseSentence_data();
    void parseSentence();
    void oldestUsableSentence_data();
    void oldestUsableSentence();
    void sentenceSplitOverReceives();
    void bufferLimit_data();
    void bufferLimit();
    void usableCountPerReceive();
    void generatedSentencesDecode_data();
    void generatedSentencesDecode();
    void statusLine_data();
    void statusLine();
};

void TstGpsFix::parseSentence_data()
{
    QTest::addColumn<QString>("sentence"); // without its line end
    QTest::addColumn<std::optional<GllPosition>>("expected");
    const std::optional<GllPosition> none;

    QTest::newRow("four decimals") << "$GPGLL,3648.1234,N,12147.5678,W,225444,A*39" << std::optional(examplePos);
    QTest::newRow("two decimals") << "$GPGLL,3648.12,N,12147.56,W,225444,A*31"
                                  << std::optional(GllPosition{"36", "48.12", "N", "121", "47.56", "W"});
    QTest::newRow("trailing empty field") << "$GPGLL,4916.45,N,12311.12,W,225444,A,*1D"
                                          << std::optional(GllPosition{"49", "16.45", "N", "123", "11.12", "W"});
    QTest::newRow("mode field") << "$GPGLL,3648.1234,N,12147.5678,W,225444,A,A*54" << std::optional(examplePos);
    QTest::newRow("no checksum") << "$GPGLL,3648.1234,N,12147.5678,W,225444,A" << std::optional(examplePos);
    QTest::newRow("lower-case checksum") << "$GPGLL,3648.12,N,12147.56,W,225444,A,A*5c"
                                         << std::optional(GllPosition{"36", "48.12", "N", "121", "47.56", "W"});
    QTest::newRow("south east") << "$GPGLL,5000.0000,S,00130.0000,E,010203,A*30" << std::optional(secondPos);
    QTest::newRow("old form without time") << "$GPGLL,3648.1234,N,12147.5678,W"
                                           << std::optional(examplePos);
    QTest::newRow("whole minutes") << "$GPGLL,3648,N,12147,W" << std::optional(GllPosition{"36", "48", "N", "121", "47", "W"});

    QTest::newRow("no fix") << "$GPGLL,,,,,,V,N*64" << none;
    QTest::newRow("status V with position") << "$GPGLL,3648.1234,N,12147.5678,W,225444,V*2E" << none;
    QTest::newRow("bad checksum") << "$GPGLL,3648.1234,N,12147.5678,W,225444,A*38" << none;
    QTest::newRow("checksum one digit") << "$GPGLL,3648.1234,N,12147.5678,W,225444,A*3" << none;
    QTest::newRow("checksum not hex") << "$GPGLL,3648.1234,N,12147.5678,W,225444,A*G9" << none;
    QTest::newRow("checksum then junk") << "$GPGLL,3648.1234,N,12147.5678,W,225444,A*39 x" << none;
    QTest::newRow("letters in latitude") << "$GPGLL,36A8.1234,N,12147.5678,W,225444,A" << none;
    QTest::newRow("latitude too short") << "$GPGLL,364,N,12147.5678,W,225444,A" << none;
    QTest::newRow("longitude with two degree digits") << "$GPGLL,3648.1234,N,2147.5678,W,225444,A" << none;
    QTest::newRow("point without decimals") << "$GPGLL,3648.,N,12147.5678,W,225444,A" << none;
    QTest::newRow("missing hemisphere") << "$GPGLL,3648.1234,,12147.5678,W,225444,A" << none;
    QTest::newRow("hemisphere not a hemisphere") << "$GPGLL,3648.1234,N,12147.5678,X,225444,A" << none;
    QTest::newRow("too few fields") << "$GPGLL,3648.1234,N,12147.5678" << none;
    QTest::newRow("another sentence began inside") << "$GPGLL,3648.1234,N,12$GPGGA,1,2,3" << none;
    QTest::newRow("longer tag") << "$GPGLLX,3648.1234,N,12147.5678,W,225444,A" << none;
    QTest::newRow("other talker") << "$GNGLL,3648.1234,N,12147.5678,W,225444,A" << none;
}

void TstGpsFix::parseSentence()
{
    QFETCH(QString, sentence);
    QFETCH(std::optional<GllPosition>, expected);
    QCOMPARE(show(parseGll(sentence)), show(expected));
}

void TstGpsFix::oldestUsableSentence_data()
{
    QTest::addColumn<QByteArray>("buffer");
    QTest::addColumn<std::optional<GllPosition>>("expected");
    const std::optional<GllPosition> none;
    const std::optional<GllPosition> ex(examplePos);

    QTest::newRow("empty") << QByteArray() << none;
    QTest::newRow("only other sentences") << otherText << none;
    QTest::newRow("example after other text") << otherText + example << ex;
    QTest::newRow("after garbage without line end") << QByteArray("xx$GP,,junk") + example << ex;
    QTest::newRow("cut after 20 characters") << otherText + example.left(20) << none;
    QTest::newRow("complete but line end not yet arrived") << otherText + example.left(example.size() - 2) << none;
    QTest::newRow("line end is CR only") << example.left(example.size() - 1) << ex;
    QTest::newRow("line end is LF only") << example.left(example.size() - 2) + "\n" << ex;
    QTest::newRow("two sentences, older used") << example + otherText + second << ex;
    QTest::newRow("two sentences, other order") << second + example << std::optional(secondPos);
    QTest::newRow("no fix skipped") << "$GPGLL,,,,,,V,N*64\r\n" + second + example << std::optional(secondPos);
    QTest::newRow("bad checksum skipped") << "$GPGLL,3648.1234,N,12147.5678,W,225444,A*38\r\n" + second
                                          << std::optional(secondPos);
    QTest::newRow("cut sentence then a whole one on the same line")
        << QByteArray("$GPGLL,3648.12") + second << std::optional(secondPos);
    QTest::newRow("usable sentence after an incomplete one is still arriving")
        << example.left(20) + second << std::optional(secondPos);
    QTest::newRow("only unusable") << QByteArray("$GPGLL,,,,,,V,N*64\r\n$GPGLL,3648.1234,N,12147.5678,W,225444,A*38\r\n")
                                   << none;
}

void TstGpsFix::oldestUsableSentence()
{
    QFETCH(QByteArray, buffer);
    QFETCH(std::optional<GllPosition>, expected);
    QCOMPARE(show(findFix(QString::fromLatin1(buffer))), show(expected));

    // The same text received one byte at a time gives the same fix.
    SentenceBuffer b;
    for (char c : buffer)
        b.append(QByteArrayView(&c, 1));
    QCOMPARE(b.text(), QString::fromLatin1(buffer));
    QCOMPARE(show(b.fix()), show(expected));
}

void TstGpsFix::sentenceSplitOverReceives()
{
    for (qsizetype cut = 1; cut <= example.size() - 2; ++cut) { // up to the line end
        SentenceBuffer b;
        b.append(otherText);
        b.append(example.left(cut));
        QVERIFY2(!b.fix(), qPrintable(QStringLiteral("used before complete, cut at %1").arg(cut)));
        b.append(example.mid(cut));
        QCOMPARE(show(b.fix()), show(examplePos));
    }
}

void TstGpsFix::bufferLimit_data()
{
    QTest::addColumn<int>("held");     // characters already in the buffer
    QTest::addColumn<int>("received"); // characters of the next receive
    QTest::addColumn<int>("expected"); // buffer length afterwards

    QTest::newRow("exactly 10000 in one receive") << 0 << 10000 << 10000;
    QTest::newRow("10001 in one receive") << 0 << 10001 << 0;
    QTest::newRow("reaching exactly 10000") << 9000 << 1000 << 10000;
    QTest::newRow("one character over") << 9000 << 1001 << 0;
    QTest::newRow("full buffer, one more") << 10000 << 1 << 0;
    QTest::newRow("full buffer, nothing more") << 10000 << 0 << 10000;
    QTest::newRow("huge receive") << 5 << 1000000 << 0;
}

void TstGpsFix::bufferLimit()
{
    QFETCH(int, held);
    QFETCH(int, received);
    QFETCH(int, expected);
    SentenceBuffer b;
    // Bytes above 127 still count one character each.
    b.append(QByteArray(held, char(0xB0)));
    QCOMPARE(b.size(), qsizetype(held));
    b.append(QByteArray(received, 'x'));
    QCOMPARE(b.size(), qsizetype(expected));
    QCOMPARE(b.discards(), expected == held + received ? 0 : 1);

    // After a discard the buffer fills again from nothing.
    b.append(example);
    if (expected == 0)
        QCOMPARE(show(b.fix()), show(examplePos));
}

void TstGpsFix::usableCountPerReceive()
{
    SentenceBuffer b;
    QCOMPARE(b.append(otherText), 0);
    QCOMPARE(b.append(example.left(30)), 0);
    QCOMPARE(b.append(example.mid(30)), 1);
    QCOMPARE(b.append("$GPGLL,,,,,,V,N*64\r\n" + second + example), 2);
    b.clear();
    QCOMPARE(b.size(), 0);
    QVERIFY(!b.fix());
    // A line begun before the clear does not count its old start.
    QCOMPARE(b.append(example.mid(5)), 0);
    QCOMPARE(b.append(example), 1);
    // A receive that overflows is dropped and counts nothing.
    QCOMPARE(b.append(QByteArray(SentenceBuffer::limit, '\n') + example), 0);
    QCOMPARE(b.size(), 0);
}

void TstGpsFix::generatedSentencesDecode_data()
{
    QTest::addColumn<double>("lat");
    QTest::addColumn<double>("lon");
    QTest::addColumn<QString>("expected");
    QTest::newRow("example position") << 36.8020567 << -121.7927967 << "36|48.1234|N|121|47.5678|W";
    QTest::newRow("south east") << -50.0 << 1.5 << "50|00.0000|S|001|30.0000|E";
    QTest::newRow("minutes round up to a whole degree") << 10.9999999 << -0.9999999 << "11|00.0000|N|001|00.0000|W";
    QTest::newRow("zero") << 0.0 << 0.0 << "00|00.0000|N|000|00.0000|E";
}

void TstGpsFix::generatedSentencesDecode()
{
    QFETCH(double, lat);
    QFETCH(double, lon);
    QFETCH(QString, expected);
    const QTime t(22, 54, 44);
    const QByteArray gll = makeGll(lat, lon, t);
    QVERIFY(gll.endsWith("\r\n"));
    QCOMPARE(show(parseGll(QString::fromLatin1(gll.chopped(2)))), expected);
    // The other two sentences carry valid checksums too.
    for (const QByteArray &s : {makeGga(lat, lon, t), makeRmc(lat, lon, QDateTime(QDate(2026, 12, 8), t, Qt::UTC))}) {
        const qsizetype star = s.lastIndexOf('*');
        QCOMPARE(s.mid(star + 1, 2).toUInt(nullptr, 16), uint(nmeaChecksum(s.mid(1, star - 1))));
    }
}

void TstGpsFix::statusLine_data()
{
    QTest::addColumn<int>("state");
    QTest::addColumn<qint64>("ageMs"); // -1: no fix yet
    QTest::addColumn<QString>("expected");
    const int up = int(LinkState::Connected), down = int(LinkState::Down);
    QTest::newRow("connected, fresh") << up << qint64(2400) << "GPS: connected, fix 2 s old";
    QTest::newRow("connected, nothing yet") << up << qint64(-1) << "GPS: connected, no fix yet";
    QTest::newRow("connected, stale") << up << qint64(300000) << "GPS: connected, fix 5 min old";
    QTest::newRow("never connected") << down << qint64(-1) << "GPS: no connection to 127.0.0.1:3004";
    QTest::newRow("lost") << down << qint64(61000) << "GPS: no connection to 127.0.0.1:3004, last fix 61 s old";
    QTest::newRow("connecting") << int(LinkState::Connecting) << qint64(-1) << "GPS: connecting to 127.0.0.1:3004";
    QTest::newRow("closed") << int(LinkState::Closed) << qint64(1000) << "GPS: closed";
}

void TstGpsFix::statusLine()
{
    QFETCH(int, state);
    QFETCH(qint64, ageMs);
    QFETCH(QString, expected);
    QCOMPARE(statusText(LinkState(state), QStringLiteral("127.0.0.1"), 3004,
                        ageMs < 0 ? std::nullopt : std::optional<qint64>(ageMs)),
             expected);
}

QTEST_GUILESS_MAIN(TstGpsFix)
#include "tst_gpsfix.moc"
