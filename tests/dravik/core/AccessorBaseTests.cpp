// The accessor base: its shared file handle follows the holder rules, and
// the defaults a transport inherits.
#include <windows.h>

#include <gtest/gtest.h>

#include "ScsiDeviceAccessor.h"

using namespace scsi;

namespace {

// The smallest transport: only what the base leaves abstract.
class HandleAccessor : public ScsiDeviceAccessor {
public:
    HandleAccessor() {}
    explicit HandleAccessor(const qln::SharedFileHandle& handle) : ScsiDeviceAccessor(handle) {}
    ScsiDeviceAccessor* clone() const override { return new HandleAccessor(*this); }
    const qln::SharedFileHandle& handle() const { return getFileHandle(); }
    int reset() { return doReset(SCSI_RESET_DEVICE); }
    bool address(scsi_idlun& out) const { return getAddress(out); }

protected:
    void send_scsi_cmd(void*, unsigned int, void*, unsigned int, DXFER_DIRECTION, unsigned int,
                       command_result_info&) override {}
    const char* vGetName() const override { return "Handle"; }
    bool isEmulated() const override { return false; }
    unsigned int getMaxXferSz() const override { return 0; }
    bool getDriverErrStr(unsigned int, qln::String&) const override { return false; }
    bool getHostErrStr(unsigned int, qln::String&) const override { return false; }
};

qln::SharedFileHandle eventHandle() {
    return qln::SharedFileHandle(static_cast<qln::Handle>(CreateEventW(nullptr, TRUE, FALSE, nullptr)));
}

bool isOpen(qln::Handle handle) {
    DWORD flags = 0;
    return GetHandleInformation(static_cast<HANDLE>(handle), &flags) != FALSE;
}

TEST(AccessorBase, SharesTheHandleAndClosesItWithTheLastHolder) {
    qln::SharedFileHandle first = eventHandle();
    qln::SharedFileHandle second = eventHandle();
    const qln::Handle h1 = first.get();
    const qln::Handle h2 = second.get();

    HandleAccessor a(first);
    HandleAccessor b(second);
    EXPECT_EQ(2, first.useCount());
    first.release();
    second.release();
    EXPECT_EQ(h1, a.handle().get());

    HandleAccessor* copy = static_cast<HandleAccessor*>(a.clone());
    EXPECT_EQ(2, a.handle().useCount());

    b = a;  // b held the last use of the second handle
    EXPECT_FALSE(isOpen(h2));
    EXPECT_EQ(h1, b.handle().get());
    EXPECT_EQ(3, a.handle().useCount());
    b = *copy;  // already sharing: nothing changes
    EXPECT_EQ(3, a.handle().useCount());

    delete copy;
    EXPECT_EQ(2, a.handle().useCount());
    HandleAccessor empty;
    b = empty;
    EXPECT_EQ(1, a.handle().useCount());
    EXPECT_EQ(reinterpret_cast<qln::Handle>(-1), b.handle().get());
    EXPECT_TRUE(isOpen(h1));
    a = empty;
    EXPECT_FALSE(isOpen(h1));
}

TEST(AccessorBase, EmptyGivenHandleGivesAnEmptyHandle) {
    qln::SharedFileHandle none;
    HandleAccessor a(none);
    EXPECT_EQ(reinterpret_cast<qln::Handle>(-1), a.handle().get());
    EXPECT_EQ(nullptr, a.handle().getManager());
}

TEST(AccessorBase, InheritedDefaults) {
    HandleAccessor a;
    qln::String text("kept");
    EXPECT_FALSE(a.serialize(text));
    EXPECT_EQ(qln::String("kept"), text);
    EXPECT_EQ(-1, a.reset());
    scsi_idlun address = {1, 2, 3, 4};
    EXPECT_FALSE(a.address(address));
    EXPECT_EQ(1, address.targetId);
}

}  // namespace
