/*
 * The shell's own interfaces: the main sequence's building blocks (settings
 * validation, operating-system check, launcher, wait, message boxes) and the
 * records they pass between them. Win32 only.
 */
#ifndef ORM_SHELL_H
#define ORM_SHELL_H

#include <windows.h>

#include "settings_record.h"

/* Exit codes of the shell. */
#define EXIT_OK                 0
#define EXIT_FAILED             (-1)
#define EXIT_NO_CONFIGURATION   1

/* String table ids (res/shell.rc). */
#define IDS_SHELL_TITLE         1
#define IDS_NO_EMBEDDED_INI     2
#define IDS_OS_NOT_SUPPORTED    1032

/* Launcher results. */
#define LAUNCH_OK               0u
#define LAUNCH_BAD_REQUEST      44u

#define SHELL_TITLE_TEXT        "Ormsted Shell"

extern HINSTANCE ShellInstance;   /* set once, at the start of WinMain */

typedef struct LaunchRequest {
    WORD size;                /* sizeof(LaunchRequest); checked by the launcher */
    DWORD flags;              /* PSF_* bits of the settings record */
    const char *programPath;  /* expanded product path, at most 255 characters */
    const char *arguments;    /* the shell's command tail; never null */
} LaunchRequest;

typedef struct LaunchOutcome {
    DWORD processId;          /* OUT: id of the started product; 0 if none */
} LaunchOutcome;

/* DLL search restricted to the system folder where the system allows it;
 * first thing in WinMain (dll_search.cpp). */
void RestrictDllSearch(void);

/* Settings record (settings_builtin.cpp). */
BOOL ValidateProductSettings(ProductSettings *workingCopy);

/* Operating-system kind bit, OS_KIND_* (winmain.cpp). */
DWORD GetOsKind(void);

/* Launcher (launch.cpp). */
char *ExpandPathMacros(HINSTANCE instance, const char *source, char *destination,
                       UINT destinationSize);
DWORD LaunchProduct(const LaunchRequest *request, LaunchOutcome *outcome);

/* Sets ORMGEN32_SHELL, which the product inherits, to the shell's own full
 * file name (product_env.cpp). */
void PublishShellFileName(HINSTANCE instance);

/* Wait (wait.cpp). */
void WaitForProduct(DWORD processId, const char *programPath);

/* Message boxes (messages.cpp). */
void ShowFormattedMessage(HWND owner, const char *format, const char *title, UINT style, ...);
void ShowMessageById(HWND owner, const char *title, UINT messageId);
void ShowResourceMessage(HINSTANCE instance, HWND owner, UINT messageId, UINT titleId,
                         UINT style, ...);

#endif
