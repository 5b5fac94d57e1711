// Takes the picture of the rich-text editor for the documentation: the
// control with formatted text (styles, sizes, a colour, alignment, indented
// paragraphs, tab stops, bullets) and its tool bar mirroring a bold word.
//
//   richedt_screenshot <file.png>      (scripts/screenshot runs it under xvfb-run)
#include "Forms.h"
#include "RichEdtKV.h"

#include <QApplication>
#include <QPixmap>

#include <algorithm>
#include <cstdio>
#include <functional>

namespace {

const char* const Sample =
    R"({\rtf1\ansi{\fonttbl{\f0 Liberation Sans;}{\f1 Liberation Serif;}}{\colortbl;\red192\green0\blue0;})"
    R"(\pard\qc\f0\fs32\b Rich-Text-Editor\b0\par)"
    R"(\pard\f0\fs20 Ein Absatz mit {\b fetter}, {\i kursiver} und {\ul unterstrichener} Schrift, )"
    R"({\cf1 in Rot} und {\f1\fs28 gr\'f6\'dferer Serifenschrift}.\par)"
    R"(\pard\li1280\fi-640\fs20 Folgezeilen eingeschoben: die erste Zeile beginnt bei 32 Punkt, )"
    R"(jede weitere Zeile 32 Punkt weiter rechts, wie die Tabulatoren des Rasters.\par)"
    R"(\pard\li640\fs20 Ganzer Absatz einger\'fcckt um 32 Punkt.\par)"
    R"(\pard\fs20 Nr.\tab Menge\tab Preis\par)"
    R"(\pard{\*\pn\pnlvlblt}\fs20 erster Punkt\par)"
    R"(\pard{\*\pn\pnlvlblt}\fs20 zweiter Punkt\par)"
    R"(\pard\qr\i\fs20 rechtsb\'fcndig})";

} // namespace

int main(int Argc, char** Argv) {
    if (Argc != 2) {
        std::fprintf(stderr, "usage: richedt_screenshot <file.png>\n");
        return 2;
    }
    TApplication app(Argc, Argv);
    int result = 0;
    GuardedCall(nullptr, [&] {
        TForm form(nullptr);
        form.SetCaption("TRichEdtKV");
        form.SetBounds(0, 0, 470, 300);
        auto* rich = new TRichEdtKV(&form);
        rich->SetParent(&form);
        rich->SetAlign(alClient);
        form.Show();
        rich->SetText("");
        TEditStream stream;
        AnsiString rtf = Sample;
        struct TSource {
            const AnsiString* Data;
            size_t At = 0;
        } source{&rtf};
        stream.dwCookie = reinterpret_cast<DWORD_PTR>(&source);
        stream.pfnCallback = [](DWORD_PTR Cookie, LPBYTE Buffer, LONG Count, LONG* Done) -> DWORD {
            auto* s = reinterpret_cast<TSource*>(Cookie);
            size_t n = std::min(static_cast<size_t>(Count), s->Data->size() - s->At);
            std::copy_n(s->Data->data() + s->At, n, Buffer);
            s->At += n;
            *Done = static_cast<LONG>(n);
            return 0;
        };
        // The editor is the control's inner rich edit: the one TRichEdit in it.
        std::function<TRichEdit*(TWinControl*)> find = [&](TWinControl* w) -> TRichEdit* {
            for (int i = 0; i < w->GetControlCount(); ++i) {
                if (auto* e = dynamic_cast<TRichEdit*>(w->GetControl(i))) return e;
                if (auto* c = dynamic_cast<TWinControl*>(w->GetControl(i)))
                    if (TRichEdit* e = find(c)) return e;
            }
            return nullptr;
        };
        TRichEdit* edit = find(rich);
        edit->Perform(EM_STREAMIN, SF_RTF, reinterpret_cast<LPARAM>(&stream));
        edit->SetFocus();
        int bold = rich->FindTextA("fetter", 0, 1000, {});
        edit->SetSelStart(bold);
        edit->SetSelLength(6);
        for (int i = 0; i < 20; ++i)
            QApplication::processEvents();
        if (!form.GetHandle()->grab().save(QString::fromLocal8Bit(Argv[1]))) {
            std::fprintf(stderr, "cannot write %s\n", Argv[1]);
            result = 1;
        }
    });
    return result;
}
