// The program's mail sender: libcurl for SMTP, the sendmail interface for
// local mail. Each send runs on a thread of its own that touches only state
// it shares with the caller, so a caller that gives up (a closed window)
// can leave it to finish, and the sender waits for its threads when it goes.
#include <curl/curl.h>

#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <thread>

#include "run/mail.h"
#include "run/mail_text.h"

namespace ringmere::run {

namespace {

constexpr int kTick = 20;  // ms between looks at a send under way

class Threads : public std::enable_shared_from_this<Threads> {
public:
    void Start(std::function<void()> job) {
        {
            std::lock_guard lock(mutex_);
            ++running_;
        }
        std::thread([self = shared_from_this(), job = std::move(job)] {
            job();
            std::lock_guard lock(self->mutex_);
            --self->running_;
            self->idle_.notify_all();
        }).detach();
    }
    // The program is ending: jobs stop at their next look.
    void Stop(std::chrono::milliseconds bound) {
        stopping = true;
        std::unique_lock lock(mutex_);
        idle_.wait_for(lock, bound, [this] { return running_ == 0; });
    }
    std::atomic<bool> stopping{false};

private:
    std::mutex mutex_;
    std::condition_variable idle_;
    int running_ = 0;
};

template <class R>
struct Slot {
    std::atomic<bool> done{false};
    R value{};
};

// Runs `job` aside and waits for it in short pauses; nothing when the
// caller cancels first, after `stop` has told the job to end.
template <class R>
std::optional<R> Await(Threads& threads, Waiting& waiting, const CancelCheck& cancelled,
                       std::function<R()> job, const std::function<void()>& stop) {
    auto slot = std::make_shared<Slot<R>>();
    threads.Start([slot, job = std::move(job)] {
        slot->value = job();
        slot->done.store(true, std::memory_order_release);
    });
    while (!slot->done.load(std::memory_order_acquire)) {
        if (cancelled && cancelled()) {
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
    std::size_t pos = 0;
};

size_t ReadUpload(char* buffer, size_t size, size_t count, void* user) {
    auto* up = static_cast<Upload*>(user);
    const size_t n = std::min(size * count, up->data->size() - up->pos);
    std::copy_n(up->data->data() + up->pos, n, buffer);
    up->pos += n;
    return n;
}

// Whether the client got as far as MAIL FROM: everything before it
// (greeting, EHLO, STARTTLS, AUTH) is the connect. Only the command's
// start is looked at, so no credential is kept.
int WatchCommands(CURL*, curl_infotype type, char* data, size_t size, void* user) {
    static constexpr std::string_view kMail = "MAIL FROM";
    if (type == CURLINFO_HEADER_OUT && size >= kMail.size() &&
        std::string_view(data, kMail.size()) == kMail)
        *static_cast<bool*>(user) = true;
    return 0;
}

struct Attempt {
    CURLcode code = CURLE_OK;
    bool pastConnect = false;
};

Attempt Perform(CurlConnection& c, const SmtpRequest& r, bool fresh, const AbortFlag& abort,
                const Threads& threads) {
    Attempt a;
    CURL* h = c.easy;
    curl_easy_reset(h);
    Upload upload{&r.data};
    curl_slist* rcpt = nullptr;
    for (const std::string& to : r.envelope.to) rcpt = curl_slist_append(rcpt, ("<" + to + ">").c_str());
    const std::string from = "<" + r.envelope.from + ">";
    curl_easy_setopt(h, CURLOPT_URL, r.server.url.c_str());
    curl_easy_setopt(h, CURLOPT_PROTOCOLS_STR, "smtp,smtps");
    curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(h, CURLOPT_USE_SSL, long(r.server.implicitTls ? CURLUSESSL_ALL : CURLUSESSL_TRY));
    if (!r.options.caFile.empty()) curl_easy_setopt(h, CURLOPT_CAINFO, r.options.caFile.c_str());
    if (!r.user.empty() && !r.pass.empty()) {
        curl_easy_setopt(h, CURLOPT_USERNAME, r.user.c_str());
        curl_easy_setopt(h, CURLOPT_PASSWORD, r.pass.c_str());
        curl_easy_setopt(h, CURLOPT_LOGIN_OPTIONS, "AUTH=LOGIN");
    }
    curl_easy_setopt(h, CURLOPT_MAIL_FROM, from.c_str());
    curl_easy_setopt(h, CURLOPT_MAIL_RCPT, rcpt);
    curl_easy_setopt(h, CURLOPT_UPLOAD, 1L);
    curl_easy_setopt(h, CURLOPT_READFUNCTION, ReadUpload);
    curl_easy_setopt(h, CURLOPT_READDATA, &upload);
    curl_easy_setopt(h, CURLOPT_INFILESIZE_LARGE, curl_off_t(r.data.size()));
    curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT_MS, long(r.options.connectTimeoutMs));
    curl_easy_setopt(h, CURLOPT_TIMEOUT_MS, long(r.options.sendTimeoutMs));
    curl_easy_setopt(h, CURLOPT_SERVER_RESPONSE_TIMEOUT,
                     long(std::max(1, r.options.sendTimeoutMs / 1000)));
    curl_easy_setopt(h, CURLOPT_FRESH_CONNECT, fresh ? 1L : 0L);
    curl_easy_setopt(h, CURLOPT_VERBOSE, 1L);
    curl_easy_setopt(h, CURLOPT_DEBUGFUNCTION, WatchCommands);
    curl_easy_setopt(h, CURLOPT_DEBUGDATA, &a.pastConnect);

    a.code = CURLE_FAILED_INIT;
    if (curl_multi_add_handle(c.multi, h) == CURLM_OK) {
        int running = 1;
        bool aborted = false;
        while (running) {
            if (curl_multi_perform(c.multi, &running) != CURLM_OK) break;
            if (!running) break;
            if (*abort || threads.stopping) {
                aborted = true;
                break;
            }
            curl_multi_poll(c.multi, nullptr, 0, 1000, nullptr);
        }
        int left = 0;
        while (CURLMsg* m = curl_multi_info_read(c.multi, &left))
            if (m->msg == CURLMSG_DONE) a.code = m->data.result;
        if (aborted) a.code = CURLE_ABORTED_BY_CALLBACK;
        curl_multi_remove_handle(c.multi, h);
    }
    curl_slist_free_all(rcpt);
    return a;
}

SendStatus SendOn(CurlConnection& c, const SmtpRequest& r, const AbortFlag& abort,
                  const Threads& threads) {
    std::lock_guard lock(c.busy);
    for (int attempt = 0; attempt < 2; ++attempt) {
        // A connection that failed is left for a fresh one: disconnect,
        // then connect once more.
        const Attempt a = Perform(c, r, attempt > 0, abort, threads);
        if (a.code == CURLE_OK) return SendStatus::Sent;
        if (a.code == CURLE_ABORTED_BY_CALLBACK) return SendStatus::Cancelled;
        if (a.pastConnect) return SendStatus::SendFailed;
    }
    return SendStatus::ConnectFailed;
}

class CurlSmtpClient final : public SmtpClient {
public:
    CurlSmtpClient(const SettingsRec& settings, const MailOptions& options,
                   std::shared_ptr<Threads> threads)
        : settings_(settings), options_(options), threads_(std::move(threads)) {}

    ~CurlSmtpClient() override {
        if (!used_) return;
        // Closing sends QUIT and may wait for the server: not on this thread.
        threads_->Start([c = std::move(connection_)]() mutable { c.reset(); });
    }

    SendStatus Send(const Envelope& envelope, const std::string& data, Waiting& waiting,
                    const CancelCheck& cancelled) override {
        const auto server = ParseSmtpServer(settings_.SMTPServer);
        if (!server) return SendStatus::ConnectFailed;
        used_ = true;
        auto request = std::make_shared<SmtpRequest>(
            SmtpRequest{*server, settings_.SMTPUser, settings_.SMTPPass, envelope, data, options_});
        auto abort = std::make_shared<std::atomic<bool>>(false);
        const auto done = Await<SendStatus>(
            *threads_, waiting, cancelled,
            [c = connection_, request, abort, threads = threads_] {
                return SendOn(*c, *request, abort, *threads);
            },
            [c = connection_, abort] {
                *abort = true;
                curl_multi_wakeup(c->multi);
            });
        return done.value_or(SendStatus::Cancelled);
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
    ~SystemMailSender() override { threads_->Stop(std::chrono::seconds(5)); }

    const SettingsRec& Settings() const override { return settings_; }

    std::unique_ptr<SmtpClient> NewSmtpClient() override {
        return std::make_unique<CurlSmtpClient>(settings_, options_, threads_);
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
