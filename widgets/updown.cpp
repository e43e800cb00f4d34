#include "widgets/updown.h"

#include <QEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QToolButton>
#include <QVBoxLayout>

namespace ringmere::widgets {

UpDown::UpDown(QWidget* parent) : QWidget(parent) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    up_ = new QToolButton(this);
    down_ = new QToolButton(this);
    up_->setArrowType(Qt::UpArrow);
    down_->setArrowType(Qt::DownArrow);
    for (QToolButton* b : {up_, down_}) {
        b->setAutoRepeat(true);
        b->setFocusPolicy(Qt::NoFocus);
        b->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Expanding);
        b->setFixedWidth(16);
        layout->addWidget(b);
    }
    up_->setAccessibleName(tr("Increase"));
    down_->setAccessibleName(tr("Decrease"));
    connect(up_, &QToolButton::clicked, this, [this] { StepBy(1); });
    connect(down_, &QToolButton::clicked, this, [this] { StepBy(-1); });
}

void UpDown::SetBuddy(QLineEdit* field) {
    if (buddy_) buddy_->removeEventFilter(this);
    buddy_ = field;
    if (!buddy_) return;
    // The arrow keys in the field step it, as they would in a spin box.
    buddy_->installEventFilter(this);
    setEnabled(!buddy_->testAttribute(Qt::WA_ForceDisabled));
}

void UpDown::SetRange(int minimum, int maximum) {
    min_ = minimum;
    max_ = maximum < minimum ? minimum : maximum;
}

void UpDown::StepBy(int steps) {
    if (!buddy_ || !buddy_->isEnabled()) return;
    bool ok = false;
    const qlonglong typed = buddy_->text().trimmed().toLongLong(&ok);
    qlonglong value;
    if (!ok || typed < min_) {
        value = min_;
    } else if (typed > max_) {
        value = max_;
    } else {
        value = typed + steps;
        if (value > max_) value = wrap_ ? min_ : max_;
        if (value < min_) value = wrap_ ? max_ : min_;
    }
    buddy_->setText(QString::number(value));
}

// Enabling or disabling the arrows themselves does the same to the field, and
// the other way round. Only a change made to the widget itself is passed on: a
// disabled parent must not leave the other one disabled on its own account.
void UpDown::changeEvent(QEvent* event) {
    if (event->type() == QEvent::EnabledChange && buddy_) {
        const bool off = testAttribute(Qt::WA_ForceDisabled);
        if (buddy_->testAttribute(Qt::WA_ForceDisabled) != off) buddy_->setEnabled(!off);
    }
    QWidget::changeEvent(event);
}

bool UpDown::eventFilter(QObject* watched, QEvent* event) {
    if (watched == buddy_) {
        if (event->type() == QEvent::EnabledChange) {
            const bool off = buddy_->testAttribute(Qt::WA_ForceDisabled);
            if (testAttribute(Qt::WA_ForceDisabled) != off) setEnabled(!off);
        }
        if (event->type() == QEvent::KeyPress) {
            const int key = static_cast<QKeyEvent*>(event)->key();
            if (key == Qt::Key_Up || key == Qt::Key_Down) {
                StepBy(key == Qt::Key_Up ? 1 : -1);
                return true;
            }
        }
    }
    return QWidget::eventFilter(watched, event);
}

}  // namespace ringmere::widgets
