/*
 * ormpack: locating the parts of a shell's program file in memory: the PE
 * headers, the settings record at the start of the ".ormset" section and
 * the Authenticode certificate table; and whether the file was cut short.
 */
#include "ormpack.h"
#include "shellfile.h"

#include <stdio.h>
#include <string.h>

/* The first ".ormset" section, if it has room for the whole record,
 * wherever its raw data lies (in a file cut short it may reach past the
 * end). */
static int FindRecordSection(const PeImage *pe, PeSection *section)
{
    for (uint32_t i = 0; PeGetSection(pe, i, section); i++)
        if (strcmp(section->name, PS_SECTION_NAME) == 0)
            return section->rawSize >= PS_RECORD_SIZE;
    return 0;
}

int OpOpenShell(const char *path, const std::vector<uint8_t> &bytes, OpShellFile *shell)
{
    PeSection section;
    int result;

    memset(shell, 0, sizeof *shell);
    result = PeParseHeaders(bytes.data(), (uint32_t)bytes.size(), (uint32_t)bytes.size(), &shell->pe);
    if (result != PE_OK)
        return OpFail("'%s' is not a PE program file", path), 0;
    shell->isSigned = PeGetCertificateTable(&shell->pe, &shell->certOffset, &shell->certSize);
    shell->imageEnd = OpImageEnd(&shell->pe);
    /* The extents first: in a file cut at or before its record the record
     * is missing because the file is cut, and that is what to report. */
    PeCheckExtents(&shell->pe, &shell->extent);
    if (!FindRecordSection(&shell->pe, &section)) {
        if (shell->extent.part != PE_EXTENT_OK)
            return 1;
        return OpFail("no settings record found in '%s' (no %s section holding one)", path,
                      PS_SECTION_NAME), 0;
    }
    shell->recordOffset = section.rawOffset;
    /* Always so in a complete file, whose sections all lie inside it. */
    shell->hasRecord = section.rawOffset + (uint64_t)PS_RECORD_SIZE <= bytes.size();
    shell->hasMagic = shell->hasRecord &&
                      memcmp(bytes.data() + section.rawOffset, PS_MAGIC, sizeof PS_MAGIC) == 0;
    return 1;
}

uint32_t OpImageEnd(const PeImage *pe)
{
    PeSection section;
    uint32_t end = 0;

    for (uint32_t i = 0; PeGetSection(pe, i, &section); i++)
        if (section.rawOffset + (uint64_t)section.rawSize > end &&
            section.rawOffset + (uint64_t)section.rawSize <= pe->fileSize)
            end = section.rawOffset + section.rawSize;
    return end;
}

std::string OpDescribeCut(const OpShellFile *shell)
{
    const PeExtentFault *f = &shell->extent;
    char text[160];

    if (f->part == PE_EXTENT_OK)
        return std::string();
    if (f->part == PE_EXTENT_SECTION)
        snprintf(text, sizeof text, "section %s ends", OpTerminalText(f->name, strlen(f->name)).c_str());
    else
        snprintf(text, sizeof text, "%s", f->part == PE_EXTENT_HEADERS ? "the headers end"
                                                                      : "the section table ends");
    return std::string(text) + " at file offset " + std::to_string(f->end) +
           ", past the end of the file (" + std::to_string(shell->pe.fileSize) + " bytes)";
}
