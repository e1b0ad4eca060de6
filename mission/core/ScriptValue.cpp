#include "ScriptValue.h"

#include "NumberRules.h"

#include <cmath>

namespace bravik::mission {

QString formatReal(double value)
{
    if (std::isnan(value))
        return QStringLiteral("nan");
    if (std::isinf(value))
        return value > 0 ? QStringLiteral("inf") : QStringLiteral("-inf");
    if (value == 0.0)
        return QStringLiteral("0");

    // QString::number is locale-independent and rounds correctly:
    // "-1.21835390000000e+02" -> sign, 15 digits, exponent.
    const QString e = QString::number(value, 'e', 14);
    const qsizetype ePos = e.indexOf(QLatin1Char('e'));
    QString mantissa = e.left(ePos);
    const int exponent = e.mid(ePos + 1).toInt();
    const bool negative = mantissa.startsWith(QLatin1Char('-'));
    if (negative)
        mantissa.remove(0, 1);
    QString digits = mantissa.remove(QLatin1Char('.'));
    while (digits.size() > 1 && digits.endsWith(QLatin1Char('0')))
        digits.chop(1);

    QString out;
    if (exponent >= 0) {
        const qsizetype intDigits = exponent + 1;
        if (digits.size() <= intDigits) {
            out = digits + QString(intDigits - digits.size(), QLatin1Char('0'));
        } else {
            out = digits.left(intDigits) + QLatin1Char('.') + digits.mid(intDigits);
        }
    } else {
        out = QStringLiteral("0.") + QString(-exponent - 1, QLatin1Char('0')) + digits;
    }
    return negative ? QLatin1Char('-') + out : out;
}

QString ScriptValue::render() const
{
    switch (m_kind) {
    case Kind::Text:
        return m_text;
    case Kind::Whole:
        return QString::number(m_whole);
    case Kind::Real:
        return formatReal(m_real);
    }
    return {};
}

std::optional<double> ScriptValue::number() const
{
    switch (m_kind) {
    case Kind::Text:
        return strictNumber(m_text);
    case Kind::Whole:
        return double(m_whole);
    case Kind::Real:
        if (!std::isfinite(m_real))
            return std::nullopt;
        return m_real;
    }
    return std::nullopt;
}

} // namespace bravik::mission
