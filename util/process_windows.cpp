// Process services on Windows: CreateProcessW and ShellExecuteExW with the "runas" verb.
#include <windows.h>
// shellapi.h needs the types of windows.h.
#include <shellapi.h>

#include <vector>

#include "util/common_func.h"

int32_t RunCommandLine(const std::u16string& CommandLine, uint16_t ShowWindow, bool Wait,
                       uint32_t* ProcessId) {
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESHOWWINDOW | STARTF_FORCEONFEEDBACK;
    startup.wShowWindow = ShowWindow;
    PROCESS_INFORMATION process{};

    // CreateProcessW may write into the command line, so it gets a private copy.
    std::vector<wchar_t> writable(CommandLine.begin(), CommandLine.end());
    writable.push_back(L'\0');
    if (!CreateProcessW(nullptr, writable.data(), nullptr, nullptr, FALSE,
                        CREATE_NEW_CONSOLE | NORMAL_PRIORITY_CLASS, nullptr, nullptr, &startup,
                        &process)) {
        return -1;
    }
    int32_t result = -1;
    if (Wait) {
        WaitForSingleObject(process.hProcess, INFINITE);
        DWORD exitCode = 0;
        GetExitCodeProcess(process.hProcess, &exitCode);
        result = static_cast<int32_t>(exitCode);
    } else if (ProcessId) {
        *ProcessId = process.dwProcessId;
    }
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    return result;
}

bool RunElevatedAndWait(void* Wnd, const std::u16string& FileName,
                        const std::u16string& Parameters) {
    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof(info);
    info.fMask = SEE_MASK_NOCLOSEPROCESS;
    info.hwnd = static_cast<HWND>(Wnd);
    info.lpVerb = L"runas";
    info.lpFile = reinterpret_cast<const wchar_t*>(FileName.c_str());
    info.lpParameters =
        Parameters.empty() ? nullptr : reinterpret_cast<const wchar_t*>(Parameters.c_str());
    info.nShow = SW_HIDE;
    const bool accepted = ShellExecuteExW(&info) != FALSE;
    if (info.hProcess) {
        WaitForSingleObject(info.hProcess, INFINITE);
        CloseHandle(info.hProcess);
    }
    return accepted;
}
