#include "widgets/dialogs.h"

#include <QColorDialog>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>
#include <QScreen>
#include <QStyle>
#include <algorithm>

#include "core/alarmfile.h"
#include "core/placement.h"
#include "widgets/background_save.h"
#include "widgets/file_text.h"

namespace ringmere::widgets {

QPoint PlaceOver(const QWidget* owner, const QSize& size, bool strict) {
    const QRect o = owner->frameGeometry();
    const QScreen* screen = owner->screen();
    const QSize area = screen ? screen->size() : QSize(1024, 768);
    const Point p = PlaceDialog({o.left(), o.top(), o.width(), o.height()}, size.width(),
                                size.height(), area.width(), area.height(), strict);
    return {p.x, p.y};
}

int ExecOverOwner(QDialog& dialog) {
    // exec() would make a dialog without a modality modal to the application.
    dialog.setWindowModality(Qt::WindowModal);
    return dialog.exec();
}

void ShowOverOwner(QDialog& dialog) {
    dialog.setWindowModality(Qt::WindowModal);
    dialog.show();
}

std::optional<QColor> ChooseColour(QWidget* owner, const QColor& current) {
    QColorDialog dialog(current, owner);
    if (ExecOverOwner(dialog) != QDialog::Accepted) return std::nullopt;
    const QColor chosen = dialog.selectedColor();
    if (!chosen.isValid()) return std::nullopt;
    return chosen;
}

bool SaveAlarmFileTelling(Globals& g, DialogService& dialogs, QWidget* owner,
                          std::optional<QPoint> topLeft) {
    CollectingReporter said;
    const bool saved = SaveAlarmFile(g, g.Settings.AlarmFile, said) == kFileDone;
    TellSave(dialogs, owner, topLeft, g.Settings.AlarmFile, saved, said.messages);
    return saved;
}

bool SaveAlarmChangeTelling(Globals& g, const TableChange& change, DialogService& dialogs,
                            QWidget* owner, std::optional<QPoint> topLeft, bool& reread) {
    CollectingReporter said;
    const bool saved = SaveAlarmChange(g, change, said, reread) == kFileDone;
    TellSave(dialogs, owner, topLeft, g.Settings.AlarmFile, saved, said.messages);
    return saved;
}

namespace {

class RealDialogs final : public DialogService {
public:
    Answer Message(QWidget* owner, BoxKind kind, const QString& text,
                   std::optional<QPoint> topLeft) override {
        QMessageBox box(owner);
        box.setWindowTitle(QStringLiteral("Ringmere"));
        // Messages break their lines with "\r" too, on which Qt does not break.
        QString lines = text;
        lines.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
        lines.replace(QLatin1Char('\r'), QLatin1Char('\n'));
        box.setText(lines);
        switch (kind) {
            case BoxKind::Warning:
                box.setIcon(QMessageBox::Warning);
                break;
            case BoxKind::Information:
                box.setIcon(QMessageBox::Information);
                break;
            case BoxKind::Error:
                box.setIcon(QMessageBox::Critical);
                break;
            case BoxKind::Confirmation:
                box.setIcon(QMessageBox::Question);
                break;
        }
        box.setStandardButtons(kind == BoxKind::Confirmation ? QMessageBox::Ok | QMessageBox::Cancel
                                                             : QMessageBox::Ok);
        box.setDefaultButton(QMessageBox::Ok);
        box.ensurePolished();
        box.adjustSize();
        if (topLeft) {
            box.move(*topLeft);
        } else if (owner && owner->isVisible()) {
            box.move(PlaceOver(owner, box.frameGeometry().size()));
        }
        return ExecOverOwner(box) == QMessageBox::Ok ? Answer::Ok : Answer::Cancel;
    }

    std::optional<QString> InputText(QWidget* owner, const QString& caption, const QString& prompt,
                                     const QString& value) override {
        QInputDialog box(owner);
        box.setInputMode(QInputDialog::TextInput);
        box.setWindowTitle(caption);
        box.setLabelText(prompt);
        box.setTextValue(value);
        // The captions are whole sentences ("Please enter a name for the
        // alarm:"): the box is made wide enough for the title bar to show
        // them, with room for its icon and buttons, rather than "Please...".
        QFont titleFont = box.font();
        titleFont.setBold(true);
        const int buttons = 4 * box.style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, &box);
        box.ensurePolished();
        box.resize(std::max(box.sizeHint().width(),
                            QFontMetrics(titleFont).horizontalAdvance(caption) + buttons),
                   box.sizeHint().height());
        if (ExecOverOwner(box) != QDialog::Accepted) return std::nullopt;
        return box.textValue();
    }

    QString OpenFileName(QWidget* owner, const QString& caption, const QString& dir,
                         const QString& filter) override {
        return FileName(owner, caption, dir, filter, QFileDialog::ExistingFile,
                        QFileDialog::AcceptOpen);
    }

    QString SaveFileName(QWidget* owner, const QString& caption, const QString& dir,
                         const QString& filter) override {
        return FileName(owner, caption, dir, filter, QFileDialog::AnyFile,
                        QFileDialog::AcceptSave);
    }

    QString ExistingDirectory(QWidget* owner, const QString& caption, const QString& dir) override {
        return FileName(owner, caption, dir, QString(), QFileDialog::Directory,
                        QFileDialog::AcceptOpen);
    }

private:
    // The static QFileDialog functions would be modal to the application.
    static QString FileName(QWidget* owner, const QString& caption, const QString& dir,
                            const QString& filter, QFileDialog::FileMode mode,
                            QFileDialog::AcceptMode accept) {
        QFileDialog dialog(owner, caption, dir, filter);
        dialog.setFileMode(mode);
        dialog.setAcceptMode(accept);
        if (mode == QFileDialog::Directory) dialog.setOption(QFileDialog::ShowDirsOnly);
        if (ExecOverOwner(dialog) != QDialog::Accepted) return QString();
        const QStringList chosen = dialog.selectedFiles();
        return chosen.isEmpty() ? QString() : chosen.front();
    }
};

}  // namespace

std::unique_ptr<DialogService> NewSystemDialogs() {
    return std::make_unique<RealDialogs>();
}

Answer ScriptedDialogs::Message(QWidget*, BoxKind kind, const QString& text,
                                std::optional<QPoint> topLeft) {
    shown.append({kind, text, topLeft});
    return answers.isEmpty() ? Answer::Ok : answers.takeFirst();
}

std::optional<QString> ScriptedDialogs::InputText(QWidget*, const QString&, const QString&,
                                                  const QString& value) {
    return inputs.isEmpty() ? std::optional<QString>(value) : inputs.takeFirst();
}

QString ScriptedDialogs::OpenFileName(QWidget*, const QString&, const QString&, const QString&) {
    return fileNames.isEmpty() ? QString() : fileNames.takeFirst();
}

QString ScriptedDialogs::SaveFileName(QWidget*, const QString&, const QString&, const QString&) {
    return fileNames.isEmpty() ? QString() : fileNames.takeFirst();
}

QString ScriptedDialogs::ExistingDirectory(QWidget*, const QString&, const QString&) {
    return fileNames.isEmpty() ? QString() : fileNames.takeFirst();
}

void MessageBoxReporter::Report(const std::string& message) {
    dialogs_.Message(owner_, BoxKind::Warning, FromFileText(message));
}

}  // namespace ringmere::widgets
