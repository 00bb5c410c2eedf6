/*
 * libFuzzer target for the container reader: arbitrary program files read
 * through the file layer (an in-memory file descriptor), from the end as the
 * shell reads them, from a start position, and with the signed-file
 * fallback. The first input byte picks how the file is made:
 *   0: the input is the file;
 *   1: a valid container for the rest of the input, after a prefix, then a
 *      few bytes flipped, so the fuzzer reaches the checksums and the parser;
 *   2: a synthetic PE image with a valid container and a certificate table,
 *      then bytes flipped, to reach the fallback's PE parsing.
 * Whatever the file, a body that comes back must be at most 65535 bytes and
 * zero-terminated, and nothing may leak.
 */
#include <stdint.h>
#include <stdlib.h>
#include <string.h>
#include <sys/mman.h>
#include <unistd.h>

#include <vector>

#include "embed.h"
#include "synthetic_pe.h"

namespace {

using Bytes = std::vector<uint8_t>;

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

/* Flips bytes of `file` at offsets and masks taken from `edits`. */
void Flip(Bytes &file, const uint8_t *edits, size_t count)
{
    for (size_t i = 0; i + 3 <= count && !file.empty(); i += 3) {
        size_t at = ((size_t)edits[i] | (size_t)edits[i + 1] << 8) % file.size();
        file[at] ^= edits[i + 2];
    }
}

Bytes MakeFile(const uint8_t *data, size_t size)
{
    if (size == 0 || data[0] == 0 || data[0] > 2 || size < 8)
        return Bytes(data, data + size);
    size_t editBytes = (data[1] % 5) * 3;          /* up to 4 flips */
    uint32_t prefix = data[2];
    if (8 + editBytes > size)
        editBytes = 0;
    const uint8_t *edits = data + 8, *body = data + 8 + editBytes;
    size_t bodyLength = size - 8 - editBytes;
    if (bodyLength > EMBED_MAX_BODY)
        bodyLength = EMBED_MAX_BODY;
    Bytes file = data[0] == 2 ? synth::MakePe() : Bytes(prefix, 0x5A);
    if (data[0] == 2)
        while ((file.size() + EMBED_CONTAINER_SIZE(bodyLength)) % 8)
            file.push_back(0);
    size_t position = file.size();
    file.resize(position + EMBED_CONTAINER_SIZE(bodyLength));
    EmbedBuildContainer(body, (uint32_t)bodyLength, (uint32_t)position, "fuzz.ini",
                        (uint32_t)data[3] | (uint32_t)data[4] << 8, &file[position]);
    if (data[0] == 2)
        synth::AppendCertificateTable(file, 8 + data[5]);
    Flip(file, edits, editBytes);
    return file;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static int fd = memfd_create("orm-embed-fuzz", 0);
    if (fd < 0)
        abort();
    Bytes file = MakeFile(data, size);
    if (ftruncate(fd, 0) != 0 ||
        (!file.empty() && pwrite(fd, file.data(), file.size(), 0) != (ssize_t)file.size()))
        abort();

    uint32_t length = 0, size32 = (uint32_t)file.size();
    char *body = EmbedReadAppended((FileHandle)fd, size32, &length, NULL);
    Check(body, length);
    EmbedFreeBlock(body);

    /* From a start position inside (or just past) the file, with an override. */
    if (size >= 8) {
        uint32_t position = ((uint32_t)data[size - 1] | (uint32_t)data[size - 2] << 8) % (size32 + 2);
        uint32_t override = data[size - 3] & 1 ? (uint32_t)data[size - 4] * 0x01010101u : 0;
        body = EmbedReadBlock((FileHandle)fd, position, &length, override, 0);
        Check(body, length);
        EmbedFreeBlock(body);
    }
    return 0;
}
