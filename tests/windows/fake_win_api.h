// A scripted stand-in for SetupAPI, the Win32 file calls and WinUSB: every call is logged with
// the arguments that matter, and the answers come from the fields below.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "wusb/platform/windows/win_api.h"

namespace wusb::windows::testing {

struct FakeInterface {
    std::string path{};
    DWORD devInst = 0;
    // The size query's outcome: fails with this error, or succeeds when it is 0.
    DWORD sizeQueryError = ERROR_INSUFFICIENT_BUFFER;
    // Reported by the size query; 0 reports what the path really needs.
    DWORD reportedSize = 0;
    bool detailFails = false;
    // Fills the whole path area without a terminator.
    bool unterminatedPath = false;
};

struct FakeWinUsbDevice {
    std::string path{};
    bool openFails = false;
    DWORD openError = ERROR_FILE_NOT_FOUND;
    bool initializeFails = false;
    std::vector<std::uint8_t> deviceDescriptor{};
    std::vector<std::uint8_t> serialDescriptor{};
    USB_INTERFACE_DESCRIPTOR interfaceDescriptor{};
    std::vector<WINUSB_PIPE_INFORMATION> pipes{};
};

struct FakeWinState {
    // SetupAPI
    bool classSetFails = false;
    std::vector<FakeInterface> interfaces;
    GUID classGuid{};
    const char* enumerator = "not called";
    HWND window = nullptr;
    DWORD flags = 0;
    std::vector<DWORD> enumRecordSizes;     // cbSize of each interface record passed
    std::vector<DWORD> detailRecordSizes;   // cbSize of the detail record, second call
    std::vector<DWORD> detailBufferSizes;   // buffer size passed with it
    std::vector<DWORD> devInfoRecordSizes;  // cbSize of the device-information record
    int sizeQueriesWithBuffer = 0;          // size queries that passed a buffer or a size
    int destroyCount = 0;
    bool destroyedOtherSet = false;

    // Files and WinUSB
    std::vector<FakeWinUsbDevice> devices;
    std::string lastOpenedPath;
    DWORD access = 0, share = 0, creation = 0, flagsAndAttributes = 0;
    bool securityPassed = false, templatePassed = false;
    std::vector<std::uint8_t> getDescriptorTypes, getDescriptorIndexes;
    std::vector<USHORT> getDescriptorLanguages;
    std::vector<ULONG> getDescriptorLengths;
    std::vector<UCHAR> queriedAlternateSettings;
    ULONG policyType = 0, policyLength = 0, policyValue = 0;
    UCHAR policyPipe = 0;
    std::vector<std::pair<UCHAR, ULONG>> timeoutPolicies;  // every time-out set: pipe, value
    bool policyFails = false;
    std::vector<UCHAR> resetPipes;
    bool resetFails = false;
    bool transferOverlappedPassed = false;
    UCHAR readPipeId = 0, writePipeId = 0;
    ULONG readLength = 0, writeLength = 0;
    std::vector<std::uint8_t> written;
    std::vector<std::uint8_t> toRead;  // what the next ReadPipe delivers
    bool readFails = false;
    ULONG writeShortBy = 0;

    // Open, initialise, free and close calls in order, for example "free usb1".
    std::vector<std::string> log;
    DWORD lastError = 0;
};

// Installs a fresh state that the fake functions use until the next Install.
FakeWinState& InstallFakeWinState();
// A call table whose every entry is the fake.
WinApi FakeWinApi();

// The fake handle values handed out for device n (1-based) of `devices`.
HANDLE FakeFileHandle(std::size_t n);
WINUSB_INTERFACE_HANDLE FakeUsbHandle(std::size_t n);

}  // namespace wusb::windows::testing
