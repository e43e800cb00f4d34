// The dial-up client a window holds (the run window, each editor), the run
// window's connect and disconnect actions with their redials, and the
// editors' Dial and Hang Up test.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/records.h"
#include "run/connections.h"

namespace ringmere::run {

class RunSession;
class Waiting;
enum class Outcome;

// The run window's line when the back-end cannot be reached; the run ends.
inline constexpr const char* kNoNetworkManager = "Error opening NetworkManager.";
// The editors' warning when the list of connections cannot be filled.
inline constexpr const char* kNoConnectionsWarning =
    "Warning: Unable to find network connections and NetworkManager.  Check your system setup "
    "to verify that NetworkManager is installed and running properly.";

// One window's client: the entry to dial, the connection it dialled last and
// how far that dial got. Reports of its dials reach only its own handler.
class DialUpClient {
public:
    explicit DialUpClient(NetworkConnections& service);
    ~DialUpClient();
    DialUpClient(const DialUpClient&) = delete;
    DialUpClient& operator=(const DialUpClient&) = delete;

    std::string Entry;
    std::string ClientIP, ServerIP;
    // Progress of the dial under way; it may dial again.
    std::function<void(const DialProgress&)> OnAsyncEvent;

    // Hangs up this client's last connection, unless that is `Entry` and up
    // (dropping a working link to bring it up again helps no one), and dials
    // `Entry`. Not started: `error` says why.
    DialStarted::Result DialEntry(std::string& error);
    void HangUpOwn();
    void QueryAddresses(const std::string& handle);
    // A dial was started and has made no final report yet.
    bool Dialling() const { return ticket_ != 0; }
    // Its reports stop first, then it is hung up.
    void AbandonDial();
    const std::string& LastHandle() const { return handle_; }
    int LastState() const { return lastState_; }

    NetworkConnections& Service() { return service_; }

private:
    void Detach();

    NetworkConnections& service_;
    std::string handle_;
    std::string handleEntry_;
    int lastState_ = 0;
    bool up_ = false;
    quint64 ticket_ = 0;
    quint64 serial_ = 0;  // reports of an earlier dial are dropped
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

// A run window's dial-up state and actions. Every wait is bounded.
class RunDialer {
public:
    // A dial that has made no final report in this long has failed.
    static constexpr int kConnectTimeoutSeconds = 120;

    RunDialer(NetworkConnections& service, RunSession& session);

    // Waits for the link, its failure or a cancel; EndRun only when the
    // back-end cannot be reached.
    Outcome Connect(const DialRec& dial);
    Outcome Disconnect(const DialRec& dial);
    // FTP's reconnect: hangs up what the window's own entry matches, and when
    // the last dialled link has no address, dials `entry` again and waits.
    // False when the back-end cannot be reached.
    bool Reconnect(const std::string& entry, int maxReconnects, int reconnectDelay);
    // Snooze and closing: a dial still under way is hung up.
    void Stop();

    int RedialCount() const { return redialCount_; }

private:
    void OnProgress(const DialProgress& p);
    bool StartDial(bool first);
    void WaitForLink();
    void HangUpMatching(const std::vector<ActiveConnection>& active, const std::string& name);

    DialUpClient client_;
    RunSession& s_;
    bool dialFailed_ = false;
    int maxRedials_ = 0;
    int redialPause_ = 1;
    int redialCount_ = 0;
    int attempt_ = 0;
};

// The profiles' names for an editor's list; false when they cannot be read
// (the editor then shows kNoConnectionsWarning).
bool ListDialEntries(NetworkConnections* service, std::vector<std::string>& entries);

// The Dial and Hang Up buttons of an editor's "Testing Options".
class DialTest {
public:
    // `status` shows a text in the "Status:" label; `redialAttempts` reads
    // "Redial Attempts:".
    DialTest(NetworkConnections& service, std::function<void(const std::string&)> status,
             std::function<int()> redialAttempts);

    // False when the back-end cannot be reached.
    bool Dial(const std::string& entry, bool resetRedials);
    bool HangUp(const std::string& entry);
    // The dialog closes: a dial still under way is hung up.
    void Close();

private:
    void OnProgress(const DialProgress& p);

    DialUpClient client_;
    std::function<void(const std::string&)> status_;
    std::function<int()> redialAttempts_;
    int redialCount_ = 0;
};

}  // namespace ringmere::run
