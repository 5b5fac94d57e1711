// The RTF benchmark: reading and writing a document of several megabytes
// of RTF as word processors write it, and loading it into the rich edit,
// each figure as a ratio against unrtf reading the same file in the same
// run; and the resident memory reading and loading grow by.
//
//   kv_bench_rtf [--kv-size=MB] [--kv-check] [Google Benchmark options]
//
// Targets: reading at least as fast as unrtf; loading into the editor (the
// editor reads the RTF itself) within 3x of reading alone. Loading is also
// set against the floor of Qt's text document: the bare text of the same
// paragraphs inserted into a document without any format.
//
// Hostile shapes: a megabyte of font table and of colour table, every entry
// another, read in milliseconds per megabyte against the document's (linear
// reading keeps the ratio near 1, whatever the table's length); and 800 KB
// of paragraph marks under 32 tab stops, the heap its document holds and
// the RTF written back from it, over the file's size.
#include "ComCtrls.h"
#include "Forms.h"
#include "QtBench.h"
#include "Rtf.h"

#include <QApplication>
#include <QTextCursor>
#include <QTextDocument>
#include <benchmark/benchmark.h>

#include <malloc.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

// ---- The document -------------------------------------------------------------

const char* const Words[] = {
    "Lorem",      "ipsum",    "dolor",        "sit",     "amet",      "Gr\\'fc\\'dfe",
    "Stra\\'dfe", "M\\'e4rz", "\\u8364\\'80", "und",     "oder",      "Rechnung",
    "Menge",      "Preis",    "Kunde",        "Auftrag", "Lieferung", "\\u1046\\'3f\\u1080\\'3f",
    "Angebot",    "Zahl"};

// A document like the ones word processors write: a font, colour and style
// table, headings, running text with bold, italic, coloured and sized runs
// in groups, umlauts as code-page and Unicode escapes, tab tables, hanging
// indents and bullets; about Bytes long.
std::string MakeDocument(size_t Bytes) {
    std::string d = "{\\rtf1\\ansi\\ansicpg1252\\deff0\\uc1"
                    "{\\fonttbl{\\f0\\fswiss\\fcharset0 Arial;}{\\f1\\froman\\fcharset0 Times New Roman;}"
                    "{\\f2\\fmodern\\fcharset0 Courier New;}{\\f3\\fnil\\fcharset2 Symbol;}}\n"
                    "{\\colortbl;\\red0\\green0\\blue0;\\red192\\green0\\blue0;\\red0\\green0\\blue160;}\n"
                    "{\\stylesheet{\\s0\\f1\\fs24 Normal;}{\\s1\\f0\\fs32\\b heading 1;}}\n"
                    "{\\info{\\title Benchmark}{\\author kv}}\\viewkind4\n";
    unsigned seed = 12345;
    auto next = [&] {
        seed = seed * 1103515245u + 12345u;
        return (seed >> 16) & 0x7FFF;
    };
    auto words = [&](int N) {
        std::string s;
        for (int i = 0; i < N; ++i) {
            if (i) s += ' ';
            std::string w = Words[next() % (sizeof Words / sizeof *Words)];
            switch (next() % 40) { // one word in ten formatted
            case 0:
                s += "{\\b " + w + "}";
                break;
            case 1:
                s += "{\\i " + w + "}";
                break;
            case 2:
                s += "{\\cf2 " + w + "}";
                break;
            case 3:
                s += "{\\f2\\fs20 " + w + "}";
                break;
            default:
                s += w;
                break;
            }
        }
        return s;
    };
    for (int n = 0; d.size() < Bytes; ++n) {
        switch (n % 10) {
        case 0:
            d += "\\pard\\plain\\s1\\qc\\f0\\fs32\\b Kapitel " + std::to_string(n / 10 + 1) + "\\par\n";
            break;
        case 4:
            d += "\\pard\\plain\\s0\\li720\\fi-360\\tx720\\tx2880\\tx4320\\f1\\fs24 " + std::to_string(n) +
                 ".\\tab " + words(2) + "\\tab " + words(1) + "\\tab " + words(1) + "\\par\n";
            break;
        case 7:
        case 8:
            d += "\\pard\\plain\\s0\\li720\\fi-360{\\pntext\\f3\\'b7\\tab}{\\*"
                 "\\pn\\pnlvlblt\\pnf3\\pnindent360"
                 "{\\pntxtb\\'b7}}\\f1\\fs24 " +
                 words(8) + "\\par\n";
            break;
        default:
            d += "\\pard\\plain\\s0\\qj\\f1\\fs24 " + words(40 + static_cast<int>(next() % 40)) + "\\par\n";
            break;
        }
    }
    d += "}\n";
    return d;
}

// A font table of about Bytes, every name another: the reader looks each
// name up as it comes.
std::string MakeFontTable(size_t Bytes) {
    std::string d = "{\\rtf1\\ansi{\\fonttbl";
    for (int n = 0; d.size() < Bytes; ++n)
        d += "{\\f" + std::to_string(n) + " F" + std::to_string(n) + ";}";
    d += "}\\f7 text}";
    return d;
}

// A colour table of about Bytes, every colour another.
std::string MakeColorTable(size_t Bytes) {
    std::string d = "{\\rtf1\\ansi{\\colortbl;";
    for (int n = 0; d.size() < Bytes; ++n)
        d += "\\red" + std::to_string(n & 255) + "\\green" + std::to_string((n >> 8) & 255) + "\\blue" +
             std::to_string((n >> 16) & 255) + ";";
    d += "}\\cf7 text}";
    return d;
}

// About Bytes of paragraph marks under 32 tab stops, the densest way to ask
// for paragraph formats.
std::string MakeTabbedMarks(size_t Bytes) {
    std::string d = "{\\rtf1\\ansi\\pard";
    for (int i = 1; i <= RtfMaxTabs; ++i)
        d += "\\tx" + std::to_string(i * 640);
    d += ' ';
    while (d.size() < Bytes)
        d += "\\par";
    d += '}';
    return d;
}

// ---- Measures -------------------------------------------------------------------

// The bytes the heap hands out at the moment: what a read document holds,
// without the pages the allocator keeps for itself.
Int64 HeapBytes() {
    struct mallinfo2 m = mallinfo2();
    return static_cast<Int64>(m.uordblks + m.hblkhd);
}

Int64 ResidentKiB() {
    std::ifstream in("/proc/self/statm");
    Int64 pages = 0, resident = 0;
    in >> pages >> resident;
    return resident * sysconf(_SC_PAGESIZE) / 1024;
}

struct TSource {
    const std::string* Data;
    size_t At = 0;
};

DWORD ReadSource(DWORD_PTR Cookie, LPBYTE Buffer, LONG Count, LONG* Done) {
    auto* s = reinterpret_cast<TSource*>(Cookie);
    size_t n = std::min(static_cast<size_t>(Count), s->Data->size() - s->At);
    std::memcpy(Buffer, s->Data->data() + s->At, n);
    s->At += n;
    *Done = static_cast<LONG>(n);
    return 0;
}

// Streams the RTF into the editor as an application does (EM_STREAMIN).
void LoadIntoEditor(TRichEdit& Edit, const std::string& Rtf) {
    TSource source{&Rtf};
    EDITSTREAM stream;
    stream.dwCookie = reinterpret_cast<DWORD_PTR>(&source);
    stream.pfnCallback = ReadSource;
    Edit.Perform(EM_STREAMIN, SF_RTF, reinterpret_cast<LPARAM>(&stream));
    QApplication::processEvents(); // what is shown is laid out
}

struct TState {
    std::string Path;
    std::string Rtf;
    std::string FontTable, ColorTable;
    TRtfDocument Document;
    TForm* Form = nullptr;
    TRichEdit* Edit = nullptr;
};
TState* State = nullptr;

void BM_UnrtfRead(benchmark::State& S) {
    std::string command = "unrtf --text '" + State->Path + "' > /dev/null 2>&1";
    for (auto _ : S)
        if (std::system(command.c_str()) != 0) S.SkipWithError("unrtf failed");
}

// Reading RTF into a document: the document, or a table of a megabyte.
void BM_Read(benchmark::State& S, const std::string* Rtf) {
    for (auto _ : S) {
        TRtfDocument d = ReadRtf(*Rtf);
        benchmark::DoNotOptimize(d);
    }
}

void BM_LoadFontTableIntoEditor(benchmark::State& S) {
    for (auto _ : S)
        LoadIntoEditor(*State->Edit, State->FontTable);
}

void BM_Write(benchmark::State& S) {
    for (auto _ : S) {
        AnsiString out = WriteRtf(State->Document);
        benchmark::DoNotOptimize(out);
    }
}

void BM_LoadIntoEditor(benchmark::State& S) {
    for (auto _ : S)
        LoadIntoEditor(*State->Edit, State->Rtf);
}

// The editor's part of loading: the read document put into the editor.
void BM_SetRichText(benchmark::State& S) {
    for (auto _ : S) {
        State->Edit->SetRichText(State->Document);
        QApplication::processEvents();
    }
}

// The floor Qt's text document sets: the same paragraphs' text, without
// any format, put into a bare document in one edit block.
void BM_QtBareInsert(benchmark::State& S) {
    std::vector<QString> paragraphs;
    for (const TRtfParagraph& p : State->Document.Paragraphs) {
        std::string text;
        for (const TRtfRun& r : p.Runs)
            text += r.Text;
        paragraphs.push_back(QString::fromStdString(text));
    }
    for (auto _ : S) {
        QTextDocument doc;
        doc.setUndoRedoEnabled(false);
        QTextCursor c(&doc);
        c.beginEditBlock();
        for (size_t i = 0; i < paragraphs.size(); ++i) {
            if (i) c.insertBlock();
            c.insertText(paragraphs[i]);
        }
        c.endEditBlock();
    }
}

} // namespace

int main(int argc, char** argv) {
    double megabytes = 5;
    bool check = false;
    TQtBench bench(argc, argv, [&](const char* Arg) {
        if (std::strncmp(Arg, "--kv-size=", 10) == 0)
            megabytes = std::atof(Arg + 10);
        else if (std::strcmp(Arg, "--kv-check") == 0)
            check = true;
        else
            return false;
        return true;
    });

    TState state;
    State = &state;
    state.Rtf = MakeDocument(static_cast<size_t>(megabytes * 1024 * 1024));
    state.Path =
        (std::filesystem::temp_directory_path() / ("kv-bench-" + std::to_string(getpid()) + ".rtf")).string();
    std::ofstream(state.Path, std::ios::binary) << state.Rtf;

    // Memory: what reading keeps (the document), then what the editor holds.
    Int64 before = ResidentKiB();
    state.Document = ReadRtf(state.Rtf);
    Int64 afterRead = ResidentKiB();
    // Paragraph formats: 800 KB of marks under 32 stops, read and written back.
    std::string marks = MakeTabbedMarks(800 * 1024);
    Int64 heapBefore = HeapBytes();
    size_t marksParagraphs = 0, marksWritten = 0;
    Int64 marksHeld = 0;
    {
        TRtfDocument d = ReadRtf(marks);
        marksHeld = HeapBytes() - heapBefore;
        marksParagraphs = d.Paragraphs.size();
        marksWritten = WriteRtf(d).size();
    }
    state.FontTable = MakeFontTable(1024 * 1024);
    state.ColorTable = MakeColorTable(1024 * 1024);
    TForm form(nullptr);
    form.SetBounds(0, 0, 640, 480);
    state.Form = &form;
    state.Edit = new TRichEdit(&form);
    state.Edit->SetParent(&form);
    state.Edit->SetAlign(alClient);
    form.Show();
    Int64 beforeLoad = ResidentKiB();
    LoadIntoEditor(*state.Edit, state.Rtf);
    Int64 afterLoad = ResidentKiB();

    int failures = 0;
    if (check) {
        // Every side sees the same text: ours written out and read back, the editor, unrtf.
        TRtfDocument back = ReadRtf(WriteRtf(state.Document));
        bool same = SameDocument(back, state.Document) && state.Edit->GetText() == state.Document.PlainText();
        std::string probe = "unrtf --text '" + state.Path + "' 2>/dev/null | grep -c Kapitel";
        FILE* p = popen(probe.c_str(), "r");
        int chapters = 0;
        if (p) {
            if (std::fscanf(p, "%d", &chapters) != 1) chapters = 0;
            pclose(p);
        }
        int ours = 0;
        for (const TRtfParagraph& para : state.Document.Paragraphs)
            if (!para.Runs.empty() && para.Runs[0].Text.rfind("Kapitel", 0) == 0) ++ours;
        std::printf("check: %zu paragraphs; round trip and editor %s; chapters ours %d, unrtf %d\n",
                    state.Document.Paragraphs.size(), same ? "same" : "DIFFER", ours, chapters);
        if (!same || ours != chapters) ++failures;
    }

    benchmark::RegisterBenchmark("UnrtfRead", BM_UnrtfRead)->Unit(benchmark::kMillisecond)->UseRealTime();
    benchmark::RegisterBenchmark("Read", BM_Read, &state.Rtf)->Unit(benchmark::kMillisecond)->UseRealTime();
    benchmark::RegisterBenchmark("ReadFontTable", BM_Read, &state.FontTable)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
    benchmark::RegisterBenchmark("ReadColorTable", BM_Read, &state.ColorTable)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
    benchmark::RegisterBenchmark("LoadFontTableIntoEditor", BM_LoadFontTableIntoEditor)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
    benchmark::RegisterBenchmark("Write", BM_Write)->Unit(benchmark::kMillisecond)->UseRealTime();
    benchmark::RegisterBenchmark("LoadIntoEditor", BM_LoadIntoEditor)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
    benchmark::RegisterBenchmark("SetRichText", BM_SetRichText)->Unit(benchmark::kMillisecond)->UseRealTime();
    benchmark::RegisterBenchmark("QtBareInsert", BM_QtBareInsert)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
    TTimesReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    std::filesystem::remove(state.Path);

    auto& t = reporter.Times;
    std::printf("\nRTF document: %.1f MiB, %zu paragraphs\n", state.Rtf.size() / 1048576.0,
                state.Document.Paragraphs.size());
    if (t.count("UnrtfRead") && t.count("Read") && t.count("Write") && t.count("LoadIntoEditor") &&
        t.count("QtBareInsert") && t.count("SetRichText")) {
        double unrtf = t["UnrtfRead"], read = t["Read"], write = t["Write"], load = t["LoadIntoEditor"];
        double bare = t["QtBareInsert"], build = t["SetRichText"];
        std::printf("%-34s %10s %12s %8s\n", "", "ms", "ratio", "target");
        std::printf("%-34s %10.1f %12s %8s\n", "unrtf reads", unrtf, "1.00", "");
        std::printf("%-34s %10.1f %12.2f %8s %s\n", "reading / unrtf", read, read / unrtf, "<= 1",
                    read <= unrtf ? "met" : "MISSED");
        std::printf("%-34s %10.1f %12.2f\n", "writing / unrtf", write, write / unrtf);
        std::printf("%-34s %10.1f %12.2f %8s %s\n", "loading into the editor / reading", load, load / read,
                    "<= 3", load <= 3 * read ? "met" : "MISSED");
        std::printf("%-34s %10.1f %12.2f\n", "  of it the editor's document / reading", build, build / read);
        std::printf("%-34s %10.1f %12.2f\n", "loading / Qt's bare text insertion", load, load / bare);
    }
    // Tables against the document, megabyte for megabyte: a flat ratio means
    // reading stays linear however long a table grows.
    if (t.count("Read") && t.count("ReadFontTable") && t.count("ReadColorTable")) {
        double perMB = t["Read"] / (state.Rtf.size() / 1048576.0);
        auto row = [&](const char* What, const std::string& Data, double Ms) {
            double mb = Data.size() / 1048576.0;
            std::printf("%-34s %10.1f %12.2f   (ms per MB / the document's)\n", What, Ms, Ms / mb / perMB);
        };
        row("1 MB font table read", state.FontTable, t["ReadFontTable"]);
        row("1 MB colour table read", state.ColorTable, t["ReadColorTable"]);
        if (t.count("LoadFontTableIntoEditor"))
            row("1 MB font table into the editor", state.FontTable, t["LoadFontTableIntoEditor"]);
    }
    std::printf("paragraph formats: %.0f KB of marks under %d stops, %zu paragraphs: the read document "
                "holds %.1f x the file, written back %.1f x\n",
                marks.size() / 1024.0, RtfMaxTabs, marksParagraphs, static_cast<double>(marksHeld) / marks.size(),
                static_cast<double>(marksWritten) / marks.size());
    std::printf(
        "memory: the read document %lld KiB (%.1f x the file), the editor %lld KiB (%.1f x the file)\n",
        static_cast<long long>(afterRead - before), (afterRead - before) * 1024.0 / state.Rtf.size(),
        static_cast<long long>(afterLoad - beforeLoad), (afterLoad - beforeLoad) * 1024.0 / state.Rtf.size());
    return failures ? 1 : 0;
}
