// What each launcher can extract, as kwz stamp holds payloads against it.
// The figures are worked out here by hand from the model in
// LauncherBudget.h, not with its code.
#include "tools/kwz/LauncherBudget.h"

#include "tests/support/Raised.h"

#include <gtest/gtest.h>

#include <string>

namespace {

constexpr uint64_t kMiB = 1u << 20;
constexpr uint64_t kCodec = 27262988;

CLauncherBudget Budget(bool pe32Plus, bool largeAddressAware)
{
    CLauncherBudget budget;
    budget.pe32Plus = pe32Plus;
    budget.largeAddressAware = largeAddressAware;
    return budget;
}

struct LargestImageCase {
    const char* what;
    bool pe32Plus;
    bool largeAddressAware;
    uint64_t program;
    uint64_t payload;
    uint64_t largest;
};

class KwzBudgetTest : public ::testing::TestWithParam<LargestImageCase> {};

TEST_P(KwzBudgetTest, LargestImageIsTheRoomThatIsLeft)
{
    const LargestImageCase& c = GetParam();
    const CLauncherBudget budget = Budget(c.pe32Plus, c.largeAddressAware);
    EXPECT_EQ(c.largest, budget.LargestImage(c.program, c.payload));
    if (c.largest > 0) {
        EXPECT_EQ(nullptr, RaisedIfAny([&] { budget.Check("p", c.program, c.payload, c.largest, false); }));
    }
    EXPECT_NE(nullptr, RaisedIfAny([&] { budget.Check("p", c.program, c.payload, c.largest + 1, false); }));
}

const LargestImageCase kLargestImages[] = {
    // 2 GiB less 512 MiB for Windows: 1536 MiB for program, payload copy, codec and image.
    {"X86Small", false, false, 1 * kMiB, 1 * kMiB, 1536 * kMiB - 2 * kMiB - kCodec},
    {"X86LargePayload", false, false, 401 * kMiB, 400 * kMiB, 1536 * kMiB - 801 * kMiB - kCodec},
    {"X86NothingLeft", false, false, 755 * kMiB, 755 * kMiB, 0},
    // 4 GiB less 512 MiB, but the image in one block of at most 1.5 GiB.
    {"X86LargeAddressAware", false, true, 1 * kMiB, 1 * kMiB, 1536 * kMiB},
    {"X86LargeAddressAwareLargePayload", false, true, 1101 * kMiB, 1100 * kMiB, 3584 * kMiB - 2201 * kMiB - kCodec},
    // The format's limit alone.
    {"X64", true, false, 1900 * kMiB, 1899 * kMiB, 0xFFFFFFFFu},
};

INSTANTIATE_TEST_SUITE_P(Table, KwzBudgetTest, ::testing::ValuesIn(kLargestImages),
                         [](const ::testing::TestParamInfo<LargestImageCase>& param) { return param.param.what; });

TEST(KwzBudgetMessageTest, NamesTheFiguresTheLimitTheAssumptionAndTheWayOut)
{
    const std::string text =
        RaisedMessage([] { Budget(false, false).Check("p.kwz into stub.exe", 12 * kMiB, 11 * kMiB, 1600 * kMiB, false); });
    for (const char* part : {"cannot stamp p.kwz into stub.exe: the x86 launcher (not large-address-aware) cannot extract it",
                             "1729101836 bytes (1.6 GiB)",  // 12 + 11 + 1600 MiB and the codec
                             "the decoded image 1.6 GiB in one block",
                             "has 2 GiB of address space",
                             "kwz leaves 512 MiB of it to Windows",
                             "room for an image of 1559232500 bytes",
                             "The x64 stub"})
        EXPECT_NE(std::string::npos, text.find(part)) << part << " in: " << text;

    const std::string program = RaisedMessage([] { Budget(true, false).Check("p", 2048 * kMiB, 2040 * kMiB, 1, true); });
    EXPECT_NE(std::string::npos, program.find("would map at least 2147483648 bytes (2.0 GiB); programs from 2 GiB on"))
        << program;
}

// The bounds that refuse before any decoding or encoding: a payload decodes
// to at least 8 bits in 9 (literals), an image encodes to at least 29 bits
// for every 131 bytes (the longest matches).
TEST(KwzBudgetBoundsTest, SmallestImageAndPayload)
{
    EXPECT_EQ(0u, SmallestImageOf(3));          // an empty stream: the end token and fill
    EXPECT_EQ(1u, SmallestImageOf(5));          // 40 bits: one literal, then the end token
    EXPECT_EQ(885u, SmallestImageOf(1000));     // (8000 - 29) / 9
    EXPECT_EQ(2u, SmallestPayloadOf(0));        // the end token alone, 22 bits
    EXPECT_EQ(6u, SmallestPayloadOf(131));      // one match and the end token, 51 bits
    EXPECT_EQ(29u * 8192 / 8 + 2, SmallestPayloadOf(131 * 8192));
}

}  // namespace
