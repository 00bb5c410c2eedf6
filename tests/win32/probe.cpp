/*
 * Probe product for the shell's tests: records exactly what it received and
 * behaves as the test asks through environment variables (the command line
 * itself is what is under test, so it carries no instructions):
 *   PROBE_OUT    file that receives the exact command line (GetCommandLineA)
 *   PROBE_SHOW   file that receives the show state of its start-up information
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

int main(void)
{
    char value[MAX_PATH];
    const char *line = GetCommandLineA();

#ifdef PROBE_GUI
    if (GetSystemMetrics(SM_CXSCREEN) <= 0)
        return 3;
#endif

    if (GetEnvironmentVariableA("PROBE_OUT", value, sizeof value))
        WriteWholeFile(value, line, (DWORD)strlen(line));
    else
        printf("product received: [%s]\n", line);
    if (GetEnvironmentVariableA("PROBE_SHOW", value, sizeof value)) {
        STARTUPINFOA startup;
        char text[32];
        GetStartupInfoA(&startup);
        int length = sprintf(text, "%lu %u", (unsigned long)(startup.dwFlags & STARTF_USESHOWWINDOW),
                             (unsigned)startup.wShowWindow);
        WriteWholeFile(value, text, (DWORD)length);
    }
    if (GetEnvironmentVariableA("PROBE_HOLD", value, sizeof value)) {
        HANDLE event = CreateEventA(NULL, TRUE, FALSE, value);
        if (event) {
            WaitForSingleObject(event, 60000);
            CloseHandle(event);
        }
    }
    if (GetEnvironmentVariableA("PROBE_DONE", value, sizeof value))
        WriteWholeFile(value, "done", 4);
    if (GetEnvironmentVariableA("PROBE_SIGNAL", value, sizeof value)) {
        HANDLE event = OpenEventA(EVENT_MODIFY_STATE, FALSE, value);
        if (event) {
            SetEvent(event);
            CloseHandle(event);
        }
    }
    if (GetEnvironmentVariableA("PROBE_EXIT", value, sizeof value))
        return atoi(value);
    return 0;
}
