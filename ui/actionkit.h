// What the simple set's action tabs and the step editor share: the same
// controls behave the same in both.
#pragma once

#include <QString>
#include <string>

#include "core/globals.h"

class QComboBox;
class QLineEdit;
class QListWidget;
class QPushButton;
class QWidget;

namespace ringmere {
namespace run {
class Desktop;
}
namespace widgets {
class DialogService;
}

namespace ui {

inline constexpr const char* kAllFiles = "All Files (*)";

// Chooses the entry equal to `stored`; a text the list lacks is shown as it
// is, never replaced by another entry, so saving keeps it.
void SelectStoredText(QComboBox* list, const std::string& stored);
// A connection list the service has not filled: the stored name only.
void KeepStoredEntry(QComboBox* list, const std::string& stored);
// The "To:" list: every recipient of the table's alarms and mail steps,
// once, sorted; the text shown stays.
void FillRecipients(QComboBox* to, const Globals& g);

void AddAttachmentRow(widgets::DialogService& dialogs, QWidget* owner, QListWidget* list,
                      QPushButton* remove);
// Removes the selected row, nothing when none; "Remove File" follows.
void RemoveAttachmentRow(QListWidget* list, QPushButton* remove);

// A file dialog starting where the field points, when that folder exists.
void BrowseFileInto(widgets::DialogService& dialogs, QWidget* owner, QLineEdit* field,
                    const QString& dir, const QString& filter);
void BrowseFolderInto(widgets::DialogService& dialogs, QWidget* owner, QLineEdit* field);

// "Test Web Site Launch": false when the page could not be opened.
bool OpenWebPageTest(run::Desktop& desktop, const QString& url, bool newWindow);

}  // namespace ui
}  // namespace ringmere
