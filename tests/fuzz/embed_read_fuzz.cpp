/*
 * libFuzzer target for the container reader: arbitrary program files read
 * through the file layer (an in-memory file descriptor), from the end as the
 * shell reads them, and from a start position. The first input byte picks
 * how the file is made:
 *   0: the input is the file;
 *   1: a valid container for a text taken from the input, after a prefix;
 *   2: a synthetic PE image with a valid container and a certificate table
 *      after it (a signed shell), to reach the PE parsing;
 *   3: as 2, with a second container of another text planted inside the
 *      certificate table after signing, as anyone can without breaking the
 *      signature;
 * then (1 to 3) up to four bytes flipped (24-bit offset and mask each), so
 * the fuzzer reaches the checksums, the PE headers and the parser. Bodies
 * reach the 65,535 bytes the format allows (seeds of that size are in the
 * corpus). Whatever the file, a body that comes back must be at most 65535
 * bytes and zero-terminated, and nothing may leak. For a file built from a
 * known text, a body read as the shell reads it must be exactly that text:
 * a damaged or planted container is never taken for it (the planted one
 * only when flips in the headers left the file unsigned, and so an
 * ordinary appended container); and with no byte changed it must come back.
 */
#include <stdint.h>
#include <stdlib.h>
#include <string.h>
#include <sys/mman.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "embed.h"
#include "synthetic_pe.h"

namespace {

using Bytes = std::vector<uint8_t>;

/* A file made from the input, and what it was made from. */
struct Made {
    Bytes file;
    bool built;           /* made from a known text (modes 1 to 3) */
    bool unchanged;       /* no byte was changed after it was made */
    std::string text;     /* the container's text */
    std::string planted;  /* mode 3: the text planted in the certificate table */
    bool plantedCounts;   /* mode 3 and no longer signed: the plant ends an unsigned file */
};

void Check(const char *body, uint32_t length)
{
    if (!body)
        return;
    if (length > EMBED_MAX_BODY || body[length] != 0)
        abort();
    IniFile *ini = NULL;
    IniOpenText(&ini, body, length);
    if (ini)
        IniClose(ini);
}

bool Is(const char *body, uint32_t length, const std::string &text)
{
    return length == text.size() && memcmp(body, text.data(), length) == 0;
}

/* Flips bytes of `file`: each edit is a 24-bit offset and a mask. */
void Flip(Bytes &file, const uint8_t *edits, size_t count)
{
    for (size_t i = 0; i + 4 <= count && !file.empty(); i += 4) {
        size_t at = ((size_t)edits[i] | (size_t)edits[i + 1] << 8 | (size_t)edits[i + 2] << 16) % file.size();
        file[at] ^= edits[i + 3];
    }
}

/* Whether the file is signed as the reader sees it: the certificate table
 * named in its headers ends the file. A flip elsewhere in those headers
 * (which the signature does not cover either) can make it unsigned, and
 * an unsigned file is read at its end, where the planted container lies. */
bool TableEndsFile(const Bytes &file)
{
    PeImage image;
    uint32_t offset, size, head = file.size() < PE_HEAD_READ_SIZE ? (uint32_t)file.size() : PE_HEAD_READ_SIZE;
    return PeParseHeaders(file.data(), head, (uint32_t)file.size(), &image) == PE_OK &&
           PeGetCertificateTable(&image, &offset, &size) && (uint64_t)offset + size == file.size();
}

Made MakeFile(const uint8_t *data, size_t size)
{
    Made made;
    made.built = false;
    made.unchanged = true;
    made.plantedCounts = false;
    if (size < 8 || data[0] == 0 || data[0] > 3) {
        made.file.assign(data, data + size);
        return made;
    }
    int mode = data[0];
    size_t editBytes = (data[1] % 5) * 4;          /* up to 4 flips */
    uint32_t prefix = data[2];
    if (8 + editBytes > size)
        editBytes = 0;
    const uint8_t *edits = data + 8, *body = data + 8 + editBytes;
    size_t bodyLength = size - 8 - editBytes;
    if (bodyLength > EMBED_MAX_BODY)
        bodyLength = EMBED_MAX_BODY;
    made.text.assign((const char *)body, bodyLength);

    Bytes &file = made.file;
    file = mode >= 2 ? synth::MakePe() : Bytes(prefix, 0x5A);
    if (mode >= 2)
        while ((file.size() + EMBED_CONTAINER_SIZE(bodyLength)) % 8)
            file.push_back(0);
    size_t position = file.size();
    file.resize(position + EMBED_CONTAINER_SIZE(bodyLength));
    EmbedBuildContainer(body, (uint32_t)bodyLength, (uint32_t)position, "fuzz.ini",
                        (uint32_t)data[3] | (uint32_t)data[4] << 8, &file[position]);
    if (mode >= 2)
        synth::AppendCertificateTable(file, 8 + data[5]);
    if (mode == 3) {
        made.planted = "[Planted]\n" + made.text.substr(0, EMBED_MAX_BODY - 10);
        if (!synth::PlantInCertificateTable(file, made.planted))
            abort();
    }
    made.built = true;
    Bytes before = file;
    Flip(file, edits, editBytes);
    made.unchanged = file == before;
    made.plantedCounts = mode == 3 && !TableEndsFile(file);
    return made;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static int fd = memfd_create("orm-embed-fuzz", 0);
    if (fd < 0)
        abort();
    Made made = MakeFile(data, size);
    const Bytes &file = made.file;
    if (ftruncate(fd, 0) != 0 ||
        (!file.empty() && pwrite(fd, file.data(), file.size(), 0) != (ssize_t)file.size()))
        abort();

    uint32_t length = 0, size32 = (uint32_t)file.size();
    char *body = EmbedReadAppended((FileHandle)fd, size32, &length, NULL);
    Check(body, length);
    if (made.built && (body ? !Is(body, length, made.text) &&
                                  !(made.plantedCounts && Is(body, length, made.planted))
                            : made.unchanged))
        abort();
    EmbedFreeBlock(body);

    /* From a start position inside (or just past) the file, with an
     * override: only one of the containers built can come back. */
    if (size >= 8) {
        uint32_t position = ((uint32_t)data[size - 1] | (uint32_t)data[size - 2] << 8) % (size32 + 2);
        uint32_t override = data[size - 3] & 1 ? (uint32_t)data[size - 4] * 0x01010101u : 0;
        body = EmbedReadBlock((FileHandle)fd, position, &length, override, 0);
        Check(body, length);
        if (made.built && body && !Is(body, length, made.text) && !Is(body, length, made.planted))
            abort();
        EmbedFreeBlock(body);
    }
    return 0;
}
