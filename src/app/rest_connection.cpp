#include "app/rest_connection.h"

#include <random>

#include "engine/text_functions.h"

namespace trawlix {

namespace {

bool IsDigitChar(char c) { return c >= '0' && c <= '9'; }

int RandomParameter() {
    static thread_local std::mt19937 generator{std::random_device{}()};
    return std::uniform_int_distribution<int>(0, 9999)(generator);
}

// A failure's text as a message may show it: the address's query holds the user's
// passwords, address and phone, so only the part before it is named.
std::string WithoutQueryOf(const std::string& aText, const std::string& aAddress) {
    const std::string shown = aAddress.substr(0, aAddress.find('?'));
    std::string text = aText;
    for (size_t at = text.find(aAddress); at != std::string::npos; at = text.find(aAddress, at + shown.size()))
        text.replace(at, aAddress.size(), shown);
    return text;
}

}  // namespace

std::string BuildRESTAddress(const std::string& aTemplate, const std::vector<std::string>& aParams, int aRandom) {
    std::string address;
    address.reserve(aTemplate.size() + 64);
    for (std::size_t at = 0; at < aTemplate.size();) {
        std::size_t digitsEnd = at + 1;
        while (aTemplate[at] == '$' && digitsEnd < aTemplate.size() && IsDigitChar(aTemplate[digitsEnd])) ++digitsEnd;
        if (digitsEnd == at + 1) {
            address += aTemplate[at++];
            continue;
        }
        const std::string digits = aTemplate.substr(at + 1, digitsEnd - at - 1);
        const std::size_t number = digits.size() > 6 ? 0 : std::stoul(digits);
        if (number >= 1 && number <= aParams.size())
            address += URLEncode(aParams[number - 1]);
        else
            address.append(aTemplate, at, digitsEnd - at);
        at = digitsEnd;
    }
    return address + "&random=" + std::to_string(aRandom);
}

TRESTConnection::TRESTConnection(ICHTTPClient aClient)
    : fFetch([client = std::move(aClient)](const std::string& aURL) {
          if (!client) throw EHttpError("The vendor's web services cannot be reached before the session starts");
          std::string body;
          client->Get(aURL, body);
          return body;
      }) {}

TRESTConnection::TRESTConnection(TFetch aFetch) : fFetch(std::move(aFetch)) {}

std::string TRESTConnection::GetRESTResponce(const std::string& aTemplate, const std::vector<std::string>& aParams) {
    TCLock lock(fCriticalSection);
    const std::string address = BuildRESTAddress(aTemplate, aParams, RandomParameter());
    try {
        return fFetch(address);
    } catch (const EHttpStatus& e) {
        throw EHttpStatus(WithoutQueryOf(e.what(), address), e.GetStatus());
    } catch (const EHttpError& e) {
        throw EHttpError(WithoutQueryOf(e.what(), address));
    }
}

}  // namespace trawlix
