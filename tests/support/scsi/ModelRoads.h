// Both ways of reaching a model device from a device object: the test
// transport handed to the device (ModelAccessor) or the library's own
// pass-through answered by the DeviceIoControl fake. A command set test is
// parameterised on the road and builds its device through ModelRoad.
#pragma once

#include <memory>
#include <ostream>

#include "FakeDeviceIoControl.h"
#include "ModelAccessor.h"
#include "ModelScsiDevice.h"
#include "qln/FileHandle.h"

namespace scsi {
namespace test {

enum class Road { TestAccessor, PassThrough };

inline const char* roadName(Road road) {
    return road == Road::TestAccessor ? "TestAccessor" : "PassThrough";
}

inline std::ostream& operator<<(std::ostream& out, Road road) {
    return out << roadName(road);
}

class ModelRoad {
public:
    ModelRoad(Road road, const ModelDevicePtr& model) : road_(road), model_(model) {
        if (road_ == Road::PassThrough) {
            fake_.reset(new FakeDeviceIoControl());
            handle_ = fake_->makeHandle(model_);
        }
    }

    Road road() const { return road_; }
    // False when the fake could not be patched into the library.
    bool ready() const { return road_ == Road::TestAccessor || fake_->applied(); }

    // A device object of type D on the model (D is built from an accessor
    // holder or from a shared file handle).
    template <class D>
    std::unique_ptr<D> make() {
        if (road_ == Road::TestAccessor)
            return std::unique_ptr<D>(new D(ModelAccessor::transfer(model_)));
        return std::unique_ptr<D>(new D(handle_));
    }

    // The time-out the model records for a command sent with `ms`
    // milliseconds: milliseconds through the test transport, whole seconds
    // (rounded up) through the pass-through.
    std::uint32_t recordedTimeout(std::uint32_t ms) const {
        return road_ == Road::TestAccessor ? ms : static_cast<std::uint32_t>((ms + 999ull) / 1000);
    }

private:
    ModelRoad(const ModelRoad&) = delete;
    ModelRoad& operator=(const ModelRoad&) = delete;

    Road road_;
    ModelDevicePtr model_;
    std::unique_ptr<FakeDeviceIoControl> fake_;
    qln::SharedFileHandle handle_;
};

}  // namespace test
}  // namespace scsi
