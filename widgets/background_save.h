// The program's save of the alarm file after an edit: written on a thread of
// its own (AlarmFileSaver), what the write said and a failure told in a
// warning box once it has ended, as SaveAlarmFileTelling tells them.
#pragma once

#include <QObject>
#include <QPoint>
#include <QPointer>
#include <QWidget>
#include <optional>

#include "core/alarmfile_saver.h"
#include "core/globals.h"
#include "widgets/dialogs.h"

namespace ringmere::widgets {

// What a save of the alarm file `path` said, and its failure, in one text;
// empty when it went through without a word.
QString SaveText(const std::string& path, bool saved, const std::vector<std::string>& said);
// That text in a warning box, when there is one.
void TellSave(DialogService& dialogs, QWidget* owner, std::optional<QPoint> topLeft,
              const std::string& path, bool saved, const std::vector<std::string>& said);

class BackgroundSave final : public QObject {
    Q_OBJECT

public:
    explicit BackgroundSave(DialogService& dialogs);
    ~BackgroundSave() override;

    // Queues the write of the table to g.Settings.AlarmFile; what it says is
    // told over `owner`. Keeping a damaged original is done and told now;
    // when it fails nothing is written and false returned.
    bool Save(Globals& g, QWidget* owner);
    // Returns once every write asked for has ended and what they said has
    // been told.
    void Finish();

private:
    void Tell(const AlarmFileSaver::Outcome& outcome);

    DialogService& dialogs_;
    QPointer<QWidget> owner_;
    AlarmFileSaver saver_;
};

}  // namespace ringmere::widgets
