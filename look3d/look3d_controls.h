/*
 * The look's control painters: what buttons.cpp, fields.cpp and statics.cpp
 * export besides the class tests and window procedures that
 * look3d_internal.h declares.
 *
 *   buttons.cpp   push buttons, check boxes, three-state check boxes, radio
 *                 buttons and group boxes, painted whole by the look with
 *                 glyph cells from the glyph bitmap
 *   fields.cpp    the two-ring sunken frame of edit controls, list boxes and
 *                 combo boxes, drawn into the parent after the control has
 *                 painted itself, and the frame band's invalidation
 *   statics.cpp   text statics on the parent's static background, and the
 *                 black, grey and white rectangles and frames as sunken,
 *                 etched and raised one-pixel frames
 */
#ifndef ORM_LOOK3D_CONTROLS_H
#define ORM_LOOK3D_CONTROLS_H

#include "look3d_internal.h"

/* --- buttons.cpp -------------------------------------------------------- */

/* Paint parts: what Look3dPaintButton draws. */
#define L3P_TEXT            0x02    /* the caption */
#define L3P_GLYPH           0x04    /* the glyph cell */
#define L3P_FOCUS           0x08    /* the focus rectangle (exclusive-or: drawn on erased ground only) */
#define L3P_ERASE           0x10    /* first fill the client area with the parent's button brush */
#define L3P_CAPTIONBAND     0x20    /* group boxes: invalidate the caption band in the parent */

/* Paints the parts of a button into dc, which the caller owns and gets back
 * as it was. */
void Look3dPaintButton(HWND button, HDC dc, UINT parts);

/* Paints a push button's whole face into dc with the parent's button brush
 * selected: frame, corners, bevels, face, caption and focus rectangle.
 *   client  the button's client rectangle
 *   type    BS_PUSHBUTTON or BS_DEFPUSHBUTTON
 *   pushed  the 0x0004 bit of the button's state word */
void Look3dPaintPushButton(HWND button, HDC dc, const RECT *client, const char *text,
                           int length, UINT type, UINT pushed);

/* --- fields.cpp --------------------------------------------------------- */

/* Draws the sunken frame of an edit control, list box or combo box into the
 * parent (for a combo box's edit or list, into the combo box's parent).
 * hideCaret is TRUE from the edit and combo box procedures. */
void Look3dPaintFieldFrame(HWND control, BOOL hideCaret, int classIndex);

/* Invalidates the control's frame band in its parent, without erasing.
 * pos: the WINDOWPOS of a WM_WINDOWPOSCHANGING, or NULL. */
void Look3dInvalidateFieldFrame(HWND control, const WINDOWPOS *pos);

/* Validates the control's frame band in its parent. */
void Look3dValidateFieldFrame(HWND control);

/* --- statics.cpp -------------------------------------------------------- */

/* Paints a whole static into dc, which the caller gets back as it was. */
void Look3dPaintStatic(HWND control, HDC dc);

/* Fills rect with the brush selected in dc and draws the window text into
 * it, by the alignment and prefix bits of style. */
void Look3dDrawStaticText(HWND control, HDC dc, const RECT *rect, LONG style);

#endif /* ORM_LOOK3D_CONTROLS_H */
