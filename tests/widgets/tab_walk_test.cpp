// The Tab walk the window tests rely on finds each kind of fault it claims to.
#include "tests/widgets/tab_walk.h"

#include <gtest/gtest.h>

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QToolButton>
#include <functional>

namespace ringmere::widgets::testing {
namespace {

// Two labelled fields, an icon button beside the second, a group with a button
// and two radio buttons below, and OK.
struct Form {
    QWidget window;
    QLineEdit* first = new QLineEdit;
    QLineEdit* second = new QLineEdit;
    QToolButton* browse = new QToolButton;
    QGroupBox* group = new QGroupBox(QStringLiteral("More"));
    QPushButton* inGroup = new QPushButton(QStringLiteral("Inside"));
    QPushButton* ok = new QPushButton(QStringLiteral("OK"));

    Form() {
        first->setObjectName(QStringLiteral("first"));
        second->setObjectName(QStringLiteral("second"));
        browse->setObjectName(QStringLiteral("browse"));
        inGroup->setObjectName(QStringLiteral("inside"));
        ok->setObjectName(QStringLiteral("ok"));
        auto* grid = new QGridLayout(&window);
        auto* label1 = new QLabel(QStringLiteral("First"));
        auto* label2 = new QLabel(QStringLiteral("Second"));
        label1->setBuddy(first);
        label2->setBuddy(second);
        grid->addWidget(label1, 0, 0);
        grid->addWidget(first, 0, 1);
        grid->addWidget(label2, 1, 0);
        grid->addWidget(second, 1, 1);
        grid->addWidget(browse, 1, 2);
        browse->setAccessibleName(QStringLiteral("Browse"));
        browse->setToolTip(QStringLiteral("Choose a file"));
        // Tab stops at one of the two; the arrow keys move between them.
        auto* early = new QRadioButton(QStringLiteral("Early"));
        auto* late = new QRadioButton(QStringLiteral("Late"));
        early->setChecked(true);
        auto* inside = new QVBoxLayout(group);
        inside->addWidget(inGroup);
        inside->addWidget(early);
        inside->addWidget(late);
        grid->addWidget(group, 2, 0, 1, 3);
        grid->addWidget(ok, 3, 2);
    }
};

TEST(TabWalk, FindsEachFault) {
    const struct {
        const char* fault;
        std::function<void(Form&)> plant;
        QString found;
    } cases[] = {
        {"none", [](Form&) {}, QString()},
        {"fields swapped", [](Form& f) { QWidget::setTabOrder(f.second, f.first); },
         "Tab goes from QLineEdit second to QLineEdit first, which is read before it"},
        {"group entered early", [](Form& f) { QWidget::setTabOrder(f.first, f.inGroup); },
         "Tab goes from QPushButton inside to QLineEdit second, which is read before it"},
        {"OK before the group", [](Form& f) { QWidget::setTabOrder(f.browse, f.ok); },
         "Tab reaches QPushButton inside after QPushButton ok, which ends the dialog"},
        {"nameless icon",
         [](Form& f) {
             f.browse->setAccessibleName(QString());
             f.browse->setToolTip(QString());
         },
         "QToolButton browse shows no text and has no name\n"
         "QToolButton browse shows no text and has no tooltip"},
        {"unlabelled field", [](Form& f) { f.window.findChild<QLabel*>()->setBuddy(nullptr); },
         "QLineEdit first has no name for screen readers"},
        {"field keeps Tab",
         [](Form& f) {
             auto* text = new QPlainTextEdit(f.group);
             text->setObjectName(QStringLiteral("notes"));
             text->setAccessibleName(QStringLiteral("Notes"));
             static_cast<QVBoxLayout*>(f.group->layout())->insertWidget(1, text);
             QWidget::setTabOrder(f.inGroup, text);
         },
         "Tab stays in QPlainTextEdit notes"},
    };
    for (const auto& c : cases) {
        Form form;
        c.plant(form);
        EXPECT_EQ(TabWalkProblems(form.window).join('\n').toStdString(), c.found.toStdString())
            << c.fault;
    }
}

}  // namespace
}  // namespace ringmere::widgets::testing
