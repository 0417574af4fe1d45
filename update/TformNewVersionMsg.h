#pragma once
// The new-version notice: the running and the newest editor version, a button
// to start the update, one to read what is new, and a box to stop the notice
// from opening at the next starts.

#include <QString>
#include <QWidget>

#include <memory>

namespace Ui {
class TformNewVersionMsg;
}

namespace quorvane {

class TformNewVersionMsg : public QWidget {
    Q_OBJECT
public:
    explicit TformNewVersionMsg(QWidget *parent = nullptr);
    ~TformNewVersionMsg() override;

    // The two versions the second line shows; read each time the window is shown.
    void setVersions(const QString &app_version, const QString &new_app_version);
    // The "ShowMessageVersionAtStartup.txt" preference file the check box writes.
    void setPreferenceFile(const QString &path) { m_preferenceFile = path; }

    void FormShow();
    void btnLaunchUpdateClick();
    void btnSeeWhatsNewClick();
    void CheckBox1Change(bool checked);

signals:
    void launchUpdateRequested();
    void whatsNewRequested();

protected:
    void showEvent(QShowEvent *event) override;

private:
    std::unique_ptr<Ui::TformNewVersionMsg> ui;
    QString m_appVersion, m_newAppVersion, m_preferenceFile;
};

} // namespace quorvane
