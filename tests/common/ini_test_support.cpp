/*
 * Test support: model dump, recording sink, scratch directories and
 * whole-file helpers (see ini_test_support.h).
 */
#include "ini_test_support.h"

#include <stdio.h>
#include <string.h>

#include "fileio.h"

#ifdef _WIN32
#include <windows.h>
static bool RemoveDir(const std::string &p) { return RemoveDirectoryA(p.c_str()) != 0; }
#else
#include <unistd.h>
static bool RemoveDir(const std::string &p) { return rmdir(p.c_str()) == 0; }
#endif

std::string IniDumpEscape(const char *s)
{
    std::string out;
    for (const unsigned char *p = (const unsigned char *)s; *p; p++) {
        if (*p < 0x20 || *p >= 0x7F || *p == '"' || *p == '\\') {
            char hex[8];
            snprintf(hex, sizeof hex, "\\x%02X", *p);
            out += hex;
        } else {
            out += (char)*p;
        }
    }
    return out;
}

std::string IniDump(const IniFile *ini, const char *commentPrefix)
{
    std::string out;
    for (const IniSection *s = ini->firstSection; s; s = s->next) {
        out += "[" + IniDumpEscape(s->name) + "]\n";
        const IniKeyword *prev = NULL;
        for (const IniKeyword *k = s->firstKeyword; k; prev = k, k = k->next) {
            char index[16];
            snprintf(index, sizeof index, "%ld", (long)k->index);
            out += IniDumpEscape(k->name) + "(" + index + ")=\"" + IniDumpEscape(k->value) + "\"";
            if (k->comment)
                out += " ;\"" + IniDumpEscape((std::string(commentPrefix) + k->comment).c_str()) + "\"";
            if (k->prev != prev)
                out += " <bad prev link>";
            out += "\n";
        }
    }
    return out;
}

namespace {
std::string g_captured;
}

void IniCaptureReset()
{
    g_captured.clear();
}

const std::string &IniCaptured()
{
    return g_captured;
}

void IniCaptureSink(const char *text)
{
    g_captured += text;
}

ScratchDir::ScratchDir()
{
    char buf[1024];
    uint32_t err;
    /* A unique temporary file name becomes the directory's name. */
    if (FileMakeTemp(buf, sizeof buf) && FileDelete(buf, &err) && DirCreate(buf, &err))
        path = buf;
}

ScratchDir::~ScratchDir()
{
    if (path.empty())
        return;
    FileSearch search;
    uint16_t attrs;
    char name[1024];
    uint32_t err;
    std::string pattern = File("*");
    std::string files[256];
    int n = 0;
    if (FileFindFirst(pattern.c_str(), &search, &attrs, name, sizeof name, &err)) {
        do {
            if (!(attrs & FILE_ATTR_DIRECTORY) && n < 256)
                files[n++] = name;
        } while (FileFindNext(search, &attrs, name, sizeof name, &err));
        FileFindClose(search, &err);
    }
    for (int i = 0; i < n; i++) {
        std::string f = File(files[i]);
        FileSetAttributes(f.c_str(), 0, &err);
        FileDelete(f.c_str(), &err);
    }
    RemoveDir(path);
}

std::string ScratchDir::File(const std::string &name) const
{
    return path + PathSeparator() + name;
}

bool WriteWholeFile(const std::string &path, const std::string &bytes)
{
    FILE *f = fopen(path.c_str(), "wb");
    if (!f)
        return false;
    bool ok = fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return fclose(f) == 0 && ok;
}

bool ReadWholeFile(const std::string &path, std::string *bytes)
{
    FILE *f = fopen(path.c_str(), "rb");
    if (!f)
        return false;
    bytes->clear();
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, f)) > 0)
        bytes->append(buf, n);
    fclose(f);
    return true;
}

size_t IniModelBytes(const IniFile *ini)
{
    size_t n = 0;
    for (const IniSection *s = ini->firstSection; s; s = s->next) {
        n += sizeof *s + strlen(s->name) + 1;
        for (const IniKeyword *k = s->firstKeyword; k; k = k->next)
            n += sizeof *k + strlen(k->name) + 1 + strlen(k->value) + 1 +
                 (k->comment ? strlen(k->comment) + 1 : 0);
    }
    return n;
}
