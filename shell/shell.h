/*
 * The shell's own interfaces: the main sequence's building blocks (settings
 * validation, operating-system check, own file name, command tail, launcher,
 * tie of the product's lifetime, wait, message boxes) and the records they
 * pass between them. Win32 only.
 *
 * Two families of system calls, chosen at run time (ShellPlatform): the NT
 * family launches with the UTF-16 calls (command line, file names and paths
 * of any length, elevation, exit code 2 for a failed start); Win32s and the
 * 95 family keep the ANSI calls with their 256-byte paths and 1023-character
 * command lines.
 */
#ifndef ORM_SHELL_H
#define ORM_SHELL_H

#include <windows.h>
#include <shellapi.h>

#include "settings_record.h"

/* Exit codes of the shell. */
#define EXIT_OK                 0
#define EXIT_FAILED             (-1)
#define EXIT_NO_CONFIGURATION   1
#define EXIT_NOT_STARTED        2    /* NT family: the product could not be started */

/* String table ids (res/shell.rc). */
#define IDS_SHELL_TITLE         1
#define IDS_NO_EMBEDDED_INI     2
#define IDS_OS_NOT_SUPPORTED    1032

/* Launcher results. */
#define LAUNCH_OK               0u
#define LAUNCH_BAD_REQUEST      44u

#ifndef ERROR_ELEVATION_REQUIRED
#define ERROR_ELEVATION_REQUIRED 740   /* CreateProcess: the product asks for administrator rights */
#endif

#define SHELL_TITLE_TEXT        "Ormsted Shell"

extern HINSTANCE ShellInstance;   /* set once, at the start of WinMain */

/* The shell's own program file, named once by the main routine
 * (selfname.cpp). Exactly one name is set, or none when the system could not
 * give it. */
typedef struct ShellSelf {
    const wchar_t *fileNameW;   /* NT family: full name, any length (heap) */
    const char *fileNameA;      /* Win32s, 95 family: full name in bufferA */
    char bufferA[MAX_PATH];
} ShellSelf;

typedef struct LaunchRequest {
    WORD size;                  /* sizeof(LaunchRequest); checked by the launcher */
    DWORD flags;                /* PSF_* bits of the settings record */
    const char *programPath;    /* ANSI calls: expanded product path, at most 255
                                 * characters; "" when programPathW is used */
    const char *arguments;      /* ANSI calls: the shell's command tail; never null */
    const wchar_t *programPathW; /* NT family: expanded product path, any length;
                                  * NULL: the launcher uses the ANSI calls */
    const wchar_t *argumentsW;  /* NT family: the command tail of the UTF-16
                                 * command line; never null with programPathW */
} LaunchRequest;

typedef struct LaunchOutcome {
    HANDLE process;             /* OUT: the product's process, kept for the wait
                                 * and its exit code; NULL if none */
    BOOL started;               /* OUT: the system started the product */
    DWORD error;                /* OUT: the system's error code when it did not */
    HANDLE job;                 /* OUT: job object tying the product's lifetime to
                                 * the shell's (PSF_KILL_WITH_SHELL); NULL if none */
} LaunchOutcome;

/* Points the late imports (late_imports.txt) at their binding stubs; first
 * thing in the entry point (late_imports.cpp). */
void LateImportsStart(void);

/* DLL search restricted to the system folder where the system allows it;
 * first thing in WinMain (dll_search.cpp). */
void RestrictDllSearch(void);

/* The system calls the launcher starts the product with on the NT family.
 * Tests replace them to see what the launcher asks of the system. */
typedef BOOL(WINAPI *CreateProcessWFn)(LPCWSTR, LPWSTR, LPSECURITY_ATTRIBUTES,
                                       LPSECURITY_ATTRIBUTES, BOOL, DWORD, LPVOID, LPCWSTR,
                                       LPSTARTUPINFOW, LPPROCESS_INFORMATION);
typedef BOOL(WINAPI *ShellExecuteExWFn)(SHELLEXECUTEINFOW *);
typedef struct LaunchCalls {
    CreateProcessWFn createProcessW;    /* NULL: CreateProcessW */
    ShellExecuteExWFn shellExecuteExW;  /* NULL: looked up in SHELL32.DLL when an
                                         * elevated start is first needed */
} LaunchCalls;
extern LaunchCalls LaunchSystemCalls;

/* Settings record (settings_builtin.cpp). */
BOOL ValidateProductSettings(ProductSettings *workingCopy);

/* Operating-system kind bit, OS_KIND_* (winmain.cpp). */
DWORD GetOsKind(void);

/* Platform family from GetVersion: VER_PLATFORM_WIN32s, _WIN32_WINDOWS or
 * _WIN32_NT (launch.cpp). Unlike GetOsKind it never calls GetVersionExA. */
DWORD ShellPlatform(void);

/* Own file name (selfname.cpp): fills `self` with the UTF-16 name when
 * `wide`, else with the ANSI one. */
void GetShellSelf(HINSTANCE instance, BOOL wide, ShellSelf *self);

/* Command tail (cmdline.cpp): the line without the program's name and the
 * blanks after it; never null. */
const char *CommandTailA(const char *commandLine);
const wchar_t *CommandTailW(const wchar_t *commandLine);

/* Launcher (launch.cpp). */
char *ExpandPathMacros(HINSTANCE instance, const char *source, char *destination,
                       UINT destinationSize);
/* The record's ANSI path expanded into a heap string of any length, with the
 * directory of self->fileNameW for $SHELLDIR\; NULL when there is no memory. */
wchar_t *ExpandPathMacrosW(const ShellSelf *self, const char *source);
DWORD LaunchProduct(const LaunchRequest *request, LaunchOutcome *outcome);

/* Tied lifetime (lifetime.cpp). TieCreateJob: a job that ends its processes
 * when its last handle closes, or NULL where the system has no jobs.
 * TieWatchSessionEnd: a hidden window that lifts the tie when the session
 * ends (destroy it with DestroyWindow). TieRelease: lifts the tie and closes
 * the job. */
HANDLE TieCreateJob(void);
BOOL TieAssign(HANDLE job, HANDLE process);
BOOL TieSetKillOnClose(HANDLE job, BOOL kill);
HWND TieWatchSessionEnd(HANDLE job);
void TieRelease(HANDLE job);

/* Sets ORMGEN32_SHELL, which the product inherits, to the shell's own full
 * file name (product_env.cpp); removes it when `self` holds no name. */
void PublishShellFileName(const ShellSelf *self);

/* Wait (wait.cpp): returns TRUE with the product's exit code when it waited
 * on the product's process and saw it end; FALSE after a failed wait. */
BOOL WaitForProduct(const LaunchOutcome *outcome, const char *programPath,
                    DWORD *productExitCode /* OUT */);

/* The shell's windows (messages.cpp). ShellWindowComing is called before
 * the shell's thread shows a window of its own (its message boxes, and the
 * elevated start, whose system dialog may show one) and calls
 * ShellBeforeWindow when set: the main routine sets it once the look is
 * wanted, so that the look is opened only in a run that shows a window. */
extern void (*ShellBeforeWindow)(void);
void ShellWindowComing(void);

/* Message boxes (messages.cpp). */
void ShowFormattedMessage(HWND owner, const char *format, const char *title, UINT style, ...);
void ShowMessageById(HWND owner, const char *title, UINT messageId);
void ShowResourceMessage(HINSTANCE instance, HWND owner, UINT messageId, UINT titleId,
                         UINT style, ...);

#endif
