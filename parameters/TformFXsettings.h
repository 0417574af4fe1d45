#pragma once
// The effect settings window: the panel of dials, switches, lists and check
// boxes through which the user edits the fifteen parameters of the effect
// running in the pedal, chooses what the pedal's control slots hold and the
// footswitch behaviour.
//
// The parameter model holds the words; the window is their view. The
// status report is decoded into the model by StatusDecoding, which tells
// this window what to show (FXdecoding.cpp); every change of the user is
// written to the pedal at once by the DSP writer (FXliveEdits.cpp), dials
// through the 100 ms throttle.
//
// Showing the model (after a report or a preset load) is display only: the
// controls move, the change handlers do nothing, nothing is sent and no word
// is re-derived from a control. Only a user's own change of a control
// composes a word from it. A handler that changes its own control (a dial
// snapping out of the dead zone, a check box clearing itself) does not run
// again: one user action, one handling.
//
// Each dial shows its word as a readout inside the knob (the level, or the
// step of a stepped dial; also its accessible description) and the word in
// hex in its tooltip. The stepped dials move from step to step on the keys
// and the wheel.

#include "parameters/DspWriter.h"
#include "parameters/EditHistory.h"
#include "parameters/EditRules.h"
#include "parameters/ParameterModel.h"
#include "parameters/StatusDecoding.h"

#include <QString>
#include <QTimer>
#include <QWidget>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class QAbstractButton;
class QAction;
class QCheckBox;
class QComboBox;
class QLabel;
class QRadioButton;
class QPushButton;

namespace Ui {
class TformFXsettings;
}

namespace quorvane {

class ArcDial;
class ConsoleLog;
class D2XXUnit;
class DeviceConnection;
class Dialogs;
class PanelFrame;
class PanelLine;
class ToggleSwitch;

// Texts the window shows.

// Entries of the window's lists.
extern const QStringList guitar_tuning_entries;   // "No Tuning Selected", ...
extern const QStringList semitone_entries;        // "-5" .. "+3"
extern const QStringList harmonic_pitch_entries;  // "-12" .. "+12"
inline constexpr int semitone_zero_entry = 5;     // "0"

// The outline colour of the frames and the line once the window is shown.
inline constexpr QRgb shown_outline_color = 0xFFF8F8FF;

// The panel's own layout, and the editing strip below it: Undo, Redo and the
// A/B compare.
inline constexpr int panel_width = 390;
inline constexpr int panel_height = 517;
inline constexpr int editing_strip_height = 28;

class TformFXsettings : public QWidget {
    Q_OBJECT
public:
    // Creation: the parameter table, the slot lists' entries, every list on
    // its first entry, the hints, the tuning list on "No Tuning Selected" and
    // the semitone list on "0". Nothing is sent.
    TformFXsettings(ParameterModel &model, D2XXUnit &link, ConsoleLog &console, Dialogs &dialogs,
                    QWidget *parent = nullptr);
    ~TformFXsettings() override;

    ParameterModel &model() { return m_model; }

    // The image of the effect the window is shown for; the show takes the
    // parameters' DSP addresses from it. Unset or empty: addresses stay.
    std::function<std::optional<EffectImage>()> current_effect_image;
    // The image of the effect list's entry at a position; a status report
    // takes the addresses from the image of the effect the pedal reports
    // before it decodes the assignments.
    std::function<std::optional<EffectImage>(int position)> effect_image_at;

    // Plugs the decoders, the window's hooks and the live edits' quiet flag
    // into the connection's status report.
    void attach(DeviceConnection &connection);

    // Enables or disables every control the window owns. Disabling also
    // drops dial writes still waiting for the throttle.
    void enable_effect_controls(bool on);

    // The decoding of the status reply, which this window shows.
    StatusDecoding &decoding() { return m_decoding; }
    // Sets every control, readout and word tooltip from the fifteen
    // parameter words. Display only: no handler acts and nothing is sent.
    void show_parameters();

    // True while the window shows the model (a status report, a preset load).
    bool filling_from_report() const { return m_filling_from_report; }

    // Undo, redo and the A/B slots of the parameter words.
    EditHistory &history() { return *m_history; }
    // The editing strip's actions: "Undo" (Ctrl+Z), "Redo" (Ctrl+Shift+Z),
    // the A/B switch, the two copies.
    QAction *undoAction() const { return m_undo; }
    QAction *redoAction() const { return m_redo; }
    // True (having told why) while the line refuses every writer.
    bool writers_refused();
    // Whether a word may go to a row now, with the refusal a user's change of
    // its control meets: a row a control slot holds, a cut set while no
    // tuning is selected. A refusal is told.
    bool edit_refused(ParameterRow row, std::uint32_t word);

    // --- live edits ---
    std::uint32_t send_standard_dial(ArcDial &dial, standard_parameter &parameter);
    std::uint32_t send_assignable_dial(ArcDial &dial, assignable_parameter &parameter);
    void send_switch_value(std::uint32_t word, standard_parameter &parameter);
    // prefix + 4 hex digits of the address's low 16 bits + 8 of the word;
    // logged, then written at once.
    void send_dsp_write(const QString &prefix, std::uint32_t address, std::uint32_t word);
    // Writes exactly `word` to a row's DSP address the way its control
    // writes: a dial's through the throttle (replacing what it had pending),
    // the others at once, the cut boxes with their console line. "1st
    // Harmonic" is never sent; a row no effect image has given an address is
    // logged as not sent. The model is not touched.
    void send_parameter_word(ParameterRow row, std::uint32_t word);

    DialSendThrottle &dial_send_timer() { return m_writer.throttle(); }
    // Sends the dial writes still waiting for the throttle's tick now.
    void flush_dial_writes();
    QTimer &Timer1() { return m_timer1; }

    // Controls.
    ArcDial *dial(const char *name) const;
    // The dial that shows a row; nullptr for the rows shown otherwise.
    ArcDial *dial_of(ParameterRow row) const;
    ToggleSwitch *switchControl(const char *name) const;
    QComboBox *list(const char *name) const;
    QCheckBox *checkBox(const char *name) const;
    QRadioButton *radio(const char *name) const;

    // --- change handlers ---
    void dialDryChange();
    void dialSubMixChange();
    void dialMinus1OctChange();
    void dialMinus2OctChange();
    void dialLowPassChange();
    void dialHighPassChange();
    void dialRangeChange();
    void dialInputLevelChange();
    void dialClipWaveChange();
    void swtWaveSwitch();
    void swtSplitSwitch();
    void swtBypassSwitch();
    void cmbVariableWavePitchChange();
    void chkDominantNoteCutChange();
    void chkHighNoteCutChange();
    void cmbGuitarTuningChange();
    void cmbSemitonesVariationChange();
    // Slot lists: keeps slot_assigned in step with the list. CTRL III and
    // CTRL IV refuse a cut parameter while no tuning is selected (the list
    // goes back to "Not Assigned"), except while the pedal's report speaks.
    void slot_list_changed(int slot);

protected:
    void showEvent(QShowEvent *event) override;
    // A mouse press and release on a dial bound one turning gesture.
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void create_slot_entries();
    void attach_hints();
    void connect_handlers();
    void apply_fonts();
    void build_editing_strip();
    // The strip's enabled states and the shown slot.
    void update_editing_strip();

    // The word of a dial the user turned, snapped out of the dead zone and
    // queued for the throttle.
    std::uint32_t compose_dial(ArcDial &dial);
    void standard_dial_changed(ArcDial &dial, ParameterRow row);
    void assignable_dial_changed(ArcDial &dial, ParameterRow row);
    void cut_box_changed(QCheckBox &box, ParameterRow row);
    bool refused(ParameterRow row);
    void set_list_entry(QComboBox &list, int index);
    // Fills the decoding's view hooks with this window's controls.
    void show_report_in(StatusView &view);
    // The readout, accessible description and word tooltip of a row's
    // control, from the model's word.
    void show_readout(ParameterRow row);

    ParameterModel &m_model;
    D2XXUnit &m_link;
    ConsoleLog &m_console;
    Dialogs &m_dialogs;
    std::unique_ptr<Ui::TformFXsettings> ui;
    QTimer m_timer1;
    DspWriter m_writer;
    StatusDecoding m_decoding;
    bool m_filling_from_report = false;
    bool m_controls_on = false; // linked: what enable_effect_controls said last
    EditHistory *m_history = nullptr;
    QAction *m_undo = nullptr;
    QAction *m_redo = nullptr;
    QPushButton *m_slot_buttons[2] = {nullptr, nullptr};
    std::vector<const QObject *> m_handling; // controls whose handler is running

    friend struct FillFromReport;
    friend struct Handling;
};

// Slot lists by slot (CTRL I .. IV, remote footswitch).
inline constexpr const char *slot_list_names[assign_slot_count] = {
    "cmbAssignCtrlUNO", "cmbAssignCtrlDUE", "cmbAssignCtrlTRE", "cmbAssignCtrlQUATTRO",
    "cmbAssignRemote"};

} // namespace quorvane
