// The machine-local settings store: keys holding typed values. On Windows this
// is the registry; other systems keep it in a file (platform/). Core only sees
// this interface, so the settings routines and their tests stay OS-free.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ringmere {

// The numbers are the registry's type codes as the settings routines use them.
enum class RegType : int {
    String = 1,
    ExpandString = 2,
    Number = 3,  // 32 bits
    Binary = 4,
};

struct RegValue {
    RegType type = RegType::String;
    std::string data;          // the text, or the bytes of a binary value
    std::uint32_t number = 0;  // a 32-bit number

    static RegValue Text(std::string text) { return {RegType::String, std::move(text), 0}; }
    static RegValue Number(std::uint32_t n) { return {RegType::Number, {}, n}; }
    static RegValue Bytes(std::string bytes) { return {RegType::Binary, std::move(bytes), 0}; }

    bool operator==(const RegValue&) const = default;
};

// Key paths are separated by backslashes; a leading backslash is allowed and
// letter case does not matter, in key paths and value names alike, so
// "\SOFTWARE\Ringmere" and "Software\Ringmere" are one key.
class SettingsStore {
public:
    virtual ~SettingsStore() = default;

    // True when the key or one of its subkeys exists. Never creates it.
    virtual bool KeyExists(std::string_view key) const = 0;
    // Creates the key when it is missing. False with `error` when it cannot.
    virtual bool CreateKey(std::string_view key, std::string& error) = 0;
    // The value, or nothing when the key or the value is missing or unreadable.
    virtual std::optional<RegValue> ReadValue(std::string_view key,
                                              std::string_view name) const = 0;
    // Creates the key when missing and sets the value.
    virtual bool WriteValue(std::string_view key, std::string_view name, const RegValue& value,
                            std::string& error) = 0;
    // Creates the key when missing and removes the value; a missing value is
    // not an error.
    virtual bool DeleteValue(std::string_view key, std::string_view name, std::string& error) = 0;
};

// The canonical spelling of a key path: no leading, trailing or doubled
// backslashes. Comparisons then only have to ignore letter case.
std::string NormalizeKeyPath(std::string_view key);
bool SameName(std::string_view a, std::string_view b);  // ASCII letter case ignored

// A store held in memory. Tests use it directly; the file-backed store keeps
// one as its image of the file.
class MemorySettingsStore : public SettingsStore {
public:
    struct Value {
        std::string name;
        RegValue value;
    };
    struct Key {
        std::string path;  // normalised, spelled as first created
        std::vector<Value> values;
    };

    bool KeyExists(std::string_view key) const override;
    bool CreateKey(std::string_view key, std::string& error) override;
    std::optional<RegValue> ReadValue(std::string_view key, std::string_view name) const override;
    bool WriteValue(std::string_view key, std::string_view name, const RegValue& value,
                    std::string& error) override;
    bool DeleteValue(std::string_view key, std::string_view name, std::string& error) override;

    // Keys in the order they were created; each key's values likewise.
    const std::vector<Key>& Keys() const { return keys_; }
    void Clear() { keys_.clear(); }

private:
    Key* FindKey(std::string_view normalized);
    const Key* FindKey(std::string_view normalized) const;
    Key& EnsureKey(std::string_view key);

    std::vector<Key> keys_;
};

}  // namespace ringmere
