// kq5ctl's effect commands: the effects the tool carries, and uploading one
// (or a .dat file) through the editor's own upload.

#include "ctl/CtlParts.h"

#include "effects/EffectUpload.h"

#include <QFile>
#include <QFileInfo>

#include <QJsonArray>
#include <QJsonDocument>

namespace quorvane {

int Kq5Ctl::Parts::effect(const QStringList &args)
{
    const QStringList &entries = catalogue.resource_lines;
    if (args == QStringList{QStringLiteral("list")}) {
        if (options.json)
            out(QString::fromUtf8(QJsonDocument(QJsonArray::fromStringList(entries)).toJson()).trimmed());
        else
            for (const QString &entry : entries)
                out(entry);
        return exit_ok;
    }
    if (args.isEmpty() || args[0] != QLatin1String("upload") || args.size() > 2)
        throw Stop{exit_usage, QStringLiteral("usage: kq5ctl effect upload [NAME|FILE.dat] | effect list")};

    // A name of the list (any case, or its last four digits), or a file.
    QString entry = entries.value(0);
    QString file;
    if (args.size() == 2) {
        const QString wanted = args[1];
        entry.clear();
        for (const QString &e : entries)
            if (e.compare(wanted, Qt::CaseInsensitive) == 0 || e.endsWith(QLatin1Char(' ') + wanted))
                entry = e;
        if (entry.isEmpty()) {
            if (!wanted.endsWith(QLatin1String(".dat"), Qt::CaseInsensitive) && !QFileInfo::exists(wanted))
                throw Stop{exit_usage, QStringLiteral("no effect \"%1\" (see 'kq5ctl effect list')").arg(wanted)};
            // The file is checked before the pedal is asked anything.
            QFile dat(wanted);
            if (!dat.open(QIODevice::ReadOnly))
                throw Stop{exit_usage, QStringLiteral("Cannot read file: ") + dat.errorString()};
            const QByteArray bytes = dat.read(qint64(link_buffer_size) + 1);
            if (const QString reason = check_effect_file(bytes, dat.size()); !reason.isEmpty())
                throw Stop{exit_usage, QStringLiteral("Not an effect file: ") + reason};
            file = wanted;
        }
    }

    request_status();
    QTimer check;
    check.setSingleShot(true);
    check.setInterval(5000);
    EffectUpload upload(link, console, dialogs, connection, check);
    upload.selected_effect_name = [entry] { return entry; };
    upload.format_resource_name = [](const QString &e) { return format_resource_name(e); };
    // The image is read apart: the catalogue keeps listing the effects for
    // the status that follows the upload.
    Catalogue images(dialogs);
    upload.load_image = [&images](const QString &resource) {
        images.read_file_from_stream(resource);
        return images.resource_lines.value(0);
    };
    QString status;
    QObject::connect(&upload, &EffectUpload::statusChanged, &upload, [&status](const QString &t) { status = t; });
    const qsizetype before = dialogs.messages.size();
    if (file.isEmpty()) {
        upload.btnUploadClick();
    } else {
        dialogs.open_file = file;
        upload.menuLoadAlgorithmFromFileClick();
    }
    check_answered(QStringLiteral("effect upload"));
    if (!status.startsWith(QLatin1String("Upload OK"))) {
        const QString why = dialogs.messages.size() > before ? dialogs.messages.last() : status;
        throw Stop{status.isEmpty() && dialogs.messages.size() > before ? exit_usage : exit_failed,
                   why.isEmpty() ? QStringLiteral("Upload Failed") : why};
    }
    if (!options.quiet)
        out(status.trimmed());
    return exit_ok;
}

} // namespace quorvane
