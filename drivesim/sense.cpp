#include "drivesim/sense.h"

#include <algorithm>
#include <cstdio>

#include "drivesim/bytes.h"

namespace drivesim {

std::string toString(const SenseCode& code) {
    char text[16];
    std::snprintf(text, sizeof text, "%02X/%02X/%02X", unsigned{code.key}, unsigned{code.asc},
                  unsigned{code.ascq});
    return text;
}

std::array<std::uint8_t, kFixedSenseLength> fixedSense(SenseCode code,
                                                       std::optional<std::uint32_t> information) {
    std::array<std::uint8_t, kFixedSenseLength> data{};
    data[0] = information ? 0xF0 : 0x70;
    data[2] = code.key & 0x0F;
    if (information) writeBe32(&data[3], *information);
    data[7] = kFixedSenseLength - 8;
    data[12] = code.asc;
    data[13] = code.ascq;
    return data;
}

ScsiResult goodResult(std::uint32_t transferred) {
    ScsiResult result;
    result.status = kStatusGood;
    result.transferred = transferred;
    return result;
}

ScsiResult checkConditionResult(SenseCode code, std::optional<std::uint32_t> information) {
    ScsiResult result;
    result.status = kStatusCheckCondition;
    auto data = fixedSense(code, information);
    std::copy(data.begin(), data.end(), result.sense.begin());
    result.senseLength = static_cast<std::uint8_t>(data.size());
    return result;
}

ScsiResult failedResult(std::uint32_t windowsError) {
    ScsiResult result;
    result.transport = Transport::Failed;
    result.errorCode = windowsError;
    return result;
}

DecodedSense decodeSense(const std::uint8_t* data, std::size_t length) {
    DecodedSense decoded;
    if (data == nullptr || length < 14) return decoded;
    const std::uint8_t responseCode = data[0] & 0x7F;
    if (responseCode != 0x70 && responseCode != 0x71) return decoded;
    decoded.parsed = true;
    decoded.code = SenseCode{static_cast<std::uint8_t>(data[2] & 0x0F), data[12], data[13]};
    decoded.informationValid = (data[0] & 0x80) != 0;
    decoded.information = readBe32(&data[3]);
    return decoded;
}

DecodedSense decodeSense(const ScsiResult& result) {
    if (result.transport != Transport::Delivered || result.status == kStatusGood) return {};
    return decodeSense(result.sense.data(), std::min<std::size_t>(result.senseLength, result.sense.size()));
}

}  // namespace drivesim
