// The generated ASC/ASCQ and vendor tables against the T10 lists they are
// made from, both as compiled (the generated lists expanded here) and as the
// library answers through its lookups.
#include <cstring>
#include <fstream>
#include <map>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "ScsiDevice.h"
#include "ScsiTexts.h"
#include "TablesTestData.h"

using scsi::ScsiDevice;

namespace {

typedef std::vector<std::string> Fields;

// The lines of one list, split at tabs; fails the test when it cannot be read.
std::vector<Fields> readList(const char* fileName) {
    std::vector<Fields> rows;
    if (referenceDataDir().empty()) {
        ADD_FAILURE() << "no folder of the reference lists on the command line";
        return rows;
    }
    const std::string path = referenceDataDir() + "/" + fileName;
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        ADD_FAILURE() << "cannot read " << path;
        return rows;
    }
    std::string line;
    while (std::getline(in, line)) {
        Fields fields;
        std::size_t start = 0;
        for (;;) {
            std::size_t tab = line.find('\t', start);
            fields.push_back(line.substr(start, tab - start));
            if (tab == std::string::npos)
                break;
            start = tab + 1;
        }
        rows.push_back(fields);
    }
    return rows;
}

unsigned hexByte(const std::string& text) {
    return static_cast<unsigned>(std::stoul(text, nullptr, 16));
}

// A line of the ASC list that gives one text to a range of qualifiers
// ("80-FF") rather than to one place of its row.
bool isRange(const Fields& f) {
    return f.size() == 3 && f[1].find('-') != std::string::npos;
}

// The lines of the ASC list that are places of the rows, and those that
// are ranges.
std::vector<Fields> ascLines(bool ranges) {
    std::vector<Fields> lines;
    for (const Fields& f : readList("asc_ascq.tsv"))
        if (isRange(f) == ranges)
            lines.push_back(f);
    return lines;
}

// The generated lists, expanded the same way the library expands them.
struct AscRow {
    unsigned asc, first, count;
};
struct AscEntry {
    unsigned asc, ascq;
    const char* text;  // null: unassigned
};
struct AscRange {
    unsigned asc, first, last;
    const char* text;
};
struct VendorRow {
    const char* id;
    const char* name;
};

const AscRow kAscRows[] = {
#define SCSI_ASC_ROW(asc, first, count) {asc, first, count},
#define SCSI_ASC_TEXT(asc, ascq, text)
#define SCSI_ASC_UNASSIGNED(asc, ascq)
#define SCSI_ASC_RANGE(asc, first, last, text)
#include "ScsiAscTable.inc"
#undef SCSI_ASC_ROW
#undef SCSI_ASC_TEXT
#undef SCSI_ASC_UNASSIGNED
#undef SCSI_ASC_RANGE
};

const AscEntry kAscEntries[] = {
#define SCSI_ASC_ROW(asc, first, count)
#define SCSI_ASC_TEXT(asc, ascq, text) {asc, ascq, text},
#define SCSI_ASC_UNASSIGNED(asc, ascq) {asc, ascq, nullptr},
#define SCSI_ASC_RANGE(asc, first, last, text)
#include "ScsiAscTable.inc"
#undef SCSI_ASC_ROW
#undef SCSI_ASC_TEXT
#undef SCSI_ASC_UNASSIGNED
#undef SCSI_ASC_RANGE
};

const AscRange kAscRanges[] = {
#define SCSI_ASC_ROW(asc, first, count)
#define SCSI_ASC_TEXT(asc, ascq, text)
#define SCSI_ASC_UNASSIGNED(asc, ascq)
#define SCSI_ASC_RANGE(asc, first, last, text) {asc, first, last, text},
#include "ScsiAscTable.inc"
#undef SCSI_ASC_ROW
#undef SCSI_ASC_TEXT
#undef SCSI_ASC_UNASSIGNED
#undef SCSI_ASC_RANGE
};

const VendorRow kVendors[] = {
#define SCSI_VENDOR(id, name) {id, name},
#include "ScsiVendorTable.inc"
#undef SCSI_VENDOR
};

const std::size_t kAscRowCount = sizeof(kAscRows) / sizeof(kAscRows[0]);
const std::size_t kAscEntryCount = sizeof(kAscEntries) / sizeof(kAscEntries[0]);
const std::size_t kAscRangeCount = sizeof(kAscRanges) / sizeof(kAscRanges[0]);
const std::size_t kVendorCount = sizeof(kVendors) / sizeof(kVendors[0]);

const char kUnassigned[] = "Not in Specification";

// Entries per ASC as the layout of the table fixes them (decimal counts).
const unsigned kRowCounts[0x75] = {
    /* 00 */ 33, 1,  1,  3,  29, 1,  1,  1,  5,  5,  1,  10, 16, 6,  4,  0,
    /* 10 */ 6,  21, 1,  1,  8,  3,  5,  10, 9,  4,  1,  1,  3,  2,  1,  1,
    /* 20 */ 13, 4,  1,  0,  9,  1,  19, 8,  4,  8,  22, 1,  12, 1,  1,  3,
    /* 30 */ 20, 4,  2,  1,  1,  6,  1,  1,  8,  1,  5,  29, 0,  1,  5,  21,
    /* 40 */ 2,  1,  1,  1,  2,  1,  1,  7,  1,  1,  1,  8,  1,  0,  1,  0,
    /* 50 */ 3,  2,  1,  9,  1,  14, 0,  1,  1,  1,  4,  4,  3,  109, 11, 0,
    /* 60 */ 1,  3,  1,  2,  2,  1,  4,  12, 1,  3,  1,  3,  1,  1,  1,  8,
    /* 70 */ 0,  1,  8,  7,  19,
};

TEST(AscTableData, RowsAndCountsMatchTheListAndTheLayout) {
    const std::vector<Fields> lines = ascLines(false);
    ASSERT_FALSE(lines.empty());

    std::map<unsigned, unsigned> listCounts;
    for (const Fields& f : lines) {
        ASSERT_EQ(3u, f.size());
        ++listCounts[hexByte(f[0])];
    }

    EXPECT_EQ(lines.size(), kAscEntryCount);
    EXPECT_EQ(680u, kAscEntryCount);
    ASSERT_EQ(0x75u, kAscRowCount);

    unsigned first = 0;
    std::set<unsigned> emptyRows;
    for (unsigned asc = 0; asc < kAscRowCount; ++asc) {
        SCOPED_TRACE(testing::Message() << "ASC " << std::hex << asc);
        EXPECT_EQ(asc, kAscRows[asc].asc);
        EXPECT_EQ(first, kAscRows[asc].first);
        EXPECT_EQ(listCounts[asc], kAscRows[asc].count);
        EXPECT_EQ(kRowCounts[asc], kAscRows[asc].count);
        if (kAscRows[asc].count == 0)
            emptyRows.insert(asc);
        first += kAscRows[asc].count;
    }
    EXPECT_EQ((std::set<unsigned>{0x0F, 0x23, 0x3C, 0x4D, 0x4F, 0x56, 0x5F, 0x70}), emptyRows);
}

TEST(AscTableData, EntriesMatchTheListLineByLine) {
    const std::vector<Fields> lines = ascLines(false);
    ASSERT_EQ(lines.size(), kAscEntryCount);

    std::size_t unassigned = 0;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const Fields& f = lines[i];
        SCOPED_TRACE(f[0] + "/" + f[1]);
        EXPECT_EQ(hexByte(f[0]), kAscEntries[i].asc);
        EXPECT_EQ(hexByte(f[1]), kAscEntries[i].ascq);
        if (f[2] == kUnassigned) {
            ++unassigned;
            EXPECT_EQ(nullptr, kAscEntries[i].text);
        } else {
            ASSERT_NE(nullptr, kAscEntries[i].text);
            EXPECT_EQ(f[2], kAscEntries[i].text);
        }
    }
    // Our copy of the list leaves 50 places inside the rows unassigned
    // (40h/01h among them: the diagnostic failure is the range 80h-FFh).
    EXPECT_EQ(50u, unassigned);
    EXPECT_EQ(nullptr, kAscEntries[kAscRows[0x40].first + 1].text);
}

TEST(AscTableData, RangesMatchTheListAndLieBeyondTheRows) {
    const std::vector<Fields> lines = ascLines(true);
    ASSERT_EQ(lines.size(), kAscRangeCount);
    ASSERT_EQ(1u, kAscRangeCount);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const Fields& f = lines[i];
        SCOPED_TRACE(f[0] + "/" + f[1]);
        const std::size_t dash = f[1].find('-');
        EXPECT_EQ(hexByte(f[0]), kAscRanges[i].asc);
        EXPECT_EQ(hexByte(f[1].substr(0, dash)), kAscRanges[i].first);
        EXPECT_EQ(hexByte(f[1].substr(dash + 1)), kAscRanges[i].last);
        EXPECT_EQ(f[2], kAscRanges[i].text);
        EXPECT_LE(0x80u, kAscRanges[i].first);
        EXPECT_LE(kAscRanges[i].first, kAscRanges[i].last);
    }
    EXPECT_EQ(0x40u, kAscRanges[0].asc);
    EXPECT_EQ(0x80u, kAscRanges[0].first);
    EXPECT_EQ(0xFFu, kAscRanges[0].last);
    EXPECT_STREQ("DIAGNOSTIC FAILURE ON COMPONENT NN (80H-FFH)", kAscRanges[0].text);
}

TEST(AscTableData, LookupAnswersEveryPairOfTheList) {
    const std::vector<Fields> lines = ascLines(false);
    ASSERT_FALSE(lines.empty());
    for (const Fields& f : lines) {
        SCOPED_TRACE(f[0] + "/" + f[1]);
        const char* text = ScsiDevice::getASCerrstr(static_cast<unsigned char>(hexByte(f[0])),
                                                    static_cast<unsigned char>(hexByte(f[1])));
        if (f[2] == kUnassigned) {
            EXPECT_EQ(scsi::NOTINSPEC, text);  // the exported array itself
        } else {
            EXPECT_STREQ(f[2].c_str(), text);
        }
    }
}

TEST(AscTableData, LookupAnswersEveryQualifierOfARange) {
    for (const AscRange& r : kAscRanges) {
        for (unsigned ascq = r.first; ascq <= r.last; ++ascq) {
            SCOPED_TRACE(testing::Message() << std::hex << r.asc << "/" << ascq);
            EXPECT_STREQ(r.text, ScsiDevice::getASCerrstr(static_cast<unsigned char>(r.asc),
                                                         static_cast<unsigned char>(ascq)));
        }
    }
}

TEST(AscTableData, FirstPlacePastEachRowIsNotInSpecification) {
    for (unsigned asc = 0; asc <= 0x74; ++asc) {
        const unsigned ascq = kRowCounts[asc];
        SCOPED_TRACE(testing::Message() << std::hex << asc << "/" << ascq);
        EXPECT_EQ(scsi::NOTINSPEC, ScsiDevice::getASCerrstr(static_cast<unsigned char>(asc),
                                                             static_cast<unsigned char>(ascq)));
    }
}

TEST(VendorTableData, RowsMatchTheListInStrictlyAscendingOrder) {
    const std::vector<Fields> lines = readList("vendor_ids.tsv");
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(853u, lines.size());
    ASSERT_EQ(lines.size(), kVendorCount);

    for (std::size_t i = 0; i < kVendorCount; ++i) {
        SCOPED_TRACE(lines[i][0]);
        ASSERT_EQ(2u, lines[i].size());
        EXPECT_EQ(8u, std::strlen(kVendors[i].id));
        EXPECT_EQ(lines[i][0], kVendors[i].id);
        EXPECT_EQ(lines[i][1], kVendors[i].name);
        if (i > 0) {  // memcmp orders as unsigned bytes
            EXPECT_LT(std::memcmp(kVendors[i - 1].id, kVendors[i].id, 8), 0);
        }
    }

    EXPECT_STREQ("3PARdata", kVendors[0].id);
    EXPECT_STREQ("3PARdata, Inc. (now HPE)", kVendors[0].name);
    EXPECT_STREQ("suntx   ", kVendors[kVendorCount - 1].id);
    EXPECT_STREQ("Suntx System Co., Ltd", kVendors[kVendorCount - 1].name);
}

TEST(VendorTableData, LookupFindsEveryRowAndNoSevenBytePrefix) {
    const std::vector<Fields> lines = readList("vendor_ids.tsv");
    ASSERT_FALSE(lines.empty());
    for (const Fields& f : lines) {
        SCOPED_TRACE(f[0]);
        ASSERT_EQ(8u, f[0].size());
        // Not terminated after the 8 bytes, as INQUIRY data hold them.
        char field[12];
        std::memcpy(field, f[0].data(), 8);
        std::memcpy(field + 8, "XYZ!", 4);
        EXPECT_STREQ(f[1].c_str(), ScsiDevice::xlateVendorID(field));

        // Same first 7 bytes, the eighth below or above anything in the list.
        field[7] = '\x01';
        EXPECT_EQ(scsi::emptystr, ScsiDevice::xlateVendorID(field));
        field[7] = '\x7F';
        EXPECT_EQ(scsi::emptystr, ScsiDevice::xlateVendorID(field));
    }
}

}  // namespace
