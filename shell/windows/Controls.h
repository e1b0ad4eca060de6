#pragma once

class QComboBox;
class QLineEdit;
class QWidget;

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

// Every one-line box and drop-down list of `window` keeps its size and
// place, and still no value is lost to the eye: a value wider than its box
// is shown from its start whenever the box is not being typed in, and the
// whole value is the box's tooltip; the open list of a drop-down is as wide
// as its longest item.  Applied once to a window's controls, before it is
// first shown.
void showValuesWhole(QWidget *window);

} // namespace bravik::controls
