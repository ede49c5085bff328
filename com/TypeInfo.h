#pragma once
// The type information of a library's interface, as IDispatch::GetTypeInfo serves it: the dispatch view of
// the interface (each member a dispatch function whose retval parameter is its return type), its names and
// help strings, and GetIDsOfNames and Invoke, which call the member through the instance's table slot.
#include "com/Com.h"
#include "com/TypeLib.h"

namespace com {

// A new type information object with one reference for the caller. It keeps its own copy of the library.
// lock and unlock (either may be null) run when it is made and when its last reference goes, so that a
// module whose code it runs is not unloaded while a caller still holds it.
HRESULT CreateDispatchTypeInfo(TypeLibDesc lib, ITypeInfo** out, void (*lock)() = nullptr,
                               void (*unlock)() = nullptr);

} // namespace com
