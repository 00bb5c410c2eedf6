/*
 * Appended configuration container: real files written to a temporary
 * folder and read back through the file layer, as the shell reads its own
 * program file. A table of damaged containers, each of which must give
 * none; the limits (empty and largest body, length reaching before the
 * file, files shorter than a header); a container in the middle of a file;
 * the signed-file fallback; and EmbedLoadIni end to end.
 */
#include <gtest/gtest.h>

#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "embed.h"
#include "ini_test_support.h"
#include "synthetic_pe.h"

namespace {

using Bytes = std::vector<uint8_t>;

const char kText[] = "[Product]\r\nName = \"Ormsted Test\"\r\nLevel=3 ; note\r\n";
const uint32_t kParam = 0x5EED1234;
const uint32_t kPrefix = 300;   /* bytes of "program image" before the container */

class EmbedTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/orm-embed-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir_ = pattern;
    }
    void TearDown() override
    {
        for (const std::string &f : files_)
            unlink(f.c_str());
        rmdir(dir_.c_str());
    }

    std::string Write(const Bytes &bytes)
    {
        std::string path = dir_ + "/f" + std::to_string(files_.size()) + ".exe";
        files_.push_back(path);
        EXPECT_TRUE(synth::WriteFile(path, bytes));
        return path;
    }

    /* Reads a file's container through the file layer. */
    char *Read(const Bytes &bytes, uint32_t position, uint16_t atEnd, uint32_t override,
               uint32_t *length, EmbedReadReport *report)
    {
        std::string path = Write(bytes);
        FileHandle file;
        uint32_t err = 0;
        if (!FileOpen(path.c_str(), FILE_READ, &file, &err)) {
            ADD_FAILURE() << "cannot open " << path;
            return nullptr;
        }
        char *body = EmbedReadBlockReport(file, position, length, override, atEnd, report);
        FileClose(file, &err);
        return body;
    }

    /* Reads from the end of the file; returns the status and the body text. */
    EmbedStatus ReadAtEnd(const Bytes &bytes, std::string *text = nullptr, uint32_t override = 0)
    {
        EmbedReadReport report;
        uint32_t length = 12345;
        char *body = Read(bytes, (uint32_t)bytes.size(), 1, override, &length, &report);
        EXPECT_EQ(body != nullptr, report.status == EMBED_OK);
        if (!body) {
            EXPECT_EQ(length, 0u) << "length must be 0 after a failure";
        }
        if (body && text)
            text->assign(body, length);
        EmbedFreeBlock(body);
        return report.status;
    }

    std::string dir_;
    std::vector<std::string> files_;
};

/* A container for `body` placed at the end of `prefix`. */
Bytes WithContainer(Bytes prefix, const std::string &body, uint32_t param = kParam,
                    const char *name = "product.ini")
{
    uint32_t position = (uint32_t)prefix.size();
    prefix.resize(position + EMBED_CONTAINER_SIZE(body.size()));
    EXPECT_EQ(EmbedBuildContainer((const uint8_t *)body.data(), (uint32_t)body.size(), position, name,
                                  param, &prefix[position]),
              1);
    return prefix;
}

Bytes Image(uint32_t size = kPrefix)
{
    Bytes b(size);
    for (uint32_t i = 0; i < size; i++)
        b[i] = (uint8_t)(i * 7 + 1);
    return b;
}

/* Re-stores one header copy after changing its plain form. */
void EditPlainCopy(Bytes &b, uint32_t copyOffset, void (*edit)(uint8_t *plain))
{
    EmbedProtectHeader(&b[copyOffset], copyOffset);
    edit(&b[copyOffset]);
    EmbedProtectHeader(&b[copyOffset], copyOffset);
}

TEST(EmbedFormat, Crc32CheckValue)
{
    EXPECT_EQ(EmbedCrc32((const uint8_t *)"123456789", 9), 0xCBF43926u);
    EXPECT_EQ(EmbedCrc32(nullptr, 0), 0u);
}

TEST(EmbedFormat, MaskedParameterRoundTrips)
{
    for (uint32_t p : {0u, 1u, 0x80000000u, 0xFFFFFFFFu, kParam}) {
        EXPECT_EQ(EmbedUnmaskParameter(EmbedMaskParameter(p)), p);
        EXPECT_NE(EmbedMaskParameter(p), p);
    }
}

TEST(EmbedFormat, StoredFormHidesTheTextAndTheCopiesDiffer)
{
    std::string text = kText;
    Bytes b = WithContainer(Image(), text);
    uint32_t second = (uint32_t)b.size() - EMBED_HEADER_SIZE;
    /* Magic and version plain in both copies. */
    const uint8_t plainStart[6] = {0x7F, 0xD6, 0xA2, 0x53, 0, 0};
    EXPECT_EQ(memcmp(&b[kPrefix], plainStart, 6), 0);
    EXPECT_EQ(memcmp(&b[second], plainStart, 6), 0);
    /* Bytes 6..71 differ between the copies; the body is not stored plain. */
    EXPECT_NE(memcmp(&b[kPrefix + 6], &b[second + 6], EMBED_HEADER_SIZE - 6), 0);
    EXPECT_EQ(memmem(b.data(), b.size(), "Ormsted", 7), nullptr);
    EXPECT_EQ(memmem(b.data(), b.size(), "product.ini", 11), nullptr);
    /* Decoded, the copies agree and describe the body. */
    EmbedProtectHeader(&b[kPrefix], kPrefix);
    EmbedProtectHeader(&b[second], second);
    EXPECT_EQ(memcmp(&b[kPrefix], &b[second], EMBED_HEADER_SIZE), 0);
    EmbedHeaderFields f;
    EmbedDecodeHeader(&b[second], &f);
    EXPECT_EQ(f.bodyOffset, kPrefix + EMBED_HEADER_SIZE);
    EXPECT_STREQ(f.name, "product.ini");
    EXPECT_EQ(f.length, text.size());
    EXPECT_EQ(EmbedUnmaskParameter(f.maskedParameter), kParam);
    EXPECT_EQ(f.crcPlain, EmbedCrc32((const uint8_t *)text.data(), (uint32_t)text.size()));
    for (int i = EMBED_OFF_ZERO; i < EMBED_HEADER_SIZE; i++)
        EXPECT_EQ(b[second + i], 0) << i;
}

TEST(EmbedFormat, BuildRefusesBodiesOver65535Bytes)
{
    Bytes body(EMBED_MAX_BODY + 1, 'x'), out(EMBED_CONTAINER_SIZE(EMBED_MAX_BODY + 1));
    EXPECT_EQ(EmbedBuildContainer(body.data(), (uint32_t)body.size(), 0, "x", 1, out.data()), 0);
    /* And containers that would end beyond 4 GiB. */
    EXPECT_EQ(EmbedBuildContainer(body.data(), 10, 0xFFFFFFFFu - 100, "x", 1, out.data()), 0);
}

TEST_F(EmbedTest, IntactContainerGivesThePlainBody)
{
    std::string text;
    Bytes b = WithContainer(Image(), kText);
    EmbedReadReport report;
    uint32_t length = 0;
    char *body = Read(b, (uint32_t)b.size(), 1, 0, &length, &report);
    ASSERT_NE(body, nullptr);
    EXPECT_EQ(std::string(body, length), kText);
    EXPECT_EQ(report.start, kPrefix);
    EXPECT_EQ(report.end, b.size());
    EXPECT_STREQ(report.header.name, "product.ini");
    EmbedFreeBlock(body);
    /* The length pointer may be absent. */
    body = Read(b, (uint32_t)b.size(), 1, 0, nullptr, nullptr);
    EXPECT_NE(body, nullptr);
    EmbedFreeBlock(body);
    EmbedFreeBlock(nullptr);
}

/* For damage whose status depends on what garbage decodes to. */
const int kAnyFailure = -1;

struct Damage {
    const char *name;
    void (*damage)(Bytes &b, uint32_t first, uint32_t second, uint32_t bodyOffset);
    int status;   /* an EmbedStatus, or kAnyFailure */
};

/* first, second: file offsets of the two copies; bodyOffset of the body. */
const Damage kDamage[] = {
    {"second copy magic", [](Bytes &b, uint32_t, uint32_t s, uint32_t) { b[s] ^= 1; }, EMBED_BAD_HEADER},
    {"second copy magic 'S'", [](Bytes &b, uint32_t, uint32_t s, uint32_t) { b[s + 3] = 's'; }, EMBED_BAD_HEADER},
    {"second copy version 1", [](Bytes &b, uint32_t, uint32_t s, uint32_t) { b[s + 4] = 1; }, EMBED_BAD_HEADER},
    {"second copy version 256", [](Bytes &b, uint32_t, uint32_t s, uint32_t) { b[s + 5] = 1; }, EMBED_BAD_HEADER},
    {"version 1 in both copies",
     [](Bytes &b, uint32_t f, uint32_t s, uint32_t) { b[f + 4] = 1; b[s + 4] = 1; }, EMBED_BAD_HEADER},
    {"first copy magic", [](Bytes &b, uint32_t f, uint32_t, uint32_t) { b[f + 1] ^= 0x40; }, EMBED_COPIES_DIFFER},
    {"first copy version", [](Bytes &b, uint32_t f, uint32_t, uint32_t) { b[f + 4] = 2; }, EMBED_COPIES_DIFFER},
    {"first copy body offset", [](Bytes &b, uint32_t f, uint32_t, uint32_t) { b[f + 6] ^= 1; }, EMBED_COPIES_DIFFER},
    {"first copy name", [](Bytes &b, uint32_t f, uint32_t, uint32_t) { b[f + 10] ^= 1; }, EMBED_COPIES_DIFFER},
    {"first copy last name byte", [](Bytes &b, uint32_t f, uint32_t, uint32_t) { b[f + 41] ^= 1; }, EMBED_COPIES_DIFFER},
    {"first copy length", [](Bytes &b, uint32_t f, uint32_t, uint32_t) { b[f + 42] ^= 1; }, EMBED_COPIES_DIFFER},
    {"first copy parameter", [](Bytes &b, uint32_t f, uint32_t, uint32_t) { b[f + 46] ^= 1; }, EMBED_COPIES_DIFFER},
    {"first copy plain CRC", [](Bytes &b, uint32_t f, uint32_t, uint32_t) { b[f + 48] ^= 1; }, EMBED_COPIES_DIFFER},
    {"first copy stored CRC", [](Bytes &b, uint32_t f, uint32_t, uint32_t) { b[f + 55] ^= 1; }, EMBED_COPIES_DIFFER},
    {"first copy zero area", [](Bytes &b, uint32_t f, uint32_t, uint32_t) { b[f + 71] ^= 1; }, EMBED_COPIES_DIFFER},
    {"second copy body offset", [](Bytes &b, uint32_t, uint32_t s, uint32_t) { b[s + 9] ^= 1; }, EMBED_COPIES_DIFFER},
    {"second copy name", [](Bytes &b, uint32_t, uint32_t s, uint32_t) { b[s + 20] ^= 1; }, EMBED_COPIES_DIFFER},
    {"second copy length, low byte", [](Bytes &b, uint32_t, uint32_t s, uint32_t) { b[s + 42] ^= 1; }, EMBED_COPIES_DIFFER},
    {"second copy length reaches before the file",
     [](Bytes &b, uint32_t, uint32_t s, uint32_t) { b[s + 43] ^= 0x80; }, EMBED_BAD_RANGE},
    {"second copy parameter", [](Bytes &b, uint32_t, uint32_t s, uint32_t) { b[s + 44] ^= 1; }, EMBED_COPIES_DIFFER},
    {"second copy plain CRC", [](Bytes &b, uint32_t, uint32_t s, uint32_t) { b[s + 51] ^= 1; }, EMBED_COPIES_DIFFER},
    {"second copy stored CRC", [](Bytes &b, uint32_t, uint32_t s, uint32_t) { b[s + 52] ^= 1; }, EMBED_COPIES_DIFFER},
    {"second copy zero area", [](Bytes &b, uint32_t, uint32_t s, uint32_t) { b[s + 60] ^= 1; }, EMBED_COPIES_DIFFER},
    {"stored body, first byte", [](Bytes &b, uint32_t, uint32_t, uint32_t o) { b[o] ^= 1; }, EMBED_STORED_CRC},
    {"stored body, last byte", [](Bytes &b, uint32_t, uint32_t s, uint32_t) { b[s - 1] ^= 0x80; }, EMBED_STORED_CRC},
    {"stored CRC changed in both copies",
     [](Bytes &b, uint32_t f, uint32_t s, uint32_t) {
         auto edit = [](uint8_t *h) { h[EMBED_OFF_CRC_STORED] ^= 1; };
         EditPlainCopy(b, f, edit);
         EditPlainCopy(b, s, edit);
     },
     EMBED_STORED_CRC},
    {"parameter changed in both copies: the body restores to wrong bytes",
     [](Bytes &b, uint32_t f, uint32_t s, uint32_t) {
         auto edit = [](uint8_t *h) { h[EMBED_OFF_PARAMETER] ^= 1; };
         EditPlainCopy(b, f, edit);
         EditPlainCopy(b, s, edit);
     },
     EMBED_PLAIN_CRC},
    {"plain CRC changed in both copies",
     [](Bytes &b, uint32_t f, uint32_t s, uint32_t) {
         auto edit = [](uint8_t *h) { h[EMBED_OFF_CRC_PLAIN + 3] ^= 0x10; };
         EditPlainCopy(b, f, edit);
         EditPlainCopy(b, s, edit);
     },
     EMBED_PLAIN_CRC},
    {"last byte cut off", [](Bytes &b, uint32_t, uint32_t, uint32_t) { b.pop_back(); }, EMBED_BAD_HEADER},
    {"a byte appended after the container", [](Bytes &b, uint32_t, uint32_t, uint32_t) { b.push_back(0); },
     EMBED_BAD_HEADER},
    {"whole container moved one byte earlier (copies decode by offset)",
     [](Bytes &b, uint32_t, uint32_t, uint32_t) { b.erase(b.begin()); }, kAnyFailure},
};

TEST_F(EmbedTest, DamagedContainersGiveNone)
{
    const std::string text = kText;
    for (const Damage &d : kDamage) {
        Bytes b = WithContainer(Image(), text);
        uint32_t first = kPrefix, bodyOffset = kPrefix + EMBED_HEADER_SIZE;
        uint32_t second = bodyOffset + (uint32_t)text.size();
        d.damage(b, first, second, bodyOffset);
        int status = ReadAtEnd(b);
        if (d.status == kAnyFailure)
            EXPECT_NE(status, EMBED_OK) << d.name;
        else
            EXPECT_EQ(status, d.status) << d.name;
    }
}

TEST_F(EmbedTest, OverrideParameter)
{
    Bytes b = WithContainer(Image(), kText);
    std::string text;
    EXPECT_EQ(ReadAtEnd(b, &text, EmbedMaskParameter(kParam)), EMBED_OK);
    EXPECT_EQ(text, kText);
    EXPECT_EQ(ReadAtEnd(b, nullptr, EmbedMaskParameter(kParam + 1)), EMBED_PLAIN_CRC);
    EXPECT_EQ(ReadAtEnd(b, nullptr, kParam), EMBED_PLAIN_CRC);   /* an unmasked value is wrong */
}

TEST_F(EmbedTest, EmptyBodyGivesAnEmptyBuffer)
{
    Bytes b = WithContainer(Image(), "");
    std::string text = "not touched";
    EXPECT_EQ(ReadAtEnd(b, &text), EMBED_OK);
    EXPECT_EQ(text, "");
    /* A container alone, starting at offset 0. */
    EXPECT_EQ(ReadAtEnd(WithContainer(Bytes(), "")), EMBED_OK);
    EXPECT_EQ(ReadAtEnd(WithContainer(Bytes(), "x")), EMBED_OK);
}

TEST_F(EmbedTest, LargestBody)
{
    std::string big(EMBED_MAX_BODY, 0);
    for (size_t i = 0; i < big.size(); i++)
        big[i] = (char)(i * 131 + (i >> 8));
    Bytes b = WithContainer(Image(), big);
    std::string text;
    EXPECT_EQ(ReadAtEnd(b, &text), EMBED_OK);
    EXPECT_EQ(text, big);
}

TEST_F(EmbedTest, ShortFilesAndFilesWithoutContainer)
{
    EXPECT_EQ(ReadAtEnd(Bytes()), EMBED_NO_HEADER);
    EXPECT_EQ(ReadAtEnd(Bytes(71, 0)), EMBED_NO_HEADER);
    EXPECT_EQ(ReadAtEnd(Bytes(72, 0)), EMBED_BAD_HEADER);
    EXPECT_EQ(ReadAtEnd(synth::MakePe()), EMBED_BAD_HEADER);
    /* The last 72 bytes of a container-less file happen to start with the magic. */
    Bytes fake = Image(200);
    memcpy(&fake[128], EMBED_MAGIC, 4);
    fake[132] = fake[133] = 0;
    EXPECT_NE(ReadAtEnd(fake), EMBED_OK);
}

TEST_F(EmbedTest, LengthReachingBeforeTheStartOfTheFile)
{
    /* A lone header copy at the end of a 100-byte file whose length asks for
     * 1000 body bytes before it. */
    Bytes b = Image(100 + EMBED_HEADER_SIZE);
    EmbedHeaderFields f;
    memset(&f, 0, sizeof f);
    f.length = 1000;
    EmbedEncodeHeader(&b[100], &f);
    EmbedProtectHeader(&b[100], 100);
    EXPECT_EQ(ReadAtEnd(b), EMBED_BAD_RANGE);
    /* Exactly reaching offset 0 is in range: the other copy is read there. */
    Bytes c = Image(1000 + 2 * EMBED_HEADER_SIZE);
    f.length = 1000;
    EmbedEncodeHeader(&c[1072], &f);
    EmbedProtectHeader(&c[1072], 1072);
    EXPECT_EQ(ReadAtEnd(c), EMBED_COPIES_DIFFER);
    /* Largest length from a position below it. */
    f.length = 0xFFFF;
    EmbedEncodeHeader(&c[1072], &f);
    EmbedProtectHeader(&c[1072], 1072);
    EXPECT_EQ(ReadAtEnd(c), EMBED_BAD_RANGE);
}

TEST_F(EmbedTest, ContainerInsideAFileIsFoundFromItsStart)
{
    Bytes b = WithContainer(Image(), kText);
    Bytes tail = Image(500);
    b.insert(b.end(), tail.begin(), tail.end());
    EmbedReadReport report;
    uint32_t length = 0;
    char *body = Read(b, kPrefix, 0, 0, &length, &report);
    ASSERT_NE(body, nullptr) << "status " << report.status;
    EXPECT_EQ(std::string(body, length), kText);
    EXPECT_EQ(report.start, kPrefix);
    EXPECT_EQ(report.end, kPrefix + EMBED_CONTAINER_SIZE(strlen(kText)));
    EmbedFreeBlock(body);
    /* From the file's end it is not there; one byte off its start neither. */
    EXPECT_EQ(ReadAtEnd(b), EMBED_BAD_HEADER);
    EXPECT_EQ(Read(b, kPrefix + 1, 0, 0, &length, &report), nullptr);
    EXPECT_EQ(Read(b, 0xFFFFFFF0u, 0, 0, &length, &report), nullptr);
    EXPECT_EQ(report.status, EMBED_NO_HEADER);
}

/* A synthetic signed program file: image, zero padding so that the
 * container ends on an 8-byte boundary (as ormpack writes it, so a signing
 * tool adds no padding of its own), container, certificate table. */
Bytes SignedWithContainer(const std::string &text)
{
    Bytes image = synth::MakePe();
    while ((image.size() + EMBED_CONTAINER_SIZE(text.size())) % 8)
        image.push_back(0);
    Bytes b = WithContainer(image, text);
    synth::AppendCertificateTable(b, 96);
    return b;
}

TEST_F(EmbedTest, SignedFileFindsTheContainerBeforeTheCertificateTable)
{
    std::string text = kText;
    Bytes b = SignedWithContainer(text);
    std::string path = Write(b);
    FileHandle file;
    uint32_t err, length = 0;
    ASSERT_TRUE(FileOpen(path.c_str(), FILE_READ, &file, &err));
    EmbedReadReport report;
    char *body = EmbedReadAppended(file, (uint32_t)b.size(), &length, &report);
    ASSERT_NE(body, nullptr) << "status " << report.status;
    EXPECT_EQ(std::string(body, length), text);
    EXPECT_EQ(report.end, b.size() - 96);
    EmbedFreeBlock(body);

    /* Plain EmbedReadBlock from the file's end does not look behind the table. */
    EXPECT_EQ(EmbedReadBlock(file, (uint32_t)b.size(), &length, 0, 1), nullptr);
    FileClose(file, &err);
}

TEST_F(EmbedTest, SignedFallbackNeedsTheTableAtTheEnd)
{
    std::string text = kText;
    struct Case {
        const char *name;
        void (*edit)(Bytes &b);
    } cases[] = {
        {"table does not reach the end", [](Bytes &b) { b.push_back(0); }},
        {"entry 4 cleared", [](Bytes &b) { synth::SetCertificateTable(b, 0, 0); }},
        {"table one byte shorter",
         [](Bytes &b) { synth::SetCertificateTable(b, (uint32_t)b.size() - 95, 95); }},
        {"not a PE image", [](Bytes &b) { b[0] = 'X'; }},
        {"padding between container and table",
         [](Bytes &b) {
             b.insert(b.end() - 96, 8, 0);
             synth::SetCertificateTable(b, (uint32_t)b.size() - 96, 96);
         }},
    };
    for (const Case &c : cases) {
        Bytes b = SignedWithContainer(text);
        c.edit(b);
        std::string path = Write(b);
        FileHandle file;
        uint32_t err, length = 7;
        ASSERT_TRUE(FileOpen(path.c_str(), FILE_READ, &file, &err));
        char *body = EmbedReadAppended(file, (uint32_t)b.size(), &length, nullptr);
        EXPECT_EQ(body, nullptr) << c.name;
        EXPECT_EQ(length, 0u) << c.name;
        EmbedFreeBlock(body);
        FileClose(file, &err);
    }
}

/* A second container placed inside the certificate table of a signed file
 * keeps the signature valid (the table is not hashed) and ends the file:
 * the reader must take the signed file's own container, before the table,
 * and nothing from inside it. */
TEST_F(EmbedTest, ContainerPlantedInTheCertificateTableIsIgnored)
{
    const std::string planted = "[Product]\r\nName = \"planted\"\r\n";
    Bytes b = SignedWithContainer(kText);
    uint32_t tableOffset = (uint32_t)b.size() - 96;
    ASSERT_TRUE(synth::PlantInCertificateTable(b, planted));
    std::string text;
    EmbedReadReport report;
    uint32_t length = 0;
    std::string path = Write(b);
    FileHandle file;
    uint32_t err;
    ASSERT_TRUE(FileOpen(path.c_str(), FILE_READ, &file, &err));
    char *body = EmbedReadAppended(file, (uint32_t)b.size(), &length, &report);
    ASSERT_NE(body, nullptr) << "status " << report.status;
    EXPECT_EQ(std::string(body, length), kText);
    EXPECT_EQ(report.end, tableOffset);
    EXPECT_EQ(report.tableOffset, tableOffset);
    EXPECT_EQ(report.tableSize, b.size() - tableOffset);
    EmbedFreeBlock(body);
    /* The planted container is intact: read from the file's end it is there. */
    body = EmbedReadBlock(file, (uint32_t)b.size(), &length, 0, 1);
    ASSERT_NE(body, nullptr);
    EXPECT_EQ(std::string(body, length), planted);
    EmbedFreeBlock(body);
    FileClose(file, &err);

    IniFile *ini = EmbedLoadIni(path.c_str());
    ASSERT_NE(ini, nullptr);
    EXPECT_STREQ(IniGetValue(ini, "Product", "Name", nullptr), "Ormsted Test");
    IniClose(ini);

    /* A signed file without a container of its own finds none at all. */
    Bytes bare = synth::MakePe();
    synth::AppendCertificateTable(bare, 96);
    ASSERT_TRUE(synth::PlantInCertificateTable(bare, planted));
    EXPECT_EQ(EmbedLoadIni(Write(bare).c_str()), nullptr);
    /* Unsigned, the same bytes are an ordinary appended container. */
    Bytes unsignedCopy = bare;
    synth::SetCertificateTable(unsignedCopy, 0, 0);
    ini = EmbedLoadIni(Write(unsignedCopy).c_str());
    ASSERT_NE(ini, nullptr);
    EXPECT_STREQ(IniGetValue(ini, "Product", "Name", nullptr), "planted");
    IniClose(ini);
}

TEST_F(EmbedTest, LoadIniParsesTheBody)
{
    IniFile *ini = EmbedLoadIni(Write(WithContainer(Image(), kText)).c_str());
    ASSERT_NE(ini, nullptr);
    ASSERT_NE(ini->firstSection, nullptr);
    EXPECT_STREQ(ini->firstSection->name, "Product");
    EXPECT_STREQ(IniGetValue(ini, "Product", "Name", nullptr), "Ormsted Test");
    EXPECT_STREQ(IniGetValue(ini, "Product", "Level", nullptr), "3");
    IniClose(ini);

    ini = EmbedLoadIni(Write(WithContainer(Image(), "")).c_str());
    ASSERT_NE(ini, nullptr) << "an empty body is configuration text with no sections";
    EXPECT_EQ(ini->firstSection, nullptr);
    IniClose(ini);

    ini = EmbedLoadIni(Write(SignedWithContainer(kText)).c_str());
    ASSERT_NE(ini, nullptr) << "signed file";
    EXPECT_STREQ(IniGetValue(ini, "Product", "Level", nullptr), "3");
    IniClose(ini);
}

TEST_F(EmbedTest, FailedAllocationsGiveNoneAndLeakNothing)
{
    std::string path = Write(WithContainer(Image(), kText));
    FileHandle file;
    uint32_t err, length = 9;
    ASSERT_TRUE(FileOpen(path.c_str(), FILE_READ, &file, &err));
    EmbedReadReport report;
    IniAllocReset(0);
    EXPECT_EQ(EmbedReadBlockReport(file, (uint32_t)(kPrefix + EMBED_CONTAINER_SIZE(strlen(kText))), &length, 0, 1,
                                   &report),
              nullptr);
    EXPECT_EQ(report.status, EMBED_NO_MEMORY);
    EXPECT_EQ(length, 0u);
    FileClose(file, &err);

    /* EmbedLoadIni failing at each allocation in turn (the body's, then the
     * parser's) gives none with nothing left; past the last it succeeds. */
    long failAt = 0;
    for (;; failAt++) {
        IniAllocReset(failAt);
        IniFile *ini = EmbedLoadIni(path.c_str());
        if (ini) {
            IniClose(ini);
            EXPECT_EQ(IniAllocGet().live, 0) << "after success";
            break;
        }
        EXPECT_EQ(IniAllocGet().live, 0) << "failing allocation " << failAt;
        ASSERT_LT(failAt, 100);
    }
    EXPECT_GE(failAt, 2) << "the body and at least one record of the parser";
    IniAllocReset(-1);
}

TEST_F(EmbedTest, LoadIniGivesNone)
{
    EXPECT_EQ(EmbedLoadIni((dir_ + "/missing.exe").c_str()), nullptr);
    EXPECT_EQ(EmbedLoadIni(dir_.c_str()), nullptr) << "a folder";
    EXPECT_EQ(EmbedLoadIni(Write(Image()).c_str()), nullptr) << "no container";
    EXPECT_EQ(EmbedLoadIni(Write(WithContainer(Image(), "[A]\nx=1\nno equals sign\n")).c_str()), nullptr)
        << "malformed line";
    Bytes damaged = WithContainer(Image(), kText);
    damaged[kPrefix + EMBED_HEADER_SIZE + 2] ^= 4;
    EXPECT_EQ(EmbedLoadIni(Write(damaged).c_str()), nullptr) << "damaged body";
}

}  // namespace
