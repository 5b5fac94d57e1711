// The canvas, self-painting controls, the caret, caption-less forms, window
// activation, the locale's date texts, and the fonts the forms were designed
// with shown in installed families of similar widths, through real widgets.
#include "Buttons.h"
#include "FormatSettings.h"
#include "Forms.h"
#include "UiTestEnv.h"

#include <QApplication>
#include <QPainter>
#include <QFontInfo>
#include <QFontMetrics>
#include <QtTest/QTest>

#include <algorithm>

#include <gtest/gtest.h>

namespace {

TEST(Fonts, TheDesignedFamilyIsShownInAMetricCompatibleOne) {
    // scripts/setup installs the stand-ins.
    struct Case {
        const char* Name;
        const char* Shown;
    } cases[] = {
        {"MS Sans Serif", "Liberation Sans"},
        {"ms sans serif", "Liberation Sans"},
        {"Microsoft Sans Serif", "Liberation Sans"},
        {"MS Shell Dlg 2", "Liberation Sans"},
        {"Arial", "Arial"}, // fontconfig knows its own stand-ins
        {"DejaVu Sans", "DejaVu Sans"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ScreenFontFamily(c.Name), c.Shown) << c.Name;

    TFont font; // the forms' font: MS Sans Serif, 11 pixels
    QFont shown = font.ToQFont();
    EXPECT_EQ(QFontInfo(shown).family(), "Liberation Sans");
    EXPECT_EQ(QFontInfo(shown).pixelSize(), 11);
    // The form keeps the name it was designed with.
    EXPECT_EQ(font.GetName(), "MS Sans Serif");
}

TEST(Fonts, LinesOfTheDesignedFamilyAreAsTallAsTheyWereDesigned) {
    struct Case {
        const char* Name;
        int Height, Line;
    } cases[] = {
        {"MS Sans Serif", -11, 13}, // the forms' rows, a pixel more than the stand-in's
        {"MS Sans Serif", -13, 16}, {"MS Sans Serif", 20, 20}, // a positive height is the line itself
        {"MS Sans Serif", 2, 0},                               // too short for the stand-in: its own line
        {"DejaVu Sans", -30, 0},                               // other families keep their own lines
    };
    for (const Case& c : cases) {
        TFont font;
        font.SetName(c.Name);
        font.SetHeight(c.Height);
        int own = QFontMetrics(font.ToQFont()).height();
        // Never shorter than the text shown needs.
        EXPECT_EQ(TextLineHeight(font), std::max(c.Line, own)) << c.Name << " " << c.Height;
    }
}


QColor Pixel(TControl* C, int X, int Y) {
    return C->GetWidget()->grab().toImage().pixelColor(X, Y);
}

QColor Palette(QPalette::ColorRole Role) {
    return QColor(QApplication::palette().color(Role).rgb()); // as a 24-bit surface holds it
}

// A control that paints what its test asks for and notes what it was asked to repaint.
class TSketch : public TCustomControl {
public:
    using TCustomControl::TCustomControl;
    std::function<void(TCanvas*)> Draw;
    std::vector<TRect> Clips;
    std::vector<Cardinal> Sizes; // WM_SIZE
    std::vector<QPoint> Clicks;
    std::uint32_t ExStyle = 0, Style = 0;

protected:
    BEGIN_MESSAGE_MAP
    MESSAGE_HANDLER(WM_SIZE, WMSize)
    END_MESSAGE_MAP(TCustomControl)

    void WMSize(TMessage& M) {
        Sizes.push_back(static_cast<Cardinal>(M.LParam));
        TCustomControl::Dispatch(M);
    }
    void CreateParams(TCreateParams& Params) override {
        TCustomControl::CreateParams(Params);
        Params.Style |= Style;
        Params.ExStyle |= ExStyle;
    }
    void Paint() override {
        Clips.push_back(GetCanvas()->GetClipRect());
        if (Draw) Draw(GetCanvas());
    }
    void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override {
        Clicks.push_back(QPoint(X, Y));
        TCustomControl::MouseDown(Button, Shift, X, Y);
    }
};

struct Painting : ::testing::Test {
    Painting() {
        Form->SetBounds(0, 0, 300, 200);
        Sketch->SetParent(Form.get());
        Sketch->SetBounds(10, 10, 100, 60);
        Sketch->SetColor(clWhite);
        Form->Show();
    }
    std::unique_ptr<TForm> Form = std::make_unique<TForm>(nullptr);
    TSketch* Sketch = new TSketch(Form.get());
};

// ---- Measuring ------------------------------------------------------------

TEST(Canvas, MeasuresWithoutASurfaceAndRefusesToDraw) {
    TCanvas canvas;
    canvas.GetFont()->SetHeight(-11);
    int small = canvas.TextWidth("0000");
    EXPECT_GT(small, 0);
    EXPECT_EQ(canvas.TextWidth(""), 0);
    EXPECT_GT(canvas.TextHeight(""), 0); // a line's height even without text
    canvas.GetFont()->SetHeight(-22);
    EXPECT_GT(canvas.TextWidth("0000"), small);
    EXPECT_THROW(canvas.TextOut(0, 0, "x"), EInvalidOperation);
    EXPECT_THROW(canvas.FillRect(Rect(0, 0, 5, 5)), EInvalidOperation);
}

TEST(Canvas, OfAFormMeasuresBeforeTheFormHasAWindow) {
    TForm form(nullptr);
    TCanvas* c = form.GetCanvas();
    c->GetFont()->Assign(form.GetFont());
    int narrow = c->TextWidth("Wochentag");
    c->GetFont()->SetStyle(TFontStyles{fsBold});
    EXPECT_GT(c->TextWidth("Wochentag"), narrow);
    EXPECT_FALSE(form.HandleAllocated());
}

// ---- Painting ---------------------------------------------------------------

TEST_F(Painting, TheBackgroundIsFilledWithColorBeforePaint) {
    Sketch->Draw = [](TCanvas* c) {
        c->GetBrush()->SetColor(clRed);
        c->FillRect(Rect(0, 0, 10, 10));
    };
    EXPECT_EQ(Pixel(Sketch, 5, 5), QColor(Qt::red));
    EXPECT_EQ(Pixel(Sketch, 10, 10), QColor(Qt::white)); // right and bottom edges stay out
    EXPECT_EQ(Pixel(Sketch, 50, 30), QColor(Qt::white));
}

TEST_F(Painting, TextTakesTheBrushUnlessItIsClearAndTextRectClips) {
    Sketch->Draw = [](TCanvas* c) {
        c->GetFont()->SetColor(clBlack);
        c->GetFont()->SetHeight(-20);
        c->GetBrush()->SetColor(clYellow);
        c->TextOut(0, 0, "W");
        c->GetBrush()->SetStyle(bsClear);
        c->TextOut(50, 0, "W");
        c->GetBrush()->SetColor(clBlue);
        c->TextRect(Rect(0, 40, 8, 60), 0, 40, "WWW");
    };
    QImage img = Sketch->GetWidget()->grab().toImage();
    EXPECT_EQ(img.pixelColor(0, 0), QColor(Qt::yellow)); // the opaque text box
    EXPECT_EQ(img.pixelColor(50, 0), QColor(Qt::white));
    bool ink = false, outside = false;
    for (int x = 0; x < 30; ++x)
        for (int y = 40; y < 60; ++y) {
            QColor c = img.pixelColor(x, y);
            if (x < 8 && c.lightness() < 128) ink = true;
            if (x >= 8 && c != QColor(Qt::white)) outside = true;
        }
    EXPECT_TRUE(ink);
    EXPECT_FALSE(outside); // clipped to its rectangle
}

TEST_F(Painting, AFocusRectDrawnTwiceIsGoneAndEdgesTakeTheButtonColours) {
    TRect cell = Rect(20, 10, 40, 30);
    Sketch->Draw = [&](TCanvas* c) {
        c->DrawFocusRect(cell);
        TRect r = cell;
        DrawEdge(c, r, BDR_RAISEDINNER, BF_RECT);
    };
    QImage img = Sketch->GetWidget()->grab().toImage();
    EXPECT_EQ(img.pixelColor(20, 20), Palette(QPalette::Light)); // left
    EXPECT_EQ(img.pixelColor(30, 10), Palette(QPalette::Light)); // top
    EXPECT_EQ(img.pixelColor(39, 20), Palette(QPalette::Dark));  // right
    EXPECT_EQ(img.pixelColor(30, 29), Palette(QPalette::Dark));  // bottom
    EXPECT_EQ(img.pixelColor(39, 10), Palette(QPalette::Dark));  // the bottom-right side owns the corner
    EXPECT_EQ(img.pixelColor(30, 20), QColor(Qt::white));

    Sketch->Draw = [&](TCanvas* c) {
        c->DrawFocusRect(cell);
        c->DrawFocusRect(Rect(60, 10, 80, 30));
        c->DrawFocusRect(cell);
    };
    Sketch->Invalidate();
    img = Sketch->GetWidget()->grab().toImage();
    for (int x = 20; x < 40; ++x)
        EXPECT_EQ(img.pixelColor(x, 10), QColor(Qt::white)) << x;
    EXPECT_EQ(img.pixelColor(60, 10), QColor(Qt::black)); // inverted white
    EXPECT_EQ(img.pixelColor(61, 10), QColor(Qt::white)); // dotted
}

TEST_F(Painting, DrawingOutsidePaintShowsUntilTheControlRepaints) {
    Sketch->GetWidget()->grab();
    size_t paints = Sketch->Clips.size();
    Sketch->GetCanvas()->GetBrush()->SetColor(clRed);
    Sketch->GetCanvas()->FillRect(Rect(0, 0, 5, 5));
    EXPECT_EQ(Pixel(Sketch, 2, 2), QColor(Qt::red));
    EXPECT_EQ(Sketch->Clips.size(), paints); // shown without painting anew
    Sketch->Invalidate();
    EXPECT_EQ(Pixel(Sketch, 2, 2), QColor(Qt::white));
}

TEST_F(Painting, InvalidateRectRepaintsOnlyThatPart) {
    Sketch->GetWidget()->grab();
    Sketch->Clips.clear();
    Sketch->InvalidateRect(Rect(10, 20, 30, 25));
    QApplication::processEvents();
    ASSERT_EQ(Sketch->Clips.size(), 1u);
    EXPECT_EQ(Sketch->Clips[0], Rect(10, 20, 30, 25));
    Sketch->Invalidate();
    QApplication::processEvents();
    EXPECT_EQ(Sketch->Clips.back(), Rect(0, 0, 100, 60));
}

TEST_F(Painting, ABorderStyleFramesTheClientArea) {
    struct Case {
        std::uint32_t Style, ExStyle;
        int Inset;
    };
    for (const Case& c : {Case{0, 0, 0}, Case{WS_BORDER, 0, 1}, Case{0, WS_EX_CLIENTEDGE, 2}}) {
        SCOPED_TRACE(c.Inset);
        auto* s = new TSketch(Form.get());
        s->Style = c.Style;
        s->ExStyle = c.ExStyle;
        s->SetColor(clWhite);
        s->SetBounds(120, 10, 80, 40);
        EXPECT_EQ(s->GetClientWidth(), 80 - 2 * c.Inset); // known before the window exists
        s->SetParent(Form.get());
        auto* child = new TSpeedButton(Form.get());
        child->SetParent(s);
        child->SetBounds(0, 0, 10, 10);
        EXPECT_EQ(child->GetWidget()->pos(), QPoint(c.Inset, c.Inset));
        ASSERT_FALSE(s->Sizes.empty()); // at creation, with the client size
        EXPECT_EQ(s->Sizes.back(), static_cast<Cardinal>(MakeLParam(80 - 2 * c.Inset, 40 - 2 * c.Inset)));
        s->SetWidth(90);
        EXPECT_EQ(s->Sizes.back(), static_cast<Cardinal>(MakeLParam(90 - 2 * c.Inset, 40 - 2 * c.Inset)));
        QTest::mouseClick(s->GetWidget(), Qt::LeftButton, {}, QPoint(30, 20));
        ASSERT_FALSE(s->Clicks.empty());
        EXPECT_EQ(s->Clicks.back(), QPoint(30 - c.Inset, 20 - c.Inset));
        EXPECT_EQ(s->ClientToScreen(QPoint(0, 0)), s->GetWidget()->mapToGlobal(QPoint(c.Inset, c.Inset)));
        QImage img = s->GetWidget()->grab().toImage();
        if (c.Inset > 0) {
            EXPECT_NE(img.pixelColor(0, 20), QColor(Qt::white));
        }
        EXPECT_EQ(img.pixelColor(c.Inset, 20), QColor(Qt::white));
        delete s;
    }
}

// ---- The caret --------------------------------------------------------------

TEST_F(Painting, TheCaretShowsWhenEveryHideIsMatchedAndGoesWithItsControl) {
    auto* other = new TSketch(Form.get());
    other->SetParent(Form.get());
    ASSERT_TRUE(CreateCaret(Sketch, 2, 12));
    EXPECT_EQ(GetCaretOwner(), Sketch);
    EXPECT_FALSE(IsCaretShown()); // created hidden
    EXPECT_FALSE(ShowCaret(other));
    EXPECT_TRUE(ShowCaret(Sketch));
    EXPECT_TRUE(IsCaretShown());
    HideCaret(Sketch);
    HideCaret(Sketch);
    ShowCaret(Sketch);
    EXPECT_FALSE(IsCaretShown());
    ShowCaret(Sketch);
    ShowCaret(Sketch); // one more show does not bank
    HideCaret(Sketch);
    EXPECT_FALSE(IsCaretShown());
    ShowCaret(Sketch);
    SetCaretPos(30, 5);
    QPoint pos;
    ASSERT_TRUE(GetCaretPos(pos));
    EXPECT_EQ(pos, QPoint(30, 5));
    QImage img = Sketch->GetWidget()->grab().toImage(); // just placed: in its visible phase
    EXPECT_EQ(img.pixelColor(31, 10), ColorToQColor(Sketch->GetFont()->GetColor()));
    EXPECT_EQ(img.pixelColor(32, 10), QColor(Qt::white));
    delete Sketch;
    EXPECT_EQ(GetCaretOwner(), nullptr);
    EXPECT_FALSE(SetCaretPos(1, 1));
}

// ---- Forms --------------------------------------------------------------------

// A form that notes WM_ACTIVATE.
class TActivationForm : public TForm {
public:
    using TForm::TForm;
    std::vector<WPARAM> States;

protected:
    BEGIN_MESSAGE_MAP
    MESSAGE_HANDLER(WM_ACTIVATE, WMActivate)
    END_MESSAGE_MAP(TForm)
    void WMActivate(TMessage& M) {
        States.push_back(M.WParam);
        TForm::Dispatch(M);
    }
};

TEST(Forms, WithoutACaptionKeepTheirFrameAndSizeAndGiveTheRoomToTheClientArea) {
    TForm form(nullptr);
    form.SetBorderStyle(bsDialog);
    form.SetClientWidth(176);
    form.SetClientHeight(184);
    auto* bottom = new TSketch(&form);
    bottom->SetParent(&form);
    bottom->SetBounds(0, 0, 20, 20);
    bottom->SetAlign(alBottom);
    form.Show();
    int width = form.GetWidth(), height = form.GetHeight(), caption = form.CaptionHeight();
    std::uint32_t style = form.GetWindowStyle();
    ASSERT_TRUE(style & WS_CAPTION);
    form.SetWindowStyle(style & ~WS_CAPTION);
    form.FrameChanged();
    EXPECT_EQ(form.CaptionHeight(), 0);
    EXPECT_EQ(form.GetWidth(), width);
    EXPECT_EQ(form.GetHeight(), height);
    EXPECT_EQ(form.GetClientWidth(), 176);
    EXPECT_EQ(form.GetClientHeight(), 184 + caption);
    EXPECT_EQ(bottom->GetTop(), 184 + caption - 20); // aligned anew
    int frame = form.FrameWidth();
    EXPECT_GT(frame, 0);
    EXPECT_TRUE(form.GetWidget()->windowFlags() & Qt::FramelessWindowHint);
    EXPECT_EQ(form.GetWidget()->size(), QSize(width, height));
    EXPECT_EQ(bottom->GetWidget()->pos(), QPoint(frame, frame + bottom->GetTop()));
    // The frame is drawn by the framework.
    EXPECT_NE(form.GetWidget()->grab().toImage().pixelColor(0, 50), Palette(QPalette::Window));
}

TEST(Forms, HearOfActivationAndDeactivation) {
    TActivationForm a(nullptr), b(nullptr);
    a.Show();
    b.Show();
    QApplication::setActiveWindow(a.GetWidget());
    QApplication::setActiveWindow(b.GetWidget());
    ASSERT_GE(a.States.size(), 2u);
    EXPECT_EQ(a.States[a.States.size() - 2], WA_ACTIVE);
    EXPECT_EQ(a.States.back(), WA_INACTIVE);
    EXPECT_EQ(b.States.back(), WA_ACTIVE);
}

TEST(Locale, NamesDaysAndMonths) {
    TFormatSettings de = GetLocaleFormatSettings("de_DE");
    EXPECT_EQ(de.DateSeparator, ".");
    EXPECT_EQ(de.ShortDayNames[0], "So"); // Sunday first, without the dot of the abbreviation
    EXPECT_EQ(de.ShortDayNames[1], "Mo");
    EXPECT_EQ(de.LongMonthNames[2], "März");
    TFormatSettings us = GetLocaleFormatSettings("en_US");
    EXPECT_EQ(us.ShortDayNames[6], "Sat");
    EXPECT_EQ(us.LongMonthNames[11], "December");
}

} // namespace
