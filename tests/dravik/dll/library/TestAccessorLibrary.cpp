// An accessor library: its factory makes a transport on the test program's
// model device. Each accessor writes back the serialization string it was
// made from.
#include <windows.h>

#include "AccessorSite.h"
#include "ModelAccessor.h"
#include "qln/Array.h"
#include "qln/String.h"

using namespace scsi;
using namespace scsi::test;

namespace {

AccessorSite* site() {
    return reinterpret_cast<AccessorSite*>(GetProcAddress(GetModuleHandleW(nullptr), kAccessorSiteExport));
}

class LibraryAccessor : public ModelAccessor {
public:
    LibraryAccessor(const ModelDevicePtr& model, const qln::String& serialization)
        : ModelAccessor(model), serialization_(serialization) {}

    bool serialize(qln::String& out) const override {
        out = serialization_;
        return true;
    }
    ScsiDeviceAccessor* clone() const override {
        AccessorSite* s = site();
        return s != nullptr && s->failClone ? nullptr : new LibraryAccessor(*this);
    }

protected:
    // Tells the wrapper's forwarding apart from its base's answer (-1).
    int doReset(SCSI_RESET_TARGET target) override { return 100 + static_cast<int>(target); }

private:
    qln::String serialization_;
};

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID /*reserved*/) {
    if (reason == DLL_PROCESS_ATTACH) {
        AccessorSite* s = site();
        wchar_t file[MAX_PATH];
        const DWORD length = GetModuleFileNameW(instance, file, MAX_PATH);
        if (s != nullptr && length != 0 && length < MAX_PATH)
            s->loads.push_back(std::wstring(file, length));
    }
    return TRUE;
}

extern "C" __declspec(dllexport) ScsiDeviceAccessor* __cdecl makeModelAccessor(
    const qln::Array<qln::String>& tokens) {
    AccessorSite* s = site();
    if (s == nullptr)
        return nullptr;
    std::vector<std::wstring> call;
    qln::String serialization;
    for (qln::Uint32 i = 0; i < tokens.size(); ++i) {
        call.push_back(tokens[i].native());
        if (i != 0)
            serialization += qln::String(":");
        serialization += tokens[i];
    }
    s->calls.push_back(call);
    if (s->answerNull || !s->model)
        return nullptr;
    return new LibraryAccessor(s->model, serialization);
}
