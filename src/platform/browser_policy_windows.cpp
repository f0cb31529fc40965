#include <algorithm>
#include <cerrno>
#include <cwctype>
#include <utility>

#include "platform/browser_policy.h"
#include "platform/win32.h"

namespace platform {
namespace {

using win32::Utf8;
using win32::Wide;

// A list policy is a key of numbered string values "1", "2", ... below the browser's key. The
// browser reads them from "1" up to the first number missing, so the numbers are kept without
// gaps whenever we add or take one.
//
// What we added is remembered apart, below kRecordKey\<set>\<browser>\<policy>, as the same
// numbered texts: the policy keys are the shop's too, and removing the set takes back those
// texts and nothing else.
constexpr const wchar_t* kPoliciesKey = L"SOFTWARE\\Policies\\";
constexpr const wchar_t* kRecordKey = L"SOFTWARE\\Quorvex\\TEF Server\\Browser policies\\";
// Set in a policy's record when the policy's key was created by us, so that removing the
// set's last entry removes the key too.
constexpr const wchar_t* kCreatedValue = L"created";

// Each browser's key of machine policies, below SOFTWARE\Policies.
const wchar_t* BrowserKey(Browser browser) {
    switch (browser) {
        case Browser::kChromium:
            return L"Chromium";
        case Browser::kGoogleChrome:
            return L"Google\\Chrome";
        case Browser::kMicrosoftEdge:
            return L"Microsoft\\Edge";
    }
    return L"";
}

// An open registry key, closed when it goes.
class RegistryKey {
public:
    RegistryKey() = default;
    RegistryKey(const RegistryKey&) = delete;
    RegistryKey& operator=(const RegistryKey&) = delete;
    ~RegistryKey() {
        if (key_ != nullptr) ::RegCloseKey(key_);
    }
    HKEY* Out() { return &key_; }
    HKEY Get() const { return key_; }

private:
    HKEY key_ = nullptr;
};

// Where a set lives: the hive and the path its keys start from. The root redirects it: empty
// for the machine's policies (HKLM), else "HKCU\Some\Key" or "HKLM\Some\Key" (a root without
// a hive is below HKLM).
struct Place {
    HKEY hive = HKEY_LOCAL_MACHINE;
    std::wstring prefix;  // "" or "Some\Key\"
    std::string hive_name = "HKLM";

    std::string Shown(const std::wstring& path) const {
        return hive_name + "\\" + Utf8(prefix + path);
    }
};

Place PlaceOf(const std::string& root) {
    Place place;
    std::wstring path = Wide(root);
    std::replace(path.begin(), path.end(), L'/', L'\\');
    const auto starts_with_hive = [&path](const wchar_t* name) {
        const std::wstring hive = name;
        if (path.size() < hive.size() || (path.size() > hive.size() && path[hive.size()] != L'\\'))
            return false;
        for (size_t i = 0; i < hive.size(); ++i)
            if (std::towupper(path[i]) != hive[i]) return false;
        path.erase(0, hive.size());
        return true;
    };
    if (starts_with_hive(L"HKCU") || starts_with_hive(L"HKEY_CURRENT_USER")) {
        place.hive = HKEY_CURRENT_USER;
        place.hive_name = "HKCU";
    } else if (!starts_with_hive(L"HKLM")) {
        starts_with_hive(L"HKEY_LOCAL_MACHINE");
    }
    while (!path.empty() && path.front() == L'\\') path.erase(0, 1);
    while (!path.empty() && path.back() == L'\\') path.pop_back();
    if (!path.empty()) place.prefix = path + L"\\";
    return place;
}

std::wstring PolicyPath(Browser browser, const std::wstring& policy = {}) {
    std::wstring path = std::wstring(kPoliciesKey) + BrowserKey(browser);
    return policy.empty() ? path : path + L"\\" + policy;
}

std::wstring RecordPath(Browser browser, const BrowserPolicySet& set) {
    return kRecordKey + Wide(set.name) + L"\\" + BrowserKey(browser);
}

// A set's name becomes a key name below our record.
bool UsableSetName(const std::string& name) {
    return !name.empty() && name.find('\\') == std::string::npos &&
           name.find('/') == std::string::npos && name.find('\0') == std::string::npos;
}

// One numbered entry of a list policy.
struct Entry {
    unsigned long number;
    std::wstring text;
};

bool IsNumber(const std::wstring& name) {
    return !name.empty() && name.size() < 10 &&
           std::all_of(name.begin(), name.end(), [](wchar_t c) { return c >= L'0' && c <= L'9'; });
}

// The key's numbered string values, by number. Values of other names or kinds are not entries.
std::vector<Entry> ReadEntries(HKEY key) {
    std::vector<Entry> entries;
    for (DWORD index = 0;; ++index) {
        wchar_t name[256];
        DWORD name_length = 256;
        DWORD type = 0;
        DWORD bytes = 0;
        if (::RegEnumValueW(key, index, name, &name_length, nullptr, &type, nullptr, &bytes) !=
            ERROR_SUCCESS)
            break;
        if (type != REG_SZ || !IsNumber(name)) continue;
        std::wstring text(bytes / sizeof(wchar_t) + 1, L'\0');
        DWORD size = static_cast<DWORD>(text.size() * sizeof(wchar_t));
        if (::RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(text.data()),
                               &size) != ERROR_SUCCESS)
            continue;
        text.resize(::wcsnlen(text.c_str(), size / sizeof(wchar_t)));
        entries.push_back({std::wcstoul(name, nullptr, 10), std::move(text)});
    }
    std::sort(entries.begin(), entries.end(),
              [](const Entry& a, const Entry& b) { return a.number < b.number; });
    return entries;
}

LSTATUS SetText(HKEY key, const std::wstring& name, const std::wstring& text) {
    return ::RegSetValueExW(key, name.c_str(), 0, REG_SZ,
                            reinterpret_cast<const BYTE*>(text.c_str()),
                            static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
}

// Renumbers the entries 1, 2, ... in their order. Each one moves down only, into a number
// that is free by then.
LSTATUS Renumber(HKEY key, std::vector<Entry>& entries) {
    for (size_t i = 0; i < entries.size(); ++i) {
        const unsigned long number = i + 1;
        if (entries[i].number == number) continue;
        if (LSTATUS set = SetText(key, std::to_wstring(number), entries[i].text); set != 0)
            return set;
        if (LSTATUS gone = ::RegDeleteValueW(key, std::to_wstring(entries[i].number).c_str());
            gone != 0)
            return gone;
        entries[i].number = number;
    }
    return ERROR_SUCCESS;
}

bool HasText(const std::vector<Entry>& entries, const std::wstring& text) {
    return std::any_of(entries.begin(), entries.end(),
                       [&text](const Entry& entry) { return entry.text == text; });
}

LSTATUS OpenKey(const Place& place, const std::wstring& path, REGSAM access, RegistryKey& key) {
    return ::RegOpenKeyExW(place.hive, (place.prefix + path).c_str(), 0, access, key.Out());
}

LSTATUS CreateKey(const Place& place, const std::wstring& path, RegistryKey& key,
                  bool* created = nullptr) {
    DWORD disposition = 0;
    const LSTATUS status = ::RegCreateKeyExW(place.hive, (place.prefix + path).c_str(), 0, nullptr,
                                             REG_OPTION_NON_VOLATILE, KEY_READ | KEY_WRITE, nullptr,
                                             key.Out(), &disposition);
    if (created != nullptr) *created = disposition == REG_CREATED_NEW_KEY;
    return status;
}

// Deletes `path` and then each parent up to (not including) `stop`, as long as they are empty.
void DeleteEmptyKeys(const Place& place, std::wstring path, const std::wstring& stop) {
    while (path.size() > stop.size()) {
        if (::RegDeleteKeyW(place.hive, (place.prefix + path).c_str()) != ERROR_SUCCESS) return;
        path.erase(path.rfind(L'\\'));
    }
}

// The policies named in the record of `browser`'s set: the record's subkeys.
std::vector<std::wstring> RecordedPolicies(HKEY record) {
    std::vector<std::wstring> names;
    for (DWORD index = 0;; ++index) {
        wchar_t name[256];
        DWORD length = 256;
        if (::RegEnumKeyExW(record, index, name, &length, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS)
            break;
        names.emplace_back(name, length);
    }
    return names;
}

// What taking back a set did.
struct TakenBack {
    bool changed = false;
    // Policies whose keys we created and that are still there, holding others' entries.
    std::vector<std::wstring> created_keys;
};

// Takes one policy's recorded texts out of its list. Texts the list no longer has were
// taken by someone else already.
LSTATUS TakeBack(const Place& place, Browser browser, HKEY record, const std::wstring& policy,
                 TakenBack& taken) {
    RegistryKey policy_record;
    if (LSTATUS opened = ::RegOpenKeyExW(record, policy.c_str(), 0, KEY_READ, policy_record.Out());
        opened != 0)
        return opened;
    const std::vector<Entry> ours = ReadEntries(policy_record.Get());
    const bool created = ::RegQueryValueExW(policy_record.Get(), kCreatedValue, nullptr, nullptr,
                                            nullptr, nullptr) == ERROR_SUCCESS;
    RegistryKey list;
    const LSTATUS opened = OpenKey(place, PolicyPath(browser, policy), KEY_READ | KEY_WRITE, list);
    if (opened == ERROR_FILE_NOT_FOUND) return ERROR_SUCCESS;
    if (opened != 0) return opened;
    std::vector<Entry> entries = ReadEntries(list.Get());
    for (const Entry& own : ours) {
        const auto found = std::find_if(entries.begin(), entries.end(), [&own](const Entry& entry) {
            return entry.text == own.text;
        });
        if (found == entries.end()) continue;
        if (LSTATUS gone = ::RegDeleteValueW(list.Get(), std::to_wstring(found->number).c_str());
            gone != 0)
            return gone;
        entries.erase(found);
        taken.changed = true;
    }
    if (LSTATUS renumbered = Renumber(list.Get(), entries); renumbered != 0) return renumbered;
    DWORD values = 0;
    ::RegQueryInfoKeyW(list.Get(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values,
                       nullptr, nullptr, nullptr, nullptr);
    if (created && values == 0)
        DeleteEmptyKeys(place, PolicyPath(browser, policy), PolicyPath(browser));
    else if (created)
        taken.created_keys.push_back(policy);
    return ERROR_SUCCESS;
}

// Takes back everything the set's record names for `browser`, and the record.
LSTATUS TakeBackSet(const Place& place, Browser browser, const BrowserPolicySet& set,
                    TakenBack& taken) {
    const std::wstring record_path = RecordPath(browser, set);
    {
        RegistryKey record;
        const LSTATUS opened = OpenKey(place, record_path, KEY_READ, record);
        if (opened == ERROR_FILE_NOT_FOUND) return ERROR_SUCCESS;
        if (opened != 0) return opened;
        for (const std::wstring& policy : RecordedPolicies(record.Get())) {
            if (LSTATUS status = TakeBack(place, browser, record.Get(), policy, taken); status != 0)
                return status;
        }
    }
    if (LSTATUS gone = ::RegDeleteTreeW(place.hive, (place.prefix + record_path).c_str());
        gone != 0)
        return gone;
    taken.changed = true;
    DeleteEmptyKeys(place, record_path.substr(0, record_path.rfind(L'\\')), L"SOFTWARE");
    return ERROR_SUCCESS;
}

// Adds the texts of `policy` its list lacks, each at the end, and records them. `ours`: the
// policy's key is one we created before.
LSTATUS Add(const Place& place, Browser browser, const BrowserPolicySet& set,
            const BrowserListPolicy& policy, bool ours) {
    const std::wstring name = Wide(policy.name);
    RegistryKey list;
    bool created = false;
    if (LSTATUS made = CreateKey(place, PolicyPath(browser, name), list, &created); made != 0)
        return made;
    RegistryKey record;
    if (LSTATUS made = CreateKey(place, RecordPath(browser, set) + L"\\" + name, record); made != 0)
        return made;
    if (created || ours) {
        const DWORD one = 1;
        ::RegSetValueExW(record.Get(), kCreatedValue, 0, REG_DWORD,
                         reinterpret_cast<const BYTE*>(&one), sizeof one);
    }
    std::vector<Entry> entries = ReadEntries(list.Get());
    if (LSTATUS renumbered = Renumber(list.Get(), entries); renumbered != 0) return renumbered;
    unsigned long recorded = 0;
    for (const std::string& value : policy.values) {
        const std::wstring text = Wide(value);
        // Already allowed, by the shop or by us: a second entry would only be ours to remove.
        if (HasText(entries, text)) continue;
        const unsigned long number = entries.size() + 1;
        if (LSTATUS set_text = SetText(list.Get(), std::to_wstring(number), text); set_text != 0)
            return set_text;
        entries.push_back({number, text});
        if (LSTATUS kept = SetText(record.Get(), std::to_wstring(++recorded), text); kept != 0)
            return kept;
    }
    return ERROR_SUCCESS;
}

BrowserPolicyOutcome Outcome(Browser browser, const Place& place) {
    return {place.Shown(PolicyPath(browser)), {}, false, {}};
}

}  // namespace

BrowserPolicyOutcome WriteBrowserPolicies(Browser browser, const BrowserPolicySet& set,
                                          const std::vector<BrowserListPolicy>& policies) {
    const Place place = PlaceOf(set.root);
    BrowserPolicyOutcome outcome = Outcome(browser, place);
    if (!UsableSetName(set.name)) {
        outcome.status = FileStatus(EINVAL, "write", outcome.location);
        return outcome;
    }
    TakenBack taken;
    LSTATUS status = TakeBackSet(place, browser, set, taken);
    for (size_t i = 0; status == ERROR_SUCCESS && i < policies.size(); ++i) {
        const std::wstring name = Wide(policies[i].name);
        const bool ours = std::find(taken.created_keys.begin(), taken.created_keys.end(), name) !=
                          taken.created_keys.end();
        status = Add(place, browser, set, policies[i], ours);
    }
    outcome.changed = true;
    if (status != ERROR_SUCCESS)
        outcome.status =
            win32::Failure(static_cast<DWORD>(status), "RegCreateKeyEx", outcome.location);
    // No rivals to report: a list in the machine's key is the one the browser applies, over
    // the user's, and the browser reads it from this one key only.
    return outcome;
}

BrowserPolicyOutcome RemoveBrowserPolicies(Browser browser, const BrowserPolicySet& set) {
    const Place place = PlaceOf(set.root);
    BrowserPolicyOutcome outcome = Outcome(browser, place);
    if (!UsableSetName(set.name)) {
        outcome.status = FileStatus(EINVAL, "delete", outcome.location);
        return outcome;
    }
    TakenBack taken;
    const LSTATUS status = TakeBackSet(place, browser, set, taken);
    outcome.changed = taken.changed;
    if (status != 0)
        outcome.status =
            win32::Failure(static_cast<DWORD>(status), "RegDeleteValue", outcome.location);
    return outcome;
}

}  // namespace platform
