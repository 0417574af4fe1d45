#pragma once
// Linking to the virtual pedal, as the connection alone and as the whole
// editor see it: the pedal setups whose status report the link reads, and
// what the link must end with. Both levels draw their rows from this table.

#include "protocol/DeviceConnection.h"
#include "simulator/SimulatorDriver.h"
#include "support/VirtualPedal.h"

#include <QList>
#include <QListWidget>
#include <QString>
#include <QStringList>
#include <QtTest>

namespace quorvane::test {

// The virtual pedal as the editor lists it.
inline const QString pedal_name = QString::fromLatin1(SimulatorDriver::description);

// The commands that change the pedal's settings: enabled by a link whose
// report asked for nothing to be done first.
inline const QStringList editing_commands = {"btnAssign",    "btnSaveParameters", "btnSetFootswitchMode",
                                             "btnSetTuning", "menuMIDI",          "menuUploadTuningsData"};

// One pedal setup and what linking to it must end with.
struct StatusReportCase {
    // The virtual pedal: firmware, effect algorithm, selected effect, faults
    // as on its command line.
    int firmware = 10;
    int algorithm = 11;
    int effect = 0;
    QString fault;
    // The one message the link shows ("" none), the firmware label after it,
    // the effect list's selected row, and what was asked of the effect window
    // in order ("load" its resource, "open", "close").
    QString message;
    QString firmwareLabel;
    int selected = -1;
    QStringList effectWindow;

    PedalOptions options() const { return pedal(firmware, algorithm, effect, fault); }
    QStringList messages() const { return message.isEmpty() ? QStringList{} : QStringList{message}; }
};

// The table as the rows of a _data() function, each a StatusReportCase in
// the column "report".
inline void add_status_report_rows()
{
    QTest::addColumn<StatusReportCase>("report");
    const auto row = [](const char *name, const StatusReportCase &report) { QTest::newRow(name) << report; };
    row("current pedal", {10, 11, 0, "", "", "Device Firmware: 10", 0, {"load", "open"}});
    row("firmware 8", {8, 11, 0, "", "A firmware upgrade is required. Upgrade to Firmware 10",
                       "Device Firmware: 8", -1, {"close"}});
    row("algorithm 0010", {10, 10, 0, "",
                           "Upload the latest version of Quorvane KQ5 algorithm:\r\nUpload Quorvane KQ5 0011",
                           "Device Firmware: 10", 0, {"close", "load"}});
    row("silent pedal", {10, 11, 0, "silent", "The pedal did not answer.", "Device Firmware:", -1, {}});
    row("short reply", {10, 11, 0, "short-status=40", "Incomplete status reply from the pedal (40 values)",
                        "Device Firmware:", -1, {}});
    row("effect beyond the list", {10, 11, 5, "", "The pedal runs effect 5, which this editor does not carry.",
                                   "Device Firmware: 10", -1, {}});
}

// What linking to `report`'s pedal ends with at either level: the message,
// the firmware label, the selected effect, the editing commands, and an
// editor linked, ticking and free for the next command. `rig` answers
// messages, text(name) and enabled(name).
template <class Rig>
void expect_status_report_outcome(Rig &rig, const DeviceConnection &connection, const QListWidget &effects,
                                  const StatusReportCase &report)
{
    QCOMPARE(rig.dialogs.messages, report.messages());
    QCOMPARE(rig.text("lblFirmwareVersion"), report.firmwareLabel);
    QCOMPARE(effects.currentRow(), report.selected);
    for (const QString &name : editing_commands)
        QCOMPARE(rig.enabled(name), report.message.isEmpty());
    QVERIFY(connection.is_linked);
    QVERIFY(connection.Timer_USB_Read.isActive());
    QVERIFY(!connection.exchange_busy());
    QVERIFY(rig.enabled("btnRequest"));
}

} // namespace quorvane::test

Q_DECLARE_METATYPE(quorvane::test::StatusReportCase)
