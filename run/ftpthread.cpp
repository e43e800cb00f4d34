#include "run/ftpthread.h"

#include <curl/curl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <set>
#include <system_error>

#include "widgets/file_text.h"

namespace ringmere::run {

namespace {

constexpr int kPollMs = 100;
constexpr int kFilePauseMs = 50;
constexpr int kQuitPauseMs = 100;
constexpr qsizetype kMaxListing = 16 * 1024 * 1024;
const char* const kAborted = "Aborted.";

// Everything but letters, digits, "-", "_" and "~" is escaped, dots too: a
// "." or ".." segment would otherwise be folded away before it reaches the
// server.
std::string Escape(const std::string& bytes, bool keepSlash) {
    static const char* const hex = "0123456789ABCDEF";
    std::string out;
    for (const unsigned char c : bytes) {
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
        if (plain || c == '-' || c == '_' || c == '~' || (keepSlash && c == '/')) {
            out += char(c);
        } else {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 15];
        }
    }
    return out;
}

// The URL path of `file` in `directory`: one CWD to the whole directory,
// which "%2F" keeps absolute when it begins with "/".
std::string UrlPath(const std::string& directory, const std::string& file) {
    std::string path = "/";
    if (!directory.empty()) {
        path += directory.front() == '/' ? "%2F" + Escape(directory.substr(1), true)
                                         : Escape(directory, true);
        path += '/';
    }
    return path + Escape(file, false);
}

std::string Utf8(const std::string& fileText) {
    return widgets::FromFileText(fileText).toUtf8().toStdString();
}

}  // namespace

RemotePath SplitRemotePath(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return {{}, path};
    return {path.substr(0, slash), path.substr(slash + 1)};
}

bool SafeListedName(const std::string& name) {
    const bool control = std::any_of(name.begin(), name.end(),
                                     [](char c) { return static_cast<unsigned char>(c) < 0x20; });
    return !name.empty() && !control && name.find('/') == std::string::npos &&
           name.find('\\') == std::string::npos && name.find("..") == std::string::npos &&
           !QDir::isAbsolutePath(QFile::decodeName(name.c_str()));
}

struct TFTPThread::Shared {
    std::mutex m;
    std::condition_variable news;   // the window waits here
    std::condition_variable awake;  // the worker's pauses wait here
    std::vector<StatusText> texts;
    bool lastIsProgress = false;
    bool unreadNews = false;  // a text other than progress waits
    int result = kFtpSucceeded;
    bool finished = false;
    std::atomic<bool> abort{false};
    std::set<curl_socket_t> sockets;  // the session's own, for Abort

    // A progress text replaces the one before it while the window has not
    // taken it yet.
    void Publish(std::string text, bool progress = false) {
        {
            std::lock_guard lock(m);
            if (progress && lastIsProgress)
                texts.back().text = std::move(text);
            else
                texts.push_back({std::move(text), progress});
            lastIsProgress = progress;
            unreadNews = unreadNews || !progress;
        }
        if (!progress) news.notify_all();
    }
    // False when the pause was cut short by an abort.
    bool Pause(int ms) {
        std::unique_lock lock(m);
        return !awake.wait_for(lock, std::chrono::milliseconds(ms), [this] { return abort.load(); });
    }
};

namespace {

struct Failure {
    CURLcode code;
    std::string text;
};
using Result = std::optional<Failure>;  // empty: done

// One login session of libcurl, driven by a multi handle so that an abort
// is seen within one poll whatever the phase (name lookup, connect, a
// silent server, the closing QUIT).
class Session {
public:
    Session(const FTPRecT& s, const FtpLimits& limits, TFTPThread::Shared& shared)
        : shared_(shared), ascii_(s.ftpascmode), connectBackMs_(std::max(1, limits.responseTimeoutMs)) {
        easy_ = curl_easy_init();
        multi_ = curl_multi_init();
        url_ = curl_url();
        if (!easy_ || !multi_ || !url_) {
            setupError_ = curl_easy_strerror(CURLE_OUT_OF_MEMORY);
            return;
        }
        std::string host = s.ftpserver;
        host.erase(0, host.find_first_not_of(" \t"));
        host.erase(host.find_last_not_of(" \t/") + 1);
        for (const std::string scheme : {"ftps://", "ftp://"}) {
            if (host.size() >= scheme.size() &&
                QByteArray::fromStdString(host.substr(0, scheme.size())).toLower() ==
                    scheme.c_str()) {
                tls_ = scheme == "ftps://";
                host.erase(0, scheme.size());
                break;
            }
        }
        if (host.find(':') != std::string::npos && host.front() != '[') host = "[" + host + "]";
        CURLUcode bad = curl_url_set(url_, CURLUPART_SCHEME, "ftp", 0);
        if (!bad) bad = curl_url_set(url_, CURLUPART_HOST, host.c_str(), 0);
        if (!bad && s.ftpport > 0)
            bad = curl_url_set(url_, CURLUPART_PORT, std::to_string(s.ftpport).c_str(), 0);
        if (bad) {
            setupError_ = curl_url_strerror(bad);
            return;
        }

        Set(CURLOPT_NOSIGNAL, 1L);
        Set(CURLOPT_PROTOCOLS_STR, "ftp");
        Set(CURLOPT_ERRORBUFFER, errors_);
        // Never in a URL: it would show in error texts.
        if (!s.ftpuser.empty()) {
            Set(CURLOPT_USERNAME, s.ftpuser.c_str());
            Set(CURLOPT_PASSWORD, s.ftppass.c_str());
        }
        Set(CURLOPT_FTP_FILEMETHOD, long(CURLFTPMETHOD_SINGLECWD));
        if (!s.ftppassive) {
            Set(CURLOPT_FTPPORT, "-");
            // The session's own bound (OnProgress) ends the wait first: libcurl's
            // own would go on to wait a minute for the reply of the transfer.
            Set(CURLOPT_ACCEPTTIMEOUT_MS, long(connectBackMs_) * 2 + 5000);
            Set(CURLOPT_SOCKOPTFUNCTION, &Session::SocketMade);
            Set(CURLOPT_SOCKOPTDATA, this);
        }
        Set(CURLOPT_TRANSFERTEXT, long(ascii_));
        Set(CURLOPT_CONNECTTIMEOUT_MS, long(std::max(1, limits.connectTimeoutMs)));
        Set(CURLOPT_SERVER_RESPONSE_TIMEOUT, long(std::max(1, (limits.responseTimeoutMs + 999) / 1000)));
        Set(CURLOPT_LOW_SPEED_LIMIT, 1L);
        Set(CURLOPT_LOW_SPEED_TIME, long(std::max(1, limits.lowSpeedSeconds)));
        // Fewer, larger reads and writes: the 16 KB default held downloads back.
        Set(CURLOPT_BUFFERSIZE, 256L * 1024);
        Set(CURLOPT_UPLOAD_BUFFERSIZE, 256L * 1024);
        Set(CURLOPT_NOPROGRESS, 0L);
        Set(CURLOPT_XFERINFOFUNCTION, &Session::OnProgress);
        Set(CURLOPT_XFERINFODATA, this);
        Set(CURLOPT_OPENSOCKETFUNCTION, &Session::OpenSocket);
        Set(CURLOPT_OPENSOCKETDATA, this);
        Set(CURLOPT_CLOSESOCKETFUNCTION, &Session::CloseSocket);
        Set(CURLOPT_CLOSESOCKETDATA, &shared_);
        // A name lookup still under way is left behind rather than waited for.
        Set(CURLOPT_QUICK_EXIT, 1L);
        if (tls_) {
            Set(CURLOPT_USE_SSL, long(CURLUSESSL_ALL));
            Set(CURLOPT_FTPSSLAUTH, long(CURLFTPAUTH_TLS));
            if (!limits.caFile.empty()) Set(CURLOPT_CAINFO, limits.caFile.c_str());
        }
    }

    ~Session() {
        // Closing the pooled connection sends QUIT.
        if (multi_) curl_multi_cleanup(multi_);
        if (easy_) curl_easy_cleanup(easy_);
        if (url_) curl_url_cleanup(url_);
    }

    Result Login() {
        if (!setupError_.empty()) return Failure{CURLE_FAILED_INIT, setupError_};
        Prepare("/", Kind::Nothing);
        return Perform();
    }

    Result ChangeDirectory(const std::string& dir) {
        Prepare(UrlPath(dir, ""), Kind::Nothing);
        return Perform();
    }

    Result Store(const QString& local, const std::string& dir, const std::string& name) {
        QFile file(local);
        if (!file.open(QIODevice::ReadOnly))
            return Failure{CURLE_READ_ERROR, file.errorString().toStdString()};
        source_ = &file;
        Prepare(UrlPath(dir, name), Kind::Upload);
        Result r = Perform();
        source_ = nullptr;
        return r;
    }

    Result Retrieve(const std::string& dir, const std::string& name, const QString& local) {
        // Into a file beside the target: a failure leaves the old one whole.
        QSaveFile file(local);
        file.setDirectWriteFallback(false);
        if (!file.open(QIODevice::WriteOnly))
            return Failure{CURLE_WRITE_ERROR, file.errorString().toStdString()};
        sink_ = &file;
        Prepare(UrlPath(dir, name), Kind::Download);
        Result r = Perform();
        if (!r && pendingCr_ && file.write("\r", 1) != 1)
            r = Failure{CURLE_WRITE_ERROR, file.errorString().toStdString()};
        sink_ = nullptr;
        if (!r && !file.commit()) r = Failure{CURLE_WRITE_ERROR, file.errorString().toStdString()};
        return r;
    }

    // A bare NLST of the current directory.
    Result List(const std::string& dir, std::vector<std::string>& names) {
        QByteArray data;
        listing_ = &data;
        Prepare(UrlPath(dir, ""), Kind::Listing);
        Result r = Perform();
        listing_ = nullptr;
        if (r) return r;
        for (QByteArray line : data.split('\n')) {
            if (line.endsWith('\r')) line.chop(1);
            if (!line.isEmpty()) names.push_back(line.toStdString());
        }
        return r;
    }

private:
    enum class Kind { Nothing, Upload, Download, Listing };

    template <typename T>
    void Set(CURLoption option, T value) {
        curl_easy_setopt(easy_, option, value);
    }

    void Prepare(const std::string& path, Kind kind) {
        curl_url_set(url_, CURLUPART_PATH, path.c_str(), 0);
        Set(CURLOPT_CURLU, url_);
        kind_ = kind;
        count_ = 0;
        pendingCr_ = false;
        pendingLf_ = false;
        previous_ = 0;
        readPos_ = readLen_ = 0;
        listeningSince_.reset();
        connectedBack_ = false;
        Set(CURLOPT_NOBODY, long(kind == Kind::Nothing));
        Set(CURLOPT_UPLOAD, long(kind == Kind::Upload));
        Set(CURLOPT_DIRLISTONLY, long(kind == Kind::Listing));
        Set(CURLOPT_READFUNCTION, &Session::OnRead);
        Set(CURLOPT_READDATA, this);
        Set(CURLOPT_WRITEFUNCTION, &Session::OnWrite);
        Set(CURLOPT_WRITEDATA, this);
    }

    Result Perform() {
        errors_[0] = 0;
        localError_.clear();
        if (shared_.abort) return Failure{CURLE_ABORTED_BY_CALLBACK, kAborted};
        if (CURLMcode m = curl_multi_add_handle(multi_, easy_))
            return Failure{CURLE_FAILED_INIT, curl_multi_strerror(m)};
        std::optional<CURLcode> done;
        std::string multiError;
        while (!done) {
            int running = 0;
            CURLMcode m = curl_multi_perform(multi_, &running);
            int left = 0;
            while (CURLMsg* msg = curl_multi_info_read(multi_, &left))
                if (msg->msg == CURLMSG_DONE) done = msg->data.result;
            if (done) break;
            if (shared_.abort) {
                done = CURLE_ABORTED_BY_CALLBACK;
                break;
            }
            if (m == CURLM_OK) m = curl_multi_poll(multi_, nullptr, 0, kPollMs, nullptr);
            if (m != CURLM_OK) {
                multiError = curl_multi_strerror(m);
                done = CURLE_FAILED_INIT;
            }
        }
        curl_multi_remove_handle(multi_, easy_);
        if (*done == CURLE_OK) return std::nullopt;
        std::string text = shared_.abort         ? std::string(kAborted)
                           : !multiError.empty() ? multiError
                           : !localError_.empty() ? localError_
                           : errors_[0]           ? std::string(errors_)
                                                  : std::string(curl_easy_strerror(*done));
        while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
        return Failure{*done, text};
    }

    static int OnProgress(void* p, curl_off_t, curl_off_t down, curl_off_t, curl_off_t up) {
        auto* self = static_cast<Session*>(p);
        if (self->shared_.abort) return 1;
        if (self->listeningSince_ && !self->connectedBack_ &&
            std::chrono::steady_clock::now() - *self->listeningSince_ >
                std::chrono::milliseconds(self->connectBackMs_)) {
            self->localError_ = "The server did not connect back within " +
                                std::to_string((self->connectBackMs_ + 999) / 1000) +
                                " s for the data (active mode); passive mode may get through.";
            return 1;
        }
        const curl_off_t count = self->kind_ == Kind::Upload     ? up
                                 : self->kind_ == Kind::Download ? down
                                                                 : 0;
        if (count > 0 && count != self->count_) {
            self->count_ = count;
            self->shared_.Publish(std::to_string(count) + " bytes.", true);
        }
        return 0;
    }

    static size_t OnRead(char* buffer, size_t size, size_t n, void* p) {
        auto* self = static_cast<Session*>(p);
        const size_t max = size * n;
        if (!self->source_) return CURL_READFUNC_ABORT;
        if (!self->ascii_) {
            const qint64 got = self->source_->read(buffer, qint64(max));
            if (got >= 0) return size_t(got);
            self->localError_ = self->source_->errorString().toStdString();
            return CURL_READFUNC_ABORT;
        }
        // ASCII on the wire ends its lines with CR LF.
        size_t out = 0;
        while (out < max) {
            if (self->pendingLf_) {
                buffer[out++] = '\n';
                self->pendingLf_ = false;
                continue;
            }
            if (self->readPos_ == self->readLen_) {
                const qint64 got = self->source_->read(self->readBuffer_, sizeof self->readBuffer_);
                if (got < 0) {
                    self->localError_ = self->source_->errorString().toStdString();
                    return CURL_READFUNC_ABORT;
                }
                if (got == 0) break;
                self->readPos_ = 0;
                self->readLen_ = size_t(got);
            }
            const char c = self->readBuffer_[self->readPos_++];
            if (c == '\n' && self->previous_ != '\r') {
                buffer[out++] = '\r';
                self->pendingLf_ = true;
            } else {
                buffer[out++] = c;
            }
            self->previous_ = c;
        }
        return out;
    }

    static size_t OnWrite(char* data, size_t size, size_t n, void* p) {
        auto* self = static_cast<Session*>(p);
        const size_t len = size * n;
        if (self->listing_) {
            if (self->listing_->size() + qsizetype(len) > kMaxListing) {
                self->localError_ = "The name list is too long.";
                return 0;
            }
            self->listing_->append(data, qsizetype(len));
            return len;
        }
        if (!self->sink_) return 0;
        QByteArray converted;
        const char* out = data;
        qint64 outLen = qint64(len);
        if (self->ascii_) {
            // CR LF from the wire becomes this system's LF.
            converted.reserve(qsizetype(len) + 1);
            for (size_t i = 0; i < len; ++i) {
                const char c = data[i];
                if (self->pendingCr_) {
                    self->pendingCr_ = false;
                    if (c != '\n') converted += '\r';
                }
                if (c == '\r')
                    self->pendingCr_ = true;
                else
                    converted += c;
            }
            out = converted.constData();
            outLen = converted.size();
        }
        if (self->sink_->write(out, outLen) == outLen) return len;
        self->localError_ = self->sink_->errorString().toStdString();
        return 0;
    }

    // The session's sockets are known, so that Abort can wake whatever waits on them.
    static curl_socket_t OpenSocket(void* p, curlsocktype, curl_sockaddr* a) {
        auto* self = static_cast<Session*>(p);
        TFTPThread::Shared* shared = &self->shared_;
        std::lock_guard lock(shared->m);
        if (shared->abort) return CURL_SOCKET_BAD;
        const curl_socket_t s = ::socket(a->family, a->socktype | SOCK_CLOEXEC, a->protocol);
        if (s != CURL_SOCKET_BAD) shared->sockets.insert(s);
        // A socket for port 0 is active mode's listener: every connection
        // made goes to a port of the server.
        if (s != CURL_SOCKET_BAD && PortOf(a) == 0) self->listeningSince_ = std::chrono::steady_clock::now();
        return s;
    }

    static int SocketMade(void* p, curl_socket_t, curlsocktype purpose) {
        if (purpose == CURLSOCKTYPE_ACCEPT) static_cast<Session*>(p)->connectedBack_ = true;
        return CURL_SOCKOPT_OK;
    }

    static int PortOf(const curl_sockaddr* a) {
        if (a->family == AF_INET && a->addrlen >= sizeof(sockaddr_in))
            return ntohs(reinterpret_cast<const sockaddr_in*>(&a->addr)->sin_port);
        if (a->family == AF_INET6 && a->addrlen >= sizeof(sockaddr_in6))
            return ntohs(reinterpret_cast<const sockaddr_in6*>(&a->addr)->sin6_port);
        return -1;
    }

    static int CloseSocket(void* p, curl_socket_t s) {
        auto* shared = static_cast<TFTPThread::Shared*>(p);
        {
            std::lock_guard lock(shared->m);
            shared->sockets.erase(s);
        }
        return ::close(s);
    }

    TFTPThread::Shared& shared_;
    const bool ascii_;
    const int connectBackMs_;
    std::optional<std::chrono::steady_clock::time_point> listeningSince_;
    bool connectedBack_ = false;
    bool tls_ = false;
    CURL* easy_ = nullptr;
    CURLM* multi_ = nullptr;
    CURLU* url_ = nullptr;
    std::string setupError_;
    char errors_[CURL_ERROR_SIZE] = {};
    std::string localError_;

    Kind kind_ = Kind::Nothing;
    curl_off_t count_ = 0;
    QFile* source_ = nullptr;
    QSaveFile* sink_ = nullptr;
    QByteArray* listing_ = nullptr;
    bool pendingCr_ = false;
    bool pendingLf_ = false;
    char previous_ = 0;
    char readBuffer_[64 * 1024];
    size_t readPos_ = 0;
    size_t readLen_ = 0;
};

int Upload(Session& ftp, const FTPRecT& s, const RemotePath& remote, TFTPThread::Shared& sh) {
    if (s.ftptransfertype == 0) {
        sh.Publish("Sending " + s.ftplocalfile + ".");
        Result r = remote.file.empty()
                       ? Result(Failure{CURLE_URL_MALFORMAT, "No remote file name."})
                       : ftp.Store(widgets::FromFileText(s.ftplocalfile), remote.directory,
                                   Utf8(remote.file));
        if (!r) return kFtpSucceeded;
        sh.Publish("Failed to upload file: " + r->text);
        return kFtpUploadFailed;
    }
    // Every regular file: no sub-directories, hidden files, FIFOs or devices.
    const QString dir = widgets::FromFileText(s.ftplocalfile);
    const QStringList names = QDir(dir).entryList(QDir::Files, QDir::Name);
    if (names.isEmpty()) {
        sh.Publish("No Files Found in Directory");
        return kFtpDownloadFailed;
    }
    for (qsizetype i = 0; i < names.size(); ++i) {
        sh.Publish("Sending " + widgets::ToFileText(names[i]) + ".");
        if (i > 0) sh.Pause(kFilePauseMs);
        const Result r = ftp.Store(dir + QLatin1Char('/') + names[i], remote.directory,
                                   QFile::encodeName(names[i]).toStdString());
        if (r) {
            sh.Publish("Failed to upload file: " + r->text);
            return kFtpUploadFailed;
        }
    }
    return kFtpSucceeded;
}

int Download(Session& ftp, const FTPRecT& s, const RemotePath& remote, TFTPThread::Shared& sh) {
    if (s.ftptransfertype == 0) {
        sh.Publish("Receiving File.");
        Result r = remote.file.empty()
                       ? Result(Failure{CURLE_URL_MALFORMAT, "No remote file name."})
                       : ftp.Retrieve(remote.directory, Utf8(remote.file),
                                      widgets::FromFileText(s.ftplocalfile));
        if (!r) return kFtpSucceeded;
        sh.Publish("Failed to download file: " + r->text);
        return kFtpDownloadFailed;
    }
    sh.Publish("Receiving Directory Listing.");
    sh.Pause(kFilePauseMs);
    std::vector<std::string> names;
    if (const Result r = ftp.List(remote.directory, names)) {
        sh.Publish("Failed to list directory: " + r->text);
        return kFtpDownloadFailed;
    }
    const QString dir = widgets::FromFileText(s.ftplocalfile);
    for (const std::string& name : names) {
        if (name == "." || name == "..") continue;
        sh.Publish("Receiving " + name + ".");
        sh.Pause(kFilePauseMs);
        if (!SafeListedName(name)) {
            sh.Publish("Failed to download file: " + name);
            return kFtpDownloadFailed;
        }
        const Result r = ftp.Retrieve(remote.directory, name,
                                      dir + QLatin1Char('/') + QFile::decodeName(name.c_str()));
        if (r) {
            sh.Publish("Failed to download file: " + r->text);
            return kFtpDownloadFailed;
        }
    }
    return kFtpSucceeded;
}

int Transfer(const FTPRecT& s, const FtpLimits& limits, TFTPThread::Shared& sh) {
    Session ftp(s, limits, sh);
    sh.Publish("Opening FTP Connection.");
    if (const Result r = ftp.Login()) {
        sh.Publish(r->code == CURLE_COULDNT_RESOLVE_HOST
                       ? "Failed to connect to FTP Host: Host Name Not Found"
                       : "Failed to connect to FTP Host: " + r->text);
        return kFtpConnectFailed;
    }
    const RemotePath remote = SplitRemotePath(s.ftppath);
    if (!remote.directory.empty()) {
        if (const Result r = ftp.ChangeDirectory(Utf8(remote.directory))) {
            sh.Publish("Failed to change directory: " + r->text);
            return kFtpDirectoryFailed;
        }
    }
    const int result = s.ftpupload ? Upload(ftp, s, remote, sh) : Download(ftp, s, remote, sh);
    if (result == kFtpSucceeded) sh.Publish("FTP Complete.");
    return result;
}

}  // namespace

std::unique_ptr<TFTPThread> TFTPThread::Start(const FTPRecT& settings, const FtpLimits& limits) {
    static std::once_flag curlReady;
    std::call_once(curlReady, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
    std::unique_ptr<TFTPThread> worker(new TFTPThread);
    worker->shared_ = std::make_shared<Shared>();
    try {
        worker->thread_ = std::thread([shared = worker->shared_, settings, limits] {
            const int result = Transfer(settings, limits, *shared);
            shared->Pause(kQuitPauseMs);
            {
                std::lock_guard lock(shared->m);
                shared->result = result;
                shared->finished = true;
            }
            shared->news.notify_all();
        });
    } catch (const std::system_error&) {
        return nullptr;
    }
    return worker;
}

TFTPThread::~TFTPThread() {
    if (!thread_.joinable()) return;
    Abort();
    Join();
}

std::vector<StatusText> TFTPThread::TakeStatus() {
    std::lock_guard lock(shared_->m);
    std::vector<StatusText> out;
    out.swap(shared_->texts);
    shared_->lastIsProgress = false;
    shared_->unreadNews = false;
    return out;
}

std::vector<std::string> TFTPThread::TakeStatusTexts() {
    std::vector<std::string> out;
    for (StatusText& t : TakeStatus()) out.push_back(std::move(t.text));
    return out;
}

int TFTPThread::ResultCode() const {
    std::lock_guard lock(shared_->m);
    return shared_->result;
}

bool TFTPThread::Finished() const {
    std::lock_guard lock(shared_->m);
    return shared_->finished;
}

void TFTPThread::WaitForNews(int ms) {
    std::unique_lock lock(shared_->m);
    shared_->news.wait_for(lock, std::chrono::milliseconds(ms), [this] {
        return shared_->finished || shared_->unreadNews;
    });
}

void TFTPThread::Abort() {
    shared_->abort = true;
    std::lock_guard lock(shared_->m);
    for (const curl_socket_t s : shared_->sockets) ::shutdown(s, SHUT_RDWR);
    shared_->awake.notify_all();
}

bool TFTPThread::Join() {
    if (!thread_.joinable()) return true;
    try {
        thread_.join();
    } catch (const std::system_error&) {
        return false;
    }
    return true;
}

}  // namespace ringmere::run
