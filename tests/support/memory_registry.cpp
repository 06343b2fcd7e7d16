#include "memory_registry.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

namespace quillaro::testing {

namespace {

constexpr std::uint32_t kKeySetValue = 0x0002;
constexpr std::uint32_t kKeyEnumerateSubKeys = 0x0008;
constexpr std::uint32_t kKeyRead = 0x20019;

// Names are ASCII in practice; folding only A-Z keeps the comparison cheap and locale-free.
unsigned char Lower(char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte >= 'A' && byte <= 'Z' ? static_cast<unsigned char>(byte + ('a' - 'A')) : byte;
}

bool EqualNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return Lower(x) == Lower(y); });
}

std::vector<std::string_view> SplitPath(std::string_view path) {
    std::vector<std::string_view> parts;
    while (!path.empty()) {
        const std::size_t cut = path.find('\\');
        parts.push_back(path.substr(0, cut));
        if (cut == std::string_view::npos) break;
        path.remove_prefix(cut + 1);
    }
    return parts;
}

}  // namespace

bool RegistryNameLess::operator()(std::string_view a, std::string_view b) const {
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                        [](char x, char y) { return Lower(x) < Lower(y); });
}

struct MemoryRegistry::Node {
    std::string name;
    std::string path;
    Node* parent = nullptr;
    std::map<std::string, std::unique_ptr<Node>, RegistryNameLess> children;
    std::vector<std::pair<std::string, StoredValue>> values;
    bool deniesFullAccess = false;
    bool deniesAllAccess = false;
    std::map<std::uint32_t, std::int32_t> failingEnumIndexes;
    // The child last enumerated and its index, so enumerating in order takes constant time
    // per call as Wine's sorted array of subkeys does; reset whenever a child is added.
    std::uint32_t enumIndex = 0;
    std::map<std::string, std::unique_ptr<Node>, RegistryNameLess>::iterator enumAt;
    bool enumValid = false;
    std::int32_t queryInfoError = kErrorSuccess;
    std::int32_t writeError = kErrorSuccess;

    StoredValue* FindValue(std::string_view valueName) {
        for (auto& [stored, value] : values)
            if (EqualNoCase(stored, valueName)) return &value;
        return nullptr;
    }
};

MemoryRegistry::MemoryRegistry() : root_(std::make_unique<Node>()) {}
MemoryRegistry::~MemoryRegistry() = default;

MemoryRegistry::Node* MemoryRegistry::Find(std::string_view path) const {
    Node* node = root_.get();
    for (std::string_view part : SplitPath(path)) {
        auto it = node->children.find(part);
        if (part.empty() || it == node->children.end()) return nullptr;
        node = it->second.get();
    }
    return node;
}

MemoryRegistry::Node& MemoryRegistry::Create(std::string_view path) {
    Node* node = root_.get();
    for (std::string_view part : SplitPath(path)) {
        auto& child = node->children[std::string(part)];
        if (!child) {
            node->enumValid = false;
            child = std::make_unique<Node>();
            child->name = part;
            child->path = node->path.empty() ? std::string(part) : node->path + "\\" + std::string(part);
            child->parent = node;
        }
        node = child.get();
    }
    return *node;
}

void MemoryRegistry::CreateKey(std::string_view path) { Create(path); }

void MemoryRegistry::SetValue(std::string_view path, std::string_view name, std::uint32_t type,
                              std::vector<std::byte> data) {
    Node& node = Create(path);
    if (StoredValue* existing = node.FindValue(name))
        *existing = StoredValue{type, std::move(data)};
    else
        node.values.emplace_back(std::string(name), StoredValue{type, std::move(data)});
}

void MemoryRegistry::SetDword(std::string_view path, std::string_view name, std::uint32_t value) {
    SetValue(path, name, quillaro::kRegDword,
             {std::byte(value & 0xFF), std::byte((value >> 8) & 0xFF),
              std::byte((value >> 16) & 0xFF), std::byte((value >> 24) & 0xFF)});
}

void MemoryRegistry::DenyFullAccess(std::string_view path) { Create(path).deniesFullAccess = true; }

void MemoryRegistry::DenyAllAccess(std::string_view path) { Create(path).deniesAllAccess = true; }

void MemoryRegistry::DeleteKey(std::string_view path) {
    // Handles into the deleted branch would dangle; tests delete keys between operations.
    if (!handles_.empty()) throw std::logic_error("DeleteKey with keys open");
    Node* node = Find(path);
    if (!node || !node->parent) return;
    node->parent->enumValid = false;
    node->parent->children.erase(node->name);
}

void MemoryRegistry::FailEnumIndex(std::string_view path, std::uint32_t index, std::int32_t error) {
    Create(path).failingEnumIndexes[index] = error;
}

void MemoryRegistry::FailQueryInfo(std::string_view path, std::int32_t error) {
    Create(path).queryInfoError = error;
}

void MemoryRegistry::FailWrites(std::string_view path, std::int32_t error) {
    Create(path).writeError = error;
}

std::optional<StoredValue> MemoryRegistry::GetValue(std::string_view path,
                                                    std::string_view name) const {
    Node* node = Find(path);
    if (!node) return std::nullopt;
    StoredValue* value = node->FindValue(name);
    return value ? std::optional<StoredValue>(*value) : std::nullopt;
}

std::optional<std::uint32_t> MemoryRegistry::GetDword(std::string_view path,
                                                      std::string_view name) const {
    const auto value = GetValue(path, name);
    if (!value || value->type != quillaro::kRegDword || value->data.size() != 4) return std::nullopt;
    std::uint32_t number = 0;
    for (std::size_t i = 0; i < 4; ++i)
        number |= std::to_integer<std::uint32_t>(value->data[i]) << (8 * i);
    return number;
}

bool MemoryRegistry::KeyExists(std::string_view path) const { return Find(path) != nullptr; }

namespace {
template <typename NodeT, typename F>
void Walk(const NodeT& node, F&& visit) {
    visit(node);
    for (const auto& [name, child] : node.children) Walk(*child, visit);
}
}  // namespace

std::size_t MemoryRegistry::KeyCount() const {
    std::size_t count = 0;
    Walk(*root_, [&](const Node&) { ++count; });
    return count - 1;
}

std::size_t MemoryRegistry::ValueCount() const {
    std::size_t count = 0;
    Walk(*root_, [&](const Node& node) { count += node.values.size(); });
    return count;
}

const MemoryRegistry::Handle* MemoryRegistry::Lookup(KeyHandle key) const {
    auto it = handles_.find(key);
    return it == handles_.end() ? nullptr : &it->second;
}

std::int32_t MemoryRegistry::Log(Op op, const Node* node, std::string valueName,
                                 std::int32_t result, std::optional<std::uint32_t> dword) {
    calls_.push_back(Call{op, node ? node->path : std::string(), std::move(valueName), result, dword});
    return result;
}

std::int32_t MemoryRegistry::OpenKeyEx(KeyHandle root, const char* subKey, std::uint32_t,
                                       std::uint32_t access, KeyHandle* result) {
    *result = 0;
    const Node* base = root == kHkeyLocalMachine ? root_.get() : nullptr;
    if (const Handle* handle = Lookup(root)) base = handle->node;
    const std::string requested = subKey ? subKey : "";
    if (!base) return Log(Op::Open, nullptr, requested, kErrorInvalidHandle);
    Node* node = base == root_.get() ? Find(requested)
                                     : (requested.empty() ? const_cast<Node*>(base)
                                                          : Find(base->path + "\\" + requested));
    if (!node) return Log(Op::Open, nullptr, requested, kErrorFileNotFound);
    if (node->deniesAllAccess || (node->deniesFullAccess && (access & ~kKeyRead) != 0))
        return Log(Op::Open, node, requested, kErrorAccessDenied);
    const KeyHandle handle = nextHandle_;
    nextHandle_ += 4;
    handles_[handle] = Handle{node, access};
    *result = handle;
    return Log(Op::Open, node, {}, kErrorSuccess);
}

std::int32_t MemoryRegistry::QueryInfoKey(KeyHandle key, std::uint32_t* subKeys,
                                          std::uint32_t* maxSubKeyLength) {
    const Handle* handle = Lookup(key);
    if (!handle) return Log(Op::QueryInfo, nullptr, {}, kErrorInvalidHandle);
    if (!(handle->access & kKeyQueryValue)) return Log(Op::QueryInfo, handle->node, {}, kErrorAccessDenied);
    if (handle->node->queryInfoError != kErrorSuccess)
        return Log(Op::QueryInfo, handle->node, {}, handle->node->queryInfoError);
    *subKeys = static_cast<std::uint32_t>(handle->node->children.size());
    std::size_t longest = 0;
    for (const auto& [name, child] : handle->node->children) longest = std::max(longest, name.size());
    *maxSubKeyLength = static_cast<std::uint32_t>(longest);
    return Log(Op::QueryInfo, handle->node, {}, kErrorSuccess);
}

std::int32_t MemoryRegistry::EnumKeyEx(KeyHandle key, std::uint32_t index, char* name,
                                       std::uint32_t* nameLength) {
    const Handle* handle = Lookup(key);
    if (!handle) return Log(Op::Enum, nullptr, {}, kErrorInvalidHandle);
    Node* node = handle->node;
    if (!(handle->access & kKeyEnumerateSubKeys)) return Log(Op::Enum, node, {}, kErrorAccessDenied);
    if (auto failing = node->failingEnumIndexes.find(index); failing != node->failingEnumIndexes.end())
        return Log(Op::Enum, node, {}, failing->second);
    if (index >= node->children.size()) return Log(Op::Enum, node, {}, kErrorNoMoreItems);
    if (!node->enumValid || index < node->enumIndex) {
        node->enumAt = node->children.begin();
        node->enumIndex = 0;
        node->enumValid = true;
    }
    node->enumAt = std::next(node->enumAt, index - node->enumIndex);
    node->enumIndex = index;
    const std::string& childName = node->enumAt->first;
    if (childName.size() + 1 > *nameLength) return Log(Op::Enum, node, childName, kErrorMoreData);
    std::memcpy(name, childName.c_str(), childName.size() + 1);
    *nameLength = static_cast<std::uint32_t>(childName.size());
    return Log(Op::Enum, node, childName, kErrorSuccess);
}

std::int32_t MemoryRegistry::QueryValueEx(KeyHandle key, const char* valueName, std::uint32_t* type,
                                          std::byte* data, std::uint32_t* dataSize) {
    const std::string nameText = valueName ? valueName : "";
    const Handle* handle = Lookup(key);
    if (!handle) return Log(Op::Query, nullptr, nameText, kErrorInvalidHandle);
    if (!(handle->access & kKeyQueryValue)) return Log(Op::Query, handle->node, nameText, kErrorAccessDenied);
    const StoredValue* value = handle->node->FindValue(nameText);
    if (!value) return Log(Op::Query, handle->node, nameText, kErrorFileNotFound);
    if (type) *type = value->type;
    const auto size = static_cast<std::uint32_t>(value->data.size());
    if (data && dataSize && *dataSize < size) {
        *dataSize = size;
        return Log(Op::Query, handle->node, nameText, kErrorMoreData);
    }
    if (data) std::copy(value->data.begin(), value->data.end(), data);
    if (dataSize) *dataSize = size;
    return Log(Op::Query, handle->node, nameText, kErrorSuccess);
}

std::int32_t MemoryRegistry::SetValueEx(KeyHandle key, const char* valueName, std::uint32_t type,
                                        const std::byte* data, std::uint32_t dataSize) {
    const std::string nameText = valueName ? valueName : "";
    const Handle* handle = Lookup(key);
    if (!handle) return Log(Op::Set, nullptr, nameText, kErrorInvalidHandle);
    Node* node = handle->node;
    if (!(handle->access & kKeySetValue)) return Log(Op::Set, node, nameText, kErrorAccessDenied);
    if (node->writeError != kErrorSuccess) return Log(Op::Set, node, nameText, node->writeError);
    std::vector<std::byte> bytes(data, data + dataSize);
    std::optional<std::uint32_t> dword;
    if (dataSize == 4) {
        dword = 0;
        for (std::size_t i = 0; i < 4; ++i) *dword |= std::to_integer<std::uint32_t>(bytes[i]) << (8 * i);
    }
    if (StoredValue* existing = node->FindValue(nameText))
        *existing = StoredValue{type, std::move(bytes)};
    else
        node->values.emplace_back(nameText, StoredValue{type, std::move(bytes)});
    return Log(Op::Set, node, nameText, kErrorSuccess, dword);
}

std::int32_t MemoryRegistry::CloseKey(KeyHandle key) {
    if (key == kHkeyLocalMachine) return kErrorSuccess;
    auto it = handles_.find(key);
    if (it == handles_.end()) return Log(Op::Close, nullptr, {}, kErrorInvalidHandle);
    const Node* node = it->second.node;
    handles_.erase(it);
    return Log(Op::Close, node, {}, kErrorSuccess);
}

}  // namespace quillaro::testing
