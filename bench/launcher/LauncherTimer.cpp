// kwo_launcher_timer SETUP.EXE: starts a setup program with this program's
// environment, in a job of its own, and watches it until it ends. Prints one
// line:
//
//   window_ms=N installer_ms=N peak_working_set_kib=N peak_private_kib=N exit=N total_ms=N
//
// Times count from just before the setup program was created. window_ms is
// when its progress window was first seen (looked for every few
// milliseconds): the start-up before the extraction. installer_ms is when the
// job reported the installer as created: the process of its name, or the last
// one whose name could not be learnt (Wine may start its desktop process from
// the setup program too, early). The peaks are the setup program's own, as
// last reported before it ended. Exit code 0 when the setup program ran to
// its end and started its installer, 1 otherwise, 2 on wrong usage.
#include <windows.h>

#include <psapi.h>

#include <algorithm>
#include <cstdlib>
#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr DWORD kPollMs = 5;
constexpr double kTimeoutMs = 30 * 60 * 1000;
const char kWindowClass[] = "KWOINC.KWOWARDEN.SETUP.20";
const char kInstallerName[] = "KwoWardenInstaller.exe";

class CClock {
public:
    CClock()
    {
        QueryPerformanceFrequency(&frequency);
        QueryPerformanceCounter(&start);
    }
    double Ms() const
    {
        LARGE_INTEGER now;
        QueryPerformanceCounter(&now);
        return static_cast<double>(now.QuadPart - start.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
    }

private:
    LARGE_INTEGER frequency;
    LARGE_INTEGER start;
};

// Whether a window of the launcher's class belongs to process id.
bool HasWindow(DWORD id)
{
    for (HWND window = nullptr; (window = FindWindowExA(nullptr, window, kWindowClass, nullptr)) != nullptr;) {
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        if (owner == id)
            return true;
    }
    return false;
}

enum class Named { kInstaller, kOther, kNotYet };

// A process that the job reported, and what it runs once that is known: a
// process that Wine has only just created cannot tell its program's name yet.
struct NewProcess {
    DWORD id;
    double createdMs;
    HANDLE handle;  // null until it could be opened
    Named named;
};

void LearnName(NewProcess& process)
{
    if (process.handle == nullptr)
        process.handle = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION | SYNCHRONIZE, FALSE, process.id);
    if (process.handle == nullptr)
        return;
    char path[MAX_PATH];
    DWORD length = MAX_PATH;
    if (!QueryFullProcessImageNameA(process.handle, 0, path, &length))
        return;
    const std::string name(path, length);
    const size_t slash = name.find_last_of("\\/");
    const std::string file = name.substr(slash == std::string::npos ? 0 : slash + 1);
    process.named = lstrcmpiA(file.c_str(), kInstallerName) == 0 ? Named::kInstaller : Named::kOther;
}

// When the installer was created: the process of its name, or else the last
// process whose name stayed unknown (the setup program starts its installer
// last); -1 if there is none.
double InstallerCreatedMs(const std::vector<NewProcess>& processes)
{
    for (const NewProcess& process : processes)
        if (process.named == Named::kInstaller)
            return process.createdMs;
    for (auto it = processes.rbegin(); it != processes.rend(); ++it)
        if (it->named == Named::kNotYet)
            return it->createdMs;
    return -1;
}

[[noreturn]] void Fail(const char* what)
{
    std::fprintf(stderr, "kwo_launcher_timer: %s failed (error %lu)\n", what, GetLastError());
    std::exit(1);
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: kwo_launcher_timer SETUP.EXE\n");
        return 2;
    }
    // Every process of the job reports its creation and end to the port.
    HANDLE job = CreateJobObjectA(nullptr, nullptr);
    HANDLE port = CreateIoCompletionPort(INVALID_HANDLE_VALUE, nullptr, 0, 1);
    if (job == nullptr || port == nullptr)
        Fail("creating the job");
    JOBOBJECT_ASSOCIATE_COMPLETION_PORT association = {};
    association.CompletionKey = job;
    association.CompletionPort = port;
    if (!SetInformationJobObject(job, JobObjectAssociateCompletionPortInformation, &association,
                                 sizeof association))
        Fail("SetInformationJobObject");

    std::string commandLine = "\"" + std::string(argv[1]) + "\"";
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION setup = {};
    const CClock clock;
    if (!CreateProcessA(argv[1], &commandLine[0], nullptr, nullptr, FALSE, CREATE_SUSPENDED, nullptr, nullptr,
                        &startup, &setup))
        Fail("starting the setup program");
    if (!AssignProcessToJobObject(job, setup.hProcess))
        Fail("AssignProcessToJobObject");
    ResumeThread(setup.hThread);
    CloseHandle(setup.hThread);

    std::vector<NewProcess> started;
    double windowMs = -1;
    SIZE_T peakWorkingSet = 0;
    SIZE_T peakPrivate = 0;
    bool ended = false;
    while (!ended && clock.Ms() < kTimeoutMs) {
        DWORD message = 0;
        ULONG_PTR key = 0;
        LPOVERLAPPED detail = nullptr;
        if (GetQueuedCompletionStatus(port, &message, &key, &detail, kPollMs)) {
            const DWORD id = static_cast<DWORD>(reinterpret_cast<ULONG_PTR>(detail));
            if (message == JOB_OBJECT_MSG_NEW_PROCESS && id != setup.dwProcessId)
                started.push_back(NewProcess{id, clock.Ms(), nullptr, Named::kNotYet});
        }
        for (NewProcess& process : started)
            if (process.named == Named::kNotYet)
                LearnName(process);
        if (WaitForSingleObject(setup.hProcess, 0) != WAIT_TIMEOUT) {
            ended = true;
        } else {
            PROCESS_MEMORY_COUNTERS counters = {};
            counters.cb = sizeof counters;
            if (GetProcessMemoryInfo(setup.hProcess, &counters, sizeof counters)) {
                peakWorkingSet = std::max(peakWorkingSet, counters.PeakWorkingSetSize);
                peakPrivate = std::max(peakPrivate, counters.PeakPagefileUsage);
            }
            if (windowMs < 0 && HasWindow(setup.dwProcessId))
                windowMs = clock.Ms();
        }
    }
    const double totalMs = clock.Ms();
    const double installerMs = InstallerCreatedMs(started);
    for (const NewProcess& process : started)
        if (process.handle != nullptr)
            CloseHandle(process.handle);
    DWORD exitCode = 0;
    GetExitCodeProcess(setup.hProcess, &exitCode);
    std::printf("window_ms=%.0f installer_ms=%.0f peak_working_set_kib=%lu peak_private_kib=%lu exit=%lu "
                "total_ms=%.0f\n",
                windowMs, installerMs, static_cast<unsigned long>(peakWorkingSet / 1024),
                static_cast<unsigned long>(peakPrivate / 1024), static_cast<unsigned long>(exitCode), totalMs);
    if (!ended)
        std::fprintf(stderr, "kwo_launcher_timer: %s did not end within %.0f minutes\n", argv[1], kTimeoutMs / 60000);
    CloseHandle(setup.hProcess);
    CloseHandle(port);
    CloseHandle(job);  // not killing what is left in it (Wine's desktop)
    return ended && installerMs >= 0 ? 0 : 1;
}
