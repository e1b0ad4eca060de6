#include "Controls.h"

#include <QAbstractItemView>
#include <QAbstractSpinBox>
#include <QComboBox>
#include <QEvent>
#include <QFocusEvent>
#include <QLineEdit>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOptionComboBox>

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

namespace {

// Marks a tooltip this file wrote, so one a window set itself stays.
const char *const kOwnTip = "bravikValueTip";
// Marks a box already looked after.
const char *const kFitted = "bravikValueFit";

// The tooltip goes where the pointer rests: on the list for a list's text
// box (the box passes its tooltip question on to the list).
void setValueTip(QWidget *owner, const QString &text, bool cut)
{
    if (!owner->toolTip().isEmpty() && !owner->property(kOwnTip).toBool())
        return;
    owner->setToolTip(cut ? text : QString());
    owner->setProperty(kOwnTip, cut);
}

// The width a one-line box gives its text.
int textRoom(const QLineEdit *box)
{
    const QMargins text = box->textMargins();
    const QMargins contents = box->contentsMargins();
    int frame = 0;
    if (box->hasFrame())
        frame = 2 * box->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, box);
    // The box keeps a blank of two pixels either side of its text.
    return box->width() - text.left() - text.right() - contents.left() - contents.right() - frame - 4;
}

class ValueFit : public QObject
{
public:
    explicit ValueFit(QLineEdit *box)
        : QObject(box)
        , m_box(box)
        , m_object(box)
    {
        box->installEventFilter(this);
        // A list hands its focus changes to its text box directly, past
        // the box's filters: they are watched on the list.
        if (auto *list = qobject_cast<QComboBox *>(box->parentWidget()); list && list->lineEdit() == box)
            list->installEventFilter(this);
        connect(box, &QLineEdit::textChanged, this, [this] {
            // A value the program puts into a box that is not being typed
            // in (a row shown) shows from its start; what is typed keeps
            // its cursor (the box counts as modified while it is typed in).
            if (!m_box->hasFocus() && !m_box->isModified())
                m_box->setCursorPosition(0);
            refreshTip();
        });
        if (!box->hasFocus())
            box->setCursorPosition(0);
        refreshTip();
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        // A box being destroyed is a box no more (its last focus events):
        // nothing of it is asked then.
        if (!qobject_cast<QLineEdit *>(m_object))
            return QObject::eventFilter(watched, event);
        if (watched == m_box || watched == m_box->parentWidget()) {
            if (event->type() == QEvent::FocusOut) {
                // Leaving the box by Tab or a click shows the value from
                // its start again; the list opening, or another program's
                // window, leaves the cursor where the typing goes on.
                const Qt::FocusReason why = static_cast<QFocusEvent *>(event)->reason();
                if (why != Qt::PopupFocusReason && why != Qt::ActiveWindowFocusReason)
                    m_box->setCursorPosition(0);
            } else if (event->type() == QEvent::KeyPress && !m_box->hasFocus() && !m_box->hasSelectedText()
                       && m_box->cursorPosition() == 0) {
                // Keys sent to a box without the focus (by another control
                // or a program) add to the end of its value, as they would
                // if it were not shown from its start.
                m_box->setCursorPosition(m_box->text().size());
            } else if (watched == m_box && (event->type() == QEvent::Resize || event->type() == QEvent::FontChange)) {
                refreshTip();
            }
        }
        return QObject::eventFilter(watched, event);
    }

private:
    void refreshTip()
    {
        const QString text = m_box->text();
        const bool cut = m_box->fontMetrics().horizontalAdvance(text) > textRoom(m_box);
        auto *list = qobject_cast<QComboBox *>(m_box->parentWidget());
        setValueTip(list && list->lineEdit() == m_box ? static_cast<QWidget *>(list) : m_box, text, cut);
    }

    QLineEdit *m_box;
    QObject *m_object;   // the same box, asked what it still is
};

// A list without a text box draws its value itself, cut at its end.
void fitClosedList(QComboBox *list)
{
    QStyleOptionComboBox option;
    option.initFrom(list);
    option.editable = false;
    option.frame = list->hasFrame();
    const QRect field = list->style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, list);
    const QString text = list->currentText();
    int room = field.width() - 4;
    if (!list->itemIcon(list->currentIndex()).isNull())
        room -= list->iconSize().width() + 4;
    setValueTip(list, text, list->fontMetrics().horizontalAdvance(text) > room);
}

// The open list is at least as wide as its widest item, with room for the
// scroll bar when not all items show at once.
void fitOpenList(QComboBox *list)
{
    QAbstractItemView *view = list->view();
    if (!view)
        return;
    int width = view->sizeHintForColumn(list->modelColumn()) + 2 * view->frameWidth();
    if (list->count() > list->maxVisibleItems())
        width += view->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, view->verticalScrollBar());
    view->setMinimumWidth(width);
}

} // namespace

void showValuesWhole(QWidget *window)
{
    for (QLineEdit *box : window->findChildren<QLineEdit *>()) {
        if (qobject_cast<QAbstractSpinBox *>(box->parentWidget()) || box->property(kFitted).toBool())
            continue;
        box->setProperty(kFitted, true);
        new ValueFit(box);
    }
    for (QComboBox *list : window->findChildren<QComboBox *>()) {
        if (list->property(kFitted).toBool())
            continue;
        list->setProperty(kFitted, true);
        fitOpenList(list);
        QAbstractItemModel *model = list->model();
        const auto refit = [list] { fitOpenList(list); };
        QObject::connect(model, &QAbstractItemModel::rowsInserted, list, refit);
        QObject::connect(model, &QAbstractItemModel::rowsRemoved, list, refit);
        QObject::connect(model, &QAbstractItemModel::dataChanged, list, refit);
        QObject::connect(model, &QAbstractItemModel::modelReset, list, refit);
        if (!list->isEditable()) {
            fitClosedList(list);
            QObject::connect(list, &QComboBox::currentTextChanged, list, [list] { fitClosedList(list); });
        }
    }
}

} // namespace bravik::controls
