#include "widgets/dialogs.h"

#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>
#include <QScreen>

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

bool SaveAlarmFileTelling(Globals& g, DialogService& dialogs, QWidget* owner,
                          std::optional<QPoint> topLeft) {
    CollectingReporter said;
    const bool saved = SaveAlarmFile(g, g.Settings.AlarmFile, said) == kFileDone;
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
        return box.exec() == QMessageBox::Ok ? Answer::Ok : Answer::Cancel;
    }

    std::optional<QString> InputText(QWidget* owner, const QString& caption, const QString& prompt,
                                     const QString& value) override {
        bool ok = false;
        const QString text =
            QInputDialog::getText(owner, caption, prompt, QLineEdit::Normal, value, &ok);
        if (!ok) return std::nullopt;
        return text;
    }

    QString OpenFileName(QWidget* owner, const QString& caption, const QString& dir,
                         const QString& filter) override {
        return QFileDialog::getOpenFileName(owner, caption, dir, filter);
    }

    QString SaveFileName(QWidget* owner, const QString& caption, const QString& dir,
                         const QString& filter) override {
        return QFileDialog::getSaveFileName(owner, caption, dir, filter);
    }

    QString ExistingDirectory(QWidget* owner, const QString& caption, const QString& dir) override {
        return QFileDialog::getExistingDirectory(owner, caption, dir);
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
