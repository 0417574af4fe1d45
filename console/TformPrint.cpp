#include "console/TformPrint.h"

#include "ui_TformPrint.h"

#include "widgets/FormFont.h"
#include "common/ConsoleLog.h"
#include "console/LogView.h"
#include "console/TformTraffic.h"
#include "platform/Wait.h"
#include "protocol/Sender.h"
#include "protocol/TimeLimits.h"

#include <algorithm>

namespace quorvane {

TformPrint::TformPrint(ConsoleLog &log, D2XXUnit &link, QWidget *parent)
    : QWidget(parent), m_log(log), m_link(link), ui(std::make_unique<Ui::TformPrint>())
{
    ui->setupUi(this);
    btnClear = ui->btnClear;
    btnScrollTop = ui->btnScrollTop;
    btnEraseEeprom = ui->btnEraseEeprom;
    btnReadEEPROM = ui->btnReadEEPROM;
    CheckBox1 = ui->CheckBox1;
    Label1 = ui->Label1;
    cmbI2Caddr = ui->cmbI2Caddr;
    Memo1 = ui->Memo1;
    for (QWidget *widget : std::initializer_list<QWidget *>{btnClear, btnEraseEeprom, btnReadEEPROM,
                                                           Label1, cmbI2Caddr})
        use_form_font(widget, 10);
    cmbI2Caddr->setItemData(0, QStringLiteral("itmAddr1"));
    cmbI2Caddr->setItemData(1, QStringLiteral("itmAddr2"));
    move(1075, 0);
    // The address list is narrow: keep the looks' padding from hiding its
    // text (the arrow sits inside the right padding, so that stays small).
    cmbI2Caddr->setStyleSheet(QStringLiteral(
        "QComboBox { padding: 1px 1px 1px 3px; } QComboBox::drop-down { width: 13px; }"));
    // A caption wider than its place grows to the left, towards free room.
    const int labelWidth = Label1->sizeHint().width();
    if (labelWidth > Label1->width())
        Label1->setGeometry(Label1->geometry().right() + 1 - labelWidth, Label1->y(), labelWidth,
                            Label1->height());
    Memo1->setLog(&m_log);

    // "Traffic" sits in the free room above the log's right end, below the
    // address list; nothing of the console's own layout moves for it.
    btnTraffic = new QPushButton(QStringLiteral("Traffic"), this);
    btnTraffic->setObjectName(QStringLiteral("btnTraffic"));
    btnTraffic->setAutoDefault(false);
    btnTraffic->setToolTip(QStringLiteral("Every byte to and from the pedal, timed and decoded"));
    use_form_font(btnTraffic, 10);
    btnTraffic->resize(std::max(btnTraffic->sizeHint().width(), 64), 25);
    placeTrafficButton();
    btnTraffic->setEnabled(m_link.traffic != nullptr);

    connect(btnClear, &QPushButton::clicked, this, &TformPrint::btnClearClick);
    connect(btnScrollTop, &QPushButton::clicked, this, &TformPrint::btnScrollTopClick);
    connect(CheckBox1, &QCheckBox::toggled, this, &TformPrint::CheckBox1Change);
    connect(btnReadEEPROM, &QPushButton::clicked, this, &TformPrint::btnReadEEPROMClick);
    connect(btnEraseEeprom, &QPushButton::clicked, this, &TformPrint::btnEraseEepromClick);
    connect(btnTraffic, &QPushButton::clicked, this, &TformPrint::btnTrafficClick);

    FormCreate();
}

TformPrint::~TformPrint() = default;

void TformPrint::FormCreate()
{
    m_log.console_autoscroll = true;
    CheckBox1->setChecked(true);
    cmbI2Caddr->setCurrentIndex(0);
}

void TformPrint::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    // The log takes whatever room the window is given.
    Memo1->setGeometry(8, 62, std::max(60, width() - 17), std::max(60, height() - 70));
    placeTrafficButton();
}

void TformPrint::placeTrafficButton()
{
    if (btnTraffic)
        btnTraffic->move(Memo1->geometry().right() + 1 - btnTraffic->width(), 34);
}

QString TformPrint::eeprom_address() const
{
    const QString text = cmbI2Caddr->currentText();
    return text.isEmpty() ? cmbI2Caddr->itemText(0) : text;
}

void TformPrint::btnClearClick()
{
    m_log.clear();
}

void TformPrint::btnScrollTopClick()
{
    Memo1->scrollToTop();
}

void TformPrint::CheckBox1Change()
{
    m_log.console_autoscroll = CheckBox1->isChecked();
}

void TformPrint::btnReadEEPROMClick()
{
    if (m_link.refuses_writers())
        return;
    const QString text = QStringLiteral("0C") + eeprom_address() + QStringLiteral("0000") +
                         QStringLiteral("0000");
    m_log.print_to_console(text);
    send_message(m_link, m_log, text, std::uint32_t(text.size() / 2));
    // Show the line before the wait: the pedal's dump follows it.
    Memo1->flush();
    Memo1->viewport()->repaint();
    // The pedal needs the time to gather its memory dump; the reception tick
    // lists it afterwards.
    pause_ms(pauses::memory_read_ms);
}

void TformPrint::btnEraseEepromClick()
{
    if (m_link.refuses_writers())
        return;
    emit eraseEepromRequested(cmbI2Caddr->currentText());
}

TformTraffic *TformPrint::trafficWindow()
{
    if (!m_link.traffic)
        return nullptr;
    if (!m_traffic) {
        m_traffic = std::make_unique<TformTraffic>(*m_link.traffic, m_link.dialogs());
        m_traffic->setParameterNames(parameter_names);
    }
    return m_traffic.get();
}

void TformPrint::btnTrafficClick()
{
    if (TformTraffic *window = trafficWindow()) {
        window->show();
        window->raise();
        window->activateWindow();
    }
}

} // namespace quorvane
