/*
 * The shell's process entry point, in place of the C runtime's start-up
 * code. The shell needs nothing that code prepares (no C++ constructors, no
 * C runtime state, no floating point, no thread-local data) and splits its
 * own command line, so the entry only does what the start-up contract asks:
 * WinMain gets the module's instance, no previous instance, the command tail
 * and the show state of the start-up information (SW_SHOWDEFAULT when it
 * carries none), and the process ends with WinMain's result. Before
 * anything else the late imports get their stubs (late_imports.cpp).
 */
#include "shell.h"

extern "C" void WINAPI ShellStart(void)
{
    STARTUPINFOA startup;
    int showCommand = SW_SHOWDEFAULT;

    LateImportsStart();
    startup.cb = sizeof startup;
    GetStartupInfoA(&startup);
    if (startup.dwFlags & STARTF_USESHOWWINDOW)
        showCommand = startup.wShowWindow;
    ExitProcess((UINT)WinMain(GetModuleHandleA(NULL), NULL,
                              (LPSTR)CommandTailA(GetCommandLineA()), showCommand));
}
