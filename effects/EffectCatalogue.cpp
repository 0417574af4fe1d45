#include "effects/EffectCatalogue.h"

#include "common/ConsoleLog.h"
#include "effects/Catalogue.h"
#include "platform/Dialogs.h"
#include "protocol/Codec.h"
#include "protocol/DeviceConnection.h"

#include <QListWidget>
#include <QWidget>

namespace quorvane {

QListWidget *EffectCatalogue::list(QListWidget *given) const
{
    return given ? given : effect_list.data();
}

void EffectCatalogue::GetResourceFile()
{
    QListWidget *effects = list(nullptr);
    const int row = effects ? effects->currentRow() : -1;
    m_console.print_to_console(QStringLiteral("efx index :%1").arg(row));
    const QListWidgetItem *item = effects ? effects->item(row) : nullptr;
    m_catalogue.selected_effect_name = item ? item->text() : QString();
    m_console.print_to_console(QStringLiteral("selected effect name: ")
                               + m_catalogue.selected_effect_name);
    const QString resource_name = format_resource_name(m_catalogue.selected_effect_name);
    m_console.print_to_console(QStringLiteral("resource name: ") + resource_name);
    m_catalogue.read_file_from_stream(resource_name);
    const QString image = m_catalogue.resource_lines.value(0);
    m_console.print_to_console(QStringLiteral("filecontent (first 128 bytes): ") + image.left(256));
}

void EffectCatalogue::close_effect_window()
{
    if (effect_window && effect_window->isVisible())
        effect_window->close();
}

void EffectCatalogue::OpenEffectWindow()
{
    if (!effect_window)
        return;
    close_effect_window();
    if (main_window) {
        const QRect frame = main_window->frameGeometry();
        effect_window->move(frame.left() + frame.width(), frame.top());
    }
    effect_window->show();
    effect_window->setWindowTitle(m_catalogue.selected_effect_name);
    if (enable_effect_controls)
        enable_effect_controls(m_connection.is_linked);
}

void EffectCatalogue::effetto_cliccato(QListWidget *, QListWidgetItem *)
{
    GetResourceFile();
    if (!m_connection.is_linked) {
        OpenEffectWindow();
        return;
    }
    bool ok = false;
    const int device = m_connection.device_algorithm_version.toInt(&ok, 10);
    if (!ok)
        throw ConversionError(QStringLiteral("'%1' is not a valid integer value")
                                  .arg(m_connection.device_algorithm_version));
    if (device >= m_connection.latest_algorithm_version) {
        OpenEffectWindow();
        return;
    }
    close_effect_window();
    m_dialogs.message(QStringLiteral("Upload the latest version of Quorvane KQ5 algorithm:\r\n"
                                     "Upload Quorvane KQ5 00")
                      + QString::number(m_connection.latest_algorithm_version));
}

bool EffectCatalogue::move_up_or_down(QListWidget *Sender, int Key)
{
    QListWidget *effects = list(Sender);
    if (Key == Qt::Key_Up) {
        m_console.print_to_console(QStringLiteral("arrow up pressed"));
        if (effects && effects->currentRow() > 0)
            effects->setCurrentRow(effects->currentRow() - 1);
        return true;
    }
    if (Key == Qt::Key_Down) {
        m_console.print_to_console(QStringLiteral("arrow down pressed"));
        if (effects && effects->currentRow() < effects->count() - 1)
            effects->setCurrentRow(effects->currentRow() + 1);
        return true;
    }
    return false;
}

} // namespace quorvane
