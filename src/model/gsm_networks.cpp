#include "model/gsm_networks.h"

#include <algorithm>
#include <cstdint>

#include "model/ref_data_file.h"

namespace trawlix {

namespace {

int32_t ReadInt32(const std::string& aBytes, size_t aOffset) {
    uint32_t value = 0;
    for (int i = 3; i >= 0; --i)
        value = (value << 8) | static_cast<unsigned char>(aBytes[aOffset + i]);
    return static_cast<int32_t>(value);
}

void WriteInt32(std::string& aBytes, int32_t aValue) {
    const auto value = static_cast<uint32_t>(aValue);
    for (int i = 0; i < 4; ++i)
        aBytes.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

// A length byte followed by aCapacity bytes of which the first length count.
bool ReadShortString(const std::string& aBytes, size_t aOffset, size_t aCapacity, std::string& aText) {
    const size_t length = static_cast<unsigned char>(aBytes[aOffset]);
    if (length > aCapacity)
        return false;
    aText = aBytes.substr(aOffset + 1, length);
    return true;
}

void WriteShortString(std::string& aBytes, const std::string& aText, size_t aCapacity) {
    const std::string text = aText.substr(0, aCapacity);
    aBytes.push_back(static_cast<char>(text.size()));
    aBytes += text;
    aBytes.append(aCapacity - text.size(), '\0');
}

}  // namespace

std::unique_ptr<TGSMNetworks> TGSMNetworks::CreateFromFile(const std::string& aFileName) {
    return std::make_unique<TGSMNetworks>(aFileName);
}

void TGSMNetworks::LoadFromFile(const std::string& aFileName) { LoadFromBytes(ReadRefDataFile(aFileName), aFileName); }

void TGSMNetworks::LoadFromBytes(const std::string& aBytes, const std::string& aFileName) {
    const size_t countOffset = cHeaderSize;
    if (aBytes.size() < countOffset + 4)
        throw ERefDataError(aFileName, "it is shorter than its header");
    const int32_t count = ReadInt32(aBytes, countOffset);
    const size_t dataOffset = countOffset + 4;
    const size_t dataSize = aBytes.size() - dataOffset;
    if (count < 0 || dataSize % cRecordSize != 0 || dataSize / cRecordSize != static_cast<size_t>(count))
        throw ERefDataError(aFileName, "it holds " + std::to_string(aBytes.size()) + " bytes, which does not match its " +
                                           std::to_string(count) + " records");
    std::vector<std::unique_ptr<TGSMNetwork>> networks;
    for (int32_t index = 0; index < count; ++index) {
        const size_t offset = dataOffset + index * cRecordSize;
        auto network = std::make_unique<TGSMNetwork>();
        network->SetID(ReadInt32(aBytes, offset));
        std::string name;
        std::string address;
        if (!ReadShortString(aBytes, offset + 4, cNameSize, name) ||
            !ReadShortString(aBytes, offset + 5 + cNameSize, cAddressSize, address))
            throw ERefDataError(aFileName, "record " + std::to_string(index + 1) + " has a text longer than its field");
        network->SetName(name);
        network->SetAddress(address);
        networks.push_back(std::move(network));
    }
    fAllNetworks = std::move(networks);
}

std::string TGSMNetworks::SaveToBytes(const std::string& aStamp) const {
    std::string bytes = aStamp.substr(0, cHeaderSize);
    bytes.append(cHeaderSize - bytes.size(), '\0');
    WriteInt32(bytes, static_cast<int32_t>(fAllNetworks.size()));
    for (const auto& network : fAllNetworks) {
        WriteInt32(bytes, network->GetID());
        WriteShortString(bytes, network->GetName(), cNameSize);
        WriteShortString(bytes, network->GetAddress(), cAddressSize);
    }
    return bytes;
}

TGSMNetwork* TGSMNetworks::GetNetworkByID(int aID) const {
    const auto found = std::find_if(fAllNetworks.begin(), fAllNetworks.end(),
                                    [aID](const auto& aNetwork) { return aNetwork->GetID() == aID; });
    return found != fAllNetworks.end() ? found->get() : nullptr;
}

}  // namespace trawlix
