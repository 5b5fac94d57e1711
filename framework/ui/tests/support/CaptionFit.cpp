#include "CaptionFit.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QFontMetrics>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QStyleOption>
#include <QToolButton>

namespace {

// The text as drawn: "&&" is one '&', a lone '&' marks the mnemonic.
QString Shown(const QString& Text) {
    QString out;
    for (qsizetype i = 0; i < Text.size(); ++i) {
        if (Text[i] == '&' && i + 1 < Text.size()) ++i;
        out += Text[i];
    }
    return out;
}

// The room a style leaves for the text of a widget; an empty rectangle for
// widgets without a caption.
QRect TextRoom(QWidget* W) {
    QStyle* style = W->style();
    if (auto* tool = qobject_cast<QToolButton*>(W)) {
        // As the common style draws a tool button: inside its frame, after
        // the icon and four pixels when both show.
        int frame = style->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, W);
        QRect room = W->rect().adjusted(frame, frame, -frame, -frame);
        if (!tool->icon().isNull() && tool->toolButtonStyle() == Qt::ToolButtonTextBesideIcon)
            room.setWidth(room.width() - tool->iconSize().width() - 4);
        return room;
    }
    if (auto* check = qobject_cast<QCheckBox*>(W)) {
        QStyleOptionButton option;
        option.initFrom(check);
        option.text = check->text();
        return style->subElementRect(QStyle::SE_CheckBoxContents, &option, W);
    }
    if (auto* push = qobject_cast<QPushButton*>(W)) {
        QStyleOptionButton option;
        option.initFrom(push);
        option.text = push->text();
        if (push->isDefault()) option.features |= QStyleOptionButton::DefaultButton;
        return style->subElementRect(QStyle::SE_PushButtonContents, &option, W);
    }
    if (qobject_cast<QLabel*>(W)) return W->contentsRect();
    return QRect();
}

QString TextOf(QWidget* W) {
    if (auto* button = qobject_cast<QAbstractButton*>(W)) return button->text();
    if (auto* label = qobject_cast<QLabel*>(W)) return label->text();
    return QString();
}

std::string NameOf(QWidget* W) {
    TControl* control = FindControl(W);
    return control ? control->GetName() : W->objectName().toStdString();
}

} // namespace

std::vector<std::string> CaptionsThatDoNotFit(TWinControl& Window) {
    std::vector<std::string> misfits;
    QWidget* top = Window.GetHandle();
    for (QWidget* w : top->findChildren<QWidget*>()) {
        if (auto* check = qobject_cast<QCheckBox*>(w)) {
            // The check mark's box beside the caption must show whole too.
            int mark = check->style()->pixelMetric(QStyle::PM_IndicatorHeight, nullptr, check);
            if (mark > check->height())
                misfits.push_back(NameOf(w) + " check mark: room " + std::to_string(check->height()) +
                                  ", needs " + std::to_string(mark));
        }
        QString text = TextOf(w);
        QRect room = TextRoom(w);
        if (text.isEmpty() || room.isNull()) continue;
        QFontMetrics metrics(w->font());
        QString shown = Shown(text);
        QSize needs(metrics.horizontalAdvance(shown), metrics.height());
        if (needs.width() <= room.width() && needs.height() <= room.height()) continue;
        misfits.push_back(NameOf(w) + " '" + shown.toStdString() + "': room " + std::to_string(room.width()) +
                          " x " + std::to_string(room.height()) + ", needs " + std::to_string(needs.width()) +
                          " x " + std::to_string(needs.height()));
    }
    return misfits;
}
