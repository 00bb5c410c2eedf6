/*
 * A product that defines FileExists and FileOpen itself, as a vendor's code
 * well may: the library must neither clash with them at link time nor call
 * them instead of its own. It reads [Product] Greeting from its shell's
 * configuration and prints the greeting and how often its own functions
 * were called: "GREETING|0", or "(none)|0" without a configuration.
 */
#include <ormgen32/embed.h>
#include <ormgen32/ini.h>

#include <stdio.h>

static int ownCalls;

int FileExists(const char *path)
{
    (void)path;
    ownCalls++;
    return 0;
}

int FileOpen(const char *path)
{
    (void)path;
    ownCalls++;
    return -1;
}

int main(void)
{
    char greeting[256] = "(none)";
    IniFile *configuration = EmbedLoadShellIni();

    if (configuration != NULL) {
        IniGetString(configuration, "Product", "Greeting", "", greeting, sizeof greeting, NULL);
        IniClose(configuration);
    }
    printf("%s|%d\n", greeting, ownCalls);
    return configuration != NULL ? 0 : 1;
}
