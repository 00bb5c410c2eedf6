/*
 * Test support shared by the native and the Win32 test programs of the
 * configuration engine and the file layer: a readable dump of an IniFile,
 * a diagnostics sink that records, scratch directories and whole-file
 * helpers built on the file layer itself, and the counting allocator that
 * the engine uses in every test program (ini_fail_alloc.cpp).
 */
#ifndef ORM_INI_TEST_SUPPORT_H
#define ORM_INI_TEST_SUPPORT_H

#include <stddef.h>
#include <stdint.h>
#include <string>

#include "ini.h"

/* Dump of a model, one line per section and keyword:
 *   [name]
 *   name(index)="value" ;"comment"     (the comment part only when present)
 * Bytes below 0x20, from 0x7F, '"' and '\' are written as \xHH.
 * commentPrefix is put before every comment (to predict a written and
 * re-read model, whose comments have gained the writer's blank). */
std::string IniDump(const IniFile *ini, const char *commentPrefix = "");
std::string IniDumpEscape(const char *s);

/* Sink that appends every diagnostic to a text the test reads back. */
void IniCaptureReset();
const std::string &IniCaptured();
void IniCaptureSink(const char *text);

/* A fresh empty directory under the system's temporary directory, removed
 * with its files by the destructor. */
struct ScratchDir {
    std::string path;
    ScratchDir();
    ~ScratchDir();
    std::string File(const std::string &name) const;   /* path + separator + name */
};

bool WriteWholeFile(const std::string &path, const std::string &bytes);
bool ReadWholeFile(const std::string &path, std::string *bytes);

/* Bytes of the model proper: records and texts with their zero bytes. */
size_t IniModelBytes(const IniFile *ini);

/* The counting allocator (ini_fail_alloc.cpp): IniMemAlloc fails once
 * `failAt` allocations have succeeded when failAt >= 0. */
struct IniAllocStats {
    long allocations;               /* successful allocations so far */
    long live;                      /* blocks not freed */
    size_t liveBytes;               /* bytes not freed */
    size_t peakBytes;               /* highest liveBytes since the reset */
};
void IniAllocReset(long failAt);    /* -1: never fail */
IniAllocStats IniAllocGet();

#endif
