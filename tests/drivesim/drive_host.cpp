#include "drive_host.h"

#include <algorithm>
#include <cstdio>

#include "drivesim/bytes.h"

namespace drivesim_test {

using namespace drivesim;

std::string summarize(const ScsiResult& result) {
    if (result.transport == Transport::Failed) return "FAILED " + std::to_string(result.errorCode);
    if (result.transport == Transport::Hung) return "HUNG";
    if (result.status == kStatusGood) return "GOOD";
    DecodedSense sense = decodeSense(result);
    if (!sense.parsed) return "status " + std::to_string(result.status) + " without sense";
    std::string text = "CHECK " + toString(sense.code);
    if (sense.informationValid) {
        char info[16];
        std::snprintf(info, sizeof info, "%X", static_cast<unsigned>(sense.information));
        text += " info=0x";
        text += info;
    }
    return text;
}

::testing::AssertionResult hasSense(const Reply& reply, SenseCode code) {
    DecodedSense sense = decodeSense(reply.result);
    if (reply.result.transport == Transport::Delivered &&
        reply.result.status == kStatusCheckCondition && sense.parsed && sense.code == code) {
        return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure()
           << "expected CHECK " << toString(code) << ", got " << summarize(reply.result);
}

std::vector<std::uint8_t> inquiryCdb(std::uint16_t allocation) {
    return {0x12, 0, 0, static_cast<std::uint8_t>(allocation >> 8),
            static_cast<std::uint8_t>(allocation), 0};
}

std::vector<std::uint8_t> testUnitReadyCdb() { return {0x00, 0, 0, 0, 0, 0}; }

std::vector<std::uint8_t> startStopCdb(std::uint8_t operation) {
    return {0x1B, 0, 0, 0, operation, 0};
}

std::vector<std::uint8_t> readBufferCdb(std::uint32_t offset, std::uint32_t length,
                                        std::uint8_t mode, std::uint8_t bufferId) {
    std::vector<std::uint8_t> cdb{0x3C, mode, bufferId, 0, 0, 0, 0, 0, 0, 0};
    writeBe24(&cdb[3], offset);
    writeBe24(&cdb[6], length);
    return cdb;
}

std::vector<std::uint8_t> beginCdb() { return {0x3B, 0x01, 0, 0, 0, 0, 0, 0, 0, 0x0B, 0, 0}; }

std::vector<std::uint8_t> chunkCdb(std::uint32_t offset, std::uint32_t length,
                                   std::uint8_t bufferId) {
    std::vector<std::uint8_t> cdb{0x3B, 0x06, bufferId, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    writeBe24(&cdb[3], offset);
    writeBe24(&cdb[6], length);
    return cdb;
}

std::vector<std::uint8_t> commitCdb() {
    return {0x3B, 0x07, 0, 0, 0, 0, 0, 0, 0, 0, 0x1B, 0x12};
}

std::vector<std::uint8_t> cdbOfKind(CommandKind kind) {
    switch (kind) {
    case CommandKind::Inquiry: return inquiryCdb(0xC0);
    case CommandKind::TestUnitReady: return testUnitReadyCdb();
    case CommandKind::StartStopUnit: return startStopCdb(2);
    case CommandKind::ReadBuffer: return readBufferCdb(0, 0x100);
    case CommandKind::DownloadBegin: return beginCdb();
    case CommandKind::DownloadChunk: return chunkCdb(0);
    case CommandKind::DownloadCommit: return commitCdb();
    case CommandKind::WriteBuffer: return {0x3B, 0x05, 0, 0, 0, 0, 0, 0, 0, 0};
    case CommandKind::Other: return {0x28, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    }
    return {};
}

Reply Host::send(const std::vector<std::uint8_t>& cdb, DataDirection direction,
                 std::uint32_t length, const std::uint8_t* out, std::uint32_t timeoutSeconds) {
    std::vector<std::uint8_t> buffer(length, 0);
    if (out != nullptr) buffer.assign(out, out + length);
    ScsiCommand command;
    command.cdb = cdb.data();
    command.cdbLength = cdb.size();
    command.direction = direction;
    command.data = length != 0 ? buffer.data() : nullptr;
    command.length = length;
    command.timeoutSeconds = timeoutSeconds;

    Reply reply;
    reply.result = device_.execute(command);
    if (direction == DataDirection::In) {
        buffer.resize(std::min<std::size_t>(reply.result.transferred, buffer.size()));
        reply.data = std::move(buffer);
    }
    return reply;
}

Reply Host::inquiry(std::uint16_t allocation, std::uint32_t hostLength) {
    return send(inquiryCdb(allocation), DataDirection::In, hostLength);
}

Reply Host::testUnitReady() { return send(testUnitReadyCdb(), DataDirection::Unspecified, 0); }

Reply Host::startStop(std::uint8_t operation) {
    return send(startStopCdb(operation), DataDirection::Unspecified, 0);
}

Reply Host::readBuffer(std::uint32_t offset, std::uint32_t length) {
    return send(readBufferCdb(offset, length), DataDirection::In, length);
}

Reply Host::begin() { return send(beginCdb(), DataDirection::Unspecified, 0); }

Reply Host::chunk(const FirmwareImage& image, std::uint32_t offset) {
    return send(chunkCdb(offset), DataDirection::Out, kChunkSize, image.data() + offset, 60);
}

Reply Host::commit() { return send(commitCdb(), DataDirection::Unspecified, 0); }

Reply Host::ofKind(CommandKind kind) {
    switch (kind) {
    case CommandKind::Inquiry: return inquiry();
    case CommandKind::ReadBuffer: return readBuffer(0, 0x100);
    case CommandKind::DownloadChunk: {
        std::vector<std::uint8_t> zeros(kChunkSize, 0);
        return send(cdbOfKind(kind), DataDirection::Out, kChunkSize, zeros.data());
    }
    default: return send(cdbOfKind(kind), DataDirection::Unspecified, 0);
    }
}

Reply Host::download(const FirmwareImage& image) {
    Reply reply = begin();
    if (reply.result.status != kStatusGood || reply.result.transport != Transport::Delivered) {
        return reply;
    }
    for (std::uint32_t offset = 0; offset < kImageSize; offset += kChunkSize) {
        reply = chunk(image, offset);
        if (reply.result.status != kStatusGood || reply.result.transport != Transport::Delivered) {
            return reply;
        }
    }
    return commit();
}

}  // namespace drivesim_test
