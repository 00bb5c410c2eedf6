/*
 * Helpers of the Win32 test programs that drive real processes under Wine:
 * start a program with an exact command line, wait for it with a bound and
 * read its full 32-bit exit code, find the message box it shows and read its
 * title, text and icon, dismiss it, and set Wine's emulated Windows version
 * for an executable name.
 *
 * Command lines and file names are UTF-8 and go through the system's UTF-16
 * calls, so tests can use names outside the ANSI code page; file names of
 * MAX_PATH characters and more are opened in their \\?\ form.
 */
#ifndef ORM_RIG_UTIL_H
#define ORM_RIG_UTIL_H

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

struct RigProcess {
    HANDLE process;   /* owned; closed by RigWaitExit once the process ended */
    DWORD pid;
};

enum RigIcon {
    RIG_ICON_NONE,
    RIG_ICON_EXCLAMATION,
    RIG_ICON_INFORMATION,
    RIG_ICON_HAND,
    RIG_ICON_QUESTION,
    RIG_ICON_UNKNOWN,   /* an icon is shown but matches none of the system's */
};

struct RigMessageBox {
    HWND window;
    std::string title;
    std::string text;
    RigIcon icon;
};

#define RIG_DEFAULT_SHOW 0xFFFF

/* Starts `commandLine` exactly as given (no quoting added); with a show state
 * other than RIG_DEFAULT_SHOW, the start-up information carries it. With an
 * `application`, that file is started whatever the line's first word is. */
bool RigStart(const char *commandLine, RigProcess *process, WORD showWindow = RIG_DEFAULT_SHOW,
              const char *application = NULL);

/* Waits up to timeoutMs; true with the exit code when the process ended,
 * false while it still runs. */
bool RigWaitExit(RigProcess *process, DWORD timeoutMs, DWORD *exitCode);

/* Ends a process that a failed test left running. */
void RigKill(RigProcess *process);

bool RigRunAndWait(const char *commandLine, DWORD timeoutMs, DWORD *exitCode);

/* Polls (every 20 ms, up to timeoutMs) for a visible dialog window of the
 * process and reads it. */
bool RigFindMessageBox(const RigProcess *process, DWORD timeoutMs, RigMessageBox *box);

/* Presses the box's first button (OK). */
void RigDismissMessageBox(const RigMessageBox *box);

/* Runs `show` on a thread of its own, reads the message box it shows in this
 * process (waiting up to timeoutMs), presses OK and waits as long for the
 * thread to end. True when the box was read and the thread ended; a thread
 * that does not end is terminated, so that it outlives nothing it uses. */
bool RigReadBoxOnWorker(const std::function<void()> &show, RigMessageBox *box,
                        DWORD timeoutMs = 20000);

/* The pixels of a window as shown on the screen, top-down, 0x00RRGGBB. */
struct RigImage {
    int width, height;
    std::vector<DWORD> pixels;
    DWORD At(int x, int y) const { return pixels[(size_t)y * width + x] & 0xFFFFFF; }
};
RigImage RigCaptureWindow(HWND window);

/* A COLORREF in the capture's 0x00RRGGBB order. */
DWORD RigRgb(COLORREF colour);

/* Writes an image as a 24-bit BMP file (for the README's pictures). */
bool RigSaveBmp(const std::string &path, const RigImage &image);

/* HKCU\Software\Wine\AppDefaults\<exeName> "Version"; NULL removes it. */
bool RigSetWindowsVersion(const char *exeName, const char *version);

/* Full path of a file relative to the current directory. */
std::string RigFullPath(const std::string &path);

/* UTF-8 and UTF-16. */
std::wstring RigWide(const std::string &utf8);
std::string RigUtf8(const std::wstring &wide);

/* A UTF-8 file name as the wide calls open it (\\?\ form from MAX_PATH on). */
std::wstring RigFileName(const std::string &path);

/* Creates a folder (its parent must exist); true when it exists afterwards. */
bool RigMakeFolder(const std::string &path);

std::string RigReadFile(const std::string &path);
bool RigWriteFile(const std::string &path, const std::string &bytes);

/* Polls (every 20 ms, up to timeoutMs) until the file can be read and holds
 * bytes; its bytes, or an empty string when it never did. Products write
 * their reports atomically (temporary name, then rename). */
std::string RigWaitForFile(const std::string &path, DWORD timeoutMs);

/* Copies `from` to `to`, replacing it. */
bool RigCopyFile(const std::string &from, const std::string &to);

/* Points this program's import of `function` from `dll` at `replacement`
 * and returns what it pointed at, or NULL when the program has no such
 * import. Code linked into the program (the look, the file layer) calls the
 * system through these imports, so a test sees or changes what it asks. */
void *RigReplaceImport(const char *dll, const char *function, void *replacement);

#endif
