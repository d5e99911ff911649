// Every drive-layer test starts from a new process's state on a new emulated machine.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "drive.h"
#include "support/drive_layer_state.h"
#include "support/emulated_machine.h"
#include "support/stand_in.h"
#include "win32sim/debug_output.h"
#include "win32sim/message_boxes.h"

class DriveLayerTest : public ::testing::Test {
protected:
    void SetUp() override {
        testing_support::resetStandIn();
        testing_support::resetDriveLayer();
        machine = std::make_unique<testing_support::EmulatedMachine>();
    }

    // Fills the drive table from the machine, as the program does at start.
    BYTE findDrives() { return FindOpticalDrives(); }

    static std::vector<std::string> boxTexts() {
        std::vector<std::string> texts;
        for (const auto& box : win32sim::messageBoxes()) texts.push_back(box.text);
        return texts;
    }

    static bool senseIsZero() {
        for (BYTE b : g_SenseData)
            if (b != 0) return false;
        return true;
    }

    std::unique_ptr<testing_support::EmulatedMachine> machine;
};
