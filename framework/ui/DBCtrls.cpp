#include "DBCtrls.h"

#include "Dialogs.h"

#include <QPainter>
#include <QPainterPath>

namespace {

const char* const DefaultHints[] = {"First record",  "Prior record",  "Next record", "Last record",
                                    "Insert record", "Delete record", "Edit record", "Post edit",
                                    "Cancel edit",   "Refresh data"};

constexpr int GlyphSize = 11;

// The figure of a button, drawn with the painter's pen and brush in an
// 11 x 11 square at the origin.
void DrawFigure(QPainter& P, TNavigateBtn Index) {
    auto triangle = [&](int X, bool Left) {
        QPoint pts[3];
        if (Left) {
            pts[0] = QPoint(X + 4, 1);
            pts[1] = QPoint(X, 5);
            pts[2] = QPoint(X + 4, 9);
        } else {
            pts[0] = QPoint(X, 1);
            pts[1] = QPoint(X + 4, 5);
            pts[2] = QPoint(X, 9);
        }
        P.drawPolygon(pts, 3);
    };
    switch (Index) {
    case nbFirst:
        P.drawRect(1, 1, 1, 8);
        triangle(4, true);
        break;
    case nbPrior:
        triangle(3, true);
        break;
    case nbNext:
        triangle(3, false);
        break;
    case nbLast:
        triangle(2, false);
        P.drawRect(8, 1, 1, 8);
        break;
    case nbInsert:
        P.drawRect(4, 1, 1, 8);
        P.drawRect(1, 4, 8, 1);
        break;
    case nbDelete:
        P.drawRect(1, 4, 8, 1);
        break;
    case nbEdit: {
        QPoint pts[3] = {QPoint(1, 7), QPoint(5, 2), QPoint(9, 7)};
        P.drawPolygon(pts, 3);
        break;
    }
    case nbPost: {
        QPoint pts[6] = {QPoint(1, 5), QPoint(4, 8), QPoint(9, 2), QPoint(9, 4), QPoint(4, 10), QPoint(1, 7)};
        P.drawPolygon(pts, 6);
        break;
    }
    case nbCancel: {
        QPen pen = P.pen();
        pen.setWidth(2);
        P.setPen(pen);
        P.drawLine(2, 2, 8, 8);
        P.drawLine(8, 2, 2, 8);
        break;
    }
    case nbRefresh: {
        QPen pen = P.pen();
        pen.setWidth(2);
        P.setPen(pen);
        P.setBrush(Qt::NoBrush);
        P.drawArc(QRect(1, 1, 8, 8), 30 * 16, 280 * 16);
        P.setPen(Qt::NoPen);
        P.setBrush(pen.color());
        QPoint head[3] = {QPoint(6, 0), QPoint(10, 3), QPoint(6, 5)};
        P.drawPolygon(head, 3);
        break;
    }
    }
}

// Two images side by side, the button up and disabled, on a background
// colour that the bitmap's bottom-left pixel makes transparent.
QImage MakeGlyph(TNavigateBtn Index) {
    QImage image(2 * GlyphSize, GlyphSize, QImage::Format_RGB32);
    image.fill(QColor(128, 128, 0));
    QPainter p(&image);
    p.setPen(Qt::black);
    p.setBrush(Qt::black);
    DrawFigure(p, Index);
    p.translate(GlyphSize, 0);
    p.setPen(QColor(128, 128, 128));
    p.setBrush(QColor(128, 128, 128));
    DrawFigure(p, Index);
    return image;
}

} // namespace

// ---- TNavButton -----------------------------------------------------------

TNavButton::TNavButton(TDBNavigator* Navigator, TNavigateBtn Index) : TSpeedButton(nullptr), FIndex(Index) {
    TBitmap glyph;
    glyph.SetImage(MakeGlyph(Index));
    GetGlyph()->Assign(&glyph);
    SetNumGlyphs(2);
    SetHint(DefaultHints[Index]);
    OnClick = [Navigator, Index](TObject*) { Navigator->BtnClick(Index); };
}

// ---- TNavDataLink ---------------------------------------------------------

void TNavDataLink::ActiveChanged() {
    FNavigator->ActiveChanged();
}
void TNavDataLink::DataSetChanged() {
    FNavigator->DataChanged();
}
void TNavDataLink::EditingChanged() {
    FNavigator->EditingChanged();
}

// ---- TDBNavigator ---------------------------------------------------------

KV_PUBLISHED_METACLASS(TDBNavigator, &TCustomPanel::ClassInfo())

void TDBNavigator::Publish(TPublisher<TDBNavigator>& P) {
    P.Prop("BevelOuter", &TCustomPanel::GetBevelOuter, &TCustomPanel::SetBevelOuter).Default(bvNone);
    P.Prop("ConfirmDelete", &TDBNavigator::GetConfirmDelete, &TDBNavigator::SetConfirmDelete).Default(true);
    P.Prop("DataSource", &TDBNavigator::GetDataSource, &TDBNavigator::SetDataSource);
    P.Prop("Flat", &TDBNavigator::GetFlat, &TDBNavigator::SetFlat).Default(false);
    P.Prop("Hints", &TDBNavigator::GetHints, nullptr);
    P.Prop("VisibleButtons", &TDBNavigator::GetVisibleButtons, &TDBNavigator::SetVisibleButtons)
        .Default(AllNavigateButtons);
    P.Prop("BeforeAction", &TDBNavigator::BeforeAction, &TDBNavigator::BeforeAction);
    P.Prop("OnClick", &TDBNavigator::OnNavClick, &TDBNavigator::OnNavClick);
}

TDBNavigator::TDBNavigator(TComponent* AOwner)
    : TCustomPanel(AOwner), FDataLink(std::make_unique<TNavDataLink>(this)),
      FHints(std::make_unique<TStringList>()) {
    ControlStyle >> csAcceptsControls >> csSetCaption;
    SetBevelOuter(bvNone);
    for (int i = 0; i < static_cast<int>(FButtons.size()); ++i) {
        auto* b = new TNavButton(this, static_cast<TNavigateBtn>(i));
        b->SetParent(this);
        FButtons[static_cast<size_t>(i)] = b;
    }
    FHints->OnChange = [this](TObject*) { HintsChanged(); };
    SetBounds(0, 0, 241, 25);
    ActiveChanged();
}

TDBNavigator::~TDBNavigator() {
    Destroying();
    FHints->OnChange = nullptr;
    FDataLink.reset(); // leaves its data source quietly; the buttons go with the panel
}

void TDBNavigator::SetDataSource(TDataSource* Value) {
    if (Value == GetDataSource()) return;
    FDataLink->SetDataSource(Value);
    ActiveChanged();
}

void TDBNavigator::SetVisibleButtons(TButtonSet Value) {
    FVisibleButtons = Value;
    for (TNavButton* b : FButtons)
        b->SetVisible(Value.Contains(b->GetIndex()));
    LayoutButtons();
}

void TDBNavigator::SetFlat(bool Value) {
    FFlat = Value;
    for (TNavButton* b : FButtons)
        b->SetFlat(Value);
}

void TDBNavigator::HintsChanged() {
    for (TNavButton* b : FButtons) {
        int i = b->GetIndex();
        AnsiString hint = i < FHints->Count() ? FHints->Get(i) : AnsiString();
        b->SetHint(hint.empty() ? AnsiString(DefaultHints[i]) : hint);
    }
}

void TDBNavigator::LayoutButtons() {
    int count = 0;
    for (TNavButton* b : FButtons)
        count += FVisibleButtons.Contains(b->GetIndex());
    if (count == 0) return;
    // Equal widths; the pixels left over go one each to the first buttons.
    int width = GetWidth() / count, extra = GetWidth() - width * count, x = 0;
    for (TNavButton* b : FButtons) {
        if (!FVisibleButtons.Contains(b->GetIndex())) continue;
        int w = width + (extra-- > 0 ? 1 : 0);
        b->SetBounds(x, 0, w, GetHeight());
        x += w;
    }
}

void TDBNavigator::Resize() {
    LayoutButtons();
    TCustomPanel::Resize();
}

void TDBNavigator::Loaded() {
    TCustomPanel::Loaded();
    LayoutButtons();
    ActiveChanged();
}

void TDBNavigator::Dispatch(TMessage& Message) {
    TCustomPanel::Dispatch(Message);
    if (Message.Msg == CM_ENABLEDCHANGED) ActiveChanged();
}

void TDBNavigator::ActiveChanged() {
    if (IsDestroying()) return;
    if (!GetEnabled() || !FDataLink->GetActive()) {
        for (TNavButton* b : FButtons)
            b->SetEnabled(false);
        return;
    }
    DataChanged();
    EditingChanged();
}

void TDBNavigator::DataChanged() {
    if (IsDestroying()) return;
    TDataSet* ds = FDataLink->GetDataSet();
    bool active = GetEnabled() && FDataLink->GetActive() && ds;
    bool up = active && !ds->Bof();
    bool down = active && !ds->Eof();
    GetButton(nbFirst)->SetEnabled(up);
    GetButton(nbPrior)->SetEnabled(up);
    GetButton(nbNext)->SetEnabled(down);
    GetButton(nbLast)->SetEnabled(down);
    GetButton(nbDelete)->SetEnabled(active && ds->CanModify() && !(ds->Bof() && ds->Eof()));
}

void TDBNavigator::EditingChanged() {
    if (IsDestroying()) return;
    TDataSet* ds = FDataLink->GetDataSet();
    bool active = GetEnabled() && FDataLink->GetActive() && ds;
    bool canModify = active && ds->CanModify();
    bool editing = FDataLink->GetEditing();
    GetButton(nbInsert)->SetEnabled(canModify);
    GetButton(nbEdit)->SetEnabled(canModify && !editing);
    GetButton(nbPost)->SetEnabled(canModify && editing);
    GetButton(nbCancel)->SetEnabled(canModify && editing);
    GetButton(nbRefresh)->SetEnabled(active);
}

void TDBNavigator::BtnClick(TNavigateBtn Index) {
    std::weak_ptr<int> life = Life();
    TDataSource* source = GetDataSource();
    if (source && source->GetState() != dsInactive && source->GetDataSet()) {
        if (BeforeAction) BeforeAction(this, Index);
        if (life.expired()) return;
        TDataSet* ds = source->GetDataSet();
        switch (Index) {
        case nbFirst:
            ds->First();
            break;
        case nbPrior:
            ds->Prior();
            break;
        case nbNext:
            ds->Next();
            break;
        case nbLast:
            ds->Last();
            break;
        case nbInsert:
            ds->Insert();
            break;
        case nbDelete:
            if (!FConfirmDelete ||
                MessageDlg("Delete record?", mtConfirmation, {mbOK, mbCancel}, 0) != mrCancel)
                ds->Delete();
            break;
        case nbEdit:
            ds->Edit();
            break;
        case nbPost:
            ds->Post();
            break;
        case nbCancel:
            ds->Cancel();
            break;
        case nbRefresh:
            ds->Refresh();
            break;
        }
    }
    if (!life.expired() && OnNavClick) OnNavClick(this, Index);
}
