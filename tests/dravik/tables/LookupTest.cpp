// The static code-to-text lookups: their edge cases, and which answers are
// the exported arrays themselves (compared by address from this module).
#include <cstring>
#include <functional>
#include <string>

#include <gtest/gtest.h>

#include "ScsiDevice.h"
#include "ScsiTexts.h"

using scsi::ScsiDevice;
using scsi::_SPC_PERIPHERAL_DEVICE_TYPES;

namespace {

_SPC_PERIPHERAL_DEVICE_TYPES type(int t) {
    return static_cast<_SPC_PERIPHERAL_DEVICE_TYPES>(t);
}

struct TextCase {
    const char* call;
    std::function<const char*()> lookup;
    const char* text;
};

const char* const kDependent = "[Device Type Dependant Interpretation]";

const TextCase kTextCases[] = {
    // Status: bits 0 and 7 ignored.
    {"getstatusstr(0)", [] { return ScsiDevice::getstatusstr(0x00); }, "Good"},
    {"getstatusstr(2)", [] { return ScsiDevice::getstatusstr(0x02); }, "Check Condition"},
    {"getstatusstr(3)", [] { return ScsiDevice::getstatusstr(0x03); }, "Check Condition"},
    {"getstatusstr(82h)", [] { return ScsiDevice::getstatusstr(0x82); }, "Check Condition"},
    {"getstatusstr(14h)", [] { return ScsiDevice::getstatusstr(0x14); }, "Intermediate-Condition Met"},
    {"getstatusstr(22h)", [] { return ScsiDevice::getstatusstr(0x22); }, "Command Terminated (obsolete)"},
    {"getstatusstr(28h)", [] { return ScsiDevice::getstatusstr(0x28); }, "Task set Full"},
    {"getstatusstr(C1h)", [] { return ScsiDevice::getstatusstr(0xC1); }, "Task Aborted"},
    {"getstatusstr(6)", [] { return ScsiDevice::getstatusstr(0x06); }, "Unknown status"},
    {"getstatusstr(-1)", [] { return ScsiDevice::getstatusstr(-1); }, "Unknown status"},

    // Sense keys.
    {"getsensestr(0)", [] { return ScsiDevice::getsensestr(0x00); }, "NO SENSE"},
    {"getsensestr(5)", [] { return ScsiDevice::getsensestr(0x05); }, "Illegal Request"},
    {"getsensestr(9)", [] { return ScsiDevice::getsensestr(0x09); }, "Vendor Specific"},
    {"getsensestr(Ch)", [] { return ScsiDevice::getsensestr(0x0C); }, ""},
    {"getsensestr(Eh)", [] { return ScsiDevice::getsensestr(0x0E); }, "Miscompare"},
    {"getsensestr(Fh)", [] { return ScsiDevice::getsensestr(0x0F); }, "Reserved"},
    {"getsensestr(10h)", [] { return ScsiDevice::getsensestr(0x10); }, "Not in Specification"},
    {"getsensestr(FFh)", [] { return ScsiDevice::getsensestr(0xFF); }, "Not in Specification"},

    // Additional sense: special pairs first, then vendor range, then rows.
    {"getASCerrstr(5Dh,FFh)", [] { return ScsiDevice::getASCerrstr(0x5D, 0xFF); },
     "FAILURE PREDICTION THRESHOLD EXCEEDED (FALSE)"},
    {"getASCerrstr(44h,71h)", [] { return ScsiDevice::getASCerrstr(0x44, 0x71); },
     "ATA DEVICE FAILED SET FEATURES"},
    {"getASCerrstr(47h,7Fh)", [] { return ScsiDevice::getASCerrstr(0x47, 0x7F); },
     "SOME COMMANDS CLEARED BY iSCSI PROTOCOL EVENT"},
    {"getASCerrstr(5Eh,47h)", [] { return ScsiDevice::getASCerrstr(0x5E, 0x47); },
     "POWER STATE CHANGE TO DEVICE CONTROL"},
    {"getASCerrstr(5Eh,44h)", [] { return ScsiDevice::getASCerrstr(0x5E, 0x44); },
     "Not in Specification"},
    {"getASCerrstr(73h,17h)", [] { return ScsiDevice::getASCerrstr(0x73, 0x17); }, "RDZ IS FULL"},
    {"getASCerrstr(74h,79h)", [] { return ScsiDevice::getASCerrstr(0x74, 0x79); },
     "SECURITY CONFLICT IN TRANSLATED DEVICE"},
    // 40h/80h..FFh is one assignment of T10's, not vendor specific.
    {"getASCerrstr(40h,80h)", [] { return ScsiDevice::getASCerrstr(0x40, 0x80); },
     "DIAGNOSTIC FAILURE ON COMPONENT NN (80H-FFH)"},
    {"getASCerrstr(40h,C3h)", [] { return ScsiDevice::getASCerrstr(0x40, 0xC3); },
     "DIAGNOSTIC FAILURE ON COMPONENT NN (80H-FFH)"},
    {"getASCerrstr(40h,FFh)", [] { return ScsiDevice::getASCerrstr(0x40, 0xFF); },
     "DIAGNOSTIC FAILURE ON COMPONENT NN (80H-FFH)"},
    {"getASCerrstr(40h,7Fh)", [] { return ScsiDevice::getASCerrstr(0x40, 0x7F); }, "Not in Specification"},
    {"getASCerrstr(41h,80h)", [] { return ScsiDevice::getASCerrstr(0x41, 0x80); }, "Vendor Specific"},
    {"getASCerrstr(3Fh,FFh)", [] { return ScsiDevice::getASCerrstr(0x3F, 0xFF); }, "Vendor Specific"},
    {"getASCerrstr(80h,00h)", [] { return ScsiDevice::getASCerrstr(0x80, 0x00); }, "Vendor Specific"},
    {"getASCerrstr(75h,00h)", [] { return ScsiDevice::getASCerrstr(0x75, 0x00); },
     "Not in Specification"},
    {"getASCerrstr(7Fh,7Fh)", [] { return ScsiDevice::getASCerrstr(0x7F, 0x7F); },
     "Not in Specification"},
    {"getASCerrstr(0Fh,00h)", [] { return ScsiDevice::getASCerrstr(0x0F, 0x00); },
     "Not in Specification"},
    {"getASCerrstr(00h,00h)", [] { return ScsiDevice::getASCerrstr(0x00, 0x00); },
     "NO ADDITIONAL SENSE INFORMATION"},
    {"getASCerrstr(00h,07h)", [] { return ScsiDevice::getASCerrstr(0x00, 0x07); },
     "PROGRAMMABLE EARLY WARNING DETECTED"},
    {"getASCerrstr(00h,08h)", [] { return ScsiDevice::getASCerrstr(0x00, 0x08); },
     "Not in Specification"},
    {"getASCerrstr(24h,00h)", [] { return ScsiDevice::getASCerrstr(0x24, 0x00); },
     "INVALID FIELD IN CDB"},
    {"getASCerrstr(24h,7Eh)", [] { return ScsiDevice::getASCerrstr(0x24, 0x7E); },
     "Not in Specification"},
    {"getASCerrstr(40h,00h)", [] { return ScsiDevice::getASCerrstr(0x40, 0x00); }, "RAM FAILURE"},
    {"getASCerrstr(40h,01h)", [] { return ScsiDevice::getASCerrstr(0x40, 0x01); },
     "Not in Specification"},
    {"getASCerrstr(40h,02h)", [] { return ScsiDevice::getASCerrstr(0x40, 0x02); },
     "Not in Specification"},
    {"getASCerrstr(5Dh,00h)", [] { return ScsiDevice::getASCerrstr(0x5D, 0x00); },
     "FAILURE PREDICTION THRESHOLD EXCEEDED"},
    {"getASCerrstr(5Dh,6Ch)", [] { return ScsiDevice::getASCerrstr(0x5D, 0x6C); },
     "FIRMWARE IMPENDING FAILURE DRIVE CALIBRATION RETRY COUNT"},
    {"getASCerrstr(5Dh,6Dh)", [] { return ScsiDevice::getASCerrstr(0x5D, 0x6D); },
     "Not in Specification"},
    {"getASCerrstr(74h,02h)", [] { return ScsiDevice::getASCerrstr(0x74, 0x02); },
     "UNENCRYPTED DATA ENCOUNTED WHILE DECRYPTING"},
    {"getASCerrstr(74h,12h)", [] { return ScsiDevice::getASCerrstr(0x74, 0x12); }, "INVALID SA USAGE"},
    {"getASCerrstr(74h,13h)", [] { return ScsiDevice::getASCerrstr(0x74, 0x13); },
     "Not in Specification"},

    // Version descriptors, by row (descriptor >> 5).
    {"getstandardstr(0)", [] { return ScsiDevice::getstandardstr(0); },
     "Version Descriptor Not Supported"},
    {"getstandardstr(6)", [] { return ScsiDevice::getstandardstr(6); },
     "Unrecognized Architecture Model"},
    {"getstandardstr(8)", [] { return ScsiDevice::getstandardstr(8); },
     "Unrecognized Architecture Model"},
    {"getstandardstr(9)", [] { return ScsiDevice::getstandardstr(9); }, "SPC"},
    {"getstandardstr(0460h>>5)", [] { return ScsiDevice::getstandardstr(0x0460 >> 5); }, "SPC-4"},
    {"getstandardstr(42)", [] { return ScsiDevice::getstandardstr(42); }, "Unrecognized Command Set"},
    {"getstandardstr(44)", [] { return ScsiDevice::getstandardstr(44); }, "SES-3"},
    {"getstandardstr(64)", [] { return ScsiDevice::getstandardstr(64); }, "Unrecognized Command Set"},
    {"getstandardstr(65)", [] { return ScsiDevice::getstandardstr(65); }, "SSA-TL2"},
    {"getstandardstr(149)", [] { return ScsiDevice::getstandardstr(149); },
     "Unrecognized Fibre Channel"},
    {"getstandardstr(150)", [] { return ScsiDevice::getstandardstr(150); }, "FC-DA-2"},
    {"getstandardstr(245)", [] { return ScsiDevice::getstandardstr(245); }, "SAT"},
    {"getstandardstr(261)", [] { return ScsiDevice::getstandardstr(261); }, "SPL"},
    {"getstandardstr(270)", [] { return ScsiDevice::getstandardstr(270); },
     "Unrecognized SAS Transport Protocol"},
    {"getstandardstr(271)", [] { return ScsiDevice::getstandardstr(271); }, "Not in Specification"},
    {"getstandardstr(FFFFFFFFh)", [] { return ScsiDevice::getstandardstr(0xFFFFFFFFu); },
     "Not in Specification"},

    // Peripheral device types.
    {"getperipheraldevicetype(0)", [] { return ScsiDevice::getperipheraldevicetype(0x00); },
     "Direct access block device"},
    {"getperipheraldevicetype(5)", [] { return ScsiDevice::getperipheraldevicetype(0x05); },
     "CD/DVD device"},
    {"getperipheraldevicetype(Ah)", [] { return ScsiDevice::getperipheraldevicetype(0x0A); },
     "Unrecognized Peripheral Device Type"},
    {"getperipheraldevicetype(12h)", [] { return ScsiDevice::getperipheraldevicetype(0x12); },
     "Automation/Drive Interface"},
    {"getperipheraldevicetype(13h)", [] { return ScsiDevice::getperipheraldevicetype(0x13); },
     "Unrecognized Peripheral Device Type"},
    {"getperipheraldevicetype(1Eh)", [] { return ScsiDevice::getperipheraldevicetype(0x1E); },
     "Well known logical unit"},
    {"getperipheraldevicetype(1Fh)", [] { return ScsiDevice::getperipheraldevicetype(0x1F); },
     "Unrecognized Peripheral Device Type"},
    {"getperipheraldevicetype(-1)", [] { return ScsiDevice::getperipheraldevicetype(-1); },
     "Unrecognized Peripheral Device Type"},
    {"getperipheraldevicetype(20h)", [] { return ScsiDevice::getperipheraldevicetype(0x20); },
     "Unrecognized Peripheral Device Type"},

    // Log pages: the page code is the low 6 bits.
    {"getlogpagestr(D5h,0)", [] { return ScsiDevice::getlogpagestr(0xD5, type(0x00)); },
     "Background Scan Results"},
    {"getlogpagestr(15h,1)", [] { return ScsiDevice::getlogpagestr(0x15, type(0x01)); },
     "Background Scan Results"},
    {"getlogpagestr(15h,12h)", [] { return ScsiDevice::getlogpagestr(0x15, type(0x12)); },
     "Service Buffers Information"},
    {"getlogpagestr(95h,12h)", [] { return ScsiDevice::getlogpagestr(0x95, type(0x12)); },
     "Service Buffers Information"},
    {"getlogpagestr(40h,0)", [] { return ScsiDevice::getlogpagestr(0x40, type(0x00)); },
     "Supported Log Pages"},
    {"getlogpagestr(09h,0)", [] { return ScsiDevice::getlogpagestr(0x09, type(0x00)); }, ""},
    {"getlogpagestr(1Ah,0)", [] { return ScsiDevice::getlogpagestr(0x1A, type(0x00)); },
     "Power Condition Transitions"},
    {"getlogpagestr(2Dh,0)", [] { return ScsiDevice::getlogpagestr(0x2D, type(0x00)); }, ""},
    {"getlogpagestr(2Fh,0)", [] { return ScsiDevice::getlogpagestr(0x2F, type(0x00)); },
     "Informational Exceptions"},
    {"getlogpagestr(30h,0)", [] { return ScsiDevice::getlogpagestr(0x30, type(0x00)); },
     "Vendor Specific"},
    {"getlogpagestr(F0h,12h)", [] { return ScsiDevice::getlogpagestr(0xF0, type(0x12)); },
     "Vendor Specific"},
    {"getlogpagestr(31h,0)", [] { return ScsiDevice::getlogpagestr(0x31, type(0x00)); },
     "Vendor Specific"},
    {"getlogpagestr(3Eh,0)", [] { return ScsiDevice::getlogpagestr(0x3E, type(0x00)); },
     "Vendor Specific"},
    {"getlogpagestr(FFh,0)", [] { return ScsiDevice::getlogpagestr(0xFF, type(0x00)); }, "Reserved"},

    // VPD pages.
    {"getvpdpagestr(00h,0)", [] { return ScsiDevice::getvpdpagestr(0x00, type(0)); },
     "Supported VPD Pages"},
    {"getvpdpagestr(01h,0)", [] { return ScsiDevice::getvpdpagestr(0x01, type(0)); },
     "ASCII Information"},
    {"getvpdpagestr(7Fh,0)", [] { return ScsiDevice::getvpdpagestr(0x7F, type(0)); },
     "ASCII Information"},
    {"getvpdpagestr(80h,0)", [] { return ScsiDevice::getvpdpagestr(0x80, type(0)); },
     "Unit Serial Number"},
    {"getvpdpagestr(81h,0)", [] { return ScsiDevice::getvpdpagestr(0x81, type(0)); }, "Obsolete"},
    {"getvpdpagestr(83h,5)", [] { return ScsiDevice::getvpdpagestr(0x83, type(5)); },
     "Device Identification"},
    {"getvpdpagestr(89h,0)", [] { return ScsiDevice::getvpdpagestr(0x89, type(0)); },
     "ATA Information"},
    {"getvpdpagestr(89h,5)", [] { return ScsiDevice::getvpdpagestr(0x89, type(5)); },
     "Not in Specification"},
    {"getvpdpagestr(8Ah,0)", [] { return ScsiDevice::getvpdpagestr(0x8A, type(0)); },
     "Power Condition"},
    {"getvpdpagestr(8Bh,0)", [] { return ScsiDevice::getvpdpagestr(0x8B, type(0)); }, "Reserved"},
    {"getvpdpagestr(8Fh,0)", [] { return ScsiDevice::getvpdpagestr(0x8F, type(0)); }, "Reserved"},
    {"getvpdpagestr(90h,0)", [] { return ScsiDevice::getvpdpagestr(0x90, type(0)); },
     "Protocol Specific Logical Unit Information"},
    {"getvpdpagestr(91h,0)", [] { return ScsiDevice::getvpdpagestr(0x91, type(0)); },
     "Protocol Specific Port Information"},
    {"getvpdpagestr(92h,0)", [] { return ScsiDevice::getvpdpagestr(0x92, type(0)); }, "Reserved"},
    {"getvpdpagestr(AFh,0)", [] { return ScsiDevice::getvpdpagestr(0xAF, type(0)); }, "Reserved"},
    {"getvpdpagestr(B0h,0)", [] { return ScsiDevice::getvpdpagestr(0xB0, type(0x00)); },
     "Block Limits"},
    {"getvpdpagestr(B0h,1)", [] { return ScsiDevice::getvpdpagestr(0xB0, type(0x01)); },
     "Sequential-access device capabilities"},
    {"getvpdpagestr(B0h,11h)", [] { return ScsiDevice::getvpdpagestr(0xB0, type(0x11)); },
     "OSD Information"},
    {"getvpdpagestr(B0h,5)", [] { return ScsiDevice::getvpdpagestr(0xB0, type(0x05)); }, kDependent},
    {"getvpdpagestr(B1h,0)", [] { return ScsiDevice::getvpdpagestr(0xB1, type(0x00)); },
     "Block Device Characteristics"},
    {"getvpdpagestr(B1h,1)", [] { return ScsiDevice::getvpdpagestr(0xB1, type(0x01)); },
     "Manufacturer-assigned serial number"},
    {"getvpdpagestr(B1h,12h)", [] { return ScsiDevice::getvpdpagestr(0xB1, type(0x12)); },
     "Manufacturer-assigned serial number"},
    {"getvpdpagestr(B1h,11h)", [] { return ScsiDevice::getvpdpagestr(0xB1, type(0x11)); },
     "Security token"},
    {"getvpdpagestr(B1h,5)", [] { return ScsiDevice::getvpdpagestr(0xB1, type(0x05)); }, kDependent},
    {"getvpdpagestr(B2h,1)", [] { return ScsiDevice::getvpdpagestr(0xB2, type(0x01)); },
     "TapeAlert supported flags"},
    {"getvpdpagestr(B2h,0)", [] { return ScsiDevice::getvpdpagestr(0xB2, type(0x00)); }, kDependent},
    {"getvpdpagestr(B3h,0)", [] { return ScsiDevice::getvpdpagestr(0xB3, type(0x00)); }, kDependent},
    {"getvpdpagestr(BFh,1)", [] { return ScsiDevice::getvpdpagestr(0xBF, type(0x01)); }, kDependent},
    {"getvpdpagestr(C0h,0)", [] { return ScsiDevice::getvpdpagestr(0xC0, type(0)); },
     "Vendor Specific"},
    {"getvpdpagestr(FFh,0)", [] { return ScsiDevice::getvpdpagestr(0xFF, type(0)); },
     "Vendor Specific"},

    // INQUIRY version and queue algorithm modifier.
    {"inqVersion(0)", [] { return ScsiDevice::inqVersion(0); },
     "This device does not claim conformance to any standard"},
    {"inqVersion(5)", [] { return ScsiDevice::inqVersion(5); }, "ANSI INCITS 408-2005 (SPC-3)"},
    {"inqVersion(6)", [] { return ScsiDevice::inqVersion(6); }, "SPC-4"},
    {"inqVersion(7)", [] { return ScsiDevice::inqVersion(7); }, "Not in Specification"},
    {"inqVersion(FFh)", [] { return ScsiDevice::inqVersion(0xFF); }, "Not in Specification"},
    {"getQAMstr(0)", [] { return ScsiDevice::getQAMstr(0x00); }, "Restricted reordering"},
    {"getQAMstr(11h)", [] { return ScsiDevice::getQAMstr(0x11); }, "Unrestricted reordering allowed"},
    {"getQAMstr(7)", [] { return ScsiDevice::getQAMstr(0x07); }, "Reserved"},
    {"getQAMstr(F8h)", [] { return ScsiDevice::getQAMstr(0xF8); }, "Vendor Specific"},

    // Vendors: exactly 8 bytes compared.
    {"xlateVendorID(3PARdata)", [] { return ScsiDevice::xlateVendorID("3PARdata"); },
     "3PARdata, Inc. (now HPE)"},
    {"xlateVendorID(3PARdata + more)", [] { return ScsiDevice::xlateVendorID("3PARdataMORE"); },
     "3PARdata, Inc. (now HPE)"},
    {"xlateVendorID(suntx)", [] { return ScsiDevice::xlateVendorID("suntx   "); },
     "Suntx System Co., Ltd"},
    {"xlateVendorID(3PARdat\\0)", [] { return ScsiDevice::xlateVendorID("3PARdat\0"); }, ""},
    {"xlateVendorID(3PARdat )", [] { return ScsiDevice::xlateVendorID("3PARdat "); }, ""},
    {"xlateVendorID(suntx  )", [] { return ScsiDevice::xlateVendorID("suntx  \0"); }, ""},
    {"xlateVendorID(8 blanks)", [] { return ScsiDevice::xlateVendorID("        "); }, ""},
    {"xlateVendorID(8 zero bytes)", [] { return ScsiDevice::xlateVendorID("\0\0\0\0\0\0\0\0"); }, ""},
    {"xlateVendorID(zzzzzzzz)", [] { return ScsiDevice::xlateVendorID("zzzzzzzz"); }, ""},
    {"xlateVendorID(8 FFh bytes)",
     [] { return ScsiDevice::xlateVendorID("\xFF\xFF\xFF\xFF\xFF\xFF\xFF\xFF"); }, ""},
};

TEST(Lookups, AnswerTheTextOfEachCode) {
    for (const TextCase& c : kTextCases) {
        SCOPED_TRACE(c.call);
        const char* text = c.lookup();
        ASSERT_NE(nullptr, text);
        EXPECT_STREQ(c.text, text);
    }
}

// Answers that are the exported arrays themselves, and look-alike texts that
// are arrays of their own.
struct IdentityCase {
    const char* call;
    const char* answer;
    const char* exported;
    bool same;
};

TEST(Lookups, ReturnTheExportedArraysWhereTheyStandForACode) {
    const IdentityCase cases[] = {
        {"getASCerrstr(00h,08h)", ScsiDevice::getASCerrstr(0x00, 0x08), scsi::NOTINSPEC, true},
        {"getASCerrstr(74h,0Fh)", ScsiDevice::getASCerrstr(0x74, 0x0F), scsi::NOTINSPEC, true},
        {"getASCerrstr(24h,7Eh)", ScsiDevice::getASCerrstr(0x24, 0x7E), scsi::NOTINSPEC, true},
        {"getASCerrstr(75h,00h)", ScsiDevice::getASCerrstr(0x75, 0x00), scsi::NOTINSPEC, true},
        {"getASCerrstr(41h,80h)", ScsiDevice::getASCerrstr(0x41, 0x80), scsi::VENDORSPECIFIC, true},
        {"getASCerrstr(40h,01h)", ScsiDevice::getASCerrstr(0x40, 0x01), scsi::NOTINSPEC, true},
        {"getsensestr(10h)", ScsiDevice::getsensestr(0x10), scsi::NOTINSPEC, true},
        {"getsensestr(Ch)", ScsiDevice::getsensestr(0x0C), scsi::emptystr, true},
        {"getsensestr(9)", ScsiDevice::getsensestr(0x09), scsi::VENDORSPECIFIC, false},
        {"getsensestr(Fh)", ScsiDevice::getsensestr(0x0F), scsi::RESERVED, false},
        {"getstandardstr(271)", ScsiDevice::getstandardstr(271), scsi::NOTINSPEC, true},
        {"inqVersion(7)", ScsiDevice::inqVersion(7), scsi::NOTINSPEC, true},
        {"getQAMstr(2)", ScsiDevice::getQAMstr(0x02), scsi::RESERVED, true},
        {"getQAMstr(Fh)", ScsiDevice::getQAMstr(0x0F), scsi::VENDORSPECIFIC, true},
        {"getlogpagestr(09h)", ScsiDevice::getlogpagestr(0x09, type(0)), scsi::emptystr, true},
        {"getlogpagestr(30h)", ScsiDevice::getlogpagestr(0x30, type(0)), scsi::VENDORSPECIFIC, true},
        {"getlogpagestr(31h)", ScsiDevice::getlogpagestr(0x31, type(0)), scsi::VENDORSPECIFIC, true},
        {"getlogpagestr(3Fh)", ScsiDevice::getlogpagestr(0x3F, type(0)), scsi::RESERVED, true},
        {"getvpdpagestr(89h,5)", ScsiDevice::getvpdpagestr(0x89, type(5)), scsi::NOTINSPEC, true},
        {"getvpdpagestr(8Bh)", ScsiDevice::getvpdpagestr(0x8B, type(0)), scsi::RESERVED, true},
        {"getvpdpagestr(C0h)", ScsiDevice::getvpdpagestr(0xC0, type(0)), scsi::VENDORSPECIFIC, false},
        {"xlateVendorID(8 blanks)", ScsiDevice::xlateVendorID("        "), scsi::emptystr, true},
    };
    for (const IdentityCase& c : cases) {
        SCOPED_TRACE(c.call);
        EXPECT_STREQ(c.exported, c.answer);
        if (c.same) {
            EXPECT_EQ(static_cast<const void*>(c.exported), static_cast<const void*>(c.answer));
        } else {
            EXPECT_NE(static_cast<const void*>(c.exported), static_cast<const void*>(c.answer));
        }
    }
}

TEST(Lookups, ExportedTexts) {
    EXPECT_STREQ("None", scsi::NONE);
    EXPECT_STREQ("Not in Specification", scsi::NOTINSPEC);
    EXPECT_STREQ("Reserved", scsi::RESERVED);
    EXPECT_STREQ("Unknown", scsi::UNKNOWN);
    EXPECT_STREQ("Vendor Specific", scsi::VENDORSPECIFIC);
    EXPECT_STREQ("", scsi::emptystr);
}

// Every value of every argument has an answer: no table row was left out
// (a missing initializer would read as null). Counted rather than asserted
// one by one, to keep the sweep fast.
TEST(Lookups, AnswerEveryArgumentValue) {
    std::string missing;
    auto check = [&missing](const char* text, const char* call, int a, int b) {
        if (text == nullptr)
            missing += std::string(call) + "(" + std::to_string(a) + "," + std::to_string(b) + ") ";
    };
    for (int b = 0; b < 256; ++b) {
        const unsigned char v = static_cast<unsigned char>(b);
        check(ScsiDevice::getstatusstr(b), "getstatusstr", b, 0);
        check(ScsiDevice::getsensestr(v), "getsensestr", b, 0);
        check(ScsiDevice::getperipheraldevicetype(b), "getperipheraldevicetype", b, 0);
        check(ScsiDevice::inqVersion(v), "inqVersion", b, 0);
        check(ScsiDevice::getQAMstr(v), "getQAMstr", b, 0);
        for (int t = 0; t < 0x20; ++t) {
            check(ScsiDevice::getlogpagestr(v, type(t)), "getlogpagestr", b, t);
            check(ScsiDevice::getvpdpagestr(v, type(t)), "getvpdpagestr", b, t);
        }
        for (int q = 0; q < 256; ++q)
            check(ScsiDevice::getASCerrstr(v, static_cast<unsigned char>(q)), "getASCerrstr", b, q);
    }
    for (int row = 0; row < 300; ++row)
        check(ScsiDevice::getstandardstr(static_cast<unsigned int>(row)), "getstandardstr", row, 0);
    EXPECT_EQ("", missing);
}

}  // namespace
