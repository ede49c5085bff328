#pragma once
// A component's registry script, applied in register or unregister mode. The script names a root and a
// tree of keys:
//   HKCR
//   {
//       NoRemove CLSID
//       {
//           ForceRemove {GUID} = s 'Default value'
//           {
//               InprocServer32 = s '%MODULE%'
//               {
//                   val ThreadingModel = s 'Apartment'
//               }
//           }
//       }
//   }
// Quoted texts use '' for a quote. %NAME% is replaced from the replacement table before parsing.
// Register mode: a ForceRemove key is deleted with its subtree and made afresh, other keys are created or
// opened and their values written. Unregister mode: a ForceRemove key is deleted with its subtree; a key
// without a flag is deleted once nothing is left under it; a NoRemove key is never deleted, only what the
// script names under it is removed.
#include "com/Com.h"
#include "com/Registry.h"

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace com {

using Replacements = std::vector<std::pair<std::string, std::string>>;

// Applies the script to the registry in memory. E_INVALIDARG for a script that does not parse or names a
// root other than HKCR / HKEY_CLASSES_ROOT; nothing is changed then.
HRESULT ApplyRegistryScript(std::string_view script, const Replacements& replacements, bool registering,
                            Registry& registry);

// The same on the per-user registry file, in one locked, atomic update.
HRESULT UpdateRegistryFromScript(std::string_view script, const Replacements& replacements, bool registering,
                                 const std::string& path = Registry::DefaultPath());

} // namespace com
