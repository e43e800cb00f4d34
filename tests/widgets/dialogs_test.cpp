// The program's real boxes, answered as soon as they are up.
#include "widgets/dialogs.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QInputDialog>
#include <QMessageBox>
#include <QTimer>

namespace ringmere::widgets {
namespace {

TEST(SystemDialogs, MessageLinesBreakOnEveryLineEnd) {
    const struct {
        QString text;
        QString shown;
    } cases[] = {
        {"one\rtwo\rthree", "one\ntwo\nthree"},
        {"one\r\ntwo", "one\ntwo"},
        {"one\ntwo\r\r", "one\ntwo\n\n"},
        {"plain", "plain"},
    };
    const auto dialogs = NewSystemDialogs();
    for (const auto& c : cases) {
        QString shown = QStringLiteral("(no box)");
        QTimer::singleShot(0, [&] {
            for (QWidget* w : QApplication::topLevelWidgets())
                if (auto* box = qobject_cast<QMessageBox*>(w); box && box->isVisible()) {
                    shown = box->text();
                    box->accept();
                }
        });
        dialogs->Message(nullptr, BoxKind::Information, c.text);
        EXPECT_EQ(shown.toStdString(), c.shown.toStdString()) << c.text.toStdString();
    }
}

// The name prompt's title is a sentence: the box is wide enough to show it.
TEST(SystemDialogs, InputBoxIsWideEnoughForItsTitle) {
    const auto dialogs = NewSystemDialogs();
    for (const QString& caption :
         {QStringLiteral("Please enter a name for the alarm:"),
          QStringLiteral("Please enter a new name"), QStringLiteral("x")}) {
        int width = 0, needed = 0;
        QString title;
        QTimer::singleShot(0, [&] {
            for (QWidget* w : QApplication::topLevelWidgets())
                if (auto* box = qobject_cast<QInputDialog*>(w); box && box->isVisible()) {
                    width = box->width();
                    title = box->windowTitle();
                    QFont bold = box->font();
                    bold.setBold(true);
                    needed = QFontMetrics(bold).horizontalAdvance(caption);
                    box->setTextValue(QStringLiteral("Typed"));
                    box->accept();
                }
        });
        const std::optional<QString> answer = dialogs->InputText(
            nullptr, caption, QStringLiteral("Alarm name:"), QStringLiteral("Alarm 1"));
        EXPECT_EQ(title, caption);
        EXPECT_GT(width, needed) << caption.toStdString();
        EXPECT_EQ(answer, std::optional<QString>(QStringLiteral("Typed")));
    }
}

}  // namespace
}  // namespace ringmere::widgets
