/*
 * Launching the product: expanding the path macros at the start of the
 * product path and starting the product with the shell's own command tail.
 */
#include "shell.h"

#include <string.h>

#define MACRO_WINDIR    "$WINDIR\\"
#define MACRO_SHELLDIR  "$SHELLDIR\\"
#define COMMAND_LINE_FORMAT "\"%s\" %s"
#define PATH_SEPARATOR  '\\'

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

/* Tells the user that the product could not be started, with the system's
 * own description of the error. */
static void ReportLaunchFailure(const char *programPath, DWORD error)
{
    char reason[512];

    if (FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, NULL, error,
                       0, reason, sizeof reason, NULL) == 0)
        wsprintfA(reason, "Error %lu", (unsigned long)error);
    ShowFormattedMessage(NULL, "The product could not be started:\n%.255s\n\n%.500s",
                         SHELL_TITLE_TEXT, MB_OK | MB_ICONEXCLAMATION, programPath, reason);
}

DWORD LaunchProduct(const LaunchRequest *request, LaunchOutcome *outcome)
{
    UINT previousMode = SetErrorMode(SEM_FAILCRITICALERRORS);
    STARTUPINFOA startup;
    PROCESS_INFORMATION process;
    char *commandLine;
    BOOL started;
    DWORD error = 0;

    if (request->size != sizeof(LaunchRequest)) {
        SetErrorMode(previousMode);
        return LAUNCH_BAD_REQUEST;
    }
    GetStartupInfoA(&startup);

    commandLine = (char *)HeapAlloc(GetProcessHeap(), 0,
                                    strlen(request->programPath) + strlen(request->arguments) + 4);
    if (commandLine == NULL) {
        SetErrorMode(previousMode);
        ReportLaunchFailure(request->programPath, ERROR_NOT_ENOUGH_MEMORY);
        return LAUNCH_OK;
    }
    /* wsprintfA writes at most 1023 characters: a longer line is cut there. */
    wsprintfA(commandLine, COMMAND_LINE_FORMAT, request->programPath, request->arguments);

    ZeroMemory(&process, sizeof process);
    started = CreateProcessA(request->programPath, commandLine, NULL, NULL, TRUE, 0, NULL, NULL,
                             &startup, &process);
    if (!started)
        error = GetLastError();
    HeapFree(GetProcessHeap(), 0, commandLine);

    if (started) {
        outcome->processId = process.dwProcessId;
        /* The process handle stays open until the shell ends: it keeps the id
         * from being reused by another process before the wait opens it. */
        CloseHandle(process.hThread);
    }
    SetErrorMode(previousMode);
    if (!started)
        ReportLaunchFailure(request->programPath, error);
    return LAUNCH_OK;
}
