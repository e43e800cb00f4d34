#include "run/dialup.h"

#include <algorithm>

#include "run/actions.h"
#include "run/waiting.h"

namespace ringmere::run {

namespace {

// The editors allow 10 redials and 1000 reconnects; a damaged file may hold
// any number, and each redial is a call to the back-end.
constexpr int kMostRedials = 1000;
constexpr int kTick = 100;
constexpr int kTimeoutError = 1;

int ClampRedials(long long n) {
    return int(std::clamp<long long>(n, 0, kMostRedials));
}

// Hangs up every active connection of profile `entry`; the status line's
// text afterwards.
std::string HangUpStatus(NetworkConnections& service, const std::vector<ActiveConnection>& active,
                         const std::string& entry) {
    bool down = true;
    for (const ActiveConnection& c : active)
        if (c.entry == entry && !service.HangUpConnection(c.handle)) down = false;
    return down ? DialStateText(kDialDisconnected)
                : "Error. The connection is still up after the hang-up.";
}

}  // namespace

// ---- DialUpClient

DialUpClient::DialUpClient(NetworkConnections& service) : service_(service) {}

DialUpClient::~DialUpClient() {
    *alive_ = false;
    Detach();
}

void DialUpClient::Detach() {
    if (ticket_ == 0) return;
    service_.Detach(ticket_);
    ticket_ = 0;
}

DialStarted::Result DialUpClient::DialEntry(std::string& error) {
    if (up_ && handleEntry_ == Entry)
        Detach();
    else
        HangUpOwn();
    lastState_ = 0;
    std::weak_ptr<bool> alive = alive_;
    const quint64 serial = ++serial_;
    const DialStarted started =
        service_.DialEntry(Entry, [this, alive, serial](const DialProgress& p) {
            const auto live = alive.lock();
            if (!live || !*live || serial != serial_) return;
            lastState_ = p.state;
            if (p.error != 0 || p.state == kDialConnected) {
                ticket_ = 0;  // the service sends nothing more
                up_ = p.error == 0;
            }
            if (OnAsyncEvent) OnAsyncEvent(p);
        });
    if (started.result != DialStarted::Started) {
        error = started.error;
        return started.result;
    }
    handle_ = started.handle;
    handleEntry_ = Entry;
    ticket_ = started.ticket;
    up_ = false;
    return DialStarted::Started;
}

void DialUpClient::HangUpOwn() {
    Detach();
    up_ = false;
    if (!handle_.empty()) service_.HangUpConnection(handle_);
}

void DialUpClient::AbandonDial() {
    if (Dialling()) HangUpOwn();
}

void DialUpClient::QueryAddresses(const std::string& handle) {
    ClientIP.clear();
    ServerIP.clear();
    if (handle.empty()) return;
    const ConnectionAddresses a = service_.QueryAddresses(handle);
    ClientIP = a.client;
    ServerIP = a.server;
}

// ---- RunDialer

RunDialer::RunDialer(NetworkConnections& service, RunSession& session)
    : client_(service), s_(session) {
    client_.OnAsyncEvent = [this](const DialProgress& p) { OnProgress(p); };
}

Outcome RunDialer::Connect(const DialRec& dial) {
    s_.Report("Connecting to " + dial.dialname + ".");
    client_.Entry = dial.dialname;
    s_.Waiter().ProcessEvents();
    // Nothing is dialled for a window that was closed meanwhile: no one
    // would hang it up.
    if (s_.CancelRequested()) return Outcome::Continue;
    dialFailed_ = false;
    maxRedials_ = ClampRedials(dial.redialattempts);
    // A "Connected" left by an earlier dial would end this wait at once.
    s_.SetDialStatus("");
    if (!StartDial(true)) {
        s_.Report(kNoNetworkManager);
        return Outcome::EndRun;
    }
    WaitForLink();
    return Outcome::Continue;
}

Outcome RunDialer::Disconnect(const DialRec& dial) {
    s_.Report("Disconnecting from " + dial.dialname + ".");
    std::vector<ActiveConnection> active;
    std::string error;
    if (!client_.Service().ListActiveConnections(active, error)) {
        s_.Report(kNoNetworkManager);
        return Outcome::EndRun;
    }
    const bool ours = client_.Entry == dial.dialname;
    const bool up = std::any_of(active.begin(), active.end(), [&](const ActiveConnection& c) {
        return c.entry == dial.dialname;
    });
    if (ours) client_.AbandonDial();
    const std::string status = HangUpStatus(client_.Service(), active, dial.dialname);
    // The status line speaks of the window's own link, or of the one hung up.
    if (ours || up) s_.SetDialStatus(status);
    return Outcome::Continue;
}

bool RunDialer::Reconnect(const std::string& entry, int maxReconnects, int reconnectDelay) {
    client_.Entry = entry;
    std::vector<ActiveConnection> active;
    std::string error;
    if (!client_.Service().ListActiveConnections(active, error)) {
        s_.Report(kNoNetworkManager);
        return false;
    }
    HangUpMatching(active, s_.DialName());
    client_.QueryAddresses(client_.LastHandle());
    if (!client_.ClientIP.empty()) return true;
    s_.Report("Reconnecting Internet Connection.");
    maxRedials_ = ClampRedials(maxReconnects);
    redialPause_ = reconnectDelay;
    dialFailed_ = false;
    s_.SetDialStatus("");
    const bool started = StartDial(true);
    if (started) WaitForLink();
    redialPause_ = -1;
    if (!started) s_.Report(kNoNetworkManager);
    return started;
}

void RunDialer::Stop() {
    if (!client_.Dialling()) return;
    client_.AbandonDial();
    s_.Waiter().Pause(kTick);
}

void RunDialer::HangUpMatching(const std::vector<ActiveConnection>& active,
                               const std::string& name) {
    for (const ActiveConnection& c : active)
        if (c.entry == name) client_.Service().HangUpConnection(c.handle);
}

// False only when the first dial finds no back-end; a dial that does not
// start counts as a failed one, with its redials.
bool RunDialer::StartDial(bool first) {
    for (;;) {
        ++attempt_;
        std::string error;
        const DialStarted::Result r = client_.DialEntry(error);
        if (r == DialStarted::Started) return true;
        if (r == DialStarted::Unavailable && first) return false;
        first = false;
        s_.Show("Error connecting: " + error);
        // Set even when a redial starts: the waiting action stops waiting.
        dialFailed_ = true;
        if (redialCount_ >= maxRedials_) return true;
        ++redialCount_;
        s_.Show("Retrying");
    }
}

void RunDialer::OnProgress(const DialProgress& p) {
    s_.SetDialStatus(p.text);
    if (p.error == 0) return;
    s_.Show("Error connecting: " + p.text);
    s_.SetDialStatus("Error. " + p.text);
    if (redialCount_ >= maxRedials_) {
        dialFailed_ = true;
        return;
    }
    ++redialCount_;
    s_.Show("Retrying");
    StartDial(false);
    if (redialPause_ < 0) return;
    const long long ticks = (static_cast<long long>(redialPause_) + 1) / 20;
    for (long long i = 0; i < ticks && !s_.CancelRequested(); ++i) s_.Waiter().Pause(50);
}

void RunDialer::WaitForLink() {
    constexpr int kTimeoutTicks = kConnectTimeoutSeconds * 1000 / kTick;
    int attempt = attempt_;
    int ticks = 0;
    while (s_.DialStatus() != DialStateText(kDialConnected) && !dialFailed_ &&
           !s_.CancelRequested()) {
        s_.Waiter().Pause(kTick);
        if (attempt != attempt_) {
            attempt = attempt_;
            ticks = 0;
            continue;
        }
        if (++ticks < kTimeoutTicks) continue;
        if (!client_.Dialling()) {
            dialFailed_ = true;
            break;
        }
        // NetworkManager has gone quiet: a failed attempt, with its redials.
        client_.AbandonDial();
        OnProgress({client_.LastState(),
                    "The connection did not come up within " +
                        std::to_string(kConnectTimeoutSeconds) + " seconds.",
                    kTimeoutError});
        attempt = attempt_;
        ticks = 0;
    }
}

// ---- Editors

bool ListDialEntries(NetworkConnections* service, std::vector<std::string>& entries) {
    entries.clear();
    std::string error;
    return service && service->ListEntries(entries, error);
}

DialTest::DialTest(NetworkConnections& service, std::function<void(const std::string&)> status,
                   std::function<int()> redialAttempts)
    : client_(service), status_(std::move(status)), redialAttempts_(std::move(redialAttempts)) {
    client_.OnAsyncEvent = [this](const DialProgress& p) { OnProgress(p); };
}

bool DialTest::Dial(const std::string& entry, bool resetRedials) {
    client_.Entry = entry;
    if (resetRedials) redialCount_ = 0;
    for (;;) {
        std::string error;
        const DialStarted::Result r = client_.DialEntry(error);
        if (r == DialStarted::Started) return true;
        if (r == DialStarted::Unavailable) return false;
        status_("Error. " + error);
        if (redialCount_ >= ClampRedials(redialAttempts_())) return true;
        ++redialCount_;
    }
}

void DialTest::OnProgress(const DialProgress& p) {
    if (p.error == 0) {
        status_(p.text);
        return;
    }
    status_("Error. " + p.text);
    client_.HangUpOwn();
}

bool DialTest::HangUp(const std::string& entry) {
    std::vector<ActiveConnection> active;
    std::string error;
    if (!client_.Service().ListActiveConnections(active, error)) return false;
    // The test's own dial of it says nothing more: its end is this hang-up.
    if (client_.Entry == entry) client_.AbandonDial();
    status_(HangUpStatus(client_.Service(), active, entry));
    return true;
}

void DialTest::Close() {
    client_.AbandonDial();
}

}  // namespace ringmere::run
