#pragma once
// A small serial bootloader behind the recording driver: it checks every
// complement and checksum as the microcontroller does, keeps the flash it is
// given, and can be told to answer NACK or nothing at a chosen write.

#include "support/RecordingDriver.h"

#include <QByteArray>
#include <QList>

#include <cstdint>

namespace quorvane::test {

class FakeBootloader {
public:
    static constexpr std::uint32_t kFlashBase = 0x08000000;
    static constexpr std::uint32_t kFlashSize = 0x20000;

    explicit FakeBootloader(RecordingDriver &driver) : m_driver(driver)
    {
        flash.fill(char(0xFF), kFlashSize);
        driver.onWrite = [this](const QByteArray &bytes) {
            for (char c : bytes)
                feed(std::uint8_t(c));
        };
    }

    struct Write {
        std::uint32_t address;
        QByteArray data;
    };

    // Faults: at the Write Memory data whose index (0-based, counting every
    // Write Memory) equals the value, answer NACK, or stay silent from then on.
    int nackAtWrite = -1;
    int silentAtWrite = -1;
    bool silentErase = false;
    bool silent = false; // answers nothing at all
    // Answers an extra byte after each ACK (two bytes arriving together).
    bool doubleReply = false;

    QByteArray flash;
    QList<Write> writes;
    bool synced = false;
    bool erased = false;
    bool started = false; // Go accepted
    std::uint32_t goAddress = 0;
    int nacks = 0;

    std::uint8_t versionByte() const { return std::uint8_t(flash[0x1FC00 + 7]); }

private:
    enum class State { Sync, Command, Complement, Address, EraseArg, Count, Data, Checksum, Dead };

    void answer(std::uint8_t b)
    {
        if (silent)
            return;
        if (b == 0x1F)
            ++nacks;
        QByteArray reply(1, char(b));
        if (doubleReply && b == 0x79)
            reply.append(char(0x1F));
        m_driver.queueReply(reply);
    }

    void feed(std::uint8_t b)
    {
        switch (m_state) {
        case State::Dead:
            return;
        case State::Sync:
            if (b == 0x7F) {
                synced = true;
                answer(0x79);
                m_state = State::Command;
            }
            return;
        case State::Command:
            m_command = b;
            m_state = State::Complement;
            return;
        case State::Complement:
            if (std::uint8_t(m_command ^ b) != 0xFF ||
                (m_command != 0x31 && m_command != 0x43 && m_command != 0x21)) {
                answer(0x1F);
                m_state = State::Command;
                return;
            }
            answer(0x79);
            m_field.clear();
            m_state = m_command == 0x43 ? State::EraseArg : State::Address;
            return;
        case State::EraseArg:
            m_field.append(char(b));
            if (m_field.size() < 2)
                return;
            if (m_field == QByteArray::fromHex("FF00")) {
                flash.fill(char(0xFF), kFlashSize);
                erased = true;
                if (silentErase) {
                    m_state = State::Dead;
                    return;
                }
                answer(0x79);
            } else {
                answer(0x1F);
            }
            m_state = State::Command;
            return;
        case State::Address: {
            m_field.append(char(b));
            if (m_field.size() < 5)
                return;
            std::uint8_t x = 0;
            m_address = 0;
            for (int i = 0; i < 4; ++i) {
                x ^= std::uint8_t(m_field[i]);
                m_address = (m_address << 8) | std::uint8_t(m_field[i]);
            }
            const bool inside = m_address >= kFlashBase && m_address < kFlashBase + kFlashSize;
            if (x != std::uint8_t(m_field[4]) || !inside) {
                answer(0x1F);
                m_state = State::Command;
                return;
            }
            answer(0x79);
            if (m_command == 0x21) {
                started = true;
                goAddress = m_address;
                m_state = State::Dead;
                return;
            }
            m_state = State::Count;
            return;
        }
        case State::Count:
            m_count = int(b) + 1;
            m_checksum = b;
            m_field.clear();
            m_state = State::Data;
            return;
        case State::Data:
            m_field.append(char(b));
            m_checksum ^= b;
            if (m_field.size() == m_count)
                m_state = State::Checksum;
            return;
        case State::Checksum: {
            const int index = m_writeIndex++;
            m_state = State::Command;
            if (index == silentAtWrite) {
                m_state = State::Dead;
                return;
            }
            if (b != m_checksum || index == nackAtWrite) {
                answer(0x1F);
                return;
            }
            flash.replace(qsizetype(m_address - kFlashBase), m_field.size(), m_field);
            writes.append({m_address, m_field});
            answer(0x79);
            return;
        }
        }
    }

    RecordingDriver &m_driver;
    State m_state = State::Sync;
    std::uint8_t m_command = 0;
    std::uint8_t m_checksum = 0;
    std::uint32_t m_address = 0;
    int m_count = 0;
    int m_writeIndex = 0;
    QByteArray m_field;
};

} // namespace quorvane::test
