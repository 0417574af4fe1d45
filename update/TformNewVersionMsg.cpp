#include "update/TformNewVersionMsg.h"

#include "ui_TformNewVersionMsg.h"

#include <QFile>

namespace quorvane {

TformNewVersionMsg::TformNewVersionMsg(QWidget *parent)
    : QWidget(parent), ui(std::make_unique<Ui::TformNewVersionMsg>())
{
    ui->setupUi(this);
    // A fixed window with a system menu and a minimise button; closing it
    // only hides it, and it never blocks the main window.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint
                   | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint
                   | Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    setWindowModality(Qt::NonModal);
    setFixedSize(268, 151);
    move(81, 318);
    ui->btnSeeWhatsNew->resize(ui->btnSeeWhatsNew->sizeHint());

    connect(ui->btnLaunchUpdate, &QPushButton::clicked, this,
            &TformNewVersionMsg::btnLaunchUpdateClick);
    connect(ui->btnSeeWhatsNew, &QPushButton::clicked, this,
            &TformNewVersionMsg::btnSeeWhatsNewClick);
    connect(ui->CheckBox1, &QCheckBox::toggled, this, &TformNewVersionMsg::CheckBox1Change);
}

TformNewVersionMsg::~TformNewVersionMsg() = default;

void TformNewVersionMsg::setVersions(const QString &app_version, const QString &new_app_version)
{
    m_appVersion = app_version;
    m_newAppVersion = new_app_version;
}

void TformNewVersionMsg::showEvent(QShowEvent *event)
{
    FormShow();
    QWidget::showEvent(event);
}

void TformNewVersionMsg::FormShow()
{
    ui->Label1->setText(QStringLiteral("A new version of the Quorvane Editor is available"));
    ui->Label2->setText(QStringLiteral("Your version: ") + m_appVersion + QStringLiteral("     ")
                        + QStringLiteral("New version: ") + m_newAppVersion);
}

void TformNewVersionMsg::btnLaunchUpdateClick()
{
    emit launchUpdateRequested();
}

void TformNewVersionMsg::btnSeeWhatsNewClick()
{
    emit whatsNewRequested();
}

void TformNewVersionMsg::CheckBox1Change(bool checked)
{
    // Ticking turns the notice off from the next start on; unticking writes
    // nothing, and a missing preference file is not created here.
    if (!checked || m_preferenceFile.isEmpty() || !QFile::exists(m_preferenceFile))
        return;
    QFile file(m_preferenceFile);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write("NO");
}

} // namespace quorvane
