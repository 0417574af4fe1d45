#include "parameters/ParameterModel.h"

#include "common/ConsoleLog.h"

#include <optional>
#include <stdexcept>

namespace quorvane {

void ParameterModel::build_parameter_table()
{
    static const char *const standard_names[standard_parameter_count] = {
        "Dry", "Sub Mix", "-1 Oct", "-2 Oct", "Wave",
        "Low Pass", "High Pass", "1st Harmonic", "Split", "Range",
    };
    static const char *const assignable_names[assignable_parameter_count] = {
        "Input Level", "1st Harmonic Pitch", "Wave Clip", "Dominant Notes Cut", "High Notes Cut",
    };
    m_standard.clear();
    m_assignable.clear();
    m_standard.reserve(standard_parameter_count);
    m_assignable.reserve(assignable_parameter_count);
    for (const char *name : assignable_names)
        m_assignable.emplace_back(QString::fromLatin1(name), assignable_initial_address, false);
    for (const char *name : standard_names)
        m_standard.emplace_back(QString::fromLatin1(name), standard_initial_address, 1);
}

standard_parameter &ParameterModel::standard(ParameterRow row)
{
    const int i = int(row);
    if (i < 0 || i >= standard_parameter_count)
        throw std::out_of_range("not a plain parameter row");
    return m_standard[std::size_t(i)];
}

const standard_parameter &ParameterModel::standard(ParameterRow row) const
{
    return const_cast<ParameterModel *>(this)->standard(row);
}

assignable_parameter &ParameterModel::assignable(ParameterRow row)
{
    const int i = int(row) - standard_parameter_count;
    if (i < 0 || i >= assignable_parameter_count)
        throw std::out_of_range("not an assignable parameter row");
    return m_assignable[std::size_t(i)];
}

const assignable_parameter &ParameterModel::assignable(ParameterRow row) const
{
    return const_cast<ParameterModel *>(this)->assignable(row);
}

QString ParameterModel::parameter_name(ParameterRow row) const
{
    return is_assignable_row(row) ? assignable(row).parameter_name : standard(row).parameter_name;
}

std::uint32_t ParameterModel::value(ParameterRow row) const
{
    return is_assignable_row(row) ? assignable(row).value : standard(row).value;
}

void ParameterModel::set_value(ParameterRow row, std::uint32_t word)
{
    if (is_assignable_row(row))
        assignable(row).value = word;
    else
        standard(row).value = word;
}

std::uint16_t ParameterModel::address(ParameterRow row) const
{
    return is_assignable_row(row) ? assignable(row).address : standard(row).address;
}

void ParameterModel::set_address(ParameterRow row, std::uint16_t address)
{
    if (is_assignable_row(row))
        assignable(row).address = address;
    else
        standard(row).address = address;
}

bool ParameterModel::is_assigned(ParameterRow row) const
{
    return is_assignable_row(row) ? assignable(row).is_assigned : standard(row).is_assigned;
}

bool ParameterModel::has_image_address(ParameterRow row) const
{
    const std::uint16_t a = address(row);
    return a != standard_initial_address && a != assignable_initial_address;
}

namespace {

int hex_digit(QChar c)
{
    const char16_t u = c.unicode();
    if (u >= '0' && u <= '9')
        return u - '0';
    if (u >= 'A' && u <= 'F')
        return u - 'A' + 10;
    if (u >= 'a' && u <= 'f')
        return u - 'a' + 10;
    return -1;
}

// Four hex digits at a 0-based index, big-endian; nothing when any is not one.
std::optional<std::uint16_t> address_at(const QString &line, qsizetype index)
{
    std::uint16_t a = 0;
    for (qsizetype i = index; i < index + 4; ++i) {
        const int d = hex_digit(line[i]);
        if (d < 0)
            return std::nullopt;
        a = std::uint16_t(a * 16 + d);
    }
    return a;
}

QString first_line(const QString &text)
{
    qsizetype end = text.indexOf(QLatin1Char('\n'));
    const qsizetype cr = text.indexOf(QLatin1Char('\r'));
    if (cr >= 0 && (end < 0 || cr < end))
        end = cr;
    return end < 0 ? text : text.left(end);
}

} // namespace

bool load_parameter_addresses(ParameterModel &model, const QString &image_text, ConsoleLog *console)
{
    const QString line = first_line(image_text);
    std::array<std::uint16_t, parameter_count> addresses{};
    for (std::size_t i = 0; i < parameter_address_fields.size(); ++i) {
        const AddressField &field = parameter_address_fields[i];
        const qsizetype index = field.position - 1;
        if (line.size() < index + 4) {
            if (console)
                console->print_to_console(
                    QStringLiteral("parameter addresses not loaded: the effect image is too short (%1 characters)")
                        .arg(line.size()));
            return false;
        }
        const std::optional<std::uint16_t> a = address_at(line, index);
        if (!a) {
            if (console)
                console->print_to_console(
                    QStringLiteral("parameter addresses not loaded: no hex number at character %1 of the effect image")
                        .arg(field.position));
            return false;
        }
        addresses[i] = *a;
    }
    for (std::size_t i = 0; i < parameter_address_fields.size(); ++i)
        model.set_address(parameter_address_fields[i].row, addresses[i]);
    return true;
}

bool load_parameter_addresses(ParameterModel &model, const QString &resource_name,
                              const QString &image_text, ConsoleLog &console)
{
    console.print_to_console(QStringLiteral("resource name: ") + resource_name);
    console.print_to_console(QStringLiteral("filecontent (first 128 bytes): ")
                             + first_line(image_text).left(256));
    return load_parameter_addresses(model, image_text, &console);
}

} // namespace quorvane
