// What removing the product's calendar entries costs: COMdeleteAllCalTaskEntries
// against fake profiles of growing size, printing per size the entries
// deleted, Invokes per entry, name lookups in all and the program's own time
// per entry (the fake's time inside Invoke taken out).
#include <windows.h>

#include <objbase.h>
#include <stdio.h>

#include <string>

#include "app/application.h"
#include "foundation/resource_strings.h"
#include "outlook/calendar_entries.h"
#include "outlook/dispatch.h"
#include "outlook/outlook_connection.h"
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

} // namespace

int main() {
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
    CoUninitialize();
    return 0;
}
