#include "fakes.h"

#include <algorithm>

namespace tf::foldertree::testing {
namespace {

std::pair<std::string, std::string> SplitLast(const std::string& path) {
    const std::size_t slash = path.rfind('\\');
    if (slash == std::string::npos) return {std::string(), path};
    return {path.substr(0, slash), path.substr(slash + 1)};
}

}  // namespace

void FakeFileSystem::AddFolder(const std::string& path) {
    folders_.insert(path);
    entries_[path];
    auto [parent, name] = SplitLast(path);
    if (!parent.empty()) {
        if (!folders_.count(parent)) AddFolder(parent);
        entries_[parent].insert(name);
    }
}

void FakeFileSystem::AddFile(const std::string& path) {
    auto [parent, name] = SplitLast(path);
    if (!folders_.count(parent)) AddFolder(parent);
    entries_[parent].insert(name);
}

void FakeFileSystem::RemoveFolder(const std::string& path) {
    for (auto it = folders_.begin(); it != folders_.end();) {
        if (*it == path || it->rfind(path + "\\", 0) == 0) {
            entries_.erase(*it);
            it = folders_.erase(it);
        } else {
            ++it;
        }
    }
    auto [parent, name] = SplitLast(path);
    entries_[parent].erase(name);
}

void FakeFileSystem::Search(const std::string& folder, const std::string& pattern, platform::SearchDetail,
                            const std::function<void(const platform::FindData&)>& visit) {
    if (pattern != "*" || !folders_.count(folder)) return;
    platform::FindData data;
    for (const char* dots : {".", ".."}) {
        data.name = dots;
        data.isDirectory = true;
        visit(data);
    }
    for (const std::string& name : entries_[folder]) {
        data.name = name;
        data.isDirectory = folders_.count(folder + "\\" + name) != 0;
        visit(data);
    }
}

std::optional<std::string> FakeShell::DefaultIconValue(const std::string& keyName) {
    auto it = registry.find(keyName);
    if (it == registry.end()) return std::nullopt;
    return it->second;
}

std::optional<std::string> FakeShell::Environment(const std::string& name) {
    auto it = environment.find(name);
    if (it == environment.end()) return std::nullopt;
    return it->second;
}

void FakeIcons::Store(const std::string& key) {
    if (store_.IndexOf(key)) {
        ++duplicateStores;
        return;
    }
    // Pictures are told apart by where they were drawn from.
    const std::string picture =
        std::to_string(static_cast<int>(surface_.kind)) + "|" + surface_.file + "|" + std::to_string(surface_.index);
    if (store_.Add(key, picture).added) images_.push_back(surface_);
}

void FakeIcons::Remove(const std::vector<std::string>& keys) {
    const KeyedImageStore::Compaction plan = store_.Remove(keys);
    for (const KeyedImageStore::Move& move : plan.moves) images_[move.to] = images_[move.from];
    images_.resize(plan.count);
}

const IconSource* FakeIcons::Image(const std::string& key) const {
    const std::optional<int> index = store_.IndexOf(key);
    return index ? &images_[*index] : nullptr;
}

void FakeTreeView::Add(NodeId node, NodeId parent, const std::string& text, TreeView::Children children) {
    if (children == Children::kAskModel) askModel.insert(node);
    parents_[node] = parent;
    children_[parent].push_back(node);
    texts[node] = text;
}

void FakeTreeView::Remove(NodeId node) {
    for (NodeId child : Children(node)) Remove(child);
    auto& siblings = children_[parents_[node]];
    siblings.erase(std::find(siblings.begin(), siblings.end(), node));
    children_.erase(node);
    parents_.erase(node);
    texts.erase(node);
    expanded.erase(node);
    askModel.erase(node);
}

std::vector<NodeId> FakeTreeView::Children(NodeId parent) const {
    auto it = children_.find(parent);
    return it == children_.end() ? std::vector<NodeId>() : it->second;
}

}  // namespace tf::foldertree::testing
