#include "firmware/TformFirmwareUpgrade.h"

#include "firmware/UpgradeProcedure.h"
#include "ui_TformFirmwareUpgrade.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QSignalBlocker>

namespace quorvane {

TformFirmwareUpgrade::TformFirmwareUpgrade(QWidget *parent)
    : QWidget(parent, Qt::Window), m_ui(std::make_unique<Ui::TformFirmwareUpgrade>())
{
    m_ui->setupUi(this);
    connect(m_ui->cmbFirmwareChoose, &QComboBox::currentIndexChanged, this,
            [this] { FirmwareSelect(); });
    connect(m_ui->btnUpgradeFirmware, &QPushButton::clicked, this,
            [this] { btnUpgradeFirmwareClick(); });
    // A click, not a change made to show the procedure's choice.
    connect(m_ui->chkVerify, &QCheckBox::clicked, this, [this](bool on) {
        if (m_procedure)
            m_procedure->setVerifyAfterWriting(on);
    });
}

TformFirmwareUpgrade::~TformFirmwareUpgrade() = default;

void TformFirmwareUpgrade::follow(UpgradeProcedure &procedure)
{
    m_procedure = &procedure;
    connect(&procedure, &UpgradeProcedure::progress, this, [this](int value, int maximum) {
        m_ui->ProgressBar1->setMaximum(maximum);
        m_ui->ProgressBar1->setValue(value);
    });
    connect(&procedure, &UpgradeProcedure::transferRunning, this, [this](bool on) {
        m_ui->btnUpgradeFirmware->setEnabled(!on);
        m_ui->cmbFirmwareChoose->setEnabled(!on);
        m_ui->chkVerify->setEnabled(!on);
    });
    m_ui->chkVerify->setChecked(procedure.verify_after_writing());
    connect(&procedure, &UpgradeProcedure::verifyAfterWritingChanged, m_ui->chkVerify,
            &QCheckBox::setChecked);
    connect(&procedure, &UpgradeProcedure::finished, this, [this] {
        m_ui->ProgressBar1->setValue(0);
        hide();
    });
    connect(&procedure, &UpgradeProcedure::windowRequested, this, [this](bool shown) {
        if (shown) {
            show();
            activateWindow();
        } else if (isVisible()) {
            close();
        }
    });
}

QComboBox *TformFirmwareUpgrade::cmbFirmwareChoose() const { return m_ui->cmbFirmwareChoose; }
QPushButton *TformFirmwareUpgrade::btnUpgradeFirmware() const { return m_ui->btnUpgradeFirmware; }
QProgressBar *TformFirmwareUpgrade::ProgressBar1() const { return m_ui->ProgressBar1; }
QCheckBox *TformFirmwareUpgrade::chkVerify() const { return m_ui->chkVerify; }

void TformFirmwareUpgrade::FormShow()
{
    {
        const QSignalBlocker blocker(m_ui->cmbFirmwareChoose);
        m_ui->cmbFirmwareChoose->setCurrentIndex(m_ui->cmbFirmwareChoose->count() - 1);
    }
    FirmwareSelect();
}

void TformFirmwareUpgrade::FirmwareSelect()
{
    if (!m_procedure || m_procedure->FirmwareSelect(m_ui->cmbFirmwareChoose->currentText()))
        return;
    // Refused during a transfer: the list shows the image being written.
    const QSignalBlocker blocker(m_ui->cmbFirmwareChoose);
    m_ui->cmbFirmwareChoose->setCurrentIndex(
        m_ui->cmbFirmwareChoose->findText(m_procedure->firmware_resource_name));
}

void TformFirmwareUpgrade::btnUpgradeFirmwareClick()
{
    if (m_procedure)
        m_procedure->btnUpgradeFirmwareClick();
}

void TformFirmwareUpgrade::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (!event->spontaneous())
        FormShow();
}

void TformFirmwareUpgrade::closeEvent(QCloseEvent *event)
{
    if (m_procedure && !m_procedure->FormClose()) {
        event->ignore();
        return;
    }
    QWidget::closeEvent(event);
}

} // namespace quorvane
