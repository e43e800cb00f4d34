// Shift+F1 shows the hint the mouse would find over the control that has the
// focus, so that hints are not for mouse users only.
#pragma once

#include <QObject>

namespace ringmere::widgets {

// Installed once on the application; removes itself when destroyed.
class KeyboardHints final : public QObject {
public:
    explicit KeyboardHints(QObject* parent = nullptr);
    ~KeyboardHints() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};

}  // namespace ringmere::widgets
