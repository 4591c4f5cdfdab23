// The start of a component test of the program's windows: no stored settings and a scripted
// stand-in desktop with two icons; then the toolbar window loaded over it.
#pragma once
#include <memory>

#include "app/frmMain.h"
#include "settings/Settings.h"
#include "tests/stand-in/StandIn.h"
#include "tests/support/Processes.h"

namespace iv {

inline std::unique_ptr<standin::Desktop> FreshDesktop() {
    testing_support::DeleteKeyTree(kSettingsKey);
    standin::Options options;
    options.items = {{L"Readme", 10, 10}, {L"Data", 90, 10}};
    return standin::Desktop::Create(options);
}

// The toolbar window as the program loads it, except that its end leaves the test's message loop
// running; null when it could not be loaded.
inline std::unique_ptr<frmMain> LoadToolbarWindow() {
    auto form = std::make_unique<frmMain>();
    form->SetQuitOnDestroy(false);
    if (!form->Load()) return nullptr;
    return form;
}

}  // namespace iv
