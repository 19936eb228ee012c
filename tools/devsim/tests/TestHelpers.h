#pragma once
// Shared helpers: the tool's own frames fed into the device, and the checks the tool applies to
// an answer line.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Device.h"
#include "RequestParser.h"
#include "link/Crc16.h"
#include "link/Frame.h"

namespace tavo::devsim::test {

// The bytes the tool writes for one command.
inline std::string ToolFrame(std::uint8_t mode, std::uint16_t command,
                             const std::vector<std::uint8_t>& payload = {}) {
    return FrameBytes(FrameWrites(mode, command, static_cast<std::uint16_t>(payload.size()),
                                       payload.data()));
}

// Checks a line as the tool does (CRC "%04X" of the body before LF) and returns the body.
inline std::string BodyOf(const std::string& line) {
    EXPECT_GE(line.size(), 5u);
    if (line.size() < 5) return {};
    EXPECT_EQ(line.back(), '\n');
    const std::string body = line.substr(0, line.size() - 5);
    EXPECT_EQ(line.substr(line.size() - 5, 4), CrcText(Uart_Crc16(body))) << "line: " << line;
    EXPECT_EQ(line.find('\n'), line.size() - 1) << "an LF inside the body ends the line early";
    return body;
}

// Sends one command through the parser into the device, exactly as the tool frames it.
struct Exchange {
    Device& device;
    RequestParser parser;

    DeviceResult Send(std::uint8_t mode, std::uint16_t command,
                      const std::vector<std::uint8_t>& payload = {}) {
        std::vector<ParsedLine> lines;
        parser.Feed(ToolFrame(mode, command, payload), lines);
        std::erase_if(lines, [](const ParsedLine& p) { return p.wakeup; });
        EXPECT_EQ(lines.size(), 1u);
        if (lines.size() != 1 || !lines[0].ok()) {
            ADD_FAILURE() << "request not recognised";
            return {};
        }
        return device.Handle(lines[0].request);
    }
    // The body of a GET's answer ("" and a failure when silent).
    std::string Get(std::uint16_t command) {
        const DeviceResult r = Send(kModeGet, command);
        EXPECT_TRUE(r.answered) << CommandName(command);
        return r.answered ? BodyOf(r.answer) : std::string();
    }
    // The acknowledgement body of a SET ("OK\f" or "NG\f").
    std::string Set(std::uint16_t command, const std::vector<std::uint8_t>& payload = {}) {
        const DeviceResult r = Send(kModeSet, command, payload);
        EXPECT_TRUE(r.answered) << CommandName(command);
        return r.answered ? BodyOf(r.answer) : std::string();
    }
    std::string Select(SlotSelector s) {
        const auto b = s.bytes();
        return Set(ND_SEL, {b[0], b[1]});
    }
};

inline const std::string kOk = "OK\x0C";
inline const std::string kNg = "NG\x0C";

} // namespace tavo::devsim::test
