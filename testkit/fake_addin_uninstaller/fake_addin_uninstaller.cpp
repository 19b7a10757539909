// A stand-in for an add-in's own uninstaller, started through its uninstall
// entry. Like a real one it removes its entry and reports through its exit
// code. Parameters (in any order, separated by spaces; a word in double
// quotes may hold spaces):
//   /entry NAME     the subkey of the current user's uninstall entries to remove
//   /exit CODE      the exit code, signed (0 when not given)
//   /keep           leave the entry in place
//   /manifest FILE  a manifest of the add-in in the click-once store, which
//                   the add-in runtime deletes as it uninstalls (repeatable)
//   /wait MS        wait that long first, as an uninstaller waiting for its user
// Only a run that succeeds (exit code 0) removes anything: a cancelled or
// failed uninstall leaves the add-in as it was.
// When ORVALITH_FAKE_UNINSTALLER_JOURNAL names a file, one line is appended
// to it for every start: the program's file, a tab, its parameters.
// When ORVALITH_FAKE_UNINSTALLER_HOLD names an event, the run waits for it
// (at most a minute) after its journal line, before it removes anything:
// a test can then end its caller while it runs.
#include <cstdlib>
#include <string>
#include <vector>
#include <windows.h>

namespace {

const char* const ENTRIES_KEY = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";

// The command line after the program's own name, as it was passed.
std::string Parameters() {
    const char* line = GetCommandLineA();
    bool quoted = false;
    while (*line && (quoted || (*line != ' ' && *line != '\t'))) {
        if (*line == '"')
            quoted = !quoted;
        ++line;
    }
    while (*line == ' ' || *line == '\t')
        ++line;
    return line;
}

std::vector<std::string> Words(const std::string& text) {
    std::vector<std::string> words;
    std::string word;
    bool quoted = false;
    for (char ch : text + " ") {
        if (ch == '"') {
            quoted = !quoted;
        } else if (!quoted && (ch == ' ' || ch == '\t')) {
            if (!word.empty())
                words.push_back(word);
            word.clear();
        } else {
            word += ch;
        }
    }
    return words;
}

void Journal(const std::string& parameters) {
    char path[MAX_PATH];
    DWORD length = GetEnvironmentVariableA("ORVALITH_FAKE_UNINSTALLER_JOURNAL", path, sizeof(path));
    if (length == 0 || length >= sizeof(path))
        return;
    char self[MAX_PATH] = "";
    GetModuleFileNameA(nullptr, self, sizeof(self));
    std::string line = std::string(self) + "\t" + parameters + "\r\n";
    HANDLE file = CreateFileA(path, FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return;
    DWORD written = 0;
    WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    CloseHandle(file);
}

void WaitWhileHeld() {
    char name[MAX_PATH];
    DWORD length = GetEnvironmentVariableA("ORVALITH_FAKE_UNINSTALLER_HOLD", name, sizeof(name));
    if (length == 0 || length >= sizeof(name))
        return;
    HANDLE hold = OpenEventA(SYNCHRONIZE, FALSE, name);
    if (!hold)
        return;
    WaitForSingleObject(hold, 60000);
    CloseHandle(hold);
}

} // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    std::string parameters = Parameters();
    Journal(parameters);
    WaitWhileHeld();

    std::vector<std::string> words = Words(parameters);
    std::string entry;
    long exitCode = 0;
    bool keep = false;
    std::vector<std::string> manifests;
    for (size_t i = 0; i < words.size(); ++i) {
        if (words[i] == "/entry" && i + 1 < words.size())
            entry = words[++i];
        else if (words[i] == "/exit" && i + 1 < words.size())
            exitCode = std::strtol(words[++i].c_str(), nullptr, 10);
        else if (words[i] == "/keep")
            keep = true;
        else if (words[i] == "/manifest" && i + 1 < words.size())
            manifests.push_back(words[++i]);
        else if (words[i] == "/wait" && i + 1 < words.size())
            Sleep(std::strtoul(words[++i].c_str(), nullptr, 10));
    }
    if (exitCode != 0 || keep)
        return static_cast<int>(exitCode);
    for (const std::string& manifest : manifests)
        DeleteFileA(manifest.c_str());
    if (!entry.empty()) {
        std::string key = ENTRIES_KEY + entry;
        RegDeleteKeyA(HKEY_CURRENT_USER, key.c_str());
        RegDeleteKeyA(HKEY_LOCAL_MACHINE, key.c_str());
    }
    return static_cast<int>(exitCode);
}
