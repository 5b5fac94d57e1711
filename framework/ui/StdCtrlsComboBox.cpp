// The combo box: its lines, the drop-down and simple windows with their edit
// part, and the messages of the edit part.
#include "StdCtrls.h"

#include "StdCtrlsInternal.h"
#include "UiPrivate.h"

#include <QComboBox>
#include <QContextMenuEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QSignalBlocker>
#include <QStyledItemDelegate>
#include <QWheelEvent>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <limits>
#include <memory>

// ---- TCustomComboBox ------------------------------------------------------

class TComboBoxStrings : public TItemStrings<TCustomComboBox> {
public:
    using TItemStrings::TItemStrings;
    void Delete(int Index) override {
        Remove(Index);
        FOwner->ItemRemoved(Index);
    }
};

namespace {

// Items of the owner-drawn styles are ItemHeight high.
class TItemHeightDelegate : public QStyledItemDelegate {
public:
    TItemHeightDelegate(int Height, QObject* Parent) : QStyledItemDelegate(Parent), FHeight(Height) {}
    QSize sizeHint(const QStyleOptionViewItem& Option, const QModelIndex& Index) const override {
        return QSize(QStyledItemDelegate::sizeHint(Option, Index).width(), FHeight);
    }

private:
    int FHeight;
};

TCustomComboBox* ComboOf(QWidget* Widget) {
    return dynamic_cast<TCustomComboBox*>(FindControl(Widget));
}

} // namespace

// The edit part of either window. It keeps no limit of its own (see
// CodePoints): an input method's characters pass the control's WM_CHAR as
// typed ones and are cut to what MaxLength leaves, and the paste keys and
// the menu's Paste go through the control's WM_PASTE. As
// into the edit, text comes in through these ways only (and typing, which
// the control's WM_CHAR judges): no drops, no pasting of the selection by
// the middle button.
class TComboEditWidget : public QLineEdit {
public:
    explicit TComboEditWidget(QWidget* Parent) : QLineEdit(Parent) {
        setMaxLength(std::numeric_limits<int>::max());
        setAcceptDrops(false);
    }

protected:
    void keyPressEvent(QKeyEvent* Event) override {
        if (!PasteKeyToControl(ComboOf(parentWidget()), Event)) QLineEdit::keyPressEvent(Event);
    }
    void contextMenuEvent(QContextMenuEvent* Event) override {
        std::unique_ptr<QMenu> menu(createStandardContextMenu());
        for (QAction* a : menu->actions()) {
            if (StandardActionName(a) != QLatin1String("edit-paste")) continue;
            QObject::disconnect(a, &QAction::triggered, nullptr, nullptr);
            QObject::connect(a, &QAction::triggered, this, [this] { Paste(); });
        }
        menu->exec(Event->globalPos());
    }
    void inputMethodEvent(QInputMethodEvent* Event) override {
        TCustomComboBox* combo = ComboOf(parentWidget());
        CommitInputAsChars(
            combo, Event, [this](QInputMethodEvent* e) { QLineEdit::inputMethodEvent(e); },
            [combo](const QString& Text) { return FittingText(Text, combo->Room()); });
    }
    void mousePressEvent(QMouseEvent* Event) override {
        if (Event->button() == Qt::MiddleButton)
            Event->accept();
        else
            QLineEdit::mousePressEvent(Event);
    }
    void mouseReleaseEvent(QMouseEvent* Event) override {
        if (Event->button() == Qt::MiddleButton)
            Event->accept();
        else
            QLineEdit::mouseReleaseEvent(Event);
    }

private:
    void Paste() {
        if (TCustomComboBox* combo = ComboOf(parentWidget()))
            GuardedCall(combo, [combo] { combo->Perform(WM_PASTE); });
    }
};

// The window of the styles with a list that drops down. Dropping down
// tells the control first (CBN_DROPDOWN); the wheel leaves the selection
// of a closed box alone.
class TComboWidget : public QComboBox {
public:
    using QComboBox::QComboBox;
    void showPopup() override {
        if (TCustomComboBox* combo = ComboOf(this)) {
            GuardedCall(combo, [&] { combo->Perform(WM_COMMAND, MakeWParam(0, CBN_DROPDOWN), 0); });
            if (!ComboOf(this)) return; // the control went away
        }
        QComboBox::showPopup();
    }

protected:
    void wheelEvent(QWheelEvent* Event) override { Event->ignore(); }
    // Coming in, the edit part's text is selected whole, however the focus came.
    void focusInEvent(QFocusEvent* Event) override {
        QComboBox::focusInEvent(Event);
        if (lineEdit() && Event->reason() != Qt::PopupFocusReason) lineEdit()->selectAll();
    }
};

// The window of the simple style: the edit part over a list that is always
// there. The window has the focus and hands keys to the edit part, except
// those that move through the list.
class TSimpleComboWidget : public QWidget {
public:
    explicit TSimpleComboWidget(QWidget* Parent) : QWidget(Parent) {
        setFocusPolicy(Qt::StrongFocus);
        Edit = new TComboEditWidget(this);
        Edit->setFocusPolicy(Qt::ClickFocus);
        Edit->setFocusProxy(this);
        List = new QListWidget(this);
        List->setFocusPolicy(Qt::NoFocus);
        List->setUniformItemSizes(true);
    }
    QLineEdit* Edit;
    QListWidget* List;

protected:
    void resizeEvent(QResizeEvent*) override {
        int edit = std::min(height(), Edit->sizeHint().height());
        Edit->setGeometry(0, 0, width(), edit);
        List->setGeometry(0, edit, width(), std::max(0, height() - edit));
    }
    void keyPressEvent(QKeyEvent* Event) override {
        int count = List->count(), row = List->currentRow();
        int page = std::max(1, List->viewport()->height() / std::max(1, List->sizeHintForRow(0)) - 1);
        int to;
        switch (Event->key()) {
        case Qt::Key_Up:
            to = row - 1;
            break;
        case Qt::Key_Down:
            to = row + 1;
            break;
        case Qt::Key_PageUp:
            to = row - page;
            break;
        case Qt::Key_PageDown:
            to = row + page;
            break;
        default:
            Edit->event(Event);
            return;
        }
        Event->accept();
        if (count > 0) List->setCurrentRow(std::clamp(row < 0 ? 0 : to, 0, count - 1));
    }
    void keyReleaseEvent(QKeyEvent* Event) override { Edit->event(Event); }
    void focusInEvent(QFocusEvent* Event) override {
        Edit->event(Event);
        Edit->selectAll();
    }
    void focusOutEvent(QFocusEvent* Event) override { Edit->event(Event); }
    void inputMethodEvent(QInputMethodEvent* Event) override { Edit->event(Event); }
};

KV_PUBLISHED_ABSTRACT_METACLASS(TCustomComboBox, &TWinControl::ClassInfo())
KV_METACLASS(TComboBox, &TCustomComboBox::ClassInfo())

void TCustomComboBox::Publish(TPublisher<TCustomComboBox>& P) {
    P.Prop("Color", &TControl::GetColor, &TControl::SetColor)
        .Default(clWindow)
        .Idents(&ColorIdents())
        .StoredIf([](const TCustomComboBox& c) { return !c.GetParentColor(); });
    P.Prop("DropDownCount", &TCustomComboBox::GetDropDownCount, &TCustomComboBox::SetDropDownCount)
        .Default(8);
    P.Prop("ItemHeight", &TCustomComboBox::FItemHeight, &TCustomComboBox::SetItemHeight).Default(16);
    P.Prop("Items", &TCustomComboBox::GetItems, &TCustomComboBox::SetItems);
    P.Prop("MaxLength", &TCustomComboBox::GetMaxLength, &TCustomComboBox::SetMaxLength).Default(0);
    P.Prop("Sorted", &TCustomComboBox::GetSorted, &TCustomComboBox::SetSorted).Default(false);
    P.Prop("Style", &TCustomComboBox::GetStyle, &TCustomComboBox::SetStyle).Default(csDropDown);
    P.Prop("TabStop", &TWinControl::GetTabStop, &TWinControl::SetTabStop).Default(true);
    P.Prop("Text", &TControl::GetText, &TControl::SetText);
    P.Prop("OnChange", &TCustomComboBox::OnChange, &TCustomComboBox::OnChange);
    P.Prop("OnDropDown", &TCustomComboBox::OnDropDown, &TCustomComboBox::OnDropDown);
}

TCustomComboBox::TCustomComboBox(TComponent* AOwner)
    : TWinControl(AOwner), FItems(std::make_unique<TComboBoxStrings>(this)) {
    ControlStyle >> csClickEvents >> csSetCaption;
    FColor = clWindow;
    SetTabStop(true);
    SetBounds(0, 0, 145, 21);
}

TCustomComboBox::~TCustomComboBox() {
    Destroying();
    DestroyHandle();
}

TStrings* TCustomComboBox::GetItems() const {
    return FItems.get();
}

void TCustomComboBox::SetItems(TStrings* Value) {
    FItems->Assign(Value);
}

void TCustomComboBox::SetItemIndex(int Value) {
    if (Value == FItemIndex) return;
    Perform(CB_SETCURSEL, static_cast<WPARAM>(Value));
}

void TCustomComboBox::SetStyle(TComboBoxStyle Value) {
    if (Value == FStyle) return;
    FStyle = Value;
    if (IsListStyle()) FText = FItemIndex >= 0 ? FItems->Get(FItemIndex) : AnsiString();
    RecreateWnd();
}

void TCustomComboBox::SetDropDownCount(int Value) {
    if (Value == FDropDownCount) return;
    FDropDownCount = Value;
    if (QComboBox* c = Combo()) c->setMaxVisibleItems(std::max(1, Value));
}

void TCustomComboBox::SetMaxLength(int Value) {
    if (Value == FMaxLength) return;
    FMaxLength = std::max(0, Value); // the text stays as it is, however long
}

int TCustomComboBox::Room() const {
    QLineEdit* e = EditPart();
    if (FMaxLength <= 0 || !e) return INT_MAX;
    return std::max(0, FMaxLength - (CodePoints(e->text()) - CodePoints(e->selectedText())));
}

void TCustomComboBox::SetSorted(bool Value) {
    if (Value == FSorted) return;
    FSorted = Value;
    if (Value) {
        FItems->Sort();
        PushItems();
    }
}

int TCustomComboBox::GetItemHeight() const {
    return FStyle >= csOwnerDrawFixed ? FItemHeight : TextLineHeight(*GetFont());
}

void TCustomComboBox::SetItemHeight(int Value) {
    if (Value <= 0 || Value == FItemHeight) return;
    FItemHeight = Value;
    if (FStyle >= csOwnerDrawFixed) RecreateWnd();
}

bool TCustomComboBox::GetDroppedDown() const {
    QComboBox* c = Combo();
    return c && c->view() && c->view()->isVisible();
}

void TCustomComboBox::SetDroppedDown(bool Value) {
    Perform(CB_SHOWDROPDOWN, Value ? 1 : 0);
}

int TCustomComboBox::GetSelStart() const {
    QLineEdit* e = EditPart();
    if (!e) return 0;
    return e->hasSelectedText() ? e->selectionStart() : e->cursorPosition();
}

void TCustomComboBox::SetSelStart(int Value) {
    if (QLineEdit* e = EditPart()) e->setCursorPosition(Value);
}

int TCustomComboBox::GetSelLength() const {
    QLineEdit* e = EditPart();
    return e ? static_cast<int>(e->selectedText().size()) : 0;
}

void TCustomComboBox::SetSelLength(int Value) {
    if (QLineEdit* e = EditPart()) e->setSelection(GetSelStart(), Value);
}

AnsiString TCustomComboBox::GetSelText() const {
    QLineEdit* e = EditPart();
    return e ? e->selectedText().toStdString() : AnsiString();
}

void TCustomComboBox::SelectAll() {
    if (QLineEdit* e = EditPart()) e->selectAll();
}

void TCustomComboBox::Clear() {
    FItems->Clear();
    SetText(AnsiString());
}

QComboBox* TCustomComboBox::Combo() const {
    return FStyle == csSimple ? nullptr : static_cast<QComboBox*>(FWidget);
}

QLineEdit* TCustomComboBox::EditPart() const {
    if (!FWidget || IsListStyle()) return nullptr;
    if (FStyle == csSimple) return static_cast<TSimpleComboWidget*>(FWidget)->Edit;
    return Combo()->lineEdit();
}

bool TCustomComboBox::HasEditPart() const {
    return EditPart() != nullptr;
}

LRESULT TCustomComboBox::EditPerform(Cardinal Msg, WPARAM WParam, LPARAM) {
    QLineEdit* e = EditPart();
    if (!e) return 0;
    switch (Msg) {
    case EM_SETREADONLY:
        e->setReadOnly(WParam != 0);
        return 1;
    case EM_GETMODIFY:
        return e->isModified() ? 1 : 0;
    case EM_SETMODIFY:
        e->setModified(WParam != 0);
        return 0;
    default:
        return 0;
    }
}

void TCustomComboBox::Change() {
    if (IsLoading()) return;
    if (OnChange) OnChange(this);
}

void TCustomComboBox::DropDown() {
    if (OnDropDown) OnDropDown(this);
}

// -- The lines under the selection

void TCustomComboBox::ItemInserted(int Index) {
    if (FItemIndex >= Index) ++FItemIndex;
    if (QComboBox* c = Combo()) {
        QSignalBlocker block(c);
        c->insertItem(Index, Q(FItems->Get(Index)));
    } else if (FWidget) {
        static_cast<TSimpleComboWidget*>(FWidget)->List->insertItem(Index, Q(FItems->Get(Index)));
    }
    PushSelection();
}

void TCustomComboBox::ItemRemoved(int Index) {
    if (FItemIndex == Index) {
        FItemIndex = -1;
        if (IsListStyle()) FText.clear();
    } else if (FItemIndex > Index) {
        --FItemIndex;
    }
    if (QComboBox* c = Combo()) {
        QSignalBlocker block(c);
        c->removeItem(Index);
    } else if (FWidget) {
        QSignalBlocker block(static_cast<TSimpleComboWidget*>(FWidget)->List);
        delete static_cast<TSimpleComboWidget*>(FWidget)->List->takeItem(Index);
    }
    PushSelection();
}

void TCustomComboBox::ItemChanged(int Index) {
    if (Index == FItemIndex && IsListStyle()) FText = FItems->Get(Index);
    PushItems();
}

void TCustomComboBox::ItemsCleared() {
    FItemIndex = -1;
    if (IsListStyle()) FText.clear();
    PushItems();
}

void TCustomComboBox::PushItems() {
    if (!FWidget) return;
    QStringList lines;
    for (int i = 0; i < FItems->GetCount(); ++i)
        lines << Q(FItems->Get(i));
    FPushing = true;
    if (QComboBox* c = Combo()) {
        c->clear();
        c->addItems(lines);
    } else {
        auto* list = static_cast<TSimpleComboWidget*>(FWidget)->List;
        list->clear();
        list->addItems(lines);
    }
    FPushing = false;
    PushSelection();
}

void TCustomComboBox::PushSelection() {
    if (!FWidget) return;
    FPushing = true;
    if (QComboBox* c = Combo()) {
        c->setCurrentIndex(FItemIndex);
        if (c->isEditable() && c->currentText() != Q(FText)) c->setEditText(Q(FText));
    } else {
        auto* w = static_cast<TSimpleComboWidget*>(FWidget);
        if (FItemIndex >= 0)
            w->List->setCurrentRow(FItemIndex);
        else {
            w->List->setCurrentRow(-1);
            w->List->clearSelection();
        }
        if (w->Edit->text() != Q(FText)) w->Edit->setText(Q(FText));
    }
    FPushing = false;
}

// -- What the user does

void TCustomComboBox::UserSelected(int Index) {
    if (FPushing) return;
    FItemIndex = Index < FItems->GetCount() ? Index : -1;
    if (FItemIndex >= 0) FText = FItems->Get(FItemIndex);
    if (FStyle == csSimple && FItemIndex >= 0) {
        // The simple style's edit part shows the picked line, as the drop-down's does.
        auto* w = static_cast<TSimpleComboWidget*>(FWidget);
        FPushing = true;
        w->Edit->setText(Q(FText));
        w->Edit->selectAll();
        FPushing = false;
    }
    Perform(WM_COMMAND, MakeWParam(0, CBN_SELCHANGE), 0);
}

void TCustomComboBox::UserEdited(const AnsiString& Text) {
    if (FPushing) return;
    FText = Text;
    Perform(WM_COMMAND, MakeWParam(0, CBN_EDITCHANGE), 0);
}

// -- Messages

void TCustomComboBox::Dispatch(TMessage& Message) {
    switch (Message.Msg) {
    case WM_COMMAND:
        switch (HiWord(Message.WParam)) {
        case CBN_SELCHANGE:
            if (FItemIndex >= 0) SetText(FItems->Get(FItemIndex));
            Click();
            Change();
            break;
        case CBN_EDITCHANGE:
            Change();
            break;
        case CBN_DROPDOWN:
            DropDown();
            break;
        default:
            break;
        }
        break;
    case WM_GETDLGCODE:
        Message.Result = DLGC_WANTARROWS | DLGC_WANTCHARS;
        break;
    default:
        TWinControl::Dispatch(Message);
        break;
    }
}

void TCustomComboBox::DefaultHandler(TMessage& Message) {
    int count = FItems->GetCount();
    switch (Message.Msg) {
    case WM_CHAR:
        // A character that does not fit whole is not typed, quietly.
        if (static_cast<TKeyChar>(Message.WParam) >= 32 && Room() < 1) {
            Handled(Message);
            return;
        }
        break;
    case WM_PASTE:
        if (QLineEdit* e = EditPart(); e && !e->isReadOnly()) PasteFitting(e, Room());
        return;
    case CB_GETCOUNT:
        Message.Result = count;
        return;
    case CB_GETCURSEL:
        Message.Result = FItemIndex;
        return;
    case CB_SETCURSEL: {
        auto index = static_cast<int>(static_cast<std::intptr_t>(Message.WParam));
        bool valid = index >= 0 && index < count;
        FItemIndex = valid ? index : -1;
        // Without a selection the edit part is emptied as well.
        FText = valid ? FItems->Get(index) : AnsiString();
        PushSelection();
        Message.Result = valid ? index : CB_ERR;
        return;
    }
    case CB_SHOWDROPDOWN:
        if (QComboBox* c = Combo()) {
            if (Message.WParam)
                c->showPopup();
            else
                c->hidePopup();
        }
        Message.Result = 1;
        return;
    case CB_GETDROPPEDSTATE:
        Message.Result = GetDroppedDown() ? 1 : 0;
        return;
    default:
        break;
    }
    TWinControl::DefaultHandler(Message);
}

void TCustomComboBox::TextChanged() {
    if (IsListStyle()) {
        // The text of a list is the selected line's.
        int index = FText.empty() ? -1 : FItems->IndexOf(FText);
        FItemIndex = index;
        FText = index >= 0 ? FItems->Get(index) : AnsiString();
    }
    PushSelection();
}

void TCustomComboBox::FontChanged() {
    TWinControl::FontChanged();
    if (FWidget && FStyle == csSimple) {
        auto* w = static_cast<TSimpleComboWidget*>(FWidget);
        w->Edit->setFont(GetFont()->ToQFont());
        w->List->setFont(GetFont()->ToQFont());
    }
}

// -- The window

QWidget* TCustomComboBox::CreateWidget(const TCreateParams& Params) {
    if (FStyle == csSimple) return new TControlWidget<TSimpleComboWidget>(this, Params.WndParent);
    auto* c = new TControlWidget<TComboWidget>(this, Params.WndParent);
    if (FStyle == csDropDown) {
        c->setEditable(true);
        // Our edit part in place of Qt's, with its palette.
        auto* edit = new TComboEditWidget(c);
        edit->setPalette(c->palette());
        c->setLineEdit(edit);
    }
    return c;
}

void TCustomComboBox::InitWidget() {
    TWinControl::InitWidget();
    QLineEdit* edit = EditPart();
    if (QComboBox* c = Combo()) {
        // The platform's combo boxes neither complete nor take typed lines into the list.
        c->setInsertPolicy(QComboBox::NoInsert);
        if (edit) c->setCompleter(nullptr);
        c->setMaxVisibleItems(std::max(1, FDropDownCount));
        if (FStyle >= csOwnerDrawFixed) c->setItemDelegate(new TItemHeightDelegate(FItemHeight, c));
        QObject::connect(c, &QComboBox::currentIndexChanged, c, [this](int Index) {
            if (!FPushing) GuardedCall(this, [&] { UserSelected(Index); });
        });
    } else {
        auto* w = static_cast<TSimpleComboWidget*>(FWidget);
        w->List->setFont(GetFont()->ToQFont());
        QObject::connect(w->List, &QListWidget::currentRowChanged, w, [this](int Row) {
            if (!FPushing && Row >= 0) GuardedCall(this, [&] { UserSelected(Row); });
        });
    }
    if (edit) {
        edit->setFont(GetFont()->ToQFont());
        QObject::connect(edit, &QLineEdit::textEdited, edit, [this](const QString& Text) {
            GuardedCall(this, [&] { UserEdited(Text.toStdString()); });
        });
    }
    PushItems();
}
