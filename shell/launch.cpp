/*
 * Launching the product: expanding the path macros at the start of the
 * product path and starting the product with the shell's own command tail.
 *
 * Two paths, chosen by the main routine through the request:
 *  - the ANSI calls (Win32s, the 95 family): a path of at most 255 bytes,
 *    "\"%s\" %s" formatted by wsprintfA (which stops at 1023 characters),
 *    CreateProcessA;
 *  - the UTF-16 calls (NT family): path and tail of any length, joined
 *    without a formatter, CreateProcessW; when the product asks for
 *    administrator rights (error 740), ShellExecuteExW with the "runas" verb,
 *    SHELL32 loaded only then so that the shell imports it nowhere else.
 * Either way the new process's handle is kept for the wait, and a failed
 * start is reported in a message box with the system's reason.
 */
#include "shell.h"

#include <string.h>

#define COMMAND_LINE_FORMAT "\"%s\" %s"
#define PATH_SEPARATOR  '\\'
#define REASON_SIZE     512
#define LONGEST_COMMAND_LINE 32767   /* UTF-16 units with the NUL, CreateProcessW's limit */

/* Zero: the system's own functions (no initialised data in the shell). */
LaunchCalls LaunchSystemCalls;

DWORD ShellPlatform(void)
{
    DWORD version = GetVersion();

    /* The high bit is set outside the NT family; Win32s reports 3.x there,
     * the 95 family 4.x. */
    if ((version & 0x80000000u) == 0)
        return VER_PLATFORM_WIN32_NT;
    return LOBYTE(LOWORD(version)) < 4 ? VER_PLATFORM_WIN32s : VER_PLATFORM_WIN32_WINDOWS;
}

/* ---- path macros ---------------------------------------------------------- */

/* Copies `tail` behind the `used` bytes already in `destination`, NUL-filling
 * the rest of the buffer. */
static void AppendTail(char *destination, UINT used, UINT destinationSize, const char *tail)
{
    if (used < destinationSize)
        strncpy(destination + used, tail, destinationSize - used);
}

char *ExpandPathMacros(HINSTANCE instance, const char *source, char *destination,
                       UINT destinationSize)
{
    if (destinationSize == 0)
        return destination;

    if (strncmp(source, MACRO_WINDIR, sizeof MACRO_WINDIR - 1) == 0) {
        UINT limit = destinationSize > 2 ? destinationSize - 2 : 0;
        UINT length = limit ? GetWindowsDirectoryA(destination, limit) : 0;
        /* A result of `limit` or more means the directory did not fit. */
        if (length != 0 && length < limit) {
            if (destination[length - 1] != PATH_SEPARATOR)
                destination[length++] = PATH_SEPARATOR;
            AppendTail(destination, length, destinationSize, source + sizeof MACRO_WINDIR - 1);
        } else {
            /* No directory: an empty path, so the launch fails visibly
             * instead of running whatever the buffer held. */
            destination[0] = '\0';
        }
    } else if (strncmp(source, MACRO_SHELLDIR, sizeof MACRO_SHELLDIR - 1) == 0) {
        UINT limit = destinationSize > 2 ? destinationSize - 2 : 0;
        UINT length = limit ? GetModuleFileNameA(instance, destination, limit) : 0;
        if (length != 0 && length < limit) {
            UINT keep = length;
            while (keep > 0 && destination[keep - 1] != PATH_SEPARATOR)
                keep--;
            AppendTail(destination, keep, destinationSize, source + sizeof MACRO_SHELLDIR - 1);
        } else {
            destination[0] = '\0';
        }
    } else {
        strncpy(destination, source, destinationSize);
    }
    destination[destinationSize - 1] = '\0';
    return destination;
}

static void *Allocate(size_t bytes)
{
    return HeapAlloc(GetProcessHeap(), 0, bytes);
}

static void Release(void *block)
{
    if (block != NULL)
        HeapFree(GetProcessHeap(), 0, block);
}

wchar_t *ExpandPathMacrosW(const ShellSelf *self, const char *source)
{
    BOOL windir = strncmp(source, MACRO_WINDIR, sizeof MACRO_WINDIR - 1) == 0;
    BOOL shelldir = !windir && strncmp(source, MACRO_SHELLDIR, sizeof MACRO_SHELLDIR - 1) == 0;
    const char *rest = source;
    UINT directoryLength = 0;   /* characters before the rest, with the separator */
    int restLength;
    wchar_t *result;

    if (windir) {
        rest += sizeof MACRO_WINDIR - 1;
        directoryLength = GetWindowsDirectoryW(NULL, 0);   /* its size with the NUL */
    } else if (shelldir) {
        rest += sizeof MACRO_SHELLDIR - 1;
        if (self->fileNameW != NULL) {
            const wchar_t *name = self->fileNameW;
            for (UINT i = 0; name[i] != 0; i++)
                if (name[i] == PATH_SEPARATOR)
                    directoryLength = i + 1;
        }
    }
    /* The record's bytes are text of the ANSI code page, as CreateProcessA
     * would have read them. */
    restLength = MultiByteToWideChar(CP_ACP, 0, rest, -1, NULL, 0);
    if (restLength <= 0)
        restLength = 1;
    result = (wchar_t *)Allocate((directoryLength + 1 + restLength) * sizeof(wchar_t));
    if (result == NULL)
        return NULL;

    if (windir) {
        UINT length = GetWindowsDirectoryW(result, directoryLength);
        if (length == 0 || length >= directoryLength) {
            /* No directory: an empty path, and the launch fails visibly. */
            result[0] = 0;
            return result;
        }
        if (result[length - 1] != PATH_SEPARATOR)
            result[length++] = PATH_SEPARATOR;
        directoryLength = length;
    } else if (shelldir) {
        if (directoryLength == 0) {
            result[0] = 0;
            return result;
        }
        memcpy(result, self->fileNameW, directoryLength * sizeof(wchar_t));
    }
    result[directoryLength] = 0;
    MultiByteToWideChar(CP_ACP, 0, rest, -1, result + directoryLength, restLength);
    return result;
}

/* ---- reporting a failed start --------------------------------------------- */

static int Length(const char *text) { return lstrlenA(text); }
static int Length(const wchar_t *text) { return lstrlenW(text); }

/* "The product could not be started:", the path, a blank line and the
 * system's reason, with each "%1" of the reason replaced by the path: the
 * reason is read without arguments, and some system texts name the file
 * that way ("Bad EXE format for %1."). A heap block, or NULL. */
template <typename Char>
static Char *FailureText(const Char *intro, const Char *path, const Char *reason)
{
    int introLength = Length(intro), pathLength = Length(path), size, i, used;
    Char *text;

    size = introLength + pathLength + 2 + Length(reason) + 1;
    for (i = 0; reason[i] != 0; i++)
        if (reason[i] == '%' && reason[i + 1] == '1')
            size += pathLength;
    text = (Char *)Allocate(size * sizeof(Char));
    if (text == NULL)
        return NULL;
    memcpy(text, intro, introLength * sizeof(Char));
    memcpy(text + introLength, path, pathLength * sizeof(Char));
    used = introLength + pathLength;
    text[used++] = '\n';
    text[used++] = '\n';
    for (i = 0; reason[i] != 0; i++) {
        if (reason[i] == '%' && reason[i + 1] == '1' &&
            (reason[i + 2] < '0' || reason[i + 2] > '9')) {
            memcpy(text + used, path, pathLength * sizeof(Char));
            used += pathLength;
            i++;
        } else {
            text[used++] = reason[i];
        }
    }
    text[used] = 0;
    return text;
}

static void ReportLaunchFailure(const LaunchRequest *request, DWORD error)
{
    const DWORD formatFlags = FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS;
    const UINT style = MB_OK | MB_ICONEXCLAMATION;

    ShellWindowComing();
    if (request->programPathW != NULL) {
        wchar_t reason[REASON_SIZE];
        wchar_t *text;
        if (FormatMessageW(formatFlags, NULL, error, 0, reason, REASON_SIZE, NULL) == 0)
            wsprintfW(reason, L"Error %lu", (unsigned long)error);
        text = FailureText(L"The product could not be started:\n", request->programPathW, reason);
        MessageBoxW(NULL, text ? text : reason, L"" SHELL_TITLE_TEXT, style);
        Release(text);
    } else {
        char reason[REASON_SIZE];
        char *text;
        if (FormatMessageA(formatFlags, NULL, error, 0, reason, REASON_SIZE, NULL) == 0)
            wsprintfA(reason, "Error %lu", (unsigned long)error);
        text = FailureText("The product could not be started:\n", request->programPath, reason);
        MessageBoxA(NULL, text ? text : reason, SHELL_TITLE_TEXT, style);
        Release(text);
    }
}

/* ---- starting ------------------------------------------------------------- */

/* Keeps the new process's handle for the wait; the thread's is not needed. */
static void TakeProcess(LaunchOutcome *outcome, const PROCESS_INFORMATION *process)
{
    outcome->started = TRUE;
    outcome->process = process->hProcess;
    CloseHandle(process->hThread);
}

static void StartProductA(const LaunchRequest *request, LaunchOutcome *outcome)
{
    STARTUPINFOA startup;
    PROCESS_INFORMATION process;
    char *commandLine;

    GetStartupInfoA(&startup);
    commandLine = (char *)Allocate(strlen(request->programPath) + strlen(request->arguments) + 4);
    if (commandLine == NULL) {
        outcome->error = ERROR_NOT_ENOUGH_MEMORY;
        return;
    }
    /* wsprintfA writes at most 1023 characters: a longer line is cut there. */
    wsprintfA(commandLine, COMMAND_LINE_FORMAT, request->programPath, request->arguments);
    ZeroMemory(&process, sizeof process);
    if (CreateProcessA(request->programPath, commandLine, NULL, NULL, TRUE, 0, NULL, NULL,
                       &startup, &process))
        TakeProcess(outcome, &process);
    else
        outcome->error = GetLastError();
    Release(commandLine);
}

/* The product asks for administrator rights: start it as the shell would
 * from Explorer's "Run as administrator", in the shell's current directory
 * and show state. The user's refusal (ERROR_CANCELLED) is a failed start.
 * COM is not initialised: the "runas" verb of a program file is carried out
 * by the system's elevation service, not by a shell extension that COM
 * would have to activate, and initialising it would load OLE32 for nothing. */
static void StartElevated(const LaunchRequest *request, const STARTUPINFOW *startup,
                          LaunchOutcome *outcome)
{
    ShellExecuteExWFn execute = LaunchSystemCalls.shellExecuteExW;
    SHELLEXECUTEINFOW info;
    wchar_t *directory;
    DWORD directorySize;

    if (execute == NULL) {
        HMODULE shell32 = LoadLibraryA("SHELL32.DLL");
        if (shell32 != NULL)
            execute = (ShellExecuteExWFn)(void *)GetProcAddress(shell32, "ShellExecuteExW");
        if (execute == NULL)
            return;   /* the error stays 740 */
    }
    directorySize = GetCurrentDirectoryW(0, NULL);
    directory = (wchar_t *)Allocate((directorySize + 1) * sizeof(wchar_t));
    if (directory != NULL && GetCurrentDirectoryW(directorySize + 1, directory) == 0) {
        Release(directory);
        directory = NULL;
    }
    ZeroMemory(&info, sizeof info);
    info.cbSize = sizeof info;
    /* Keep the process handle for the wait; finish the start before
     * returning, since the shell has no message loop of its own here; show
     * no error box of the system's: the shell reports a failure itself. */
    info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_NOASYNC | SEE_MASK_FLAG_NO_UI;
    info.lpVerb = L"runas";
    info.lpFile = request->programPathW;
    info.lpParameters = request->argumentsW;
    info.lpDirectory = directory;
    info.nShow = (startup->dwFlags & STARTF_USESHOWWINDOW) ? startup->wShowWindow : SW_SHOWNORMAL;
    /* The system may show its own message box on this thread. */
    ShellWindowComing();
    if (execute(&info)) {
        outcome->started = TRUE;
        outcome->error = 0;
        outcome->process = info.hProcess;
    } else {
        outcome->error = GetLastError();
    }
    Release(directory);
}

static void StartProductW(const LaunchRequest *request, LaunchOutcome *outcome)
{
    const DWORD tiedFlags = PSF_WAIT_FOR_PRODUCT | PSF_KILL_WITH_SHELL;
    STARTUPINFOW startup;
    PROCESS_INFORMATION process;
    wchar_t *commandLine;
    int pathLength = lstrlenW(request->programPathW);
    int argumentsLength = lstrlenW(request->argumentsW);
    HANDLE job = NULL;
    DWORD creation = 0;

    GetStartupInfoW(&startup);
    /* "PATH" TAIL: the whole tail, whatever its length. A line longer than
     * Windows takes is refused here as Windows refuses it (Wine would start
     * the product with it), so it is a failed start everywhere, never a cut. */
    if (pathLength + argumentsLength + 4 > LONGEST_COMMAND_LINE) {
        outcome->error = ERROR_FILENAME_EXCED_RANGE;
        return;
    }
    commandLine = (wchar_t *)Allocate((pathLength + argumentsLength + 4) * sizeof(wchar_t));
    if (commandLine == NULL) {
        outcome->error = ERROR_NOT_ENOUGH_MEMORY;
        return;
    }
    commandLine[0] = '"';
    memcpy(commandLine + 1, request->programPathW, pathLength * sizeof(wchar_t));
    commandLine[pathLength + 1] = '"';
    commandLine[pathLength + 2] = ' ';
    memcpy(commandLine + pathLength + 3, request->argumentsW,
           (argumentsLength + 1) * sizeof(wchar_t));

    /* Tied lifetime: the product starts suspended and joins the job before
     * it can start anything of its own. Without a shell that waits, a tie
     * would end the product as soon as the shell ends. */
    if ((request->flags & tiedFlags) == tiedFlags)
        job = TieCreateJob();
    if (job != NULL)
        creation = CREATE_SUSPENDED;

    ZeroMemory(&process, sizeof process);
    CreateProcessWFn createProcess =
        LaunchSystemCalls.createProcessW ? LaunchSystemCalls.createProcessW : CreateProcessW;
    if (createProcess(request->programPathW, commandLine, NULL, NULL, TRUE, creation, NULL, NULL,
                      &startup, &process)) {
        /* A job the product cannot join (nested jobs before Windows 8)
         * leaves it untied: it runs as without the option. */
        if (job != NULL && !TieAssign(job, process.hProcess)) {
            CloseHandle(job);
            job = NULL;
        }
        if (creation & CREATE_SUSPENDED)
            ResumeThread(process.hThread);
        TakeProcess(outcome, &process);
    } else {
        outcome->error = GetLastError();
        if (outcome->error == ERROR_ELEVATION_REQUIRED)
            StartElevated(request, &startup, outcome);
        /* Elevated, the product is already running when it could join. */
        if (job != NULL && (outcome->process == NULL || !TieAssign(job, outcome->process))) {
            CloseHandle(job);
            job = NULL;
        }
    }
    outcome->job = job;
    Release(commandLine);
}

DWORD LaunchProduct(const LaunchRequest *request, LaunchOutcome *outcome)
{
    UINT previousMode = SetErrorMode(SEM_FAILCRITICALERRORS);

    if (request->size != sizeof(LaunchRequest)) {
        SetErrorMode(previousMode);
        return LAUNCH_BAD_REQUEST;
    }
    outcome->started = FALSE;
    outcome->error = 0;
    outcome->process = NULL;
    outcome->job = NULL;
    if (request->programPathW != NULL)
        StartProductW(request, outcome);
    else
        StartProductA(request, outcome);
    SetErrorMode(previousMode);
    if (!outcome->started)
        ReportLaunchFailure(request, outcome->error);
    return LAUNCH_OK;
}
