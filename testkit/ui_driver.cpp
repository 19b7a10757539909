#include "testkit/ui_driver.h"

#include <fstream>
#include <sstream>

namespace {

const DWORD POLL_INTERVAL_MS = 20;

void PumpMessages() {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}

// Owns a search handle of FindFirstFile.
class FILE_SEARCH {
public:
    explicit FILE_SEARCH(HANDLE handle) : handle_(handle) {}
    ~FILE_SEARCH() {
        if (Valid())
            FindClose(handle_);
    }
    FILE_SEARCH(const FILE_SEARCH&) = delete;
    FILE_SEARCH& operator=(const FILE_SEARCH&) = delete;

    bool Valid() const { return handle_ != INVALID_HANDLE_VALUE; }
    HANDLE Get() const { return handle_; }

private:
    HANDLE handle_;
};

struct WINDOW_SEARCH {
    DWORD processId;
    const char* className;
    std::vector<HWND> found;
};

BOOL CALLBACK CollectTopLevel(HWND window, LPARAM parameter) {
    auto* search = reinterpret_cast<WINDOW_SEARCH*>(parameter);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner == search->processId && IsWindowVisible(window) &&
        lstrcmpiA(WindowClass(window).c_str(), search->className) == 0)
        search->found.push_back(window);
    return TRUE;
}

} // namespace

DATA_MODULE::DATA_MODULE(const std::string& path)
    : module_(LoadLibraryExA(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE)) {}

DATA_MODULE::~DATA_MODULE() {
    if (module_)
        FreeLibrary(module_);
}

bool PollUntil(const std::function<bool()>& done, DWORD timeoutMs) {
    DWORD start = GetTickCount();
    for (;;) {
        if (done())
            return true;
        if (GetTickCount() - start >= timeoutMs)
            return done();
        PumpMessages();
        // Waits for the interval, or less when a message for this thread
        // arrives, so that the test's own windows stay responsive.
        MsgWaitForMultipleObjects(0, nullptr, FALSE, POLL_INTERVAL_MS, QS_ALLINPUT);
    }
}

std::string ThisProgramFolder() {
    char path[MAX_PATH] = "";
    DWORD length = GetModuleFileNameA(nullptr, path, sizeof(path));
    std::string folder(path, length);
    return ParentFolder(folder);
}

std::string ParentFolder(const std::string& folder) {
    size_t slash = folder.find_last_of("\\/");
    return slash == std::string::npos ? std::string() : folder.substr(0, slash);
}

std::string ReadWholeFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream content;
    content << file.rdbuf();
    return content.str();
}

bool FileExists(const std::string& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::vector<std::string> FilesIn(const std::string& folder) {
    std::vector<std::string> names;
    WIN32_FIND_DATAA entry;
    FILE_SEARCH search(FindFirstFileA((folder + "\\*").c_str(), &entry));
    if (!search.Valid())
        return names;
    do {
        if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            names.push_back(entry.cFileName);
    } while (FindNextFileA(search.Get(), &entry));
    return names;
}

std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream stream(text);
    std::string line;
    while (std::getline(stream, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

ENVIRONMENT_OVERRIDE::ENVIRONMENT_OVERRIDE(const std::string& name, const char* value)
    : name_(name) {
    DWORD needed = GetEnvironmentVariableA(name.c_str(), nullptr, 0);
    if (needed > 0) {
        std::vector<char> buffer(needed);
        DWORD length = GetEnvironmentVariableA(name.c_str(), buffer.data(), needed);
        hadValue_ = length < needed;
        previous_.assign(buffer.data(), hadValue_ ? length : 0);
    }
    SetEnvironmentVariableA(name.c_str(), value);
}

ENVIRONMENT_OVERRIDE::~ENVIRONMENT_OVERRIDE() {
    SetEnvironmentVariableA(name_.c_str(), hadValue_ ? previous_.c_str() : nullptr);
}

CHILD_PROCESS::~CHILD_PROCESS() {
    Terminate();
}

bool CHILD_PROCESS::Start(const std::string& program, const std::string& arguments,
                          const std::string& folder) {
    std::string commandLine = "\"" + program + "\"";
    if (!arguments.empty())
        commandLine += " " + arguments;
    std::vector<char> writable(commandLine.begin(), commandLine.end());
    writable.push_back('\0');

    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info = {};
    if (!CreateProcessA(program.c_str(), writable.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        folder.empty() ? nullptr : folder.c_str(), &startup, &info))
        return false;
    process_.Reset(info.hProcess);
    thread_.Reset(info.hThread);
    id_ = info.dwProcessId;
    return true;
}

bool CHILD_PROCESS::HasExited() const {
    return WaitForExit(0);
}

bool CHILD_PROCESS::WaitForExit(DWORD timeoutMs) const {
    return Started() && WaitForSingleObject(process_.Get(), timeoutMs) == WAIT_OBJECT_0;
}

DWORD CHILD_PROCESS::ExitCode() const {
    DWORD code = STILL_ACTIVE;
    if (Started())
        GetExitCodeProcess(process_.Get(), &code);
    return code;
}

void CHILD_PROCESS::Terminate() {
    if (Started() && !HasExited()) {
        TerminateProcess(process_.Get(), 255);
        WaitForSingleObject(process_.Get(), 10000);
    }
}

std::string WindowClass(HWND window) {
    char name[256] = "";
    int length = GetClassNameA(window, name, sizeof(name));
    return std::string(name, length > 0 ? length : 0);
}

std::string WindowText(HWND window) {
    // Another process's window answers through its thread: a hung one must
    // not hang the driver with it.
    const UINT timeoutMs = 5000;
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutA(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, timeoutMs, &length))
        return std::string();
    std::vector<char> text(length + 1);
    DWORD_PTR copied = 0;
    if (!SendMessageTimeoutA(window, WM_GETTEXT, length + 1, reinterpret_cast<LPARAM>(text.data()),
                             SMTO_ABORTIFHUNG, timeoutMs, &copied))
        return std::string();
    return std::string(text.data(), copied > 0 && copied <= length ? copied : 0);
}

std::vector<HWND> TopLevelWindowsOf(DWORD processId, const char* className) {
    WINDOW_SEARCH search = {processId, className, {}};
    EnumWindows(CollectTopLevel, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

std::vector<CONTROL_INFO> DialogControls(HWND dialog) {
    std::vector<CONTROL_INFO> controls;
    for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        controls.push_back({child, GetDlgCtrlID(child), WindowClass(child), WindowText(child),
                            IsWindowVisible(child) != FALSE, IsWindowEnabled(child) != FALSE});
    }
    return controls;
}

std::vector<std::string> SHOWN_DIALOG::StaticTexts() const {
    std::vector<std::string> texts;
    for (const CONTROL_INFO& control : controls) {
        if (control.visible && !control.text.empty() &&
            lstrcmpiA(control.className.c_str(), "Static") == 0)
            texts.push_back(control.text);
    }
    return texts;
}

const CONTROL_INFO* SHOWN_DIALOG::Find(const char* className, int id) const {
    for (const CONTROL_INFO& control : controls) {
        if (control.id == id && lstrcmpiA(control.className.c_str(), className) == 0)
            return &control;
    }
    return nullptr;
}

const CONTROL_INFO* SHOWN_DIALOG::FindButton(const std::string& buttonText) const {
    for (const CONTROL_INFO& control : controls) {
        if (control.text == buttonText && lstrcmpiA(control.className.c_str(), "Button") == 0)
            return &control;
    }
    return nullptr;
}

bool SHOWN_DIALOG::IsClassicMessageBox() const {
    return Find("Static", MESSAGE_BOX_TEXT_ID) != nullptr;
}

bool SHOWN_DIALOG::ShowsIcon() const {
    for (const CONTROL_INFO& control : controls) {
        DWORD_PTR icon = 0;
        if (lstrcmpiA(control.className.c_str(), "Static") == 0 &&
            SendMessageTimeoutA(control.window, STM_GETICON, 0, 0, SMTO_ABORTIFHUNG, 5000, &icon) &&
            icon != 0)
            return true;
    }
    return false;
}

SHOWN_DIALOG WaitForDialog(const CHILD_PROCESS& process, DWORD timeoutMs) {
    SHOWN_DIALOG dialog;
    PollUntil(
        [&] {
            std::vector<HWND> windows = TopLevelWindowsOf(process.Id(), "#32770");
            if (!windows.empty()) {
                dialog.window = windows.front();
                return true;
            }
            return process.HasExited();
        },
        timeoutMs);
    if (dialog.window) {
        dialog.title = WindowText(dialog.window);
        dialog.controls = DialogControls(dialog.window);
    }
    return dialog;
}

void AnswerDialog(HWND dialog, int buttonId) {
    // Posted, so that a hung program cannot hang the test.
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(buttonId, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, buttonId)));
}

namespace {
DWORD WINAPI RunWork(void* parameter) {
    (*static_cast<const std::function<void()>*>(parameter))();
    return 0;
}
} // namespace

void RunOnNewThread(const std::function<void()>& work) {
    OWNED_HANDLE thread(
        CreateThread(nullptr, 0, RunWork, const_cast<std::function<void()>*>(&work), 0, nullptr));
    if (thread.Valid())
        WaitForSingleObject(thread.Get(), INFINITE);
}
