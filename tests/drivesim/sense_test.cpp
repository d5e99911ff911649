#include "drivesim/sense.h"

#include <gtest/gtest.h>

namespace {

using namespace drivesim;

TEST(FixedSense, WithoutInformationIsACurrentErrorWithZeroInformation) {
    auto data = fixedSense(sense::kInvalidField);
    EXPECT_EQ(data[0], 0x70);
    EXPECT_EQ(data[2], 0x05);
    EXPECT_EQ(data[3] | data[4] | data[5] | data[6], 0);
    EXPECT_EQ(data[7], 10);
    EXPECT_EQ(data[12], 0x24);
    EXPECT_EQ(data[13], 0x00);
}

TEST(FixedSense, InformationSetsTheValidBitAndIsBigEndian) {
    auto data = fixedSense(sense::kLongWriteInProgress, 0x00123456u);
    EXPECT_EQ(data[0], 0xF0);
    EXPECT_EQ(data[2], 0x02);
    EXPECT_EQ(data[3], 0x00);
    EXPECT_EQ(data[4], 0x12);
    EXPECT_EQ(data[5], 0x34);
    EXPECT_EQ(data[6], 0x56);
    EXPECT_EQ(data[12], 0x04);
    EXPECT_EQ(data[13], 0x08);
}

TEST(FixedSense, CheckConditionResultCarriesTheSenseAndDecodesBack) {
    ScsiResult result = checkConditionResult(sense::kPowerOnReset, 0xFFFFFFFFu);
    EXPECT_EQ(result.transport, Transport::Delivered);
    EXPECT_EQ(result.status, kStatusCheckCondition);
    EXPECT_EQ(result.senseLength, kFixedSenseLength);

    DecodedSense decoded = decodeSense(result);
    ASSERT_TRUE(decoded.parsed);
    EXPECT_EQ(decoded.code, sense::kPowerOnReset);
    EXPECT_TRUE(decoded.informationValid);
    EXPECT_EQ(decoded.information, 0xFFFFFFFFu);
}

TEST(FixedSense, DecodeRefusesWhatIsNotFixedFormatSense) {
    auto data = fixedSense(sense::kNoMedium);
    EXPECT_FALSE(decodeSense(data.data(), 13).parsed) << "too short for ASC/ASCQ";
    data[0] = 0x72;  // descriptor format
    EXPECT_FALSE(decodeSense(data.data(), data.size()).parsed);
    EXPECT_FALSE(decodeSense(goodResult()).parsed);
    EXPECT_FALSE(decodeSense(failedResult(31)).parsed);
}

TEST(FixedSense, CodeText) { EXPECT_EQ(toString(sense::kSequenceError), "05/2C/00"); }

}  // namespace
