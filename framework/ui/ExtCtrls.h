// Panels and timers.
#pragma once

#include "Controls.h"

#include <memory>

class QTimer;

enum TBevelCut { bvNone, bvLowered, bvRaised, bvSpace };
KV_ENUM_TYPEINFO(TBevelCut, "bvNone", "bvLowered", "bvRaised", "bvSpace")

// A container drawn with an outer and an inner bevel around its caption,
// filled with its colour. A single border lies outside the client area: two
// pixels of sunken edge with Ctl3D, one line without. Aligned children share
// the client area less bevels and border width.
class TCustomPanel : public TWinControl {
public:
    KV_METACLASS_DECL

    explicit TCustomPanel(TComponent* AOwner);

    TAlignment GetAlignment() const { return FAlignment; }
    void SetAlignment(TAlignment Value);
    TBevelCut GetBevelInner() const { return FBevelInner; }
    void SetBevelInner(TBevelCut Value);
    TBevelCut GetBevelOuter() const { return FBevelOuter; }
    void SetBevelOuter(TBevelCut Value);
    int GetBevelWidth() const { return FBevelWidth; }
    void SetBevelWidth(int Value);
    int GetBorderWidth() const { return FBorderWidth; }
    void SetBorderWidth(int Value);
    TBorderStyle GetBorderStyle() const { return FBorderStyle; }
    void SetBorderStyle(TBorderStyle Value);

    int GetClientWidth() const override;
    int GetClientHeight() const override;

protected:
    QRect AdjustClientRect() const override;
    QPoint ClientOrigin() const override;
    void Paint(QPainter& Painter) override;
    void TextChanged() override { Invalidate(); }
    void Dispatch(TMessage& Message) override;

private:
    int BorderPixels() const;
    void Changed();
    TAlignment FAlignment = taCenter;
    TBevelCut FBevelInner = bvNone;
    TBevelCut FBevelOuter = bvRaised;
    int FBevelWidth = 1;
    int FBorderWidth = 0;
    TBorderStyle FBorderStyle = bsNone;
};

class TPanel : public TCustomPanel {
public:
    KV_METACLASS_DECL
    static void Publish(TPublisher<TPanel>& P);
    using TCustomPanel::TCustomPanel;
};

// Fires OnTimer every Interval milliseconds while Enabled, Interval > 0 and
// OnTimer is set. Handlers run under the framework's guard.
class TTimer : public TComponent {
public:
    KV_METACLASS_DECL
    static void Publish(TPublisher<TTimer>& P);

    explicit TTimer(TComponent* AOwner);
    ~TTimer() override;

    bool GetEnabled() const { return FEnabled; }
    void SetEnabled(bool Value);
    int GetInterval() const { return FInterval; }
    void SetInterval(int Value);
    const TNotifyEvent& GetOnTimer() const { return FOnTimer; }
    void SetOnTimer(const TNotifyEvent& Value);
    bool IsRunning() const;

protected:
    virtual void Timer();

private:
    void UpdateTimer();
    bool FEnabled = true;
    int FInterval = 1000;
    TNotifyEvent FOnTimer;
    std::unique_ptr<QTimer> FTimer;
};
