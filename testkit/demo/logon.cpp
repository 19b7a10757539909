// Makes a user's logon as Windows makes it for Active Setup: for each entry
// under HKEY_LOCAL_MACHINE "Software\Microsoft\Active Setup\Installed
// Components" with a StubPath whose Version is above the user's copy's (or
// whose user's copy is missing), runs the StubPath and waits for it, then
// writes the entry's Version into the user's copy. Then it waits for the
// programs the stubs left running in the background to end, as a session
// would go on while they work.
//
// Usage: demo_logon.exe JOURNAL [WAIT_FOR_NAME]
// The journal gets one line a stub: "ran<TAB>KEY<TAB>COMMAND<TAB>EXIT", and
// "left running<TAB>NAME" for a background program that did not end in time,
// followed by "running<TAB>NAMES": every process still running then, and
// "frozen<TAB>NAME<TAB>ID" for each such program in which not even a new
// thread runs any more (Wine no longer runs it).
#include <windows.h>

#include <tlhelp32.h>

#include <cstdio>
#include <string>
#include <vector>

#include "testkit/process_probe.h"

namespace {

const char* const COMPONENTS = "Software\\Microsoft\\Active Setup\\Installed Components";
const DWORD STUB_LIMIT_MS = 300000;
const DWORD BACKGROUND_LIMIT_MS = 600000;

// Owners of what the logon opens.
struct KEY {
    HKEY handle = nullptr;
    ~KEY() {
        if (handle)
            RegCloseKey(handle);
    }
};
struct HANDLE_OWNER {
    HANDLE handle = nullptr;
    ~HANDLE_OWNER() {
        if (handle && handle != INVALID_HANDLE_VALUE)
            CloseHandle(handle);
    }
};
struct JOURNAL {
    FILE* file = nullptr;
    ~JOURNAL() {
        if (file)
            std::fclose(file);
    }
};

std::string ReadString(HKEY root, const std::string& key, const char* name) {
    char data[2048] = "";
    DWORD size = sizeof(data) - 1;
    KEY opened;
    if (RegOpenKeyExA(root, key.c_str(), 0, KEY_READ, &opened.handle) != ERROR_SUCCESS)
        return "";
    DWORD type = 0;
    LONG result =
        RegQueryValueExA(opened.handle, name, nullptr, &type, reinterpret_cast<BYTE*>(data), &size);
    return result == ERROR_SUCCESS && (type == REG_SZ || type == REG_EXPAND_SZ) ? data : "";
}

// "1,0,0,0" as numbers; missing parts are 0.
std::vector<long> Version(const std::string& text) {
    std::vector<long> parts;
    size_t start = 0;
    while (start <= text.size() && !text.empty()) {
        size_t end = text.find_first_of(",.", start);
        parts.push_back(atol(text.substr(start, end - start).c_str()));
        if (end == std::string::npos)
            break;
        start = end + 1;
    }
    parts.resize(4, 0);
    return parts;
}

int RunAndWait(const std::string& command) {
    char expanded[4096];
    DWORD length = ExpandEnvironmentStringsA(command.c_str(), expanded, sizeof(expanded));
    std::string line = length && length <= sizeof(expanded) ? expanded : command;
    std::vector<char> buffer(line.begin(), line.end());
    buffer.push_back('\0');
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(nullptr, buffer.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process))
        return -1;
    HANDLE_OWNER thread{process.hThread}, child{process.hProcess};
    DWORD code = static_cast<DWORD>(-2);
    if (WaitForSingleObject(child.handle, STUB_LIMIT_MS) == WAIT_OBJECT_0)
        GetExitCodeProcess(child.handle, &code);
    return static_cast<int>(code);
}

struct RUNNING {
    std::string name;
    DWORD id;
};

// Every process running but this one.
std::vector<RUNNING> RunningProcesses() {
    HANDLE_OWNER snapshot{CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0)};
    PROCESSENTRY32 entry = {};
    entry.dwSize = sizeof entry;
    std::vector<RUNNING> processes;
    for (BOOL more = Process32First(snapshot.handle, &entry); more;
         more = Process32Next(snapshot.handle, &entry))
        if (entry.th32ProcessID != GetCurrentProcessId())
            processes.push_back({entry.szExeFile, entry.th32ProcessID});
    return processes;
}

bool Running(const char* name) {
    for (const RUNNING& running : RunningProcesses())
        if (lstrcmpiA(running.name.c_str(), name) == 0)
            return true;
    return false;
}

// Whether Wine still runs the process; one that cannot be opened is not a
// sign of anything.
bool Responds(DWORD id) {
    HANDLE_OWNER process{OpenProcess(PROCESS_CREATE_THREAD | PROCESS_QUERY_INFORMATION |
                                         PROCESS_VM_OPERATION | PROCESS_VM_WRITE | PROCESS_VM_READ |
                                         SYNCHRONIZE,
                                     FALSE, id)};
    return !process.handle || RunsNewThread(process.handle, PROBE_LIMIT_MS);
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2)
        return 2;
    JOURNAL journal{std::fopen(argv[1], "ab")};
    if (!journal.file)
        return 3;
    KEY components;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, COMPONENTS, 0, KEY_READ, &components.handle) ==
        ERROR_SUCCESS) {
        char name[256];
        for (DWORD i = 0;; ++i) {
            DWORD size = sizeof(name);
            if (RegEnumKeyExA(components.handle, i, name, &size, nullptr, nullptr, nullptr,
                              nullptr) != ERROR_SUCCESS)
                break;
            std::string key = std::string(COMPONENTS) + "\\" + name;
            std::string stub = ReadString(HKEY_LOCAL_MACHINE, key, "StubPath");
            std::string version = ReadString(HKEY_LOCAL_MACHINE, key, "Version");
            std::string mine = ReadString(HKEY_CURRENT_USER, key, "Version");
            if (stub.empty() || (!mine.empty() && Version(mine) >= Version(version)))
                continue;
            int code = RunAndWait(stub);
            std::fprintf(journal.file, "ran\t%s\t%s\t%d\n", name, stub.c_str(), code);
            KEY user;
            if (RegCreateKeyExA(HKEY_CURRENT_USER, key.c_str(), 0, nullptr, 0, KEY_SET_VALUE,
                                nullptr, &user.handle, nullptr) == ERROR_SUCCESS)
                RegSetValueExA(user.handle, "Version", 0, REG_SZ,
                               reinterpret_cast<const BYTE*>(version.c_str()),
                               static_cast<DWORD>(version.size() + 1));
        }
    }
    // What the stubs started goes on after them; the session lasts.
    if (argc > 2) {
        DWORD start = GetTickCount();
        Sleep(1000);
        while (Running(argv[2]) && GetTickCount() - start < BACKGROUND_LIMIT_MS)
            Sleep(500);
        if (Running(argv[2])) {
            std::vector<RUNNING> processes = RunningProcesses();
            std::string names;
            for (const RUNNING& running : processes)
                names += (names.empty() ? "" : ",") + running.name;
            std::fprintf(journal.file, "left running\t%s\nrunning\t%s\n", argv[2], names.c_str());
            for (const RUNNING& running : processes)
                if (lstrcmpiA(running.name.c_str(), argv[2]) == 0 && !Responds(running.id))
                    std::fprintf(journal.file, "frozen\t%s\t%lu\n", argv[2], running.id);
        }
    }
    return 0;
}
