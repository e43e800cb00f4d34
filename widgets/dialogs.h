// Every message box, input box and file dialog of the program goes through
// here, so that tests answer them without showing anything.
#pragma once

#include <QColor>
#include <QList>
#include <QPoint>
#include <QSize>
#include <QString>
#include <QStringList>
#include <memory>
#include <optional>

#include "core/globals.h"
#include "core/report.h"

class QDialog;
class QWidget;

namespace ringmere::widgets {

enum class BoxKind { Warning, Information, Error, Confirmation };
enum class Answer { Ok, Cancel };

class DialogService {
public:
    virtual ~DialogService() = default;
    // A box with one OK button, or OK and Cancel for a confirmation. With
    // `topLeft` the box opens there (screen coordinates), else over `owner`.
    virtual Answer Message(QWidget* owner, BoxKind kind, const QString& text,
                           std::optional<QPoint> topLeft = std::nullopt) = 0;
    virtual std::optional<QString> InputText(QWidget* owner, const QString& caption,
                                             const QString& prompt, const QString& value) = 0;
    // An empty result means the user cancelled.
    virtual QString OpenFileName(QWidget* owner, const QString& caption, const QString& dir,
                                 const QString& filter) = 0;
    virtual QString SaveFileName(QWidget* owner, const QString& caption, const QString& dir,
                                 const QString& filter) = 0;
    virtual QString ExistingDirectory(QWidget* owner, const QString& caption,
                                      const QString& dir) = 0;
};

// Every dialog and box waits modal to its owner's window only, never to the
// whole program: a run window that opens meanwhile keeps the mouse and the
// keyboard, so an alarm can be snoozed or closed whatever is open.
int ExecOverOwner(QDialog& dialog);
// The same for a dialog shown without waiting for it.
void ShowOverOwner(QDialog& dialog);

// The toolkit's colour dialog over `owner`; nothing when cancelled.
std::optional<QColor> ChooseColour(QWidget* owner, const QColor& current);

// Where a dialog of `size` opens over `owner` (screen coordinates). `strict`
// is the rule of the alarm editor and the exception windows.
QPoint PlaceOver(const QWidget* owner, const QSize& size, bool strict = false);

// Writes the alarm table to g.Settings.AlarmFile; what the writer said, and a
// failure, go to a warning box. False when the file did not take the table.
bool SaveAlarmFileTelling(Globals& g, DialogService& dialogs, QWidget* owner,
                          std::optional<QPoint> topLeft);

// The same for one change (SaveAlarmChange): when another program had changed
// the file, g holds its table with the change made, and `reread` says so.
bool SaveAlarmChangeTelling(Globals& g, const TableChange& change, DialogService& dialogs,
                            QWidget* owner, std::optional<QPoint> topLeft, bool& reread);

// The real boxes, for start-up to put in the program's services.
std::unique_ptr<DialogService> NewSystemDialogs();

// Answers from a script and remembers what was asked.
class ScriptedDialogs final : public DialogService {
public:
    struct Shown {
        BoxKind kind;
        QString text;
        std::optional<QPoint> topLeft;
    };

    Answer Message(QWidget* owner, BoxKind kind, const QString& text,
                   std::optional<QPoint> topLeft) override;
    std::optional<QString> InputText(QWidget*, const QString&, const QString&,
                                     const QString& value) override;
    QString OpenFileName(QWidget*, const QString&, const QString&, const QString&) override;
    QString SaveFileName(QWidget*, const QString&, const QString&, const QString&) override;
    QString ExistingDirectory(QWidget*, const QString&, const QString&) override;

    QList<Answer> answers;                 // taken in turn; Ok when empty
    QList<std::optional<QString>> inputs;  // nullopt: cancelled; the value when empty
    QStringList fileNames;                 // taken in turn; empty (cancelled) when none left
    QList<Shown> shown;
};

// Shows core's messages as warning boxes over `owner`.
class MessageBoxReporter final : public Reporter {
public:
    explicit MessageBoxReporter(DialogService& dialogs, QWidget* owner = nullptr)
        : dialogs_(dialogs), owner_(owner) {}
    void Report(const std::string& message) override;

private:
    DialogService& dialogs_;
    QWidget* owner_;
};

}  // namespace ringmere::widgets
