/*
 * Test helper: plants a container inside the certificate table of a signed
 * program file, as anyone can after signing without breaking the signature
 * (container_sign.sh then checks that the signature still verifies).
 * Usage: plant_container IN.EXE OUT.EXE TEXT_FILE
 */
#include <stdio.h>

#include <string>
#include <vector>

#include "synthetic_pe.h"

int main(int argc, char **argv)
{
    if (argc != 4) {
        fprintf(stderr, "usage: plant_container IN.EXE OUT.EXE TEXT_FILE\n");
        return 2;
    }
    std::vector<uint8_t> file = synth::ReadFile(argv[1]), text = synth::ReadFile(argv[3]);
    if (file.empty() || !synth::PlantInCertificateTable(file, std::string(text.begin(), text.end()))) {
        fprintf(stderr, "plant_container: '%s' is no signed program file\n", argv[1]);
        return 1;
    }
    if (!synth::WriteFile(argv[2], file)) {
        fprintf(stderr, "plant_container: cannot write '%s'\n", argv[2]);
        return 1;
    }
    return 0;
}
