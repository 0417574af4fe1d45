#include "console/TformTraffic.h"

#include "console/TrafficModel.h"
#include "platform/Dialogs.h"

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QFile>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPalette>
#include <QPushButton>
#include <QScrollBar>
#include <QShortcut>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>

#include <set>

namespace quorvane {

namespace {

constexpr int refresh_ms = 200;

QString mib(std::size_t bytes)
{
    return QString::number(double(bytes) / double(1 << 20), 'f', 0) + QStringLiteral(" MiB");
}

} // namespace

TformTraffic::TformTraffic(const TrafficLog &log, Dialogs &dialogs, QWidget *parent)
    : QWidget(parent, Qt::Window), m_log(log), m_dialogs(dialogs), m_model(new TrafficModel(log, this)),
      m_refresh(new QTimer(this)), m_search_delay(new QTimer(this))
{
    setObjectName(QStringLiteral("TformTraffic"));
    setWindowTitle(QStringLiteral("Traffic"));
    resize(1100, 640);

    cmbKind = new QComboBox(this);
    cmbKind->setObjectName(QStringLiteral("cmbKind"));
    cmbKind->addItem(QStringLiteral("All kinds"));
    for (int k = 0; k < traffic_kind_count; ++k)
        cmbKind->addItem(traffic_kind_name(TrafficKind(k)), k);
    cmbKind->setMaxVisibleItems(20);

    cmbDirection = new QComboBox(this);
    cmbDirection->setObjectName(QStringLiteral("cmbDirection"));
    cmbDirection->addItem(QStringLiteral("Both directions"));
    cmbDirection->addItem(QStringLiteral("\u2192 To the pedal"), int(TrafficDirection::Out));
    cmbDirection->addItem(QStringLiteral("\u2190 From the pedal"), int(TrafficDirection::In));

    edtSearch = new QLineEdit(this);
    edtSearch->setObjectName(QStringLiteral("edtSearch"));
    edtSearch->setPlaceholderText(QStringLiteral("Search decoded text or hex"));
    edtSearch->setClearButtonEnabled(true);

    btnPause = new QPushButton(QStringLiteral("Pause"), this);
    btnPause->setObjectName(QStringLiteral("btnPause"));
    btnPause->setCheckable(true);
    btnPause->setToolTip(QStringLiteral("Hold the view still; capture goes on"));
    btnCopy = new QPushButton(QStringLiteral("Copy"), this);
    btnCopy->setObjectName(QStringLiteral("btnCopy"));
    btnCopy->setToolTip(QStringLiteral("Copy the selected rows (Ctrl+C)"));
    btnExport = new QPushButton(QStringLiteral("Export"), this);
    btnExport->setObjectName(QStringLiteral("btnExport"));
    auto *exportMenu = new QMenu(btnExport);
    exportMenu->addAction(QStringLiteral("All rows as text\u2026"), this,
                          [this] { exportRows(TrafficFormat::Text, false); });
    exportMenu->addAction(QStringLiteral("All rows as CSV\u2026"), this, [this] { exportRows(TrafficFormat::Csv, false); });
    exportMenu->addSeparator();
    exportMenu->addAction(QStringLiteral("Shown rows as text\u2026"), this,
                          [this] { exportRows(TrafficFormat::Text, true); });
    exportMenu->addAction(QStringLiteral("Shown rows as CSV\u2026"), this, [this] { exportRows(TrafficFormat::Csv, true); });
    btnExport->setMenu(exportMenu);

    grdTraffic = new QTableView(this);
    grdTraffic->setObjectName(QStringLiteral("grdTraffic"));
    grdTraffic->setModel(m_model);
    grdTraffic->setSelectionBehavior(QAbstractItemView::SelectRows);
    grdTraffic->setSelectionMode(QAbstractItemView::ExtendedSelection);
    grdTraffic->setAlternatingRowColors(true);
    grdTraffic->setShowGrid(false);
    grdTraffic->setWordWrap(false);
    grdTraffic->setTextElideMode(Qt::ElideRight);
    grdTraffic->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    grdTraffic->verticalHeader()->hide();
    // Fixed row heights: the view never measures a million rows.
    grdTraffic->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    grdTraffic->verticalHeader()->setDefaultSectionSize(grdTraffic->fontMetrics().height() + 6);
    QHeaderView *header = grdTraffic->horizontalHeader();
    header->setSectionResizeMode(QHeaderView::Interactive);
    header->setHighlightSections(false);
    header->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    header->setStretchLastSection(true);
    grdTraffic->setColumnWidth(TrafficModel::ColNumber, 64);
    grdTraffic->setColumnWidth(TrafficModel::ColTime, 96);
    grdTraffic->setColumnWidth(TrafficModel::ColDirection, 78);
    grdTraffic->setColumnWidth(TrafficModel::ColKind, 130);
    grdTraffic->setColumnWidth(TrafficModel::ColDecoded, 420);

    lblStatus = new QLabel(this);
    lblStatus->setObjectName(QStringLiteral("lblStatus"));

    auto *bar = new QHBoxLayout;
    bar->setSpacing(6);
    bar->addWidget(cmbKind);
    bar->addWidget(cmbDirection);
    bar->addWidget(edtSearch, 1);
    bar->addSpacing(12);
    bar->addWidget(btnPause);
    bar->addWidget(btnCopy);
    bar->addWidget(btnExport);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 8, 8, 6);
    layout->setSpacing(6);
    layout->addLayout(bar);
    layout->addWidget(grdTraffic, 1);
    layout->addWidget(lblStatus);

    m_search_delay->setSingleShot(true);
    m_search_delay->setInterval(250);
    connect(m_search_delay, &QTimer::timeout, this, &TformTraffic::applyFilter);
    connect(edtSearch, &QLineEdit::textChanged, m_search_delay, qOverload<>(&QTimer::start));
    connect(cmbKind, &QComboBox::currentIndexChanged, this, &TformTraffic::applyFilter);
    connect(cmbDirection, &QComboBox::currentIndexChanged, this, &TformTraffic::applyFilter);
    connect(btnPause, &QPushButton::toggled, this, [this](bool paused) {
        btnPause->setText(paused ? QStringLiteral("Resume") : QStringLiteral("Pause"));
        m_model->set_paused(paused);
        updateStatus();
    });
    connect(btnCopy, &QPushButton::clicked, this, &TformTraffic::copySelection);
    auto *copy = new QShortcut(QKeySequence::Copy, grdTraffic);
    copy->setContext(Qt::WidgetShortcut);
    connect(copy, &QShortcut::activated, this, &TformTraffic::copySelection);
    // Scrolled up by the user, the view stays put; back at the bottom it
    // follows again.
    connect(grdTraffic->verticalScrollBar(), &QScrollBar::valueChanged, this, [this](int value) {
        m_follow = value >= grdTraffic->verticalScrollBar()->maximum();
    });

    m_refresh->setInterval(refresh_ms);
    connect(m_refresh, &QTimer::timeout, this, &TformTraffic::refresh);
    updateStatus();
}

TformTraffic::~TformTraffic() = default;

void TformTraffic::setParameterNames(const DspParameterLookup &lookup)
{
    m_model->decoder().parameter_at = lookup;
    m_model->decoder().reset();
}

void TformTraffic::matchRowShading()
{
    grdTraffic->ensurePolished();
    QPalette palette = grdTraffic->palette();
    const QColor base = palette.color(QPalette::Base);
    const QColor text = palette.color(QPalette::Text);
    const auto mix = [&](int a, int b) { return a + (b - a) * 6 / 100; };
    const QColor shade(mix(base.red(), text.red()), mix(base.green(), text.green()), mix(base.blue(), text.blue()));
    if (palette.color(QPalette::AlternateBase) != shade) {
        palette.setColor(QPalette::AlternateBase, shade);
        grdTraffic->setPalette(palette);
    }
}

void TformTraffic::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::StyleChange || event->type() == QEvent::PaletteChange)
        matchRowShading();
}

void TformTraffic::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    matchRowShading();
    refresh();
    m_refresh->start();
}

void TformTraffic::hideEvent(QHideEvent *event)
{
    QWidget::hideEvent(event);
    m_refresh->stop();
}

void TformTraffic::refresh()
{
    const bool follow = m_follow;
    m_model->refresh();
    if (follow && !m_model->paused())
        grdTraffic->scrollToBottom();
    updateStatus();
}

void TformTraffic::applyFilter()
{
    std::optional<TrafficKind> kind;
    if (cmbKind->currentIndex() > 0)
        kind = TrafficKind(cmbKind->currentData().toInt());
    std::optional<TrafficDirection> direction;
    if (cmbDirection->currentIndex() > 0)
        direction = TrafficDirection(cmbDirection->currentData().toInt());
    QApplication::setOverrideCursor(Qt::WaitCursor);
    m_model->set_filter(kind, direction, edtSearch->text());
    QApplication::restoreOverrideCursor();
    grdTraffic->scrollToBottom();
    m_follow = true;
    updateStatus();
}

void TformTraffic::updateStatus()
{
    QString text = QStringLiteral("%1 records captured").arg(QLocale().toString(qulonglong(m_log.count())));
    if (m_model->filtered())
        text += QStringLiteral(" \u00b7 %1 shown").arg(QLocale().toString(m_model->rowCount()));
    text += m_log.capturing() ? QStringLiteral(" \u00b7 capture on") : QStringLiteral(" \u00b7 capture off");
    if (m_model->paused())
        text += QStringLiteral(" \u00b7 view paused");
    text += QStringLiteral(" \u00b7 keeps the last %1 records within %2")
                .arg(QLocale().toString(qulonglong(m_log.max_records())), mib(m_log.byte_budget()));
    lblStatus->setText(text);
}

void TformTraffic::copySelection()
{
    std::set<int> rows;
    for (const QModelIndex &index : grdTraffic->selectionModel()->selectedIndexes())
        rows.insert(index.row());
    if (rows.empty())
        return;
    QStringList lines;
    for (int row : rows)
        lines << m_model->row_text(row);
    QApplication::clipboard()->setText(lines.join(QLatin1Char('\n')) + QLatin1Char('\n'));
}

bool TformTraffic::exportRows(TrafficFormat format, bool only_shown)
{
    const bool csv = format == TrafficFormat::Csv;
    const QString path = m_dialogs.saveFileWithDefault(
        QStringLiteral("Export traffic"), QString(),
        csv ? QStringLiteral("CSV files (*.csv)|*.csv") : QStringLiteral("Text files (*.txt)|*.txt"),
        csv ? QStringLiteral("csv") : QStringLiteral("txt"));
    if (path.isEmpty())
        return false;
    return exportTo(path, format, only_shown);
}

bool TformTraffic::exportTo(const QString &path, TrafficFormat format, bool only_shown)
{
    QFile file(path);
    const std::vector<std::uint64_t> numbers = only_shown ? m_model->shown_numbers() : m_model->all_numbers();
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        m_dialogs.message(QStringLiteral("The traffic was not exported to %1: %2").arg(path, file.errorString()));
        return false;
    }
    bool ok = export_traffic(file, format, m_log, m_model->decoder(), numbers);
    file.close();
    ok = ok && file.error() == QFileDevice::NoError;
    if (!ok) {
        // Half a file would pass for the whole session.
        const QString why = file.errorString();
        file.remove();
        m_dialogs.message(QStringLiteral("The traffic was not exported to %1: %2").arg(path, why));
    }
    return ok;
}

} // namespace quorvane
