// Speed buttons: tool-bar buttons without focus, with glyphs and groups.
#pragma once

#include "Controls.h"

#include <memory>

class QToolButton;

enum TButtonLayout { blGlyphLeft, blGlyphRight, blGlyphTop, blGlyphBottom };
KV_ENUM_TYPEINFO(TButtonLayout, "blGlyphLeft", "blGlyphRight", "blGlyphTop", "blGlyphBottom")

// A button that never takes the focus. With GroupIndex 0 it springs back
// after each click; with GroupIndex > 0 it stays down, and at most one
// button of a group among the buttons of the same parent is down; a click
// on the button that is down raises it only when AllowAllUp is on (the
// setting is shared by the group). A mouse click first updates Down, then
// fires OnClick; Click() by code fires OnClick only, even while disabled.
// Glyph holds NumGlyphs images side by side: up, disabled, clicked, down.
class TSpeedButton : public TGraphicControl {
public:
    KV_METACLASS_DECL
    static void Publish(TPublisher<TSpeedButton>& P);

    explicit TSpeedButton(TComponent* AOwner);
    ~TSpeedButton() override;

    bool GetAllowAllUp() const { return FAllowAllUp; }
    void SetAllowAllUp(bool Value);
    int GetGroupIndex() const { return FGroupIndex; }
    void SetGroupIndex(int Value);
    bool GetDown() const { return FDown; }
    void SetDown(bool Value);
    bool GetFlat() const { return FFlat; }
    void SetFlat(bool Value);
    TBitmap* GetGlyph() const { return FGlyph.get(); }
    void SetGlyph(TBitmap* Value) { FGlyph->Assign(Value); }
    int GetNumGlyphs() const { return FNumGlyphs; }
    void SetNumGlyphs(int Value);
    TButtonLayout GetLayout() const { return FLayout; }
    void SetLayout(TButtonLayout Value);
    int GetMargin() const { return FMargin; }
    void SetMargin(int Value);
    int GetSpacing() const { return FSpacing; }
    void SetSpacing(int Value);

    // Image I of the glyph (0 up, 1 disabled, 2 clicked, 3 down), or a null
    // image when the glyph does not hold it.
    QImage GlyphImage(int Index) const;

protected:
    QWidget* CreateWidget(const TCreateParams& Params) override;
    void InitWidget() override;
    void TextChanged() override;
    void Dispatch(TMessage& Message) override;
    // The user clicked the button: group rules, then Click.
    virtual void UserClick();

private:
    void UpdateExclusive();
    void UpdateButton();
    QToolButton* Button() const;

    bool FAllowAllUp = false;
    int FGroupIndex = 0;
    bool FDown = false;
    bool FFlat = false;
    std::unique_ptr<TBitmap> FGlyph;
    int FNumGlyphs = 1;
    TButtonLayout FLayout = blGlyphLeft;
    int FMargin = -1;
    int FSpacing = 4;
};
