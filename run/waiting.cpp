#include "run/waiting.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QPointer>
#include <QTimer>
#include <unordered_map>
#include <vector>

namespace ringmere::run {

struct EventLoopWaiting::Timers {
    quint64 next = 1;
    std::unordered_map<quint64, QPointer<QTimer>> live;
    std::vector<QEventLoop*> pauses;  // innermost last
    bool quitting = false;
};

EventLoopWaiting::EventLoopWaiting() : timers_(std::make_unique<Timers>()) {}

EventLoopWaiting::~EventLoopWaiting() {
    for (auto& [id, timer] : timers_->live) delete timer.data();
}

void EventLoopWaiting::Pause(int ms) {
    if (timers_->quitting) return;
    QEventLoop loop;
    QTimer::singleShot(ms < 0 ? 0 : ms, &loop, &QEventLoop::quit);
    timers_->pauses.push_back(&loop);
    loop.exec();
    timers_->pauses.pop_back();
}

void EventLoopWaiting::Quit() {
    timers_->quitting = true;
    for (QEventLoop* loop : timers_->pauses) loop->quit();
}

bool EventLoopWaiting::Quitting() const {
    return timers_->quitting;
}

void EventLoopWaiting::ProcessEvents() {
    QCoreApplication::processEvents();
}

quint64 EventLoopWaiting::CallAfter(int ms, std::function<void()> fire) {
    const quint64 id = timers_->next++;
    auto* timer = new QTimer;
    timer->setSingleShot(true);
    timer->setInterval(ms < 0 ? 0 : ms);
    QObject::connect(timer, &QTimer::timeout, timer, [this, id, timer, fire = std::move(fire)] {
        timers_->live.erase(id);
        timer->deleteLater();
        fire();
    });
    timers_->live.emplace(id, timer);
    timer->start();
    return id;
}

void EventLoopWaiting::Cancel(quint64 id) {
    const auto it = timers_->live.find(id);
    if (it == timers_->live.end()) return;
    if (it->second) {
        it->second->stop();
        it->second->deleteLater();
    }
    timers_->live.erase(it);
}

WaitTimer::WaitTimer(Waiting& waiting, std::function<void()> onTick)
    : waiting_(waiting), onTick_(std::move(onTick)) {}

WaitTimer::~WaitTimer() {
    *alive_ = false;
    Stop();
}

void WaitTimer::SetInterval(int ms) {
    interval_ = ms < 0 ? 0 : ms;
    if (active_) {
        Stop();
        Start();
    }
}

void WaitTimer::Start() {
    Stop();
    active_ = true;
    Arm();
}

void WaitTimer::Stop() {
    active_ = false;
    if (pending_) waiting_.Cancel(pending_);
    pending_ = 0;
}

void WaitTimer::Arm() {
    std::weak_ptr<bool> alive = alive_;
    pending_ = waiting_.CallAfter(interval_, [this, alive] {
        if (alive.expired()) return;
        pending_ = 0;
        // The next tick is armed before the handler runs: a handler may
        // wait for a long time, and it stops the timer when it wants to.
        if (!active_) return;
        Arm();
        onTick_();
    });
}

}  // namespace ringmere::run
