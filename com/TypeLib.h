#pragma once
// Type libraries: the description of a component's automation interface (library, class, interface,
// members with their DISPIDs, kinds and typed parameters). A component registers its library into the
// registry ("TypeLib\{LIBID}\major.minor") with the description written to a file beside the registry file;
// its IDispatch loads it back from there, so dispatch by name works only after registration.
#include "com/Com.h"
#include "com/Registry.h"

#include <optional>
#include <string>
#include <vector>

namespace com {

enum class MemberKind { Method, PropertyGet, PropertyPut };

struct ParamDesc {
    std::string name; // may be empty (the value of a property put)
    VARTYPE vt = VT_I4;
    bool retval = false; // the out, retval parameter: the call's result
};

struct MemberDesc {
    std::string name;
    DISPID dispid = 0;
    MemberKind kind = MemberKind::Method;
    std::vector<ParamDesc> params;
    std::string help;
    size_t InCount() const;
    const ParamDesc* Retval() const;
};

struct TypeLibDesc {
    std::string name;
    GUID libid;
    uint16_t major = 1;
    uint16_t minor = 0;
    std::string help;
    std::string coclassName;
    GUID clsid;
    std::string coclassHelp;
    std::string interfaceName;
    GUID iid;
    std::string interfaceHelp;
    bool dual = true;
    std::vector<MemberDesc> members; // in vtable slot order after the IDispatch slots
};

std::string SerializeTypeLib(const TypeLibDesc& lib);
std::optional<TypeLibDesc> ParseTypeLib(std::string_view text);

// Writes the description file and the TypeLib keys (help string, "0\linux" = file path, FLAGS, HELPDIR).
HRESULT RegisterTypeLib(const TypeLibDesc& lib, const std::string& registryPath = Registry::DefaultPath());
// Finds the library by LIBID and version in the registry and reads its description.
// TYPE_E_LIBNOTREGISTERED when it is not registered, TYPE_E_CANTLOADLIBRARY when its file is unreadable.
HRESULT LoadRegTypeLib(const GUID& libid, uint16_t major, uint16_t minor, TypeLibDesc* out,
                       const std::string& registryPath = {});

// IDispatch::GetIDsOfNames from a description: names[0] is the member (letter case ignored), further names
// are its parameters. Unknown names give DISPID_UNKNOWN and DISP_E_UNKNOWNNAME.
HRESULT GetIDsOfNamesFrom(const TypeLibDesc& lib, char16_t** names, uint32_t count, DISPID* ids);

// The checked and converted in-arguments of one call, in declaration order.
struct PreparedCall {
    const MemberDesc* member = nullptr;
    std::vector<VARIANT> args;
    PreparedCall() = default;
    PreparedCall(const PreparedCall&) = delete;
    PreparedCall& operator=(const PreparedCall&) = delete;
    ~PreparedCall();
};

// The checks of IDispatch::Invoke: the member by DISPID and call kind (DISP_E_MEMBERNOTFOUND), the number
// of arguments (DISP_E_BADPARAMCOUNT), named arguments (DISP_E_PARAMNOTFOUND), each argument converted to its
// declared type (DISP_E_TYPEMISMATCH or DISP_E_OVERFLOW, with *argErr the argument's position in rgvarg).
HRESULT PrepareInvoke(const TypeLibDesc& lib, DISPID id, uint16_t flags, const DISPPARAMS* params,
                      PreparedCall* call, uint32_t* argErr);

} // namespace com
