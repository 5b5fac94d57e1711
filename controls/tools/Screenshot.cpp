// Pictures of the form controls for the documentation, drawn on a virtual X
// display (scripts/screenshot runs it under xvfb-run).
//
//   controls_screenshot lists <file.png>      the list and combo box variants
#include "ComboBoxKV.h"
#include "DriveComboBoxKV.h"
#include "Forms.h"
#include "ListBoxKV.h"
#include "StdCtrls.h"

#include <QApplication>
#include <QImage>
#include <QPixmap>
#include <QScreen>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

void Settle() {
    for (int i = 0; i < 20; ++i)
        QApplication::processEvents();
}

template <class T> T* Put(TForm& Form, int Left, int Top, int Width, int Height) {
    auto* c = new T(&Form);
    c->SetParent(&Form);
    c->SetBounds(Left, Top, Width, Height);
    return c;
}

void Save(const QImage& Image, const char* Output) {
    if (!Image.save(Output, "PNG")) throw Exception(AnsiString("Cannot write ") + Output);
    std::printf("%s: %dx%d\n", Output, Image.width(), Image.height());
}

const char* const Fruit[] = {"", "Apfel", "Birne", "Kirsche", "Pflaume", "Quitte", "Zwetschge"};

int Lists(const char* Output) {
    TForm form(nullptr);
    form.SetCaption("Listen und Kombinationsfelder");
    form.SetBounds(40, 40, 2 * 4 + 420, 2 * 4 + 19 + 250);
    auto fill = [](TStrings* Items) {
        for (const char* f : Fruit)
            Items->Add(f);
    };
    const TComboBoxStyle styles[] = {csDropDown, csDropDownList, csOwnerDrawFixed};
    for (int i = 0; i < 3; ++i) {
        auto* c = Put<TComboBoxKV>(form, 10, 10 + i * 30, 150, 21);
        c->SetStyle(styles[i]);
        fill(c->GetItems());
        c->SetItemIndex(i + 1);
    }
    auto* simple = Put<TComboBoxKV>(form, 10, 100, 150, 120);
    simple->SetStyle(csSimple);
    fill(simple->GetItems());
    simple->SetItemIndex(4);
    auto* list = Put<TListBoxKV>(form, 180, 10, 110, 2 * 2 + 8 * 13);
    fill(list->GetItems());
    list->GetItems()->Add("Mirabelle\tgelb");
    list->SetItemIndex(3);
    auto* multi = Put<TListBoxKV>(form, 300, 10, 110, 2 * 2 + 8 * 13);
    multi->SetColumns(2);
    for (int i = 1; i <= 20; ++i)
        multi->GetItems()->Add("Nr. " + std::to_string(i));
    Put<TDriveComboBoxKV>(form, 180, 130, 230, 21);
    form.Show();
    list->SetFocus();
    Settle();
    Save(form.GetHandle()->grab().toImage(), Output);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3 || std::strcmp(argv[1], "lists") != 0) {
        std::fprintf(stderr, "usage: controls_screenshot lists <file.png>\n");
        return 2;
    }
    try {
        TApplication application(argc, argv);
        Application->OnException = [](TObject*, const std::exception& E) {
            std::fprintf(stderr, "controls_screenshot: %s\n", E.what());
            std::exit(1);
        };
        return Lists(argv[2]);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "controls_screenshot: %s\n", e.what());
        return 1;
    }
}
