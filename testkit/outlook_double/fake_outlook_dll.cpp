// The fake Outlook as a DLL, for a machine that registers it under Outlook's
// class: its profile is read from ORVALITH_FAKE_OUTLOOK_DATA (or
// "fake_outlook.txt" beside the DLL) and written back after every change.
#include <windows.h>

#include <string>

#include "testkit/outlook_double/fake_outlook.h"

namespace {

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
        fake_outlook::LoadForMachineFromEnvironment(module);
        loaded = true;
    }
    return fake_outlook::GetClassObject(classId, iid, out);
}

extern "C" __declspec(dllexport) HRESULT WINAPI DllCanUnloadNow() {
    return S_FALSE;
}
