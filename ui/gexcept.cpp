#include "ui/gexcept.h"

#include <QListWidget>

#include "core/alarmtable.h"
#include "core/exception_form.h"
#include "ui/AddException.h"
#include "ui_gexcept.h"
#include "widgets/dialogs.h"
#include "widgets/settings_save.h"

namespace ringmere::ui {

Tfrmgexcept::Tfrmgexcept(Globals& g, const Services& services, QWidget* owner)
    : QDialog(owner),
      ui_(std::make_unique<Ui::Tfrmgexcept>()),
      g_(g),
      services_(services),
      rules_(g.GlobalExceptions) {
    ui_->setupUi(this);
    adjustSize();
    if (owner) move(widgets::PlaceOver(owner, frameGeometry().size(), true));

    connect(ui_->clExcepts, &QListWidget::currentRowChanged, this, [this](int row) {
        if (row < 0) return;
        selected_ = row + 1;
        if (!ClientMode()) ui_->btnEditException->setEnabled(true);
    });
    // Only a row under the pointer: the view sends no item for empty space.
    connect(ui_->clExcepts, &QListWidget::itemDoubleClicked, this, [this](QListWidgetItem* item) {
        ui_->clExcepts->setCurrentItem(item);
        EditException();
    });
    connect(ui_->btnAddException, &QPushButton::clicked, this, &Tfrmgexcept::AddException);
    connect(ui_->btnEditException, &QPushButton::clicked, this, &Tfrmgexcept::EditException);
    connect(ui_->btnDeleteException, &QPushButton::clicked, this, &Tfrmgexcept::DeleteException);
    connect(ui_->btnOK, &QPushButton::clicked, this, &Tfrmgexcept::Ok);
    connect(ui_->btnCancel, &QPushButton::clicked, this, &QDialog::reject);

    Refill();
    if (ClientMode()) {
        ui_->btnAddException->setEnabled(false);
        ui_->btnDeleteException->setEnabled(false);
    }
}

Tfrmgexcept::~Tfrmgexcept() = default;

TfrmExceptions* Tfrmgexcept::Editor() const {
    return editor_;
}

bool Tfrmgexcept::ClientMode() const {
    return IsClientMode(g_);
}

void Tfrmgexcept::Refill() {
    QListWidget* list = ui_->clExcepts;
    list->clear();
    const Integer count = std::min(rules_.Count, static_cast<Integer>(rules_.Items.size()));
    for (Integer k = 1; k <= count; ++k)
        list->addItem(QString::fromStdString(RuleDescription(rules_, k)));
    const bool any = list->count() > 0;
    ui_->btnEditException->setEnabled(any);
    ui_->btnDeleteException->setEnabled(any && !ClientMode());
    if (any) {
        list->setCurrentRow(0);
        selected_ = 1;
    }
}

void Tfrmgexcept::AddException() {
    if (ClientMode()) return;
    OpenEditor(true);
}

void Tfrmgexcept::EditException() {
    const int row = ui_->clExcepts->currentRow();
    if (row < 0) return;
    selected_ = row + 1;
    OpenEditor(false);
}

void Tfrmgexcept::OpenEditor(bool adding) {
    if (editor_) return;
    auto* editor = new TfrmExceptions(g_, services_, {rules_, adding ? 0 : selected_, adding}, this);
    editor_ = editor;
    editor->setAttribute(Qt::WA_DeleteOnClose);
    connect(editor, &QDialog::finished, this, [this, editor](int result) {
        if (result != QDialog::Accepted) return;
        PutRule(rules_, editor->Request(), editor->Result());
        Refill();
    });
    widgets::ShowOverOwner(*editor);
}

void Tfrmgexcept::DeleteException() {
    const int row = ui_->clExcepts->currentRow();
    if (ClientMode() || row < 0) return;
    DeleteRule(rules_, row + 1);
    Refill();
}

void Tfrmgexcept::Ok() {
    if (ClientMode()) {
        // The file named here is the shared one or a web address; the rules
        // could not change anyway.
        reject();
        return;
    }
    g_.GlobalExceptions = rules_;
    widgets::SaveSettingsTelling(g_, services_.dialogs, this, frameGeometry().topLeft());
    accept();
}

}  // namespace ringmere::ui
