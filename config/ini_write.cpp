/*
 * Configuration text engine: the writer. Writes an IniFile back as text
 * that the parser reads to the same sections, names, indexes and values:
 * one line at a time, formatted in a 4096-byte buffer, each written at an
 * explicit offset through the file layer; the file is then cut to the
 * written length.
 */
#include "ini_internal.h"
#include "fileio.h"

/* A name or comment character: CR and LF would break the line. */
static void PutPlain(IniLine *l, const char *s)
{
    for (; *s; s++)
        IniLinePut(l, (*s == '\r' || *s == '\n') ? ' ' : *s);
}

/* A value character by character, with the escapes the parser reads inside
 * quotes. A lone CR or LF cannot come from parsing (the parser only makes
 * CR LF pairs); it is written as \n as well, so no value breaks its line. */
static void PutEscaped(IniLine *l, const char *s)
{
    for (; *s; s++) {
        char c = *s;
        if (c == '"' || c == '\\') {
            IniLinePut(l, '\\');
            IniLinePut(l, c);
        } else if (c == '\t') {
            IniLinePut(l, '\\');
            IniLinePut(l, 't');
        } else if (c == '\r' || c == '\n') {
            if (c == '\r' && s[1] == '\n')
                s++;
            IniLinePut(l, '\\');
            IniLinePut(l, 'n');
        } else {
            IniLinePut(l, c);
        }
    }
}

/* "[name]" */
static void FormatSection(IniLine *l, const IniSection *s)
{
    l->len = 0;
    IniLinePut(l, '[');
    PutPlain(l, s->name);
    IniLinePut(l, ']');
}

/* `name= "value"` or `name= "value"  ; comment`; the name carries "(n)"
 * when the index is not 0 or the name itself holds a '(' (which the parser
 * would otherwise take for an index). */
static void FormatKeyword(IniLine *l, const IniKeyword *k)
{
    l->len = 0;
    PutPlain(l, k->name);
    if (k->index != 0 || strchr(k->name, '(')) {
        IniLinePut(l, '(');
        IniLineLong(l, k->index);
        IniLinePut(l, ')');
    }
    IniLineText(l, "= \"", 3);
    PutEscaped(l, k->value);
    IniLinePut(l, '"');
    if (k->comment) {
        IniLineText(l, "  ; ", 4);
        PutPlain(l, k->comment);
    }
}

static inline int Writable(const IniKeyword *k)
{
    return k->name && k->name[0] && k->value;
}

/* Every line must fit the parser's 255 characters, or the text would not
 * read back as it stands in the object. */
static int AllLinesFit(const IniFile *ini, IniLine *l)
{
    for (const IniSection *s = ini->firstSection; s; s = s->next) {
        FormatSection(l, s);
        if (l->len > INI_LINE_MAX)
            return 0;
        for (const IniKeyword *k = s->firstKeyword; k; k = k->next) {
            if (!Writable(k))
                continue;
            FormatKeyword(l, k);
            if (l->len > INI_LINE_MAX)
                return 0;
        }
    }
    return 1;
}

/* The line and its LF at the file offset; all bytes or INI_ERR_WRITE. */
static uint32_t WriteLine(IniFile *ini, IniLine *l)
{
    uint32_t put = 0, err = 0;
    l->buf[l->len] = '\n';
    if (!FileWriteAt(ini->fileHandle, ini->fileOffset, l->buf, l->len + 1, &put, &err) ||
        put != l->len + 1)
        return INI_ERR_WRITE;
    ini->fileOffset += put;
    return INI_OK;
}

static uint32_t WriteAll(IniFile *ini, IniLine *l)
{
    for (const IniSection *s = ini->firstSection; s; s = s->next) {
        FormatSection(l, s);
        if (WriteLine(ini, l) != INI_OK)
            return INI_ERR_WRITE;
        for (const IniKeyword *k = s->firstKeyword; k; k = k->next) {
            if (!Writable(k))
                continue;
            FormatKeyword(l, k);
            if (WriteLine(ini, l) != INI_OK)
                return INI_ERR_WRITE;
        }
    }
    return INI_OK;
}

uint32_t IniWriteFile(IniFile *ini, const char *path)
{
    char *target = path ? IniCopyText(path, strlen(path)) : ini->fileName;
    FileHandle h;
    uint32_t err;
    if (!target)
        return INI_ERR_NOMEM;
    if (!FileOpen(target, FILE_WRITE, &h, &err)) {
        if (path)
            IniMemFree(target);
        return INI_ERR_OPEN;
    }
    ini->fileHandle = h;
    ini->fileOffset = 0;
    if (path) {
        IniMemFree(ini->fileName);
        ini->fileName = target;
    }

    uint32_t rc;
    char *buf = (char *)IniMemAlloc(INI_WINDOW_SIZE);
    /* One byte is kept back for the LF that WriteLine adds. */
    IniLine line = {buf, INI_WINDOW_SIZE - 1, 0};
    if (!buf) {
        rc = INI_ERR_NOMEM;
    } else if (!AllLinesFit(ini, &line)) {
        rc = INI_ERR_WRITE;         /* nothing written; the file is unchanged */
    } else {
        rc = WriteAll(ini, &line);
        /* No old tail may remain after the new text, even after a failed
         * write: the file holds exactly what was written. */
        if (!FileSetLength(h, ini->fileOffset, &err) && rc == INI_OK)
            rc = INI_ERR_WRITE;
    }
    IniMemFree(buf);
    FileClose(h, &err);
    ini->fileHandle = FILE_NO_HANDLE;
    return rc;
}
