// Plays the person at the keyboard for one run of the uninstaller: starts it
// as the first phase of the product's uninstaller would, reads every message
// box and task dialog it shows (caption, icon, texts, buttons), answers them
// from a script after giving them time to be read, samples the rows of the
// progress dialog, takes pictures of what is on the screen, and journals all
// of it, one JSON object a line, with the exit code at the end. It gives up,
// and says why, when the run takes longer than its time limit.
//
// Usage: demo_driver.exe RUN_FILE, or demo_driver.exe --program PATH
//   [--arguments TEXT] [--folder DIR] [--answers A,B] [--journal FILE]
//   [--pictures DIR] [--limit SECONDS] [--helper PATH] [--also PATH]
//   [--hold FILE] [--read-ms N] [--cut CONDITION] [--hold-started yes]
// (--helper starts the add-in helper and waits for its window, --also starts
// another program first, --hold keeps a file open, --cut ends the uninstaller
// part-way, --hold-started holds the add-in's uninstaller until the cut).
// The run file holds lines "name=value":
//   program=     the uninstaller to start (full path)
//   arguments=   its command line after the program name
//   folder=      its working folder
//   answers=     comma-separated button texts, used in turn; "OK" after them
//   background=  a program started first and left running ("path|arguments");
//                may be given more than once
//   wait_window= class|title of a message-only window to wait for before the
//                run starts (the add-in helper's)
//   read_ms=     how long each window is left on screen before it is answered
//   timeout_s=   the time limit of the whole run
//   hold_open=   a file kept open (shared for reading only) during the run
//   cut=         ends the uninstaller with TerminateProcess as soon as the
//                condition holds, as a user or a restart would: "gone|FILE"
//                (the file no longer exists) or "lines|FILE|TEXT|N" (N lines
//                of FILE hold TEXT); the programs it started run on to their
//                end, as they would
//   arm=         a condition as for cut= after which the uninstaller's first
//                thread runs in slices of a fraction of a millisecond and the
//                cut's condition is looked at while it stands still: the cut
//                then falls within a few calls of its condition, however
//                busy the machine
//   hold_started= "yes": the add-in's stand-in uninstaller, once started,
//                waits until the cut (through ORVALITH_FAKE_UNINSTALLER_HOLD)
//   out=         the folder for the journal and the pictures
//   journal=     the journal file (default out\driver-journal.jsonl)
//   pictures=    the folder for the pictures (default out)
//
// Journal events: "driver", "background", "helper window", "holding open",
// "start", "message" (title, kind, icon, texts, buttons), "answer" (button),
// "progress" (title, rows as "label=state", state "hidden", "grey", or
// "black" followed by the row's result), "window" (any other visible window
// of the uninstaller: class, title), "problem" and "gave-up" (text),
// "armed", "cut" (condition), "children ended" ("still running": the names
// of those that did not), "left running" (programs), "exit" (code),
// "driver done"; each with "t", seconds since the start.
#include <windows.h>

#include <tlhelp32.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "system/system_info.h"
#include "testkit/progress_layout.h"
#include "testkit/process_probe.h"
#include "testkit/ui_driver.h"

namespace {

const char* const PROGRESS_TITLES[] = {"Orvalith Uninstall Progress", "Undoing Orvalith Setup"};
const char* const HELPER_WINDOW = "@ORVALITHADDINHELPERCLASS@|@ORVALITHADDINHELPERTITLE@";
const DWORD POLL_MS = 100;
// How often a cut's condition is looked at: the steps it falls in take a
// few milliseconds.
const DWORD CUT_POLL_MS = 1;
const DWORD CHILDREN_END_MS = 120000;
const LONGLONG SLICE_US = 200;
const DWORD FIRST_SIGHT_SETTLE_MS = 300;
const int MAX_PROGRESS_PICTURES = 12;

std::string JsonText(const std::string& text) {
    std::string out = "\"";
    for (unsigned char c : text) {
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (c < 0x20) {
                char escaped[8];
                std::snprintf(escaped, sizeof(escaped), "\\u%04x", c);
                out += escaped;
            } else if (c >= 0x80) {
                // The ANSI code page of the run is Windows-1252.
                char escaped[8];
                std::snprintf(escaped, sizeof(escaped), "\\u%04x", c);
                out += escaped;
            } else {
                out += static_cast<char>(c);
            }
        }
    }
    return out + "\"";
}

std::string JsonList(const std::vector<std::string>& items) {
    std::string out = "[";
    for (size_t i = 0; i < items.size(); ++i)
        out += (i ? "," : "") + JsonText(items[i]);
    return out + "]";
}

// Owns the journal file; every line is written through at once, so that a
// run that is killed still leaves what it saw.
class JOURNAL {
public:
    explicit JOURNAL(const std::string& path)
        : file_(CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr)),
          start_(GetTickCount()) {}
    ~JOURNAL() {
        if (file_ != INVALID_HANDLE_VALUE)
            CloseHandle(file_);
    }
    JOURNAL(const JOURNAL&) = delete;
    JOURNAL& operator=(const JOURNAL&) = delete;

    bool Valid() const { return file_ != INVALID_HANDLE_VALUE; }
    DWORD Elapsed() const { return GetTickCount() - start_; }

    // fields: the rest of the object after "event", starting with a comma.
    void Write(const std::string& event, const std::string& fields = std::string()) {
        char seconds[32];
        std::snprintf(seconds, sizeof(seconds), "%.3f", Elapsed() / 1000.0);
        std::string line = std::string("{\"t\":") + seconds +
                           ",\"ms\":" + std::to_string(Elapsed()) +
                           ",\"tick\":" + std::to_string(GetTickCount()) +
                           ",\"event\":" + JsonText(event) + fields + "}\n";
        DWORD written = 0;
        if (Valid())
            WriteFile(file_, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    }

private:
    HANDLE file_;
    DWORD start_;
};

std::map<std::string, std::vector<std::string>> ReadRunFile(const std::string& path) {
    std::map<std::string, std::vector<std::string>> settings;
    for (const std::string& line : SplitLines(ReadWholeFile(path))) {
        size_t equals = line.find('=');
        if (equals != std::string::npos)
            settings[line.substr(0, equals)].push_back(line.substr(equals + 1));
    }
    return settings;
}

std::vector<std::string> SplitAt(const std::string& text, char separator) {
    std::vector<std::string> parts;
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find(separator, start);
        if (end == std::string::npos)
            end = text.size();
        parts.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return parts;
}

std::string WithoutAmpersands(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c != '&')
            out += c;
    }
    return out;
}

// Owns a screen-compatible memory bitmap and its device context.
class SCREEN_COPY {
public:
    SCREEN_COPY(int width, int height)
        : screen_(GetDC(nullptr)), memory_(CreateCompatibleDC(screen_)),
          bitmap_(CreateCompatibleBitmap(screen_, width, height)),
          previous_(bitmap_ ? SelectObject(memory_, bitmap_) : nullptr) {}
    ~SCREEN_COPY() {
        if (previous_)
            SelectObject(memory_, previous_);
        if (bitmap_)
            DeleteObject(bitmap_);
        if (memory_)
            DeleteDC(memory_);
        ReleaseDC(nullptr, screen_);
    }
    SCREEN_COPY(const SCREEN_COPY&) = delete;
    SCREEN_COPY& operator=(const SCREEN_COPY&) = delete;

    bool Valid() const { return screen_ && memory_ && bitmap_ && previous_; }
    HDC Screen() const { return screen_; }
    HDC Memory() const { return memory_; }
    HBITMAP Bitmap() const { return bitmap_; }

private:
    HDC screen_;
    HDC memory_;
    HBITMAP bitmap_;
    HGDIOBJ previous_;
};

// Writes what the screen shows inside rect, with a margin, as a 24-bit BMP.
bool SaveScreenPicture(RECT rect, const std::string& path) {
    const int margin = 12;
    int screenWidth = GetSystemMetrics(SM_CXSCREEN);
    int screenHeight = GetSystemMetrics(SM_CYSCREEN);
    rect.left = rect.left - margin < 0 ? 0 : rect.left - margin;
    rect.top = rect.top - margin < 0 ? 0 : rect.top - margin;
    rect.right = rect.right + margin > screenWidth ? screenWidth : rect.right + margin;
    rect.bottom = rect.bottom + margin > screenHeight ? screenHeight : rect.bottom + margin;
    int width = rect.right - rect.left;
    int height = rect.bottom - rect.top;
    if (width <= 0 || height <= 0)
        return false;
    SCREEN_COPY copy(width, height);
    if (!copy.Valid() ||
        !BitBlt(copy.Memory(), 0, 0, width, height, copy.Screen(), rect.left, rect.top, SRCCOPY))
        return false;
    BITMAPINFOHEADER header = {};
    header.biSize = sizeof(header);
    header.biWidth = width;
    header.biHeight = height;
    header.biPlanes = 1;
    header.biBitCount = 24;
    header.biCompression = BI_RGB;
    int stride = (width * 3 + 3) & ~3;
    std::vector<BYTE> pixels(static_cast<size_t>(stride) * height);
    if (!GetDIBits(copy.Memory(), copy.Bitmap(), 0, height, pixels.data(),
                   reinterpret_cast<BITMAPINFO*>(&header), DIB_RGB_COLORS))
        return false;
    BITMAPFILEHEADER fileHeader = {};
    fileHeader.bfType = 0x4D42;
    fileHeader.bfOffBits = sizeof(fileHeader) + sizeof(header);
    fileHeader.bfSize = fileHeader.bfOffBits + static_cast<DWORD>(pixels.size());
    std::string bytes(reinterpret_cast<const char*>(&fileHeader), sizeof(fileHeader));
    bytes.append(reinterpret_cast<const char*>(&header), sizeof(header));
    bytes.append(reinterpret_cast<const char*>(pixels.data()), pixels.size());
    OWNED_HANDLE file(CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD written = 0;
    bool ok =
        file.Valid() &&
        WriteFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
        written == bytes.size();
    return ok;
}

// The 32 x 32 pixels at the top left of rect as the screen shows them, or of
// icon drawn on background when icon is given; empty when unreadable.
std::vector<BYTE> IconPixels(const RECT& rect, HICON icon, COLORREF background) {
    const int size = 32;
    SCREEN_COPY copy(size, size);
    if (!copy.Valid())
        return {};
    if (icon) {
        RECT all = {0, 0, size, size};
        HBRUSH brush = CreateSolidBrush(background);
        FillRect(copy.Memory(), &all, brush);
        DeleteObject(brush);
        if (!DrawIconEx(copy.Memory(), 0, 0, icon, size, size, 0, nullptr, DI_NORMAL))
            return {};
    } else if (!BitBlt(copy.Memory(), 0, 0, size, size, copy.Screen(), rect.left, rect.top,
                       SRCCOPY)) {
        return {};
    }
    BITMAPINFOHEADER header = {};
    header.biSize = sizeof(header);
    header.biWidth = size;
    header.biHeight = size;
    header.biPlanes = 1;
    header.biBitCount = 24;
    header.biCompression = BI_RGB;
    std::vector<BYTE> pixels(size * size * 3);
    if (!GetDIBits(copy.Memory(), copy.Bitmap(), 0, size, pixels.data(),
                   reinterpret_cast<BITMAPINFO*>(&header), DIB_RGB_COLORS))
        return {};
    return pixels;
}

// Which of the system's message icons a dialog shows: "error", "warning",
// "question" or "information", told by comparing what the screen shows with
// each icon drawn here (another process's icon handle cannot be read);
// "" when no Static shows an icon.
std::string IconName(const SHOWN_DIALOG& dialog) {
    for (const CONTROL_INFO& control : dialog.controls) {
        DWORD_PTR icon = 0;
        RECT rect;
        if (lstrcmpiA(control.className.c_str(), "Static") != 0 ||
            !SendMessageTimeoutA(control.window, STM_GETICON, 0, 0, SMTO_ABORTIFHUNG, 5000,
                                 &icon) ||
            icon == 0 || !GetWindowRect(control.window, &rect))
            continue;
        std::vector<BYTE> shown = IconPixels(rect, nullptr, 0);
        if (shown.empty())
            return "shown";
        COLORREF background = RGB(shown[2], shown[1], shown[0]);
        const std::pair<LPCSTR, const char*> known[] = {{IDI_HAND, "error"},
                                                        {IDI_EXCLAMATION, "warning"},
                                                        {IDI_QUESTION, "question"},
                                                        {IDI_ASTERISK, "information"}};
        std::string best = "shown";
        unsigned long bestDistance = ~0ul;
        for (const auto& candidate : known) {
            std::vector<BYTE> drawn =
                IconPixels(rect, LoadIconA(nullptr, candidate.first), background);
            if (drawn.size() != shown.size())
                continue;
            unsigned long distance = 0;
            for (size_t i = 0; i < drawn.size(); ++i)
                distance += static_cast<unsigned long>(abs(drawn[i] - shown[i]));
            if (distance < bestDistance) {
                bestDistance = distance;
                best = candidate.second;
            }
        }
        return best;
    }
    return "";
}

struct PROCESS_WINDOWS {
    DWORD processId;
    std::vector<HWND> found;
};

BOOL CALLBACK CollectVisible(HWND window, LPARAM parameter) {
    auto* search = reinterpret_cast<PROCESS_WINDOWS*>(parameter);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner == search->processId && IsWindowVisible(window))
        search->found.push_back(window);
    return TRUE;
}

// Every visible top-level window of the process, whatever its class.
std::vector<HWND> VisibleWindowsOf(DWORD processId) {
    PROCESS_WINDOWS search = {processId, {}};
    EnumWindows(CollectVisible, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

bool IsProgressDialog(const std::string& title) {
    for (const char* progressTitle : PROGRESS_TITLES) {
        if (title == progressTitle)
            return true;
    }
    return false;
}

// One sample of the progress dialog's rows, each "label=state": "hidden",
// "grey", or "black" followed by the row's result ("Done", "Failed!") once
// it has one.
std::string ProgressFields(HWND dialog) {
    std::vector<std::string> rows;
    for (const auto& [labelId, resultId] : ProgressRows()) {
        HWND label = GetDlgItem(dialog, labelId);
        HWND result = GetDlgItem(dialog, resultId);
        std::string state = !label || !IsWindowVisible(label) ? "hidden"
                            : IsWindowEnabled(label)          ? "black"
                                                              : "grey";
        std::string resultText = result && IsWindowVisible(result) ? WindowText(result) : "";
        if (!resultText.empty())
            state += " " + resultText;
        rows.push_back((label ? WindowText(label) : std::to_string(labelId)) + "=" + state);
    }
    HWND status = GetDlgItem(dialog, PROGRESS_STATUS_LINE_ID);
    return ",\"title\":" + JsonText(WindowText(dialog)) + ",\"rows\":" + JsonList(rows) +
           ",\"status\":" + JsonText(status ? WindowText(status) : "");
}

class DRIVER {
public:
    explicit DRIVER(std::map<std::string, std::vector<std::string>> settings)
        : settings_(std::move(settings)), out_(Setting("out", ".")),
          pictureFolder_(Setting("pictures", out_)),
          journal_(Setting("journal", out_ + "\\driver-journal.jsonl")) {
        for (const std::string& answer : SplitAt(Setting("answers"), ',')) {
            if (!answer.empty())
                answers_.push_back(answer);
        }
        readMs_ = static_cast<DWORD>(atoi(Setting("read_ms", "800").c_str()));
        if (readMs_ < FIRST_SIGHT_SETTLE_MS)
            readMs_ = FIRST_SIGHT_SETTLE_MS;
        timeoutMs_ = static_cast<DWORD>(atoi(Setting("timeout_s", "300").c_str())) * 1000;
    }

    int Run() {
        if (!journal_.Valid())
            return 4;
        journal_.Write("driver", ",\"read_ms\":" + std::to_string(readMs_) +
                                     ",\"timeout_s\":" + std::to_string(timeoutMs_ / 1000) +
                                     ",\"answers\":" + JsonList(answers_));
        StartBackground();
        HoldOpen();
        if (!WaitForHelperWindow())
            return Finish(5);
        HoldStarted();
        CHILD_PROCESS& uninstaller =
            Start(Setting("program"), Setting("arguments"), Setting("folder"), "start");
        if (!uninstaller.Started())
            return Finish(6);
        while (!uninstaller.HasExited()) {
            if (journal_.Elapsed() > timeoutMs_) {
                GiveUp(uninstaller);
                return Finish(3);
            }
            Look(uninstaller);
            if (WatchForCut(uninstaller)) {
                Cut(uninstaller);
                return Finish(0);
            }
        }
        journal_.Write("exit",
                       ",\"code\":" + std::to_string(static_cast<int>(uninstaller.ExitCode())));
        // The questionnaire's browser, started by the uninstaller as it
        // ends, is waited for as a person waits for the page.
        WaitForChildren(uninstaller.Id());
        return Finish(0);
    }

private:
    // The stand-ins that parent started, whose records the checks read, and
    // that still run, by name. Wine's own programs (its desktop, started by
    // whichever program first needs it) and Outlook as a server of its own
    // are left out: they end by their own rules.
    static std::vector<std::pair<OWNED_HANDLE, std::string>> ChildrenOf(DWORD parent) {
        std::vector<std::pair<OWNED_HANDLE, std::string>> children;
        OWNED_HANDLE snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
        PROCESSENTRY32 entry = {};
        entry.dwSize = sizeof entry;
        for (BOOL more = snapshot.Valid() && Process32First(snapshot.Get(), &entry); more;
             more = Process32Next(snapshot.Get(), &entry)) {
            if (entry.th32ParentProcessID == parent &&
                (!lstrcmpiA(entry.szExeFile, "url_recorder.exe") ||
                 !lstrcmpiA(entry.szExeFile, "fake_addin_uninstaller.exe")))
                children.emplace_back(OpenProcess(SYNCHRONIZE, FALSE, entry.th32ProcessID),
                                      entry.szExeFile);
        }
        return children;
    }

    // Waits for them to end; the limit is only a guard against one that
    // never does.
    void WaitForChildren(DWORD parent) {
        std::vector<std::string> running;
        for (const auto& [child, name] : ChildrenOf(parent)) {
            if (!child.Valid() ||
                WaitForSingleObject(child.Get(), CHILDREN_END_MS) != WAIT_OBJECT_0)
                running.push_back(name);
        }
        journal_.Write("children ended", ",\"still running\":" + JsonList(running));
    }

    // The add-in's stand-in uninstaller waits for this event once started.
    void HoldStarted() {
        if (Setting("hold_started") != "yes")
            return;
        std::string name = "OrvalithDemoHold" + std::to_string(GetCurrentProcessId());
        hold_ = OWNED_HANDLE(CreateEventA(nullptr, TRUE, FALSE, name.c_str()));
        SetEnvironmentVariableA("ORVALITH_FAKE_UNINSTALLER_HOLD", name.c_str());
    }

    // A file's text, read without keeping its writer out.
    static std::string SharedText(const std::string& path) {
        OWNED_HANDLE file(CreateFileA(path.c_str(), GENERIC_READ,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        std::string text;
        char buffer[4096];
        DWORD got = 0;
        while (file.Valid() && ReadFile(file.Get(), buffer, sizeof buffer, &got, nullptr) && got)
            text.append(buffer, got);
        return text;
    }

    bool ConditionHolds(const std::string& condition) const {
        std::vector<std::string> parts = SplitAt(condition, '|');
        if (parts[0] == "gone" && parts.size() == 2)
            return GetFileAttributesA(parts[1].c_str()) == INVALID_FILE_ATTRIBUTES;
        if (parts[0] != "lines" || parts.size() != 4)
            return false;
        int count = 0;
        for (const std::string& line : SplitLines(SharedText(parts[1])))
            count += line.find(parts[2]) != std::string::npos;
        return count >= atoi(parts[3].c_str());
    }

    // Waits one poll; true when the cut's condition holds, looked at every
    // millisecond meanwhile.
    bool WatchForCut(const CHILD_PROCESS& uninstaller) {
        if (Setting("cut").empty()) {
            Sleep(POLL_MS);
            return false;
        }
        for (DWORD start = GetTickCount(); GetTickCount() - start < POLL_MS;) {
            if (!armed_ && !Setting("arm").empty() && ConditionHolds(Setting("arm"))) {
                armed_ = true;
                journal_.Write("armed");
            }
            if (armed_)
                return StepUntilCut(uninstaller);
            if (ConditionHolds(Setting("cut")))
                return true;
            if (uninstaller.WaitForExit(CUT_POLL_MS))
                return false;
        }
        return false;
    }

    // Lets the uninstaller's first thread run in short slices until the
    // cut's condition holds (the thread then stands still) or it ends.
    bool StepUntilCut(const CHILD_PROCESS& uninstaller) const {
        LARGE_INTEGER frequency, start, now;
        QueryPerformanceFrequency(&frequency);
        for (;;) {
            if (SuspendThread(uninstaller.MainThread()) == static_cast<DWORD>(-1))
                return false;
            if (ConditionHolds(Setting("cut")))
                return true;
            ResumeThread(uninstaller.MainThread());
            if (uninstaller.HasExited() || journal_.Elapsed() > timeoutMs_)
                return false;
            QueryPerformanceCounter(&start);
            do
                QueryPerformanceCounter(&now);
            while ((now.QuadPart - start.QuadPart) * 1000000 < SLICE_US * frequency.QuadPart);
        }
    }

    // Ends the uninstaller where it is. The add-in's uninstaller, when held,
    // is let go and runs to its end, as it would; anything else it started
    // (Outlook, as a server whose client died) runs on until the machine's
    // session ends, as it would until a restart.
    void Cut(CHILD_PROCESS& uninstaller) {
        uninstaller.Terminate();
        journal_.Write("cut", ",\"condition\":" + JsonText(Setting("cut")) +
                                  ",\"ended\":" + (uninstaller.HasExited() ? "true" : "false"));
        if (hold_.Valid()) {
            SetEvent(hold_.Get());
            WaitForChildren(uninstaller.Id());
        } else {
            std::vector<std::string> running;
            for (const auto& child : ChildrenOf(uninstaller.Id()))
                running.push_back(child.second);
            journal_.Write("left running", ",\"programs\":" + JsonList(running));
        }
    }

    std::string Setting(const std::string& name, const std::string& fallback = "") const {
        auto found = settings_.find(name);
        return found == settings_.end() || found->second.empty() ? fallback : found->second[0];
    }

    CHILD_PROCESS& Start(const std::string& program, const std::string& arguments,
                         const std::string& folder, const char* event) {
        processes_.push_back(std::make_unique<CHILD_PROCESS>());
        CHILD_PROCESS& child = *processes_.back();
        bool started = child.Start(program, arguments, folder);
        journal_.Write(event, ",\"program\":" + JsonText(program) + ",\"arguments\":" +
                                  JsonText(arguments) + ",\"folder\":" + JsonText(folder) +
                                  ",\"started\":" + (started ? "true" : "false") +
                                  ",\"error\":" + std::to_string(started ? 0 : GetLastError()));
        return child;
    }

    void StartBackground() {
        auto found = settings_.find("background");
        if (found == settings_.end())
            return;
        for (const std::string& line : found->second) {
            std::vector<std::string> parts = SplitAt(line, '|');
            CHILD_PROCESS& child =
                Start(parts[0], parts.size() > 1 ? parts[1] : "", "", "background");
            if (child.Started())
                WaitForInputIdle(child.Handle(), 30000);
        }
    }

    // Another program's open handle keeps the file from being deleted.
    void HoldOpen() {
        std::string path = Setting("hold_open");
        if (path.empty())
            return;
        heldFile_ = OWNED_HANDLE(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                             OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        journal_.Write("holding open", ",\"file\":" + JsonText(path) +
                                           ",\"opened\":" + (heldFile_.Valid() ? "true" : "false"));
    }

    bool WaitForHelperWindow() {
        std::string wanted = Setting("wait_window");
        if (wanted.empty())
            return true;
        std::vector<std::string> parts = SplitAt(wanted, '|');
        std::string title = parts.size() > 1 ? parts[1] : "";
        bool found = PollUntil(
            [&] {
                return FindWindowExA(HWND_MESSAGE, nullptr, parts[0].c_str(), title.c_str()) !=
                       nullptr;
            },
            30000);
        journal_.Write(found ? "helper window" : "gave-up",
                       found ? ",\"class\":" + JsonText(parts[0])
                             : ",\"text\":" +
                                   JsonText("the window " + wanted + " did not appear in 30 s"));
        return found;
    }

    std::string Picture(HWND window, const std::string& what) {
        RECT rect;
        if (!GetWindowRect(window, &rect))
            return "";
        char name[64];
        std::snprintf(name, sizeof(name), "shot-%02d-%s.bmp", ++pictures_, what.c_str());
        return SaveScreenPicture(rect, pictureFolder_ + "\\" + name) ? name : "";
    }

    void Look(const CHILD_PROCESS& uninstaller) {
        for (HWND window : TopLevelWindowsOf(uninstaller.Id(), "#32770")) {
            std::string title = WindowText(window);
            if (IsProgressDialog(title))
                SampleProgress(window);
            else if (answered_.insert(window).second)
                Answer(window);
        }
        // Windows of any other kind are only told: a quiet run must show none.
        for (HWND window : VisibleWindowsOf(uninstaller.Id())) {
            std::string kind = WindowClass(window);
            if (kind != "#32770" && answered_.insert(window).second)
                journal_.Write("window", ",\"class\":" + JsonText(kind) +
                                             ",\"title\":" + JsonText(WindowText(window)) +
                                             ",\"picture\":" + JsonText(Picture(window, "window")));
        }
    }

    void SampleProgress(HWND dialog) {
        std::string fields = ProgressFields(dialog);
        // A dialog that went away while it was read reads as blank rows.
        if (!IsWindow(dialog) || !IsProgressDialog(WindowText(dialog)))
            return;
        if (fields == lastProgress_)
            return;
        lastProgress_ = fields;
        std::string shot;
        if (progressPictures_ < MAX_PROGRESS_PICTURES) {
            ++progressPictures_;
            shot = Picture(dialog, "progress");
        }
        journal_.Write("progress", fields + ",\"picture\":" + JsonText(shot));
    }

    void Answer(HWND window) {
        DWORD seen = journal_.Elapsed();
        // Texts and buttons may still be filled in just after the window
        // shows; a person needs time to read it anyway.
        Sleep(FIRST_SIGHT_SETTLE_MS);
        // A window gone before it could be read was the progress dialog
        // ending (its title already blank), not a message.
        if (!IsWindow(window))
            return;
        SHOWN_DIALOG dialog;
        dialog.window = window;
        dialog.title = WindowText(window);
        dialog.controls = DialogControls(window);
        std::vector<std::string> buttons;
        std::vector<int> buttonIds;
        for (const CONTROL_INFO& control : dialog.controls) {
            if (control.visible && lstrcmpiA(control.className.c_str(), "Button") == 0) {
                buttons.push_back(WithoutAmpersands(control.text));
                buttonIds.push_back(control.id);
            }
        }
        std::string shot = Picture(window, "message");
        std::string answer = next_ < answers_.size() ? answers_[next_++] : "OK";
        int chosen = -1;
        for (size_t i = 0; i < buttons.size(); ++i) {
            if (lstrcmpiA(buttons[i].c_str(), answer.c_str()) == 0)
                chosen = static_cast<int>(i);
        }
        std::string note;
        if (chosen < 0 && !buttons.empty()) {
            note = "no button \"" + answer + "\": pressed the first one";
            chosen = 0;
            answer = buttons[0];
        }
        journal_.Write("message",
                       ",\"seen_ms\":" + std::to_string(seen) +
                           ",\"title\":" + JsonText(dialog.title) + ",\"kind\":" +
                           JsonText(dialog.IsClassicMessageBox() ? "message box" : "task dialog") +
                           ",\"icon\":" + JsonText(IconName(dialog)) +
                           ",\"texts\":" + JsonList(dialog.StaticTexts()) +
                           ",\"buttons\":" + JsonList(buttons) + ",\"picture\":" + JsonText(shot));
        if (readMs_ > FIRST_SIGHT_SETTLE_MS)
            Sleep(readMs_ - FIRST_SIGHT_SETTLE_MS);
        if (!note.empty())
            journal_.Write("problem", ",\"text\":" + JsonText(note));
        journal_.Write("answer", ",\"button\":" + JsonText(answer));
        if (chosen >= 0)
            AnswerDialog(window, buttonIds[chosen]);
    }

    void GiveUp(CHILD_PROCESS& uninstaller) {
        std::vector<std::string> showing;
        for (HWND window : TopLevelWindowsOf(uninstaller.Id(), "#32770")) {
            SHOWN_DIALOG dialog;
            dialog.controls = DialogControls(window);
            std::string texts;
            for (const std::string& text : dialog.StaticTexts())
                texts += " | " + text;
            showing.push_back(WindowText(window) + texts);
        }
        // A process that waits (on Outlook, on a window) still runs a new
        // thread; one that Wine no longer runs at all does not, and then the
        // stop is Wine's, not the program's.
        std::string text =
            "the uninstaller was still running after " + std::to_string(timeoutMs_ / 1000) + " s";
        if (!RunsNewThread(uninstaller.Handle(), PROBE_LIMIT_MS))
            text += "; its process ran no new thread within " +
                    std::to_string(PROBE_LIMIT_MS / 1000) + " s: Wine had stopped running it";
        journal_.Write("gave-up",
                       ",\"text\":" + JsonText(text) + ",\"showing\":" + JsonList(showing));
        uninstaller.Terminate();
    }

    int Finish(int code) {
        // Background programs that are still there were not closed by the
        // run; they are ended here so that the machine can be read.
        for (auto& process : processes_) {
            if (process->Started() && !process->HasExited()) {
                journal_.Write("still running", ",\"process\":" + std::to_string(process->Id()));
                process->Terminate();
            } else if (process->Started()) {
                journal_.Write("ended", ",\"process\":" + std::to_string(process->Id()) +
                                            ",\"code\":" +
                                            std::to_string(static_cast<int>(process->ExitCode())));
            }
        }
        journal_.Write("driver done", ",\"code\":" + std::to_string(code));
        return code;
    }

    std::map<std::string, std::vector<std::string>> settings_;
    std::string out_;
    std::string pictureFolder_;
    JOURNAL journal_;
    std::vector<std::string> answers_;
    size_t next_ = 0;
    DWORD readMs_ = 800;
    DWORD timeoutMs_ = 300000;
    std::vector<std::unique_ptr<CHILD_PROCESS>> processes_;
    std::set<HWND> answered_;
    std::string lastProgress_;
    OWNED_HANDLE heldFile_;
    OWNED_HANDLE hold_;
    bool armed_ = false;
    int pictures_ = 0;
    int progressPictures_ = 0;
};

// The settings of a command line of flags, named as in a run file.
std::map<std::string, std::vector<std::string>> ReadFlags(const std::vector<std::string>& argv) {
    const std::pair<const char*, const char*> names[] = {{"--program", "program"},
                                                         {"--arguments", "arguments"},
                                                         {"--folder", "folder"},
                                                         {"--answers", "answers"},
                                                         {"--journal", "journal"},
                                                         {"--pictures", "pictures"},
                                                         {"--limit", "timeout_s"},
                                                         {"--also", "background"},
                                                         {"--hold", "hold_open"},
                                                         {"--read-ms", "read_ms"},
                                                         {"--out", "out"},
                                                         {"--cut", "cut"},
                                                         {"--hold-started", "hold_started"},
                                                         {"--arm", "arm"}};
    std::map<std::string, std::vector<std::string>> settings;
    for (size_t i = 1; i + 1 < argv.size(); i += 2) {
        std::string flag = argv[i];
        if (flag == "--helper") {
            settings["background"].push_back(argv[i + 1]);
            settings["wait_window"].push_back(HELPER_WINDOW);
            continue;
        }
        bool known = false;
        for (const auto& name : names) {
            if (flag == name.first) {
                settings[name.second].push_back(argv[i + 1]);
                known = true;
            }
        }
        if (!known)
            std::fprintf(stderr, "demo_driver: unknown flag %s\n", flag.c_str());
    }
    return settings;
}

// A path the code page cannot hold (a product installed below "Łukasz")
// reaches argv best-fitted to another folder: each argument is taken from the
// wide command line, as the program reaches a user's folder.
std::vector<std::string> Arguments(int argc, char** argv) {
    std::vector<std::string> arguments(argv, argv + argc);
    int count = 0;
    std::unique_ptr<LPWSTR, HLOCAL(WINAPI*)(HLOCAL)> wide(
        CommandLineToArgvW(GetCommandLineW(), &count), LocalFree);
    for (int i = 0; wide && i < argc && i < count; ++i) {
        USER_FOLDER reached = UserFolderFromWide(wide.get()[i]);
        if (!reached.path.empty())
            arguments[i] = reached.path;
    }
    return arguments;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: demo_driver RUN_FILE | demo_driver --program PATH ...\n");
        return 2;
    }
    DRIVER driver(argc == 2 ? ReadRunFile(argv[1]) : ReadFlags(Arguments(argc, argv)));
    return driver.Run();
}
