/*
 * The shell's main routine: validate the built-in settings, refuse an
 * excluded Windows, start the product with the shell's command tail and, when
 * asked, wait for it. The return value is the process's exit code:
 * 0 started (or attempted), -1 refused, 1 required configuration missing.
 */
#include "shell.h"

#include "embed.h"
#include "ini.h"
#include "look3d.h"

#define PATH_BUFFER_SIZE 256

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
    ProductSettings settings;
    LaunchRequest request;
    LaunchOutcome outcome;
    char programPath[PATH_BUFFER_SIZE];
    char ownFileName[PATH_BUFFER_SIZE];
    IniFile *configuration = NULL;
    DWORD exclusions;
    int exitCode;

    /* Before any system library can load a DLL by name. */
    RestrictDllSearch();

    (void)previousInstance;
    (void)showCommand;   /* the product gets the shell's own start-up information */

    ShellInstance = instance;
    outcome.processId = 0;

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

    request.size = sizeof request;
    request.flags = PsGet32(&settings, PS_OFF_FLAGS);
    request.programPath = ExpandPathMacros(instance,
                                           (const char *)settings.bytes + PS_OFF_PROGRAM_PATH,
                                           programPath, sizeof programPath);
    request.arguments = commandTail ? commandTail : "";
    exitCode = EXIT_OK;

    Look3dOpen(instance);
    Look3dHookThread(instance);

    /* The configuration text appended to our own file; only its presence
     * matters to the run. */
    DWORD nameLength = GetModuleFileNameA(instance, ownFileName, sizeof ownFileName);
    if (nameLength != 0 && nameLength < sizeof ownFileName)
        configuration = EmbedLoadIni(ownFileName);
    if (configuration == NULL && (request.flags & PSF_CONFIG_REQUIRED)) {
        ShowResourceMessage(instance, NULL, IDS_NO_EMBEDDED_INI, IDS_SHELL_TITLE, MB_OK);
        exitCode = EXIT_NO_CONFIGURATION;
    }

    if (exitCode == EXIT_OK) {
        PublishShellFileName(instance);
        LaunchProduct(&request, &outcome);
    }

    if (configuration != NULL)
        IniClose(configuration);
    Look3dClose(instance);

    if (request.flags & PSF_WAIT_FOR_PRODUCT)
        WaitForProduct(outcome.processId, request.programPath);
    return exitCode;
}
