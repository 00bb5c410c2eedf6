/*
 * Configuration text engine: the IniFile model (sections in text order, each
 * with keywords: name, index, value, comment), its two creating operations
 * and its release (ini_parse.cpp), the lookups with typed values and
 * diagnostics (ini_lookup.cpp), and the writer (ini_write.cpp). All file
 * work goes through the file access layer (fileio.h). Plain C-style code:
 * no global state, memory from IniMemAlloc/IniMemFree only. This header and
 * embed_public.h are the C interface that products include, as
 * <ormgen32/ini.h> and <ormgen32/embed.h>.
 *
 * Text format, one line at a time (CR, LF and zero bytes end lines; blank
 * lines are skipped; at most 255 characters of a line are read):
 *   [name]               section header; text after ']' is ignored
 *   ; text               comment line
 *   name = value ; note  keyword line; name(n) gives the index n
 *   name = "a \"q\" b"   quoted value: spaces kept; \" \\ \n (CR LF) \t
 *
 * Invariants:
 *  1. A creating operation returns either a fully parsed object and INI_OK,
 *     or no object (out pointer null) and an error code, having released
 *     everything it built.
 *  2. Every record and text belongs to the object; IniClose alone frees them.
 *  3. Outside a load or save the file handle is FILE_NO_HANDLE.
 *  4. Duplicates stay; lookups find the first in text order.
 *
 * Choices where the format leaves room:
 *  - A keyword line before the first section header refuses the whole text
 *    with INI_ERR_SYNTAX.
 *  - The rest of a line longer than 255 characters is discarded, so that a
 *    cut-off tail can never become a line (a keyword) of its own.
 *  - A comment that cannot be copied for lack of memory fails the creation
 *    with INI_ERR_NOMEM rather than losing the comment silently.
 *  - An index that does not fit 32 bits is saturated to INT32_MIN/INT32_MAX.
 *  - The writer: see IniWriteFile.
 */
#ifndef ORM_INI_H
#define ORM_INI_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Result codes of the engine (the file layer's FileErrorToResult uses the
 * same numbering). */
#define INI_OK          0u
#define INI_ERR_NOMEM   2u     /* no memory; the writer: no file name known */
#define INI_ERR_SYNTAX  26u    /* a line of the text is malformed */
#define INI_ERR_OPEN    27u    /* the file cannot be opened */
#define INI_ERR_WRITE   56u    /* a write failed or was short; a line too long */

#define INI_LINE_MAX    255u   /* characters of a line that are read */
#define INI_WINDOW_SIZE 4096u  /* file read window and writer line buffer */

typedef struct IniKeyword {
    struct IniKeyword *next;        /* next keyword of the section, or null */
    struct IniKeyword *prev;        /* previous one; null for the first */
    char *name;                     /* owned; without the index part */
    char *value;                    /* owned; quotes and escapes processed */
    char *comment;                  /* owned text after ';', or null */
    int32_t index;                  /* 0 when the name carries none */
} IniKeyword;

typedef struct IniSection {
    struct IniSection *next;        /* next section in text order, or null */
    IniKeyword *firstKeyword;       /* keywords in text order */
    char *name;                     /* owned; as written between '[' and ']' */
} IniSection;

typedef struct IniFile {
    char *fileName;                 /* owned path last loaded or saved, or null */
    uint32_t fileHandle;            /* open only during a load or save */
    uint32_t fileOffset;            /* position of the next read or write */
    const uint8_t *window;          /* bytes being parsed; owned 4096 bytes
                                       after a file load, else null */
    uint32_t windowValid;           /* bytes valid in the window */
    uint32_t windowRead;            /* read index in the window */
    uint32_t windowCapacity;        /* size of the window */
    IniSection *firstSection;       /* sections in text order */
} IniFile;

/* Receives one diagnostic line of the lookups (ended by LF); the text lives
 * only for the call. */
typedef void (*IniMessageSink)(const char *text);

/* --- creation and release (ini_parse.cpp) ------------------------------ */

/* Parses `length` bytes of text (no zero byte needed at the end). The text
 * may be released as soon as the call returns. Returns INI_OK and the new
 * object in *out, which the caller releases with IniClose; otherwise
 * INI_ERR_SYNTAX (the first malformed line ends the parse) or
 * INI_ERR_NOMEM, *out is NULL and there is nothing to free. */
uint32_t IniOpenText(IniFile **out, const char *text, uint32_t length);

/* Parses the file `name`, read in 4096-byte blocks. When it does not open
 * and `near` is a non-empty path, the file-name part of `name` is tried in
 * the directory of `near` (see IniFallbackPath). Results as IniOpenText,
 * and INI_ERR_OPEN when neither file opens; the object's fileName is the
 * path that was opened. */
uint32_t IniOpenFile(IniFile **out, const char *name, const char *near);

/* Frees every keyword, section, the file name, the window and the object.
 * `ini` must not be NULL; texts got from the lookups die with it. */
void IniClose(IniFile *ini);

/* The fallback path of IniOpenFile: the part of `near` before its last
 * `sep`, then `sep`, then the part of `name` after its last `sep` (all of
 * it when it holds none). Returns a new text, which the caller frees with
 * IniMemFree, or null. */
char *IniFallbackPath(const char *name, const char *near, char sep);

/* --- lookups (ini_lookup.cpp) ------------------------------------------
 * Lookups only read the object and allocate nothing. Section and keyword
 * names are compared without regard to case (A-Z equal a-z). Only the first
 * section of a name is searched, for the first keyword of the name with
 * exactly the given index (a name without an index has index 0). With a
 * sink, a missing keyword is reported as one line:
 *   Keyword "k" not found in section "[s]"        (or "k(n)" for index n)
 * and the number lookups also report a value outside minimum..maximum:
 *   Keyword "k" in section "[s]", value v is out of range (min..max)
 * Without a sink nothing is reported and no range check is made. */

/* 1 when a section of that name exists, else 0. */
uint16_t    IniHasSection(const IniFile *ini, const char *section);

/* 1 when the first section of that name holds the keyword with index 0. */
uint16_t    IniHasKeyword(const IniFile *ini, const char *section, const char *keyword);

/* The stored value of the keyword with `index`, or NULL when it is missing.
 * The text belongs to the object: valid until IniClose, not to be changed
 * or freed. */
const char *IniGetValueIndexed(const IniFile *ini, const char *section, const char *keyword,
                               int32_t index, IniMessageSink sink);
/* IniGetValueIndexed with index 0. */
const char *IniGetValue(const IniFile *ini, const char *section, const char *keyword,
                        IniMessageSink sink);

/* Copies the value, or `defaultText` when the keyword is missing (NULL
 * counts as ""), into `buf` of `size` bytes: a longer text is cut to
 * size - 1 characters, the rest of the buffer is zero-filled and the text
 * always ends with a zero byte. Returns the length of the text left in the
 * buffer (0 when size is 0, and then nothing is written). */
uint32_t    IniGetStringIndexed(const IniFile *ini, const char *section, const char *keyword,
                                int32_t index, const char *defaultText,
                                char *buf, uint32_t size, IniMessageSink sink);
/* IniGetStringIndexed with index 0. */
uint32_t    IniGetString(const IniFile *ini, const char *section, const char *keyword,
                         const char *defaultText, char *buf, uint32_t size,
                         IniMessageSink sink);

/* The value read as a number (IniParseNumber), or `defaultValue` when the
 * keyword is missing. A value outside minimum..maximum is reported to the
 * sink (when maximum >= minimum) but returned unchanged, never clamped. */
int32_t     IniGetIntIndexed(const IniFile *ini, const char *section, const char *keyword,
                             int32_t index, int32_t defaultValue, int32_t minimum,
                             int32_t maximum, IniMessageSink sink);
/* IniGetIntIndexed with index 0. */
int32_t     IniGetInt(const IniFile *ini, const char *section, const char *keyword,
                      int32_t defaultValue, int32_t minimum, int32_t maximum,
                      IniMessageSink sink);

/* 1 when the value reads as a number other than 0 (so "yes" and "true"
 * give 0, "0x10" gives 1); 0 when the keyword is missing. */
uint16_t    IniGetBool(const IniFile *ini, const char *section, const char *keyword,
                       IniMessageSink sink);

/* Reads a number as the number lookups do: base 16 after a leading 0x,
 * else base 10; white space, one sign, digits; saturates at 4294967295; a
 * '-' negates modulo 2^32. */
int32_t     IniParseNumber(const char *text);

/* --- writer (ini_write.cpp) -------------------------------------------- */

/* Writes the object as text to `path`, or to its own file name when path is
 * null. The file must exist (INI_ERR_OPEN otherwise) and is cut to the
 * written length. Lines: "[name]", then per keyword `name= "value"` or
 * `name= "value"  ; comment`, LF-ended.
 *  - An index other than 0 is written as name(n); so is a name that holds a
 *    '(' (as name(0)), which would otherwise read back as an index.
 *  - In values, '"', '\', CR LF and tab are written as \" \\ \n \t. A lone
 *    CR or LF (no parsed value has one) is written as \n too, so a value
 *    can never break its line; CR and LF in a comment are written as blanks.
 *  - A line longer than the 255 characters the reader takes would not read
 *    back the same: such an object is refused with INI_ERR_WRITE before
 *    anything is written, and the file stays as it was.
 * Keywords without a name or a value (possible only in objects changed by
 * hand) are skipped.
 * So an object parsed from text reads back with the same sections, names,
 * indexes and values; a comment comes back with one more leading blank. */
uint32_t IniWriteFile(IniFile *ini, const char *path);

/* --- memory ------------------------------------------------------------- */

/* The engine's only allocation functions (ini_alloc.cpp, a file of its own
 * so that a test program can link its own pair, e.g. to fail the Nth
 * allocation). IniMemFree accepts null. */
void *IniMemAlloc(size_t size);
void  IniMemFree(void *p);

#ifdef __cplusplus
}
#endif

#endif
