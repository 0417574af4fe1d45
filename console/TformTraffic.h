#pragma once
// The traffic window: every byte that went to the pedal and came back, with
// its time, direction, what it means and its hex; filtered by kind and
// direction, searched, paused while capture goes on, copied and exported.
// Opened from the console.

#include "protocol/TrafficDecoder.h"
#include "protocol/TrafficExport.h"

#include <QWidget>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableView;
class QTimer;
class QToolButton;

namespace quorvane {

class Dialogs;
class TrafficModel;

class TformTraffic : public QWidget {
    Q_OBJECT
public:
    TformTraffic(const TrafficLog &log, Dialogs &dialogs, QWidget *parent = nullptr);
    ~TformTraffic() override;

    QComboBox *cmbKind, *cmbDirection;
    QLineEdit *edtSearch;
    QPushButton *btnPause, *btnCopy, *btnExport;
    QTableView *grdTraffic;
    QLabel *lblStatus;

    TrafficModel &model() { return *m_model; }
    void setParameterNames(const DspParameterLookup &lookup);

    // Takes in what was captured since (the window does it five times a second).
    void refresh();
    void copySelection();
    // Asks for a file and writes all or the shown rows; false when nothing
    // was written (cancelled, or the file could not be written: then said).
    bool exportRows(TrafficFormat format, bool only_shown);
    // The same without asking.
    bool exportTo(const QString &path, TrafficFormat format, bool only_shown);

protected:
    void showEvent(QShowEvent *event) override;
    void changeEvent(QEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    void applyFilter();
    void updateStatus();
    // Alternate rows a shade off the table's own background, whatever the look.
    void matchRowShading();

    const TrafficLog &m_log;
    Dialogs &m_dialogs;
    TrafficModel *m_model;
    QTimer *m_refresh;
    QTimer *m_search_delay;
    bool m_follow = true; // keep the newest row in view
};

} // namespace quorvane
