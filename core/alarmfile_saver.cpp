#include "core/alarmfile_saver.h"

#include <algorithm>
#include <mutex>
#include <utility>

#include "core/globals.h"
#include "core/huge_pages.h"

namespace ringmere {

namespace {

// One lock for every saver: they are few, and WaitForBackgroundSaves needs
// to see them all at once.
struct Saves {
    std::mutex lock;
    std::condition_variable idle;
    int busy = 0;  // savers with a write queued or running
};

Saves& AllSaves() {
    static Saves saves;
    return saves;
}

thread_local bool tOnSaverThread = false;

}  // namespace

// What a write needs of the table, copied when it was asked for.
struct AlarmFileSaver::Job {
    Job(const Globals& g, std::string target) : path(std::move(target)) {
        copy.Settings = g.Settings;
        // The writer tells the program's own file from a shared one by these.
        copy.ProgramDir = g.ProgramDir;
        copy.LocalFileName = g.LocalFileName;
        copy.OwnFile = g.OwnFile;
        copy.GlobalExceptions = g.GlobalExceptions;
        copy.AlarmCount = g.AlarmCount;
        const auto used = std::min(g.AlarmTable.size(), std::size_t(std::max(g.AlarmCount, 0)) + 1);
        copy.AlarmTable.clear();
        ReserveLarge(copy.AlarmTable, used);
        copy.AlarmTable.assign(g.AlarmTable.begin(), g.AlarmTable.begin() + std::ptrdiff_t(used));
    }
    Globals copy;
    std::string path;
};

AlarmFileSaver::AlarmFileSaver(std::function<void(const Outcome&)> ended)
    : ended_(std::move(ended)), worker_([this] { Run(); }) {}

AlarmFileSaver::~AlarmFileSaver() {
    {
        const std::lock_guard hold(AllSaves().lock);
        stopping_ = true;
    }
    wake_.notify_one();
    worker_.join();
}

bool AlarmFileSaver::Save(Globals& g, const std::string& path, Reporter& reporter) {
    if (g.AlarmFileDamaged) {
        // The copy is taken of the file as it is on disk now.
        Wait();
        if (!KeepDamagedOriginal(g, path, reporter)) return false;
    }
    auto job = std::make_unique<Job>(g, path);
    std::unique_ptr<Job> superseded;
    {
        const std::lock_guard hold(AllSaves().lock);
        if (!pending_ && !writing_) ++AllSaves().busy;
        superseded = std::exchange(pending_, std::move(job));
    }
    wake_.notify_one();
    return true;
}

void AlarmFileSaver::Wait() {
    std::unique_lock hold(AllSaves().lock);
    AllSaves().idle.wait(hold, [this] { return !pending_ && !writing_; });
}

void AlarmFileSaver::Run() {
    tOnSaverThread = true;
    std::unique_lock hold(AllSaves().lock);
    for (;;) {
        wake_.wait(hold, [this] { return stopping_ || pending_; });
        if (!pending_) return;
        std::unique_ptr<Job> job = std::move(pending_);
        writing_ = true;
        hold.unlock();
        CollectingReporter said;
        Outcome outcome{job->path, WriteAlarmFile(job->copy, job->path, said), said.messages};
        job.reset();  // the copy is freed here rather than on the caller's thread
        if (ended_) ended_(outcome);
        hold.lock();
        writing_ = false;
        if (!pending_) {
            --AllSaves().busy;
            AllSaves().idle.notify_all();
        }
    }
}

void WaitForBackgroundSaves() {
    if (tOnSaverThread) return;
    std::unique_lock hold(AllSaves().lock);
    AllSaves().idle.wait(hold, [] { return AllSaves().busy == 0; });
}

}  // namespace ringmere
