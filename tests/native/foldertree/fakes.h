#pragma once
// In-memory stand-ins for the services of the folder tree.
#include <map>
#include <set>
#include <string>
#include <vector>

#include "foldertree/folder_tree.h"
#include "foldertree/keyed_image_store.h"
#include "platform/file_system.h"

namespace tf::foldertree::testing {

// Windows-style paths ("C:\a\b"); a folder lists ".", "..", then its
// entries sorted by name, as NTFS does.
class FakeFileSystem : public platform::FileSystem {
public:
    void AddFolder(const std::string& path);
    void AddFile(const std::string& path);
    void RemoveFolder(const std::string& path);  // with everything below

    char Separator() const override { return '\\'; }
    void Search(const std::string& folder, const std::string& pattern, platform::SearchDetail detail,
                const std::function<void(const platform::FindData&)>& visit) override;
    bool IsDirectory(const std::string& path) override { return folders_.count(path) != 0; }
    std::uint64_t LargeFileSize(const std::string&) override { return 0; }
    std::string TypeName(const std::string&) override { return "File"; }
    platform::FolderId Identify(const std::string&) override { return {}; }
    bool HasSubdirectory(const std::string& folder) override {
        ++probes;
        return FileSystem::HasSubdirectory(folder);
    }
    int probes = 0;

private:
    std::set<std::string> folders_;
    std::map<std::string, std::set<std::string>> entries_;  // folder -> names
};

class FakeShell : public ShellServices {
public:
    std::map<ShellNamespace, std::vector<ShellItem>> items;
    std::string desktopDirectory;
    std::map<std::string, std::string> registry;
    std::map<std::string, std::string> environment;

    std::vector<ShellItem> Items(ShellNamespace ns) override { return items[ns]; }
    std::string DesktopDirectory() override { return desktopDirectory; }
    std::optional<std::string> DefaultIconValue(const std::string& keyName) override;
    std::optional<std::string> Environment(const std::string& name) override;
};

// An image list that remembers which source each image was drawn from.
class FakeIcons : public NodeIcons {
public:
    void Draw(const IconSource& source) override { surface_ = source; }
    void Store(const std::string& key) override;
    void Remove(const std::vector<std::string>& keys) override;

    // The source of the image stored under `key`, found by its index.
    const IconSource* Image(const std::string& key) const;
    int Count() const { return store_.Count(); }
    int KeyCount() const { return store_.KeyCount(); }
    int duplicateStores = 0;

private:
    IconSource surface_;
    KeyedImageStore store_;
    std::vector<IconSource> images_;  // by index, as the image list holds them
};

// Mirrors the control's structure from the calls it receives.
class FakeTreeView : public TreeView {
public:
    void Add(NodeId node, NodeId parent, const std::string& text, Children children) override;
    void Remove(NodeId node) override;
    void RemoveChildren(NodeId node) override {
        for (NodeId child : Children(node)) Remove(child);
    }
    void Expand(NodeId node) override { expanded.insert(node); }

    std::vector<NodeId> Children(NodeId parent) const;
    std::set<NodeId> expanded;
    std::map<NodeId, std::string> texts;
    std::set<NodeId> askModel;  // added with Children::kAskModel

private:
    std::map<NodeId, NodeId> parents_;
    std::map<NodeId, std::vector<NodeId>> children_;
};

}  // namespace tf::foldertree::testing
