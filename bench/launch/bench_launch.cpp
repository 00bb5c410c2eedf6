/*
 * Launch overhead of the shell: the median time of a packaged shell starting
 * the probe product (no wait option; the run ends when both the shell has
 * ended and the product has signalled its end) against the median time of
 * the product started directly, over alternating pairs in one run.
 *   bench_launch SHELL.EXE PRODUCT.EXE [PAIRS]
 */
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>

#include <algorithm>
#include <vector>

static double Now(void)
{
    LARGE_INTEGER counter, frequency;
    QueryPerformanceCounter(&counter);
    QueryPerformanceFrequency(&frequency);
    return (double)counter.QuadPart / (double)frequency.QuadPart;
}

/* Starts the command line; returns its process handle or NULL. */
static HANDLE Start(const char *program)
{
    char line[MAX_PATH + 4];
    STARTUPINFOA startup;
    PROCESS_INFORMATION process;
    snprintf(line, sizeof line, "\"%s\"", program);
    ZeroMemory(&startup, sizeof startup);
    startup.cb = sizeof startup;
    if (!CreateProcessA(NULL, line, NULL, NULL, FALSE, 0, NULL, NULL, &startup, &process))
        return NULL;
    CloseHandle(process.hThread);
    return process.hProcess;
}

static double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

int main(int argc, char **argv)
{
    if (argc < 3) {
        fprintf(stderr, "usage: bench_launch SHELL.EXE PRODUCT.EXE [PAIRS]\n");
        return 2;
    }
    int pairs = argc > 3 ? atoi(argv[3]) : 20;
    const char *eventName = "OrmBenchLaunchDone";
    HANDLE done = CreateEventA(NULL, FALSE, FALSE, eventName);
    SetEnvironmentVariableA("PROBE_SIGNAL", eventName);
    SetEnvironmentVariableA("PROBE_OUT", "NUL");
    std::vector<double> direct, viaShell;

    for (int i = 0; i < pairs; i++) {
        double start = Now();
        HANDLE product = Start(argv[2]);
        if (!product || WaitForSingleObject(product, 60000) != WAIT_OBJECT_0) {
            fprintf(stderr, "bench_launch: product run failed\n");
            return 1;
        }
        direct.push_back(Now() - start);
        CloseHandle(product);
        ResetEvent(done);

        start = Now();
        HANDLE shell = Start(argv[1]);
        HANDLE both[2] = {shell, done};
        if (!shell || WaitForMultipleObjects(2, both, TRUE, 60000) == WAIT_TIMEOUT) {
            fprintf(stderr, "bench_launch: shell run failed\n");
            return 1;
        }
        viaShell.push_back(Now() - start);
        CloseHandle(shell);
    }
    double medianDirect = Median(direct), medianShell = Median(viaShell);
    printf("launch pairs:                 %d\n", pairs);
    printf("product started directly:     %.1f ms (median)\n", medianDirect * 1000);
    printf("shell, then product:          %.1f ms (median)\n", medianShell * 1000);
    printf("launch overhead ratio:        %.2f\n", medianShell / medianDirect);
    return 0;
}
