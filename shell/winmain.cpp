/*
 * The shell's main routine: validate the built-in settings, refuse an
 * excluded Windows, start the product with the shell's command tail and, when
 * asked, wait for it. The return value is the process's exit code:
 * 0 started (on the 95 family and Win32s also: attempted), -1 refused,
 * 1 required configuration missing, 2 the product could not be started (NT
 * family); with PSF_PASS_EXIT_CODE, the product's own code once it ended.
 * Boxes shown from the configuration step on have the three-dimensional look,
 * which is opened just before the first of them (OpenLook).
 */
#include "shell.h"

#include "embed_public.h"
#include "ini.h"
#include "look3d.h"

#define PATH_BUFFER_SIZE 256

static BOOL LookOpened;

/* ShellBeforeWindow while the look is wanted: opens it and hooks this thread
 * before the first window. Opening it costs USER32, GDI32 and the display,
 * more than the rest of the start, so a run that shows no window skips it;
 * every box the thread shows from step 5 on still gets the look. */
static void OpenLook(void)
{
    if (LookOpened)
        return;
    LookOpened = TRUE;
    Look3dOpen(ShellInstance);
    Look3dHookThread(ShellInstance);
}

DWORD GetOsKind(void)
{
    OSVERSIONINFOA version;

    ZeroMemory(&version, sizeof version);
    version.dwOSVersionInfoSize = sizeof version;
    if (!GetVersionExA(&version))
        return OS_KIND_OTHER;
    switch (version.dwPlatformId) {
    case VER_PLATFORM_WIN32s:
        return OS_KIND_WIN32S;
    case VER_PLATFORM_WIN32_WINDOWS:
        return OS_KIND_WIN95;
    case VER_PLATFORM_WIN32_NT:
        if (version.dwMajorVersion == 3 && version.dwMinorVersion == 51)
            return OS_KIND_WINNT;
        if (version.dwMajorVersion == 4 && version.dwMinorVersion == 0 &&
            version.dwBuildNumber >= 1381)
            return OS_KIND_WINNT;
        return OS_KIND_OTHER;
    default:
        return OS_KIND_OTHER;
    }
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previousInstance, LPSTR commandTail,
                   int showCommand)
{
    static ProductSettings settings;    /* 3676 bytes: kept off the stack */
    LaunchRequest request;
    LaunchOutcome outcome;
    ShellSelf self;
    char programPath[PATH_BUFFER_SIZE];
    IniFile *configuration = NULL;
    DWORD exclusions, productExitCode;
    const char *recordPath;
    BOOL wide;
    int exitCode;

    /* Before any system library can load a DLL by name. */
    RestrictDllSearch();

    (void)previousInstance;
    (void)commandTail;   /* split from the command line below, by the shell's own rule */
    (void)showCommand;   /* the product gets the shell's own start-up information */

    ShellInstance = instance;
    ZeroMemory(&outcome, sizeof outcome);

    if (!ValidateProductSettings(&settings)) {
        ShowFormattedMessage(NULL, "Unexpected error in internal information", SHELL_TITLE_TEXT,
                             MB_OK | MB_ICONEXCLAMATION);
        return EXIT_FAILED;
    }

    /* With nothing excluded the version of Windows is not even asked. */
    exclusions = PsGet32(&settings, PS_OFF_OS_EXCLUSION);
    if (exclusions != 0 && (GetOsKind() & exclusions) != 0) {
        ShowMessageById(NULL, SHELL_TITLE_TEXT, IDS_OS_NOT_SUPPORTED);
        return EXIT_FAILED;
    }

    /* The path field holds at most 79 characters; never read past it. */
    settings.bytes[PS_OFF_PROGRAM_PATH + PS_PROGRAM_PATH_SIZE - 1] = '\0';
    recordPath = (const char *)settings.bytes + PS_OFF_PROGRAM_PATH;

    /* The NT family launches with the UTF-16 calls: names and tails outside
     * the ANSI code page, and lengths beyond 255 and 1023 characters, reach
     * the product whole. Win32s and the 95 family keep the ANSI calls. */
    wide = ShellPlatform() == VER_PLATFORM_WIN32_NT;
    GetShellSelf(instance, wide, &self);

    request.size = sizeof request;
    request.flags = PsGet32(&settings, PS_OFF_FLAGS);
    if (wide) {
        wchar_t *expanded = ExpandPathMacrosW(&self, recordPath);
        request.programPathW = expanded ? expanded : L"";
        request.argumentsW = CommandTailW(GetCommandLineW());
        request.programPath = "";
        request.arguments = "";
    } else {
        request.programPath = ExpandPathMacros(instance, recordPath, programPath,
                                               sizeof programPath);
        request.arguments = CommandTailA(GetCommandLineA());
        request.programPathW = NULL;
        request.argumentsW = NULL;
    }
    exitCode = EXIT_OK;

    ShellBeforeWindow = OpenLook;

    /* The configuration text appended to our own file; only its presence
     * matters to the run. The file layer opens a name of any length. */
    if (self.fileNameW != NULL) {
        configuration = EmbedLoadIniW(self.fileNameW);
    } else if (self.fileNameA != NULL && lstrlenA(self.fileNameA) < PATH_BUFFER_SIZE) {
        /* The ANSI calls have always read the configuration of names of
         * up to 255 characters only. */
        configuration = EmbedLoadIni(self.fileNameA);
    }
    if (configuration == NULL && (request.flags & PSF_CONFIG_REQUIRED)) {
        ShowResourceMessage(instance, NULL, IDS_NO_EMBEDDED_INI, IDS_SHELL_TITLE, MB_OK);
        exitCode = EXIT_NO_CONFIGURATION;
    }

    if (exitCode == EXIT_OK) {
        PublishShellFileName(&self);
        LaunchProduct(&request, &outcome);
        /* On the NT family a product that did not start is a failure the
         * caller can see. The 95 family keeps 0: there the wait may still
         * find the product running under its name. */
        if (!outcome.started && wide)
            exitCode = EXIT_NOT_STARTED;
    }

    if (configuration != NULL)
        IniClose(configuration);
    ShellBeforeWindow = NULL;
    if (LookOpened)
        Look3dClose(instance);

    if (request.flags & PSF_WAIT_FOR_PRODUCT) {
        if (WaitForProduct(&outcome, request.programPath, &productExitCode) &&
            (request.flags & PSF_PASS_EXIT_CODE) && exitCode == EXIT_OK)
            exitCode = (int)productExitCode;
        TieRelease(outcome.job);
    }
    return exitCode;
}
