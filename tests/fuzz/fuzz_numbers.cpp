// The numeric text rule, the strict number reading, half-even rounding and
// the script's rendering of values.
//
// Input: the whole input is a box's text (UTF-8); its first 8 bytes are
// also a double to render, and so is whatever the text reads as.

#include "FuzzSupport.h"

#include "NumberRules.h"
#include "ScriptValue.h"

#include <QRegularExpression>
#include <cfenv>
#include <cfloat>
#include <clocale>
#include <cmath>
#include <cstdlib>
#include <locale.h>

using namespace bravik::mission;
using bravik::fuzz::shown;

namespace {

// strtod in the C locale, whatever the environment says.
double cStrtod(const QByteArray &text)
{
    static locale_t c = newlocale(LC_ALL_MASK, "C", locale_t(nullptr));
    return strtod_l(text.constData(), nullptr, c);
}

bool same(double a, double b)
{
    return a == b || (std::isnan(a) && std::isnan(b));
}

// The rule written out plainly: drop every blank, tab and line feed, take
// the longest prefix that is a number, and convert it.
double referenceNumericText(const QString &text)
{
    QString s = text;
    s.remove(QLatin1Char(' '));
    s.remove(QLatin1Char('\t'));
    s.remove(QLatin1Char('\n'));
    static const QRegularExpression number(
        QStringLiteral("^[+-]?(?:[0-9]+\\.?[0-9]*|\\.[0-9]+)(?:[eE][+-]?[0-9]+)?"));
    const QRegularExpressionMatch m = number.match(s);
    if (!m.hasMatch())
        return 0.0;
    return cStrtod(m.captured(0).toLatin1());
}

// What a script may carry for `value`: the value rounded to 15
// significant digits.  A value that lies exactly half-way between two
// 15-digit numbers (128.0001220703125) may go either way.
struct Rounded
{
    double nearest;
    double other;   // the other neighbour of an exact tie, else nearest
};

QByteArray printedIn(int roundingMode, const char *format, double value)
{
    char text[128];
    const int mode = std::fegetround();
    std::fesetround(roundingMode);
    std::snprintf(text, sizeof text, format, std::fabs(value));
    std::fesetround(mode);
    return QByteArray(value < 0 ? "-" : "") + text;
}

Rounded rounded15(double value)
{
    const double nearest = cStrtod(printedIn(FE_TONEAREST, "%.14e", value));
    // Exactly half-way when the digits after the 15th are 5 and nothing
    // more: "d.dddddddddddddd" is 16 characters, then 44 more digits.
    const QByteArray exact = printedIn(FE_TONEAREST, "%.59e", std::fabs(value));
    static const QRegularExpression tie(QStringLiteral("^50*$"));
    if (!tie.match(QString::fromLatin1(exact.mid(16, 44))).hasMatch())
        return {nearest, nearest};
    const double up = cStrtod(printedIn(FE_UPWARD, "%.14e", value));
    const double down = cStrtod(printedIn(FE_DOWNWARD, "%.14e", value));
    return {nearest, nearest == up ? down : up};
}

int significantDigits(const QString &plain)
{
    QString digits = plain;
    digits.remove(QLatin1Char('-'));
    digits.remove(QLatin1Char('.'));
    while (digits.startsWith(QLatin1Char('0')))
        digits.remove(0, 1);
    while (digits.endsWith(QLatin1Char('0')))
        digits.chop(1);
    return int(digits.size());
}

void checkRendering(double value)
{
    const QString s = formatReal(value);
    FUZZ_CHECK(ScriptValue(value).render() == s, shown(s));
    if (!std::isfinite(value)) {
        // Such a value must never pass for a number a script can carry.
        FUZZ_CHECK(!strictNumber(s).has_value(), shown(s));
        FUZZ_CHECK(!ScriptValue(value).number().has_value(), shown(s));
        return;
    }
    const QString what = QStringLiteral("%1 rendered as %2: ").arg(value, 0, 'g', 17).arg(shown(s));
    static const QRegularExpression plain(QStringLiteral("^-?(?:0|[1-9][0-9]*)(?:\\.[0-9]*[1-9])?$"));
    FUZZ_CHECK(plain.match(s).hasMatch(), what + QStringLiteral("not plain decimal notation"));
    FUZZ_CHECK(s != QLatin1String("-0"), what);
    FUZZ_CHECK(significantDigits(s) <= 15, what + QStringLiteral("more than 15 significant digits"));

    const Rounded expected = rounded15(value);
    // Within a hair of the largest double, 15 digits round past it: the
    // text is right, but no double reads it back.
    if (std::isinf(expected.nearest))
        return;
    const auto back = strictNumber(s);
    FUZZ_CHECK(back.has_value(), what + QStringLiteral("not read back"));
    FUZZ_CHECK(same(*back, expected.nearest) || same(*back, expected.other),
               what + QStringLiteral("read back as %1, not %2").arg(*back, 0, 'g', 17).arg(expected.nearest, 0, 'g', 17));
    FUZZ_CHECK(same(numericTextValue(s), *back), what + QStringLiteral("the numeric text rule reads it otherwise"));
    FUZZ_CHECK(s.startsWith(QLatin1Char('-')) == (*back < 0), what + QStringLiteral("wrong sign"));
    if (expected.nearest == value)
        FUZZ_CHECK(*back == value, what + QStringLiteral("a value of 15 digits did not come back whole"));
}

void checkRounding(double value)
{
    if (!std::isfinite(value)) {
        FUZZ_CHECK(!roundToInt16(value).has_value(), QString::number(value));
        return;
    }
    const double r = roundHalfEven(value);
    const QString what = QStringLiteral("%1 rounded to %2: ").arg(value, 0, 'g', 17).arg(r, 0, 'g', 17);
    FUZZ_CHECK(r == std::floor(r), what + QStringLiteral("not whole"));
    FUZZ_CHECK(std::fabs(r - value) <= 0.5, what + QStringLiteral("not the nearest"));
    if (std::fabs(r - value) == 0.5)
        FUZZ_CHECK(std::fmod(r, 2.0) == 0.0, what + QStringLiteral("a half not rounded to even"));
    const auto small = roundToInt16(value);
    const bool fits = r >= kInt16Min && r <= kInt16Max;
    FUZZ_CHECK(small.has_value() == fits, what + QStringLiteral("16-bit range misjudged"));
    if (small)
        FUZZ_CHECK(double(*small) == r, what + QString::number(*small));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString text = QString::fromUtf8(bravik::fuzz::bytes(data, size));

    // Lenient reading.
    const double lenient = numericTextValue(text);
    const double reference = referenceNumericText(text);
    FUZZ_CHECK(same(lenient, reference), QStringLiteral("%1 reads as %2, the rule gives %3")
                                             .arg(shown(text))
                                             .arg(lenient, 0, 'g', 17)
                                             .arg(reference, 0, 'g', 17));
    FUZZ_CHECK(!std::isnan(lenient), shown(text));

    // Strict reading: a text that is one number reads the same both ways
    // when it has no white space the lenient rule does not skip.
    const auto strict = strictNumber(text);
    FUZZ_CHECK(ScriptValue(text).number() == strict, shown(text));
    FUZZ_CHECK(ScriptValue(text).render() == text, shown(text));
    if (strict) {
        FUZZ_CHECK(std::isfinite(*strict), shown(text));
        bool otherSpace = false;
        for (QChar c : text)
            otherSpace |= c.isSpace() && c != QLatin1Char(' ') && c != QLatin1Char('\t') && c != QLatin1Char('\n');
        if (!otherSpace)
            FUZZ_CHECK(same(*strict, lenient), QStringLiteral("%1 reads strictly as %2, leniently as %3")
                                                   .arg(shown(text))
                                                   .arg(*strict, 0, 'g', 17)
                                                   .arg(lenient, 0, 'g', 17));
    }

    // Rendering and rounding, of the value read and of raw bits.
    const uint8_t *p = data;
    size_t n = size;
    const double raw = bravik::fuzz::take<double>(p, n);
    const qint64 whole = qint64(bravik::fuzz::take<quint64>(p, n));
    for (double v : {lenient, raw}) {
        checkRendering(v);
        checkRounding(v);
    }
    FUZZ_CHECK(ScriptValue(whole).render().toLongLong() == whole, QString::number(whole));
    return 0;
}
