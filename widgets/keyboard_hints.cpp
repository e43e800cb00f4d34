#include "widgets/keyboard_hints.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QToolTip>
#include <QWidget>

namespace ringmere::widgets {

KeyboardHints::KeyboardHints(QObject* parent) : QObject(parent) {
    qApp->installEventFilter(this);
}

KeyboardHints::~KeyboardHints() {
    qApp->removeEventFilter(this);
}

bool KeyboardHints::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress) return false;
    const auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() != Qt::Key_F1 || key->modifiers() != Qt::ShiftModifier) return false;
    auto* widget = qobject_cast<QWidget*>(watched);
    if (!widget || widget != QApplication::focusWidget()) return false;

    // Ask the control as the mouse would: a list answers for its current
    // item, and a control without a hint passes the question to its parent.
    QWidget* asked = widget;
    QPoint at = widget->rect().center();
    if (auto* view = qobject_cast<QAbstractItemView*>(widget)) {
        asked = view->viewport();
        at = view->currentIndex().isValid() ? view->visualRect(view->currentIndex()).center()
                                            : asked->rect().center();
    }
    QToolTip::hideText();
    QHelpEvent help(QEvent::ToolTip, at, asked->mapToGlobal(at));
    QApplication::sendEvent(asked, &help);
    return QToolTip::isVisible();
}

}  // namespace ringmere::widgets
