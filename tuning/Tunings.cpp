#include "tuning/Tunings.h"

#include "common/ConsoleLog.h"
#include "platform/Dialogs.h"
#include "platform/Wait.h"
#include "protocol/Codec.h"
#include "protocol/Sender.h"
#include "protocol/TimeLimits.h"
#include "usb/D2XXUnit.h"

namespace quorvane {

const char *const tuning_table[tuning_table_rows][tuning_table_values_per_row] = {
    {"007FF5EC", "FF002B70", "007FE1AB", "00FFD490", "FF80286A"}, // 0
    {"007FF552", "FF002E35", "007FDFDD", "00FFD1CB", "FF802AD0"}, // 1
    {"007FF4B0", "FF00312B", "007FDDF4", "00FFCED5", "FF802D5C"}, // 2
    {"007FF404", "FF003454", "007FDBEF", "00FFCBAC", "FF80300D"}, // 3
    {"007FF34E", "FF0037B5", "007FD9CA", "00FFC84B", "FF8032E8"}, // 4
    {"007FF28D", "FF003B52", "007FD785", "00FFC4AE", "FF8035EF"}, // 5
    {"007FF1C0", "FF003F2F", "007FD51D", "00FFC0D1", "FF803923"}, // 6
    {"007FF0E7", "FF004351", "007FD291", "00FFBCAF", "FF803C88"}, // 7
    {"007FF002", "FF0047BE", "007FCFDE", "00FFB842", "FF804020"}, // 8
    {"007FEF0F", "FF004C7C", "007FCD02", "00FFB384", "FF8043EF"}, // 9
    {"007FEE0D", "FF005191", "007FC9FB", "00FFAE6F", "FF8047F8"}, // 10
    {"007FECFC", "FF005704", "007FC6C6", "00FFA8FC", "FF804C3E"}, // 11
    {"007FEBDB", "FF005CDC", "007FC360", "00FFA324", "FF8050C5"}, // 12
    {"007FEAA9", "FF006323", "007FBFC6", "00FF9CDD", "FF805591"}, // 13
    {"007FE964", "FF0069E1", "007FBBF6", "00FF961F", "FF805AA6"}, // 14
    {"007FE80D", "FF00711F", "007FB7EC", "00FF8EE1", "FF806007"}, // 15
    {"007FE6A1", "FF0078EA", "007FB3A5", "00FF8716", "FF8065BB"}, // 16
    {"007FE51F", "FF00814D", "007FAF1C", "00FF7EB3", "FF806BC4"}, // 17
    {"007FBD9D", "FF009D1C", "007FAEDD", "00FF62E4", "FF809386"}, // 18
    {"007FB9AD", "FF00A708", "007FAA0D", "00FF58F8", "FF809C46"}, // 19
    {"007FB582", "FF00B19D", "007FA4F4", "00FF4E63", "FF80A58A"}, // 20
    {"007FB117", "FF00BCE8", "007F9F8E", "00FF4318", "FF80AF5B"}, // 21
    {"007FAC69", "FF00C8F6", "007F99D6", "00FF370A", "FF80B9C1"}, // 22
    {"007FA775", "FF00D5D4", "007F93C8", "00FF2A2C", "FF80C4C3"}, // 23
    {"007FA236", "FF00E394", "007F8D5E", "00FF1C6C", "FF80D06C"}, // 24
    {"007F9CA7", "FF00F245", "007F8693", "00FF0DBB", "FF80DCC6"}, // 25
    {"007F96C4", "FF0101F9", "007F7F62", "00FEFE07", "FF80E9DA"}, // 26
    {"007F9089", "FF0112C5", "007F77C4", "00FEED3B", "FF80F7B3"}, // 27
    {"007F89F0", "FF0124BE", "007F6FB3", "00FEDB42", "FF81065E"}, // 28
    {"007F82F3", "FF0137FC", "007F6728", "00FEC804", "FF8115E5"}, // 29
    {"007F7B8C", "FF014C98", "007F5E1D", "00FEB368", "FF812657"}, // 30
    {"007F73B6", "FF0162AE", "007F548A", "00FE9D52", "FF8137C0"}, // 31
};

QStringList tuning_table_bytes()
{
    QStringList bytes;
    bytes.reserve(tuning_table_size);
    for (const auto &row : tuning_table)
        for (const char *value : row)
            for (int i = 0; i < 8; i += 2)
                bytes.append(QString::fromLatin1(value + i, 2));
    return bytes;
}

QString tuning_message_text(int current_tuning, int semitone_variation)
{
    // Both are single bytes on the wire: the tuning unsigned, the shift signed.
    return QStringLiteral("09") + hex2(current_tuning & 0xFF) + hex2(semitone_variation & 0xFF);
}

void Tunings::BuildTuningData()
{
    tuning_data = tuning_table_bytes().join(QString());
    m_console.print_to_console(QStringLiteral("tuning data: ") + tuning_data);
}

void Tunings::menuUploadTuningsDataClick()
{
    if (m_link.refuses_writers())
        return;
    BuildTuningData();
    if (m_dialogs.confirm(QStringLiteral("Upload Tuning Data?")) == Answer::No)
        return;

    // The pedal takes the table only while bypassed; bypass stays on afterwards.
    send_bypass(m_link, m_console, true);
    pause_ms(pauses::tuning_bypass_ms);

    const QString text = QStringLiteral("0E") + tuning_data;
    const auto n = std::uint32_t(text.size() / 2);
    m_console.print_to_console(QStringLiteral("num_of_bytes: ") + QString::number(n));
    send_message(m_link, m_console, text, n, true);
    pause_ms(pauses::after_command_ms);
}

QString Tunings::btnSetTuningClick()
{
    if (m_link.refuses_writers())
        return {};
    const int tuning = m_current_tuning ? m_current_tuning() : no_tuning_index;
    const int semitones = m_semitone_variation ? m_semitone_variation() : 0;
    const QString text = tuning_message_text(tuning, semitones);
    m_console.print_to_console(QStringLiteral("Tuning Message: ") + text);
    if (m_dialogs.confirm(QStringLiteral("Set new tuning?")) == Answer::No)
        return {};
    const LineStatus written = send_message(m_link, m_console, text, 3, true);
    pause_ms(pauses::after_command_ms);
    return written == LineStatus::Ok ? text : QString();
}

} // namespace quorvane
