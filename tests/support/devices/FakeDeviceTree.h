// Fakes of the configuration-manager imports and of the registry-property
// read of the setup API for the test's own device nodes.
//
// Wine has only stubs for CM_Locate_DevNodeW, CM_Get_Parent,
// CM_Get_DevNode_Status and the device-id lists, and no enumerator-name
// property. While a FakeDeviceTree lives, these imports of one module (the
// test program by default) answer from the nodes added here; every call for
// another id or node goes to the system. One tree at a time.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include <windows.h>
#include <cfgmgr32.h>

#include "ImportFakes.h"

namespace qln {
namespace test {

struct FakeProperty {
    DWORD type;
    std::vector<BYTE> data;
    // The size a read without room reports, when not 0; a property that
    // changes between the two reads answers less than it announced.
    DWORD announcedBytes = 0;
};

// One fake node. Tests change the answers through the reference that
// FakeDeviceTree::addNode returns.
struct FakeNode {
    std::wstring instanceId;
    DEVINST node = 0;
    // CM_Locate_DevNodeW: this result, the node only on success.
    CONFIGRET locateResult = CR_SUCCESS;
    // CM_Get_Parent: the parent node; 0 answers CR_NO_SUCH_DEVNODE (a root).
    DEVINST parent = 0;
    // CM_Get_DevNode_Status.
    CONFIGRET statusResult = CR_SUCCESS;
    ULONG status = 0x0000000A;  // driver loaded, started
    ULONG problem = 0;
    // CM_Get_Device_IDW on the node.
    CONFIGRET idResult = CR_SUCCESS;
    // CM_Get_Device_ID_List(_Size)W with this id as filter, by filter flags.
    std::map<ULONG, std::vector<std::wstring>> relations;
    CONFIGRET listSizeResult = CR_SUCCESS;
    CONFIGRET listResult = CR_SUCCESS;
    // As Wine's stubs do: CM_Get_Parent, CM_Get_DevNode_Status and
    // CM_Get_Device_ID_List_SizeW answer CR_SUCCESS and write no output.
    bool stubOutputs = false;
    // SetupDiGetDeviceRegistryPropertyW answers for these property codes.
    std::map<DWORD, FakeProperty> properties;

    // A REG_SZ property with its terminating NUL.
    void setText(DWORD property, const std::wstring& text);
    void setRaw(DWORD property, DWORD type, const std::vector<BYTE>& data);
};

// Calls that reached a fake, for the nodes of the tree or not.
struct FakeCallLog {
    std::vector<std::wstring> locatedIds;  // every id given to CM_Locate_DevNodeW (null as "")
    unsigned parentCalls = 0;
    unsigned statusCalls = 0;
    unsigned idCalls = 0;
    unsigned listSizeCalls = 0;
    unsigned listCalls = 0;
    unsigned propertyCalls = 0;  // registry-property reads of the tree's devices
    unsigned configurationCalls() const {
        return static_cast<unsigned>(locatedIds.size()) + parentCalls + statusCalls + idCalls +
               listSizeCalls + listCalls;
    }
};

class FakeDeviceTree {
public:
    // The node numbers of the tree lie in this range, far above the system's.
    static constexpr DEVINST FIRST_NODE = 0x51E00001;

    explicit FakeDeviceTree(HMODULE module = GetModuleHandleW(nullptr));
    ~FakeDeviceTree();

    // True when every import was found and replaced.
    bool applied() const;

    // The node of `instanceId` (added on first use); the id is matched
    // without regard to letter case.
    FakeNode& addNode(const std::wstring& instanceId);
    FakeNode* find(const std::wstring& instanceId);
    FakeNode* find(DEVINST node);

    FakeCallLog& calls() { return calls_; }
    void clearCalls() { calls_ = FakeCallLog(); }

private:
    FakeDeviceTree(const FakeDeviceTree&) = delete;
    FakeDeviceTree& operator=(const FakeDeviceTree&) = delete;

    friend struct FakeDeviceTreeAccess;

    std::vector<std::unique_ptr<FakeNode>> nodes_;
    FakeCallLog calls_;
    ImportPatches patches_;
};

}  // namespace test
}  // namespace qln
