#include "EchoIdentifiers.h"
#include "PingGroupRange.h"

#include "client/tools/IcmpDatagramSocket.h"

#include <gtest/gtest.h>

#include <netinet/in.h>

#include <cerrno>
#include <cstdint>
#include <optional>

namespace {

constexpr int Attempts = 3;

class IcmpIdentifierBinding : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (!range.available())
            GTEST_SKIP() << range.reason().toStdString();
        occupant.emplace();
        held = occupant->value();
        free = freeEchoIdentifier();
        ASSERT_NE(held, 0);
        ASSERT_NE(free, 0);
    }

    PingGroupRange range;
    std::optional<HeldEchoIdentifier> occupant;
    std::uint16_t held = 0;
    std::uint16_t free = 0;
};

TEST_F(IcmpIdentifierBinding, TriesAnotherOnlyWhileTheIdentifierIsHeld)
{
    struct Case
    {
        const char *name;
        bool alreadyBound; // a bind that fails for another reason than a held identifier
        bool laterOnesHeld;
        int expectedError;
        int expectedDraws;
        bool boundToFree;
    };
    const Case cases[] = {
        {"held, then a free one", false, false, 0, 1, true},
        {"held every time", false, true, EADDRINUSE, Attempts - 1, false},
        {"another failure is reported at once", true, false, EINVAL, 0, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        IcmpDatagramSocket socket(AF_INET);
        if (c.alreadyBound) {
            ASSERT_EQ(socket.bindEchoIdentifier(0), 0);
        }
        int draws = 0;
        const auto another = [&] {
            ++draws;
            return c.laterOnesHeld ? held : free;
        };

        EXPECT_EQ(socket.bindFreeEchoIdentifier(held, another, Attempts), c.expectedError);
        EXPECT_EQ(draws, c.expectedDraws);
        if (c.boundToFree) {
            EXPECT_EQ(socket.boundEchoIdentifier(), free);
        }
    }
}

} // namespace
