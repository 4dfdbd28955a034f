#include "HostInterface.h"

#include <cstdint>

namespace kestrine {

int hostStringSize = 0;
wchar_t* hostVariables = nullptr;
HostStackNode** hostStackTop = nullptr;

void enterAction(int stringSize, wchar_t* variables, HostStackNode** stackTop) {
    hostStringSize = stringSize;
    hostStackTop = stackTop;
    hostVariables = variables;
}

int popString(wchar_t* destination) {
    // A host without a single unit per string has no text to give.
    if (hostStackTop == nullptr || *hostStackTop == nullptr || hostStringSize < 1)
        return 1;
    HostStackNode* top = *hostStackTop;
    // The host wrote at most hostStringSize units into the node; the buffer
    // holds kParameterUnits. Copy no more than the smaller of the two, so a
    // larger host's text is cut and terminated rather than overrunning.
    int limit = hostStringSize < kParameterUnits ? hostStringSize : kParameterUnits;
    lstrcpynW(destination, top->text, limit);
    *hostStackTop = top->next;
    GlobalFree(top);
    return 0;
}

void popParameter(wchar_t (&buffer)[kParameterUnits]) {
    buffer[0] = 0;
    popString(buffer);
}

void pushString(const wchar_t* text) {
    if (hostStackTop == nullptr || text == nullptr || hostStringSize < 1)
        return;
    // Node: link and text of hostStringSize units, with room to spare for the
    // link on either width. Refuse a size whose byte count would wrap.
    const std::size_t units = static_cast<std::size_t>(hostStringSize);
    if (units > (SIZE_MAX - 8) / sizeof(wchar_t))
        return;
    HostStackNode* node =
        static_cast<HostStackNode*>(GlobalAlloc(GPTR, units * sizeof(wchar_t) + 8));
    if (node == nullptr)
        return;
    lstrcpynW(node->text, text, hostStringSize);
    node->next = *hostStackTop;
    *hostStackTop = node;
}

void setUserVariable(unsigned index, const wchar_t* text) {
    if (text == nullptr || index >= kUserVariableCount || hostVariables == nullptr ||
        hostStringSize < 1)
        return;
    lstrcpynW(hostVariables + static_cast<std::size_t>(index) * hostStringSize, text,
              hostStringSize);
}

}  // namespace kestrine
