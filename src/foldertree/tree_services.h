#pragma once
// What the folder tree asks of its surroundings: the shell's namespaces, the
// icons of its nodes and the control that shows them. Each has a Win32
// implementation beside the model and fakes in the tests.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tf::foldertree {

// The shell namespaces the tree reads, by their special-folder numbers.
enum class ShellNamespace : int {
    kDesktop = 0,
    kControls = 3,
    kDrives = 17,
    kNetwork = 18,
};

struct ShellItem {
    std::string name;  // display name
    std::string path;  // parsing path; class-identifier segments in upper case
    bool isFolder = false;
};

class ShellServices {
public:
    virtual ~ShellServices() = default;
    // The items of a namespace in the shell's order; none when it cannot be read.
    virtual std::vector<ShellItem> Items(ShellNamespace ns) = 0;
    // The user's desktop directory, or empty when the platform has none.
    virtual std::string DesktopDirectory() = 0;
    // The default value of HKEY_CLASSES_ROOT\<keyName>, when it exists.
    virtual std::optional<std::string> DefaultIconValue(const std::string& keyName) = 0;
    virtual std::optional<std::string> Environment(const std::string& name) = 0;
};

// Where a node's icon comes from.
struct IconSource {
    enum class Kind {
        kGenericFolder,  // when nothing better is known
        kModule,         // icon `index` of module `file` (a negative index is a resource id)
        kPath,           // the shell's icon for the file-system object `file`
        kShellItem,      // the shell's icon for the item whose parsing name is `file` ("::{...}")
    };
    Kind kind = Kind::kGenericFolder;
    std::string file;
    int index = 0;
    // Tried in order when this source yields no icon; after the last, the
    // generic folder.
    std::vector<IconSource> fallbacks = {};
};

// The image list of the tree, fed through one drawing surface: Draw puts an
// icon on the surface, Store adds the surface's image under a key. A source
// that yields no icon draws the generic folder icon instead.
class NodeIcons {
public:
    virtual ~NodeIcons() = default;
    virtual void Draw(const IconSource& source) = 0;
    virtual void Store(const std::string& key) = 0;
    // Removes the images of these keys; keys without an image are ignored.
    virtual void Remove(const std::vector<std::string>& keys) = 0;
};

using NodeId = std::uint32_t;
inline constexpr NodeId kNoNode = 0;

// The tree control as the model drives it. Nodes are identified by the
// model's ids; the control keeps its own handles for them.
class TreeView {
public:
    virtual ~TreeView() = default;
    // How the control learns whether a node can be expanded.
    enum class Children {
        kFromItems,  // from the items added below it
        kAskModel,   // from FolderTree::HasChildren, when it shows the node
    };
    // Adds `node` as the last child of `parent` (kNoNode: top level).
    virtual void Add(NodeId node, NodeId parent, const std::string& text, Children children) = 0;
    // Removes the node together with everything below it.
    virtual void Remove(NodeId node) = 0;
    // Removes everything below the node, in one go: a collapsed folder of
    // thousands of children costs what its listing did.
    virtual void RemoveChildren(NodeId node) = 0;
    virtual void Expand(NodeId node) = 0;
};

}  // namespace tf::foldertree
