/*
 * PE header parsing: a well-formed synthetic image, then a table of damaged
 * ones (each offset pointing outside the bytes, wrapping, or truncated),
 * parsed from heap buffers of exactly their size so that AddressSanitizer
 * catches any read past them; and the image checksum on small worked cases.
 */
#include <gtest/gtest.h>

#include "pe_image.h"
#include "synthetic_pe.h"

namespace {

using synth::Put16;
using synth::Put32;

/* Parses a copy of the bytes in a buffer of exactly their size. */
int Parse(const std::vector<uint8_t> &bytes, PeImage *image, std::vector<uint8_t> *keep)
{
    *keep = bytes;
    keep->shrink_to_fit();
    return PeParseHeaders(keep->empty() ? nullptr : keep->data(), (uint32_t)keep->size(),
                          (uint32_t)keep->size(), image);
}

TEST(PeImage, ParsesTheSyntheticImage)
{
    std::vector<uint8_t> keep;
    PeImage image;
    PeSection section;
    ASSERT_EQ(Parse(synth::MakePe(), &image, &keep), PE_OK);
    EXPECT_EQ(image.ntOffset, synth::kNtOffset);
    EXPECT_EQ(image.machine, 0x14C);
    EXPECT_EQ(image.sectionCount, 2);
    EXPECT_EQ(image.optionalMagic, 0x10B);
    EXPECT_EQ(image.checksumOffset, synth::kChecksumOffset);
    EXPECT_EQ(image.directoryCount, 16u);
    EXPECT_EQ(image.sectionTableOffset, synth::kSectionTable);
    ASSERT_EQ(PeFindSection(&image, ".ormset", &section), 1);
    EXPECT_EQ(section.rawOffset, synth::kRecordOffset);
    EXPECT_EQ(section.rawSize, 0x1000u);
    EXPECT_EQ(PeFindSection(&image, ".orms", &section), 0);
    uint32_t offset, size;
    EXPECT_EQ(PeGetCertificateTable(&image, &offset, &size), 0);
}

TEST(PeImage, FindsACertificateTableAtTheEnd)
{
    std::vector<uint8_t> bytes = synth::MakePe(), keep;
    synth::AppendCertificateTable(bytes, 80);
    PeImage image;
    ASSERT_EQ(Parse(bytes, &image, &keep), PE_OK);
    uint32_t offset, size;
    ASSERT_EQ(PeGetCertificateTable(&image, &offset, &size), 1);
    EXPECT_EQ(offset, synth::kFileSize);
    EXPECT_EQ(size, 80u);
}

struct DamageCase {
    const char *name;
    void (*damage)(std::vector<uint8_t> &b);
    int result;          /* of PeParseHeaders */
    int findsOrmset;     /* PeFindSection(".ormset") after a PE_OK parse */
    int certificate;     /* PeGetCertificateTable after a PE_OK parse */
};

const DamageCase kDamage[] = {
    {"empty file", [](std::vector<uint8_t> &b) { b.clear(); }, PE_ERR_DOS, 0, 0},
    {"63 bytes", [](std::vector<uint8_t> &b) { b.resize(63); }, PE_ERR_DOS, 0, 0},
    {"no MZ", [](std::vector<uint8_t> &b) { b[1] = 'X'; }, PE_ERR_DOS, 0, 0},
    {"DOS header only", [](std::vector<uint8_t> &b) { b.resize(64); }, PE_ERR_NT, 0, 0},
    {"e_lfanew past the end", [](std::vector<uint8_t> &b) { Put32(b, 0x3C, 0x2000); }, PE_ERR_NT, 0, 0},
    {"e_lfanew wraps", [](std::vector<uint8_t> &b) { Put32(b, 0x3C, 0xFFFFFFF0u); }, PE_ERR_NT, 0, 0},
    {"e_lfanew leaves no room for the file header",
     [](std::vector<uint8_t> &b) { Put32(b, 0x3C, (uint32_t)b.size() - 10); }, PE_ERR_NT, 0, 0},
    {"no PE signature", [](std::vector<uint8_t> &b) { b[synth::kNtOffset + 2] = 'X'; }, PE_ERR_NT, 0, 0},
    {"cut inside the file header", [](std::vector<uint8_t> &b) { b.resize(synth::kNtOffset + 20); },
     PE_ERR_NT, 0, 0},
    {"unknown optional header magic", [](std::vector<uint8_t> &b) { Put16(b, synth::kOptOffset, 0x107); },
     PE_ERR_OPTIONAL, 0, 0},
    {"optional header size 0", [](std::vector<uint8_t> &b) { Put16(b, synth::kNtOffset + 20, 0); },
     PE_ERR_OPTIONAL, 0, 0},
    {"optional header size ends before NumberOfRvaAndSizes",
     [](std::vector<uint8_t> &b) { Put16(b, synth::kNtOffset + 20, 95); }, PE_ERR_OPTIONAL, 0, 0},
    {"cut inside the optional header", [](std::vector<uint8_t> &b) { b.resize(synth::kOptOffset + 80); },
     PE_ERR_OPTIONAL, 0, 0},
    {"cut inside the data directory",
     [](std::vector<uint8_t> &b) { b.resize(synth::kDirOffset + 8 * 4 + 3); }, PE_OK, 0, 0},
    {"huge NumberOfRvaAndSizes", [](std::vector<uint8_t> &b) { Put32(b, synth::kOptOffset + 92, 0xFFFFFFFFu); },
     PE_OK, 1, 0},
    {"huge optional header size moves the section table out",
     [](std::vector<uint8_t> &b) { Put16(b, synth::kNtOffset + 20, 0xFFFF); }, PE_OK, 0, 0},
    {"65535 sections, table cut short",
     [](std::vector<uint8_t> &b) { Put16(b, synth::kNtOffset + 6, 0xFFFF); b.resize(synth::kSectionTable + 60); },
     PE_OK, 0, 0},
    {"section raw data past the end",
     [](std::vector<uint8_t> &b) { Put32(b, synth::kSectionTable + 40 + 16, 0x1001); }, PE_OK, 0, 0},
    {"section raw offset wraps",
     [](std::vector<uint8_t> &b) {
         Put32(b, synth::kSectionTable + 40 + 20, 0xFFFFFF00u);
         Put32(b, synth::kSectionTable + 40 + 16, 0x200);
     },
     PE_OK, 0, 0},
    {"certificate table past the end",
     [](std::vector<uint8_t> &b) { synth::SetCertificateTable(b, (uint32_t)b.size() - 8, 16); }, PE_OK, 1, 0},
    {"certificate table wraps",
     [](std::vector<uint8_t> &b) { synth::SetCertificateTable(b, 0xFFFFFFF8u, 0x10); }, PE_OK, 1, 0},
    {"certificate table of size 0",
     [](std::vector<uint8_t> &b) { synth::SetCertificateTable(b, 0x200, 0); }, PE_OK, 1, 0},
    {"certificate table inside the file",
     [](std::vector<uint8_t> &b) { synth::SetCertificateTable(b, 0x200, 0x100); }, PE_OK, 1, 1},
    {"only 4 data directory entries",
     [](std::vector<uint8_t> &b) {
         synth::SetCertificateTable(b, 0x200, 0x100);
         Put32(b, synth::kOptOffset + 92, 4);
     },
     PE_OK, 1, 0},
};

TEST(PeImage, DamagedHeaders)
{
    for (const DamageCase &c : kDamage) {
        std::vector<uint8_t> bytes = synth::MakePe(), keep;
        c.damage(bytes);
        PeImage image;
        int result = Parse(bytes, &image, &keep);
        EXPECT_EQ(result, c.result) << c.name;
        if (result != PE_OK)
            continue;
        PeSection section;
        EXPECT_EQ(PeFindSection(&image, ".ormset", &section), c.findsOrmset) << c.name;
        uint32_t offset, size;
        EXPECT_EQ(PeGetCertificateTable(&image, &offset, &size), c.certificate) << c.name;
        for (uint32_t i = 0; i < 70000; i += 997)   /* every index answers, none reads out of bounds */
            PeGetSection(&image, i, &section);
    }
}

/* A file cut short after its record (41 of 50 cut points tried on the real
 * shell gave a file Windows refuses to start), and headers that promise
 * more than the file holds. */
TEST(PeImage, ExtentsOfAFileCutShort)
{
    struct Case {
        const char *name;
        void (*edit)(std::vector<uint8_t> &b);
        int part;
        const char *section;
        uint64_t end;
    } cases[] = {
        {"complete", [](std::vector<uint8_t> &) {}, PE_EXTENT_OK, "", 0},
        {"last byte cut", [](std::vector<uint8_t> &b) { b.pop_back(); }, PE_EXTENT_SECTION, ".rsrc",
         synth::kTailSectionEnd},
        {"cut where the last section starts", [](std::vector<uint8_t> &b) { b.resize(synth::kFileSize); },
         PE_EXTENT_SECTION, ".rsrc", synth::kTailSectionEnd},
        {"cut inside the record's section", [](std::vector<uint8_t> &b) { b.resize(synth::kRecordOffset + 8); },
         PE_EXTENT_SECTION, ".ormset", synth::kFileSize},
        {"headers larger than the file",
         [](std::vector<uint8_t> &b) { Put32(b, synth::kOptOffset + 60, synth::kTailSectionEnd + 1); },
         PE_EXTENT_HEADERS, "", synth::kTailSectionEnd + 1},
        {"section table past the end",
         [](std::vector<uint8_t> &b) { Put16(b, synth::kNtOffset + 6, 0xFFFF); }, PE_EXTENT_SECTION_TABLE, "",
         synth::kSectionTable + 0xFFFFull * 40},
        {"section whose end wraps 32 bits",
         [](std::vector<uint8_t> &b) { Put32(b, synth::kSectionTable + 80 + 16, 0xFFFFF000u); },
         PE_EXTENT_SECTION, ".rsrc", synth::kFileSize + 0xFFFFF000ull},
        {"a section without raw data may point anywhere",
         [](std::vector<uint8_t> &b) {
             Put32(b, synth::kSectionTable + 80 + 16, 0);
             Put32(b, synth::kSectionTable + 80 + 20, 0xFFFFFFF0u);
         },
         PE_EXTENT_OK, "", 0},
    };
    for (const Case &c : cases) {
        std::vector<uint8_t> b = synth::MakePeWithTail(), keep;
        c.edit(b);
        PeImage image;
        ASSERT_EQ(Parse(b, &image, &keep), PE_OK) << c.name;
        PeExtentFault fault;
        EXPECT_EQ(PeCheckExtents(&image, &fault), c.part) << c.name;
        EXPECT_EQ(fault.part, c.part) << c.name;
        EXPECT_STREQ(fault.name, c.section) << c.name;
        EXPECT_EQ(fault.end, c.end) << c.name;
    }
}

TEST(PeImage, HeadShorterThanTheFile)
{
    /* The reader parses only the first bytes of a file; ranges are still
     * checked against the whole file's size. */
    std::vector<uint8_t> bytes = synth::MakePe();
    synth::AppendCertificateTable(bytes, 64);
    std::vector<uint8_t> head(bytes.begin(), bytes.begin() + PE_HEAD_READ_SIZE);
    PeImage image;
    ASSERT_EQ(PeParseHeaders(head.data(), (uint32_t)head.size(), (uint32_t)bytes.size(), &image), PE_OK);
    uint32_t offset, size;
    ASSERT_EQ(PeGetCertificateTable(&image, &offset, &size), 1);
    EXPECT_EQ(offset + size, bytes.size());
    /* A head longer than the file is cut to the file. */
    ASSERT_EQ(PeParseHeaders(head.data(), (uint32_t)head.size(), 100, &image), PE_ERR_NT);
}

struct ChecksumCase {
    std::vector<uint8_t> bytes;
    uint32_t checksumOffset;
    uint32_t expected;
};

TEST(PeImage, ChecksumWorkedCases)
{
    const ChecksumCase cases[] = {
        {{0x01, 0x00, 0x02, 0x00, 0x03}, 100, 1 + 2 + 3 + 5},          /* odd byte is a low byte */
        {{0x01, 0x00, 0x02, 0x00, 0x03}, 0, 3 + 5},                    /* field bytes 0..3 read as 0 */
        {{0xFF, 0xFF, 0x02, 0x00}, 100, 0x0002 + 4},                   /* carry folds back: 0x10001 -> 2 */
        {{0x34, 0x12, 0xAA, 0xBB, 0xCC, 0xDD, 0x78, 0x56}, 2, 0x1234 + 0x5678 + 8},
        /* odd field offset: bytes 1..4 read as 0; 0x0034 + 0xDD00 + 0x5678 = 0x133AC folds to 0x33AD */
        {{0x34, 0x12, 0xAA, 0xBB, 0xCC, 0xDD, 0x78, 0x56}, 1, 0x33AD + 8},
    };
    for (const ChecksumCase &c : cases)
        EXPECT_EQ(PeComputeChecksum(c.bytes.data(), (uint32_t)c.bytes.size(), c.checksumOffset), c.expected);
}

}  // namespace
