#include "TemplateBuild.h"

#include "NumberRules.h"

#include <cmath>

namespace bravik::mission {

void BuildChecks::stop(const QString &box, const QString &message)
{
    if (failed())
        return;
    m_box = box;
    m_message = message;
}

void BuildChecks::required(const QString &box, const QString &text, const QString &message)
{
    if (!failed() && text.isEmpty())
        stop(box, message);
}

void BuildChecks::singleLine(const QString &box, const QString &text, const QString &what)
{
    if (failed())
        return;
    if (text.contains(QLatin1Char('\n')) || text.contains(QLatin1Char('\r')))
        stop(box, QStringLiteral("The %1 holds a line break, which would split its line in the "
                                 "mission file. Please enter it on one line.").arg(what));
}

double BuildChecks::number(const QString &box, const QString &text, const QString &what, const QString &unit)
{
    if (failed())
        return 0.0;
    const std::optional<double> value = strictNumber(text);
    if (!value) {
        switch (strictRefusal(text)) {
        case StrictRefusal::TooLarge:
            stop(box, QStringLiteral("The %1 \"%2\" is too large. Please enter the %1 in %3.").arg(what, text, unit));
            break;
        case StrictRefusal::TooSmall:
            stop(box, QStringLiteral("The %1 \"%2\" is too small. Please enter the %1 in %3.").arg(what, text, unit));
            break;
        case StrictRefusal::NotANumber:
            stop(box, QStringLiteral("The %1 \"%2\" is not a number. Please enter the %1 in %3.")
                          .arg(what, text, unit));
            break;
        }
        return 0.0;
    }
    return *value;
}

int BuildChecks::whole16(const QString &box, const QString &text, const QString &what,
                         const QString &derived, double value)
{
    if (failed())
        return 0;
    const std::optional<int> whole = roundToInt16(value);
    if (whole)
        return *whole;
    const QString amount = std::isfinite(value)
        ? QStringLiteral("of %1 seconds").arg(formatReal(roundHalfEven(value)))
        : QStringLiteral("too large to compute");
    stop(box, QStringLiteral("The %1 \"%2\" gives %3 %4, outside the range %5 to %6 that the "
                             "mission file allows. Please correct the %1.")
                  .arg(what, text, derived, amount)
                  .arg(kInt16Min)
                  .arg(kInt16Max));
    return 0;
}

double BuildChecks::finite(const QString &box, const QString &what, double value)
{
    if (failed())
        return 0.0;
    if (!std::isfinite(value)) {
        stop(box, QStringLiteral("The %1 is too large to write into the mission file. "
                                 "Please correct it.").arg(what));
        return 0.0;
    }
    return value;
}

bool BuildChecks::stopped(TemplateBuild &build) const
{
    if (!failed())
        return false;
    build.message = m_message;
    build.box = m_box;
    return true;
}

} // namespace bravik::mission
