/*
 * The configuration a product reads from its shell: the product library's
 * interface besides the engine's (ini.h), installed as <ormgen32/embed.h>.
 * C and C++. The library exports these functions and those of ini.h, and no
 * other name, so that it links beside a product's own functions whatever
 * their names.
 *
 * Every function gives an IniFile that the caller reads with the lookups of
 * ini.h and releases with IniClose, or NULL, and then leaves nothing to
 * free. NULL means: no file, no container appended to it, a damaged
 * container (header copies that differ, a length out of the file, either
 * checksum), a failed read, no memory, or text the parser refuses.
 */
#ifndef ORM_EMBED_PUBLIC_H
#define ORM_EMBED_PUBLIC_H

#include <stddef.h>

#include "ini.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Opens the program file at `path`, reads its appended container and parses
 * the body as configuration text. Returns the IniFile, which the caller
 * releases with IniClose, or NULL. */
IniFile *EmbedLoadIni(const char *path);

#ifdef _WIN32
/* EmbedLoadIni with a UTF-16 file name, for a program file whose name the
 * ANSI code page cannot spell, or a full name of any length (from MAX_PATH
 * characters on it is opened through its \\?\ form); Windows NT only. */
IniFile *EmbedLoadIniW(const wchar_t *path);
#endif

/* The name of the environment variable in which the shell hands its own
 * full file name to the product it starts; on Windows also as a UTF-16
 * string, for the wide environment functions. */
#define EMBED_SHELL_VARIABLE "ORMGEN32_SHELL"
#ifdef _WIN32
#define EMBED_SHELL_VARIABLE_W L"ORMGEN32_SHELL"
#endif

/* For a product: the configuration text appended to the shell that started
 * it. Reads the file named by the environment variable ORMGEN32_SHELL (the
 * shell sets it to its own full file name, as UTF-16 on Windows NT, so any
 * folder name works) and parses its container as EmbedLoadIni does.
 * Returns the IniFile, which the caller reads with the lookups of ini.h and
 * releases with IniClose; or NULL when the variable is unset or empty (the
 * product was not started by a shell), or the file has no container, or
 * the container or its text is damaged.
 * A product that asks for administrator rights never has the variable: the
 * shell starts it through the elevation prompt, and Windows gives an
 * elevated program a fresh environment, not the shell's. Such a product
 * reads its shell with EmbedLoadIni(W) by a name the vendor chooses (the
 * packaged shell beside the product), or leaves requireAdministrator out of
 * its manifest and elevates inside it where needed. */
IniFile *EmbedLoadShellIni(void);

#ifdef __cplusplus
}
#endif

#endif
