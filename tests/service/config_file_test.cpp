#include "service/config_file.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "platform/file_system.h"
#include "support/temp_folder.h"

namespace {

using service::ConfigFile;

class ConfigFileTest : public ::testing::Test {
protected:
    void WriteText(const std::string& text) { ASSERT_TRUE(platform::WriteFile(path_, text)); }
    std::string Text() const { return platform::ReadFile(path_).value_or("<missing>"); }

    qvtest::TempFolder folder_;
    std::string path_ = folder_ / "QuorvexSiTefService.ini";
    ConfigFile config_{path_};
};

TEST(ConfigInteger, DecimalAndHexadecimalParse) {
    struct Case {
        const char* text;
        std::optional<int32_t> value;
    } cases[] = {
        {"8443", 8443},
        {"-5", -5},
        {"+7", 7},
        {"0x50", 80},
        {"0X1bB", 443},
        {"0xFFFFFFFF", -1},
        {"", std::nullopt},
        {"abc", std::nullopt},
        {"12a", std::nullopt},
        {"0x", std::nullopt},
        {"0x-1", std::nullopt},
        {"+-1", std::nullopt},
        {"2147483648", std::nullopt},
        {"1.5", std::nullopt},
    };
    for (const auto& c : cases) EXPECT_EQ(ConfigFile::ParseInteger(c.text), c.value) << c.text;
}

TEST_F(ConfigFileTest, ListenPortFallsBackTo443) {
    struct Case {
        const char* ini;
        int port;
    } cases[] = {
        {"", 443},
        {"[sitef]\n", 443},
        {"[sitef]\nserver_port=0\n", 443},
        {"[sitef]\nserver_port=-8443\n", 443},
        {"[sitef]\nserver_port=porta\n", 443},
        {"[sitef]\nserver_port=0x50\n", 80},
        {"[sitef]\nserver_port = 8443 \n", 8443},
        {"[Sitef]\nSERVER_PORT=9000\n", 9000},
        {"[other]\nserver_port=9000\n", 443},
    };
    for (const auto& c : cases) {
        WriteText(c.ini);
        EXPECT_EQ(service::ListenPort(config_), c.port) << c.ini;
    }
    platform::DeleteFile(path_);
    EXPECT_EQ(service::ListenPort(config_), 443);
}

TEST_F(ConfigFileTest, DefaultsWhenTheFileIsMissing) {
    EXPECT_EQ(service::PrinterName(config_), "");
    EXPECT_EQ(service::PdvNumber(config_), 0);
    EXPECT_FALSE(service::QrCodeOnPinpad(config_));
    EXPECT_FALSE(platform::FileExists(path_));
}

TEST_F(ConfigFileTest, EveryWriteReachesTheFileAndEveryReadSeesIt) {
    service::WriteAnnouncedVersion(config_, true, "https://example.invalid/x", "1.2.3.4");
    ConfigFile other(path_);
    EXPECT_TRUE(other.ReadBool("sitef", "need_update", false));
    EXPECT_EQ(other.ReadString("SITEF", "Download_Url", ""), "https://example.invalid/x");
    EXPECT_EQ(other.ReadString("sitef", "version", ""), "1.2.3.4");
    EXPECT_NE(Text().find("need_update = 1"), std::string::npos) << Text();

    // A change made to the file behind the object's back is what the next read returns.
    WriteText("[Sitef]\nprinter=PDF Térmica\npdv_number=0x0A\nqrcode_on_pinpad=2\n");
    EXPECT_EQ(service::PrinterName(config_), "PDF Térmica");
    EXPECT_EQ(service::PdvNumber(config_), 10);
    EXPECT_TRUE(service::QrCodeOnPinpad(config_));

    // Writing a key in other letter case updates the existing entry; other keys survive.
    config_.WriteBool("sitef", "QRCODE_ON_PINPAD", false);
    EXPECT_FALSE(service::QrCodeOnPinpad(config_));
    EXPECT_EQ(service::PrinterName(config_), "PDF Térmica");
    EXPECT_NE(Text().find("qrcode_on_pinpad = 0"), std::string::npos) << Text();
}

TEST_F(ConfigFileTest, WritesFromSeveralThreadsAreAllKept) {
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([this, t] {
            for (int i = 0; i < 25; ++i)
                config_.WriteInteger("sitef", "k" + std::to_string(t) + "_" + std::to_string(i), i);
        });
    }
    for (auto& thread : threads) thread.join();
    for (int t = 0; t < 4; ++t)
        for (int i = 0; i < 25; ++i)
            EXPECT_EQ(
                config_.ReadInteger("sitef", "k" + std::to_string(t) + "_" + std::to_string(i), -1),
                i);
}

TEST_F(ConfigFileTest, AValueThatWouldBreakItsLineIsRefusedAndChangesNothing) {
    const std::string ini = "[sitef]\r\nserver_port = 8443\r\nprinter = Caixa\r\n";
    const std::string bad_values[] = {
        "x\r\n[sitef]\r\nserver_port=1",
        "x\nprinter=Outra",
        "x\r",
        std::string("1.0\0.2", 5),
    };
    for (const std::string& bad : bad_values) {
        WriteText(ini);
        EXPECT_THROW(config_.WriteString("sitef", "download_url", bad), std::invalid_argument);
        EXPECT_THROW(service::WriteAnnouncedVersion(config_, true, bad, "1.0.0.2"),
                     std::invalid_argument);
        EXPECT_THROW(
            service::WriteAnnouncedVersion(config_, true, "https://example.invalid/x", bad),
            std::invalid_argument);
        // Not even the first key of the announcement was written.
        EXPECT_EQ(Text(), ini);
        EXPECT_EQ(service::ListenPort(config_), 8443);
    }
    // Everything else a client may send stays as it was.
    const std::string fine = "https://example.invalid/a?b=c&d=e;[x]=#\t\xc3\xa9";
    service::WriteAnnouncedVersion(config_, true, fine, "1.0.0.2");
    EXPECT_EQ(config_.ReadString("sitef", "download_url", ""), fine);
}

TEST_F(ConfigFileTest, AWriteMovesNoEntryIntoAnotherSection) {
    // The mark after the tab is part of a key's name, so "version" belongs to no section; a
    // write must not turn the mark into the file's byte-order mark and "[sitef]" into a section.
    const std::string ini = "\t\xEF\xBB\xBF[sitef]x=1\r\nversion=1.0\r\n";
    WriteText(ini);
    config_.WriteString("sitef", "download_url", "https://example.invalid/x");
    EXPECT_EQ(config_.ReadString("sitef", "version", "<none>"), "<none>") << Text();
    EXPECT_EQ(config_.ReadString("", "version", "<none>"), "1.0") << Text();

    // A real byte-order mark at the start stays what it was: skipped.
    WriteText("\xEF\xBB\xBF[sitef]\r\nversion=2.0\r\n");
    config_.WriteString("sitef", "download_url", "https://example.invalid/y");
    EXPECT_EQ(config_.ReadString("sitef", "version", "<none>"), "2.0") << Text();
}

TEST_F(ConfigFileTest, AFailedWriteRaisesAndChangesNothing) {
    ConfigFile unwritable(folder_ / "no-such-folder/x.ini");
    EXPECT_THROW(unwritable.WriteString("sitef", "version", "1"), std::runtime_error);
}

}  // namespace
