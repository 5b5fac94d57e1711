// Long texts in the edits: a memo blob loaded into the data-aware edit (1,
// 10 and 100 MB) and formatted text (HTML) pasted into the rich-text editor
// (1, 4 and 20 MB), each against Qt's own widget taking the same text in the same run,
// with the time per megabyte at every size, and the part of it beyond
// Qt's. A flat time per megabyte means the work is linear in the text.
//
// Also one line without a blank pasted into a memo, at sizes far smaller:
// Qt wraps such a line in time that grows with its square, in our memo and
// in its own widget alike. The figures tell what a user meets there.
//
//   kv_bench_text [--kv-scale=F] [Google Benchmark options]
//
// --kv-scale multiplies every size (the smoke test runs at 0.01).
#include "Clipbrd.h"
#include "DBEditKV.h"
#include "Forms.h"
#include "MemDataSet.h"
#include "QtBench.h"
#include "RichEdtKV.h"
#include "StdCtrls.h"

#include <QApplication>
#include <QClipboard>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QTextEdit>
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace {

// The rich-text editor's paste button in reach.
class TPasting : public TRichEdtKV {
public:
    using TRichEdtKV::TRichEdtKV;
    void Paste() { BtnPasteClick(this); }
    // Whether the last paragraph stands on the tab grid.
    bool OnTheGrid() {
        EdtRich->SetSelStart(EdtRich->GetTextLength());
        return EdtRich->GetParagraph()->GetTabCount() == MaxTabStops;
    }
};

// Lines of about 60 bytes with umlauts, as notes are written; about Bytes
// long, with line breaks Break.
std::string MakeText(size_t Bytes, const char* Break) {
    std::string text;
    text.reserve(Bytes + 64);
    for (int n = 0; text.size() < Bytes; ++n)
        text += "Zeile " + std::to_string(n) + ": Gr\xC3\xBC\xC3\x9F" "e aus der Stra\xC3\x9F" "e, Menge und Preis" +
                Break;
    return text;
}

// Times Work in every iteration, after Reset, each with the events they
// leave (the window's layout) handled.
void TimeEach(benchmark::State& S, const std::function<void()>& Reset, const std::function<void()>& Work) {
    for (auto _ : S) {
        Reset();
        QApplication::processEvents();
        auto start = std::chrono::steady_clock::now();
        Work();
        QApplication::processEvents();
        S.SetIterationTime(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
}

// A form with the controls and the widgets measured, shown.
struct TScene {
    TScene() {
        Form.SetBounds(0, 0, 640, 480);
        Edit = new TDBEditKV(&Form);
        Edit->SetParent(&Form);
        Edit->SetBounds(0, 0, 300, 200);
        Edit->SetScrollBars(ssVertical);
        Rich = new TPasting(&Form);
        Rich->SetParent(&Form);
        Rich->SetBounds(0, 200, 600, 250);
        Memo = new TMemo(&Form);
        Memo->SetParent(&Form);
        Memo->SetBounds(320, 0, 300, 200);
        Memo->SetScrollBars(ssVertical);
        Form.Show();
        BarePlain.resize(300, 200);
        BarePlain.show();
        BareRich.resize(600, 250);
        BareRich.show();
        QApplication::processEvents();
    }
    TForm Form{nullptr};
    TDBEditKV* Edit = nullptr;
    TPasting* Rich = nullptr;
    TMemo* Memo = nullptr;
    QPlainTextEdit BarePlain;
    QTextEdit BareRich;
};
TScene* Scene = nullptr;

// ---- A blob into the data-aware edit ------------------------------------------

// The edit on a memo column: row 1 short, row 2 the long text. Moving onto
// row 2 loads the blob, as scrolling a grid onto it would.
struct TBlobTable {
    explicit TBlobTable(size_t Bytes) {
        Table.AddRow({Int64(1), AnsiString("short")});
        Table.AddRow({Int64(2), AnsiString(MakeText(Bytes, "\r\n"))});
        DataSet.Logging = false;
        Source.SetDataSet(&DataSet);
        DataSet.Open();
    }
    TMemTable Table{{{"ID", ftInteger, 0, true}, {"BODY", ftMemo}}};
    TEventLog Log;
    TMemDataSet DataSet{nullptr, Table, Log};
    TDataSource Source{nullptr};
};

void BM_BlobIntoDBEdit(benchmark::State& S, size_t Bytes) {
    TBlobTable blob(Bytes);
    Scene->Edit->SetDataSource(&blob.Source);
    Scene->Edit->SetDataField("BODY");
    TimeEach(S, [&] { blob.DataSet.First(); }, [&] { blob.DataSet.Next(); });
    if (Scene->Edit->GetLines()->GetCount() < 2) S.SkipWithError("the blob is not shown");
    Scene->Edit->SetDataSource(nullptr);
}

// The floor: Qt's plain-text widget taking the same text, its breaks already LF.
void BM_BlobIntoQt(benchmark::State& S, size_t Bytes) {
    QString text = QString::fromStdString(MakeText(Bytes, "\n"));
    TimeEach(S, [] { Scene->BarePlain.setPlainText("short"); }, [&] { Scene->BarePlain.setPlainText(text); });
    Scene->BarePlain.clear();
}

// ---- Pasting --------------------------------------------------------------------

// Formatted text as a browser or a word processor puts it on the
// clipboard: paragraphs of their own format, none on the editor's tab grid.
// They are <div>s: the margins of <p> paragraphs make Qt's own layout of
// 20 MB take minutes, in any QTextEdit.
void PutFormattedText(size_t Bytes) {
    std::string html = MakeText(Bytes, "</div>\n<div>");
    auto* data = new QMimeData;
    data->setHtml(QString::fromStdString("<html><body><div>" + html + "</div></body></html>"));
    QApplication::clipboard()->setMimeData(data);
}

// Into the rich-text editor by its paste button: the editor pastes, and the
// selection change puts the pasted paragraphs onto the tab grid.
void BM_PasteIntoRichEdt(benchmark::State& S, size_t Bytes) {
    PutFormattedText(Bytes);
    TimeEach(S, [] { Scene->Rich->Clear(); }, [] { Scene->Rich->Paste(); });
    if (Scene->Rich->GetText().size() < Bytes / 2 || !Scene->Rich->OnTheGrid())
        S.SkipWithError("not pasted onto the tab grid");
    Scene->Rich->Clear();
}

void BM_PasteIntoQtRich(benchmark::State& S, size_t Bytes) {
    PutFormattedText(Bytes);
    TimeEach(S, [] { Scene->BareRich.clear(); }, [] { Scene->BareRich.paste(); });
    Scene->BareRich.clear();
}

// One line of Bytes without a blank (encoded data, say), into our memo and
// into Qt's widget: Qt finds no place to wrap it and tries every one.
std::string OneLine(size_t Bytes) {
    return std::string(Bytes, 'x');
}

void BM_LineIntoMemo(benchmark::State& S, size_t Bytes) {
    Clipboard().SetAsText(OneLine(Bytes));
    TimeEach(S, [] { Scene->Memo->Clear(); }, [] { Scene->Memo->PasteFromClipboard(); });
    Scene->Memo->Clear();
}

void BM_LineIntoQt(benchmark::State& S, size_t Bytes) {
    QApplication::clipboard()->setText(QString::fromStdString(OneLine(Bytes)));
    TimeEach(S, [] { Scene->BarePlain.clear(); }, [] { Scene->BarePlain.paste(); });
    Scene->BarePlain.clear();
}

// ---- The table ------------------------------------------------------------------

struct TSeries {
    const char* Title;
    const char* Ours;
    const char* Qt;
    std::vector<double> Megabytes;
};

std::string Name(const char* Side, double Megabytes) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%s/%gMB", Side, Megabytes);
    return buf;
}

} // namespace

int main(int argc, char** argv) {
    double scale = 1;
    TQtBench bench(argc, argv, [&](const char* Arg) {
        if (std::strncmp(Arg, "--kv-scale=", 11) != 0) return false;
        scale = std::atof(Arg + 11);
        return true;
    });
    TScene scene;
    Scene = &scene;

    const TSeries series[] = {
        {"blob into the data-aware edit", "BlobIntoDBEdit", "BlobIntoQt", {1, 10, 100}},
        {"paste into the rich-text editor", "PasteIntoRichEdt", "PasteIntoQtRich", {1, 4, 20}},
        {"one line without a blank pasted into a memo", "LineIntoMemo", "LineIntoQt", {0.025, 0.05, 0.1}},
    };
    const std::map<std::string, void (*)(benchmark::State&, size_t)> functions = {
        {"BlobIntoDBEdit", BM_BlobIntoDBEdit},     {"BlobIntoQt", BM_BlobIntoQt},
        {"PasteIntoRichEdt", BM_PasteIntoRichEdt}, {"PasteIntoQtRich", BM_PasteIntoQtRich},
        {"LineIntoMemo", BM_LineIntoMemo},         {"LineIntoQt", BM_LineIntoQt},
    };
    for (const TSeries& s : series)
        for (double mb : s.Megabytes)
            for (const char* side : {s.Ours, s.Qt})
                benchmark::RegisterBenchmark(Name(side, mb).c_str(), functions.at(side),
                                             static_cast<size_t>(mb * scale * 1048576))
                    ->Unit(benchmark::kMillisecond)
                    ->UseManualTime()
                    ->Iterations(1);

    TTimesReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    auto& t = reporter.Times;
    for (const TSeries& s : series) {
        std::printf("\n%s%s\n%-10s %12s %12s %12s %12s %14s\n", s.Title, scale == 1 ? "" : " (scaled)", "MB",
                    "ms", "ms per MB", "/ smallest", "/ Qt", "ours-Qt per MB");
        double first = 0;
        for (double mb : s.Megabytes) {
            std::string ours = Name(s.Ours, mb), qt = Name(s.Qt, mb);
            if (!t.count(ours)) continue;
            double perMB = t[ours] / (mb * scale);
            if (first == 0) first = perMB;
            std::printf("%-10g %12.1f %12.1f %11.2fx", mb * scale, t[ours], perMB, perMB / first);
            if (t.count(qt) && t[qt] > 0)
                std::printf(" %11.2fx %14.1f\n", t[ours] / t[qt], (t[ours] - t[qt]) / (mb * scale));
            else
                std::printf("\n");
        }
    }
    return 0;
}
