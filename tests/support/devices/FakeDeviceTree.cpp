#include "FakeDeviceTree.h"

#include <cstring>
#include <cwchar>

#include <setupapi.h>

namespace qln {
namespace test {

namespace {

FakeDeviceTree* s_tree = nullptr;

typedef CONFIGRET(WINAPI* LocateFn)(PDEVINST, DEVINSTID_W, ULONG);
typedef CONFIGRET(WINAPI* ParentFn)(PDEVINST, DEVINST, ULONG);
typedef CONFIGRET(WINAPI* StatusFn)(PULONG, PULONG, DEVINST, ULONG);
typedef CONFIGRET(WINAPI* IdFn)(DEVINST, PWCHAR, ULONG, ULONG);
typedef CONFIGRET(WINAPI* ListSizeFn)(PULONG, PCWSTR, ULONG);
typedef CONFIGRET(WINAPI* ListFn)(PCWSTR, PWCHAR, ULONG, ULONG);
typedef BOOL(WINAPI* PropertyFn)(HDEVINFO, PSP_DEVINFO_DATA, DWORD, PDWORD, PBYTE, DWORD, PDWORD);

LocateFn s_locate = nullptr;
ParentFn s_parent = nullptr;
StatusFn s_status = nullptr;
IdFn s_id = nullptr;
ListSizeFn s_listSize = nullptr;
ListFn s_list = nullptr;
PropertyFn s_property = nullptr;

const std::vector<std::wstring>* relationsOf(const FakeNode& node, ULONG flags) {
    auto it = node.relations.find(flags);
    return it == node.relations.end() ? nullptr : &it->second;
}

}  // namespace

// Entry points of the fakes; they reach the tree through s_tree.
struct FakeDeviceTreeAccess {
    static CONFIGRET WINAPI locate(PDEVINST node, DEVINSTID_W id, ULONG flags) {
        s_tree->calls_.locatedIds.push_back(id ? id : L"");
        FakeNode* fake = id ? s_tree->find(std::wstring(id)) : nullptr;
        if (fake == nullptr)
            return s_locate(node, id, flags);
        if (fake->locateResult == CR_SUCCESS)
            *node = fake->node;
        return fake->locateResult;
    }

    static CONFIGRET WINAPI parent(PDEVINST parentNode, DEVINST node, ULONG flags) {
        FakeNode* fake = s_tree->find(node);
        if (fake == nullptr && node < FakeDeviceTree::FIRST_NODE)
            return s_parent(parentNode, node, flags);
        ++s_tree->calls_.parentCalls;
        if (fake == nullptr)
            return CR_NO_SUCH_DEVNODE;
        if (fake->stubOutputs)
            return CR_SUCCESS;
        if (fake->parent == 0)
            return CR_NO_SUCH_DEVNODE;
        *parentNode = fake->parent;
        return CR_SUCCESS;
    }

    static CONFIGRET WINAPI status(PULONG status, PULONG problem, DEVINST node, ULONG flags) {
        FakeNode* fake = s_tree->find(node);
        if (fake == nullptr && node < FakeDeviceTree::FIRST_NODE)
            return s_status(status, problem, node, flags);
        ++s_tree->calls_.statusCalls;
        if (fake == nullptr)
            return CR_NO_SUCH_DEVNODE;
        if (fake->stubOutputs)
            return CR_SUCCESS;
        if (fake->statusResult == CR_SUCCESS) {
            *status = fake->status;
            *problem = fake->problem;
        }
        return fake->statusResult;
    }

    static CONFIGRET WINAPI deviceId(DEVINST node, PWCHAR buffer, ULONG length, ULONG flags) {
        FakeNode* fake = s_tree->find(node);
        if (fake == nullptr && node < FakeDeviceTree::FIRST_NODE)
            return s_id(node, buffer, length, flags);
        ++s_tree->calls_.idCalls;
        if (fake == nullptr)
            return CR_NO_SUCH_DEVNODE;
        if (fake->idResult != CR_SUCCESS)
            return fake->idResult;
        const std::wstring& id = fake->instanceId;
        if (length < id.size())
            return CR_BUFFER_SMALL;
        std::memcpy(buffer, id.c_str(), id.size() * sizeof(wchar_t));
        if (length > id.size())
            buffer[id.size()] = 0;
        return CR_SUCCESS;
    }

    static CONFIGRET WINAPI listSize(PULONG count, PCWSTR filter, ULONG flags) {
        FakeNode* fake = filter ? s_tree->find(std::wstring(filter)) : nullptr;
        if (fake == nullptr)
            return s_listSize(count, filter, flags);
        ++s_tree->calls_.listSizeCalls;
        if (fake->stubOutputs)
            return CR_SUCCESS;
        if (fake->listSizeResult != CR_SUCCESS)
            return fake->listSizeResult;
        const std::vector<std::wstring>* ids = relationsOf(*fake, flags);
        *count = static_cast<ULONG>(ids ? multiString(*ids).size() : 1);
        return CR_SUCCESS;
    }

    static CONFIGRET WINAPI list(PCWSTR filter, PWCHAR buffer, ULONG length, ULONG flags) {
        FakeNode* fake = filter ? s_tree->find(std::wstring(filter)) : nullptr;
        if (fake == nullptr)
            return s_list(filter, buffer, length, flags);
        ++s_tree->calls_.listCalls;
        if (fake->listResult != CR_SUCCESS)
            return fake->listResult;
        const std::vector<std::wstring>* ids = relationsOf(*fake, flags);
        std::vector<wchar_t> units = multiString(ids ? *ids : std::vector<std::wstring>());
        if (length < units.size())
            return CR_BUFFER_SMALL;
        std::memcpy(buffer, units.data(), units.size() * sizeof(wchar_t));
        return CR_SUCCESS;
    }

    static BOOL WINAPI property(HDEVINFO set, PSP_DEVINFO_DATA data, DWORD code, PDWORD type,
                                PBYTE buffer, DWORD size, PDWORD required) {
        wchar_t id[1024] = {};
        FakeNode* fake = nullptr;
        if (set != INVALID_HANDLE_VALUE && data != nullptr &&
            SetupDiGetDeviceInstanceIdW(set, data, id, 1024, nullptr))
            fake = s_tree->find(std::wstring(id));
        if (fake == nullptr)
            return s_property(set, data, code, type, buffer, size, required);
        ++s_tree->calls_.propertyCalls;
        auto it = fake->properties.find(code);
        if (it == fake->properties.end())
            return s_property(set, data, code, type, buffer, size, required);
        const FakeProperty& answer = it->second;
        const DWORD bytes = static_cast<DWORD>(answer.data.size());
        if (type != nullptr)
            *type = answer.type;
        if (buffer == nullptr || size < bytes) {
            if (required != nullptr)
                *required = answer.announcedBytes != 0 ? answer.announcedBytes : bytes;
            SetLastError(ERROR_INSUFFICIENT_BUFFER);
            return FALSE;
        }
        if (required != nullptr)
            *required = bytes;
        if (bytes != 0)
            std::memcpy(buffer, answer.data.data(), bytes);
        return TRUE;
    }
};

void FakeNode::setText(DWORD property, const std::wstring& text) {
    std::vector<BYTE> bytes((text.size() + 1) * sizeof(wchar_t), 0);
    std::memcpy(bytes.data(), text.c_str(), text.size() * sizeof(wchar_t));
    setRaw(property, REG_SZ, bytes);
}

void FakeNode::setRaw(DWORD property, DWORD type, const std::vector<BYTE>& data) {
    properties[property] = FakeProperty{type, data};
}

FakeDeviceTree::FakeDeviceTree(HMODULE module) {
    s_tree = this;
    const ImportFake imports[] = {
        {"CM_Locate_DevNodeW", reinterpret_cast<void*>(&FakeDeviceTreeAccess::locate),
         reinterpret_cast<void**>(&s_locate)},
        {"CM_Get_Parent", reinterpret_cast<void*>(&FakeDeviceTreeAccess::parent),
         reinterpret_cast<void**>(&s_parent)},
        {"CM_Get_DevNode_Status", reinterpret_cast<void*>(&FakeDeviceTreeAccess::status),
         reinterpret_cast<void**>(&s_status)},
        {"CM_Get_Device_IDW", reinterpret_cast<void*>(&FakeDeviceTreeAccess::deviceId),
         reinterpret_cast<void**>(&s_id)},
        {"CM_Get_Device_ID_List_SizeW", reinterpret_cast<void*>(&FakeDeviceTreeAccess::listSize),
         reinterpret_cast<void**>(&s_listSize)},
        {"CM_Get_Device_ID_ListW", reinterpret_cast<void*>(&FakeDeviceTreeAccess::list),
         reinterpret_cast<void**>(&s_list)},
        {"SetupDiGetDeviceRegistryPropertyW", reinterpret_cast<void*>(&FakeDeviceTreeAccess::property),
         reinterpret_cast<void**>(&s_property)},
    };
    patchImports(patches_, module, "setupapi.dll", imports);
}

FakeDeviceTree::~FakeDeviceTree() {
    patches_.clear();
    s_tree = nullptr;
}

bool FakeDeviceTree::applied() const {
    return allApplied(patches_);
}

FakeNode& FakeDeviceTree::addNode(const std::wstring& instanceId) {
    if (FakeNode* known = find(instanceId))
        return *known;
    std::unique_ptr<FakeNode> node(new FakeNode());
    node->instanceId = instanceId;
    node->node = FIRST_NODE + static_cast<DEVINST>(nodes_.size());
    nodes_.push_back(std::move(node));
    return *nodes_.back();
}

FakeNode* FakeDeviceTree::find(const std::wstring& instanceId) {
    for (const std::unique_ptr<FakeNode>& node : nodes_) {
        if (_wcsicmp(node->instanceId.c_str(), instanceId.c_str()) == 0)
            return node.get();
    }
    return nullptr;
}

FakeNode* FakeDeviceTree::find(DEVINST node) {
    if (node < FIRST_NODE || node - FIRST_NODE >= nodes_.size())
        return nullptr;
    return nodes_[node - FIRST_NODE].get();
}

}  // namespace test
}  // namespace qln
