#pragma once
#include "buttonimages.h"
#include <QList>
#include <QtGlobal>

// How the two button slots of the box change their pictures under the
// pointer. The window owns a HoverFields and paints what these return, in
// the order returned.
namespace vidrona::ui::messagebox {

constexpr quint8 NoHoverSlot = 2;

struct HoverFields
{
    quint8 hoverIndex = 0;   // slot last painted as hovered; 2: none
    bool hoverShown = false; // a hover picture from pointer movement is up
};

struct SlotPaint
{
    int slot;
    ButtonKind kind;
    ButtonLook look;
    bool operator==(const SlotPaint &o) const
    {
        return slot == o.slot && kind == o.kind && look == o.look;
    }
};

// Pointer moved over slot i.
QList<SlotPaint> hoverSlot(HoverFields &fields, int style, int slot);
// Pointer moved over the background, the drag strip or a message area.
QList<SlotPaint> clearHover(HoverFields &fields, int style);
// A mouse button went down on slot i; the hover fields stay as they are.
SlotPaint pressSlot(int style, int slot);
// The hover picture of slot i, without an answer.
SlotPaint restoreHover(int style, int slot);

struct ReleaseOutcome
{
    SlotPaint paint;
    bool answers = false;
    int result = 0; // meaningful when answers
};

// A mouse button came up on slot i at (x, y) from its top-left corner; the
// slot's right and bottom edges still count as inside.
ReleaseOutcome releaseSlot(int style, int slot, qreal x, qreal y, int width, int height);

} // namespace vidrona::ui::messagebox
