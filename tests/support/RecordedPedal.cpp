#include "support/RecordedPedal.h"

namespace quorvane::test {

RecordedPedal::RecordedPedal(RecordingDriver &driver, const PedalOptions &options)
    : m_driver(driver), m_model(options)
{
    m_driver.onWrite = [this](const QByteArray &bytes) {
        m_model.setBaudRate(m_driver.baudRate);
        m_model.setDataCharacteristics(m_driver.wordLength, m_driver.stopBits, m_driver.parity);
        m_model.receive(bytes);
        m_driver.queueReply(m_model.takeOutput());
    };
}

RecordedPedal::~RecordedPedal()
{
    m_driver.onWrite = nullptr;
}

int RecordedPedal::recordedVersion() const
{
    return std::uint8_t(m_model.flash().at(int(PedalModel::version_record - PedalModel::flash_base) + 7));
}

} // namespace quorvane::test
