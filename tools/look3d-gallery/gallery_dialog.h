/*
 * What the look's gallery, its paint bench and the look's Wine tests share:
 * filling the gallery dialog, making dialogs as a dialog manager before 4.0
 * made them, the Windows version word, running a copy of the program under
 * an emulated version, pumping messages and counting the process's GDI
 * objects.
 *
 * Why the old dialog manager: Wine's dialog manager sets DS_3DLOOK (style
 * bit 0x0004) on every dialog, whatever version it emulates; the dialog
 * managers of Windows before 4.0 did not, and the look passes nothing on to
 * the controls of a dialog that has the bit. GalleryOldDialogsOn installs a
 * creation hook on the calling thread that clears the bit on a dialog
 * ("#32770") as soon as a child is created in it, as an old dialog manager
 * left it. Install it after Look3dHookThread: the newest hook runs first.
 */
#ifndef ORM_LOOK3D_GALLERY_DIALOG_H
#define ORM_LOOK3D_GALLERY_DIALOG_H

#include <windows.h>

/* The gallery dialog's WM_INITDIALOG work: check boxes, the first radio
 * button, the edit's text, and the same items in the list and the three
 * combo boxes, the second one selected. */
void GalleryFillDialog(HWND dialog);

/* The old dialog manager's hook on the calling thread. On replaces a hook
 * already installed; Off removes it, and does nothing without one. */
void GalleryOldDialogsOn(void);
void GalleryOldDialogsOff(void);

/* GetVersion() as one word, major version high: 0x0333 for NT 3.51,
 * 0x030A for Windows 3.1, 0x0601 for Windows 7. The look computes its
 * winVersion the same way. */
WORD GalleryWinVersion(void);

/* Runs a copy of this program named <exe>_<version>.exe, with Wine's
 * AppDefaults\<copy>\Version = version, passing arguments; the child's
 * standard handles are ours. Waits up to timeoutMs (then ends the child)
 * and deletes the copy. Returns the child's exit code, -1 when it could not
 * run or did not finish. */
int GalleryRunUnderVersion(const char *version, const char *arguments, DWORD timeoutMs);

/* Dispatches every message waiting for this thread. */
void GalleryPump(void);

/* The number of GDI objects the process holds: GetGuiResources, or under
 * Wine (whose GetGuiResources answers 0) the used rows of the process's GDI
 * handle table. -1 when neither works. */
int GalleryGdiObjects(void);

#endif /* ORM_LOOK3D_GALLERY_DIALOG_H */
