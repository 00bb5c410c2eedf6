/*
 * Launch overhead of the shell, against the least a launcher can do. In
 * alternating triples in one run: the product started directly, the minimal
 * launcher (min_launcher.cpp) starting it, and a packaged shell starting it
 * (no wait option). A launched run ends when both the launcher has ended and
 * the product has signalled its end. Each launcher's extra time is the median,
 * over the triples, of its run minus the same triple's direct run; the figure
 * that matters is the ratio of the shell's extra time to the minimal
 * launcher's.
 *   bench_launch SHELL.EXE LAUNCHER.EXE PRODUCT.EXE [TRIPLES]
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

/* One run of the product started directly: seconds, or a negative value. */
static double RunDirect(const char *product)
{
    double start = Now();
    HANDLE process = Start(product);
    if (!process || WaitForSingleObject(process, 60000) != WAIT_OBJECT_0)
        return -1;
    double elapsed = Now() - start;
    CloseHandle(process);
    return elapsed;
}

/* One run through a launcher: until the launcher has ended and the product
 * has set `done`. */
static double RunLaunched(const char *launcher, HANDLE done)
{
    ResetEvent(done);
    double start = Now();
    HANDLE process = Start(launcher);
    if (!process)
        return -1;
    HANDLE both[2] = {process, done};
    DWORD waited = WaitForMultipleObjects(2, both, TRUE, 60000);
    double elapsed = Now() - start;
    CloseHandle(process);
    return waited == WAIT_TIMEOUT || waited == WAIT_FAILED ? -1 : elapsed;
}

int main(int argc, char **argv)
{
    if (argc < 4) {
        fprintf(stderr, "usage: bench_launch SHELL.EXE LAUNCHER.EXE PRODUCT.EXE [TRIPLES]\n");
        return 2;
    }
    const char *shell = argv[1], *launcher = argv[2], *product = argv[3];
    int triples = argc > 4 ? atoi(argv[4]) : 31;
    const char *eventName = "OrmBenchLaunchDone";
    HANDLE done = CreateEventA(NULL, TRUE, FALSE, eventName);
    SetEnvironmentVariableA("PROBE_SIGNAL", eventName);
    SetEnvironmentVariableA("PROBE_OUT", "NUL");
    std::vector<double> direct, viaLauncher, viaShell, launcherExtra, shellExtra;

    for (int i = 0; i < triples; i++) {
        double d = RunDirect(product);
        double l = RunLaunched(launcher, done);
        double s = RunLaunched(shell, done);
        if (d < 0 || l < 0 || s < 0) {
            fprintf(stderr, "bench_launch: run %d failed (%s)\n", i,
                    d < 0 ? "product" : l < 0 ? "minimal launcher" : "shell");
            return 1;
        }
        direct.push_back(d);
        viaLauncher.push_back(l);
        viaShell.push_back(s);
        launcherExtra.push_back(l - d);
        shellExtra.push_back(s - d);
    }
    double medianLauncherExtra = Median(launcherExtra), medianShellExtra = Median(shellExtra);
    printf("launch triples:                   %d\n", triples);
    printf("product started directly:         %.1f ms (median)\n", Median(direct) * 1000);
    printf("minimal launcher, then product:   %.1f ms (median)\n", Median(viaLauncher) * 1000);
    printf("shell, then product:              %.1f ms (median)\n", Median(viaShell) * 1000);
    printf("minimal launcher's extra time:    %.1f ms (median over triples)\n",
           medianLauncherExtra * 1000);
    printf("shell's extra time:               %.1f ms (median over triples)\n",
           medianShellExtra * 1000);
    if (medianLauncherExtra > 0)
        printf("shell / minimal launcher:         %.2f (at most 1.10 wanted)\n",
               medianShellExtra / medianLauncherExtra);
    else
        printf("shell / minimal launcher:         n/a (the launcher cost nothing measurable)\n");
    return 0;
}
