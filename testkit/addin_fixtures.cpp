#include "testkit/addin_fixtures.h"

#include <gtest/gtest.h>

#include "addins/addin_uninstall.h"
#include "addins/clickonce_store.h"

const char* const ADDIN_NAME = "Orvalith Outlook Add-In";
const char* const ADDIN_DISPLAY_NAME = "Orvalith v5 Outlook Add-In";
const char* const UNINSTALL_TITLE = "Orvalith Uninstall";

void CreateTestFile(const std::string& path) {
    OWNED_HANDLE file(CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    EXPECT_TRUE(file.Valid()) << path;
    DWORD written = 0;
    WriteFile(file.Get(), "<assembly/>", 11, &written, nullptr);
}

CLICKONCE_STORE::CLICKONCE_STORE(const char* randomString)
    : key_(HKEY_CURRENT_USER, CLICKONCE_STORE_KEY),
      environment_("LOCALAPPDATA", localAppData_.Path()) {
    SetRandomString(randomString);
    // Each folder from LOCALAPPDATA down to the manifests.
    const std::string folder = ManifestsFolder();
    for (size_t end = localAppData_.Path().size(); end != std::string::npos;) {
        end = folder.find('\\', end + 1);
        EXPECT_TRUE(CreateDirectoryA(folder.substr(0, end).c_str(), nullptr)) << folder;
    }
}

void CLICKONCE_STORE::SetRandomString(const char* randomString) {
    if (randomString) {
        SetRegString(HKEY_CURRENT_USER, CLICKONCE_STORE_KEY, "ComponentStore_RandomString",
                     randomString);
        return;
    }
    RAW_KEY key;
    if (key.Open(HKEY_CURRENT_USER, CLICKONCE_STORE_KEY, KEY_SET_VALUE) == ERROR_SUCCESS)
        RegDeleteValueA(key.Handle(), "ComponentStore_RandomString");
}

void CLICKONCE_STORE::AddMark(const std::string& name, const std::string& identity) {
    SetRegString(HKEY_CURRENT_USER, std::string(CLICKONCE_MARKS_KEY) + "\\" + name, "identity",
                 identity);
}

void CLICKONCE_STORE::AddComponent(const std::string& name, const std::string& identity) {
    SetRegString(HKEY_CURRENT_USER, std::string(CLICKONCE_COMPONENTS_KEY) + "\\" + name, "identity",
                 identity);
}

UNINSTALL_ENTRY::UNINSTALL_ENTRY(const std::string& name, const std::string& displayName)
    : name_(name) {
    EXPECT_FALSE(RegKeyPresent(HKEY_CURRENT_USER, Path())) << Path() << " exists already";
    SetRegString(HKEY_CURRENT_USER, Path(), "DisplayName", displayName);
}

UNINSTALL_ENTRY::~UNINSTALL_ENTRY() {
    DeleteRegTree(HKEY_CURRENT_USER, Path());
    DeleteRegTree(HKEY_LOCAL_MACHINE, Path());
}

std::string UNINSTALL_ENTRY::Path() const {
    return std::string(UNINSTALL_ENTRIES_KEY) + "\\" + name_;
}

namespace {

BOOL CALLBACK CloseIfForeignDialog(HWND window, LPARAM) {
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process == GetCurrentProcessId() && IsWindowVisible(window) &&
        WindowClass(window) == "#32770") {
        PostMessageA(window, WM_COMMAND, IDOK, 0);
        PostMessageA(window, WM_CLOSE, 0, 0);
    }
    return TRUE;
}

} // namespace

FOREIGN_DIALOG_CLOSER::FOREIGN_DIALOG_CLOSER()
    : stop_(CreateEventA(nullptr, TRUE, FALSE, nullptr)),
      thread_(CreateThread(nullptr, 0, Run, this, 0, nullptr)) {
    EXPECT_TRUE(thread_.Valid());
}

FOREIGN_DIALOG_CLOSER::~FOREIGN_DIALOG_CLOSER() {
    SetEvent(stop_.Get());
    WaitForSingleObject(thread_.Get(), INFINITE);
}

DWORD WINAPI FOREIGN_DIALOG_CLOSER::Run(void* self) {
    while (WaitForSingleObject(static_cast<FOREIGN_DIALOG_CLOSER*>(self)->stop_.Get(), 100) ==
           WAIT_TIMEOUT)
        EnumWindows(CloseIfForeignDialog, 0);
    return 0;
}
