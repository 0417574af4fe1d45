#pragma once
// The USB link layer: the only code that talks to the bridge driver. It moves
// raw bytes between the bridge and the two fixed buffers and reports every
// driver failure through ReportFTError, gated by report_usb_errors.

#include "usb/BridgeDriver.h"
#include "usb/TrafficLog.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace quorvane {

class Dialogs;

// One entry of the vendor's device list (kept for its layout; listing goes
// through the by-index queries).
struct FT_Device_Info_Node {
    std::uint32_t Flags;
    std::uint32_t DeviceType;
    std::uint32_t ID;
    std::uint32_t LocID;
    char SerialNumber[16];
    char Description[64];
    std::uint32_t DeviceHandle;
};
static_assert(sizeof(FT_Device_Info_Node) == 100);

constexpr int link_mode_normal = 0;
constexpr int link_mode_bootloader = 2;
constexpr std::uint32_t link_buffer_size = 65536;

// The status text appended to a context label for a driver status.
QString ft_status_text(FT_STATUS status);

// The refusal shown by every command that would send to the pedal's firmware
// while the pedal runs its bootloader.
inline const QString bootloader_busy_text =
    QStringLiteral("The pedal is in its bootloader: finish or leave the firmware upgrade first.");
inline const QString no_answer_text = QStringLiteral("The pedal did not answer.");
inline const QString too_much_text = QStringLiteral("The pedal sent more than expected.");

// How a write or an exchange with the pedal ended.
enum class LineStatus {
    Ok,
    TimedOut, // nothing (or not all) came within the bounds
    IoFailed, // the bridge failed a write, a read or a queue query
    Nack,     // the bootloader answered NACK
    Refused,  // the line is held by the bootloader session (or nothing is linked)
    Overflow, // the reply went past its byte cap
};

// The bounds of one reply: its first byte, the quiet allowed between its
// pieces once it has begun, the whole of it, and how many bytes it may take.
struct ReplyLimits {
    int first_byte_ms = 2000;
    int gap_ms = 2000;
    int total_ms = 5000;
    int max_bytes = 1024;
};

struct LineReply {
    LineStatus status = LineStatus::TimedOut;
    QByteArray bytes; // what came, whole or not
    bool ok() const { return status == LineStatus::Ok; }
};

// Whether the bytes gathered so far make the whole reply. Without one, a reply
// is whole when it ends at a line end and nothing more is queued.
using ReplyComplete = std::function<bool(const QByteArray &bytes)>;

// The USB link layer is the one owner of the line to the pedal: every byte
// that leaves for the pedal passes transmit() or the bootloader session, and
// while that session is held, transmit() refuses everyone else.
class D2XXUnit {
public:
    D2XXUnit(BridgeDriver &driver, Dialogs &dialogs) : m_driver(driver), m_dialogs(dialogs) {}
    ~D2XXUnit();
    D2XXUnit(const D2XXUnit &) = delete;
    D2XXUnit &operator=(const D2XXUnit &) = delete;

    // The handle through which the firmware upgrade alone talks to the pedal's
    // bootloader. While one exists the line is the bootloader's: transmit()
    // and exchange() refuse every other writer.
    class BootloaderSession {
    public:
        BootloaderSession(BootloaderSession &&other) noexcept : m_link(other.m_link) { other.m_link = nullptr; }
        BootloaderSession &operator=(BootloaderSession &&) = delete;
        BootloaderSession(const BootloaderSession &) = delete;
        ~BootloaderSession();

        LineStatus transmit(QByteArrayView bytes);
        // Reads a reply of `expected` bytes, within the bounds; nothing beyond
        // them is taken from the queue.
        LineReply read_reply(int expected, const ReplyLimits &limits);
        // Each bootloader command begins with one of these two: they read
        // off (and log) or purge what is left of the last one, and the
        // command's first write opens a new exchange.
        void discard_stray();
        void purge_receive();
        // Bytes waiting now; nullopt when the queue query failed.
        std::optional<std::uint32_t> queued();
        D2XXUnit &link() { return *m_link; }

    private:
        friend class D2XXUnit;
        explicit BootloaderSession(D2XXUnit &link) : m_link(&link) {}
        D2XXUnit *m_link;
    };

    // --- the gate ---

    // Writes `bytes` as one message (the transmit queue purged first with
    // purge_tx). Refused while the bootloader session holds the line: the
    // refusal is logged and bootloader_busy_text is shown once per command.
    LineStatus transmit(QByteArrayView bytes, bool purge_tx = false);
    // A request and its reply: pending writes go out first (before_request),
    // stray bytes still queued are read off and logged, the request is
    // written and the reply read within `limits` until `complete` says it is
    // whole. Refused like transmit().
    LineReply exchange(QByteArrayView request, const ReplyLimits &limits, const ReplyComplete &complete,
                       bool purge_tx = false);
    // The first half of exchange(): everything up to the written request.
    LineStatus send_request(QByteArrayView request, bool purge_tx = false);
    // The second half: reads the reply to a request already written.
    LineReply read_reply(const ReplyLimits &limits, const ReplyComplete &complete);
    // Hands the line to the bootloader; nullopt while it is already held.
    std::optional<BootloaderSession> acquire_bootloader();
    bool bootloader_holds_line() const { return m_bootloader_held; }
    // For a command that would ask the user before it sends: true, and the
    // user told why (once per command), while the line refuses it.
    bool refuses_writers();

    // Sends writes that are still waiting (the dials' throttle) before any
    // exchange begins, so that a reply shows what the pedal plays.
    std::function<void()> before_request;
    // Where the gate writes its console lines.
    std::function<void(const QString &)> log;
    // Where every write and read is captured; none, nothing is kept. A
    // message or request opens an exchange; its reply, and the rest of a
    // bootloader command, belong to it.
    TrafficLog *traffic = nullptr;

    BridgeDriver &driver() { return m_driver; }
    Dialogs &dialogs() { return m_dialogs; }

    FT_STATUS GetFTDeviceCount();
    FT_STATUS GetFTDeviceSerialNo(std::uint32_t index);
    FT_STATUS GetFTDeviceDescription(std::uint32_t index);
    FT_STATUS Open_USB_Device_By_Serial_Number(const QString &serial);
    FT_STATUS CloseFTDevice();
    FT_STATUS SetFTBaudRate();
    FT_STATUS SetFTDataCharacteristics();
    FT_STATUS PurgeFTReceive();
    FT_STATUS PurgeFTTransmit();
    FT_STATUS GetFTQueueStatus();
    // Reads what the receive queue holds, at most the receive buffer's size,
    // into rx_buffer from its first byte; returns the number of bytes read.
    std::uint32_t ReadFTDevice();

    // Stores the line settings for a link mode; nothing reaches the bridge.
    void SetLinkSettings(int mode);

    // Shows a driver failure when reporting is on.
    void ReportFTError(const QString &context, FT_STATUS status);

    FT_HANDLE ft_handle = 0;
    bool report_usb_errors = true;
    std::uint32_t rx_queue_count = 0;
    std::uint32_t ft_device_count = 0;
    QString ft_list_text;

    std::uint32_t link_baud_rate = 115200;
    std::uint8_t link_word_length = FT_BITS_8;
    std::uint8_t link_stop_bits = FT_STOP_BITS_1;
    std::uint8_t link_parity = FT_PARITY_NONE;

    std::array<std::uint8_t, link_buffer_size> rx_buffer{};

    std::vector<FT_Device_Info_Node> device_info_list; // never filled

private:
    friend struct LinkTestAccess; // the link layer's own tests

    // Writes the first n bytes of tx_buffer; returns the number written. Only
    // the gate calls it.
    std::uint32_t WriteFTDevice(std::uint32_t n);
    LineStatus write_bytes(QByteArrayView bytes, bool purge_tx);
    LineStatus refuse(QByteArrayView bytes);
    void tell_refusal();
    // Reads at most `max` queued bytes and appends them; false on failure.
    bool read_some(QByteArray &into, std::uint32_t max);
    void read_stray();
    // A reply of unknown length is whole at a line end with nothing behind it.
    bool ends_at_quiet_line_end(const QByteArray &bytes);
    void print(const QString &line) const;
    void capture(TrafficDirection direction, const std::uint8_t *data, std::uint32_t size)
    {
        if (traffic && size > 0)
            traffic->append(direction, m_bootloader_held ? TrafficLine::Bootloader : TrafficLine::Firmware,
                            m_exchange, data, size);
    }

    std::array<std::uint8_t, link_buffer_size> tx_buffer{};
    bool m_bootloader_held = false;
    std::uint32_t m_exchange = 0;
    bool m_exchange_ends = true; // the next write opens a new exchange
    bool m_refusal_shown = false;
    FT_STATUS m_last_write_status = FT_OK;
    std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);
    BridgeDriver &m_driver;
    Dialogs &m_dialogs;
    char m_serial_buffer[FT_LIST_TEXT_SIZE] = {};
    char m_description_buffer[FT_LIST_TEXT_SIZE] = {};
    char m_open_serial_buffer[50] = {};
};

} // namespace quorvane
