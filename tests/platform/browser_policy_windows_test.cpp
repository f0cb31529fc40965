// Browser policies in the registry, below a key of the test's own in HKCU: each list policy is
// numbered string values "1", "2", ... that the browser reads up to the first number missing.
// Our texts are added after the shop's, a text the shop already allows is not added twice,
// and removing the set takes back only our texts, closing the gaps so that the shop's later
// entries stay visible.
#include <gtest/gtest.h>
#include <windows.h>

#include <map>
#include <string>

#include "platform/browser_policy.h"
#include "platform/guid.h"

namespace {

using platform::Browser;
using platform::BrowserListPolicy;
using platform::BrowserPolicySet;
using Values = std::map<std::wstring, std::wstring>;

constexpr const char* kPolicy = "LocalNetworkAccessAllowedForUrls";
const std::vector<BrowserListPolicy> kAllowShop = {
    {kPolicy, {"https://pdv.loja.example", "https://x.example:8443"}}};

class BrowserPoliciesInRegistry : public ::testing::Test {
protected:
    ~BrowserPoliciesInRegistry() override { ::RegDeleteTreeW(HKEY_CURRENT_USER, root_.c_str()); }

    BrowserPolicySet Set(const std::string& name = "quorvex-tef-server") const {
        return {name, "HKCU\\" + std::string(root_.begin(), root_.end())};
    }
    std::wstring Key(const std::wstring& relative) const { return root_ + L"\\" + relative; }
    std::wstring ChromeList() const {
        return Key(L"SOFTWARE\\Policies\\Google\\Chrome\\LocalNetworkAccessAllowedForUrls");
    }

    bool Exists(const std::wstring& key) const {
        HKEY opened = nullptr;
        if (::RegOpenKeyExW(HKEY_CURRENT_USER, key.c_str(), 0, KEY_READ, &opened) != 0)
            return false;
        ::RegCloseKey(opened);
        return true;
    }

    void Put(const std::wstring& key, const std::wstring& name, const std::wstring& text) const {
        ASSERT_EQ(
            ::RegSetKeyValueW(HKEY_CURRENT_USER, key.c_str(), name.c_str(), REG_SZ, text.c_str(),
                              static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t))),
            0);
    }

    // Every value of `key` that is a text, by name.
    Values Read(const std::wstring& key) const {
        Values values;
        HKEY opened = nullptr;
        if (::RegOpenKeyExW(HKEY_CURRENT_USER, key.c_str(), 0, KEY_READ, &opened) != 0)
            return values;
        for (DWORD index = 0;; ++index) {
            wchar_t name[256];
            DWORD name_length = 256;
            wchar_t text[1024];
            DWORD bytes = sizeof text;
            DWORD type = 0;
            if (::RegEnumValueW(opened, index, name, &name_length, nullptr, &type,
                                reinterpret_cast<BYTE*>(text), &bytes) != 0)
                break;
            if (type == REG_SZ) values[name] = text;
        }
        ::RegCloseKey(opened);
        return values;
    }

    const std::wstring root_ = L"Software\\QuorvexTests\\" + [] {
        const std::string guid = platform::NewGuid();
        return std::wstring(guid.begin(), guid.end());
    }();
};

TEST_F(BrowserPoliciesInRegistry, EachBrowserGetsItsNumberedListInItsPolicyKey) {
    const struct {
        Browser browser;
        const wchar_t* key;
    } cases[] = {
        {Browser::kChromium, L"SOFTWARE\\Policies\\Chromium"},
        {Browser::kGoogleChrome, L"SOFTWARE\\Policies\\Google\\Chrome"},
        {Browser::kMicrosoftEdge, L"SOFTWARE\\Policies\\Microsoft\\Edge"},
    };
    for (const auto& c : cases) {
        const auto outcome = platform::WriteBrowserPolicies(c.browser, Set(), kAllowShop);
        ASSERT_TRUE(outcome.status) << outcome.status.Message();
        EXPECT_TRUE(outcome.changed);
        EXPECT_TRUE(outcome.rivals.empty());
        const std::wstring key = Key(c.key);
        EXPECT_EQ(outcome.location, "HKCU\\" + std::string(key.begin(), key.end()));
        EXPECT_EQ(Read(key + L"\\LocalNetworkAccessAllowedForUrls"),
                  (Values{{L"1", L"https://pdv.loja.example"}, {L"2", L"https://x.example:8443"}}))
            << platform::BrowserName(c.browser);
    }
    // Written again: the same list, not a longer one.
    ASSERT_TRUE(platform::WriteBrowserPolicies(Browser::kGoogleChrome, Set(), kAllowShop).status);
    EXPECT_EQ(Read(ChromeList()).size(), 2u);
}

TEST_F(BrowserPoliciesInRegistry, TheShopsEntriesStayAndRemovalTakesBackOnlyOurs) {
    Put(Key(L"SOFTWARE\\Policies\\Google\\Chrome"), L"HomepageLocation", L"https://loja.example");
    Put(ChromeList(), L"1", L"https://retaguarda.loja.example");
    Put(ChromeList(), L"2", L"https://pdv.loja.example");

    ASSERT_TRUE(platform::WriteBrowserPolicies(Browser::kGoogleChrome, Set(), kAllowShop).status);
    EXPECT_EQ(Read(ChromeList()), (Values{{L"1", L"https://retaguarda.loja.example"},
                                          {L"2", L"https://pdv.loja.example"},
                                          {L"3", L"https://x.example:8443"}}));

    // The shop adds one after ours; removing ours closes the gap so the browser still sees it.
    Put(ChromeList(), L"4", L"https://caixa2.loja.example");
    const auto removed = platform::RemoveBrowserPolicies(Browser::kGoogleChrome, Set());
    ASSERT_TRUE(removed.status) << removed.status.Message();
    EXPECT_TRUE(removed.changed);
    EXPECT_EQ(Read(ChromeList()), (Values{{L"1", L"https://retaguarda.loja.example"},
                                          {L"2", L"https://pdv.loja.example"},
                                          {L"3", L"https://caixa2.loja.example"}}));
    EXPECT_EQ(Read(Key(L"SOFTWARE\\Policies\\Google\\Chrome")),
              (Values{{L"HomepageLocation", L"https://loja.example"}}));
    EXPECT_FALSE(Exists(Key(L"SOFTWARE\\Quorvex"))) << "the record of what we wrote is gone";

    const auto again = platform::RemoveBrowserPolicies(Browser::kGoogleChrome, Set());
    ASSERT_TRUE(again.status) << again.status.Message();
    EXPECT_FALSE(again.changed);
    EXPECT_EQ(Read(ChromeList()).size(), 3u);
}

TEST_F(BrowserPoliciesInRegistry, RewritingReplacesOurEntriesAndTwoSetsKeepTheirOwn) {
    ASSERT_TRUE(platform::WriteBrowserPolicies(Browser::kMicrosoftEdge, Set(), kAllowShop).status);
    ASSERT_TRUE(platform::WriteBrowserPolicies(Browser::kMicrosoftEdge, Set("other"),
                                               {{kPolicy, {"https://outro.example"}}})
                    .status);
    ASSERT_TRUE(platform::WriteBrowserPolicies(Browser::kMicrosoftEdge, Set(),
                                               {{kPolicy, {"https://novo.loja.example"}}})
                    .status);
    const std::wstring list =
        Key(L"SOFTWARE\\Policies\\Microsoft\\Edge\\LocalNetworkAccessAllowedForUrls");
    EXPECT_EQ(Read(list),
              (Values{{L"1", L"https://outro.example"}, {L"2", L"https://novo.loja.example"}}));

    ASSERT_TRUE(platform::RemoveBrowserPolicies(Browser::kMicrosoftEdge, Set("other")).status);
    EXPECT_EQ(Read(list), (Values{{L"1", L"https://novo.loja.example"}}));
    // The last entry gone from a key we created: the key goes too.
    ASSERT_TRUE(platform::RemoveBrowserPolicies(Browser::kMicrosoftEdge, Set()).status);
    EXPECT_FALSE(Exists(list));
    EXPECT_FALSE(Exists(Key(L"SOFTWARE\\Quorvex")));
}

TEST_F(BrowserPoliciesInRegistry, ANameThatIsNoKeyNameIsRefused) {
    for (const char* name : {"", "a\\b"}) {
        EXPECT_EQ(platform::WriteBrowserPolicies(Browser::kChromium, Set(name), kAllowShop)
                      .status.Error(),
                  EINVAL)
            << name;
        EXPECT_EQ(platform::RemoveBrowserPolicies(Browser::kChromium, Set(name)).status.Error(),
                  EINVAL)
            << name;
    }
    EXPECT_FALSE(Exists(Key(L"SOFTWARE")));
}

}  // namespace
