// The in-memory registry: a tree of keys, shared with every open handle.
#include <atomic>
#include <utility>

#include "platform/registry_view.h"

namespace zan {
namespace {

struct KeyNode {
    std::wstring name;
    std::vector<std::pair<std::wstring, RegistryValue>> values;
    std::vector<std::unique_ptr<KeyNode>> subkeys;

    const KeyNode* FindSubkey(std::wstring_view subkeyName) const {
        for (const auto& subkey : subkeys) {
            if (RegistryNamesEqual(subkey->name, subkeyName)) {
                return subkey.get();
            }
        }
        return nullptr;
    }

    KeyNode* FindOrAddSubkey(std::wstring_view subkeyName) {
        if (const KeyNode* found = FindSubkey(subkeyName)) {
            return const_cast<KeyNode*>(found);
        }
        subkeys.push_back(std::make_unique<KeyNode>());
        subkeys.back()->name = std::wstring(subkeyName);
        return subkeys.back().get();
    }
};

// Splits "A\B\C" into its names; nullopt when one of them is empty. The empty
// path names the root.
std::optional<std::vector<std::wstring_view>> SplitKeyPath(std::wstring_view path) {
    std::vector<std::wstring_view> names;
    if (path.empty()) {
        return names;
    }
    while (true) {
        const std::size_t separator = path.find(L'\\');
        const std::wstring_view name = path.substr(0, separator);
        if (name.empty()) {
            return std::nullopt;
        }
        names.push_back(name);
        if (separator == std::wstring_view::npos) {
            return names;
        }
        path.remove_prefix(separator + 1);
    }
}

KeyNode* AddKeyPath(KeyNode& root, const std::vector<std::wstring_view>& names) {
    KeyNode* node = &root;
    for (const std::wstring_view name : names) {
        node = node->FindOrAddSubkey(name);
    }
    return node;
}

}  // namespace

struct MemoryRegistry::State {
    KeyNode root;
    std::atomic<int> openKeys{0};
};

namespace {

class MemoryKey : public RegistryKey {
public:
    MemoryKey(std::shared_ptr<MemoryRegistry::State> state, const KeyNode* node)
        : state_(std::move(state)), node_(node) {}
    ~MemoryKey() override { --state_->openKeys; }
    MemoryKey(const MemoryKey&) = delete;
    MemoryKey& operator=(const MemoryKey&) = delete;

    std::optional<RegistryValue> QueryValue(std::wstring_view name) const override {
        for (const auto& [valueName, value] : node_->values) {
            if (RegistryNamesEqual(valueName, name)) {
                return value;
            }
        }
        return std::nullopt;
    }

    std::uint32_t SubkeyCount() const override {
        return static_cast<std::uint32_t>(node_->subkeys.size());
    }

    std::optional<std::wstring> SubkeyName(std::uint32_t index) const override {
        if (index >= node_->subkeys.size()) {
            return std::nullopt;
        }
        return node_->subkeys[index]->name;
    }

private:
    std::shared_ptr<MemoryRegistry::State> state_;
    const KeyNode* node_;
};

}  // namespace

MemoryRegistry::MemoryRegistry() : state_(std::make_shared<State>()) {}
MemoryRegistry::~MemoryRegistry() = default;
MemoryRegistry::MemoryRegistry(MemoryRegistry&&) noexcept = default;
MemoryRegistry& MemoryRegistry::operator=(MemoryRegistry&&) noexcept = default;

bool MemoryRegistry::AddKey(std::wstring_view path) {
    const auto names = SplitKeyPath(path);
    if (!names || !state_) {
        return false;
    }
    AddKeyPath(state_->root, *names);
    return true;
}

bool MemoryRegistry::SetValue(std::wstring_view keyPath, std::wstring_view name,
                              RegistryValue value) {
    const auto names = SplitKeyPath(keyPath);
    if (!names || !state_) {
        return false;
    }
    KeyNode* node = AddKeyPath(state_->root, *names);
    for (auto& [valueName, existing] : node->values) {
        if (RegistryNamesEqual(valueName, name)) {
            existing = std::move(value);
            return true;
        }
    }
    node->values.emplace_back(std::wstring(name), std::move(value));
    return true;
}

RegistryKeyHandle MemoryRegistry::OpenKey(std::wstring_view path) const {
    const auto names = SplitKeyPath(path);
    if (!names || !state_) {
        return nullptr;
    }
    const KeyNode* node = &state_->root;
    for (const std::wstring_view name : *names) {
        node = node->FindSubkey(name);
        if (node == nullptr) {
            return nullptr;
        }
    }
    ++state_->openKeys;
    return std::make_unique<MemoryKey>(state_, node);
}

int MemoryRegistry::OpenKeyCount() const {
    return state_ ? state_->openKeys.load() : 0;
}

}  // namespace zan
