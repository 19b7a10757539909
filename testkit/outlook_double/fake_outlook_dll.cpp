// The fake Outlook as a DLL, for a machine that registers it under Outlook's
// class: its profile is read from ORVALITH_FAKE_OUTLOOK_DATA (or
// "fake_outlook.txt" beside the DLL) and written back after every change.
#include <windows.h>

#include <string>

#include "testkit/outlook_double/fake_outlook.h"

namespace {

std::string Environment(const char* name) {
    char value[MAX_PATH] = "";
    DWORD length = GetEnvironmentVariableA(name, value, sizeof value);
    return length > 0 && length < sizeof value ? value : "";
}

bool loaded = false;
HINSTANCE module = nullptr;

} // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH)
        module = instance;
    return TRUE;
}

extern "C" __declspec(dllexport) HRESULT WINAPI
    DllGetClassObject(REFCLSID classId, REFIID iid, void** out) {
    if (!loaded) {
        std::string data = Environment("ORVALITH_FAKE_OUTLOOK_DATA");
        if (data.empty()) {
            char path[MAX_PATH] = "";
            GetModuleFileNameA(module, path, sizeof path);
            data = path;
            data = data.substr(0, data.find_last_of('\\') + 1) + "fake_outlook.txt";
        }
        fake_outlook::LoadForMachine(data, Environment("ORVALITH_FAKE_OUTLOOK_JOURNAL"));
        loaded = true;
    }
    return fake_outlook::GetClassObject(classId, iid, out);
}

extern "C" __declspec(dllexport) HRESULT WINAPI DllCanUnloadNow() {
    return S_FALSE;
}
