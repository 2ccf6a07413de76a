// What the registry operations do, failures included.
#include <gtest/gtest.h>

#include <cctype>
#include <cstring>
#include <string>
#include <vector>

#include "platform/registry.h"
#include "tests/contract/env.h"

namespace {

using plat::Handle;

constexpr char kUserBase[] = "Software\\MixoContract";
constexpr char kMachineBase[] = "SOFTWARE\\MixoContract";
constexpr char kSystemBase[] = "SYSTEM\\MixoContract";

struct RegistryContract : ::testing::Test {
    void SetUp() override {
        ContractSetUp();
        ContractRemoveRegistryTestKeys();
    }
    void TearDown() override { ContractRemoveRegistryTestKeys(); }
};

std::string Under(const char* base, const std::string& rest) { return std::string(base) + "\\" + rest; }

std::uint32_t SetDword(Handle key, const char* name, std::uint32_t value) {
    std::uint8_t bytes[4] = {static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8),
                             static_cast<std::uint8_t>(value >> 16), static_cast<std::uint8_t>(value >> 24)};
    return plat::RegistrySetValue(key, name, plat::kRegDword, bytes, 4);
}

// A REG_DWORD read through a handle opened for it: the value, -1 when the
// value is not a readable REG_DWORD, -2 when the key does not open.
long long ReadDword(Handle hive, const std::string& path, std::uint32_t access, const char* name) {
    Handle key = nullptr;
    if (plat::RegistryOpenKeyEx(hive, path.c_str(), access, &key) != plat::kErrorSuccess) return -2;
    std::uint8_t bytes[4] = {};
    std::uint32_t size = sizeof bytes;
    std::uint32_t type = 0;
    std::uint32_t status = plat::RegistryQueryValue(key, name, &type, bytes, &size);
    plat::RegistryCloseKey(key);
    if (status != plat::kErrorSuccess || type != plat::kRegDword || size != 4) return -1;
    return bytes[0] | (bytes[1] << 8) | (bytes[2] << 16) | (static_cast<long long>(bytes[3]) << 24);
}

std::vector<std::string> EnumNames(Handle key) {
    std::vector<std::string> names;
    for (std::uint32_t index = 0;; ++index) {
        char name[256];
        std::uint32_t length = sizeof name;
        if (plat::RegistryEnumKey(key, index, name, &length) != plat::kErrorSuccess) break;
        names.emplace_back(name, length);
    }
    return names;
}

std::vector<std::u16string> EnumNamesW16(Handle key) {
    std::vector<std::u16string> names;
    for (std::uint32_t index = 0;; ++index) {
        char16_t name[256];
        if (plat::RegistryEnumKeyW16(key, index, name, 256) != plat::kErrorSuccess) break;
        names.emplace_back(name);
    }
    return names;
}

bool Lists(const std::vector<std::string>& names, const char* wanted) {
    for (const std::string& name : names)
        if (name.size() == std::strlen(wanted)) {
            bool same = true;
            for (std::size_t i = 0; i < name.size(); ++i)
                if (std::tolower(static_cast<unsigned char>(name[i])) !=
                    std::tolower(static_cast<unsigned char>(wanted[i])))
                    same = false;
            if (same) return true;
        }
    return false;
}

}  // namespace

TEST_F(RegistryContract, CreatesOpensWritesAndReadsKeys) {
    const Handle user = plat::kHkeyCurrentUser;
    Handle key = reinterpret_cast<Handle>(static_cast<std::intptr_t>(77));
    EXPECT_EQ(plat::RegistryOpenKey(user, Under(kUserBase, "A\\B").c_str(), &key), plat::kErrorFileNotFound);
    EXPECT_EQ(key, plat::kInvalidHandle);

    // Creating makes every missing parent.
    ASSERT_EQ(plat::RegistryCreateKey(user, Under(kUserBase, "A\\B").c_str(), &key), plat::kErrorSuccess);
    ASSERT_NE(key, plat::kInvalidHandle);
    EXPECT_EQ(SetDword(key, "Count", 0x12345678), plat::kErrorSuccess);
    EXPECT_EQ(plat::RegistryCloseKey(key), plat::kErrorSuccess);
    EXPECT_EQ(ContractRegistrySubkeys(user, kUserBase), std::vector<std::string>{"A"});

    // Key and value names ignore letter case.
    EXPECT_EQ(ReadDword(user, "SOFTWARE\\mixocontract\\a\\B", plat::kKeyRead, "COUNT"), 0x12345678);

    // The data comes back byte for byte, little-endian as written.
    Handle parent = nullptr;
    ASSERT_EQ(plat::RegistryOpenKey(user, kUserBase, &parent), plat::kErrorSuccess);
    Handle child = nullptr;
    ASSERT_EQ(plat::RegistryOpenKey(parent, "A\\B", &child), plat::kErrorSuccess);
    std::uint8_t bytes[8] = {};
    std::uint32_t size = sizeof bytes;
    std::uint32_t type = 0;
    EXPECT_EQ(plat::RegistryQueryValue(child, "count", &type, bytes, &size), plat::kErrorSuccess);
    EXPECT_EQ(type, plat::kRegDword);
    EXPECT_EQ(size, 4u);
    EXPECT_EQ(bytes[0], 0x78);
    EXPECT_EQ(bytes[3], 0x12);

    // An empty subkey: RegOpenKeyA gives the same handle back, RegOpenKeyExA
    // a new handle of the same key.
    Handle same = nullptr;
    EXPECT_EQ(plat::RegistryOpenKey(child, "", &same), plat::kErrorSuccess);
    EXPECT_EQ(same, child);
    Handle fresh = nullptr;
    ASSERT_EQ(plat::RegistryOpenKeyEx(child, "", plat::kKeyRead, &fresh), plat::kErrorSuccess);
    EXPECT_NE(fresh, child);
    size = sizeof bytes;
    EXPECT_EQ(plat::RegistryQueryValue(fresh, "Count", &type, bytes, &size), plat::kErrorSuccess);
    EXPECT_EQ(plat::RegistryCloseKey(fresh), plat::kErrorSuccess);

    // Creating an existing key opens it with its values; a value written
    // again takes the new type and size.
    Handle existing = nullptr;
    ASSERT_EQ(plat::RegistryCreateKeyEx(parent, "a\\b", plat::kKeyAllAccess, &existing), plat::kErrorSuccess);
    size = sizeof bytes;
    EXPECT_EQ(plat::RegistryQueryValue(existing, "Count", &type, bytes, &size), plat::kErrorSuccess);
    EXPECT_EQ(plat::RegistrySetValue(existing, "Count", plat::kRegBinary, "\x01\x02", 2), plat::kErrorSuccess);
    size = sizeof bytes;
    EXPECT_EQ(plat::RegistryQueryValue(child, "Count", &type, bytes, &size), plat::kErrorSuccess);
    EXPECT_EQ(type, plat::kRegBinary);
    EXPECT_EQ(size, 2u);
    EXPECT_EQ(ContractRegistrySubkeys(user, Under(kUserBase, "A")), std::vector<std::string>{"B"});

    // Keys keep the letter case they were created with.
    Handle created = nullptr;
    ASSERT_EQ(plat::RegistryCreateKeyEx(parent, "MixedCase", plat::kKeyAllAccess, &created), plat::kErrorSuccess);
    Handle recreated = nullptr;
    ASSERT_EQ(plat::RegistryCreateKey(parent, "MIXEDCASE", &recreated), plat::kErrorSuccess);
    EXPECT_EQ(ContractRegistrySubkeys(user, kUserBase), (std::vector<std::string>{"A", "MixedCase"}));

    // A subkey path may not start with a backslash.
    Handle bad = reinterpret_cast<Handle>(static_cast<std::intptr_t>(77));
    EXPECT_EQ(plat::RegistryOpenKeyEx(parent, "\\A", plat::kKeyRead, &bad), plat::kErrorBadPathname);
    EXPECT_EQ(bad, plat::kInvalidHandle);

    for (Handle open : {existing, created, recreated, child, parent})
        EXPECT_EQ(plat::RegistryCloseKey(open), plat::kErrorSuccess);
    // Closing a hive is harmless; closing a handle twice is refused.
    EXPECT_EQ(plat::RegistryCloseKey(plat::kHkeyCurrentUser), plat::kErrorSuccess);
    EXPECT_EQ(plat::RegistryCloseKey(parent), plat::kErrorInvalidHandle);
}

TEST_F(RegistryContract, QueryTellsMissingWrongTypeAndTooLongApart) {
    Handle key = nullptr;
    ASSERT_EQ(plat::RegistryCreateKey(plat::kHkeyCurrentUser, Under(kUserBase, "Query").c_str(), &key),
              plat::kErrorSuccess);
    const char text[] = "Hello";
    ASSERT_EQ(plat::RegistrySetValue(key, "Text", plat::kRegSz, text, sizeof text), plat::kErrorSuccess);
    ASSERT_EQ(SetDword(key, "Number", 7), plat::kErrorSuccess);
    const std::uint8_t blob[40] = {1, 2, 3};
    ASSERT_EQ(plat::RegistrySetValue(key, "Blob", plat::kRegBinary, blob, sizeof blob), plat::kErrorSuccess);

    char buffer[64];
    std::uint32_t size = sizeof buffer;
    std::uint32_t type = 99;
    // Missing value and missing key.
    EXPECT_EQ(plat::RegistryQueryValue(key, "Absent", &type, buffer, &size), plat::kErrorFileNotFound);
    Handle missing = nullptr;
    EXPECT_EQ(plat::RegistryOpenKeyEx(plat::kHkeyCurrentUser, Under(kUserBase, "NoSuchKey").c_str(),
                                      plat::kKeyRead, &missing),
              plat::kErrorFileNotFound);
    // A value of another type reads fine and says what it is.
    size = sizeof buffer;
    EXPECT_EQ(plat::RegistryQueryValue(key, "Number", &type, buffer, &size), plat::kErrorSuccess);
    EXPECT_EQ(type, plat::kRegDword);
    EXPECT_EQ(size, 4u);
    // Too long for the buffer: the size needed comes back, with the type.
    size = 3;
    type = 99;
    EXPECT_EQ(plat::RegistryQueryValue(key, "Text", &type, buffer, &size), plat::kErrorMoreData);
    EXPECT_EQ(size, 6u);
    EXPECT_EQ(type, plat::kRegSz);
    size = 39;
    EXPECT_EQ(plat::RegistryQueryValue(key, "Blob", &type, buffer, &size), plat::kErrorMoreData);
    EXPECT_EQ(size, 40u);
    EXPECT_EQ(type, plat::kRegBinary);
    // Exactly fitting is enough.
    size = 6;
    EXPECT_EQ(plat::RegistryQueryValue(key, "Text", &type, buffer, &size), plat::kErrorSuccess);
    EXPECT_STREQ(buffer, "Hello");
    // Size only, presence only, and a buffer without a size.
    size = 0;
    EXPECT_EQ(plat::RegistryQueryValue(key, "Text", &type, nullptr, &size), plat::kErrorSuccess);
    EXPECT_EQ(size, 6u);
    EXPECT_EQ(plat::RegistryQueryValue(key, "Blob", nullptr, nullptr, nullptr), plat::kErrorSuccess);
    EXPECT_EQ(plat::RegistryQueryValue(key, "Absent", nullptr, nullptr, nullptr), plat::kErrorFileNotFound);
    EXPECT_EQ(plat::RegistryQueryValue(key, "Text", &type, buffer, nullptr), plat::kErrorInvalidParameter);

    // The default value: absent in a new key, then named by null or "".
    size = sizeof buffer;
    EXPECT_EQ(plat::RegistryQueryValue(key, "", &type, buffer, &size), plat::kErrorFileNotFound);
    ASSERT_EQ(SetDword(key, nullptr, 42), plat::kErrorSuccess);
    EXPECT_EQ(ReadDword(plat::kHkeyCurrentUser, Under(kUserBase, "Query"), plat::kKeyRead, ""), 42);
    EXPECT_EQ(plat::RegistryCloseKey(key), plat::kErrorSuccess);
}

TEST_F(RegistryContract, StringValuesKeepTheSizeTheyWereWrittenWith) {
    Handle key = nullptr;
    const std::string path = Under(kUserBase, "Strings");
    ASSERT_EQ(plat::RegistryCreateKey(plat::kHkeyCurrentUser, path.c_str(), &key), plat::kErrorSuccess);

    // A REG_SZ written without its NUL stays without it, in both forms.
    const char longer[] = "ZT-Audio Software";
    ASSERT_EQ(plat::RegistrySetValue(key, "NoNul", plat::kRegSz, longer, 8), plat::kErrorSuccess);
    std::uint32_t size = 0;
    std::uint32_t type = 0;
    EXPECT_EQ(plat::RegistryQueryValue(key, "NoNul", &type, nullptr, &size), plat::kErrorSuccess);
    EXPECT_EQ(size, 8u);
    EXPECT_EQ(plat::RegistryQueryValueW16(key, u"NoNul", &type, nullptr, &size), plat::kErrorSuccess);
    EXPECT_EQ(size, 16u);
    std::uint32_t read_type = 0;
    std::string read;
    ASSERT_EQ(ContractGetRegistryValue(plat::kHkeyCurrentUser, path, "NoNul", &read_type, &read), 1);
    EXPECT_EQ(read, "ZT-Audio");
    EXPECT_EQ(read_type, plat::kRegSz);
    // Read into a larger buffer, the text gets a NUL after it, and the size
    // still counts none; into an exact buffer nothing is added.
    char buffer[16];
    std::memset(buffer, '#', sizeof buffer);
    size = sizeof buffer;
    EXPECT_EQ(plat::RegistryQueryValue(key, "NoNul", &type, buffer, &size), plat::kErrorSuccess);
    EXPECT_EQ(size, 8u);
    EXPECT_EQ(std::string(buffer, 9), std::string("ZT-Audio", 9));
    EXPECT_EQ(buffer[9], '#');
    std::memset(buffer, '#', sizeof buffer);
    size = 8;
    EXPECT_EQ(plat::RegistryQueryValue(key, "NoNul", &type, buffer, &size), plat::kErrorSuccess);
    EXPECT_EQ(buffer[8], '#');

    // Windows' one exception: a text whose size leaves out its NUL, when
    // that NUL follows it in memory, is stored with the NUL.
    // Each text is stored with BYTES and read back in the same form.
    auto stored = [&](const char* name, const char* data, std::uint32_t bytes, std::uint32_t read_size) {
        ASSERT_EQ(plat::RegistrySetValue(key, name, plat::kRegSz, data, bytes), plat::kErrorSuccess);
        EXPECT_EQ(plat::RegistryQueryValue(key, name, &type, nullptr, &size), plat::kErrorSuccess);
        EXPECT_EQ(size, read_size) << name;
    };
    auto stored_wide = [&](const char16_t* name, const char16_t* data, std::uint32_t bytes, std::uint32_t read_size) {
        ASSERT_EQ(plat::RegistrySetValueW16(key, name, plat::kRegSz, data, bytes), plat::kErrorSuccess);
        EXPECT_EQ(plat::RegistryQueryValueW16(key, name, &type, nullptr, &size), plat::kErrorSuccess);
        EXPECT_EQ(size, read_size) << bytes;
    };
    const char text[] = "ZT-Audio";
    ASSERT_NO_FATAL_FAILURE(stored("Counted", text, 8, 9u));
    ASSERT_NO_FATAL_FAILURE(stored("WithNul", text, 9, 9u));
    // The same in the wide form, counted in units.
    const char16_t wide_longer[] = u"MixoX";
    ASSERT_NO_FATAL_FAILURE(stored_wide(u"WideNoNul", wide_longer, 8, 8u));
    EXPECT_EQ(plat::RegistryQueryValue(key, "WideNoNul", &type, nullptr, &size), plat::kErrorSuccess);
    EXPECT_EQ(size, 4u);
    const char16_t wide_text[] = u"Mixo";
    ASSERT_NO_FATAL_FAILURE(stored_wide(u"WideCounted", wide_text, 8, 10u));
    // Read wide into a larger buffer, the text gets a NUL unit after it.
    char16_t wide_buffer[8];
    for (char16_t& unit : wide_buffer) unit = u'#';
    size = sizeof wide_buffer;
    EXPECT_EQ(plat::RegistryQueryValueW16(key, u"WideNoNul", &type, wide_buffer, &size), plat::kErrorSuccess);
    EXPECT_EQ(size, 8u);
    EXPECT_EQ(std::u16string(wide_buffer, 5), std::u16string(u"Mixo", 5));
    EXPECT_EQ(wide_buffer[5], u'#');

    // Other types keep exactly the size given, NUL after them or not.
    ASSERT_EQ(plat::RegistrySetValue(key, "Binary", plat::kRegBinary, text, 3), plat::kErrorSuccess);
    EXPECT_EQ(plat::RegistryQueryValue(key, "Binary", &type, nullptr, &size), plat::kErrorSuccess);
    EXPECT_EQ(size, 3u);
    const char binary_nul[] = "ab";
    ASSERT_EQ(plat::RegistrySetValue(key, "BinaryNul", plat::kRegBinary, binary_nul, 2), plat::kErrorSuccess);
    EXPECT_EQ(plat::RegistryQueryValue(key, "BinaryNul", &type, nullptr, &size), plat::kErrorSuccess);
    EXPECT_EQ(size, 2u);
    const std::uint8_t three[4] = {1, 2, 3, 0};
    ASSERT_EQ(plat::RegistrySetValue(key, "ShortDword", plat::kRegDword, three, 3), plat::kErrorSuccess);
    EXPECT_EQ(plat::RegistryQueryValue(key, "ShortDword", &type, nullptr, &size), plat::kErrorSuccess);
    EXPECT_EQ(size, 3u);
    EXPECT_EQ(type, plat::kRegDword);
    // An empty string value has size 0.
    ASSERT_EQ(plat::RegistrySetValue(key, "Empty", plat::kRegSz, "", 0), plat::kErrorSuccess);
    size = 99;
    EXPECT_EQ(plat::RegistryQueryValue(key, "Empty", &type, nullptr, &size), plat::kErrorSuccess);
    EXPECT_EQ(size, 0u);
    EXPECT_EQ(plat::RegistryCloseKey(key), plat::kErrorSuccess);

    // A text set up beside the operations carries its NUL.
    ContractPutRegistryText(plat::kHkeyCurrentUser, path, "Helper", "C:\\Program Files\\ZT");
    EXPECT_EQ(ReadDword(plat::kHkeyCurrentUser, path, plat::kKeyRead, "Helper"), -1);
    Handle again = nullptr;
    ASSERT_EQ(plat::RegistryOpenKey(plat::kHkeyCurrentUser, path.c_str(), &again), plat::kErrorSuccess);
    size = sizeof buffer;
    EXPECT_EQ(plat::RegistryQueryValue(again, "Helper", &type, buffer, &size), plat::kErrorMoreData);
    EXPECT_EQ(size, 20u);
    EXPECT_EQ(type, plat::kRegSz);
    EXPECT_EQ(plat::RegistryCloseKey(again), plat::kErrorSuccess);
}

TEST_F(RegistryContract, EnumeratesSubkeysInNameOrder) {
    const Handle user = plat::kHkeyCurrentUser;
    Handle base = nullptr;
    ASSERT_EQ(plat::RegistryCreateKey(user, Under(kUserBase, "Enum").c_str(), &base), plat::kErrorSuccess);
    EXPECT_EQ(EnumNames(base), std::vector<std::string>{});
    char name[64];
    std::uint32_t length = sizeof name;
    EXPECT_EQ(plat::RegistryEnumKey(base, 0, name, &length), plat::kErrorNoMoreItems);

    const char* created[] = {"gamma",
                             "beta",
                             "{b2f5a1c0-0000-4000-8000-000000000001}",
                             "Alpha",
                             "_under",
                             "ALPHA2",
                             "{0.0.0.00000000}.{A7c1}",
                             "b"};
    for (const char* sub : created) {
        Handle child = nullptr;
        ASSERT_EQ(plat::RegistryCreateKey(base, sub, &child), plat::kErrorSuccess);
        plat::RegistryCloseKey(child);
    }
    // Name order ignoring case; "_" (between "Z" and "a") sorts before the
    // letters, braces after them.
    const std::vector<std::string> expected = {"_under",
                                               "Alpha",
                                               "ALPHA2",
                                               "b",
                                               "beta",
                                               "gamma",
                                               "{0.0.0.00000000}.{A7c1}",
                                               "{b2f5a1c0-0000-4000-8000-000000000001}"};
    EXPECT_EQ(EnumNames(base), expected);
    EXPECT_EQ(ContractRegistrySubkeys(user, Under(kUserBase, "Enum")), expected);
    std::vector<std::u16string> wide = EnumNamesW16(base);
    ASSERT_EQ(wide.size(), expected.size());
    EXPECT_EQ(wide[1], u"Alpha");
    EXPECT_EQ(wide[7], u"{b2f5a1c0-0000-4000-8000-000000000001}");

    // The name buffer counts the NUL: "ALPHA2" needs 7.
    length = 7;
    EXPECT_EQ(plat::RegistryEnumKey(base, 2, name, &length), plat::kErrorSuccess);
    EXPECT_EQ(length, 6u);
    EXPECT_STREQ(name, "ALPHA2");
    length = 6;
    EXPECT_EQ(plat::RegistryEnumKey(base, 2, name, &length), plat::kErrorMoreData);
    char16_t wide_name[8];
    EXPECT_EQ(plat::RegistryEnumKeyW16(base, 2, wide_name, 7), plat::kErrorSuccess);
    EXPECT_EQ(std::u16string(wide_name), u"ALPHA2");
    EXPECT_EQ(plat::RegistryEnumKeyW16(base, 2, wide_name, 6), plat::kErrorMoreData);
    length = sizeof name;
    EXPECT_EQ(plat::RegistryEnumKey(base, 8, name, &length), plat::kErrorNoMoreItems);
    EXPECT_EQ(plat::RegistryEnumKeyW16(base, 8, wide_name, 8), plat::kErrorNoMoreItems);

    // A key created later takes its place in the order.
    Handle late = nullptr;
    ASSERT_EQ(plat::RegistryCreateKey(base, "Beta2", &late), plat::kErrorSuccess);
    plat::RegistryCloseKey(late);
    length = sizeof name;
    EXPECT_EQ(plat::RegistryEnumKey(base, 5, name, &length), plat::kErrorSuccess);
    EXPECT_STREQ(name, "Beta2");

    // Enumerating needs the right to.
    Handle setter = nullptr;
    ASSERT_EQ(plat::RegistryOpenKeyEx(user, Under(kUserBase, "Enum").c_str(), plat::kKeySetValue, &setter),
              plat::kErrorSuccess);
    length = sizeof name;
    EXPECT_EQ(plat::RegistryEnumKey(setter, 0, name, &length), plat::kErrorAccessDenied);
    EXPECT_EQ(plat::RegistryCloseKey(setter), plat::kErrorSuccess);
    EXPECT_EQ(plat::RegistryCloseKey(base), plat::kErrorSuccess);
}

TEST_F(RegistryContract, DeletesOnlyKeysWithoutSubkeys) {
    const Handle user = plat::kHkeyCurrentUser;
    Handle base = nullptr;
    ASSERT_EQ(plat::RegistryCreateKey(user, kUserBase, &base), plat::kErrorSuccess);
    Handle leaf = nullptr;
    ASSERT_EQ(plat::RegistryCreateKey(base, "Tree\\Child\\Leaf", &leaf), plat::kErrorSuccess);
    ASSERT_EQ(SetDword(leaf, "Value", 1), plat::kErrorSuccess);
    plat::RegistryCloseKey(leaf);

    EXPECT_EQ(plat::RegistryDeleteKey(base, "Tree"), plat::kErrorAccessDenied);
    EXPECT_EQ(plat::RegistryDeleteKey(base, "Tree\\Child"), plat::kErrorAccessDenied);
    EXPECT_EQ(ContractRegistrySubkeys(user, Under(kUserBase, "Tree")), std::vector<std::string>{"Child"});
    EXPECT_EQ(plat::RegistryDeleteKey(base, "Tree\\Missing"), plat::kErrorFileNotFound);
    // Values do not hold a key back; names ignore case.
    EXPECT_EQ(plat::RegistryDeleteKey(base, "TREE\\CHILD\\LEAF"), plat::kErrorSuccess);
    EXPECT_EQ(plat::RegistryDeleteKey(base, "Tree\\Child\\Leaf"), plat::kErrorFileNotFound);
    EXPECT_EQ(ReadDword(user, Under(kUserBase, "Tree\\Child\\Leaf"), plat::kKeyRead, "Value"), -2);

    // A handle of a deleted key stays open but reaches nothing.
    Handle child = nullptr;
    ASSERT_EQ(plat::RegistryOpenKeyEx(base, "Tree\\Child", plat::kKeyAllAccess, &child), plat::kErrorSuccess);
    EXPECT_EQ(plat::RegistryDeleteKey(base, "Tree\\Child"), plat::kErrorSuccess);
    EXPECT_EQ(SetDword(child, "Late", 1), plat::kErrorKeyDeleted);
    std::uint32_t size = 0;
    EXPECT_EQ(plat::RegistryQueryValue(child, "Late", nullptr, nullptr, &size), plat::kErrorKeyDeleted);
    EXPECT_EQ(plat::RegistryCloseKey(child), plat::kErrorSuccess);
    // A key of the same name made again is a new, empty key.
    ASSERT_EQ(plat::RegistryCreateKey(base, "Tree\\Child", &child), plat::kErrorSuccess);
    EXPECT_EQ(plat::RegistryQueryValue(child, "Late", nullptr, nullptr, nullptr), plat::kErrorFileNotFound);
    EXPECT_EQ(plat::RegistryCloseKey(child), plat::kErrorSuccess);

    // Deleting from the bottom up empties the tree.
    EXPECT_EQ(plat::RegistryDeleteKey(base, "Tree\\Child"), plat::kErrorSuccess);
    EXPECT_EQ(plat::RegistryDeleteKey(base, "Tree"), plat::kErrorSuccess);
    EXPECT_EQ(EnumNames(base), std::vector<std::string>{});
    EXPECT_EQ(plat::RegistryCloseKey(base), plat::kErrorSuccess);
}

TEST_F(RegistryContract, HandlesKeepTheRightsTheyWereOpenedWith) {
    const Handle user = plat::kHkeyCurrentUser;
    const std::string path = Under(kUserBase, "Rights");
    Handle created = nullptr;
    ASSERT_EQ(plat::RegistryCreateKey(user, path.c_str(), &created), plat::kErrorSuccess);
    plat::RegistryCloseKey(created);

    Handle setter = nullptr;
    ASSERT_EQ(plat::RegistryOpenKeyEx(user, path.c_str(), plat::kKeySetValue, &setter), plat::kErrorSuccess);
    EXPECT_EQ(SetDword(setter, "Written", 5), plat::kErrorSuccess);
    std::uint32_t size = 0;
    EXPECT_EQ(plat::RegistryQueryValue(setter, "Written", nullptr, nullptr, &size), plat::kErrorAccessDenied);
    plat::RegistryCloseKey(setter);

    Handle reader = nullptr;
    ASSERT_EQ(plat::RegistryOpenKeyEx(user, path.c_str(), plat::kKeyRead, &reader), plat::kErrorSuccess);
    EXPECT_EQ(SetDword(reader, "Written", 6), plat::kErrorAccessDenied);
    EXPECT_EQ(plat::RegistryQueryValue(reader, "Written", nullptr, nullptr, &size), plat::kErrorSuccess);
    plat::RegistryCloseKey(reader);
    EXPECT_EQ(ReadDword(user, path, plat::kKeyQueryValue, "Written"), 5);

    // RegOpenKeyA and RegCreateKeyA open with every right the key grants.
    Handle any = nullptr;
    ASSERT_EQ(plat::RegistryOpenKey(user, path.c_str(), &any), plat::kErrorSuccess);
    EXPECT_EQ(SetDword(any, "Written", 7), plat::kErrorSuccess);
    EXPECT_EQ(plat::RegistryQueryValue(any, "Written", nullptr, nullptr, &size), plat::kErrorSuccess);
    plat::RegistryCloseKey(any);
    ASSERT_EQ(plat::RegistryCreateKey(user, path.c_str(), &any), plat::kErrorSuccess);
    EXPECT_EQ(SetDword(any, "Written", 8), plat::kErrorSuccess);
    plat::RegistryCloseKey(any);
    EXPECT_EQ(ReadDword(user, path, plat::kKeyRead, "Written"), 8);
}

TEST_F(RegistryContract, WideAndAnsiFormsSeeTheSameKeysAndValues) {
    const Handle user = plat::kHkeyCurrentUser;
    Handle wide = nullptr;
    ASSERT_EQ(plat::RegistryCreateKeyExW16(user, u"Software\\MixoContract\\Wide\\Endpoint", plat::kKeyAllAccess,
                                           &wide),
              plat::kErrorSuccess);
    const char16_t name[] = u"Mixolyte In 1";
    ASSERT_EQ(plat::RegistrySetValueW16(wide, u"{a45c254e-df1c-4efd-8020-67d146a850e0},2", plat::kRegSz, name,
                                        sizeof name),
              plat::kErrorSuccess);
    plat::RegistryCloseKey(wide);

    // Through the A forms: same key, same value, one byte per character.
    Handle narrow = nullptr;
    ASSERT_EQ(plat::RegistryOpenKeyEx(user, "software\\mixocontract\\WIDE\\endpoint", plat::kKeyRead, &narrow),
              plat::kErrorSuccess);
    char text[64];
    std::uint32_t size = sizeof text;
    std::uint32_t type = 0;
    EXPECT_EQ(plat::RegistryQueryValue(narrow, "{A45C254E-DF1C-4EFD-8020-67D146A850E0},2", &type, text, &size),
              plat::kErrorSuccess);
    EXPECT_EQ(type, plat::kRegSz);
    EXPECT_EQ(size, 14u);
    EXPECT_STREQ(text, "Mixolyte In 1");
    plat::RegistryCloseKey(narrow);

    // An A-written expandable text reads wide, not expanded, NUL included.
    ASSERT_EQ(plat::RegistryOpenKey(user, Under(kUserBase, "Wide\\Endpoint").c_str(), &narrow),
              plat::kErrorSuccess);
    const char icon[] = "%windir%\\System32\\drivers\\x.sys,-201";
    ASSERT_EQ(plat::RegistrySetValue(narrow, "Icon", plat::kRegExpandSz, icon, sizeof icon), plat::kErrorSuccess);
    plat::RegistryCloseKey(narrow);
    ASSERT_EQ(plat::RegistryOpenKeyW16(user, u"Software\\MixoContract\\Wide", &wide), plat::kErrorSuccess);
    Handle endpoint = nullptr;
    ASSERT_EQ(plat::RegistryOpenKeyExW16(wide, u"ENDPOINT", plat::kKeyRead, &endpoint), plat::kErrorSuccess);
    char16_t wide_text[64];
    size = sizeof wide_text;
    EXPECT_EQ(plat::RegistryQueryValueW16(endpoint, u"icon", &type, wide_text, &size), plat::kErrorSuccess);
    EXPECT_EQ(type, plat::kRegExpandSz);
    EXPECT_EQ(size, 2 * sizeof icon);
    EXPECT_EQ(std::u16string(wide_text), u"%windir%\\System32\\drivers\\x.sys,-201");
    // Wide: too long, missing, and the size in bytes.
    size = 10;
    EXPECT_EQ(plat::RegistryQueryValueW16(endpoint, u"Icon", &type, wide_text, &size), plat::kErrorMoreData);
    EXPECT_EQ(size, 2 * sizeof icon);
    EXPECT_EQ(plat::RegistryQueryValueW16(endpoint, u"Absent", &type, wide_text, &size), plat::kErrorFileNotFound);
    Handle none = nullptr;
    EXPECT_EQ(plat::RegistryOpenKeyExW16(wide, u"Absent", plat::kKeyRead, &none), plat::kErrorFileNotFound);
    EXPECT_EQ(none, plat::kInvalidHandle);
    EXPECT_EQ(plat::RegistryOpenKeyW16(wide, u"Absent", &none), plat::kErrorFileNotFound);
    EXPECT_EQ(EnumNamesW16(wide), std::vector<std::u16string>{u"Endpoint"});
    plat::RegistryCloseKey(endpoint);

    // The wide default value, and a wide DWORD read through the A form.
    const std::uint8_t dword[4] = {3, 0, 0, 0};
    ASSERT_EQ(plat::RegistrySetValueW16(wide, nullptr, plat::kRegDword, dword, 4), plat::kErrorSuccess);
    EXPECT_EQ(ReadDword(user, Under(kUserBase, "Wide"), plat::kKeyRead, nullptr), 3);
    plat::RegistryCloseKey(wide);

    // Characters beyond ASCII cross in the ANSI code page.
    CONTRACT_SKIP_UNLESS(ContractAnsiCodePage() == 1252,
                         "the ANSI code page is " << ContractAnsiCodePage() << ", not 1252");
    ASSERT_EQ(plat::RegistryCreateKeyExW16(user, u"Software\\MixoContract\\Wide\\Caf\u00e9", plat::kKeyAllAccess,
                                           &wide),
              plat::kErrorSuccess);
    const char16_t euro[] = u"\u20ac \u00e9";
    ASSERT_EQ(plat::RegistrySetValueW16(wide, u"Price", plat::kRegSz, euro, sizeof euro), plat::kErrorSuccess);
    plat::RegistryCloseKey(wide);
    ASSERT_EQ(plat::RegistryOpenKeyEx(user, "Software\\MixoContract\\Wide\\CAF\xC9", plat::kKeyRead, &narrow),
              plat::kErrorSuccess);
    size = sizeof text;
    EXPECT_EQ(plat::RegistryQueryValue(narrow, "Price", &type, text, &size), plat::kErrorSuccess);
    EXPECT_EQ(size, 4u);
    EXPECT_EQ(std::string(text), "\x80 \xE9");
    plat::RegistryCloseKey(narrow);
    EXPECT_EQ(ContractRegistrySubkeys(user, Under(kUserBase, "Wide")),
              (std::vector<std::string>{"Caf\xE9", "Endpoint"}));
}

TEST_F(RegistryContract, SixtyFourBitWindowsRedirectsMachineSoftwareOnly) {
    ContractUse64BitWindows();
    if (!ContractIs32BitProgram()) GTEST_SKIP() << "the setup program's views are a 32-bit program's";
    if (!ContractIs64BitWindows()) GTEST_SKIP() << "32-bit Windows has one registry view";
    const Handle machine = plat::kHkeyLocalMachine;
    const std::uint32_t read64 = plat::kKeyRead | plat::kKeyWow64_64Key;
    const std::uint32_t read32 = plat::kKeyRead | plat::kKeyWow64_32Key;

    // Written in the 64-bit view: the program's own view does not see it.
    Handle key = nullptr;
    ASSERT_EQ(plat::RegistryCreateKeyEx(machine, kMachineBase, plat::kKeyAllAccess | plat::kKeyWow64_64Key, &key),
              plat::kErrorSuccess);
    ASSERT_EQ(SetDword(key, "View", 64), plat::kErrorSuccess);
    plat::RegistryCloseKey(key);
    EXPECT_EQ(ReadDword(machine, kMachineBase, plat::kKeyRead, "View"), -2);
    EXPECT_EQ(ReadDword(machine, kMachineBase, read32, "View"), -2);
    EXPECT_EQ(plat::RegistryOpenKey(machine, kMachineBase, &key), plat::kErrorFileNotFound);

    // Written in the default view: a key of its own, under WOW6432Node.
    ASSERT_EQ(plat::RegistryCreateKey(machine, kMachineBase, &key), plat::kErrorSuccess);
    ASSERT_EQ(SetDword(key, "View", 32), plat::kErrorSuccess);
    plat::RegistryCloseKey(key);
    EXPECT_EQ(ReadDword(machine, kMachineBase, plat::kKeyRead, "View"), 32);
    EXPECT_EQ(ReadDword(machine, kMachineBase, read32, "View"), 32);
    EXPECT_EQ(ReadDword(machine, kMachineBase, read64, "View"), 64);
    std::uint32_t type = 0;
    std::string bytes;
    ASSERT_EQ(ContractGetRegistryValue(machine, "SOFTWARE\\WOW6432Node\\MixoContract", "View", &type, &bytes), 1);
    EXPECT_EQ(bytes, std::string("\x20\0\0\0", 4));
    ASSERT_EQ(ContractGetRegistryValue(machine, kMachineBase, "View", &type, &bytes), 1);
    EXPECT_EQ(bytes, std::string("\x40\0\0\0", 4));
    // A path that names WOW6432Node itself is not redirected twice.
    EXPECT_EQ(ReadDword(machine, "SOFTWARE\\WOW6432Node\\MixoContract", plat::kKeyRead, "View"), 32);
    EXPECT_EQ(ReadDword(machine, "SOFTWARE\\WOW6432Node\\MixoContract", read64, "View"), 32);

    // A handle stays in its view: SOFTWARE opened in the default view is the
    // 32-bit one, and paths below a handle are not redirected again.
    Handle software32 = nullptr;
    Handle software64 = nullptr;
    ASSERT_EQ(plat::RegistryOpenKeyEx(machine, "SOFTWARE", plat::kKeyRead, &software32), plat::kErrorSuccess);
    ASSERT_EQ(plat::RegistryOpenKeyEx(machine, "SOFTWARE", read64, &software64), plat::kErrorSuccess);
    EXPECT_FALSE(Lists(EnumNames(software32), "WOW6432Node"));
    EXPECT_TRUE(Lists(EnumNames(software64), "WOW6432Node"));
    EXPECT_TRUE(Lists(EnumNames(software32), "MixoContract"));
    EXPECT_EQ(ReadDword(software64, "MixoContract", plat::kKeyRead, "View"), 64);
    EXPECT_EQ(ReadDword(software32, "MixoContract", read64, "View"), 32);
    plat::RegistryCloseKey(software32);
    plat::RegistryCloseKey(software64);

    // The wide forms choose views the same way.
    Handle wide = nullptr;
    ASSERT_EQ(plat::RegistryCreateKeyExW16(machine, u"SOFTWARE\\MixoContract\\Audio",
                                           plat::kKeyAllAccess | plat::kKeyWow64_64Key, &wide),
              plat::kErrorSuccess);
    plat::RegistryCloseKey(wide);
    EXPECT_EQ(plat::RegistryOpenKeyExW16(machine, u"SOFTWARE\\MixoContract\\Audio", plat::kKeyRead, &wide),
              plat::kErrorFileNotFound);
    EXPECT_EQ(plat::RegistryOpenKeyW16(machine, u"SOFTWARE\\MixoContract\\Audio", &wide), plat::kErrorFileNotFound);
    ASSERT_EQ(plat::RegistryOpenKeyExW16(machine, u"SOFTWARE\\MixoContract\\Audio", read64, &wide),
              plat::kErrorSuccess);
    plat::RegistryCloseKey(wide);
    EXPECT_EQ(ContractRegistrySubkeys(machine, kMachineBase), std::vector<std::string>{"Audio"});

    // HKLM\SYSTEM and HKCU are the same in both views.
    ASSERT_EQ(plat::RegistryCreateKeyEx(machine, kSystemBase, plat::kKeyAllAccess | plat::kKeyWow64_64Key, &key),
              plat::kErrorSuccess);
    ASSERT_EQ(SetDword(key, "Shared", 1), plat::kErrorSuccess);
    plat::RegistryCloseKey(key);
    EXPECT_EQ(ReadDword(machine, kSystemBase, plat::kKeyRead, "Shared"), 1);
    EXPECT_EQ(ReadDword(machine, kSystemBase, read32, "Shared"), 1);
    ASSERT_EQ(plat::RegistryCreateKeyEx(plat::kHkeyCurrentUser, kUserBase,
                                        plat::kKeyAllAccess | plat::kKeyWow64_64Key, &key),
              plat::kErrorSuccess);
    ASSERT_EQ(SetDword(key, "Shared", 2), plat::kErrorSuccess);
    plat::RegistryCloseKey(key);
    EXPECT_EQ(ReadDword(plat::kHkeyCurrentUser, kUserBase, plat::kKeyRead, "Shared"), 2);
    EXPECT_EQ(ReadDword(plat::kHkeyCurrentUser, kUserBase, read32, "Shared"), 2);

    // Deleting in the default view takes the 32-bit key only.
    EXPECT_EQ(plat::RegistryDeleteKey(machine, kMachineBase), plat::kErrorSuccess);
    EXPECT_EQ(ReadDword(machine, kMachineBase, plat::kKeyRead, "View"), -2);
    EXPECT_EQ(ReadDword(machine, kMachineBase, read64, "View"), 64);
}

TEST_F(RegistryContract, ViewFlagsChangeNothingOn32BitWindows) {
    if (!ContractIs32BitProgram()) GTEST_SKIP() << "the setup program's views are a 32-bit program's";
    if (ContractIs64BitWindows()) GTEST_SKIP() << "64-bit Windows has two registry views";
    const Handle machine = plat::kHkeyLocalMachine;
    Handle key = nullptr;
    ASSERT_EQ(plat::RegistryCreateKeyEx(machine, kMachineBase, plat::kKeyAllAccess | plat::kKeyWow64_64Key, &key),
              plat::kErrorSuccess);
    ASSERT_EQ(SetDword(key, "View", 64), plat::kErrorSuccess);
    plat::RegistryCloseKey(key);
    EXPECT_EQ(ReadDword(machine, kMachineBase, plat::kKeyRead, "View"), 64);
    EXPECT_EQ(ReadDword(machine, kMachineBase, plat::kKeyRead | plat::kKeyWow64_32Key, "View"), 64);
    ASSERT_EQ(plat::RegistryCreateKeyEx(machine, kMachineBase, plat::kKeyAllAccess | plat::kKeyWow64_32Key, &key),
              plat::kErrorSuccess);
    ASSERT_EQ(SetDword(key, "View", 32), plat::kErrorSuccess);
    plat::RegistryCloseKey(key);
    EXPECT_EQ(ReadDword(machine, kMachineBase, plat::kKeyRead | plat::kKeyWow64_64Key, "View"), 32);
    EXPECT_FALSE(Lists(ContractRegistrySubkeys(machine, "SOFTWARE"), "WOW6432Node"));
    EXPECT_EQ(plat::RegistryDeleteKey(machine, kMachineBase), plat::kErrorSuccess);
    EXPECT_EQ(ReadDword(machine, kMachineBase, plat::kKeyRead | plat::kKeyWow64_64Key, "View"), -2);
}

TEST_F(RegistryContract, ForcedFailuresRefuseWritingAndDeleting) {
    const Handle user = plat::kHkeyCurrentUser;
    const std::string locked = Under(kUserBase, "Locked");
    const std::string sticky = Under(kUserBase, "Sticky");
    if (!ContractDenyRegistryWrite(user, locked) || !ContractDenyRegistryDelete(user, sticky))
        GTEST_SKIP() << "only the sim can force these failures";

    // A key that refuses writing: opens for reading, not for writing.
    Handle key = reinterpret_cast<Handle>(static_cast<std::intptr_t>(77));
    EXPECT_EQ(plat::RegistryOpenKeyEx(user, locked.c_str(), plat::kKeySetValue, &key), plat::kErrorAccessDenied);
    EXPECT_EQ(key, plat::kInvalidHandle);
    EXPECT_EQ(plat::RegistryOpenKeyEx(user, locked.c_str(), plat::kKeyAllAccess, &key), plat::kErrorAccessDenied);
    EXPECT_EQ(plat::RegistryCreateKeyEx(user, locked.c_str(), plat::kKeyAllAccess, &key), plat::kErrorAccessDenied);
    EXPECT_EQ(plat::RegistryOpenKeyEx(user, locked.c_str(), plat::kKeyDelete | plat::kKeyEnumerateSubKeys, &key),
              plat::kErrorAccessDenied);
    ASSERT_EQ(plat::RegistryOpenKeyEx(user, locked.c_str(), plat::kKeyRead, &key), plat::kErrorSuccess);
    plat::RegistryCloseKey(key);
    // Opened with the most rights it grants, it reads but does not write.
    ASSERT_EQ(plat::RegistryOpenKey(user, locked.c_str(), &key), plat::kErrorSuccess);
    EXPECT_EQ(SetDword(key, "Value", 1), plat::kErrorAccessDenied);
    plat::RegistryCloseKey(key);
    ASSERT_EQ(plat::RegistryCreateKey(user, locked.c_str(), &key), plat::kErrorSuccess);
    EXPECT_EQ(SetDword(key, "Value", 1), plat::kErrorAccessDenied);
    plat::RegistryCloseKey(key);
    // No subkey can be made below it, and it cannot be deleted.
    EXPECT_EQ(plat::RegistryCreateKey(user, (locked + "\\Child").c_str(), &key), plat::kErrorAccessDenied);
    EXPECT_EQ(ContractRegistrySubkeys(user, locked), std::vector<std::string>{});
    EXPECT_EQ(plat::RegistryDeleteKey(user, locked.c_str()), plat::kErrorAccessDenied);

    // A key that cannot be deleted opens for deleting all the same.
    ASSERT_EQ(plat::RegistryOpenKeyEx(user, sticky.c_str(), plat::kKeyDelete | plat::kKeyEnumerateSubKeys, &key),
              plat::kErrorSuccess);
    char name[64];
    std::uint32_t length = sizeof name;
    EXPECT_EQ(plat::RegistryEnumKey(key, 0, name, &length), plat::kErrorNoMoreItems);
    EXPECT_EQ(plat::RegistryDeleteKey(user, sticky.c_str()), plat::kErrorAccessDenied);
    plat::RegistryCloseKey(key);
    EXPECT_EQ(ContractRegistrySubkeys(user, kUserBase), (std::vector<std::string>{"Locked", "Sticky"}));
}
