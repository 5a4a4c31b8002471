#include "hoverlogic.h"
#include "skinbox.h"

namespace vidrona::ui::messagebox {

namespace {

// Style 0 has only slot 0; in the others any non-zero index is slot 1.
int normalSlot(int style, int slot)
{
    return (style == StyleOkOnly || slot == 0) ? 0 : 1;
}

SlotPaint paintOf(int style, int slot, ButtonLook look)
{
    const int s = normalSlot(style, slot);
    return {s, slotKind(style, s), look};
}

} // namespace

QList<SlotPaint> hoverSlot(HoverFields &fields, int style, int slot)
{
    const int s = normalSlot(style, slot);
    if (fields.hoverIndex != s)
        fields.hoverShown = false;
    if (fields.hoverShown)
        return {};
    fields.hoverIndex = quint8(s);
    fields.hoverShown = true;
    if (style == StyleOkOnly)
        return {paintOf(style, 0, ButtonLook::Hover)};
    // Slot 1 first, then slot 0: the entered one hovered, the other normal.
    return {paintOf(style, 1, s == 1 ? ButtonLook::Hover : ButtonLook::Normal),
            paintOf(style, 0, s == 0 ? ButtonLook::Hover : ButtonLook::Normal)};
}

QList<SlotPaint> clearHover(HoverFields &fields, int style)
{
    if (!fields.hoverShown)
        return {};
    fields.hoverShown = false;
    fields.hoverIndex = NoHoverSlot;
    if (style == StyleOkOnly)
        return {paintOf(style, 0, ButtonLook::Normal)};
    return {paintOf(style, 1, ButtonLook::Normal), paintOf(style, 0, ButtonLook::Normal)};
}

SlotPaint pressSlot(int style, int slot)
{
    return paintOf(style, slot, ButtonLook::Pressed);
}

SlotPaint restoreHover(int style, int slot)
{
    return paintOf(style, slot, ButtonLook::Hover);
}

ReleaseOutcome releaseSlot(int style, int slot, qreal x, qreal y, int width, int height)
{
    ReleaseOutcome out;
    out.paint = restoreHover(style, slot);
    if (x < 0 || x > width || y < 0 || y > height)
        return out;
    out.answers = true;
    out.result = kindResult(out.paint.kind);
    return out;
}

} // namespace vidrona::ui::messagebox
