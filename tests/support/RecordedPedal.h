#pragma once
// The virtual pedal in process behind the recording driver: every write the
// driver records goes to a PedalModel, on the line the driver was last set
// to, and what the pedal answers is queued at once as the driver's reads.
// The pedal is not paced, so an answer is there as soon as the write that
// asks for it. The driver keeps recording and failing on demand as ever.

#include "simulator/PedalModel.h"
#include "support/RecordingDriver.h"

namespace quorvane::test {

class RecordedPedal {
public:
    explicit RecordedPedal(RecordingDriver &driver, const PedalOptions &options = {});
    ~RecordedPedal();
    RecordedPedal(const RecordedPedal &) = delete;
    RecordedPedal &operator=(const RecordedPedal &) = delete;

    PedalModel &model() { return m_model; }
    PedalFaults &faults() { return m_model.faults(); }
    // What the bootloader took since the pedal was switched on.
    const PedalBootloader &bootloader() const { return m_model.bootloader(); }
    // The version in the flash's version record (its last byte).
    int recordedVersion() const;

private:
    RecordingDriver &m_driver;
    PedalModel m_model;
};

} // namespace quorvane::test
