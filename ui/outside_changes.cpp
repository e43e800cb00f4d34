#include "ui/outside_changes.h"

#include <QApplication>
#include <QFileInfo>
#include <memory>

#include "core/activitylog.h"
#include "core/alarmfile.h"
#include "core/alarmfile_saver.h"
#include "core/alarmtable.h"
#include "ui/alarmset.h"
#include "widgets/file_text.h"

namespace ringmere::ui {

AlarmFileFollower::AlarmFileFollower(Globals& g, const Services& services,
                                     std::function<void()> refill, QObject* parent)
    : QObject(parent), g_(g), services_(services), refill_(std::move(refill)) {
    known_ = FileStampOf(Path());
    busy = [] {
        const QWidget* modal = QApplication::activeModalWidget();
        return modal && !qobject_cast<const TfrmAddAlarm*>(modal);
    };
    settle_.setSingleShot(true);
    settle_.setInterval(100);
    connect(&settle_, &QTimer::timeout, this, &AlarmFileFollower::Check);
    const auto soon = [this] { settle_.start(); };
    connect(&watcher_, &QFileSystemWatcher::fileChanged, this, soon);
    connect(&watcher_, &QFileSystemWatcher::directoryChanged, this, soon);
    fallback_.setInterval(kFallbackMs);
    connect(&fallback_, &QTimer::timeout, this, &AlarmFileFollower::Check);
    fallback_.start();
    Arm();
}

// A file replaced by a rename drops out of the watch: it is added again
// after every look, and the folder's watch sees the new one arrive.
void AlarmFileFollower::Arm() {
    const QString file = QString::fromStdString(Path());
    const QString folder = QFileInfo(file).absolutePath();
    if (!watcher_.directories().contains(folder)) watcher_.addPath(folder);
    if (QFileInfo::exists(file) && !watcher_.files().contains(file)) watcher_.addPath(file);
}

bool AlarmFileFollower::Check() {
    Arm();
    if (IsClientMode(g_)) return false;
    // A write of our own still under way would look like someone else's.
    WaitForBackgroundSaves();
    const FileStamp now = FileStampOf(Path());
    if (now == known_) return false;
    if (busy && busy()) {
        settle_.start(kDeferMs);
        return false;
    }
    if (now.size < 0 || WrittenByThisProcess(now)) {
        // Our own save, or no file: nothing to read (a vanished file is
        // written again at the next change).
        known_ = now;
        return false;
    }
    const QString problem = Reload();
    if (!problem.isEmpty() && status) status(problem);
    return problem.isEmpty();
}

// Read into a copy first: a file caught half-written, or damaged, leaves
// the alarms in memory as they were.
QString AlarmFileFollower::Reload() {
    if (busy && busy()) {
        settle_.start(kDeferMs);
        return QStringLiteral("A dialog is open in Ringmere: the alarm file is read again once "
                              "it is closed.");
    }
    WaitForBackgroundSaves();
    const FileStamp stamp = FileStampOf(Path());
    Globals fresh = g_;
    // The program's note of its file (what its saves compare with) changes
    // only with a read that is taken over.
    const std::shared_ptr<OwnFileStamp> note = g_.OwnFile;
    fresh.OwnFile = std::make_shared<OwnFileStamp>();
    CollectingReporter said;
    const int read = ReadOwnAlarmFile(fresh, said);
    known_ = stamp;
    if (read != kFileDone || !said.messages.empty()) {
        const std::string why = said.messages.empty() ? "it could not be read" : said.messages.front();
        const std::string text =
            "The alarm file was changed by another program but not read again: " + why +
            " The alarms shown are kept.";
        SilentReporter quiet;
        services_.log.Append(text, quiet);
        return widgets::FromFileText(text);
    }
    note->hash = fresh.OwnFile->hash.load();
    fresh.OwnFile = note;
    g_ = std::move(fresh);
    SilentReporter quiet;
    services_.log.Append("Alarm file changed by another program; read again.", quiet);
    if (refill_) refill_();
    return {};
}

}  // namespace ringmere::ui
