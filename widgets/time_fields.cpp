#include "widgets/time_fields.h"

#include <QCoreApplication>
#include <QDateTimeEdit>
#include <QLineEdit>
#include <QMouseEvent>

namespace ringmere::widgets {

namespace {

class PartOnClick final : public QObject {
public:
    static constexpr const char* kName = "selectPartOnClick";
    explicit PartOnClick(QDateTimeEdit* field) : QObject(field), field_(field) {
        setObjectName(QLatin1String(kName));
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::MouseButtonRelease || delivering_) return false;
        if (static_cast<QMouseEvent*>(event)->button() != Qt::LeftButton) return false;
        // The field's own handling first: it ends a drag and places the
        // cursor, and the part is taken from where the cursor then is.
        delivering_ = true;
        QCoreApplication::sendEvent(watched, event);
        delivering_ = false;
        const auto* edit = static_cast<QLineEdit*>(watched);
        // A drag chose its own text; a read-only field takes no typing.
        if (!edit->hasSelectedText() && !field_->isReadOnly() && field_->isEnabled())
            field_->setSelectedSection(field_->currentSection());
        return true;
    }

private:
    QDateTimeEdit* field_;
    bool delivering_ = false;
};

}  // namespace

void SelectPartOnClick(QDateTimeEdit* field) {
    auto* edit = field->findChild<QLineEdit*>();
    // Once per field, however often a window asks.
    if (!edit ||
        field->findChild<QObject*>(QLatin1String(PartOnClick::kName), Qt::FindDirectChildrenOnly))
        return;
    edit->installEventFilter(new PartOnClick(field));
}

void SelectPartsOnClick(QWidget* root) {
    for (QDateTimeEdit* field : root->findChildren<QDateTimeEdit*>()) SelectPartOnClick(field);
}

}  // namespace ringmere::widgets
