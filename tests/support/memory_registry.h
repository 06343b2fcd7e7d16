// An in-memory registry behind the same calls as advapi32, for host builds, tests, the fuzzer
// and the benchmarks. It behaves like Wine's registry wherever the program could tell:
// case-insensitive key and value names, subkeys enumerated in Wine's order, ERROR_MORE_DATA
// for short buffers, values kept with their type and size, access checked against the rights
// a handle was opened with. Keys can be made to refuse full access or to fail chosen calls, and
// every call is logged.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "levels.h"
#include "registry_api.h"

namespace quillaro::testing {

// Wine's order of subkeys: names compared character by character after folding to lower
// case ("[" and "_" before letters, "~" after them), a name that is a prefix of another first.
struct RegistryNameLess {
    using is_transparent = void;
    bool operator()(std::string_view a, std::string_view b) const;
};

struct StoredValue {
    std::uint32_t type = 0;
    std::vector<std::byte> data;
};

enum class Op { Open, QueryInfo, Enum, Query, Set, Close };

struct Call {
    Op op;
    std::string path;       // the key's full path, as created
    std::string valueName;  // for Query and Set; the requested subkey path for a failed Open
    std::int32_t result;
    std::optional<std::uint32_t> dword;  // the number a Set stored, when it stored 4 bytes
};

class MemoryRegistry final : public RegistryApi {
public:
    MemoryRegistry();
    ~MemoryRegistry();

    // Test setup, all relative to HKEY_LOCAL_MACHINE. Missing parent keys are created.
    void CreateKey(std::string_view path);
    void SetValue(std::string_view path, std::string_view name, std::uint32_t type,
                  std::vector<std::byte> data);
    void SetDword(std::string_view path, std::string_view name, std::uint32_t value);
    // The key opens for reading but refuses any request that includes a right to change it.
    void DenyFullAccess(std::string_view path);
    // The key refuses to be opened at all.
    void DenyAllAccess(std::string_view path);
    // Takes away a key and everything below it, as another program deleting it would.
    void DeleteKey(std::string_view path);
    // Enumerating the subkey at index fails with error.
    void FailEnumIndex(std::string_view path, std::uint32_t index, std::int32_t error);
    void FailQueryInfo(std::string_view path, std::int32_t error);
    void FailWrites(std::string_view path, std::int32_t error);

    // Inspection.
    std::optional<StoredValue> GetValue(std::string_view path, std::string_view name) const;
    std::optional<std::uint32_t> GetDword(std::string_view path, std::string_view name) const;
    bool KeyExists(std::string_view path) const;
    std::size_t KeyCount() const;
    std::size_t ValueCount() const;
    const std::vector<Call>& Calls() const { return calls_; }
    void ClearCalls() { calls_.clear(); }
    std::size_t OpenHandleCount() const { return handles_.size(); }

    // RegistryApi
    std::int32_t OpenKeyEx(KeyHandle root, const char* subKey, std::uint32_t options,
                           std::uint32_t access, KeyHandle* result) override;
    std::int32_t QueryInfoKey(KeyHandle key, std::uint32_t* subKeys,
                              std::uint32_t* maxSubKeyLength) override;
    std::int32_t EnumKeyEx(KeyHandle key, std::uint32_t index, char* name,
                           std::uint32_t* nameLength) override;
    std::int32_t QueryValueEx(KeyHandle key, const char* valueName, std::uint32_t* type,
                              std::byte* data, std::uint32_t* dataSize) override;
    std::int32_t SetValueEx(KeyHandle key, const char* valueName, std::uint32_t type,
                            const std::byte* data, std::uint32_t dataSize) override;
    std::int32_t CloseKey(KeyHandle key) override;

private:
    struct Node;
    struct Handle {
        Node* node;
        std::uint32_t access;
    };

    Node* Find(std::string_view path) const;
    Node& Create(std::string_view path);
    const Handle* Lookup(KeyHandle key) const;
    std::int32_t Log(Op op, const Node* node, std::string valueName, std::int32_t result,
                     std::optional<std::uint32_t> dword = std::nullopt);

    std::unique_ptr<Node> root_;
    std::map<KeyHandle, Handle> handles_;
    KeyHandle nextHandle_ = 0x40;
    std::vector<Call> calls_;
};

}  // namespace quillaro::testing
