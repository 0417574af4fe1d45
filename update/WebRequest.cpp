#include "update/WebRequest.h"

#include "platform/Wait.h"

#include <QElapsedTimer>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPointer>

#include <algorithm>
#include <climits>

namespace quorvane {

WebReply web_get(QNetworkAccessManager &manager, const QUrl &url, int idle_timeout_ms,
                 int total_timeout_ms, qint64 max_bytes)
{
    WebReply result;
    if (!url.isValid() || url.host().isEmpty()) {
        result.error = QStringLiteral("Invalid server address: %1").arg(url.toString());
        return result;
    }

    QNetworkRequest request(url);
    // Never from https to http, as Qt's default policy already promises.
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::NoLessSafeRedirectPolicy);
    QNetworkReply *reply = manager.get(request);

    QElapsedTimer sinceData;
    sinceData.start();
    QElapsedTimer total;
    total.start();
    const auto touched = [&sinceData] { sinceData.restart(); };
    QObject::connect(reply, &QNetworkReply::downloadProgress, reply, touched);
    QObject::connect(reply, &QNetworkReply::metaDataChanged, reply, touched);
    // Past the limit the transfer is aborted at once, before the body piles
    // up in memory.
    bool too_large = false;
    if (max_bytes >= 0) {
        const auto check = [reply, max_bytes, &too_large](qint64 received, qint64 total) {
            if (!too_large && (received > max_bytes || total > max_bytes)) {
                too_large = true;
                reply->abort();
            }
        };
        QObject::connect(reply, &QNetworkReply::downloadProgress, reply, check);
        // Progress signals are held back in bursts; what has arrived is not.
        QObject::connect(reply, &QNetworkReply::readyRead, reply,
                         [reply, check] { check(reply->bytesAvailable(), -1); });
    }

    // The wait helper bounds each slice; the loop goes on while data flows.
    QString timedOut;
    while (!reply->isFinished()) {
        const int idleLeft = idle_timeout_ms - static_cast<int>(sinceData.elapsed());
        const int totalLeft = total_timeout_ms > 0
                                  ? total_timeout_ms - static_cast<int>(total.elapsed())
                                  : INT_MAX;
        if (idleLeft <= 0 || totalLeft <= 0) {
            timedOut = idleLeft <= 0
                           ? QStringLiteral("The server did not answer within %1 s")
                                 .arg(idle_timeout_ms / 1000.0)
                           : QStringLiteral("The transfer took longer than %1 s")
                                 .arg(total_timeout_ms / 1000.0);
            break;
        }
        wait_until([reply] { return reply->isFinished(); }, std::min({idleLeft, totalLeft, 100}));
    }

    if (too_large) {
        result.too_large = true;
        result.error = QStringLiteral("too large");
        delete reply;
        return result;
    }
    if (!timedOut.isEmpty()) {
        reply->abort();
        result.error = timedOut;
        delete reply;
        return result;
    }

    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    result.replied = status.isValid();
    if (result.replied) {
        result.status = status.toInt();
        result.statusText =
            reply->attribute(QNetworkRequest::HttpReasonPhraseAttribute).toString().trimmed();
        if (result.statusText.isEmpty())
            result.statusText = QString::number(result.status);
        result.body = reply->readAll();
        // An HTTP error status shows up as a reply error too; for a 200 reply
        // any error means the transfer broke off.
        const auto error = reply->error();
        result.complete = error == QNetworkReply::NoError
                          || (result.status != 200 && error >= QNetworkReply::ContentAccessDenied);
        if (error != QNetworkReply::NoError)
            result.error = reply->errorString();
    } else {
        result.error = reply->errorString();
    }
    delete reply;
    return result;
}

} // namespace quorvane
