// Following the program's own alarm file while another program (ringmere-cli,
// an editor, a sync tool) changes it: the file is read again, the schedule
// rebuilt and the lists refilled. The program's own saves are told apart by
// the stamps of the files it wrote, so they never cause a read.
#pragma once

#include <QFileSystemWatcher>
#include <QObject>
#include <QString>
#include <QTimer>
#include <functional>

#include "core/fileio.h"
#include "core/globals.h"
#include "run/services.h"

namespace ringmere::ui {

class AlarmFileFollower : public QObject {
    Q_OBJECT

public:
    // `refill` refills the main window after a read. Outside the client
    // modes only: there the shared file's reload follows the alarms.
    AlarmFileFollower(Globals& g, const Services& services, std::function<void()> refill,
                      QObject* parent = nullptr);

    // Looks at the file: read again when someone else changed it since it
    // was last read or written here. True when it was read.
    bool Check();
    // Reads the file again whatever its stamp; the problem, or empty.
    QString Reload();

    // True while a read must wait: a box or dialog is open, whose command
    // may act on alarm positions when it returns. The alarm editor alone does
    // not count: its OK finds its alarm again by name. Tests may replace it.
    std::function<bool()> busy;
    static constexpr int kDeferMs = 1000;

    // Where a file that could not be read is told (the status bar).
    std::function<void(const QString& text)> status;
    // The watch misses changes on some file systems (network shares): the
    // stamp is compared once a minute too.
    QTimer& Fallback() { return fallback_; }
    static constexpr int kFallbackMs = 60000;

private:
    void Arm();
    std::string Path() const { return g_.LocalAlarmFilePath(); }

    Globals& g_;
    Services services_;
    std::function<void()> refill_;
    QFileSystemWatcher watcher_;
    QTimer fallback_;
    QTimer settle_;  // one look for a burst of events
    FileStamp known_;
};

}  // namespace ringmere::ui
