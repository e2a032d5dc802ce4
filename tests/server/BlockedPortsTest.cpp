// The ports browsers refuse, and folianto-serve's draw around them.

#include "BlockedPorts.h"

#include <gtest/gtest.h>

#include <vector>

namespace folianto {
namespace {

TEST(BlockedPorts, TheBrowsersListAndItsNeighbours)
{
    // Every refused port the reader's range 1024..31023 holds, and a sample below it.
    for (const int port : {1719, 1720, 1723, 2049, 3659, 4045, 4190, 5060, 5061, 6000, 6566, 6665, 6666, 6667,
                           6668, 6669, 6679, 6697, 10080, 0, 1, 21, 22, 25, 110, 143, 587, 995})
        EXPECT_TRUE(BrowsersRefusePort(port)) << port;
    for (const int port : {1718, 1721, 1722, 1724, 2048, 2050, 4189, 4191, 5059, 5062, 5999, 6001, 6664, 6670,
                           6678, 6680, 6696, 6698, 10079, 10081, 1024, 8080, 31023, 80, 443, 2, 65535})
        EXPECT_FALSE(BrowsersRefusePort(port)) << port;
}

TEST(BlockedPorts, DrawsAgainUntilBrowsersAcceptThePort)
{
    std::vector<int> draws = {6000, 10080, 6669, 8080, 5060};
    std::size_t next = 0;
    EXPECT_EQ(DrawPortBrowsersAccept([&] { return draws[next++]; }), 8080);
    EXPECT_EQ(next, 4u);
}

}  // namespace
}  // namespace folianto
