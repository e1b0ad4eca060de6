// The sentence buffer and the position fix, without any window or socket.
#include "GpsFeed.h"
#include "GpsSource.h"
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
    void everyTalker_data();
    void everyTalker();
    void mixedAndNarrowedTalkers_data();
    void mixedAndNarrowedTalkers();
    void talkerNames();
    void ageOfTheSentenceTheFixTakes();
    void statusLine_data();
    void statusLine();
    void gpsdReportsNeverReachTheBuffer();
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
    QTest::newRow("not a GNSS talker") << "$IIGLL,3648.1234,N,12147.5678,W,225444,A" << none;
    QTest::newRow("old BeiDou talker") << "$BDGLL,3648.1234,N,12147.5678,W,225444,A" << none;
    QTest::newRow("lower-case talker") << "$gnGLL,3648.1234,N,12147.5678,W,225444,A" << none;
    QTest::newRow("talker cut short") << "$GGLL,3648.1234,N,12147.5678,W,225444,A" << none;
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

void TstGpsFix::everyTalker_data()
{
    QTest::addColumn<QString>("talker");
    for (const QString &t : Talkers::known())
        QTest::newRow(qPrintable(t)) << t;
}

void TstGpsFix::everyTalker()
{
    // The same position from each GNSS talker, checksummed for that talker,
    // after other sentences of the same talker; received a byte at a time.
    QFETCH(QString, talker);
    const QByteArray t = talker.toLatin1();
    const QTime utc(22, 54, 44);
    const QByteArray gll = makeGll(36.8020567, -121.7927967, utc, t);
    QVERIFY(gll.startsWith("$" + t + "GLL,"));
    const QByteArray text = makeGga(36.8020567, -121.7927967, utc, t) + gll
                            + makeRmc(36.8020567, -121.7927967, QDateTime(QDate(2026, 12, 8), utc, Qt::UTC), t);
    QCOMPARE(show(parseGll(QString::fromLatin1(gll.chopped(2)))), show(examplePos));
    QCOMPARE(show(findFix(QString::fromLatin1(text))), show(examplePos));
    SentenceBuffer b;
    int usable = 0;
    for (char c : text)
        usable += b.append(QByteArrayView(&c, 1));
    QCOMPARE(usable, 1);
    QCOMPARE(show(b.fix()), show(examplePos));

    // A list without this talker leaves its sentence as text.
    QStringList others = Talkers::known();
    others.removeAll(talker);
    const Talkers without = *Talkers::fromNames(others);
    QVERIFY(!parseGll(QString::fromLatin1(gll.chopped(2)), without));
    SentenceBuffer narrowed(without);
    QCOMPARE(narrowed.append(text), 0);
    QVERIFY(!narrowed.fix());
    QCOMPARE(narrowed.size(), qsizetype(text.size()));
    // ... and a list of it alone takes it.
    SentenceBuffer only(*Talkers::fromNames({talker}));
    QCOMPARE(only.append(text), 1);
}

void TstGpsFix::mixedAndNarrowedTalkers_data()
{
    QTest::addColumn<QByteArray>("buffer");
    QTest::addColumn<QStringList>("talkers"); // empty: all
    QTest::addColumn<std::optional<GllPosition>>("expected");
    const std::optional<GllPosition> none;
    const QTime t(1, 2, 3);
    const QByteArray gpA = makeGll(36.8020567, -121.7927967, t, "GP");
    const QByteArray gnA = makeGll(36.8020567, -121.7927967, t, "GN");
    const QByteArray glB = makeGll(-50.0, 1.5, t, "GL");
    const QByteArray gnB = makeGll(-50.0, 1.5, t, "GN");
    const QByteArray gaB = makeGll(-50.0, 1.5, t, "GA");
    const QByteArray badGn = "$GNGLL,3648.1234,N,12147.5678,W,225444,A*00\r\n";
    const QByteArray noFixGn = nmeaSentence("GNGLL,,,,,,V,N") ;
    const std::optional<GllPosition> a(examplePos), b(secondPos);

    QTest::newRow("GN before GP: GN") << gnB + gpA << QStringList{} << b;
    QTest::newRow("GP before GN: GP") << gpA + gnB << QStringList{} << a;
    QTest::newRow("GL then GA then GN") << glB + gaB + gnA << QStringList{} << b;
    QTest::newRow("bad GN skipped for a later GP") << badGn + gpA << QStringList{} << a;
    QTest::newRow("GN without fix skipped for a later GA") << noFixGn + gaB << QStringList{} << b;
    QTest::newRow("only GP taken: the older GN passed over") << gnB + gpA << QStringList{"GP"} << a;
    QTest::newRow("only GN taken") << gpA + glB + gnA << QStringList{"GN"} << a;
    QTest::newRow("GN and GL, the older GL") << gpA + glB + gnA << QStringList{"GN", "GL"} << b;
    QTest::newRow("names in lower case") << gpA + gnB << QStringList{"gn"} << b;
    QTest::newRow("none of the listed") << gpA + gnB << QStringList{"GQ", "GI"} << none;
}

void TstGpsFix::mixedAndNarrowedTalkers()
{
    QFETCH(QByteArray, buffer);
    QFETCH(QStringList, talkers);
    QFETCH(std::optional<GllPosition>, expected);
    const Talkers set = talkers.isEmpty() ? Talkers::all() : *Talkers::fromNames(talkers);
    QCOMPARE(show(findFix(QString::fromLatin1(buffer), set)), show(expected));
    // Received in receives of 7 bytes: the buffer gives the same.
    SentenceBuffer b(set);
    for (qsizetype i = 0; i < buffer.size(); i += 7)
        b.append(buffer.mid(i, 7));
    QCOMPARE(show(b.fix()), show(expected));
}

void TstGpsFix::talkerNames()
{
    QCOMPARE(Talkers::all().names(), (QStringList{"GP", "GN", "GL", "GA", "GB", "GQ", "GI"}));
    QCOMPARE(Talkers::fromNames({" gn", "GP "})->names(), (QStringList{"GP", "GN"}));
    QString unknown;
    QVERIFY(!Talkers::fromNames({"GP", "BD"}, &unknown));
    QCOMPARE(unknown, QStringLiteral("BD"));
    QVERIFY(Talkers::fromNames({})->isEmpty());
}

void TstGpsFix::ageOfTheSentenceTheFixTakes()
{
    // The age is that of the sentence the fix would take now: the oldest
    // usable one, not the newest, and none once the buffer holds none.
    SentenceBuffer b;
    QVERIFY(!b.fixAgeMs(0));
    b.appendAt(otherText, 1000);
    QVERIFY(!b.fixAgeMs(1500));
    b.appendAt(example.left(20), 2000);
    QVERIFY(!b.fixAgeMs(2500)); // not complete yet
    b.appendAt(example.mid(20), 3000);
    QCOMPARE(b.fixAgeMs(3000), std::optional<qint64>(0));
    b.appendAt(second, 8000);
    QCOMPARE(b.fixAgeMs(9000), std::optional<qint64>(6000)); // the first, from 3000
    QCOMPARE(show(b.fix()), show(examplePos));

    // Emptied (the weather window's fix): nothing until the next one.
    b.clear();
    QVERIFY(!b.fixAgeMs(9000));
    b.appendAt("$GPGLL,,,,,,V,N*64\r\n", 9500);
    QVERIFY(!b.fixAgeMs(9600));
    b.appendAt(second, 10000);
    QCOMPARE(b.fixAgeMs(10250), std::optional<qint64>(250));

    // Discarded at the limit: none, although a fix was there a moment ago.
    b.appendAt(QByteArray(SentenceBuffer::limit, '\n'), 11000);
    QCOMPARE(b.size(), 0);
    QVERIFY(!b.fixAgeMs(11000));
    QVERIFY(!b.fix());
}

void TstGpsFix::statusLine_data()
{
    QTest::addColumn<int>("state");
    QTest::addColumn<QString>("source");
    QTest::addColumn<qint64>("ageMs"); // -1: no fix in the buffer
    QTest::addColumn<bool>("silent");
    QTest::addColumn<QString>("problem");
    QTest::addColumn<QString>("expected");
    const int up = int(LinkState::Connected), down = int(LinkState::Down);
    const QString tcp = SourceSpec::tcp("127.0.0.1").describe();
    const QString gpsd = SourceSpec::gpsd("127.0.0.1").describe();
    const QString usb = SourceSpec::serial("/dev/ttyUSB0").describe();
    QTest::newRow("connected, fresh") << up << tcp << qint64(2400) << false << ""
                                      << "GPS: connected to 127.0.0.1:3004, fix 2 s old";
    QTest::newRow("connected, nothing yet") << up << tcp << qint64(-1) << false << ""
                                            << "GPS: connected to 127.0.0.1:3004, no fix yet";
    QTest::newRow("connected, stale") << up << tcp << qint64(300000) << false << ""
                                      << "GPS: connected to 127.0.0.1:3004, fix 5 min old";
    QTest::newRow("gpsd") << up << gpsd << qint64(1000) << false << ""
                          << "GPS: connected to gpsd at 127.0.0.1:2947, fix 1 s old";
    QTest::newRow("IPv6 gpsd") << up << SourceSpec::gpsd("::1", 2948).describe() << qint64(-1) << false << ""
                               << "GPS: connected to gpsd at [::1]:2948, no fix yet";
    QTest::newRow("serial") << up << usb << qint64(0) << false << "" << "GPS: connected to /dev/ttyUSB0, fix 0 s old";
    QTest::newRow("serial silent") << up << usb << qint64(-1) << true << "" << "GPS: no data from /dev/ttyUSB0";
    QTest::newRow("silent with a fix kept") << up << gpsd << qint64(7000) << true << ""
                                            << "GPS: no data from gpsd at 127.0.0.1:2947, fix 7 s old";
    QTest::newRow("never connected") << down << tcp << qint64(-1) << false << ""
                                     << "GPS: no connection to 127.0.0.1:3004";
    QTest::newRow("lost") << down << tcp << qint64(61000) << false << ""
                          << "GPS: no connection to 127.0.0.1:3004, last fix 61 s old";
    QTest::newRow("gpsd not running") << down << gpsd << qint64(-1) << false << ""
                                      << "GPS: no connection to gpsd at 127.0.0.1:2947";
    QTest::newRow("no such device") << down << usb << qint64(-1) << false << "no such device"
                                    << "GPS: cannot open /dev/ttyUSB0 (no such device)";
    QTest::newRow("unplugged") << down << usb << qint64(3000) << false << ""
                               << "GPS: no connection to /dev/ttyUSB0, last fix 3 s old";
    QTest::newRow("connecting") << int(LinkState::Connecting) << tcp << qint64(-1) << false << ""
                                << "GPS: connecting to 127.0.0.1:3004";
    QTest::newRow("closed") << int(LinkState::Closed) << tcp << qint64(1000) << false << "" << "GPS: closed";
}

void TstGpsFix::statusLine()
{
    QFETCH(int, state);
    QFETCH(QString, source);
    QFETCH(qint64, ageMs);
    QFETCH(bool, silent);
    QFETCH(QString, problem);
    QFETCH(QString, expected);
    LinkStatus st;
    st.state = LinkState(state);
    st.source = source;
    st.fixAgeMs = ageMs < 0 ? std::nullopt : std::optional<qint64>(ageMs);
    st.silent = silent;
    st.problem = problem;
    QCOMPARE(statusText(st), expected);
}

void TstGpsFix::gpsdReportsNeverReachTheBuffer()
{
    // What gpsd sends after ?WATCH with nmea: its JSON reports, then the
    // receiver's sentences, the reports again in between.
    const QByteArray version = R"({"class":"VERSION","release":"3.22","rev":"3.22","proto_major":3,"proto_minor":14})"
                               "\r\n";
    const QByteArray devices = R"({"class":"DEVICES","devices":[{"class":"DEVICE","path":"/dev/pts/1",)"
                               R"("driver":"NMEA0183","bps":4800}]})" "\r\n";
    const QByteArray watch = R"({"class":"WATCH","enable":true,"json":false,"nmea":true})" "\r\n";
    const QByteArray gn = makeGll(36.8020567, -121.7927967, QTime(1, 2, 3), "GN");
    const QByteArray stream = version + devices + watch + otherText + gn + devices + second;
    const QByteArray expected = otherText + gn + second;
    // Cut into two pieces at every place, and a byte at a time.
    for (qsizetype cut = 0; cut <= stream.size(); ++cut) {
        SentenceLineFilter f;
        QByteArray out = f.take(stream.left(cut));
        out += f.take(stream.mid(cut));
        QCOMPARE(out, expected);
    }
    SentenceLineFilter f;
    QByteArray out;
    for (char c : stream)
        out += f.take(QByteArrayView(&c, 1));
    QCOMPARE(out, expected);
    SentenceBuffer b;
    b.append(out);
    QCOMPARE(show(b.fix()), show(examplePos));
}

QTEST_GUILESS_MAIN(TstGpsFix)
#include "tst_gpsfix.moc"
