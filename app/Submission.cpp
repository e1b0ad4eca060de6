#include "Submission.h"

#include "WindowManager.h"

namespace bravik {

void submitLogEntry(const QString &category, const QString &clockText, const QString &submitter)
{
    Q_UNUSED(clockText);
    Q_UNUSED(submitter);
    if (category == QLatin1String("Build Mission")) {
        if (windows().isRegistered(QStringLiteral("frmSelectTemplate")))
            windows().show(QStringLiteral("frmSelectTemplate"));
        return;
    }
    windows().show(QStringLiteral("frmInvalidEntry"));
}

} // namespace bravik
