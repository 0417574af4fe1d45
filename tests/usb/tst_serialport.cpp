// The serial-port driver against a real pseudo-terminal, named to it the way
// --port names a port.

#include "support/Hex.h"
#include "usb/SerialPortDriver.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QtTest>

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <memory>

using namespace quorvane;
using quorvane::test::bytes;
using quorvane::test::spaced;

namespace {

// The far end of a pseudo-terminal: the test plays the pedal on the master.
class Pty {
public:
    Pty()
    {
        m_master = posix_openpt(O_RDWR | O_NOCTTY);
        if (m_master < 0 || grantpt(m_master) != 0 || unlockpt(m_master) != 0)
            return;
        fcntl(m_master, F_SETFL, fcntl(m_master, F_GETFL) | O_NONBLOCK);
        m_path = QString::fromLocal8Bit(ptsname(m_master));
    }
    ~Pty() { hangUp(); }
    Pty(const Pty &) = delete;
    Pty &operator=(const Pty &) = delete;

    bool ok() const { return m_master >= 0 && !m_path.isEmpty(); }
    QString path() const { return m_path; }

    bool send(const QByteArray &data)
    {
        return ::write(m_master, data.constData(), size_t(data.size())) == data.size();
    }
    // What the driver wrote, waiting up to 2 s for `expected` bytes.
    QByteArray receive(int expected)
    {
        QByteArray got;
        QDeadlineTimer deadline(2000);
        while (got.size() < expected && !deadline.hasExpired()) {
            pollfd p{m_master, POLLIN, 0};
            if (::poll(&p, 1, int(std::max<qint64>(1, deadline.remainingTime()))) <= 0)
                continue;
            char chunk[4096];
            const ssize_t n = ::read(m_master, chunk, sizeof chunk);
            if (n > 0)
                got.append(chunk, n);
        }
        return got;
    }
    // Unplugs the pedal: the driver's side sees the line go away.
    void hangUp()
    {
        if (m_master >= 0)
            ::close(m_master);
        m_master = -1;
    }

private:
    int m_master = -1;
    QString m_path;
};

// A system port list given as "vid|serial|description|location" ("-" for no vid).
QList<SerialPortDriver::SystemPort> systemPorts(const QStringList &rows)
{
    QList<SerialPortDriver::SystemPort> ports;
    for (const QString &row : rows) {
        const QStringList f = row.split('|');
        SerialPortDriver::SystemPort port{f[3], f[1], f[2], {}};
        if (f[0] != "-")
            port.vendorId = quint16(f[0].toUShort(nullptr, 16));
        ports.append(port);
    }
    return ports;
}

// Waits, without running the event loop (in which the port object would read
// them), until the system holds at least `count` unread bytes at the terminal
// `fd`; returns how many it holds.
int heldBySystem(int fd, int count)
{
    int held = 0;
    QDeadlineTimer deadline(2000);
    while (::ioctl(fd, FIONREAD, &held) == 0 && held < count && !deadline.hasExpired()) {
        pollfd p{fd, POLLIN, 0};
        ::poll(&p, 1, 10);
    }
    return held;
}

std::uint32_t queued(SerialPortDriver &driver, FT_HANDLE handle)
{
    std::uint32_t count = 0;
    return driver.getQueueStatus(handle, count) == FT_OK ? count : 0xFFFFFFFF;
}

enum class Op { Close, Baud, Data, Purge, Queue, Read, Write };

FT_STATUS run(SerialPortDriver &driver, Op op, FT_HANDLE handle)
{
    std::uint32_t n = 0;
    std::uint8_t buffer[4] = {1, 2, 3, 4};
    switch (op) {
    case Op::Close: return driver.close(handle);
    case Op::Baud: return driver.setBaudRate(handle, 115200);
    case Op::Data: return driver.setDataCharacteristics(handle, 8, 0, 0);
    case Op::Purge: return driver.purge(handle, FT_PURGE_RX | FT_PURGE_TX);
    case Op::Queue: return driver.getQueueStatus(handle, n);
    case Op::Read: return driver.read(handle, buffer, 4, n);
    case Op::Write: return driver.write(handle, buffer, 4, n);
    }
    return FT_OTHER_ERROR;
}

} // namespace

Q_DECLARE_METATYPE(Op)

class TestSerialPort : public QObject {
    Q_OBJECT
private slots:
    void listing_data();
    void listing();
    void listingIsStable();
    void listsTheSystemThenExtraPorts();
    void exchange();
    void bridgeOpensItsLocation();
    void longPathOpensWhole();
    void openFailures_data();
    void openFailures();
    void alreadyOpen();
    void deadHandles_data();
    void deadHandles();
    void settings_data();
    void settings();
    void hangUp();
    void latencyTimerWhileLinked_data();
    void latencyTimerWhileLinked();
};

void TestSerialPort::listing_data()
{
    QTest::addColumn<QStringList>("system");
    QTest::addColumn<QStringList>("extra");
    QTest::addColumn<QStringList>("listed"); // "serial|description"

    const QString longText = QString(30, 'd') + QString(40, 'e');
    const QString longName = "@" + QString(80, 'p'); // a file of that name in a temporary folder

    QTest::newRow("nothing") << QStringList() << QStringList() << QStringList();
    QTest::newRow("one port") << QStringList() << QStringList{"/dev/null"}
                              << QStringList{"PORT1|/dev/null"};
    QTest::newRow("bridges sorted, others dropped, ports after")
        << QStringList{"0403|FT2|KQ5 B|/dev/ttyUSB1", "067B|PL1|Prolific|/dev/ttyUSB0",
                       "0403|FT1|KQ5 A|/dev/ttyUSB2", "-|S0|Built-in|/dev/ttyS0"}
        << QStringList{"/dev/zero", "/dev/null"}
        << QStringList{"FT1|KQ5 A", "FT2|KQ5 B", "PORT1|/dev/zero", "PORT2|/dev/null"};
    QTest::newRow("ports listed while they exist, keeping their numbers")
        << QStringList() << QStringList{"/dev/no-such-port", "/dev/null"}
        << QStringList{"PORT2|/dev/null"};
    QTest::newRow("long description cut")
        << QStringList{"0403|FT1|" + longText + "|/dev/ttyUSB0"} << QStringList()
        << QStringList{"FT1|" + longText.left(63)};
    QTest::newRow("long path cut") << QStringList() << QStringList{longName}
                                   << QStringList{"PORT1|" + longName};
}

void TestSerialPort::listing()
{
    QFETCH(QStringList, system);
    QFETCH(QStringList, extra);
    QFETCH(QStringList, listed);
    QTemporaryDir dir;
    for (QString &path : extra) {
        if (path.startsWith('@')) {
            const QString file = dir.filePath(path.mid(1));
            QFile(file).open(QIODevice::WriteOnly);
            listed.replaceInStrings(path, file.left(63));
            path = file;
        }
    }
    SerialPortDriver driver(extra, [=] { return systemPorts(system); });

    std::uint32_t count = 99;
    QCOMPARE(driver.listDeviceCount(count), FT_OK);
    QCOMPARE(count, std::uint32_t(listed.size()));
    for (std::uint32_t i = 0; i < count; ++i) {
        char serial[FT_LIST_TEXT_SIZE], description[FT_LIST_TEXT_SIZE];
        QCOMPARE(driver.listSerialNumber(i, serial), FT_OK);
        QCOMPARE(driver.listDescription(i, description), FT_OK);
        QVERIFY(memchr(description, 0, FT_LIST_TEXT_SIZE) != nullptr);
        QCOMPARE(QString::fromLatin1(serial) + "|" + QString::fromLatin1(description),
                 listed[qsizetype(i)]);
    }
    char buffer[FT_LIST_TEXT_SIZE];
    QCOMPARE(driver.listSerialNumber(count, buffer), FT_DEVICE_NOT_FOUND);
    QCOMPARE(driver.listDescription(count + 5, buffer), FT_DEVICE_NOT_FOUND);
}

void TestSerialPort::listingIsStable()
{
    // The system hands its ports back in a different order each time.
    int calls = 0;
    SerialPortDriver driver({"/dev/null"}, [&] {
        QStringList rows{"0403|FT1|A|/dev/ttyUSB0", "0403|FT2|B|/dev/ttyUSB1",
                         "0403|FT3|C|/dev/ttyUSB2"};
        std::rotate(rows.begin(), rows.begin() + (calls++ % 3), rows.end());
        return systemPorts(rows);
    });
    QStringList first;
    for (int listing = 0; listing < 3; ++listing) {
        std::uint32_t count = 0;
        QCOMPARE(driver.listDeviceCount(count), FT_OK);
        QStringList serials;
        for (std::uint32_t i = 0; i < count; ++i) {
            char serial[FT_LIST_TEXT_SIZE];
            QCOMPARE(driver.listSerialNumber(i, serial), FT_OK);
            serials << QString::fromLatin1(serial);
        }
        if (listing == 0)
            first = serials;
        QCOMPARE(serials, first);
    }
    QCOMPARE(first, (QStringList{"FT1", "FT2", "FT3", "PORT1"}));
    // Only a count asks the system again; the by-index queries do not.
    QCOMPARE(calls, 3);
}

void TestSerialPort::listsTheSystemThenExtraPorts()
{
    Pty pty;
    QVERIFY(pty.ok());
    SerialPortDriver driver({pty.path()});
    std::uint32_t count = 0;
    QCOMPARE(driver.listDeviceCount(count), FT_OK);
    QVERIFY(count >= 1);
    char serial[FT_LIST_TEXT_SIZE], description[FT_LIST_TEXT_SIZE];
    QCOMPARE(driver.listSerialNumber(count - 1, serial), FT_OK);
    QCOMPARE(driver.listDescription(count - 1, description), FT_OK);
    QCOMPARE(QString::fromLatin1(serial), "PORT1");
    QCOMPARE(QString::fromLatin1(description), pty.path());
}

void TestSerialPort::exchange()
{
    Pty pty;
    QVERIFY(pty.ok());
    SerialPortDriver driver({pty.path()});
    std::uint32_t count = 0;
    QCOMPARE(driver.listDeviceCount(count), FT_OK);
    // Our own look at the driver's end of the terminal, for what the system
    // holds there; opened first, so the port's exclusive open does not keep it out.
    const int driverEnd = ::open(qPrintable(pty.path()), O_RDONLY | O_NOCTTY | O_NONBLOCK);
    QVERIFY(driverEnd >= 0);
    const auto closeDriverEnd = qScopeGuard([driverEnd] { ::close(driverEnd); });

    FT_HANDLE handle = 0;
    QCOMPARE(driver.openBySerialNumber("PORT1", handle), FT_OK);
    QVERIFY(handle != 0);
    QCOMPARE(driver.setBaudRate(handle, 115200), FT_OK);
    QCOMPARE(driver.setDataCharacteristics(handle, 8, 0, 0), FT_OK);
    QCOMPARE(queued(driver, handle), 0u);

    // Write: the pedal's end gets the bytes.
    const QByteArray request = bytes("02 00");
    std::uint32_t written = 0;
    QCOMPARE(driver.write(handle, reinterpret_cast<const std::uint8_t *>(request.constData()), 2,
                          written),
             FT_OK);
    QCOMPARE(written, 2u);
    QCOMPARE(spaced(pty.receive(2)), "02 00");

    // Queue status and reads: in order, never more than asked.
    QVERIFY(pty.send("5\r\n12\r\n"));
    QTRY_COMPARE(queued(driver, handle), 7u);
    std::uint8_t buffer[16] = {};
    std::uint32_t got = 0;
    QCOMPARE(driver.read(handle, buffer, 3, got), FT_OK);
    QCOMPARE(got, 3u);
    QCOMPARE(QByteArray(reinterpret_cast<char *>(buffer), 3), QByteArray("5\r\n"));
    QCOMPARE(queued(driver, handle), 4u);
    QCOMPARE(driver.read(handle, buffer, 16, got), FT_OK);
    QCOMPARE(got, 4u);
    QCOMPARE(QByteArray(reinterpret_cast<char *>(buffer), 4), QByteArray("12\r\n"));
    // Nothing waiting: a read returns at once with nothing.
    QCOMPARE(driver.read(handle, buffer, 16, got), FT_OK);
    QCOMPARE(got, 0u);

    // Purge drops whatever arrived, whether the port object holds it yet or not.
    QVERIFY(pty.send("stale"));
    QTRY_COMPARE(queued(driver, handle), 5u);
    QVERIFY(pty.send("more"));
    QCOMPARE(heldBySystem(driverEnd, 4), 4);
    QCOMPARE(driver.purge(handle, FT_PURGE_RX), FT_OK);
    QCOMPARE(heldBySystem(driverEnd, 0), 0);
    QCOMPARE(queued(driver, handle), 0u);
    QCOMPARE(driver.read(handle, buffer, 16, got), FT_OK);
    QCOMPARE(got, 0u);
    QCOMPARE(driver.purge(handle, FT_PURGE_TX), FT_OK);

    // Still a working line after the purge.
    QVERIFY(pty.send("ok"));
    QTRY_COMPARE(queued(driver, handle), 2u);

    QCOMPARE(driver.close(handle), FT_OK);
    QCOMPARE(driver.close(handle), FT_INVALID_HANDLE);
}

void TestSerialPort::bridgeOpensItsLocation()
{
    // A bridge as the system would list it, whose device is the pseudo-terminal.
    Pty pty;
    QVERIFY(pty.ok());
    SerialPortDriver driver({}, [&] {
        return systemPorts({"0403|FTA1B2C3|Quorvane KQ5|" + pty.path()});
    });
    FT_HANDLE handle = 0;
    // Opened by serial number without a listing first.
    QCOMPARE(driver.openBySerialNumber("FTA1B2C3", handle), FT_OK);
    std::uint32_t written = 0;
    const std::uint8_t bypass[] = {0x0D, 0x01};
    QCOMPARE(driver.write(handle, bypass, 2, written), FT_OK);
    QCOMPARE(spaced(pty.receive(2)), "0D 01");
    QCOMPARE(driver.close(handle), FT_OK);
}

void TestSerialPort::longPathOpensWhole()
{
    // The listing cuts the description; the port still opens by its whole path.
    Pty pty;
    QVERIFY(pty.ok());
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString link = dir.filePath(QString(90, 'k'));
    QVERIFY(QFile::link(pty.path(), link));
    SerialPortDriver driver({link});
    char description[FT_LIST_TEXT_SIZE];
    QCOMPARE(driver.listDescription(0, description), FT_OK);
    QCOMPARE(QString::fromLatin1(description), link.left(63));

    FT_HANDLE handle = 0;
    QCOMPARE(driver.openBySerialNumber("PORT1", handle), FT_OK);
    QCOMPARE(driver.setDataCharacteristics(handle, 8, 0, 2), FT_OK); // still known as a pty
    QVERIFY(pty.send("hi"));
    QTRY_COMPARE(queued(driver, handle), 2u);
}

void TestSerialPort::openFailures_data()
{
    QTest::addColumn<QString>("serial");
    QTest::addColumn<uint>("status");

    QTest::newRow("unknown serial") << "FT999" << uint(FT_DEVICE_NOT_FOUND);
    QTest::newRow("empty serial") << "" << uint(FT_DEVICE_NOT_FOUND);
    QTest::newRow("case matters") << "port1" << uint(FT_DEVICE_NOT_FOUND);
    QTest::newRow("listed port that is not there") << "PORT2" << uint(FT_DEVICE_NOT_FOUND);
    QTest::newRow("listed port that is no device") << "PORT3" << uint(FT_DEVICE_NOT_OPENED);
}

void TestSerialPort::openFailures()
{
    QFETCH(QString, serial);
    QFETCH(uint, status);
    Pty pty;
    QVERIFY(pty.ok());
    QTemporaryDir dir;
    QFile plain(dir.filePath("plain"));
    QVERIFY(plain.open(QIODevice::WriteOnly));
    plain.close();
    SerialPortDriver driver({pty.path(), "/dev/no-such-port", plain.fileName()});
    FT_HANDLE handle = 77;
    QCOMPARE(driver.openBySerialNumber(serial.toLatin1().constData(), handle), status);
    QCOMPARE(handle, FT_HANDLE(77));
}

void TestSerialPort::alreadyOpen()
{
    Pty pty;
    QVERIFY(pty.ok());
    SerialPortDriver driver({pty.path()});
    FT_HANDLE first = 0, second = 0;
    QCOMPARE(driver.openBySerialNumber("PORT1", first), FT_OK);
    QCOMPARE(driver.openBySerialNumber("PORT1", second), FT_DEVICE_NOT_OPENED);

    // Another driver in the same process is refused as well.
    SerialPortDriver other({pty.path()});
    FT_HANDLE third = 0;
    QCOMPARE(other.openBySerialNumber("PORT1", third), FT_DEVICE_NOT_OPENED);

    // Closed, it opens again under a new handle; the old one stays dead.
    QCOMPARE(driver.close(first), FT_OK);
    QCOMPARE(driver.openBySerialNumber("PORT1", second), FT_OK);
    QVERIFY(second != first);
    QCOMPARE(run(driver, Op::Queue, first), FT_INVALID_HANDLE);
    QCOMPARE(run(driver, Op::Queue, second), FT_OK);
}

void TestSerialPort::deadHandles_data()
{
    QTest::addColumn<Op>("op");
    QTest::addColumn<bool>("closed"); // a handle once open and now closed, else 0

    const std::pair<const char *, Op> ops[] = {
        {"close", Op::Close}, {"baud", Op::Baud},   {"data", Op::Data},  {"purge", Op::Purge},
        {"queue", Op::Queue}, {"read", Op::Read}, {"write", Op::Write},
    };
    for (const auto &[name, op] : ops) {
        QTest::addRow("%s, never opened", name) << op << false;
        QTest::addRow("%s, closed", name) << op << true;
    }
}

void TestSerialPort::deadHandles()
{
    QFETCH(Op, op);
    QFETCH(bool, closed);
    Pty pty;
    QVERIFY(pty.ok());
    SerialPortDriver driver({pty.path()});
    FT_HANDLE handle = 0;
    if (closed) {
        QCOMPARE(driver.openBySerialNumber("PORT1", handle), FT_OK);
        QCOMPARE(driver.close(handle), FT_OK);
    }
    QCOMPARE(run(driver, op, handle), FT_INVALID_HANDLE);
    QCOMPARE(pty.receive(0), QByteArray());
}

void TestSerialPort::settings_data()
{
    QTest::addColumn<uint>("baud");
    QTest::addColumn<int>("wordLength");
    QTest::addColumn<int>("stopBits");
    QTest::addColumn<int>("parity");
    QTest::addColumn<uint>("purgeMask");
    QTest::addColumn<uint>("status");

    QTest::newRow("pedal line") << 115200u << 8 << 0 << 0 << 3u << uint(FT_OK);
    // A pseudo-terminal cannot take parity; it is accepted without effect.
    QTest::newRow("bootloader line, even parity") << 115200u << 8 << 0 << 2 << 1u << uint(FT_OK);
    QTest::newRow("odd parity") << 9600u << 8 << 0 << 1 << 2u << uint(FT_OK);
    QTest::newRow("7 bits, two stop bits") << 57600u << 7 << 2 << 0 << 0u << uint(FT_OK);
    QTest::newRow("baud 0") << 0u << 8 << 0 << 0 << 3u << uint(FT_INVALID_BAUD_RATE);
    QTest::newRow("baud too high") << 4000000000u << 8 << 0 << 0 << 3u << uint(FT_INVALID_BAUD_RATE);
    QTest::newRow("5 data bits") << 115200u << 5 << 0 << 0 << 3u << uint(FT_INVALID_PARAMETER);
    QTest::newRow("stop code 1") << 115200u << 8 << 1 << 0 << 3u << uint(FT_INVALID_PARAMETER);
    QTest::newRow("parity code 5") << 115200u << 8 << 0 << 5 << 3u << uint(FT_INVALID_PARAMETER);
    QTest::newRow("purge mask 4") << 115200u << 8 << 0 << 0 << 4u << uint(FT_INVALID_PARAMETER);
}

void TestSerialPort::settings()
{
    QFETCH(uint, baud);
    QFETCH(int, wordLength);
    QFETCH(int, stopBits);
    QFETCH(int, parity);
    QFETCH(uint, purgeMask);
    QFETCH(uint, status);
    Pty pty;
    QVERIFY(pty.ok());
    SerialPortDriver driver({pty.path()});
    FT_HANDLE handle = 0;
    QCOMPARE(driver.openBySerialNumber("PORT1", handle), FT_OK);

    const FT_STATUS statuses[] = {
        driver.setBaudRate(handle, baud),
        driver.setDataCharacteristics(handle, std::uint8_t(wordLength), std::uint8_t(stopBits),
                                      std::uint8_t(parity)),
        driver.purge(handle, purgeMask),
    };
    FT_STATUS first = FT_OK;
    for (FT_STATUS s : statuses)
        first = first ? first : s;
    QCOMPARE(first, FT_STATUS(status));

    // Whatever was refused, the line still carries bytes.
    std::uint32_t written = 0;
    const std::uint8_t byte = 0x42;
    QCOMPARE(driver.write(handle, &byte, 1, written), FT_OK);
    QCOMPARE(pty.receive(1), QByteArray("B"));
}

void TestSerialPort::hangUp()
{
    Pty pty;
    QVERIFY(pty.ok());
    SerialPortDriver driver({pty.path()});
    FT_HANDLE handle = 0;
    QCOMPARE(driver.openBySerialNumber("PORT1", handle), FT_OK);
    QVERIFY(pty.send("AB"));
    QTRY_COMPARE(queued(driver, handle), 2u);
    pty.hangUp();

    // What had arrived is still delivered, then the failure shows.
    std::uint32_t count = 0;
    QCOMPARE(driver.getQueueStatus(handle, count), FT_OK);
    QCOMPARE(count, 2u);
    std::uint8_t buffer[4];
    std::uint32_t got = 0;
    QCOMPARE(driver.read(handle, buffer, 4, got), FT_OK);
    QCOMPARE(got, 2u);

    QCOMPARE(driver.getQueueStatus(handle, count), FT_IO_ERROR);
    QCOMPARE(driver.read(handle, buffer, 4, got), FT_IO_ERROR);
    QCOMPARE(got, 0u);
    std::uint32_t written = 99;
    QCOMPARE(driver.write(handle, buffer, 2, written), FT_IO_ERROR);
    QCOMPARE(written, 0u);
    // The handle is still ours to close.
    QCOMPARE(driver.close(handle), FT_OK);
}

void TestSerialPort::latencyTimerWhileLinked_data()
{
    QTest::addColumn<bool>("permitted");
    QTest::newRow("permitted") << true;
    QTest::newRow("not permitted") << false;
}

void TestSerialPort::latencyTimerWhileLinked()
{
    // The bridge's timer is 1 ms from the open to the close; where it cannot
    // be set, one line says so and the port works all the same.
    QFETCH(bool, permitted);
    Pty pty;
    QVERIFY(pty.ok());
    QTemporaryDir sys;
    const QString file = sys.filePath("bus/usb-serial/devices/" + QFileInfo(pty.path()).fileName() +
                                      "/latency_timer");
    if (permitted) {
        QVERIFY(QDir().mkpath(QFileInfo(file).path()));
        QFile timer(file);
        QVERIFY(timer.open(QIODevice::WriteOnly));
        timer.write("16\n");
    } else {
        QVERIFY(QDir().mkpath(file)); // a timer that cannot be opened for writing
    }
    const auto readTimer = [&] {
        QFile timer(file);
        return timer.open(QIODevice::ReadOnly) ? timer.readAll() : QByteArray("<not readable>");
    };

    LatencyTimer latency(sys.path());
    SerialPortDriver driver({pty.path()});
    driver.setLatencyTimer(&latency);
    QStringList notes;
    driver.note = [&](const QString &line) { notes << line; };

    FT_HANDLE handle = 0;
    QCOMPARE(driver.openBySerialNumber("PORT1", handle), FT_OK);
    QCOMPARE(readTimer(), permitted ? QByteArray("1\n") : QByteArray("<not readable>"));
    QCOMPARE(notes.size(), permitted ? 0 : 1);
    if (!permitted)
        QVERIFY2(notes.first().contains(file), qPrintable(notes.first()));
    std::uint32_t written = 0;
    const std::uint8_t request[] = {0x02, 0x00};
    QCOMPARE(driver.write(handle, request, 2, written), FT_OK);
    QCOMPARE(spaced(pty.receive(2)), "02 00");

    QCOMPARE(driver.close(handle), FT_OK);
    QCOMPARE(readTimer(), permitted ? QByteArray("16\n") : QByteArray("<not readable>"));
    QCOMPARE(notes.size(), permitted ? 0 : 1);
}

QTEST_MAIN(TestSerialPort)
#include "tst_serialport.moc"
