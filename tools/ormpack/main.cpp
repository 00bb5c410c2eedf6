/*
 * ormpack: entry point and the table of commands. Each row names a command,
 * its function and its help; "ormpack --help" lists the table and
 * "ormpack COMMAND --help" shows one row with its options; "ormpack
 * --version" prints the project's version.
 */
#include "ormpack.h"

#include <stdio.h>
#include <string.h>

#include "orm_version.h"

static const OpCommand kCommands[] = {
    {"build", OpBuild, "SHELL.EXE -o OUT.EXE --program PATH [options]",
     "write a copy of the shell with a settings record and optional configuration text",
     "  -o, --output OUT.EXE   file to write (never the input)\n"
     "  --program PATH         product executable, at most 79 characters;\n"
     "                         may start with $WINDIR\\ or $SHELLDIR\\; ASCII,\n"
     "                         no double quote, not ending in \\ (a path\n"
     "                         relative to the current folder is warned about)\n"
     "  --wait                 the shell waits until the product has finished\n"
     "  --pass-exit-code       with --wait: the shell ends with the product's\n"
     "                         exit code\n"
     "  --kill-with-shell      with --wait: ending the waiting shell ends the\n"
     "                         product and what it started (Windows 2000 and\n"
     "                         later; not at logoff or shutdown)\n"
     "  --config-required      the shell refuses to start the product without\n"
     "                         configuration text\n"
     "  --exclude KINDS        do not start the product on these systems:\n"
     "                         comma list of win32s, win95, winnt\n"
     "  --config FILE.ini      append FILE.ini as the configuration container,\n"
     "                         replacing one the input carries; the text must\n"
     "                         parse (the first bad line is named) and hold at\n"
     "                         most 65535 bytes of single-byte text (no\n"
     "                         byte-order mark), lines of at most 255\n"
     "                         characters and no NUL byte\n"
     "  --config-name NAME     name stored with the text (default: FILE.ini's\n"
     "                         file name; at most 32 characters)\n"
     "  --no-config            drop a container the input carries\n"
     "  Without --config or --no-config a container of the input is kept.\n"
     "  A signed input is refused: package first, then sign.\n"},
    {"inspect", OpInspect, "FILE [--json] [--config-text]",
     "show a packaged shell's settings record and configuration container",
     "  --json                 one JSON object instead of text\n"
     "  --config-text          also show the configuration text\n"
     "  Exit code 0 whenever the file is a shell, whatever its record and\n"
     "  container hold; 1 when it is cut short (Windows will not start it).\n"},
    {"extract", OpExtract, "FILE -o OUT.ini",
     "write the plain configuration text of a packaged shell's container",
     "  -o, --output OUT.ini   file to write\n"},
    {"ini", OpIni, "FILE.ini [--json] [--write OUT.ini]",
     "parse configuration text and list its sections and keywords",
     "  --json                 one JSON object: result, sections, keywords\n"
     "                         (bytes from 0x80 as \\u0080 to \\u00ff)\n"
     "  --write OUT.ini        write the parsed text back to OUT.ini (created\n"
     "                         when missing) instead of listing it\n"
     "  A file that does not parse gives its result code, e.g. INI_ERR_SYNTAX.\n"},
    {"get", OpGet, "FILE.ini SECTION KEY [--index N] [--default TEXT | --int DEFAULT MIN MAX | --bool]",
     "look up one keyword and print its value",
     "  --index N              the keyword written KEY(N)\n"
     "  --default TEXT         print TEXT when the keyword is missing\n"
     "  --int DEFAULT MIN MAX  read a number (0x for base 16); DEFAULT when\n"
     "                         missing; out of MIN..MAX is reported, not changed\n"
     "  --bool                 print 1 when the number is not 0, else 0\n"
     "  Missing keywords and numbers out of range are reported on stderr.\n"
     "  Without --default, --int or --bool a missing keyword fails.\n"},
};

static const size_t kCommandCount = sizeof kCommands / sizeof kCommands[0];

static void PrintOverview(FILE *out)
{
    size_t i;

    fprintf(out, "usage: ormpack COMMAND [ARGS...]\n"
                 "       ormpack COMMAND --help\n"
                 "       ormpack --version\n\ncommands:\n");
    for (i = 0; i < kCommandCount; i++)
        fprintf(out, "  %-9s %s\n", kCommands[i].name, kCommands[i].help);
    fprintf(out, "\nexit codes: 0 success, 1 failure, 2 usage error\n");
}

static void PrintCommandHelp(const OpCommand *command)
{
    printf("usage: ormpack %s %s\n\n%s\n", command->name, command->synopsis, command->help);
    if (command->options)
        printf("\noptions:\n%s", command->options);
}

/* Whether the words before any "--" ask for help. */
static int WantsHelp(int argc, char **argv)
{
    int i;

    for (i = 0; i < argc; i++) {
        if (strcmp(argv[i], "--") == 0)
            return 0;
        if (strcmp(argv[i], "--help") == 0 || strcmp(argv[i], "-h") == 0)
            return 1;
    }
    return 0;
}

int main(int argc, char **argv)
{
    size_t i;

    if (argc < 2) {
        PrintOverview(stderr);
        return OP_EXIT_USAGE;
    }
    if (strcmp(argv[1], "--version") == 0) {
        printf("ormpack " ORM_VERSION_TEXT "\n");
        return OP_EXIT_OK;
    }
    if (strcmp(argv[1], "--help") == 0 || strcmp(argv[1], "-h") == 0 ||
        strcmp(argv[1], "help") == 0) {
        if (argc > 2 && strcmp(argv[1], "help") == 0) {
            for (i = 0; i < kCommandCount; i++)
                if (strcmp(argv[2], kCommands[i].name) == 0) {
                    PrintCommandHelp(&kCommands[i]);
                    return OP_EXIT_OK;
                }
            fprintf(stderr, "ormpack: unknown command '%s' (see 'ormpack --help')\n", argv[2]);
            return OP_EXIT_USAGE;
        }
        PrintOverview(stdout);
        return OP_EXIT_OK;
    }
    for (i = 0; i < kCommandCount; i++) {
        if (strcmp(argv[1], kCommands[i].name) != 0)
            continue;
        if (WantsHelp(argc - 2, argv + 2)) {
            PrintCommandHelp(&kCommands[i]);
            return OP_EXIT_OK;
        }
        OpSetCommandName(kCommands[i].name);
        return kCommands[i].run(argc - 2, argv + 2);
    }
    fprintf(stderr, "ormpack: unknown command '%s' (see 'ormpack --help')\n", argv[1]);
    return OP_EXIT_USAGE;
}
