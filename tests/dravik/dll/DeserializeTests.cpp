// Devices made from serialization strings: the strings refused and their
// messages, what the factory receives, the library loaded exactly while a
// device of it lives, and the serialization string of a device.
#include <windows.h>

#include <algorithm>
#include <cstring>
#include <utility>

#include "LoadedTest.h"
#include "ModelAccessor.h"

// The site the test library finds in this program's exports.
scsi::test::AccessorSite dravikAccessorSite;

using namespace scsi;
using namespace scsi::test;

namespace {

unsigned char kInquiry36[6] = {0x12, 0, 0, 0, 36, 0};

struct Message {
    const wchar_t* channel;
    int level;
    std::wstring text;
};

struct RefusedCase {
    const char* name;
    const char* serialization;
    bool factoryAnswersNull;
    // Tokens the factory was called with; empty: not called.
    std::vector<std::wstring> factoryTokens;
    std::vector<Message> messages;
};

std::ostream& operator<<(std::ostream& out, const RefusedCase& c) {
    return out << c.name;
}

const std::wstring kNotAvailable = L"59 Accessor is not available for serialization string: ";

const RefusedCase kRefused[] = {
    {"TypeAlone", "dll", false, {},
     {{kDeviceChannel, 4, L"65 Serialization string is not at least two tokens: dll"}}},
    {"Empty", "", false, {},
     {{kDeviceChannel, 4, L"65 Serialization string is not at least two tokens: "}}},
    {"TypeAndLibraryOnly", "dll:DravikTestAccessor.dll", false, {},
     {{kLoadedChannel, 3, L"79 DLLScsiAccessor requires at least 3 serialization tokens for deserialization"},
      {kDeviceChannel, 2, kNotAvailable + L"dll:DravikTestAccessor.dll"}}},
    {"UnknownType", "usb:DravikTestAccessor.dll:makeModelAccessor", false, {},
     {{kDeviceChannel, 4, L"62 Unrecognized serialization type: usb"}}},
    // The type is compared as text equality compares it: with regard to case.
    {"TypeInCapitals", "DLL:DravikTestAccessor.dll", false, {},
     {{kDeviceChannel, 4, L"62 Unrecognized serialization type: DLL"}}},
    {"MissingLibrary", "dll:NoSuchAccessorLibrary.dll:makeModelAccessor", false, {},
     {{kLoadedChannel, 4, L"76 The library NoSuchAccessorLibrary.dll did not dynamically load"},
      {kDeviceChannel, 2, kNotAvailable + L"dll:NoSuchAccessorLibrary.dll:makeModelAccessor"}}},
    {"MissingSymbol", "dll:DravikTestAccessor.dll:makeDiskAccessor:disk0", false, {},
     {{kLoadedChannel, 4, L"73 The library DravikTestAccessor.dll did not have the symbol: makeDiskAccessor"},
      {kDeviceChannel, 2, kNotAvailable + L"dll:DravikTestAccessor.dll:makeDiskAccessor:disk0"}}},
    {"FactoryAnswersNull", kGoodString, true, kGoodTokens,
     {{kDeviceChannel, 2, kNotAvailable + L"dll:DravikTestAccessor.dll:makeModelAccessor"}}},
    // A drive-letter path is one library piece, wherever it points.
    {"DrivePathWithoutSymbol", "dll:C:\\Tools\\acc.dll", false, {},
     {{kLoadedChannel, 3, L"79 DLLScsiAccessor requires at least 3 serialization tokens for deserialization"},
      {kDeviceChannel, 2, kNotAvailable + L"dll:C:\\Tools\\acc.dll"}}},
    {"MissingDrivePathLibrary", "dll:C:\\NoSuchFolder\\acc.dll:makeModelAccessor", false, {},
     {{kLoadedChannel, 4, L"76 The library C:\\NoSuchFolder\\acc.dll did not dynamically load"},
      {kDeviceChannel, 2, kNotAvailable + L"dll:C:\\NoSuchFolder\\acc.dll:makeModelAccessor"}}},
    {"MissingDrivePathLibraryForwardSlashes", "dll:c:/NoSuchFolder/acc.dll:makeModelAccessor", false, {},
     {{kLoadedChannel, 4, L"76 The library c:/NoSuchFolder/acc.dll did not dynamically load"},
      {kDeviceChannel, 2, kNotAvailable + L"dll:c:/NoSuchFolder/acc.dll:makeModelAccessor"}}},
    // Anything else splits at every ":".
    {"LetterWithoutSlash", "dll:C:acc.dll:makeModelAccessor", false, {},
     {{kLoadedChannel, 4, L"76 The library C did not dynamically load"},
      {kDeviceChannel, 2, kNotAvailable + L"dll:C:acc.dll:makeModelAccessor"}}},
    {"TwoLettersBeforeTheSlash", "dll:CD:\\Tools\\acc.dll:makeModelAccessor", false, {},
     {{kLoadedChannel, 4, L"76 The library CD did not dynamically load"},
      {kDeviceChannel, 2, kNotAvailable + L"dll:CD:\\Tools\\acc.dll:makeModelAccessor"}}},
    {"DigitBeforeTheSlash", "dll:1:\\Tools\\acc.dll:makeModelAccessor", false, {},
     {{kLoadedChannel, 4, L"76 The library 1 did not dynamically load"},
      {kDeviceChannel, 2, kNotAvailable + L"dll:1:\\Tools\\acc.dll:makeModelAccessor"}}},
    {"TwoColonsAfterTheLetter", "dll:C::\\Tools\\acc.dll:makeModelAccessor", false, {},
     {{kLoadedChannel, 4, L"76 The library C did not dynamically load"},
      {kDeviceChannel, 2, kNotAvailable + L"dll:C::\\Tools\\acc.dll:makeModelAccessor"}}},
    {"DrivePathOfAnotherType", "usb:C:\\Tools\\acc.dll:makeModelAccessor", false, {},
     {{kDeviceChannel, 4, L"62 Unrecognized serialization type: usb"}}},
};

class RefusedStringTest : public LoadedTest, public ::testing::WithParamInterface<RefusedCase> {};

TEST_P(RefusedStringTest, GivesNoDeviceTheMessagesAndNoLoadedLibrary) {
    const RefusedCase& c = GetParam();
    site().answerNull = c.factoryAnswersNull;

    ScsiDeviceTransfer device = ScsiDevice::deserialize(c.serialization);
    EXPECT_FALSE(device.isValid());
    // A library that loaded is unloaded again before the call returns.
    EXPECT_FALSE(accessorLibraryLoaded());

    if (c.factoryTokens.empty()) {
        EXPECT_TRUE(site().calls.empty());
    } else {
        ASSERT_EQ(1u, site().calls.size());
        EXPECT_EQ(c.factoryTokens, site().calls[0]);
    }
    ASSERT_EQ(c.messages.size(), log.entries().size()) << log.dump();
    for (std::size_t i = 0; i < c.messages.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(c.messages[i].channel, log.entries()[i].channel);
        EXPECT_EQ(c.messages[i].level, log.entries()[i].level);
        EXPECT_EQ(c.messages[i].text, log.entries()[i].text);
    }
}

INSTANTIATE_TEST_SUITE_P(Strings, RefusedStringTest, ::testing::ValuesIn(kRefused),
                         [](const ::testing::TestParamInfo<RefusedCase>& info) {
                             return std::string(info.param.name);
                         });

// Messages are built only where the level is admitted.
TEST_F(LoadedTest, RefusalAtTheWarningPriorityKeepsOnlyTheWarning) {
    qln::test::LogCapture warnings(qln::LOG_WARN);
    EXPECT_FALSE(ScsiDevice::deserialize("dll:DravikTestAccessor.dll").isValid());
    ASSERT_EQ(1u, warnings.entries().size()) << warnings.dump();
    EXPECT_EQ(0u, warnings.entries()[0].text.find(L"79 "));
}

// --- devices made from a string --------------------------------------------

// The folder of the test program, where the test library lies, as the system
// names it: a drive-letter path ("Z:\...\bin" under Wine).
std::wstring programFolder() {
    wchar_t file[MAX_PATH];
    const DWORD length = GetModuleFileNameW(nullptr, file, MAX_PATH);
    const std::wstring path(file, length);
    return path.substr(0, path.find_last_of(L"\\/"));
}

std::wstring fileNameOf(const std::wstring& path) {
    return path.substr(path.find_last_of(L"\\/") + 1);
}

// `text` with "<dir>" replaced by the program's folder, and "<dir/>" by that
// folder written with forward slashes.
std::wstring expand(std::wstring text) {
    const std::wstring folder = programFolder();
    std::wstring slashed = folder;
    std::replace(slashed.begin(), slashed.end(), L'\\', L'/');
    for (const auto& place : {std::make_pair(std::wstring(L"<dir/>"), slashed),
                              std::make_pair(std::wstring(L"<dir>"), folder)}) {
        for (std::size_t at = text.find(place.first); at != std::wstring::npos; at = text.find(place.first))
            text.replace(at, place.first.size(), place.second);
    }
    return text;
}

struct AcceptedCase {
    const char* name;
    const wchar_t* serialization;  // before expand()
    // The tokens the factory receives, before expand(); empty: the string
    // split at every ":".
    std::vector<std::wstring> tokens;
};

std::ostream& operator<<(std::ostream& out, const AcceptedCase& c) {
    return out << c.name;
}

const AcceptedCase kAccepted[] = {
    {"BareName", L"dll:DravikTestAccessor.dll:makeModelAccessor", {}},
    {"OneMoreToken", L"dll:DravikTestAccessor.dll:makeModelAccessor:disk0", {}},
    {"ThreeMoreTokens", L"dll:DravikTestAccessor.dll:makeModelAccessor:a:b:c", {}},
    // Only the library's piece is read as a drive-letter path.
    {"DrivePathInALaterToken", L"dll:DravikTestAccessor.dll:makeModelAccessor:<dir>\\disk0", {}},
    {"DrivePath", L"dll:<dir>\\DravikTestAccessor.dll:makeModelAccessor",
     {L"dll", L"<dir>\\DravikTestAccessor.dll", L"makeModelAccessor"}},
    {"DrivePathWithForwardSlashes", L"dll:<dir/>/DravikTestAccessor.dll:makeModelAccessor",
     {L"dll", L"<dir/>/DravikTestAccessor.dll", L"makeModelAccessor"}},
    {"DrivePathAndMoreTokens", L"dll:<dir>\\DravikTestAccessor.dll:makeModelAccessor:disk0:C:\\x",
     {L"dll", L"<dir>\\DravikTestAccessor.dll", L"makeModelAccessor", L"disk0", L"C", L"\\x"}},
};

// A copy of the test library named by the drive letter of the program's
// folder ("Z.dll") lies beside the program, first on the search path of a
// library named by that letter alone.
class AcceptedStringTest : public LoadedTest, public ::testing::WithParamInterface<AcceptedCase> {
protected:
    void SetUp() override {
        LoadedTest::SetUp();
        const std::wstring folder = programFolder();
        ASSERT_EQ(L':', folder.size() > 1 ? folder[1] : 0) << "no drive letter in " << folder;
        planted = folder + L"\\" + folder.substr(0, 1) + L".dll";
        ASSERT_TRUE(CopyFileW((folder + L"\\" + kAccessorLibrary).c_str(), planted.c_str(), FALSE));
    }
    void TearDown() override {
        EXPECT_TRUE(DeleteFileW(planted.c_str()));
        LoadedTest::TearDown();
    }
    std::wstring planted;
};

TEST_P(AcceptedStringTest, FactoryReceivesExactlyTheTokensAndTheDeviceAnswersFromIt) {
    const AcceptedCase& c = GetParam();
    const std::wstring serialization = expand(c.serialization);
    std::vector<std::wstring> tokens = c.tokens.empty() ? tokensOf(serialization) : c.tokens;
    for (std::wstring& token : tokens)
        token = expand(token);
    std::vector<std::uint8_t> inquiry(36);
    for (std::size_t i = 0; i < inquiry.size(); ++i)
        inquiry[i] = static_cast<std::uint8_t>(i + 1);
    model->on(ModelAnswer::good({0x12}, inquiry));

    ScsiDeviceTransfer device = ScsiDevice::deserialize(qln::String(serialization.c_str()));
    // The library itself, loaded once; the copy named by the letter never.
    std::vector<std::wstring> loaded;
    for (const std::wstring& file : site().loads)
        loaded.push_back(fileNameOf(file));
    EXPECT_EQ(std::vector<std::wstring>{kAccessorLibrary}, loaded);
    EXPECT_EQ(nullptr, GetModuleHandleW(planted.c_str()));
    ASSERT_TRUE(device.isValid()) << log.dump();
    EXPECT_TRUE(accessorLibraryLoaded());
    EXPECT_TRUE(log.entries().empty()) << log.dump();
    ASSERT_EQ(1u, site().calls.size());
    EXPECT_EQ(tokens, site().calls[0]);
    EXPECT_EQ(1, model->accessorsAlive);

    unsigned char data[36] = {};
    EXPECT_TRUE(device->send_scsi_cmd(kInquiry36, 6, data, 36, DXFER_FROM_DEVICE, 0));
    EXPECT_EQ(0, std::memcmp(inquiry.data(), data, 36));
    ASSERT_EQ(1u, model->commands().size());
    EXPECT_EQ(20000u, model->lastCommand().timeout);  // the device's default time-out

    // The loaded transport writes its own string back.
    qln::String written("unchanged");
    EXPECT_TRUE(device->serialize(written));
    EXPECT_EQ(qln::String(serialization.c_str()), written);

    device.reset();
    EXPECT_EQ(0, model->accessorsAlive);
    EXPECT_FALSE(accessorLibraryLoaded());
}

INSTANTIATE_TEST_SUITE_P(Strings, AcceptedStringTest, ::testing::ValuesIn(kAccepted),
                         [](const ::testing::TestParamInfo<AcceptedCase>& info) {
                             return std::string(info.param.name);
                         });

TEST_F(LoadedTest, DeviceCopiesShareOneWrapperAndKeepTheLibraryUntilTheLast) {
    ScsiDeviceTransfer device = ScsiDevice::deserialize(kGoodString);
    ASSERT_TRUE(device.isValid());
    DLLScsiDeviceAccessor* wrapper = wrapperOf(*device.get());
    ASSERT_NE(nullptr, wrapper);
    const SharedAccessorLibrary& library = libraryOf(*wrapper);
    ASSERT_NE(nullptr, library.get());
    EXPECT_EQ(qln::String("DravikTestAccessor.dll"), library.get()->getPath());
    EXPECT_EQ(1, library.useCount());

    {
        ScsiDevice copy(*device.get());
        ScsiDevice assigned{AccessorTransfer()};
        assigned = *device.get();
        EXPECT_EQ(wrapper, wrapperOf(copy));
        EXPECT_EQ(wrapper, wrapperOf(assigned));
        EXPECT_EQ(1, library.useCount());
        EXPECT_EQ(1, model->accessorsAlive);
        device.reset();
        EXPECT_TRUE(accessorLibraryLoaded());
        model->on(ModelAnswer::good({0x00}));
        unsigned char tur[6] = {};
        EXPECT_TRUE(copy.send_scsi_cmd(tur, 6, nullptr, 0, DXFER_NONE, 0));
    }
    EXPECT_EQ(0, model->accessorsAlive);
    EXPECT_FALSE(accessorLibraryLoaded());
}

// --- serialization strings of devices --------------------------------------

TEST_F(LoadedTest, DevicesWithoutALoadedTransportHaveNoStringAndLeaveTheTextAlone) {
    ScsiDevice systemDevice{qln::SharedFileHandle()};
    ScsiDevice noTransport{AccessorTransfer()};
    ScsiDevice modelDevice(ModelAccessor::transfer(model));
    for (ScsiDevice* device : {&systemDevice, &noTransport, &modelDevice}) {
        qln::String text("kept");
        EXPECT_FALSE(device->serialize(text));
        EXPECT_EQ(qln::String("kept"), text);
    }
}

TEST_F(LoadedTest, AWrittenStringMakesAnEqualDevice) {
    ScsiDeviceTransfer first = ScsiDevice::deserialize("dll:DravikTestAccessor.dll:makeModelAccessor:disk7");
    ASSERT_TRUE(first.isValid());
    qln::String text;
    ASSERT_TRUE(first->serialize(text));
    ScsiDeviceTransfer second = ScsiDevice::deserialize(text);
    ASSERT_TRUE(second.isValid());
    ASSERT_EQ(2u, site().calls.size());
    EXPECT_EQ(site().calls[0], site().calls[1]);
    // Each string made its own wrapper with its own hold on the library.
    EXPECT_NE(wrapperOf(*first.get()), wrapperOf(*second.get()));
    first.reset();
    EXPECT_TRUE(accessorLibraryLoaded());
    second.reset();
    EXPECT_FALSE(accessorLibraryLoaded());
}

}  // namespace
