#include "OperationsSettings.h"

#include "ClockText.h"
#include "Settings.h"

namespace bravik::ops {

Thresholds thresholdsFromSettings()
{
    Thresholds t;
    t.chargeHours = settings().attentionChargeHours;
    t.openTaskDays = settings().attentionOpenTaskDays;
    t.prediveHours = settings().launchRequirePredive > 0.0 ? settings().launchRequirePredive : kDefaultPrediveHours;
    return t;
}

ClockFormat clockFormat()
{
    const QLocale locale = QLocale::system();
    return {locale, clockDateFormat(locale), clockTimeFormat(locale)};
}

} // namespace bravik::ops
