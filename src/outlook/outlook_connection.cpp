#include "outlook/outlook_connection.h"

#include <string.h>

#include "foundation/error_code.h"
#include "foundation/log_file.h"
#include "foundation/messages.h"
#include "foundation/resource_strings.h"
#include "outlook/call_watch.h"
#include "outlook/outlook_errors.h"
#include "outlook/outlook_ids.h"
#include "resources/resource_ids.h"
#include "system/pause.h"
#include "system/processes.h"

namespace {

const int CREATE_ATTEMPTS_BEFORE_REPORT = 4;
const DWORD CREATE_RETRY_MS = 500;
const LONG NAMESPACE_RETRIES = 10;
const DWORD NAMESPACE_RETRY_MS = 500;
const LONG LOGON_RETRIES = 7;
const DWORD LOGON_RETRY_MS = 700;
// The inner context of GetMAPI is built in a buffer of this many bytes.
const int INNER_CONTEXT_LIMIT = 199;

// E_NOINTERFACE while creating Outlook is reported as E_POINTER.
HRESULT CreationResult(HRESULT result) {
    return result == E_NOINTERFACE ? E_POINTER : result;
}

DISPATCH_OBJECT CreateApplication() {
    COM_PTR<IUnknown> unknown;
    HRESULT result;
    {
        // Starting Outlook may wait on a profile chooser.
        WATCHED_CALL watched(L"CreateInstance");
        result = CoCreateInstance(CLSID_OutlookApplication, nullptr, OUTLOOK_CLASS_CONTEXT,
                                  IID_IUnknown, unknown.ReceiveVoid());
        if (SUCCEEDED(result))
            result = OleRun(unknown.Get());
    }
    DISPATCH_OBJECT application;
    if (SUCCEEDED(result))
        result = application.Query(unknown.Get(), IID__Application);
    if (FAILED(result))
        ThrowComError(CreationResult(result));
    return application;
}

// Outlook refuses calls while it is busy starting, and a profile that is
// still opening reports that the operation failed: both are worth a retry.
bool IsRetryableLogonError(const COM_ERROR& error) {
    if (IsBusyAnswer(error.Error()))
        return true;
    return ComErrorDescription(error).Find("he operation failed") >= 0;
}

bool IsOutlookMainWindow(HWND window) {
    char title[500] = "";
    char className[100] = "";
    GetWindowTextA(window, title, sizeof title);
    GetClassNameA(window, className, sizeof className);
    return STRING(title).Match(" Outlook", MATCH_ENDS, false) &&
           strcmp(className, "rctrl_renwnd32") == 0;
}

BOOL CALLBACK CollectOutlookWindow(HWND window, LPARAM windows) {
    if (IsOutlookMainWindow(window))
        reinterpret_cast<VECTOR<HWND>*>(windows)->Add(window);
    return TRUE;
}

} // namespace

OUTLOOK_CONNECTION& OutlookConnection() {
    static OUTLOOK_CONNECTION connection;
    return connection;
}

DISPATCH_OBJECT _GetOutlook(const STRING& context, bool report) {
    OUTLOOK_CONNECTION& outlook = OutlookConnection();
    Log.Line("TS: _GetOutlook entry");
    if (!outlook.applicationCreated) {
        Log.Line("TS: _GetOutlook CreateInstance");
        try {
            outlook.application = CreateApplication();
            outlook.applicationCreated = true;
        } catch (const COM_ERROR& error) {
            STRING text = ComErrorText(error);
            Log.Printf("TS: _GetOutlook CreateInstance failed: %s\r\n", context.c_str());
            Log.Printf("TS: _GetOutlook %s\r\n", text.c_str());
            outlook.application.Reset();
            if (report) {
                STRING message = LoadStr(IDS_CANNOT_COMMUNICATE);
                message.ReplaceFirst("<sysErr>", text + "\n_GetOutlook [" + context + "]");
                MsgBoxOK(message);
                throw ERR_USER_ABORT;
            }
        }
    }
    Log.Line("TS: _GetOutlook exit");
    return outlook.application;
}

DISPATCH_OBJECT GetOutlook(const STRING& context) {
    DISPATCH_OBJECT application = _GetOutlook(context, false);
    for (int attempt = 1; !application; ++attempt) {
        // Outlook's start-up may need this thread's apartment to answer it.
        PumpPendingMessages();
        Pause(CREATE_RETRY_MS);
        application = _GetOutlook(context, attempt >= CREATE_ATTEMPTS_BEFORE_REPORT);
    }
    return application;
}

DISPATCH_OBJECT GetMAPI(const STRING& context) {
    OUTLOOK_CONNECTION& outlook = OutlookConnection();
    Log.Line("TS: GetMAPI entry");
    STRING inner = STRING("GetMAPI:") + context;
    if (inner.Length() > INNER_CONTEXT_LIMIT)
        inner.resize(INNER_CONTEXT_LIMIT);

    if (outlook.nameSpaceReady) {
        outlook.nameSpaceFailures = 0;
        outlook.logonFailures = 0;
    } else {
        for (;;) {
            Log.Line("TS: GetMAPI GetNamespace");
            DISPATCH_OBJECT application = GetOutlook(inner);
            try {
                VARIANT_VALUE mapi = VARIANT_VALUE::Text("MAPI");
                outlook.nameSpace =
                    application.ObjectMethod(L"GetNamespace", IID__NameSpace, {&mapi.Get()});
                outlook.nameSpaceReady = true;
            } catch (const COM_ERROR& error) {
                STRING text = ComErrorText(error);
                Log.Line("TS: GetMAPI error stage 1");
                Log.Printf("TS: GetMAPI error %s\r\n", text.c_str());
                if (outlook.nameSpaceFailures++ < NAMESPACE_RETRIES) {
                    Pause(NAMESPACE_RETRY_MS);
                    continue;
                }
                MessageOkById(IDS_OUTLOOK_START_FAILED, "<msg>", "[1] " + text);
                throw;
            }
            if (!outlook.nameSpace)
                break;

            Log.Line("TS: GetMAPI GetDefaultFolderX");
            try {
                // The logon check keeps its own retries for a busy Outlook.
                NO_BUSY_RETRIES ownRetries;
                VARIANT_VALUE tasks = VARIANT_VALUE::Long(13);
                outlook.nameSpace.ObjectMethod(L"GetDefaultFolder", IID_MAPIFolder, {&tasks.Get()});
                break;
            } catch (const COM_ERROR& error) {
                Log.Line("TS: GetMAPI error stage 2");
                Log.Printf("TS: GetMAPI error %s\r\n", ComErrorText(error).c_str());
                bool retryable = IsRetryableLogonError(error);
                if (retryable && outlook.logonFailures++ < LOGON_RETRIES) {
                    Pause(LOGON_RETRY_MS);
                    continue;
                }
                MessageOkById(retryable ? IDS_OUTLOOK_INIT_FAILED : IDS_OUTLOOK_LOGON_FAILED);
                throw ERR_USER_ABORT;
            }
        }
    }
    Log.Line("TS: GetMAPI exit");
    return outlook.nameSpace;
}

void LoadOutlook() {
    DISPATCH_OBJECT nameSpace = GetMAPI("LoadOutlook");
    if (!nameSpace)
        ThrowComError(E_POINTER);
    // Reading the profile's type finishes the logon.
    nameSpace.TextProperty(L"Type");
}

void ReleaseOutlook() {
    WATCHED_CALL watched(L"Release");
    OUTLOOK_CONNECTION& outlook = OutlookConnection();
    outlook.folders.Clear();
    outlook.nameSpace.Reset();
    outlook.nameSpaceReady = false;
    outlook.application.Reset();
    outlook.applicationCreated = false;
}

bool IsOutlookRunning() {
    // The process list first: it asks no other process, so an Outlook that
    // hangs is told as running at once instead of holding the run in a call
    // it never answers.
    if (processIsRunning("Outlook.exe"))
        return true;
    // Both ask other processes: the running-object table's, and Outlook's.
    WATCHED_CALL watched(L"GetActiveObject");
    CLSID classId;
    if (FAILED(CLSIDFromProgID(L"Outlook.Application", &classId)))
        return false;
    COM_PTR<IUnknown> active;
    if (FAILED(GetActiveObject(classId, nullptr, active.Receive())))
        return false;
    COM_PTR<IUnknown> application;
    return SUCCEEDED(active->QueryInterface(IID__Application, application.ReceiveVoid()));
}

bool FindOutlookWindows(VECTOR<HWND>& windows) {
    EnumWindows(CollectOutlookWindow, reinterpret_cast<LPARAM>(&windows));
    return windows.Count() > 0;
}
