#include "Controls.h"

#include <QComboBox>
#include <QLineEdit>

#include <limits>

namespace bravik::controls {

void keepTypedText(QComboBox *list)
{
    list->setEditable(true);
    list->setInsertPolicy(QComboBox::NoInsert);
    // The completer that an editable list gets completes without regard to
    // case and fills in the item: "build mission" would become "Build
    // Mission".  Without it, Enter also matches items case-sensitively.
    list->setCompleter(nullptr);
    takeAnyLength(list->lineEdit());
}

void takeAnyLength(QLineEdit *box)
{
    if (box)
        box->setMaxLength(std::numeric_limits<int>::max());
}

} // namespace bravik::controls
