/*
 * ormpack: what the tool knows about a shell's program file held in memory.
 */
#ifndef ORMPACK_SHELLFILE_H
#define ORMPACK_SHELLFILE_H

#include <stdint.h>

#include <string>
#include <vector>

#include "pe_image.h"
#include "settings_record.h"

typedef struct OpShellFile {
    PeImage pe;              /* headers; points into the caller's bytes */
    uint32_t recordOffset;   /* file offset of the settings record */
    int hasRecord;           /* the record's bytes lie inside the file (not so in a
                                file cut at or before its end) */
    int hasMagic;            /* the record there begins with its magic */
    int isSigned;            /* an Authenticode certificate table is present */
    uint32_t certOffset;     /* its file offset and size, when signed */
    uint32_t certSize;
    uint32_t imageEnd;       /* end of the last section's raw data: what follows is appended */
    PeExtentFault extent;    /* the part that reaches past the end of the file, when
                                extent.part is not PE_EXTENT_OK (a file cut short) */
} OpShellFile;

/* Parses the PE headers, checks that the image lies inside the file
 * (extent) and finds the settings record: the start of the ".ormset"
 * section, with room for the whole record. The record may be damaged, its
 * magic too (hasMagic): the shell would read it there and find it invalid.
 * A file cut short is opened even when its record is missing (hasRecord 0),
 * so that the caller reports the cut. Returns 1, or 0 after printing why
 * the file is not a shell. */
int OpOpenShell(const char *path, const std::vector<uint8_t> &bytes, OpShellFile *shell /* OUT */);

/* The end of the last section's raw data that lies inside the file. */
uint32_t OpImageEnd(const PeImage *pe);

/* Says what of a file cut short lies past its end, e.g. "section .rsrc
 * ends at file offset 61440, past the end of the file (60000 bytes)";
 * empty for a complete file. */
std::string OpDescribeCut(const OpShellFile *shell);

#endif
