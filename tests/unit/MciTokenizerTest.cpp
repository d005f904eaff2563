#include "engine/command/MciError.h"
#include "engine/command/MciTokenizer.h"

#include <gtest/gtest.h>

using namespace wsx::mci;

namespace {
std::vector<std::string> texts(const Tokenized& t) {
    std::vector<std::string> out;
    for (const Token& token : t.tokens) out.push_back(token.text);
    return out;
}
}  // namespace

TEST(MciTokenizer, SplitsAtBlanksAndUnquotesWithDoubledQuotes) {
    EXPECT_EQ(texts(tokenize("  play\tRecordDev   from 0 ")),
              (std::vector<std::string>{"play", "RecordDev", "from", "0"}));
    const Tokenized t = tokenize(R"(save A "/tmp/my ""best"" take.wav" "")");
    ASSERT_EQ(t.error, 0u);
    ASSERT_EQ(t.tokens.size(), 4u);
    EXPECT_EQ(t.tokens[2].text, "/tmp/my \"best\" take.wav");
    EXPECT_TRUE(t.tokens[2].quoted);
    EXPECT_EQ(t.tokens[3].text, "");
    EXPECT_TRUE(t.tokens[3].quoted);
    // Non-ASCII bytes pass through untouched.
    EXPECT_EQ(tokenize("save A \"/tmp/录音 一.wav\"").tokens[2].text, "/tmp/录音 一.wav");
}

TEST(MciTokenizer, QuoteErrors) {
    EXPECT_EQ(tokenize("save A \"/tmp/x.wav").error, MCIERR_NO_CLOSING_QUOTE);
    EXPECT_EQ(tokenize("save A \"a\"\"").error, MCIERR_NO_CLOSING_QUOTE);
    EXPECT_EQ(tokenize("save A \"a\"b").error, MCIERR_EXTRA_CHARACTERS);
}

TEST(MciTokenizer, DecimalNumbersOnly) {
    uint32_t v = 0;
    EXPECT_TRUE(parseInteger("4294967295", v));
    EXPECT_EQ(v, 4294967295u);
    for (const char* bad : {"", "-1", "+1", "1.5", "12a", "4294967296", "0x10", " 1"})
        EXPECT_FALSE(parseInteger(bad, v)) << bad;
}

TEST(MciTokenizer, IntegersInDecimalOrColonForm) {
    const std::pair<const char*, uint32_t> good[] = {
        {"1500", 1500},
        {"220:5:0", 1500},
        {":1", 256},
        {"250::", 250},
        {"250:0", 250},
        {":", 0},
        {"1:2:3:4", 0x04030201},
        {"255:255:255:255", UINT32_MAX},
        {"0:0:0:1", 1u << 24},
    };
    for (const auto& [text, expected] : good) {
        uint32_t v = 7;
        EXPECT_TRUE(parseInteger(text, v)) << text;
        EXPECT_EQ(v, expected) << text;
    }
    for (const char* bad : {"0:0:0:0:0", "0:0:0:0:", ":0:0:0:0", "256:0:0:0", "0:256", "0xfa",
                            "1:-1", "1: 2", "a:1", "", "4294967296", "0:0:0:0:0:0:0:0:0"}) {
        uint32_t v = 7;
        EXPECT_FALSE(parseInteger(bad, v)) << bad;
        EXPECT_EQ(v, 7u) << bad << ": a refused number leaves the value alone";
    }
}
