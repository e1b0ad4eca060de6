#pragma once

// One parameter of a behaviour writer: a text written unchanged, a whole
// number worked out by the program, or a floating-point number.

#include <QString>
#include <optional>

namespace bravik::mission {

// A floating-point number as a script carries it: rounded to 15
// significant digits, plain decimal notation (never an exponent), "." as
// the decimal point, trailing zeros and a bare point dropped, "-" only
// when negative.  25.0 gives 25; 36.75205666666667 gives 36.7520566666667.
// Zero (either sign) gives 0.  Infinities and NaN give "inf", "-inf",
// "nan"; the templates stop a build before such a value reaches a script.
QString formatReal(double value);

class ScriptValue
{
public:
    enum class Kind { Text, Whole, Real };

    // Text: box contents or a fixed word such as "False", "rudder", "270".
    ScriptValue(const QString &text) : m_kind(Kind::Text), m_text(text) {}
    ScriptValue(const char *text) : m_kind(Kind::Text), m_text(QString::fromLatin1(text)) {}
    // Whole numbers: timers, ascent times, the fixed 10 and 60.
    ScriptValue(int whole) : m_kind(Kind::Whole), m_whole(whole) {}
    ScriptValue(qint64 whole) : m_kind(Kind::Whole), m_whole(whole) {}
    // Floating-point numbers: envelope limits, positions, 1.5, leg values.
    ScriptValue(double real) : m_kind(Kind::Real), m_real(real) {}

    Kind kind() const { return m_kind; }
    bool isText() const { return m_kind == Kind::Text; }

    // The value as it stands in a script line.
    QString render() const;

    // The value as a number for arithmetic: numbers as they are, a text
    // read strictly (no value when it is not a number).
    std::optional<double> number() const;

private:
    Kind m_kind;
    QString m_text;
    qint64 m_whole = 0;
    double m_real = 0.0;
};

} // namespace bravik::mission
