// A minimal host for the drive tests: builds the CDBs the updater sends, runs them against
// a device and keeps the returned data.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "drivesim/command_kind.h"
#include "drivesim/firmware_image.h"
#include "drivesim/scsi_device.h"
#include "drivesim/sense.h"

namespace drivesim_test {

using drivesim::DataDirection;
using drivesim::ScsiResult;

struct Reply {
    ScsiResult result;
    std::vector<std::uint8_t> data;  // what came back, `transferred` bytes
};

// "GOOD", "CHECK 02/04/08 info=0x100000", "FAILED 1167", "HUNG".
std::string summarize(const ScsiResult& result);
inline std::string summarize(const Reply& reply) { return summarize(reply.result); }

::testing::AssertionResult hasSense(const Reply& reply, drivesim::SenseCode code);

std::vector<std::uint8_t> inquiryCdb(std::uint16_t allocation);
std::vector<std::uint8_t> testUnitReadyCdb();
std::vector<std::uint8_t> startStopCdb(std::uint8_t operation);
std::vector<std::uint8_t> readBufferCdb(std::uint32_t offset, std::uint32_t length,
                                        std::uint8_t mode = 6, std::uint8_t bufferId = 0);
std::vector<std::uint8_t> beginCdb();
std::vector<std::uint8_t> chunkCdb(std::uint32_t offset, std::uint32_t length = 0x4000,
                                   std::uint8_t bufferId = 0);
std::vector<std::uint8_t> commitCdb();

// A CDB of the given kind with ordinary fields, for tests that only care about the kind.
std::vector<std::uint8_t> cdbOfKind(drivesim::CommandKind kind);

class Host {
public:
    explicit Host(drivesim::ScsiDevice& device) : device_(device) {}

    // Data in for In, `out` (or zeros) for Out.
    Reply send(const std::vector<std::uint8_t>& cdb, DataDirection direction,
               std::uint32_t length, const std::uint8_t* out = nullptr,
               std::uint32_t timeoutSeconds = 10);

    Reply inquiry(std::uint16_t allocation = 0xC0, std::uint32_t hostLength = 0xC0);
    Reply testUnitReady();
    Reply startStop(std::uint8_t operation);
    Reply readBuffer(std::uint32_t offset, std::uint32_t length);
    Reply begin();
    Reply chunk(const drivesim::FirmwareImage& image, std::uint32_t offset);
    Reply commit();
    Reply ofKind(drivesim::CommandKind kind);

    // Begin, every chunk of `image`, commit: the first reply that is not GOOD, else GOOD.
    Reply download(const drivesim::FirmwareImage& image);

private:
    drivesim::ScsiDevice& device_;
};

}  // namespace drivesim_test
