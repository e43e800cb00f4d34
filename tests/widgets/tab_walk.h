// Walks a window's controls with the Tab key, as a keyboard user would, and
// lists what is wrong with the walk:
//
//   EXPECT_EQ(TabWalkProblemsOnEveryPage(window).join('\n').toStdString(), "");
//
// - every visible, enabled control that takes focus by Tab is reached, once,
//   and Tab moves on from it (no control keeps the key to itself);
// - the order is the reading order: within a container (the window, a group
//   box, a page of a tab or stacked widget) controls and sub-containers go by
//   rows, top to bottom, then left to right, or by columns; a container is
//   walked whole before the next; OK, Cancel, Help and the like come last;
// - every control has a name for screen readers, and a button showing no
//   text (an icon) has an accessible name and a tooltip. A calendar's day
//   grid is left out: its cells are read by their dates.
//
// TabWalkProblemsOnEveryPage repeats the walk with each page of every tab and
// stacked widget shown in turn.
#pragma once

#include <QAbstractButton>
#include <QAbstractSpinBox>
#include <QAccessible>
#include <QApplication>
#include <QCalendarWidget>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QPushButton>
#include <QStackedWidget>
#include <QTabWidget>
#include <QTest>
#include <QWidget>
#include <algorithm>

namespace ringmere::widgets::testing {

inline QString Describe(const QWidget* w) {
    const QString name = w->objectName().isEmpty() ? QStringLiteral("(unnamed)") : w->objectName();
    return QStringLiteral("%1 %2").arg(QString::fromLatin1(w->metaObject()->className()), name);
}

// Whether Tab can stop at `w`, by the rule Qt itself uses.
inline bool TakesTab(const QWidget* w, const QWidget* window) {
    return w != window && w->window() == window &&
           (w->focusPolicy() & Qt::TabFocus) == Qt::TabFocus && !w->focusProxy() &&
           w->isVisibleTo(window) && w->isEnabled();
}

inline bool IsContainer(const QWidget* w) {
    return w->isWindow() || qobject_cast<const QGroupBox*>(w) ||
           qobject_cast<const QStackedWidget*>(w->parentWidget());
}

inline QWidget* ContainerOf(const QWidget* w) {
    QWidget* p = w->parentWidget();
    while (p && !IsContainer(p)) p = p->parentWidget();
    return p;
}

// The buttons that end a dialog, which go last whatever their place.
inline bool EndsDialog(const QWidget* w) {
    for (const QWidget* p = w->parentWidget(); p; p = p->parentWidget())
        if (qobject_cast<const QDialogButtonBox*>(p)) return true;
    const auto* button = qobject_cast<const QPushButton*>(w);
    if (!button) return false;
    QString text = button->text();
    text.remove(QLatin1Char('&'));
    static const QStringList kEnding = {"OK", "Cancel", "Help", "Close", "Apply"};
    return kEnding.contains(text);
}

// True when `a` is read before `b`; both rectangles in one container's
// coordinates. Two controls are on one row when their tops differ by less
// than half the shorter one's height, which keeps a label beside its field.
inline bool ReadBefore(const QRect& a, const QRect& b) {
    const int tolerance = std::min(a.height(), b.height()) / 2;
    if (std::abs(a.top() - b.top()) > tolerance) return a.top() < b.top();
    return a.left() < b.left();
}

// Whether Tab may go from `a` on to `b`: `b` is read after `a`, or starts to
// the right of it, at the top of the next column of a list set in columns.
// The two are compared where their containers meet.
inline bool MayFollow(const QWidget* a, const QWidget* b) {
    auto chain = [](const QWidget* w) {
        QList<const QWidget*> out{w};  // the window's container, ..., w
        for (QWidget* c = ContainerOf(w); c; c = c->isWindow() ? nullptr : ContainerOf(c))
            out.prepend(c);
        return out;
    };
    const auto ca = chain(a), cb = chain(b);
    qsizetype i = 0;
    while (i < ca.size() && i < cb.size() && ca[i] == cb[i]) ++i;
    if (i == 0 || i >= ca.size() || i >= cb.size()) return true;
    const QWidget* within = ca[i - 1];
    const auto rectIn = [within](const QWidget* w) {
        return QRect(w->mapTo(within, QPoint(0, 0)), w->size());
    };
    const QRect ra = rectIn(ca[i]), rb = rectIn(cb[i]);
    return ReadBefore(ra, rb) || rb.left() > ra.right();
}

// What a screen reader calls the control: its own name, its text, its buddy
// label's text or its group box's title.
inline QString AccessibleName(QWidget* w) {
    QAccessibleInterface* face = QAccessible::queryAccessibleInterface(w);
    return face ? face->text(QAccessible::Name) : QString();
}

inline QStringList TabWalkProblems(QWidget& window) {
    QStringList problems;
    window.show();
    QApplication::setActiveWindow(&window);
    QApplication::processEvents();

    const auto stops = [&window] {
        QList<QWidget*> out;
        for (QWidget* w = window.nextInFocusChain(); w != &window; w = w->nextInFocusChain())
            if (TakesTab(w, &window)) out << w;
        return out;
    };
    QList<QWidget*> expected = stops();
    if (expected.isEmpty()) return problems;
    // A radio button that takes the focus takes Tab from the others of its
    // group (the arrow keys move within it): one round first to settle that.
    expected.first()->setFocus(Qt::TabFocusReason);
    for (qsizetype step = 0; step < 3 * expected.size(); ++step) {
        QWidget* at = QApplication::focusWidget();
        if (!at) break;
        QTest::keyClick(at, Qt::Key_Tab);
        if (QApplication::focusWidget() == at && !qobject_cast<QAbstractSpinBox*>(at))
            expected[(expected.indexOf(at) + 1) % expected.size()]->setFocus(Qt::TabFocusReason);
    }
    expected = stops();

    // Tab through, from the control the window starts with.
    QList<QWidget*> walked;
    expected.first()->setFocus(Qt::TabFocusReason);
    for (qsizetype step = 0; step <= expected.size(); ++step) {
        QWidget* at = QApplication::focusWidget();
        if (!at || !expected.contains(at)) {
            problems << QStringLiteral("Tab left the window's controls after %1")
                            .arg(walked.isEmpty() ? QStringLiteral("the start")
                                                  : Describe(walked.last()));
            break;
        }
        if (!walked.isEmpty() && at == walked.first()) break;
        if (walked.contains(at)) {
            problems << QStringLiteral("Tab reaches %1 twice").arg(Describe(at));
            break;
        }
        walked << at;
        QTest::keyClick(at, Qt::Key_Tab);
        // A date or time field takes one Tab per section before it lets go.
        if (qobject_cast<QAbstractSpinBox*>(at))
            for (int section = 0; section < 8 && QApplication::focusWidget() == at; ++section)
                QTest::keyClick(at, Qt::Key_Tab);
        if (QApplication::focusWidget() == at && expected.size() > 1) {
            problems << QStringLiteral("Tab stays in %1").arg(Describe(at));
            // Go on from the next control in the chain.
            expected[(expected.indexOf(at) + 1) % expected.size()]->setFocus(Qt::TabFocusReason);
        }
    }
    for (QWidget* w : expected)
        if (!walked.contains(w))
            problems << QStringLiteral("Tab never reaches %1").arg(Describe(w));

    // Dialog buttons last; the others in reading order.
    QList<QWidget*> body, ending;
    for (QWidget* w : walked) (EndsDialog(w) ? ending : body) << w;
    for (qsizetype i = 1; i < walked.size(); ++i)
        if (EndsDialog(walked[i - 1]) && !EndsDialog(walked[i])) {
            problems << QStringLiteral("Tab reaches %1 after %2, which ends the dialog")
                            .arg(Describe(walked[i]), Describe(walked[i - 1]));
            break;
        }
    for (qsizetype i = 1; i < body.size(); ++i)
        if (!MayFollow(body[i - 1], body[i]))
            problems << QStringLiteral("Tab goes from %1 to %2, which is read before it")
                            .arg(Describe(body[i - 1]), Describe(body[i]));

    for (QWidget* w : walked) {
        const auto* button = qobject_cast<QAbstractButton*>(w);
        if (button && button->text().isEmpty()) {
            if (w->accessibleName().isEmpty())
                problems << QStringLiteral("%1 shows no text and has no name").arg(Describe(w));
            if (w->toolTip().isEmpty())
                problems << QStringLiteral("%1 shows no text and has no tooltip").arg(Describe(w));
        } else if (AccessibleName(w).isEmpty() &&
                   !qobject_cast<QCalendarWidget*>(w->parentWidget())) {
            problems << QStringLiteral("%1 has no name for screen readers").arg(Describe(w));
        }
    }
    return problems;
}

inline QStringList TabWalkProblemsOnEveryPage(QWidget& window) {
    QStringList problems = TabWalkProblems(window);
    for (QStackedWidget* stack : window.findChildren<QStackedWidget*>()) {
        for (int page = 0; page < stack->count(); ++page) {
            // Show the page, and the pages that hold its stack.
            QWidget* shown = stack->widget(page);
            for (QWidget* w = shown; w && w != &window; w = w->parentWidget()) {
                auto* holder = qobject_cast<QStackedWidget*>(w->parentWidget());
                if (!holder) continue;
                if (auto* tabs = qobject_cast<QTabWidget*>(holder->parentWidget()))
                    tabs->setCurrentWidget(w);
                else
                    holder->setCurrentWidget(w);
            }
            problems << TabWalkProblems(window);
        }
    }
    problems.removeDuplicates();
    return problems;
}

}  // namespace ringmere::widgets::testing
