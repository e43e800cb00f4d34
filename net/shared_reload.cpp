#include "net/shared_reload.h"

#include <QApplication>
#include <algorithm>

#include "core/activitylog.h"
#include "core/alarmtable.h"
#include "core/fileio.h"
#include "widgets/dialogs.h"

namespace ringmere::net {

namespace {

// The answers of one check, handed to the reader without another request,
// so that the reading itself never waits and never lets events through.
class Fetched final : public AlarmFileDownloader {
public:
    Fetched(HttpHead head, std::string body) : head_(head), body_(std::move(body)) {}
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

std::string WebCopyPath(const Globals& g) {
    return g.ProgramDir + "webtmp.ini";
}

}  // namespace

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
    if (!IsClientMode(g_) || !g_.Settings.dldAlarmFile) return;
    if (freshInterval) tmWebCheck_.setInterval(int(ReloadPeriodMs(g_.Settings.dldInterval)));
    tmWebCheck_.start();
}

void SharedFileReload::Status(const char* text, int ms) {
    if (view_.status) view_.status(QString::fromLatin1(text), ms);
}

void SharedFileReload::Failed(const std::string& why) {
    Status(kDownloadFailed, 0);
    if (g_.Settings.enablelogging && !why.empty()) {
        SilentReporter quiet;
        services_.log.Append(std::string(kDownloadFailed) + " " + why, quiet);
    }
}

void SharedFileReload::Tick() {
    tmWebCheck_.stop();
    if (!IsClientMode(g_)) return;
    // A reload would change the table or the mode under an open window.
    if (reloading_ || (busy && busy())) {
        tmWebCheck_.start(kDeferMs);
        return;
    }
    if (Reload({.followClient = true}) == kFileDone && view_.refill) view_.refill();
    tmWebCheck_.setInterval(int(ReloadPeriodMs(g_.Settings.dldInterval)));
    if (g_.Settings.dldAlarmFile) tmWebCheck_.start();
}

int SharedFileReload::Reload(ReadOptions options) {
    reloading_ = true;
    struct Done {
        bool& flag;
        ~Done() { flag = false; }
    } done{reloading_};
    widgets::MessageBoxReporter boxes(services_.dialogs);
    const SettingsRec& s = g_.Settings;
    if (s.UserMode != "WClient" || (options.reuseDownload && FileExists(WebCopyPath(g_))))
        return ReadAlarmFile(g_, options, boxes, services_.downloader);

    AlarmFileDownloader* web = services_.downloader;
    const std::string url = s.AlarmFile;
    Status(kChecking, 0);
    HttpHead head;
    if (!web || !web->Head(url, head)) {
        Failed(web ? web->LastError() : "");
        return kFileInvalid;
    }
    // Both dates are the server's, in UTC.
    if (head.lastModified <= g_.WebFileDate) {
        Status(kUpToDate, kStatusShownMs);
        return kFileInvalid;
    }
    Status(kDownloading, 0);
    std::string body;
    if (!web->Get(url, body)) {
        Failed(web->LastError());
        return kFileInvalid;
    }
    // The copy counts from its Last-Modified time.
    Fetched fetched(HttpHead{head.lastModified, head.lastModified}, std::move(body));
    const int result = ReadAlarmFile(g_, {.followClient = options.followClient}, boxes, &fetched);
    if (result == kFileDone)
        Status(kDownloaded, kStatusShownMs);
    else
        Failed("The downloaded file was not taken over.");
    return result;
}

int ReadAlarmFileAtStart(Globals& g, Reporter& reporter, AlarmFileDownloader* downloader,
                         bool& offline) {
    offline = false;
    const int result = ReadAlarmFile(g, {.followClient = true}, reporter, downloader);
    if (result == kFileDone || g.Settings.UserMode != "WClient" || !FileExists(WebCopyPath(g)))
        return result;
    offline = true;
    // The kept copy, without another attempt at the server.
    return ReadAlarmFile(g, {.followClient = true, .reuseDownload = true}, reporter, nullptr);
}

}  // namespace ringmere::net
