// The web client's HTTP side: HEAD and GET of the shared alarm file on
// QNetworkAccessManager, each waited for in a nested event loop.
#pragma once

#include <QSslConfiguration>
#include <QString>
#include <cstdint>
#include <optional>
#include <string>

#include "core/alarmfile.h"

namespace ringmere::net {

struct HttpLimits {
    int timeoutMs = 30000;              // without a byte moving
    int totalMs = 300000;               // a trickle of bytes ends too
    std::int64_t maxBody = 512LL << 20;  // as the reader's limit for files
    // Certificates (PEM) trusted for "https://" hosts beside the system's.
    std::string caFile{};
};

class HttpDownloader final : public AlarmFileDownloader {
public:
    explicit HttpDownloader(HttpLimits limits = {}) : limits_(limits) {}

    // A redirect, a status other than 2xx, a time-out, a cut-off or oversized
    // body, a certificate that cannot be verified: false, and LastError()
    // says which.
    bool Head(const std::string& url, HttpHead& head) override;
    bool Get(const std::string& url, std::string& body) override;
    // 304 is an answer here, not a failure: `head.notModified`.
    bool HeadIfNoneMatch(const std::string& url, const std::string& etag, HttpHead& head) override;

    std::string LastError() const override { return lastError_.toStdString(); }

private:
    bool Exchange(const std::string& url, bool head, HttpHead* dates, std::string* body,
                  const std::string& ifNoneMatch = {});

    HttpLimits limits_;
    std::optional<QSslConfiguration> tls_;  // with limits_.caFile, once read
    QString lastError_;
};

// The address as it may be shown or logged: without its password.
QString ShownUrl(const QString& url);

}  // namespace ringmere::net
