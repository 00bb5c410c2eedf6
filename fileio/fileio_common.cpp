/*
 * File access layer, the parts that do not depend on the platform: the two
 * error mappings, the pure helpers of the free-space fallback, and
 * FileSizeByName, which only combines other operations.
 */
#include "fileio.h"

#include <stddef.h>

/* One row per group of system codes; codes not listed map to the last row. */
typedef struct FileErrorRow {
    uint32_t code;                  /* Windows error code */
    uint32_t result;                /* engine result numbering */
    uint32_t status;                /* 2001 status numbering */
} FileErrorRow;

static const FileErrorRow kFileErrors[] = {
    {0, 1, 2001},
    {1, 1, 2001},
    {FILE_ERROR_FILE_NOT_FOUND, 53, 2002},
    {FILE_ERROR_PATH_NOT_FOUND, 53, 2002},
    {FILE_ERROR_NOT_ENOUGH_MEMORY, 2, 2012},
    {FILE_ERROR_LOCK_VIOLATION, 78, 2009},
    {FILE_ERROR_FILE_EXISTS, 80, 2003},
    {FILE_ERROR_ALREADY_EXISTS, 80, 2003},
};
static const FileErrorRow kFileErrorOther = {0, 1, 2001};

static const FileErrorRow *FindErrorRow(uint32_t err)
{
    for (unsigned i = 0; i < sizeof kFileErrors / sizeof kFileErrors[0]; i++)
        if (kFileErrors[i].code == err)
            return &kFileErrors[i];
    return &kFileErrorOther;
}

uint32_t FileErrorToResult(uint32_t err)
{
    return FindErrorRow(err)->result;
}

uint32_t FileErrorToStatus(uint32_t err)
{
    return FindErrorRow(err)->status;
}

void DiskRootOfPath(const char *path, char *root, uint32_t rootSize)
{
    uint32_t n = 0;
    if (rootSize == 0)
        return;
    /* Bounded copy: the path may be longer than the root buffer. */
    while (path[n] && n + 1 < rootSize) {
        root[n] = path[n];
        n++;
    }
    root[n] = 0;
    if (!(root[0] == '\\' && root[1] == '\\')) {
        for (uint32_t i = 0; i < n; i++)
            if (root[i] == '\\') {
                root[i + 1] = 0;
                break;
            }
    } else if (root[n - 1] != '\\' && n < 259 && n + 2 <= rootSize) {
        root[n] = '\\';
        root[n + 1] = 0;
    }
}

FileU64 DiskBytesFromClusters(uint32_t sectorsPerCluster, uint32_t bytesPerSector,
                              uint32_t freeClusters)
{
    uint32_t bytesPerCluster = sectorsPerCluster * bytesPerSector;   /* mod 2^32 */
    uint64_t total = (uint64_t)bytesPerCluster * freeClusters;
    FileU64 r;
    r.low = (uint32_t)total;
    r.high = (uint32_t)(total >> 32);
    return r;
}

/* Built from the layer's own operations, so the same on every platform: the
 * result is the close's; a failed size query shows only as size 0. */
uint16_t FileSizeByName(const char *path, uint32_t *size, uint32_t *err)
{
    FileHandle h;
    *size = 0;
    if (!FileOpen(path, FILE_READ, &h, err))
        return 0;
    FileGetSize(h, size, NULL);
    return FileClose(h, err);
}
