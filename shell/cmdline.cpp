/*
 * The command tail: the process's command line without the program's own
 * name and the blanks after it. The shell splits the line itself, by one rule
 * for both character sets, instead of taking the tail the runtime's start-up
 * code made (which treats a quote inside the name differently):
 *  - a line that begins with a double quote: the name runs to the next double
 *    quote, which belongs to it (or to the end of the line);
 *  - else the name runs up to the first character with a code up to 32;
 *  - then every character with a code from 1 to 32 is skipped.
 * So "C:\X\SHELL.EXE"tight x gives `tight x`, and C:\X\SHELL.EXE"a b" c
 * gives `b" c`. The rest of the line is passed on unchanged.
 */
#include "shell.h"

template <typename Char>
static const Char *SkipProgramName(const Char *line)
{
    if (*line == '"') {
        line++;
        while (*line != 0 && *line != '"')
            line++;
        if (*line == '"')
            line++;
    } else {
        while ((unsigned)*line > ' ')
            line++;
    }
    while (*line != 0 && (unsigned)*line <= ' ')
        line++;
    return line;
}

const char *CommandTailA(const char *commandLine)
{
    /* Bytes as unsigned: lead bytes of the ANSI code page are above 127. */
    const unsigned char *start = (const unsigned char *)commandLine;

    if (commandLine == NULL)
        return "";
    return commandLine + (SkipProgramName(start) - start);
}

const wchar_t *CommandTailW(const wchar_t *commandLine)
{
    return commandLine ? SkipProgramName(commandLine) : L"";
}
