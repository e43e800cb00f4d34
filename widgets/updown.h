// The arrows beside a number typed into a text field. The field stays a
// plain text field: what is typed is checked when the form is saved, and the
// arrows only step a valid number and keep it inside the range.
#pragma once

#include <QWidget>

class QLineEdit;
class QToolButton;

namespace ringmere::widgets {

class UpDown : public QWidget {
    Q_OBJECT

public:
    explicit UpDown(QWidget* parent = nullptr);

    // The field the arrows change; its enabled state is followed.
    void SetBuddy(QLineEdit* field);
    QLineEdit* Buddy() const { return buddy_; }
    void SetRange(int minimum, int maximum);
    int Minimum() const { return min_; }
    int Maximum() const { return max_; }
    // Past the end the value goes round to the other end.
    void SetWrap(bool wrap) { wrap_ = wrap; }

    // One step up (+1) or down (-1). A field that holds no number, or one
    // outside the range, takes the nearest end of the range.
    void StepBy(int steps);

protected:
    void changeEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QLineEdit* buddy_ = nullptr;
    QToolButton* up_ = nullptr;
    QToolButton* down_ = nullptr;
    int min_ = 0;
    int max_ = 100;
    bool wrap_ = false;
};

}  // namespace ringmere::widgets
