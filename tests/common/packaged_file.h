/*
 * A packaged program file for the tests of the container's readers: a few
 * program bytes followed by a container of the given configuration text, as
 * ormpack appends it (without ormpack and without a real program).
 */
#ifndef ORM_PACKAGED_FILE_H
#define ORM_PACKAGED_FILE_H

#include <stdint.h>

#include <string>
#include <vector>

#include "embed.h"

/* "MZ" program bytes and the container of `text`, stored under `name`. */
inline std::string PackagedFileBytes(const std::string &text, const char *name = "vendor.ini")
{
    std::string file = "MZ not really a program, only its bytes";
    std::vector<uint8_t> container(EMBED_CONTAINER_SIZE(text.size()));
    if (!EmbedBuildContainer((const uint8_t *)text.data(), (uint32_t)text.size(),
                             (uint32_t)file.size(), name, 0x2468ACE0u, container.data()))
        return std::string();
    return file + std::string(container.begin(), container.end());
}

#endif
