#include "core/settings_store.h"

#include <algorithm>

namespace ringmere {

namespace {

char LowerAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// `key` lies at or below `parent`.
bool IsWithin(std::string_view key, std::string_view parent) {
    if (key.size() < parent.size() || !SameName(key.substr(0, parent.size()), parent)) return false;
    return key.size() == parent.size() || key[parent.size()] == '\\';
}

}  // namespace

std::string NormalizeKeyPath(std::string_view key) {
    std::string out;
    out.reserve(key.size());
    for (char c : key) {
        if (c == '\\' && (out.empty() || out.back() == '\\')) continue;
        out.push_back(c);
    }
    if (!out.empty() && out.back() == '\\') out.pop_back();
    return out;
}

bool SameName(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return LowerAscii(x) == LowerAscii(y);
           });
}

MemorySettingsStore::Key* MemorySettingsStore::FindKey(std::string_view normalized) {
    for (Key& k : keys_)
        if (SameName(k.path, normalized)) return &k;
    return nullptr;
}

const MemorySettingsStore::Key* MemorySettingsStore::FindKey(std::string_view normalized) const {
    for (const Key& k : keys_)
        if (SameName(k.path, normalized)) return &k;
    return nullptr;
}

MemorySettingsStore::Key& MemorySettingsStore::EnsureKey(std::string_view key) {
    const std::string path = NormalizeKeyPath(key);
    if (Key* k = FindKey(path)) return *k;
    keys_.push_back(Key{path, {}});
    return keys_.back();
}

bool MemorySettingsStore::KeyExists(std::string_view key) const {
    const std::string path = NormalizeKeyPath(key);
    if (path.empty()) return false;
    return std::any_of(keys_.begin(), keys_.end(),
                       [&](const Key& k) { return IsWithin(k.path, path); });
}

bool MemorySettingsStore::CreateKey(std::string_view key, std::string& error) {
    if (NormalizeKeyPath(key).empty()) {
        error = "The settings key has no name.";
        return false;
    }
    // A subkey's existence implies its parent's; only values need a key of their own.
    if (!KeyExists(key)) EnsureKey(key);
    return true;
}

std::optional<RegValue> MemorySettingsStore::ReadValue(std::string_view key,
                                                       std::string_view name) const {
    const Key* k = FindKey(NormalizeKeyPath(key));
    if (!k) return std::nullopt;
    for (const Value& v : k->values)
        if (SameName(v.name, name)) return v.value;
    return std::nullopt;
}

bool MemorySettingsStore::WriteValue(std::string_view key, std::string_view name,
                                     const RegValue& value, std::string& error) {
    if (!CreateKey(key, error)) return false;
    Key& k = EnsureKey(key);
    for (Value& v : k.values) {
        if (SameName(v.name, name)) {
            v.value = value;
            return true;
        }
    }
    k.values.push_back(Value{std::string(name), value});
    return true;
}

bool MemorySettingsStore::DeleteValue(std::string_view key, std::string_view name,
                                      std::string& error) {
    if (!CreateKey(key, error)) return false;
    auto& values = EnsureKey(key).values;
    std::erase_if(values, [&](const Value& v) { return SameName(v.name, name); });
    return true;
}

}  // namespace ringmere
