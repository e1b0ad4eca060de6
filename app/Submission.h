#pragma once

#include <QString>

namespace bravik {

// "Submit Log Entry": opens the record window of the category on a new row
// stamped with the clock text and the submitter, opens the template chooser
// for "Build Mission", and answers any other text with the invalid-entry
// notice.  Categories compare as whole, case-sensitive strings.
void submitLogEntry(const QString &category, const QString &clockText, const QString &submitter);

} // namespace bravik
