/*
 * Probe product for the shell's tests: records exactly what it received and
 * behaves as the test asks through environment variables (the command line
 * itself is what is under test, so it carries no instructions):
 *   PROBE_OUT    file that receives the exact command line (GetCommandLineW,
 *                in UTF-8)
 *   PROBE_SHOW   file that receives the show state of its start-up information
 *   PROBE_PID    file that receives its process id (decimal)
 *   PROBE_SPAWN  program to start as the probe's own child before it holds;
 *                the child writes its process id to the file named by
 *                PROBE_SPAWN_PID and holds on the event PROBE_SPAWN_HOLD (or,
 *                without it, on the probe's own PROBE_HOLD)
 *   PROBE_HOLD   name of an event to wait for (at most 60 s) before ending
 *   PROBE_DONE   file written when the probe is about to end
 *   PROBE_SIGNAL name of an event set just before the probe ends
 *   PROBE_EXIT   exit code (decimal)
 * Without PROBE_OUT it prints its command line to stdout (the demo's product).
 * Built with PROBE_GUI (the benchmark's product), it first connects to the
 * window system, as every windowed product does at start.
 */
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

/* Writes a file under a temporary name and renames it, so that a test that
 * sees the file sees all of it. */
static void WriteWholeFile(const char *path, const char *bytes, DWORD length)
{
    char temporary[MAX_PATH + 8];
    sprintf(temporary, "%.*s.tmp", MAX_PATH - 1, path);
    HANDLE file = CreateFileA(temporary, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    DWORD written = 0;
    if (file == INVALID_HANDLE_VALUE)
        return;
    WriteFile(file, bytes, length, &written, NULL);
    CloseHandle(file);
    MoveFileExA(temporary, path, MOVEFILE_REPLACE_EXISTING);
}

/* The UTF-16 command line in UTF-8, so that every character the shell
 * passed on can be compared. */
static void WriteCommandLine(const char *path)
{
    const wchar_t *line = GetCommandLineW();
    int length = WideCharToMultiByte(CP_UTF8, 0, line, -1, NULL, 0, NULL, NULL);
    char *bytes = (char *)malloc(length > 0 ? length : 1);
    if (bytes == NULL)
        return;
    length = WideCharToMultiByte(CP_UTF8, 0, line, -1, bytes, length, NULL, NULL);
    WriteWholeFile(path, bytes, length > 0 ? (DWORD)length - 1 : 0);
    free(bytes);
}

/* Starts `program` as a child that only holds and reports its id. */
static void Spawn(const char *program)
{
    static const char *const cleared[] = {"PROBE_OUT", "PROBE_SHOW", "PROBE_DONE", "PROBE_SIGNAL",
                                          "PROBE_EXIT", "PROBE_SPAWN"};
    char childPid[MAX_PATH] = "", childHold[MAX_PATH] = "";
    char line[MAX_PATH + 2];
    STARTUPINFOA startup;
    PROCESS_INFORMATION process;

    GetEnvironmentVariableA("PROBE_SPAWN_PID", childPid, sizeof childPid);
    for (const char *name : cleared)
        SetEnvironmentVariableA(name, NULL);
    SetEnvironmentVariableA("PROBE_PID", childPid);
    if (GetEnvironmentVariableA("PROBE_SPAWN_HOLD", childHold, sizeof childHold))
        SetEnvironmentVariableA("PROBE_HOLD", childHold);
    ZeroMemory(&startup, sizeof startup);
    startup.cb = sizeof startup;
    sprintf(line, "\"%.*s\"", MAX_PATH - 1, program);
    if (CreateProcessA(program, line, NULL, NULL, FALSE, 0, NULL, NULL, &startup, &process)) {
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
}

int main(void)
{
    char value[MAX_PATH];

#ifdef PROBE_GUI
    if (GetSystemMetrics(SM_CXSCREEN) <= 0)
        return 3;
#endif

    if (GetEnvironmentVariableA("PROBE_OUT", value, sizeof value))
        WriteCommandLine(value);
    else
        printf("product received: [%s]\n", GetCommandLineA());
    if (GetEnvironmentVariableA("PROBE_SHOW", value, sizeof value)) {
        STARTUPINFOA startup;
        char text[32];
        GetStartupInfoA(&startup);
        int length = sprintf(text, "%lu %u", (unsigned long)(startup.dwFlags & STARTF_USESHOWWINDOW),
                             (unsigned)startup.wShowWindow);
        WriteWholeFile(value, text, (DWORD)length);
    }
    if (GetEnvironmentVariableA("PROBE_PID", value, sizeof value)) {
        char text[16];
        int length = sprintf(text, "%lu", (unsigned long)GetCurrentProcessId());
        WriteWholeFile(value, text, (DWORD)length);
    }
    /* Read before Spawn changes the environment. */
    char exitCode[16] = "";
    GetEnvironmentVariableA("PROBE_EXIT", exitCode, sizeof exitCode);
    char done[MAX_PATH] = "", signalName[MAX_PATH] = "";
    GetEnvironmentVariableA("PROBE_DONE", done, sizeof done);
    GetEnvironmentVariableA("PROBE_SIGNAL", signalName, sizeof signalName);
    char hold[MAX_PATH] = "";
    GetEnvironmentVariableA("PROBE_HOLD", hold, sizeof hold);
    if (GetEnvironmentVariableA("PROBE_SPAWN", value, sizeof value))
        Spawn(value);
    if (hold[0]) {
        HANDLE event = CreateEventA(NULL, TRUE, FALSE, hold);
        if (event) {
            WaitForSingleObject(event, 60000);
            CloseHandle(event);
        }
    }
    if (done[0])
        WriteWholeFile(done, "done", 4);
    if (signalName[0]) {
        HANDLE event = OpenEventA(EVENT_MODIFY_STATE, FALSE, signalName);
        if (event) {
            SetEvent(event);
            CloseHandle(event);
        }
    }
    return atoi(exitCode);
}
