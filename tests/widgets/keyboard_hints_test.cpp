// Shift+F1 shows, for the focused control, the hint the mouse would find.
#include "widgets/keyboard_hints.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QGroupBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <QToolTip>
#include <QVBoxLayout>

namespace ringmere::widgets {
namespace {

TEST(KeyboardHints, ShiftF1ShowsTheFocusedControlsHint) {
    QWidget window;
    auto* layout = new QVBoxLayout(&window);
    auto* field = new QLineEdit;
    field->setToolTip(QStringLiteral("The alarm's name"));
    auto* group = new QGroupBox(QStringLiteral("Days"));
    group->setToolTip(QStringLiteral("Days the alarm skips"));
    auto* inGroup = new QPushButton(QStringLiteral("Clear"));
    (new QVBoxLayout(group))->addWidget(inGroup);
    auto* list = new QListWidget;
    list->addItems({QStringLiteral("one"), QStringLiteral("two")});
    list->item(1)->setToolTip(QStringLiteral("The second"));
    list->setCurrentRow(1);
    auto* bare = new QPushButton(QStringLiteral("Bare"));
    for (QWidget* w : {static_cast<QWidget*>(field), static_cast<QWidget*>(group),
                       static_cast<QWidget*>(list), static_cast<QWidget*>(bare)})
        layout->addWidget(w);
    window.show();
    QApplication::setActiveWindow(&window);

    const struct {
        QWidget* focused;
        QString hint;  // empty: none shown
    } cases[] = {
        {field, "The alarm's name"},
        {inGroup, "Days the alarm skips"},
        {list, "The second"},
        {bare, ""},
    };
    for (bool installed : {false, true}) {
        std::unique_ptr<KeyboardHints> hints;
        if (installed) hints = std::make_unique<KeyboardHints>();
        for (const auto& c : cases) {
            QToolTip::hideText();
            c.focused->setFocus();
            QTest::keyClick(c.focused, Qt::Key_F1, Qt::ShiftModifier);
            const QString shown = QToolTip::isVisible() ? QToolTip::text() : QString();
            EXPECT_EQ(shown, installed ? c.hint : QString()) << c.hint.toStdString();
        }
    }
    QToolTip::hideText();
}

}  // namespace
}  // namespace ringmere::widgets
