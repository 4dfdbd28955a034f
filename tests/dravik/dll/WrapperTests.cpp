// The wrapper itself: every transport operation forwarded to the inner
// accessor, copies and clones sharing the library, wrapping a caller's
// accessor, and the answers of a wrapper whose inner accessor could not be
// cloned.
#include <cstring>
#include <type_traits>

#include "LoadedTest.h"
#include "ModelAccessor.h"

using namespace scsi;
using namespace scsi::test;

namespace {

unsigned char kTestUnitReady[6] = {0x00, 0, 0, 0, 0, 0};

// Wrappers of one library may be copied and destroyed on different threads.
static_assert(std::is_base_of<qln::SharedResourceManagerLockedBase, SharedAccessorLibrary::Manager>::value,
              "the library's use count is atomic");

class WrapperTest : public LoadedTest {
protected:
    void SetUp() override {
        LoadedTest::SetUp();
        library = loadLibrary();
        ASSERT_TRUE(library.get()->isLoaded());
    }
    void TearDown() override {
        library.release();
        LoadedTest::TearDown();
    }
    DLLAccessorTransfer wrap(const char* serialization = kGoodString) {
        return DLLScsiDeviceAccessor::wrapExternalAccessor(library, makeWith(library, serialization));
    }
    SharedAccessorLibrary library;
};

struct WrapperNames : DLLScsiDeviceAccessor {
    using DLLScsiDeviceAccessor::getName;
};

TEST(WrapperNames, TypeTokenAndClassName) {
    EXPECT_STREQ("dll", DLLScsiDeviceAccessor::serialization_prefix);
    EXPECT_STREQ("DLLScsiDeviceAccessor", WrapperNames::getName());
}

TEST_F(WrapperTest, ForwardsEveryOperationToTheInnerAccessor) {
    model->hasAddress = true;
    model->address = scsi_idlun{3, 1, 2, 4};
    model->emulated = true;
    model->maxTransfer = 4096;
    model->on(ModelAnswer::checkCondition({0x00}, fixedSense(0x02, 0x3A, 0x01)));
    DLLAccessorTransfer wrapper = wrap("dll:DravikTestAccessor.dll:makeModelAccessor:disk3");
    ASSERT_TRUE(wrapper.isValid());
    DLLScsiDeviceAccessor& w = *wrapper.get();

    command_result_info result;
    std::memset(&result, 0xEE, sizeof(result));
    // The accessor passes the time-out as given: 0 is not replaced here.
    AccessorCalls::send(w, kTestUnitReady, 6, nullptr, 0, DXFER_NONE, 1234, result);
    ASSERT_EQ(1u, model->commands().size());
    EXPECT_EQ(1234u, model->lastCommand().timeout);
    EXPECT_EQ(CMD_RESULT_SCSI_ERROR, result.result.code);
    EXPECT_EQ(1, result.sense.valid);
    EXPECT_EQ(0x02, result.sense.senseKey);
    EXPECT_EQ(0x3A, result.sense.asc);
    EXPECT_EQ(0x70, result.senseBuffer[0]);
    EXPECT_EQ(0, result.senseBuffer[18]);

    EXPECT_STREQ("Model", AccessorCalls::name(w));  // the inner accessor's name
    EXPECT_TRUE(AccessorCalls::emulated(w));
    EXPECT_EQ(101, AccessorCalls::reset(w));
    scsi_idlun address = {};
    EXPECT_TRUE(AccessorCalls::address(w, address));
    EXPECT_EQ(3, address.targetId);
    EXPECT_EQ(4, address.portNumber);
    EXPECT_EQ(4096u, AccessorCalls::maxTransfer(w));
    qln::String text;
    EXPECT_TRUE(AccessorCalls::driverText(w, 21, text));
    EXPECT_EQ(qln::String("driver error 21"), text);
    EXPECT_TRUE(AccessorCalls::hostText(w, 22, text));
    EXPECT_EQ(qln::String("host error 22"), text);
    EXPECT_TRUE(w.serialize(text));
    EXPECT_EQ(qln::String("dll:DravikTestAccessor.dll:makeModelAccessor:disk3"), text);

    model->emulated = false;
    model->hasAddress = false;
    model->errorTexts = false;
    EXPECT_FALSE(AccessorCalls::emulated(w));
    EXPECT_FALSE(AccessorCalls::address(w, address));
    EXPECT_FALSE(AccessorCalls::driverText(w, 21, text));
}

TEST_F(WrapperTest, CopiesAndClonesShareTheLibraryAndOwnTheirInnerAccessor) {
    DLLAccessorTransfer wrapper = wrap();
    ASSERT_TRUE(wrapper.isValid());
    EXPECT_EQ(2, library.useCount());
    EXPECT_EQ(library.getManager(), libraryOf(*wrapper.get()).getManager());
    EXPECT_EQ(1, model->accessorsAlive);
    // The inner accessor holds whatever handle it needs; the wrapper none.
    EXPECT_EQ(nullptr, AccessorCalls::handle(*wrapper.get()).getManager());

    {
        DLLScsiDeviceAccessor copy(*wrapper.get());
        EXPECT_EQ(3, library.useCount());
        EXPECT_EQ(2, model->accessorsAlive);
        AccessorTransfer clone(wrapper.get()->clone());
        ASSERT_NE(nullptr, dynamic_cast<DLLScsiDeviceAccessor*>(clone.get()));
        EXPECT_EQ(4, library.useCount());
        EXPECT_EQ(3, model->accessorsAlive);
        clone.reset();
        EXPECT_EQ(3, library.useCount());
    }
    EXPECT_EQ(2, library.useCount());
    EXPECT_EQ(1, model->accessorsAlive);

    // The caller's holder goes first: the wrapper alone keeps the library.
    library.release();
    EXPECT_TRUE(accessorLibraryLoaded());
    model->on(ModelAnswer::good({0x00}));
    ScsiDevice device{AccessorTransfer(wrapper.take())};
    EXPECT_TRUE(device.send_scsi_cmd(kTestUnitReady, 6, nullptr, 0, DXFER_NONE, 0));
}

TEST_F(WrapperTest, AssignmentTakesACloneOfTheOtherInnerAccessorAndItsLibrary) {
    // A second holder of the same file: another manager, as another library would have.
    SharedAccessorLibrary other = loadLibrary();
    ModelDevicePtr otherModel = std::make_shared<ModelScsiDevice>();
    otherModel->maxTransfer = 512;
    DLLAccessorTransfer target = wrap();
    site().model = otherModel;
    DLLAccessorTransfer source =
        DLLScsiDeviceAccessor::wrapExternalAccessor(other, makeWith(other, kGoodString));
    ASSERT_TRUE(target.isValid() && source.isValid());
    EXPECT_EQ(1, model->accessorsAlive);
    EXPECT_EQ(1, otherModel->accessorsAlive);

    *target.get() = *source.get();
    EXPECT_EQ(0, model->accessorsAlive);
    EXPECT_EQ(2, otherModel->accessorsAlive);
    EXPECT_EQ(1, library.useCount());
    EXPECT_EQ(3, other.useCount());
    EXPECT_EQ(512u, AccessorCalls::maxTransfer(*target.get()));

    // Assigning a wrapper to itself changes nothing.
    DLLScsiDeviceAccessor& self = *target.get();
    self = *target.get();
    EXPECT_EQ(3, other.useCount());
    EXPECT_EQ(2, otherModel->accessorsAlive);
    EXPECT_EQ(512u, AccessorCalls::maxTransfer(self));

    target.reset();
    source.reset();
    EXPECT_EQ(1, other.useCount());
    EXPECT_EQ(0, otherModel->accessorsAlive);
}

// --- wrapping a caller's accessor ------------------------------------------

enum class Refusal { EmptyHolder, LibraryNotLoaded, EmptyAccessor };

std::string refusalName(const ::testing::TestParamInfo<Refusal>& info) {
    static const char* const names[] = {"EmptyHolder", "LibraryNotLoaded", "EmptyAccessor"};
    return names[static_cast<int>(info.param)];
}

class WrapRefusalTest : public LoadedTest, public ::testing::WithParamInterface<Refusal> {};

TEST_P(WrapRefusalTest, WrapsNothingAndDestroysTheAccessorBeforeReturning) {
    SharedAccessorLibrary holder;
    if (GetParam() == Refusal::LibraryNotLoaded)
        holder = SharedAccessorLibrary(new qln::DynamicLibrary(qln::String(kAccessorLibrary)));
    if (GetParam() == Refusal::EmptyAccessor)
        holder = loadLibrary();
    const int usesBefore = holder.useCount();

    AccessorTransfer accessor;
    if (GetParam() != Refusal::EmptyAccessor)
        accessor = ModelAccessor::transfer(model);
    ASSERT_EQ(GetParam() != Refusal::EmptyAccessor ? 1 : 0, model->accessorsAlive);

    // Read within the same full expression: the caller's argument still exists.
    bool wrapped = true;
    const int aliveOnReturn =
        (wrapped = DLLScsiDeviceAccessor::wrapExternalAccessor(holder, std::move(accessor)).isValid(),
         model->accessorsAlive);
    EXPECT_FALSE(wrapped);
    EXPECT_EQ(0, aliveOnReturn);
    EXPECT_FALSE(accessor.isValid());
    EXPECT_EQ(usesBefore, holder.useCount());
}

INSTANTIATE_TEST_SUITE_P(Refusals, WrapRefusalTest,
                         ::testing::Values(Refusal::EmptyHolder, Refusal::LibraryNotLoaded,
                                           Refusal::EmptyAccessor),
                         refusalName);

// --- an inner accessor that cannot be cloned -------------------------------

TEST_F(WrapperTest, CloneAnswersNullWhenTheInnerCloneFails) {
    DLLAccessorTransfer wrapper = wrap();
    site().failClone = true;
    EXPECT_EQ(nullptr, wrapper.get()->clone());
    EXPECT_EQ(2, library.useCount());
    EXPECT_EQ(1, model->accessorsAlive);
}

// Every answer of a wrapper with nothing to forward to, as a transport that
// cannot reach its device gives them.
void expectFailedTransport(DLLScsiDeviceAccessor& w, const ModelDevicePtr& model) {
    const std::size_t sent = model->commands().size();
    command_result_info result;
    std::memset(&result, 0, sizeof(result));
    AccessorCalls::send(w, kTestUnitReady, 6, nullptr, 0, DXFER_NONE, 0, result);
    EXPECT_EQ(CMD_RESULT_DRIVER_ERROR, result.result.code);
    EXPECT_EQ(static_cast<std::uint32_t>(ERROR_INVALID_FUNCTION), result.result.detail);
    EXPECT_EQ(sent, model->commands().size());
    EXPECT_STREQ("", AccessorCalls::name(w));
    EXPECT_FALSE(AccessorCalls::emulated(w));
    EXPECT_EQ(-1, AccessorCalls::reset(w));
    scsi_idlun address = {9, 9, 9, 9};
    EXPECT_FALSE(AccessorCalls::address(w, address));
    EXPECT_EQ(9, address.targetId);
    EXPECT_EQ(0u, AccessorCalls::maxTransfer(w));
    qln::String text("kept");
    EXPECT_FALSE(AccessorCalls::driverText(w, 5, text));
    EXPECT_FALSE(AccessorCalls::hostText(w, 5, text));
    EXPECT_FALSE(w.serialize(text));
    EXPECT_EQ(qln::String("kept"), text);
    EXPECT_EQ(nullptr, w.clone());
}

TEST_F(WrapperTest, CopyWhoseInnerCloneFailedAnswersAsAFailedTransport) {
    model->hasAddress = true;
    model->emulated = true;
    model->on(ModelAnswer::good({0x00}));
    DLLAccessorTransfer wrapper = wrap();
    site().failClone = true;

    DLLScsiDeviceAccessor copy(*wrapper.get());
    EXPECT_EQ(1, model->accessorsAlive);
    EXPECT_EQ(3, library.useCount());
    expectFailedTransport(copy, model);

    // Assigned from under the same failure, a working wrapper loses its
    // inner accessor rather than keeping a stale one.
    site().failClone = false;
    DLLAccessorTransfer assigned = wrap();
    EXPECT_EQ(2, model->accessorsAlive);
    site().failClone = true;
    *assigned.get() = *wrapper.get();
    EXPECT_EQ(1, model->accessorsAlive);
    expectFailedTransport(*assigned.get(), model);

    // Through a device the failure is a failed command with its result.
    ScsiDevice device{AccessorTransfer(new DLLScsiDeviceAccessor(copy))};
    EXPECT_FALSE(device.send_scsi_cmd(kTestUnitReady, 6, nullptr, 0, DXFER_NONE, 0));
    EXPECT_EQ(CMD_RESULT_DRIVER_ERROR, device.getLastResult().code);
    EXPECT_EQ(0, device.isEmulated());
    EXPECT_EQ(0u, device.getMaxXferSz());
}

}  // namespace
