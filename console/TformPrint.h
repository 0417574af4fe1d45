#pragma once
// The service console: the log of all traffic, with clearing and scrolling,
// and the settings-memory tools. Hidden until Ctrl+Shift+P in the main
// window; closing it only hides it.

#include "protocol/TrafficDecoder.h"

#include <QWidget>

#include <functional>
#include <memory>

class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;

namespace Ui {
class TformPrint;
}

namespace quorvane {

class ConsoleLog;
class D2XXUnit;
class LogView;
class TformTraffic;

class TformPrint : public QWidget {
    Q_OBJECT
public:
    TformPrint(ConsoleLog &log, D2XXUnit &link, QWidget *parent = nullptr);
    ~TformPrint() override;

    QPushButton *btnClear, *btnScrollTop, *btnEraseEeprom, *btnReadEEPROM;
    // Opens the traffic window (not part of the console's own layout: it
    // sits in the free room of the button row).
    QPushButton *btnTraffic = nullptr;
    QCheckBox *CheckBox1;
    QLabel *Label1;
    QComboBox *cmbI2Caddr;
    LogView *Memo1;

    // The settings-memory bus address chosen in the list ("50" when none).
    QString eeprom_address() const;

    void FormCreate();

    // Names the parameters in the traffic window's DSP writes.
    DspParameterLookup parameter_names;
    // The traffic window, made on first use; none while nothing is captured.
    TformTraffic *trafficWindow();

public slots:
    void btnClearClick();
    void btnScrollTopClick();
    void CheckBox1Change();
    void btnReadEEPROMClick();
    void btnEraseEepromClick();
    void btnTrafficClick();

signals:
    // "Erase E2P": the settings memory at this bus address is to be erased.
    void eraseEepromRequested(const QString &address);

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    void placeTrafficButton();

    ConsoleLog &m_log;
    D2XXUnit &m_link;
    std::unique_ptr<Ui::TformPrint> ui;
    std::unique_ptr<TformTraffic> m_traffic;
};

} // namespace quorvane
