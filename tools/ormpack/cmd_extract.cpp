/*
 * ormpack extract: writes the plain configuration text of a packaged
 * shell's container, exactly the bytes the shell hands to its parser.
 */
#include "container.h"
#include "ormpack.h"
#include "shellfile.h"

int OpExtract(int argc, char **argv)
{
    const char *output = NULL;
    const OpOption options[] = {
        {"--output", "-o", OP_OPT_VALUE, NULL, &output},
    };
    const char *path;
    size_t positionalCount;
    std::vector<uint8_t> bytes;
    OpContainer container;
    int result;

    result = OpParseArgs(argc, argv, options, sizeof options / sizeof options[0], &path, 1, 1,
                         &positionalCount);
    if (result != OP_EXIT_OK)
        return result;
    if (!output)
        return OpUsageError("missing -o OUT.ini");
    if (OpSameFile(path, output))
        return OpFail("output '%s' is the input", output);
    if (!OpReadInput(path, &bytes, &container))
        return OP_EXIT_FAILED;
    if (!container.present) {
        /* The reader starts from the end; the start of a container damaged
         * at its tail is still where ormpack put it, after the image. */
        PeImage pe;
        uint32_t start;
        if (PeParseHeaders(bytes.data(), (uint32_t)bytes.size(), (uint32_t)bytes.size(), &pe) == PE_OK &&
            OpFindContainerStart(bytes, OpImageEnd(&pe), &start))
            return OpFail("the configuration container of '%s' is damaged (it starts at file offset %u; "
                          "its copy at the end is missing or broken)", path, start);
        return OpFail("'%s' carries no configuration container", path);
    }
    if (!container.intact)
        return OpFail("the configuration container of '%s' is damaged (%s)", path,
                      OpEmbedStatusName(container.report.status));
    return OpWriteFileAtomic(output, (const uint8_t *)container.body.data(), container.body.size(), 0)
               ? OP_EXIT_OK
               : OP_EXIT_FAILED;
}
