#include "tests/addins/addin_test_support.h"

#include <gtest/gtest.h>

#include "addins/addin_uninstall.h"
#include "addins/clickonce_store.h"

const char* const ADDIN_NAME = "Orvalith Outlook Add-In";
const char* const ADDIN_DISPLAY_NAME = "Orvalith v5 Outlook Add-In";
const char* const UNINSTALL_TITLE = "Orvalith Uninstall";

CLICKONCE_STORE::CLICKONCE_STORE(const char* randomString)
    : key_(HKEY_CURRENT_USER, CLICKONCE_STORE_KEY),
      environment_("LOCALAPPDATA", localAppData_.Path()) {
    SetRandomString(randomString);
    EXPECT_TRUE(CreateDirectoryA((localAppData_.Path() + "\\Apps").c_str(), nullptr));
    EXPECT_TRUE(CreateDirectoryA((localAppData_.Path() + "\\Apps\\2.0").c_str(), nullptr));
    EXPECT_TRUE(
        CreateDirectoryA((localAppData_.Path() + "\\Apps\\2.0\\ABCDEFGH.1JK").c_str(), nullptr));
    EXPECT_TRUE(CreateDirectoryA(
        (localAppData_.Path() + "\\Apps\\2.0\\ABCDEFGH.1JK\\LMNOPQR2.TUV").c_str(), nullptr));
    EXPECT_TRUE(CreateDirectoryA(ManifestsFolder().c_str(), nullptr));
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

std::string CLICKONCE_STORE::ManifestsFolder() const {
    return localAppData_.Path() + "\\Apps\\2.0\\ABCDEFGH.1JK\\LMNOPQR2.TUV\\manifests";
}

void CLICKONCE_STORE::AddManifest(const std::string& name) {
    std::string path = ManifestsFolder() + "\\" + name + ".manifest";
    OWNED_HANDLE file(CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    EXPECT_TRUE(file.Valid()) << path;
    const char content[] = "<assembly/>";
    DWORD written = 0;
    WriteFile(file.Get(), content, sizeof(content) - 1, &written, nullptr);
}

std::string CLICKONCE_STORE::ManifestPath(const std::string& name) const {
    return ManifestsFolder() + "\\" + name + ".manifest";
}

bool CLICKONCE_STORE::HasManifest(const std::string& name) const {
    return FileExists(ManifestsFolder() + "\\" + name + ".manifest");
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

void UNINSTALL_ENTRY::SetCommand(HKEY root, const std::string& command) {
    SetRegString(root, Path(), "UninstallString", command);
}

bool UNINSTALL_ENTRY::Present() const {
    return RegKeyPresent(HKEY_CURRENT_USER, Path());
}

std::string FakeUninstallerPath() {
    return ThisProgramFolder() + "\\fake_addin_uninstaller.exe";
}

UNINSTALLER_JOURNAL::UNINSTALLER_JOURNAL()
    : environment_("ORVALITH_FAKE_UNINSTALLER_JOURNAL", folder_.File("journal.txt")) {}

std::vector<std::string> UNINSTALLER_JOURNAL::Starts() const {
    return SplitLines(ReadWholeFile(folder_.File("journal.txt")));
}

namespace {

BOOL CALLBACK CloseIfForeignDialog(HWND window, LPARAM closed) {
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process == GetCurrentProcessId() && IsWindowVisible(window) &&
        WindowClass(window) == "#32770") {
        PostMessageA(window, WM_COMMAND, IDOK, 0);
        PostMessageA(window, WM_CLOSE, 0, 0);
        InterlockedIncrement(reinterpret_cast<volatile LONG*>(closed));
    }
    return TRUE;
}

} // namespace

FOREIGN_DIALOG_CLOSER::FOREIGN_DIALOG_CLOSER()
    : stop_(CreateEventA(nullptr, TRUE, FALSE, nullptr)) {
    thread_.Reset(CreateThread(nullptr, 0, Run, this, 0, nullptr));
    EXPECT_TRUE(thread_.Valid());
}

FOREIGN_DIALOG_CLOSER::~FOREIGN_DIALOG_CLOSER() {
    SetEvent(stop_.Get());
    WaitForSingleObject(thread_.Get(), INFINITE);
}

DWORD WINAPI FOREIGN_DIALOG_CLOSER::Run(void* self) {
    FOREIGN_DIALOG_CLOSER* closer = static_cast<FOREIGN_DIALOG_CLOSER*>(self);
    while (WaitForSingleObject(closer->stop_.Get(), 100) == WAIT_TIMEOUT)
        EnumWindows(CloseIfForeignDialog, reinterpret_cast<LPARAM>(&closer->closed_));
    return 0;
}
