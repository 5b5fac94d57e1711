// Takes the picture of the rich-text editor for the documentation: the
// control with formatted text (styles, sizes, a colour, alignment, indented
// paragraphs, tab stops, bullets) and its tool bar mirroring a bold word.
//
//   richedt_screenshot <file.png>      (scripts/screenshot runs it under xvfb-run)
#include "Forms.h"
#include "RichEdtKV.h"
#include "StreamInRtf.h"

#include <QApplication>
#include <QPixmap>

#include <cstdio>

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
        TRichEdit* edit = StreamInRtf(*rich, Sample);
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
