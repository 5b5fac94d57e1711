// The benchmark program: makes (or reuses) the bench databases, measures each
// side's memory growth in child processes, optionally checks that every side
// shows the expected windows, runs the Google Benchmark operations and prints
// the table.
//
// Options of its own (the rest goes to Google Benchmark):
//   --kv-rows=10000,1000000  row counts (also KV_BENCH_ROWS; 1e7 is accepted)
//   --kv-db-dir=PATH         where the databases are kept (also KV_BENCH_DB_DIR)
//   --kv-server              through the server on 127.0.0.1, port KV_FB_PORT
//                            (3050), SYSDBA password KV_FB_PASSWORD (kvtest);
//                            exits with 77 when no server listens there
//   --kv-repetitions=N       repetitions (3); within each the sides of an
//                            operation run one after the other
//   --kv-check               check every side's windows before timing
//   --kv-no-memory           skip the memory probes
// Internal, for the child processes: --kv-make-db=ROWS, --kv-probe=SIDE:ORDER:ROWS.

#include "BenchDatabase.h"
#include "BenchMemory.h"
#include "BenchMonitor.h"
#include "BenchOps.h"
#include "BenchReport.h"
#include "BenchStatements.h"
#include "SQLSelectParserKV.h"
#include "SysUtils.h"

#include <QCoreApplication>
#include <benchmark/benchmark.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <map>
#include <memory>
#include <sstream>

#ifndef KV_BENCH_DEFAULT_DB_DIR
#define KV_BENCH_DEFAULT_DB_DIR "bench-data"
#endif

// The engine and Qt's plugin keep caches for the life of the process; they
// are not leaks of ours.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libfbclient.so\nleak:libEngine12.so\nleak:libSrp.so\nleak:libfbintl.so\nleak:libicuuc."
           "so\nleak:libicui18n.so\nleak:libqsqlibase.so\nleak:libQt6Core.so\nleak:libQt6Sql.so\n";
}

namespace {

// The server of --kv-server, as scripts/fbserver sets it up.
struct TServer {
    AnsiString Host = "127.0.0.1";
    int Port = 3050;
    AnsiString Password = "kvtest";
};

struct TBenchOptions {
    std::vector<Int64> Rows{10000, 1000000};
    AnsiString DbDir = KV_BENCH_DEFAULT_DB_DIR;
    bool Check = false;
    bool Memory = true;
    bool Remote = false;
    TServer Server;
    Int64 MakeDb = 0;
    AnsiString Probe;
    int Repetitions = 3;
};

// Exit code of a run through a server that does not listen (a skipped test).
constexpr int ExitNoServer = 77;

bool ServerListens(const TServer& S) {
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0) return false;
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<uint16_t>(S.Port));
    inet_pton(AF_INET, S.Host.c_str(), &addr.sin_addr);
    int rc = connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    close(fd);
    return rc == 0;
}

Int64 ParseCount(const AnsiString& Text) {
    AnsiString t = Trim(Text);
    size_t e = t.find_first_of("eE");
    Int64 value = 0;
    if (e != AnsiString::npos) {
        Int64 mantissa = StrToInt64(t.substr(0, e));
        int exponent = StrToInt(t.substr(e + 1));
        value = mantissa;
        for (int i = 0; i < exponent; ++i)
            value *= 10;
    } else {
        value = StrToInt64(t);
    }
    if (value < 100) throw Exception("bench: a row count below 100 is too small: " + Text);
    return value;
}

std::vector<Int64> ParseCounts(const AnsiString& Text) {
    std::vector<Int64> rows;
    std::istringstream in(Text);
    std::string item;
    while (std::getline(in, item, ','))
        if (!Trim(item).empty()) rows.push_back(ParseCount(item));
    if (rows.empty()) throw Exception("bench: no row count in " + Text);
    return rows;
}

// Takes this program's options out of argv.
TBenchOptions ParseOptions(int& argc, char** argv) {
    TBenchOptions o;
    if (const char* v = std::getenv("KV_BENCH_ROWS"); v && *v) o.Rows = ParseCounts(v);
    if (const char* v = std::getenv("KV_BENCH_DB_DIR"); v && *v) o.DbDir = v;
    int out = 1;
    for (int i = 1; i < argc; ++i) {
        AnsiString a = argv[i];
        auto value = [&a](const char* Name) -> const char* {
            size_t n = std::strlen(Name);
            return a.compare(0, n, Name) == 0 ? a.c_str() + n : nullptr;
        };
        if (const char* v = value("--kv-rows="))
            o.Rows = ParseCounts(v);
        else if (const char* v = value("--kv-db-dir="))
            o.DbDir = v;
        else if (a == "--kv-check")
            o.Check = true;
        else if (a == "--kv-no-memory")
            o.Memory = false;
        else if (a == "--kv-server")
            o.Remote = true;
        else if (const char* v = value("--kv-repetitions="))
            o.Repetitions = std::max(1, StrToInt(v));
        else if (const char* v = value("--kv-make-db="))
            o.MakeDb = ParseCount(v);
        else if (const char* v = value("--kv-probe="))
            o.Probe = v;
        else if (a.rfind("--kv-", 0) == 0)
            throw Exception("bench: unknown option " + a);
        else if (value("--benchmark_repetitions="))
            throw Exception("bench: repetitions are --kv-repetitions=N (the sides alternate within each)");
        else
            argv[out++] = argv[i];
    }
    argc = out;
    argv[argc] = nullptr;
    if (const char* v = std::getenv("KV_FB_PORT"); v && *v) o.Server.Port = StrToInt(v);
    if (const char* v = std::getenv("KV_FB_PASSWORD"); v && *v) o.Server.Password = v;
    return o;
}

TBenchOrder ParseOrder(const AnsiString& Text) {
    if (Text == "ID") return TBenchOrder::Id;
    if (Text == "DESCRIPTION") return TBenchOrder::Description;
    if (Text == "QUANTITY") return TBenchOrder::Quantity;
    throw Exception("bench: unknown order " + Text);
}

TBenchOptions Options;

TBenchTarget MakeTarget(const AnsiString& Path, Int64 Rows, TBenchOrder Order) {
    TBenchTarget t;
    t.DatabasePath = Path;
    t.DatabaseName = Path;
    t.RowCount = Rows;
    t.Order = Order;
    if (Options.Remote) {
        t.Remote = true;
        t.DatabaseName = Options.Server.Host + "/" + IntToStr(Options.Server.Port) + ":" + Path;
        t.Password = Options.Server.Password;
    }
    return t;
}

const TBenchOrder AllOrders[] = {TBenchOrder::Id, TBenchOrder::Description, TBenchOrder::Quantity};
// The memory probe's sequence ends with a whole scan: measured in the two
// orders of the demonstration program.
const TBenchOrder MemoryOrders[] = {TBenchOrder::Id, TBenchOrder::Description};

// One row count: its database, the rule of its rows and the search plans.
struct TRowsContext {
    TRowsContext(Int64 R, const AnsiString& P)
        : Rows(R), Path(P), Data(R), Plans{MakeBenchPlan(Data, TBenchOrder::Id, 20),
                                           MakeBenchPlan(Data, TBenchOrder::Description, 20),
                                           MakeBenchPlan(Data, TBenchOrder::Quantity, 20)} {}
    Int64 Rows;
    AnsiString Path;
    TBenchData Data;
    TBenchPlan Plans[3]; // by order
    const TBenchPlan& Plan(TBenchOrder Order) const { return Plans[static_cast<int>(Order)]; }
};

// The sides' sessions, kept across benchmarks; closed in the reverse order.
class TSessions {
public:
    TBenchSide& Get(const AnsiString& Side, const TBenchTarget& Target) {
        AnsiString key = Side + "|" + Target.DatabasePath + "|" + OrderName(Target.Order);
        for (auto& [k, s] : FSides)
            if (k == key) return *s;
        FSides.emplace_back(key, CreateBenchSide(Side, Target));
        return *FSides.back().second;
    }
    void Clear() {
        while (!FSides.empty())
            FSides.pop_back();
    }

private:
    std::vector<std::pair<AnsiString, std::unique_ptr<TBenchSide>>> FSides;
};

TSessions Sessions;

// After a failure the side may be half-way: close what can be closed.
void Recover(TBenchSide& Side) {
    try {
        Side.Close();
        Side.Restart();
    } catch (...) {
        // the next use reports its own failure
    }
}

// The timed work of every iteration but the first of a run, which meets
// cold caches: valgrind --tool=callgrind --toggle-collect='*RunWarmOp*'
// counts the instructions of these alone.
[[gnu::noinline]] void RunWarmOp(TBenchOp Op, TBenchSide& Side, const TBenchPlan& Plan, Int64 RowCount) {
    RunOp(Op, Side, Plan, RowCount);
}

void RunBenchmark(benchmark::State& State, const TRowsContext* Ctx, TBenchOrder Order, TBenchOp Op,
                  const AnsiString& SideName) {
    AnsiString why = SideUnavailableReason(SideName);
    if (!why.empty()) {
        State.SkipWithError(why.c_str());
        return;
    }
    TBenchSide* side = nullptr;
    try {
        side = &Sessions.Get(SideName, MakeTarget(Ctx->Path, Ctx->Rows, Order));
    } catch (const std::exception& e) {
        State.SkipWithError(e.what());
        return;
    }
    const TBenchPlan& plan = Ctx->Plan(Order);
    bool warm = false;
    for (auto _ : State) {
        try {
            SetUpOp(Op, *side, plan);
            auto start = std::chrono::steady_clock::now();
            if (warm)
                RunWarmOp(Op, *side, plan, Ctx->Rows);
            else
                RunOp(Op, *side, plan, Ctx->Rows);
            warm = true;
            auto end = std::chrono::steady_clock::now();
            TearDownOp(Op, *side);
            State.SetIterationTime(std::chrono::duration<double>(end - start).count());
        } catch (const std::exception& e) {
            Recover(*side);
            State.SkipWithError(e.what());
            break;
        }
    }
}

AnsiString WindowText(const TBenchWindow& W) {
    AnsiString s;
    for (size_t i = 0; i < W.size(); ++i)
        s += (i ? "," : "") + IntToStr(W[i]);
    return "[" + s + "]";
}

// Every side's window after every operation, against the rows the table
// holds; and the engine's work for each, which must be the same for the
// dataset as for the bare client.
int RunChecks(const std::deque<TRowsContext>& Contexts, const std::vector<AnsiString>& Sides) {
    int failures = 0, passed = 0;
    for (TBenchOrder order : AllOrders) {
        const TBenchStatements& s = BenchStatements(order);
        for (const AnsiString* text : {&s.Forward, &s.ForwardAt, &s.Backward, &s.BackwardAt, &s.Refresh}) {
            // The texts are in the form the parser rebuilds them in.
            TSQLSelectParserKV parser;
            parser.SQLDialect = 3;
            parser.SetSQLText(*text);
            if (parser.GetSQLText() == *text) {
                ++passed;
            } else {
                ++failures;
                std::fprintf(stderr, "check: statement text is not in rebuilt form:\n%s\n", text->c_str());
            }
        }
    }
    std::map<std::tuple<Int64, int, int, AnsiString>, TEngineWork> work;
    for (const TRowsContext& ctx : Contexts) {
        TEngineMonitor monitor(MakeTarget(ctx.Path, ctx.Rows, TBenchOrder::Id));
        for (TBenchOrder order : AllOrders)
            for (const TBenchOpInfo& op : BenchOps())
                for (const AnsiString& sideName : Sides) {
                    if (!SideUnavailableReason(sideName).empty() || !Measured(sideName, order, op.Op))
                        continue;
                    AnsiString where = AnsiString(op.Name) + "/" + OrderName(order) + "/" + sideName +
                                       "/rows:" + IntToStr(ctx.Rows);
                    TBenchWindow expected = ExpectedWindow(op.Op, ctx.Data, order, ctx.Plan(order), 20);
                    try {
                        TBenchSide& side = Sessions.Get(sideName, MakeTarget(ctx.Path, ctx.Rows, order));
                        Int64 id = side.AttachmentId();
                        SetUpOp(op.Op, side, ctx.Plan(order));
                        TEngineWork before = monitor.Read(id);
                        RunOp(op.Op, side, ctx.Plan(order), ctx.Rows);
                        work[{ctx.Rows, int(order), int(op.Op), sideName}] = monitor.Read(id) - before;
                        TBenchWindow got = side.Window();
                        TearDownOp(op.Op, side);
                        if (got == expected) {
                            ++passed;
                            continue;
                        }
                        std::fprintf(stderr, "check %s: window %s, expected %s\n", where.c_str(),
                                     WindowText(got).c_str(), WindowText(expected).c_str());
                    } catch (const std::exception& e) {
                        std::fprintf(stderr, "check %s: %s\n", where.c_str(), e.what());
                    }
                    ++failures;
                }
    }

    std::printf("\nEngine work per operation: records read / pages fetched\n");
    AnsiString head = Format("%-12s %-12s %-24s", {"rows", "order", "operation"});
    for (const AnsiString& side : Sides)
        head += Format(" %-17s", {side});
    std::printf("%s\n", TrimRight(head).c_str());
    auto cell = [&work](Int64 Rows, TBenchOrder Order, TBenchOp Op, const AnsiString& Side) -> AnsiString {
        auto i = work.find({Rows, int(Order), int(Op), Side});
        if (i == work.end()) return "-";
        return IntToStr(i->second.RecordReads) + " / " + IntToStr(i->second.PageFetches);
    };
    for (const TRowsContext& ctx : Contexts)
        for (TBenchOrder order : AllOrders)
            for (const TBenchOpInfo& op : BenchOps()) {
                if (!OrderSupports(order, op.Op)) continue;
                AnsiString line =
                    Format("%-12s %-12s %-24s", {IntToStr(ctx.Rows), OrderName(order), op.Title});
                for (const AnsiString& side : Sides)
                    line += Format(" %-17s", {cell(ctx.Rows, order, op.Op, side)});
                std::printf("%s\n", TrimRight(line).c_str());
                // Through a server the client fetches ahead, and how far it got
                // when a cursor closes depends on timing: no equal counts there.
                auto b = work.find({ctx.Rows, int(order), int(op.Op), "bare"});
                auto d = work.find({ctx.Rows, int(order), int(op.Op), "dataset"});
                if (!Options.Remote && b != work.end() && d != work.end() &&
                    b->second.RecordReads != d->second.RecordReads) {
                    ++failures;
                    std::fprintf(
                        stderr,
                        "check %s/%s/rows:%lld: the engine read %lld records for the dataset and %lld "
                        "for the bare client: they no longer do the same work\n",
                        op.Name, OrderName(order), static_cast<long long>(ctx.Rows),
                        static_cast<long long>(d->second.RecordReads),
                        static_cast<long long>(b->second.RecordReads));
                }
            }
    std::fflush(stdout);
    std::fprintf(stderr, "bench check: %d as expected, %d wrong\n", passed, failures);
    return failures;
}

int RunMain(int argc, char** argv) {
    Options = ParseOptions(argc, argv);
    const TBenchOptions& opt = Options;
    QCoreApplication app(argc, argv);

    if (opt.MakeDb > 0) {
        EnsureBenchDatabase(opt.DbDir, opt.MakeDb, true);
        return 0;
    }
    if (!opt.Probe.empty()) {
        std::istringstream in(opt.Probe);
        std::string side, order, rows;
        std::getline(in, side, ':');
        std::getline(in, order, ':');
        std::getline(in, rows, ':');
        Int64 n = ParseCount(rows);
        return RunMemoryProbe(side, MakeTarget(BenchDatabaseFile(opt.DbDir, n), n, ParseOrder(order)));
    }

    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 2;

    TBenchRunInfo info;
    info.Remote = opt.Remote;
    info.Sides = BenchSides(opt.Remote);
    info.Repetitions = opt.Repetitions;
    info.Where = "embedded engine";
    if (opt.Remote) {
        info.Where = "server on " + opt.Server.Host + ":" + IntToStr(opt.Server.Port);
        if (!ServerListens(opt.Server)) {
            std::fprintf(stderr,
                         "bench: no Firebird server listens on %s:%d (scripts/bench --server starts one)\n",
                         opt.Server.Host.c_str(), opt.Server.Port);
            return ExitNoServer;
        }
    }
    // Options passed on to the child processes that attach.
    std::vector<AnsiString> childOptions{"--kv-db-dir=" + opt.DbDir};
    if (opt.Remote) childOptions.push_back("--kv-server");

    // The databases are made, and the memory measured, in child processes:
    // this process attaches only after them (one process per database file
    // for the embedded engine; a server opens a file only when nobody else
    // has it open).
    std::deque<TRowsContext> contexts;
    for (Int64 rows : opt.Rows) {
        if (!BenchDatabaseReady(opt.DbDir, rows))
            RunSelf({"--kv-make-db=" + IntToStr(rows), "--kv-db-dir=" + opt.DbDir});
        contexts.emplace_back(rows, BenchDatabaseFile(opt.DbDir, rows));
        std::fprintf(stderr, "bench: %s\n",
                     MakeTarget(contexts.back().Path, rows, TBenchOrder::Id).DatabaseName.c_str());
    }

    TBenchResults results;
    if (opt.Memory)
        for (const TRowsContext& ctx : contexts)
            for (TBenchOrder order : MemoryOrders)
                for (const char* side : MemorySideNames) {
                    TMemoryFigure figure;
                    AnsiString why = SideUnavailableReason(side);
                    if (why.empty()) {
                        try {
                            std::vector<AnsiString> args = childOptions;
                            args.push_back(AnsiString("--kv-probe=") + side + ":" + OrderName(order) + ":" +
                                           IntToStr(ctx.Rows));
                            figure = ParseMemoryProbe(RunSelf(args));
                        } catch (const std::exception& e) {
                            figure.Error = e.what();
                        }
                    }
                    results.SetMemory(ctx.Rows, order, side, figure);
                    if (figure.Valid)
                        std::fprintf(stderr, "bench: memory of %s, %s, %lld rows: %+lld KiB\n", side,
                                     OrderName(order), static_cast<long long>(ctx.Rows),
                                     static_cast<long long>(figure.GrowthKiB()));
                }

    int failures = opt.Check ? RunChecks(contexts, info.Sides) : 0;

    // Repetition by repetition, and within one the sides of an operation one
    // after the other (in a rotating order), so that a change of load on a
    // shared machine falls on every side alike.
    for (int rep = 1; rep <= opt.Repetitions; ++rep)
        for (const TRowsContext& ctx : contexts)
            for (TBenchOrder order : AllOrders)
                for (const TBenchOpInfo& op : BenchOps()) {
                    std::vector<AnsiString> sides;
                    for (const AnsiString& side : info.Sides)
                        if (Measured(side, order, op.Op)) sides.push_back(side);
                    if (sides.empty()) continue;
                    std::rotate(sides.begin(), sides.begin() + (rep - 1) % sides.size(), sides.end());
                    for (const AnsiString& side : sides) {
                        AnsiString name = AnsiString(op.Name) + "/" + OrderName(order) + "/" + side +
                                          "/rows:" + IntToStr(ctx.Rows) + "/rep:" + IntToStr(rep);
                        results.Register(name, {ctx.Rows, order, op.Op, side, rep});
                        auto* bench =
                            benchmark::RegisterBenchmark(name.c_str(), RunBenchmark, &ctx, order, op.Op, side)
                                ->UseManualTime()
                                ->Unit(benchmark::kMillisecond);
                        // Every set-up in the QUANTITY order sorts the table (seconds, not
                        // timed): a few iterations, not as many as fill the minimum time.
                        if (order == TBenchOrder::Quantity) bench->Iterations(3);
                    }
                }
    TCollectingReporter reporter(results);
    benchmark::RunSpecifiedBenchmarks(&reporter);
    Sessions.Clear();
    benchmark::Shutdown();

    std::vector<Int64> rows;
    for (const TRowsContext& ctx : contexts)
        rows.push_back(ctx.Rows);
    results.PrintTable(stdout, info, rows, {std::begin(AllOrders), std::end(AllOrders)});
    std::fflush(stdout);
    int errors = results.ErrorCount();
    if (errors > 0) std::fprintf(stderr, "bench: %d measurement(s) failed\n", errors);
    return failures > 0 || errors > 0 ? 1 : 0;
}

} // namespace

int main(int argc, char** argv) {
    try {
        return RunMain(argc, argv);
    } catch (const std::exception& e) {
        Sessions.Clear();
        std::fprintf(stderr, "bench: %s\n", e.what());
        return 1;
    }
}
