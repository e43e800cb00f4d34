#include "net/http_downloader.h"

#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSslConfiguration>
#include <QSslError>
#include <QTimer>
#include <QUrl>

#include "core/http_date.h"

namespace ringmere::net {

QString ShownUrl(const QString& url) {
    const QUrl u(url);
    if (!u.isValid() || u.password().isEmpty()) return url;
    return u.toString(QUrl::RemovePassword);
}

namespace {

DateTime HeaderDate(const QNetworkReply& reply, const char* name) {
    const auto d = ParseHttpDate(reply.rawHeader(name).toStdString());
    return d ? *d : 0;
}

}  // namespace

bool HttpDownloader::Head(const std::string& url, HttpHead& head) {
    return Exchange(url, true, &head, nullptr);
}

bool HttpDownloader::Get(const std::string& url, std::string& body) {
    return Exchange(url, false, nullptr, &body);
}

bool HttpDownloader::HeadIfNoneMatch(const std::string& url, const std::string& etag,
                                     HttpHead& head) {
    return Exchange(url, true, &head, nullptr, etag);
}

bool HttpDownloader::Exchange(const std::string& url, bool head, HttpHead* dates, std::string* body,
                              const std::string& ifNoneMatch) {
    lastError_.clear();
    const QString text = QString::fromStdString(url);
    const QUrl address(text, QUrl::StrictMode);
    const QString scheme = address.scheme().toLower();
    if (!address.isValid() || (scheme != QLatin1String("http") && scheme != QLatin1String("https")) ||
        address.host().isEmpty()) {
        lastError_ = QStringLiteral("%1 is not an http or https address").arg(ShownUrl(text));
        return false;
    }
    // Made for the exchange and freed after it: nothing is kept between
    // checks that could answer in the server's place.
    QNetworkAccessManager manager;
    QNetworkRequest request(address);
    // A redirect is a failed download: the address the user gave is the one read.
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::ManualRedirectPolicy);
    request.setTransferTimeout(limits_.timeoutMs);
    if (!ifNoneMatch.empty())
        request.setRawHeader("If-None-Match", QByteArray::fromStdString(ifNoneMatch));
    if (!limits_.caFile.empty() && scheme == QLatin1String("https")) {
        // The list replaces the system's store, so that store is in it too;
        // reading it is slow, hence once.
        if (!tls_) {
            tls_ = QSslConfiguration::defaultConfiguration();
            tls_->setCaCertificates(QSslConfiguration::systemCaCertificates() +
                                    QSslCertificate::fromPath(QString::fromStdString(limits_.caFile)));
        }
        request.setSslConfiguration(*tls_);
    }
    QNetworkReply* reply = head ? manager.head(request) : manager.get(request);

    QByteArray data;
    bool tooLarge = false;
    bool overTime = false;
    QEventLoop loop;
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    // Never ignored: an unverified server could hand out any alarms.
    QStringList tlsErrors;
    QObject::connect(reply, &QNetworkReply::sslErrors, &loop, [&](const QList<QSslError>& errors) {
        for (const QSslError& e : errors) tlsErrors << e.errorString();
    });
    const auto tooMuch = [&](qint64 size) {
        if (size <= limits_.maxBody) return false;
        tooLarge = true;
        reply->abort();
        return true;
    };
    QObject::connect(reply, &QNetworkReply::metaDataChanged, &loop, [&] {
        const QVariant length = reply->header(QNetworkRequest::ContentLengthHeader);
        if (!head && length.isValid()) tooMuch(length.toLongLong());
    });
    QObject::connect(reply, &QNetworkReply::readyRead, &loop, [&] {
        if (tooLarge) return;
        if (tooMuch(data.size() + reply->bytesAvailable())) return;
        data += reply->readAll();
    });
    QTimer total;
    total.setSingleShot(true);
    QObject::connect(&total, &QTimer::timeout, &loop, [&] {
        overTime = true;
        reply->abort();
    });
    total.start(limits_.totalMs);
    if (!reply->isFinished()) loop.exec();
    if (!tooLarge && !overTime && reply->isFinished() && reply->isOpen()) data += reply->readAll();

    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    const QVariant length = reply->header(QNetworkRequest::ContentLengthHeader);
    const QString shown = ShownUrl(text);
    const bool notModified = status == 304 && !ifNoneMatch.empty();
    if (tooLarge) {
        lastError_ = QStringLiteral("the answer from %1 is larger than %2 MiB")
                         .arg(shown)
                         .arg(limits_.maxBody >> 20);
    } else if (overTime) {
        lastError_ = QStringLiteral("%1 took longer than %2 seconds to answer")
                         .arg(shown)
                         .arg(limits_.totalMs / 1000);
    } else if (!reply->isFinished()) {
        lastError_ = QStringLiteral("the request to %1 was ended").arg(shown);
    } else if (status >= 300 && status < 400 && !notModified) {
        lastError_ = QStringLiteral("%1 redirects to another address (%2), which is not followed")
                         .arg(shown, ShownUrl(QString::fromUtf8(reply->rawHeader("Location"))));
    } else if (status != 0 && (status < 200 || status > 299) && !notModified) {
        lastError_ = QStringLiteral("%1 answered %2 %3")
                         .arg(shown)
                         .arg(status)
                         .arg(reply->attribute(QNetworkRequest::HttpReasonPhraseAttribute)
                                  .toString());
    } else if (!head && length.isValid() && length.toLongLong() > data.size()) {
        lastError_ = QStringLiteral("the answer from %1 was cut short (%2 of %3 bytes)")
                         .arg(shown)
                         .arg(data.size())
                         .arg(length.toLongLong());
    } else if (!tlsErrors.isEmpty()) {
        tlsErrors.removeDuplicates();
        lastError_ = QStringLiteral("%1 was refused: its certificate could not be verified (%2)")
                         .arg(shown, tlsErrors.join(QStringLiteral("; ")));
    } else if (reply->error() == QNetworkReply::OperationCanceledError) {
        lastError_ = QStringLiteral("%1 did not answer within %2 seconds")
                         .arg(shown)
                         .arg(limits_.timeoutMs / 1000);
    } else if (reply->error() != QNetworkReply::NoError || status == 0) {
        // Qt's texts may hold the whole address.
        QString why = reply->errorString();
        why.replace(text, shown);
        why.replace(address.toString(), shown);
        lastError_ = QStringLiteral("%1: %2").arg(shown, why);
    }
    if (!lastError_.isEmpty()) return false;
    if (dates) {
        dates->date = HeaderDate(*reply, "Date");
        dates->lastModified = HeaderDate(*reply, "Last-Modified");
        dates->etag = reply->rawHeader("ETag").toStdString();
        dates->lastModifiedText = reply->rawHeader("Last-Modified").toStdString();
        dates->notModified = notModified;
    }
    if (body) body->assign(data.constData(), static_cast<std::size_t>(data.size()));
    return true;
}

}  // namespace ringmere::net
