// Many clients at once, each asking for a mix of pages, pictures and large entries: every
// answer is byte for byte the entry that was asked for.

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <thread>

namespace folianto {
namespace {

using namespace folianto::test;

TEST(ParallelExtraction, SixtyFourClientsGetTheirOwnBytes)
{
    std::vector<std::pair<std::string, std::string>> entries;
    entries.push_back({"/style.css", Prose(2048, 1)});
    for (unsigned i = 0; i < 24; ++i)
        entries.push_back({"/text/page" + std::to_string(i) + ".html", Prose(2000 + i * 1700, 100 + i)});
    for (unsigned i = 0; i < 12; ++i)
        entries.push_back({"/img/picture" + std::to_string(i) + ".jpg", Noise(20000 + i * 16000, 200 + i)});
    // Same size, different bytes: an answer of the wrong one would still look right.
    entries.push_back({"/img/twin-a.png", Noise(65536, 300)});
    entries.push_back({"/img/twin-b.png", Noise(65536, 301)});
    for (unsigned i = 0; i < 2; ++i)
        entries.push_back({"/large" + std::to_string(i) + ".bin", Prose(1 << 20, 400 + i) + Noise(2 << 20, 500 + i)});
    TTestBook book(Describe(entries));
    auto server = StartedServer(book.Book);

    constexpr int Clients = 64;
    constexpr int RequestsEach = 6;
    std::vector<std::string> failures(Clients);
    std::vector<std::thread> clients;
    for (int c = 0; c < Clients; ++c) {
        clients.emplace_back([&, c] {
            for (int k = 0; k < RequestsEach && failures[c].empty(); ++k) {
                const auto& [name, content] = entries[(c * 7 + k * 13) % entries.size()];
                // Some in another letter case: the same entry under another name.
                std::string asked = name;
                if ((c + k) % 3 == 0)
                    for (auto& ch : asked)
                        ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
                try {
                    if (Exchange(server->Port(), "GET " + asked + " HTTP/1.1\r\n\r\n") != Found(content))
                        failures[c] = asked + " answered with other bytes";
                } catch (const std::exception& error) {
                    failures[c] = asked + ": " + error.what();
                }
            }
        });
    }
    for (auto& client : clients)
        client.join();
    for (int c = 0; c < Clients; ++c)
        EXPECT_EQ(failures[c], "") << "client " << c;
}

}  // namespace
}  // namespace folianto
