// What the setup window's scenario tests share: a fresh simulated machine and
// fresh program globals per test, stand-in sequences that report like the
// real ones, and helpers to set up the machine and read what was drawn.
#pragma once
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "base/context.h"
#include "base/names.h"
#include "base/text.h"
#include "base/worker_report.h"
#include "install/install.h"
#include "platform/registry.h"
#include "platform/sim/sim.h"
#include "platform/windows.h"
#include "setup/main_window.h"
#include "setup/probe.h"
#include "setup/setup_main.h"
#include "steps/registry_records.h"
#include "tests/support/program_state.h"
#include "uninstall/uninstall.h"

namespace setup_test {

inline plat::Handle const kInstance = reinterpret_cast<plat::Handle>(static_cast<std::uintptr_t>(0x400000));
inline constexpr char kRunningProgram[] = "C:\\Users\\user\\Downloads\\MixolyteSetup.exe";

// The stand-in sequences: what they give, what they post, and what they saw.
struct Sequences {
    int install_result = 1;
    std::intptr_t install_report = REPORT_INSTALLED;  // 0: posts nothing
    // Runs inside the install, after its report was posted and while
    // worker_busy is still 1 (for example to let the window act meanwhile).
    std::function<void()> during_install;
    int install_calls = 0;
    int busy_during_install = -1;
    int uninstall_result = 1;
    bool uninstall_reports_failure = false;
    int uninstall_calls = 0;
};

inline Sequences& Fakes() {
    static Sequences sequences;
    return sequences;
}

inline int FakeInstall(SetupContext* context) {
    Sequences& fakes = Fakes();
    ++fakes.install_calls;
    fakes.busy_during_install = context->worker_busy;
    if (fakes.install_report == REPORT_FAILED) {
        CopyText(context->message_caption, sizeof context->message_caption, "Mixolyte Installation Error");
        CopyText(context->message_text, sizeof context->message_text, "Failed to create the folder");
    }
    if (fakes.install_report != 0)
        plat::WindowPostMessage(context->main_window, plat::kWmCommand, CMD_WORKER_REPORT, fakes.install_report);
    if (fakes.during_install) fakes.during_install();
    return fakes.install_result;
}

inline int FakeUninstall() {
    Sequences& fakes = Fakes();
    ++fakes.uninstall_calls;
    if (fakes.uninstall_reports_failure) {
        CopyText(setup_context.message_caption, sizeof setup_context.message_caption, "Uninstall Error");
        CopyText(setup_context.message_text, sizeof setup_context.message_text, "Nothing to remove");
        plat::WindowPostMessage(setup_context.main_window, plat::kWmCommand, CMD_WORKER_REPORT, REPORT_FAILED);
    }
    return fakes.uninstall_result;
}

// A program run as Windows would start it: fresh machine and globals.
struct SetupTest : ::testing::Test {
    void SetUp() override {
        SimReset();
        Sim().system.module_path = kRunningProgram;
        ResetProgramState();
        Fakes() = Sequences();
        install_sequence = FakeInstall;
        uninstall_sequence = FakeUninstall;
    }
    void TearDown() override {
        install_sequence = RunInstall;
        uninstall_sequence = RunUninstall;
    }
    static int Run(const char* command_line) { return SetupMain(kInstance, command_line); }
};

// The uninstall entry as the install writes it, in the view a 32-bit
// program sees.
inline void PutUninstallEntry(const std::string& uninstall_string) {
    std::string key = Sim().system.is_64bit
                          ? "SOFTWARE\\WOW6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\"
                            "ZT:Mixolyte {17359A74-1236-5467}"
                          : kUninstallEntryKey;
    SimRegPutText(plat::kHkeyLocalMachine, key, "UninstallString", uninstall_string);
}

inline void PutInterface(const char* interface_class, bool openable = true) {
    SimDeviceInterface device;
    device.present = true;
    device.openable = openable;
    Sim().devices.classes[interface_class] = device;
}

// Message boxes by caption.
inline int BoxCount(const std::string& caption) {
    int count = 0;
    for (const SimMessageBox& box : Sim().windows.boxes) count += box.caption == caption;
    return count;
}

// The texts drawn, in order.
inline std::vector<std::string> DrawnTexts() {
    std::vector<std::string> texts;
    for (const SimDrawOp& op : SimDrawOps("DrawText")) texts.push_back(op.text);
    return texts;
}

// The last drawing of a text, or null.
inline const SimDrawOp* LastText(const std::vector<SimDrawOp>& ops, const std::string& text) {
    for (auto it = ops.rbegin(); it != ops.rend(); ++it)
        if (it->op == "DrawText" && it->text == text) return &*it;
    return nullptr;
}

// WM_COMMAND ids posted to the program's windows, in order.
inline std::vector<std::uintptr_t> PostedCommands() {
    std::vector<std::uintptr_t> commands;
    for (const plat::Message& message : Sim().windows.posted)
        if (message.message == plat::kWmCommand) commands.push_back(message.wparam & 0xFFFF);
    return commands;
}

inline bool WindowIsShown() {
    const SimWindow* window = SimFindWindow(setup_context.main_window);
    return window != nullptr && window->visible;
}

inline int PostedCount(std::uint32_t message_id) {
    int count = 0;
    for (const plat::Message& message : Sim().windows.posted) count += message.message == message_id;
    return count;
}

}  // namespace setup_test
