#include "ui/actionkit.h"

#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <algorithm>

#include "run/desktop.h"
#include "widgets/dialogs.h"
#include "widgets/form_text.h"

namespace ringmere::ui {

using widgets::ShownText;

void SelectStoredText(QComboBox* list, const std::string& stored) {
    const QString shown = ShownText(stored);
    const int found = list->findText(shown, Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (found >= 0) {
        list->setCurrentIndex(found);
        return;
    }
    list->setCurrentIndex(-1);
    list->setEditText(shown);
}

void KeepStoredEntry(QComboBox* list, const std::string& stored) {
    list->clear();
    if (!stored.empty()) list->addItem(ShownText(stored));
}

void FillRecipients(QComboBox* to, const Globals& g) {
    const QString shown = to->currentText();
    to->clear();
    auto insert = [to](const std::string& mto) {
        const QString text = ShownText(mto);
        if (text.isEmpty()) return;
        int i = 0;
        for (; i < to->count(); ++i) {
            const QString entry = to->itemText(i);
            if (QString::localeAwareCompare(entry, text) >= 0) {
                if (entry == text) return;
                break;
            }
        }
        to->insertItem(i, text);
    };
    const Integer last = std::min<Integer>(g.AlarmCount, Integer(g.AlarmTable.size()) - 1);
    for (Integer a = 1; a <= last; ++a) {
        const AlRec& alarm = g.AlarmTable[std::size_t(a)];
        if (alarm.mtype != kSimpleAlarm) {
            for (const AlEvent& step : alarm.Events.Items)
                if (step.evtype == kStepMail) insert(step.Mail.mto);
        } else if (alarm.Mail.sendmessage) {
            insert(alarm.Mail.mto);
        }
    }
    to->setCurrentIndex(-1);
    to->setEditText(shown);
}

void AddAttachmentRow(widgets::DialogService& dialogs, QWidget* owner, QListWidget* list,
                      QPushButton* remove) {
    const QString path = dialogs.OpenFileName(owner, QStringLiteral("Add File"), QDir::homePath(),
                                              QString::fromLatin1(kAllFiles));
    if (path.isEmpty()) return;
    list->addItem(path);
    remove->setEnabled(true);
}

void RemoveAttachmentRow(QListWidget* list, QPushButton* remove) {
    const QList<QListWidgetItem*> selected = list->selectedItems();
    if (selected.isEmpty()) return;
    delete selected.first();
    if (list->count() == 0) remove->setEnabled(false);
}

void BrowseFileInto(widgets::DialogService& dialogs, QWidget* owner, QLineEdit* field,
                    const QString& dir, const QString& filter) {
    const QFileInfo current(field->text());
    const QString start =
        !field->text().isEmpty() && current.dir().exists() ? current.dir().path() : dir;
    const QString chosen = dialogs.OpenFileName(owner, QStringLiteral("Open"), start, filter);
    if (!chosen.isEmpty()) field->setText(chosen);
}

void BrowseFolderInto(widgets::DialogService& dialogs, QWidget* owner, QLineEdit* field) {
    const QString chosen =
        dialogs.ExistingDirectory(owner, QStringLiteral("Select Folder"), QDir::homePath());
    if (!chosen.isEmpty()) field->setText(chosen);
}

bool OpenWebPageTest(run::Desktop& desktop, const QString& url, bool newWindow) {
    return run::Execute(desktop, run::PlanWebPage(desktop, url, newWindow));
}

}  // namespace ringmere::ui
