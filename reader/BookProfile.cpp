#include "BookProfile.h"

#include <QByteArray>
#include <QWebEngineProfile>

#include <sstream>
#include <string_view>
#include <vector>

namespace folianto {

namespace {

constexpr const char* kFlagsVariable = "QTWEBENGINE_CHROMIUM_FLAGS";
constexpr std::string_view kAllowedPorts = "--explicitly-allowed-ports=";

bool ListHolds(const std::string& list, const std::string& port)
{
    std::istringstream items(list);
    for (std::string item; std::getline(items, item, ',');)
        if (item == port)
            return true;
    return false;
}

}  // namespace

std::string ChromiumFlagsAllowingPort(const std::string& flags, int port)
{
    std::vector<std::string> switches;
    std::istringstream words(flags);
    for (std::string word; words >> word;)
        switches.push_back(word);

    const std::string number = std::to_string(port);
    // Chromium takes the last of a repeated switch, so that is the list to extend.
    auto given = switches.rend();
    for (auto it = switches.rbegin(); it != switches.rend(); ++it) {
        if (it->starts_with(kAllowedPorts)) {
            given = it;
            break;
        }
    }
    if (given == switches.rend()) {
        switches.push_back(std::string(kAllowedPorts) + number);
    } else {
        const std::string list = given->substr(kAllowedPorts.size());
        if (!ListHolds(list, number))
            *given += (list.empty() ? "" : ",") + number;
    }

    std::string result;
    for (const std::string& word : switches)
        result += (result.empty() ? "" : " ") + word;
    return result;
}

QWebEngineProfile* NewBookProfile(int port, QObject* parent)
{
    const bool wasSet = qEnvironmentVariableIsSet(kFlagsVariable);
    const QByteArray before = qgetenv(kFlagsVariable);
    qputenv(kFlagsVariable, QByteArray::fromStdString(ChromiumFlagsAllowingPort(before.toStdString(), port)));
    auto* profile = new QWebEngineProfile(parent);
    // The engine has read the flags; programs the reader starts later (a browser opened on
    // a link) get the environment as it was.
    if (wasSet)
        qputenv(kFlagsVariable, before);
    else
        qunsetenv(kFlagsVariable);
    return profile;
}

}  // namespace folianto
