#pragma once
// A fresh effect settings window over the recording bridge (opened), with
// scripted dialogs, its own console log and parameter model. The window's
// image hooks read the effect images that ship with the editor.

#include "common/ConsoleLog.h"
#include "parameters/ParameterModel.h"
#include "parameters/TformFXsettings.h"
#include "support/Hex.h"
#include "support/RecordingDriver.h"
#include "support/ScriptedDialogs.h"
#include "usb/D2XXUnit.h"
#include "widgets/ArcDial.h"
#include "widgets/ToggleSwitch.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QRadioButton>

#include <optional>
#include <vector>

namespace quorvane::test {

// The text of a built-in resource ("" when there is none).
inline QString builtin_text(const QString &name)
{
    QFile f(QStringLiteral(":/") + name);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QString::fromLatin1(f.readAll());
}

// The image of the effect list's entry at `position`, as the catalogue names it.
inline std::optional<EffectImage> catalogue_image(int position)
{
    const QStringList entries = builtin_text(QStringLiteral("OCTAVE")).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    if (position < 0 || position >= entries.size())
        return std::nullopt;
    QString name = entries[position].trimmed();
    name.replace(QLatin1Char(' '), QLatin1Char('_'));
    return EffectImage{name, builtin_text(name.toUpper())};
}

// A status reply of `firmware` with the parameter block zeroed: header
// (firmware, algorithm 0011, effect 00), then the block.
inline std::vector<std::uint8_t> status_values(int firmware)
{
    std::vector<std::uint8_t> v(firmware >= 9 ? 83 : 82, 0);
    v[0] = std::uint8_t(firmware);
    v[2] = 0x11;
    v[21] = 0; // no semitone shift
    return v;
}

// Puts a big-endian word at an index.
inline void put_word(std::vector<std::uint8_t> &v, int index, std::uint32_t word)
{
    for (int k = 0; k < 4; ++k)
        v[std::size_t(index + k)] = std::uint8_t(word >> (24 - 8 * k));
}

struct FxFixture {
    RecordingDriver driver;
    ScriptedDialogs dialogs;
    D2XXUnit link{driver, dialogs};
    ConsoleLog console;
    ParameterModel model;
    TformFXsettings window{model, link, console, dialogs};

    FxFixture()
    {
        driver.bridges = {{QStringLiteral("SN1"), QStringLiteral("KQ5")}};
        link.Open_USB_Device_By_Serial_Number(QStringLiteral("SN1"));
        driver.calls.clear();
        window.current_effect_image = [] {
            return std::optional<EffectImage>(EffectImage{
                QStringLiteral("Quorvane_KQ5_0008"), builtin_text(QStringLiteral("QUORVANE_KQ5_0008"))});
        };
        window.effect_image_at = [](int position) { return catalogue_image(position); };
    }

    // The addresses of image 0008, as the window's show loads them.
    void load_0008()
    {
        load_parameter_addresses(model, builtin_text(QStringLiteral("QUORVANE_KQ5_0008")));
    }

    ArcDial *dial(const char *name) { return window.dial(name); }
    ToggleSwitch *sw(const char *name) { return window.switchControl(name); }
    QComboBox *list(const char *name) { return window.list(name); }
    QCheckBox *box(const char *name) { return window.checkBox(name); }
    QRadioButton *radio(const char *name) { return window.radio(name); }
};

} // namespace quorvane::test
