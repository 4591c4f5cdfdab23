// The start of a component test of the program's windows: no stored settings and a scripted
// stand-in desktop with two icons; then the toolbar window loaded over it. And a stand-in on a
// thread of its own, as the shell's desktop is, for requests that must really wait.
#pragma once
#include <memory>

#include "app/frmMain.h"
#include "settings/Settings.h"
#include "tests/stand-in/StandIn.h"
#include "tests/support/Processes.h"

namespace iv {

inline std::unique_ptr<standin::Desktop> FreshDesktop() {
    testing_support::DeleteKeyTree(kSettingsKey);
    return standin::Desktop::Create({.items = {{L"Readme", 10, 10}, {L"Data", 90, 10}}});
}

// The toolbar window as the program loads it, except that its end leaves the test's message loop
// running; null when it could not be loaded.
inline std::unique_ptr<frmMain> LoadToolbarWindow() {
    auto form = std::make_unique<frmMain>();
    form->SetQuitOnDestroy(false);
    if (!form->Load()) return nullptr;
    return form;
}

// A host that chooses nothing, for the desktop's upkeep on its own.
class NoViewModeHost : public ViewModeHost {
public:
    void ChooseViewMode(int16_t, ViewModeChoice) override {}
};

// A stand-in desktop built on and pumped by a thread of its own until the object goes.
class StandInThread {
public:
    explicit StandInThread(standin::Options options) : options_(std::move(options)) {
        ready_.Reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
        thread_.Reset(CreateThread(nullptr, 0, Run, this, 0, &id_));
        WaitForSingleObject(ready_.Get(), 10000);
    }
    ~StandInThread() {
        if (desktop_) desktop_->EndHang();
        PostThreadMessageW(id_, WM_QUIT, 0, 0);
        WaitForSingleObject(thread_.Get(), 10000);
    }
    StandInThread(const StandInThread&) = delete;
    StandInThread& operator=(const StandInThread&) = delete;

    standin::Desktop* Desktop() const { return desktop_.get(); }

private:
    static DWORD WINAPI Run(void* parameter) {
        auto* self = static_cast<StandInThread*>(parameter);
        self->desktop_ = standin::Desktop::Create(self->options_);
        SetEvent(self->ready_.Get());
        MSG msg;
        while (GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchMessageW(&msg);
        self->desktop_.reset();
        return 0;
    }

    standin::Options options_;
    std::unique_ptr<standin::Desktop> desktop_;
    ScopedHandle ready_;
    ScopedHandle thread_;
    DWORD id_ = 0;
};

}  // namespace iv
