#include "BenchMemory.h"

#include "BareClientSide.h"
#include "BenchOps.h"
#include "SysUtils.h"

#include <cstdio>
#include <cstring>
#include <fstream>
#include <malloc.h>
#include <spawn.h>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

Int64 ResidentKiB() {
    std::ifstream in("/proc/self/statm");
    long long size = 0, resident = 0;
    in >> size >> resident;
    return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

Int64 PeakResidentKiB() {
    std::ifstream in("/proc/self/status");
    std::string line;
    while (std::getline(in, line))
        if (line.rfind("VmHWM:", 0) == 0) return std::atoll(line.c_str() + 6);
    return 0;
}

void ResetPeakResident() {
    // "5" resets the peak to the current size (Linux 4.0 and later).
    std::ofstream out("/proc/self/clear_refs");
    out << "5";
}

int RunMemoryProbe(const AnsiString& SideName, const TBenchTarget& Target) {
    try {
        // The engine's page cache and the client's own allocations reach
        // their working size here, so that they are not charged to the side.
        // The warming attachment stays, idle: with the last attachment the
        // engine would close the database and free its cache.
        TBareClientSide warm(Target);
        RunMemorySequence(warm, Target.RowCount);
        warm.Close();
        auto side = CreateBenchSide(SideName, Target);
        malloc_trim(0);
        ResetPeakResident();
        Int64 before = ResidentKiB();
        RunMemorySequence(*side, Target.RowCount);
        malloc_trim(0);
        Int64 after = ResidentKiB();
        Int64 peak = std::max(PeakResidentKiB(), after);
        side->Close();
        std::printf("KVMEM %lld %lld %lld\n", static_cast<long long>(before), static_cast<long long>(after),
                    static_cast<long long>(peak));
        std::fflush(stdout);
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "bench: memory probe of %s failed: %s\n", SideName.c_str(), e.what());
        return 1;
    }
}

AnsiString RunSelf(const std::vector<AnsiString>& Args) {
    // The program's own path, also under a tool such as valgrind, which
    // answers for the program it runs.
    char self[4096];
    ssize_t length = readlink("/proc/self/exe", self, sizeof self - 1);
    if (length <= 0) throw Exception("bench: cannot find the program's own path");
    self[length] = '\0';
    int fds[2];
    if (pipe(fds) != 0) throw Exception("bench: no pipe for a child process");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, fds[0]);
    posix_spawn_file_actions_addclose(&actions, fds[1]);
    std::vector<AnsiString> args{self};
    args.insert(args.end(), Args.begin(), Args.end());
    std::vector<char*> argv;
    for (AnsiString& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    int rc = posix_spawn(&pid, self, &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    if (rc != 0) {
        close(fds[0]);
        throw Exception("bench: cannot start a child process: " + AnsiString(std::strerror(rc)));
    }
    AnsiString output;
    char buffer[4096];
    ssize_t n;
    while ((n = read(fds[0], buffer, sizeof buffer)) > 0)
        output.append(buffer, static_cast<size_t>(n));
    close(fds[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        AnsiString cmd;
        for (const AnsiString& a : Args)
            cmd += " " + a;
        throw Exception("bench: child process" + cmd + " failed");
    }
    return output;
}

TMemoryFigure ParseMemoryProbe(const AnsiString& Output) {
    TMemoryFigure f;
    std::istringstream in(Output);
    std::string line;
    while (std::getline(in, line)) {
        long long before, after, peak;
        if (std::sscanf(line.c_str(), "KVMEM %lld %lld %lld", &before, &after, &peak) == 3) {
            f.Valid = true;
            f.BeforeKiB = before;
            f.AfterKiB = after;
            f.PeakKiB = peak;
            return f;
        }
    }
    f.Error = "no figure";
    return f;
}
