// Reading a settings file with one very long value: TIniFile against the
// bare work of reading the same file into memory, at growing sizes. The
// ratio stays flat and the time per megabyte stays the same when reading is
// linear in the file's size.
//
//   kv_bench_inifile [Google Benchmark options]
#include "IniFiles.h"

#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>

namespace {

const int SizesMiB[] = {1, 16, 32}; // within MaxIniFileSize

std::string FileFor(int MiB) {
    static const std::string folder = [] {
        std::string templ = (std::filesystem::temp_directory_path() / "kv-bench-ini-XXXXXX").string();
        if (!mkdtemp(templ.data())) std::abort();
        return templ;
    }();
    std::string file = folder + "/" + std::to_string(MiB) + ".ini";
    if (!std::filesystem::exists(file)) {
        // The long value first: every key after it is found only past it.
        std::ofstream(file) << "[Database Settings]\nServer="
                            << std::string(static_cast<size_t>(MiB) << 20, 'x')
                            << "\nRemeber=1\nPassword=pw\n";
    }
    return file;
}

void BareRead(benchmark::State& State) {
    std::string file = FileFor(static_cast<int>(State.range(0)));
    for (auto _ : State) {
        int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
        struct stat info {};
        ::fstat(fd, &info);
        std::string data;
        data.reserve(static_cast<size_t>(info.st_size));
        char buf[65536];
        ssize_t n;
        while ((n = ::read(fd, buf, sizeof buf)) > 0)
            data.append(buf, static_cast<size_t>(n));
        ::close(fd);
        benchmark::DoNotOptimize(data.find("Password="));
    }
}

void IniReadString(benchmark::State& State) {
    TIniFile ini(FileFor(static_cast<int>(State.range(0))));
    for (auto _ : State)
        benchmark::DoNotOptimize(ini.ReadString("Database Settings", "Password", ""));
}

void IniReadLongValue(benchmark::State& State) {
    TIniFile ini(FileFor(static_cast<int>(State.range(0))));
    for (auto _ : State)
        benchmark::DoNotOptimize(ini.ReadString("Database Settings", "Server", "").size());
}

// Prints, after Google Benchmark's own table, each TIniFile figure as a
// ratio to the bare read of the same file.
class TRatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& Reports) override {
        ConsoleReporter::ReportRuns(Reports);
        // Single runs, or the means of repeated ones.
        for (const Run& r : Reports)
            if (r.run_type == Run::RT_Iteration || r.aggregate_name == "mean")
                FTimes[r.run_name.str()] = r.GetAdjustedRealTime();
    }
    void Finalize() override {
        ConsoleReporter::Finalize();
        std::printf("\n%-8s %14s %14s %14s\n", "MiB", "ReadString", "long value", "ms per MiB");
        for (int mib : SizesMiB) {
            std::string n = "/" + std::to_string(mib);
            double bare = FTimes["BareRead" + n];
            if (bare <= 0) continue;
            double key = FTimes["IniReadString" + n] / bare, value = FTimes["IniReadLongValue" + n] / bare;
            std::printf("%-8d %13.2fx %13.2fx %14.2f\n", mib, key, value, FTimes["IniReadString" + n] / mib);
        }
    }

private:
    std::map<std::string, double> FTimes; // in the reporter's unit, milliseconds
};

} // namespace

BENCHMARK(BareRead)->Arg(1)->Arg(16)->Arg(32)->Unit(benchmark::kMillisecond);
BENCHMARK(IniReadString)->Arg(1)->Arg(16)->Arg(32)->Unit(benchmark::kMillisecond);
BENCHMARK(IniReadLongValue)->Arg(1)->Arg(16)->Arg(32)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    TRatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    std::error_code ec;
    std::filesystem::remove_all(std::filesystem::path(FileFor(1)).parent_path(), ec);
    return 0;
}
