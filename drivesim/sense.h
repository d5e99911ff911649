// Fixed-format sense data and the few answers the emulated drives give, as ready-made
// ScsiResults.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "drivesim/scsi_device.h"

namespace drivesim {

inline constexpr std::uint8_t kStatusGood = 0x00;
inline constexpr std::uint8_t kStatusCheckCondition = 0x02;

struct SenseCode {
    std::uint8_t key = 0;
    std::uint8_t asc = 0;
    std::uint8_t ascq = 0;

    friend bool operator==(const SenseCode& a, const SenseCode& b) {
        return a.key == b.key && a.asc == b.asc && a.ascq == b.ascq;
    }
    friend bool operator!=(const SenseCode& a, const SenseCode& b) { return !(a == b); }
};

// "KK/AA/QQ" in hex, e.g. "02/04/08".
std::string toString(const SenseCode& code);

namespace sense {
inline constexpr SenseCode kNoMedium{0x02, 0x3A, 0x01};            // tray closed, no medium
inline constexpr SenseCode kTrayOpen{0x02, 0x3A, 0x02};            // medium not present, tray open
inline constexpr SenseCode kBecomingReady{0x02, 0x04, 0x01};       // tray moving
inline constexpr SenseCode kLongWriteInProgress{0x02, 0x04, 0x08}; // writing its flash
inline constexpr SenseCode kPowerOnReset{0x06, 0x29, 0x00};        // unit attention: reset
inline constexpr SenseCode kInvalidOpcode{0x05, 0x20, 0x00};
inline constexpr SenseCode kInvalidField{0x05, 0x24, 0x00};        // invalid field in CDB
inline constexpr SenseCode kSequenceError{0x05, 0x2C, 0x00};       // command sequence error
}  // namespace sense

inline constexpr std::size_t kFixedSenseLength = 18;

// Byte 0 is 0x70 (current error), or 0xF0 when `information` is given (VALID bit), which then
// fills bytes 3..6 big-endian. Byte 7 is the additional length (10).
std::array<std::uint8_t, kFixedSenseLength> fixedSense(
    SenseCode code, std::optional<std::uint32_t> information = std::nullopt);

ScsiResult goodResult(std::uint32_t transferred = 0);
ScsiResult checkConditionResult(SenseCode code,
                                std::optional<std::uint32_t> information = std::nullopt);
ScsiResult failedResult(std::uint32_t windowsError);

// Reading fixed-format sense back. `parsed` is false when the data is too short or not in
// fixed format.
struct DecodedSense {
    bool parsed = false;
    SenseCode code;
    bool informationValid = false;
    std::uint32_t information = 0;
};

DecodedSense decodeSense(const std::uint8_t* data, std::size_t length);
DecodedSense decodeSense(const ScsiResult& result);

}  // namespace drivesim
