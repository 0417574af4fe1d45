#include "presets/PresetFiles.h"

#include "common/Preferences.h"
#include "common/ConsoleLog.h"
#include "parameters/ParameterModel.h"
#include "platform/Dialogs.h"
#include "protocol/Codec.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>

#include <algorithm>

namespace quorvane {

namespace {

const QByteArray utf8_bom("\xEF\xBB\xBF");

// Creates a start folder with any missing parents; the dialog opens either
// way, so a failure only goes to the console.
void make_folder(ConsoleLog &console, const QString &folder)
{
    if (!QDir().mkpath(folder))
        console.print_to_console(QStringLiteral("cannot create folder ") + folder);
}

// Exactly eight hex digits.
bool is_preset_word(const QString &line)
{
    return line.size() == 8 && count_hex_bytes(line, 4) == 4;
}

} // namespace

QString preset_text::loaded_partly(int applied)
{
    return QStringLiteral("Preset loaded with %1 of %2 values: ").arg(applied).arg(parameter_count);
}

QString preset_text::assigned_skipped(int assigned)
{
    return QStringLiteral(" (%1 assigned to a control, not applied)").arg(assigned);
}

QString reverse_hex_bytes(const QString &text8)
{
    const QString t = text8.leftJustified(8, QLatin1Char(' '), true);
    return t.mid(6, 2) + t.mid(4, 2) + t.mid(2, 2) + t.mid(0, 2);
}

QString preset_text_of(const ParameterModel &model)
{
    QStringList words;
    for (int i = 0; i < parameter_count; ++i)
        words.append(hex8(model.value(ParameterRow(i))));
    return words.join(QLatin1Char('\r'));
}

QStringList preset_lines(const QString &text)
{
    QStringList lines;
    qsizetype start = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c != QLatin1Char('\r') && c != QLatin1Char('\n'))
            continue;
        lines.append(text.mid(start, i - start));
        if (c == QLatin1Char('\r') && i + 1 < text.size() && text[i + 1] == QLatin1Char('\n'))
            ++i;
        start = i + 1;
    }
    if (start < text.size())
        lines.append(text.mid(start));
    return lines;
}

int PresetWords::valid() const
{
    return int(std::count_if(words.begin(), words.end(), [](const auto &w) { return w.has_value(); }));
}

PresetWords parse_preset_text(const QString &text)
{
    QStringList lines = preset_lines(text);
    while (!lines.isEmpty() && lines.last().trimmed().isEmpty())
        lines.removeLast();
    PresetWords result;
    result.present = int(std::min<qsizetype>(lines.size(), parameter_count));
    for (int i = 0; i < result.present; ++i) {
        const QString &line = lines[i];
        if (!is_preset_word(line))
            continue;
        // The pairs reversed are the word's bytes, least significant first.
        std::uint8_t bytes[4] = {};
        decode_hex_text(reverse_hex_bytes(line), bytes, 4);
        result.words[std::size_t(i)] = std::uint32_t(bytes[0]) | std::uint32_t(bytes[1]) << 8 |
                                       std::uint32_t(bytes[2]) << 16 | std::uint32_t(bytes[3]) << 24;
    }
    return result;
}

PresetApplied apply_preset_words(ParameterModel &model, const PresetWords &preset)
{
    return load_words(model, preset.words);
}

PresetFiles::PresetFiles(ParameterModel &model, ConsoleLog &console, Dialogs &dialogs,
                         Preferences &preferences)
    : m_model(model), m_console(console), m_dialogs(dialogs), m_preferences(preferences)
{
}

QString PresetFiles::save_folder() const
{
    return m_preferences.maker_folder() + QLatin1Char('/') + save_folder_parent + QLatin1Char('/') +
           preset_folder_name;
}

QString PresetFiles::load_folder() const
{
    return m_preferences.product_folder() + QLatin1Char('/') + preset_folder_name;
}

void PresetFiles::save_preset()
{
    write_preset_file(preset_text_of(m_model));
}

bool PresetFiles::write_preset_file(const QString &text)
{
    const QString folder = save_folder();
    make_folder(m_console, folder);
    QString file_name = m_dialogs.saveFileWithDefault(preset_text::save_title, folder,
                                                      preset_text::filter,
                                                      preset_text::default_extension);
    if (file_name.isEmpty())
        return false;
    if (!file_name.endsWith(preset_text::extension, Qt::CaseSensitive))
        file_name += preset_text::extension;

    if (const QString error = write_preset_to(file_name, text); !error.isEmpty()) {
        m_dialogs.message(preset_text::save_error + error);
        return false;
    }
    m_dialogs.message(preset_text::saved + file_name);
    return true;
}

QString write_preset_to(const QString &file_name, const QString &text)
{
    // Written beside the target and renamed over it when complete, so a
    // failed save never leaves a half-written preset in its place.
    QSaveFile file(file_name);
    const QByteArray bytes = utf8_bom + text.toUtf8();
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
        return file.errorString();
    return {};
}

PresetFiles::ReadResult PresetFiles::read_preset_file()
{
    const QString folder = load_folder();
    make_folder(m_console, folder);
    ReadResult result;
    const QString file_name = m_dialogs.openFileWithDefault(preset_text::open_title, folder,
                                                            preset_text::filter,
                                                            preset_text::default_extension);
    if (file_name.isEmpty())
        return result;
    result = read_preset_from(file_name);
    if (result.outcome == ReadResult::failed)
        m_dialogs.message(preset_text::load_error + result.error);
    return result;
}

PresetFiles::ReadResult PresetFiles::read_preset_from(const QString &file_name)
{
    ReadResult result;
    QFile file(file_name);
    QString error;
    QByteArray bytes;
    if (!file.open(QIODevice::ReadOnly)) {
        error = file.errorString();
    } else {
        // One byte more than a preset may hold tells an oversized file.
        bytes = file.read(max_preset_file_size + 1);
        if (file.error() != QFileDevice::NoError)
            error = file.errorString();
        else if (bytes.size() > max_preset_file_size)
            error = QStringLiteral("the file is larger than %1 bytes, too large for a preset")
                        .arg(max_preset_file_size);
    }
    if (!error.isEmpty()) {
        result.outcome = ReadResult::failed;
        result.error = error;
        return result;
    }

    if (bytes.startsWith(utf8_bom))
        bytes.remove(0, utf8_bom.size());
    for (const QString &line : preset_lines(QString::fromUtf8(bytes)))
        result.text += line + QStringLiteral("\r\n");
    result.outcome = ReadResult::read;
    result.file_name = file_name;
    return result;
}

std::optional<PresetApplied> apply_preset_text(ParameterModel &model, const QString &text)
{
    const PresetWords preset = parse_preset_text(text);
    if (preset.valid() == 0)
        return std::nullopt;
    return apply_preset_words(model, preset);
}

QString preset_loaded_message(const PresetApplied &applied, const QString &file_name)
{
    QString message = applied.applied == parameter_count ? preset_text::loaded + file_name
                                                         : preset_text::loaded_partly(applied.applied) + file_name;
    if (applied.assigned > 0)
        message += preset_text::assigned_skipped(applied.assigned);
    return message;
}

void PresetFiles::load_preset()
{
    if (refuse_to_send && refuse_to_send())
        return;
    const ReadResult file = read_preset_file();
    // A read error has been shown and ends the command with nothing changed.
    if (file.outcome == ReadResult::failed)
        return;
    m_console.print_to_console(file.text);
    if (file.outcome != ReadResult::read)
        return; // cancelled: nothing changes, nothing is shown or sent

    // A file with no usable line is no preset: nothing changes.
    const std::optional<PresetApplied> applied = apply_preset_text(m_model, file.text);
    if (!applied) {
        m_dialogs.message(preset_text::not_a_preset + file.file_name);
        return;
    }
    if (show_parameters)
        show_parameters();
    if (send_word)
        for (const auto &[row, word] : applied->changed)
            send_word(row, word);
    m_dialogs.message(preset_loaded_message(*applied, file.file_name));
    if (loaded && !applied->changed.empty())
        loaded(*applied);
}

} // namespace quorvane
