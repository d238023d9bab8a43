#pragma once
// The registry's DefaultIcon values of the fixed shell folders: a module
// designation, a comma and an icon index ("%SystemRoot%\System32\imageres.dll,-109").
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "foldertree/tree_services.h"

namespace tf::foldertree {

enum class DefaultIconForm {
    // The first component is an environment reference, the rest is appended
    // to its value (the computer folder).
    kEnvironment,
    // Only the module's file name (third component) counts; it is looked
    // for in the fixed system folder (the other fixed folders).
    kFixedFolder,
};

using EnvironmentLookup = std::function<std::optional<std::string>(const std::string&)>;

// The module and index a DefaultIcon value names, or nothing when the value
// does not have the shape the form needs (the caller then falls back to the
// generic folder icon).
std::optional<IconSource> ClsidDefaultIcon(std::string_view value, DefaultIconForm form,
                                           const EnvironmentLookup& environment);

// The module and index exactly as the value writes them, for when the form's
// reading names no module that exists.
std::optional<IconSource> DefaultIconAsWritten(std::string_view value);

// Registry key name of a fixed folder's DefaultIcon: "CLSID\{...}\DefaultIcon"
// for the key "::{...}".
std::string DefaultIconKeyName(std::string_view classIdKey);

}  // namespace tf::foldertree
