#include "NumberRules.h"

#include <QRegularExpression>
#include <charconv>
#include <cmath>
#include <limits>
#include <string>

namespace bravik::mission {

namespace {

// Converts an already checked ASCII number ("-12.5e3", no leading "+").
// from_chars ignores the C locale, so a comma locale cannot change it.
double convert(const std::string &number, bool negativeExponent)
{
    double value = 0.0;
    const char *first = number.data();
    const char *last = first + number.size();
    const auto [ptr, ec] = std::from_chars(first, last, value, std::chars_format::general);
    if (ec == std::errc::result_out_of_range) {
        const bool negative = !number.empty() && number.front() == '-';
        if (negativeExponent)
            return negative ? -0.0 : 0.0;
        const double inf = std::numeric_limits<double>::infinity();
        return negative ? -inf : inf;
    }
    if (ec != std::errc() || ptr != last)
        return 0.0;
    return value;
}

bool isDigit(QChar c) { return c >= QLatin1Char('0') && c <= QLatin1Char('9'); }

} // namespace

double numericTextValue(const QString &text)
{
    QString s;
    s.reserve(text.size());
    for (QChar c : text)
        if (c != QLatin1Char(' ') && c != QLatin1Char('\t') && c != QLatin1Char('\n'))
            s.append(c);

    std::string number;
    qsizetype i = 0;
    if (i < s.size() && (s[i] == QLatin1Char('+') || s[i] == QLatin1Char('-'))) {
        if (s[i] == QLatin1Char('-'))
            number += '-';
        ++i;
    }
    bool seenPoint = false;
    int digits = 0;
    for (; i < s.size(); ++i) {
        const QChar c = s[i];
        if (isDigit(c)) {
            number += char(c.unicode());
            ++digits;
        } else if (c == QLatin1Char('.') && !seenPoint) {
            number += '.';
            seenPoint = true;
        } else {
            break;
        }
    }
    if (digits == 0)
        return 0.0;

    // An exponent counts only when at least one digit follows its letter.
    bool negativeExponent = false;
    if (i < s.size() && (s[i] == QLatin1Char('e') || s[i] == QLatin1Char('E'))) {
        qsizetype j = i + 1;
        std::string exponent = "e";
        if (j < s.size() && (s[j] == QLatin1Char('+') || s[j] == QLatin1Char('-'))) {
            negativeExponent = s[j] == QLatin1Char('-');
            if (negativeExponent)
                exponent += '-';
            ++j;
        }
        bool any = false;
        while (j < s.size() && isDigit(s[j])) {
            exponent += char(s[j].unicode());
            any = true;
            ++j;
        }
        if (any)
            number += exponent;
        else
            negativeExponent = false;
    }
    return convert(number, negativeExponent);
}

// The strict reading's value, an infinity for a number beyond a double's
// range, or no value when the text is not a number.
static std::optional<double> strictValue(const QString &text)
{
    static const QRegularExpression pattern(
        QStringLiteral("^([+-]?)((?:[0-9]+\\.?[0-9]*|\\.[0-9]+)(?:[eE]([+-]?)[0-9]+)?)$"));
    const QRegularExpressionMatch m = pattern.match(text.trimmed());
    if (!m.hasMatch())
        return std::nullopt;
    std::string number = m.captured(1) == QLatin1String("-") ? "-" : "";
    number += m.captured(2).toStdString();
    return convert(number, m.captured(3) == QLatin1String("-"));
}

std::optional<double> strictNumber(const QString &text)
{
    const std::optional<double> value = strictValue(text);
    if (!value || !std::isfinite(*value))
        return std::nullopt;
    return value;
}

StrictRefusal strictRefusal(const QString &text)
{
    const std::optional<double> value = strictValue(text);
    if (!value || std::isfinite(*value))
        return StrictRefusal::NotANumber;
    return *value > 0 ? StrictRefusal::TooLarge : StrictRefusal::TooSmall;
}

double roundHalfEven(double value)
{
    if (!std::isfinite(value))
        return value;
    const double lower = std::floor(value);
    const double diff = value - lower;
    if (diff < 0.5)
        return lower;
    if (diff > 0.5)
        return lower + 1.0;
    return std::fmod(lower, 2.0) == 0.0 ? lower : lower + 1.0;
}

std::optional<int> roundToInt16(double value)
{
    if (!std::isfinite(value))
        return std::nullopt;
    const double r = roundHalfEven(value);
    if (r < kInt16Min || r > kInt16Max)
        return std::nullopt;
    return int(r);
}

} // namespace bravik::mission
