// A click into a time or date field selects the part under the pointer, and
// digits typed then replace it: real mouse and key events.
#include <gtest/gtest.h>

#include <QDateEdit>
#include <QLineEdit>
#include <QTest>
#include <QTimeEdit>
#include <QVBoxLayout>

#include "widgets/time_fields.h"

namespace ringmere::widgets {
namespace {

// A point inside the field's text where a click puts the cursor at `position`.
QPoint Before(QLineEdit* edit, int position) {
    const int y = edit->height() / 2;
    for (int x = 0; x < edit->width(); ++x)
        if (edit->cursorPositionAt(QPoint(x, y)) == position) return {x + 1, y};
    ADD_FAILURE() << "no point for position " << position << " in " << edit->text().toStdString();
    return {0, y};
}

TEST(TimeFields, AClickSelectsThePartUnderThePointerAndDigitsReplaceIt) {
    struct Case {
        const char* format;
        const char* value;  // in `format`
        int position;       // clicked just after this character
        const char* typed;
        const char* after;
    };
    const Case cases[] = {
        {"h:mm:ss AP", "9:05:00 AM", 3, "42", "9:42:00 AM"},  // inside the minutes
        {"h:mm:ss AP", "9:05:00 AM", 0, "11", "11:05:00 AM"},
        {"h:mm:ss AP", "9:05:00 AM", 7, "07", "9:05:07 AM"},  // the end of the seconds
        {"h:mm:ss AP", "9:05:00 AM", 8, "PM", "9:05:00 PM"},
        {"M/d/yyyy", "1/7/2001", 6, "2030", "1/7/2030"},
        {"M/d/yyyy", "1/7/2001", 2, "25", "1/25/2001"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.value) + " at " + std::to_string(c.position));
        QWidget window;
        auto* layout = new QVBoxLayout(&window);
        QDateTimeEdit* field = QString(c.format).contains('h')
                                   ? static_cast<QDateTimeEdit*>(new QTimeEdit)
                                   : new QDateEdit;
        auto* other = new QLineEdit;  // the field gets focus from the click
        layout->addWidget(other);
        layout->addWidget(field);
        field->setDisplayFormat(QString::fromLatin1(c.format));
        field->setDateTime(
            QDateTime::fromString(QString::fromLatin1(c.value), field->displayFormat()));
        ASSERT_EQ(field->text(), QString::fromLatin1(c.value));
        SelectPartsOnClick(&window);
        window.show();
        other->setFocus();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));

        auto* edit = field->findChild<QLineEdit*>();
        QTest::mouseClick(edit, Qt::LeftButton, {}, Before(edit, c.position));
        QTest::keyClicks(field, QString::fromLatin1(c.typed));
        EXPECT_EQ(field->text().toStdString(), c.after);
        // A second click elsewhere works the same way.
        QTest::mouseClick(edit, Qt::LeftButton, {}, Before(edit, 0));
        EXPECT_TRUE(edit->hasSelectedText());
    }
}

}  // namespace
}  // namespace ringmere::widgets
