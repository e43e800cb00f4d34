// Network connections, which alarms and steps bring up and drop as "dial-up
// entries": listing the connection profiles, bringing one up with progress
// reports, listing the active connections, hanging one up and reading the
// addresses of one. The run window, the editors' test buttons and FTP's
// reconnect use it; run/connections_nm.h is the back-end over NetworkManager.
#pragma once

#include <QtGlobal>
#include <functional>
#include <string>
#include <vector>

namespace ringmere::run {

// States of a dial's progress reports. The run window waits for the text of
// kDialConnected; closing hangs up a dial still at kDialConnectingDevice.
inline constexpr int kDialConnectingDevice = 2;
inline constexpr int kDialConnected = 8192;
inline constexpr int kDialDisconnected = 8193;

// The text of a state ("Connecting device", "Connected", ...); empty for a
// number that is no state.
std::string DialStateText(int state);

struct DialProgress {
    int state = 0;
    std::string text;  // the state's text, or for a failure why it failed
    int error = 0;     // 0 while all is well
};

struct ActiveConnection {
    std::string handle;  // what HangUpConnection and QueryAddresses take
    std::string deviceName;
    std::string deviceType;
    std::string entry;  // the profile's name
    std::string statusText;
    int status = 0;  // a state as above
};

struct ConnectionAddresses {
    std::string client;  // this end's address; empty when the link is not up
    std::string server;  // the gateway
};

struct DialStarted {
    enum Result { Started, Failed, Unavailable };
    Result result = Unavailable;
    std::string handle;  // Started: the connection being brought up
    std::string error;   // Failed, Unavailable: why, as the user reads it
    quint64 ticket = 0;  // Started: for Detach
};

// Every call is made on the user-interface thread and returns within a
// bounded time. "Unavailable" means no back-end could be reached (no
// NetworkManager on the bus); the calls then do nothing.
class NetworkConnections {
public:
    using Progress = std::function<void(const DialProgress&)>;
    virtual ~NetworkConnections() = default;

    // The profiles' names, at most 100.
    virtual bool ListEntries(std::vector<std::string>& entries, std::string& error) = 0;
    // Brings up profile `entry`; a profile that is up already is not brought up
    // again. Its progress goes to `progress` alone, later, on this thread, until
    // a final report (kDialConnected, or an error) or Detach.
    virtual DialStarted DialEntry(const std::string& entry, Progress progress) = 0;
    // No more reports for a dial (a window that closes).
    virtual void Detach(quint64 ticket) = 0;
    // At most 100.
    virtual bool ListActiveConnections(std::vector<ActiveConnection>& active,
                                       std::string& error) = 0;
    // Hangs up and waits, processing events, until the connection is gone or a
    // few seconds have passed; true when it is gone.
    virtual bool HangUpConnection(const std::string& handle) = 0;
    virtual ConnectionAddresses QueryAddresses(const std::string& handle) = 0;
};

}  // namespace ringmere::run
