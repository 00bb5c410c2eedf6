/*
 * ormpack: the configuration container as the shell sees it. Reading goes
 * through EmbedReadAppended, on a handle onto the very bytes read as the
 * input, so inspect and extract report exactly what the shell will find in
 * them; text is checked with IniOpenText, the parser the shell runs on the
 * body.
 */
#include "container.h"
#include "ormpack.h"

#include <errno.h>
#include <string.h>

#include <vector>

typedef struct StatusName {
    EmbedStatus status;
    const char *name;
} StatusName;

static const StatusName kStatusNames[] = {
    {EMBED_OK, "ok"},
    {EMBED_NO_HEADER, "no-header"},
    {EMBED_BAD_HEADER, "bad-header"},
    {EMBED_BAD_RANGE, "length-out-of-range"},
    {EMBED_NO_SECOND_COPY, "second-copy-missing"},
    {EMBED_COPIES_DIFFER, "copies-differ"},
    {EMBED_NO_MEMORY, "no-memory"},
    {EMBED_SHORT_BODY, "body-cut-short"},
    {EMBED_STORED_CRC, "stored-crc-mismatch"},
    {EMBED_PLAIN_CRC, "plain-crc-mismatch"},
};

const char *OpEmbedStatusName(EmbedStatus status)
{
    for (const StatusName &s : kStatusNames)
        if (s.status == status)
            return s.name;
    return "unknown";
}

/* Reads the container through `file`, a handle onto a file of `size` bytes. */
static void ReadContainer(FileHandle file, uint32_t size, OpContainer *container)
{
    uint32_t length = 0;
    char *body;

    container->present = 0;
    container->intact = 0;
    container->body.clear();
    container->inTable = 0;
    memset(&container->report, 0, sizeof container->report);
    memset(&container->tableReport, 0, sizeof container->tableReport);
    body = EmbedReadAppended(file, size, &length, &container->report);
    container->present = container->report.status != EMBED_NO_HEADER &&
                         container->report.status != EMBED_BAD_HEADER;
    if (container->report.tableSize) {
        /* What the shell ignores: a container at the very end, inside the table. */
        char *planted = EmbedReadBlockReport(file, size, NULL, 0, 1, &container->tableReport);
        EmbedFreeBlock(planted);
        container->inTable = container->tableReport.status != EMBED_NO_HEADER &&
                             container->tableReport.status != EMBED_BAD_HEADER;
    }
    if (body) {
        container->intact = 1;
        container->body.assign(body, length);
        EmbedFreeBlock(body);
    }
}

int OpReadInput(const char *path, std::vector<uint8_t> *bytes, OpContainer *container)
{
    FileHandle handle;
    FILE *file = OpOpenInput(path);
    int error;

    bytes->clear();
    if (!file)
        return OpFail("cannot open '%s': %s", path, strerror(errno)), 0;
    if (!OpReadStream(file, path, bytes)) {
        fclose(file);
        return 0;
    }
    error = OpBytesHandle(file, *bytes, &handle);
    if (error) {
        fclose(file);
        return OpFail("cannot read the container of '%s': %s", path, strerror(error)), 0;
    }
    ReadContainer(handle, (uint32_t)bytes->size(), container);
    OpReleaseBytesHandle(handle);
    fclose(file);
    return 1;
}

int OpFindContainerStart(const std::vector<uint8_t> &bytes, uint32_t imageEnd, uint32_t *start)
{
    uint64_t p;

    for (p = imageEnd; p <= (uint64_t)imageEnd + 7 && p + EMBED_PROTECTED_FROM <= bytes.size(); p++) {
        if (memcmp(&bytes[p], EMBED_MAGIC, sizeof EMBED_MAGIC) == 0 &&
            bytes[p + EMBED_OFF_VERSION] == EMBED_VERSION && bytes[p + EMBED_OFF_VERSION + 1] == 0) {
            *start = (uint32_t)p;
            return 1;
        }
        if (bytes[p] != 0)
            break;
    }
    return 0;
}

static uint32_t Parse(const char *text, uint32_t length)
{
    IniFile *ini = NULL;
    uint32_t result = IniOpenText(&ini, text, length);
    if (ini)
        IniClose(ini);
    return result;
}

/* Offsets just past each line's end (the last line may lack one). */
static std::vector<uint32_t> LineEnds(const char *text, uint32_t length)
{
    std::vector<uint32_t> ends;
    uint32_t i = 0;

    while (i < length) {
        while (i < length && text[i] != '\n' && text[i] != '\r')
            i++;
        if (i < length && text[i] == '\r')
            i++;
        if (i < length && text[i] == '\n')
            i++;
        ends.push_back(i);
    }
    return ends;
}

uint32_t OpFirstMalformedLine(const char *text, uint32_t length, uint32_t *result)
{
    std::vector<uint32_t> ends;
    size_t low, high;

    *result = Parse(text, length);
    if (*result != INI_ERR_SYNTAX)
        return 0;
    /* The parser handles lines in order and stops at the first it refuses,
     * so a prefix of whole lines fails exactly when it holds that line:
     * search for the shortest failing prefix. */
    ends = LineEnds(text, length);
    if (ends.empty())
        return 1;
    low = 0;
    high = ends.size() - 1;   /* the whole text fails */
    while (low < high) {
        size_t middle = low + (high - low) / 2;
        if (Parse(text, ends[middle]) == INI_ERR_SYNTAX)
            high = middle;
        else
            low = middle + 1;
    }
    return (uint32_t)low + 1;
}

uint32_t OpFirstUnreadableLine(const char *text, uint32_t length, OpLineFault *fault,
                               uint32_t *column)
{
    std::vector<uint32_t> ends = LineEnds(text, length);
    uint32_t start = 0;

    *fault = OP_LINE_OK;
    *column = 0;
    for (size_t i = 0; i < ends.size(); i++) {
        uint32_t end = ends[i];
        while (end > start && (text[end - 1] == '\n' || text[end - 1] == '\r'))
            end--;
        const char *nul = (const char *)memchr(text + start, 0, end - start);
        if (nul) {
            *fault = OP_LINE_NUL;
            *column = (uint32_t)(nul - (text + start)) + 1;
            return (uint32_t)i + 1;
        }
        if (end - start > INI_LINE_MAX) {
            *fault = OP_LINE_TOO_LONG;
            *column = end - start;
            return (uint32_t)i + 1;
        }
        start = ends[i];
    }
    return 0;
}

std::string OpLineText(const char *text, uint32_t length, uint32_t number)
{
    std::vector<uint32_t> ends = LineEnds(text, length);
    uint32_t start, end;

    if (number == 0 || number > ends.size())
        return std::string();
    start = number > 1 ? ends[number - 2] : 0;
    end = ends[number - 1];
    while (end > start && (text[end - 1] == '\n' || text[end - 1] == '\r'))
        end--;
    return std::string(text + start, end - start);
}
