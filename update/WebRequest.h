#pragma once
// One GET against the update server, waited for while the windows keep
// repainting, and given up when the server stays silent too long.

#include <QByteArray>
#include <QString>
#include <QUrl>

class QNetworkAccessManager;

namespace quorvane {

struct WebReply {
    // True when the server answered with an HTTP status; false when the request
    // failed before any reply (no network, refused, TLS refused, timed out).
    bool replied = false;
    int status = 0;
    // The reply's reason phrase, or the status number where the server sends
    // none (HTTP/2 has no reason phrases).
    QString statusText;
    QByteArray body;
    // Why the request failed, for a failure before any reply or a reply that
    // broke off.
    QString error;
    // The whole body arrived without a transfer error.
    bool complete = false;
    // Given up because the body grew past the limit; nothing of it is kept.
    bool too_large = false;

    bool ok() const { return replied && status == 200 && complete; }
};

// Sends a GET for `url` and waits until it has finished. It gives up when no
// data has arrived for `idle_timeout_ms`, when `total_timeout_ms` (if > 0)
// has passed, or when the body (announced or received) passes `max_bytes`
// (if >= 0).
WebReply web_get(QNetworkAccessManager &manager, const QUrl &url, int idle_timeout_ms,
                 int total_timeout_ms = 0, qint64 max_bytes = -1);

} // namespace quorvane
