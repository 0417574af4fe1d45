#include "parameters/TformFXsettings.h"

#include "ui_TformFXsettings.h"

#include "common/HintsUnit.h"
#include "common/ConsoleLog.h"
#include "parameters/DialMapping.h"
#include "parameters/PanelShapes.h"
#include "parameters/Readout.h"
#include "platform/Dialogs.h"
#include "protocol/DeviceConnection.h"
#include "widgets/ArcDial.h"
#include "widgets/ToggleSwitch.h"

#include <QAction>
#include <QButtonGroup>
#include <QCheckBox>
#include <QEvent>
#include <QFrame>
#include <QKeySequence>
#include <QMouseEvent>
#include <QPushButton>
#include <QComboBox>
#include <QFontInfo>
#include <QLabel>
#include <QRadioButton>

namespace quorvane {

const QStringList guitar_tuning_entries = {
    QStringLiteral("No Tuning Selected"), QStringLiteral("Standard (EADGBE)"),
    QStringLiteral("Drop D (DADGBE)"),    QStringLiteral("DADGAD"),
    QStringLiteral("open D (DADF#AD)"),   QStringLiteral("Blues G (DGDGBD)"),
    QStringLiteral("Open A (EAC#EAE)"),   QStringLiteral("Open C (CGCGCE)"),
    QStringLiteral("Bass Guitar"),
};

const QStringList semitone_entries = {
    QStringLiteral("-5"), QStringLiteral("-4"), QStringLiteral("-3"),
    QStringLiteral("-2"), QStringLiteral("-1"), QStringLiteral("0"),
    QStringLiteral("+1"), QStringLiteral("+2"), QStringLiteral("+3"),
};

const QStringList harmonic_pitch_entries = [] {
    QStringList entries;
    for (int i = 0; i < int(harmonic_pitch_table.size()); ++i) {
        const int step = i - 12;
        entries << (step > 0 ? QStringLiteral("+%1").arg(step) : QString::number(step));
    }
    return entries;
}();

namespace {

// Arial, or a face of nearly its widths where it is missing, so the captions
// fit the fixed layout.
void use_panel_font(QWidget *widget, qreal point_size, bool bold = false)
{
    QFont font = widget->font();
    font.setFamilies({QStringLiteral("Arial"), QStringLiteral("Liberation Sans"),
                      QStringLiteral("Arimo"), QStringLiteral("Helvetica"),
                      QStringLiteral("DejaVu Sans Condensed")});
    font.setPointSizeF(point_size);
    font.setBold(bold);
    // A face of other widths than Arial's: its condensed cut keeps the
    // captions inside their places.
    static const QStringList arial_widths = {QStringLiteral("Arial"), QStringLiteral("Liberation Sans"),
                                             QStringLiteral("Arimo"), QStringLiteral("Helvetica")};
    if (!arial_widths.contains(QFontInfo(font).family()))
        font.setStretch(QFont::Condensed);
    widget->setFont(font);
}

// The slot lists' entries after "Not Assigned", by slot.
const QStringList slot_entries[assign_slot_count] = {
    {QStringLiteral("Input Level"), QStringLiteral("1st Harmonic Pitch"), QStringLiteral("Wave Clip")},
    {QStringLiteral("Input Level"), QStringLiteral("1st Harmonic Pitch"), QStringLiteral("Wave Clip")},
    {QStringLiteral("Dominant Notes Cut"), QStringLiteral("High Notes Cut")},
    {QStringLiteral("Dominant Notes Cut"), QStringLiteral("High Notes Cut")},
    {QStringLiteral("Bypass"), QStringLiteral("Preset")},
};

// The dark face of the panel; a look (style sheet) of the editor overrides it.
QPalette panel_palette(QPalette base)
{
    const QColor face(0x2B, 0x2E, 0x33);
    const QColor well(0x1E, 0x20, 0x24);
    const QColor text(0xEE, 0xEF, 0xF2);
    const QColor accent(0xF0, 0x9A, 0x2E);
    for (QPalette::ColorGroup g : {QPalette::Active, QPalette::Inactive}) {
        base.setColor(g, QPalette::Window, face);
        base.setColor(g, QPalette::WindowText, text);
        base.setColor(g, QPalette::Base, well);
        base.setColor(g, QPalette::AlternateBase, face);
        base.setColor(g, QPalette::Text, text);
        base.setColor(g, QPalette::Button, QColor(0x3A, 0x3E, 0x45));
        base.setColor(g, QPalette::ButtonText, text);
        base.setColor(g, QPalette::Highlight, accent);
        base.setColor(g, QPalette::HighlightedText, QColor(0x14, 0x14, 0x14));
        base.setColor(g, QPalette::ToolTipBase, QColor(0xFF, 0xFF, 0xE1));
        base.setColor(g, QPalette::ToolTipText, Qt::black);
    }
    const QColor dim(0x80, 0x84, 0x8C);
    base.setColor(QPalette::Disabled, QPalette::Window, face);
    base.setColor(QPalette::Disabled, QPalette::WindowText, dim);
    base.setColor(QPalette::Disabled, QPalette::Text, dim);
    base.setColor(QPalette::Disabled, QPalette::ButtonText, dim);
    base.setColor(QPalette::Disabled, QPalette::Base, face);
    base.setColor(QPalette::Disabled, QPalette::Button, QColor(0x34, 0x37, 0x3D));
    base.setColor(QPalette::Disabled, QPalette::Highlight, QColor(0x6A, 0x58, 0x40));
    return base;
}

} // namespace

TformFXsettings::TformFXsettings(ParameterModel &model, D2XXUnit &link, ConsoleLog &console,
                                 Dialogs &dialogs, QWidget *parent)
    : QWidget(parent), m_model(model), m_link(link), m_console(console), m_dialogs(dialogs),
      ui(std::make_unique<Ui::TformFXsettings>()), m_writer(model, link, console, m_timer1, this),
      m_decoding(model, console)
{
    ui->setupUi(this);
    // The panel keeps its layout; the editing strip adds its height below it.
    setFixedSize(panel_width, panel_height + editing_strip_height);
    m_history = new EditHistory(*this);
    build_editing_strip();
    setWindowFlag(Qt::MSWindowsFixedSizeDialogHint);
    setAutoFillBackground(true);
    setPalette(panel_palette(palette()));
    apply_fonts();
    ui->Line1->lower();

    m_timer1.setObjectName(QStringLiteral("Timer1"));
    m_timer1.setParent(this);
    show_report_in(m_decoding.view);
    m_decoding.effect_image_at = [this](int position) -> std::optional<EffectImage> {
        return effect_image_at ? effect_image_at(position) : std::nullopt;
    };

    // 1. The parameter table.
    m_model.build_parameter_table();
    // 2, 3. The slot lists' entries, "Not Assigned" first.
    create_slot_entries();
    ui->cmbGuitarTuning->addItems(guitar_tuning_entries);
    ui->cmbSemitonesVariation->addItems(semitone_entries);
    ui->cmbVariableWavePitch->addItems(harmonic_pitch_entries);
    ui->cmbVariableWavePitch->setCurrentIndex(-1);
    connect_handlers();
    // 4. Every slot list on "Not Assigned"; their handlers clear the flags.
    for (int slot = 0; slot < assign_slot_count; ++slot) {
        list(slot_list_names[slot])->setCurrentIndex(0);
        slot_list_changed(slot);
    }
    // 5. Hints; the stepped dials' stops, the readouts.
    attach_hints();
    for (ParameterRow row : {ParameterRow::low_pass, ParameterRow::high_pass, ParameterRow::range}) {
        QList<int> stops;
        for (std::uint32_t step = 0; step <= row_steps(row); ++step)
            stops.append(level_to_dial_angle(step, row_steps(row)));
        dial_of(row)->setStops(stops);
    }
    for (int i = 0; i < parameter_count; ++i)
        show_readout(ParameterRow(i));
    for (int i = 0; i < parameter_count; ++i)
        if (ArcDial *d = dial_of(ParameterRow(i)))
            d->installEventFilter(this);
    // 6. No tuning, no semitone shift.
    ui->cmbGuitarTuning->setCurrentIndex(no_tuning_index);
    cmbGuitarTuningChange();
    ui->cmbSemitonesVariation->setCurrentIndex(semitone_zero_entry);
    cmbSemitonesVariationChange();
    update_editing_strip();
}

TformFXsettings::~TformFXsettings()
{
    // The timer is a member; keep its tick from reaching a half-destroyed window.
    m_timer1.stop();
    // The history's steps refer to this window: they go before it does.
    delete m_history;
    m_history = nullptr;
}

void TformFXsettings::create_slot_entries()
{
    for (int slot = 0; slot < assign_slot_count; ++slot) {
        QComboBox *box = list(slot_list_names[slot]);
        box->clear();
        box->addItem(QStringLiteral("Not Assigned"));
        box->addItems(slot_entries[slot]);
    }
}

void TformFXsettings::attach_hints()
{
    ui->cmbGuitarTuning->setToolTip(hints::cmbGuitarTuning);
    ui->cmbSemitonesVariation->setToolTip(hints::cmbSemitonesVariation);
    ui->chkDominantNoteCut->setToolTip(hints::chkDominantNoteCut);
    ui->chkHighNoteCut->setToolTip(hints::chkHighNoteCut);
    ui->dialInputLevel->setToolTip(hints::dialInputLevel);
}

void TformFXsettings::apply_fonts()
{
    for (QWidget *w : findChildren<QWidget *>())
        use_panel_font(w, 10.5);
    for (QWidget *title : {static_cast<QWidget *>(ui->lblTrackingFunctions),
                           static_cast<QWidget *>(ui->lblAssignControls),
                           static_cast<QWidget *>(ui->Label4), static_cast<QWidget *>(ui->Label5)})
        use_panel_font(title, 10, true);
    use_panel_font(ui->lblSemitones, 11);
}

void TformFXsettings::connect_handlers()
{
    struct DialBinding {
        ArcDial *dial;
        void (TformFXsettings::*handler)();
    };
    const DialBinding dials[] = {
        {ui->dialDry, &TformFXsettings::dialDryChange},
        {ui->dialSubMix, &TformFXsettings::dialSubMixChange},
        {ui->dialMinus1Oct, &TformFXsettings::dialMinus1OctChange},
        {ui->dialMinus2Oct, &TformFXsettings::dialMinus2OctChange},
        {ui->dialLowPass, &TformFXsettings::dialLowPassChange},
        {ui->dialHighPass, &TformFXsettings::dialHighPassChange},
        {ui->dialRange, &TformFXsettings::dialRangeChange},
        {ui->dialInputLevel, &TformFXsettings::dialInputLevelChange},
        {ui->dialClipWave, &TformFXsettings::dialClipWaveChange},
    };
    for (const DialBinding &b : dials)
        connect(b.dial, &ArcDial::angleChanged, this, b.handler);
    // dial1stHarmonic only shows the reported value.

    connect(ui->swtWave, &QAbstractButton::toggled, this, &TformFXsettings::swtWaveSwitch);
    connect(ui->swtSplit, &QAbstractButton::toggled, this, &TformFXsettings::swtSplitSwitch);
    connect(ui->swtBypass, &QAbstractButton::toggled, this, &TformFXsettings::swtBypassSwitch);
    connect(ui->cmbVariableWavePitch, &QComboBox::currentIndexChanged, this,
            &TformFXsettings::cmbVariableWavePitchChange);
    connect(ui->chkDominantNoteCut, &QCheckBox::toggled, this,
            &TformFXsettings::chkDominantNoteCutChange);
    connect(ui->chkHighNoteCut, &QCheckBox::toggled, this, &TformFXsettings::chkHighNoteCutChange);
    connect(ui->cmbGuitarTuning, &QComboBox::currentIndexChanged, this,
            &TformFXsettings::cmbGuitarTuningChange);
    connect(ui->cmbSemitonesVariation, &QComboBox::currentIndexChanged, this,
            &TformFXsettings::cmbSemitonesVariationChange);
    for (int slot = 0; slot < assign_slot_count; ++slot)
        connect(list(slot_list_names[slot]), &QComboBox::currentIndexChanged, this,
                [this, slot] { slot_list_changed(slot); });
}

void TformFXsettings::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (current_effect_image) {
        if (const std::optional<EffectImage> image = current_effect_image())
            load_parameter_addresses(m_model, image->resource_name, image->text, m_console);
    }
    const QColor outline = QColor::fromRgba(shown_outline_color);
    ui->Line1->setOutlineColor(outline);
    ui->Rectangle1->setOutlineColor(outline);
    ui->Rectangle2->setOutlineColor(outline);
}

void TformFXsettings::enable_effect_controls(bool on)
{
    for (QWidget *w : findChildren<QWidget *>())
        w->setEnabled(on);
    if (!on)
        m_writer.throttle().clear();
    m_controls_on = on;
    update_editing_strip();
}

void TformFXsettings::build_editing_strip()
{
    auto *strip = new QFrame(this);
    strip->setObjectName(QStringLiteral("stripEditing"));
    strip->setGeometry(0, panel_height, panel_width, editing_strip_height);
    strip->setFrameShape(QFrame::NoFrame);

    // Push buttons, so that every look styles them as the editor's other
    // buttons (a checked one in the look's accent); each mirrors its action.
    auto button = [strip](const char *name, QAction *action, const QRect &place) {
        auto *b = new QPushButton(action->text(), strip);
        b->setObjectName(QLatin1String(name));
        b->setGeometry(place);
        b->setCheckable(action->isCheckable());
        b->setFocusPolicy(Qt::TabFocus);
        connect(b, &QPushButton::clicked, action, [action] { action->trigger(); });
        b->setToolTip(action->toolTip());
        connect(action, &QAction::changed, b, [b, action] { b->setToolTip(action->toolTip()); });
        return b;
    };
    auto action = [this](const char *name, const QString &text, const QString &tip) {
        auto *a = new QAction(text, this);
        a->setObjectName(QLatin1String(name));
        a->setToolTip(tip);
        a->setShortcutContext(Qt::WindowShortcut);
        addAction(a);
        return a;
    };

    m_undo = action("actUndo", history_text::undo, QString());
    m_undo->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Z));
    m_redo = action("actRedo", history_text::redo, QString());
    m_redo->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z));
    connect(m_undo, &QAction::triggered, this, [this] { m_history->undo(); });
    connect(m_redo, &QAction::triggered, this, [this] { m_history->redo(); });

    QAction *slot_a = action("actSlotA", QStringLiteral("A"), QStringLiteral("Play the words of slot A"));
    QAction *slot_b = action("actSlotB", QStringLiteral("B"), QStringLiteral("Play the words of slot B"));
    for (QAction *a : {slot_a, slot_b})
        a->setCheckable(true);
    // Either button toggles to the slot not played; the one played stays down.
    connect(slot_a, &QAction::triggered, this, [this] {
        if (m_history->current_slot() != CompareSlot::A)
            m_history->switch_slot();
        update_editing_strip();
    });
    connect(slot_b, &QAction::triggered, this, [this] {
        if (m_history->current_slot() != CompareSlot::B)
            m_history->switch_slot();
        update_editing_strip();
    });
    QAction *copy_ab = action("actCopyAtoB", history_text::copy_a_to_b, QStringLiteral("Copy the words of slot A onto slot B"));
    QAction *copy_ba = action("actCopyBtoA", history_text::copy_b_to_a, QStringLiteral("Copy the words of slot B onto slot A"));
    connect(copy_ab, &QAction::triggered, this, [this] { m_history->copy_slot(CompareSlot::A, CompareSlot::B); });
    connect(copy_ba, &QAction::triggered, this, [this] { m_history->copy_slot(CompareSlot::B, CompareSlot::A); });

    const int y = 3, h = editing_strip_height - 6;
    button("btnUndo", m_undo, {6, y, 50, h});
    button("btnRedo", m_redo, {60, y, 50, h});
    auto *label = new QLabel(QStringLiteral("Slot"), strip);
    label->setObjectName(QStringLiteral("lblCompareSlot"));
    label->setGeometry(112, y, 34, h);
    label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    m_slot_buttons[0] = button("btnSlotA", slot_a, {150, y, 28, h});
    m_slot_buttons[1] = button("btnSlotB", slot_b, {180, y, 28, h});
    button("btnCopyAtoB", copy_ab, {214, y, 84, h});
    button("btnCopyBtoA", copy_ba, {302, y, 84, h});

    connect(m_history, &EditHistory::changed, this, [this] { update_editing_strip(); });
    update_editing_strip();
}

void TformFXsettings::update_editing_strip()
{
    if (!m_undo || !m_history)
        return;
    const bool on = m_controls_on;
    auto set = [this](QAction *a, bool enabled) {
        a->setEnabled(enabled);
        if (auto *b = findChild<QPushButton *>(QStringLiteral("btn") + a->objectName().mid(3)))
            b->setEnabled(enabled);
    };
    set(m_undo, on && m_history->canUndo());
    set(m_redo, on && m_history->canRedo());
    const QUndoStack &s = m_history->current_stack();
    m_undo->setToolTip(s.canUndo() ? QStringLiteral("Undo %1 (Ctrl+Z)").arg(s.undoText())
                                   : QStringLiteral("Nothing to undo (Ctrl+Z)"));
    m_redo->setToolTip(s.canRedo() ? QStringLiteral("Redo %1 (Ctrl+Shift+Z)").arg(s.redoText())
                                   : QStringLiteral("Nothing to redo (Ctrl+Shift+Z)"));
    // The slot played is down, in the look's accent, and bold.
    const int played = int(m_history->current_slot());
    for (int i = 0; i < 2; ++i) {
        QPushButton *b = m_slot_buttons[i];
        QAction *a = findChild<QAction *>(i == 0 ? QStringLiteral("actSlotA") : QStringLiteral("actSlotB"));
        set(a, on);
        a->setChecked(i == played);
        b->setChecked(i == played);
        QFont font = b->font();
        font.setBold(i == played);
        b->setFont(font);
        // Without a look the panel's accent marks it; a look's style sheet
        // gives checked buttons its own.
        QPalette accent = palette();
        if (i == played) {
            accent.setColor(QPalette::Button, QColor(0xF0, 0x9A, 0x2E));
            accent.setColor(QPalette::ButtonText, QColor(0x14, 0x14, 0x14));
        }
        b->setPalette(accent);
    }
    for (const char *name : {"actCopyAtoB", "actCopyBtoA"})
        if (auto *a = findChild<QAction *>(QLatin1String(name)))
            set(a, on);
}

bool TformFXsettings::eventFilter(QObject *watched, QEvent *event)
{
    const bool left_button = (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseButtonRelease)
                             && static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton;
    if (left_button) {
        for (int i = 0; i < parameter_count; ++i) {
            if (dial_of(ParameterRow(i)) != watched)
                continue;
            if (event->type() == QEvent::MouseButtonPress)
                m_history->dial_pressed(ParameterRow(i));
            else
                m_history->dial_released();
            break;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void TformFXsettings::flush_dial_writes()
{
    if (m_writer.throttle().has_pending())
        m_writer.throttle().tick();
}

void TformFXsettings::slot_list_changed(int slot)
{
    if (slot < 0 || slot >= assign_slot_count)
        return;
    QComboBox *box = list(slot_list_names[slot]);
    m_model.slot_assigned[std::size_t(slot)] = box->currentIndex() > 0;

    // The cut parameters of CTRL III and CTRL IV need the instrument's tuning.
    // What the pedal reports it holds is taken as it is: during a requested
    // report, and while any report fills the window (its tuning is decoded
    // only after the assignments).
    if (slot != 2 && slot != 3)
        return;
    if (m_model.updating_from_pedal || m_filling_from_report)
        return;
    const QString shown = box->currentText();
    const bool cut = shown == m_model.parameter_name(ParameterRow::dominant_notes_cut)
                     || shown == m_model.parameter_name(ParameterRow::high_notes_cut);
    if (cut && m_model.current_tuning == no_tuning_index) {
        m_dialogs.message(fx_text::no_tuning_for_slot);
        // Back to "Not Assigned"; the change runs this handler again, which
        // clears the slot's flag.
        box->setCurrentIndex(0);
        m_model.slot_assigned[std::size_t(slot)] = box->currentIndex() > 0;
    }
}

void TformFXsettings::attach(DeviceConnection &connection)
{
    m_decoding.attach(connection);
    connection.effects.close_effect_window = [this] {
        if (isVisible())
            close();
    };
    connection.effects.enable_effect_controls = [this](bool on) { enable_effect_controls(on); };
    connection.set_updating_from_pedal = [this](bool on) { m_model.updating_from_pedal = on; };
    // The history's words are the linked pedal's.
    connect(&connection, &DeviceConnection::linkChanged, this, [this](bool linked) {
        if (!linked && m_history)
            m_history->clear();
    });
}

ArcDial *TformFXsettings::dial(const char *name) const
{
    return findChild<ArcDial *>(QLatin1String(name));
}

ArcDial *TformFXsettings::dial_of(ParameterRow row) const
{
    switch (row) {
    case ParameterRow::dry: return ui->dialDry;
    case ParameterRow::sub_mix: return ui->dialSubMix;
    case ParameterRow::minus_1_oct: return ui->dialMinus1Oct;
    case ParameterRow::minus_2_oct: return ui->dialMinus2Oct;
    case ParameterRow::low_pass: return ui->dialLowPass;
    case ParameterRow::high_pass: return ui->dialHighPass;
    case ParameterRow::first_harmonic: return ui->dial1stHarmonic;
    case ParameterRow::range: return ui->dialRange;
    case ParameterRow::input_level: return ui->dialInputLevel;
    case ParameterRow::wave_clip: return ui->dialClipWave;
    default: return nullptr;
    }
}

void TformFXsettings::show_readout(ParameterRow row)
{
    const std::uint32_t word = m_model.value(row);
    const QString readout = parameter_readout(row, word);
    if (ArcDial *d = dial_of(row)) {
        d->setReadout(readout);
        // A dial with a hint keeps it as its tooltip; the word shows under it.
        d->setValueTip(word_hint(word));
        if (d != ui->dialInputLevel)
            d->setToolTip(word_hint(word));
    } else if (row == ParameterRow::harmonic_pitch) {
        ui->cmbVariableWavePitch->setAccessibleDescription(readout);
    }
}

ToggleSwitch *TformFXsettings::switchControl(const char *name) const
{
    return findChild<ToggleSwitch *>(QLatin1String(name));
}

QComboBox *TformFXsettings::list(const char *name) const
{
    return findChild<QComboBox *>(QLatin1String(name));
}

QCheckBox *TformFXsettings::checkBox(const char *name) const
{
    return findChild<QCheckBox *>(QLatin1String(name));
}

QRadioButton *TformFXsettings::radio(const char *name) const
{
    return findChild<QRadioButton *>(QLatin1String(name));
}

} // namespace quorvane
