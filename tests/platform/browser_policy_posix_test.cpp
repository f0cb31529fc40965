// Browser policies kept as a set of our own below a redirected root: written where each
// browser reads its managed policies, readable by the browsers' accounts whatever the umask,
// replaced whole, removed without touching the shop's own files, and other files that set the
// same policy reported (the browser takes it from one file only).
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cerrno>

#include "platform/browser_policy.h"
#include "platform/file_system.h"
#include "support/temp_folder.h"

namespace {

using platform::Browser;
using platform::BrowserListPolicy;
using platform::BrowserPolicySet;

const std::vector<BrowserListPolicy> kAllowShop = {
    {"LocalNetworkAccessAllowedForUrls", {"https://pdv.loja.example", "https://x.example:8443"}}};

mode_t Mode(const std::string& path) {
    struct stat st {};
    EXPECT_EQ(::stat(path.c_str(), &st), 0) << path;
    return st.st_mode & 07777;
}

class BrowserPolicies : public ::testing::Test {
protected:
    std::string Folder(const std::string& relative) { return root_ / relative; }
    BrowserPolicySet Set(const std::string& name = "quorvex-tef-server") {
        return {name, root_.path()};
    }

    qvtest::TempFolder root_;
};

TEST_F(BrowserPolicies, EachBrowserGetsItsFileInItsManagedFolder) {
    const struct {
        Browser browser;
        const char* folder;
    } cases[] = {
        {Browser::kChromium, "etc/chromium/policies/managed"},
        {Browser::kGoogleChrome, "etc/opt/chrome/policies/managed"},
        {Browser::kMicrosoftEdge, "etc/opt/edge/policies/managed"},
    };
    for (const auto& c : cases) {
        const auto outcome = platform::WriteBrowserPolicies(c.browser, Set(), kAllowShop);
        ASSERT_TRUE(outcome.status) << outcome.status.Message();
        EXPECT_TRUE(outcome.changed);
        EXPECT_TRUE(outcome.rivals.empty());
        // The root's own trailing separator is not doubled.
        EXPECT_EQ(outcome.location, Folder(c.folder) + "/quorvex-tef-server.json");
        EXPECT_EQ(platform::ReadFile(outcome.location).value_or(""),
                  "{\n"
                  "  \"LocalNetworkAccessAllowedForUrls\": [\n"
                  "    \"https://pdv.loja.example\",\n"
                  "    \"https://x.example:8443\"\n"
                  "  ]\n"
                  "}\n")
            << platform::BrowserName(c.browser);
    }
}

TEST_F(BrowserPolicies, FoldersAndFileAreReadableByEveryoneWhateverTheUmask) {
    const mode_t old_mask = ::umask(077);
    const auto outcome = platform::WriteBrowserPolicies(Browser::kChromium, Set(), kAllowShop);
    ::umask(old_mask);
    ASSERT_TRUE(outcome.status) << outcome.status.Message();
    EXPECT_EQ(Mode(outcome.location), 0644u);
    for (const char* folder :
         {"etc", "etc/chromium", "etc/chromium/policies", "etc/chromium/policies/managed"}) {
        EXPECT_EQ(Mode(Folder(folder)), 0755u) << folder;
    }
    // A folder that was there keeps its mode: it is the system's, not ours.
    ASSERT_EQ(::chmod(Folder("etc").c_str(), 0750), 0);
    ASSERT_TRUE(platform::WriteBrowserPolicies(Browser::kGoogleChrome, Set(), kAllowShop).status);
    EXPECT_EQ(Mode(Folder("etc")), 0750u);
    EXPECT_EQ(Mode(Folder("etc/opt")), 0755u);
}

TEST_F(BrowserPolicies, WritingAgainReplacesTheSetAndRemovingLeavesTheShopsFiles) {
    ASSERT_TRUE(platform::WriteBrowserPolicies(Browser::kChromium, Set(), kAllowShop).status);
    const std::string folder = Folder("etc/chromium/policies/managed");
    ASSERT_TRUE(platform::WriteFile(folder + "/loja.json", R"({"HomepageLocation": "x"})"));
    const auto rewritten = platform::WriteBrowserPolicies(
        Browser::kChromium, Set(), {{"LocalNetworkAccessAllowedForUrls", {"https://b.example"}}});
    ASSERT_TRUE(rewritten.status);
    EXPECT_TRUE(rewritten.rivals.empty()) << "another policy is no rival";
    EXPECT_EQ(platform::ReadFile(rewritten.location).value_or(""),
              "{\n  \"LocalNetworkAccessAllowedForUrls\": [\n    \"https://b.example\"\n  ]\n}\n");

    const auto removed = platform::RemoveBrowserPolicies(Browser::kChromium, Set());
    EXPECT_TRUE(removed.status);
    EXPECT_TRUE(removed.changed);
    EXPECT_FALSE(platform::FileExists(rewritten.location));
    EXPECT_EQ(platform::ListFiles(folder, "*"), std::vector<std::string>{"loja.json"});

    const auto again = platform::RemoveBrowserPolicies(Browser::kChromium, Set());
    EXPECT_TRUE(again.status) << "nothing to remove is no failure";
    EXPECT_FALSE(again.changed);
    // Another set of ours is another file.
    ASSERT_TRUE(platform::WriteBrowserPolicies(Browser::kChromium, Set("a"), kAllowShop).status);
    ASSERT_TRUE(platform::WriteBrowserPolicies(Browser::kChromium, Set("b"), kAllowShop).status);
    ASSERT_TRUE(platform::RemoveBrowserPolicies(Browser::kChromium, Set("a")).changed);
    EXPECT_TRUE(platform::FileExists(folder + "/b.json"));
}

TEST_F(BrowserPolicies, OtherFilesSettingTheSamePolicyAreReported) {
    const std::string folder = Folder("etc/chromium/policies/managed");
    ASSERT_TRUE(platform::ForceDirectories(folder));
    ASSERT_TRUE(platform::WriteFile(
        folder + "/z-loja.json", R"({"LocalNetworkAccessAllowedForUrls": ["https://a.example"]})"));
    ASSERT_TRUE(platform::WriteFile(folder + "/a-outra.json",
                                    "{\n \"LocalNetworkAccessAllowedForUrls\" : []}"));
    ASSERT_TRUE(platform::WriteFile(folder + "/m-nada.json", R"({"URLAllowlist": ["x"]})"));
    const auto outcome = platform::WriteBrowserPolicies(Browser::kChromium, Set(), kAllowShop);
    ASSERT_TRUE(outcome.status);
    EXPECT_EQ(outcome.rivals,
              (std::vector<std::string>{folder + "/a-outra.json", folder + "/z-loja.json"}));
}

TEST_F(BrowserPolicies, FailuresSayWhereAndWhy) {
    // A file where the browser's folder should be.
    ASSERT_TRUE(platform::ForceDirectories(Folder("etc/opt")));
    ASSERT_TRUE(platform::WriteFile(Folder("etc/opt/chrome"), "not a folder"));
    const auto blocked = platform::WriteBrowserPolicies(Browser::kGoogleChrome, Set(), kAllowShop);
    EXPECT_FALSE(blocked.status);
    EXPECT_FALSE(blocked.changed);
    EXPECT_EQ(blocked.status.Error(), ENOTDIR) << blocked.status.Message();

    for (const std::string name : {"", "../escape", ".hidden", "a/b"}) {
        const auto refused =
            platform::WriteBrowserPolicies(Browser::kChromium, Set(name), kAllowShop);
        EXPECT_EQ(refused.status.Error(), EINVAL) << name;
        EXPECT_EQ(platform::RemoveBrowserPolicies(Browser::kChromium, Set(name)).status.Error(),
                  EINVAL)
            << name;
    }
    EXPECT_FALSE(platform::DirectoryExists(Folder("etc/chromium")));
}

}  // namespace
