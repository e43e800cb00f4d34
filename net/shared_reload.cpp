#include "net/shared_reload.h"

#include <QApplication>
#include <algorithm>

#include "core/activitylog.h"
#include "core/alarmtable.h"
#include "core/datetime.h"
#include "core/fileio.h"
#include "net/http_downloader.h"
#include "widgets/file_text.h"

namespace ringmere::net {

namespace {

// The answers of one check, handed to the reader without another request,
// so that the reading itself never waits and never lets events through.
class Fetched final : public AlarmFileDownloader {
public:
    Fetched(HttpHead head, std::string body) : head_(std::move(head)), body_(std::move(body)) {}
    bool Head(const std::string&, HttpHead& head) override {
        head = head_;
        return true;
    }
    bool Get(const std::string&, std::string& body) override {
        body = body_;
        return true;
    }

private:
    HttpHead head_;
    std::string body_;
};

// Passes requests on and keeps the HEAD's answer.
class Recording final : public AlarmFileDownloader {
public:
    explicit Recording(AlarmFileDownloader* inner) : inner_(inner) {}
    bool Head(const std::string& url, HttpHead& head) override {
        headed = inner_->Head(url, head);
        if (headed) answer = head;
        return headed;
    }
    bool Get(const std::string& url, std::string& body) override { return inner_->Get(url, body); }
    std::string LastError() const override { return inner_->LastError(); }

    bool headed = false;
    HttpHead answer;

private:
    AlarmFileDownloader* inner_;
};

std::string WebCopyPath(const Globals& g) {
    return g.ProgramDir + "webtmp.ini";
}

std::string Joined(const std::vector<std::string>& messages) {
    std::string out;
    for (const std::string& m : messages) out += (out.empty() ? "" : "; ") + m;
    return out;
}

std::string StoredText(const SettingsStore& store, const char* name) {
    const auto v = store.ReadValue(kWebValidatorsKey, name);
    return v && v->type == RegType::String ? v->data : std::string();
}

}  // namespace

WebValidators LoadWebValidators(const SettingsStore& store) {
    return {StoredText(store, "URL"), StoredText(store, "ETag"),
            StoredText(store, "Last-Modified")};
}

void SaveWebValidators(SettingsStore& store, const WebValidators& v) {
    std::string error;  // a store that cannot be written costs one download
    store.WriteValue(kWebValidatorsKey, "URL", RegValue::Text(v.url), error);
    store.WriteValue(kWebValidatorsKey, "ETag", RegValue::Text(v.etag), error);
    store.WriteValue(kWebValidatorsKey, "Last-Modified", RegValue::Text(v.lastModified), error);
}

std::string UnchangedBecause(const WebValidators& last, const std::string& url,
                             const HttpHead& head) {
    if (last.url != url) return {};
    if (head.notModified) return "the server answered 304 Not Modified for ETag " + last.etag;
    if (!head.etag.empty()) {
        return head.etag == last.etag ? "its ETag " + head.etag + " is the one taken last"
                                      : std::string();
    }
    // Read as a text, never as a date: what matters is that it changed.
    if (!head.lastModifiedText.empty() && last.etag.empty() &&
        head.lastModifiedText == last.lastModified)
        return "its Last-Modified \"" + head.lastModifiedText + "\" is the one taken last";
    return {};
}

std::int64_t ReloadPeriodMs(std::int64_t minutes) {
    return std::clamp<std::int64_t>(minutes, 1, 2400) * 60000 - 10000;
}

SharedFileReload::SharedFileReload(Globals& g, const Services& services, QObject* parent)
    : QObject(parent), g_(g), services_(services) {
    tmWebCheck_.setObjectName(QStringLiteral("tmWebCheck"));
    tmWebCheck_.setSingleShot(true);
    tmWebCheck_.setInterval(5000);
    connect(&tmWebCheck_, &QTimer::timeout, this, &SharedFileReload::Tick);
    busy = [] { return QApplication::activeModalWidget() != nullptr; };
}

void SharedFileReload::SetView(ReloadView view) {
    view_ = std::move(view);
}

void SharedFileReload::StartAfterStartup(bool offline) {
    if (!IsClientMode(g_)) return;
    if (offline) Status(kDownloadFailed, 0);
    tmWebCheck_.start(5000);
}

void SharedFileReload::Resume(bool freshInterval) {
    tmWebCheck_.stop();
    if (!IsClientMode(g_)) {
        if (view_.refreshed) view_.refreshed(QString());
        return;
    }
    if (!g_.Settings.dldAlarmFile) return;
    if (freshInterval) tmWebCheck_.setInterval(int(ReloadPeriodMs(g_.Settings.dldInterval)));
    tmWebCheck_.start();
}

void SharedFileReload::Status(const char* text, int ms) {
    Status(QString::fromLatin1(text), ms);
}

void SharedFileReload::Status(const QString& text, int ms) {
    if (view_.status) view_.status(text, ms);
}

void SharedFileReload::LogOnce(const std::string& text) {
    if (text == lastLogged_) return;
    lastLogged_ = text;
    if (!g_.Settings.enablelogging) return;
    SilentReporter quiet;
    services_.log.Append(text, quiet);
}

void SharedFileReload::Failed(const std::string& why) {
    Status(kDownloadFailed, 0);
    if (!why.empty()) LogOnce(std::string(kDownloadFailed) + " " + why);
}

void SharedFileReload::Refreshed() {
    if (view_.refreshed)
        view_.refreshed(QStringLiteral("Shared alarms refreshed: ") +
                        QString::fromStdString(FormatDateTime(services_.clock.Now())));
}

void SharedFileReload::Tick() {
    tmWebCheck_.stop();
    if (!IsClientMode(g_)) return;
    // A reload would change the table or the mode under an open window.
    if (reloading_ || (busy && busy())) {
        tmWebCheck_.start(kDeferMs);
        return;
    }
    Run();
}

void SharedFileReload::ReloadNow() {
    if (reloading_ || !IsClientMode(g_)) return;
    tmWebCheck_.stop();
    Run();
}

void SharedFileReload::Run() {
    if (Reload() == Outcome::Taken && view_.refill) view_.refill();
    tmWebCheck_.setInterval(int(ReloadPeriodMs(g_.Settings.dldInterval)));
    if (IsClientMode(g_) && g_.Settings.dldAlarmFile) tmWebCheck_.start();
}

SharedFileReload::Outcome SharedFileReload::Reload() {
    reloading_ = true;
    struct Done {
        bool& flag;
        ~Done() { flag = false; }
    } done{reloading_};
    const Outcome outcome = [&] {
        if (g_.Settings.UserMode == "WClient") return ReloadWeb();
        const std::string& path = g_.Settings.AlarmFile;
        const QString shown = widgets::FromFileText(path);
        if (!FileExists(path)) {
            const QString text =
                QStringLiteral(
                    "The shared alarm file %1 cannot be found; the alarms shown are "
                    "those read last.")
                    .arg(shown);
            Status(text, 0);
            LogOnce(text.toStdString());
            return Outcome::Failed;
        }
        return ReadShared(nullptr, QStringLiteral("The shared alarm file %1").arg(shown));
    }();
    if (outcome == Outcome::Failed) {
        failureShown_ = true;
        return outcome;
    }
    // A file client has no passing text of its own to replace the failure's.
    if (failureShown_ && g_.Settings.UserMode != "WClient") Status(QString(), 0);
    failureShown_ = false;
    Refreshed();
    return outcome;
}

SharedFileReload::Outcome SharedFileReload::ReadShared(AlarmFileDownloader* fetched,
                                                       const QString& what) {
    CollectingReporter said;
    const int result = ReadAlarmFile(g_, {.followClient = true}, said, fetched);
    if (result == kFileDone) {
        // A later outage or an unchanged file is told again.
        lastLogged_.clear();
        return Outcome::Taken;
    }
    std::string why = Joined(said.messages);
    if (why.empty())
        why = result == kFileCannotOpen ? "it could not be opened" : "it is not an alarm file";
    const QString text =
        QStringLiteral("%1 was not taken over: %2").arg(what, QString::fromStdString(why));
    Status(text, 0);
    LogOnce(text.toStdString());
    return Outcome::Failed;
}

SharedFileReload::Outcome SharedFileReload::ReloadWeb() {
    AlarmFileDownloader* web = services_.downloader;
    const std::string url = g_.Settings.AlarmFile;
    Status(kChecking, 0);
    const WebValidators last = LoadWebValidators(services_.settings);
    HttpHead head;
    const bool conditional = web && !last.etag.empty() && last.url == url;
    if (!web ||
        !(conditional ? web->HeadIfNoneMatch(url, last.etag, head) : web->Head(url, head))) {
        Failed(web ? web->LastError() : "");
        return Outcome::Failed;
    }
    const std::string shownUrl = ShownUrl(QString::fromStdString(url)).toStdString();
    if (const std::string why = UnchangedBecause(last, url, head); !why.empty()) {
        Status(kUpToDate, kStatusShownMs);
        LogOnce("The alarm file at " + shownUrl + " was not downloaded: " + why + ".");
        return Outcome::Unchanged;
    }
    Status(kDownloading, 0);
    std::string body;
    if (!web->Get(url, body)) {
        Failed(web->LastError());
        return Outcome::Failed;
    }
    const WebValidators now{url, head.etag, head.lastModifiedText};
    // Without validators every check downloads; the same bytes again change nothing.
    if (head.etag.empty() && head.lastModifiedText.empty() && last == now &&
        ReadWholeFile(WebCopyPath(g_)) == body + "\r\n") {
        Status(kUpToDate, kStatusShownMs);
        return Outcome::Unchanged;
    }
    Fetched fetched(head, std::move(body));
    const Outcome outcome = ReadShared(
        &fetched,
        QStringLiteral("The alarm file downloaded from %1").arg(QString::fromStdString(shownUrl)));
    if (outcome == Outcome::Taken) {
        SaveWebValidators(services_.settings, now);
        Status(kDownloaded, kStatusShownMs);
    }
    return outcome;
}

int ReadAlarmFileKeepingValidators(Globals& g, ReadOptions options, Reporter& reporter,
                                   AlarmFileDownloader* downloader, SettingsStore& store) {
    Recording recording(downloader);
    const int result = ReadAlarmFile(g, options, reporter, downloader ? &recording : nullptr);
    // The mode is the file's, known only after the read.
    if (result == kFileDone && g.Settings.UserMode == "WClient" && recording.headed)
        SaveWebValidators(store, {g.Settings.AlarmFile, recording.answer.etag,
                                  recording.answer.lastModifiedText});
    return result;
}

int ReadAlarmFileAtStart(Globals& g, Reporter& reporter, AlarmFileDownloader* downloader,
                         bool& offline, SettingsStore& store) {
    offline = false;
    const int result =
        ReadAlarmFileKeepingValidators(g, {.followClient = true}, reporter, downloader, store);
    if (result == kFileDone || g.Settings.UserMode != "WClient" || !FileExists(WebCopyPath(g)))
        return result;
    offline = true;
    // The kept copy, without another attempt at the server.
    return ReadAlarmFile(g, {.followClient = true, .reuseDownload = true}, reporter, nullptr);
}

}  // namespace ringmere::net
