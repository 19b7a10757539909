// What removing the product's calendar entries costs: COMdeleteAllCalTaskEntries
// against fake profiles of growing size, printing per size the entries
// deleted, Invokes per entry, name lookups in all and the program's own time
// per entry (the fake's time inside Invoke taken out).
//
// Given the path of OUTLOOK.EXE (outlook_benchmark.exe PATH), it also runs
// against that out-of-process stand-in, as users have Outlook: it times an
// empty cross-process call and prints the time per deleted entry as a
// multiple of three such calls (an entry costs three Invokes).
#include <windows.h>

#include <objbase.h>
#include <stdio.h>

#include <string>

#include "app/application.h"
#include "foundation/resource_strings.h"
#include "outlook/calendar_entries.h"
#include "outlook/dispatch.h"
#include "outlook/outlook_connection.h"
#include "outlook/outlook_ids.h"
#include "testkit/outlook_double/fake_outlook.h"

namespace {

// stores x calendars x marked entries, with as many unmarked entries and a
// mail folder above every calendar.
std::string Profile(int stores, int calendars, int entries) {
    std::string text;
    for (int s = 0; s < stores; ++s) {
        std::string store = "Store" + std::to_string(s);
        text += "store|" + store + "|S" + std::to_string(s) + "\n";
        text += "folder|" + store + "/Tasks|tasks|T" + std::to_string(s) + "\n";
        for (int c = 0; c < calendars; ++c) {
            std::string mail = store + "/Mail" + std::to_string(c);
            std::string calendar = mail + "/Calendar";
            std::string id = std::to_string(s) + "-" + std::to_string(c);
            text += "folder|" + mail + "|mail|M" + id + "\n";
            text += "folder|" + calendar + "|calendar|C" + id + "\n";
            for (int e = 0; e < entries; ++e) {
                text += "appointment|" + calendar + "|ours|" + std::to_string(e) + "\n";
                text += "appointment|" + calendar + "|theirs|-\n";
            }
        }
    }
    return text;
}

double Now() {
    LARGE_INTEGER counter, frequency;
    QueryPerformanceCounter(&counter);
    QueryPerformanceFrequency(&frequency);
    return counter.QuadPart * 1e6 / static_cast<double>(frequency.QuadPart);
}

// Starts a program and waits for it; its exit code, or -1.
long RunAndWait(const std::string& commandLine) {
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    std::string text = commandLine;
    if (!CreateProcessA(nullptr, &text[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &process))
        return -1;
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD code = 0;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return static_cast<long>(code);
}

void WriteFileText(const std::string& path, const std::string& text) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD written = 0;
    WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    CloseHandle(file);
}

// The product's entries left in the profile the stand-in writes back as it
// ends (once released); -1 when it has not ended within 10 s.
long EntriesLeft(const std::string& data) {
    for (int attempt = 0; attempt < 40; ++attempt) {
        Sleep(250);
        HANDLE file = CreateFileA(data.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        std::string text;
        char buffer[65536];
        DWORD read = 0;
        while (file != INVALID_HANDLE_VALUE &&
               ReadFile(file, buffer, sizeof buffer, &read, nullptr) && read > 0)
            text.append(buffer, read);
        CloseHandle(file);
        if (text.compare(0, 10, "writeback|") == 0)
            continue; // not written back yet
        long left = 0;
        for (size_t at = text.find("|ours|"); at != std::string::npos;
             at = text.find("|ours|", at + 1))
            ++left;
        return left;
    }
    return -1;
}

// Microseconds of one empty cross-process call, on average.
double EmptyCall(const DISPATCH_OBJECT& space) {
    const int CALLS = 500;
    double start = Now();
    for (int n = 0; n < CALLS; ++n)
        space.TextProperty(L"Type");
    return (Now() - start) / CALLS;
}

// Microseconds to fetch one item of the default calendar, query it for its
// interface and release it: what an entry costs besides its Invokes.
double FetchCost(const DISPATCH_OBJECT& space) {
    VARIANT_VALUE calendar = VARIANT_VALUE::Long(9);
    DISPATCH_OBJECT folder =
        space.ObjectMethod(L"GetDefaultFolder", IID_MAPIFolder, {&calendar.Get()});
    DISPATCH_OBJECT items = folder.ObjectProperty(L"Items", IID__Items);
    long count = items.LongProperty(L"Count");
    double start = Now();
    for (long i = 1; i <= count; ++i) {
        VARIANT_VALUE index = VARIANT_VALUE::Long(i);
        items.ObjectMethod(L"Item", IID__AppointmentItem, {&index.Get()});
    }
    return count > 0 ? (Now() - start) / count : 0.0;
}

void AcrossProcesses(const std::string& server) {
    if (RunAndWait("\"" + server + "\" /RegServer") != 0) {
        printf("%s /RegServer failed\n", server.c_str());
        return;
    }
    char folder[MAX_PATH] = "";
    GetTempPathA(sizeof folder, folder);
    std::string data = std::string(folder) + "outlook_benchmark_profile.txt";
    SetEnvironmentVariableA("ORVALITH_FAKE_OUTLOOK_JOURNAL", nullptr);
    SetEnvironmentVariableA("ORVALITH_FAKE_OUTLOOK_DATA", data.c_str());
    printf("\nAgainst OUTLOOK.EXE, a 64-bit process of its own:\n");
    printf("%-26s %9s %16s %14s %14s %12s %16s\n", "profile (stores x calendars x entries)",
           "deleted", "Invokes/entry", "us/empty call", "us/entry", "x 3 calls",
           "fetch+QI+release");
    const int sizes[][3] = {{2, 5, 20}, {2, 10, 50}};
    for (const auto& size : sizes) {
        // The stand-in's own cost of writing its data back is left out.
        WriteFileText(data, "writeback|no\n" + Profile(size[0], size[1], size[2]));
        // An empty call: a property that asks nothing of Outlook's data.
        DISPATCH_OBJECT space = GetMAPI("Benchmark");
        // Timed before and after the deletions, so that a machine busy with
        // other work weighs on both sides alike.
        double emptyCall = EmptyCall(space);
        ResetDispatchCounts();
        double start = Now();
        COMdeleteAllCalTaskEntries();
        double elapsed = Now() - start;
        DISPATCH_COUNTS counts = DispatchCounts();
        emptyCall = (emptyCall + EmptyCall(space)) / 2;
        double fetch = FetchCost(space);
        space.Reset();
        ReleaseOutlook();
        long left = EntriesLeft(data);
        if (left < 0) {
            printf("OUTLOOK.EXE did not end within 10 s of its release\n");
            continue;
        }
        long deleted = static_cast<long>(size[0]) * size[1] * size[2] - left;
        double perEntry = deleted > 0 ? elapsed / deleted : 0.0;
        printf("%2d x %2d x %3d %26ld %16.2f %14.1f %14.1f %12.2f %16.2f\n", size[0], size[1],
               size[2], deleted, deleted > 0 ? static_cast<double>(counts.invokes) / deleted : 0.0,
               emptyCall, perEntry, perEntry / (3 * emptyCall), fetch / emptyCall);
        fflush(stdout);
    }
}

} // namespace

int main(int argumentCount, char** arguments) {
    SetResourceInstance(GetModuleHandleA(nullptr));
    Application.instance = GetModuleHandleA(nullptr);
    CoInitialize(nullptr);
    fake_outlook::Register();
    printf("%-26s %9s %16s %14s %18s\n", "profile (stores x calendars x entries)", "deleted",
           "Invokes/entry", "name lookups", "us/entry (program)");
    const int sizes[][3] = {{10, 50, 50}, {10, 50, 100}, {10, 50, 200}};
    for (const auto& size : sizes) {
        fake_outlook::Load(Profile(size[0], size[1], size[2]));
        ResetDispatchCounts();
        double start = Now();
        COMdeleteAllCalTaskEntries();
        double elapsed = Now() - start;
        ReleaseOutlook();
        long deleted = fake_outlook::Calls("Delete");
        DISPATCH_COUNTS counts = DispatchCounts();
        double own = elapsed - fake_outlook::InvokeMicroseconds();
        printf("%2d x %2d x %3d %26ld %16.2f %14ld %18.2f\n", size[0], size[1], size[2], deleted,
               deleted ? static_cast<double>(counts.invokes) / deleted : 0.0, counts.nameLookups,
               deleted ? own / deleted : 0.0);
        fflush(stdout);
    }
    fake_outlook::Revoke();
    if (argumentCount > 1)
        AcrossProcesses(arguments[1]);
    CoUninitialize();
    return 0;
}
