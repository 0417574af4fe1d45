#pragma once
// The firmware upgrade window: the image list, the "Upgrade Firmware" button,
// the progress bar and "Verify after writing". It follows the upgrade
// procedure's signals (progress, a running transfer, its end, whether it is
// wanted, the verify choice), and its handlers hand the user's choices to
// the procedure.

#include <QWidget>

#include <memory>

class QCheckBox;
class QComboBox;
class QProgressBar;
class QPushButton;

namespace Ui {
class TformFirmwareUpgrade;
}

namespace quorvane {

class UpgradeProcedure;

class TformFirmwareUpgrade : public QWidget {
    Q_OBJECT
public:
    explicit TformFirmwareUpgrade(QWidget *parent = nullptr);
    ~TformFirmwareUpgrade() override;

    // Shows what `procedure` reports and hands it the user's choices.
    void follow(UpgradeProcedure &procedure);

    QComboBox *cmbFirmwareChoose() const;
    QPushButton *btnUpgradeFirmware() const;
    QProgressBar *ProgressBar1() const;
    QCheckBox *chkVerify() const;

    // Selects the newest image, "Firmware_10", every time the window opens.
    void FormShow();
    void FirmwareSelect();
    void btnUpgradeFirmwareClick();

protected:
    void showEvent(QShowEvent *event) override;
    // Refused while a transfer runs; otherwise the reception tick goes back on.
    void closeEvent(QCloseEvent *event) override;

private:
    std::unique_ptr<Ui::TformFirmwareUpgrade> m_ui;
    UpgradeProcedure *m_procedure = nullptr;
};

} // namespace quorvane
