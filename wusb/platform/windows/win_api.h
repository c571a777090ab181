// The Windows calls the WinUSB backend makes, as a table of function pointers. A default
// WinApi calls the system; tests replace entries to see the exact arguments passed.
#pragma once

// clang-format off
#include <windows.h>
#include <setupapi.h>
#include <winusb.h>
// clang-format on

namespace wusb::windows {

struct WinApi {
    decltype(&::SetupDiGetClassDevsA) getClassDevs = &::SetupDiGetClassDevsA;
    decltype(&::SetupDiEnumDeviceInterfaces) enumDeviceInterfaces = &::SetupDiEnumDeviceInterfaces;
    decltype(&::SetupDiGetDeviceInterfaceDetailA) getDeviceInterfaceDetail =
        &::SetupDiGetDeviceInterfaceDetailA;
    decltype(&::SetupDiDestroyDeviceInfoList) destroyDeviceInfoList =
        &::SetupDiDestroyDeviceInfoList;
    decltype(&::GetLastError) getLastError = &::GetLastError;
    decltype(&::CreateFileA) createFile = &::CreateFileA;
    decltype(&::CloseHandle) closeHandle = &::CloseHandle;
    decltype(&::WinUsb_Initialize) winUsbInitialize = &::WinUsb_Initialize;
    decltype(&::WinUsb_Free) winUsbFree = &::WinUsb_Free;
    decltype(&::WinUsb_GetDescriptor) winUsbGetDescriptor = &::WinUsb_GetDescriptor;
    decltype(&::WinUsb_QueryInterfaceSettings) winUsbQueryInterfaceSettings =
        &::WinUsb_QueryInterfaceSettings;
    decltype(&::WinUsb_QueryPipe) winUsbQueryPipe = &::WinUsb_QueryPipe;
    decltype(&::WinUsb_SetPipePolicy) winUsbSetPipePolicy = &::WinUsb_SetPipePolicy;
    decltype(&::WinUsb_ResetPipe) winUsbResetPipe = &::WinUsb_ResetPipe;
    decltype(&::WinUsb_ReadPipe) winUsbReadPipe = &::WinUsb_ReadPipe;
    decltype(&::WinUsb_WritePipe) winUsbWritePipe = &::WinUsb_WritePipe;
};

}  // namespace wusb::windows
