// The program's real boxes, answered as soon as they are up.
#include "widgets/dialogs.h"

#include <gtest/gtest.h>

#include <QApplication>
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

}  // namespace
}  // namespace ringmere::widgets
