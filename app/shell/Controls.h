#pragma once

class QComboBox;
class QLineEdit;

namespace bravik::controls {

// An editable list that keeps exactly what the user types: no completion
// that changes the case or fills in the rest of an item, so leaving the
// box (Tab, a click elsewhere, Enter) leaves the typed text as it stands.
// Picking an item from the drop-down still sets that item's text.  The
// list's text box takes text of any length, as a one-line box does.
void keepTypedText(QComboBox *list);

// A one-line box takes a text of any length the logbook holds instead of
// cutting a pasted text at 32,767 characters.
void takeAnyLength(QLineEdit *box);

} // namespace bravik::controls
