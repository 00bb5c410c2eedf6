/*
 * Starts one command line exactly as given (Wine's own launcher re-quotes
 * every word), waits for it and prints its full 32-bit exit code, which
 * Wine's launcher would cut to 8 bits. Used by the demo and the benchmark.
 *   starter "COMMAND LINE"        prints "exit code: N", exits 0
 */
#include <windows.h>

#include <stdio.h>

int main(int argc, char **argv)
{
    STARTUPINFOA startup;
    PROCESS_INFORMATION process;
    DWORD code = 0;

    if (argc != 2) {
        fprintf(stderr, "usage: starter \"COMMAND LINE\"\n");
        return 2;
    }
    ZeroMemory(&startup, sizeof startup);
    startup.cb = sizeof startup;
    if (!CreateProcessA(NULL, argv[1], NULL, NULL, FALSE, 0, NULL, NULL, &startup, &process)) {
        fprintf(stderr, "starter: cannot start: error %lu\n", (unsigned long)GetLastError());
        return 1;
    }
    WaitForSingleObject(process.hProcess, INFINITE);
    GetExitCodeProcess(process.hProcess, &code);
    printf("exit code: %ld\n", (long)code);
    return 0;
}
