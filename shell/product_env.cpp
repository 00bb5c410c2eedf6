/*
 * What the product inherits from the shell besides its command line: the
 * shell's own full file name in the environment variable ORMGEN32_SHELL, so
 * that the product can read the configuration text appended to that file
 * (EmbedLoadShellIni in the configuration library). Nothing else of the
 * environment changes.
 *
 * The name is the one the main routine read once (selfname.cpp): on the NT
 * family the UTF-16 one, whole at any folder name and length; on Win32s and
 * the 95 family, which have the wide functions only as stubs, the ANSI one.
 */
#include "shell.h"

#include "embed_public.h"

void PublishShellFileName(const ShellSelf *self)
{
    /* Without a whole name the variable goes, so that the product never
     * reads the configuration of a shell further up that set it. */
    if (self->fileNameW != NULL)
        SetEnvironmentVariableW(EMBED_SHELL_VARIABLE_W, self->fileNameW);
    else
        SetEnvironmentVariableA(EMBED_SHELL_VARIABLE, self->fileNameA);
}
