#include "tests/windows/fake_win_api.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <memory>

namespace wusb::windows::testing {

namespace {

std::unique_ptr<FakeWinState> state;

const HDEVINFO kFakeSet = reinterpret_cast<HDEVINFO>(std::intptr_t{0x5e7});
constexpr std::uintptr_t kFileBase = 0x1000;
constexpr std::uintptr_t kUsbBase = 0x2000;

// Which device a fake handle stands for, or none.
FakeWinUsbDevice* DeviceOf(void* handle, std::uintptr_t base) {
    const auto value = reinterpret_cast<std::uintptr_t>(handle);
    if (value <= base || value > base + state->devices.size()) {
        return nullptr;
    }
    return &state->devices[value - base - 1];
}

std::string Name(const char* what, void* handle, std::uintptr_t base) {
    return std::string(what) + ' ' +
           std::to_string(reinterpret_cast<std::uintptr_t>(handle) - base);
}

BOOL Fail(DWORD error) {
    state->lastError = error;
    return FALSE;
}

HDEVINFO WINAPI GetClassDevs(const GUID* guid, PCSTR enumerator, HWND window, DWORD flags) {
    state->classGuid = *guid;
    state->enumerator = enumerator;
    state->window = window;
    state->flags = flags;
    if (state->classSetFails) {
        state->lastError = ERROR_INVALID_PARAMETER;
        return INVALID_HANDLE_VALUE;
    }
    return kFakeSet;
}

BOOL WINAPI EnumDeviceInterfaces(HDEVINFO set, PSP_DEVINFO_DATA filter, const GUID* guid,
                                 DWORD index, PSP_DEVICE_INTERFACE_DATA data) {
    state->enumRecordSizes.push_back(data->cbSize);
    if (set != kFakeSet || filter != nullptr ||
        std::memcmp(guid, &state->classGuid, sizeof *guid) != 0) {
        return Fail(ERROR_INVALID_PARAMETER);
    }
    if (index >= state->interfaces.size()) {
        return Fail(ERROR_NO_MORE_ITEMS);
    }
    // Remembers the member, so the detail calls can check they got the same record back.
    data->Reserved = index + 1;
    return TRUE;
}

BOOL WINAPI GetDeviceInterfaceDetail(HDEVINFO set, PSP_DEVICE_INTERFACE_DATA data,
                                     PSP_DEVICE_INTERFACE_DETAIL_DATA_A detail, DWORD size,
                                     PDWORD required, PSP_DEVINFO_DATA devInfo) {
    if (set != kFakeSet || data->Reserved == 0 || data->Reserved > state->interfaces.size()) {
        return Fail(ERROR_INVALID_PARAMETER);
    }
    const FakeInterface& found = state->interfaces[data->Reserved - 1];
    constexpr std::size_t kPathOffset = offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_A, DevicePath);
    const auto needed = static_cast<DWORD>(kPathOffset + found.path.size() + 1);

    if (detail == nullptr) {
        if (size != 0 || devInfo != nullptr) {
            ++state->sizeQueriesWithBuffer;
        }
        if (required != nullptr) {
            *required = found.reportedSize ? found.reportedSize : needed;
        }
        if (found.sizeQueryError == 0) {
            return TRUE;
        }
        return Fail(found.sizeQueryError);
    }

    state->detailRecordSizes.push_back(detail->cbSize);
    state->detailBufferSizes.push_back(size);
    state->devInfoRecordSizes.push_back(devInfo ? devInfo->cbSize : 0);
    if (detail->cbSize != sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A)) {
        return Fail(ERROR_INVALID_USER_BUFFER);
    }
    if (devInfo == nullptr || devInfo->cbSize != sizeof(SP_DEVINFO_DATA)) {
        return Fail(ERROR_INVALID_USER_BUFFER);
    }
    if (found.detailFails) {
        return Fail(ERROR_INVALID_DATA);
    }
    if (found.unterminatedPath) {
        std::memset(detail->DevicePath, 'A', size - kPathOffset);
    } else {
        if (size < needed) {
            return Fail(ERROR_INSUFFICIENT_BUFFER);
        }
        std::memcpy(detail->DevicePath, found.path.c_str(), found.path.size() + 1);
    }
    devInfo->DevInst = found.devInst;
    return TRUE;
}

BOOL WINAPI DestroyDeviceInfoList(HDEVINFO set) {
    ++state->destroyCount;
    if (set != kFakeSet) {
        state->destroyedOtherSet = true;
    }
    return TRUE;
}

DWORD WINAPI LastError() {
    return state->lastError;
}

HANDLE WINAPI OpenPath(LPCSTR path, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
                       DWORD creation, DWORD flags, HANDLE templateFile) {
    state->lastOpenedPath = path;
    state->access = access;
    state->share = share;
    state->securityPassed = security != nullptr;
    state->creation = creation;
    state->flagsAndAttributes = flags;
    state->templatePassed = templateFile != nullptr;
    for (std::size_t i = 0; i < state->devices.size(); ++i) {
        const FakeWinUsbDevice& device = state->devices[i];
        if (device.path != path) {
            continue;
        }
        if (device.openFails) {
            state->lastError = device.openError;
            return INVALID_HANDLE_VALUE;
        }
        state->log.push_back("open " + std::to_string(i + 1));
        return FakeFileHandle(i + 1);
    }
    state->lastError = ERROR_FILE_NOT_FOUND;
    return INVALID_HANDLE_VALUE;
}

BOOL WINAPI CloseFile(HANDLE file) {
    state->log.push_back(Name("close", file, kFileBase));
    return TRUE;
}

BOOL WINAPI Initialize(HANDLE file, PWINUSB_INTERFACE_HANDLE usb) {
    FakeWinUsbDevice* device = DeviceOf(file, kFileBase);
    if (device == nullptr) {
        return Fail(ERROR_INVALID_HANDLE);
    }
    if (device->initializeFails) {
        return Fail(ERROR_NOT_SUPPORTED);
    }
    const auto n = static_cast<std::size_t>(device - state->devices.data()) + 1;
    state->log.push_back("initialize " + std::to_string(n));
    *usb = FakeUsbHandle(n);
    return TRUE;
}

BOOL WINAPI Free(WINUSB_INTERFACE_HANDLE usb) {
    state->log.push_back(Name("free", usb, kUsbBase));
    return TRUE;
}

BOOL WINAPI GetDescriptor(WINUSB_INTERFACE_HANDLE usb, UCHAR type, UCHAR index, USHORT language,
                          PUCHAR buffer, ULONG length, PULONG transferred) {
    state->getDescriptorTypes.push_back(type);
    state->getDescriptorIndexes.push_back(index);
    state->getDescriptorLanguages.push_back(language);
    state->getDescriptorLengths.push_back(length);
    FakeWinUsbDevice* device = DeviceOf(usb, kUsbBase);
    if (device == nullptr) {
        return Fail(ERROR_INVALID_HANDLE);
    }
    const std::vector<std::uint8_t>& source =
        type == 1 ? device->deviceDescriptor : device->serialDescriptor;
    if (source.empty()) {
        return Fail(ERROR_GEN_FAILURE);
    }
    const auto n = std::min<ULONG>(length, static_cast<ULONG>(source.size()));
    std::memcpy(buffer, source.data(), n);
    *transferred = n;
    return TRUE;
}

BOOL WINAPI QueryInterfaceSettings(WINUSB_INTERFACE_HANDLE usb, UCHAR alternate,
                                   PUSB_INTERFACE_DESCRIPTOR out) {
    state->queriedAlternateSettings.push_back(alternate);
    FakeWinUsbDevice* device = DeviceOf(usb, kUsbBase);
    if (device == nullptr || alternate != 0) {
        return Fail(ERROR_INVALID_PARAMETER);
    }
    *out = device->interfaceDescriptor;
    return TRUE;
}

BOOL WINAPI QueryPipe(WINUSB_INTERFACE_HANDLE usb, UCHAR alternate, UCHAR index,
                      PWINUSB_PIPE_INFORMATION out) {
    state->queriedAlternateSettings.push_back(alternate);
    FakeWinUsbDevice* device = DeviceOf(usb, kUsbBase);
    if (device == nullptr || alternate != 0 || index >= device->pipes.size()) {
        return Fail(ERROR_INVALID_PARAMETER);
    }
    *out = device->pipes[index];
    return TRUE;
}

BOOL WINAPI SetPipePolicy(WINUSB_INTERFACE_HANDLE usb, UCHAR pipe, ULONG policy, ULONG length,
                          PVOID value) {
    if (DeviceOf(usb, kUsbBase) == nullptr || state->policyFails) {
        return Fail(ERROR_INVALID_HANDLE);
    }
    state->policyPipe = pipe;
    state->policyType = policy;
    state->policyLength = length;
    // Read exactly the bytes the caller said it passed.
    state->policyValue = 0;
    if (length == sizeof(ULONG)) {
        std::memcpy(&state->policyValue, value, sizeof(ULONG));
    }
    if (policy == PIPE_TRANSFER_TIMEOUT) {
        state->timeoutPolicies.emplace_back(pipe, state->policyValue);
    }
    return TRUE;
}

BOOL WINAPI ResetPipe(WINUSB_INTERFACE_HANDLE usb, UCHAR pipe) {
    if (DeviceOf(usb, kUsbBase) == nullptr || state->resetFails) {
        return Fail(ERROR_GEN_FAILURE);
    }
    state->resetPipes.push_back(pipe);
    return TRUE;
}

BOOL WINAPI ReadPipe(WINUSB_INTERFACE_HANDLE usb, UCHAR pipe, PUCHAR buffer, ULONG length,
                     PULONG transferred, LPOVERLAPPED overlapped) {
    state->readPipeId = pipe;
    state->readLength = length;
    state->transferOverlappedPassed = overlapped != nullptr;
    if (DeviceOf(usb, kUsbBase) == nullptr) {
        return Fail(ERROR_INVALID_HANDLE);
    }
    if (state->readFails) {
        *transferred = 0;
        return Fail(ERROR_SEM_TIMEOUT);
    }
    const auto n = std::min<ULONG>(length, static_cast<ULONG>(state->toRead.size()));
    std::memcpy(buffer, state->toRead.data(), n);
    *transferred = n;
    return TRUE;
}

BOOL WINAPI WritePipe(WINUSB_INTERFACE_HANDLE usb, UCHAR pipe, PUCHAR buffer, ULONG length,
                      PULONG transferred, LPOVERLAPPED overlapped) {
    state->writePipeId = pipe;
    state->writeLength = length;
    state->transferOverlappedPassed = overlapped != nullptr;
    if (DeviceOf(usb, kUsbBase) == nullptr) {
        return Fail(ERROR_INVALID_HANDLE);
    }
    const ULONG n = length - std::min(length, state->writeShortBy);
    state->written.assign(buffer, buffer + n);
    *transferred = n;
    return TRUE;
}

}  // namespace

FakeWinState& InstallFakeWinState() {
    state = std::make_unique<FakeWinState>();
    return *state;
}

WinApi FakeWinApi() {
    WinApi api;
    api.getClassDevs = &GetClassDevs;
    api.enumDeviceInterfaces = &EnumDeviceInterfaces;
    api.getDeviceInterfaceDetail = &GetDeviceInterfaceDetail;
    api.destroyDeviceInfoList = &DestroyDeviceInfoList;
    api.getLastError = &LastError;
    api.createFile = &OpenPath;
    api.closeHandle = &CloseFile;
    api.winUsbInitialize = &Initialize;
    api.winUsbFree = &Free;
    api.winUsbGetDescriptor = &GetDescriptor;
    api.winUsbQueryInterfaceSettings = &QueryInterfaceSettings;
    api.winUsbQueryPipe = &QueryPipe;
    api.winUsbSetPipePolicy = &SetPipePolicy;
    api.winUsbResetPipe = &ResetPipe;
    api.winUsbReadPipe = &ReadPipe;
    api.winUsbWritePipe = &WritePipe;
    return api;
}

HANDLE FakeFileHandle(std::size_t n) {
    return reinterpret_cast<HANDLE>(kFileBase + n);
}
WINUSB_INTERFACE_HANDLE FakeUsbHandle(std::size_t n) {
    return reinterpret_cast<WINUSB_INTERFACE_HANDLE>(kUsbBase + n);
}

}  // namespace wusb::windows::testing
