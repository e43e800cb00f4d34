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

// What a write needs: all of the program's state as it was when the write was
// asked for. Everything is copied, so a field added later cannot be missed;
// the table, by far the largest part, is copied alarm by alarm so that its
// fresh memory can come in large pages.
struct AlarmFileSaver::Job {
    Job(Globals& g, std::string target) : path(std::move(target)) {
        {
            std::vector<AlRec> table = std::move(g.AlarmTable);
            struct PutBack {
                Globals& g;
                std::vector<AlRec>& table;
                ~PutBack() { g.AlarmTable = std::move(table); }
            } putBack{g, table};
            copy = g;
        }
        const auto used = std::min(g.AlarmTable.size(), std::size_t(std::max(g.AlarmCount, 0)) + 1);
        ReserveLarge(copy.AlarmTable, used);
        HugeHeapWhileLoading heap(used);
        for (std::size_t i = 0; i < used; ++i) {
            copy.AlarmTable.push_back(g.AlarmTable[i]);
            if (i % 512 == 511) heap.Advise();
        }
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
