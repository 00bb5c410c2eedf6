/*
 * Settings record: the checksum's worked examples and every way a stored
 * record is valid or invalid, as a table of mutations of a built record.
 */
#include <gtest/gtest.h>

#include <string.h>

#include "settings_record.h"

namespace {

TEST(SettingsChecksum, WorkedExamples)
{
    EXPECT_EQ(ProductSettingsChecksum((const uint8_t *)"abc", 3), 1266u);
    EXPECT_EQ(ProductSettingsChecksum((const uint8_t *)"abcdefg", 7), 0x967B6561u);
    EXPECT_EQ(ProductSettingsChecksum((const uint8_t *)"", 0), 0u);
}

TEST(SettingsChecksum, WrapsModulo32Bits)
{
    const uint8_t ones[8] = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
    /* s = 0xFFFFFFFF, then 3 * 0xFFFFFFFF + 0xFFFFFFFF = 4 * 0xFFFFFFFF mod 2^32. */
    EXPECT_EQ(ProductSettingsChecksum(ones, 8), 0xFFFFFFFCu);
}

/* A stored record built from known fields. */
ProductSettings BuiltRecord()
{
    ProductSettingsFields f;
    memset(&f, 0, sizeof f);
    f.flags = PSF_WAIT_FOR_PRODUCT | PSF_CONFIG_REQUIRED;
    f.programPath = "$WINDIR\\NOTEPAD.EXE";
    f.osExclusionMask = OS_KIND_WIN95;
    f.storageParam = 0xCAFEF00D;
    ProductSettings r;
    EXPECT_EQ(PsBuild(&r, &f), 0);
    return r;
}

/* Re-stores a record with a shorter checksummed body: the plain body's first
 * `length` bytes are checksummed and protected, as a packer would write it. */
ProductSettings RecordWithBodyLength(uint16_t length, int checksumDelta)
{
    ProductSettings r = BuiltRecord();
    uint32_t param = PsGet32(&r, PS_OFF_STORAGE_PARAM);
    PsProtectBody(r.bytes + PS_OFF_BODY, PS_BODY_SIZE, param);   /* back to plain */
    PsPut16(&r, PS_OFF_BODY_LENGTH, length);
    PsPut32(&r, PS_OFF_CHECKSUM,
            ProductSettingsChecksum(r.bytes + PS_OFF_BODY, length) + (uint32_t)checksumDelta);
    PsProtectBody(r.bytes + PS_OFF_BODY, length, param);
    return r;
}

struct RecordCase {
    const char *name;
    void (*mutate)(ProductSettings *r);
    int valid;
};

const RecordCase kRecordCases[] = {
    {"as built", [](ProductSettings *) {}, 1},
    {"first magic byte", [](ProductSettings *r) { r->bytes[0] ^= 1; }, 0},
    {"last magic byte", [](ProductSettings *r) { r->bytes[7] ^= 0x80; }, 0},
    {"version 12", [](ProductSettings *r) { PsPut16(r, PS_OFF_VERSION, 12); }, 0},
    {"version bytes 00 0D (3328)",
     [](ProductSettings *r) { r->bytes[8] = 0x00; r->bytes[9] = 0x0D; }, 0},
    {"checksum off by one",
     [](ProductSettings *r) { PsPut32(r, PS_OFF_CHECKSUM, PsGet32(r, PS_OFF_CHECKSUM) + 1); }, 0},
    {"stored body byte", [](ProductSettings *r) { r->bytes[PS_OFF_PROGRAM_PATH + 3] ^= 0x20; }, 0},
    {"last stored body byte", [](ProductSettings *r) { r->bytes[PS_RECORD_SIZE - 1] ^= 1; }, 0},
    {"storage parameter",
     [](ProductSettings *r) { PsPut32(r, PS_OFF_STORAGE_PARAM, PsGet32(r, PS_OFF_STORAGE_PARAM) ^ 1); },
     0},
    {"body length 0, checksum 0",
     [](ProductSettings *r) { PsPut16(r, PS_OFF_BODY_LENGTH, 0); PsPut32(r, PS_OFF_CHECKSUM, 0); }, 1},
    {"body length 0, checksum 1",
     [](ProductSettings *r) { PsPut16(r, PS_OFF_BODY_LENGTH, 0); PsPut32(r, PS_OFF_CHECKSUM, 1); }, 0},
    {"body length 7 (words then bytes)",
     [](ProductSettings *r) { *r = RecordWithBodyLength(7, 0); }, 1},
    {"body length 7, trailing byte changed",
     [](ProductSettings *r) { *r = RecordWithBodyLength(7, 0); r->bytes[PS_OFF_BODY + 6] ^= 1; }, 0},
    {"body length 7, checksum off",
     [](ProductSettings *r) { *r = RecordWithBodyLength(7, 1); }, 0},
    {"body length 7, byte past the length changed",
     [](ProductSettings *r) { *r = RecordWithBodyLength(7, 0); r->bytes[PS_OFF_BODY + 7] ^= 1; }, 1},
    {"body length 3657 (past the record)",
     [](ProductSettings *r) { PsPut16(r, PS_OFF_BODY_LENGTH, PS_BODY_SIZE + 1); }, 0},
    {"body length 65535",
     [](ProductSettings *r) { PsPut16(r, PS_OFF_BODY_LENGTH, 0xFFFF); }, 0},
};

TEST(SettingsRecord, ValidityTable)
{
    for (const RecordCase &c : kRecordCases) {
        ProductSettings r = BuiltRecord();
        c.mutate(&r);
        EXPECT_EQ(PsValidateInPlace(&r), c.valid) << c.name;
    }
}

TEST(SettingsRecord, ValidationRestoresThePlainFields)
{
    ProductSettings r = BuiltRecord();
    /* Stored form hides the path. */
    EXPECT_EQ(memmem(r.bytes, sizeof r.bytes, "NOTEPAD", 7), nullptr);
    ASSERT_EQ(PsValidateInPlace(&r), 1);
    EXPECT_EQ(PsGet32(&r, PS_OFF_FLAGS), PSF_WAIT_FOR_PRODUCT | PSF_CONFIG_REQUIRED);
    EXPECT_STREQ((const char *)r.bytes + PS_OFF_PROGRAM_PATH, "$WINDIR\\NOTEPAD.EXE");
    EXPECT_EQ(PsGet32(&r, PS_OFF_OS_EXCLUSION), OS_KIND_WIN95);
}

TEST(SettingsRecord, BuildRefusesAPathOf80Characters)
{
    std::string path79(79, 'p'), path80(80, 'p');
    ProductSettingsFields f;
    memset(&f, 0, sizeof f);
    ProductSettings r;
    f.programPath = path79.c_str();
    ASSERT_EQ(PsBuild(&r, &f), 0);
    ASSERT_EQ(PsValidateInPlace(&r), 1);
    EXPECT_EQ(std::string((const char *)r.bytes + PS_OFF_PROGRAM_PATH), path79);
    f.programPath = path80.c_str();
    EXPECT_EQ(PsBuild(&r, &f), -1);
}

}  // namespace
