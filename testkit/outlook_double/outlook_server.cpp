// OUTLOOK.EXE: the fake Outlook as users have Outlook, a process of its own
// (built for x86-64, as most Outlooks are today) that COM starts when a
// client creates the Application, that stands in the running object table
// while it runs and ends when its last client reference goes.
//
//   OUTLOOK.EXE /RegServer   registers it as a 64-bit Outlook registers
//                            itself, with a type library for the marshalling
//   OUTLOOK.EXE -Embedding   as COM starts it: it ends when its last client
//                            reference goes, soon when no client holds any,
//                            and a while after the client that started it
//                            died holding references (COM lets those go
//                            minutes later: ORVALITH_FAKE_OUTLOOK_ORPHAN_SECONDS,
//                            360 when unset, or when the file named by
//                            ORVALITH_FAKE_OUTLOOK_COLLECTED appears)
//   OUTLOOK.EXE              as a user starts it: it stays until left idle
//
// Its profile and journal are those of fake_outlook.dll (README.md).
#include <windows.h>

#include <objbase.h>
#include <oleauto.h>
#include <stdlib.h>
#include <tlhelp32.h>

#include <string>

#include "outlook/outlook_ids.h"
#include "testkit/outlook_double/fake_outlook.h"

namespace {

// The stand-in's own type library: one dispinterface for each of Outlook's
// interfaces, so that COM can marshal them (as IDispatch) between processes.
const GUID LIBID_OutlookStandIn = {
    0x6a1f0c52, 0x7d3e, 0x4b8a, {0x9e, 0x21, 0x5c, 0x0d, 0x44, 0x8b, 0x1f, 0x73}};
const char* const LIBID_TEXT = "{6A1F0C52-7D3E-4B8A-9E21-5C0D448B1F73}";
const char* const CLSID_TEXT = "{0006F03A-0000-0000-C000-000000000046}";
// oleaut32's marshaller for dispatch interfaces.
const char* const PS_DISPATCH = "{00020420-0000-0000-C000-000000000046}";

struct INTERFACE_NAME {
    const GUID* iid;
    const wchar_t* name;
};
const INTERFACE_NAME INTERFACES[] = {{&IID__Application, L"_Application"},
                                     {&IID__NameSpace, L"_NameSpace"},
                                     {&IID_MAPIFolder, L"MAPIFolder"},
                                     {&IID__Folders, L"_Folders"},
                                     {&IID__Items, L"_Items"},
                                     {&IID__AppointmentItem, L"_AppointmentItem"},
                                     {&IID__TaskItem, L"_TaskItem"},
                                     {&IID__Views, L"_Views"},
                                     {&IID_View, L"View"},
                                     {&IID__StorageItem, L"_StorageItem"}};

std::string GuidText(const GUID& guid) {
    wchar_t wide[40] = L"";
    StringFromGUID2(guid, wide, 40);
    return std::string(wide, wide + wcslen(wide));
}

bool SetValue(REGSAM view, const std::string& key, const char* name, const std::string& value) {
    HKEY handle = nullptr;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, ("Software\\Classes\\" + key).c_str(), 0, nullptr, 0,
                        KEY_WRITE | view, nullptr, &handle, nullptr) != ERROR_SUCCESS)
        return false;
    LONG result =
        RegSetValueExA(handle, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                       static_cast<DWORD>(value.size() + 1));
    RegCloseKey(handle);
    return result == ERROR_SUCCESS;
}

HRESULT WriteTypeLibrary(const std::wstring& path) {
    ICreateTypeLib2* library = nullptr;
    HRESULT result = CreateTypeLib2(SYS_WIN32, path.c_str(), &library);
    if (FAILED(result))
        return result;
    ITypeLib* standard = nullptr;
    ITypeInfo* dispatch = nullptr;
    result = LoadTypeLib(L"stdole2.tlb", &standard);
    if (SUCCEEDED(result))
        result = standard->GetTypeInfoOfGuid(IID_IDispatch, &dispatch);
    if (SUCCEEDED(result)) {
        library->SetGuid(LIBID_OutlookStandIn);
        library->SetVersion(9, 6);
        library->SetName(const_cast<LPOLESTR>(L"Outlook"));
        library->SetLcid(0);
    }
    for (const INTERFACE_NAME& entry : INTERFACES) {
        if (FAILED(result))
            break;
        ICreateTypeInfo* info = nullptr;
        result = library->CreateTypeInfo(const_cast<LPOLESTR>(entry.name), TKIND_DISPATCH, &info);
        if (FAILED(result))
            break;
        HREFTYPE base = 0;
        result = info->SetGuid(*entry.iid);
        if (SUCCEEDED(result))
            result = info->AddRefTypeInfo(dispatch, &base);
        if (SUCCEEDED(result))
            result = info->AddImplType(0, base);
        // The members with the DISPIDs the fake answers.
        UINT index = 0;
        for (const fake_outlook::MEMBER_ID& member : fake_outlook::Members(*entry.iid)) {
            if (FAILED(result))
                break;
            FUNCDESC function = {};
            function.memid = member.id;
            function.funckind = FUNC_DISPATCH;
            function.invkind = member.property ? INVOKE_PROPERTYGET : INVOKE_FUNC;
            function.callconv = CC_STDCALL;
            function.elemdescFunc.tdesc.vt = VT_VARIANT;
            result = info->AddFuncDesc(index, &function);
            LPOLESTR name = const_cast<LPOLESTR>(member.name.c_str());
            if (SUCCEEDED(result))
                result = info->SetFuncAndParamNames(index, &name, 1);
            ++index;
        }
        if (SUCCEEDED(result))
            result = info->LayOut();
        info->Release();
    }
    if (SUCCEEDED(result))
        result = library->SaveAllChanges();
    if (dispatch)
        dispatch->Release();
    if (standard)
        standard->Release();
    library->Release();
    return result;
}

// The class in the 64-bit view, as a 64-bit Outlook has it (COM finds it
// from a 32-bit client too); the interfaces and the type library in both.
int RegisterServer() {
    char exe[MAX_PATH] = "";
    GetModuleFileNameA(nullptr, exe, sizeof exe);
    std::string folder = exe;
    folder = folder.substr(0, folder.find_last_of('\\') + 1);
    std::string library = folder + "OUTLOOK.TLB";
    std::wstring wideLibrary(library.begin(), library.end());
    if (FAILED(WriteTypeLibrary(wideLibrary)))
        return 2;
    bool written = true;
    std::string clsid = std::string("CLSID\\") + CLSID_TEXT;
    written &= SetValue(KEY_WOW64_64KEY, clsid, nullptr, "Microsoft Outlook");
    written &= SetValue(KEY_WOW64_64KEY, clsid + "\\LocalServer32", nullptr,
                        std::string("\"") + exe + "\"");
    written &= SetValue(KEY_WOW64_64KEY, clsid + "\\ProgID", nullptr, "Outlook.Application");
    written &= SetValue(KEY_WOW64_64KEY, "Outlook.Application\\CLSID", nullptr, CLSID_TEXT);
    for (REGSAM view : {KEY_WOW64_64KEY, KEY_WOW64_32KEY}) {
        for (const INTERFACE_NAME& entry : INTERFACES) {
            std::string key = "Interface\\" + GuidText(*entry.iid);
            std::wstring name = entry.name;
            written &= SetValue(view, key, nullptr, std::string(name.begin(), name.end()));
            written &= SetValue(view, key + "\\ProxyStubClsid32", nullptr, PS_DISPATCH);
            written &= SetValue(view, key + "\\TypeLib", nullptr, LIBID_TEXT);
            written &= SetValue(view, key + "\\TypeLib", "Version", "9.6");
        }
        std::string version = std::string("TypeLib\\") + LIBID_TEXT + "\\9.6";
        written &= SetValue(view, version, nullptr, "Outlook stand-in");
        written &= SetValue(view, version + "\\0\\win32", nullptr, library);
        written &= SetValue(view, version + "\\0\\win64", nullptr, library);
        written &= SetValue(view, version + "\\FLAGS", nullptr, "0");
        written &= SetValue(view, version + "\\HELPDIR", nullptr, folder);
    }
    return written ? 0 : 3;
}

// The process that started this one (for COM, the client) and its name.
std::string ParentName(DWORD& parent) {
    parent = 0;
    std::string name = "?";
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return name;
    PROCESSENTRY32 entry;
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry))
        if (entry.th32ProcessID == GetCurrentProcessId())
            parent = entry.th32ParentProcessID;
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry))
        if (parent != 0 && entry.th32ProcessID == parent)
            name = entry.szExeFile;
    CloseHandle(snapshot);
    return name;
}

DWORD mainThread = 0;
DWORD lastActivity = 0;
bool released = false;

void LastReleased() {
    released = true;
    PostThreadMessageA(mainThread, WM_QUIT, 0, 0);
}

// A busy Outlook as COM makes it one: its message filter turns incoming
// calls away before they reach the object, and the client's COM answers
// the caller RPC_E_CALL_REJECTED (or RPC_E_SERVERCALL_RETRYLATER).
class BUSY_FILTER : public IMessageFilter {
public:
    STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
        if (iid != IID_IUnknown && iid != IID_IMessageFilter) {
            *out = nullptr;
            return E_NOINTERFACE;
        }
        *out = static_cast<IMessageFilter*>(this);
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP_(DWORD)
    HandleInComingCall(DWORD, HTASK, DWORD, LPINTERFACEINFO) override {
        HRESULT answer = fake_outlook::BusyAnswer();
        if (answer == RPC_E_SERVERCALL_RETRYLATER)
            return SERVERCALL_RETRYLATER;
        return FAILED(answer) ? SERVERCALL_REJECTED : SERVERCALL_ISHANDLED;
    }
    STDMETHODIMP_(DWORD) RetryRejectedCall(HTASK, DWORD, DWORD) override { return ~0u; }
    STDMETHODIMP_(DWORD) MessagePending(HTASK, DWORD, DWORD) override {
        return PENDINGMSG_WAITDEFPROCESS;
    }
};
BUSY_FILTER busyFilter;

// How long COM keeps the references of a client that died: about six
// minutes on Windows; scenarios set it shorter.
DWORD OrphanLimitMs() {
    char text[16] = "";
    GetEnvironmentVariableA("ORVALITH_FAKE_OUTLOOK_ORPHAN_SECONDS", text, sizeof text);
    DWORD seconds = text[0] ? strtoul(text, nullptr, 10) : 360;
    return seconds * 1000;
}

// A scenario may say when that collection comes round instead of leaving it
// to the clock: ORVALITH_FAKE_OUTLOOK_COLLECTED names a file whose arrival
// says so.
bool CollectionCame() {
    char path[MAX_PATH] = "";
    DWORD length = GetEnvironmentVariableA("ORVALITH_FAKE_OUTLOOK_COLLECTED", path, sizeof path);
    return length > 0 && length < sizeof path &&
           GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES;
}

void EndAtOnce() {
    fake_outlook::RecordProcess("Gone " + std::to_string(GetCurrentProcessId()));
    ExitProcess(9);
}

// Started by a user, or left by a client that died: it ends after a minute
// without calls, so that it never outlives a demonstration run by much.
const DWORD IDLE_LIMIT_MS = 60000;
const DWORD UNHELD_LIMIT_MS = 1000;

} // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR commandLine, int) {
    std::string arguments = commandLine ? commandLine : "";
    bool embedded = arguments.find("Embedding") != std::string::npos;
    if (arguments.find("RegServer") != std::string::npos ||
        arguments.find("regserver") != std::string::npos) {
        CoInitialize(nullptr);
        int result = RegisterServer();
        CoUninitialize();
        return result;
    }
    mainThread = GetCurrentThreadId();
    CoInitialize(nullptr);
    fake_outlook::LoadForMachineFromEnvironment(nullptr);
    DWORD parent = 0;
    std::string parentName = ParentName(parent);
    fake_outlook::RecordProcess("Started " + std::to_string(GetCurrentProcessId()) + " " +
                                (embedded ? "by COM for " : "by ") + parentName);
    // A client that dies holding references never releases them; Windows
    // lets them go minutes later, and Outlook started for it then ends.
    HANDLE client = embedded ? OpenProcess(SYNCHRONIZE, FALSE, parent) : nullptr;
    DWORD clientDied = 0;
    bool orphaned = false;
    fake_outlook::ServeAsProcess(LastReleased, EndAtOnce);
    // Where Wine's COM turns calls away through it (its channel asks the
    // server apartment's filter before each incoming call).
    IMessageFilter* previousFilter = nullptr;
    bool filtered = SUCCEEDED(CoRegisterMessageFilter(&busyFilter, &previousFilter));
    fake_outlook::RecordProcess(filtered ? "Filter registered" : "Filter refused");

    IUnknown* factory = nullptr;
    DWORD registration = 0;
    fake_outlook::GetClassObject(CLSID_OutlookApplication, IID_IUnknown,
                                 reinterpret_cast<void**>(&factory));
    CoRegisterClassObject(CLSID_OutlookApplication, factory, CLSCTX_LOCAL_SERVER,
                          REGCLS_MULTIPLEUSE, &registration);
    fake_outlook::SetRunning(true);

    lastActivity = GetTickCount();
    SetTimer(nullptr, 0, 250, nullptr);
    MSG message;
    long calls = -1;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        if (message.message == WM_TIMER && !message.hwnd) {
            long now = static_cast<long>(fake_outlook::Journal().size());
            if (now != calls) {
                calls = now;
                lastActivity = GetTickCount();
            }
            DWORD idle = GetTickCount() - lastActivity;
            bool unheld = embedded && fake_outlook::LiveObjects() <= 1;
            if (client && !clientDied && WaitForSingleObject(client, 0) == WAIT_OBJECT_0) {
                clientDied = GetTickCount();
                fake_outlook::RecordProcess("ClientDied " + std::to_string(GetCurrentProcessId()));
            }
            // The client died: what it held is let go only when COM's
            // collection comes round; holding nothing, it ends soon.
            if (clientDied && !unheld) {
                if (GetTickCount() - clientDied >= OrphanLimitMs() || CollectionCame()) {
                    orphaned = true;
                    break;
                }
                continue;
            }
            if (idle > (unheld ? UNHELD_LIMIT_MS : IDLE_LIMIT_MS))
                break;
            continue;
        }
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    // Why, as the loop ended: the shutdown below releases the stubs too. A
    // release after the client died is COM's collection of what the dead
    // client held, not the client's.
    const char* why = released && !clientDied ? "released by the client"
                      : released || orphaned  ? "ended because the client died"
                      : clientDied            ? "ended, the client dead and holding nothing"
                                              : "ended, idle";
    fake_outlook::SetRunning(false);
    CoRevokeClassObject(registration);
    fake_outlook::WriteBack();
    if (client)
        CloseHandle(client);
    if (filtered)
        CoRegisterMessageFilter(previousFilter, nullptr);
    CoUninitialize();
    fake_outlook::RecordProcess("Ended " + std::to_string(GetCurrentProcessId()) + " " + why);
    return 0;
}
