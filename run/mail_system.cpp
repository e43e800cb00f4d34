// The program's mail sender: libcurl for SMTP, the sendmail interface for
// local mail. Each send runs on a thread of its own that touches only state
// it shares with the caller, so a caller that gives up (a closed window)
// can leave it to finish, and the sender waits for its threads when it goes.
#include <curl/curl.h>

#include <sys/socket.h>
#include <unistd.h>

#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <cstring>
#include <optional>
#include <set>
#include <thread>

#include "run/mail.h"
#include "run/mail_text.h"

namespace ringmere::run {

namespace {

constexpr int kTick = 20;  // ms between looks at a send under way

// The sockets libcurl opened for one connection. A cancel, or the program's
// end, shuts them down from the caller's thread: whatever libcurl waits for
// on them (a greeting, a reply, room to write) fails at once, and nothing
// more, least of all the end of the message, reaches the server. Closing
// goes through here too, so a socket is never shut down after its number
// was reused.
class Sockets {
public:
    curl_socket_t Open(int family, int type, int protocol) {
        std::lock_guard lock(mutex_);
        if (dropped_) return CURL_SOCKET_BAD;
        const curl_socket_t s = ::socket(family, type | SOCK_CLOEXEC, protocol);
        if (s != CURL_SOCKET_BAD) open_.insert(s);
        return s;
    }
    int Close(curl_socket_t s) {
        std::lock_guard lock(mutex_);
        open_.erase(s);
        return ::close(s);
    }
    void Drop() {
        std::lock_guard lock(mutex_);
        dropped_ = true;
        for (const curl_socket_t s : open_) ::shutdown(s, SHUT_RDWR);
    }
    // A new send may open sockets again, unless it was cancelled before it
    // began or the program is ending.
    bool Rearm(const std::atomic<bool>& abort, const std::atomic<bool>& stopping) {
        std::lock_guard lock(mutex_);
        if (abort || stopping) return false;
        dropped_ = false;
        return true;
    }

    static curl_socket_t OpenCallback(void* user, curlsocktype, curl_sockaddr* a) {
        return static_cast<Sockets*>(user)->Open(a->family, a->socktype, a->protocol);
    }
    static int CloseCallback(void* user, curl_socket_t s) {
        return static_cast<Sockets*>(user)->Close(s);
    }

private:
    std::mutex mutex_;
    std::set<curl_socket_t> open_;
    bool dropped_ = false;
};

class Threads : public std::enable_shared_from_this<Threads> {
public:
    void Start(std::function<void()> job) {
        {
            std::lock_guard lock(mutex_);
            ++running_;
        }
        std::thread([self = shared_from_this(), job = std::move(job)]() mutable {
            job();
            job = nullptr;  // what it held goes before the job counts as ended
            std::lock_guard lock(self->mutex_);
            --self->running_;
            self->idle_.notify_all();
        }).detach();
    }
    void Watch(const std::shared_ptr<Sockets>& sockets) {
        std::lock_guard lock(mutex_);
        std::erase_if(watched_, [](const auto& w) { return w.expired(); });
        watched_.push_back(sockets);
        if (stopping) sockets->Drop();
    }
    // The program is ending: every connection is dropped, so that no job
    // waits for a server any longer.
    void Stop(std::chrono::milliseconds bound) {
        std::unique_lock lock(mutex_);
        stopping = true;
        for (const auto& w : watched_)
            if (auto s = w.lock()) s->Drop();
        idle_.wait_for(lock, bound, [this] { return running_ == 0; });
    }
    std::atomic<bool> stopping{false};

private:
    std::mutex mutex_;
    std::condition_variable idle_;
    int running_ = 0;
    std::vector<std::weak_ptr<Sockets>> watched_;
};

template <class R>
struct Slot {
    std::atomic<bool> done{false};
    R value{};
};

// Runs `job` aside and waits for it in short pauses; nothing when the
// caller cancels, or the program ends, first, after `stop` has told the
// job to end.
template <class R>
std::optional<R> Await(Threads& threads, Waiting& waiting, const CancelCheck& cancelled,
                       std::function<R()> job, const std::function<void()>& stop) {
    auto slot = std::make_shared<Slot<R>>();
    threads.Start([slot, job = std::move(job)] {
        slot->value = job();
        slot->done.store(true, std::memory_order_release);
    });
    while (!slot->done.load(std::memory_order_acquire)) {
        if ((cancelled && cancelled()) || waiting.Quitting()) {
            stop();
            return std::nullopt;
        }
        waiting.Pause(kTick);
    }
    return slot->value;
}

// The curl handles of one client. The multi handle keeps the connection
// open between sends; it is closed (QUIT) when the last owner lets go,
// which is always one of the sender's threads.
struct CurlConnection {
    CurlConnection() : multi(curl_multi_init()), easy(curl_easy_init()) {}
    ~CurlConnection() {
        if (easy) curl_easy_cleanup(easy);
        if (multi) curl_multi_cleanup(multi);
    }
    CurlConnection(const CurlConnection&) = delete;
    CurlConnection& operator=(const CurlConnection&) = delete;

    CURLM* multi;
    CURL* easy;
    std::shared_ptr<Sockets> sockets = std::make_shared<Sockets>();
    std::mutex busy;  // one transfer at a time
};

using AbortFlag = std::shared_ptr<std::atomic<bool>>;

struct SmtpRequest {
    SmtpServer server;
    std::string user, pass;
    Envelope envelope;
    std::string data;
    MailOptions options;
};

struct Upload {
    const std::string* data;
    const std::atomic<bool>* abort;
    const std::atomic<bool>* stopping;
    std::size_t pos = 0;
    bool Aborted() const { return *abort || *stopping; }
};

// An abort here ends the transfer with an error, so libcurl closes the
// connection instead of ending the message as it does for a transfer that
// is merely taken away.
size_t ReadUpload(char* buffer, size_t size, size_t count, void* user) {
    auto* up = static_cast<Upload*>(user);
    if (up->Aborted()) return CURL_READFUNC_ABORT;
    const size_t n = std::min(size * count, up->data->size() - up->pos);
    std::copy_n(up->data->data() + up->pos, n, buffer);
    up->pos += n;
    return n;
}

int Progress(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    return static_cast<Upload*>(user)->Aborted() ? 1 : 0;
}

// What the client has seen of the session. Only the start of each command
// is looked at and only the server's replies are kept, so no credential is.
struct Watch {
    bool pastConnect = false;  // MAIL FROM went out: everything before is the connect
    std::string reply;         // the server's last refusal, else its last reply line
};

bool Positive(const std::string& reply) {
    return !reply.empty() && (reply[0] == '2' || reply[0] == '3');
}

int WatchSession(CURL*, curl_infotype type, char* data, size_t size, void* user) {
    auto* w = static_cast<Watch*>(user);
    const std::string_view text(data, size);
    if (type == CURLINFO_HEADER_OUT && text.substr(0, 9) == "MAIL FROM") w->pastConnect = true;
    if (type != CURLINFO_HEADER_IN) return 0;
    std::string line;
    for (const char c : text.substr(0, 300))
        if (c != '\r' && c != '\n') line += (static_cast<unsigned char>(c) < 0x20) ? ' ' : c;
    if (line.empty()) return 0;
    // A refusal is kept over what follows it (the QUIT's "221").
    if (w->reply.empty() || Positive(w->reply)) w->reply = line;
    return 0;
}

struct Attempt {
    CURLcode code = CURLE_OK;
    Watch watch;
    long osErrno = 0;
    std::string error;  // libcurl's own text
    bool aborted = false;
};

struct Job {
    const SmtpServer& server;
    const MailOptions& options;
    const std::string* user = nullptr;  // both null: no login
    const std::string* pass = nullptr;
    const SmtpRequest* mail = nullptr;  // null: greet and ask for TLS only
};

Attempt Perform(CurlConnection& c, const Job& job, bool fresh, const AbortFlag& abort,
                const Threads& threads) {
    Attempt a;
    CURL* h = c.easy;
    curl_easy_reset(h);
    static const std::string kNothing;
    Upload upload{job.mail ? &job.mail->data : &kNothing, abort.get(), &threads.stopping};
    char error[CURL_ERROR_SIZE] = {};
    curl_slist* rcpt = nullptr;
    std::string from;
    curl_easy_setopt(h, CURLOPT_URL, job.server.url.c_str());
    curl_easy_setopt(h, CURLOPT_PROTOCOLS_STR, "smtp,smtps");
    curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
    // The check insists on TLS: only so does it learn whether there is any.
    curl_easy_setopt(h, CURLOPT_USE_SSL,
                     long(job.server.implicitTls || !job.mail ? CURLUSESSL_ALL : CURLUSESSL_TRY));
    if (!job.options.caFile.empty()) curl_easy_setopt(h, CURLOPT_CAINFO, job.options.caFile.c_str());
    if (job.user && job.pass) {
        curl_easy_setopt(h, CURLOPT_USERNAME, job.user->c_str());
        curl_easy_setopt(h, CURLOPT_PASSWORD, job.pass->c_str());
        curl_easy_setopt(h, CURLOPT_LOGIN_OPTIONS, "AUTH=LOGIN");
    }
    if (job.mail) {
        for (const std::string& to : job.mail->envelope.to)
            rcpt = curl_slist_append(rcpt, ("<" + to + ">").c_str());
        from = "<" + job.mail->envelope.from + ">";
        curl_easy_setopt(h, CURLOPT_MAIL_FROM, from.c_str());
        curl_easy_setopt(h, CURLOPT_MAIL_RCPT, rcpt);
        curl_easy_setopt(h, CURLOPT_UPLOAD, 1L);
        curl_easy_setopt(h, CURLOPT_READFUNCTION, ReadUpload);
        curl_easy_setopt(h, CURLOPT_READDATA, &upload);
        curl_easy_setopt(h, CURLOPT_INFILESIZE_LARGE, curl_off_t(job.mail->data.size()));
    } else {
        curl_easy_setopt(h, CURLOPT_CONNECT_ONLY, 1L);
    }
    curl_easy_setopt(h, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(h, CURLOPT_XFERINFOFUNCTION, Progress);
    curl_easy_setopt(h, CURLOPT_XFERINFODATA, &upload);
    curl_easy_setopt(h, CURLOPT_OPENSOCKETFUNCTION, Sockets::OpenCallback);
    curl_easy_setopt(h, CURLOPT_OPENSOCKETDATA, c.sockets.get());
    curl_easy_setopt(h, CURLOPT_CLOSESOCKETFUNCTION, Sockets::CloseCallback);
    curl_easy_setopt(h, CURLOPT_CLOSESOCKETDATA, c.sockets.get());
    curl_easy_setopt(h, CURLOPT_ERRORBUFFER, error);
    curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT_MS, long(job.options.connectTimeoutMs));
    curl_easy_setopt(h, CURLOPT_TIMEOUT_MS, long(job.options.sendTimeoutMs));
    curl_easy_setopt(h, CURLOPT_SERVER_RESPONSE_TIMEOUT,
                     long(std::max(1, job.options.sendTimeoutMs / 1000)));
    curl_easy_setopt(h, CURLOPT_FRESH_CONNECT, fresh || !job.mail ? 1L : 0L);
    curl_easy_setopt(h, CURLOPT_VERBOSE, 1L);
    curl_easy_setopt(h, CURLOPT_DEBUGFUNCTION, WatchSession);
    curl_easy_setopt(h, CURLOPT_DEBUGDATA, &a.watch);

    a.code = CURLE_FAILED_INIT;
    if (c.sockets->Rearm(*abort, threads.stopping) && curl_multi_add_handle(c.multi, h) == CURLM_OK) {
        int running = 1;
        std::optional<std::chrono::steady_clock::time_point> abortedAt;
        while (running) {
            if (curl_multi_perform(c.multi, &running) != CURLM_OK || !running) break;
            // Taken away before it ended, a transfer would end the message:
            // it is left to fail on its dropped sockets and callbacks. Only
            // a transfer that has no socket yet (a name lookup) is given up.
            if (upload.Aborted()) {
                const auto now = std::chrono::steady_clock::now();
                if (!abortedAt) abortedAt = now;
                if (now - *abortedAt > std::chrono::seconds(1)) break;
            }
            curl_multi_poll(c.multi, nullptr, 0, upload.Aborted() ? 50 : 1000, nullptr);
        }
        int left = 0;
        while (CURLMsg* m = curl_multi_info_read(c.multi, &left))
            if (m->msg == CURLMSG_DONE) a.code = m->data.result;
        curl_multi_remove_handle(c.multi, h);
    } else if (upload.Aborted()) {
        a.code = CURLE_ABORTED_BY_CALLBACK;
    }
    a.aborted = upload.Aborted();
    curl_easy_getinfo(h, CURLINFO_OS_ERRNO, &a.osErrno);
    a.error = error;
    curl_slist_free_all(rcpt);
    return a;
}

std::string Where(const SmtpServer& server) {
    const std::size_t at = server.url.find("://");
    return at == std::string::npos ? server.url : server.url.substr(at + 3);
}

std::string Seconds(int ms) {
    if (ms % 1000 == 0) return std::to_string(ms / 1000) + " s";
    return std::to_string(ms / 1000) + "." + std::to_string(ms % 1000 / 100) + " s";
}

// The cause of a failed attempt, as the user can act on it.
std::string Reason(const Attempt& a, const SmtpServer& server, const MailOptions& options) {
    const std::string where = Where(server);
    const std::string detail = a.error.empty() ? curl_easy_strerror(a.code) : a.error;
    switch (a.code) {
        case CURLE_COULDNT_RESOLVE_HOST:
            return "The SMTP server " + where + " was not found (no such host name).";
        case CURLE_COULDNT_CONNECT:
            return "The SMTP server " + where + " could not be reached: " +
                   (a.osErrno ? std::string(std::strerror(int(a.osErrno))) : detail) + ".";
        case CURLE_OPERATION_TIMEDOUT: {
            const int bound = a.watch.pastConnect ? options.sendTimeoutMs : options.connectTimeoutMs;
            return "The SMTP server " + where + " did not answer: timed out after " +
                   Seconds(bound) + ".";
        }
        case CURLE_PEER_FAILED_VERIFICATION:
        case CURLE_SSL_CACERT_BADFILE:
            return "The certificate of the SMTP server " + where + " was not verified: " + detail +
                   ".";
        case CURLE_SSL_CONNECT_ERROR:
            return "TLS with the SMTP server " + where + " failed: " + detail + ".";
        case CURLE_USE_SSL_FAILED:
            return "The SMTP server " + where + " offers no TLS.";
        case CURLE_LOGIN_DENIED:
            return "The SMTP server " + where + " refused the login (authentication refused)" +
                   (a.watch.reply.empty() ? "." : ": " + a.watch.reply);
        default:
            break;
    }
    if (!a.watch.reply.empty() && !Positive(a.watch.reply))
        return "The SMTP server " + where + " replied: " + a.watch.reply;
    if (a.code == CURLE_GOT_NOTHING || a.code == CURLE_RECV_ERROR || a.code == CURLE_SEND_ERROR)
        return "The SMTP server " + where + " closed the connection: " + detail + ".";
    return "SMTP with " + where + " failed: " + detail + ".";
}

SendResult SendOn(CurlConnection& c, const SmtpRequest& r, const AbortFlag& abort,
                  const Threads& threads) {
    std::lock_guard lock(c.busy);
    const bool login = !r.user.empty() && !r.pass.empty();
    const Job job{r.server, r.options, login ? &r.user : nullptr, login ? &r.pass : nullptr, &r};
    SendResult result{SendStatus::ConnectFailed, {}};
    for (int attempt = 0; attempt < 2; ++attempt) {
        // A connection that failed is left for a fresh one: disconnect,
        // then connect once more.
        const Attempt a = Perform(c, job, attempt > 0, abort, threads);
        if (a.code == CURLE_OK) return {SendStatus::Sent, {}};
        if (a.aborted || a.code == CURLE_ABORTED_BY_CALLBACK) return {SendStatus::Cancelled, {}};
        result.reason = Reason(a, r.server, r.options);
        if (a.code == CURLE_LOGIN_DENIED) return {SendStatus::LoginRefused, result.reason};
        if (a.watch.pastConnect) return {SendStatus::SendFailed, result.reason};
    }
    return result;
}

TlsCheck CheckOn(CurlConnection& c, const SmtpServer& server, const MailOptions& options,
                 const AbortFlag& abort, const Threads& threads) {
    std::lock_guard lock(c.busy);
    const Attempt a = Perform(c, Job{server, options}, true, abort, threads);
    if (a.code == CURLE_OK)
        return {server.implicitTls ? TlsOffer::FromTheStart : TlsOffer::StartTls, {}};
    if (a.code == CURLE_USE_SSL_FAILED) return {TlsOffer::None, {}};
    return {TlsOffer::Unknown, Reason(a, server, options)};
}

class CurlSmtpClient final : public SmtpClient {
public:
    CurlSmtpClient(const SettingsRec& settings, const MailOptions& options,
                   std::shared_ptr<Threads> threads)
        : settings_(settings), options_(options), threads_(std::move(threads)) {
        threads_->Watch(connection_->sockets);
    }

    ~CurlSmtpClient() override {
        if (!used_) return;
        // Closing sends QUIT and may wait for the server: not on this thread.
        threads_->Start([c = std::move(connection_)]() mutable { c.reset(); });
    }

    SendResult Send(const Envelope& envelope, const std::string& data, Waiting& waiting,
                    const CancelCheck& cancelled) override {
        const auto server = ParseSmtpServer(settings_.SMTPServer);
        if (!server)
            return {SendStatus::ConnectFailed,
                    "\"" + settings_.SMTPServer + "\" is not an SMTP server's address."};
        used_ = true;
        auto request = std::make_shared<SmtpRequest>(
            SmtpRequest{*server, settings_.SMTPUser, settings_.SMTPPass, envelope, data, options_});
        auto abort = std::make_shared<std::atomic<bool>>(false);
        const auto done = Await<SendResult>(
            *threads_, waiting, cancelled,
            [c = connection_, request, abort, threads = threads_] {
                return SendOn(*c, *request, abort, *threads);
            },
            [c = connection_, abort] {
                *abort = true;
                c->sockets->Drop();
                curl_multi_wakeup(c->multi);
            });
        return done.value_or(SendResult{SendStatus::Cancelled, {}});
    }

private:
    const SettingsRec& settings_;
    MailOptions options_;
    std::shared_ptr<Threads> threads_;
    std::shared_ptr<CurlConnection> connection_ = std::make_shared<CurlConnection>();
    bool used_ = false;
};

LocalMailResult RunSendmail(const QString& program, const QStringList& arguments,
                            const std::string& data, int timeoutMs,
                            const AbortFlag& abort, const Threads& threads) {
    LocalMailResult r;
    const QFileInfo info(program);
    if (!info.isFile() || !info.isExecutable()) {
        r.error = "The local mail program " + program.toStdString() + " was not found.";
        return r;
    }
    QProcess p;
    p.setStandardOutputFile(QProcess::nullDevice());
    p.setStandardErrorFile(QProcess::nullDevice());
    p.start(program, arguments);
    if (!p.waitForStarted(timeoutMs)) {
        r.error = "The local mail program " + program.toStdString() +
                  " could not be started: " + p.errorString().toStdString();
        return r;
    }
    p.write(data.data(), qint64(data.size()));
    p.closeWriteChannel();
    QElapsedTimer clock;
    clock.start();
    while (p.state() != QProcess::NotRunning && !p.waitForFinished(100)) {
        if (*abort || threads.stopping || clock.elapsed() > timeoutMs) {
            p.kill();
            p.waitForFinished(1000);
            if (clock.elapsed() > timeoutMs)
                r.error = "The local mail program " + program.toStdString() +
                          " did not finish in time.";
            else
                r.status = SendStatus::Cancelled;
            return r;
        }
    }
    r.code = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.status = r.code == 0 ? SendStatus::Sent : SendStatus::SendFailed;
    return r;
}

class SystemMailSender final : public MailSender {
public:
    SystemMailSender(const SettingsRec& settings, MailOptions options)
        : settings_(settings), options_(std::move(options)) {
        curl_global_init(CURL_GLOBAL_DEFAULT);
    }
    ~SystemMailSender() override {
        threads_->Stop(std::chrono::milliseconds(options_.quitBoundMs));
    }

    const SettingsRec& Settings() const override { return settings_; }

    std::unique_ptr<SmtpClient> NewSmtpClient() override {
        return std::make_unique<CurlSmtpClient>(settings_, options_, threads_);
    }

    bool LocalMailInstalled() const override {
        const QFileInfo info(QString::fromStdString(options_.sendmail));
        return info.isFile() && info.isExecutable();
    }

    TlsCheck CheckTls(const std::string& serverText, Waiting& waiting,
                      const CancelCheck& cancelled) override {
        const auto server = ParseSmtpServer(serverText);
        if (!server)
            return {TlsOffer::Unknown, "\"" + serverText + "\" is not an SMTP server's address."};
        auto c = std::make_shared<CurlConnection>();
        threads_->Watch(c->sockets);
        auto abort = std::make_shared<std::atomic<bool>>(false);
        const auto done = Await<TlsCheck>(
            *threads_, waiting, cancelled,
            [c, server = *server, options = options_, abort, threads = threads_] {
                return CheckOn(*c, server, options, abort, *threads);
            },
            [c, abort] {
                *abort = true;
                c->sockets->Drop();
                curl_multi_wakeup(c->multi);
            });
        return done.value_or(TlsCheck{});
    }

    LocalMailResult SendLocal(const Envelope& envelope, const std::string& data, Waiting& waiting,
                              const CancelCheck& cancelled) override {
        // Never -t: a header of the message could then add recipients.
        QStringList arguments{QStringLiteral("-oi")};
        if (!envelope.from.empty())
            arguments << QStringLiteral("-f") << QString::fromStdString(envelope.from);
        arguments << QStringLiteral("--");
        for (const std::string& to : envelope.to) arguments << QString::fromStdString(to);
        const QString program = QString::fromStdString(options_.sendmail);
        auto abort = std::make_shared<std::atomic<bool>>(false);
        const int timeout = options_.sendTimeoutMs;
        auto done = Await<LocalMailResult>(
            *threads_, waiting, cancelled,
            [=, threads = threads_] {
                return RunSendmail(program, arguments, data, timeout, abort, *threads);
            },
            [abort] { *abort = true; });
        if (!done) {
            LocalMailResult r;
            r.status = SendStatus::Cancelled;
            return r;
        }
        return *done;
    }

private:
    const SettingsRec& settings_;
    MailOptions options_;
    std::shared_ptr<Threads> threads_ = std::make_shared<Threads>();
};

}  // namespace

std::unique_ptr<MailSender> NewSystemMailSender(const SettingsRec& settings, MailOptions options) {
    return std::make_unique<SystemMailSender>(settings, std::move(options));
}

}  // namespace ringmere::run
