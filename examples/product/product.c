/*
 * An example product for the Ormsted Shell, in C. The vendor packages the
 * shell in front of it with a configuration text:
 *
 *     ormpack build ORMGEN32.EXE -o MYPRODUCT.EXE --program '$SHELLDIR\product.exe'
 *             --config product.ini
 *
 * and whoever starts MYPRODUCT.EXE gets this program started by it. The
 * program asks the library for its shell's configuration (EmbedLoadShellIni
 * reads the shell's file, which the shell names in ORMGEN32_SHELL), looks up
 * [Product] Greeting and shows it. Started without its shell, it finds no
 * configuration and says so.
 *
 * On Windows it shows a message box; built natively it prints a line, so
 * that the same code can be tried on a packaged shell's file anywhere.
 */
#include <ormgen32/embed.h>
#include <ormgen32/ini.h>

#ifdef _WIN32
#include <windows.h>
#else
#include <stdio.h>
#endif

#define PRODUCT_TITLE "Example product"

static void Show(const char *text, int isProblem)
{
#ifdef _WIN32
    MessageBoxA(NULL, text, PRODUCT_TITLE,
                MB_OK | (isProblem ? MB_ICONEXCLAMATION : MB_ICONINFORMATION));
#else
    fprintf(isProblem ? stderr : stdout, "%s: %s\n", PRODUCT_TITLE, text);
#endif
}

static int Run(void)
{
    char greeting[256];
    IniFile *configuration = EmbedLoadShellIni();

    if (configuration == NULL) {
        Show("No configuration: start this product through its shell.", 1);
        return 1;
    }
    /* The text is copied out, so the configuration can go at once. */
    IniGetString(configuration, "Product", "Greeting", "(no greeting configured)",
                 greeting, sizeof greeting, NULL);
    IniClose(configuration);
    Show(greeting, 0);
    return 0;
}

#ifdef _WIN32
int WINAPI WinMain(HINSTANCE instance, HINSTANCE previousInstance, LPSTR commandLine,
                   int showCommand)
{
    (void)instance;
    (void)previousInstance;
    (void)commandLine;
    (void)showCommand;
    return Run();
}
#else
int main(void)
{
    return Run();
}
#endif
