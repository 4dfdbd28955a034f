// The installer host interface of Kestrine: the string stack, the user
// variables and the entry sequence shared by every exported action.
//
// The installer calls each action with its string size (UTF-16 units of every
// host string, terminator included), the address of its 25 user-variable slots
// and the address of its stack-head pointer. The action stores these in the
// three module variables below before it touches the stack; nothing else of the
// host is kept.
#pragma once

#include <windows.h>

namespace kestrine {

// One entry of the installer's string stack as the host lays it out: the link
// to the entry below, then the text (hostStringSize units). Nodes come from the
// global allocator; whoever pushes allocates, whoever pops frees.
struct HostStackNode {
    HostStackNode* next;
    wchar_t text[1];
};

// The host's extra parameters; the plug-in never reads them.
struct HostExtraParameters;

// Every action pops each parameter into a buffer of this many units of its own.
const int kParameterUnits = 1024;
// User-variable slots the host passes ($0-$9, $R0-$R9, then five more).
const unsigned kUserVariableCount = 25;
// The slot the installer's scripts know as $R0.
const unsigned kVariableR0 = 10;

// The three module variables, overwritten at the entry of every action.
extern int hostStringSize;
extern wchar_t* hostVariables;
extern HostStackNode** hostStackTop;

// Step 1 of every action: take over the host's pointers.
void enterAction(int stringSize, wchar_t* variables, HostStackNode** stackTop);

// Pops the top text into `destination`, which holds kParameterUnits units (or
// hostStringSize units when that is smaller). A host text longer than the
// buffer is cut to one unit less and terminated. Returns 0 when a text was
// popped, 1 when there is no stack or it is empty (the buffer is then left as
// it was).
int popString(wchar_t* destination);

// Empties the parameter buffer, then pops into it: a pop from an empty stack
// leaves an empty parameter.
void popParameter(wchar_t (&buffer)[kParameterUnits]);

// Pushes a copy of the text, cut to hostStringSize - 1 units. Without a stack,
// or when the node cannot be allocated, the text is dropped.
void pushString(const wchar_t* text);

// Copies the text into user-variable slot `index` (0-24), cut to
// hostStringSize - 1 units. A null text or an index above 24 is ignored.
void setUserVariable(unsigned index, const wchar_t* text);

}  // namespace kestrine

// Declares an exported action with the installer's plug-in signature: plain
// name, C calling convention, no result.
#define KESTRINE_ACTION(name)                                                            \
    extern "C" __declspec(dllexport) void __cdecl name(                                  \
        HWND, int stringSize, wchar_t* variables, kestrine::HostStackNode** stackTop,     \
        kestrine::HostExtraParameters*)
