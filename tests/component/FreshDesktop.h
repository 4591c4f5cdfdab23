// The start of a component test of the program's windows: no stored settings, the shared state
// as at program start, and a scripted stand-in desktop with two icons.
#pragma once
#include <memory>

#include "app/State.h"
#include "settings/Settings.h"
#include "tests/stand-in/StandIn.h"
#include "tests/support/Processes.h"

namespace iv {

inline std::unique_ptr<standin::Desktop> FreshDesktop() {
    testing_support::DeleteKeyTree(kSettingsKey);
    ResetState();
    standin::Options options;
    options.items = {{L"Readme", 10, 10}, {L"Data", 90, 10}};
    return standin::Desktop::Create(options);
}

}  // namespace iv
