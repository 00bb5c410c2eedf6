/*
 * The three-dimensional control look: public interface.
 *
 * A module opens the look with Look3dOpen and hooks the threads whose
 * windows should have it with Look3dHookThread. From then on every dialog and
 * message box that a hooked thread creates, and the standard controls in it,
 * are subclassed when they are created and painted raised and sunken in the
 * system's button colours. Look3dClose, called on the same thread with the
 * same instance, undoes one hook of that thread and one open; the last close
 * releases every object of the look.
 *
 * The look never reports failure to the user: when it cannot work (fewer
 * than 4 bits per pixel, a 640 x 350 screen, a version below 3.10 for hooks,
 * four threads already hooked) windows keep the system's own appearance.
 *
 * Programs that use the look link the library `look3d` and the glyph bitmap
 * resource (the object library `look3d_glyphs`, resource 26567).
 */
#ifndef ORM_LOOK3D_H
#define ORM_LOOK3D_H

#include <windows.h>

/* Counts one more module using the look; the first call initialises it.
 * A thread that is already hooked has its use count raised as well.
 * Result: TRUE when the look is in force. */
BOOL Look3dOpen(HINSTANCE instance);

/* Installs the creation hook for the calling thread, or counts one more use
 * of it. Result: TRUE when the calling thread is hooked; FALSE when the look
 * is off, the version is below 3.10, four threads are hooked already or the
 * hook cannot be installed. */
BOOL Look3dHookThread(HINSTANCE instance);

/* Undoes one Look3dHookThread of the calling thread, where there is one (the
 * row goes when its count reaches 0 or instance is the row's owner), and one
 * Look3dOpen; the close that brings the open count to 0 releases the look.
 * Result: always TRUE. */
BOOL Look3dClose(HINSTANCE instance);

/* Takes the look off a window and every window in it, at all depths. A
 * window whose procedure is no longer the look's own (someone subclassed it
 * after the look) is switched off instead. Result: FALSE when the look is
 * not in force, else TRUE. */
BOOL Look3dRemoveLook(HWND window);

/* Private messages of the look (WM_USER .. 0x7FFF). */

/* Sent to a window that carries the look; lParam points to an int preset to
 * 666. Every control procedure of the look that is not switched off stores 1
 * there. The dialog procedure does not answer it. */
#define L3M_IDENTIFY        0x1943

/* Sent to a dialog before the look paints its frame; lParam points to an int
 * holding 1. Storing 0 keeps the system's frame for this painting. */
#define L3M_QUERYFRAME      0x11EF

/* Sent to a dialog at WM_INITDIALOG; lParam points to an int holding 1 (0 on
 * 3.95 and later for a DS_3DLOOK dialog). Leaving or storing a non-zero value
 * keeps the look; 0 takes it off the dialog and all its windows. */
#define L3M_QUERYCHILDREN   0x11F0

/* A dialog's standard procedure receives WM_CTLCOLORxxx + this offset
 * (0x0DF1 .. 0x0DF7) after its dialog procedure answered the standard colour
 * message with 0 or 1; a result other than 0 or 1 is the brush to use. */
#define L3M_CTLCOLOR_OFFSET 0x0CBF
#define L3M_CTLCOLORMSGBOX  (WM_CTLCOLORMSGBOX + L3M_CTLCOLOR_OFFSET)
#define L3M_CTLCOLOREDIT    (WM_CTLCOLOREDIT + L3M_CTLCOLOR_OFFSET)
#define L3M_CTLCOLORLISTBOX (WM_CTLCOLORLISTBOX + L3M_CTLCOLOR_OFFSET)
#define L3M_CTLCOLORBTN     (WM_CTLCOLORBTN + L3M_CTLCOLOR_OFFSET)
#define L3M_CTLCOLORDLG     (WM_CTLCOLORDLG + L3M_CTLCOLOR_OFFSET)
#define L3M_CTLCOLORSCROLLBAR (WM_CTLCOLORSCROLLBAR + L3M_CTLCOLOR_OFFSET)
#define L3M_CTLCOLORSTATIC  (WM_CTLCOLORSTATIC + L3M_CTLCOLOR_OFFSET)

/* Identifier of the glyph bitmap resource in the module given to the first
 * Look3dOpen. */
#define LOOK3D_GLYPHS_ID    26567

#endif /* ORM_LOOK3D_H */
